#include "host/HostLists.h"

#include "base/TextRules.h"
#include "host/HostDatabase.h"

#include <QLocale>

HostLists::HostLists(const HostDatabase &database) : m_database(database) { }

bool HostLists::openLists(QStringList *lists)
{
    lists->clear();
    HostQuery query = m_database.exec(
            QStringLiteral("SELECT LISTE FROM LISTENKOPF WHERE LISTE IS NOT NULL AND "
                           "COALESCE(GESPERRT,0) = 0 ORDER BY LISTE "));
    const int column = query.indexOf(QStringLiteral("LISTE"));
    const QLocale locale = QLocale::system();
    while (query.next())
        lists->append(TextRules::trimBlanks(query.value(column).toText(locale)));
    m_errorString = query.errorString();
    m_errorNumber = query.errorNumber();
    return !query.failed();
}

bool HostLists::lotsOfList(const QString &listName, QStringList *lots)
{
    lots->clear();
    m_errorString.clear();
    m_errorNumber.clear();
    const QString name = TextRules::trimBlanks(listName);
    if (name.isEmpty())
        return true;
    // The database compares the name without regard to trailing blanks.
    HostQuery query = m_database.exec(
            QStringLiteral("SELECT DISTINCT(LOS) FROM LOGS WHERE LISTE = ? ORDER BY LOS"),
            { name });
    const int column = query.indexOf(QStringLiteral("LOS"));
    const QLocale locale = QLocale::system();
    while (query.next()) {
        // NULL and "", or "7" and " 7", are distinct to the database but one entry here:
        // the selection of either takes the same logs.
        const QString lot = TextRules::trimBlanks(query.value(column).toText(locale));
        if (!lots->contains(lot))
            lots->append(lot);
    }
    // The empty entry comes first, where SQL Server and SQLite sort NULL and "" alike;
    // PostgreSQL sorts NULL last.
    if (lots->removeOne(QString()))
        lots->prepend(QString());
    m_errorString = query.errorString();
    m_errorNumber = query.errorNumber();
    return !query.failed();
}
