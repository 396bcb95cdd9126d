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
    void caption_plainMinor();
    void commandLine_firstPieceTrimmedOfBlanks();
    void loadLvxIni_data();
    void loadLvxIni();
    void missingLvxIni_isAnErrorOnlyWithoutCommandLine();
    void mapConnectionString_data();
    void mapConnectionString();

private:
    bool writeLvxIni(const QByteArray &content)
    {
        QFile file(m_dir.filePath(QStringLiteral("lindavex.Ini")));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) >= 0;
    }

    QTemporaryDir m_dir;
};

void TestStartup::caption_plainMinor()
{
    QCOMPARE(Startup::caption(1, 5), QStringLiteral("Brettholm-32 Version 1.5"));
}

// Arguments joined by one blank, the text before the first "|", blanks but not tabs trimmed.
void TestStartup::commandLine_firstPieceTrimmedOfBlanks()
{
    const QStringList arguments {"prog", "\tProvider=SQLOLEDB.1;Initial", "Catalog=F\t", "|x|y"};
    QCOMPARE(Startup::connectionStringFromCommandLine(Startup::commandLineText(arguments)),
             QStringLiteral("\tProvider=SQLOLEDB.1;Initial Catalog=F\t"));
}

void TestStartup::loadLvxIni_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("key case and blanks, either side")
            << QByteArray("[Datenbank]\r\n sqlserver = SRV01 \r\n") << " SQLServer "
            << "SRV01";
    QTest::newRow("missing key") << QByteArray("SQLServer=S\r\n") << "DatabaseName" << QString();
    QTest::newRow("lines without key skipped, first of two wins")
            << QByteArray("=SQLServer\nSQLServer\nSQLServer=A\nSQLServer=B\n") << "SQLServer"
            << "A";
    QTest::newRow("Windows-1252, LF only, no final line end")
            << QByteArray("x=1\nDatabaseName=F\xf6rst") << "DatabaseName"
            << QString::fromUtf8("Först");
}

void TestStartup::loadLvxIni()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QVERIFY(writeLvxIni(content));
    QString value = QStringLiteral("stale");
    QVERIFY(LvxIni(m_dir.filePath(QStringLiteral("lindavex.Ini"))).LoadLvxIni(key, &value));
    QTEST(value, "value");
}

void TestStartup::missingLvxIni_isAnErrorOnlyWithoutCommandLine()
{
    QFile::remove(m_dir.filePath(QStringLiteral("lindavex.Ini")));
    QString connection;
    QString error;
    QVERIFY(!Startup::connectionString(QStringLiteral("  |x"), m_dir.path(), &connection, &error));
    QVERIFY(error.contains(QStringLiteral("lindavex.Ini")));
    QVERIFY(Startup::connectionString("DSN=forst |x", m_dir.path(), &connection, &error));
    QCOMPARE(connection, QStringLiteral("DSN=forst"));

    QVERIFY(writeLvxIni("[Datenbank]\r\n sqlserver = SRV01 \r\n"));
    QVERIFY(Startup::connectionString(QString(), m_dir.path(), &connection, &error));
    QCOMPARE(connection,
             QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security "
                            "Info=False;Initial Catalog=;Data Source=SRV01"));
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
    QTest::newRow("dsn unchanged") << "DSN=forst;UID=a" << QStringList() << "QODBC"
                                   << "DSN=forst;UID=a" << 15;
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
