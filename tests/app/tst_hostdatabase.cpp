#include "HostFixture.h"

#include "app/HostDatabase.h"
#include "app/HostLists.h"
#include "app/HostValue.h"
#include "app/OdbcDrivers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class TestHostDatabase : public QObject
{
    Q_OBJECT

private slots:
    void open_failsCleanly_data();
    void open_failsCleanly();
    void sqlServerClosedPort_failsFastWithClearMessage();
    void openLists_offersUnlockedTrimmedSortedAndRefusesWrites();
    void lotsOfList_data();
    void lotsOfList();
    void valueText_data();
    void valueText();
    void valueFromSqlite_keepsKinds();
};

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
    const QString path = dir.filePath(QStringLiteral("host.sqlite"));
    QFile file(path);
    QVERIFY(fileContent.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(fileContent)));
    file.close();
    HostDatabase database;
    QVERIFY(!database.open(QStringLiteral("Provider=SQLite;Data Source=") + path));
    QVERIFY(!database.errorString().isEmpty());
    QVERIFY(!database.isOpen());
    QCOMPARE(QFile::exists(path), !fileContent.isEmpty());
}

void TestHostDatabase::sqlServerClosedPort_failsFastWithClearMessage()
{
    QVERIFY2(OdbcDrivers::installed().contains(QStringLiteral("FreeTDS")),
             "the FreeTDS ODBC driver (package tdsodbc) is missing");
    // A loopback port of our own, closed again at once.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    QCOMPARE(::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length), 0);
    ::close(fd);

    HostDatabase database;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!database.open(QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;"
                                          "Initial Catalog=Forst;Data Source=127.0.0.1,%1")
                                   .arg(ntohs(address.sin_port))));
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!database.isOpen());
    QVERIFY2(
            database.errorString().startsWith(QStringLiteral("Keine Verbindung zur Datenbank: ")) &&
                    database.errorString().contains(QStringLiteral("FreeTDS")),
            qPrintable(database.errorString()));
}

void TestHostDatabase::openLists_offersUnlockedTrimmedSortedAndRefusesWrites()
{
    HostFixture host;
    QVERIFY(host.exec({"INSERT INTO LISTENKOPF (LISTE, GESPERRT) VALUES ('4712', 0), "
                       "('4711  ', NULL), ('gesperrt', 1), (NULL, 0), ('O''Hara', 0)"}));
    HostDatabase database;
    QVERIFY2(database.open(host.connectionString()), qPrintable(database.errorString()));
    QVERIFY(database.exec(QStringLiteral("DELETE FROM LISTENKOPF")).failed());
    QVERIFY(database.exec(QStringLiteral("CREATE TABLE X (A)")).failed());
    QStringList lists {"stale"};
    QVERIFY(HostLists(database).openLists(&lists));
    QCOMPARE(lists, (QStringList {"4711", "4712", "O'Hara"}));
}

void TestHostDatabase::lotsOfList_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("lots");
    QTest::newRow("sorted, distinct, trimmed") << "4711" << QStringList {"1", "2", "A"};
    QTest::newRow("null, empty and blank are one empty entry, first")
            << "4712" << QStringList {"", "B"};
    QTest::newRow("name with blanks around") << "  4711 " << QStringList {"1", "2", "A"};
    QTest::newRow("quote in name") << "O'Hara" << QStringList {"Q"};
    QTest::newRow("injection is a name") << "x' OR '1'='1" << QStringList();
    QTest::newRow("empty name") << "" << QStringList();
}

void TestHostDatabase::lotsOfList()
{
    HostFixture host;
    QVERIFY(host.exec({"INSERT INTO LOGS (ID_LOG, LISTE, LOS) VALUES (1, '4711', '2'), "
                       "(2, '4711 ', '1 '), (3, '4711', 'A'), (4, '4711', '2'), "
                       "(5, '4712', 'B'), (6, '4712', ''), (7, '4712', NULL), "
                       "(8, 'O''Hara', 'Q'), (9, '4713', 'Z'), (10, '4712', '  ')"}));
    HostDatabase database;
    QVERIFY(database.open(host.connectionString()));
    QFETCH(QString, list);
    QStringList lots {"stale"};
    QVERIFY(HostLists(database).lotsOfList(list, &lots));
    QTEST(lots, "lots");
}

