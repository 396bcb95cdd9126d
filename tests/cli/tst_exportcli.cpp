#include "HostFixture.h"

#include "app/TextRules.h"
#include "cli/ExportCli.h"

#include <QDir>
#include <QTextCodec>

#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTextStream>

class TestExportCli : public QObject
{
    Q_OBJECT

private slots:
    void run_data();
    void run();
    void demoExport_throughTheExecutable();
    void diskFull_childUnderFileSizeLimit_data();
    void diskFull_childUnderFileSizeLimit();

private:
    static QString writeDemoSettings(const QString &directory);
};

QString TestExportCli::writeDemoSettings(const QString &directory)
{
    QFile in(HostFixture::sourceFile(QStringLiteral("demo/Brett.Ini.in")));
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QString settings = QString::fromUtf8(in.readAll());
    settings.replace(QStringLiteral("@EXPORTPATH@"), directory);
    settings.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    QFile out(QDir(directory).filePath(QStringLiteral("Brett.Ini")));
    if (!out.open(QIODevice::WriteOnly))
        return QString();
    out.write(TextRules::ansiCodec()->fromUnicode(settings));
    return out.fileName();
}

void TestExportCli::run_data()
{
    // "$CONN" is the connection string; "$FILE" the delivery file; an err ending in "*" is a
    // prefix.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString ok = "Export erfolgreich!\n";
    QTest::newRow("lists") << QStringList{ "--connection", "$CONN", "--lists" } << 0
                           << "4711\nÖsterreich\n" << "";
    QTest::newRow("lots, empty entry first")
            << QStringList{ "--connection", "$CONN", "--list", "4711", "--lots" } << 0 << "\n"
            << "";
    QTest::newRow("export all lots") << QStringList{ "--connection", "$CONN", "--list", "4711" }
                                     << 0 << "$FILE\n" << ok;
    QTest::newRow("export the empty lot entry")
            << QStringList{ "--connection", "$CONN", "--list", "4711", "--lot", "" } << 0
            << "$FILE\n" << ok;
    QTest::newRow("check passes")
            << QStringList{ "--connection", "$CONN", "--list", "4711", "--check" } << 0 << ""
            << "Keine Fehler gefunden\n";
    QTest::newRow("run stops") << QStringList{ "--connection", "$CONN", "--list", "fehlt" } << 1
                               << "" << "Liste fehlt nicht gefunden - Abbruch!\n";
    QTest::newRow("settings file missing")
            << QStringList{ "--connection", "$CONN", "--list", "4711", "--settings", "/x/y" } << 2
            << "" << "Die Datei /x/y wurde nicht gefunden.\n";
    QTest::newRow("no lindavex.Ini beside the program") << QStringList{ "--lists" } << 2 << ""
                                                       << "Die Datei *";
    QTest::newRow("unknown connection form")
            << QStringList{ "--connection", "Server=x", "--lists" } << 2 << "" << "*";
    QTest::newRow("lots without list") << QStringList{ "--lots" } << 2 << "" << "*";
    QTest::newRow("lot with lots")
            << QStringList{ "--connection", "$CONN", "--list", "4711", "--lots", "--lot", "1" } << 2
            << "" << "*";
    QTest::newRow("unknown option") << QStringList{ "--lsts" } << 2 << "" << "*";
}

