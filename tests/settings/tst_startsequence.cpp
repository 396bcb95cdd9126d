#include "HostFixture.h"

#include "settings/StartSequence.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestStartSequence : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_firstPieceTrimmedOfBlanks();
    void lindavexIni_readWhenCommandLineIsBlank();

private:
    QTemporaryDir m_dir;
};

// Arguments joined by one blank, the text before the first "|", blanks but not tabs trimmed.
void TestStartSequence::commandLine_firstPieceTrimmedOfBlanks()
{
    const QStringList arguments { "prog", "\tProvider=SQLOLEDB.1;Initial", "Catalog=F\t", "|x|y" };
    QCOMPARE(StartSequence::connectionStringFromCommandLine(
                     StartSequence::commandLineText(arguments)),
             "\tProvider=SQLOLEDB.1;Initial Catalog=F\t");
}

void TestStartSequence::lindavexIni_readWhenCommandLineIsBlank()
{
    const QString path = QDir::toNativeSeparators(m_dir.filePath("lindavex.Ini"));
    QString connection;
    StartSequence start(m_dir.path());
    QVERIFY(!start.resolveConnection("  |x", &connection));
    QVERIFY2(start.errorString().contains(path), qPrintable(start.errorString()));

    // Keys in any case and with blanks around; lines without a key are skipped, the first of
    // two keys wins; Windows-1252, LF only, no line end after the last line.
    QVERIFY(HostFixture::writeFile(path,
                                   "[Datenbank]\n=SQLServer\nSQLServer\n sqlserver = SRV01 \n"
                                   "SQLServer=B\ndatabasename=F\xf6rst"));
    QVERIFY(start.resolveConnection(QString(), &connection));
    QCOMPARE(connection,
             QString::fromUtf8("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security "
                               "Info=False;Initial Catalog=Först;Data Source=SRV01"));
}

QTEST_GUILESS_MAIN(TestStartSequence)
#include "tst_startsequence.moc"
