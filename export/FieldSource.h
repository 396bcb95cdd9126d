#pragma once

#include "settings/ExportSettings.h"

#include <QString>

class HostRow;
class QLocale;

// A settings value that says where an exported value comes from. After trimming, its
// beginning decides, case-sensitively: "TEXT" names a column of the list's header row; "WO",
// "FREI" or "RELTABLE" a column of the log row; for the two owner settings "BLZ", "BANK",
// "KONTO", "POSTSCHECK" or "UID" an owner account column of the log row. Any other value,
// the empty one included, is a fixed text. The whole value is the column's name.
//
// A source is bound once to the columns of a result, so that the resolvers read its column
// for every row without looking the name up again.
class FieldSource
{
public:
    // The twelve settings resolved against the header row once and against every log row,
    // and the two resolved against the owner's account columns of every log row.
    static const ExportSettings::Key ValueSettings[12];
    static const ExportSettings::Key OwnerSettings[2];

    // Trims a field-source setting in place, as the resolvers read it: the trimmed text is
    // what the settings then hold and what Brett.Ini receives.
    static const QString &trimInPlace(QString &setting);

    // The source that a trimmed value or owner setting names.
    static FieldSource valueSetting(const QString &trimmedSetting);
    static FieldSource ownerSetting(const QString &trimmedSetting);

    // Finds the source's column in row when it reads one there: a header column in the header
    // row, a log or owner column in the log row. False when the row lacks that column;
    // columnName() then names it.
    bool bindHeader(const HostRow &header);
    bool bindLog(const HostRow &log);
    QString columnName() const { return m_text; }
    // Whether the value may differ from log to log: a log or owner column. A header column or
    // a fixed text gives every log of a list the same value.
    bool readsLogRow() const { return m_kind == LogColumn || m_kind == OwnerColumn; }

private:
    enum Kind { HeaderColumn, LogColumn, OwnerColumn, FixedText };
    bool bind(Kind columnKind, const HostRow &row);
    QString columnText(const HostRow &row, const QLocale &locale) const;

    friend QString ResolveHeaderField(const FieldSource &, const HostRow &, const QLocale &);
    friend void ResolveLogField(const FieldSource &, QString &, const HostRow &, const QLocale &);
    friend QString ResolveOwnerField(const FieldSource &, const HostRow &, const QLocale &);

    Kind m_kind = FixedText;
    int m_column = -1;
    QString m_text;
};

// The value of a source bound to the header row: its column for a header column, "" for a
// log column, which each log supplies, the text itself for a fixed text.
QString ResolveHeaderField(const FieldSource &source, const HostRow &header, const QLocale &locale);
// Updates a run value for the current log of the row the source is bound to: a log column
// gives the log's own value, a fixed text itself; a header column leaves value as it is, so
// that it keeps its header value on every log.
void ResolveLogField(const FieldSource &source, QString &value, const HostRow &log,
                     const QLocale &locale);
// The value of an owner source for the current log: its column or the text itself.
QString ResolveOwnerField(const FieldSource &source, const HostRow &log, const QLocale &locale);
