#include "host/OdbcDiagnostics.h"

#include <QStringList>

#include <sqlext.h>

#include <algorithm>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters are UTF-16");

OdbcDiagnostics OdbcDiagnostics::of(SQLSMALLINT type, SQLHANDLE handle)
{
    OdbcDiagnostics diagnostics;
    QStringList messages;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6];
        SQLINTEGER native = 0;
        SQLWCHAR message[1024];
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, record, state, &native, message,
                                          SQLSMALLINT(std::size(message)), &length)))
            break;
        const QString part = QString::fromUtf16(reinterpret_cast<const char16_t *>(message),
                                                std::min<qsizetype>(length, std::size(message) - 1))
                                     .trimmed();
        if (record == 1)
            diagnostics.number = QString::number(native);
        if (!part.isEmpty() && !messages.contains(part))
            messages << part;
    }
    diagnostics.text = messages.join(u' ');
    return diagnostics;
}

OdbcDiagnostics OdbcDiagnostics::ofStatement(SQLHSTMT statement, SQLHDBC connection,
                                             SQLRETURN result)
{
    OdbcDiagnostics diagnostics;
    if (statement != SQL_NULL_HSTMT)
        diagnostics = of(SQL_HANDLE_STMT, statement);
    if (diagnostics.isEmpty() && connection != SQL_NULL_HDBC)
        diagnostics = of(SQL_HANDLE_DBC, connection);
    if (diagnostics.isEmpty())
        diagnostics.text = QStringLiteral("Unbekannter Datenbankfehler (ODBC %1)").arg(result);
    return diagnostics;
}
