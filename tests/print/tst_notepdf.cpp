#include "export/DeliveryNote.h"
#include "print/PdfDocument.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestNotePdf : public QObject
{
    Q_OBJECT

private slots:
    void write();
};

void TestNotePdf::write()
{
    const QString sha256 = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
    DeliveryNote::Content note;
    note.forestOffice = "Bad Tölz <Nord> & Süd";
    note.list = "4711";
    note.lots = { "A", "" };
    note.contractNumber = "KV-77";
    note.rows = { { "A", "FI", "B", TimberVolume::D3a, 2, 56 },
                  { "", "KI", "B", TimberVolume::D8, 1, 123456 } };
    note.logs = 3;
    note.hundredths = 123512;
    note.sha256 = sha256;
    note.time = QDateTime(QDate(2024, 3, 16), QTime(10, 20));
    const QString html = DeliveryNote::html(note);
    QTemporaryDir dir;
    // A folder in its place: the failure names the file and leaves nothing beside it.
    const QString folder = dir.filePath("folder");
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    PdfDocument failing(folder);
    QVERIFY(!failing.write(html, "Lieferschein 4711"));
    QVERIFY2(failing.errorString().startsWith("Fehler beim Schreiben der Datei "
                                              + QDir::toNativeSeparators(folder) + ": "),
             qPrintable(failing.errorString()));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    const QString path = dir.filePath("Lieferschein.pdf");
    QVERIFY(PdfDocument(path).write(html, "Lieferschein 4711"));
    QProcess pdftotext;
    pdftotext.start("pdftotext", { "-layout", "-enc", "UTF-8", path, "-" });
    QVERIFY2(pdftotext.waitForFinished() && pdftotext.exitCode() == 0,
             qPrintable(pdftotext.errorString() + pdftotext.readAllStandardError()));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    // List, total, a row's volume, the empty lot, escaped text, contract, checksum, time.
    for (const QString &piece :
         QStringList { "Lieferschein", "4711", "1235,12 fm", "1234,56", "ohne Los",
                       "Bad Tölz <Nord> & Süd", "KV-77", sha256, "16.03.2024 10:20" })
        QVERIFY2(text.contains(piece), qPrintable(piece + " not in:\n" + text));
}

// Fonts and the PDF writer need the GUI application, not a window.
QTEST_MAIN(TestNotePdf)
#include "tst_notepdf.moc"
