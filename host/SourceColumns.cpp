#include "host/SourceColumns.h"

namespace {

const char *const OwnerAccountBeginnings[] = { "BLZ", "BANK", "KONTO", "POSTSCHECK", "UID" };

} // namespace

const SourceColumns::NumberedGroup SourceColumns::Groups[4] = {
    { "RELTABLE", 10, Row::Log },
    { "TEXT", 15, Row::Header },
    { "FREI", 5, Row::Log },
    { "WO", 6, Row::Log },
};

bool SourceColumns::rowOf(const QString &trimmedSetting, Row *row)
{
    for (const NumberedGroup &group : Groups) {
        if (trimmedSetting.startsWith(QLatin1String(group.beginning))) {
            *row = group.row;
            return true;
        }
    }
    return false;
}

bool SourceColumns::isOwnerAccount(const QString &trimmedSetting)
{
    for (const char *beginning : OwnerAccountBeginnings) {
        if (trimmedSetting.startsWith(QLatin1String(beginning)))
            return true;
    }
    return false;
}

QStringList SourceColumns::numberedColumns(const char *beginning)
{
    QStringList columns;
    for (const NumberedGroup &group : Groups) {
        if (qstrcmp(group.beginning, beginning) != 0)
            continue;
        for (int n = 1; n <= group.count; ++n)
            columns << QLatin1String(group.beginning) + QString::number(n);
    }
    return columns;
}

QStringList SourceColumns::numberedColumns()
{
    QStringList columns;
    for (const NumberedGroup &group : Groups)
        columns << numberedColumns(group.beginning);
    return columns;
}

QStringList SourceColumns::ownerAccountColumns()
{
    QStringList columns;
    for (const char *suffix : { "", "1" }) {
        for (const char *beginning : OwnerAccountBeginnings)
            columns << QLatin1String(beginning) + QLatin1String(suffix);
    }
    return columns;
}
