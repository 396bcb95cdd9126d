#include "host/HostLists.h"

#include "base/TextRules.h"
#include "host/HostDatabase.h"

#include <QLocale>

HostLists::HostLists(const HostDatabase &database) : m_database(database) { }

QString HostLists::trimmed(const QString &column)
{
    // TRIM() is missing before SQL Server 2017; LTRIM and RTRIM remove spaces only, as the
    // program's own trimming does.
    return QStringLiteral("LTRIM(RTRIM(%1))").arg(column);
}

QString HostLists::headerCondition()
{
    return trimmed(QStringLiteral("LISTENKOPF.LISTE")) + QStringLiteral(" = ?");
}

QString HostLists::logsCondition()
{
    return QStringLiteral("LOGS.LISTE IN (SELECT LISTENKOPF.LISTE FROM LISTENKOPF WHERE ")
            + headerCondition() + u')';
}

bool HostLists::openLists(QStringList *lists)
{
    lists->clear();
    // The lock is read, not compared in SQL, so that the selector and the export agree on a
    // value that is no number.
    HostQuery query = m_database.exec(QStringLiteral(
            "SELECT LISTE, GESPERRT FROM LISTENKOPF WHERE LISTE IS NOT NULL ORDER BY LISTE "));
    const int column = query.indexOf(QStringLiteral("LISTE"));
    const int lock = query.indexOf(QStringLiteral("GESPERRT"));
    const QLocale locale = QLocale::system();
    while (query.next()) {
        if (!isLocked(query.value(lock)))
            lists->append(TextRules::trimBlanks(query.value(column).toText(locale)));
    }
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
    // Distinct and sorted as shown, without blanks, in the server's own order.
    HostQuery query =
            m_database.exec(QStringLiteral("SELECT DISTINCT ") + trimmed(QStringLiteral("LOS"))
                                    + QStringLiteral(" AS LOS FROM LOGS WHERE ") + logsCondition()
                                    + QStringLiteral(" ORDER BY 1"),
                            { name });
    const int column = query.indexOf(QStringLiteral("LOS"));
    const QLocale locale = QLocale::system();
    while (query.next()) {
        // NULL and "" are distinct to the database but one entry here: the selection of
        // either takes the same logs.
        const QString lot = query.value(column).toText(locale);
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

bool HostLists::findList(const QString &listName, ListState *state)
{
    *state = ListMissing;
    HostQuery query = m_database.exec(QStringLiteral("SELECT GESPERRT FROM LISTENKOPF WHERE ")
                                              + headerCondition(),
                                      { TextRules::trimBlanks(listName) });
    if (query.next())
        *state = isLocked(query.value(0)) ? ListLocked : ListOpen;
    m_errorString = query.errorString();
    m_errorNumber = query.errorNumber();
    return !query.failed();
}

bool HostLists::isLocked(const HostValue &gesperrt)
{
    double value = 0;
    return !gesperrt.isNull() && !(gesperrt.toDouble(&value) && value == 0);
}

QString HostLists::refusal(ListState state, const QString &listName)
{
    switch (state) {
    case ListOpen:
        break;
    case ListLocked:
        return QStringLiteral("Liste %1 ist gesperrt - Abbruch!").arg(listName);
    case ListMissing:
        return QStringLiteral("Liste %1 nicht gefunden - Abbruch!").arg(listName);
    }
    return QString();
}
