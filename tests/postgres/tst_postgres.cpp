#include "HostFixture.h"
#include "ModalRecorder.h"
#include "PostgresServer.h"

#include "app/F_Main.h"
#include "app/HostDatabase.h"
#include "app/HostLists.h"
#include "app/TextRules.h"
#include "cli/ExportCli.h"
#include "export/ExportRun.h"
#include "export/MessageSink.h"
#include "settings/ExportSettings.h"
#include "settings/IniText.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTextCodec>
#include <QTextStream>

#include <atomic>
#include <clocale>
#include <thread>

namespace {

class RecordedMessages : public MessageSink
{
public:
    void showMessage(const QString &text) override { messages << text; }
    QStringList messages;
};

// Rows that both host databases get beside the demo data: NULL and blank lot values, a NULL
// log number, decimals that round, and list and lot names made to break a statement that
// pastes them in.
const QString Hostile = QStringLiteral("O'Hara' OR 1=1 --");
const QStringList ExtraRows = {
        "INSERT INTO LISTENKOPF (LISTE, GESPERRT, TEXT1, TEXT2) VALUES ('QUIRK', 0, '1234', "
        "'Huber'), ('O''Hara'' OR 1=1 --', 0, '1234', 'Huber'), ('a_c%', NULL, '1234', "
        "'Huber'), ('abcX', 0, '1234', 'Huber'), ('SELECT', 0, '1234', 'Huber')",
        "INSERT INTO LOGS (ID_LOG, LISTE, LISTDATUM, LOS, BLNR, HA, GKL, LAENGE, DURCH, KLST, "
        "ID_RINDENKENNZ, ID_WALDORT) VALUES "
        "(100, 'QUIRK', '2024-05-02', 'X ', NULL, 'fi', 'b', 7.25, 30, 2, 1, 1), "
        "(101, 'QUIRK', '2024-05-02', NULL, 7, 'fi', 'b', 0.05, 31, 3, 1, 1), "
        "(102, 'QUIRK', '2024-05-02', '', 3, 'fi', 'b', 12.35, 32, 3, 1, 1), "
        "(901, 'O''Hara'' OR 1=1 --', '2024-05-02', '%', 901, 'fi', 'b', 4, 30, NULL, 1, 1), "
        "(902, 'O''Hara'' OR 1=1 --', '2024-05-02', '_', 902, 'fi', 'b', 4, 30, NULL, 1, 1), "
        "(903, 'O''Hara'' OR 1=1 --', '2024-05-02', ''' OR ''1''=''1', 903, 'fi', 'b', 4, "
        "30, NULL, 1, 1), "
        "(904, 'O''Hara'' OR 1=1 --', '2024-05-02', '--', 904, 'fi', 'b', 4, 30, NULL, 1, 1), "
        "(906, 'O''Hara'' OR 1=1 --', '2024-05-02', '7', 906, 'fi', 'b', 4, 30, NULL, 1, 1), "
        "(911, 'a_c%', '2024-05-02', 'x', 911, 'fi', 'b', 4, 30, NULL, 1, 1), "
        "(912, 'abcX', '2024-05-02', 'x', 912, 'fi', 'b', 4, 30, NULL, 1, 1), "
        "(921, 'SELECT', '2024-05-02', '1; DELETE FROM LOGS', 921, 'fi', 'b', 4, 30, NULL, 1, 1)",
        "INSERT INTO LOGS_RECH (ID_LOG, A1_KUNDE, MWST) VALUES (100, 1, 7), (101, 2, NULL), "
        "(102, 3, 19.25), (901, 1, 7), (902, 1, 7), (903, 1, 7), (904, 1, 7), "
        "(906, 1, 7), (911, 1, 7), (912, 1, 7), (921, 1, 7)"};
const QStringList Tables = { "LISTENKOPF",  "LOGS",    "LOGS_RECH", "PERSONAL",
                             "RINDENKENNZ", "WALDORT", "RELTABLE" };

// The demo settings, with the export directory given.
ExportSettings demoSettings(const QString &exportDirectory)
{
    QFile file(HostFixture::sourceFile(QStringLiteral("demo/Brett.Ini.in")));
    ExportSettings settings;
    settings.InitGlobals(exportDirectory);
    if (!file.open(QIODevice::ReadOnly))
        return settings;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        QString key;
        QString value;
        if (IniText::splitLine(line, &key, &value) && key != QLatin1String("EXPORTPATH"))
            settings.setValue(ExportSettings::keyOf(key), value);
    }
    return settings;
}

