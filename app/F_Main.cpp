#include "app/F_Main.h"

#include "app/F_Einst.h"
#include "app/F_InfoUber.h"
#include "app/F_Lieferschein.h"
#include "app/F_Lieferungen.h"
#include "app/F_Pruefbericht.h"
#include "base/TextRules.h"
#include "base/Version.h"
#include "export/ExportRun.h"
#include "export/Ledger.h"
#include "host/HostLists.h"
#include "settings/BrettIni.h"
#include "settings/StartSequence.h"
#include "ui/ModalMessage.h"
#include "ui/Twips.h"
#include "ui/WaitCursor.h"
#include "ui/WindowFont.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <functional>
#include <utility>

namespace {

// The text field of the list selector. Leaving the field or pressing Enter after typing a
// name is no choice of an entry, so the combo box must not hear of it: it would take a typed
// name that matches an entry as that entry chosen. The window hears of it instead, and follows
// the name typed.
class TypedNameEdit : public QLineEdit
{
public:
    TypedNameEdit(QWidget *parent, std::function<void()> confirmed)
        : QLineEdit(parent), m_confirmed(std::move(confirmed))
    {
    }

protected:
    void focusOutEvent(QFocusEvent *event) override
    {
        {
            const QSignalBlocker blocker(this);
            QLineEdit::focusOutEvent(event);
        }
        // The selector's own list, a message box or another program taking the focus is no
        // leaving: a box may show in the middle of a run on the connection.
        if (event->reason() != Qt::PopupFocusReason
            && event->reason() != Qt::ActiveWindowFocusReason)
            m_confirmed();
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            {
                const QSignalBlocker blocker(this);
                QLineEdit::keyPressEvent(event);
            }
            m_confirmed();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    std::function<void()> m_confirmed;
};

} // namespace

F_Main::F_Main(const QString &applicationDirectory, QWidget *parent)
    : QWidget(parent), m_applicationDirectory(applicationDirectory)
{
    buildControls();
}

namespace {

// The export's boxes, and after a successful export "Export erfolgreich!" with the delivery
// note beside OK.
class DeliveryMessages : public ModalMessage
{
public:
    using ModalMessage::ModalMessage;
    void setRun(const ExportRun *run) { m_run = run; }

    void showSuccess(const QString &text) override
    {
        if (!showOffering(parentWidget(), text, QStringLiteral("Lieferschein…"),
                          QStringLiteral("But_Lieferschein"))
            || !m_run)
            return;
        const ArrowCursor arrow;
        F_Lieferschein window(DeliveryNote::html(m_run->delivery()), m_run->delivery().fileName,
                              parentWidget());
        window.exec();
    }

private:
    const ExportRun *m_run = nullptr;
};

} // namespace

F_Main::~F_Main() = default;

void F_Main::buildControls()
{
    setFont(WindowFont::standard());

    // The designed client area stays as it is, below a menu bar for what it has no room
    // for; the window grows by the menu bar's height.
    auto *menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("MenuBar"));
    QMenu *liste = menuBar->addMenu(QStringLiteral("&Liste"));
    QAction *pruefen = liste->addAction(QStringLiteral("&Prüfen…"));
    pruefen->setObjectName(QStringLiteral("Mnu_Pruefen"));
    pruefen->setShortcut(Qt::Key_F7);
    connect(pruefen, &QAction::triggered, this, &F_Main::Mnu_Pruefen_Click);
    // The shortcut works wherever the focus is in the window, not only in the open menu.
    addAction(pruefen);
    QAction *lieferungen = liste->addAction(QStringLiteral("&Lieferungen…"));
    lieferungen->setObjectName(QStringLiteral("Mnu_Lieferungen"));
    connect(lieferungen, &QAction::triggered, this, &F_Main::Mnu_Lieferungen_Click);
    const QSize clientSize = Twips::size(4905, 3150);
    const int menuHeight = menuBar->sizeHint().height();
    menuBar->setGeometry(0, 0, clientSize.width(), menuHeight);
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setGeometry(QRect(QPoint(0, menuHeight), clientSize));
    setFixedSize(clientSize.width(), clientSize.height() + menuHeight);