void TestHostDatabase::valueText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("declaredType");
    QTest::addColumn<QStringList>("germanAndDecimal");
    const int dbl = QMetaType::Double;
    QTest::newRow("null") << QVariant(QMetaType(QMetaType::Int)) << dbl << QStringList {"", ""};
    QTest::newRow("whole double") << QVariant(4.0) << dbl << QStringList {"4", "4"};
    QTest::newRow("double shortest, no grouping")
            << QVariant(1234567.7) << dbl << QStringList {"1234567,7", "1234567.7"};
    QTest::newRow("exact decimal text")
            << QVariant(QString("0012.340")) << dbl << QStringList {"12,34", "12.34"};
    QTest::newRow("negative zero") << QVariant(QString("-0.00")) << dbl << QStringList {"0", "0"};
    QTest::newRow("exponent text")
            << QVariant(QString("1.5E+2")) << dbl << QStringList {"150", "150"};
    QTest::newRow("decimal comma of the driver")
            << QVariant(QString("5,50")) << dbl << QStringList {"5,5", "5.5"};
    QTest::newRow("text stays text")
            << QVariant(QString("12.5")) << int(QMetaType::QString) << QStringList {"12.5", "12.5"};
    QTest::newRow("date") << QVariant(QDate(2024, 3, 15)) << int(QMetaType::QDate)
                          << QStringList {"15.03.2024", ""};
}

void TestHostDatabase::valueText()
{
    QFETCH(QVariant, value);
    QFETCH(int, declaredType);
    const HostValue hostValue = HostValue::fromVariant(value, declaredType);
    QTEST((QStringList {hostValue.toText(QLocale(QLocale::German, QLocale::Germany)),
                        hostValue.decimalText()}),
          "germanAndDecimal");
}

void TestHostDatabase::valueFromSqlite_keepsKinds()
{
    HostFixture host;
    QVERIFY(host.exec({"INSERT INTO LOGS (ID_LOG, LISTE, LAENGE, BLNR, LISTDATUM, HA, GKL) "
                       "VALUES (1, '4711', 12.25, 17, '2024-03-15', 'fi', X'4BC3A4')"}));
    HostDatabase database;
    QVERIFY(database.open(host.connectionString()));
    HostQuery query = database.exec(QStringLiteral("SELECT laenge, BLNR, ListDatum, HA, KLST, GKL "
                                                   "FROM LOGS WHERE LISTE = ?"),
                                    {QStringLiteral("4711")});
    QCOMPARE(query.columnCount(), 6);
    QVERIFY(query.next());
    QCOMPARE(query.indexOf(QStringLiteral("LAENGE")), 0);
    QCOMPARE(query.indexOf(QStringLiteral("listdatum")), 2);
    QCOMPARE(query.indexOf(QStringLiteral("WO1")), -1);
    QCOMPARE(query.value(0), HostValue::number(QStringLiteral("12.25")));
    QCOMPARE(query.value(1), HostValue::number(qlonglong(17)));
    QCOMPARE(query.value(2).toDate(), QDate(2024, 3, 15));
    QCOMPARE(query.value(3), HostValue::text(QStringLiteral("fi")));
    QVERIFY(query.value(4).isNull());
    QCOMPARE(query.value(5), HostValue::text(QStringLiteral("Kä"))); // a BLOB as UTF-8 text
    QVERIFY(!query.next());
    QVERIFY(!query.failed());
}

QTEST_GUILESS_MAIN(TestHostDatabase)
#include "tst_hostdatabase.moc"
