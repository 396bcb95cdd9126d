#pragma once

#include "host/HostCursor.h"

#include <QHash>
#include <QStringList>
#include <QVariantList>

#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>

// The rows of a statement on an ODBC connection, read through the ODBC API itself.
//
// Rows arrive in blocks (SQL_ATTR_ROW_ARRAY_SIZE) into column buffers bound once; a column
// becomes a HostValue only when it is read. A value longer than its buffer is read again in
// full with SQLGetData. The cursor is forward-only and read-only.
//
// Values read the same on every server: a fixed-width character column (char, nchar) loses
// the blanks that pad it to its width, as they are no part of the value; exact decimals and
// floating columns arrive as the driver's text, so every digit it sends is kept; a number that
// a driver formats with the locale's decimal comma is still read as that number; dates and
// timestamps are calendar values, with no time zone involved. Error texts are the server's.
class OdbcCursor final : public HostCursor
{
public:
    // Runs statement on the ODBC connection with params bound to its "?"
    // placeholders in order: a QString as text, the null QString as the empty text, a QVariant
    // without a value as NULL. The statement gives up after timeoutSeconds waiting for the
    // server (0: never); a driver that does not keep that limit fails the statement.
    //
    // With serverCursor, for PostgreSQL, a SELECT statement becomes a cursor declared on the
    // server (DECLARE … CURSOR WITH HOLD FOR, in a transaction of its own) whose rows are
    // fetched in batches, so that neither end holds the whole result; the values stay bound.
    OdbcCursor(SQLHDBC connection, const QString &statement, const QVariantList &params,
               int timeoutSeconds, bool serverCursor = false);
    ~OdbcCursor() override;
    OdbcCursor(const OdbcCursor &) = delete;
    OdbcCursor &operator=(const OdbcCursor &) = delete;

    bool next() override;
    int columnCount() const override;
    int indexOf(const QString &name) const override;
    // A value that cannot be read in full gives NULL and ends the rows: the next next() is
    // false with the driver's reason.
    HostValue value(int column) const override;

    // Whether the driver of connection keeps a query timeout of seconds; *errorString says why
    // not. Nothing is run.
    static bool keepsTimeout(SQLHDBC connection, int seconds, QString *errorString);

private:
    enum class Kind { Whole, Decimal, Text, PaddedText, Binary, Date, Timestamp };
    struct Column
    {
        Kind kind;
        SQLSMALLINT cType;
        // Bytes of one row's buffer; the column's buffer holds one for every row of a block.
        SQLLEN width;
        std::vector<char> buffer;
        std::vector<SQLLEN> lengths;
    };
    struct Parameter
    {
        QByteArray data;
        SQLLEN length;
    };

    bool prepare(const QString &statement, const QVariantList &params, int timeoutSeconds);
    bool run(const QString &statement);
    bool fetchBatch();
    bool bindColumns();
    bool fail(SQLRETURN result);
    HostValue convert(const Column &column, const char *data, SQLLEN length) const;
    bool readWhole(int column, QByteArray *bytes) const;

    SQLHDBC m_connection;
    SQLHSTMT m_statement = SQL_NULL_HSTMT;
    // The server cursor's name; empty when the statement's own result is read.
    QString m_cursorName;
    // Rows the current batch of the server cursor has given so far.
    SQLULEN m_batchRows = 0;
    QStringList m_names;
    std::vector<Column> m_columns;
    std::vector<Parameter> m_parameters;
    std::vector<SQLUSMALLINT> m_rowStatus;
    SQLULEN m_rowsFetched = 0;
    SQLULEN m_row = 0;
    bool m_onRow = false;
    bool m_finished = false;
    // Whether the driver reads a column of any row of a block with SQLGetData once the row is
    // positioned (SQL_GD_BLOCK and SQL_GD_BOUND); without it a block holds one row.
    bool m_getDataInBlock = false;
    // Values of the current row that were longer than their buffers, read in full.
    mutable QHash<int, HostValue> m_longValues;
    mutable QString m_readError;
    mutable QString m_readErrorNumber;
};
