#include "export/DeliveryLine.h"
#include "export/DeliverySummary.h"
#include "export/TimberVolume.h"
#include "export/ValueFormat.h"
#include "host/HostValue.h"

#include <QLocale>
#include <QTest>
#include <QTextCodec>

using K = ExportSettings;
using V = HostValue;

Q_DECLARE_METATYPE(HostValue)

namespace {

const QLocale German(QLocale::German, QLocale::Germany);

// A line of a log with an owner, with one setting "KEY=value" put in place.
DeliveryLine::Fields lineWith(const QString &change)
{
    RunValues run;
    run.value.at(K::keyOf(change.section(u'=', 0, 0))) = change.section(u'=', 1);
    LogRecord log;
    log.hasOwner = true;
    log.name = "Jürgen Müller";
    PieceCounter counter;
    return DeliveryLine::BuildDeliveryLine(run, log, counter, German);
}

} // namespace

class TestDeliveryLine : public QObject
{
    Q_OBJECT

private slots:
    void fieldProblem_data();
    void fieldProblem();
    void pieceNumbers_data();
    void pieceNumbers();
    void format_data();
    void format();
    void measure_data();
    void measure();
    void summary();
};

// A line is written exactly when no field has a problem, and then holds the codec's bytes.
void TestDeliveryLine::fieldProblem_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("field"); // "" for a clean line
    QTest::addColumn<QString>("named"); // ";" for a separator, else the unwritable character
    const auto row = [](const char *name, const QString &change, const QString &field = QString(),
                        const QString &named = QString()) {
        QTest::newRow(name) << change << field << named;
    };
    const QString high(QChar(0xD83C));
    row("line feed", "REVIER=Ost\n", "9 (Revier)", ";");
    row("carriage return", "ORTREVIER=Tal\r", "13 (Ort-Revier)", ";");
    row("outside Windows-1252", "NAMEREVIERFORSTER=Łukasz", "14 (Name-Revierförster)", "Ł");
    row("emoji named whole", "REVIER=Ost 🌲", "9 (Revier)", "🌲");
    // Found by fuzz_deliveryline: the 2-character width of field 1 cut the emoji's pair.
    row("half an emoji, cut by the field width", "BUNDESLAND=B🌲", "1 (Bundesland)", high);
    row("lone surrogate", "REVIER=" + high + "Ost", "9 (Revier)", high);
    row("C1 control is not in Windows-1252", "FORSTAMT=N\u0085", "5 (Forstamt)", "\u0085");
    row("separator named before unwritable", "FORSTAMT=Ł;", "5 (Forstamt)", ";");
    row("ASCII and Latin-1 edges", "FORSTAMT=\u00A0¡ÿ~\u007F Öß");
    row("Windows-1252 beyond Latin-1", "ORTREVIER=€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ");
}

void TestDeliveryLine::fieldProblem()
{
    QFETCH(QString, change);
    QFETCH(QString, field);
    QFETCH(QString, named);
    const auto fields = lineWith(change);
    QByteArray bytes("a longer line left from before, which must not show through");
    DeliveryLine::Problem problem;
    QCOMPARE(DeliveryLine::encode(fields, bytes, &problem), field.isEmpty());
    if (field.isEmpty())
        QCOMPARE(bytes,
                 QTextCodec::codecForName("Windows-1252")->fromUnicode(DeliveryLine::join(fields))
                         + "\r\n");
    else
        QCOMPARE(problem.message("15"),
                 "Feld " + field + " von Stamm 15 enthält "
                         + (named == ";" ? "ein Semikolon oder einen Zeilenumbruch"
                                         : "das nicht darstellbare Zeichen " + named));
}

// "" is NULL; the plain sequences of 2, 3 and 1 are tst_exportrun's and bench/smoke.sh's.
void TestDeliveryLine::pieceNumbers_data()
{
    QTest::addColumn<QStringList>("klst");
    QTest::addColumn<QStringList>("pieces");
    const auto row = [](const char *name, const QString &klst, const QString &pieces) {
        QTest::newRow(name) << klst.split(u',') << pieces.split(u',');
    };
    row("NULL ends", "2,3,,3", "1,2,0,2");
    row("3.0 and text are numbers", "2,3.0,3", "1,2,3");
    QStringList pieces { "1" };
    for (int piece = 2; piece <= 70002; ++piece)
        pieces << QString::number(piece);
    QTest::newRow("past 16-bit limits") << QStringList { "2" } + QStringList(70001, "3") << pieces;
}

void TestDeliveryLine::pieceNumbers()
{
    QFETCH(QStringList, klst);
    QStringList actual;
    PieceCounter counter;
    for (const QString &value : klst)
        actual << QString::number(counter.next(value.isEmpty() ? V() : V::text(value)));
    QTEST(actual, "pieces");
}

// Length with one decimal, rounded half away from zero on the decimal digits; the file name's
// zero-padded numbers; the list date.
void TestDeliveryLine::format_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<HostValue>("value");
    QTest::addColumn<QString>("expected");
    const auto date = [](int y, int m, int d) { return V::date(QDate(y, m, d)); };
    QTest::newRow("length 4.05 up") << "length" << V::number(4.05) << "4,1";
    QTest::newRow("length 9.96 carries") << "length" << V::number(9.96) << "10,0";
    QTest::newRow("length exact decimal") << "length" << V::number(QString("18.349999")) << "18,3";
    QTest::newRow("length -2.25 away from 0") << "length" << V::number(-2.25) << "-2,3";
    QTest::newRow("length -0.04 is 0,0") << "length" << V::number(-0.04) << "0,0";
    QTest::newRow("length numeric text") << "length" << V::text("5.55") << "5,6";
    QTest::newRow("length no number") << "length" << V::text("lang") << "lang";
    QTest::newRow("padded German decimal") << "padded" << V::text("12,5") << "0013";
    QTest::newRow("padded wider, not cut") << "padded" << V::text("12345") << "12345";
    QTest::newRow("padded no number") << "padded" << V::text("2023-A") << "2023-A";
    QTest::newRow("date with time") << "date" << V::text("2025-01-01 13:45:00") << "20250101";
    QTest::newRow("date year 1") << "date" << date(1, 2, 3) << "00010203";
    QTest::newRow("date five-digit year") << "date" << date(12345, 6, 7) << "123450607";
    QTest::newRow("date German text is none") << "date" << V::text("15.03.2024") << "";
}

