#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// The command-line front end. Prints results to out and every message to err, both UTF-8.
class ExportCli
{
public:
    enum ExitCode { Success = 0, Failed = 1, UsageOrConnection = 2 };

    ExportCli(const QString &applicationDirectory, QTextStream &out, QTextStream &err);

    // arguments as QCoreApplication::arguments() gives them, the program name first.
    int run(const QStringList &arguments);

    static QString usage();

private:
    QString m_applicationDirectory;
    QTextStream &m_out;
    QTextStream &m_err;
};
