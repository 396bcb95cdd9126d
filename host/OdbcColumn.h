#pragma once

#include "host/HostValue.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>

// How one result column of an ODBC statement is bound and how its bytes become a HostValue.
//
// Values read the same on every server: a fixed-width character column (char, nchar) loses
// the blanks that pad it to its width, as they are no part of the value; an exact decimal
// arrives as the driver's text, so every digit it sends is kept, also where a driver writes
// it with the locale's decimal comma; a floating column arrives as the binary number the
// server holds and reads in its shortest form, as SQLite's do (SQL Server's driver would write
// 4.05 as "4.0499999999999998"); dates and timestamps are calendar values, with no time zone.
class OdbcColumn
{
public:
    enum class Kind { Whole, Decimal, Double, Single, Text, PaddedText, Binary, Date, Timestamp };

    // Text columns are bound with room for this many characters; a longer value is read again
    // in full. Most host columns are far shorter, and each character costs a block's rows.
    static constexpr SQLULEN BoundTextChars = 255;

    // The binding of a column as SQLDescribeCol gives it: its SQL type, size (0: unknown) and
    // whether SQL_DESC_UNSIGNED is set.
    static OdbcColumn describe(SQLSMALLINT sqlType, SQLULEN size, bool isUnsigned);

    Kind kind() const { return m_kind; }
    SQLSMALLINT cType() const { return m_cType; }
    // Bytes of one row's buffer.
    SQLLEN width() const { return m_width; }
    // Whether a value may be longer than its buffer, as far as the driver's description tells.
    bool mayOverflow() const { return m_mayOverflow; }
    // Whether the indicator length of a value says it did not fit its buffer.
    bool isLong(SQLLEN length) const;
    // Whether values vary in length, so that SQLGetData reads them in pieces.
    bool isVariable() const;
    // Bytes of the terminating zero that the driver writes after a text in a buffer.
    SQLLEN terminatorBytes() const;

    // The value of the bytes a driver wrote for this column; length is the indicator's, and
    // the bytes of a text are without the terminating zero.
    HostValue convert(const char *data, SQLLEN length) const;
    // Whether the value of a column is the text of textOf(), read the driver's UTF-16.
    bool isUtf16Text() const { return m_kind == Kind::Text || m_kind == Kind::PaddedText; }
    // The characters of such a value, without the blanks that pad a fixed-width text.
    QStringView textOf(const char *data, SQLLEN length) const;

private:
    OdbcColumn(Kind kind, SQLSMALLINT cType, SQLLEN width, bool mayOverflow = false)
        : m_kind(kind), m_cType(cType), m_width(width), m_mayOverflow(mayOverflow)
    {
    }

    Kind m_kind;
    SQLSMALLINT m_cType;
    SQLLEN m_width;
    bool m_mayOverflow;
};
