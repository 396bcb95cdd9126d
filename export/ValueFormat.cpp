#include "export/ValueFormat.h"

#include "app/HostValue.h"

#include <QLocale>

#include <algorithm>

QString ValueFormat::roundDecimal(const QString &decimal, int decimals)
{
    QString digits = decimal;
    const bool negative = digits.startsWith(u'-');
    if (negative)
        digits.remove(0, 1);
    const qsizetype point = digits.indexOf(u'.');
    QString integral = point < 0 ? digits : digits.left(point);
    QString fraction = point < 0 ? QString() : digits.mid(point + 1);
    const bool roundUp = fraction.size() > decimals && fraction.at(decimals) >= u'5';
    fraction = fraction.left(decimals).leftJustified(decimals, u'0');

    // Add one unit in the last kept place, carrying leftwards through the digits.
    QString all = integral + fraction;
    if (roundUp) {
        qsizetype i = all.size() - 1;
        while (i >= 0 && all.at(i) == u'9') {
            all[i] = u'0';
            --i;
        }
        if (i < 0)
            all.prepend(u'1');
        else
            all[i] = QChar(all.at(i).unicode() + 1);
    }
    integral = all.left(all.size() - decimals);
    fraction = all.right(decimals);
    while (integral.size() > 1 && integral.startsWith(u'0'))
        integral.remove(0, 1);
    if (integral.isEmpty())
        integral = QStringLiteral("0");

    QString result = integral;
    if (decimals > 0)
        result += u'.' + fraction;
    const bool zero = std::all_of(all.cbegin(), all.cend(), [](QChar c) { return c == u'0'; });
    if (negative && !zero)
        result.prepend(u'-');
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
