#include "cli/ExportCli.h"

#include "base/TextRules.h"
#include "base/Version.h"
#include "export/ExportRun.h"
#include "export/Ledger.h"
#include "export/MessageSink.h"
#include "export/TimberVolume.h"
#include "host/HostDatabase.h"
#include "host/HostLists.h"
#include "print/PdfDocument.h"
#include "settings/ExportSettings.h"
#include "settings/StartSequence.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QTextStream>

#include <algorithm>

namespace {

// Each message of the run on a line of its own, in the order the main window shows them.
class PrintedMessages : public MessageSink
{
public:
    PrintedMessages(QTextStream &stream, bool again) : m_stream(stream), m_again(again) { }
    void showMessage(const QString &text) override
    {
        m_stream << text << '\n';
        m_stream.flush();
    }
    // Nobody is there to answer: a delivery that is probably a mistake goes only with --again.
    bool confirm(const QString &facts) override
    {
        if (!m_again)
            showMessage(facts + QStringLiteral(" - Abbruch! Mit --again wird trotzdem geliefert."));
        return m_again;
    }

private:
    QTextStream &m_stream;
    bool m_again;
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
            "                     [--lot LOS]... [--check | --summary | --again] [--note PDF]\n"
            "  brettholm32-export [--connection TEXT] --lists\n"
            "  brettholm32-export [--connection TEXT] --list NAME --lots\n"
            "  brettholm32-export [--settings DATEI] --deliveries\n"
            "\n"
            "  --connection TEXT  Verbindungszeichenfolge; ohne sie gilt lindavex.Ini im\n"
            "                     Programmverzeichnis\n"
            "  --settings DATEI   Einstellungen; ohne sie gilt Brett.Ini im Programmverzeichnis\n"
            "  --list NAME        die Liste\n"
            "  --lot LOS          ein Los der Liste, wiederholbar; --lot \"\" steht für die Stämme\n"
            "                     ohne Los; ohne --lot gelten alle Lose\n"
            "  --check            nur prüfen, alle Stämme, keine Datei schreiben\n"
            "  --summary          nur die Summen je Los, Holzart, Güte und Stärkeklasse\n"
            "  --again            auch Stämme liefern, die das Lieferbuch schon verzeichnet\n"
            "  --note PDF         nach dem Export den Lieferschein als PDF-Datei schreiben\n"
            "  --deliveries       das Lieferbuch, eine Lieferung je Zeile\n"
            "  --lists            die offenen Listen, eine je Zeile\n"
            "  --lots             die Lose der Liste, eine je Zeile (leere Zeile: ohne Los)\n"
            "  --version          die Version\n"
            "  -h, --help         dieser Text\n"
            "\n"
            "Meldungen gehen auf die Fehlerausgabe, der Pfad der Lieferdatei und der Prüfbericht\n"
            "auf die Ausgabe.\n"
            "Rückgabe: 0 Erfolg, 1 Abbruch, 2 Aufruf-, Datenbank- oder Einstellungsfehler.\n");
}
// clang-format on

// What the command line asks for, once its options have been read and found consistent.
struct ExportCli::Request
{
    enum Action { Export, Check, Summary, Lists, Lots, Deliveries };
    Action action = Export;
    bool hasConnection = false;
    QString connection;
    QString settingsPath; // empty: Brett.Ini in the application directory
    QString list;
    QStringList lots;
    bool again = false;
    QString notePath; // empty: no delivery note
};

namespace {

// The options of the command line; those with a value take the next argument whatever it
// reads, so that a list or lot named "--" can be given.
struct KnownOption
{
    const char *name;
    bool takesValue;
};
const KnownOption Options[] = {
    { "connection", true }, { "settings", true }, { "list", true },   { "lot", true },
    { "check", false },     { "lists", false },   { "lots", false },  { "help", false },
    { "version", false },   { "summary", false }, { "again", false }, { "deliveries", false },
    { "note", true },
};

QString quoted(const QString &text)
{
    return QStringLiteral("„") + text + QStringLiteral("“");
}

} // namespace

