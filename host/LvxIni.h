#pragma once

#include <QString>

// The host application's lindavex.Ini, from which the database is found when the command line
// names none.
class LvxIni
{
public:
    explicit LvxIni(const QString &path);

    // The value of the first line whose key is iniCode (case and blanks around it do not
    // matter; sections play no part), or "" when no line carries it. Reads the file anew on
    // every call. False when the file cannot be read; errorString() says why.
    bool LoadLvxIni(const QString &iniCode, QString *value);

    // The connection string from the keys SQLServer and DatabaseName.
    bool connectionString(QString *connectionString);

    QString errorString() const { return m_errorString; }

private:
    QString m_path;
    QString m_errorString;
};
