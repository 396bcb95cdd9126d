#include "HostFixture.h"

#include "base/AtomicFile.h"
#include "export/Ledger.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>

#include <sqlite3.h>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The lines of a delivery file of n logs.
QByteArrayList lines(int n, const char *tag)
{
    QByteArrayList lines;
    for (int i = 0; i < n; ++i)
        lines << tag + QByteArray::number(i) + ";0000000000;1234;FI;B;4,0;30;2;A\r\n";
    return lines;
}

// A second program's connection to the ledger, holding what its statements took; null when
// they failed or there are none.
using Other = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;
Other other(const QString &path, const QByteArray &sql)
{
    sqlite3 *db = nullptr;
    if (!sql.isEmpty())
        sqlite3_open(QFile::encodeName(path).constData(), &db);
    Other connection(db, sqlite3_close);
    if (db && sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        connection.reset();
    return connection;
}

// What the export run does around its delivery file, with a fault put in at its point. Returns
// the message that ends it, empty on success; "file: ..." when the delivery file failed.
QString deliver(const QString &ledgerPath, const QString &path, const QByteArrayList &lines,
                qint64 firstId, const QString &fault = QString(), const QString &list = "4711",
                const QStringList &lots = { "A" })
{
    Ledger ledger(ledgerPath);
    if (!ledger.open() || !ledger.beginDelivery(list, lots, path))
        return ledger.errorString();
    AtomicFile file(path);
    if (!file.open())
        return "file: " + file.errorString();
    if (fault == "disk full while writing the file")
        HostFixture::limitFileSize(128 * 1024); // above the ledger's journal, below the file
    // Above the file (15 MB), below the ledger, whose pages go to disk once they fill the
    // ledger's cache (8 MB): a part fails while the export goes on.
    if (fault == "disk full while recording")
        HostFixture::limitFileSize(16 * 1024 * 1024);
    qint64 id = firstId, count = 0;
    for (const QByteArray &line : lines) {
        if (!file.write(line))
            return "file: " + file.errorString();
        if (!ledger.addLog(id++, QString::number(++count)) || !ledger.addBytes(line))
            return ledger.errorString();
    }
    // The ledger may not grow: its commit fails after the file is in place.
    if (fault == "disk full at the ledger's commit")
        HostFixture::limitFileSize(QFileInfo(ledgerPath).size());
    // Readers keep the ledger from being written until they end.
    const Other reader = other(ledgerPath,
                               fault == "read by another program at commit"
                                       ? "BEGIN; SELECT count(*) FROM delivery;"
                                       : "");
    if (!ledger.commitDelivery(file, count, count * 28))
        return ledger.fileFailed() ? "file: " + file.errorString() : ledger.errorString();
    return QString();
}

#ifndef Q_OS_WIN
// The same by a user who owns neither the ledger nor its directory: root would be let through.
QString deliverAsAnotherUser(const QString &ledgerPath, const QString &path)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("BRETTHOLM_LEDGER_CHILD", ledgerPath + u'|' + path);
    child.setProcessEnvironment(environment);
    const QString self = QCoreApplication::applicationFilePath();
    if (geteuid() == 0)
        child.start("setpriv", { "--reuid=65534", "--regid=65534", "--clear-groups", "--", self });
    else
        child.start(self, QStringList());
    if (!child.waitForFinished() || child.exitCode() != 0)
        return "child failed: " + child.errorString();
    return QString::fromUtf8(child.readAllStandardOutput());
}
#endif

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
    void queries();
};

