#include "HostFixture.h"
#include "ModalRecorder.h"

#include "app/F_Main.h"
#include "base/QtTranslations.h"
#include "base/Version.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

class TestFMain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QtTranslations::installGerman()); }
    void init();
    void startupFailure_leavesBrettIniAlone();
    void session_offersListsFillsLotsWhenChosenOrConfirmedAndStoresSettings();
    void export_showsFaultInItsBoxGoesOnAndFindsHostileNames();
    void checkReport_listsEveryProblemOnceCopiesAndWritesNothing_thenBrettIniNotReplaceable();

private:
    QString brettIni() const { return QDir::toNativeSeparators(m_appDir->filePath("Brett.Ini")); }

    std::unique_ptr<HostFixture> m_host;
    std::unique_ptr<QTemporaryDir> m_appDir;
};

void TestFMain::init()
{
    m_host = std::make_unique<HostFixture>();
    QVERIFY(m_host->exec({ "INSERT INTO LISTENKOPF (LISTE, GESPERRT) VALUES ('4711', 0), "
                           "('4712', NULL), ('gesperrt', 1)",
                           "INSERT INTO LOGS (ID_LOG, LISTE, LOS) VALUES (1, '4711', '1'), "
                           "(2, '4711', '2'), (3, '4711', NULL), (4, '4712', 'A')" }));
    m_appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(HostFixture::writeFile(brettIni(), "FWJ=2023\r\nEXTRA=kept until the next save\r\n"));
}

// Why a start fails is tested where the reason arises (tst_brettini, tst_hostdatabase); here
// the last failure before the settings would be read: the list query.
void TestFMain::startupFailure_leavesBrettIniAlone()
{
    QVERIFY(m_host->exec({ "DROP TABLE LISTENKOPF" }));
    const QByteArray before = HostFixture::readFile(brettIni());
    {
        F_Main window(m_appDir->path());
        QVERIFY(!window.Form_Load(m_host->connectionString()));
        QVERIFY2(window.errorString().contains("LISTENKOPF"), qPrintable(window.errorString()));
        QCOMPARE(window.settings().value(ExportSettings::FWJ), QString());
        window.close();
    }
    QCOMPARE(HostFixture::readFile(brettIni()), before);
}

void TestFMain::session_offersListsFillsLotsWhenChosenOrConfirmedAndStoresSettings()
{
    {
        F_Main window(m_appDir->path());
        QVERIFY2(window.Form_Load(m_host->connectionString() + " | ignored"),
                 qPrintable(window.errorString()));
        QCOMPARE(window.windowTitle(), "Brettholm-32 Version " + Version::text());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto *cbListe = window.findChild<QComboBox *>("CbListe");
        auto *lbLos = window.findChild<QListWidget *>("LbLos");
        QCOMPARE(cbListe->count(), 2);
        QCOMPARE(cbListe->currentText(), QString());

        // A name typed and confirmed with Enter is followed, as it stands and matching an
        // entry or not; the selector keeps it as typed.
        cbListe->setFocus();
        QTest::keyClicks(cbListe->lineEdit(), " 4712");
        QTest::keyClick(cbListe->lineEdit(), Qt::Key_Return);
        QCOMPARE(cbListe->currentText() + " lots: " + QString::number(lbLos->count()),
                 " 4712 lots: 1");

        // Choosing by arrow key is; the empty entry stands for the logs without a lot.
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

        // Leaving the selector with the same name keeps the selection; another name typed over
        // the list whose lots are selected, not yet confirmed, exports nothing of it.
        cbListe->setFocus();
        lbLos->setFocus();
        QCOMPARE(lbLos->selectedItems().count(), 2);
        cbListe->setEditText("4712");
        {
            ModalRecorder recorder;
            window.findChild<QPushButton *>("B_Start")->click();
            QCOMPARE(recorder.messages,
                     QStringList { "Die ausgewählten Lose gehören zu Liste 4711 - Abbruch!" });
        }
        cbListe->setEditText("4711");
        QCOMPARE(click(1, {}), 1);

        // The next list's lots come without a selection, chosen or typed and left.
        QTest::keyClick(cbListe, Qt::Key_Down);
        QCOMPARE(lbLos->count(), 1);
        QCOMPARE(lbLos->item(0)->text(), "A");
        QVERIFY(lbLos->selectedItems().isEmpty());
        lbLos->item(0)->setSelected(true);
        // Back from the box, as the window system brings it back.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        cbListe->setFocus();
        cbListe->setEditText("4711");
        lbLos->setFocus();
        QCOMPARE(lbLos->count(), 3);
        QVERIFY(lbLos->selectedItems().isEmpty());

        window.settings().setValue(ExportSettings::FORSTAMT, " Nord ");
        window.findChild<QPushButton *>("B_Close")->click();
        QVERIFY(!window.isVisible());
    }
    const QByteArray written = HostFixture::readFile(brettIni());
    // How the file is written is tst_brettini's; here that it is, with what was loaded.
    QVERIFY(written.contains("\r\nFORSTAMT= Nord \r\n") && written.contains("\r\nFWJ=2023\r\n"));
}

