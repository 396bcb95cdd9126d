#include "ModalRecorder.h"
#include "app/F_Einst.h"
#include "app/F_InfoUber.h"
#include "app/F_Main.h"
#include "base/QtTranslations.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

// The three windows as a person sees them: captions, places, keys, how they open, and what
// the settings window keeps.
class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QtTranslations::installGerman()); }
    void layout_captionsFitPlacesHoldAndEverythingShowsInk_data();
    void layout_captionsFitPlacesHoldAndEverythingShowsInk();
    void mainWindow_menuBarAboveTheDesignedClientAreaAndTabFollowsTheLayout();
    void mainWindowButtons_openModallyOnTheSettingsInMemoryNoKeyCloses_data();
    void mainWindowButtons_openModallyOnTheSettingsInMemoryNoKeyCloses();
    void everyClose_storesEveryFieldAsShownOrTyped_data();
    void everyClose_storesEveryFieldAsShownOrTyped();
    void combos_openAtTheirValueKeepTheirListsWhenReopenedAndTypedIn();
#ifndef Q_OS_WIN
    // Qt's own folder dialog and its German catalogue; Windows shows its own dialog in its
    // own language (and under Wine the test crashed inside the dialog's lookup).
    void exportDirectory_chosenInTheSystemsGermanFolderDialog();
#endif

private:
    // The window of that name, shown.
    QWidget *show(const QString &window);

    QTemporaryDir m_appDir;
    ExportSettings m_settings;
    std::unique_ptr<QWidget> m_window;
};

namespace {

// The caption a widget shows, without its mnemonic marks; empty for a widget without one.
QString caption(const QWidget *widget)
{
    QString text;
    if (auto *label = qobject_cast<const QLabel *>(widget))
        text = label->text();
    else if (auto *button = qobject_cast<const QPushButton *>(widget))
        text = button->text();
    else if (auto *group = qobject_cast<const QGroupBox *>(widget))
        text = group->title();
    return text.remove('&');
}

// How many pixels of the rectangle the predicate takes for ink.
template<typename Ink>
int inkedPixels(const QImage &image, const QRect &rect, Ink ink)
{
    int inked = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            inked += ink(qGray(image.pixel(x, y)));
    }
    return inked;
}

// The field of a key, found as a user finds it: by its label.
QWidget *field(const F_Einst &window, int key)
{
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        if (label->text() == ExportSettings::label(ExportSettings::Key(key)))
            return window.findChild<QWidget *>(label->objectName().chopped(6)); // "_Label"
    }
    return nullptr;
}

// Types text as a keyboard of any layout does; QTest's own typing takes ASCII only.
void type(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

} // namespace

QWidget *TestWindows::show(const QString &window)
{
    if (window == "main")
        m_window = std::make_unique<F_Main>(m_appDir.path());
    else if (window == "settings")
        m_window = std::make_unique<F_Einst>(m_settings);
    else
        m_window = std::make_unique<F_InfoUber>();
    m_window->show();
    return m_window.get();
}

void TestWindows::layout_captionsFitPlacesHoldAndEverythingShowsInk_data()
{
    // Besides the captions, one place of the twips layout per window in pixels, relative to its
    // frame (an empty control: the window on the screen). It catches a unit slip or a control
    // in the wrong frame.
    QTest::addColumn<int>("captions");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("fields"); // edit fields shown
    QTest::newRow("main") << 8 << "LbLos" << QRect(224, 48, 97, 108) << 1;
    QTest::newRow("settings") << 27 << "" << QRect(105, 108, 582, 428) << 23;
    QTest::newRow("about") << 4 << "LbVersion" << QRect(320, 40, 57, 17) << 0;
}

