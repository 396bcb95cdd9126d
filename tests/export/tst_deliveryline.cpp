#include "app/HostValue.h"
#include "export/DeliveryLine.h"
#include "export/ValueFormat.h"

#include <QLocale>
#include <QTest>
#include <QTextCodec>

using K = ExportSettings;

Q_DECLARE_METATYPE(HostValue)

namespace {

const QLocale German(QLocale::German, QLocale::Germany);

// The run and log of the worked example: a log without owner, list 815.
RunValues exampleRun()
{
    RunValues run;
    run[K::BUNDESLAND] = "BY";
    run[K::LIEFNRBRETT] = "4711";
    run[K::KAUVERTRNR] = "KV17";
    run[K::FORSTAMT] = "Nord";
    run[K::FORSTAMTNUMMER] = "12";
    run[K::FWJ] = "2024";
    run.headerListe = "815";
    run[K::REVIER] = "Ost";
    run[K::STRASSEREVIER] = "Weg 1";
    run[K::PLZREVIER] = "12345";
    run[K::ORTREVIER] = "Tal";
    run[K::NAMEREVIERFORSTER] = "Frei";
    run[K::TELREVIERFORSTER] = "0123";
    run[K::ABT] = "3";
    run[K::UABT] = "a";
    run[K::ZERTIFIZIERUNG] = "PEFC";
    run.listDatum = "20240315";
    return run;
}

LogRecord exampleLog()
{
    LogRecord log;
    log.los = HostValue::text("7");
    log.blnr = HostValue::number(qlonglong(15));
    log.ha = HostValue::text("fi");
    log.gkl = HostValue::text("b");
    log.laenge = HostValue::number(4.0);
    log.durch = HostValue::number(qlonglong(32));
    log.ak = HostValue::text("U");
    log.liste = HostValue::text("815");
    log.mwst = HostValue::number(qlonglong(0));
    return log;
}

LogRecord ownedLog()
{
    LogRecord log = exampleLog();
    log.hasOwner = true;
    log.nummer = "WB-1";
    log.name = "Jürgen Müller";
    log.ort = "Bad Tölz";
    log.plz = "83646";
    log.strasse = "Am Bach 4";
    log.blz = "70050000";
    log.konto = "123456";
    log.mwst = HostValue::number(10.7);
    return log;
}

QString fieldOf(const RunValues &run, const LogRecord &log, int field)
{
    PieceCounter counter;
    return DeliveryLine::BuildDeliveryLine(run, log, counter, German)[field - 1];
}

} // namespace

class TestDeliveryLine : public QObject
{
    Q_OBJECT

private slots:
    void workedExample_isTheSawmillsLine();
    void everyLineHas46Fields_data();
    void everyLineHas46Fields();
    void widths_cutEveryFieldToItsLimit();
    void field_data();
    void field();
    void pieceNumbers_data();
    void pieceNumbers();
    void pieceCounter_passes16BitLimit();
    void length_data();
    void length();
    void zeroPadded_data();
    void zeroPadded();
    void listDate_data();
    void listDate();
    void fieldProblem_data();
    void fieldProblem();
    void encode_data();
    void encode();
};

void TestDeliveryLine::workedExample_isTheSawmillsLine()
{
    PieceCounter counter;
    const auto fields =
            DeliveryLine::BuildDeliveryLine(exampleRun(), exampleLog(), counter, German);
    QCOMPARE(DeliveryLine::join(fields),
             QStringLiteral("BY;4711;KV17;;Nord;12;2024;815;Ost;;Weg 1;12345;Tal;Frei;0123;;;3;"
                            "a;;7;15;;0;FI;B;4,0;32;1;;;;;;DE;DE;;;;;;;815;PEFC;;20240315"));
    QCOMPARE(DeliveryLine::fieldProblem(fields, "15"), QString());
}

void TestDeliveryLine::everyLineHas46Fields_data()
{
    QTest::addColumn<bool>("owner");
    QTest::addColumn<QString>("mwst");
    QTest::newRow("without owner, VAT ignored") << false << "16";
    QTest::newRow("with owner, VAT") << true << "16";
    QTest::newRow("with owner, no VAT") << true << "0";
}

void TestDeliveryLine::everyLineHas46Fields()
{
    QFETCH(bool, owner);
    QFETCH(QString, mwst);
    LogRecord log = owner ? ownedLog() : exampleLog();
    log.mwst = HostValue::number(mwst);
    PieceCounter counter;
    const QString line = DeliveryLine::join(
            DeliveryLine::BuildDeliveryLine(exampleRun(), log, counter, German));
    QCOMPARE(line.count(u';'), 45);
    const QStringList fields = line.split(u';');
    QCOMPARE(fields.mid(29, 12).join(u';'),
             owner ? QStringLiteral("WB-1;Jürgen Müller;Bad Tölz;83646;Am Bach 4;DE;DE;70050000;"
                                    "123456;;%1;")
                             .arg(mwst == "0" ? "" : mwst)
                   : QStringLiteral(";;;;;DE;DE;;;;;"));
}

