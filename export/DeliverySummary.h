#pragma once

#include "export/TimberVolume.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The first page of a forest office's timber list: the logs of a selection summed per lot,
// species, grade and diameter class, with their number and volume, then the total. Every
// volume is a sum of rounded log volumes (see TimberVolume), so the rows add up to the total
// exactly.
//
// Adding a log costs a hash lookup by its four texts and no allocation once its group exists;
// a selection of 300 000 logs has a few hundred groups.
class DeliverySummary
{
public:
    struct Row
    {
        QString lot;     // trimmed of blanks
        QString species; // HA, trimmed and in upper case
        QString grade;   // GKL, trimmed and in upper case
        TimberVolume::Class diameterClass = TimberVolume::NoClass;
        qint64 logs = 0;
        qint64 hundredths = 0;
    };

    // Rows are ordered by lot as in lotOrder (the lot list's entries, compared trimmed), lots it
    // lacks after them in the order their first log came; within a lot by species, then grade,
    // both by their characters' codes (so "BU" < "FI" < "KI" < "ÄS"), then by class.
    explicit DeliverySummary(const QStringList &lotOrder = {});

    // The texts as read (LOS, HA, GKL; NULL as the empty text), and the log's measure.
    void add(const QString &lot, const QString &species, const QString &grade,
             TimberVolume::Measure measure);

    QList<Row> rows() const;
    qint64 logs() const { return m_logs; }
    qint64 hundredths() const { return m_hundredths; }

    // "Los", "Holzart", "Güte", "Stärkeklasse", "Stämme", "Festmeter".
    static QStringList columnTitles();
    // One list of six texts per row in order, then the total row ("Summe", "", "", "", count,
    // volume); counts as plain digits, volumes as TimberVolume::volumeText().
    QList<QStringList> cells() const;
    // The command line's form: the titles, the rows and the total as lines of ";"-separated
    // cells, each line ended by "\n".
    QString table() const;

private:
    struct Key
    {
        QString lot, species, grade;
        TimberVolume::Class diameterClass;
        bool operator==(const Key &other) const
        {
            return diameterClass == other.diameterClass && lot == other.lot
                    && species == other.species && grade == other.grade;
        }
    };
    struct Sums
    {
        qint64 logs = 0;
        qint64 hundredths = 0;
    };
    friend size_t qHash(const Key &key, size_t seed) noexcept
    {
        return qHashMulti(seed, key.lot, key.species, key.grade, int(key.diameterClass));
    }

    QHash<QString, qsizetype> m_lotRank;
    QHash<Key, Sums> m_sums;
    qint64 m_logs = 0;
    qint64 m_hundredths = 0;
};
