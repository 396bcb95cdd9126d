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
    void sqlServerUnreachable_failsInBoundedTime_data();
    void sqlServerUnreachable_failsInBoundedTime();
    void openLists_offersUnlockedTrimmedSortedAndRefusesWrites();
    void lotsOfList_data();
    void lotsOfList();
    void valueText_data();
    void valueText();
    void valueFromSqlite_keepsKinds();
    void odbcColumn_readsNumbersAsStored_data();
    void odbcColumn_readsNumbersAsStored();

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
              "(3, '4711', 'A'), (4, '4711', '2'), (5, '4712', 'B'), (6, '4712', ''), "
              "(7, '4712', NULL), (9, '4713', 'Z'), (10, '4712', '  ')",
              // Blanks before a value, which the servers do not compare away.
              "INSERT INTO LISTENKOPF (LISTE) VALUES (' 4799')",
              "INSERT INTO LOGS (ID_LOG, LISTE, LOS) VALUES (12, ' 4799', ' A'), "
              "(13, ' 4799', 'A'), (14, ' 4799', '1')",
              "INSERT INTO LOGS (ID_LOG, LISTE, LAENGE, BLNR, LISTDATUM, HA, GKL) "
              "VALUES (11, 'Werte', 12.25, 17, '2024-03-15', 'fi', X'4BC3A4')" }));
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
    row("driver 18, encryption asked, certificate trusted",
        ole + ";Use Encryption for Data=True;Trust Server Certificate=True", "QODBC",
        driver18 + ";Trusted_Connection=yes;Encrypt=yes;TrustServerCertificate=yes;",
        { "ODBC Driver 18 for SQL Server", "FreeTDS" });
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
            && !database.errorString().isEmpty());
    QCOMPARE(QFile::exists(path), !fileContent.isEmpty());
}

void TestHostDatabase::sqlServerUnreachable_failsInBoundedTime_data()
{
    QTest::addColumn<bool>("listening"); // the port takes connections but never answers
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("minSeconds");
    QTest::addColumn<int>("maxSeconds");
    QTest::newRow("port closed") << false << "Integrated Security=SSPI" << 0 << 5;
    QTest::newRow("server never answers, login timeout")
            << true << "User ID=forst;Password=x;Connect Timeout=2" << 2 << 8;
}

void TestHostDatabase::sqlServerUnreachable_failsInBoundedTime()
{
    QFETCH(bool, listening);
    QFETCH(QString, options);
    QFETCH(int, minSeconds);
    QFETCH(int, maxSeconds);
    QVERIFY2(OdbcDrivers::installed().contains("FreeTDS"),
             "the FreeTDS ODBC driver (package tdsodbc) is missing");
    // A loopback port of our own: closed again at once, or left listening without accepting.
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
    QCOMPARE(listening ? ::listen(fd, 16) : closeSocket(fd), 0);

    HostDatabase database;
    QElapsedTimer timer;
    timer.start();
    const bool opened = database.open(
            QStringLiteral("Provider=SQLOLEDB.1;Initial Catalog=Forst;Data Source=127.0.0.1,%1;")
                    .arg(ntohs(address.sin_port))
            + options);
    const qint64 elapsed = timer.elapsed();
    if (listening)
        closeSocket(fd);
    QVERIFY(!opened && !database.isOpen());
    QVERIFY2(database.errorString().startsWith("Keine Verbindung zur Datenbank: ")
                     && database.errorString().contains("FreeTDS"),
             qPrintable(database.errorString()));
    QVERIFY2(elapsed >= minSeconds * 1000 - 200 && elapsed <= maxSeconds * 1000,
             qPrintable(QString::number(elapsed)));
}

void TestHostDatabase::openLists_offersUnlockedTrimmedSortedAndRefusesWrites()
{
    QVERIFY(m_database.exec("DELETE FROM LISTENKOPF").failed()
            && m_database.exec("CREATE TABLE X (A)").failed());
    QStringList lists { "stale" };
    QVERIFY(HostLists(m_database).openLists(&lists));
    QCOMPARE(lists, (QStringList { "4799", "4711", "4712" }));
}

void TestHostDatabase::lotsOfList_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("lots");
    QTest::newRow("sorted, distinct, trimmed") << "4711" << QStringList { "1", "2", "A" };
    QTest::newRow("null, empty and blank are one empty entry, first")
            << "4712" << QStringList { "", "B" };
    QTest::newRow("name with blanks around") << "  4711 " << QStringList { "1", "2", "A" };
    QTest::newRow("stored with blanks before, sorted as shown")
            << "4799" << QStringList { "1", "A" };
    QTest::newRow("empty name") << "" << QStringList();
}

void TestHostDatabase::lotsOfList()
{
    QFETCH(QString, list);
    QStringList lots { "stale" };
    QVERIFY(HostLists(m_database).lotsOfList(list, &lots));
    QTEST(lots, "lots");
}

