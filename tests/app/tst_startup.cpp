#include "app/ConnectionString.h"
#include "app/Startup.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void caption_plainMinor();
    void commandLine_firstPieceTrimmedOfBlanks();
    void lindavexIni_readOnlyWithoutCommandLine();
    void mapConnectionString_data();
    void mapConnectionString();

private:
    QTemporaryDir m_dir;
};

void TestStartup::caption_plainMinor()
{
    QCOMPARE(Startup::caption(1, 5), "Brettholm-32 Version 1.5");
}

// Arguments joined by one blank, the text before the first "|", blanks but not tabs trimmed.
void TestStartup::commandLine_firstPieceTrimmedOfBlanks()
{
    const QStringList arguments {"prog", "\tProvider=SQLOLEDB.1;Initial", "Catalog=F\t", "|x|y"};
    QCOMPARE(Startup::connectionStringFromCommandLine(Startup::commandLineText(arguments)),
             "\tProvider=SQLOLEDB.1;Initial Catalog=F\t");
}

void TestStartup::lindavexIni_readOnlyWithoutCommandLine()
{
    const QString path = m_dir.filePath("lindavex.Ini");
    QString connection;
    QString error;
    QVERIFY(!Startup::connectionString("  |x", m_dir.path(), &connection, &error));
    QVERIFY2(error.contains(path), qPrintable(error));
    QVERIFY(Startup::connectionString("DSN=forst |x", m_dir.path(), &connection, &error));
    QCOMPARE(connection, "DSN=forst");

    // Keys in any case and with blanks around; lines without a key are skipped, the first of
    // two keys wins; Windows-1252, LF only, no line end after the last line.
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Datenbank]\n=SQLServer\nSQLServer\n sqlserver = SRV01 \nSQLServer=B\n"
               "databasename=F\xf6rst");
    file.close();
    QVERIFY(Startup::connectionString(QString(), m_dir.path(), &connection, &error));
    QCOMPARE(connection,
             QString::fromUtf8("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security "
                               "Info=False;Initial Catalog=Först;Data Source=SRV01"));
}

void TestStartup::mapConnectionString_data()
{
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("driver"); // empty: refused
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<int>("loginTimeout"); // ODBC only

    const QStringList tdsOnly {"PostgreSQL Unicode", "FreeTDS"};
    QTest::newRow("host form, integrated, timeout 0 would wait for ever")
            << ConnectionString::fromLvxIni("SRV01", "Forst") + ";Connection Timeout=0" << tdsOnly
            << "QODBC"
            << "Driver={FreeTDS};Server=SRV01;Database=Forst;Trusted_Connection=yes;"
               "TDS_Version=7.4;"
            << 15;
    QTest::newRow("best driver first")
            << "Provider=SQLOLEDB.1;Data Source=S;Initial Catalog=D"
            << QStringList {"FreeTDS", "ODBC Driver 17 for SQL Server", "SQL Server"} << "QODBC"
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
    QTest::newRow("no sql server driver") << ConnectionString::fromLvxIni("S", "D") << QStringList()
                                          << QString() << QString() << 0;
    QTest::newRow("unknown provider") << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb"
                                      << tdsOnly << QString() << QString() << 0;
    QTest::newRow("unclosed quote")
            << "Provider=SQLite;Data Source=\"x" << tdsOnly << QString() << QString() << 0;
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

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