// Field 22, the log number, of every line of a delivery file.
QStringList logNumbers(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return { QStringLiteral("<no file>") };
    QStringList numbers;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            numbers << QString::fromLatin1(line.split(';').value(21));
    }
    return numbers;
}

} // namespace

class TestPostgres : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameResultsAsSqlite_data();
    void sameResultsAsSqlite();
    void hostileNames_findTheirRowsAndChangeNothing_data();
    void hostileNames_findTheirRowsAndChangeNothing();
    void programConnection_issuesNoWrite();
    void lockHeldByHost_runEndsAfterQueryTimeout();
    void connectionDrop_midExport_leavesNoFile();

private:
    QByteArray fingerprint(const QString &database);
    QString transcript(const QString &connectionString, const QString &scenario);

    PostgresServer m_server;
    HostFixture m_sqlite;
};

void TestPostgres::initTestCase()
{
    // Under German settings psqlODBC writes decimals with a comma: that case must be met.
    QVERIFY(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"));
    QVERIFY(m_sqlite.execFile(HostFixture::sourceFile(QStringLiteral("demo/data.sql"))));
    QVERIFY(m_sqlite.exec(ExtraRows));
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    const QStringList statements =
            HostFixture::statementsOf(HostFixture::sourceFile("tests/postgres/host-schema.sql")) +
            HostFixture::statementsOf(HostFixture::sourceFile("demo/data.sql")) + ExtraRows;
    QVERIFY2(m_server.createDatabase(QStringLiteral("host"), statements),
             qPrintable(m_server.errorString()));
}

void TestPostgres::sameResultsAsSqlite_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("expected"); // a line the SQLite transcript must hold
    QTest::newRow("open lists") << "lists"
                                << "\nQUIRK\nSELECT\n";
    QTest::newRow("lots of every list") << "lots"
                                        << "QUIRK:\n\nX\n";
    QTest::newRow("4711 all lots") << "export|4711"
                                   << "Export erfolgreich!";
    QTest::newRow("4711 logs without lot") << "export|4711|"
                                           << "Export erfolgreich!";
    QTest::newRow("4712 lots A and C") << "export|4712|A|C"
                                       << "Export erfolgreich!";
    QTest::newRow("4713 all lots") << "export|4713"
                                   << "Export erfolgreich!";
    QTest::newRow("NULL and blank lot, decimals") << "export|QUIRK|"
                                                  << ";0,1;31;";
    QTest::newRow("NULL log number first") << "export|QUIRK|X"
                                           << "Stammnummer ist nicht ausgefüllt";
    QTest::newRow("check reports in log order") << "check|QUIRK"
                                                << "Stamm : Stammnummer";
}

