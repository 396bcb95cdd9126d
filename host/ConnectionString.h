#pragma once

#include <QString>
#include <QStringList>

// What one connection string opens, and how.
struct ConnectionTarget
{
    QString driver; // "SQLITE" (the sqlite3 library, always read-only) or "QODBC" (Qt's driver)
    QString databaseName;   // the SQLite file, or the ODBC connection string
    QString connectOptions; // Qt's connect options for QODBC
};

// The connection strings the program accepts, and their translation into a target:
//  - the OLE DB form the host application writes ("Provider=SQLOLEDB.1;…;Data Source=SERVER"),
//    mapped to a DSN-less ODBC connection for SQL Server; its "Connect Timeout" (seconds,
//    15 when missing or not above 0) bounds the login; it is encrypted only when it asks for
//    it ("Use Encryption for Data"), the certificate then checked unless it says "Trust Server
//    Certificate", as with the provider;
//  - "Provider=SQLite;Data Source=FILE", opened read-only;
//  - any ODBC connection string (one with "Driver=" or "DSN="), used unchanged.
class ConnectionString
{
public:
    // The string built from the server and database names in lindavex.Ini. The names are
    // placed as they stand, as the host application's own tools do.
    static QString fromLvxIni(const QString &server, const QString &database);

    // installedOdbcDrivers names the ODBC drivers of this machine; the first installed of
    // "ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server", "FreeTDS" and
    // "SQL Server" serves the OLE DB form.
    static bool map(const QString &connectionString, const QStringList &installedOdbcDrivers,
                    ConnectionTarget *target, QString *errorString);

    // Whether an ODBC connection string names key, whatever its case.
    static bool containsKey(const QString &connectionString, const char *key);

    // A value as an ODBC connection string may hold it: braced when it holds ";", "{" or "}"
    // or blanks at its ends, with "}" doubled inside the braces.
    static QString odbcValue(const QString &value);
};
