#include "export/FieldSource.h"

#include "base/TextRules.h"
#include "host/HostDatabase.h"

namespace {

bool startsWithAny(const QString &text, std::initializer_list<const char *> beginnings)
{
    for (const char *beginning : beginnings) {
        if (text.startsWith(QLatin1String(beginning)))
            return true;
    }
    return false;
}

} // namespace

FieldSource::Kind FieldSource::logSettingKind(const QString &trimmedSetting)
{
    if (trimmedSetting.startsWith(QLatin1String("TEXT")))
        return HeaderColumn;
    if (startsWithAny(trimmedSetting, { "WO", "FREI", "RELTABLE" }))
        return LogColumn;
    return FixedText;
}

FieldSource::Kind FieldSource::ownerSettingKind(const QString &trimmedSetting)
{
    if (startsWithAny(trimmedSetting, { "BLZ", "BANK", "KONTO", "POSTSCHECK", "UID" }))
        return OwnerColumn;
    return FixedText;
}

bool FieldSource::bind(const QString &setting, Kind kind, Kind columnKind, const HostRow &row)
{
    m_kind = kind;
    m_text = setting;
    m_column = -1;
    if (kind != columnKind)
        return true;
    m_column = row.indexOf(setting);
    return m_column >= 0;
}

bool FieldSource::bindHeader(QString &setting, const HostRow &header)
{
    setting = TextRules::trimBlanks(setting);
    return bind(setting, logSettingKind(setting), HeaderColumn, header);
}

bool FieldSource::bindLog(QString &setting, const HostRow &log)
{
    setting = TextRules::trimBlanks(setting);
    return bind(setting, logSettingKind(setting), LogColumn, log);
}

bool FieldSource::bindOwner(QString &setting, const HostRow &log)
{
    setting = TextRules::trimBlanks(setting);
    return bind(setting, ownerSettingKind(setting), OwnerColumn, log);
}

QString FieldSource::columnText(const HostRow &row, const QLocale &locale) const
{
    return m_column < 0 ? QString() : row.value(m_column).toText(locale);
}

QString FieldSource::headerValue(const HostRow &header, const QLocale &locale) const
{
    switch (m_kind) {
    case HeaderColumn:
        return columnText(header, locale);
    case LogColumn:
        // A log column has no value at header level; each log supplies its own.
        return QString();
    default:
        return m_text;
    }
}

void FieldSource::updateLogValue(QString &value, const HostRow &log, const QLocale &locale) const
{
    if (m_kind == LogColumn)
        value = columnText(log, locale);
    else if (m_kind != HeaderColumn)
        value = m_text;
}

QString FieldSource::ownerValue(const HostRow &log, const QLocale &locale) const
{
    return m_kind == OwnerColumn ? columnText(log, locale) : m_text;
}

QString ResolveHeaderField(QString &setting, const HostRow &header, const QLocale &locale,
                           QString *missingColumn)
{
    FieldSource source;
    if (!source.bindHeader(setting, header)) {
        *missingColumn = source.columnName();
        return QString();
    }
    return source.headerValue(header, locale);
}

void ResolveLogField(QString &setting, QString &value, const HostRow &log, const QLocale &locale,
                     QString *missingColumn)
{
    FieldSource source;
    if (!source.bindLog(setting, log)) {
        *missingColumn = source.columnName();
        value.clear();
        return;
    }
    source.updateLogValue(value, log, locale);
}

QString ResolveOwnerField(QString &setting, const HostRow &log, const QLocale &locale,
                          QString *missingColumn)
{
    FieldSource source;
    if (!source.bindOwner(setting, log)) {
        *missingColumn = source.columnName();
        return QString();
    }
    return source.ownerValue(log, locale);
}
