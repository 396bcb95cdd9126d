#include "HostFixture.h"

#include "app/HostDatabase.h"
#include "export/ExportRun.h"
#include "export/MessageSink.h"
#include "settings/ExportSettings.h"

#include <QDir>
#include <QFile>
#include <QTest>

using K = ExportSettings;
using Changes = QMap<QString, QString>;

namespace {

class RecordedMessages : public MessageSink
{
public:
    void showMessage(const QString &text) override { messages << text; }
    QStringList messages;
};

// A log of list 815 with its invoice row; owner 0 means none.
QStringList log(int id, const QString &blnr, const QString &los = "'7'", int owner = 0,
                const QString &listDatum = "'2024-03-15'", const QString &klst = "NULL")
{
    return { QStringLiteral("INSERT INTO LOGS (ID_LOG, LISTE, LISTDATUM, LOS, BLNR, HA, GKL, "
                            "LAENGE, DURCH, KLST, ID_RINDENKENNZ, ID_WALDORT, RELTABLE4) VALUES "
                            "(%1, '815', %2, %3, %4, 'fi', 'b', 4, 32, %5, 1, 1, 4)")
                     .arg(id)
                     .arg(listDatum, los, blnr, klst),
             QStringLiteral("INSERT INTO LOGS_RECH (ID_LOG, A1_KUNDE) VALUES (%1, %2)")
                     .arg(id)
                     .arg(owner ? QString::number(owner) : QStringLiteral("NULL")) };
}

QStringList owner(int id, const QString &name, const QString &ort = "'Tal'")
{
    return { QStringLiteral("INSERT INTO PERSONAL (ID_PERSONAL, NUMMER, NAME, ORT, PLZ, STRASSE, "
                            "UID) VALUES (%1, 'WB-%1', %2, %3, '12345', 'Weg 2', 'DE12')")
                     .arg(id)
                     .arg(name, ort) };
}

const QString Example = "BY;4711;KV17;;Nord;12;2024;815;Ost;;Weg 1;12345;Tal;Frei;0123;;;3;a;;7;"
                        "15;;0;FI;B;4,0;32;1;;;;;;DE;DE;;;;;;;815;PEFC;;20240315\r\n";

} // namespace

class TestExportRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void workedExample_isWrittenByteForByte();
    void run_data();
    void run();
    void failedRun_leavesExistingFileAlone();
    void secondRun_restartsPiecesAndKeepsTrimmedSettings();
    void checkOnly_reportsEveryLogAndWritesNothing();

private:
    bool runExport(const QString &list, const QStringList &lots,
                   ExportRun::Mode mode = ExportRun::Export);
    QByteArray delivery(const QString &name = "LB471100000815.Txt") const;
    QStringList deliveredLogNumbers(const QString &name) const;

    std::unique_ptr<HostFixture> m_host;
    std::unique_ptr<QTemporaryDir> m_exportDir;
    ExportSettings m_settings;
    QStringList m_messages;
    QString m_path;
};

void TestExportRun::init()
{
    m_host = std::make_unique<HostFixture>();
    m_exportDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_host->exec({ "INSERT INTO LISTENKOPF (LISTE, GESPERRT, TEXT2) VALUES ('815', 0, '42')",
                           "INSERT INTO RINDENKENNZ VALUES (1, 'U')",
                           "INSERT INTO WALDORT (ID_WALDORT, WO1) VALUES (1, 'Revier Ost')",
                           "INSERT INTO RELTABLE VALUES (4, 'Güteklasse B')" }));
    QVERIFY(m_host->exec(log(1, "15")));
    m_settings.InitGlobals(m_exportDir->path());
    const Changes example{ { "BUNDESLAND", "BY" },    { "LIEFNRBRETT", "4711" },
                           { "KAUVERTRNR", "KV17" },  { "FORSTAMT", "Nord" },
                           { "FORSTAMTNUMMER", "12" }, { "FWJ", "2024" },
                           { "REVIER", "Ost" },       { "STRASSEREVIER", "Weg 1" },
                           { "PLZREVIER", "12345" },  { "ORTREVIER", "Tal" },
                           { "NAMEREVIERFORSTER", "Frei" }, { "TELREVIERFORSTER", "0123" },
                           { "ABT", "3" },            { "UABT", "a" },
                           { "ZERTIFIZIERUNG", "PEFC" } };
    for (auto it = example.cbegin(); it != example.cend(); ++it)
        m_settings.setValue(K::keyOf(it.key()), it.value());
    m_messages.clear();
}

