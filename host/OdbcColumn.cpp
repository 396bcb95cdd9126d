#include "host/OdbcColumn.h"

#include <sqlext.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

bool isWhole(SQLSMALLINT type)
{
    return type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_TINYINT || type == SQL_BIT
            || type == SQL_BIGINT;
}

bool isBinary(SQLSMALLINT type)
{
    return type == SQL_BINARY || type == SQL_VARBINARY || type == SQL_LONGVARBINARY;
}

} // namespace

OdbcColumn OdbcColumn::describe(SQLSMALLINT sqlType, SQLULEN size, bool isUnsigned)
{
    // Text whose length the driver does not say, or says is above the buffer, may be longer
    // than the buffer.
    const bool unknownSize = size == 0 || size > BoundTextChars;
    if (isWhole(sqlType) && !(sqlType == SQL_BIGINT && isUnsigned))
        return { Kind::Whole, SQL_C_SBIGINT, SQLLEN(sizeof(SQLBIGINT)) };
    // float and double precision are SQL_FLOAT or SQL_DOUBLE; SQL Server's real and
    // PostgreSQL's float4 SQL_REAL, read as the single-precision number it is, so that a stored
    // 10.7 stays 10.7 and does not become 10.699999809265137.
    if (sqlType == SQL_FLOAT || sqlType == SQL_DOUBLE)
        return { Kind::Double, SQL_C_DOUBLE, SQLLEN(sizeof(SQLDOUBLE)) };
    if (sqlType == SQL_REAL)
        return { Kind::Single, SQL_C_FLOAT, SQLLEN(sizeof(SQLREAL)) };
    if (sqlType == SQL_DECIMAL || sqlType == SQL_NUMERIC || sqlType == SQL_BIGINT) {
        // Sign, point and the terminating zero beside the digits.
        return { Kind::Decimal, SQL_C_CHAR, SQLLEN(std::clamp<SQLULEN>(size + 3, 32, 128)) };
    }
    if (sqlType == SQL_TYPE_DATE)
        return { Kind::Date, SQL_C_TYPE_DATE, SQLLEN(sizeof(SQL_DATE_STRUCT)) };
    if (sqlType == SQL_TYPE_TIMESTAMP)
        return { Kind::Timestamp, SQL_C_TYPE_TIMESTAMP, SQLLEN(sizeof(SQL_TIMESTAMP_STRUCT)) };
    if (isBinary(sqlType))
        return { Kind::Binary, SQL_C_BINARY, SQLLEN(unknownSize ? BoundTextChars : size),
                 unknownSize };
    // Every other type as the driver's text: char, varchar, their wide and long forms, times,
    // GUIDs.
    return { sqlType == SQL_CHAR || sqlType == SQL_WCHAR ? Kind::PaddedText : Kind::Text,
             SQL_C_WCHAR, SQLLEN(((unknownSize ? BoundTextChars : size) + 1) * sizeof(SQLWCHAR)),
             unknownSize };
}

bool OdbcColumn::isVariable() const
{
    return m_cType == SQL_C_WCHAR || m_cType == SQL_C_CHAR || m_cType == SQL_C_BINARY;
}

SQLLEN OdbcColumn::terminatorBytes() const
{
    return m_cType == SQL_C_WCHAR ? SQLLEN(sizeof(SQLWCHAR)) : m_cType == SQL_C_CHAR ? 1 : 0;
}

bool OdbcColumn::isLong(SQLLEN length) const
{
    return isVariable() && length != SQL_NULL_DATA
            && (length == SQL_NO_TOTAL || length > m_width - terminatorBytes());
}

QStringView OdbcColumn::textOf(const char *data, SQLLEN length) const
{
    const auto *text = reinterpret_cast<const char16_t *>(data);
    qsizetype size = length / qsizetype(sizeof(SQLWCHAR));
    while (m_kind == Kind::PaddedText && size > 0 && text[size - 1] == u' ')
        --size;
    return QStringView(text, size);
}

HostValue OdbcColumn::convert(const char *data, SQLLEN length) const
{
    switch (m_kind) {
    case Kind::Whole: {
        SQLBIGINT value = 0;
        std::memcpy(&value, data, sizeof value);
        return HostValue::number(qlonglong(value));
    }
    case Kind::Double: {
        SQLDOUBLE value = 0;
        std::memcpy(&value, data, sizeof value);
        return HostValue::number(double(value));
    }
    case Kind::Single: {
        SQLREAL value = 0;
        std::memcpy(&value, data, sizeof value);
        // The shortest text that reads back as this float, not as the double it widens to.
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        return HostValue::number(QString::fromLatin1(text, end - text));
    }
    case Kind::Decimal: {
        // Some drivers (psqlODBC among them) write the decimal separator of the process's C
        // locale into numbers: "5,50" under German settings.
        QString decimal = QString::fromLatin1(data, length);
        if (!decimal.contains(u'.') && decimal.count(u',') == 1)
            decimal.replace(u',', u'.');
        return HostValue::number(decimal);
    }
    case Kind::Text:
    case Kind::PaddedText:
        return HostValue::text(textOf(data, length).toString());
    case Kind::Binary:
        return HostValue::text(QString::fromUtf8(data, length));
    case Kind::Date: {
        SQL_DATE_STRUCT date;
        std::memcpy(&date, data, sizeof date);
        return HostValue::date(QDate(date.year, date.month, date.day));
    }
    case Kind::Timestamp: {
        SQL_TIMESTAMP_STRUCT stamp;
        std::memcpy(&stamp, data, sizeof stamp);
        return HostValue::date(
                QDate(stamp.year, stamp.month, stamp.day),
                QTime(stamp.hour, stamp.minute, stamp.second, int(stamp.fraction / 1000000)));
    }
    }
    return HostValue();
}
