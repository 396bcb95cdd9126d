// Renders the three windows as they open on the demo database, the check report, the ledger
// window after two deliveries and the note of the second, into PNG files, for the screenshots
// of the README. Run it on the offscreen platform:
// scripts/screenshots.sh.
//
//   brettholm32-render-windows <application directory> <connection string> <output directory>
//
// The application directory holds the Brett.Ini the windows show; it is rewritten at the end,
// as the program does at exit.

#include "app/F_Einst.h"
#include "app/F_InfoUber.h"
#include "app/F_Lieferschein.h"
#include "app/F_Lieferungen.h"
#include "app/F_Main.h"
#include "app/F_Pruefbericht.h"
#include "export/ExportRun.h"
#include "export/Ledger.h"
#include "export/MessageSink.h"
#include "host/HostDatabase.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QTextStream>

namespace {

bool render(QWidget &window, const QString &path)
{
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    const bool saved = window.grab().save(path);
    if (!saved)
        QTextStream(stderr) << "Cannot write " << path << '\n';
    return saved;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        QTextStream(stderr) << "Usage: " << arguments.value(0)
                            << " <application directory> <connection string> <output directory>\n";
        return 2;
    }
    const QDir output(arguments.at(3));

    F_Main main(arguments.at(1));
    if (!main.Form_Load(arguments.at(2))) {
        QTextStream(stderr) << main.errorString() << '\n';
        return 1;
    }
    // The first list chosen and two of its lots selected, as a user would leave them.
    auto *cbListe = main.findChild<QComboBox *>(QStringLiteral("CbListe"));
    auto *lbLos = main.findChild<QListWidget *>(QStringLiteral("LbLos"));
    if (cbListe->count() > 0) {
        cbListe->setCurrentIndex(0);
        emit cbListe->activated(0);
    }
    for (int row = 1; row < qMin(3, lbLos->count()); ++row)
        lbLos->item(row)->setSelected(true);
    bool ok = render(main, output.filePath(QStringLiteral("main.png")));

    F_Einst settings(main.settings());
    ok = render(settings, output.filePath(QStringLiteral("settings.png"))) && ok;
    // Hidden, not closed: a close would say that the demo's export directory is missing here.
    settings.hide();

    F_InfoUber about;
    ok = render(about, output.filePath(QStringLiteral("about.png"))) && ok;
    about.close();

    // The report of list 4712 with two mistakes a clerk makes: a setting left empty, which
    // every log shares, and a source column that some logs leave empty.
    struct Quiet : MessageSink
    {
        void showMessage(const QString &text) override { QTextStream(stderr) << text << '\n'; }
    } quiet;
    ExportSettings mistaken = main.settings();
    mistaken.setValue(ExportSettings::TELREVIERFORSTER, QString());
    mistaken.setValue(ExportSettings::ABT, QStringLiteral("WO5"));
    HostDatabase database;
    ExportRun check(database, mistaken, quiet);
    check.setMode(ExportRun::CheckOnly);
    // The check fails, as it should: what matters is that it went through every log.
    if (database.open(arguments.at(2)))
        check.run(QStringLiteral("4712"), {});
    ok = check.report().isComplete() && ok;
    F_Pruefbericht report(check.report());
    ok = render(report, output.filePath(QStringLiteral("check.png"))) && ok;
    report.close();

    // Two deliveries into the application directory's ledger, and the window that shows them
    // with the note of the second.
    ExportSettings delivering = main.settings();
    delivering.setValue(ExportSettings::EXPORTPATH, arguments.at(1));
    const QString ledgerPath = Ledger::besideSettings(main.brettIniPath());
    for (const QStringList &selection :
         { QStringList { "4711" }, QStringList { "4712", "A", "C" } }) {
        ExportRun delivery(database, delivering, quiet);
        delivery.setLedgerPath(ledgerPath);
        ok = delivery.run(selection.first(), selection.mid(1)) && ok;
    }
    F_Lieferungen ledger(ledgerPath);
    ok = render(ledger, output.filePath(QStringLiteral("ledger.png"))) && ok;
    Ledger reader(ledgerPath);
    QList<Ledger::Delivery> deliveries;
    ok = reader.open(Ledger::ReadOnly) && reader.deliveries(&deliveries) && !deliveries.isEmpty()
            && ok;
    if (!deliveries.isEmpty()) {
        F_Lieferschein note(deliveries.last().note, QFileInfo(deliveries.last().path).fileName());
        ok = render(note, output.filePath(QStringLiteral("note.png"))) && ok;
    }
    ledger.close();

    main.close();
    return ok ? 0 : 1;
}
