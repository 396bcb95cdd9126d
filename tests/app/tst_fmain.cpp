#include "HostFixture.h"
#include "ModalRecorder.h"

#include "app/F_Main.h"
#include "app/Startup.h"
#include "app/TextRules.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTextCodec>

class TestFMain : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void startupFailure_leavesBrettIniAlone_data();
    void startupFailure_leavesBrettIniAlone();
    void session_offersListsFillsLotsOnlyWhenChosenAndStoresSettings();
    void exportFault_showsMessageAndLosesNothing();
    void brettIniNotReplaceable_windowStillCloses();

private:
    QString brettIni() const { return m_appDir->filePath("Brett.Ini"); }
    static bool write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) >= 0;
    }
    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<HostFixture> m_host;
    std::unique_ptr<QTemporaryDir> m_appDir;
};

void TestFMain::init()
{
    m_host = std::make_unique<HostFixture>();
    QVERIFY(m_host->exec({"INSERT INTO LISTENKOPF (LISTE, GESPERRT) VALUES ('4711', 0), "
                          "('4712', NULL), ('gesperrt', 1)",
                          "INSERT INTO LOGS (ID_LOG, LISTE, LOS) VALUES (1, '4711', '1'), "
                          "(2, '4711', '2'), (3, '4711', NULL), (4, '4712', 'A')"}));
    m_appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(write(brettIni(), "FWJ=2023\r\nEXTRA=kept until the next save\r\n"));
}

void TestFMain::startupFailure_leavesBrettIniAlone_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("message");
    QTest::newRow("no command line, no lindavex.Ini") << QString() << "lindavex.Ini";
    QTest::newRow("database file missing") << "Provider=SQLite;Data Source=/nonexistent/x.db"
                                           << "/nonexistent/x.db";
    QTest::newRow("list query fails") << "DROP" << QStringLiteral("LISTENKOPF");
}

void TestFMain::startupFailure_leavesBrettIniAlone()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, message);
    if (commandLine == QLatin1String("DROP")) {
        QVERIFY(m_host->exec({"DROP TABLE LISTENKOPF"}));
        commandLine = m_host->connectionString();
    }
    const QByteArray before = readAll(brettIni());
    {
        F_Main window(m_appDir->path());
        QVERIFY(!window.Form_Load(commandLine));
        QVERIFY2(window.errorString().contains(message), qPrintable(window.errorString()));
        QCOMPARE(window.settings().value(ExportSettings::FWJ), QString());
        window.close();
    }
    QCOMPARE(readAll(brettIni()), before);
}

void TestFMain::session_offersListsFillsLotsOnlyWhenChosenAndStoresSettings()
{
    {
        F_Main window(m_appDir->path());
        QVERIFY2(window.Form_Load(m_host->connectionString() + " | ignored"),
                 qPrintable(window.errorString()));
        QCOMPARE(window.windowTitle(), Startup::caption());
        QCOMPARE(window.settings().value(ExportSettings::FWJ), "2023");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *cbListe = window.findChild<QComboBox *>("CbListe");
        auto *lbLos = window.findChild<QListWidget *>("LbLos");
        QCOMPARE(cbListe->count(), 2);
        QCOMPARE(cbListe->currentText(), QString());

        // A name typed in full, confirmed with Enter and left, is still no choice.
        cbListe->setFocus();
        QTest::keyClicks(cbListe->lineEdit(), "4711");
        QTest::keyClick(cbListe->lineEdit(), Qt::Key_Return);
        lbLos->setFocus();
        QCOMPARE(lbLos->count(), 0);

        // Choosing by arrow key is; the empty entry stands for the logs without a lot.
        cbListe->setFocus();
        QTest::keyClick(cbListe, Qt::Key_Down);
        QCOMPARE(cbListe->currentText(), "4711");
        QCOMPARE(lbLos->count(), 3);
        QCOMPARE(lbLos->item(0)->text(), QString());
        const auto click = [lbLos](int row, Qt::KeyboardModifiers modifiers) {
            QTest::mouseClick(lbLos->viewport(), Qt::LeftButton, modifiers,
                              lbLos->visualItemRect(lbLos->item(row)).center());
            return lbLos->selectedItems().count();
        };
        QCOMPARE(click(0, {}), 1);
        QCOMPARE(click(2, Qt::ControlModifier), 2);
        QCOMPARE(click(1, {}), 1);

        // The next list's lots come without a selection.
        QTest::keyClick(cbListe, Qt::Key_Down);
        QCOMPARE(lbLos->count(), 1);
        QCOMPARE(lbLos->item(0)->text(), "A");
        QVERIFY(lbLos->selectedItems().isEmpty());

        window.settings().setValue(ExportSettings::FORSTAMT, " Nord ");
        window.findChild<QPushButton *>("B_Close")->click();
        QVERIFY(!window.isVisible());
    }
    const QByteArray written = readAll(brettIni());
    QVERIFY(written.startsWith("EXPORTPATH=" + m_appDir->path().toUtf8() + "\r\n"));
    QVERIFY(written.contains("\r\nFORSTAMT= Nord \r\n"));
    QVERIFY(written.contains("\r\nFWJ=2023\r\n"));
    QVERIFY(!written.contains("EXTRA"));
}

