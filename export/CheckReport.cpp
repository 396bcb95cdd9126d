#include "export/CheckReport.h"

void CheckReport::setSelection(const QString &list, const QStringList &lots)
{
    m_list = list;
    m_lots = lots;
}

QString CheckReport::selectionText() const
{
    QString text = QStringLiteral("Liste ") + m_list + QStringLiteral(", ");
    if (m_lots.isEmpty())
        return text + QStringLiteral("alle Lose");
    QStringList lots;
    for (const QString &lot : m_lots)
        lots << (lot.isEmpty() ? QStringLiteral("ohne Los") : lot);
    return text + (lots.size() == 1 ? QStringLiteral("Los ") : QStringLiteral("Lose "))
            + lots.join(QStringLiteral(", "));
}

void CheckReport::addShared(const QString &message, ExportSettings::Key key)
{
    for (const SharedProblem &problem : m_shared) {
        if (problem.message == message)
            return;
    }
    m_shared.append({ message, key });
}

void CheckReport::addLogProblem(const LogProblem &problem)
{
    m_logProblems.append(problem);
}

void CheckReport::addHint(const QString &hint)
{
    m_hints.append(hint);
}

void CheckReport::countLog(bool failed)
{
    ++m_logsChecked;
    if (failed)
        ++m_logsFailed;
}

QString CheckReport::whereToMend(ExportSettings::Key key)
{
    if (key == ExportSettings::KeyCount)
        return QStringLiteral("Listenkopf");
    return QStringLiteral("Einstellungen, „%1“").arg(ExportSettings::label(key));
}

QString CheckReport::logName(const LogProblem &problem)
{
    if (problem.numbered)
        return QStringLiteral("Stamm ") + problem.logNumber;
    const QString lot = problem.lot.isEmpty() ? QStringLiteral("ohne Los")
                                              : QStringLiteral("Los ") + problem.lot;
    const QString number = problem.logNumber.isEmpty()
            ? QStringLiteral("Stamm ohne Nummer")
            : QStringLiteral("Stamm ") + problem.logNumber;
    return QStringLiteral("%1 (%2, Position %3)").arg(number, lot).arg(problem.position);
}

QString CheckReport::counts() const
{
    return QStringLiteral("%1 %2 geprüft, %3 fehlerhaft")
            .arg(m_logsChecked)
            .arg(m_logsChecked == 1 ? QStringLiteral("Stamm") : QStringLiteral("Stämme"))
            .arg(m_logsFailed);
}

QStringList CheckReport::lines() const
{
    QStringList lines;
    for (const SharedProblem &problem : m_shared)
        lines << QStringLiteral("Alle Stämme: %1 (%2)")
                         .arg(problem.message, whereToMend(problem.key));
    for (const LogProblem &problem : m_logProblems)
        lines << logName(problem) + QStringLiteral(": ") + problem.message;
    lines << m_hints;
    lines << counts();
    if (isClean())
        lines << QStringLiteral("Keine Fehler gefunden");
    return lines;
}

QString CheckReport::text() const
{
    return (QStringList { selectionText() } + lines()).join(u'\n') + QStringLiteral("\n\n")
            + m_summary.table();
}
