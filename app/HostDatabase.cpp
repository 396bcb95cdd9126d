#include "app/HostDatabase.h"

#include "app/ConnectionString.h"
#include "app/OdbcDrivers.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace {

// SQL Server and PostgreSQL let a reader wait without end for a lock that a writer holds. Qt
// sets no statement attributes, so the timeout goes to the driver's statement handle, which
// QODBC creates in prepare() and keeps for exec().
bool setStatementTimeout(const QSqlQuery &query, int seconds)
{
    const QVariant handle = query.result()->handle();
    if (!handle.isValid() || handle.metaType().sizeOf() != int(sizeof(SQLHANDLE)))
        return false;
    SQLHANDLE statement = *static_cast<const SQLHANDLE *>(handle.constData());
    if (!statement)
        return false;
    const SQLRETURN result = SQLSetStmtAttr(
            statement, SQL_ATTR_QUERY_TIMEOUT,
            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), SQL_IS_UINTEGER);
    return SQL_SUCCEEDED(result);
}

QString describe(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    return text;
}

// The ODBC type codes of fixed-width character columns (SQL_CHAR, SQL_WCHAR).
bool isFixedWidthText(int odbcType)
{
    return odbcType == 1 || odbcType == -8;
}

QString withoutTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end);
}

} // namespace

HostQuery::HostQuery(QSqlQuery query, bool odbc) : m_query(std::move(query))
{
    m_active = m_query.isActive();
    if (!m_active) {
        takeError();
        if (m_errorString.isEmpty())
            m_errorString = QStringLiteral("Unbekannter Datenbankfehler");
        return;
    }
    const QSqlRecord record = m_query.record();
    m_types.reserve(record.count());
    m_padded.reserve(record.count());
    for (int i = 0; i < record.count(); ++i) {
        m_types << record.field(i).metaType().id();
        // Only the ODBC driver reports ODBC type codes; SQLite's codes mean something else.
        m_padded << (odbc && isFixedWidthText(record.field(i).typeID()));
    }
}

void HostQuery::takeError()
{
    const QSqlError error = m_query.lastError();
    if (error.type() == QSqlError::NoError)
        return;
    m_errorString = describe(error);
    m_errorNumber = error.nativeErrorCode();
}

bool HostQuery::next()
{
    if (!m_active)
        return false;
    if (m_query.next())
        return true;
    takeError();
    m_active = false;
    return false;
}

int HostQuery::indexOf(const QString &name) const
{
    return m_query.record().indexOf(name);
}

bool HostQuery::isNull(int column) const
{
    return m_query.isNull(column);
}

HostValue HostQuery::value(int column) const
{
    if (m_query.isNull(column))
        return HostValue();
    const QVariant value = m_query.value(column);
    if (m_padded.value(column) && value.typeId() == QMetaType::QString)
        return HostValue::text(withoutTrailingBlanks(value.toString()));
    return HostValue::fromVariant(value, m_types.value(column));
}

HostDatabase::HostDatabase()
{
    static QAtomicInt counter;
    m_connectionName = QStringLiteral("brettholm-host-%1").arg(counter.fetchAndAddRelaxed(1));
}

HostDatabase::~HostDatabase()
{
    close();
}

bool HostDatabase::open(const QString &connectionString)
{
    close();
    m_errorString.clear();
    m_errorNumber.clear();

    ConnectionTarget target;
    if (!ConnectionString::map(connectionString, OdbcDrivers::installed(), &target,
                               &m_errorString))
        return false;
    if (!QSqlDatabase::isDriverAvailable(target.driver)) {
        m_errorString = QStringLiteral("Der Qt-Datenbanktreiber %1 ist nicht installiert.")
                                .arg(target.driver);
        return false;
    }
    const bool sqlite = target.driver == QLatin1String("QSQLITE");
    m_sqlite = sqlite;
    // SQLite would otherwise create an empty database in place of a mistyped path.
    if (sqlite && !QFileInfo(target.databaseName).isFile()) {
        m_errorString = QStringLiteral("Die Datenbankdatei %1 wurde nicht gefunden.")
                                .arg(target.databaseName);
        return false;
    }

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(target.driver, m_connectionName);
        db.setDatabaseName(target.databaseName);
        db.setConnectOptions(target.connectOptions);
        if (!db.open()) {
            m_errorString = describe(db.lastError());
            m_errorNumber = db.lastError().nativeErrorCode();
        } else if (sqlite) {
            // SQLite opens any file lazily; reading its schema tells whether it is a database.
            QSqlQuery probe(db);
            if (!probe.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master"))) {
                m_errorString = describe(probe.lastError());
                m_errorNumber = probe.lastError().nativeErrorCode();
            }
        }
    }
    if (!m_errorString.isEmpty()) {
        m_errorString.prepend(QStringLiteral("Keine Verbindung zur Datenbank: "));
        close();
        return false;
    }
    return true;
}

void HostDatabase::close()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool HostDatabase::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName)
            && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QString HostDatabase::driverName() const
{
    if (!QSqlDatabase::contains(m_connectionName))
        return QString();
    return QSqlDatabase::database(m_connectionName, false).driverName();
}

HostQuery HostDatabase::exec(const QString &statement, const QVariantList &params) const
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // ODBC drivers hand over decimal columns exactly only as text. SQLite has no decimal type:
    // its numbers are 64-bit integers or doubles, which it gives best as they are stored.
    query.setNumericalPrecisionPolicy(m_sqlite ? QSql::LowPrecisionDouble : QSql::HighPrecision);
    bool ok = query.prepare(statement);
    if (ok && !m_sqlite)
        setStatementTimeout(query, m_queryTimeout);
    if (ok) {
        for (const QVariant &param : params)
            query.addBindValue(param);
        ok = query.exec();
    }
    return HostQuery(std::move(query), !m_sqlite);
}

QString HostDatabase::orderNullsFirst(const QStringList &columns)
{
    QStringList keys;
    for (const QString &column : columns)
        keys << QStringLiteral("CASE WHEN %1 IS NULL THEN 0 ELSE 1 END, %1").arg(column);
    return keys.join(QStringLiteral(", "));
}
