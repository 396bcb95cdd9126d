#include "HostFixture.h"
#include "PostgresServer.h"

#include "host/HostDatabase.h"
#include "host/HostValue.h"
#include "host/OdbcDrivers.h"

#include <QDir>
#include <QLocale>
#include <QTest>

namespace {

const int Rows = 2500; // more than a block of rows, and than a batch of the server cursor

// The rows both databases hold: every seventh note is far longer than a bound text buffer,
// in characters outside Latin-1 as well; CODE is blank-padded where the type pads.
const char *const Table = "CREATE TABLE VALS (ID INTEGER, NAME VARCHAR(10), NOTE VARCHAR(4000), "
                          "CODE CHAR(5), RATE NUMERIC(5, 2))";

QString expectedNote(int id)
{
    return id % 7 == 0 ? QString(3000, u'ä') + QString(2, QChar(0x20AC)) + QString::number(id)
                       : "n" + QString::number(id);
}

// The SQLite ODBC driver's library, wherever the machine's architecture keeps it.
QString sqliteOdbcDriver()
{
    for (const QString &dir : QDir("/usr/lib").entryList({ "*-linux-gnu" }, QDir::Dirs)) {
        const QString path = "/usr/lib/" + dir + "/odbc/libsqlite3odbc.so";
        if (QFile::exists(path))
            return path;
    }
    return QString();
}

} // namespace

class TestOdbcCursor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rows_readInFull_data();
    void rows_readInFull();
    void timeoutNotKept_failsOpen();

private:
    PostgresServer m_server;
    HostFixture m_sqlite;
    QString m_sqliteOdbc;
};

void TestOdbcCursor::initTestCase()
{
    m_sqliteOdbc = "Driver=" + sqliteOdbcDriver() + ";Database=" + m_sqlite.path();
    QVERIFY2(m_sqliteOdbc.contains(".so"), "the SQLite ODBC driver (libsqliteodbc) is missing");
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    // The driver manager's list is the one that the server's folder gives it.
    QCOMPARE(OdbcDrivers::installed(), QStringList { "PostgreSQL Unicode" });
    const QString rows = QStringLiteral(
            "INSERT INTO VALS SELECT i, CASE WHEN i % 5 = 0 THEN NULL ELSE 'x' || i END, "
            "CASE WHEN i % 7 = 0 THEN %1 || i ELSE 'n' || i END, 'ab', i / 4.0 FROM %2");
    QVERIFY2(m_server.createDatabase(
                     "vals",
                     { Table,
                       rows.arg("repeat('ä', 3000) || '€€'",
                                QString("generate_series(1, %1) AS g(i)").arg(Rows)) }),
             qPrintable(m_server.errorString()));
    // SQLite does not hold a value to its declared width: NAME is longer than the driver says.
    QVERIFY(m_sqlite.exec(
            { Table,
              QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                      "%1) ")
                              .arg(Rows)
                      + rows.arg("replace(hex(zeroblob(3000)), '00', 'ä') || '€€'", "n")
                                .replace("'x' || i",
                                         "'x' || i || replace(hex(zeroblob(300)), '00', 'y')") }));
}

void TestOdbcCursor::rows_readInFull_data()
{
    QTest::addColumn<QString>("connection"); // empty: the PostgreSQL server's
    QTest::addColumn<bool>("streamed");
    QTest::addColumn<QString>("nameTail"); // what follows "x" and the number in NAME
    QTest::newRow("psqlODBC, blocks") << QString() << false << "";
    QTest::newRow("psqlODBC, server cursor in batches") << QString() << true << "";
    QTest::newRow("psqlODBC, its own batches") << ";UseDeclareFetch=1;Fetch=300" << true << "";
    // No SQLGetData within a block there: the values that may outgrow a buffer come row by row.
    QTest::newRow("SQLite ODBC driver, value longer than declared")
            << "sqlite" << true << QString(300, u'y');
}

void TestOdbcCursor::rows_readInFull()
{
    QFETCH(QString, connection);
    QFETCH(bool, streamed);
    QFETCH(QString, nameTail);
    HostDatabase database;
    // The SQLite driver does not keep a query timeout (see below).
    database.setQueryTimeout(connection == "sqlite" ? 0 : 30);
    QVERIFY2(database.open(connection == "sqlite" ? m_sqliteOdbc
                                                  : m_server.connectionString("vals") + connection),
             qPrintable(database.errorString()));
    const QString statement =
            "SELECT ID, NAME, NOTE, CODE, RATE FROM VALS WHERE ID > ? ORDER BY ID";
    HostQuery query =
            streamed ? database.execStreamed(statement, { 0 }) : database.exec(statement, { 0 });
    QCOMPARE(query.columnCount(), 5);
    QCOMPARE(query.indexOf("note"), 2);
    const QLocale german(QLocale::German, QLocale::Germany);
    int id = 0;
    while (query.next()) {
        ++id;
        const QString name = id % 5 == 0 ? QString() : "x" + QString::number(id) + nameTail;
        const QStringList expected { QString::number(id), name, expectedNote(id), "ab",
                                     german.toString(id / 4.0, 'g', 10) };
        QStringList actual;
        for (int column = 0; column < 5; ++column)
            actual << query.value(column).toText(german);
        // A long value read twice reads the same.
        actual[2] = query.value(2).toText(german);
        if (actual != expected)
            QCOMPARE(actual, expected);
    }
    QVERIFY2(!query.failed(), qPrintable(query.errorString()));
    QCOMPARE(id, Rows);
}

void TestOdbcCursor::timeoutNotKept_failsOpen()
{
    // The SQLite ODBC driver takes the attribute and keeps 0: a query could wait for ever.
    HostDatabase database;
    QVERIFY(!database.open(m_sqliteOdbc));
    QVERIFY(!database.isOpen());
    QVERIFY2(database.errorString().startsWith("Keine Verbindung zur Datenbank: ")
                     && database.errorString().contains("Zeitgrenze von 30 s"),
             qPrintable(database.errorString()));
}

QTEST_GUILESS_MAIN(TestOdbcCursor)
#include "tst_odbccursor.moc"
