#include "host/ConnectionString.h"

#include <QTest>

class TestConnectionString : public QObject
{
    Q_OBJECT

private slots:
    void map_data();
    void map();
};

void TestConnectionString::map_data()
{
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("driver"); // empty: refused
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<int>("loginTimeout"); // ODBC only

    const QStringList tdsOnly { "PostgreSQL Unicode", "FreeTDS" };
    QTest::newRow("host form, integrated, timeout 0 would wait for ever")
            << ConnectionString::fromLvxIni("SRV01", "Forst") + ";Connection Timeout=0" << tdsOnly
            << "QODBC"
            << "Driver={FreeTDS};Server=SRV01;Database=Forst;Trusted_Connection=yes;"
               "TDS_Version=7.4;"
            << 15;
    QTest::newRow("best driver first")
            << "Provider=SQLOLEDB.1;Data Source=S;Initial Catalog=D"
            << QStringList { "FreeTDS", "ODBC Driver 17 for SQL Server", "SQL Server" } << "QODBC"
            << "Driver={ODBC Driver 17 for SQL Server};Server=S;Database=D;"
               "Trusted_Connection=yes;"
            << 15;
    QTest::newRow("user, password braced, keys in any case, timeout")
            << "provider=sqloledb;DATA SOURCE=tcp:S,1433;initial catalog=D;User ID=forst;"
               "Password=\"a;b}c\";Connect Timeout = 3"
            << tdsOnly << "QODBC"
            << "Driver={FreeTDS};Server=tcp:S,1433;Database=D;UID=forst;PWD={a;b}}c};"
               "TDS_Version=7.4;"
            << 3;
    QTest::newRow("sqlite path with semicolon quoted")
            << "Provider=SQLite;Data Source='C:\\a;b\\host.db'" << tdsOnly << "SQLITE"
            << "C:\\a;b\\host.db" << 0;
    // ODBC reads braces only: a key inside a braced value is none, a quote is a character.
    QTest::newRow("odbc, provider inside a braced password")
            << "Driver={PostgreSQL Unicode};PWD={x;Provider=y};UID='u" << tdsOnly << "QODBC"
            << "Driver={PostgreSQL Unicode};PWD={x;Provider=y};UID='u" << 15;
    QTest::newRow("odbc, unclosed brace")
            << "DSN=forst;PWD={x" << tdsOnly << QString() << QString() << 0;
    QTest::newRow("no sql server driver") << ConnectionString::fromLvxIni("S", "D") << QStringList()
                                          << QString() << QString() << 0;
    QTest::newRow("unknown provider") << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb"
                                      << tdsOnly << QString() << QString() << 0;
    QTest::newRow("unclosed quote")
            << "Provider=SQLite;Data Source=\"x" << tdsOnly << QString() << QString() << 0;
}

void TestConnectionString::map()
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

QTEST_GUILESS_MAIN(TestConnectionString)
#include "tst_connectionstring.moc"