// Each row is named after its fault. The error is a piece of the message; empty: recorded.
void TestLedger::record_data()
{
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("logs");
    QTest::addColumn<QString>("other"); // what another program holds during the delivery
    const auto row = [](const char *fault, const char *error, int logs = 3,
                        const char *other = "") {
        QTest::newRow(fault) << QString(error) << logs << QString(other);
    };
    row("first delivery", "");
    row("replaces an earlier delivery", "");
    // One transaction: a commit per log would take minutes.
    row("300 000 logs", "", 300000);
    row("damaged ledger", "beschädigt oder kein Lieferbuch. Sie bleibt, wie sie ist.");
    row("another SQLite file", "aber kein Lieferbuch.", 3, "PRAGMA application_id = 7");
    row("ledger of a later program", "(Schema 2)", 3, "PRAGMA user_version = 2");
    row("folder in its place", "An seiner Stelle liegt ein Ordner.");
    row("directory missing", "kann nicht geöffnet oder angelegt werden.");
    row("written by another program", "Ein anderes Programm schreibt gerade hinein.", 3,
        "BEGIN IMMEDIATE; DELETE FROM delivered_log;");
    row("read by another program at commit", "Ein anderes Programm schreibt gerade hinein.");
    row("old file left beside by a cut-off run", "file: Die Datei $FILE.alt liegt im Weg");
#ifdef BRETTHOLM_FILE_SIZE_LIMIT
    // The system's reason, which Qt loses when the system cuts a write short.
    row("disk full while writing the file", "file: $EFBIG", 5000);
    row("disk full while recording", "Der Datenträger ist voll.", 350000);
    row("disk full at the ledger's commit", "Schreibfehler; vielleicht", 50);
#endif
#ifndef Q_OS_WIN
    // Modes of the directory and the ledger, then a delivery by another user. The ledger itself
    // could be written, but no journal beside it: caught before the delivery file is touched,
    // which could not be written either.
    row("modes 555 666: read-only directory", "Ordner ist schreibgeschützt.");
    row("modes 777 644: read-only ledger", "Ordner ist schreibgeschützt.");
    row("modes 777 600: unreadable ledger", "kann nicht geöffnet oder angelegt werden.");
#endif
}