void TestWindows::layout_captionsFitPlacesHoldAndEverythingShowsInk()
{
    QFETCH(int, captions);
    QFETCH(QString, control);
    QWidget *shown = show(QTest::currentDataTag());
    QTEST((control.isEmpty() ? shown : shown->findChild<QWidget *>(control))->geometry(),
          "geometry");
    int measured = 0;
    QSet<QString> checked;
    QStringList blank;
    for (const QWidget *widget : shown->findChildren<QWidget *>()) {
        const QString text = caption(widget);
        if (text.isEmpty())
            continue;
        QRect box = widget->contentsRect();
        if (qobject_cast<const QPushButton *>(widget)) {
            const int margin = widget->style()->pixelMetric(QStyle::PM_ButtonMargin);
            box.adjust(margin, 0, -margin, 0);
        }
        ++measured;
        const QFontMetrics metrics = widget->fontMetrics();
        const int width = metrics.horizontalAdvance(text);
        QVERIFY2(width <= box.width() && metrics.height() <= box.height(),
                 qPrintable(QString("%1: %2 px in %3").arg(text).arg(width).arg(box.width())));
        // A font engine that cuts a glyph to a box measured apart from the drawing loses the
        // narrow letters whole ("Bundes and"); each character alone must leave ink.
        for (const QChar c : std::as_const(text)) {
            const QString key = c + widget->font().toString();
            if (c.isSpace() || checked.contains(key))
                continue;
            checked.insert(key);
            QImage image(metrics.height() * 3, metrics.height() * 2, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setFont(widget->font());
            painter.setPen(Qt::black);
            painter.drawText(metrics.height(), metrics.height() / 2 + metrics.ascent(), c);
            painter.end();
            if (inkedPixels(image, image.rect(), [](int gray) { return gray < 160; }) == 0)
                blank << QString("'%1' (%2)").arg(c).arg(widget->objectName());
        }
    }
    QCOMPARE(measured, captions);
    QVERIFY2(blank.isEmpty(), qPrintable("no ink: " + blank.join(", ")));

    // A font whose line is taller than an edit field has its text centred outside the field, so
    // that the field looks empty while it holds its value; only the pixels show it.
    int fields = 0;
    for (QLineEdit *edit : shown->findChildren<QLineEdit *>()) {
        if (!edit->isVisible())
            continue;
        ++fields;
        edit->setText("Wald 4711");
        edit->setCursorPosition(0);
        const QImage image = edit->grab().toImage();
        QStyleOptionFrame frame;
        frame.initFrom(edit);
        frame.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, edit);
        const QRect inside = edit->style()
                                     ->subElementRect(QStyle::SE_LineEditContents, &frame, edit)
                                     .adjusted(1, 1, -1, -1);
        const int text = qGray(edit->palette().text().color().rgb());
        const int base = qGray(edit->palette().base().color().rgb());
        const int inked = inkedPixels(
                image, inside, [&](int gray) { return qAbs(gray - text) < qAbs(base - text) / 2; });
        const QString name = edit->objectName().isEmpty() ? edit->parentWidget()->objectName()
                                                          : edit->objectName();
        QVERIFY2(inked >= 20, qPrintable(QString("%1: %2 pixels of text").arg(name).arg(inked)));
    }
    QTEST(fields, "fields");
}

void TestWindows::mainWindow_menuBarAboveTheDesignedClientAreaAndTabFollowsTheLayout()
{
    QWidget *main = show("main");
    QVERIFY(QTest::qWaitForWindowActive(main));
    auto *bar = main->findChild<QMenuBar *>("MenuBar");
    const int height = bar->height();
    QVERIFY(height > 0 && height == bar->sizeHint().height());
    QCOMPARE(bar->geometry(), QRect(0, 0, 327, height));
    QCOMPARE(main->findChild<QWidget *>("ClientArea")->geometry(), QRect(0, height, 327, 210));
    QCOMPARE(main->size(), QSize(327, 210 + height));
    // Every control lies in the client area, where the layout test measures it.
    QCOMPARE(main->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size(), 2);
    const QAction *check = main->findChild<QAction *>("Mnu_Pruefen");
    QCOMPARE(bar->actions().at(0)->text() + " " + check->text() + " "
                     + check->shortcut().toString(),
             "&Liste &Prüfen… F7");
    QStringList order;
    for (int i = 0; i <= 6; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order,
             QString("B_Einstellungen B_Info CbListe LbLos B_Start B_Close B_Einstellungen")
                     .split(' '));
}

void TestWindows::mainWindowButtons_openModallyOnTheSettingsInMemoryNoKeyCloses_data()
{
    // What the window opened by each of two clicks shows: its caption, and the Forstamt in
    // memory or the version as the build states it, the notice and the pictures compiled in;
    // then the Forstamt in memory after both.
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("Einstellungen")
            << "B_Einstellungen"
            << QStringList { "Einstellungen Nord", "Einstellungen Nord und Süd",
                             "Nord und Süd und Süd" };
    const QString about =
            "Info über Lindavex Pro by Lindavex Software Version " BRETTHOLM_PROJECT_VERSION
            " © Lindavex Software 150x150 180x30";
    QTest::newRow("Info über...") << "B_Info" << QStringList { about, about, "Nord" };
}

