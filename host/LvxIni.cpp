#include "host/LvxIni.h"

#include "base/IniText.h"
#include "base/TextRules.h"
#include "host/ConnectionString.h"

LvxIni::LvxIni(const QString &path) : m_path(path) { }

bool LvxIni::LoadLvxIni(const QString &iniCode, QString *value)
{
    const QString wanted = TextRules::trimBlanks(iniCode).toUpper();
    IniText ini;
    if (!ini.read(m_path)) {
        m_errorString = ini.errorString();
        return false;
    }
    value->clear();
    for (const QString &line : ini.lines()) {
        QString key;
        QString lineValue;
        if (IniText::splitLine(line, &key, &lineValue) && key == wanted) {
            *value = lineValue;
            break;
        }
    }
    return true;
}

bool LvxIni::connectionString(QString *connectionString)
{
    QString server;
    QString database;
    if (!LoadLvxIni(QStringLiteral("SQLServer"), &server)
        || !LoadLvxIni(QStringLiteral("DatabaseName"), &database))
        return false;
    *connectionString = ConnectionString::fromLvxIni(server, database);
    return true;
}