bool TestExportRun::runExport(const QString &list, const QStringList &lots, ExportRun::Mode mode)
{
    HostDatabase database;
    if (!database.open(m_host->connectionString()))
        return false;
    RecordedMessages messages;
    ExportRun run(database, m_settings, messages, QLocale(QLocale::German, QLocale::Germany));
    run.setMode(mode);
    const bool ok = run.run(list, lots);
    m_messages = messages.messages;
    m_path = run.deliveryPath();
    return ok;
}

QByteArray TestExportRun::delivery(const QString &name) const
{
    QFile file(QDir(m_exportDir->path()).filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

QStringList TestExportRun::deliveredLogNumbers(const QString &name) const
{
    QStringList numbers;
    const QByteArray content = delivery(name);
    if (content == "<no file>")
        return { content };
    for (const QByteArray &line : content.split('\n')) {
        if (!line.isEmpty())
            numbers << QString::fromLatin1(line.split(';').value(21));
    }
    return numbers;
}

void TestExportRun::workedExample_isWrittenByteForByte()
{
    QVERIFY(runExport(QStringLiteral(" 815 "), {}));
    QCOMPARE(m_messages, QStringList{ "Export erfolgreich!" });
    QCOMPARE(m_path, m_exportDir->path() + QDir::separator() + "LB471100000815.Txt");
    QCOMPARE(delivery(), Example.toLatin1());
    QCOMPARE(QDir(m_exportDir->path()).entryList(QDir::Files | QDir::Hidden).count(), 1);
}

void TestExportRun::run_data()
{
    QTest::addColumn<QStringList>("sql");
    QTest::addColumn<Changes>("settings");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("lots");
    QTest::addColumn<QStringList>("messages"); // a message ending in "*" is a prefix
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("logNumbers"); // field 22 of each line, or "<no file>"

    const QString file = "LB471100000815.Txt";
    const QStringList none{ "<no file>" };
    const QStringList ok{ "Export erfolgreich!" };
    const QStringList threeLots = log(2, "16", "'8'") + log(3, "14", "NULL") + log(4, "17", "''");
    const QString stop = "Überleitung abgebrochen!";

    QTest::newRow("no list") << QStringList() << Changes() << "  " << QStringList()
                             << QStringList{ "Keine Liste ausgewählt" } << file << none;
    QTest::newRow("unknown list") << QStringList() << Changes() << "999" << QStringList()
                                  << QStringList{ "Liste 999 nicht gefunden - Abbruch!" } << file
                                  << none;
    QTest::newRow("locked list typed by name")
            << QStringList{ "UPDATE LISTENKOPF SET GESPERRT = 1" } << Changes() << "815"
            << QStringList() << QStringList{ "Liste 815 ist gesperrt - Abbruch!" } << file << none;
    QTest::newRow("supplier from a log column is empty at header level")
            << QStringList() << Changes{ { "LIEFNRBRETT", "WO1" } } << "815" << QStringList()
            << QStringList{ "Lieferscheinnummer wurde nicht eingegeben! - Abbruch!" } << file
            << none;
    QTest::newRow("supplier from a header column names the file")
            << QStringList() << Changes{ { "LIEFNRBRETT", "TEXT2" } } << "815" << QStringList()
            << ok << "LB004200000815.Txt" << QStringList{ "15" };
    QTest::newRow("no lot selected takes all, by log number")
            << threeLots << Changes() << "815" << QStringList() << ok << file
            << QStringList{ "14", "15", "16", "17" };
    QTest::newRow("two lots") << threeLots << Changes() << "815" << QStringList{ "7", "8" } << ok
                              << file << QStringList{ "15", "16" };
    QTest::newRow("empty entry takes NULL and empty lots")
            << threeLots << Changes() << "815" << QStringList{ "" } << ok << file
            << QStringList{ "14", "17" };
    // The main window's lot list hands over its empty entry as the null string.
    QTest::newRow("empty entry as the lot list gives it")
            << threeLots << Changes() << "815" << QStringList{ QString() } << ok << file
            << QStringList{ "14", "17" };
    QTest::newRow("no log matches: empty file")
            << QStringList() << Changes() << "815" << QStringList{ "99" } << ok << file
            << QStringList();
    QTest::newRow("two settings missing")
            << QStringList() << Changes{ { "BUNDESLAND", "" }, { "FWJ", "" } } << "815"
            << QStringList()
            << QStringList{ "Bundesland ist nicht ausgefüllt",
                            "Forstwirtschaftsjahr ist nicht ausgefüllt", stop }
            << file << none;
    QTest::newRow("third log fails: no partial file")
            << log(2, "16") + log(3, "17", "'7'", 1) + owner(1, "''") << Changes() << "815"
            << QStringList() << QStringList{ "Waldbesitzername ist nicht ausgefüllt", stop }
            << file << none;
    QTest::newRow("log number 0") << QStringList{ "UPDATE LOGS SET BLNR = 0" } << Changes()
                                  << "815" << QStringList()
                                  << QStringList{ "Stammnummer ist nicht ausgefüllt", stop }
                                  << file << none;
    QTest::newRow("log number NULL") << QStringList{ "UPDATE LOGS SET BLNR = NULL" } << Changes()
                                     << "815" << QStringList()
                                     << QStringList{ "Stammnummer ist nicht ausgefüllt", stop }
                                     << file << none;
    QTest::newRow("list date NULL, then no owner checks")
            << QStringList{ "UPDATE LOGS SET LISTDATUM = NULL", "UPDATE LOGS_RECH SET A1_KUNDE = 1" }
                    + owner(1, "''")
            << Changes() << "815" << QStringList()
            << QStringList{ "Listendatum ist nicht ausgefüllt", stop } << file << none;
    QTest::newRow("list date no date") << QStringList{ "UPDATE LOGS SET LISTDATUM = 'bald'" }
                                       << Changes() << "815" << QStringList()
                                       << QStringList{ "Listendatum ist nicht ausgefüllt", stop }
                                       << file << none;
    QTest::newRow("all four owner checks")
            << QStringList{ "UPDATE LOGS_RECH SET A1_KUNDE = 1",
                            "INSERT INTO PERSONAL (ID_PERSONAL, NUMMER) VALUES (1, 'WB-1')" }
            << Changes() << "815" << QStringList()
            << QStringList{ "Waldbesitzername ist nicht ausgefüllt",
                            "Waldbesitzer-Ort ist nicht ausgefüllt",
                            "Waldbesitzer-PLZ ist nicht ausgefüllt",
                            "Waldbesitzer-Straße ist nicht ausgefüllt", stop }
            << file << none;
    QTest::newRow("header column missing")
            << QStringList() << Changes{ { "LIEFNRBRETT", "TEXT16" } } << "815" << QStringList()
            << QStringList{ "Spalte TEXT16 (aus LIEFNRBRETT) nicht gefunden - Abbruch!" } << file
            << none;
    QTest::newRow("log column missing")
            << QStringList() << Changes{ { "REVIER", " WO7 " } } << "815" << QStringList()
            << QStringList{ "Spalte WO7 (aus REVIER) nicht gefunden - Abbruch!" } << file << none;
    QTest::newRow("fixed text that begins like a log column")
            << QStringList() << Changes{ { "ORTREVIER", "WOLFSBURG" } } << "815" << QStringList()
            << QStringList{ "Spalte WOLFSBURG (aus ORTREVIER) nicht gefunden - Abbruch!" } << file
            << none;
    QTest::newRow("owner column missing")
            << QStringList() << Changes{ { "STEUERNRWB", "UIDX" } } << "815" << QStringList()
            << QStringList{ "Spalte UIDX (aus STEUERNRWB) nicht gefunden - Abbruch!" } << file
            << none;
    QTest::newRow("missing column without logs is never read")
            << QStringList() << Changes{ { "REVIER", "WO7" } } << "815" << QStringList{ "99" }
            << ok << file << QStringList();
    QTest::newRow("semicolon in a field")
            << QStringList{ "UPDATE LOGS_RECH SET A1_KUNDE = 1" } + owner(1, "'Müller;Sohn'")
            << Changes() << "815" << QStringList()
            << QStringList{ "Feld 31 von Stamm 15 enthält ein Semikolon oder einen Zeilenumbruch",
                            stop }
            << file << none;
    QTest::newRow("database error") << QStringList{ "DROP TABLE RELTABLE" } << Changes() << "815"
                                    << QStringList()
                                    << QStringList{ "Datenbankfehler: no such table: RELTABLE - "
                                                    "Abbruch!" }
                                    << file << none;
    QTest::newRow("export directory missing")
            << QStringList() << Changes{ { "EXPORTPATH", "$DIR/gone" } } << "815" << QStringList()
            << QStringList{ "Fehler beim Schreiben der Datei $DIR/gone/LB471100000815.Txt \n*" }
            << file << none;
    QTest::newRow("export directory is a file")
            << QStringList() << Changes{ { "EXPORTPATH", "$DIR/LB471100000815.Txt/x" } } << "815"
            << QStringList{ "99" }
            << QStringList{
                       "Fehler beim Schreiben der Datei $DIR/LB471100000815.Txt/x/LB471100000815.Txt \n*" }
            << file << QStringList();
}

void TestExportRun::run()
{
    QFETCH(QStringList, sql);
    QFETCH(Changes, settings);
    QFETCH(QString, list);
    QFETCH(QStringList, lots);
    QFETCH(QStringList, messages);
    QFETCH(QString, file);
    QVERIFY(m_host->exec(sql));
    const QString dir = m_exportDir->path();
    if (QTest::currentDataTag() == QLatin1String("export directory is a file")) {
        QFile blocker(QDir(dir).filePath(file));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    for (auto it = settings.cbegin(); it != settings.cend(); ++it)
        m_settings.setValue(K::keyOf(it.key()), QString(it.value()).replace("$DIR", dir));

    const bool succeeded = runExport(list, lots);
    QCOMPARE(succeeded, messages == QStringList{ "Export erfolgreich!" });
    QCOMPARE(m_messages.size(), messages.size());
    for (int i = 0; i < messages.size(); ++i) {
        QString expected = messages[i].replace("$DIR", dir);
        if (expected.endsWith(u'*'))
            QVERIFY2(m_messages[i].startsWith(expected.chopped(1)), qPrintable(m_messages[i]));
        else
            QCOMPARE(m_messages[i], expected);
    }
    QTEST(deliveredLogNumbers(file), "logNumbers");
    // Nothing but the delivery file of a successful run is ever left in the directory.
    const QStringList left = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    QVERIFY2(left.size() <= 1, qPrintable(left.join(u',')));
}

void TestExportRun::failedRun_leavesExistingFileAlone()
{
    QVERIFY(m_host->exec(log(2, "16") + log(3, "17") + QStringList{ "UPDATE LOGS SET HA = NULL, "
                                                                     "LISTDATUM = NULL WHERE ID_LOG = 3" }));
    QFile old(QDir(m_exportDir->path()).filePath("LB471100000815.Txt"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("yesterday's delivery\r\n");
    old.close();

    QVERIFY(!runExport("815", {}));
    QCOMPARE(m_messages, (QStringList{ "Listendatum ist nicht ausgefüllt", "Überleitung abgebrochen!" }));
    QCOMPARE(delivery(), QByteArray("yesterday's delivery\r\n"));
    QCOMPARE(QDir(m_exportDir->path()).entryList(QDir::Files | QDir::Hidden).count(), 1);
}

void TestExportRun::secondRun_restartsPiecesAndKeepsTrimmedSettings()
{
    QVERIFY(m_host->exec(QStringList{ "UPDATE LOGS SET KLST = 2" } + log(2, "16", "'7'", 0,
                                                                          "'2024-03-15'", "3")));
    m_settings.setValue(K::LIEFNRBRETT, QStringLiteral(" TEXT2 "));
    QVERIFY(runExport("815", {}));
    const QByteArray first = delivery("LB004200000815.Txt");
    QVERIFY(runExport("815", {}));
    QCOMPARE(delivery("LB004200000815.Txt"), first);
    const QList<QByteArray> lines = first.split('\n');
    QCOMPARE(lines[0].split(';')[23], QByteArray("1"));
    QCOMPARE(lines[1].split(';')[23], QByteArray("2"));
    QCOMPARE(m_settings.value(K::LIEFNRBRETT), QStringLiteral("TEXT2"));
}

void TestExportRun::checkOnly_reportsEveryLogAndWritesNothing()
{
    QVERIFY(m_host->exec(log(2, "0") + log(3, "17", "'7'", 1) + owner(1, "''", "''")
                         + log(4, "18", "'7'", 2) + owner(2, "'A;B'")));
    QVERIFY(!runExport("815", {}, ExportRun::CheckOnly));
    QCOMPARE(m_messages,
             (QStringList{ "Stamm 0: Stammnummer ist nicht ausgefüllt",
                           "Stamm 17: Waldbesitzername ist nicht ausgefüllt",
                           "Stamm 17: Waldbesitzer-Ort ist nicht ausgefüllt",
                           "Stamm 18: Feld 31 von Stamm 18 enthält ein Semikolon oder einen "
                           "Zeilenumbruch" }));
    QVERIFY(QDir(m_exportDir->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    QVERIFY(m_host->exec({ "DELETE FROM LOGS WHERE ID_LOG > 1" }));
    QVERIFY(runExport("815", {}, ExportRun::CheckOnly));
    QCOMPARE(m_messages, QStringList{ "Keine Fehler gefunden" });
}

QTEST_GUILESS_MAIN(TestExportRun)
#include "tst_exportrun.moc"
