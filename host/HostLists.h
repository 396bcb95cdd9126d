#pragma once

#include <QString>
#include <QStringList>

class HostDatabase;

// The two selections the main window offers: the open timber lists, and the lots of one list.
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

    QString errorString() const { return m_errorString; }
    QString errorNumber() const { return m_errorNumber; }

private:
    const HostDatabase &m_database;
    QString m_errorString;
    QString m_errorNumber;
};
