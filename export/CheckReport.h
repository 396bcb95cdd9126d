#pragma once

#include "export/DeliverySummary.h"
#include "settings/ExportSettings.h"

#include <QList>
#include <QString>
#include <QStringList>

// What a check of a list found, for the command line's --check and the main window's check
// report alike: every failed check of every log, instead of the first log's alone.
//
// A problem that does not depend on the log (a missing setting, the list's header) would fail
// every log the same way; it is listed once, with the setting where the user mends it.
class CheckReport
{
public:
    struct SharedProblem
    {
        QString message;
        // The setting to mend; KeyCount when the value comes from the list's header.
        ExportSettings::Key key = ExportSettings::KeyCount;
    };
    struct LogProblem
    {
        int position = 0;      // of the log in the checked order, from 1
        QString logNumber;     // as stored; empty when missing
        bool numbered = false; // the number is above 0, and so names the log
        QString lot;
        QString message;
    };

    void setSelection(const QString &list, const QStringList &lots);
    // Adds a shared problem unless it is listed already.
    void addShared(const QString &message, ExportSettings::Key key);
    void addLogProblem(const LogProblem &problem);
    // What is probably wrong but does not stop an export, a line beginning "Hinweis".
    void addHint(const QString &hint);
    void countLog(bool failed);
    // The volume and summary of the checked logs.
    void setSummary(const DeliverySummary &summary) { m_summary = summary; }
    // The check went through every log; a run that stopped on the way has no report.
    void setComplete() { m_complete = true; }

    // "Liste 4712, Lose A, C", "Liste 4712, alle Lose"; the empty entry reads "ohne Los".
    QString selectionText() const;
    QString list() const { return m_list; }
    QStringList lots() const { return m_lots; }
    const QList<SharedProblem> &sharedProblems() const { return m_shared; }
    const QList<LogProblem> &logProblems() const { return m_logProblems; }
    const QStringList &hints() const { return m_hints; }
    const DeliverySummary &summary() const { return m_summary; }
    int logsChecked() const { return m_logsChecked; }
    int logsFailed() const { return m_logsFailed; }
    bool isComplete() const { return m_complete; }
    bool isClean() const { return m_shared.isEmpty() && m_logProblems.isEmpty(); }

    // Where the user mends a shared problem: the settings window's field, or the list header.
    static QString whereToMend(ExportSettings::Key key);
    // A log as the report names it: by its number, or when that is 0 or missing by its lot
    // and position, as the number alone would not find it.
    static QString logName(const LogProblem &problem);
    // "25 Stämme geprüft, 3 fehlerhaft".
    QString counts() const;

    // The report as text, one line a problem: the shared problems, the logs' problems, the
    // hints, the counts, then "Keine Fehler gefunden" when there are none.
    QStringList lines() const;
    // The whole report as the command line prints it and the window copies it: the selection,
    // then lines(), each ended by a line feed, then after an empty line the summary's table.
    QString text() const;

private:
    QString m_list;
    QStringList m_lots;
    QList<SharedProblem> m_shared;
    QList<LogProblem> m_logProblems;
    QStringList m_hints;
    DeliverySummary m_summary;
    int m_logsChecked = 0;
    int m_logsFailed = 0;
    bool m_complete = false;
};