    auto *label1 = new QLabel(QStringLiteral("Liste auswähen:"), client);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(Twips::rect(240, 120, 1575, 255));

    m_cbListe = new QComboBox(client);
    m_cbListe->setObjectName(QStringLiteral("CbListe"));
    m_cbListe->setGeometry(Twips::rect(240, 360, 2895, 315));
    // Free typing, but the typed text stays as typed: no completion, no new entries.
    m_cbListe->setLineEdit(new TypedNameEdit(m_cbListe, [this] { CbListe_Confirmed(); }));
    m_cbListe->setInsertPolicy(QComboBox::NoInsert);
    m_cbListe->setCompleter(nullptr);

    auto *bStart = new QPushButton(QStringLiteral("Konvertierung starten"), client);
    bStart->setObjectName(QStringLiteral("B_Start"));
    bStart->setGeometry(Twips::rect(240, 840, 2895, 375));

    auto *bEinstellungen = new QPushButton(QStringLiteral("Einstellungen"), client);
    bEinstellungen->setObjectName(QStringLiteral("B_Einstellungen"));
    bEinstellungen->setGeometry(Twips::rect(240, 1320, 2895, 375));

    auto *bInfo = new QPushButton(QStringLiteral("Info über..."), client);
    bInfo->setObjectName(QStringLiteral("B_Info"));
    bInfo->setGeometry(Twips::rect(240, 1800, 2895, 375));

    auto *frAn = new QGroupBox(QStringLiteral("Bitte senden Sie Ihre Listen an"), client);
    frAn->setObjectName(QStringLiteral("Fr_An"));
    frAn->setGeometry(Twips::rect(240, 2280, 2895, 735));

    auto *labelBrettholm = new QLabel(QStringLiteral("Brettholm"), frAn);
    labelBrettholm->setObjectName(QStringLiteral("Label2"));
    labelBrettholm->setGeometry(Twips::rect(1080, 360, 1215, 255));
    QFont bold = labelBrettholm->font();
    bold.setBold(true);
    labelBrettholm->setFont(bold);

    auto *label4 = new QLabel(QStringLiteral("Los(e) auswählen:"), client);
    label4->setObjectName(QStringLiteral("Label4"));
    label4->setGeometry(Twips::rect(3360, 360, 1455, 255));

    m_lbLos = new QListWidget(client);
    m_lbLos->setObjectName(QStringLiteral("LbLos"));
    m_lbLos->setGeometry(Twips::rect(3360, 720, 1455, 1620));
    m_lbLos->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lbLos->setSortingEnabled(false);

    auto *bClose = new QPushButton(QStringLiteral("Schließen"), client);
    bClose->setObjectName(QStringLiteral("B_Close"));
    bClose->setGeometry(Twips::rect(3360, 2640, 1455, 375));

    // The keyboard order of the layout: settings, info, list, lots, start, close.
    setTabOrder(bEinstellungen, bInfo);
    setTabOrder(bInfo, m_cbListe);
    setTabOrder(m_cbListe, m_lbLos);
    setTabOrder(m_lbLos, bStart);
    setTabOrder(bStart, bClose);
    bEinstellungen->setFocus();

    // Choosing an entry refills the lots; a typed name does when it is confirmed.
    connect(m_cbListe, &QComboBox::activated, this, &F_Main::FillLbLos);
    connect(bStart, &QPushButton::clicked, this, &F_Main::B_Start_Click);
    connect(bClose, &QPushButton::clicked, this, &QWidget::close);
    connect(bEinstellungen, &QPushButton::clicked, this, &F_Main::B_Einstellungen_Click);
    connect(bInfo, &QPushButton::clicked, this, &F_Main::B_Info_Click);
}

QString F_Main::brettIniPath() const
{
    return StartSequence(m_applicationDirectory).brettIniPath();
}

bool F_Main::Form_Load(const QString &commandLineText)
{
    setWindowTitle(QStringLiteral("Brettholm-32"));
    setWindowTitle(QStringLiteral("Brettholm-32 Version ") + Version::text());

    const WaitCursor waiting;
    StartSequence start(m_applicationDirectory);
    QString connectionString;
    if (!start.resolveConnection(commandLineText, &connectionString)
        || !start.openDatabase(m_database, connectionString)) {
        m_errorString = start.errorString();
        return false;
    }
    start.initSettings(m_settings);
    if (!fillListSelector()) {
        m_database.close();
        return false;
    }
    if (!start.loadSettings(m_settings, brettIniPath())) {
        m_errorString = start.errorString();
        m_database.close();
        return false;
    }
    m_loaded = true;
    return true;
}

