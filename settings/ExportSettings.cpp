#include "settings/ExportSettings.h"

namespace {

const char *const KeyNames[ExportSettings::KeyCount] = {
    "EXPORTPATH",     "BUNDESLAND",        "LIEFNRBRETT",         "KAUVERTRNR",
    "EXTKAUFVERTRNR", "FORSTAMT",          "FORSTAMTNUMMER",      "FWJ",
    "REVIER",         "DISTRIKT",          "STRASSEREVIER",       "PLZREVIER",
    "ORTREVIER",      "NAMEREVIERFORSTER", "TELREVIERFORSTER",    "ABT",
    "UABT",           "STEUERNR",          "ZERTIFIZIERUNG",      "ZERTIFIZIERUNGSNR",
    "STEUERNRWB",     "ZERTIFIZIERUNGWB",  "ZERTIFIZIERUNGSNRWB",
};

} // namespace

QString ExportSettings::keyName(Key key)
{
    return QLatin1String(KeyNames[key]);
}

ExportSettings::Key ExportSettings::keyOf(const QString &name)
{
    for (int i = 0; i < KeyCount; ++i) {
        if (name == QLatin1String(KeyNames[i]))
            return Key(i);
    }
    return KeyCount;
}

void ExportSettings::InitGlobals(const QString &applicationDirectory)
{
    for (QString &value : m_values)
        value.clear();
    m_values[EXPORTPATH] = applicationDirectory;
}
