#include "host/HostDatabase.h"

#include "host/ConnectionString.h"
#include "host/OdbcCursor.h"
#include "host/OdbcDrivers.h"
#include "host/SqliteCursor.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>

#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>

namespace {

// As long as Qt's SQLite driver waits by default for a lock that another program holds.
const int SqliteBusyTimeoutMs = 5000;

// SQLite counts the memory it takes under a lock of the whole process, at every allocation of
// every connection: 3 % of the samples of an export of 300 000 logs (perf), most of them while
// the log statement sorts. Nothing here reads those counts. Set as the process starts, before
// SQLite is first used, as sqlite3_config() asks.
[[maybe_unused]] const bool SqliteWithoutMemoryCounts =
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;

SQLHDBC connectionHandle(const QSqlDatabase &database)
{
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || handle.metaType().sizeOf() != int(sizeof(SQLHDBC)))
        return SQL_NULL_HDBC;
    return *static_cast<const SQLHDBC *>(handle.constData());
}

// psqlODBC names its library psqlodbcw.so, psqlodbca.so or PSQLODBC35W.DLL and the like.
bool isPsqlodbc(SQLHDBC connection)
{
    SQLWCHAR name[256];
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(connection, SQL_DRIVER_NAME, name, sizeof name, &length)))
        return false;
    const qsizetype chars =
            std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)), std::size(name) - 1);
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(name), chars)
            .startsWith(QLatin1String("psqlodbc"), Qt::CaseInsensitive);
}

} // namespace

HostQuery::HostQuery(std::unique_ptr<HostCursor> cursor) : m_cursor(std::move(cursor)) { }

HostQuery::HostQuery(HostQuery &&) noexcept = default;
HostQuery &HostQuery::operator=(HostQuery &&) noexcept = default;
HostQuery::~HostQuery() = default;

bool HostQuery::next()
{
    return m_cursor && m_cursor->next();
}

QString HostQuery::errorString() const
{
    return m_cursor ? m_cursor->errorString() : QStringLiteral("Keine Verbindung zur Datenbank");
}

QString HostQuery::errorNumber() const
{
    return m_cursor ? m_cursor->errorNumber() : QString();
}

int HostQuery::columnCount() const
{
    return m_cursor ? m_cursor->columnCount() : 0;
}

int HostQuery::indexOf(const QString &name) const
{
    return m_cursor ? m_cursor->indexOf(name) : -1;
}

HostValue HostQuery::value(int column) const
{
    return m_cursor ? m_cursor->value(column) : HostValue();
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
    if (!ConnectionString::map(connectionString, OdbcDrivers::installed(), &target, &m_errorString))
        return false;
    const bool sqlite = target.driver == QLatin1String("SQLITE");
    // SQLite would otherwise create an empty database in place of a mistyped path.
    if (sqlite && !QFileInfo(target.databaseName).isFile()) {
        m_errorString = QStringLiteral("Die Datenbankdatei %1 wurde nicht gefunden.")
                                .arg(target.databaseName);
        return false;
    }
    if (!sqlite && !QSqlDatabase::isDriverAvailable(target.driver)) {
        m_errorString = QStringLiteral("Der Qt-Datenbanktreiber %1 ist nicht installiert.")
                                .arg(target.driver);
        return false;
    }
    const bool opened = sqlite ? openSqlite(target.databaseName)
                               : openOdbc(target.databaseName, target.connectOptions);
    if (!opened) {
        m_errorString.prepend(QStringLiteral("Keine Verbindung zur Datenbank: "));
        close();
        return false;
    }
    return true;
}

bool HostDatabase::openBeside(const HostDatabase &other)
{
    close();
    m_errorString.clear();
    m_errorNumber.clear();
    if (!other.isOpen())
        return false;
    m_queryTimeout = other.m_queryTimeout;
    if (other.m_sqlite ? openSqlite(other.m_sqlitePath)
                       : openOdbc(other.m_odbcConnection, other.m_odbcOptions))
        return true;
    close();
    return false;
}

