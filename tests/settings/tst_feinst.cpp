#include "settings/F_Einst.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The field of each key, in key order.
const QStringList FieldNames =
        QString("Tx_PathExport Tx_Bundesland Cb_LNrBrett Cb_KvNrBrett Cb_ExtKvNr Tx_FoA Tx_FoANr "
                "Tx_FWJ Cb_Revier Cb_Distrikt Cb_StrasseRevier Cb_PlzRevier Cb_OrtRevier "
                "Cb_NameRevF Cb_TelRevF Cb_Abt Cb_UAbt Tx_SteuerNr Cb_Zertifizierung "
                "Tx_ZertifizierungsNr Cb_SteuerNrWB Cb_ZertifizierungWB Cb_ZertifizierungsNrWB")
                .split(' ');

class TestFEinst : public QObject
{
    Q_OBJECT

private slots:
    void loadUnload_keepsEveryValueButBlanksAroundTheExportPath_data();
    void loadUnload_keepsEveryValueButBlanksAroundTheExportPath();
    void combos_keepTheirListsWhenReopenedAndTypedIn_data();
    void combos_keepTheirListsWhenReopenedAndTypedIn();
    void everyClose_storesEveryField_data();
    void everyClose_storesEveryField();
    void tab_followsTheLayoutFromTheExportPath();

private:
    // The text field of a text box or an editable combo box.
    static QLineEdit *edit(const F_Einst &window, const QString &name);
};

QLineEdit *TestFEinst::edit(const F_Einst &window, const QString &name)
{
    if (auto *combo = window.findChild<QComboBox *>(name))
        return combo->lineEdit();
    return window.findChild<QLineEdit *>(name);
}

void TestFEinst::loadUnload_keepsEveryValueButBlanksAroundTheExportPath_data()
{
    // Every key gets the value with "%1" replaced by its name.
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("storedExportPath");
    QTest::newRow("free text, no entry of any list") << "frei %1" << "frei EXPORTPATH";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("blanks around") << "  %1 " << "EXPORTPATH";
    QTest::newRow("tabs are no blanks") << "\t%1 \t" << "\tEXPORTPATH \t";
    QTest::newRow("umlauts") << "Bad Tölz %1" << "Bad Tölz EXPORTPATH";
    QTest::newRow("longer than a label's limit")
            << "%1" + QString(40, 'x') << "EXPORTPATH" + QString(40, 'x');
    QTest::newRow("longer than a Qt text box takes by default")
            << "%1" + QString(40000, 'y') << "EXPORTPATH" + QString(40000, 'y');
}

void TestFEinst::loadUnload_keepsEveryValueButBlanksAroundTheExportPath()
{
    QFETCH(QString, value);
    QFETCH(QString, storedExportPath);
    ExportSettings settings;
    for (int key = 0; key < ExportSettings::KeyCount; ++key)
        settings[ExportSettings::Key(key)] =
                QString(value).replace("%1", ExportSettings::keyName(ExportSettings::Key(key)));
    ExportSettings expected = settings;
    expected.setValue(ExportSettings::EXPORTPATH, storedExportPath);

    F_Einst window(settings);
    window.show();
    for (int key = 0; key < ExportSettings::KeyCount; ++key)
        QCOMPARE(edit(window, FieldNames[key])->text(), settings.value(ExportSettings::Key(key)));
    window.close();
    for (int key = 0; key < ExportSettings::KeyCount; ++key)
        QCOMPARE(settings.value(ExportSettings::Key(key)),
                 expected.value(ExportSettings::Key(key)));
}