// The export's own faults are the export run's tests; here the window shows one in its box and
// goes on: the host database locked by another program while the user exports.
void TestFMain::exportFault_showsMessageAndLosesNothing()
{
    HostFixture host;
    QVERIFY(host.execFile(HostFixture::sourceFile("demo/data.sql")));
    QTemporaryDir exportDir;
    QString ini = QString::fromUtf8(readAll(HostFixture::sourceFile("demo/Brett.Ini.in")));
    ini.replace("@EXPORTPATH@", exportDir.path()).replace("\n", "\r\n");
    QVERIFY(write(brettIni(), TextRules::ansiCodec()->fromUnicode(ini)));
    const QString delivery = exportDir.filePath("LB123400004711.Txt");
    QVERIFY(write(delivery, "yesterday's delivery\r\n"));
    const QByteArray settingsBefore = readAll(brettIni());

    F_Main window(m_appDir->path());
    QVERIFY2(window.Form_Load(host.connectionString()), qPrintable(window.errorString()));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QComboBox *>("CbListe")->setEditText("4711");
    auto *bStart = window.findChild<QPushButton *>("B_Start");
    {
        QSqlDatabase writer = QSqlDatabase::addDatabase("QSQLITE", "writer");
        writer.setDatabaseName(host.path());
        QVERIFY(writer.open());
        QSqlQuery lock(writer);
        QVERIFY(lock.exec("BEGIN EXCLUSIVE"));
        ModalRecorder recorder;
        bStart->click();
        QVERIFY(lock.exec("ROLLBACK"));
        QCOMPARE(recorder.captions, QStringList {"Brettholm32"});
        QCOMPARE(recorder.messages, QStringList {"Datenbankfehler: database is locked - Abbruch!"});
    }
    QSqlDatabase::removeDatabase("writer");
    QCOMPARE(readAll(delivery), QByteArray("yesterday's delivery\r\n"));
    QCOMPARE(QDir(exportDir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList {"LB123400004711.Txt"});
    QCOMPARE(readAll(brettIni()), settingsBefore);

    // The program goes on: with the lock gone the same export succeeds.
    QVERIFY(window.isVisible());
    ModalRecorder second;
    bStart->click();
    QCOMPARE(second.messages, QStringList {"Export erfolgreich!"});
    QCOMPARE(readAll(delivery).count("\r\n"), 25);
}

void TestFMain::brettIniNotReplaceable_windowStillCloses()
{
    QVERIFY(QFile::remove(brettIni()));
    QVERIFY(QDir(m_appDir->path()).mkdir("Brett.Ini"));
    F_Main window(m_appDir->path());
    QVERIFY(window.Form_Load(m_host->connectionString()));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    ModalRecorder recorder;
    window.findChild<QPushButton *>("B_Close")->click();
    QCOMPARE(recorder.messages.size(), 1);
    QVERIFY2(recorder.messages[0].startsWith("Die Einstellungen konnten nicht in " + brettIni() +
                                             " gespeichert werden: "),
             qPrintable(recorder.messages[0]));
    QVERIFY(!window.isVisible());
    QVERIFY(QFileInfo(brettIni()).isDir() && QDir(brettIni()).isEmpty());
    QCOMPARE(QDir(m_appDir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_MAIN(TestFMain)
#include "tst_fmain.moc"
