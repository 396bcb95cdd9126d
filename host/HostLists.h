#pragma once

#include <QString>
#include <QStringList>

class HostDatabase;
class HostValue;

// The two selections the main window offers: the open timber lists, and the lots of one list.
//
// An entry stands for every stored value that it shows. Entries are shown without blanks at
// their ends, but the servers compare only trailing blanks away, so a statement that looks an
// entry up compares the stored value without blanks at both ends, never the stored value
// itself: a lot stored as " A" is the entry "A", and so is one stored as "A".
class HostLists
{
public:
    explicit HostLists(const HostDatabase &database);

    // The names of the lists that have a name and are not locked, trimmed of blanks, in
    // ascending order.
    bool openLists(QStringList *lists);

    // The distinct lots of a list, trimmed of blanks, in ascending order; an empty entry, always
    // the first, stands for the logs without a lot value. An empty name gives no lots and no
    // query.
    bool lotsOfList(const QString &listName, QStringList *lots);

    enum ListState { ListOpen, ListLocked, ListMissing };
    // Whether the header row of the list exists and is locked, as the export sees it.
    bool findList(const QString &listName, ListState *state);

    // Whether a header row's GESPERRT value locks its list: anything but NULL or the number 0,
    // a text that is no number included, so that a value the program cannot read never opens
    // a list to export. Every path that offers or exports a list decides by this.
    static bool isLocked(const HostValue &gesperrt);
    // Why a list is not exported: "Liste 4711 nicht gefunden - Abbruch!" or "… ist gesperrt
    // - Abbruch!"; "" for an open list.
    static QString refusal(ListState state, const QString &listName);

    // An SQL expression: the column without blanks at both ends, written so that SQL Server,
    // SQLite and PostgreSQL all accept it.
    static QString trimmed(const QString &column);
    // The condition on LISTENKOPF that finds the header row of the list named by the one bound
    // value, and the one on LOGS that finds the logs of that list. The logs are matched through
    // the header's stored names, so that the index on LOGS.LISTE still serves.
    static QString headerCondition();
    static QString logsCondition();

    QString errorString() const { return m_errorString; }
    QString errorNumber() const { return m_errorNumber; }

private:
    const HostDatabase &m_database;
    QString m_errorString;
    QString m_errorNumber;
};
