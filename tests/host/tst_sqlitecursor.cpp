// The SQLite cursor that reads ahead on a thread of its own: every row once and in order, to
// the end, stopped early or failing on the way, and the connection free again afterwards.
#include "HostFixture.h"

#include "host/HostDatabase.h"

#include <QLocale>
#include <QTest>

namespace {

const int Rows = 1000; // four blocks
const QString Busy("Die Verbindung zur Datenbank liest noch die Zeilen einer anderen Abfrage; "
                   "eine zweite Abfrage zugleich ist nicht möglich.");

} // namespace

class TestSqliteCursor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readAhead_everyRowOnceThenTheConnectionIsFree_data();
    void readAhead_everyRowOnceThenTheConnectionIsFree();
    void besideAnOpenCursor_readsOnTheCallersThread();

private:
    HostFixture m_host;
    HostDatabase m_database;
};

void TestSqliteCursor::initTestCase()
{
    QVERIFY(m_host.exec({ QString("CREATE TABLE VALS AS WITH RECURSIVE n(ID) AS (SELECT 1 UNION "
                                  "ALL SELECT ID + 1 FROM n WHERE ID < %1) "
                                  "SELECT ID, 'Stamm ' || ID AS NAME FROM n")
                                  .arg(Rows) }));
    QVERIFY2(m_database.open(m_host.connectionString()), qPrintable(m_database.errorString()));
}

void TestSqliteCursor::readAhead_everyRowOnceThenTheConnectionIsFree_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("stopAfter"); // 0: read to the end
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("error");
    const QString all("SELECT ID, NAME FROM VALS ORDER BY ID");
    QTest::newRow("to the end") << all << 0 << Rows << QString();
    QTest::newRow("stopped at the first row") << all << 1 << 1 << QString();
    QTest::newRow("stopped in the second block") << all << 300 << 300 << QString();
    QTest::newRow("stopped one before the end") << all << Rows - 1 << Rows - 1 << QString();
    // SQLite fails on the row itself (no sort, which would meet it before the first row): the
    // rows before it arrive, then SQLite's words.
    QTest::newRow("failing in the third block")
            << "SELECT CASE WHEN ID = 600 THEN abs(-9223372036854775807 - 1) ELSE ID END, NAME "
               "FROM VALS"
            << 0 << 599 << "integer overflow";
}

void TestSqliteCursor::readAhead_everyRowOnceThenTheConnectionIsFree()
{
    QFETCH(QString, statement);
    QFETCH(int, stopAfter);
    QFETCH(int, rows);
    QFETCH(QString, error);
    const QLocale german(QLocale::German, QLocale::Germany);
    {
        HostQuery query = m_database.execStreamed(statement);
        const HostQuery second = m_database.exec("SELECT COUNT(*) FROM VALS");
        QVERIFY(second.failed());
        QCOMPARE(second.errorString(), Busy);
        int id = 0;
        while ((stopAfter == 0 || id < stopAfter) && query.next()) {
            ++id;
            QCOMPARE(query.value(0).decimalText(), QString::number(id));
            QCOMPARE(query.value(1).toText(german), "Stamm " + QString::number(id));
        }
        QCOMPARE(id, rows);
        QCOMPARE(query.errorString(), error);
    }
    HostQuery count = m_database.exec("SELECT COUNT(*) FROM VALS");
    QVERIFY2(count.next(), qPrintable(count.errorString()));
    QCOMPARE(count.value(0).decimalText(), QString::number(Rows));
}

void TestSqliteCursor::besideAnOpenCursor_readsOnTheCallersThread()
{
    HostQuery first = m_database.exec("SELECT ID FROM VALS ORDER BY ID");
    HostQuery streamed = m_database.execStreamed("SELECT ID FROM VALS ORDER BY ID DESC");
    // Both step the one connection, in turns, on this thread.
    for (int id = 1; id <= Rows; ++id) {
        QVERIFY(first.next() && streamed.next());
        QCOMPARE(first.value(0).decimalText(), QString::number(id));
        QCOMPARE(streamed.value(0).decimalText(), QString::number(Rows + 1 - id));
    }
    QVERIFY(!first.next() && !streamed.next());
    QVERIFY(!first.failed() && !streamed.failed());
}

QTEST_GUILESS_MAIN(TestSqliteCursor)
#include "tst_sqlitecursor.moc"
