// Faults that only Windows has: a file that another program holds open, paths with drive
// letters and backslashes, folders whose names need more than ASCII, read-only attributes.

#include "HostFixture.h"
#include "RecordedMessages.h"

#include "app/F_Main.h"
#include "export/ExportRun.h"
#include "export/Ledger.h"
#include "host/HostDatabase.h"
#include "settings/BrettIni.h"
#include "settings/ExportSettings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <windows.h>

namespace {

// The demo list that exports with the demo settings, and the file it writes.
const QString List = QStringLiteral("4712");
const QString Delivery = QStringLiteral("LB123400004712.Txt");
const QByteArray Old = "yesterday's delivery\r\n";

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestWindowsFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void deliveryHeldOpen_replaceFailsAndOldFileStays();
    void exportDirectory_data();
    void exportDirectory();
    void applicationDirectory_withBlanksAndUmlauts();
    void readOnlyBrettIni_saveFailsAndFileStays();

private:
    // The demo list exported into exportPath with the demo settings of m_dir.
    bool runExport(const QString &exportPath);

    std::unique_ptr<QTemporaryDir> m_dir;
    RecordedMessages m_sink;
    QStringList &m_messages = m_sink.messages;
};

void TestWindowsFaults::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_messages.clear();
    QVERIFY(!HostFixture::writeDemoSettings(m_dir->path()).isEmpty());
}

bool TestWindowsFaults::runExport(const QString &exportPath)
{
    HostDatabase database;
    if (!database.open(HostFixture::demoConnectionString()))
        return false;
    ExportSettings settings;
    settings.InitGlobals(m_dir->path());
    if (!BrettIni(m_dir->filePath("Brett.Ini")).LoadBrettIni(settings))
        return false;
    settings.setValue(ExportSettings::EXPORTPATH, exportPath);
    ExportRun run(database, settings, m_sink);
    run.setLedgerPath(Ledger::besideSettings(m_dir->filePath("Brett.Ini")));
    return run.run(List, {});
}

void TestWindowsFaults::deliveryHeldOpen_replaceFailsAndOldFileStays()
{
    // Another program reads yesterday's delivery and shares it for reading and writing, but not
    // for deleting, as most editors and viewers open files: Windows then refuses to replace it.
    const QString path = QDir::toNativeSeparators(m_dir->filePath(Delivery));
    QVERIFY(HostFixture::writeFile(path, Old));
    const HANDLE held = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    QVERIFY(held != INVALID_HANDLE_VALUE);
    const bool exported = runExport(QDir::toNativeSeparators(m_dir->path()));
    CloseHandle(held);

    QVERIFY(!exported);
    QCOMPARE(m_messages.size(), 1);
    const QString prefix = "Fehler beim Schreiben der Datei " + path + " \n";
    QVERIFY2(m_messages.first().startsWith(prefix) && m_messages.first().size() > prefix.size(),
             qPrintable(m_messages.first()));
    QCOMPARE(HostFixture::readFile(path), Old);
    // Nothing left beside it; the ledger holds no record of the delivery that did not happen.
    QCOMPARE(filesIn(m_dir->path()).filter(QRegularExpression("^(?!Lieferbuch\\.sqlite$)")),
             (QStringList { "Brett.Ini", Delivery }));
    Ledger ledger(Ledger::besideSettings(m_dir->filePath("Brett.Ini")));
    QList<Ledger::Delivery> deliveries;
    QVERIFY(ledger.open(Ledger::ReadOnly) && ledger.deliveries(&deliveries)
            && deliveries.isEmpty());
}

void TestWindowsFaults::exportDirectory_data()
{
    // How the folder is written in Brett.Ini; "$DIR" is a fresh folder below the temporary
    // folder, as Qt writes it: drive letter and "/".
    QTest::addColumn<QString>("exportPath");
    QTest::newRow("drive letter, backslashes") << "\\native";
    QTest::newRow("drive letter, slashes") << "$DIR";
    QTest::newRow("drive letter, mixed, lower-case drive") << "\\lower";
}

