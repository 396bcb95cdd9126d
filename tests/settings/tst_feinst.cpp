#include "settings/F_Einst.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

namespace {

// The field of each key, in key order.
const QStringList FieldNames =
        QString("Tx_PathExport Tx_Bundesland Cb_LNrBrett Cb_KvNrBrett Cb_ExtKvNr Tx_FoA Tx_FoANr "
                "Tx_FWJ Cb_Revier Cb_Distrikt Cb_StrasseRevier Cb_PlzRevier Cb_OrtRevier "
                "Cb_NameRevF Cb_TelRevF Cb_Abt Cb_UAbt Tx_SteuerNr Cb_Zertifizierung "
                "Tx_ZertifizierungsNr Cb_SteuerNrWB Cb_ZertifizierungWB Cb_ZertifizierungsNrWB")
                .split(' ');

// The text of a text box or an editable combo box.
QString text(const F_Einst &window, int key)
{
    if (auto *combo = window.findChild<QComboBox *>(FieldNames[key]))
        return combo->currentText();
    return window.findChild<QLineEdit *>(FieldNames[key])->text();
}

// Types text as a keyboard of any layout does; QTest's own typing takes ASCII only.
void type(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

} // namespace

class TestFEinst : public QObject
{
    Q_OBJECT

private slots:
    void everyClose_storesEveryFieldAsShownOrTyped_data();
    void everyClose_storesEveryFieldAsShownOrTyped();
    void combos_openAtTheirValueKeepTheirListsWhenReopenedAndTypedIn();
};

void TestFEinst::everyClose_storesEveryFieldAsShownOrTyped_data()
{
    // Every key gets the value with "%1" replaced by its field's name; only the export path
    // is stored without the blanks around it.
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("storedExportPath");
    QTest::addColumn<QString>("way");
    QTest::newRow("empty, Schließen") << QString() << QString() << "button";
    QTest::newRow("blanks around, close box") << "  %1 " << QString("Tx_PathExport") << "close box";
    QTest::newRow("tabs are no blanks, rejected from code")
            << "\t%1 \t" << QString("\tTx_PathExport \t") << "reject";
    QTest::newRow("longer than a Qt text box takes by default")
            << "%1" + QString(40000, 'y') << "Tx_PathExport" + QString(40000, 'y') << "button";
}

void TestFEinst::everyClose_storesEveryFieldAsShownOrTyped()
{
    QFETCH(QString, value);
    QFETCH(QString, storedExportPath);
    QFETCH(QString, way);
    ExportSettings settings;
    for (int key = 0; key < ExportSettings::KeyCount; ++key)
        settings[ExportSettings::Key(key)] = QString(value).replace("%1", FieldNames[key]);
    ExportSettings expected = settings;
    expected.setValue(ExportSettings::EXPORTPATH, storedExportPath);
    F_Einst window(settings);
    QStringList tabOrder;

    // The first opening shows the values and stores them; the second shows what was stored
    // and stores what the user types, going from field to field with Tab.
    for (int opening = 0; opening < 2; ++opening) {
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (int key = 0; key < ExportSettings::KeyCount; ++key)
            QCOMPARE(text(window, key), settings.value(ExportSettings::Key(key)));
        for (int stop = 0; opening == 1 && stop <= 24; ++stop) {
            QWidget *field = QApplication::focusWidget();
            tabOrder << field->objectName();
            const int key = FieldNames.indexOf(field->objectName());
            if (key >= 0) {
                expected[ExportSettings::Key(key)] = " neu " + FieldNames[key] + " ";
                QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(field, expected.value(ExportSettings::Key(key)));
            }
            QTest::keyClick(field, Qt::Key_Tab);
        }
        if (opening == 1)
            expected.setValue(ExportSettings::EXPORTPATH, "neu Tx_PathExport");
        if (way == "button") {
            window.findChild<QPushButton *>("But_Schliessen")->click();
        } else if (way == "close box") {
            QCloseEvent closeBox;
            QApplication::sendEvent(window.windowHandle(), &closeBox);
        } else {
            window.reject();
        }
        QVERIFY(!window.isVisible());
        for (int key = 0; key < ExportSettings::KeyCount; ++key)
            QCOMPARE(settings.value(ExportSettings::Key(key)),
                     expected.value(ExportSettings::Key(key)));
    }
    QCOMPARE(tabOrder,
             QString("Tx_PathExport Cb_LNrBrett Cb_KvNrBrett Cb_ExtKvNr Tx_FoA Tx_FoANr Tx_FWJ "
                     "Tx_Bundesland Cb_Revier Cb_Distrikt Cb_StrasseRevier Cb_PlzRevier "
                     "Cb_OrtRevier Cb_NameRevF Cb_TelRevF Cb_Abt Cb_UAbt But_Schliessen "
                     "Tx_SteuerNr Cb_Zertifizierung Tx_ZertifizierungsNr Cb_SteuerNrWB "
                     "Cb_ZertifizierungWB Cb_ZertifizierungsNrWB Tx_PathExport")
                     .split(' '));
}

void TestFEinst::combos_openAtTheirValueKeepTheirListsWhenReopenedAndTypedIn()
{
    const QString logColumns =
            "RELTABLE1 RELTABLE2 RELTABLE3 RELTABLE4 RELTABLE5 RELTABLE6 RELTABLE7 RELTABLE8 "
            "RELTABLE9 RELTABLE10 TEXT1 TEXT2 TEXT3 TEXT4 TEXT5 TEXT6 TEXT7 TEXT8 TEXT9 TEXT10 "
            "TEXT11 TEXT12 TEXT13 TEXT14 TEXT15 FREI1 FREI2 FREI3 FREI4 FREI5 WO1 WO2 WO3 WO4 "
            "WO5 WO6";
    const QString ownerAccounts =
            "BLZ BANK KONTO POSTSCHECK UID BLZ1 BANK1 KONTO1 POSTSCHECK1 UID1";
    ExportSettings settings;
    settings.setValue(ExportSettings::KAUVERTRNR, "TEXT2");
    settings.setValue(ExportSettings::ZERTIFIZIERUNGWB, "PEFC");
    settings.setValue(ExportSettings::ZERTIFIZIERUNGSNRWB, "UID1");
    F_Einst window(settings);
    for (int opening = 0; opening < 3; ++opening) {
        window.show();
        for (QComboBox *combo : window.findChildren<QComboBox *>()) {
            const QString name = combo->objectName();
            QStringList listed;
            for (int i = 0; i < combo->count(); ++i)
                listed << combo->itemText(i);
            // The list opens at the stored value when that is an entry, else at none.
            QCOMPARE(name + ": " + QString::number(combo->currentIndex()),
                     name + ": " + QString::number(listed.indexOf(combo->currentText())));
            QCOMPARE(name + ": " + listed.join(' '),
                     name + ": "
                             + (name == "Cb_Zertifizierung" || name == "Cb_ZertifizierungWB"
                                        ? "FSC PEFC"
                                        : name.endsWith("WB") ? ownerAccounts
                                                              : logColumns));
            // A character Brett.Ini cannot hold is refused as it is typed, and said so.
            combo->lineEdit()->setText("FSC");
            type(combo->lineEdit(), "Ł");
            QCOMPARE(name + ": " + combo->currentText(), name + ": FSC");
            QCOMPARE(QToolTip::text(), "Das Zeichen Ł kann Brett.Ini nicht aufnehmen.");
            QToolTip::hideText();
            // An entry in small letters is no entry: it stays as typed and is not added.
            combo->lineEdit()->clear();
            QTest::keyClicks(combo, listed.first().toLower());
            QTest::keyClick(combo, Qt::Key_Return);
            combo->clearFocus();
            QCOMPARE(combo->currentText(), listed.first().toLower());
            QCOMPARE(combo->count(), listed.size());
        }
        auto *forstamt = window.findChild<QLineEdit *>("Tx_FoA");
        forstamt->setText("Nord");
        type(forstamt, "€Ł");
        QCOMPARE(forstamt->text(), "Nord€");
        window.close();
    }
}

QTEST_MAIN(TestFEinst)
#include "tst_feinst.moc"
