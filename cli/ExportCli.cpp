#include "cli/ExportCli.h"

#include "app/HostDatabase.h"
#include "app/HostLists.h"
#include "app/Startup.h"
#include "app/TextRules.h"

#include <QCommandLineParser>
#include <QTextStream>

ExportCli::ExportCli(const QString &applicationDirectory, QTextStream &out, QTextStream &err)
    : m_applicationDirectory(applicationDirectory), m_out(out), m_err(err)
{
}

QString ExportCli::usage()
{
    return QStringLiteral(
            "Aufruf:\n"
            "  brettholm32-export [--connection TEXT] --lists\n"
            "  brettholm32-export [--connection TEXT] --list NAME --lots\n"
            "\n"
            "  --connection TEXT  Verbindungszeichenfolge; ohne sie gilt lindavex.Ini im\n"
            "                     Programmverzeichnis\n"
            "  --lists            die offenen Listen, eine je Zeile\n"
            "  --list NAME        die Liste\n"
            "  --lots             die Lose der Liste, eine je Zeile (leere Zeile: ohne Los)\n");
}

int ExportCli::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption connectionOption(QStringLiteral("connection"),
                                              QStringLiteral("Verbindungszeichenfolge"),
                                              QStringLiteral("TEXT"));
    const QCommandLineOption listsOption(QStringLiteral("lists"), QStringLiteral("Listen"));
    const QCommandLineOption listOption(QStringLiteral("list"), QStringLiteral("Liste"),
                                        QStringLiteral("NAME"));
    const QCommandLineOption lotsOption(QStringLiteral("lots"), QStringLiteral("Lose"));
    const QCommandLineOption helpOption(
            { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Hilfe"));
    parser.addOptions({ connectionOption, listsOption, listOption, lotsOption, helpOption });

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
    if (!parser.positionalArguments().isEmpty() || wantsLists == wantsLots
        || (wantsLots && !parser.isSet(listOption))) {
        m_err << usage();
        return UsageOrConnection;
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
