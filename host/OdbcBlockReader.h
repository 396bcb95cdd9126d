#pragma once

#include "host/HostValue.h"
#include "host/OdbcColumn.h"
#include "host/OdbcDiagnostics.h"

#include <QStringList>

#include <functional>
#include <vector>

// Reads the result of an executed ODBC statement into packed blocks of rows, two of them, so
// that one is read while the other is filled. The driver writes a fetch of many rows at a time
// (SQL_ATTR_ROW_ARRAY_SIZE) into column buffers bound for them; their values are copied into
// the block, each in its own length, until the block holds PackRows rows, PackBytes bytes or
// the end of the statement's current result. A block ends at each result, so that a statement
// of many results (a server cursor's batches) asks the server for the next one while the
// program works through the rows of the one before. A value longer than its buffer is read in
// full with SQLGetData while its fetch is the driver's current one.
//
// SQLGetData may read a bound column, or a row of a fetch other than the first, only where the
// driver says so (SQL_GD_BOUND, SQL_GD_BLOCK). Elsewhere a result whose values may outgrow
// their buffers is fetched row by row, with no column bound and each value read with
// SQLGetData in column order, which every driver allows.
class OdbcBlockReader
{
public:
    struct Block
    {
        SQLULEN rows = 0;
        // No rows after these: the result's end, or a failure with error set.
        bool end = false;
        OdbcDiagnostics error;

    private:
        friend class OdbcBlockReader;
        // Where each value of row * columns + column lies in bytes; SQL_NULL_DATA for NULL.
        struct Value
        {
            quint32 offset;
            qint32 length;
        };
        std::vector<Value> values;
        std::vector<char> bytes;
    };
    // Called when the statement's current result has no more rows, with the number it had: the
    // SQLRETURN of a new result on the statement to read on with, SQL_NO_DATA for none.
    using MoreRows = std::function<SQLRETURN(SQLULEN rows)>;

    static constexpr SQLULEN PackRows = 4096;
    static constexpr size_t PackBytes = size_t(4) * 1024 * 1024;

    // Describes the result columns of statement and sizes the fetches; false with *error.
    bool describe(SQLHSTMT statement, SQLHDBC connection, OdbcDiagnostics *error);

    int columnCount() const { return int(m_columns.size()); }
    const QStringList &names() const { return m_names; }

    // Fills set with the next rows; touches nothing but that set, the bound buffers and the
    // statement.
    void fetch(int set, const MoreRows &moreRows);
    const Block &block(int set) const { return m_blocks[set]; }
    HostValue value(int set, SQLULEN row, int column) const;

private:
    struct Column
    {
        OdbcColumn description;
        std::vector<char> buffer;
        std::vector<SQLLEN> lengths;
        // The texts that value() gave last, to be written over once no value holds them: a text
        // read costs no allocation of its own, which the reading and the fetching thread would
        // otherwise contend for. Read by the reading thread only.
        mutable QString texts[2];
    };

    SQLRETURN fetchBound();
    bool pack(Block &block, SQLULEN fetched);
    bool packRow(Block &block);
    void append(Block &block, const char *data, SQLLEN length);
    bool readWhole(int column, SQLULEN row, QByteArray *bytes, bool *isNull = nullptr);

    SQLHSTMT m_statement = SQL_NULL_HSTMT;
    SQLHDBC m_connection = SQL_NULL_HDBC;
    QStringList m_names;
    std::vector<Column> m_columns;
    std::vector<SQLUSMALLINT> m_status;
    SQLULEN m_fetched = 0;
    Block m_blocks[2];
    SQLULEN m_fetchRows = 1;
    bool m_rowByRow = false;
    // The statement's current result has given SQL_NO_DATA; its rows so far, for MoreRows.
    bool m_resultEnded = false;
    SQLULEN m_resultRows = 0;
};
