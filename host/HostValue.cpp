#include "host/HostValue.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// Number formatting is written here with std::to_chars rather than with QString::number(value,
// 'f', QLocale::FloatingPointShortest), which gives the same digits through QLocale's general
// formatter, for speed: every number of every log read passes here when it is compared or
// written. Its cost is part of the export's own instructions per log in the callgrind profile
// of bench/run.sh's SQLite rows (README, Performance); it was not measured against Qt's
// formatter on its own.
//
// The shortest decimal text that reads back as value, in fixed notation: the digits of the
// shortest round trip, padded with zeros up to the decimal point ("1e+22" gives 1 and 22
// zeros). Finite values only.
QString shortestDecimal(double value)
{
    if (value == 0)
        return QStringLiteral("0"); // -0 as well
    char scientific[32];
    const char *const end = std::to_chars(scientific, scientific + sizeof scientific, value,
                                          std::chars_format::scientific)
                                    .ptr;
    const char *pos = scientific;
    const bool negative = *pos == '-';
    if (negative)
        ++pos;
    char digits[20];
    int count = 0;
    for (; pos < end && *pos != 'e'; ++pos) {
        if (*pos != '.')
            digits[count++] = *pos;
    }
    int exponent = 0;
    if (pos < end)
        std::from_chars(pos + (pos[1] == '+' ? 2 : 1), end, exponent);

    // At most a sign, "0.", 323 zeros and 17 digits, or 309 digits before the point.
    char text[352];
    char *out = text;
    if (negative)
        *out++ = '-';
    // The decimal point follows the first `point` digits.
    const int point = exponent + 1;
    if (point <= 0) {
        *out++ = '0';
        *out++ = '.';
        out = std::fill_n(out, -point, '0');
        out = std::copy_n(digits, count, out);
    } else if (point < count) {
        out = std::copy_n(digits, point, out);
        *out++ = '.';
        out = std::copy_n(digits + point, count - point, out);
    } else {
        out = std::copy_n(digits, count, out);
        out = std::fill_n(out, point - count, '0');
    }
    return QString::fromLatin1(text, out - text);
}

// The number that a few ASCII digits spell, or -1 when one is no digit.
int digitsValue(QStringView digits)
{
    int value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

QString wholeDecimal(qint64 value)
{
    char digits[24];
    const char *const end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return QString::fromLatin1(digits, end - digits);
}

} // namespace

QString HostValue::normalizeDecimal(const QString &input)
{
    const QString text = input.trimmed();
    qsizetype pos = 0;
    bool negative = false;
    if (pos < text.size() && (text.at(pos) == u'+' || text.at(pos) == u'-')) {
        negative = text.at(pos) == u'-';
        ++pos;
    }
    const qsizetype intBegin = pos;
    while (pos < text.size() && text.at(pos).isDigit() && text.at(pos).unicode() < 128)
        ++pos;
    QStringView intPart = QStringView(text).mid(intBegin, pos - intBegin);
    QStringView fracPart;
    if (pos < text.size() && text.at(pos) == u'.') {
        const qsizetype fracBegin = ++pos;
        while (pos < text.size() && text.at(pos).isDigit() && text.at(pos).unicode() < 128)
            ++pos;
        fracPart = QStringView(text).mid(fracBegin, pos - fracBegin);
    }
    if (intPart.isEmpty() && fracPart.isEmpty())
        return QString();
    if (pos < text.size()) {
        // Only an exponent may follow; such values went through a binary floating type anyway.
        if (text.at(pos) != u'e' && text.at(pos) != u'E')
            return QString();
        bool ok = false;
        const double value = text.toDouble(&ok);
        return ok && std::isfinite(value) ? shortestDecimal(value) : QString();
    }
    while (intPart.size() > 1 && intPart.front() == u'0')
        intPart = intPart.mid(1);
    while (!fracPart.isEmpty() && fracPart.back() == u'0')
        fracPart.chop(1);
    QString result;
    if (intPart.isEmpty())
        intPart = u"0";
    if (negative && !(intPart == u"0" && fracPart.isEmpty()))
        result += u'-';
    result += intPart;
    if (!fracPart.isEmpty()) {
        result += u'.';
        result += fracPart;
    }
    return result;
}

