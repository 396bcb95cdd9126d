#include "HostFixture.h"

#include "app/TextRules.h"
#include "cli/ExportCli.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTextCodec>
#include <QTextStream>

namespace {

// The demo settings in the directory, as the program stores them: Windows-1252, CR LF.
QString writeDemoSettings(const QString &directory)
{
    QFile in(HostFixture::sourceFile(QStringLiteral("demo/Brett.Ini.in")));
    QFile out(QDir(directory).filePath(QStringLiteral("Brett.Ini")));
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return QString();
    QString settings = QString::fromUtf8(in.readAll()).replace("@EXPORTPATH@", directory);
    out.write(TextRules::ansiCodec()->fromUnicode(settings.replace("\n", "\r\n")));
    return out.fileName();
}

// An expected text ending in "*" is a prefix of a longer one.
bool matches(const QString &text, const QString &expected)
{
    return expected.endsWith(u'*')
            ? text.startsWith(expected.chopped(1)) && text != expected.chopped(1)
            : text == expected;
}

} // namespace

class TestExportCli : public QObject
{
    Q_OBJECT

private slots:
    void run_data();
    void run();
    void executable_data();
    void executable();
};

void TestExportCli::run_data()
{
    // "$C" is the demo database's connection string. The export itself runs in executable().
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("lists, the locked one left out")
            << "--connection $C --lists" << 0 << "4711\n4712\n4713\n"
            << QString();
    QTest::newRow("lots, empty entry first")
            << "--connection $C --list 4711 --lots" << 0 << "\n1\n2\n3\n"
            << QString();
    QTest::newRow("check writes nothing")
            << "--connection $C --list 4712 --check" << 0 << QString() << "Keine Fehler gefunden\n";
    QTest::newRow("run stops") << "--connection $C --list fehlt" << 1 << QString()
                               << "Liste fehlt nicht gefunden - Abbruch!\n";
    QTest::newRow("settings file missing") << "--connection $C --list 4712 --settings /x/y" << 2
                                           << QString() << "Die Datei /x/y wurde nicht gefunden.\n";
    QTest::newRow("no lindavex.Ini beside the program")
            << "--lists" << 2 << QString() << "Die Datei *";
    QTest::newRow("not a connection string")
            << "--connection Server=x --lists" << 2 << QString() << "*";
    QTest::newRow("lot with lots")
            << "--connection $C --list 4711 --lots --lot 1" << 2 << QString() << "*";
}

void TestExportCli::run()
{
    QFETCH(QString, arguments);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir dir;
    QVERIFY(!writeDemoSettings(dir.path()).isEmpty());
    const QString delivery = QDir::toNativeSeparators(dir.filePath("LB123400004712.Txt"));

    QString outText;
    QString errText;
    QTextStream outStream(&outText);
    QTextStream errStream(&errText);
    ExportCli cli(dir.path(), outStream, errStream);
    QTEST(cli.run(("brettholm32-export " + arguments)
                          .split(' ')
                          .replaceInStrings("$C", HostFixture::demoConnectionString())),
          "exitCode");
    QCOMPARE(outText, out);
    QVERIFY2(matches(errText, err), qPrintable(errText));
    QVERIFY(!QFile::exists(delivery));
}

void TestExportCli::executable_data()
{
    // The delivery file has about 3.9 KB; under the limit the child may write 2 KB per file.
    QTest::addColumn<QString>("limit");
    QTest::addColumn<int>("exitCode"); // -1: killed
    QTest::addColumn<QString>("err");
    QTest::newRow("no limit") << QString() << 0 << "Export erfolgreich!\n";
    QTest::newRow("disk full, write fails with EFBIG")
            << "trap '' XFSZ; ulimit -f 2;" << 1 << "Fehler beim Schreiben der Datei $FILE \n*";
    QTest::newRow("disk full, killed by SIGXFSZ") << "ulimit -f 2;" << -1 << QString();
}

void TestExportCli::executable()
{
    QFETCH(QString, limit);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    QTemporaryDir dir;
    const QString settings = writeDemoSettings(dir.path());
    const QString delivery = QDir::toNativeSeparators(dir.filePath("LB123400004712.Txt"));
    const QByteArray old = "yesterday's delivery\r\n";
    QFile file(delivery);
    QVERIFY(!settings.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(old) > 0);
    file.close();

    QProcess process;
    process.start("bash",
                  {"-c", limit + " exec \"$0\" \"$@\"", BRETTHOLM_BIN_DIR "/brettholm32-export",
                   "--connection", HostFixture::demoConnectionString(), "--settings", settings,
                   "--list", "4712", "--lot", "A", "--lot", "C"});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitStatus(), exitCode < 0 ? QProcess::CrashExit : QProcess::NormalExit);
    if (exitCode >= 0)
        QCOMPARE(process.exitCode(), exitCode);
    const QString errText = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(matches(errText, err.replace("$FILE", delivery)), qPrintable(errText));
    QCOMPARE(process.readAllStandardOutput(), exitCode == 0 ? (delivery + '\n').toUtf8() : "");
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList {"Brett.Ini", "LB123400004712.Txt"}));

    // A new delivery replaces yesterday's only on success; its bytes are tested elsewhere.
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll() == old, exitCode != 0);
}

QTEST_GUILESS_MAIN(TestExportCli)
#include "tst_exportcli.moc"
