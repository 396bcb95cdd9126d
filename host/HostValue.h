#pragma once

#include <QDateTime>
#include <QString>

class QLocale;
class QVariant;

// One value of a host database row, kept in the form the export formats it from. A number
// keeps every digit the server sent: an exact decimal arrives as text ("12.340") and is kept
// as such; a whole number or a double that the database stores in binary is kept as it is
// and turned into decimal text only when a text form is asked for, so that a value the export
// only compares costs no formatting.
class HostValue
{
public:
    enum Kind { Null, Text, Number, Date };

    HostValue() = default;
    static HostValue text(QString text);
    // A decimal text in C notation ("12.340", "-0.5", "1.5E+2"); text that is no number
    // gives a Text value.
    static HostValue number(const QString &decimal);
    // Not finite: a Text value ("inf", "nan").
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
    // Its canonical form (see normalizeDecimal()); a double gives its shortest such form.
    QString decimalText() const;
    // The value of decimalText() as a double.
    bool toDouble(double *value) const;

    // A date value, or a text that starts with an ISO date ("2024-03-15", optionally followed
    // by a time); an invalid QDate otherwise.
    QDate toDate() const;

    // Canonical form of a C-notation decimal: no "+", no leading or trailing zeros, no "-0".
    // Returns an empty string when the text is no finite number.
    static QString normalizeDecimal(const QString &input);

    // A C-notation decimal in the locale's notation: its decimal separator and minus sign,
    // no grouping.
    static QString localeDecimal(QString decimal, const QLocale &locale);

    // Numbers are equal when their decimal texts are, however they are held.
    bool operator==(const HostValue &other) const;
    bool operator!=(const HostValue &other) const { return !(*this == other); }

private:
    // How a Number is held.
    enum Form : quint8 { DecimalText, Whole, Binary };

    Kind m_kind = Null;
    Form m_form = DecimalText;
    qint64 m_whole = 0;
    double m_binary = 0;
    QString m_text;
    QDateTime m_dateTime;
};
