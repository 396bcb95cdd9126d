#include "HostFixture.h"
#include "PostgresServer.h"

#include "host/HostDatabase.h"
#include "host/OdbcCursor.h"

#include <QLocale>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QTest>

#include <sqlext.h>

#include <clocale>

namespace {

const int Rows = 2500; // more than a block of rows, and than a batch of the server cursor

// The rows both databases hold: every seventh note is far longer than a bound text buffer,
// in characters outside Latin-1 as well; CODE is blank-padded where the type pads.
const char *const Table = "CREATE TABLE VALS (ID INTEGER, NAME VARCHAR(10), NOTE VARCHAR(4000), "
                          "CODE CHAR(5), RATE NUMERIC(5, 2), SHARE DOUBLE PRECISION)";

QString expectedNote(int id)
{
    return id % 7 == 0 ? QString(3000, u'ä') + QString(2, QChar(0x20AC)) + QString::number(id)
                       : "n" + QString::number(id);
}

// The ODBC handle of a connection that Qt's driver opened, as HostDatabase takes it.
SQLHDBC handleOf(const QSqlDatabase &database)
{
    const QVariant handle = database.driver()->handle();
    return handle.isValid() ? *static_cast<const SQLHDBC *>(handle.constData()) : SQL_NULL_HDBC;
}

} // namespace

Q_DECLARE_METATYPE(OdbcCursor::Streaming)

class TestOdbcCursor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mode_readsEveryValueAndStopsCleanly_data();
    void mode_readsEveryValueAndStopsCleanly();
    void secondQueryWhileOneReads_isRefused();
    void timeoutNotKept_failsOpen();

private:
    PostgresServer m_server;
    HostFixture m_sqlite;
    QString m_sqliteOdbc;
};

void TestOdbcCursor::initTestCase()
{
    // Under German settings psqlODBC writes decimals with a comma: that case must be met, and a
    // double it converts itself must not suffer from it.
    QVERIFY(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"));
    m_sqliteOdbc = "Driver=" + sqliteOdbcDriver() + ";Database=" + m_sqlite.path();
    QVERIFY2(m_sqliteOdbc.contains(".so"), "the SQLite ODBC driver (libsqliteodbc) is missing");
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    const QString vals = QStringLiteral(
            "INSERT INTO VALS SELECT i, CASE WHEN i % 5 = 0 THEN NULL ELSE 'x' || i END, "
            "CASE WHEN i % 7 = 0 THEN %1 || i ELSE 'n' || i END, 'ab', i / 4.0, i + 0.05 FROM %2");
    QVERIFY2(m_server.createDatabase(
                     "vals",
                     { Table,
                       vals.arg("repeat('ä', 3000) || '€€'",
                                QString("generate_series(1, %1) AS g(i)").arg(Rows)) }),
             qPrintable(m_server.errorString()));
    // SQLite does not hold a value to its declared width: NAME is longer than the driver says.
    QVERIFY(m_sqlite.exec(
            { Table,
              QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                      "%1) ")
                              .arg(Rows)
                      + vals.arg("replace(hex(zeroblob(3000)), '00', 'ä') || '€€'", "n")
                                .replace("'x' || i",
                                         "'x' || i || replace(hex(zeroblob(300)), '00', 'y')") }));
}

void TestOdbcCursor::mode_readsEveryValueAndStopsCleanly_data()
{
    QTest::addColumn<QString>("connection"); // empty: the PostgreSQL server's
    QTest::addColumn<OdbcCursor::Streaming>("streaming");
    QTest::addColumn<QString>("nameTail"); // what follows "x" and the number in NAME
    QTest::addColumn<int>("stopAfter");    // rows read before the cursor is destroyed; 0: all
    const auto rows = [](const char *mode, const QString &connection,
                         OdbcCursor::Streaming streaming, const QString &nameTail = QString()) {
        for (int stopAfter : { 0, 10, 1500 }) {
            const QString name = QString("%1, %2").arg(
                    mode,
                    stopAfter == 0 ? QString("all rows") : QString("stop after %1").arg(stopAfter));
            QTest::newRow(qPrintable(name)) << connection << streaming << nameTail << stopAfter;
        }
    };
    using S = OdbcCursor::Streaming;
    rows("psqlODBC, server cursor in batches", QString(), S::ServerCursor);
    rows("psqlODBC, its own batches", ";UseDeclareFetch=1;Fetch=300", S::None);
    rows("psqlODBC, blocks fetched ahead", QString(), S::Prefetch);
    rows("psqlODBC, blocks", QString(), S::None);
    // No SQLGetData within a block there: values that may outgrow a buffer come row by row.
    rows("SQLite ODBC driver, row by row", "sqlite", S::Prefetch, QString(300, u'y'));
}