void TestDeliveryLine::format()
{
    QFETCH(QString, kind);
    QFETCH(HostValue, value);
    const QString actual = kind == "length" ? ValueFormat::length(value, German)
            : kind == "date"                ? ValueFormat::listDate(value)
                             : ValueFormat::zeroPadded(value.toText(German), 4, German);
    QTEST(actual, "expected");
}

void TestDeliveryLine::measure_data()
{
    QTest::addColumn<HostValue>("durch");
    QTest::addColumn<HostValue>("laenge");
    QTest::addColumn<QString>("diameterClass");
    QTest::addColumn<qint64>("hundredths");
    // Volumes worked out to 60 digits apart from the program.
    const auto row = [](const char *name, const V &durch, const V &laenge, const char *c,
                        qint64 v) { QTest::newRow(name) << durch << laenge << QString(c) << v; };
    const auto i = [](qlonglong value) { return V::number(value); };
    row("9 cm: D0", i(9), i(4), "D0", 3); // 0,0254
    // Cut, not rounded, for the class and for the volume (9.99 cm would be 0,0784).
    row("9.99 cm is 9: D0", V::number("9.99"), i(10), "D0", 6);
    row("10 cm: D1a", i(10), i(5), "D1a", 4);
    row("14 cm: D1a", i(14), i(4), "D1a", 6);
    row("15 cm: D1b", i(15), i(4), "D1b", 7);
    row("39.9 cm: D3b", V::number(39.9), i(0), "D3b", 0);
    row("40 cm: D4", V::text("40"), V::text(""), "D4", 0);
    row("79 cm: D7", i(79), V::number("12.5"), "D7", 613);
    row("80 cm: D8", i(80), V::number("12.50"), "D8", 628);
    // A binary 4.1 is read as the decimal 4.1, not as 4.0999999999999996.
    row("length held as a double", i(30), V::number(4.1), "D3a", 29);
    // An exact half cannot occur (pi); these lie a few millionths from it.
    row("3e-6 below the half: down", i(20), V::number("11.3"), "D2a", 35);
    row("1.3e-6 above the half: up", i(104), V::text("24.35"), "D8", 2069);
    row("largest log measured", i(9999), V::number("9999.999999"), "D8", 7852410915);
    row("beyond any tree", i(10000), i(1), "D8", 0);
    row("0.5 cm is 0: D0 without volume", V::number("0.5"), i(4), "D0", 0);
    row("DURCH 0: no class", i(0), i(4), "", 0);
    row("DURCH negative", V::number("-20"), i(4), "", 0);
    row("DURCH no number", V::text("20 cm"), i(4), "", 0);
    row("LAENGE negative", i(30), V::number("-4"), "D3a", 0);
}

void TestDeliveryLine::measure()
{
    QFETCH(HostValue, durch);
    QFETCH(HostValue, laenge);
    const TimberVolume::Measure m = TimberVolume::measure(durch, laenge);
    QTEST(TimberVolume::className(m.diameterClass), "diameterClass");
    QTEST(m.hundredths, "hundredths");
}

void TestDeliveryLine::summary()
{
    const auto table = [](const QStringList &lotOrder, const QStringList &logs) {
        DeliverySummary summary(lotOrder);
        for (const QString &log : logs) { // LOS|HA|GKL|DURCH|LAENGE
            const QStringList f = log.split(u'|');
            summary.add(f[0], f[1], f[2], TimberVolume::measure(V::number(f[3]), V::number(f[4])));
        }
        return summary.table();
    };
    const QString header = QString::fromUtf8("Los;Holzart;Güte;Stärkeklasse;Stämme;Festmeter\n");
    QCOMPARE(table({ "A" }, {}), header + "Summe;;;;0;0,00\n");
    // Trimmed of blanks only, upper case; lots as the list orders them, others as they came;
    // then species, grade and class in order.
    QCOMPARE(table({ "B", " A" },
                   { "C|FI|B|30|4", " A |fi|b |30.9|4", "A|FI|B|30|4", "A|FI|B|25|4",
                     "A|\tFI|B|25|4", "B ||| |", "A|FI|A|80|10", "A|BU|C|10|5", "D|KI|B|9|4",
                     "C|KI|B|9|4" }),
             header
                     + QString("B;;;;1;0,00|A;\tFI;B;D2b;1;0,20|A;BU;C;D1a;1;0,04|A;FI;A;D8;1;5,03|"
                               "A;FI;B;D2b;1;0,20|A;FI;B;D3a;2;0,56|C;FI;B;D3a;1;0,28|"
                               "C;KI;B;D0;1;0,03|D;KI;B;D0;1;0,03|Summe;;;;10;6,37|")
                               .replace(u'|', u'\n'));
}

QTEST_GUILESS_MAIN(TestDeliveryLine)
#include "tst_deliveryline.moc"