// The export's own faults are the export run's tests; here the window shows one in its box and
// goes on: the host database locked by another program while the user exports. Then names made
// to break a statement that pastes them in, chosen in the window, find their rows and change
// nothing.
void TestFMain::export_showsFaultInItsBoxGoesOnAndFindsHostileNames()
{
    HostFixture host({ "demo/data.sql", "tests/postgres/extra-rows.sql" });
    const QByteArray hostBefore = HostFixture::readFile(host.path());
    const QString dir = m_appDir->path();
    QVERIFY(!HostFixture::writeDemoSettings(dir).isEmpty());
    const QByteArray settingsBefore = HostFixture::readFile(brettIni());
    const QString delivery = QDir(dir).filePath("LB123400004711.Txt");
    QVERIFY(HostFixture::writeFile(delivery, "yesterday's delivery\r\n"));

    F_Main window(dir);
    QVERIFY2(window.Form_Load(host.connectionString()), qPrintable(window.errorString()));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *cbListe = window.findChild<QComboBox *>("CbListe");
    auto *lbLos = window.findChild<QListWidget *>("LbLos");
    // Chosen as a user does: arrow keys on the closed selector until the list shows; then
    // Start. Every box shown on the way is read.
    const auto exportList = [&](const QString &list, const QStringList &lots) {
        ModalRecorder recorder;
        cbListe->setFocus();
        cbListe->setCurrentIndex(0);
        for (int i = 0; i < cbListe->count() && cbListe->currentText() != list; ++i)
            QTest::keyClick(cbListe, Qt::Key_Down);
        for (int row = 0; row < lbLos->count(); ++row)
            lbLos->item(row)->setSelected(lots.contains(lbLos->item(row)->text()));
        window.findChild<QPushButton *>("B_Start")->click();
        // Each box has the arrow over the wait cursor of the run, which ends with the run (a
        // cursor left shows first). The success's path and figures are the command line's test.
        return ModalRecorder::cursorStack() + cbListe->currentText() + u'|'
                + recorder.boxes.join(u'|');
    };
    {
        QSqlDatabase writer = QSqlDatabase::addDatabase("QSQLITE", "writer");
        writer.setDatabaseName(host.path());
        QVERIFY(writer.open());
        QSqlQuery lock(writer);
        QVERIFY(lock.exec("BEGIN EXCLUSIVE"));
        const QString shown = exportList("4711", {});
        QVERIFY(lock.exec("ROLLBACK"));
        QCOMPARE(shown,
                 "4711|Brettholm32 [arrow wait] Datenbankfehler: database is locked - "
                 "Abbruch!");
    }
    QSqlDatabase::removeDatabase("writer");
    QCOMPARE(HostFixture::takeDeliveries(dir), "LB123400004711.Txt: \nyesterday's delivery\r\n");
    QCOMPARE(HostFixture::readFile(brettIni()), settingsBefore);

    // The program goes on: with the lock gone the same export succeeds.
    const QString ok = "|Brettholm32 [arrow wait, Enter OK] Export erfolgreich!";
    QCOMPARE(exportList("4711", {}), "4711" + ok);
    QCOMPARE(HostFixture::takeDeliveries(dir).section(u'\n', 1).count("\r\n"), 25);
    // The same logs again: the question's default is "Nein", and the recorder's answer is not
    // "Ja", so nothing is written.
    {
        ModalRecorder recorder;
        window.findChild<QPushButton *>("B_Start")->click();
        QCOMPARE(recorder.boxes.size(), 1);
        QVERIFY2(recorder.boxes[0].startsWith("Brettholm32 [arrow wait, Enter Nein] 25 der 25 "
                                              "Stämme dieser Auswahl sind schon geliefert")
                         && recorder.messages[0].endsWith("Trotzdem liefern?"),
                 qPrintable(recorder.boxes[0]));
    }
    QCOMPARE(HostFixture::takeDeliveries(dir), QString());

    const QString hostile = "O'Hara' OR 1=1 --";
    QCOMPARE(exportList(hostile, { "' OR '1'='1", "%", "_" }), hostile + ok);
    QCOMPARE(HostFixture::takeDeliveries(dir).section(u'\n', 0, 0),
             "LB1234O'Hara' .Txt: 901 902 903");
    window.close();
    QCOMPARE(HostFixture::readFile(host.path()), hostBefore);
}

