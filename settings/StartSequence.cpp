#include "settings/StartSequence.h"

#include "base/TextRules.h"
#include "host/HostDatabase.h"
#include "host/LvxIni.h"
#include "settings/BrettIni.h"
#include "settings/ExportSettings.h"

#include <QDir>

StartSequence::StartSequence(const QString &applicationDirectory)
    : m_applicationDirectory(applicationDirectory)
{
}

QString StartSequence::commandLineText(const QStringList &arguments)
{
    return arguments.mid(1).join(u' ');
}

QString StartSequence::connectionStringFromCommandLine(const QString &commandLineText)
{
    return TextRules::trimBlanks(commandLineText.section(u'|', 0, 0));
}

bool StartSequence::resolveConnection(const QString &commandLineText, QString *connectionString)
{
    *connectionString = connectionStringFromCommandLine(commandLineText);
    if (!connectionString->isEmpty())
        return true;
    LvxIni ini(applicationFile(QStringLiteral("lindavex.Ini")));
    if (!ini.connectionString(connectionString)) {
        m_errorString = ini.errorString();
        return false;
    }
    return true;
}

bool StartSequence::openDatabase(HostDatabase &database, const QString &connectionString)
{
    if (database.open(connectionString))
        return true;
    m_errorString = failureText(database.errorNumber(), database.errorString());
    return false;
}

void StartSequence::initSettings(ExportSettings &settings) const
{
    settings.InitGlobals(m_applicationDirectory);
}

bool StartSequence::loadSettings(ExportSettings &settings, const QString &path)
{
    BrettIni ini(path);
    if (ini.LoadBrettIni(settings))
        return true;
    m_errorString = ini.errorString();
    return false;
}

QString StartSequence::applicationFile(const QString &fileName) const
{
    return QDir::toNativeSeparators(m_applicationDirectory + u'/' + fileName);
}

QString StartSequence::failureText(const QString &errorNumber, const QString &description)
{
    if (errorNumber.isEmpty())
        return description;
    return QStringLiteral("Fehler %1: %2").arg(errorNumber, description);
}