QString TestPostgres::transcript(const QString &connectionString, const QString &scenario)
{
    HostDatabase database;
    if (!database.open(connectionString))
        return QStringLiteral("open failed: ") + database.errorString();
    HostLists lists(database);
    QStringList names;
    if (!lists.openLists(&names))
        return QStringLiteral("lists failed: ") + lists.errorString();
    if (scenario == QLatin1String("lists"))
        return names.join(u'\n') + u'\n';
    if (scenario == QLatin1String("lots")) {
        QString text;
        for (const QString &name : names) {
            QStringList lots;
            if (!lists.lotsOfList(name, &lots))
                return QStringLiteral("lots failed: ") + lists.errorString();
            text += name + QStringLiteral(":\n") + lots.join(u'\n') + u'\n';
        }
        return text;
    }

    QStringList parts = scenario.split(u'|');
    const bool checking = parts.takeFirst() == QLatin1String("check");
    const QString list = parts.takeFirst();
    QTemporaryDir exportDir;
    ExportSettings settings = demoSettings(exportDir.path());
    RecordedMessages messages;
    ExportRun run(database, settings, messages, QLocale(QLocale::German, QLocale::Germany));
    run.setMode(checking ? ExportRun::CheckOnly : ExportRun::Export);
    run.run(list, parts);
    QString text = messages.messages.join(u'\n') + u'\n';
    for (const QString &name : QDir(exportDir.path()).entryList(QDir::Files | QDir::Hidden)) {
        QFile file(exportDir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            text += name + u'\n' + TextRules::ansiCodec()->toUnicode(file.readAll());
    }
    return text;
}

void TestPostgres::sameResultsAsSqlite()
{
    QFETCH(QString, scenario);
    QFETCH(QString, expected);
    const QString sqlite = transcript(m_sqlite.connectionString(), scenario);
    const QString postgres =
            transcript(m_server.connectionString(QStringLiteral("host")), scenario);
    QVERIFY2(sqlite.contains(expected), qPrintable(sqlite));
    QCOMPARE(postgres, sqlite);
}

QByteArray TestPostgres::fingerprint(const QString &database)
{
    if (database == QLatin1String("sqlite")) {
        QFile file(m_sqlite.path());
        return file.open(QIODevice::ReadOnly)
                ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                : QByteArray();
    }
    QByteArray print;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), "fingerprint");
        db.setDatabaseName(m_server.connectionString(QStringLiteral("host"), "postgres"));
        if (db.open()) {
            QSqlQuery query(db);
            for (const QString &table : Tables) {
                if (query.exec(QStringLiteral("SELECT count(*) || md5(string_agg(t::text, '|' "
                                              "ORDER BY t::text)) FROM %1 t")
                                       .arg(table)) &&
                    query.next())
                    print += query.value(0).toByteArray() + ';';
            }
        }
    }
    QSqlDatabase::removeDatabase("fingerprint");
    return print;
}

void TestPostgres::hostileNames_findTheirRowsAndChangeNothing_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<bool>("gui");
    QTest::newRow("SQLite, main window") << "sqlite" << true;
    QTest::newRow("SQLite, command line") << "sqlite" << false;
    QTest::newRow("PostgreSQL, main window") << "postgresql" << true;
    QTest::newRow("PostgreSQL, command line") << "postgresql" << false;
}