void TestDeliveryLine::widths_cutEveryFieldToItsLimit()
{
    // Every value 50 characters long: each field keeps as many as its width allows.
    const QString longText = QString("ABCDEFGHIJ").repeated(5);
    RunValues run;
    for (QString &value : run.value)
        value = longText;
    run.headerListe = run.listDatum = longText;
    LogRecord log;
    for (HostValue *value : { &log.los, &log.blnr, &log.ha, &log.gkl, &log.laenge, &log.durch,
                              &log.ak, &log.liste, &log.mwst })
        *value = HostValue::text(longText);
    log.hasOwner = true;
    for (QString *value : { &log.nummer, &log.name, &log.ort, &log.plz, &log.strasse,
                            &log.nation, &log.blz, &log.konto })
        *value = longText;
    PieceCounter counter;
    const auto fields = DeliveryLine::BuildDeliveryLine(run, log, counter, German);
    const int widths[DeliveryLine::FieldCount] = { 2,  10, 10, 12, 35, 12, 4,  12, 35, 35,
                                                   35, 10, 35, 35, 16, 0,  0,  35, 35, 0,
                                                   5,  50, 0,  1,  50, 4,  50, 50, 1,  12,
                                                   35, 35, 10, 35, 3,  3,  15, 18, 0,  50,
                                                   0,  50, 50, 50, 50, 50 };
    for (int i = 0; i < DeliveryLine::FieldCount; ++i) {
        // The piece number and the bark flag are computed, not cut.
        const QString expected = i == 23 || i == 28 ? QString("0") : longText.left(widths[i]);
        QVERIFY2(fields[i] == expected, qPrintable(QString("field %1: %2").arg(i + 1).arg(fields[i])));
    }
}

// One row per rule: a value put in place (target), the field it lands in and its text there.
void TestDeliveryLine::field_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("expected");
    QTest::newRow("lot trimmed, then cut to 5") << "LOS" << "  L-123-45 " << 21 << "L-123";
    QTest::newRow("GKL upper case") << "GKL" << "abcdef" << 26 << "ABCD";
    QTest::newRow("HA trimmed, upper case") << "HA" << " ei " << 25 << "EI";
    QTest::newRow("bark a with blanks") << "AK" << " a " << 29 << "1";
    QTest::newRow("bark U") << "AK" << "U" << 29 << "1";
    QTest::newRow("bark A") << "AK" << "A" << 29 << "0";
    QTest::newRow("bark u") << "AK" << "u" << 29 << "0";
    QTest::newRow("bark NULL") << "AK" << "<NULL>" << 29 << "0";
    QTest::newRow("nation empty") << "NATION" << "" << 35 << "DE";
    QTest::newRow("nation d with blanks") << "NATION" << " d " << 36 << "DE";
    QTest::newRow("nation AT") << "NATION" << "AT" << 35 << "AT";
    QTest::newRow("nation two blanks") << "NATION" << "  " << 35 << "  ";
    QTest::newRow("VAT 0 empty") << "MWST" << "0" << 40 << "";
    QTest::newRow("VAT 10.7 German") << "MWST" << "10.7" << 40 << "10,7";
    QTest::newRow("BLNR as delivered") << "BLNR" << "-15" << 22 << "-15";
    QTest::newRow("tax number falls back") << "STEUERNRWB" << "" << 42 << "111/222";
    QTest::newRow("certification WB wins") << "ZERTIFIZIERUNGWB" << "FSC" << 44 << "FSC";
    QTest::newRow("certification number falls back") << "ZERTIFIZIERUNGSNRWB" << "" << 45
                                                     << "PEFC-1";
}

void TestDeliveryLine::field()
{
    QFETCH(QString, target);
    QFETCH(QString, input);
    RunValues run = exampleRun();
    run[K::STEUERNR] = "111/222";
    run[K::ZERTIFIZIERUNGSNR] = "PEFC-1";
    LogRecord log = ownedLog();
    const HostValue value = input == QLatin1String("<NULL>") ? HostValue() : HostValue::text(input);
    const K::Key key = K::keyOf(target);
    if (key != K::KeyCount)
        run[key] = input;
    else if (target == QLatin1String("LOS"))
        log.los = value;
    else if (target == QLatin1String("GKL"))
        log.gkl = value;
    else if (target == QLatin1String("HA"))
        log.ha = value;
    else if (target == QLatin1String("AK"))
        log.ak = value;
    else if (target == QLatin1String("NATION"))
        log.nation = input;
    else if (target == QLatin1String("MWST"))
        log.mwst = HostValue::number(input);
    else if (target == QLatin1String("BLNR"))
        log.blnr = HostValue::number(input);
    else
        QFAIL("unknown target");
    QFETCH(int, field);
    QTEST(fieldOf(run, log, field), "expected");
}

