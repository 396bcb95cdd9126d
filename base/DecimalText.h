#pragma once

#include <QString>

class QLocale;

// Decimal numbers as text, the one form in which the program compares, rounds and writes
// numbers: C notation ("-12.340"), exact, whatever the database or the binary double held.
namespace DecimalText {

// Canonical form of a C-notation decimal: no "+", no leading or trailing zeros, no "-0". An
// exponent ("1.5E+2") is read through a double, as such a value came through one anyway.
// Empty when the text is no finite number; blanks around it are ignored.
QString normalize(const QString &text);

// The shortest canonical decimal that reads back as value, in fixed notation ("1e+22" gives
// 1 and 22 zeros). Finite values only.
QString shortest(double value);
QString whole(qint64 value);

// A canonical decimal rounded half away from zero to that many decimals, always with exactly
// that many ("12.25" to 1 gives "12.3"); no "-" when the result is zero.
QString round(const QString &decimal, int decimals);

// A C-notation decimal in the locale's notation: its decimal separator and minus sign, no
// grouping.
QString toLocale(QString decimal, const QLocale &locale);

} // namespace DecimalText
