#pragma once

#include <QString>

class HostRow;
class QLocale;

// A settings value that says where an exported value comes from. After trimming, its
// beginning decides, case-sensitively: "TEXT" names a column of the list's header row; "WO",
// "FREI" or "RELTABLE" a column of the log row; for the two owner settings "BLZ", "BANK",
// "KONTO", "POSTSCHECK" or "UID" an owner account column of the log row. Any other value,
// the empty one included, is a fixed text. The whole value is the column's name.
//
// A source is bound once to the columns of a result, so that the run resolves it for every
// row without looking the name up again.
class FieldSource
{
public:
    enum Kind { HeaderColumn, LogColumn, OwnerColumn, FixedText };

    // Kinds for the twelve settings resolved against the header row and each log row.
    static Kind logSettingKind(const QString &trimmedSetting);
    // Kinds for the two owner settings.
    static Kind ownerSettingKind(const QString &trimmedSetting);

    // Trims the setting in place and finds its column in row where its kind reads one there:
    // a header column for the header row, a log column for the log row. False when the row
    // lacks that column.
    bool bindHeader(QString &setting, const HostRow &header);
    bool bindLog(QString &setting, const HostRow &log);
    bool bindOwner(QString &setting, const HostRow &log);

    // What a bound source gives for the current row of the row it was bound to.
    QString headerValue(const HostRow &header, const QLocale &locale) const;
    // Leaves value as it is for a header column, which keeps its header value on every log.
    void updateLogValue(QString &value, const HostRow &log, const QLocale &locale) const;
    QString ownerValue(const HostRow &log, const QLocale &locale) const;

    Kind kind() const { return m_kind; }
    // The column name that bind...() did not find.
    QString columnName() const { return m_text; }

private:
    bool bind(const QString &setting, Kind kind, Kind columnKind, const HostRow &row);
    QString columnText(const HostRow &row, const QLocale &locale) const;

    Kind m_kind = FixedText;
    int m_column = -1;
    QString m_text;
};

// The resolvers of one value against one row. Each trims the setting in place. A setting that
// names a column the row lacks gives "" and sets *missingColumn to that name.
QString ResolveHeaderField(QString &setting, const HostRow &header, const QLocale &locale,
                           QString *missingColumn);
void ResolveLogField(QString &setting, QString &value, const HostRow &log, const QLocale &locale,
                     QString *missingColumn);
QString ResolveOwnerField(QString &setting, const HostRow &log, const QLocale &locale,
                          QString *missingColumn);
