#include "cli/ExportCli.h"

#include "base/TextRules.h"
#include "export/ExportRun.h"
#include "export/MessageSink.h"
#include "host/HostDatabase.h"
#include "host/HostLists.h"
#include "settings/ExportSettings.h"
#include "settings/StartSequence.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

// Each message of the run on a line of its own, in the order the main window shows them.
class PrintedMessages : public MessageSink
{
public:
    explicit PrintedMessages(QTextStream &stream) : m_stream(stream) { }
    void showMessage(const QString &text) override
    {
        m_stream << text << '\n';
        m_stream.flush();
    }

private:
    QTextStream &m_stream;
};

} // namespace

ExportCli::ExportCli(const QString &applicationDirectory, QTextStream &out, QTextStream &err)
    : m_applicationDirectory(applicationDirectory), m_out(out), m_err(err)
{
}

// The text as it is printed, one line of the source a line of the output.
// clang-format off
QString ExportCli::usage()
{
    return QStringLiteral(
            "Aufruf:\n"
            "  brettholm32-export [--connection TEXT] [--settings DATEI] --list NAME\n"
            "                     [--lot LOS]... [--check]\n"
            "  brettholm32-export [--connection TEXT] --lists\n"
            "  brettholm32-export [--connection TEXT] --list NAME --lots\n"
            "\n"
            "  --connection TEXT  Verbindungszeichenfolge; ohne sie gilt lindavex.Ini im\n"
            "                     Programmverzeichnis\n"
            "  --settings DATEI   Einstellungen; ohne sie gilt Brett.Ini im Programmverzeichnis\n"
            "  --list NAME        die Liste\n"
            "  --lot LOS          ein Los der Liste, wiederholbar; --lot \"\" steht für die Stämme\n"
            "                     ohne Los; ohne --lot gelten alle Lose\n"
            "  --check            nur prüfen, alle Stämme, keine Datei schreiben\n"
            "  --lists            die offenen Listen, eine je Zeile\n"
            "  --lots             die Lose der Liste, eine je Zeile (leere Zeile: ohne Los)\n"
            "\n"
            "Meldungen gehen auf die Fehlerausgabe, der Pfad der Lieferdatei auf die Ausgabe.\n"
            "Rückgabe: 0 Erfolg, 1 Abbruch, 2 Aufruf-, Datenbank- oder Einstellungsfehler.\n");
}
// clang-format on

// What the command line asks for, once its options have been read and found consistent.
struct ExportCli::Request
{
    enum Action { Export, Check, Lists, Lots };
    Action action = Export;
    bool hasConnection = false;
    QString connection;
    QString settingsPath; // empty: Brett.Ini in the application directory
    QString list;
    QStringList lots;
};

ExportCli::ParseResult ExportCli::parse(const QStringList &arguments, Request *request)
{
    QCommandLineParser parser;
    const QCommandLineOption connectionOption(QStringLiteral("connection"),
                                              QStringLiteral("Verbindungszeichenfolge"),
                                              QStringLiteral("TEXT"));
    const QCommandLineOption settingsOption(QStringLiteral("settings"),
                                            QStringLiteral("Einstellungsdatei"),
                                            QStringLiteral("DATEI"));
    const QCommandLineOption listOption(QStringLiteral("list"), QStringLiteral("Liste"),
                                        QStringLiteral("NAME"));
    const QCommandLineOption lotOption(QStringLiteral("lot"), QStringLiteral("Los"),
                                       QStringLiteral("LOS"));
    const QCommandLineOption checkOption(QStringLiteral("check"), QStringLiteral("Prüfen"));
    const QCommandLineOption listsOption(QStringLiteral("lists"), QStringLiteral("Listen"));
    const QCommandLineOption lotsOption(QStringLiteral("lots"), QStringLiteral("Lose"));
    const QCommandLineOption helpOption({ QStringLiteral("h"), QStringLiteral("help") },
                                        QStringLiteral("Hilfe"));
    parser.addOptions({ connectionOption, settingsOption, listOption, lotOption, checkOption,
                        listsOption, lotsOption, helpOption });

    if (!parser.parse(arguments)) {
        m_err << parser.errorText() << '\n' << usage();
        return UsageError;
    }
    if (parser.isSet(helpOption)) {
        m_out << usage();
        return HelpShown;
    }
    const bool wantsLists = parser.isSet(listsOption);
    const bool wantsLots = parser.isSet(lotsOption);
    const bool exporting = !wantsLists && !wantsLots;
    const bool exportOptions =
            parser.isSet(lotOption) || parser.isSet(checkOption) || parser.isSet(settingsOption);
    const bool usable = parser.positionalArguments().isEmpty() && !(wantsLists && wantsLots)
            && (wantsLists ? !parser.isSet(listOption) : parser.isSet(listOption))
            && (exporting || !exportOptions);
    if (!usable) {
        m_err << usage();
        return UsageError;
    }

    if (wantsLists)
        request->action = Request::Lists;
    else if (wantsLots)
        request->action = Request::Lots;
    else
        request->action = parser.isSet(checkOption) ? Request::Check : Request::Export;
    request->hasConnection = parser.isSet(connectionOption);
    request->connection = TextRules::trimBlanks(parser.value(connectionOption));
    request->settingsPath = parser.value(settingsOption);
    request->list = parser.value(listOption);
    request->lots = parser.values(lotOption);
    return Parsed;
}