void TestPostgres::hostileNames_findTheirRowsAndChangeNothing()
{
    QFETCH(QString, database);
    QFETCH(bool, gui);
    const QString connection = database == QLatin1String("sqlite")
            ? m_sqlite.connectionString()
            : m_server.connectionString(QStringLiteral("host"));
    const QByteArray before = fingerprint(database);
    QVERIFY(!before.isEmpty());

    const QStringList expectedLists{ "4711",  "4712",   "4713", Hostile,
                                     "QUIRK", "SELECT", "a_c%", "abcX" };
    const QStringList expectedLots{ "%", "' OR '1'='1", "--", "7", "_" };
    // (list, selected lots), and the log numbers each export must deliver; a ";" cannot go
    // into the delivery file, whose fields it separates.
    const QList<std::pair<QString, QStringList>> exports {
            { Hostile, { "%", "_" } },
            { Hostile, { "' OR '1'='1" } },
            { "a_c%", {} },
            { "SELECT", { "1; DELETE FROM LOGS" } },
    };
    const QList<QStringList> expectedNumbers{
        { "901", "902" }, { "903" }, { "911" }, { "<no file>" }
    };
    const QStringList success{ "Export erfolgreich!" };
    const QStringList semicolon {
            "Feld 21 von Stamm 921 enthält ein Semikolon oder einen Zeilenumbruch",
            "Überleitung abgebrochen!"};

    QTemporaryDir appDir;
    QFile ini(appDir.filePath(QStringLiteral("Brett.Ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    const ExportSettings settings = demoSettings(appDir.path());
    for (int key = 0; key < ExportSettings::KeyCount; ++key) {
        const auto k = ExportSettings::Key(key);
        ini.write(TextRules::ansiCodec()->fromUnicode(ExportSettings::keyName(k) + u'=' +
                                                      settings.value(k)) +
                  "\r\n");
    }
    ini.close();
    const auto deliveryOf = [&](const QString &list) {
        return QDir(appDir.path())
                .filePath(QStringLiteral("LB1234") + TextRules::trimBlanks(list).left(8) +
                          QStringLiteral(".Txt"));
    };

    if (gui) {
        F_Main window(appDir.path());
        QVERIFY2(window.Form_Load(connection), qPrintable(window.errorString()));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *cbListe = window.findChild<QComboBox *>(QStringLiteral("CbListe"));
        auto *lbLos = window.findChild<QListWidget *>(QStringLiteral("LbLos"));
        QStringList offered;
        for (int i = 0; i < cbListe->count(); ++i)
            offered << cbListe->itemText(i);
        QCOMPARE(offered, expectedLists);

        for (int i = 0; i < exports.size(); ++i) {
            // Chosen as a user does: arrow keys on the closed selector until the list shows.
            cbListe->setFocus();
            cbListe->setCurrentIndex(0);
            while (cbListe->currentText() != exports[i].first &&
                   cbListe->currentIndex() < cbListe->count() - 1)
                QTest::keyClick(cbListe, Qt::Key_Down);
            QCOMPARE(cbListe->currentText(), exports[i].first);
            if (exports[i].first == Hostile) {
                QStringList lots;
                for (int row = 0; row < lbLos->count(); ++row)
                    lots << lbLos->item(row)->text();
                QCOMPARE(lots, expectedLots);
            }
            for (int row = 0; row < lbLos->count(); ++row)
                lbLos->item(row)->setSelected(exports[i].second.contains(lbLos->item(row)->text()));
            ModalRecorder recorder;
            window.findChild<QPushButton *>(QStringLiteral("B_Start"))->click();
            QCOMPARE(recorder.messages, i < 3 ? success : semicolon);
            QCOMPARE(logNumbers(deliveryOf(exports[i].first)), expectedNumbers[i]);
            QCOMPARE(QFile::remove(deliveryOf(exports[i].first)), i < 3);
        }
        window.close();
    } else {
        const auto cli = [&](const QStringList &arguments, QString *out) {
            QString err;
            QTextStream outStream(out);
            QTextStream errStream(&err);
            ExportCli tool(appDir.path(), outStream, errStream);
            const int code = tool.run(
                    QStringList{ "brettholm32-export", "--connection", connection } + arguments);
            outStream.flush();
            return code;
        };
        QString out;
        QCOMPARE(cli({ "--lists" }, &out), 0);
        QCOMPARE(out, expectedLists.join(u'\n') + u'\n');
        out.clear();
        QCOMPARE(cli({ "--list", Hostile, "--lots" }, &out), 0);
        QCOMPARE(out, expectedLots.join(u'\n') + u'\n');
        for (int i = 0; i < exports.size(); ++i) {
            QStringList arguments{ "--list", exports[i].first };
            for (const QString &lot : exports[i].second)
                arguments << "--lot" << lot;
            out.clear();
            QCOMPARE(cli(arguments, &out), i < 3 ? 0 : 1);
            QCOMPARE(out.trimmed(),
                     i < 3 ? QDir::toNativeSeparators(deliveryOf(exports[i].first)) : QString());
            QCOMPARE(logNumbers(deliveryOf(exports[i].first)), expectedNumbers[i]);
            QCOMPARE(QFile::remove(deliveryOf(exports[i].first)), i < 3);
        }
    }
    QCOMPARE(fingerprint(database), before);
}

void TestPostgres::programConnection_issuesNoWrite()
{
    // Everything the program's connections sent so far, as the server logged it.
    static const QRegularExpression entry(
            QStringLiteral("^(\\w+)\\|.*LOG:  (?:statement|execute [^:]+): (.*)$"));
    static const QRegularExpression reading(
            QStringLiteral("^\\s*(SELECT|SHOW|SET|DEALLOCATE|BEGIN|COMMIT|ROLLBACK|SAVEPOINT|"
                           "RELEASE|FETCH|CLOSE)\\b"
                           "|^\\s*DECLARE \\S+ CURSOR (WITH HOLD )?FOR SELECT\\b"),
            QRegularExpression::CaseInsensitiveOption);
    int programStatements = 0;
    int selects = 0;
    int fixtureWrites = 0;
    for (const QByteArray &line : m_server.log().split('\n')) {
        const QRegularExpressionMatch match = entry.match(QString::fromUtf8(line));
        if (!match.hasMatch())
            continue;
        const QString user = match.captured(1);
        for (const QString &statement : match.captured(2).split(u';', Qt::SkipEmptyParts)) {
            const bool readOnly = reading.match(statement).hasMatch();
            if (user == QLatin1String("postgres")) {
                fixtureWrites += readOnly ? 0 : 1;
                continue;
            }
            QCOMPARE(user, QLatin1String(PostgresServer::Reader));
            ++programStatements;
            selects += statement.trimmed().startsWith(QLatin1String("SELECT")) ? 1 : 0;
            QVERIFY2(readOnly, qPrintable(statement));
        }
    }
    // The log does show writes: those of the fixture that filled the database.
    QVERIFY(fixtureWrites > 10);
    QVERIFY2(selects > 20, qPrintable(QString::number(selects)));
    QVERIFY(programStatements >= selects);

    // A write sent on the program's connection is refused by the server.
    HostDatabase database;
    QVERIFY(database.open(m_server.connectionString(QStringLiteral("host"))));
    const QByteArray before = fingerprint(QStringLiteral("postgresql"));
    QVERIFY(database.exec(QStringLiteral("DELETE FROM LOGS")).failed());
    QCOMPARE(fingerprint(QStringLiteral("postgresql")), before);
}

void TestPostgres::lockHeldByHost_runEndsAfterQueryTimeout()
{
    QTemporaryDir exportDir;
    HostDatabase database;
    QVERIFY(database.open(m_server.connectionString(QStringLiteral("host"))));
    database.setQueryTimeout(2);
    ExportSettings settings = demoSettings(exportDir.path());
    RecordedMessages messages;
    ExportRun run(database, settings, messages, QLocale(QLocale::German, QLocale::Germany));
    qint64 elapsed = 0;
    {
        // The host application changes the logs and holds its lock. The statement goes
        // before its connection: a statement handle whose connection is gone is never freed.
        QSqlDatabase host = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), "host-writer");
        host.setDatabaseName(m_server.connectionString(QStringLiteral("host"), "postgres"));
        QVERIFY(host.open());
        QVERIFY(host.transaction());
        {
            QSqlQuery lock(host);
            QVERIFY(lock.exec(QStringLiteral("LOCK TABLE LOGS IN ACCESS EXCLUSIVE MODE")));
            QElapsedTimer timer;
            timer.start();
            QVERIFY(!run.run(QStringLiteral("4711"), {}));
            elapsed = timer.elapsed();
        }
        QVERIFY(host.rollback());
        host.close();
    }
    QSqlDatabase::removeDatabase("host-writer");

    QCOMPARE(messages.messages.size(), 1);
    QVERIFY2(messages.messages[0].startsWith(QLatin1String("Datenbankfehler: "))
                     && messages.messages[0].endsWith(QLatin1String(" - Abbruch!")),
             qPrintable(messages.messages[0]));
    QVERIFY2(elapsed >= 1800 && elapsed < 10000, qPrintable(QString::number(elapsed)));
    QVERIFY(QDir(exportDir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    // With the lock gone the same connection exports.
    messages.messages.clear();
    QVERIFY(run.run(QStringLiteral("4711"), {}));
    QCOMPARE(messages.messages, QStringList{ "Export erfolgreich!" });
}

void TestPostgres::connectionDrop_midExport_leavesNoFile()
{
    const int logs = 100000;
    QVERIFY2(m_server.createDatabase(
                     QStringLiteral("big"),
                     HostFixture::statementsOf(
                             HostFixture::sourceFile("tests/postgres/host-schema.sql")) +
                             QStringList {
                                     "INSERT INTO LISTENKOPF (LISTE, GESPERRT, TEXT1, TEXT2) "
                                     "VALUES ('GROSS', 0, '1234', 'Huber')",
                                     "INSERT INTO WALDORT (ID_WALDORT, WO1, WO3) VALUES (1, "
                                     "'Revier Nord', '12')",
                                     QStringLiteral("INSERT INTO LOGS (ID_LOG, LISTE, LISTDATUM, "
                                                    "LOS, BLNR, HA, GKL, LAENGE, DURCH, "
                                                    "ID_WALDORT) SELECT g, 'GROSS', "
                                                    "'2024-03-15', '1', g, 'fi', 'b', 4.5, 30, 1 "
                                                    "FROM generate_series(1, %1) g")
                                             .arg(logs),
                                     QStringLiteral("INSERT INTO LOGS_RECH (ID_LOG) SELECT g "
                                                    "FROM generate_series(1, %1) g")
                                             .arg(logs)}),
             qPrintable(m_server.errorString()));

    QTemporaryDir exportDir;
    const QString delivery = exportDir.filePath(QStringLiteral("LB1234GROSS.Txt"));
    QFile old(delivery);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("yesterday's delivery\r\n");
    old.close();

    // Rows fetched in batches, as SQL Server's driver streams them, so that the loop over the
    // logs is what meets the dropped connection.
    HostDatabase database;
    QVERIFY(database.open(m_server.connectionString(QStringLiteral("big")) +
                          QStringLiteral(";UseDeclareFetch=1;Fetch=500")));
    ExportSettings settings = demoSettings(exportDir.path());
    RecordedMessages messages;
    ExportRun run(database, settings, messages, QLocale(QLocale::German, QLocale::Germany));

    // The server goes down after the program has fetched a few batches of logs.
    std::atomic<bool> killed{ false };
    std::atomic<bool> done{ false };
    std::thread killer([&] {
        const QRegularExpression fetch(QStringLiteral("^reader\\|.*\\bfetch \\d+ in "),
                                       QRegularExpression::MultilineOption);
        while (!done) {
            if (QString::fromUtf8(m_server.log()).count(fetch) >= 6) {
                killed = m_server.kill();
                if (!killed)
                    qWarning("%s", qPrintable(m_server.errorString()));
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const bool exported = run.run(QStringLiteral("GROSS"), {});
    done = true;
    killer.join();

    QVERIFY2(killed, qPrintable(messages.messages.join(u'|')));
    QVERIFY(!exported);
    QCOMPARE(messages.messages.size(), 1);
    QVERIFY2(messages.messages[0].startsWith(QLatin1String("Datenbankfehler: ")) &&
                     messages.messages[0].endsWith(QLatin1String(" - Abbruch!")),
             qPrintable(messages.messages[0]));
    QCOMPARE(QDir(exportDir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{ "LB1234GROSS.Txt" });
    QFile after(delivery);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), QByteArray("yesterday's delivery\r\n"));
}

QTEST_MAIN(TestPostgres)
#include "tst_postgres.moc"
