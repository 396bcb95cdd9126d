#include "HostFixture.h"

#include "base/Version.h"
#include "cli/ExportCli.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTextStream>

class TestExportCli : public QObject
{
    Q_OBJECT

private slots:
    void run_data();
    void run();
};

void TestExportCli::run_data()
{
    // The front end runs in this process; the program itself only for the export, end to end,
    // and with a limit, as a child of bash under that limit. In the arguments "$C"
    // is the demo database's connection string and "$S" the demo settings; "$FILE" is the
    // delivery file; an err ending in "*" is the beginning of the message.
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("exitCode"); // -1: killed
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("limit");
    const auto row = [](const char *name, const QString &arguments, int exitCode,
                        const QString &err, const QString &out = QString(),
                        const QString &limit = QString()) {
        QTest::newRow(name) << arguments << exitCode << err << out << limit;
    };
    const QString exportAC = "--connection $C --settings $S --list 4712 --lot A --lot C";
    row("export", exportAC, 0, "Export erfolgreich!\n$FILE\n14 Stämme, 15,49 Festmeter\n",
        "$FILE\n");
    row("settings file missing", "--connection $C --settings /x/y --list 4712", 2,
        "Die Datei /x/y wurde nicht gefunden.\n");
    row("not a connection string", "--connection Server=x --lists", 2, "*");
    // A usage error says what is wrong, in German, before the usage text.
    row("unknown option", "--connection $C --bogus", 2, "Unbekannte Option „--bogus“.\n\nAufruf:*");
    row("value missing", "--connection $C --list", 2, "Nach --list fehlt der Wert.\n\nAufruf:*");
    row("lists and check contradict", "--connection $C --lists --check", 2,
        "--lists und --check passen nicht zusammen.\n\nAufruf:*");
    row("lot with lots", "--connection $C --list 4711 --lots --lot 1", 2,
        "--lots und --lot passen nicht zusammen.\n\nAufruf:*");
    row("lots without list", "--connection $C --lots", 2,
        "--lots braucht --list NAME.\n\nAufruf:*");
    row("version", "--version", 0, QString(), "brettholm32-export " + Version::text() + "\n");
    // The lots of a list the export refuses, and a lot the list lacks, end like the export.
    row("lots of an unknown list", "--connection $C --list 4799 --lots", 1,
        "Liste 4799 nicht gefunden - Abbruch!\n");
    row("lots of a locked list", "--connection $C --list 2023-A --lots", 1,
        "Liste 2023-A ist gesperrt - Abbruch!\n");
    row("lot the list lacks", "--connection $C --settings $S --list 4712 --lot A --lot Q", 1,
        "Los Q gehört nicht zu Liste 4712 - Abbruch!\n");
    const QString summary = "Los;Holzart;Güte;Stärkeklasse;Stämme;Festmeter\n"
                            "A;BU;A;D4;1;0,62\nA;BU;B;D3b;1;0,71\nA;BU;B;D4;1;0,62\n"
                            "A;BU;C;D6;1;1,68\nA;EI;B;D6;1;1,55\nA;EI;C;D5;2;2,56\n"
                            "C;BU;A;D5;2;2,24\nC;BU;C;D3b;1;0,46\nC;BU;C;D4;1;1,09\n"
                            "C;EI;A;D4;1;0,78\nC;EI;A;D5;1;2,21\nC;EI;C;D6;1;0,97\n"
                            "Summe;;;;14;15,49\n";
    row("check, clean", exportAC + " --check", 0, QString(),
        "Liste 4712, Lose A, C\n14 Stämme geprüft, 0 fehlerhaft\nKeine Fehler gefunden\n\n"
                + summary);
    row("summary alone", exportAC + " --summary", 0, QString(), summary);
#ifdef BRETTHOLM_FILE_SIZE_LIMIT
    // The delivery file has about 3.9 KB; under the limit the child may write 2 KB per file,
    // and the ledger, written first and holding the file's bytes too, fails before it.
    row("disk full, write fails with EFBIG", exportAC, 1, "Lieferbuch *", QString(),
        "trap '' XFSZ; ulimit -f 2;");
    row("disk full, killed by SIGXFSZ", exportAC, -1, QString(), QString(), "ulimit -f 2;");
#endif
}

void TestExportCli::run()
{
    QFETCH(QString, limit);
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir dir;
    const QString settings = HostFixture::writeDemoSettings(dir.path());
    const QString delivery = QDir::toNativeSeparators(dir.filePath("LB123400004712.Txt"));
    const QByteArray old = "yesterday's delivery\r\n";
    QVERIFY(!settings.isEmpty() && HostFixture::writeFile(delivery, old));

    const QStringList programArguments =
            arguments.split(' ')
                    .replaceInStrings("$C", HostFixture::demoConnectionString())
                    .replaceInStrings("$S", settings);
    QString outText, errText;
    if (limit.isEmpty() && QTest::currentDataTag() != QLatin1String("export")) {
        QTextStream outStream(&outText), errStream(&errText);
        ExportCli cli(dir.path(), outStream, errStream);
        QCOMPARE(cli.run(QStringList { "brettholm32-export" } + programArguments), exitCode);
    } else {
        const QString program = QStringLiteral(BRETTHOLM_BIN_DIR "/brettholm32-export");
        QProcess process;
        if (limit.isEmpty())
            process.start(program, programArguments);
        else
            process.start("bash",
                          QStringList { "-c", limit + " exec \"$0\" \"$@\"", program }
                                  + programArguments);
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitStatus(), exitCode < 0 ? QProcess::CrashExit : QProcess::NormalExit);
        if (exitCode >= 0)
            QCOMPARE(process.exitCode(), exitCode);
        outText = QString::fromUtf8(process.readAllStandardOutput());
        errText = QString::fromUtf8(process.readAllStandardError());
#ifdef Q_OS_WIN
        // The C runtime writes text-mode line ends there.
        outText.replace("\r\n", "\n");
        errText.replace("\r\n", "\n");
#endif
    }
    QCOMPARE(outText, out.replace("$FILE", delivery));
    err.replace("$FILE", delivery);
    QVERIFY2(err.endsWith(u'*') ? errText.startsWith(err.chopped(1)) && errText != err.chopped(1)
                                : errText == err,
             qPrintable(errText));

    // Only a successful export replaces yesterday's delivery, and nothing is left beside it.
    // The new file's bytes are tested with the export itself.
    // The ledger beside the settings is tst_ledger's; a journal left by a killed child is how
    // SQLite rolls back at the next start.
    const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(files.filter(QRegularExpression("^(?!Lieferbuch\\.sqlite)")),
             (QStringList { "Brett.Ini", "LB123400004712.Txt" }));
    QCOMPARE(HostFixture::readFile(delivery) == old, !out.startsWith(delivery));
}

QTEST_GUILESS_MAIN(TestExportCli)
#include "tst_exportcli.moc"
