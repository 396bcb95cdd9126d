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

    const auto row = [](const char *name, const QString &connectionString,
                        const QString &driver = QString(), const QString &databaseName = QString(),
                        int loginTimeout = 0,
                        const QStringList &installed = { "PostgreSQL Unicode", "FreeTDS" }) {
        QTest::newRow(name) << connectionString << installed << driver << databaseName
                            << loginTimeout;
    };
    row("host form, integrated, timeout 0 would wait for ever",
        ConnectionString::fromLvxIni("SRV01", "Forst") + ";Connection Timeout=0", "QODBC",
        "Driver={FreeTDS};Server=SRV01;Database=Forst;Trusted_Connection=yes;TDS_Version=7.4;", 15);
    row("best driver first", "Provider=SQLOLEDB.1;Data Source=S;Initial Catalog=D", "QODBC",
        "Driver={ODBC Driver 17 for SQL Server};Server=S;Database=D;Trusted_Connection=yes;", 15,
        { "FreeTDS", "ODBC Driver 17 for SQL Server", "SQL Server" });
    row("user, password braced, keys in any case, timeout",
        "provider=sqloledb;DATA SOURCE=tcp:S,1433;initial catalog=D;User ID=forst;"
        "Password=\"a;b}c\";Connect Timeout = 3",
        "QODBC",
        "Driver={FreeTDS};Server=tcp:S,1433;Database=D;UID=forst;PWD={a;b}}c};TDS_Version=7.4;", 3);
    row("sqlite path with semicolon quoted", "Provider=SQLite;Data Source='C:\\a;b\\host.db'",
        "SQLITE", "C:\\a;b\\host.db");
    // ODBC reads braces only: a key inside a braced value is none, a quote is a character.
    row("odbc, provider inside a braced password",
        "Driver={PostgreSQL Unicode};PWD={x;Provider=y};UID='u", "QODBC",
        "Driver={PostgreSQL Unicode};PWD={x;Provider=y};UID='u", 15);
    row("odbc, unclosed brace", "DSN=forst;PWD={x");
    row("no sql server driver", ConnectionString::fromLvxIni("S", "D"), QString(), QString(), 0,
        QStringList());
    row("unknown provider", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb");
    row("unclosed quote", "Provider=SQLite;Data Source=\"x");
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
