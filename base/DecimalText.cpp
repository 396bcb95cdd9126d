#include "base/DecimalText.h"

#include <QLocale>
#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace DecimalText {

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
QString shortest(double value)
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

QString whole(qint64 value)
{
    char digits[24];
    const char *const end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return QString::fromLatin1(digits, end - digits);
}

QString normalize(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype pos = 0;
    bool negative = false;
    if (pos < trimmed.size() && (trimmed.at(pos) == u'+' || trimmed.at(pos) == u'-')) {
        negative = trimmed.at(pos) == u'-';
        ++pos;
    }
    const qsizetype intBegin = pos;
    while (pos < trimmed.size() && trimmed.at(pos).isDigit() && trimmed.at(pos).unicode() < 128)
        ++pos;
    QStringView intPart = QStringView(trimmed).mid(intBegin, pos - intBegin);
    QStringView fracPart;
    if (pos < trimmed.size() && trimmed.at(pos) == u'.') {
        const qsizetype fracBegin = ++pos;
        while (pos < trimmed.size() && trimmed.at(pos).isDigit() && trimmed.at(pos).unicode() < 128)
            ++pos;
        fracPart = QStringView(trimmed).mid(fracBegin, pos - fracBegin);
    }
    if (intPart.isEmpty() && fracPart.isEmpty())
        return QString();
    if (pos < trimmed.size()) {
        // Only an exponent may follow; such values went through a binary floating type anyway.
        if (trimmed.at(pos) != u'e' && trimmed.at(pos) != u'E')
            return QString();
        bool ok = false;
        const double value = trimmed.toDouble(&ok);
        return ok && std::isfinite(value) ? shortest(value) : QString();
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

QString toLocale(QString decimal, const QLocale &locale)
{
    const qsizetype point = decimal.indexOf(u'.');
    if (point >= 0)
        decimal.replace(point, 1, locale.decimalPoint());
    if (decimal.startsWith(u'-'))
        decimal.replace(0, 1, locale.negativeSign());
    return decimal;
}

QString round(const QString &decimal, int decimals)
{
    QStringView digits(decimal);
    const bool negative = digits.startsWith(u'-');
    if (negative)
        digits = digits.mid(1);
    const qsizetype point = digits.indexOf(u'.');
    const QStringView integral = point < 0 ? digits : digits.left(point);
    const QStringView fraction = point < 0 ? QStringView() : digits.mid(point + 1);
    const bool roundUp = fraction.size() > decimals && fraction.at(decimals) >= u'5';

    // The kept digits, behind a leading zero that takes a carry out of the first digit.
    QVarLengthArray<QChar, 48> all;
    all.append(u'0');
    all.append(integral.data(), integral.size());
    for (int i = 0; i < decimals; ++i)
        all.append(i < fraction.size() ? fraction.at(i) : QChar(u'0'));
    if (roundUp) {
        // Add one unit in the last kept place, carrying leftwards through the digits.
        qsizetype i = all.size() - 1;
        while (all[i] == u'9')
            all[i--] = u'0';
        all[i] = QChar(all[i].unicode() + 1);
    }
    const qsizetype integralEnd = all.size() - decimals;
    qsizetype first = 0;
    while (first < integralEnd - 1 && all[first] == u'0')
        ++first;
    const bool zero = std::all_of(all.cbegin(), all.cend(), [](QChar c) { return c == u'0'; });

    QString result;
    result.reserve(integralEnd - first + decimals + 2);
    if (negative && !zero)
        result += u'-';
    result.append(all.data() + first, integralEnd - first);
    if (decimals > 0) {
        result += u'.';
        result.append(all.data() + integralEnd, decimals);
    }
    return result;
}

} // namespace DecimalText