bool ExportCli::loadSettings(StartSequence &start, const Request &request, ExportSettings &settings)
{
    // Read with the program's rules, never written: the main window owns the file.
    start.initSettings(settings);
    const QString path =
            request.settingsPath.isEmpty() ? start.brettIniPath() : request.settingsPath;
    if (!request.settingsPath.isEmpty() && !QFileInfo(path).isFile()) {
        m_err << QStringLiteral("Die Datei %1 wurde nicht gefunden.").arg(path) << '\n';
        return false;
    }
    if (!start.loadSettings(settings, path)) {
        m_err << start.errorString() << '\n';
        return false;
    }
    return true;
}

bool ExportCli::openDatabase(StartSequence &start, const Request &request, HostDatabase &database)
{
    // An explicit connection string is taken as given, even when empty; only its absence
    // sends the program to lindavex.Ini.
    QString connection = request.connection;
    if ((!request.hasConnection && !start.resolveConnection(QString(), &connection))
        || !start.openDatabase(database, connection)) {
        m_err << start.errorString() << '\n';
        return false;
    }
    return true;
}

int ExportCli::exportList(const Request &request, const HostDatabase &database,
                          ExportSettings &settings)
{
    PrintedMessages messages(m_err);
    ExportRun run(database, settings, messages);
    const bool checking = request.action == Request::Check;
    run.setMode(checking ? ExportRun::CheckOnly : ExportRun::Export);
    if (!run.run(request.list, request.lots))
        return Failed;
    if (!checking) {
        m_out << QDir::toNativeSeparators(
                QDir::cleanPath(QFileInfo(run.deliveryPath()).absoluteFilePath()))
              << '\n';
    }
    return Success;
}

int ExportCli::printEntries(const Request &request, const HostDatabase &database)
{
    HostLists lists(database);
    QStringList entries;
    const bool ok = request.action == Request::Lists ? lists.openLists(&entries)
                                                     : lists.lotsOfList(request.list, &entries);
    if (!ok) {
        m_err << StartSequence::failureText(lists.errorNumber(), lists.errorString()) << '\n';
        return Failed;
    }
    for (const QString &entry : entries)
        m_out << entry << '\n';
    return Success;
}

int ExportCli::run(const QStringList &arguments)
{
    Request request;
    switch (parse(arguments, &request)) {
    case UsageError:
        return UsageOrConnection;
    case HelpShown:
        return Success;
    case Parsed:
        break;
    }
    const bool exporting = request.action == Request::Export || request.action == Request::Check;
    StartSequence start(m_applicationDirectory);
    ExportSettings settings;
    if (exporting && !loadSettings(start, request, settings))
        return UsageOrConnection;
    HostDatabase database;
    if (!openDatabase(start, request, database))
        return UsageOrConnection;
    return exporting ? exportList(request, database, settings) : printEntries(request, database);
}
