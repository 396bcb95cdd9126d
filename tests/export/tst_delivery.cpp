#include "export/DeliverySummary.h"
#include "export/TimberVolume.h"
#include "host/HostValue.h"

#include <QTest>

using V = HostValue;
using TimberVolume::Class;

Q_DECLARE_METATYPE(HostValue)

class TestDelivery : public QObject
{
    Q_OBJECT

private slots:
    void measure_data();
    void measure();
    void summary();
};

void TestDelivery::measure_data()
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
    row("150 cm, 20 m", V::number("150"), V::number(20.0), "D8", 3534);
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

void TestDelivery::measure()
{
    QFETCH(HostValue, durch);
    QFETCH(HostValue, laenge);
    const TimberVolume::Measure m = TimberVolume::measure(durch, laenge);
    QTEST(TimberVolume::className(m.diameterClass), "diameterClass");
    QTEST(m.hundredths, "hundredths");
}

void TestDelivery::summary()
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

QTEST_GUILESS_MAIN(TestDelivery)
#include "tst_delivery.moc"
