#include "export/ValueFormat.h"

#include "host/HostValue.h"

#include <QLocale>
#include <QVarLengthArray>

#include <algorithm>

QString ValueFormat::roundDecimal(const QString &decimal, int decimals)
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

QString ValueFormat::length(const HostValue &value, const QLocale &locale)
{
    if (value.isNull())
        return QString();
    const QString decimal = value.decimalText();
    if (decimal.isEmpty())
        return value.toText(locale);
    return HostValue::localeDecimal(roundDecimal(decimal, 1), locale);
}

QString ValueFormat::listDate(const HostValue &value)
{
    const QDate date = value.toDate();
    if (!date.isValid())
        return QString();
    // Written digit by digit: QDate::toString() reads its format anew for every log.
    const int year = date.year();
    if (year < 0 || year > 9999)
        return date.toString(QStringLiteral("yyyyMMdd"));
    const int number = year * 10000 + date.month() * 100 + date.day();
    QChar digits[8];
    for (int i = 7, rest = number; i >= 0; --i, rest /= 10)
        digits[i] = QChar(u'0' + rest % 10);
    return QString(digits, 8);
}

QString ValueFormat::zeroPadded(const QString &text, int width, const QLocale &locale)
{
    QString decimal = HostValue::normalizeDecimal(text);
    if (decimal.isEmpty()) {
        bool ok = false;
        const double value = locale.toDouble(text.trimmed(), &ok);
        if (!ok)
            return text;
        decimal = HostValue::number(value).decimalText();
        if (decimal.isEmpty())
            return text;
    }
    QString whole = roundDecimal(decimal, 0);
    const bool negative = whole.startsWith(u'-');
    if (negative)
        whole.remove(0, 1);
    whole = whole.rightJustified(width, u'0');
    return negative ? u'-' + whole : whole;
}
