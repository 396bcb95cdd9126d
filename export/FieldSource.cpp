#include "export/FieldSource.h"

#include "base/TextRules.h"
#include "host/HostDatabase.h"
#include "host/SourceColumns.h"

using K = ExportSettings;

const K::Key FieldSource::ValueSettings[12] = {
    K::LIEFNRBRETT,      K::KAUVERTRNR, K::EXTKAUFVERTRNR,
    K::REVIER,           K::DISTRIKT,   K::STRASSEREVIER,
    K::PLZREVIER,        K::ORTREVIER,  K::NAMEREVIERFORSTER,
    K::TELREVIERFORSTER, K::ABT,        K::UABT,
};
const K::Key FieldSource::OwnerSettings[2] = { K::STEUERNRWB, K::ZERTIFIZIERUNGSNRWB };

const QString &FieldSource::trimInPlace(QString &setting)
{
    setting = TextRules::trimBlanks(setting);
    return setting;
}

FieldSource FieldSource::valueSetting(const QString &trimmedSetting)
{
    FieldSource source;
    source.m_text = trimmedSetting;
    SourceColumns::Row row;
    if (SourceColumns::rowOf(trimmedSetting, &row))
        source.m_kind = row == SourceColumns::Row::Header ? HeaderColumn : LogColumn;
    return source;
}

FieldSource FieldSource::ownerSetting(const QString &trimmedSetting)
{
    FieldSource source;
    source.m_text = trimmedSetting;
    if (SourceColumns::isOwnerAccount(trimmedSetting))
        source.m_kind = OwnerColumn;
    return source;
}

bool FieldSource::bind(Kind columnKind, const HostRow &row)
{
    m_column = -1;
    if (m_kind != columnKind)
        return true;
    m_column = row.indexOf(m_text);
    return m_column >= 0;
}

bool FieldSource::bindHeader(const HostRow &header)
{
    return bind(HeaderColumn, header);
}

bool FieldSource::bindLog(const HostRow &log)
{
    return bind(m_kind == OwnerColumn ? OwnerColumn : LogColumn, log);
}

QString FieldSource::columnText(const HostRow &row, const QLocale &locale) const
{
    return m_column < 0 ? QString() : row.value(m_column).toText(locale);
}

QString ResolveHeaderField(const FieldSource &source, const HostRow &header, const QLocale &locale)
{
    switch (source.m_kind) {
    case FieldSource::HeaderColumn:
        return source.columnText(header, locale);
    case FieldSource::LogColumn:
        return QString();
    default:
        return source.m_text;
    }
}

void ResolveLogField(const FieldSource &source, QString &value, const HostRow &log,
                     const QLocale &locale)
{
    if (source.m_kind == FieldSource::LogColumn)
        value = source.columnText(log, locale);
    else if (source.m_kind != FieldSource::HeaderColumn)
        value = source.m_text;
}

QString ResolveOwnerField(const FieldSource &source, const HostRow &log, const QLocale &locale)
{
    return source.m_kind == FieldSource::OwnerColumn ? source.columnText(log, locale)
                                                     : source.m_text;
}
