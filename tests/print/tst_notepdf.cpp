#include "HostFixture.h"

#include "export/DeliveryNote.h"
#include "print/PdfDocument.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

DeliveryNote::Content note()
{
    DeliveryNote::Content c;
    c.forestOffice = QString::fromUtf8("Bad Tölz <Nord> & Süd");
    c.officeNumber = "0815";
    c.forestryYear = "2024";
    c.list = "4711";
    c.lots = { "A", "" };
    c.listDate = "15.03.2024";
    c.supplierNumber = "1234";
    c.contractNumber = "KV-77";
    c.rows = { { "A", "FI", "B", TimberVolume::D3a, 2, 56 },
               { "", "KI", "B", TimberVolume::D8, 1, 123456 } };
    c.logs = 3;
    c.hundredths = 123512;
    c.fileName = "LB123400004711.Txt";
    c.lines = 3;
    c.sha256 = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
    c.time = QDateTime(QDate(2024, 3, 16), QTime(10, 20));
    return c;
}

} // namespace

class TestNotePdf : public QObject
{
    Q_OBJECT

private slots:
    void write_data();
    void write();
};

void TestNotePdf::write_data()
{
    QTest::addColumn<QString>("target");    // the PDF's name in a fresh directory
    QTest::addColumn<QStringList>("found"); // texts pdftotext finds; empty: writing fails
    QTest::newRow("a reader finds list, total and checksum")
            << "Lieferschein.pdf"
            << QStringList { "Lieferschein",
                             "4711",
                             "1235,12 fm",
                             "1234,56",
                             "ohne Los",
                             QString::fromUtf8("Bad Tölz <Nord> & Süd"),
                             "KV-77",
                             "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08",
                             "16.03.2024 10:20" };
    QTest::newRow("directory missing") << "gone/Lieferschein.pdf" << QStringList();
    QTest::newRow("a folder in its place") << "folder" << QStringList();
}

void TestNotePdf::write()
{
    QFETCH(QString, target);
    QFETCH(QStringList, found);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const QString path = dir.filePath(target);
    PdfDocument pdf(path);
    const bool written = pdf.write(DeliveryNote::html(note()), "Lieferschein 4711");
    QCOMPARE(written, !found.isEmpty());
    if (!written) {
        QVERIFY2(pdf.errorString().startsWith("Fehler beim Schreiben der Datei "
                                              + QDir::toNativeSeparators(path) + ": "),
                 qPrintable(pdf.errorString()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        return;
    }
    QProcess pdftotext;
    pdftotext.start("pdftotext", { "-layout", "-enc", "UTF-8", path, "-" });
    QVERIFY2(pdftotext.waitForFinished() && pdftotext.exitCode() == 0,
             qPrintable(pdftotext.errorString() + pdftotext.readAllStandardError()));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    for (const QString &piece : found)
        QVERIFY2(text.contains(piece), qPrintable(piece + " not in:\n" + text));
}

int main(int argc, char **argv)
{
    // Fonts and the PDF writer need the GUI application, not a window.
    QGuiApplication app(argc, argv);
    TestNotePdf test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_notepdf.moc"