void TestOdbcCursor::mode_readsEveryValueAndStopsCleanly()
{
    QFETCH(QString, connection);
    QFETCH(OdbcCursor::Streaming, streaming);
    QFETCH(QString, nameTail);
    QFETCH(int, stopAfter);
    QSqlDatabase db = QSqlDatabase::addDatabase("QODBC", QTest::currentDataTag());
    db.setDatabaseName(connection == "sqlite" ? m_sqliteOdbc
                                              : m_server.connectionString("vals") + connection);
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    const auto inFlight = std::make_shared<std::atomic<bool>>(false);
    QLocale german(QLocale::German, QLocale::Germany);
    german.setNumberOptions(QLocale::OmitGroupSeparator);
    int id = 0;
    {
        OdbcCursor cursor(handleOf(db), inFlight,
                          "SELECT ID, NAME, NOTE, CODE, RATE, SHARE FROM VALS WHERE ID > ? "
                          "ORDER BY ID",
                          { 0 }, 0, streaming);
        QVERIFY2(cursor.errorString().isEmpty(), qPrintable(cursor.errorString()));
        QCOMPARE(cursor.columnCount(), 6);
        while ((stopAfter == 0 || id < stopAfter) && cursor.next()) {
            ++id;
            const QString name = id % 5 == 0 ? QString() : "x" + QString::number(id) + nameTail;
            const QStringList expected { QString::number(id),
                                         name,
                                         expectedNote(id),
                                         "ab",
                                         german.toString(id / 4.0, 'g', 10),
                                         german.toString(id + 0.05, 'g', 10) };
            QStringList actual;
            for (int column = 0; column < 6; ++column)
                actual << cursor.value(column).toText(german);
            // A long value read twice reads the same.
            actual[2] = cursor.value(2).toText(german);
            if (actual != expected)
                QCOMPARE(actual, expected);
        }
        QVERIFY2(cursor.errorString().isEmpty(), qPrintable(cursor.errorString()));
        QCOMPARE(id, stopAfter == 0 ? Rows : stopAfter);
        QCOMPARE(inFlight->load(), stopAfter != 0);
    }
    // Stopped or at its end, the cursor leaves the connection to the next statement.
    QVERIFY(!inFlight->load());
    OdbcCursor count(handleOf(db), inFlight, "SELECT COUNT(*) FROM VALS", {}, 0, streaming);
    QVERIFY2(count.next(), qPrintable(count.errorString()));
    QCOMPARE(count.value(0).decimalText(), QString::number(Rows));
}

void TestOdbcCursor::secondQueryWhileOneReads_isRefused()
{
    HostDatabase database;
    QVERIFY2(database.open(m_server.connectionString("vals")), qPrintable(database.errorString()));
    {
        HostQuery rows = database.execStreamed("SELECT ID FROM VALS ORDER BY ID");
        QVERIFY(rows.next());
        const HostQuery second = database.exec("SELECT COUNT(*) FROM VALS");
        QVERIFY(second.failed() && second.errorString().contains("zweite Abfrage"));
        int ids = 1;
        while (rows.next())
            ++ids;
        QVERIFY2(!rows.failed() && ids == Rows, qPrintable(rows.errorString()));
    }
    // A failure in the server reaches the user in the server's words, once the batch that
    // holds it is fetched, and frees the connection as well.
    HostQuery failing = database.execStreamed("SELECT 1 / (2100 - ID) FROM VALS ORDER BY ID");
    int rows = 0;
    while (failing.next())
        ++rows;
    QVERIFY2(failing.failed() && failing.errorString().contains("division by zero") && rows < 2100,
             qPrintable(failing.errorString()));
    HostQuery after = database.exec("SELECT COUNT(*) FROM VALS");
    QVERIFY2(after.next(), qPrintable(after.errorString()));
}

void TestOdbcCursor::timeoutNotKept_failsOpen()
{
    // The SQLite ODBC driver takes the attribute and keeps 0: a query could wait for ever.
    HostDatabase database;
    QVERIFY(!database.open(m_sqliteOdbc) && !database.isOpen());
    QVERIFY2(database.errorString().startsWith("Keine Verbindung zur Datenbank: ")
                     && database.errorString().contains("Zeitgrenze von 30 s"),
             qPrintable(database.errorString()));
}

QTEST_GUILESS_MAIN(TestOdbcCursor)
#include "tst_odbccursor.moc"
