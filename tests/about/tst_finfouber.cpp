#include "about/F_InfoUber.h"

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
    QCOMPARE(F_InfoUber::versionLine(1, 0), "Version 1.0");
    QCOMPARE(F_InfoUber::versionLine(1, 5), "Version 1.5");
    QCOMPARE(F_InfoUber::versionLine(1, 12), "Version 1.12");
    for (int opening = 0; opening < 2; ++opening) {
        F_InfoUber window;
        window.show();
        const auto label = [&window](const char *name) { return window.findChild<QLabel *>(name); };
        QCOMPARE(window.windowTitle(), "Info über Lindavex Pro by Lindavex Software");
        QCOMPARE(label("LbVersion")->text(),
                 F_InfoUber::versionLine(BRETTHOLM_VERSION_MAJOR, BRETTHOLM_VERSION_MINOR));
        QCOMPARE(label("Label2")->text(), "© Lindavex Software");
        // The pictures are compiled in; a missing resource leaves an empty label.
        QCOMPARE(label("Image1")->pixmap().size(), QSize(150, 150));
        QCOMPARE(label("Image2")->pixmap().size(), QSize(180, 30));
        QVERIFY(window.findChildren<QPushButton *>().isEmpty());
    }
}

QTEST_MAIN(TestFInfoUber)
#include "tst_finfouber.moc"
