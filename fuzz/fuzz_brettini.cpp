// The settings reader on any file content: it reads every file, and what it read is written
// and read back unchanged, so that a start and an exit never change a setting.
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

    fuzzCheck(ini.SaveBrettIni(loaded), "file saved", ini.errorString());
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
