#include "settings/BrettIni.h"
#include "settings/ExportSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using Values = QMap<QString, QString>;

class TestBrettIni : public QObject
{
    Q_OBJECT

private slots:
    void load_data();
    void load();
    void loadMissingFile_keepsDefaults_saveWritesAll23();
    void save_writesValuesAsHeld_loadTrimsThem();
    void saveFailure_keepsOldFile_data();
    void saveFailure_keepsOldFile();

private:
    static QByteArray readAll(const QString &path);
    static void write(const QString &path, const QByteArray &bytes);
};

QByteArray TestBrettIni::readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestBrettIni::write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestBrettIni::load_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Values>("expected"); // keys that differ from the defaults
    QTest::newRow("lower-case key, blanks around") << QByteArray(" fwj = 2024 \r\n")
                                                   << Values{ { "FWJ", "2024" } };
    QTest::newRow("value keeps equals") << QByteArray("FORSTAMT=a=b\r\n")
                                        << Values{ { "FORSTAMT", "a=b" } };
    QTest::newRow("empty export path replaces default") << QByteArray("EXPORTPATH=\r\n")
                                                        << Values{ { "EXPORTPATH", "" } };
    QTest::newRow("last duplicate wins") << QByteArray("FWJ=2023\nFWJ=2024\n")
                                         << Values{ { "FWJ", "2024" } };
    QTest::newRow("ignored lines")
            << QByteArray("[Brett]\r\nFORST AMT=x\r\n=FWJ=1\r\nOTHER=1\r\nno equals\r\n")
            << Values{};
    QTest::newRow("tab stays, umlaut from Windows-1252")
            << QByteArray("ORTREVIER=\tBad T\xf6lz\r\n")
            << Values{ { "ORTREVIER", QString::fromUtf8("\tBad Tölz") } };
}

void TestBrettIni::load()
{
    QFETCH(QByteArray, content);
    QFETCH(Values, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Brett.Ini"));
    write(path, content);

    ExportSettings settings;
    settings.InitGlobals(QStringLiteral("/opt/brett"));
    BrettIni ini(path);
    QVERIFY(ini.LoadBrettIni(settings));
    for (int i = 0; i < ExportSettings::KeyCount; ++i) {
        const auto key = ExportSettings::Key(i);
        const QString name = ExportSettings::keyName(key);
        const QString fallback = key == ExportSettings::EXPORTPATH ? "/opt/brett" : "";
        QCOMPARE(settings.value(key), expected.value(name, fallback));
    }
}

void TestBrettIni::loadMissingFile_keepsDefaults_saveWritesAll23()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Brett.Ini"));
    ExportSettings settings;
    settings.InitGlobals(dir.path());
    BrettIni ini(path);
    QVERIFY(ini.LoadBrettIni(settings));
    QCOMPARE(settings.value(ExportSettings::EXPORTPATH), dir.path());
    QVERIFY(ini.SaveBrettIni(settings));

    const QByteArray expected = "EXPORTPATH=" + dir.path().toUtf8()
            + "\r\nBUNDESLAND=\r\nLIEFNRBRETT=\r\nKAUVERTRNR=\r\nEXTKAUFVERTRNR=\r\nFORSTAMT=\r\n"
              "FORSTAMTNUMMER=\r\nFWJ=\r\nREVIER=\r\nDISTRIKT=\r\nSTRASSEREVIER=\r\n"
              "PLZREVIER=\r\nORTREVIER=\r\nNAMEREVIERFORSTER=\r\nTELREVIERFORSTER=\r\nABT=\r\n"
              "UABT=\r\nSTEUERNR=\r\nZERTIFIZIERUNG=\r\nZERTIFIZIERUNGSNR=\r\nSTEUERNRWB=\r\n"
              "ZERTIFIZIERUNGWB=\r\nZERTIFIZIERUNGSNRWB=\r\n";
    QCOMPARE(readAll(path), expected);
}

void TestBrettIni::save_writesValuesAsHeld_loadTrimsThem()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Brett.Ini"));
    write(path, "fwj = 2024\r\nOTHER=1\r\n");
    ExportSettings settings;
    settings.InitGlobals(dir.path());
    settings.setValue(ExportSettings::FORSTAMT, QString::fromUtf8(" Forstbetrieb Bad Tölz "));
    settings.setValue(ExportSettings::ZERTIFIZIERUNGSNRWB, QStringLiteral("a=b"));
    BrettIni ini(path);
    QVERIFY(ini.SaveBrettIni(settings));
    const QByteArray written = readAll(path);
    QVERIFY(written.contains("\r\nFORSTAMT= Forstbetrieb Bad T\xf6lz \r\n"));
    QVERIFY(!written.contains("OTHER"));
    QCOMPARE(written.count("\r\n"), 23);

    ExportSettings reread;
    reread.InitGlobals(QStringLiteral("elsewhere"));
    QVERIFY(ini.LoadBrettIni(reread));
    settings.setValue(ExportSettings::FORSTAMT, QString::fromUtf8("Forstbetrieb Bad Tölz"));
    QCOMPARE(reread, settings);
    QVERIFY(QDir(dir.path()).entryList(QDir::Files) == QStringList{ "Brett.Ini" });
}

void TestBrettIni::saveFailure_keepsOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("path is a directory") << "directory";
    QTest::newRow("directory missing") << "missing";
#ifdef Q_OS_UNIX
    QTest::newRow("disk full while writing") << "filesize";
#endif
}

void TestBrettIni::saveFailure_keepsOldFile()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Brett.Ini"));
    const QByteArray old = "FWJ=2023\r\n";
    if (how == QLatin1String("directory"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Brett.Ini")));
    else if (how == QLatin1String("missing"))
        path = dir.filePath(QStringLiteral("gone/Brett.Ini"));
    else
        write(path, old);

    ExportSettings settings;
    settings.InitGlobals(dir.path());
    settings.setValue(ExportSettings::FWJ, QStringLiteral("2024"));
    BrettIni ini(path);
    bool saved = true;
#ifdef Q_OS_UNIX
    if (how == QLatin1String("filesize")) {
        // Past the limit a write fails with EFBIG instead of raising SIGXFSZ.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved_limit;
        getrlimit(RLIMIT_FSIZE, &saved_limit);
        rlimit small = saved_limit;
        small.rlim_cur = 64;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        saved = ini.SaveBrettIni(settings);
        setrlimit(RLIMIT_FSIZE, &saved_limit);
    } else
#endif
        saved = ini.SaveBrettIni(settings);

    QVERIFY(!saved);
    QVERIFY(ini.errorString().contains(path));
    if (how == QLatin1String("filesize"))
        QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).count(),
             how == QLatin1String("filesize") ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestBrettIni)
#include "tst_brettini.moc"
