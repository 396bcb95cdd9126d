#pragma once

#include <QString>
#include <QStringList>

// The pieces of the start sequence that do not depend on a window.
class Startup
{
public:
    // "Brettholm-32 Version <major>.<minor>", both numbers plain decimals.
    static QString caption(int major, int minor);
    static QString caption();

    // The command-line text: the program's arguments after its name, joined by single blanks.
    static QString commandLineText(const QStringList &arguments);

    // The text before the first "|", without blanks at its ends; the rest is ignored.
    static QString connectionStringFromCommandLine(const QString &commandLineText);

    // The connection string of the command line or, when that is empty, the one built from
    // lindavex.Ini in the application directory. False when the file is needed and cannot be
    // read.
    static bool connectionString(const QString &commandLineText,
                                 const QString &applicationDirectory, QString *connectionString,
                                 QString *errorString);

    // A file of the application directory, joined with the platform's separator.
    static QString applicationFile(const QString &applicationDirectory, const QString &fileName);

    // The text of a failure that ends the program: the error's number where there is one, and
    // its description.
    static QString failureText(const QString &errorNumber, const QString &description);
};
