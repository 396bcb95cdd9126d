#include "host/HostValue.h"

#include "base/DecimalText.h"

#include <QLocale>

#include <cmath>

namespace {

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

} // namespace

HostValue HostValue::text(QString text)
{
    HostValue v;
    v.m_kind = Text;
    v.m_text = std::move(text);
    return v;
}

HostValue HostValue::number(const QString &decimal)
{
    const QString normalized = DecimalText::normalize(decimal);
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
            return DecimalText::whole(m_whole);
        return DecimalText::toLocale(decimalText(), locale);
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
        case ExactText:
            return m_text;
        case Whole:
            return DecimalText::whole(m_whole);
        case Binary:
            return DecimalText::shortest(m_binary);
        }
    }
    if (m_kind == Text)
        return DecimalText::normalize(m_text);
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
