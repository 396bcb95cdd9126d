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

// As the settings window labels the fields, so that a message can say where to mend a value.
const char *const Labels[ExportSettings::KeyCount] = {
    "Export:",
    "Bundesland (2-stellig)",
    "LieferantenNr. Brettholm",
    "Kaufsvertragsnummer Brettholm",
    "Externe Kaufvertragsnummer",
    "Forstamt (max 35)",
    "FoA-Nr. (max 12)",
    "FWJ (4-stellig)",
    "Revier",
    "Distrikt",
    "Str+Hausnr. Rev.",
    "PLZ Revier",
    "Ort Revier",
    "Name Revierförst.",
    "Tel. Revierförster",
    "Abteilung",
    "Unterabteilung",
    "Steuer-Nr:",
    "Zertifizierung:",
    "ZertifizierungsNr.:",
    "Steuer-Nr von WB:",
    "Zertifizierung von WB:",
    "ZertifizierungsNr. von WB:",
};

} // namespace

QString ExportSettings::label(Key key)
{
    return QString::fromUtf8(Labels[key]);
}

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
