#include "app/ConnectionString.h"
#include "app/LvxIni.h"
#include "app/Startup.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void caption_data();
    void caption();
    void commandLine_data();
    void commandLine();
    void loadLvxIni_data();
    void loadLvxIni();
    void missingLvxIni_isAnErrorOnlyWithoutCommandLine();
    void mapConnectionString_data();
    void mapConnectionString();

private:
    QTemporaryDir m_dir;
};

void TestStartup::caption_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("caption");
    QTest::newRow("minor 5, not 05") << 1 << 5 << "Brettholm-32 Version 1.5";
    QTest::newRow("minor 12") << 1 << 12 << "Brettholm-32 Version 1.12";
    QTest::newRow("minor 0") << 2 << 0 << "Brettholm-32 Version 2.0";
}

void TestStartup::caption()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QTEST(Startup::caption(major, minor), "caption");
}

void TestStartup::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("connectionString");
    QTest::newRow("none") << QStringList{ "prog" } << "";
    QTest::newRow("blanks only") << QStringList{ "prog", " ", "  " } << "";
    QTest::newRow("starts with bar") << QStringList{ "prog", "|Provider=SQLite" } << "";
    QTest::newRow("blank before bar")
            << QStringList{ "prog", "Provider=X;Data Source=S", "|", "more" }
            << "Provider=X;Data Source=S";
    QTest::newRow("several pieces") << QStringList{ "prog", "a|b|c" } << "a";
    QTest::newRow("arguments joined by one blank")
            << QStringList{ "prog", "Provider=SQLOLEDB.1;Initial", "Catalog=Forst" }
            << "Provider=SQLOLEDB.1;Initial Catalog=Forst";
    QTest::newRow("tab is no blank") << QStringList{ "prog", "\tx\t|y" } << "\tx\t";
}

void TestStartup::commandLine()
{
    QFETCH(QStringList, arguments);
    QTEST(Startup::connectionStringFromCommandLine(Startup::commandLineText(arguments)),
          "connectionString");
}

void TestStartup::loadLvxIni_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    const QByteArray typical = "[Datenbank]\r\n sqlserver = SRV01 \r\nDatabaseName=Forst\r\n";
    QTest::newRow("key case and blanks") << typical << "SQLServer" << "SRV01";
    QTest::newRow("requested key normalised") << typical << " databasename " << "Forst";
    QTest::newRow("section is no key") << typical << "[Datenbank]" << "";
    QTest::newRow("missing key") << typical << "Port" << "";
    QTest::newRow("equals first, then no equals, then key")
            << QByteArray("=SQLServer\nSQLServer\nSQLServer=B\n") << "SQLServer" << "B";
    QTest::newRow("first of two wins") << QByteArray("SQLServer=A\nSQLServer=B\n") << "SQLServer"
                                       << "A";
    QTest::newRow("value keeps equals") << QByteArray("DatabaseName=a=b\n") << "DatabaseName"
                                        << "a=b";
    QTest::newRow("LF only, no final line end") << QByteArray("x=1\nSQLServer=S") << "SQLServer"
                                                << "S";
    QTest::newRow("tab kept") << QByteArray("SQLServer=\tS\t\r\n") << "SQLServer" << "\tS\t";
    QTest::newRow("Windows-1252") << QByteArray("DatabaseName=F\xf6rst\r\n") << "DatabaseName"
                                  << QString::fromUtf8("Först");
}

