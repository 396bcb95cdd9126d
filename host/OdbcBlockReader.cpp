#include "host/OdbcBlockReader.h"

#include <sqlext.h>

#include <algorithm>

namespace {

// A block is as many rows as fit in this many bytes of column buffers, within the bounds
// below: few round trips to the driver, and buffers that stay small beside the driver's own.
const SQLULEN BlockBytes = SQLULEN(2) * 1024 * 1024;
const SQLULEN MaxBlockRows = 1000;
// What SQLGetData reads at a time of a value longer than its bound buffer.
const SQLLEN LongValueChunk = 8192;

} // namespace

bool OdbcBlockReader::describe(SQLHSTMT statement, SQLHDBC connection, OdbcDiagnostics *error)
{
    m_statement = statement;
    m_connection = connection;
    const auto fail = [&](SQLRETURN result) {
        *error = OdbcDiagnostics::ofStatement(statement, connection, result);
        return false;
    };
    SQLSMALLINT count = 0;
    SQLRETURN result = SQLNumResultCols(statement, &count);
    if (!SQL_SUCCEEDED(result))
        return fail(result);

    m_columns.reserve(count);
    m_names.reserve(count);
    SQLULEN rowBytes = 0;
    bool mayOverflow = false;
    for (SQLSMALLINT i = 0; i < count; ++i) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        result = SQLDescribeColW(statement, SQLUSMALLINT(i + 1), name, SQLSMALLINT(std::size(name)),
                                 &nameLength, &type, &size, &digits, &nullable);
        if (!SQL_SUCCEEDED(result))
            return fail(result);
        m_names << QString::fromUtf16(reinterpret_cast<const char16_t *>(name),
                                      std::min<qsizetype>(nameLength, std::size(name) - 1));
        SQLLEN isUnsigned = SQL_FALSE;
        if (type == SQL_BIGINT)
            SQLColAttributeW(statement, SQLUSMALLINT(i + 1), SQL_DESC_UNSIGNED, nullptr, 0, nullptr,
                             &isUnsigned);
        m_columns.push_back({ OdbcColumn::describe(type, size, isUnsigned == SQL_TRUE), {}, {} });
        mayOverflow = mayOverflow || m_columns.back().description.mayOverflow();
        rowBytes += SQLULEN(m_columns.back().description.width()) + sizeof(SQLLEN);
    }

    SQLUINTEGER getData = 0;
    SQLGetInfoW(connection, SQL_GETDATA_EXTENSIONS, &getData, sizeof getData, nullptr);
    const bool getDataInBlock =
            (getData & (SQL_GD_BLOCK | SQL_GD_BOUND)) == (SQL_GD_BLOCK | SQL_GD_BOUND);
    m_rowByRow = mayOverflow && !getDataInBlock;
    SQLULEN rows = m_rowByRow ? 1 : std::clamp<SQLULEN>(BlockBytes / rowBytes, 1, MaxBlockRows);
    result = SQLSetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows),
                            0);
    // A driver may keep fewer rows a block (01S02) than asked for: the buffers hold them.
    if (SQL_SUCCEEDED(result))
        result = SQLGetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, &rows, sizeof rows, nullptr);
    if (!SQL_SUCCEEDED(result))
        return fail(result);
    m_blockRows = rows;
    for (int set = 0; set < 2; ++set) {
        m_blocks[set].status.resize(rows);
        for (Column &column : m_columns) {
            column.buffers[set].resize(rows * SQLULEN(column.description.width()));
            column.lengths[set].resize(rows);
        }
    }
    return true;
}

SQLRETURN OdbcBlockReader::fetchRows(int set, const MoreRows &moreRows)
{
    Block &block = m_blocks[set];
    SQLRETURN result = SQLSetStmtAttr(m_statement, SQL_ATTR_ROW_STATUS_PTR, block.status.data(), 0);
    if (SQL_SUCCEEDED(result))
        result = SQLSetStmtAttr(m_statement, SQL_ATTR_ROWS_FETCHED_PTR, &block.rows, 0);
    for (size_t i = 0; !m_rowByRow && SQL_SUCCEEDED(result) && i < m_columns.size(); ++i) {
        Column &column = m_columns[i];
        result = SQLBindCol(m_statement, SQLUSMALLINT(i + 1), column.description.cType(),
                            column.buffers[set].data(), column.description.width(),
                            column.lengths[set].data());
    }
    if (!SQL_SUCCEEDED(result))
        return result;
    result = SQLFetch(m_statement);
    if (result == SQL_NO_DATA && moreRows) {
        result = moreRows(m_resultRows);
        m_resultRows = 0;
        if (SQL_SUCCEEDED(result))
            result = SQLFetch(m_statement);
    }
    return result;
}