void TestFEinst::combos_keepTheirListsWhenReopenedAndTypedIn_data()
{
    const QStringList logColumns =
            QString("RELTABLE1 RELTABLE2 RELTABLE3 RELTABLE4 RELTABLE5 RELTABLE6 RELTABLE7 "
                    "RELTABLE8 RELTABLE9 RELTABLE10 TEXT1 TEXT2 TEXT3 TEXT4 TEXT5 TEXT6 TEXT7 "
                    "TEXT8 TEXT9 TEXT10 TEXT11 TEXT12 TEXT13 TEXT14 TEXT15 FREI1 FREI2 FREI3 "
                    "FREI4 FREI5 WO1 WO2 WO3 WO4 WO5 WO6")
                    .split(' ');
    const QStringList ownerAccounts =
            QString("BLZ BANK KONTO POSTSCHECK UID BLZ1 BANK1 KONTO1 POSTSCHECK1 UID1").split(' ');
    QTest::addColumn<QStringList>("entries");
    for (const QString &name : FieldNames) {
        if (name == "Cb_Zertifizierung" || name == "Cb_ZertifizierungWB")
            QTest::newRow(qPrintable(name)) << QStringList { "FSC", "PEFC" };
        else if (name == "Cb_SteuerNrWB" || name == "Cb_ZertifizierungsNrWB")
            QTest::newRow(qPrintable(name)) << ownerAccounts;
        else if (name.startsWith("Cb_"))
            QTest::newRow(qPrintable(name)) << logColumns;
    }
}

void TestFEinst::combos_keepTheirListsWhenReopenedAndTypedIn()
{
    QFETCH(QStringList, entries);
    ExportSettings settings;
    F_Einst window(settings);
    auto *combo = window.findChild<QComboBox *>(QTest::currentDataTag());
    for (int opening = 0; opening < 2; ++opening) {
        window.show();
        window.close();
    }
    QStringList listed;
    for (int i = 0; i < combo->count(); ++i)
        listed << combo->itemText(i);
    QCOMPARE(listed, entries);

    // An entry in small letters is no entry: it stays as typed and is not added.
    window.show();
    const QString typed = entries.first().toLower();
    combo->lineEdit()->clear();
    QTest::keyClicks(combo, typed);
    QTest::keyClick(combo, Qt::Key_Return);
    combo->clearFocus();
    QCOMPARE(combo->currentText(), typed);
    QCOMPARE(combo->count(), entries.size());
}

void TestFEinst::everyClose_storesEveryField_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Schließen") << "button";
    QTest::newRow("close box") << "close box";
    QTest::newRow("rejected from code") << "reject";
}

void TestFEinst::everyClose_storesEveryField()
{
    QFETCH(QString, way);
    ExportSettings settings;
    settings.InitGlobals("/alt");
    F_Einst window(settings);
    window.show();
    for (const QString &name : FieldNames) {
        edit(window, name)->clear();
        QTest::keyClicks(edit(window, name), " neu " + name + " ");
    }
    if (way == "button") {
        window.findChild<QPushButton *>("But_Schliessen")->click();
    } else if (way == "close box") {
        QCloseEvent closeBox;
        QApplication::sendEvent(window.windowHandle(), &closeBox);
    } else {
        window.reject();
    }
    QVERIFY(!window.isVisible());
    QCOMPARE(settings.value(ExportSettings::EXPORTPATH), "neu Tx_PathExport");
    for (int key = ExportSettings::BUNDESLAND; key < ExportSettings::KeyCount; ++key)
        QCOMPARE(settings.value(ExportSettings::Key(key)), " neu " + FieldNames[key] + " ");
}

void TestFEinst::tab_followsTheLayoutFromTheExportPath()
{
    ExportSettings settings;
    F_Einst window(settings);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QStringList order;
    for (int i = 0; i <= 24; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order,
             QString("Tx_PathExport Cb_LNrBrett Cb_KvNrBrett Cb_ExtKvNr Tx_FoA Tx_FoANr Tx_FWJ "
                     "Tx_Bundesland Cb_Revier Cb_Distrikt Cb_StrasseRevier Cb_PlzRevier "
                     "Cb_OrtRevier Cb_NameRevF Cb_TelRevF Cb_Abt Cb_UAbt But_Schliessen "
                     "Tx_SteuerNr Cb_Zertifizierung Tx_ZertifizierungsNr Cb_SteuerNrWB "
                     "Cb_ZertifizierungWB Cb_ZertifizierungsNrWB Tx_PathExport")
                     .split(' '));
}

QTEST_MAIN(TestFEinst)
#include "tst_feinst.moc"
