#include "app/Startup.h"

#include "app/LvxIni.h"
#include "app/TextRules.h"

#include <QDir>

QString Startup::caption(int major, int minor)
{
    QString text = QStringLiteral("Brettholm-32");
    return text + QStringLiteral(" Version ") + QString::number(major) + u'.'
            + QString::number(minor);
}

QString Startup::caption()
{
    return caption(BRETTHOLM_VERSION_MAJOR, BRETTHOLM_VERSION_MINOR);
}

QString Startup::commandLineText(const QStringList &arguments)
{
    return arguments.mid(1).join(u' ');
}

QString Startup::connectionStringFromCommandLine(const QString &commandLineText)
{
    return TextRules::trimBlanks(commandLineText.section(u'|', 0, 0));
}

bool Startup::connectionString(const QString &commandLineText, const QString &applicationDirectory,
                               QString *connectionString, QString *errorString)
{
    *connectionString = connectionStringFromCommandLine(commandLineText);
    if (!connectionString->isEmpty())
        return true;
    LvxIni ini(applicationFile(applicationDirectory, QStringLiteral("lindavex.Ini")));
    if (!ini.connectionString(connectionString)) {
        *errorString = ini.errorString();
        return false;
    }
    return true;
}

QString Startup::applicationFile(const QString &applicationDirectory, const QString &fileName)
{
    return QDir::toNativeSeparators(applicationDirectory + u'/' + fileName);
}

QString Startup::failureText(const QString &errorNumber, const QString &description)
{
    if (errorNumber.isEmpty())
        return description;
    return QStringLiteral("Fehler %1: %2").arg(errorNumber, description);
}
