#pragma once

#include <QDate>
#include <QString>
#include <QTime>

class QLocale;

// One value of a host database row, kept in the form the export formats it from. A number
// keeps every digit the server sent: an exact decimal arrives as text ("12.340") and is kept
// as such; a whole number or a double that the database stores in binary is kept as it is
// and turned into decimal text only when a text form is asked for, so that a value the export
// only compares costs no formatting.
class HostValue
{
public:
    HostValue() = default;
    static HostValue text(QString text);
    // A decimal text in C notation ("12.340", "-0.5", "1.5E+2"); text that is no number
    // gives a Text value.
    static HostValue number(const QString &decimal);
    // Not finite: a Text value ("inf", "nan").
    static HostValue number(double value);
    static HostValue number(qlonglong value);
    // A calendar date, and a time of day where the column holds one; no time zone is involved.
    static HostValue date(QDate date, QTime time = QTime(0, 0));

    bool isNull() const { return m_kind == Null; }

    // The default text form: text unchanged; a whole number as plain digits; any other number
    // in its shortest decimal form with the locale's decimal separator, no grouping; a date
    // in the locale's short form with a four-digit year, and a time of day other than midnight
    // after it in the locale's long form without a time zone, which a stored time has not;
    // NULL as "".
    QString toText(const QLocale &locale) const;

    // The exact decimal text of a number, or of a text that reads as one; empty otherwise.
    // Its canonical form (DecimalText::normalize); a double gives its shortest such form.
    QString decimalText() const;
    // The value of decimalText() as a double.
    bool toDouble(double *value) const;

    // A date value, or a text that starts with an ISO date ("2024-03-15", optionally followed
    // by a time); an invalid QDate otherwise.
    QDate toDate() const;

    // Numbers are equal when their decimal texts are, however they are held.
    bool operator==(const HostValue &other) const;
    bool operator!=(const HostValue &other) const { return !(*this == other); }

private:
    enum Kind : quint8 { Null, Text, Number, Date };
    // How a Number is held.
    enum Form : quint8 { ExactText, Whole, Binary };

    Kind m_kind = Null;
    Form m_form = ExactText;
    qint64 m_whole = 0;
    double m_binary = 0;
    QString m_text;
    QDate m_date;
    QTime m_time;
};