void TestWindows::mainWindowButtons_openModallyOnTheSettingsInMemoryNoKeyCloses()
{
    QFETCH(QString, button);
    auto *main = static_cast<F_Main *>(show("main"));
    main->settings().setValue(ExportSettings::FORSTAMT, "Nord");
    main->settings().setValue(ExportSettings::EXPORTPATH, m_appDir.path());
    const ModalRecorder recorder;
    QStringList shown;
    // Runs inside the modal window's own event loop. An ownerless window is found; neither
    // Escape nor Return closes it, on the window, in a text box or on "Schließen"; the settings
    // window keeps an edit in memory.
    const auto readAndClose = [&] {
        QWidget *window = QApplication::activeModalWidget();
        if (!window || window->parentWidget())
            return;
        QString seen = window->windowTitle();
        if (auto *forstamt = window->findChild<QLineEdit *>("Tx_FoA")) {
            seen += " " + forstamt->text();
            forstamt->setText(forstamt->text() + " und Süd");
        }
        for (const char *name : { "LbVersion", "Label2" }) {
            if (const auto *label = window->findChild<QLabel *>(name))
                seen += " " + label->text();
        }
        for (const QLabel *label : window->findChildren<QLabel *>()) {
            if (const QSize size = label->pixmap().size(); !size.isEmpty())
                seen += QString(" %1x%2").arg(size.width()).arg(size.height());
        }
        for (QWidget *target : { window, static_cast<QWidget *>(window->findChild<QLineEdit *>()),
                                 window->findChild<QWidget *>("But_Schliessen") }) {
            for (const Qt::Key key : { Qt::Key_Escape, Qt::Key_Return }) {
                if (target && window->isVisible())
                    QTest::keyClick(target, key);
            }
        }
        shown << (window->isVisible() ? seen : seen + " closed by a key");
        QCloseEvent closeBox;
        QApplication::sendEvent(window->windowHandle(), &closeBox);
    };
    for (int opening = 0; opening < 2; ++opening) {
        QTimer::singleShot(0, readAndClose);
        main->findChild<QPushButton *>(button)->click();
    }
    shown << main->settings().value(ExportSettings::FORSTAMT);
    QTEST(shown, "shown");
    // An export directory that exists closes the settings without a word.
    QCOMPARE(recorder.messages, QStringList());
    // Only the main window's close writes the settings file.
    QCOMPARE(QDir(m_appDir.path()).entryList(QDir::Files), QStringList());
}

void TestWindows::everyClose_storesEveryFieldAsShownOrTyped_data()
{
    // Every key gets the value with "%1" replaced by its field's name; only the export path
    // is stored without the blanks around it. No such export directory exists, and each close
    // says so.
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("storedExportPath");
    QTest::addColumn<QString>("way");
    const QString longer(40000, 'y');
    QTest::newRow("empty, Schließen") << QString() << QString() << "button";
    QTest::newRow("blanks around, close box") << "  %1 " << QString("Tx_PathExport") << "close box";
    QTest::newRow("tabs are no blanks, rejected from code")
            << "\t%1 \t" << QString("\tTx_PathExport \t") << "reject";
    QTest::newRow("longer than a Qt text box takes by default")
            << "%1" + longer << "Tx_PathExport" + longer << "button";
}