void TestDeliveryLine::pieceNumbers_data()
{
    QTest::addColumn<QStringList>("klst"); // "" is NULL
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("2 starts, 3 continues, 1 ends") << QStringList{ "2", "3", "3", "1", "3" }
                                                   << QStringList{ "1", "2", "3", "0", "2" };
    QTest::newRow("3 without 2 starts at 2") << QStringList{ "3", "3" } << QStringList{ "2", "3" };
    QTest::newRow("NULL ends") << QStringList{ "2", "3", "", "3" }
                               << QStringList{ "1", "2", "0", "2" };
    QTest::newRow("3.0 and text are numbers") << QStringList{ "2", "3.0", "3" }
                                              << QStringList{ "1", "2", "3" };
}

void TestDeliveryLine::pieceNumbers()
{
    QFETCH(QStringList, klst);
    QFETCH(QStringList, pieces);
    QStringList actual;
    PieceCounter counter;
    for (const QString &value : klst) {
        const HostValue v = value.isEmpty() ? HostValue() : HostValue::text(value);
        actual << QString::number(counter.next(v));
    }
    QCOMPARE(actual, pieces);
}

void TestDeliveryLine::pieceCounter_passes16BitLimit()
{
    PieceCounter counter;
    QCOMPARE(counter.next(HostValue::number(qlonglong(2))), qint64(1));
    for (int i = 0; i < 39990; ++i)
        counter.next(HostValue::number(qlonglong(3)));
    QCOMPARE(counter.next(HostValue::number(qlonglong(3))), qint64(39992));
}

void TestDeliveryLine::length_data()
{
    QTest::addColumn<HostValue>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("4") << HostValue::number(qlonglong(4)) << "4,0";
    QTest::newRow("4.05 up") << HostValue::number(4.05) << "4,1";
    QTest::newRow("12.25 up") << HostValue::number(12.25) << "12,3";
    QTest::newRow("12.35 up") << HostValue::number(12.35) << "12,4";
    QTest::newRow("12.34 down") << HostValue::number(12.34) << "12,3";
    QTest::newRow("0.8") << HostValue::number(0.8) << "0,8";
    QTest::newRow("9.96 carries") << HostValue::number(9.96) << "10,0";
    QTest::newRow("exact decimal text") << HostValue::number(QString("18.349999")) << "18,3";
    QTest::newRow("-2.25 away from zero") << HostValue::number(-2.25) << "-2,3";
    QTest::newRow("-0.04 is 0,0") << HostValue::number(-0.04) << "0,0";
    QTest::newRow("numeric text") << HostValue::text("5.55") << "5,6";
    QTest::newRow("no number") << HostValue::text("lang") << "lang";
    QTest::newRow("NULL") << HostValue() << "";
}

void TestDeliveryLine::length()
{
    QFETCH(HostValue, value);
    QTEST(ValueFormat::length(value, German), "expected");
}

void TestDeliveryLine::zeroPadded_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");
    QTest::newRow("42") << "42" << 4 << "0042";
    QTest::newRow("123 to 8") << "123" << 8 << "00000123";
    QTest::newRow("wider than pattern") << "12345" << 4 << "12345";
    QTest::newRow("German decimal rounds") << "12,5" << 4 << "0013";
    QTest::newRow("blanks around a number") << " 7 " << 4 << "0007";
    QTest::newRow("no number") << "2023-A" << 8 << "2023-A";
    QTest::newRow("empty") << "" << 4 << "";
}

void TestDeliveryLine::zeroPadded()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QTEST(ValueFormat::zeroPadded(text, width, German), "expected");
}

void TestDeliveryLine::listDate_data()
{
    QTest::addColumn<HostValue>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ISO text") << HostValue::text("2024-03-15") << "20240315";
    QTest::newRow("with time") << HostValue::text("2025-01-01 13:45:00") << "20250101";
    QTest::newRow("date value")
            << HostValue::date(QDateTime(QDate(2024, 12, 31), QTime(0, 0))) << "20241231";
    QTest::newRow("year 1") << HostValue::date(QDateTime(QDate(1, 2, 3), QTime(0, 0)))
                            << "00010203";
    QTest::newRow("five-digit year")
            << HostValue::date(QDateTime(QDate(12345, 6, 7), QTime(0, 0))) << "123450607";
    QTest::newRow("no date") << HostValue::text("15.03.2024") << "";
    QTest::newRow("NULL") << HostValue() << "";
}

