// The settings reader on any file content: it reads every file, and what it read is written
// and read back unchanged, or not written at all, so that a start and an exit never change a
// setting.
#include "FuzzCheck.h"

#include "settings/BrettIni.h"
#include "settings/ExportSettings.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("Brett.Ini"));
    QFile file(path);
    fuzzCheck(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "file written");
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    BrettIni ini(path);
    ExportSettings loaded;
    loaded.InitGlobals(QStringLiteral("/opt/brett"));
    fuzzCheck(ini.LoadBrettIni(loaded), "file read", ini.errorString());
    for (int i = 0; i < ExportSettings::KeyCount; ++i) {
        const QString &value = loaded.value(ExportSettings::Key(i));
        fuzzCheck(!value.startsWith(u' ') && !value.endsWith(u' '), "value trimmed", value);
        fuzzCheck(!value.contains(u'\n'), "value within one line", value);
    }

    // A file read as UTF-8 may hold what Windows-1252 cannot; then the save refuses, names
    // the key, and the file stays as it was.
    if (!ini.SaveBrettIni(loaded)) {
        bool nonAscii = false;
        for (int i = 0; i < ExportSettings::KeyCount; ++i) {
            for (QChar c : loaded.value(ExportSettings::Key(i)))
                nonAscii = nonAscii || c.unicode() > 127;
        }
        fuzzCheck(nonAscii && ini.errorString().contains(u'='), "refusal names the value",
                  ini.errorString());
        fuzzCheck(file.open(QIODevice::ReadOnly)
                          && file.readAll()
                                  == QByteArray(reinterpret_cast<const char *>(data),
                                                qsizetype(size)),
                  "refused save leaves the file");
        return 0;
    }
    ExportSettings reread;
    reread.InitGlobals(QStringLiteral("elsewhere"));
    fuzzCheck(ini.LoadBrettIni(reread), "saved file read", ini.errorString());
    for (int i = 0; i < ExportSettings::KeyCount; ++i) {
        const auto key = ExportSettings::Key(i);
        fuzzCheck(reread.value(key) == loaded.value(key), "value survives save and load",
                  ExportSettings::keyName(key) + QStringLiteral(": ") + loaded.value(key)
                          + QStringLiteral(" / ") + reread.value(key));
    }
    return 0;
}
