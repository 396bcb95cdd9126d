#pragma once

#include "export/CheckReport.h"
#include "export/DeliveryNote.h"
#include "export/DeliverySummary.h"
#include "export/FieldSource.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <iterator>

class AtomicFile;
class ExportSettings;
class HostDatabase;
class HostQuery;
class HostRow;
class Ledger;
class MessageSink;
struct RunValues;

// One export of a timber list to the delivery file, or one check of it.
//
// The run reads the list's header row and its logs, resolves the field sources, checks every
// value the sawmill requires and writes one line per log. Every message goes to the sink, in
// order; the run waits for each. The delivery file appears only when the whole run succeeded:
// a run that stops leaves no file and an existing file of that name untouched.
//
// The database and the settings are the caller's; the run trims the field-source settings
// in place, as they are then stored.
class ExportRun
{
public:
    enum Mode {
        Export,
        // Checks every log as the export would, goes on after a failed log or a failed check
        // of the header, and writes nothing. What it finds goes to report(); the sink hears
        // only what ends the run (no list, a database error, a missing column).
        CheckOnly
    };

    ExportRun(const HostDatabase &database, ExportSettings &settings, MessageSink &messages,
              const QLocale &locale = QLocale::system());

    void setMode(Mode mode) { m_mode = mode; }
    // The ledger (Lieferbuch.sqlite) that an export records its delivery in, together with the
    // file; an export without one stops before anything is written.
    void setLedgerPath(const QString &path) { m_ledgerPath = path; }

    // listText is the list selector's text, selectedLots the selected entries of the lot list
    // in list order (none: every lot). True after "Export erfolgreich!" or, when checking,
    // when the report is complete and clean.
    bool run(const QString &listText, const QStringList &selectedLots);

    // What a check found; complete only when the check went through every log.
    const CheckReport &report() const { return m_report; }

    // The delivery file's path, once the run has come that far.
    QString deliveryPath() const { return m_deliveryPath; }

    // What a successful export delivered: the delivery note's content.
    const DeliveryNote::Content &delivery() const { return m_delivery; }

    // The statement that reads the logs for a selection filter.
    static QString logStatement(const QString &filter);

private:
    // The steps of run(), in their order. Each that can fail has said why when it returns
    // false.
    struct Selection
    {
        QString filter;
        QVariantList params;
    };
    static Selection selectionFilter(const QString &listName, const QStringList &selectedLots);
    bool readHeaderValues(const QString &listName, RunValues &run);
    // A problem of the header values: said when exporting, listed once when checking.
    void headerProblem(const QString &message, ExportSettings::Key key);
    bool checkSupplier(const RunValues &run);
    bool checkFileName(const RunValues &run);
    QString deliveryFileName(const RunValues &run) const;
    struct LogSources
    {
        FieldSource values[std::size(FieldSource::ValueSettings)];
        FieldSource owners[std::size(FieldSource::OwnerSettings)];
    };
    bool bindLogSources(const HostRow &log, LogSources &sources);
    // What the run reads before the logs themselves: the list's lots and the host's ids of the
    // selection's logs, each when asked for. The driver's text of the first that failed, or "".
    static QString readBeforeLogs(const HostDatabase &database, const Selection &selection,
                                  const QString &listName, QStringList *lots, QList<qint64> *ids);
    // Opens the ledger and asks before a delivery that is probably a mistake: logs delivered
    // before, or a file of another list replaced. Then begins the ledger's record.
    bool beginDelivery(Ledger &ledger, const QList<qint64> &ids, const RunValues &run);
    // Checks every log and writes its line, or when checking fills the report.
    bool exportLogs(HostQuery &logs, RunValues &run, AtomicFile &file, Ledger *ledger);
    bool finish(AtomicFile &file, Ledger *ledger);

    void say(const QString &message);

    const HostDatabase &m_database;
    ExportSettings &m_settings;
    MessageSink &m_messages;
    QLocale m_locale;
    Mode m_mode = Export;
    QString m_deliveryPath;
    QString m_ledgerPath;
    CheckReport m_report;
    DeliverySummary m_summary;
    DeliveryNote::Content m_delivery;
    QString m_listDate; // of the first log, as the note shows it
    qint64 m_lines = 0;
    bool m_headerFailed = false;
};
