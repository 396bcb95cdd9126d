#include "HostFixture.h"

#include "host/ConnectionString.h"
#include "host/HostDatabase.h"
#include "host/HostLists.h"
#include "host/HostValue.h"
#include "host/OdbcColumn.h"
#include "host/OdbcDrivers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTest>

#include <sqlext.h>

#ifdef Q_OS_WIN
#include <winsock2.h>
using socklen_t = int;
const auto closeSocket = ::closesocket;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
const auto closeSocket = ::close;
#endif

class TestHostDatabase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void connectionString_mapsToDriverAndOptionsOrIsRefused_data();
    void connectionString_mapsToDriverAndOptionsOrIsRefused();
    void open_failsCleanly_data();
    void open_failsCleanly();
    void sqlServerNeverAnswers_failsAtLoginTimeout();
    void hostLists_data();
    void hostLists();
    void sqlite_readsBlobAsTextBesideASecondConnectionAndRefusesWrites();
    void value_data();
    void value();

private:
    HostFixture m_host; // lists, lots and a log of every kind of value
    HostDatabase m_database;
};

void TestHostDatabase::initTestCase()
{
    QVERIFY(m_host.exec(
            { "INSERT INTO LISTENKOPF (LISTE, GESPERRT) VALUES ('4712', 0), ('4711  ', NULL), "
              "('gesperrt', 1), ('gesperrt-text', 'ja'), (NULL, 0)",
              "INSERT INTO LOGS (ID_LOG, LISTE, LOS) VALUES (1, '4711', '2'), (2, '4711 ', '1 '), "
              "(3, '4711', 'A'), (4, '4711', '2')",
              // Blanks before a value, which the servers do not compare away.
              "INSERT INTO LISTENKOPF (LISTE) VALUES (' 4799')",
              "INSERT INTO LOGS (ID_LOG, LISTE, LOS) VALUES (12, ' 4799', ' A'), "
              "(13, ' 4799', 'A'), (14, ' 4799', '1')",
              "INSERT INTO LOGS (ID_LOG, LISTE, GKL) VALUES (11, 'Werte', X'4BC3A4')" }));
    QVERIFY2(m_database.open(m_host.connectionString()), qPrintable(m_database.errorString()));
}

