#pragma once

#include <QDateTime>
#include <QString>

class QLocale;
class QVariant;

// One value of a host database row, kept in the form the export formats it from: a number
// is held as its exact decimal text ("12.34", "-3"), so a decimal column keeps every digit
// the server sent, whatever the driver's own number types are.
class HostValue
{
public:
    enum Kind { Null, Text, Number, Date };

    HostValue() = default;
    static HostValue text(const QString &text);
    // A decimal text in C notation ("12.340", "-0.5", "1.5E+2"); text that is no number
    // gives a Text value.
    static HostValue number(const QString &decimal);
    static HostValue number(double value);
    static HostValue number(qlonglong value);
    static HostValue date(const QDateTime &value);
    // declaredTypeId is the column's type as the driver describes it; a driver that hands
    // over exact decimals as strings (high precision) is recognised by it.
    static HostValue fromVariant(const QVariant &value, int declaredTypeId);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Null; }

    // The default text form: text unchanged; a whole number as plain digits; any other number
    // in its shortest decimal form with the locale's decimal separator, no grouping; a date
    // in the locale's short form with a four-digit year; NULL as "".
    QString toText(const QLocale &locale) const;

    // The exact decimal text of a number, or of a text that reads as one; empty otherwise.
    QString decimalText() const;
    bool toDouble(double *value) const;

    // A date value, or a text that starts with an ISO date ("2024-03-15", optionally followed
    // by a time); an invalid QDate otherwise.
    QDate toDate() const;

    // Canonical form of a C-notation decimal: no "+", no leading or trailing zeros, no "-0".
    // Returns an empty string when the text is no finite number.
    static QString normalizeDecimal(const QString &text);

    // A C-notation decimal in the locale's notation: its decimal separator and minus sign,
    // no grouping.
    static QString localeDecimal(const QString &decimal, const QLocale &locale);

    bool operator==(const HostValue &other) const;
    bool operator!=(const HostValue &other) const { return !(*this == other); }

private:
    Kind m_kind = Null;
    QString m_text;
    QDateTime m_dateTime;
};
