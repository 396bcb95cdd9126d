#include "host/OdbcDrivers.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, which the ODBC headers need.
#include <sql.h>
#include <sqlext.h>

#include <iterator>
#endif

QStringList OdbcDrivers::installed()
{
#ifdef Q_OS_WIN
    // The driver manager's own list, which is the registry's on Windows; under Wine it is the
    // host's unixODBC list, which Wine's registry does not hold.
    QStringList drivers;
    SQLHENV environment = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        return drivers;
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                  0);
    SQLWCHAR name[256];
    SQLWCHAR attributes[1024];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDriversW(environment, direction, name, SQLSMALLINT(std::size(name)),
                                     &nameLength, attributes, SQLSMALLINT(std::size(attributes)),
                                     &attributesLength))) {
        drivers << QString::fromWCharArray(reinterpret_cast<const wchar_t *>(name));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return drivers;
#else
    // unixODBC keeps its driver list in odbcinst.ini, in ODBCSYSINI or /etc.
    QString directory = qEnvironmentVariable("ODBCSYSINI");
    if (directory.isEmpty())
        directory = QStringLiteral("/etc");
    const QString path = QDir(directory).filePath(QStringLiteral("odbcinst.ini"));
    if (!QFile::exists(path))
        return {};
    QSettings ini(path, QSettings::IniFormat);
    QStringList drivers;
    for (const QString &group : ini.childGroups()) {
        if (group != QLatin1String("ODBC"))
            drivers << group;
    }
    return drivers;
#endif
}