void TestWindowsFaults::exportDirectory()
{
    QFETCH(QString, exportPath);
    const QString dir = m_dir->filePath("Lieferungen");
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(dir.at(1) == u':' && dir.at(2) == u'/');
    if (exportPath == "\\native")
        exportPath = QDir::toNativeSeparators(dir);
    else if (exportPath == "\\lower")
        exportPath = dir.at(0).toLower() + QDir::toNativeSeparators(dir.mid(1, 3)) + dir.mid(4);
    else
        exportPath = dir;

    QVERIFY2(runExport(exportPath), qPrintable(m_messages.join('\n')));
    QCOMPARE(m_messages.last().section(u'\n', 0, 0), "Export erfolgreich!");
    QCOMPARE(filesIn(dir), QStringList { Delivery });
    const QByteArray content = HostFixture::readFile(QDir(dir).filePath(Delivery));
    QVERIFY(content.endsWith("\r\n") && content.count('\n') == content.count("\r\n"));
}

void TestWindowsFaults::applicationDirectory_withBlanksAndUmlauts()
{
    // The export tool copied into such a folder finds Brett.Ini beside itself, writes the
    // delivery there and names it on standard output.
    const QString appDir = m_dir->filePath(QString::fromUtf8("Büro Forst/Säge & Ölmühle"));
    QVERIFY(QDir().mkpath(appDir));
    const QString exe = QDir(appDir).filePath("brettholm32-export.exe");
    QVERIFY(QFile::copy(BRETTHOLM_BIN_DIR "/brettholm32-export.exe", exe));
    QVERIFY(!HostFixture::writeDemoSettings(appDir).isEmpty());

    QProcess process;
    process.start(exe, { "--connection", HostFixture::demoConnectionString(), "--list", List });
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
    const QString delivery = QDir::toNativeSeparators(QDir(appDir).filePath(Delivery));
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).trimmed(), delivery);
    QVERIFY(HostFixture::readFile(delivery).endsWith("\r\n"));

    // The main window reads and, at its close, writes Brett.Ini in that folder.
    QVERIFY(QFile::remove(QDir(appDir).filePath("Brett.Ini")));
    QVERIFY(!HostFixture::writeDemoSettings(appDir).isEmpty());
    const QByteArray before = HostFixture::readFile(QDir(appDir).filePath("Brett.Ini"));
    {
        F_Main window(QDir::toNativeSeparators(appDir));
        QVERIFY(window.Form_Load(HostFixture::demoConnectionString()));
        QCOMPARE(window.settings().value(ExportSettings::FORSTAMT),
                 QString::fromUtf8("Forstbetrieb Bad Tölz"));
        window.settings().setValue(ExportSettings::FWJ, "2025");
        window.close();
    }
    QByteArray expected = before;
    expected.replace("FWJ=2024\r\n", "FWJ=2025\r\n");
    QVERIFY(expected != before);
    QCOMPARE(HostFixture::readFile(QDir(appDir).filePath("Brett.Ini")), expected);
}

void TestWindowsFaults::readOnlyBrettIni_saveFailsAndFileStays()
{
    // A clerk protects the settings with the read-only attribute: they still load, and saving
    // fails with the file's name instead of replacing it.
    const QString path = QDir::toNativeSeparators(m_dir->filePath("Brett.Ini"));
    const QByteArray old = HostFixture::readFile(path);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser | QFile::ReadOther));
    QVERIFY(GetFileAttributesW(reinterpret_cast<const wchar_t *>(path.utf16()))
            & FILE_ATTRIBUTE_READONLY);
    ExportSettings settings;
    settings.InitGlobals(m_dir->path());
    BrettIni ini(path);
    QVERIFY(ini.LoadBrettIni(settings));
    QCOMPARE(settings.value(ExportSettings::FWJ), "2024");
    settings.setValue(ExportSettings::FWJ, "2025");
    const bool saved = ini.SaveBrettIni(settings);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));

    QVERIFY(!saved);
    QVERIFY2(ini.errorString().contains(path), qPrintable(ini.errorString()));
    QCOMPARE(HostFixture::readFile(path), old);
    QCOMPARE(filesIn(m_dir->path()), QStringList { "Brett.Ini" });
}

QTEST_MAIN(TestWindowsFaults)
#include "tst_windowsfaults.moc"