void TestFMain::checkReport_listsEveryProblemOnceCopiesAndWritesNothing_thenBrettIniNotReplaceable()
{
    HostFixture host({ "demo/data.sql", "tests/postgres/extra-rows.sql" });
    QVERIFY(host.exec({ "UPDATE PERSONAL SET ORT = NULL WHERE ID_PERSONAL = 3" }));
    const QString dir = m_appDir->path();
    QVERIFY(!HostFixture::writeDemoSettings(dir).isEmpty());
    F_Main window(dir);
    QVERIFY2(window.Form_Load(host.connectionString()), qPrintable(window.errorString()));
    window.settings().setValue(ExportSettings::BUNDESLAND, "");
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *cbListe = window.findChild<QComboBox *>("CbListe");
    cbListe->setCurrentIndex(cbListe->findText("QUIRK"));
    emit cbListe->activated(cbListe->currentIndex());

    // Read as a user reads the report, inside its own event loop; then copied and closed.
    QStringList shown;
    QString cursors = "not shown";
    QGuiApplication::clipboard()->clear();
    QTimer::singleShot(0, [&] {
        QWidget *report = QApplication::activeModalWidget();
        if (!report || report->windowTitle() != "Prüfbericht")
            return;
        cursors = ModalRecorder::cursorStack();
        shown << report->findChild<QLabel *>("Lb_Auswahl")->text()
              << report->findChild<QLabel *>("Lb_Anzahl")->text();
        for (const char *name : { "Tb_Alle", "Tb_Staemme" }) {
            const auto *table = report->findChild<QTableWidget *>(name);
            for (int row = 0; row < table->rowCount(); ++row) {
                QStringList cells;
                for (int column = 0; column < table->columnCount(); ++column)
                    cells << table->item(row, column)->text();
                shown << cells.join(" | ");
            }
        }
        report->findChild<QPushButton *>("But_Kopieren")->click();
        report->findChild<QPushButton *>("But_Schliessen")->click();
    });
    QTest::keyClick(&window, Qt::Key_F7);
    QCOMPARE(shown,
             (QStringList {
                     "Liste QUIRK, alle Lose",
                     "3 Stämme geprüft, 3 fehlerhaft",
                     "Bundesland ist nicht ausgefüllt | Einstellungen, „Bundesland (2-stellig)“",
                     "ohne Nummer (Los X, Position 1) | X | Stammnummer ist nicht ausgefüllt",
                     "3 |  | Waldbesitzer-Ort ist nicht ausgefüllt",
             }));
    // The work is done before the report shows.
    QCOMPARE(cursors, QString());
    // As the command line prints it; the summary after it is the command line's test.
    QCOMPARE(QGuiApplication::clipboard()->text().section("\n\n", 0, 0),
             "Liste QUIRK, alle Lose\n"
             "Alle Stämme: Bundesland ist nicht ausgefüllt (Einstellungen, „Bundesland "
             "(2-stellig)“)\n"
             "Stamm ohne Nummer (Los X, Position 1): Stammnummer ist nicht ausgefüllt\n"
             "Stamm 3: Waldbesitzer-Ort ist nicht ausgefüllt\n"
             "3 Stämme geprüft, 3 fehlerhaft");
    QCOMPARE(HostFixture::takeDeliveries(dir), QString());

    // At exit Brett.Ini cannot be replaced: its path has become a directory.
    QVERIFY(QFile::remove(brettIni()) && QDir(dir).mkdir("Brett.Ini"));
    ModalRecorder recorder;
    window.findChild<QPushButton *>("B_Close")->click();
    // No English sentence inside the German message.
    QCOMPARE(recorder.messages,
             QStringList("Die Einstellungen konnten nicht in " + brettIni()
                         + " gespeichert werden: Dateiname bezeichnet ein Verzeichnis"));
    QVERIFY(!window.isVisible() && QFileInfo(brettIni()).isDir() && QDir(brettIni()).isEmpty());
    QCOMPARE(QDir(m_appDir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_MAIN(TestFMain)
#include "tst_fmain.moc"