void TestStartup::loadLvxIni()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    const QString path = m_dir.filePath(QStringLiteral("lindavex.Ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    LvxIni ini(path);
    QString value = QStringLiteral("stale");
    QVERIFY(ini.LoadLvxIni(key, &value));
    QTEST(value, "value");
}

void TestStartup::missingLvxIni_isAnErrorOnlyWithoutCommandLine()
{
    QTemporaryDir empty;
    QString connection;
    QString error;
    QVERIFY(!Startup::connectionString(QStringLiteral("  |x"), empty.path(), &connection, &error));
    QVERIFY(error.contains(QStringLiteral("lindavex.Ini")));

    QVERIFY(Startup::connectionString(QStringLiteral("DSN=forst |x"), empty.path(), &connection,
                                      &error));
    QCOMPARE(connection, QStringLiteral("DSN=forst"));

    QFile file(empty.filePath(QStringLiteral("lindavex.Ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Datenbank]\r\n sqlserver = SRV01 \r\n");
    file.close();
    QVERIFY(Startup::connectionString(QString(), empty.path(), &connection, &error));
    QCOMPARE(connection,
             QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security "
                            "Info=False;Initial Catalog=;Data Source=SRV01"));
}

void TestStartup::mapConnectionString_data()
{
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<int>("loginTimeout"); // ODBC only

    const QStringList tdsOnly{ "PostgreSQL Unicode", "FreeTDS" };
    QTest::newRow("host form, integrated")
            << ConnectionString::fromLvxIni("SRV01", "Forst") << tdsOnly << "QODBC"
            << "Driver={FreeTDS};Server=SRV01;Database=Forst;Trusted_Connection=yes;"
               "TDS_Version=7.4;"
            << 15;
    QTest::newRow("best driver first")
            << "Provider=SQLOLEDB.1;Data Source=S;Initial Catalog=D"
            << QStringList{ "FreeTDS", "ODBC Driver 17 for SQL Server", "SQL Server" } << "QODBC"
            << "Driver={ODBC Driver 17 for SQL Server};Server=S;Database=D;"
               "Trusted_Connection=yes;"
            << 15;
    QTest::newRow("user, password braced, keys in any case")
            << "provider=sqloledb;DATA SOURCE=tcp:S,1433;initial catalog=D;User ID=forst;"
               "Password=\"a;b}c\""
            << tdsOnly << "QODBC"
            << "Driver={FreeTDS};Server=tcp:S,1433;Database=D;UID=forst;PWD={a;b}}c};"
               "TDS_Version=7.4;"
            << 15;
    QTest::newRow("connect timeout")
            << "Provider=SQLOLEDB.1;Data Source=S;Connect Timeout = 3" << tdsOnly << "QODBC"
            << "Driver={FreeTDS};Server=S;Database=;Trusted_Connection=yes;TDS_Version=7.4;" << 3;
    QTest::newRow("connect timeout 0 would wait for ever")
            << "Provider=SQLOLEDB.1;Data Source=S;Connection Timeout=0" << tdsOnly << "QODBC"
            << "Driver={FreeTDS};Server=S;Database=;Trusted_Connection=yes;TDS_Version=7.4;" << 15;
    QTest::newRow("sqlite") << "Provider=SQLite;Data Source=/data/host.sqlite" << tdsOnly
                            << "SQLITE" << "/data/host.sqlite" << 0;
    QTest::newRow("sqlite path with semicolon quoted")
            << "Provider=SQLite;Data Source='C:\\a;b\\host.db'" << tdsOnly << "SQLITE"
            << "C:\\a;b\\host.db" << 0;
    QTest::newRow("odbc unchanged") << "Driver={PostgreSQL Unicode};Server=x;Port=5" << tdsOnly
                                    << "QODBC" << "Driver={PostgreSQL Unicode};Server=x;Port=5"
                                    << 15;
    QTest::newRow("dsn unchanged") << "DSN=forst;UID=a" << QStringList() << "QODBC"
                                   << "DSN=forst;UID=a" << 15;
    QTest::newRow("no sql server driver") << ConnectionString::fromLvxIni("S", "D") << QStringList()
                                          << "" << "" << 0;
    QTest::newRow("unknown provider") << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb"
                                      << tdsOnly << "" << "" << 0;
    QTest::newRow("no form at all") << "Server=x;Database=y" << tdsOnly << "" << "" << 0;
    QTest::newRow("unclosed quote")
            << "Provider=SQLite;Data Source=\"x" << tdsOnly << "" << "" << 0;
    QTest::newRow("empty") << "  " << tdsOnly << "" << "" << 0;
}

void TestStartup::mapConnectionString()
{
    QFETCH(QString, connectionString);
    QFETCH(QStringList, installed);
    QFETCH(QString, driver);
    QFETCH(int, loginTimeout);
    ConnectionTarget target;
    QString error;
    const bool ok = ConnectionString::map(connectionString, installed, &target, &error);
    QCOMPARE(ok, !driver.isEmpty());
    if (!ok) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QCOMPARE(target.driver, driver);
    QTEST(target.databaseName, "databaseName");
    if (driver == QLatin1String("QODBC"))
        QCOMPARE(target.connectOptions,
                 QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY")
                         .arg(loginTimeout));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
