#pragma once

#include "host/OdbcDiagnostics.h"

#include <QString>

// PostgreSQL's way to stream a SELECT: a cursor declared on the server (DECLARE … CURSOR WITH
// HOLD FOR, in a transaction of its own) and fetched in batches, so that neither end holds the
// whole result while the values stay bound as parameters.
class OdbcServerCursor
{
public:
    // Rows a FETCH asks for: two blocks' worth at most, a few MB in the driver's memory.
    static constexpr SQLULEN BatchRows = 2000;

    // Whether statement can run as a server cursor: a SELECT.
    static bool fits(const QString &statement);

    // Takes the connection out of autocommit for the cursor's transaction and names the
    // cursor; false with the connection's diagnostics when the driver refuses.
    bool begin(SQLHDBC connection, OdbcDiagnostics *error);
    // The statement to prepare in place of the SELECT.
    QString declare(const QString &select) const;
    // Tells the planner what a cursor of this program is for; run before the DECLARE.
    static SQLRETURN tunePlanner(SQLHSTMT statement);
    // Runs the FETCH of the next batch on statement.
    SQLRETURN fetchBatch(SQLHSTMT statement) const;
    // Closes the cursor and gives the connection its autocommit back. Harmless where the
    // cursor was never declared or the connection is gone.
    void end(SQLHSTMT statement);
    bool isActive() const { return m_connection != SQL_NULL_HDBC; }

    // Runs a statement without parameters on statement, closing its result before.
    static SQLRETURN run(SQLHSTMT statement, const QString &text);

private:
    SQLHDBC m_connection = SQL_NULL_HDBC;
    QString m_name;
};
