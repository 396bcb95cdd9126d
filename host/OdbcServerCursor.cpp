#include "host/OdbcServerCursor.h"

#include <QAtomicInt>

#include <sqlext.h>

bool OdbcServerCursor::fits(const QString &statement)
{
    return statement.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive);
}

bool OdbcServerCursor::begin(SQLHDBC connection, OdbcDiagnostics *error)
{
    // A cursor lives in a transaction; WITH HOLD keeps it should another statement's end commit
    // the transaction first.
    const SQLRETURN result = SQLSetConnectAttr(
            connection, SQL_ATTR_AUTOCOMMIT,
            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_OFF)),
            SQL_IS_UINTEGER);
    if (!SQL_SUCCEEDED(result)) {
        *error = OdbcDiagnostics::ofStatement(SQL_NULL_HSTMT, connection, result);
        return false;
    }
    static QAtomicInt counter;
    m_connection = connection;
    m_name = QStringLiteral("brettholm_rows_%1").arg(counter.fetchAndAddRelaxed(1));
    return true;
}

QString OdbcServerCursor::declare(const QString &select) const
{
    return QStringLiteral("DECLARE %1 CURSOR WITH HOLD FOR %2").arg(m_name, select);
}

SQLRETURN OdbcServerCursor::tunePlanner(SQLHSTMT statement)
{
    // The planner is told that every row of the cursor will be read, not a tenth as it assumes
    // for cursors, and to leave out JIT compilation, which its estimate for the correlated
    // look-ups of the log statement calls for and which costs more than it saves (bench/run.sh,
    // 100 000 logs: 5.5 s with both defaults, 3.0 s without); both for this transaction only.
    const SQLRETURN result =
            run(statement,
                QStringLiteral("SELECT set_config(name, CASE name WHEN 'jit' THEN 'off' ELSE '1' "
                               "END, true) FROM pg_settings "
                               "WHERE name IN ('jit', 'cursor_tuple_fraction')"));
    SQLFreeStmt(statement, SQL_CLOSE);
    return result;
}

SQLRETURN OdbcServerCursor::fetchBatch(SQLHSTMT statement) const
{
    return run(statement, QStringLiteral("FETCH FORWARD %1 FROM %2").arg(BatchRows).arg(m_name));
}

void OdbcServerCursor::end(SQLHSTMT statement)
{
    if (!isActive())
        return;
    run(statement, QStringLiteral("CLOSE ") + m_name);
    SQLFreeStmt(statement, SQL_CLOSE);
    SQLSetConnectAttr(m_connection, SQL_ATTR_AUTOCOMMIT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_ON)),
                      SQL_IS_UINTEGER);
    m_connection = SQL_NULL_HDBC;
}

SQLRETURN OdbcServerCursor::run(SQLHSTMT statement, const QString &text)
{
    SQLFreeStmt(statement, SQL_CLOSE);
    return SQLExecDirectW(statement,
                          const_cast<SQLWCHAR *>(reinterpret_cast<const SQLWCHAR *>(text.utf16())),
                          SQLINTEGER(text.size()));
}
