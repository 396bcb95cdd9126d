#include "HostFixture.h"

#include "settings/BrettIni.h"
#include "settings/ExportSettings.h"
#include "settings/StartSequence.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using Values = QMap<QString, QString>;

class TestBrettIni : public QObject
{
    Q_OBJECT

private slots:
    void load_data();
    void load();
    void save_data();
    void save();
    void connection();
};

void TestBrettIni::load_data()
{
    // The line rules are those of every settings file the program reads.
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<Values>("expected");    // the keys that differ from the defaults
    QTest::newRow("no file keeps the defaults") << QByteArray() << Values {};
    QTest::newRow("last of two wins, empty replaces a default")
            << QByteArray("FWJ=2023\r\nfwj = 2024\r\nEXPORTPATH=\r\n")
            << Values { { "FWJ", "2024" }, { "EXPORTPATH", "" } };
    // An editor's UTF-8, with or without byte-order mark, is no Windows-1252 text.
    const Values tolz { { "FORSTAMT", "Bad Tölz" } };
    QTest::newRow("UTF-8 with byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                              "FORSTAMT=Bad T\xC3\xB6lz\r\n")
                                                << tolz;
    QTest::newRow("UTF-8") << QByteArray("FWJ=2024\nFORSTAMT=Bad T\xC3\xB6lz\n")
                           << Values { { "FWJ", "2024" }, { "FORSTAMT", "Bad Tölz" } };
    QTest::newRow("Windows-1252") << QByteArray("FORSTAMT=Bad T\xF6lz\r\n") << tolz;
    QTest::newRow("unknown keys ignored")
            << QByteArray("[Brett]\r\nFORST AMT=x\r\n=FWJ=1\r\nOTHER=1\r\n") << Values {};
}

void TestBrettIni::load()
{
    QFETCH(QByteArray, content);
    QFETCH(Values, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Brett.Ini"));
    QVERIFY(content.isNull() || HostFixture::writeFile(path, content));

    ExportSettings settings;
    settings.InitGlobals(QStringLiteral("/opt/brett"));
    QVERIFY(BrettIni(path).LoadBrettIni(settings));
    for (int i = 0; i < ExportSettings::KeyCount; ++i) {
        const auto key = ExportSettings::Key(i);
        QCOMPARE(settings.value(key),
                 expected.value(ExportSettings::keyName(key), i == 0 ? "/opt/brett" : ""));
    }
}

void TestBrettIni::save_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("replaces the old file") << "replace";
    QTest::newRow("fails: directory missing") << "missing";
    // Windows-1252 would keep "?" for it; nothing may change silently.
    QTest::newRow("fails: a value Windows-1252 cannot hold") << "unwritable";
#ifdef BRETTHOLM_FILE_SIZE_LIMIT
    // The last buffer goes out inside the commit, where QSaveFile alone misses its failure.
    QTest::newRow("fails: disk full while writing") << "filesize";
#endif
}

void TestBrettIni::save()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString path = dir.filePath(how == "missing" ? "gone/Brett.Ini" : "Brett.Ini");
    const QByteArray old = "fwj = 2024\r\nOTHER=1\r\n";
    // A path that is a directory is the main window's test, with the message it shows.
    QVERIFY(how == "missing" || HostFixture::writeFile(path, old));
    ExportSettings settings;
    settings.InitGlobals(QStringLiteral("/opt/brett"));
    settings.setValue(ExportSettings::FORSTAMT, QString::fromUtf8("\tBad Tölz "));
    settings.setValue(ExportSettings::ZERTIFIZIERUNGSNRWB,
                      how == "unwritable" ? QString::fromUtf8("a=Łb") : QStringLiteral("a=b"));
    BrettIni ini(path);
    QVERIFY(HostFixture::limitFileSize(how == "filesize" ? 64 : 0));
    const bool saved = ini.SaveBrettIni(settings);
    HostFixture::limitFileSize(0);

    QCOMPARE(saved, how == "replace");
    // No temporary file is left beside the file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             how == "missing" ? QStringList() : QStringList { "Brett.Ini" });
    if (!saved) {
        QVERIFY(ini.errorString().contains(path));
        QCOMPARE(HostFixture::readFile(path), how == "missing" ? QByteArray() : old);
        if (how == "unwritable")
            QVERIFY2(ini.errorString().endsWith(
                             QString::fromUtf8(": ZERTIFIZIERUNGSNRWB=a=Łb enthält das Zeichen "
                                               "Ł, das die Datei nicht aufnehmen kann.")),
                     qPrintable(ini.errorString()));
        return;
    }
    // Values as held, in Windows-1252; nothing of the old file survives.
    QCOMPARE(HostFixture::readFile(path),
             QByteArray("EXPORTPATH=/opt/brett\r\nBUNDESLAND=\r\nLIEFNRBRETT=\r\nKAUVERTRNR=\r\n"
                        "EXTKAUFVERTRNR=\r\nFORSTAMT=\tBad T\xf6lz \r\nFORSTAMTNUMMER=\r\nFWJ=\r\n"
                        "REVIER=\r\nDISTRIKT=\r\nSTRASSEREVIER=\r\nPLZREVIER=\r\nORTREVIER=\r\n"
                        "NAMEREVIERFORSTER=\r\nTELREVIERFORSTER=\r\nABT=\r\nUABT=\r\n"
                        "STEUERNR=\r\nZERTIFIZIERUNG=\r\nZERTIFIZIERUNGSNR=\r\nSTEUERNRWB=\r\n"
                        "ZERTIFIZIERUNGWB=\r\nZERTIFIZIERUNGSNRWB=a=b\r\n"));
    // Reloading trims blanks only: the tab stays, and so does the "=" in a value.
    ExportSettings reread;
    QVERIFY(ini.LoadBrettIni(reread));
    settings.setValue(ExportSettings::FORSTAMT, QString::fromUtf8("\tBad Tölz"));
    QVERIFY(reread == settings);
}

// From the command line: the arguments joined by one blank, the text before the first "|",
// blanks but not tabs trimmed. When that is blank, from lindavex.Ini.
void TestBrettIni::connection()
{
    QCOMPARE(StartSequence::connectionStringFromCommandLine(StartSequence::commandLineText(
                     { "prog", "\tProvider=SQLOLEDB.1;Initial", "Catalog=F\t", "|x|y" })),
             "\tProvider=SQLOLEDB.1;Initial Catalog=F\t");
    QTemporaryDir dir;
    const QString path = QDir::toNativeSeparators(dir.filePath("lindavex.Ini"));
    QString connection;
    StartSequence start(dir.path());
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

QTEST_GUILESS_MAIN(TestBrettIni)
#include "tst_brettini.moc"