void TestHostDatabase::connectionString_mapsToDriverAndOptionsOrIsRefused_data()
{
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("driver"); // empty: refused
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<int>("loginTimeout"); // ODBC only

    const auto row = [](const char *name, const QString &connectionString,
                        const QString &driver = QString(), const QString &databaseName = QString(),
                        const QStringList &installed = { "PostgreSQL Unicode", "FreeTDS" },
                        int loginTimeout = 15) {
        QTest::newRow(name) << connectionString << installed << driver << databaseName
                            << loginTimeout;
    };
    const QString ole = "Provider=SQLOLEDB.1;Data Source=S;Initial Catalog=D";
    const QString driver18 = "Driver={ODBC Driver 18 for SQL Server};Server=S;Database=D";
    const QString freeTds = "Driver={FreeTDS};Server=S;Database=D;Trusted_Connection=yes;";
    row("host form, integrated, timeout 0 would wait for ever",
        ConnectionString::fromLvxIni("S", "D") + ";Connection Timeout=0", "QODBC",
        freeTds + "Encryption=off;TDS_Version=7.4;");
    row("best driver first", ole, "QODBC",
        "Driver={ODBC Driver 17 for SQL Server};Server=S;Database=D;Trusted_Connection=yes;"
        "Encrypt=no;",
        { "FreeTDS", "ODBC Driver 17 for SQL Server", "SQL Server" });
    // The provider encrypted only when asked; Driver 18 would encrypt and check by default.
    row("driver 18, encryption asked, certificate checked", ole + ";Use Encryption for Data=yes",
        "QODBC", driver18 + ";Trusted_Connection=yes;Encrypt=yes;",
        { "ODBC Driver 18 for SQL Server" });
    row("freetds, encryption asked", ole + ";Use Encryption for Data=True", "QODBC",
        freeTds + "Encryption=require;TDS_Version=7.4;");
    row("odbc form stays as written, driver 18 defaults included", driver18, "QODBC", driver18);
    row("user, password braced, keys in any case, timeout",
        "provider=sqloledb;DATA SOURCE=tcp:S,1433;initial catalog=D;User ID=forst;"
        "Password=\"a;b}c\";Connect Timeout = 3",
        "QODBC",
        "Driver={FreeTDS};Server=tcp:S,1433;Database=D;UID=forst;PWD={a;b}}c};Encryption=off;"
        "TDS_Version=7.4;",
        { "FreeTDS" }, 3);
    row("sqlite path with semicolon quoted", "Provider=SQLite;Data Source='C:\\a;b\\host.db'",
        "SQLITE", "C:\\a;b\\host.db");
    // ODBC reads braces only: a key inside a braced value is none, a quote is a character.
    const QString braced = "Driver={PostgreSQL Unicode};PWD={x;Provider=y};UID='u";
    row("odbc, provider inside a braced password", braced, "QODBC", braced);
    row("odbc, unclosed brace", "DSN=forst;PWD={x");
    row("no sql server driver", ConnectionString::fromLvxIni("S", "D"), QString(), QString(), {});
    row("unknown provider", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb");
    row("unclosed quote", "Provider=SQLite;Data Source=\"x");
}

void TestHostDatabase::connectionString_mapsToDriverAndOptionsOrIsRefused()
{
    QFETCH(QString, connectionString);
    QFETCH(QStringList, installed);
    QFETCH(QString, driver);
    QFETCH(int, loginTimeout);
    ConnectionTarget target;
    QString error;
    const bool ok = ConnectionString::map(connectionString, installed, &target, &error);
    QCOMPARE(ok, !driver.isEmpty());
    QCOMPARE(error.isEmpty(), ok);
    if (!ok)
        return;
    QCOMPARE(target.driver, driver);
    QTEST(target.databaseName, "databaseName");
    if (driver == QLatin1String("QODBC"))
        QCOMPARE(target.connectOptions,
                 QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY")
                         .arg(loginTimeout));
}

void TestHostDatabase::open_failsCleanly_data()
{
    QTest::addColumn<QByteArray>("fileContent"); // empty: no file at all
    QTest::newRow("missing file is no new database") << QByteArray();
    QTest::newRow("text file is no database") << QByteArray("lindavex").repeated(200);
}

void TestHostDatabase::open_failsCleanly()
{
    QFETCH(QByteArray, fileContent);
    QTemporaryDir dir;
    const QString path = dir.filePath("host.sqlite");
    QVERIFY(fileContent.isEmpty() || HostFixture::writeFile(path, fileContent));
    HostDatabase database;
    QVERIFY(!database.open("Provider=SQLite;Data Source=" + path) && !database.isOpen()
            && !database.errorString().isEmpty() && QFile::exists(path) == !fileContent.isEmpty());
}

void TestHostDatabase::sqlServerNeverAnswers_failsAtLoginTimeout()
{
    QVERIFY2(OdbcDrivers::installed().contains("FreeTDS"),
             "the FreeTDS ODBC driver (package tdsodbc) is missing");
    // A loopback port of our own that takes connections and never answers.
#ifdef Q_OS_WIN
    WSADATA winsock;
    QCOMPARE(WSAStartup(MAKEWORD(2, 2), &winsock), 0);
#endif
    const auto fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    QCOMPARE(::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length), 0);
    QCOMPARE(::listen(fd, 16), 0);

    HostDatabase database;
    QElapsedTimer timer;
    timer.start();
    const bool opened = database.open(
            QStringLiteral("Provider=SQLOLEDB.1;Initial Catalog=Forst;Data Source=127.0.0.1,%1;"
                           "User ID=forst;Password=x;Connect Timeout=2")
                    .arg(ntohs(address.sin_port)));
    const qint64 elapsed = timer.elapsed();
    closeSocket(fd);
    QVERIFY(!opened && !database.isOpen());
    QVERIFY2(database.errorString().startsWith("Keine Verbindung zur Datenbank: ")
                     && database.errorString().contains("FreeTDS"),
             qPrintable(database.errorString()));
    QVERIFY2(elapsed >= 1800 && elapsed <= 8000, qPrintable(QString::number(elapsed)));
}

void TestHostDatabase::hostLists_data()
{
    QTest::addColumn<QString>("list"); // null: the open lists
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("open lists: unlocked, trimmed, sorted as stored")
            << QString() << QStringList { "4799", "4711", "4712" };
    QTest::newRow("lots sorted, distinct, trimmed") << "4711" << QStringList { "1", "2", "A" };
    QTest::newRow("lots of a name with blanks around")
            << "  4711 " << QStringList { "1", "2", "A" };
    QTest::newRow("lots stored with blanks before, sorted as shown")
            << "4799" << QStringList { "1", "A" };
}

