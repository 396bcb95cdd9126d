#include "host/OdbcDrivers.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

QStringList OdbcDrivers::installed()
{
    // The driver manager's own list: the registry on Windows; odbcinst.ini in ODBCSYSINI or
    // the system's folder with unixODBC.
    QStringList drivers;
    SQLHENV environment = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        return drivers;
    if (SQL_SUCCEEDED(SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                                    reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0;
        SQLWCHAR attributes[2048];
        SQLSMALLINT attributesLength = 0;
        SQLUSMALLINT direction = SQL_FETCH_FIRST;
        while (SQL_SUCCEEDED(SQLDriversW(environment, direction, name, SQLSMALLINT(std::size(name)),
                                         &nameLength, attributes,
                                         SQLSMALLINT(std::size(attributes)), &attributesLength))) {
            drivers << QString::fromUtf16(reinterpret_cast<const char16_t *>(name),
                                          qMin<qsizetype>(nameLength, std::size(name) - 1));
            direction = SQL_FETCH_NEXT;
        }
    }
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return drivers;
}
