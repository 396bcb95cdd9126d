#include "about/F_InfoUber.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestFInfoUber : public QObject
{
    Q_OBJECT

private slots:
    void versionLine_plainDecimals_data();
    void versionLine_plainDecimals();
    void opening_showsTextsAndPicturesEveryTime();
};

void TestFInfoUber::versionLine_plainDecimals_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("line");
    QTest::newRow("minor 0") << 1 << 0 << "Version 1.0";
    QTest::newRow("minor 5, no leading zero") << 1 << 5 << "Version 1.5";
    QTest::newRow("minor 12 in full") << 1 << 12 << "Version 1.12";
}

void TestFInfoUber::versionLine_plainDecimals()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QString, line);
    QCOMPARE(F_InfoUber::versionLine(major, minor), line);
}

void TestFInfoUber::opening_showsTextsAndPicturesEveryTime()
{
    for (int opening = 0; opening < 2; ++opening) {
        F_InfoUber window;
        window.show();
        QCOMPARE(window.windowTitle(), "Info über Lindavex Pro by Lindavex Software");
        QCOMPARE(window.findChild<QLabel *>("LbVersion")->text(),
                 F_InfoUber::versionLine(BRETTHOLM_VERSION_MAJOR, BRETTHOLM_VERSION_MINOR));
        QCOMPARE(window.findChild<QLabel *>("Label2")->text(), "© Lindavex Software");
        // The pictures are compiled in; a missing resource leaves an empty label.
        QCOMPARE(window.findChild<QLabel *>("Image1")->pixmap().size(), QSize(150, 150));
        QCOMPARE(window.findChild<QLabel *>("Image2")->pixmap().size(), QSize(180, 30));
        QVERIFY(window.findChildren<QPushButton *>().isEmpty());
        for (const QWidget *child : window.findChildren<QWidget *>())
            QCOMPARE(child->focusPolicy(), Qt::NoFocus);
    }
}

QTEST_MAIN(TestFInfoUber)
#include "tst_finfouber.moc"
