#pragma once

#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>

// What a driver says about a failure: the texts of its diagnostic records, each once, and the
// native error number of the first.
struct OdbcDiagnostics
{
    QString text;
    QString number;

    bool isEmpty() const { return text.isEmpty(); }

    static OdbcDiagnostics of(SQLSMALLINT type, SQLHANDLE handle);
    // The statement's records, else its connection's, where a driver may leave them (a lost
    // connection, a refused attribute); only where neither holds one a text of the program's.
    static OdbcDiagnostics ofStatement(SQLHSTMT statement, SQLHDBC connection, SQLRETURN result);
};
