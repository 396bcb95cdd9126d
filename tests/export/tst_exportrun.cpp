#include "HostFixture.h"
#include "RecordedMessages.h"

#include "export/ExportRun.h"
#include "host/HostDatabase.h"
#include "settings/ExportSettings.h"

#include <QDir>
#include <QTest>

using K = ExportSettings;

namespace {

const QString Delivery = "LB471100000815.Txt";
const QByteArray Yesterday = "yesterday's delivery\r\n";
const QString Stop = "Überleitung abgebrochen!";

// A log of list 815 with its invoice row; owner 0 means none.
QStringList log(int id, const QString &blnr, const QString &los = "'7'", int owner = 0,
                const QString &klst = "NULL")
{
    return { QStringLiteral("INSERT INTO LOGS (ID_LOG, LISTE, LISTDATUM, LOS, BLNR, HA, GKL, "
                            "LAENGE, DURCH, KLST, ID_RINDENKENNZ, ID_WALDORT, RELTABLE4) VALUES "
                            "(%1, '815', '2024-03-15', %2, %3, 'fi', 'b', 4, 32, %4, 1, 1, 4)")
                     .arg(QString::number(id), los, blnr, klst),
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

} // namespace

class TestExportRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void run_data();
    void run();
    void secondRun_asksThenWritesTheSameLines();

private:
    // Each "NAME=value" into the settings; $DIR is the export directory.
    void change(const QStringList &settings);
    bool runExport(const QStringList &lots = {}, const QString &list = "815",
                   ExportRun::Mode mode = ExportRun::Export);
    QByteArray delivery(const QString &name = Delivery) const
    {
        return HostFixture::readFile(QDir(m_exportDir->path()).filePath(name));
    }
    QStringList files() const
    {
        return QDir(m_exportDir->path()).entryList(QDir::Files | QDir::Hidden);
    }

    std::unique_ptr<HostFixture> m_host;
    std::unique_ptr<QTemporaryDir> m_exportDir;
    std::unique_ptr<QTemporaryDir> m_ledgerDir; // a test's runs share one ledger
    ExportSettings m_settings;
    RecordedMessages m_sink;
    QStringList &m_messages = m_sink.messages;
    QStringList m_report; // the check report's lines after a run
};

void TestExportRun::init()
{
    m_host = std::make_unique<HostFixture>();
    m_exportDir = std::make_unique<QTemporaryDir>();
    m_ledgerDir = std::make_unique<QTemporaryDir>();
    m_sink = RecordedMessages();
    QVERIFY(m_host->exec(
            QStringList { "INSERT INTO LISTENKOPF (LISTE, GESPERRT, TEXT2) VALUES ('815', 0, '42')",
                          "INSERT INTO RINDENKENNZ VALUES (1, 'U')",
                          "INSERT INTO WALDORT (ID_WALDORT, WO1) VALUES (1, 'Revier Ost')" }
            + log(1, "15")));
    m_settings.InitGlobals(m_exportDir->path());
    change(QStringLiteral("BUNDESLAND=BY|LIEFNRBRETT=4711|KAUVERTRNR=KV17|FORSTAMT=Nord|"
                          "FORSTAMTNUMMER=12|FWJ=2024|REVIER=Ost|STRASSEREVIER=Weg 1|"
                          "PLZREVIER=12345|ORTREVIER=Tal|NAMEREVIERFORSTER=Frei|"
                          "TELREVIERFORSTER=0123|ABT=3|UABT=a|ZERTIFIZIERUNG=PEFC")
                   .split(u'|'));
}

void TestExportRun::change(const QStringList &settings)
{
    for (const QString &setting : settings)
        m_settings.setValue(K::keyOf(setting.section(u'=', 0, 0)),
                            setting.section(u'=', 1).replace("$DIR", m_exportDir->path()));
}

bool TestExportRun::runExport(const QStringList &lots, const QString &list, ExportRun::Mode mode)
{
    m_messages.clear();
    HostDatabase database;
    ExportRun run(database, m_settings, m_sink, QLocale(QLocale::German, QLocale::Germany));
    run.setMode(mode);
    run.setLedgerPath(m_ledgerDir->filePath("Lieferbuch.sqlite"));
    const bool ok = database.open(m_host->connectionString()) && run.run(list, lots);
    m_report = run.report().isComplete() ? run.report().lines() : QStringList { "incomplete" };
    return ok;
}

// Every run replaces yesterday's delivery file; one that stops leaves it as it was, and so does a
// check, which writes nothing.
void TestExportRun::run_data()
{
    QTest::addColumn<QStringList>("sql");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QStringList>("lots");
    QTest::addColumn<QStringList>("messages");   // their first lines; a check's report
    QTest::addColumn<QStringList>("logNumbers"); // field 22 of each line written
    QTest::addColumn<QString>("list");
    const auto row = [](const char *name, const QStringList &sql, const QStringList &settings,
                        const QStringList &lots, const QStringList &messages,
                        const QStringList &logNumbers = {}, const QString &list = "815") {
        QTest::newRow(name) << sql << settings << lots << messages << logNumbers << list;
    };
    const QStringList ok { "Export erfolgreich!" };
    const QStringList threeLots = log(2, "16", "'8'") + log(3, "14", "NULL") + log(4, "17", "''");

    row("blank list name", {}, {}, {}, { "Keine Liste ausgewählt" }, {}, "  ");
    row("list name trimmed", {}, {}, {}, ok, { "15" }, " 815 ");
    row("unknown list", { "DELETE FROM LISTENKOPF" }, {}, {},
        { "Liste 815 nicht gefunden - Abbruch!" });
    row("locked list typed by name", { "UPDATE LISTENKOPF SET GESPERRT = 1" }, {}, {},
        { "Liste 815 ist gesperrt - Abbruch!" });
    // The selector does not offer such a list either: a lock the program cannot read locks.
    row("locked by a text that is no number", { "UPDATE LISTENKOPF SET GESPERRT = 'ja'" }, {}, {},
        { "Liste 815 ist gesperrt - Abbruch!" });
    row("supplier from a log column is empty at header level", {}, { "LIEFNRBRETT=WO1" }, {},
        { "Lieferscheinnummer wurde nicht eingegeben! - Abbruch!" });
    row("no lot selected takes all, by log number", threeLots, {}, {}, ok,
        { "14", "15", "16", "17" });
    // The main window's lot list hands over its empty entry as the null string; it takes NULL
    // and empty lots.
    row("a lot and the empty entry", threeLots, {}, { "8", QString() }, ok, { "14", "16", "17" });
    // An entry stands for every stored value that it shows.
    row("blanks before list and lot",
        log(2, "16", "' 7'")
                + QStringList { "UPDATE LISTENKOPF SET LISTE = ' 815'",
                                "UPDATE LOGS SET LISTE = ' 815'" },
        {}, { "7" }, ok, { "15", "16" });
    // No log is no delivery; the log columns are never read.
    row("no log matches", {}, { "REVIER=WO7" }, { "99" },
        { "Die gewählten Lose der Liste 815 haben keine Stämme - Abbruch!" });
    row("two settings missing", {}, { "BUNDESLAND=", "FWJ=" }, {},
        { "Bundesland ist nicht ausgefüllt", "Forstwirtschaftsjahr ist nicht ausgefüllt", Stop });
    row("list date NULL, then no owner checks",
        QStringList { "UPDATE LOGS SET LISTDATUM = NULL", "UPDATE LOGS_RECH SET A1_KUNDE = 1" }
                + owner(1, "''"),
        {}, {}, { "Listendatum ist nicht ausgefüllt", Stop });
    row("third log fails the owner checks",
        log(2, "16") + log(3, "17", "'7'", 1)
                + QStringList { "INSERT INTO PERSONAL (ID_PERSONAL, NUMMER) VALUES (1, 'WB-1')" },
        {}, {},
        { "Waldbesitzername ist nicht ausgefüllt", "Waldbesitzer-Ort ist nicht ausgefüllt",
          "Waldbesitzer-PLZ ist nicht ausgefüllt", "Waldbesitzer-Straße ist nicht ausgefüllt",
          Stop });
    row("header column missing", {}, { "LIEFNRBRETT=TEXT16" }, {},
        { "Spalte TEXT16 (aus LIEFNRBRETT) nicht gefunden - Abbruch!" });
    row("log column missing, trimmed", {}, { "REVIER= WO7 " }, {},
        { "Spalte WO7 (aus REVIER) nicht gefunden - Abbruch!" });
    row("supplier number no file name may hold", {}, { "LIEFNRBRETT=47/1" }, {},
        { "Die Lieferantennummer 47/1 enthält das Zeichen /, das in keinem Dateinamen stehen "
          "darf - Abbruch!" });
    row("list number with a control character",
        { "UPDATE LISTENKOPF SET LISTE = '8' || char(9) || '15'",
          "UPDATE LOGS SET LISTE = '8' || char(9) || '15'" },
        {}, {},
        { "Die Liste 8\t15 enthält das Steuerzeichen U+0009, das in keinem Dateinamen stehen "
          "darf - Abbruch!" },
        {}, "8\t15");
    row("export directory missing", {}, { "EXPORTPATH=$DIR/gone" }, {},
        { QString("Fehler beim Schreiben der Datei $DIR/gone") + QDir::separator() + Delivery
          + " " });
    // A check goes through every log, writes nothing and lists a problem that every log shares
    // once, with where it is mended; a log is named once, by its lot and place where its number
    // does not name it. A clean check is tst_exportcli's.
    const QStringList owners = log(2, "0") + log(3, "17", "'7'", 1) + owner(1, "''", "''")
            + log(4, "18", "NULL", 2) + owner(2, "'A;B'") + log(5, "NULL", "NULL");
    row("check: shared once, logs by name", owners, { "BUNDESLAND=", "REVIER=WO1", "ABT=TEXT9" },
        {},
        { "Alle Stämme: Bundesland ist nicht ausgefüllt (Einstellungen, „Bundesland "
          "(2-stellig)“)",
          "Alle Stämme: Abteilung ist nicht ausgefüllt (Einstellungen, „Abteilung“)",
          "Stamm ohne Nummer (ohne Los, Position 1): Stammnummer ist nicht ausgefüllt",
          "Stamm 0 (Los 7, Position 2): Stammnummer ist nicht ausgefüllt",
          "Stamm 17: Waldbesitzername ist nicht ausgefüllt",
          "Stamm 17: Waldbesitzer-Ort ist nicht ausgefüllt", "5 Stämme geprüft, 5 fehlerhaft" });
    row("check: field of a log, header and file name go on to the logs", owners.mid(4, 4),
        { "LIEFNRBRETT=WO1" }, {},
        { "Alle Stämme: Lieferscheinnummer wurde nicht eingegeben! - Abbruch! "
          "(Einstellungen, „LieferantenNr. Brettholm“)",
          "Stamm 18: Feld 31 (Name des Waldbesitzers) enthält ein Semikolon oder "
          "einen Zeilenumbruch",
          "2 Stämme geprüft, 2 fehlerhaft" });
    // Hints stop nothing: the check is clean apart from them.
    row("check: hints: measures, a number twice, a setting cut",
        log(2, "15", "'8'") + log(3, "16")
                + QStringList { "UPDATE LOGS SET DURCH = 150, LAENGE = 20.5 WHERE ID_LOG = 2",
                                "UPDATE LOGS SET DURCH = NULL, LAENGE = 0 WHERE ID_LOG = 3" },
        { "BUNDESLAND=Bayern" }, {},
        { "Hinweis: „Bundesland (2-stellig)“ enthält „Bayern“, geliefert wird „Ba“",
          "Hinweis: Stamm 15 (Los 8): DURCH 150 ist 150 cm oder mehr",
          "Hinweis: Stamm 15 (Los 8): LAENGE 20,5 ist mehr als 20 m",
          "Hinweis: Stamm 16 (Los 7): DURCH fehlt",
          "Hinweis: Stamm 16 (Los 7): LAENGE 0 ist nicht größer als 0",
          "Hinweis: Stamm 15 (Los 7): die Stammnummer kommt in der Auswahl 2-mal vor",
          "Hinweis: Stamm 15 (Los 8): die Stammnummer kommt in der Auswahl 2-mal vor",
          "3 Stämme geprüft, 0 fehlerhaft", "Keine Fehler gefunden" });
}

void TestExportRun::run()
{
    QFETCH(QStringList, sql);
    QFETCH(QStringList, settings);
    QFETCH(QStringList, lots);
    QFETCH(QStringList, messages);
    QVERIFY(m_host->exec(sql));
    change(settings);
    QVERIFY(HostFixture::writeFile(QDir(m_exportDir->path()).filePath(Delivery), Yesterday));

    QFETCH(QString, list);
    const bool checking = QByteArray(QTest::currentDataTag()).startsWith("check: ");
    const bool succeeded =
            runExport(lots, list, checking ? ExportRun::CheckOnly : ExportRun::Export);
    if (checking) {
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(succeeded, m_report.contains("Keine Fehler gefunden"));
        m_messages = m_report;
    } else {
        QCOMPARE(succeeded, messages == QStringList { "Export erfolgreich!" });
    }
    // A file error goes on with the system's own words in a second line.
    for (QString &message : m_messages)
        message = message.section(u'\n', 0, 0);
    QCOMPARE(m_messages, messages.replaceInStrings("$DIR", m_exportDir->path()));
    QCOMPARE(files(), QStringList { Delivery });
    if (!succeeded || checking) {
        QCOMPARE(delivery(), Yesterday);
        return;
    }
    QStringList logNumbers;
    for (const QByteArray &line : delivery().split('\n'))
        if (!line.isEmpty())
            logNumbers << QString::fromLatin1(line.split(';').value(21));
    QTEST(logNumbers, "logNumbers");
}

// Every field of the line end to end, field 44 from the owners' certification, which wins over
// the office's (that one is bench/smoke.sh's); the piece counter is the run's own; VAT goes out
// with an owner only. The ledger stops a second delivery of the same logs unless the user says so.
void TestExportRun::secondRun_asksThenWritesTheSameLines()
{
    QVERIFY(m_host->exec(QStringList { "UPDATE LOGS SET KLST = 3" } + log(2, "16", "'7'", 1, "3")
                         + owner(1, "'Jürgen Müller'")
                         + QStringList { "UPDATE LOGS_RECH SET MWST = 10.7" }));
    change({ "LIEFNRBRETT= TEXT2 ", "ZERTIFIZIERUNGWB=FSC" });
    const QByteArray lines =
            "BY;42;KV17;;Nord;12;2024;815;Ost;;Weg 1;12345;Tal;Frei;0123;;;3;a;;7;"
            "15;;2;FI;B;4,0;32;1;;;;;;DE;DE;;;;;;;815;FSC;;20240315\r\n"
            "BY;42;KV17;;Nord;12;2024;815;Ost;;Weg 1;12345;Tal;Frei;0123;;;3;a;;7;"
            "16;;3;FI;B;4,0;32;1;WB-1;J\xFCrgen M\xFCller;Tal;12345;Weg 2;DE;DE;;;;10,7;;;"
            "815;FSC;;20240315\r\n";
    QVERIFY(runExport());
    QCOMPARE(delivery("LB004200000815.Txt"), lines);
    // The same logs again: asked, and a "Nein" leaves the file and the ledger as they were.
    QVERIFY(HostFixture::writeFile(QDir(m_exportDir->path()).filePath("LB004200000815.Txt"),
                                   Yesterday));
    QVERIFY(!runExport() && m_messages.isEmpty());
    QCOMPARE(m_sink.questions.size(), 1);
    QVERIFY2(m_sink.questions[0].startsWith("2 der 2 Stämme dieser Auswahl sind schon geliefert"),
             qPrintable(m_sink.questions[0]));
    QCOMPARE(delivery("LB004200000815.Txt"), Yesterday);
    m_sink.answer = true;
    QVERIFY(runExport());
    QCOMPARE(delivery("LB004200000815.Txt"), lines);
    QCOMPARE(m_settings.value(K::LIEFNRBRETT), QStringLiteral("TEXT2"));
}

QTEST_GUILESS_MAIN(TestExportRun)
#include "tst_exportrun.moc"
