#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The 23 export settings, held in memory for the whole run of the program. The settings
// window edits them, the export run reads them (and trims the field-source values in place),
// and only the main window's shutdown stores them.
class ExportSettings
{
public:
    // In file order.
    enum Key {
        EXPORTPATH,
        BUNDESLAND,
        LIEFNRBRETT,
        KAUVERTRNR,
        EXTKAUFVERTRNR,
        FORSTAMT,
        FORSTAMTNUMMER,
        FWJ,
        REVIER,
        DISTRIKT,
        STRASSEREVIER,
        PLZREVIER,
        ORTREVIER,
        NAMEREVIERFORSTER,
        TELREVIERFORSTER,
        ABT,
        UABT,
        STEUERNR,
        ZERTIFIZIERUNG,
        ZERTIFIZIERUNGSNR,
        STEUERNRWB,
        ZERTIFIZIERUNGWB,
        ZERTIFIZIERUNGSNRWB,
        KeyCount
    };

    static QString keyName(Key key);
    // The label of the key's field in the settings window.
    static QString label(Key key);
    // The key of that exact (upper-case) name, or KeyCount.
    static Key keyOf(const QString &name);

    // The defaults: the export directory is the application directory, all else is empty.
    void InitGlobals(const QString &applicationDirectory);

    const QString &value(Key key) const { return m_values[key]; }
    QString &operator[](Key key) { return m_values[key]; }
    void setValue(Key key, const QString &value) { m_values[key] = value; }

    bool operator==(const ExportSettings &other) const { return m_values == other.m_values; }
    bool operator!=(const ExportSettings &other) const { return m_values != other.m_values; }

private:
    std::array<QString, KeyCount> m_values;
};