void TestWindows::everyClose_storesEveryFieldAsShownOrTyped()
{
    QFETCH(QString, value);
    QFETCH(QString, storedExportPath);
    QFETCH(QString, way);
    ExportSettings settings;
    F_Einst window(settings);
    QStringList names;
    for (int key = 0; key < ExportSettings::KeyCount; ++key)
        names << field(window, key)->objectName();
    for (int key = 0; key < ExportSettings::KeyCount; ++key)
        settings[ExportSettings::Key(key)] = QString(value).replace("%1", names[key]);
    ExportSettings expected = settings;
    expected.setValue(ExportSettings::EXPORTPATH, storedExportPath);
    QStringList tabOrder;

    // The first opening shows the values and stores them; the second shows what was stored
    // and stores what the user types, going from field to field with Tab, once round the
    // window. A text box whose label announces a width keeps that much of what is typed.
    for (int opening = 0; opening < 2; ++opening) {
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (int key = 0; key < ExportSettings::KeyCount; ++key) {
            const QWidget *shown = field(window, key);
            const char *text = qobject_cast<const QComboBox *>(shown) ? "currentText" : "text";
            QCOMPARE(shown->property(text).toString(), settings.value(ExportSettings::Key(key)));
        }
        for (int stop = 0; opening == 1 && stop < 40; ++stop) {
            QWidget *focus = QApplication::focusWidget();
            tabOrder << focus->objectName();
            if (stop > 0 && tabOrder.last() == tabOrder.first())
                break;
            const int key = names.indexOf(focus->objectName());
            if (key >= 0) {
                const QString typed = " neu " + names[key] + " ";
                QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(focus, typed);
                const QString width =
                        QRegularExpression(R"(\((?:max )?(\d+))")
                                .match(ExportSettings::label(ExportSettings::Key(key)))
                                .captured(1);
                expected[ExportSettings::Key(key)] =
                        typed.left(width.isEmpty() ? -1 : width.toInt());
            }
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        if (opening == 1)
            expected.setValue(ExportSettings::EXPORTPATH, "neu Tx_PathExport");
        ModalRecorder recorder;
        if (way == "button") {
            window.findChild<QPushButton *>("But_Schliessen")->click();
        } else if (way == "close box") {
            QCloseEvent closeBox;
            QApplication::sendEvent(window.windowHandle(), &closeBox);
        } else {
            window.reject();
        }
        QVERIFY(!window.isVisible());
        const QString stored = expected.value(ExportSettings::EXPORTPATH);
        QCOMPARE(recorder.messages,
                 QStringList(stored.isEmpty()
                                     ? "Es ist kein Exportverzeichnis eingetragen."
                                     : "Das Exportverzeichnis „" + stored + "“ gibt es nicht."));
        for (int key = 0; key < ExportSettings::KeyCount; ++key)
            QCOMPARE(settings.value(ExportSettings::Key(key)),
                     expected.value(ExportSettings::Key(key)));
    }
    // Tab reaches every field and both buttons once, then comes back to the first field.
    QStringList reached = tabOrder.mid(1);
    for (const QPushButton *button : window.findChildren<QPushButton *>())
        names << button->objectName();
    reached.sort();
    names.sort();
    QCOMPARE(reached, names);
}

void TestWindows::combos_openAtTheirValueKeepTheirListsWhenReopenedAndTypedIn()
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
    settings.setValue(ExportSettings::EXPORTPATH, m_appDir.path());
    F_Einst window(settings);
    for (int opening = 0; opening < 3; ++opening) {
        window.show();
        for (QComboBox *combo : window.findChildren<QComboBox *>()) {
            const QString name = combo->objectName();
            QStringList listed;
            for (int i = 0; i < combo->count(); ++i)
                listed << combo->itemText(i);
            // The list opens at the stored value when that is an entry, else at none.
            const QString entries = name == "Cb_Zertifizierung" || name == "Cb_ZertifizierungWB"
                    ? "FSC PEFC"
                    : name.endsWith("WB") ? ownerAccounts
                                          : logColumns;
            const QString at = name + " at ";
            QCOMPARE(at + QString::number(combo->currentIndex()) + ": " + listed.join(' '),
                     at + QString::number(listed.indexOf(combo->currentText())) + ": " + entries);
            // A character Brett.Ini cannot hold is refused as it is typed, and said so.
            combo->lineEdit()->setText("FSC");
            type(combo->lineEdit(), "Ł");
            QCOMPARE(name + ": " + combo->currentText() + ", " + QToolTip::text(),
                     name + ": FSC, Das Zeichen Ł kann Brett.Ini nicht aufnehmen.");
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
        // What the delivery line would cut is refused as it is typed, a paste whole.
        QToolTip::hideText();
        forstamt->insert(QString(31, 'x'));
        QCOMPARE(forstamt->text(), "Nord€");
        QCOMPARE(QToolTip::text(), "Die Lieferdatei nimmt hier höchstens 35 Zeichen auf.");
        window.close();
    }
}

// The folder button opens the system's folder dialog, in German, at the directory in the field;
// the folder chosen there goes into the field.
#ifndef Q_OS_WIN
void TestWindows::exportDirectory_chosenInTheSystemsGermanFolderDialog()
{
    const QTemporaryDir chosen;
    ExportSettings settings;
    settings.setValue(ExportSettings::EXPORTPATH, m_appDir.path());
    F_Einst window(settings);
    window.show();
    QStringList seen;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen << dialog->windowTitle() << QDir(dialog->directory()).absolutePath();
        for (const QAbstractButton *button : dialog->findChild<QDialogButtonBox *>()->buttons())
            seen << button->text();
        dialog->setDirectory(chosen.path());
        static_cast<QDialog *>(dialog)->accept(); // as the button "Auswählen" does
    });
    window.findChild<QPushButton *>("But_PathExport")->click();
    QCOMPARE(seen,
             QStringList({ "Exportverzeichnis wählen", QDir(m_appDir.path()).absolutePath(),
                           "&Auswählen", "Abbrechen" }));
    QCOMPARE(window.findChild<QLineEdit *>("Tx_PathExport")->text(),
             QDir::toNativeSeparators(chosen.path()));
}
#endif

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
