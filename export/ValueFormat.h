#pragma once

#include <QString>

class HostValue;
class QLocale;

// The masks the delivery file uses for numbers and dates.
class ValueFormat
{
public:
    // Mask "###0.0": at least one digit before the locale's decimal separator, exactly one
    // after it, no grouping. A value that is no number is written as it stands; NULL as "".
    static QString length(const HostValue &value, const QLocale &locale);

    // Mask "yyyymmdd"; "" when the value is no date.
    static QString listDate(const HostValue &value);

    // A numeric pattern of zeros ("0000"): a text that reads as a number becomes that number
    // rounded to a whole one with leading zeros up to the width; any other text stays as it is.
    static QString zeroPadded(const QString &text, int width, const QLocale &locale);

private:
    // A C-notation decimal ("12.25") rounded half away from zero to that many decimals,
    // always with exactly that many ("12.3"); no "-" when the result is zero.
    static QString roundDecimal(const QString &decimal, int decimals);
};
