#pragma once

#include "host/HostValue.h"
#include "host/OdbcColumn.h"
#include "host/OdbcDiagnostics.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <vector>

// Reads the result of an executed ODBC statement in blocks of rows (SQL_ATTR_ROW_ARRAY_SIZE)
// into column buffers bound for them, two sets of them, so that one is read while the other is
// fetched. A value longer than its buffer is read in full with SQLGetData while its block is
// the driver's current one.
//
// SQLGetData may read a bound column, or a row of a block other than the first, only where the
// driver says so (SQL_GD_BOUND, SQL_GD_BLOCK). Elsewhere a result whose values may outgrow
// their buffers comes row by row, with no column bound and each read with SQLGetData in column
// order, which every driver allows.
class OdbcBlockReader
{
public:
    struct Block
    {
        std::vector<SQLUSMALLINT> status;
        SQLULEN rows = 0;
        // The values read with SQLGetData, by row * columns + column.
        QHash<qint64, QByteArray> longValues;
        // No rows after these: the result's end, or a failure with error set.
        bool end = false;
        OdbcDiagnostics error;
    };
    // Called when the driver has no more rows, with the rows of the result so far: the
    // SQLRETURN of a new result on the statement to read on with, SQL_NO_DATA for none.
    using MoreRows = std::function<SQLRETURN(SQLULEN rows)>;

    // Describes the result columns of statement and sizes the blocks; false with *error.
    bool describe(SQLHSTMT statement, SQLHDBC connection, OdbcDiagnostics *error);

    int columnCount() const { return int(m_columns.size()); }
    const QStringList &names() const { return m_names; }
    SQLULEN blockRows() const { return m_blockRows; }

    // Fetches the next rows into set; touches nothing but that set and the statement.
    void fetch(int set, const MoreRows &moreRows);
    const Block &block(int set) const { return m_blocks[set]; }
    HostValue value(int set, SQLULEN row, int column) const;

private:
    struct Column
    {
        OdbcColumn description;
        std::vector<char> buffers[2];
        std::vector<SQLLEN> lengths[2];
    };

    SQLRETURN fetchRows(int set, const MoreRows &moreRows);
    bool readValues(int set, SQLRETURN fetched);
    bool readWhole(int column, SQLULEN row, QByteArray *bytes, bool *isNull = nullptr);
    bool readRow(int set);
    qint64 key(SQLULEN row, int column) const
    {
        return qint64(row) * qint64(m_columns.size()) + column;
    }

    SQLHSTMT m_statement = SQL_NULL_HSTMT;
    SQLHDBC m_connection = SQL_NULL_HDBC;
    QStringList m_names;
    std::vector<Column> m_columns;
    Block m_blocks[2];
    SQLULEN m_blockRows = 1;
    bool m_rowByRow = false;
    // Rows of the statement's current result, for MoreRows.
    SQLULEN m_resultRows = 0;
};
