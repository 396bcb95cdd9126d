#pragma once

#include <QByteArray>
#include <QString>

class ExportSettings;

// The settings file Brett.Ini: 23 lines KEY=value in Windows-1252, CR LF.
class BrettIni
{
public:
    explicit BrettIni(const QString &path);

    // Values found in the file replace those in settings; a missing file leaves them as they
    // are and is no error. False when the file exists but cannot be read.
    bool LoadBrettIni(ExportSettings &settings);

    // Replaces the file as a whole: on failure the previous file stays as it was. A value
    // with a character that Windows-1252 lacks is a failure, named in errorString(), before
    // anything is written.
    bool SaveBrettIni(const ExportSettings &settings);

    // The file content SaveBrettIni writes.
    static QByteArray content(const ExportSettings &settings);

    QString path() const { return m_path; }
    QString errorString() const { return m_errorString; }

private:
    QString m_path;
    QString m_errorString;
};
