#include "HostFixture.h"

#include "base/AtomicFile.h"
#include "export/Ledger.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sqlite3.h>

#ifdef BRETTHOLM_FILE_SIZE_LIMIT
#include <csignal>
#include <sys/resource.h>
#endif
#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The lines of a delivery file of n logs.
QByteArray lines(int n, const char *tag)
{
    QByteArray bytes;
    for (int i = 0; i < n; ++i)
        bytes += tag + QByteArray::number(i) + ";0000000000;1234;FI;B;4,0;30;2;A\r\n";
    return bytes;
}

// A second program's connection to the ledger, holding what it is told to hold.
class OtherProgram
{
public:
    OtherProgram(const QString &path, const char *sql)
    {
        sqlite3_open(QFile::encodeName(path).constData(), &m_db);
        m_code = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    }
    ~OtherProgram() { sqlite3_close(m_db); }
    OtherProgram(const OtherProgram &) = delete;
    OtherProgram &operator=(const OtherProgram &) = delete;
    bool ok() const { return m_code == SQLITE_OK; }

private:
    sqlite3 *m_db = nullptr;
    int m_code = SQLITE_OK;
};

// What the export run does around its delivery file, with a fault put in at its point. Returns
// the message that ends it, empty on success; "file: ..." when the delivery file failed.
QString deliver(const QString &ledgerPath, const QString &path, const QByteArray &bytes,
                qint64 firstId, const QString &fault = QString(), const QString &list = "4711",
                const QStringList &lots = { "A" })
{
    Ledger ledger(ledgerPath);
    if (!ledger.open())
        return ledger.errorString();
    if (!ledger.beginDelivery(list, lots, path))
        return ledger.errorString();
    AtomicFile file(path);
    if (!file.open())
        return "file: " + file.errorString();
#ifdef BRETTHOLM_FILE_SIZE_LIMIT
    // Past the limit a write fails with EFBIG instead of raising SIGXFSZ.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit normal;
    getrlimit(RLIMIT_FSIZE, &normal);
    rlimit small = normal;
    const auto limit = [&](qint64 size) {
        small.rlim_cur = rlim_t(size);
        setrlimit(RLIMIT_FSIZE, &small);
    };
    struct Reset
    {
        rlimit *normal;
        ~Reset() { setrlimit(RLIMIT_FSIZE, normal); }
    } reset { &normal };
    if (fault == "disk full while writing")
        limit(128 * 1024); // above the ledger's journal, below the file
#endif
    qint64 id = firstId, count = 0;
    for (const QByteArray &piece : bytes.split('\n')) {
        if (piece.isEmpty())
            continue;
        const QByteArray line = piece + '\n';
        if (!file.write(line))
            return "file: " + file.errorString();
        if (!ledger.addLog(id++, QString::number(count + 1)) || !ledger.addBytes(line))
            return ledger.errorString();
        ++count;
    }
#ifdef BRETTHOLM_FILE_SIZE_LIMIT
    // The ledger may not grow: its commit fails after the file is in place.
    if (fault == "disk full at commit")
        limit(QFileInfo(ledgerPath).size());
#endif
    // Readers keep the ledger from being written until they end.
    std::optional<OtherProgram> reader;
    if (fault == "read by another program at commit")
        reader.emplace(ledgerPath, "BEGIN; SELECT count(*) FROM delivery;");
    if (!ledger.commitDelivery(file, count, count * 28))
        return ledger.fileFailed() ? "file: " + file.errorString() : ledger.errorString();
    return QString();
}

