#pragma once

#include "host/HostCursor.h"
#include "host/OdbcBlockReader.h"
#include "host/OdbcFetchAhead.h"
#include "host/OdbcServerCursor.h"

#include <QVariantList>

#include <atomic>
#include <memory>
#include <vector>

// The rows of a statement on an ODBC connection, read through the ODBC API itself, forward
// only and read-only. Error texts are the server's.
//
// One statement at a time reads on a connection: SQL Server without multiple active result
// sets refuses a second one ("connection busy"), and a handle is never used by two threads at
// once. A cursor holds its connection from its start to the end of its rows, a failure or its
// destruction; one started meanwhile fails at once. A cursor destroyed before its end cancels
// the statement, so that the driver does not read the rest of a large result.
class OdbcCursor final : public HostCursor
{
public:
    // How the rows of a statement of many rows come.
    enum class Streaming {
        // As the driver hands them over, one block after the other.
        None,
        // The next block is fetched by a worker of the cursor while the rows of the current
        // one are read, so that the server's work and the program's overlap.
        Prefetch,
        // PostgreSQL: a SELECT becomes a server cursor fetched in batches (OdbcServerCursor),
        // prefetched.
        ServerCursor,
    };
    // Whether a cursor is reading on a connection; shared by the connection's cursors.
    using InFlight = std::shared_ptr<std::atomic<bool>>;

    // Runs statement on the ODBC connection with params bound to its "?" placeholders in
    // order: a QString as text, the null QString as the empty text, a QVariant without a value
    // as NULL. The statement gives up after timeoutSeconds waiting for the server (0: never);
    // a driver that does not keep that limit fails the statement.
    OdbcCursor(SQLHDBC connection, InFlight inFlight, const QString &statement,
               const QVariantList &params, int timeoutSeconds,
               Streaming streaming = Streaming::None);
    ~OdbcCursor() override;
    OdbcCursor(const OdbcCursor &) = delete;
    OdbcCursor &operator=(const OdbcCursor &) = delete;

    bool next() override;
    int columnCount() const override;
    HostValue value(int column) const override;

    // Whether the driver of connection keeps a query timeout of seconds; *errorString says why
    // not. Nothing is run.
    static bool keepsTimeout(SQLHDBC connection, int seconds, QString *errorString);

private:
    struct Parameter
    {
        QByteArray data;
        SQLLEN length;
    };

    bool start(const QString &statement, const QVariantList &params, int timeoutSeconds,
               Streaming streaming);
    bool bindParameters(const QVariantList &params);
    bool fail(SQLRETURN result);
    bool fail(const OdbcDiagnostics &error);
    // Ends the rows: closes the result and the server cursor, gives the connection free.
    void finish();
    void fetch(int set);

    SQLHDBC m_connection;
    InFlight m_inFlight;
    bool m_holdsConnection = false;
    SQLHSTMT m_statement = SQL_NULL_HSTMT;
    OdbcServerCursor m_serverCursor;
    OdbcBlockReader m_reader;
    std::unique_ptr<OdbcFetchAhead> m_fetchAhead;
    std::vector<Parameter> m_parameters;
    // The block being read, and the one fetched next (by the worker while m_pending).
    int m_current = 1;
    int m_next = 0;
    bool m_pending = false;
    SQLULEN m_row = 0;
    bool m_onRow = false;
    bool m_finished = false;
};