void OdbcBlockReader::fetch(int set, const MoreRows &moreRows)
{
    Block &block = m_blocks[set];
    block.rows = 0;
    block.longValues.clear();
    const SQLRETURN result = fetchRows(set, moreRows);
    if (result == SQL_NO_DATA) {
        block.rows = 0;
        block.end = true;
        return;
    }
    if (SQL_SUCCEEDED(result))
        m_resultRows += block.rows;
    if (!readValues(set, result)) {
        block.error = OdbcDiagnostics::ofStatement(m_statement, m_connection, result);
        block.end = true;
    }
}

bool OdbcBlockReader::readValues(int set, SQLRETURN fetched)
{
    Block &block = m_blocks[set];
    if (!SQL_SUCCEEDED(fetched)) {
        block.rows = 0;
        return false;
    }
    if (m_rowByRow) {
        if (block.rows == 1 && block.status[0] != SQL_ROW_ERROR && readRow(set))
            return true;
        block.rows = 0;
        return false;
    }
    // SQL_SUCCESS_WITH_INFO: values longer than their buffers, read in full here. The rows
    // before a failing one are read; the rows end there.
    for (SQLULEN row = 0; row < block.rows; ++row) {
        bool ok = block.status[row] != SQL_ROW_ERROR;
        for (size_t i = 0; ok && i < m_columns.size(); ++i) {
            if (!m_columns[i].description.isLong(m_columns[i].lengths[set][row]))
                continue;
            QByteArray bytes;
            ok = readWhole(int(i), row, &bytes);
            block.longValues.insert(key(row, int(i)), bytes);
        }
        if (!ok) {
            block.rows = row;
            return false;
        }
    }
    return true;
}

bool OdbcBlockReader::readRow(int set)
{
    Block &block = m_blocks[set];
    for (size_t i = 0; i < m_columns.size(); ++i) {
        Column &column = m_columns[i];
        SQLLEN &length = column.lengths[set][0];
        if (!column.description.isVariable()) {
            if (!SQL_SUCCEEDED(SQLGetData(m_statement, SQLUSMALLINT(i + 1),
                                          column.description.cType(), column.buffers[set].data(),
                                          column.description.width(), &length)))
                return false;
            continue;
        }
        QByteArray bytes;
        bool isNull = false;
        if (!readWhole(int(i), 0, &bytes, &isNull))
            return false;
        length = isNull ? SQL_NULL_DATA : 0;
        if (!isNull)
            block.longValues.insert(key(0, int(i)), bytes);
    }
    return true;
}

bool OdbcBlockReader::readWhole(int column, SQLULEN row, QByteArray *bytes, bool *isNull)
{
    const OdbcColumn &c = m_columns[column].description;
    SQLRETURN result = SQL_SUCCESS;
    if (m_blockRows > 1)
        result = SQLSetPos(m_statement, SQLSETPOSIROW(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE);
    const SQLLEN room = LongValueChunk - c.terminatorBytes();
    char chunk[LongValueChunk];
    while (SQL_SUCCEEDED(result)) {
        SQLLEN length = 0;
        result = SQLGetData(m_statement, SQLUSMALLINT(column + 1), c.cType(), chunk, LongValueChunk,
                            &length);
        if (result == SQL_NO_DATA)
            return true;
        if (SQL_SUCCEEDED(result) && length == SQL_NULL_DATA) {
            if (isNull)
                *isNull = true;
            return true;
        }
        if (!SQL_SUCCEEDED(result))
            break;
        // SQL_SUCCESS_WITH_INFO with more to come: the chunk is full.
        const bool more =
                result == SQL_SUCCESS_WITH_INFO && (length == SQL_NO_TOTAL || length > room);
        bytes->append(chunk, more ? room : length);
        if (!more)
            return true;
    }
    return false;
}

HostValue OdbcBlockReader::value(int set, SQLULEN row, int column) const
{
    const Column &c = m_columns[column];
    const SQLLEN length = c.lengths[set][row];
    if (length == SQL_NULL_DATA)
        return HostValue();
    if (m_rowByRow ? c.description.isVariable() : c.description.isLong(length)) {
        const QByteArray bytes = m_blocks[set].longValues.value(key(row, column));
        return c.description.convert(bytes.constData(), bytes.size());
    }
    return c.description.convert(c.buffers[set].data() + row * SQLULEN(c.description.width()),
                                 length);
}