QList<Ledger::Delivery> recorded(const QString &ledgerPath)
{
    Ledger ledger(ledgerPath);
    QList<Ledger::Delivery> deliveries;
    if (!ledger.open(Ledger::ReadOnly) || !ledger.deliveries(&deliveries))
        qWarning() << ledger.errorString();
    return deliveries;
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestLedger : public QObject
{
    Q_OBJECT

private slots:
    void record_data();
    void record();
#ifndef Q_OS_WIN
    void unwritable_data();
    void unwritable();
#endif
    void queries();
};

void TestLedger::record_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("logs");
    QTest::addColumn<QString>("error"); // the end of the message; empty: recorded
    QTest::newRow("first delivery") << "no earlier delivery" << 3 << "";
    QTest::newRow("replaces an earlier delivery") << "" << 3 << "";
    // One transaction: a commit per log would take minutes.
    QTest::newRow("300 000 logs") << "" << 300000 << "";
    QTest::newRow("damaged ledger")
            << "damaged" << 3
            << QString::fromUtf8("beschädigt oder kein Lieferbuch. Sie bleibt, wie sie ist.");
    QTest::newRow("another SQLite file")
            << "not a ledger" << 3
            << QString::fromUtf8("aber kein Lieferbuch. Sie bleibt, wie sie ist.");
    QTest::newRow("ledger of a later program")
            << "later version" << 3 << QString::fromUtf8("und wird mit dieser nicht gelesen.");
    QTest::newRow("folder in its place")
            << "folder" << 3 << QString::fromUtf8("An seiner Stelle liegt ein Ordner.");
    QTest::newRow("directory missing")
            << "directory missing" << 3
            << QString::fromUtf8("Die Datei kann nicht geöffnet oder angelegt werden.");
    QTest::newRow("written by another program")
            << "locked" << 3
            << QString::fromUtf8("Ein anderes Programm schreibt gerade hinein. Bitte später noch "
                                 "einmal versuchen.");
    QTest::newRow("read by another program at commit")
            << "read by another program at commit" << 3
            << QString::fromUtf8("Ein anderes Programm schreibt gerade hinein. Bitte später noch "
                                 "einmal versuchen.");
    QTest::newRow("old file left beside by a cut-off run")
            << "aside" << 3
            << QString::fromUtf8("die einzige Kopie einer früheren Fassung von $FILE.");
#ifdef BRETTHOLM_FILE_SIZE_LIMIT
    QTest::newRow("disk full while writing the file")
            << "disk full while writing" << 5000 << "file: ";
    QTest::newRow("disk full at the ledger's commit")
            << "disk full at commit" << 50
            << QString::fromUtf8("Schreibfehler; vielleicht ist der Datenträger voll.");
#endif
}

