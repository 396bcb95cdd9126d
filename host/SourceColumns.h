#pragma once

#include <QString>
#include <QStringList>

// The host's columns that a field-source setting can name, one catalogue for the settings
// window's choice lists, the field-source rules and the log statement.
class SourceColumns
{
public:
    enum class Row { Header, Log };

    // Columns named by a beginning and a number: TEXT1 to TEXT15 of the list's header row;
    // WO1 to WO6, FREI1 to FREI5 and RELTABLE1 to RELTABLE10 of the log row.
    struct NumberedGroup
    {
        const char *beginning;
        int count;
        Row row;
    };
    // In the order the settings window offers them: RELTABLE, TEXT, FREI, WO.
    static const NumberedGroup Groups[4];

    // The row that a setting beginning with "TEXT", "WO", "FREI" or "RELTABLE" reads from;
    // false for any other setting. Case-sensitive: "wo1" names nothing.
    static bool rowOf(const QString &trimmedSetting, Row *row);
    // Whether a setting begins with one of the forest owner's account columns "BLZ", "BANK",
    // "KONTO", "POSTSCHECK" or "UID".
    static bool isOwnerAccount(const QString &trimmedSetting);

    // Every numbered column in Groups order, each group counted up from 1.
    static QStringList numberedColumns();
    static QStringList numberedColumns(const char *beginning);
    // BLZ, BANK, KONTO, POSTSCHECK, UID and the same with 1: the owner's two accounts.
    static QStringList ownerAccountColumns();
};
