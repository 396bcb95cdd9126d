// The host INI reader on any file content: it reads every file, returns no value with blanks
// at its ends or a line break in it, and the connection string built from it either maps or
// says why not.
#include "FuzzCheck.h"

#include "host/ConnectionString.h"
#include "host/LvxIni.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("lindavex.Ini"));
    QFile file(path);
    fuzzCheck(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "file written");
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    LvxIni ini(path);
    for (const char *key : { "SQLServer", "DatabaseName", " databasename " }) {
        QString value = QStringLiteral("stale");
        fuzzCheck(ini.LoadLvxIni(QLatin1String(key), &value), "file read", ini.errorString());
        fuzzCheck(!value.startsWith(u' ') && !value.endsWith(u' '), "value trimmed", value);
        fuzzCheck(!value.contains(u'\n'), "value within one line", value);
    }
    QString connectionString;
    fuzzCheck(ini.connectionString(&connectionString), "connection string built");
    ConnectionTarget target;
    QString error;
    const bool mapped =
            ConnectionString::map(connectionString, { QStringLiteral("FreeTDS") }, &target, &error);
    fuzzCheck(mapped || !error.isEmpty(), "a refusal says why", connectionString);
    return 0;
}
