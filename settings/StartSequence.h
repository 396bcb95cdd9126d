#pragma once

#include <QString>
#include <QStringList>

class ExportSettings;
class HostDatabase;

// The start of the program, one copy for the main window, the command line and the benchmark:
// where the database is (the command line, else lindavex.Ini), the connection, the default
// settings and Brett.Ini. Each step returns success; errorString() then holds the text that
// ends the program. The database and the settings are the caller's.
class StartSequence
{
public:
    explicit StartSequence(const QString &applicationDirectory);

    // The command-line text: the program's arguments after its name, joined by single blanks.
    static QString commandLineText(const QStringList &arguments);
    // The text before the first "|", without blanks at its ends; the rest is ignored.
    static QString connectionStringFromCommandLine(const QString &commandLineText);

    // The connection string of the command line or, when that is empty, the one built from
    // lindavex.Ini in the application directory.
    bool resolveConnection(const QString &commandLineText, QString *connectionString);
    bool openDatabase(HostDatabase &database, const QString &connectionString);

    // The defaults, then the values of the settings file at path. A missing file leaves the
    // defaults and is no error.
    void initSettings(ExportSettings &settings) const;
    bool loadSettings(ExportSettings &settings, const QString &path);

    QString brettIniPath() const { return applicationFile(QStringLiteral("Brett.Ini")); }

    QString errorString() const { return m_errorString; }

    // The text of a database failure that ends the program or a list fill: the error's number
    // where there is one, and its description.
    static QString failureText(const QString &errorNumber, const QString &description);

private:
    // A file of the application directory, joined with the platform's separator.
    QString applicationFile(const QString &fileName) const;

    QString m_applicationDirectory;
    QString m_errorString;
};
