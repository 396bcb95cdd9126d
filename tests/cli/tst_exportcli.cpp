#include "HostFixture.h"

#include "cli/ExportCli.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTextStream>

class TestExportCli : public QObject
{
    Q_OBJECT

private slots:
    void listsAndLots_data();
    void listsAndLots();
    void withoutConnection_readsLvxIniBesideTheProgram();
    void demoDatabase_throughTheExecutable();
};

void TestExportCli::listsAndLots_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the connection
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::newRow("lists") << QStringList{ "--lists" } << 0 << "4711\nÖsterreich\n";
    QTest::newRow("lots with empty entry") << QStringList{ "--list", "4711", "--lots" } << 0
                                           << "\n1\n";
    QTest::newRow("lots of unknown list") << QStringList{ "--list", "x'--", "--lots" } << 0 << "";
    QTest::newRow("lots without list") << QStringList{ "--lots" } << 2 << "";
    QTest::newRow("both") << QStringList{ "--lists", "--list", "4711", "--lots" } << 2 << "";
    QTest::newRow("unknown option") << QStringList{ "--lsts" } << 2 << "";
    QTest::newRow("bad connection") << QStringList{ "--lists", "--connection", "Server=x" } << 2
                                    << "";
}

void TestExportCli::listsAndLots()
{
    HostFixture host;
    QVERIFY(host.exec({ "INSERT INTO LISTENKOPF (LISTE) VALUES ('4711'), ('Österreich')",
                        "INSERT INTO LOGS (ID_LOG, LISTE, LOS) VALUES (1, '4711', '1'), "
                        "(2, '4711', NULL)" }));
    QFETCH(QStringList, arguments);
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    ExportCli cli(host.directory(), outStream, errStream);
    const int code = cli.run(QStringList{ "brettholm32-export", "--connection",
                                          host.connectionString() }
                             + arguments);
    QTEST(code, "exitCode");
    QTEST(out, "out");
    QCOMPARE(err.isEmpty(), code == 0);
}

void TestExportCli::withoutConnection_readsLvxIniBesideTheProgram()
{
    QTemporaryDir dir;
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    ExportCli cli(dir.path(), outStream, errStream);
    QCOMPARE(cli.run({ "brettholm32-export", "--lists" }), 2);
    QVERIFY(err.contains(QStringLiteral("lindavex.Ini")));
}

void TestExportCli::demoDatabase_throughTheExecutable()
{
    QProcess process;
    process.start(QStringLiteral(BRETTHOLM_BIN_DIR "/brettholm32-export"),
                  { "--connection", HostFixture::demoConnectionString(), "--lists" });
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()),
             QStringLiteral("4711\n4712\n4713\n"));
}

QTEST_GUILESS_MAIN(TestExportCli)
#include "tst_exportcli.moc"
