#include "host/OdbcDrivers.h"

#include <QDir>
#include <QFile>
#include <QSettings>

QStringList OdbcDrivers::installed()
{
#ifdef Q_OS_WIN
    QSettings registry(
            QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"),
            QSettings::NativeFormat);
    return registry.childKeys();
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
