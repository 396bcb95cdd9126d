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
};
