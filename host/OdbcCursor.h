#pragma once

#include "host/HostCursor.h"

#include <QHash>
#include <QStringList>
#include <QVariantList>

#include <future>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>

// The rows of a statement on an ODBC connection, read through the ODBC API itself.
//
// Rows arrive in blocks (SQL_ATTR_ROW_ARRAY_SIZE) into column buffers bound for them; a column
// becomes a HostValue only when it is read. A value longer than its buffer is read in full
// with SQLGetData while its block is the driver's current one. The cursor is forward-only and
// read-only.
//
// Values read the same on every server: a fixed-width character column (char, nchar) loses
// the blanks that pad it to its width, as they are no part of the value; exact decimals and
// floating columns arrive as the driver's text, so every digit it sends is kept; a number that
// a driver formats with the locale's decimal comma is still read as that number; dates and
// timestamps are calendar values, with no time zone involved. Error texts are the server's.
class OdbcCursor final : public HostCursor
{
public:
    // How the rows of a statement of many rows come.
    enum class Streaming {
        // As the driver hands them over, one block after the other.
        None,
        // The next block is fetched on a thread of its own while the rows of the current one
        // are read, so that the server's work and the program's overlap.
        Prefetch,
        // PostgreSQL: a SELECT becomes a cursor declared on the server (DECLARE … CURSOR WITH
        // HOLD FOR, in a transaction of its own) and fetched in batches, prefetched, so that
        // neither end holds the whole result; the values stay bound.
        ServerCursor,
    };

    // Runs statement on the ODBC connection with params bound to its "?" placeholders in
    // order: a QString as text, the null QString as the empty text, a QVariant without a value
    // as NULL. The statement gives up after timeoutSeconds waiting for the server (0: never);
    // a driver that does not keep that limit fails the statement.
    OdbcCursor(SQLHDBC connection, const QString &statement, const QVariantList &params,
               int timeoutSeconds, Streaming streaming = Streaming::None);
    ~OdbcCursor() override;
    OdbcCursor(const OdbcCursor &) = delete;
    OdbcCursor &operator=(const OdbcCursor &) = delete;

    bool next() override;
    int columnCount() const override;
    int indexOf(const QString &name) const override;
    HostValue value(int column) const override;

    // Whether the driver of connection keeps a query timeout of seconds; *errorString says why
    // not. Nothing is run.
    static bool keepsTimeout(SQLHDBC connection, int seconds, QString *errorString);

private:
    enum class Kind { Whole, Decimal, Text, PaddedText, Binary, Date, Timestamp };
    // Each column, and each block, twice: one is read while the other is fetched.
    struct Column
    {
        Kind kind;
        SQLSMALLINT cType;
        // Bytes of one row's buffer; a buffer holds one for every row of a block.
        SQLLEN width;
        std::vector<char> buffers[2];
        std::vector<SQLLEN> lengths[2];
    };
    struct Block
    {
        std::vector<SQLUSMALLINT> status;
        SQLULEN rows = 0;
        // The values longer than their buffers, by row * columns + column.
        QHash<qint64, QByteArray> longValues;
        bool end = false;
        QString errorString;
        QString errorNumber;
    };
    struct Parameter
    {
        QByteArray data;
        SQLLEN length;
    };

    bool prepare(const QString &statement, const QVariantList &params, int timeoutSeconds);
    SQLRETURN run(const QString &statement);
    bool bindColumns();
    bool fail(SQLRETURN result);
    // Fetches the next block into set; touches nothing but that set and the statement.
    void fetchBlock(int set);
    bool isLong(const Column &column, SQLLEN length) const;
    bool readWhole(int column, SQLULEN row, QByteArray *bytes);
    HostValue convert(const Column &column, const char *data, SQLLEN length) const;

    SQLHDBC m_connection;
    SQLHSTMT m_statement = SQL_NULL_HSTMT;
    // The server cursor's name; empty when the statement's own result is read.
    QString m_cursorName;
    // Rows the current batch of the server cursor has given so far.
    SQLULEN m_batchRows = 0;
    bool m_prefetch = false;
    QStringList m_names;
    std::vector<Column> m_columns;
    std::vector<Parameter> m_parameters;
    Block m_blocks[2];
    // The block being read, and the one fetched next (on a thread while m_pending is valid).
    int m_current = 1;
    int m_next = 0;
    std::future<void> m_pending;
    SQLULEN m_row = 0;
    bool m_onRow = false;
    bool m_finished = false;
    // Whether the driver reads a column of any row of a block with SQLGetData once the row is
    // positioned (SQL_GD_BLOCK and SQL_GD_BOUND); without it a block holds one row.
    bool m_getDataInBlock = false;
};
