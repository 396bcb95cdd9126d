#include "host/OdbcBlockReader.h"

#include <sqlext.h>

#include <algorithm>
#include <cstring>

namespace {

// A fetch is as many rows as fit in this many bytes of column buffers, within the bounds
// below: few calls into the driver, and buffers that stay small beside the driver's own.
const SQLULEN BlockBytes = SQLULEN(1) * 1024 * 1024;
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
        m_columns.push_back(
                { OdbcColumn::describe(type, size, isUnsigned == SQL_TRUE), {}, {}, {} });
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
    m_fetchRows = rows;
    m_status.resize(rows);
    for (Column &column : m_columns) {
        column.buffer.resize(rows * SQLULEN(column.description.width()));
        column.lengths.resize(rows);
    }
    return true;
}

SQLRETURN OdbcBlockReader::fetchBound()
{
    // Bound again for every fetch: a new result of the statement (the server cursor's next
    // batch) has none of the bindings of the one before.
    SQLRETURN result = SQLSetStmtAttr(m_statement, SQL_ATTR_ROW_STATUS_PTR, m_status.data(), 0);
    if (SQL_SUCCEEDED(result))
        result = SQLSetStmtAttr(m_statement, SQL_ATTR_ROWS_FETCHED_PTR, &m_fetched, 0);
    for (size_t i = 0; !m_rowByRow && SQL_SUCCEEDED(result) && i < m_columns.size(); ++i) {
        Column &column = m_columns[i];
        result =
                SQLBindCol(m_statement, SQLUSMALLINT(i + 1), column.description.cType(),
                           column.buffer.data(), column.description.width(), column.lengths.data());
    }
    m_fetched = 0;
    return SQL_SUCCEEDED(result) ? SQLFetch(m_statement) : result;
}

void OdbcBlockReader::fetch(int set, const MoreRows &moreRows)
{
    Block &block = m_blocks[set];
    block.rows = 0;
    block.values.clear();
    block.bytes.clear();
    const auto fail = [&](SQLRETURN result) {
        // The values of a row read in part go; the rows before it stay.
        block.values.resize(block.rows * m_columns.size());
        block.error = OdbcDiagnostics::ofStatement(m_statement, m_connection, result);
        block.end = true;
    };
    while (block.rows < PackRows && block.bytes.size() < PackBytes) {
        if (m_resultEnded) {
            // What the block holds goes first; the next result is asked for with the next block.
            if (block.rows > 0)
                return;
            const SQLRETURN result = moreRows ? moreRows(m_resultRows) : SQLRETURN(SQL_NO_DATA);
            m_resultRows = 0;
            if (result == SQL_NO_DATA) {
                block.end = true;
                return;
            }
            if (!SQL_SUCCEEDED(result))
                return fail(result);
            m_resultEnded = false;
        }
        const SQLRETURN result = fetchBound();
        if (result == SQL_NO_DATA) {
            m_resultEnded = true;
            continue;
        }
        if (!SQL_SUCCEEDED(result) || !pack(block, m_fetched))
            return fail(result);
        m_resultRows += m_fetched;
    }
}

bool OdbcBlockReader::pack(Block &block, SQLULEN fetched)
{
    if (m_rowByRow)
        return fetched == 1 && m_status[0] != SQL_ROW_ERROR && packRow(block);
    // SQL_SUCCESS_WITH_INFO: values longer than their buffers, read in full here. The rows
    // before a failing one are kept; the rows end there.
    for (SQLULEN row = 0; row < fetched; ++row) {
        if (m_status[row] == SQL_ROW_ERROR)
            return false;
        for (size_t i = 0; i < m_columns.size(); ++i) {
            const Column &column = m_columns[i];
            const SQLLEN length = column.lengths[row];
            if (!column.description.isLong(length)) {
                const SQLLEN width = column.description.width();
                append(block, column.buffer.data() + row * SQLULEN(width),
                       column.description.isVariable() || length == SQL_NULL_DATA ? length : width);
                continue;
            }
            QByteArray bytes;
            if (!readWhole(int(i), row, &bytes))
                return false;
            append(block, bytes.constData(), bytes.size());
        }
        ++block.rows;
    }
    return true;
}

bool OdbcBlockReader::packRow(Block &block)
{
    for (size_t i = 0; i < m_columns.size(); ++i) {
        Column &column = m_columns[i];
        if (!column.description.isVariable()) {
            SQLLEN length = 0;
            if (!SQL_SUCCEEDED(SQLGetData(m_statement, SQLUSMALLINT(i + 1),
                                          column.description.cType(), column.buffer.data(),
                                          column.description.width(), &length)))
                return false;
            append(block, column.buffer.data(),
                   length == SQL_NULL_DATA ? length : column.description.width());
            continue;
        }
        QByteArray bytes;
        bool isNull = false;
        if (!readWhole(int(i), 0, &bytes, &isNull))
            return false;
        append(block, bytes.constData(), isNull ? SQLLEN(SQL_NULL_DATA) : bytes.size());
    }
    ++block.rows;
    return true;
}

void OdbcBlockReader::append(Block &block, const char *data, SQLLEN length)
{
    if (length == SQL_NULL_DATA || length < 0) {
        block.values.push_back({ 0, qint32(SQL_NULL_DATA) });
        return;
    }
    // Each value starts aligned, as the driver's buffers do: a text is read as UTF-16.
    const size_t offset = (block.bytes.size() + 7) & ~size_t(7);
    block.bytes.resize(offset + size_t(length));
    // An empty text: no bytes, and a block of nothing else has no buffer yet.
    if (length > 0)
        std::memcpy(block.bytes.data() + offset, data, size_t(length));
    block.values.push_back({ quint32(offset), qint32(length) });
}

bool OdbcBlockReader::readWhole(int column, SQLULEN row, QByteArray *bytes, bool *isNull)
{
    const OdbcColumn &c = m_columns[column].description;
    SQLRETURN result = SQL_SUCCESS;
    if (m_fetchRows > 1)
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
    const Block &block = m_blocks[set];
    const Block::Value &v = block.values[row * m_columns.size() + size_t(column)];
    if (v.length == SQL_NULL_DATA)
        return HostValue();
    const Column &c = m_columns[column];
    const char *data = block.bytes.data() + v.offset;
    if (!c.description.isUtf16Text() || v.length == 0)
        return c.description.convert(data, v.length);
    const QStringView text = c.description.textOf(data, v.length);
    QString &reused = c.texts[0].isDetached() ? c.texts[0] : c.texts[1];
    if (!reused.isDetached()) {
        // Both still held: the older is let go, and a new text takes its place.
        std::swap(c.texts[0], c.texts[1]);
        c.texts[0] = text.toString();
        return HostValue::text(c.texts[0]);
    }
    reused.resize(text.size());
    std::memcpy(reused.data(), text.data(), size_t(text.size()) * sizeof(char16_t));
    return HostValue::text(reused);
}