void TestHostDatabase::hostLists()
{
    QFETCH(QString, list);
    QStringList actual { "stale" };
    HostLists lists(m_database);
    QVERIFY(list.isNull() ? lists.openLists(&actual) : lists.lotsOfList(list, &actual));
    QTEST(actual, "expected");
}

void TestHostDatabase::sqlite_readsBlobAsTextBesideASecondConnectionAndRefusesWrites()
{
    HostDatabase beside;
    QVERIFY(!beside.openBeside(HostDatabase()));
    QVERIFY2(beside.openBeside(m_database), qPrintable(beside.errorString()));
    for (const HostDatabase *database : { &m_database, &beside }) {
        QVERIFY(database->exec("DELETE FROM LISTENKOPF").failed()
                && database->exec("CREATE TABLE X (A)").failed());
    }
    // A statement of each connection under way at the same time.
    HostQuery query = m_database.exec("SELECT GKL FROM LOGS WHERE LISTE = ?", { "Werte" });
    HostQuery other = beside.exec("SELECT GKL FROM LOGS WHERE LISTE = ?", { "Werte" });
    QVERIFY(query.next() && other.next());
    QCOMPARE(query.value(0), HostValue::text("Kä"));
    QCOMPARE(other.value(0), HostValue::text("Kä"));
}

// The value that a column of sqlType reads from the bytes that the driver puts into the
// column's buffer for the number it would write as text.
HostValue fromDriver(SQLSMALLINT sqlType, const QByteArray &text)
{
    const OdbcColumn column = OdbcColumn::describe(sqlType, 15, false);
    const double binary = text.toDouble();
    const float single = text.toFloat();
    const QByteArray bytes = column.cType() == SQL_C_DOUBLE
            ? QByteArray(reinterpret_cast<const char *>(&binary), sizeof binary)
            : column.cType() == SQL_C_FLOAT
            ? QByteArray(reinterpret_cast<const char *>(&single), sizeof single)
            : text;
    return column.convert(bytes.constData(), bytes.size());
}

void TestHostDatabase::value_data()
{
    QTest::addColumn<HostValue>("value");
    QTest::addColumn<QStringList>("germanAndDecimal");
    const auto row = [](const char *name, const HostValue &value, const char *german,
                        const char *decimal) {
        QTest::newRow(name) << value << QStringList { german, decimal };
    };
    row("whole double", HostValue::number(4.0), "4", "4");
    row("double shortest, no grouping", HostValue::number(1234567.7), "1234567,7", "1234567.7");
    row("exact decimal text", HostValue::number(QString("0012.340")), "12,34", "12.34");
    row("negative zero", HostValue::number(QString("-0.00")), "0", "0");
    row("exponent text", HostValue::number(QString("1.5E+2")), "150", "150");
    row("text stays text", HostValue::text("12.5"), "12.5", "12.5");
    row("date", HostValue::date(QDate(2024, 3, 15)), "15.03.2024", "");
    row("date and time", HostValue::date(QDate(2024, 3, 15), QTime(7, 5, 9)), "15.03.2024 07:05:09",
        "");
    // SQL Server's driver writes a float with 17 significant digits; bound as a double the
    // column reads as SQLite's REAL does, so that 4.05 rounds to 4,1 and not to 4,0.
    row("odbc float 4.05", fromDriver(SQL_FLOAT, "4.0499999999999998"), "4,05", "4.05");
    row("odbc float 12.35", fromDriver(SQL_DOUBLE, "12.349999999999999"), "12,35", "12.35");
    row("odbc real 10.7, single precision", fromDriver(SQL_REAL, "10.69999981"), "10,7", "10.7");
    // An exact decimal keeps every digit the server sends.
    row("odbc decimal keeps its digits", fromDriver(SQL_DECIMAL, "4.0499999999999998"),
        "4,0499999999999998", "4.0499999999999998");
    row("odbc numeric with the locale's comma", fromDriver(SQL_NUMERIC, "5,50"), "5,5", "5.5");
}

void TestHostDatabase::value()
{
    QFETCH(HostValue, value);
    QTEST((QStringList { value.toText(QLocale(QLocale::German, QLocale::Germany)),
                         value.decimalText() }),
          "germanAndDecimal");
}

QTEST_GUILESS_MAIN(TestHostDatabase)
#include "tst_hostdatabase.moc"
