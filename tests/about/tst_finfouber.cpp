#include "about/F_InfoUber.h"
#include "base/Version.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestFInfoUber : public QObject
{
    Q_OBJECT

private slots:
    void opening_showsTextsAndPicturesEveryTime();
};

void TestFInfoUber::opening_showsTextsAndPicturesEveryTime()
{
    // The minor version in plain decimals, without a leading zero.
    QCOMPARE(Version::text(1, 0), "1.0");
    QCOMPARE(Version::text(1, 5), "1.5");
    QCOMPARE(Version::text(1, 12), "1.12");
    for (int opening = 0; opening < 2; ++opening) {
        F_InfoUber window;
        window.show();
        const auto label = [&window](const char *name) { return window.findChild<QLabel *>(name); };
        QCOMPARE(label("LbVersion")->text(), "Version " + Version::text());
        QCOMPARE(label("Label2")->text(), "© Lindavex Software");
        // The pictures are compiled in; a missing resource leaves an empty label.
        QCOMPARE(label("Image1")->pixmap().size(), QSize(150, 150));
        QCOMPARE(label("Image2")->pixmap().size(), QSize(180, 30));
        QVERIFY(window.findChildren<QPushButton *>().isEmpty());
    }
}

QTEST_MAIN(TestFInfoUber)
#include "tst_finfouber.moc"
