#include "host/OdbcCursor.h"

#include <sqlext.h>

#include <algorithm>
#include <utility>

namespace {

// SQL Server and PostgreSQL let a reader wait without end for a lock that a writer holds, so a
// limit that the driver would drop is an error, not a silent wait.
bool setTimeout(SQLHSTMT statement, int seconds, QString *errorString)
{
    SQLRETURN result = SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)),
                                      SQL_IS_UINTEGER);
    // A driver may accept the attribute and keep another value, or none (then it reads 0).
    SQLULEN kept = 0;
    if (SQL_SUCCEEDED(result))
        result = SQLGetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, &kept, sizeof kept, nullptr);
    if (SQL_SUCCEEDED(result) && kept == SQLULEN(seconds))
        return true;
    const OdbcDiagnostics driver = OdbcDiagnostics::of(SQL_HANDLE_STMT, statement);
    *errorString = QStringLiteral("Der ODBC-Treiber hält die Zeitgrenze von %1 s für Abfragen "
                                  "nicht ein; eine gesperrte Tabelle ließe das Programm ohne "
                                  "Ende warten.")
                           .arg(seconds);
    if (!driver.isEmpty())
        *errorString += u' ' + driver.text;
    return false;
}

} // namespace

OdbcCursor::OdbcCursor(SQLHDBC connection, InFlight inFlight, const QString &statement,
                       const QVariantList &params, int timeoutSeconds, Streaming streaming)
    : m_connection(connection), m_inFlight(std::move(inFlight))
{
    start(statement, params, timeoutSeconds, streaming);
}

OdbcCursor::~OdbcCursor()
{
    if (!m_finished && m_statement != SQL_NULL_HSTMT) {
        // Stopped before the end: the driver is to read no more of the result. A fetch under
        // way on the worker is cancelled from here, which is what SQLCancel is for.
        SQLCancel(m_statement);
        m_fetchAhead.reset();
        SQLCancel(m_statement);
    }
    finish();
    m_fetchAhead.reset();
    if (m_statement != SQL_NULL_HSTMT)
        SQLFreeHandle(SQL_HANDLE_STMT, m_statement);
}

bool OdbcCursor::keepsTimeout(SQLHDBC connection, int seconds, QString *errorString)
{
    SQLHSTMT statement = SQL_NULL_HSTMT;
    const SQLRETURN result = SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement);
    if (!SQL_SUCCEEDED(result)) {
        *errorString = OdbcDiagnostics::ofStatement(SQL_NULL_HSTMT, connection, result).text;
        return false;
    }
    const bool kept = setTimeout(statement, seconds, errorString);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return kept;
}

bool OdbcCursor::fail(SQLRETURN result)
{
    return fail(OdbcDiagnostics::ofStatement(m_statement, m_connection, result));
}

bool OdbcCursor::fail(const OdbcDiagnostics &error)
{
    m_errorString = error.text;
    m_errorNumber = error.number;
    finish();
    return false;
}

void OdbcCursor::finish()
{
    m_onRow = false;
    if (m_finished)
        return;
    m_finished = true;
    if (m_statement != SQL_NULL_HSTMT) {
        m_serverCursor.end(m_statement);
        SQLFreeStmt(m_statement, SQL_CLOSE);
    }
    if (m_holdsConnection)
        m_inFlight->store(false);
    m_holdsConnection = false;
}

bool OdbcCursor::start(const QString &statement, const QVariantList &params, int timeoutSeconds,
                       Streaming streaming)
{
    bool idle = false;
    if (!m_inFlight || !m_inFlight->compare_exchange_strong(idle, true)) {
        m_errorString = QStringLiteral("Die Verbindung zur Datenbank liest noch die Zeilen einer "
                                       "anderen Abfrage; eine zweite Abfrage zugleich ist nicht "
                                       "möglich.");
        m_finished = true;
        return false;
    }
    m_holdsConnection = true;
    SQLRETURN result = SQLAllocHandle(SQL_HANDLE_STMT, m_connection, &m_statement);
    if (!SQL_SUCCEEDED(result)) {
        m_statement = SQL_NULL_HSTMT;
        return fail(result);
    }
    // Forward only and read only, as ODBC's defaults are; said here, so that no driver's
    // setting changes them.
    result = SQLSetStmtAttr(m_statement, SQL_ATTR_CURSOR_TYPE,
                            reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), 0);
    if (SQL_SUCCEEDED(result))
        result = SQLSetStmtAttr(m_statement, SQL_ATTR_CONCURRENCY,
                                reinterpret_cast<SQLPOINTER>(SQL_CONCUR_READ_ONLY), 0);
    if (!SQL_SUCCEEDED(result))
        return fail(result);
    if (timeoutSeconds > 0 && !setTimeout(m_statement, timeoutSeconds, &m_errorString)) {
        finish();
        return false;
    }

    QString text = statement;
    if (streaming == Streaming::ServerCursor && OdbcServerCursor::fits(statement)) {
        OdbcDiagnostics error;
        if (!m_serverCursor.begin(m_connection, &error))
            return fail(error);
        if (!SQL_SUCCEEDED(result = OdbcServerCursor::tunePlanner(m_statement)))
            return fail(result);
        text = m_serverCursor.declare(statement);
    }
    if (!bindParameters(params))
        return false;
    result = SQLPrepareW(m_statement,
                         const_cast<SQLWCHAR *>(reinterpret_cast<const SQLWCHAR *>(text.utf16())),
                         SQLINTEGER(text.size()));
    if (SQL_SUCCEEDED(result))
        result = SQLExecute(m_statement);
    if (result == SQL_NO_DATA) {
        finish();
        return false;
    }
    if (!SQL_SUCCEEDED(result))
        return fail(result);
    if (m_serverCursor.isActive()) {
        SQLFreeStmt(m_statement, SQL_RESET_PARAMS);
        if (!SQL_SUCCEEDED(result = m_serverCursor.fetchBatch(m_statement)))
            return fail(result);
    }

    OdbcDiagnostics error;
    if (!m_reader.describe(m_statement, m_connection, &error))
        return fail(error);
    m_names = m_reader.names();
    if (m_reader.columnCount() == 0) {
        finish();
        return false;
    }
    if (streaming != Streaming::None)
        m_fetchAhead = std::make_unique<OdbcFetchAhead>([this](int set) { fetch(set); });
    return true;
}

