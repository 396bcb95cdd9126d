#include "cli/ExportCli.h"

#include "app/HostDatabase.h"
#include "app/HostLists.h"
#include "app/Startup.h"
#include "app/TextRules.h"
#include "export/ExportRun.h"
#include "export/MessageSink.h"
#include "settings/BrettIni.h"
#include "settings/ExportSettings.h"

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

int ExportCli::run(const QStringList &arguments)
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
    const QCommandLineOption helpOption(
            { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Hilfe"));
    parser.addOptions({ connectionOption, settingsOption, listOption, lotOption, checkOption,
                        listsOption, lotsOption, helpOption });

    if (!parser.parse(arguments)) {
        m_err << parser.errorText() << '\n' << usage();
        return UsageOrConnection;
    }
    if (parser.isSet(helpOption)) {
        m_out << usage();
        return Success;
    }
    const bool wantsLists = parser.isSet(listsOption);
    const bool wantsLots = parser.isSet(lotsOption);
    const bool exporting = !wantsLists && !wantsLots;
    const bool exportOptions = parser.isSet(lotOption) || parser.isSet(checkOption)
            || parser.isSet(settingsOption);
    const bool usable = parser.positionalArguments().isEmpty() && !(wantsLists && wantsLots)
            && (wantsLists ? !parser.isSet(listOption) : parser.isSet(listOption))
            && (exporting || !exportOptions);
    if (!usable) {
        m_err << usage();
        return UsageOrConnection;
    }

    ExportSettings settings;
    if (exporting) {
        // Read with the program's rules, never written: the main window owns the file.
        settings.InitGlobals(m_applicationDirectory);
        const QString path = parser.isSet(settingsOption)
                ? parser.value(settingsOption)
                : Startup::applicationFile(m_applicationDirectory, QStringLiteral("Brett.Ini"));
        if (parser.isSet(settingsOption) && !QFileInfo(path).isFile()) {
            m_err << QStringLiteral("Die Datei %1 wurde nicht gefunden.").arg(path) << '\n';
            return UsageOrConnection;
        }
        BrettIni ini(path);
        if (!ini.LoadBrettIni(settings)) {
            m_err << ini.errorString() << '\n';
            return UsageOrConnection;
        }
    }

    QString connectionString;
    if (parser.isSet(connectionOption)) {
        connectionString = TextRules::trimBlanks(parser.value(connectionOption));
    } else {
        QString error;
        if (!Startup::connectionString(QString(), m_applicationDirectory, &connectionString,
                                       &error)) {
            m_err << error << '\n';
            return UsageOrConnection;
        }
    }
    HostDatabase database;
    if (!database.open(connectionString)) {
        m_err << Startup::failureText(database.errorNumber(), database.errorString()) << '\n';
        return UsageOrConnection;
    }

    if (exporting) {
        PrintedMessages messages(m_err);
        ExportRun run(database, settings, messages);
        run.setMode(parser.isSet(checkOption) ? ExportRun::CheckOnly : ExportRun::Export);
        if (!run.run(parser.value(listOption), parser.values(lotOption)))
            return Failed;
        if (!parser.isSet(checkOption)) {
            m_out << QDir::toNativeSeparators(
                    QDir::cleanPath(QFileInfo(run.deliveryPath()).absoluteFilePath()))
                  << '\n';
        }
        return Success;
    }

    HostLists lists(database);
    QStringList entries;
    const bool ok = wantsLists ? lists.openLists(&entries)
                               : lists.lotsOfList(parser.value(listOption), &entries);
    if (!ok) {
        m_err << Startup::failureText(lists.errorNumber(), lists.errorString()) << '\n';
        return Failed;
    }
    for (const QString &entry : entries)
        m_out << entry << '\n';
    return Success;
}