void TestDeliveryLine::listDate()
{
    QFETCH(HostValue, value);
    QTEST(ValueFormat::listDate(value), "expected");
}

void TestDeliveryLine::fieldProblem_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("problem");
    QTest::newRow("semicolon") << 31 << "Müller;Sohn" << "Feld 31 von Stamm 15 enthält ein "
                                                        "Semikolon oder einen Zeilenumbruch";
    QTest::newRow("line feed") << 5 << "Nord\n" << "Feld 5 von Stamm 15 enthält ein Semikolon "
                                                   "oder einen Zeilenumbruch";
    QTest::newRow("carriage return") << 13 << "Tal\r" << "Feld 13 von Stamm 15 enthält ein "
                                                        "Semikolon oder einen Zeilenumbruch";
    QTest::newRow("outside Windows-1252") << 31 << "Łukasz" << "Feld 31 von Stamm 15 enthält "
                                                              "das nicht darstellbare Zeichen Ł";
    QTest::newRow("emoji") << 9 << "Ost 🌲" << "Feld 9 von Stamm 15 enthält das nicht "
                                               "darstellbare Zeichen 🌲";
    // Found by fuzz_deliveryline: the 2-character width of field 1 cut the emoji's pair.
    const QString cut = QStringLiteral("B🌲").left(2);
    QTest::newRow("half an emoji, cut by the field width")
            << 1 << cut << "Feld 1 von Stamm 15 enthält das nicht darstellbare Zeichen " + cut.mid(1);
    QTest::newRow("euro and umlauts are fine") << 5 << "€ Öß žŸ" << "";
    QTest::newRow("Latin-1 edges are fine") << 5 << "\u00A0¡ÿ" << "";
    QTest::newRow("C1 control is not in Windows-1252")
            << 14 << "Frei\u0085" << "Feld 14 von Stamm 15 enthält das nicht darstellbare "
                                       "Zeichen \u0085";
    QTest::newRow("lone surrogate") << 9 << QString(QChar(0xD83C)) + "Ost"
                                    << "Feld 9 von Stamm 15 enthält das nicht darstellbare "
                                       "Zeichen " + QString(QChar(0xD83C));
    QTest::newRow("separator named before unwritable character")
            << 31 << "Ł;" << "Feld 31 von Stamm 15 enthält ein Semikolon oder einen "
                             "Zeilenumbruch";
}

void TestDeliveryLine::fieldProblem()
{
    QFETCH(int, field);
    QFETCH(QString, value);
    PieceCounter counter;
    auto fields = DeliveryLine::BuildDeliveryLine(exampleRun(), ownedLog(), counter, German);
    fields[field - 1] = value;
    QTEST(DeliveryLine::fieldProblem(fields, "15"), "problem");
    QByteArray bytes;
    QCOMPARE(DeliveryLine::encode(fields, bytes),
             DeliveryLine::fieldProblem(fields, "15").isEmpty());
}

// The file's bytes are the codec's Windows-1252 of the joined line, also for the characters
// that Windows-1252 keeps elsewhere than Latin-1 does.
void TestDeliveryLine::encode_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::newRow("ASCII") << 5 << "Nord";
    QTest::newRow("umlauts") << 31 << "Gräfin Käthe Öttinger-Weiß";
    QTest::newRow("Latin-1 edges") << 9 << "\u00A0¡ÿ~\u007F";
    QTest::newRow("Windows-1252 beyond Latin-1") << 13 << "€ ‚ƒ„…†‡ˆ‰Š‹Œ Ž ‘’“”•–—˜™š›œ žŸ";
    QTest::newRow("empty field") << 22 << "";
}

void TestDeliveryLine::encode()
{
    QFETCH(int, field);
    QFETCH(QString, value);
    PieceCounter counter;
    auto fields = DeliveryLine::BuildDeliveryLine(exampleRun(), ownedLog(), counter, German);
    fields[field - 1] = value;
    QCOMPARE(DeliveryLine::fieldProblem(fields, "15"), QString());
    const QByteArray expected =
            QTextCodec::codecForName("Windows-1252")->fromUnicode(DeliveryLine::join(fields))
            + "\r\n";
    QByteArray bytes("a longer line left from before, which must not show through");
    QVERIFY(DeliveryLine::encode(fields, bytes));
    QCOMPARE(bytes, expected);
}

QTEST_GUILESS_MAIN(TestDeliveryLine)
#include "tst_deliveryline.moc"