bool OdbcCursor::bindParameters(const QVariantList &params)
{
    SQLRETURN result = SQL_SUCCESS;
    // The values stay here until the statement has run; the vector never moves them.
    m_parameters.reserve(params.size());
    for (qsizetype i = 0; i < params.size(); ++i) {
        const QVariant &param = params.at(i);
        SQLSMALLINT cType = SQL_C_WCHAR;
        SQLSMALLINT sqlType = SQL_WVARCHAR;
        SQLULEN size = 1;
        Parameter p;
        switch (param.typeId()) {
        case QMetaType::UnknownType:
        case QMetaType::Nullptr:
            p.data = QByteArray(sizeof(SQLWCHAR), '\0');
            p.length = SQL_NULL_DATA;
            break;
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong: {
            const SQLBIGINT value = param.toLongLong();
            p.data = QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
            p.length = sizeof value;
            cType = SQL_C_SBIGINT;
            sqlType = SQL_BIGINT;
            break;
        }
        case QMetaType::Double: {
            const double value = param.toDouble();
            p.data = QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
            p.length = sizeof value;
            cType = SQL_C_DOUBLE;
            sqlType = SQL_DOUBLE;
            break;
        }
        default: {
            // Text, the null QString included, which is the empty text and no NULL.
            const QString text = param.toString();
            p.data = QByteArray(reinterpret_cast<const char *>(text.utf16()),
                                text.size() * qsizetype(sizeof(SQLWCHAR)));
            p.length = p.data.size();
            size = std::max<SQLULEN>(1, text.size());
            if (p.data.isEmpty())
                p.data = QByteArray(sizeof(SQLWCHAR), '\0');
        }
        }
        m_parameters.push_back(std::move(p));
        Parameter &bound = m_parameters.back();
        result = SQLBindParameter(m_statement, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, cType, sqlType,
                                  size, 0, bound.data.data(), bound.data.size(), &bound.length);
        if (!SQL_SUCCEEDED(result))
            return fail(result);
    }
    return true;
}

void OdbcCursor::fetch(int set)
{
    m_reader.fetch(set, [this](SQLULEN rows) {
        // A full batch of the server cursor may have more behind it.
        if (!m_serverCursor.isActive() || rows != OdbcServerCursor::BatchRows)
            return SQLRETURN(SQL_NO_DATA);
        return m_serverCursor.fetchBatch(m_statement);
    });
}

bool OdbcCursor::next()
{
    if (m_finished)
        return false;
    if (m_onRow)
        ++m_row;
    m_onRow = false;
    if (m_row >= m_reader.block(m_current).rows) {
        // The block that ended the rows, at their end or at a failure.
        if (m_reader.block(m_current).end) {
            const OdbcDiagnostics error = m_reader.block(m_current).error;
            return error.isEmpty() ? (finish(), false) : fail(error);
        }
        if (m_pending)
            m_fetchAhead->wait();
        else
            fetch(m_next);
        m_pending = false;
        m_current = m_next;
        m_next = 1 - m_next;
        m_row = 0;
        const OdbcBlockReader::Block &block = m_reader.block(m_current);
        if (block.rows == 0) {
            const OdbcDiagnostics error = block.error;
            return error.isEmpty() ? (finish(), false) : fail(error);
        }
        if (m_fetchAhead && !block.end) {
            m_fetchAhead->start(m_next);
            m_pending = true;
        }
    }
    m_onRow = true;
    return true;
}

int OdbcCursor::columnCount() const
{
    return m_reader.columnCount();
}

HostValue OdbcCursor::value(int column) const
{
    if (!m_onRow || column < 0 || column >= columnCount())
        return HostValue();
    return m_reader.value(m_current, m_row, column);
}
