#include "app/HostValue.h"

#include <QLocale>
#include <QVariant>

#include <cmath>

namespace {

bool isNumericType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QString shortestDecimal(double value)
{
    if (!std::isfinite(value))
        return QString();
    return HostValue::normalizeDecimal(
            QString::number(value, 'f', QLocale::FloatingPointShortest));
}

} // namespace

QString HostValue::normalizeDecimal(const QString &input)
{
    const QString text = input.trimmed();
    qsizetype pos = 0;
    bool negative = false;
    if (pos < text.size() && (text.at(pos) == u'+' || text.at(pos) == u'-')) {
        negative = text.at(pos) == u'-';
        ++pos;
    }
    const qsizetype intBegin = pos;
    while (pos < text.size() && text.at(pos).isDigit() && text.at(pos).unicode() < 128)
        ++pos;
    QStringView intPart = QStringView(text).mid(intBegin, pos - intBegin);
    QStringView fracPart;
    if (pos < text.size() && text.at(pos) == u'.') {
        const qsizetype fracBegin = ++pos;
        while (pos < text.size() && text.at(pos).isDigit() && text.at(pos).unicode() < 128)
            ++pos;
        fracPart = QStringView(text).mid(fracBegin, pos - fracBegin);
    }
    if (intPart.isEmpty() && fracPart.isEmpty())
        return QString();
    if (pos < text.size()) {
        // Only an exponent may follow; such values went through a binary floating type anyway.
        if (text.at(pos) != u'e' && text.at(pos) != u'E')
            return QString();
        bool ok = false;
        const double value = text.toDouble(&ok);
        return ok ? shortestDecimal(value) : QString();
    }
    while (intPart.size() > 1 && intPart.front() == u'0')
        intPart = intPart.mid(1);
    while (!fracPart.isEmpty() && fracPart.back() == u'0')
        fracPart.chop(1);
    QString result;
    if (intPart.isEmpty())
        intPart = u"0";
    if (negative && !(intPart == u"0" && fracPart.isEmpty()))
        result += u'-';
    result += intPart;
    if (!fracPart.isEmpty()) {
        result += u'.';
        result += fracPart;
    }
    return result;
}

QString HostValue::localeDecimal(const QString &decimal, const QLocale &locale)
{
    QString result = decimal;
    const qsizetype point = result.indexOf(u'.');
    if (point >= 0)
        result.replace(point, 1, locale.decimalPoint());
    if (result.startsWith(u'-'))
        result.replace(0, 1, locale.negativeSign());
    return result;
}

HostValue HostValue::text(const QString &text)
{
    HostValue v;
    v.m_kind = Text;
    v.m_text = text;
    return v;
}

HostValue HostValue::number(const QString &decimal)
{
    const QString normalized = normalizeDecimal(decimal);
    if (normalized.isEmpty())
        return text(decimal);
    HostValue v;
    v.m_kind = Number;
    v.m_text = normalized;
    return v;
}

HostValue HostValue::number(double value)
{
    const QString decimal = shortestDecimal(value);
    if (decimal.isEmpty())
        return text(QString::number(value));
    HostValue v;
    v.m_kind = Number;
    v.m_text = decimal;
    return v;
}

HostValue HostValue::number(qlonglong value)
{
    HostValue v;
    v.m_kind = Number;
    v.m_text = QString::number(value);
    return v;
}

HostValue HostValue::date(const QDateTime &value)
{
    HostValue v;
    v.m_kind = Date;
    v.m_dateTime = value;
    return v;
}

HostValue HostValue::fromVariant(const QVariant &value, int declaredTypeId)
{
    if (value.isNull())
        return HostValue();
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return number(QString::number(value.toULongLong()));
    case QMetaType::Bool:
        return number(qlonglong(value.toBool() ? 1 : 0));
    case QMetaType::Double:
    case QMetaType::Float:
        return number(value.toDouble());
    case QMetaType::QDate:
        return date(QDateTime(value.toDate(), QTime(0, 0)));
    case QMetaType::QDateTime:
        return date(value.toDateTime());
    case QMetaType::QString:
        if (isNumericType(declaredTypeId)) {
            // Some ODBC drivers (psqlODBC among them) write the decimal separator of the
            // process's C locale into exact decimals: "5,50" under German settings.
            QString decimal = value.toString();
            if (!decimal.contains(u'.') && decimal.count(u',') == 1)
                decimal.replace(u',', u'.');
            return number(decimal);
        }
        return text(value.toString());
    default:
        return text(value.toString());
    }
}

QString HostValue::toText(const QLocale &locale) const
{
    switch (m_kind) {
    case Null:
        return QString();
    case Text:
        return m_text;
    case Number:
        return localeDecimal(m_text, locale);
    case Date: {
        QString format = locale.dateFormat(QLocale::ShortFormat);
        if (!format.contains(QLatin1String("yyyy")))
            format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        QString result = locale.toString(m_dateTime.date(), format);
        if (m_dateTime.time() != QTime(0, 0))
            result += u' ' + locale.toString(m_dateTime.time(), QLocale::LongFormat);
        return result;
    }
    }
    return QString();
}

QString HostValue::decimalText() const
{
    if (m_kind == Number)
        return m_text;
    if (m_kind == Text)
        return normalizeDecimal(m_text);
    return QString();
}

bool HostValue::toDouble(double *value) const
{
    const QString decimal = decimalText();
    if (decimal.isEmpty())
        return false;
    *value = decimal.toDouble();
    return true;
}

QDate HostValue::toDate() const
{
    if (m_kind == Date)
        return m_dateTime.date();
    if (m_kind != Text)
        return QDate();
    const QString trimmed = m_text.trimmed();
    if (trimmed.size() > 10 && trimmed.at(10) != u' ' && trimmed.at(10) != u'T')
        return QDate();
    return QDate::fromString(trimmed.left(10), Qt::ISODate);
}

bool HostValue::operator==(const HostValue &other) const
{
    return m_kind == other.m_kind && m_text == other.m_text && m_dateTime == other.m_dateTime;
}