void TestLedger::record()
{
    const QString fault = QTest::currentDataTag();
    QFETCH(QString, error);
    QFETCH(int, logs);
    QFETCH(QString, other);
    QTemporaryDir dir;
    QString ledgerPath = dir.filePath(Ledger::fileName());
    const QString path = dir.filePath("LB123400004711.Txt");
    const QByteArray old = lines(2, "old").join();
    if (fault != "first delivery")
        QCOMPARE(deliver(ledgerPath, path, lines(2, "old"), 1), QString());
    if (fault == "damaged ledger") {
        QFile ledger(ledgerPath);
        QVERIFY(ledger.open(QIODevice::ReadWrite));
        ledger.write("not an SQLite file, but nearly as long as one");
    } else if (fault == "folder in its place") {
        QVERIFY(QFile::remove(ledgerPath) && QDir(dir.path()).mkdir(Ledger::fileName()));
    } else if (fault == "directory missing") {
        ledgerPath = dir.filePath("gone/" + Ledger::fileName());
    } else if (fault.startsWith("old file left beside")) {
        QVERIFY(HostFixture::writeFile(path + ".alt", "older"));
    }
    const QStringList before = entries(dir.path());
    Other held = ::other(ledgerPath, other.toUtf8());
    QVERIFY(other.isEmpty() || held);
    const QByteArray ledgerBefore = HostFixture::readFile(ledgerPath);

    const QByteArrayList written = lines(logs, "new");
    QElapsedTimer timer;
    timer.start();
    QString message =
            fault.startsWith("modes") ? QString() : deliver(ledgerPath, path, written, 100, fault);
    QVERIFY(timer.elapsed() < 30000);
    HostFixture::limitFileSize(0);
#ifndef Q_OS_WIN
    if (fault.startsWith("modes")) {
        const auto mode = [&](int i) { return mode_t(fault.mid(i, 3).toUInt(nullptr, 8)); };
        QCOMPARE(chmod(QFile::encodeName(ledgerPath).constData(), mode(10)), 0);
        QCOMPARE(chmod(QFile::encodeName(dir.path()).constData(), mode(6)), 0);
        message = deliverAsAnotherUser(ledgerPath, path);
        chmod(QFile::encodeName(dir.path()).constData(), 0700);
    }
#endif
    held.reset();

    // Nothing left beside the ledger and the file: no journal, no temporary or moved-aside file.
    QCOMPARE(entries(dir.path()),
             before.isEmpty() ? QStringList({ "LB123400004711.Txt", Ledger::fileName() }) : before);
    if (!error.isEmpty()) {
        const QString prefix = error.startsWith("file: ")
                ? QString("file: ")
                : "Lieferbuch " + QDir::toNativeSeparators(ledgerPath) + ": ";
        QVERIFY2(message.startsWith(prefix)
                         && message.contains(error.replace("$FILE", path)
                                                     .replace("$EFBIG", qt_error_string(EFBIG))),
                 qPrintable(message));
        // The old file and the old ledger, never repaired.
        QCOMPARE(HostFixture::readFile(path), old);
        QCOMPARE(HostFixture::readFile(ledgerPath), ledgerBefore);
        return;
    }
    const QByteArray bytes = written.join();
    QCOMPARE(message, QString());
    QCOMPARE(HostFixture::readFile(path), bytes);
    Ledger ledger(ledgerPath);
    QList<Ledger::Delivery> after;
    QVERIFY(ledger.open(Ledger::ReadOnly) && ledger.deliveries(&after));
    QCOMPARE(after.size(), before.isEmpty() ? 1 : 2);
    const Ledger::Delivery &d = after.last();
    QCOMPARE(d.path, QDir::toNativeSeparators(path));
    QCOMPARE(d.lines, qint64(logs));
    QCOMPARE(d.hundredths, qint64(logs) * 28);
    QCOMPARE(d.sha256, QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    QVERIFY(!d.user.isEmpty() && !d.computer.isEmpty());
    QVERIFY(qAbs(d.time.secsTo(QDateTime::currentDateTime())) < 60);
    QByteArray stored;
    QVERIFY(ledger.deliveryBytes(d.id, &stored));
    QCOMPARE(stored, bytes);
}

void TestLedger::queries()
{
    QTemporaryDir dir;
    const QString ledgerPath = dir.filePath(Ledger::fileName());
    const QString first = dir.filePath("LB123400004711.Txt");
    QCOMPARE(deliver(ledgerPath, first, lines(3, "a"), 1, QString(), "4711", {}),
             QString()); // logs 1, 2, 3
    QCOMPARE(deliver(ledgerPath, dir.filePath("LB123400004712.Txt"), lines(2, "b"), 3, QString(),
                     "4712", { "A", "" }),
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

    QByteArray bytes;
    QVERIFY(!ledger.deliveryBytes(99, &bytes));
    QVERIFY(ledger.errorString().endsWith(": Eine Lieferung Nr. 99 ist nicht verzeichnet."));
    // Bytes that no longer match their checksum are not given out.
    QVERIFY(other(ledgerPath, "UPDATE delivery_part SET bytes = X'41' WHERE delivery = 1"));
    QVERIFY(!ledger.deliveryBytes(all[0].id, &bytes) && bytes.isEmpty());
    QVERIFY(ledger.errorString().endsWith("Prüfsumme überein; das Lieferbuch ist beschädigt."));

    // Shown, an absent ledger is an empty one and is not created.
    Ledger absent(dir.filePath("none/" + Ledger::fileName()));
    QVERIFY(absent.open(Ledger::ReadOnly) && absent.deliveries(&all) && all.isEmpty());
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The child of a delivery by another user: its message on standard output.
    const QString child = qEnvironmentVariable("BRETTHOLM_LEDGER_CHILD");
    if (!child.isEmpty()) {
        const QString message =
                deliver(child.section(u'|', 0, 0), child.section(u'|', 1), lines(2, "new"), 100);
        return std::fputs(message.toUtf8().constData(), stdout) < 0;
    }
    TestLedger test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_ledger.moc"