void TestExportCli::run()
{
    HostFixture host;
    QVERIFY(host.exec({ "INSERT INTO LISTENKOPF (LISTE) VALUES ('4711'), ('Österreich')",
                        "INSERT INTO LOGS (ID_LOG, LISTE, LOS, BLNR, LISTDATUM) VALUES "
                        "(1, '4711', NULL, 5, '2024-01-02')",
                        "INSERT INTO LOGS_RECH (ID_LOG) VALUES (1)" }));
    QFile settings(host.directory() + QStringLiteral("/Brett.Ini"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("EXPORTPATH=" + host.directory().toUtf8()
                   + "\r\nBUNDESLAND=BY\r\nLIEFNRBRETT=42\r\nKAUVERTRNR=K\r\nFORSTAMT=F\r\n"
                     "FORSTAMTNUMMER=1\r\nFWJ=2024\r\nREVIER=R\r\nSTRASSEREVIER=S\r\n"
                     "PLZREVIER=P\r\nORTREVIER=O\r\nNAMEREVIERFORSTER=N\r\nTELREVIERFORSTER=T\r\n"
                     "ABT=A\r\n");
    settings.close();
    const QString delivery =
            QDir::toNativeSeparators(QDir(host.directory()).filePath("LB004200004711.Txt"));

    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    QFETCH(QString, err);
    arguments.replaceInStrings(QStringLiteral("$CONN"), host.connectionString());
    QString outText;
    QString errText;
    QTextStream outStream(&outText);
    QTextStream errStream(&errText);
    ExportCli cli(host.directory(), outStream, errStream);
    QTEST(cli.run(QStringList{ "brettholm32-export" } + arguments), "exitCode");
    out.replace(QStringLiteral("$FILE"), delivery);
    QCOMPARE(outText, out);
    if (err.endsWith(u'*'))
        QVERIFY2(errText.startsWith(err.chopped(1)) && errText.size() > 1, qPrintable(errText));
    else
        QCOMPARE(errText, err);
    QCOMPARE(QFile::exists(delivery), out.startsWith(delivery));
}

void TestExportCli::demoExport_throughTheExecutable()
{
    QTemporaryDir dir;
    const QString settings = writeDemoSettings(dir.path());
    QVERIFY(!settings.isEmpty());

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(BRETTHOLM_BIN_DIR "/brettholm32-export"),
                  { "--connection", HostFixture::demoConnectionString(), "--settings",
                    settings, "--list", "4712", "--lot", "A", "--lot", "C" });
    QVERIFY(process.waitForFinished());
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
             QStringLiteral("Export erfolgreich!\n"));
    QCOMPARE(process.exitCode(), 0);
    const QString path = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    QCOMPARE(path, QDir::toNativeSeparators(dir.filePath(QStringLiteral("LB123400004712.Txt"))));

    QFile delivery(path);
    QVERIFY(delivery.open(QIODevice::ReadOnly));
    const QByteArray content = delivery.readAll();
    QList<QByteArray> lines = content.split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    QCOMPARE(lines.size(), 14);
    for (const QByteArray &line : lines) {
        QVERIFY(line.endsWith('\r'));
        QCOMPARE(line.count(';'), 45);
    }
    // Decimal comma, umlauts in one byte each, and the owner block of the log without owner.
    QVERIFY(content.contains(";J\xfcrgen M\xfcller;"));
    QVERIFY(content.contains(";;;;;DE;DE;;;;;;"));
    QVERIFY(QRegularExpression(QStringLiteral(";\\d+,\\d;")).match(QString::fromLatin1(content)).hasMatch());
}

void TestExportCli::diskFull_childUnderFileSizeLimit_data()
{
    QTest::addColumn<bool>("signalIgnored");
    QTest::newRow("write fails with EFBIG") << true;
    QTest::newRow("killed by SIGXFSZ") << false;
}

void TestExportCli::diskFull_childUnderFileSizeLimit()
{
    QFETCH(bool, signalIgnored);
    QTemporaryDir dir;
    const QString settings = writeDemoSettings(dir.path());
    QVERIFY(!settings.isEmpty());
    const QString delivery = dir.filePath(QStringLiteral("LB123400004711.Txt"));
    QFile old(delivery);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("yesterday's delivery\r\n");
    old.close();

    // The delivery file of list 4711 has about 7.5 KB; the child may write 2 KB per file.
    QProcess process;
    process.start(QStringLiteral("bash"),
                  { "-c",
                    QStringLiteral("%1 ulimit -f 2; exec \"$0\" \"$@\"")
                            .arg(signalIgnored ? QStringLiteral("trap '' XFSZ;") : QString()),
                    QStringLiteral(BRETTHOLM_BIN_DIR "/brettholm32-export"), "--connection",
                    HostFixture::demoConnectionString(), "--settings", settings, "--list",
                    "4711" });
    QVERIFY(process.waitForFinished());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    if (signalIgnored) {
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(err.startsWith(QStringLiteral("Fehler beim Schreiben der Datei %1 \n")
                                        .arg(QDir::toNativeSeparators(delivery))),
                 qPrintable(err));
    } else {
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(err, QString());
    }
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("yesterday's delivery\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{ "Brett.Ini", "LB123400004711.Txt" }));
}

QTEST_GUILESS_MAIN(TestExportCli)
#include "tst_exportcli.moc"
