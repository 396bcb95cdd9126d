#include "export/DeliverySummary.h"

#include "base/TextRules.h"

#include <algorithm>

DeliverySummary::DeliverySummary(const QStringList &lotOrder)
{
    for (const QString &lot : lotOrder)
        m_lotRank.insert(TextRules::trimBlanks(lot), m_lotRank.size());
}

void DeliverySummary::add(const QString &lot, const QString &species, const QString &grade,
                          TimberVolume::Measure measure)
{
    // Trimming and upper-casing return the text itself, without a copy, when nothing changes.
    const Key key { TextRules::trimBlanks(lot), TextRules::toUpper(TextRules::trimBlanks(species)),
                    TextRules::toUpper(TextRules::trimBlanks(grade)), measure.diameterClass };
    if (!m_lotRank.contains(key.lot))
        m_lotRank.insert(key.lot, m_lotRank.size());
    Sums &sums = m_sums[key];
    ++sums.logs;
    sums.hundredths += measure.hundredths;
    ++m_logs;
    m_hundredths += measure.hundredths;
}

QList<DeliverySummary::Row> DeliverySummary::rows() const
{
    QList<Row> rows;
    rows.reserve(m_sums.size());
    for (auto it = m_sums.cbegin(); it != m_sums.cend(); ++it)
        rows.append({ it.key().lot, it.key().species, it.key().grade, it.key().diameterClass,
                      it.value().logs, it.value().hundredths });
    std::sort(rows.begin(), rows.end(), [this](const Row &a, const Row &b) {
        const qsizetype lotA = m_lotRank.value(a.lot), lotB = m_lotRank.value(b.lot);
        if (lotA != lotB)
            return lotA < lotB;
        if (const int c = a.species.compare(b.species))
            return c < 0;
        if (const int c = a.grade.compare(b.grade))
            return c < 0;
        return a.diameterClass < b.diameterClass;
    });
    return rows;
}

QStringList DeliverySummary::columnTitles()
{
    return { QStringLiteral("Los"),       QStringLiteral("Holzart"),
             QString::fromUtf8("Güte"),   QString::fromUtf8("Stärkeklasse"),
             QString::fromUtf8("Stämme"), QStringLiteral("Festmeter") };
}

QList<QStringList> DeliverySummary::cells() const
{
    QList<QStringList> cells;
    for (const Row &row : rows())
        cells.append({ row.lot, row.species, row.grade, TimberVolume::className(row.diameterClass),
                       QString::number(row.logs), TimberVolume::volumeText(row.hundredths) });
    cells.append({ QStringLiteral("Summe"), QString(), QString(), QString(),
                   QString::number(m_logs), TimberVolume::volumeText(m_hundredths) });
    return cells;
}

QString DeliverySummary::table() const
{
    QString text = columnTitles().join(u';') + u'\n';
    for (const QStringList &row : cells())
        text += row.join(u';') + u'\n';
    return text;
}