ExportCli::ParseResult ExportCli::parse(const QStringList &arguments, Request *request)
{
    // Every option given, with its values in order. Qt's own parser speaks English and takes
    // the last of two values silently; here a mistake is said in German and nothing chosen.
    QMap<QString, QStringList> given;
    QString error;
    for (qsizetype i = 1; i < arguments.size() && error.isEmpty(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("-h")) {
            given[QStringLiteral("help")];
            continue;
        }
        if (!argument.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("Unerwartetes Argument %1.").arg(quoted(argument));
            break;
        }
        const qsizetype eq = argument.indexOf(u'=');
        const QString name = argument.mid(2, eq < 0 ? -1 : eq - 2);
        const auto known = std::find_if(std::begin(Options), std::end(Options),
                                        [&](const KnownOption &o) { return name == o.name; });
        if (known == std::end(Options)) {
            error = QStringLiteral("Unbekannte Option %1.").arg(quoted(argument.left(eq)));
        } else if (!known->takesValue) {
            if (eq >= 0)
                error = QStringLiteral("Die Option --%1 nimmt keinen Wert.").arg(name);
            given[name];
        } else if (eq >= 0) {
            given[name] << argument.mid(eq + 1);
        } else if (i + 1 < arguments.size()) {
            given[name] << arguments.at(++i);
        } else {
            error = QStringLiteral("Nach --%1 fehlt der Wert.").arg(name);
        }
    }
    const auto has = [&](const char *name) { return given.contains(QLatin1String(name)); };
    if (error.isEmpty() && has("help")) {
        m_out << usage();
        return HelpShown;
    }
    if (error.isEmpty() && has("version")) {
        m_out << QStringLiteral("brettholm32-export ") << Version::text() << '\n';
        return HelpShown;
    }
    for (const char *name : { "connection", "settings", "list", "note" }) {
        if (error.isEmpty() && given.value(QLatin1String(name)).size() > 1)
            error = QStringLiteral("Die Option --%1 ist mehrfach angegeben.").arg(name);
    }
    // Options that contradict each other are an error, not a silent choice.
    const auto contradiction = [&](const char *action, std::initializer_list<const char *> others) {
        for (const char *other : others) {
            if (error.isEmpty() && has(action) && has(other))
                error = QStringLiteral("--%1 und --%2 passen nicht zusammen.").arg(action, other);
        }
    };
    contradiction("lists", { "lots", "list", "lot", "check", "settings", "summary", "again" });
    contradiction("lots", { "lot", "check", "settings", "summary", "again" });
    contradiction("deliveries",
                  { "connection", "list", "lot", "lists", "lots", "check", "summary", "again" });
    contradiction("summary", { "check", "again", "note" });
    contradiction("check", { "again", "note" });
    contradiction("lists", { "note" });
    contradiction("lots", { "note" });
    contradiction("deliveries", { "note" });
    if (error.isEmpty() && !has("lists") && !has("list") && !has("deliveries")) {
        error = has("lots") ? QStringLiteral("--lots braucht --list NAME.")
                            : QStringLiteral("Es fehlt --list NAME (oder --lists).");
    }
    if (!error.isEmpty()) {
        m_err << error << '\n' << '\n' << usage();
        return UsageError;
    }

    if (has("deliveries"))
        request->action = Request::Deliveries;
    else if (has("summary"))
        request->action = Request::Summary;
    else if (has("lists"))
        request->action = Request::Lists;
    else if (has("lots"))
        request->action = Request::Lots;
    else
        request->action = has("check") ? Request::Check : Request::Export;
    request->hasConnection = has("connection");
    request->connection = TextRules::trimBlanks(given.value(QStringLiteral("connection")).value(0));
    request->settingsPath = given.value(QStringLiteral("settings")).value(0);
    request->list = given.value(QStringLiteral("list")).value(0);
    request->lots = given.value(QStringLiteral("lot"));
    request->again = has("again");
    request->notePath = given.value(QStringLiteral("note")).value(0);
    return Parsed;
}

