#include "HostFixture.h"

#include "base/Version.h"

#include <QDir>
#include <QProcess>
#include <QTest>

class TestExportCli : public QObject
{
    Q_OBJECT

private slots:
    void run_data();
    void run();
};

void TestExportCli::run_data()
{
    // With a limit the program runs as a child of bash, under that limit. In the arguments "$C"
    // is the demo database's connection string and "$S" the demo settings; "$FILE" is the
    // delivery file; an err ending in "*" is the beginning of the message.
    QTest::addColumn<QString>("limit");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("exitCode"); // -1: killed
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString exportAC = "--connection $C --settings $S --list 4712 --lot A --lot C";
    QTest::newRow("export") << QString() << exportAC << 0 << "$FILE\n"
                            << "Export erfolgreich!\n";
    QTest::newRow("settings file missing")
            << QString() << "--connection $C --settings /x/y --list 4712" << 2 << QString()
            << "Die Datei /x/y wurde nicht gefunden.\n";
    QTest::newRow("not a connection string")
            << QString() << "--connection Server=x --lists" << 2 << QString() << "*";
    // A usage error says what is wrong, in German, before the usage text.
    QTest::newRow("unknown option") << QString() << "--connection $C --bogus" << 2 << QString()
                                    << "Unbekannte Option „--bogus“.\n\nAufruf:*";
    QTest::newRow("value missing") << QString() << "--connection $C --list" << 2 << QString()
                                   << "Nach --list fehlt der Wert.\n\nAufruf:*";
    QTest::newRow("lists and check contradict")
            << QString() << "--connection $C --lists --check" << 2 << QString()
            << "--lists und --check passen nicht zusammen.\n\nAufruf:*";
    QTest::newRow("lot with lots")
            << QString() << "--connection $C --list 4711 --lots --lot 1" << 2 << QString()
            << "--lots und --lot passen nicht zusammen.\n\nAufruf:*";
    QTest::newRow("lots without list") << QString() << "--connection $C --lots" << 2 << QString()
                                       << "--lots braucht --list NAME.\n\nAufruf:*";
    QTest::newRow("version") << QString() << "--version" << 0
                             << "brettholm32-export " + Version::text() + "\n"
                             << QString();
    // The lots of a list the export refuses, and a lot the list lacks, end like the export.
    QTest::newRow("lots of an unknown list")
            << QString() << "--connection $C --list 4799 --lots" << 1 << QString()
            << "Liste 4799 nicht gefunden - Abbruch!\n";
    QTest::newRow("lots of a locked list")
            << QString() << "--connection $C --list 2023-A --lots" << 1 << QString()
            << "Liste 2023-A ist gesperrt - Abbruch!\n";
    QTest::newRow("lot the list lacks")
            << QString() << "--connection $C --settings $S --list 4712 --lot A --lot Q" << 1
            << QString() << "Los Q gehört nicht zu Liste 4712 - Abbruch!\n";
    QTest::newRow("check, clean") << QString() << exportAC + " --check" << 0 << QString()
                                  << "14 Stämme geprüft, 0 fehlerhaft\nKeine Fehler gefunden\n";
#ifdef BRETTHOLM_FILE_SIZE_LIMIT
    // The delivery file has about 3.9 KB; under the limit the child may write 2 KB per file.
    QTest::newRow("disk full, write fails with EFBIG")
            << "trap '' XFSZ; ulimit -f 2;" << exportAC << 1 << QString()
            << "Fehler beim Schreiben der Datei $FILE \n*";
    QTest::newRow("disk full, killed by SIGXFSZ")
            << "ulimit -f 2;" << exportAC << -1 << QString() << QString();
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

    const QString program = QStringLiteral(BRETTHOLM_BIN_DIR "/brettholm32-export");
    const QStringList programArguments =
            arguments.split(' ')
                    .replaceInStrings("$C", HostFixture::demoConnectionString())
                    .replaceInStrings("$S", settings);
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
    QString outText = QString::fromUtf8(process.readAllStandardOutput());
    QString errText = QString::fromUtf8(process.readAllStandardError());
#ifdef Q_OS_WIN
    // The C runtime writes text-mode line ends there.
    outText.replace("\r\n", "\n");
    errText.replace("\r\n", "\n");
#endif
    QCOMPARE(outText, out.replace("$FILE", delivery));
    err.replace("$FILE", delivery);
    QVERIFY2(err.endsWith(u'*') ? errText.startsWith(err.chopped(1)) && errText != err.chopped(1)
                                : errText == err,
             qPrintable(errText));

    // Only a successful export replaces yesterday's delivery, and nothing is left beside it.
    // The new file's bytes are tested with the export itself.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList { "Brett.Ini", "LB123400004712.Txt" }));
    QCOMPARE(HostFixture::readFile(delivery) == old, !out.startsWith(delivery));
}

QTEST_GUILESS_MAIN(TestExportCli)
#include "tst_exportcli.moc"