bool HostDatabase::openSqlite(const QString &path)
{
    m_sqlitePath = path;
    // One thread at a time uses a connection, so SQLite need not lock it on every call.
    int code = sqlite3_open_v2(path.toUtf8().constData(), &m_sqlite,
                               SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code == SQLITE_OK) {
        // Another program's write lock is waited for, then reported as "database is locked".
        sqlite3_busy_timeout(m_sqlite, SqliteBusyTimeoutMs);
        // SQLite opens any file lazily; reading its schema tells whether it is a database.
        code = sqlite3_exec(m_sqlite, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr,
                            nullptr);
    }
    // The log statement's ORDER BY sorts every row before the first one comes back, on this
    // thread alone by default; one helper thread of SQLite's own sorter takes a part of it on
    // a second core. The sorted rows come out the same.
    if (code == SQLITE_OK)
        code = sqlite3_exec(m_sqlite, "PRAGMA threads = 1", nullptr, nullptr, nullptr);
    if (code == SQLITE_OK)
        return true;
    m_errorString = m_sqlite ? QString::fromUtf8(sqlite3_errmsg(m_sqlite))
                             : QString::fromUtf8(sqlite3_errstr(code));
    m_errorNumber = QString::number(code);
    return false;
}

bool HostDatabase::openOdbc(const QString &connectionString, const QString &options)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
    db.setDatabaseName(connectionString);
    db.setConnectOptions(options);
    if (!db.open()) {
        takeQtError(db.lastError());
        return false;
    }
    SQLHDBC connection = connectionHandle(db);
    if (!connection) {
        m_errorString =
                QStringLiteral("Der Qt-Datenbanktreiber QODBC gibt keine ODBC-Verbindung heraus.");
        return false;
    }
    if (m_queryTimeout > 0 && !OdbcCursor::keepsTimeout(connection, m_queryTimeout, &m_errorString))
        return false;
    m_odbc = connection;
    m_odbcConnection = connectionString;
    m_odbcOptions = options;
    m_inFlight = std::make_shared<std::atomic<bool>>(false);
    // psqlODBC reads a whole result into memory at execute unless the connection string asks
    // for its batches (UseDeclareFetch), which put the bound values into the statement's text;
    // so the program reads through a cursor of its own there, with the values still bound.
    if (!isPsqlodbc(connection))
        m_streaming = Streaming::Prefetch;
    else if (!ConnectionString::containsKey(connectionString, "UseDeclareFetch"))
        m_streaming = Streaming::ServerCursor;
    else
        m_streaming = Streaming::Driver;
    return true;
}

void HostDatabase::takeQtError(const QSqlError &error)
{
    // The server's own words, else Qt's.
    m_errorString = error.databaseText().trimmed();
    if (m_errorString.isEmpty())
        m_errorString = error.driverText().trimmed();
    if (m_errorString.isEmpty())
        m_errorString = error.text().trimmed();
    m_errorNumber = error.nativeErrorCode();
}

void HostDatabase::close()
{
    m_odbc = nullptr;
    m_odbcConnection.clear();
    m_odbcOptions.clear();
    m_streaming = Streaming::Driver;
    if (m_sqlite) {
        // A statement still open keeps the file open until it is finalized.
        sqlite3_close_v2(m_sqlite);
        m_sqlite = nullptr;
    }
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
    // Not Qt's connection, which answers only the thread that opened it: the rows of a
    // connection opened beside another are read on a thread of their own.
    return m_sqlite || m_odbc;
}

HostQuery HostDatabase::exec(const QString &statement, const QVariantList &params) const
{
    return run(statement, params, false);
}

HostQuery HostDatabase::execStreamed(const QString &statement, const QVariantList &params) const
{
    return run(statement, params, true);
}

HostQuery HostDatabase::run(const QString &statement, const QVariantList &params,
                            bool streamed) const
{
    if (m_sqlite)
        return HostQuery(std::make_unique<SqliteCursor>(m_sqlite, statement, params));
    if (!isOpen())
        return HostQuery(nullptr);
    // psqlODBC 13 itself crashed when the server went away while its own batches were read
    // (UseDeclareFetch): those are not fetched ahead.
    OdbcCursor::Streaming streaming = OdbcCursor::Streaming::None;
    if (streamed && m_streaming == Streaming::Prefetch)
        streaming = OdbcCursor::Streaming::Prefetch;
    else if (streamed && m_streaming == Streaming::ServerCursor)
        streaming = OdbcCursor::Streaming::ServerCursor;
    return HostQuery(std::make_unique<OdbcCursor>(m_odbc, m_inFlight, statement, params,
                                                  m_queryTimeout, streaming));
}

QString HostDatabase::orderNullsFirst(const QStringList &columns)
{
    QStringList keys;
    for (const QString &column : columns)
        keys << QStringLiteral("CASE WHEN %1 IS NULL THEN 0 ELSE 1 END, %1").arg(column);
    return keys.join(QStringLiteral(", "));
}