void TestLedger::record()
{
    QFETCH(QString, fault);
    QFETCH(int, logs);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QString ledgerPath = dir.filePath(Ledger::fileName());
    const QString path = dir.filePath("LB123400004711.Txt");
    const QByteArray old = lines(2, "old");
    if (fault != "no earlier delivery")
        QCOMPARE(deliver(ledgerPath, path, old, 1), QString());

    std::optional<OtherProgram> other;
    if (fault == "damaged") {
        QFile ledger(ledgerPath);
        QVERIFY(ledger.open(QIODevice::ReadWrite));
        ledger.seek(0);
        ledger.write("not an SQLite file, but nearly as long as one");
    } else if (fault == "not a ledger") {
        QVERIFY(QFile::remove(ledgerPath));
        other.emplace(ledgerPath, "CREATE TABLE notes (text TEXT)");
    } else if (fault == "later version") {
        other.emplace(ledgerPath, "PRAGMA user_version = 2");
    } else if (fault == "folder") {
        QVERIFY(QFile::remove(ledgerPath));
        QVERIFY(QDir(dir.path()).mkdir(Ledger::fileName()));
    } else if (fault == "directory missing") {
        ledgerPath = dir.filePath("gone/" + Ledger::fileName());
    } else if (fault == "aside") {
        QVERIFY(HostFixture::writeFile(path + ".alt", "older"));
    }
    QVERIFY(!other || other->ok());
    const QStringList before = entries(dir.path());
    const QByteArray ledgerBefore = HostFixture::readFile(ledgerPath);
    const QList<Ledger::Delivery> recordedBefore =
            error.isEmpty() ? recorded(ledgerPath) : QList<Ledger::Delivery>();
    other.reset();
    if (fault == "locked")
        other.emplace(ledgerPath, "BEGIN IMMEDIATE; DELETE FROM delivered_log;");

    const QByteArray bytes = lines(logs, "new");
    QElapsedTimer timer;
    timer.start();
    const QString message = deliver(ledgerPath, path, bytes, 100, fault);
    if (logs > 1000)
        qInfo("%d logs recorded in %lld ms", logs, timer.elapsed());
    QVERIFY(timer.elapsed() < 30000);
    other.reset();

    // Nothing left beside the ledger and the file: no journal, no temporary or moved-aside file.
    QCOMPARE(entries(dir.path()),
             error.isEmpty() && fault == "no earlier delivery"
                     ? QStringList({ "LB123400004711.Txt", Ledger::fileName() })
                     : before);
    if (!error.isEmpty()) {
        QVERIFY2(message.endsWith(error.replace("$FILE", path)) || message.startsWith(error),
                 qPrintable(message));
        if (!message.startsWith("file: "))
            QVERIFY(message.startsWith("Lieferbuch " + QDir::toNativeSeparators(ledgerPath)
                                       + ": "));
        // The old file and the old ledger, never repaired.
        QCOMPARE(HostFixture::readFile(path), old);
        QCOMPARE(HostFixture::readFile(ledgerPath), ledgerBefore);
        return;
    }
    QCOMPARE(message, QString());
    QCOMPARE(HostFixture::readFile(path), bytes);
    const QList<Ledger::Delivery> after = recorded(ledgerPath);
    QCOMPARE(after.size(), recordedBefore.size() + 1);
    const Ledger::Delivery &d = after.last();
    QCOMPARE(d.list, QString("4711"));
    QCOMPARE(d.lots, QStringList("A"));
    QCOMPARE(d.path, QDir::toNativeSeparators(path));
    QCOMPARE(d.lines, qint64(logs));
    QCOMPARE(d.hundredths, qint64(logs) * 28);
    QCOMPARE(d.sha256, QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    QCOMPARE(d.user, Ledger::userName());
    QVERIFY(!d.user.isEmpty() && !d.computer.isEmpty());
    QVERIFY(qAbs(d.time.secsTo(QDateTime::currentDateTime())) < 60);
    Ledger ledger(ledgerPath);
    QByteArray stored;
    QVERIFY(ledger.open() && ledger.deliveryBytes(d.id, &stored));
    QCOMPARE(stored, bytes);
}

#ifndef Q_OS_WIN
void TestLedger::unwritable_data()
{
    // Run as a user who is not the owner: root would be let through.
    QTest::addColumn<int>("directoryMode");
    QTest::addColumn<int>("ledgerMode");
    QTest::addColumn<QString>("error");
    const QString readOnly = QString::fromUtf8(
            "Es kann nicht beschrieben werden; die Datei oder ihr Ordner ist schreibgeschützt.");
    // The ledger itself could be written, but no journal beside it: caught before the delivery
    // file is touched, which could not be written either.
    QTest::newRow("read-only directory") << 0555 << 0666 << readOnly;
    QTest::newRow("read-only ledger") << 0777 << 0644 << readOnly;
    QTest::newRow("unreadable ledger")
            << 0777 << 0600
            << QString::fromUtf8("Die Datei kann nicht geöffnet oder angelegt werden.");
}

void TestLedger::unwritable()
{
    QFETCH(int, directoryMode);
    QFETCH(int, ledgerMode);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString ledgerPath = dir.filePath(Ledger::fileName());
    const QString path = dir.filePath("LB123400004711.Txt");
    const QByteArray old = lines(2, "old");
    QCOMPARE(deliver(ledgerPath, path, old, 1), QString());
    const QByteArray ledgerBefore = HostFixture::readFile(ledgerPath);
    QCOMPARE(chmod(QFile::encodeName(ledgerPath).constData(), mode_t(ledgerMode)), 0);
    QCOMPARE(chmod(QFile::encodeName(dir.path()).constData(), mode_t(directoryMode)), 0);

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("BRETTHOLM_LEDGER_CHILD", ledgerPath + u'|' + path);
    child.setProcessEnvironment(environment);
    const QString self = QCoreApplication::applicationFilePath();
    if (geteuid() == 0)
        child.start("setpriv", { "--reuid=65534", "--regid=65534", "--clear-groups", "--", self });
    else
        child.start(self, QStringList());
    QVERIFY(child.waitForFinished());
    chmod(QFile::encodeName(dir.path()).constData(), 0700);
    QCOMPARE(child.exitCode(), 0);
    const QString message = QString::fromUtf8(child.readAllStandardOutput());
    QCOMPARE(message, "Lieferbuch " + ledgerPath + ": " + error);
    QCOMPARE(HostFixture::readFile(path), old);
    QCOMPARE(HostFixture::readFile(ledgerPath), ledgerBefore);
    QCOMPARE(entries(dir.path()), QStringList({ "LB123400004711.Txt", Ledger::fileName() }));
}
#endif

void TestLedger::queries()
{
    QTemporaryDir dir;
    const QString ledgerPath = dir.filePath(Ledger::fileName());
    const QString first = dir.filePath("LB123400004711.Txt");
    const QString second = dir.filePath("LB123400004712.Txt");
    const QByteArray firstBytes = lines(3, "a"); // logs 1, 2, 3
    QCOMPARE(deliver(ledgerPath, first, firstBytes, 1, QString(), "4711", {}), QString());
    QCOMPARE(deliver(ledgerPath, second, lines(2, "b"), 3, QString(), "4712", { "A", "" }),
             QString()); // logs 3, 4

    Ledger ledger(ledgerPath);
    QVERIFY(ledger.open());
    const auto prior = [&](const QList<qint64> &ids) {
        Ledger::Prior p;
        if (!ledger.priorDeliveries(ids, &p))
            return ledger.errorString();
        return QStringLiteral("%1 %2 %3").arg(p.logs).arg(p.list, QFileInfo(p.path).fileName());
    };
    QCOMPARE(prior({ 2, 3, 5, 3 }), QString("2 4712 LB123400004712.Txt"));
    QCOMPARE(prior({ 1 }), QString("1 4711 LB123400004711.Txt"));
    QCOMPARE(prior({ 5 }), QString("0  "));
    QCOMPARE(prior({}), QString("0  "));

    QString list;
    QVERIFY(ledger.listOfPath(first, &list));
    QCOMPARE(list, QString("4711"));
    QVERIFY(ledger.listOfPath(dir.filePath("LB123400004713.Txt"), &list));
    QCOMPARE(list, QString());

    QList<Ledger::Delivery> all;
    QVERIFY(ledger.deliveries(&all));
    QCOMPARE(all.size(), 2);
    QCOMPARE(all[0].lots, QStringList());
    QCOMPARE(all[1].lots, QStringList({ "A", "" }));
    QVERIFY(all[0].id < all[1].id);

    QByteArray bytes;
    QVERIFY(ledger.deliveryBytes(all[0].id, &bytes));
    QCOMPARE(bytes, firstBytes);
    QVERIFY(!ledger.deliveryBytes(99, &bytes));
    QCOMPARE(ledger.errorString(),
             "Lieferbuch " + QDir::toNativeSeparators(ledgerPath)
                     + ": Eine Lieferung Nr. 99 ist nicht verzeichnet.");
    // Bytes that no longer match their checksum are not given out.
    OtherProgram tamper(ledgerPath, "UPDATE delivery_part SET bytes = X'41' WHERE delivery = 1");
    QVERIFY(tamper.ok());
    QVERIFY(!ledger.deliveryBytes(all[0].id, &bytes));
    QVERIFY(bytes.isEmpty());
    QVERIFY(ledger.errorString().endsWith(QString::fromUtf8(
            "stimmt nicht mit ihrer Prüfsumme überein; das Lieferbuch ist beschädigt.")));

    // Shown, an absent ledger is an empty one and is not created.
    Ledger absent(dir.filePath("none/" + Ledger::fileName()));
    QVERIFY(absent.open(Ledger::ReadOnly) && absent.deliveries(&all));
    QVERIFY(all.isEmpty());
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The child of unwritable(): one delivery as another user, its message on standard output.
    const QString child = qEnvironmentVariable("BRETTHOLM_LEDGER_CHILD");
    if (!child.isEmpty()) {
        const QByteArray message =
                deliver(child.section(u'|', 0, 0), child.section(u'|', 1), lines(2, "new"), 100)
                        .toUtf8();
        return fwrite(message.constData(), 1, size_t(message.size()), stdout)
                        == size_t(message.size())
                ? 0
                : 1;
    }
    TestLedger test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_ledger.moc"