bool F_Main::fillListSelector()
{
    m_cbListe->clear();
    HostLists lists(m_database);
    QStringList names;
    if (!lists.openLists(&names)) {
        m_errorString = StartSequence::failureText(lists.errorNumber(), lists.errorString());
        return false;
    }
    m_cbListe->addItems(names);
    m_cbListe->setCurrentIndex(-1);
    m_cbListe->setEditText(QString());
    return true;
}

void F_Main::FillLbLos()
{
    const WaitCursor waiting;
    m_lbLos->clear();
    m_lotsList = TextRules::trimBlanks(m_cbListe->currentText());
    HostLists lists(m_database);
    QStringList lots;
    if (!lists.lotsOfList(m_lotsList, &lots)) {
        ModalMessage::show(this,
                           StartSequence::failureText(lists.errorNumber(), lists.errorString()));
        return;
    }
    m_lbLos->addItems(lots);
}

// A name typed and confirmed with Enter, or left, is followed when it is another than the one
// whose lots are shown; the same name keeps the lots and their selection.
void F_Main::CbListe_Confirmed()
{
    if (TextRules::trimBlanks(m_cbListe->currentText()) != m_lotsList)
        FillLbLos();
}

bool F_Main::selection(QString *list, QStringList *lots)
{
    *list = m_cbListe->currentText();
    lots->clear();
    for (int row = 0; row < m_lbLos->count(); ++row) {
        if (m_lbLos->item(row)->isSelected())
            *lots << m_lbLos->item(row)->text();
    }
    // A name typed and not yet confirmed has not refilled the lots, so selected lots may be
    // those of another list; the run would filter that list by them and export nothing, as if
    // that were right.
    const QString typed = TextRules::trimBlanks(*list);
    if (lots->isEmpty() || typed.isEmpty() || typed == m_lotsList)
        return true;
    ModalMessage::show(
            this,
            QStringLiteral("Die ausgewählten Lose gehören zu Liste %1 - Abbruch!").arg(m_lotsList));
    return false;
}

void F_Main::B_Start_Click()
{
    QString list;
    QStringList lots;
    if (!selection(&list, &lots))
        return;
    const WaitCursor waiting;
    DeliveryMessages messages(this);
    ExportRun run(m_database, m_settings, messages);
    messages.setRun(&run);
    run.setLedgerPath(Ledger::besideSettings(brettIniPath()));
    run.run(list, lots);
}

void F_Main::Mnu_Lieferungen_Click()
{
    F_Lieferungen window(Ledger::besideSettings(brettIniPath()), this);
    window.exec();
}

// The same check as the command line's --check. What ends the run shows in a box as in the
// export; a check that went through every log shows its report.
void F_Main::Mnu_Pruefen_Click()
{
    QString list;
    QStringList lots;
    if (!selection(&list, &lots))
        return;
    ModalMessage messages(this);
    ExportRun run(m_database, m_settings, messages);
    run.setMode(ExportRun::CheckOnly);
    {
        const WaitCursor waiting;
        run.run(list, lots);
    }
    if (!run.report().isComplete())
        return;
    F_Pruefbericht report(run.report(), this);
    report.exec();
}

// Modal for the whole application, with no owner. The values stay in memory; only the close
// of this window writes them to Brett.Ini.
void F_Main::B_Einstellungen_Click()
{
    F_Einst window(m_settings);
    window.exec();
}

// Modal for the whole application, with no owner.
void F_Main::B_Info_Click()
{
    F_InfoUber window;
    window.exec();
}

void F_Main::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void F_Main::Form_Unload()
{
    if (!m_loaded)
        return;
    m_loaded = false;
    BrettIni ini(brettIniPath());
    if (!ini.SaveBrettIni(m_settings))
        ModalMessage::show(this, ini.errorString());
    m_database.close();
}
