#include "export/ValueFormat.h"

#include "base/DecimalText.h"
#include "host/HostValue.h"

#include <QLocale>

QString ValueFormat::length(const HostValue &value, const QLocale &locale)
{
    if (value.isNull())
        return QString();
    const QString decimal = value.decimalText();
    if (decimal.isEmpty())
        return value.toText(locale);
    return DecimalText::toLocale(DecimalText::round(decimal, 1), locale);
}

QString ValueFormat::listDate(const HostValue &value)
{
    const QDate date = value.toDate();
    if (!date.isValid())
        return QString();
    // Written digit by digit: QDate::toString() reads its format anew for every log.
    // One conversion of the day number; year(), month() and day() would make one each.
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (year < 0 || year > 9999)
        return date.toString(QStringLiteral("yyyyMMdd"));
    const int number = year * 10000 + month * 100 + day;
    QChar digits[8];
    for (int i = 7, rest = number; i >= 0; --i, rest /= 10)
        digits[i] = QChar(u'0' + rest % 10);
    return QString(digits, 8);
}

QString ValueFormat::zeroPadded(const QString &text, int width, const QLocale &locale)
{
    QString decimal = DecimalText::normalize(text);
    if (decimal.isEmpty()) {
        bool ok = false;
        const double value = locale.toDouble(text.trimmed(), &ok);
        if (!ok)
            return text;
        decimal = HostValue::number(value).decimalText();
        if (decimal.isEmpty())
            return text;
    }
    QString whole = DecimalText::round(decimal, 0);
    const bool negative = whole.startsWith(u'-');
    if (negative)
        whole.remove(0, 1);
    whole = whole.rightJustified(width, u'0');
    return negative ? u'-' + whole : whole;
}