bool ExportCli::loadSettings(StartSequence &start, const Request &request, ExportSettings &settings)
{
    // Read with the program's rules, never written: the main window owns the file.
    start.initSettings(settings);
    const QString path = settingsPath(request);
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

// A lot that is no lot of the list would export nothing and replace the last delivery file
// with an empty one: the window offers only existing lots, but here a name is typed.
bool ExportCli::checkLots(const Request &request, const HostDatabase &database)
{
    HostLists lists(database);
    HostLists::ListState state = HostLists::ListMissing;
    QStringList lots;
    if (request.lots.isEmpty() || !lists.findList(request.list, &state)
        || state != HostLists::ListOpen) {
        // The run says what is wrong with the list itself.
        return true;
    }
    if (!lists.lotsOfList(request.list, &lots)) {
        m_err << StartSequence::failureText(lists.errorNumber(), lists.errorString()) << '\n';
        return false;
    }
    const QString list = TextRules::trimBlanks(request.list);
    for (const QString &lot : request.lots) {
        if (lots.contains(lot))
            continue;
        if (lot.isEmpty())
            m_err << QStringLiteral("Liste %1 hat keine Stämme ohne Los - Abbruch!").arg(list);
        else
            m_err << QStringLiteral("Los %1 gehört nicht zu Liste %2 - Abbruch!").arg(lot, list);
        m_err << '\n';
        return false;
    }
    return true;
}

int ExportCli::exportList(const Request &request, const HostDatabase &database,
                          ExportSettings &settings)
{
    if (!checkLots(request, database))
        return Failed;
    PrintedMessages messages(m_err, request.again);
    ExportRun run(database, settings, messages);
    const bool checking = request.action == Request::Check;
    const bool summing = request.action == Request::Summary;
    run.setMode(checking || summing ? ExportRun::CheckOnly : ExportRun::Export);
    run.setLedgerPath(Ledger::besideSettings(settingsPath(request)));
    const bool succeeded = run.run(request.list, request.lots);
    // The report is the result of a check, as the delivery file's path is that of an export;
    // what stopped the check stays on the error output. The summary is the check's too, but
    // the checks' findings are not its business.
    if (summing) {
        if (!run.report().isComplete())
            return Failed;
        m_out << run.report().summary().table();
        return Success;
    }
    if (checking && run.report().isComplete())
        m_out << run.report().text();
    if (!succeeded)
        return Failed;
    if (!checking && !request.notePath.isEmpty()) {
        // The delivery stands; only its note is missing, which the ledger keeps.
        PdfDocument note(request.notePath);
        if (!note.write(DeliveryNote::html(run.delivery()),
                        QStringLiteral("Lieferschein ") + run.delivery().fileName)) {
            m_err << note.errorString() << '\n';
            return Failed;
        }
    }
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
    bool ok = true;
    if (request.action == Request::Lists) {
        ok = lists.openLists(&entries);
    } else {
        // The lots of a list the export would refuse end as the export does.
        HostLists::ListState state = HostLists::ListMissing;
        ok = lists.findList(request.list, &state);
        const QString list = TextRules::trimBlanks(request.list);
        if (ok && state != HostLists::ListOpen) {
            m_err << HostLists::refusal(state, list) << '\n';
            return Failed;
        }
        ok = ok && lists.lotsOfList(request.list, &entries);
    }
    if (!ok) {
        m_err << StartSequence::failureText(lists.errorNumber(), lists.errorString()) << '\n';
        return Failed;
    }
    for (const QString &entry : entries)
        m_out << entry << '\n';
    return Success;
}

QString ExportCli::settingsPath(const Request &request) const
{
    return request.settingsPath.isEmpty() ? StartSequence(m_applicationDirectory).brettIniPath()
                                          : request.settingsPath;
}

// The ledger beside the settings, oldest delivery first; an absent ledger has none.
int ExportCli::printDeliveries(const Request &request)
{
    Ledger ledger(Ledger::besideSettings(settingsPath(request)));
    QList<Ledger::Delivery> deliveries;
    if (!ledger.open(Ledger::ReadOnly) || !ledger.deliveries(&deliveries)) {
        m_err << ledger.errorString() << '\n';
        return UsageOrConnection;
    }
    for (const Ledger::Delivery &delivery : std::as_const(deliveries)) {
        QStringList lots;
        for (const QString &lot : delivery.lots)
            lots << (lot.isEmpty() ? QStringLiteral("ohne Los") : lot);
        m_out << QStringList { delivery.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               delivery.user,
                               delivery.list,
                               lots.isEmpty() ? QStringLiteral("alle Lose") : lots.join(u','),
                               QString::number(delivery.lines),
                               TimberVolume::volumeText(delivery.hundredths),
                               delivery.path,
                               delivery.sha256 }
                         .join(u';')
              << '\n';
    }
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
    if (request.action == Request::Deliveries)
        return printDeliveries(request);
    const bool exporting = request.action == Request::Export || request.action == Request::Check
            || request.action == Request::Summary;
    StartSequence start(m_applicationDirectory);
    ExportSettings settings;
    if (exporting && !loadSettings(start, request, settings))
        return UsageOrConnection;
    HostDatabase database;
    if (!openDatabase(start, request, database))
        return UsageOrConnection;
    return exporting ? exportList(request, database, settings) : printEntries(request, database);
}