void TestHostDatabase::valueText_data()
{
    QTest::addColumn<HostValue>("value");
    QTest::addColumn<QStringList>("germanAndDecimal");
    const auto row = [](const char *name, const HostValue &value, const char *german,
                        const char *decimal) {
        QTest::newRow(name) << value << QStringList { german, decimal };
    };
    row("null", HostValue(), "", "");
    row("whole double", HostValue::number(4.0), "4", "4");
    row("double shortest, no grouping", HostValue::number(1234567.7), "1234567,7", "1234567.7");
    row("exact decimal text", HostValue::number(QString("0012.340")), "12,34", "12.34");
    row("negative zero", HostValue::number(QString("-0.00")), "0", "0");
    row("exponent text", HostValue::number(QString("1.5E+2")), "150", "150");
    row("text stays text", HostValue::text("12.5"), "12.5", "12.5");
    row("date", HostValue::date(QDate(2024, 3, 15)), "15.03.2024", "");
    row("date and time", HostValue::date(QDate(2024, 3, 15), QTime(7, 5, 9)), "15.03.2024 07:05:09",
        "");
}

void TestHostDatabase::valueText()
{
    QFETCH(HostValue, value);
    QTEST((QStringList { value.toText(QLocale(QLocale::German, QLocale::Germany)),
                         value.decimalText() }),
          "germanAndDecimal");
}

void TestHostDatabase::valueFromSqlite_keepsKinds()
{
    HostQuery query = m_database.exec(
            "SELECT laenge, BLNR, ListDatum, HA, KLST, GKL FROM LOGS WHERE LISTE = ?", { "Werte" });
    QCOMPARE(query.columnCount(), 6);
    QVERIFY(query.next());
    QCOMPARE(query.indexOf("LAENGE"), 0);
    QCOMPARE(query.indexOf("listdatum"), 2);
    QCOMPARE(query.indexOf("WO1"), -1);
    QCOMPARE(query.value(0), HostValue::number("12.25"));
    QCOMPARE(query.value(1), HostValue::number(qlonglong(17)));
    QCOMPARE(query.value(2).toDate(), QDate(2024, 3, 15));
    QCOMPARE(query.value(3), HostValue::text("fi"));
    QVERIFY(query.value(4).isNull());
    QCOMPARE(query.value(5), HostValue::text("Kä")); // a BLOB as UTF-8 text
    QVERIFY(!query.next() && !query.failed());
}

void TestHostDatabase::odbcColumn_readsNumbersAsStored_data()
{
    QTest::addColumn<int>("sqlType");
    QTest::addColumn<QByteArray>("driverText"); // what the driver writes as text
    QTest::addColumn<QStringList>("decimalAndGerman");
    const auto row = [](const char *name, int sqlType, const char *driverText, const char *decimal,
                        const char *german) {
        QTest::newRow(name) << sqlType << QByteArray(driverText) << QStringList { decimal, german };
    };
    // SQL Server's driver writes a float with 17 significant digits; bound as a double the
    // column reads as SQLite's REAL does, so that 4.05 rounds to 4,1 and not to 4,0.
    row("float 4.05", SQL_FLOAT, "4.0499999999999998", "4.05", "4,05");
    row("float 12.35", SQL_DOUBLE, "12.349999999999999", "12.35", "12,35");
    row("real 10.7, single precision", SQL_REAL, "10.69999981", "10.7", "10,7");
    // An exact decimal keeps every digit the server sends.
    row("decimal keeps its digits", SQL_DECIMAL, "4.0499999999999998", "4.0499999999999998",
        "4,0499999999999998");
    row("numeric with the locale's comma", SQL_NUMERIC, "5,50", "5.5", "5,5");
}

void TestHostDatabase::odbcColumn_readsNumbersAsStored()
{
    QFETCH(int, sqlType);
    QFETCH(QByteArray, driverText);
    const OdbcColumn column = OdbcColumn::describe(SQLSMALLINT(sqlType), 15, false);
    // The bytes the driver puts into the column's buffer for its C type.
    QByteArray bytes = driverText;
    if (column.cType() == SQL_C_DOUBLE) {
        const double value = driverText.toDouble();
        bytes = QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
    } else if (column.cType() == SQL_C_FLOAT) {
        const float value = driverText.toFloat();
        bytes = QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
    }
    QCOMPARE(bytes.size() <= column.width(), true);
    const HostValue value = column.convert(bytes.constData(), bytes.size());
    QTEST((QStringList { value.decimalText(),
                         value.toText(QLocale(QLocale::German, QLocale::Germany)) }),
          "decimalAndGerman");
}

QTEST_GUILESS_MAIN(TestHostDatabase)
#include "tst_hostdatabase.moc"