QString HostValue::localeDecimal(QString decimal, const QLocale &locale)
{
    const qsizetype point = decimal.indexOf(u'.');
    if (point >= 0)
        decimal.replace(point, 1, locale.decimalPoint());
    if (decimal.startsWith(u'-'))
        decimal.replace(0, 1, locale.negativeSign());
    return decimal;
}

HostValue HostValue::text(QString text)
{
    HostValue v;
    v.m_kind = Text;
    v.m_text = std::move(text);
    return v;
}

HostValue HostValue::number(const QString &decimal)
{
    const QString normalized = normalizeDecimal(decimal);
    if (normalized.isEmpty())
        return text(decimal);
    HostValue v;
    v.m_kind = Number;
    v.m_text = normalized;
    return v;
}

HostValue HostValue::number(double value)
{
    if (!std::isfinite(value))
        return text(QString::number(value));
    HostValue v;
    v.m_kind = Number;
    v.m_form = Binary;
    v.m_binary = value;
    return v;
}

HostValue HostValue::number(qlonglong value)
{
    HostValue v;
    v.m_kind = Number;
    v.m_form = Whole;
    v.m_whole = value;
    return v;
}

HostValue HostValue::date(QDate date, QTime time)
{
    HostValue v;
    v.m_kind = Date;
    v.m_date = date;
    v.m_time = time;
    return v;
}

QString HostValue::toText(const QLocale &locale) const
{
    switch (m_kind) {
    case Null:
        return QString();
    case Text:
        return m_text;
    case Number:
        // Digits alone read the same in every locale.
        if (m_form == Whole && m_whole >= 0)
            return wholeDecimal(m_whole);
        return localeDecimal(decimalText(), locale);
    case Date: {
        QString format = locale.dateFormat(QLocale::ShortFormat);
        if (!format.contains(QLatin1String("yyyy")))
            format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        QString result = locale.toString(m_date, format);
        if (m_time.isValid() && m_time != QTime(0, 0)) {
            QString timeFormat = locale.timeFormat(QLocale::LongFormat);
            timeFormat.remove(QLatin1String(" t"));
            result += u' ' + locale.toString(m_time, timeFormat);
        }
        return result;
    }
    }
    return QString();
}

QString HostValue::decimalText() const
{
    if (m_kind == Number) {
        switch (m_form) {
        case DecimalText:
            return m_text;
        case Whole:
            return wholeDecimal(m_whole);
        case Binary:
            return shortestDecimal(m_binary);
        }
    }
    if (m_kind == Text)
        return normalizeDecimal(m_text);
    return QString();
}

bool HostValue::toDouble(double *value) const
{
    // The shortest decimal of a double reads back as that double, and the decimal of a whole
    // number as its nearest double, so neither needs the text.
    if (m_kind == Number && m_form == Whole) {
        *value = double(m_whole);
        return true;
    }
    if (m_kind == Number && m_form == Binary) {
        *value = m_binary;
        return true;
    }
    const QString decimal = decimalText();
    if (decimal.isEmpty())
        return false;
    *value = decimal.toDouble();
    return true;
}

QDate HostValue::toDate() const
{
    if (m_kind == Date)
        return m_date;
    if (m_kind != Text)
        return QDate();
    const QStringView trimmed = QStringView(m_text).trimmed();
    if (trimmed.size() > 10 && trimmed.at(10) != u' ' && trimmed.at(10) != u'T')
        return QDate();
    const QStringView date = trimmed.left(10);
    // "yyyy-MM-dd" digit by digit, as every log's list date is read; other forms Qt's way.
    if (date.size() == 10 && date.at(4) == u'-' && date.at(7) == u'-') {
        const int year = digitsValue(date.mid(0, 4));
        const int month = digitsValue(date.mid(5, 2));
        const int day = digitsValue(date.mid(8, 2));
        if (year >= 0 && month >= 0 && day >= 0)
            return year > 0 ? QDate(year, month, day) : QDate();
    }
    return QDate::fromString(date, Qt::ISODate);
}

bool HostValue::operator==(const HostValue &other) const
{
    if (m_kind != other.m_kind)
        return false;
    if (m_kind == Number)
        return decimalText() == other.decimalText();
    return m_text == other.m_text && m_date == other.m_date && m_time == other.m_time;
}
