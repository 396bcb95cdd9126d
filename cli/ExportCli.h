#pragma once

#include <QString>
#include <QStringList>

class ExportSettings;
class HostDatabase;
class QTextStream;
class StartSequence;

// The command-line front end. Prints results to out and every message to err, both UTF-8.
class ExportCli
{
public:
    enum ExitCode { Success = 0, Failed = 1, UsageOrConnection = 2 };

    ExportCli(const QString &applicationDirectory, QTextStream &out, QTextStream &err);

    // arguments as QCoreApplication::arguments() gives them, the program name first.
    int run(const QStringList &arguments);

private:
    struct Request;
    static QString usage();
    enum ParseResult { Parsed, HelpShown, UsageError };

    ParseResult parse(const QStringList &arguments, Request *request);
    bool loadSettings(StartSequence &start, const Request &request, ExportSettings &settings);
    bool openDatabase(StartSequence &start, const Request &request, HostDatabase &database);
    bool checkLots(const Request &request, const HostDatabase &database);
    int exportList(const Request &request, const HostDatabase &database, ExportSettings &settings);
    int printEntries(const Request &request, const HostDatabase &database);
    int printDeliveries(const Request &request);
    QString settingsPath(const Request &request) const;

    QString m_applicationDirectory;
    QTextStream &m_out;
    QTextStream &m_err;
};
