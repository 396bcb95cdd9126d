#include "host/OdbcCursor.h"

#include <QAtomicInt>

#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters are UTF-16");

// Text columns are bound with room for this many characters; a longer value is read again in
// full. Most host columns are far shorter, and each character costs a block's worth of rows.
const SQLULEN BoundTextChars = 255;
// A block is as many rows as fit in this many bytes of column buffers, within the bounds
// below: few round trips to the driver, and buffers that stay small beside the driver's own.
const SQLULEN BlockBytes = SQLULEN(2) * 1024 * 1024;
const SQLULEN MaxBlockRows = 1000;
// Rows a FETCH of the server cursor asks for: two blocks' worth at most, a few MB in the
// driver's memory.
const int ServerBatchRows = 2000;
// What SQLGetData reads at a time of a value longer than its bound buffer.
const SQLLEN LongValueChunk = 8192;

// The driver's diagnostic records of a handle: their texts, each once, and the native error
// number of the first.
void takeDiagnostics(SQLSMALLINT type, SQLHANDLE handle, QString *text, QString *number)
{
    QStringList messages;
    number->clear();
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6];
        SQLINTEGER native = 0;
        SQLWCHAR message[1024];
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, record, state, &native, message,
                                          SQLSMALLINT(std::size(message)), &length)))
            break;
        const QString part = QString::fromUtf16(reinterpret_cast<const char16_t *>(message),
                                                std::min<qsizetype>(length, std::size(message) - 1))
                                     .trimmed();
        if (record == 1)
            *number = QString::number(native);
        if (!part.isEmpty() && !messages.contains(part))
            messages << part;
    }
    *text = messages.join(u' ');
}

// SQL Server and PostgreSQL let a reader wait without end for a lock that a writer holds, so a
// limit that the driver would drop is an error, not a silent wait.
bool setTimeout(SQLHSTMT statement, int seconds, QString *errorString)
{
    SQLRETURN result = SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)),
                                      SQL_IS_UINTEGER);
    // A driver may accept the attribute and keep another value, or none (then it reads 0).
    SQLULEN kept = 0;
    if (SQL_SUCCEEDED(result))
        result = SQLGetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, &kept, sizeof kept, nullptr);
    if (SQL_SUCCEEDED(result) && kept == SQLULEN(seconds))
        return true;
    QString driverText;
    QString number;
    takeDiagnostics(SQL_HANDLE_STMT, statement, &driverText, &number);
    *errorString = QStringLiteral("Der ODBC-Treiber hält die Zeitgrenze von %1 s für Abfragen "
                                  "nicht ein; eine gesperrte Tabelle ließe das Programm ohne "
                                  "Ende warten.")
                           .arg(seconds);
    if (!driverText.isEmpty())
        *errorString += u' ' + driverText;
    return false;
}

bool isWhole(SQLSMALLINT type)
{
    return type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_TINYINT || type == SQL_BIT
            || type == SQL_BIGINT;
}

bool isNumber(SQLSMALLINT type)
{
    return type == SQL_DECIMAL || type == SQL_NUMERIC || type == SQL_REAL || type == SQL_FLOAT
            || type == SQL_DOUBLE;
}

bool isBinary(SQLSMALLINT type)
{
    return type == SQL_BINARY || type == SQL_VARBINARY || type == SQL_LONGVARBINARY;
}

// Bytes of the terminating zero that the driver writes after a text in a buffer.
SQLLEN terminatorBytes(SQLSMALLINT cType)
{
    return cType == SQL_C_WCHAR ? SQLLEN(sizeof(SQLWCHAR)) : cType == SQL_C_CHAR ? 1 : 0;
}

} // namespace

OdbcCursor::OdbcCursor(SQLHDBC connection, const QString &statement, const QVariantList &params,
                       int timeoutSeconds, Streaming streaming)
    : m_connection(connection)
{
    m_prefetch = streaming != Streaming::None;
#ifdef __GLIBC__
    // glibc gives the fetching thread an arena of its own and hands its memory back to the
    // system each time the driver frees a batch, only to fault it in again for the next one:
    // 57 000 page faults for 100 000 logs through psqlODBC, against 4 500 with one arena, and a
    // tenth of the run (bench/run.sh). The program's two threads hardly contend for one arena.
    static std::once_flag oneArena;
    if (m_prefetch)
        std::call_once(oneArena, [] { mallopt(M_ARENA_MAX, 1); });
#endif
    const bool serverCursor = streaming == Streaming::ServerCursor;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &m_statement))) {
        m_statement = SQL_NULL_HSTMT;
        takeDiagnostics(SQL_HANDLE_DBC, connection, &m_errorString, &m_errorNumber);
        if (m_errorString.isEmpty())
            m_errorString = QStringLiteral("Unbekannter Datenbankfehler");
        m_finished = true;
        return;
    }
    SQLUINTEGER getData = 0;
    SQLGetInfoW(connection, SQL_GETDATA_EXTENSIONS, &getData, sizeof getData, nullptr);
    m_getDataInBlock = (getData & (SQL_GD_BLOCK | SQL_GD_BOUND)) == (SQL_GD_BLOCK | SQL_GD_BOUND);
    QString text = statement;
    if (serverCursor
        && statement.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive)) {
        // A cursor lives in a transaction; WITH HOLD keeps it should another statement's end
        // commit the transaction first.
        const SQLRETURN result = SQLSetConnectAttr(
                connection, SQL_ATTR_AUTOCOMMIT,
                reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_OFF)),
                SQL_IS_UINTEGER);
        if (!SQL_SUCCEEDED(result)) {
            takeDiagnostics(SQL_HANDLE_DBC, connection, &m_errorString, &m_errorNumber);
            fail(result);
            return;
        }
        static QAtomicInt counter;
        m_cursorName = QStringLiteral("brettholm_rows_%1").arg(counter.fetchAndAddRelaxed(1));
        text = QStringLiteral("DECLARE %1 CURSOR WITH HOLD FOR %2").arg(m_cursorName, statement);
    }
    if (!prepare(text, params, timeoutSeconds))
        return;
    if (!m_cursorName.isEmpty()) {
        SQLFreeStmt(m_statement, SQL_RESET_PARAMS);
        const SQLRETURN result = run(
                QStringLiteral("FETCH FORWARD %1 FROM %2").arg(ServerBatchRows).arg(m_cursorName));
        if (!SQL_SUCCEEDED(result)) {
            fail(result);
            return;
        }
    }
    bindColumns();
}

OdbcCursor::~OdbcCursor()
{
    if (m_pending.valid())
        m_pending.wait();
    if (m_statement == SQL_NULL_HSTMT)
        return;
    if (!m_cursorName.isEmpty()) {
        // Fails harmlessly where the cursor was never declared or the connection is gone.
        run(QStringLiteral("CLOSE ") + m_cursorName);
        SQLSetConnectAttr(m_connection, SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_ON)),
                          SQL_IS_UINTEGER);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, m_statement);
}

SQLRETURN OdbcCursor::run(const QString &statement)
{
    SQLFreeStmt(m_statement, SQL_CLOSE);
    return SQLExecDirectW(
            m_statement,
            const_cast<SQLWCHAR *>(reinterpret_cast<const SQLWCHAR *>(statement.utf16())),
            SQLINTEGER(statement.size()));
}

bool OdbcCursor::keepsTimeout(SQLHDBC connection, int seconds, QString *errorString)
{
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement))) {
        QString number;
        takeDiagnostics(SQL_HANDLE_DBC, connection, errorString, &number);
        return false;
    }
    const bool kept = setTimeout(statement, seconds, errorString);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return kept;
}

bool OdbcCursor::fail(SQLRETURN result)
{
    takeDiagnostics(SQL_HANDLE_STMT, m_statement, &m_errorString, &m_errorNumber);
    if (m_errorString.isEmpty())
        m_errorString = QStringLiteral("Unbekannter Datenbankfehler (ODBC %1)").arg(result);
    m_finished = true;
    m_onRow = false;
    return false;
}

bool OdbcCursor::prepare(const QString &statement, const QVariantList &params, int timeoutSeconds)
{
    // Forward only and read only, as ODBC's defaults are; said here, so that no driver's
    // setting changes them.
    SQLRETURN result = SQLSetStmtAttr(m_statement, SQL_ATTR_CURSOR_TYPE,
                                      reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), 0);
    if (SQL_SUCCEEDED(result))
        result = SQLSetStmtAttr(m_statement, SQL_ATTR_CONCURRENCY,
                                reinterpret_cast<SQLPOINTER>(SQL_CONCUR_READ_ONLY), 0);
    if (!SQL_SUCCEEDED(result))
        return fail(result);
    if (timeoutSeconds > 0 && !setTimeout(m_statement, timeoutSeconds, &m_errorString)) {
        m_finished = true;
        return false;
    }
    // The planner is told that every row of the cursor will be read, not a tenth as it assumes
    // for cursors, and to leave out JIT compilation, which its estimate for the correlated
    // look-ups of the log statement calls for and which costs more than it saves (bench/run.sh,
    // 100 000 logs: 5.5 s with both defaults, 3.0 s without); both for this transaction only.
    if (!m_cursorName.isEmpty()
        && !SQL_SUCCEEDED(
                result = run(QStringLiteral(
                        "SELECT set_config(name, CASE name WHEN 'jit' THEN 'off' ELSE '1' "
                        "END, true) FROM pg_settings "
                        "WHERE name IN ('jit', 'cursor_tuple_fraction')"))))
        return fail(result);
    SQLFreeStmt(m_statement, SQL_CLOSE);

    // The values stay here until the statement has run; the vector never moves them.
    m_parameters.reserve(params.size());
    for (qsizetype i = 0; i < params.size(); ++i) {
        const QVariant &param = params.at(i);
        SQLSMALLINT cType = SQL_C_WCHAR;
        SQLSMALLINT sqlType = SQL_WVARCHAR;
        SQLULEN size = 1;
        Parameter p;
        switch (param.typeId()) {
        case QMetaType::UnknownType:
        case QMetaType::Nullptr:
            p.data = QByteArray(sizeof(SQLWCHAR), '\0');
            p.length = SQL_NULL_DATA;
            break;
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong: {
            const SQLBIGINT value = param.toLongLong();
            p.data = QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
            p.length = sizeof value;
            cType = SQL_C_SBIGINT;
            sqlType = SQL_BIGINT;
            break;
        }
        case QMetaType::Double: {
            const double value = param.toDouble();
            p.data = QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
            p.length = sizeof value;
            cType = SQL_C_DOUBLE;
            sqlType = SQL_DOUBLE;
            break;
        }
        default: {
            // Text, the null QString included, which is the empty text and no NULL.
            const QString text = param.toString();
            p.data = QByteArray(reinterpret_cast<const char *>(text.utf16()),
                                text.size() * qsizetype(sizeof(SQLWCHAR)));
            p.length = p.data.size();
            size = std::max<SQLULEN>(1, text.size());
            if (p.data.isEmpty())
                p.data = QByteArray(sizeof(SQLWCHAR), '\0');
        }
        }
        m_parameters.push_back(std::move(p));
        Parameter &bound = m_parameters.back();
        result = SQLBindParameter(m_statement, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, cType, sqlType,
                                  size, 0, bound.data.data(), bound.data.size(), &bound.length);
        if (!SQL_SUCCEEDED(result))
            return fail(result);
    }

    result = SQLPrepareW(
            m_statement,
            const_cast<SQLWCHAR *>(reinterpret_cast<const SQLWCHAR *>(statement.utf16())),
            SQLINTEGER(statement.size()));
    if (!SQL_SUCCEEDED(result))
        return fail(result);
    result = SQLExecute(m_statement);
    if (result == SQL_NO_DATA) {
        m_finished = true;
        return false;
    }
    return SQL_SUCCEEDED(result) || fail(result);
}

bool OdbcCursor::bindColumns()
{
    SQLSMALLINT count = 0;
    SQLRETURN result = SQLNumResultCols(m_statement, &count);
    if (!SQL_SUCCEEDED(result))
        return fail(result);
    if (count == 0) {
        m_finished = true;
        return false;
    }

    m_columns.resize(count);
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
        result = SQLDescribeColW(m_statement, SQLUSMALLINT(i + 1), name,
                                 SQLSMALLINT(std::size(name)), &nameLength, &type, &size, &digits,
                                 &nullable);
        if (!SQL_SUCCEEDED(result))
            return fail(result);
        m_names << QString::fromUtf16(reinterpret_cast<const char16_t *>(name),
                                      std::min<qsizetype>(nameLength, std::size(name) - 1));

        Column &column = m_columns[i];
        SQLLEN isUnsigned = SQL_FALSE;
        if (type == SQL_BIGINT)
            SQLColAttributeW(m_statement, SQLUSMALLINT(i + 1), SQL_DESC_UNSIGNED, nullptr, 0,
                             nullptr, &isUnsigned);
        // Text whose length the driver does not say, or says is above the buffer, may be
        // longer than the buffer; so may any value where the driver's description is wrong.
        const bool unknownSize = size == 0 || size > BoundTextChars;
        if (isWhole(type) && isUnsigned != SQL_TRUE) {
            column.kind = Kind::Whole;
            column.cType = SQL_C_SBIGINT;
            column.width = sizeof(SQLBIGINT);
        } else if (isNumber(type) || type == SQL_BIGINT) {
            // Sign, point and the terminating zero beside the digits; a double's exponent too.
            column.kind = Kind::Decimal;
            column.cType = SQL_C_CHAR;
            column.width = SQLLEN(std::clamp<SQLULEN>(size + 3, 32, 128));
        } else if (type == SQL_TYPE_DATE) {
            column.kind = Kind::Date;
            column.cType = SQL_C_TYPE_DATE;
            column.width = sizeof(SQL_DATE_STRUCT);
        } else if (type == SQL_TYPE_TIMESTAMP) {
            column.kind = Kind::Timestamp;
            column.cType = SQL_C_TYPE_TIMESTAMP;
            column.width = sizeof(SQL_TIMESTAMP_STRUCT);
        } else if (isBinary(type)) {
            column.kind = Kind::Binary;
            column.cType = SQL_C_BINARY;
            column.width = SQLLEN(unknownSize ? BoundTextChars : size);
            mayOverflow = mayOverflow || unknownSize;
        } else {
            // Every other type as the driver's text: char, varchar, their wide and long forms,
            // times, GUIDs.
            column.kind = type == SQL_CHAR || type == SQL_WCHAR ? Kind::PaddedText : Kind::Text;
            column.cType = SQL_C_WCHAR;
            column.width = SQLLEN(((unknownSize ? BoundTextChars : size) + 1) * sizeof(SQLWCHAR));
            mayOverflow = mayOverflow || unknownSize;
        }
        rowBytes += SQLULEN(column.width) + sizeof(SQLLEN);
    }

    // SQLGetData reads a value of another row than the block's first only where the driver
    // allows it; elsewhere a statement whose values may outgrow their buffers goes row by row,
    // and without a block to overlap with.
    SQLULEN rows = std::clamp<SQLULEN>(BlockBytes / rowBytes, 1, MaxBlockRows);
    if (mayOverflow && !m_getDataInBlock)
        rows = 1;
    result = SQLSetStmtAttr(m_statement, SQL_ATTR_ROW_ARRAY_SIZE,
                            reinterpret_cast<SQLPOINTER>(rows), 0);
    // A driver may keep fewer rows a block (01S02) than asked for: the buffers hold them.
    if (SQL_SUCCEEDED(result))
        result = SQLGetStmtAttr(m_statement, SQL_ATTR_ROW_ARRAY_SIZE, &rows, sizeof rows, nullptr);
    if (!SQL_SUCCEEDED(result))
        return fail(result);
    m_prefetch = m_prefetch && rows > 1;
    for (int set = 0; set < 2; ++set) {
        m_blocks[set].status.resize(rows);
        for (Column &column : m_columns) {
            column.buffers[set].resize(rows * SQLULEN(column.width));
            column.lengths[set].resize(rows);
        }
    }
    return true;
}

void OdbcCursor::fetchBlock(int set)
{
    Block &block = m_blocks[set];
    block.rows = 0;
    block.longValues.clear();
    SQLRETURN result = SQLSetStmtAttr(m_statement, SQL_ATTR_ROW_STATUS_PTR, block.status.data(), 0);
    if (SQL_SUCCEEDED(result))
        result = SQLSetStmtAttr(m_statement, SQL_ATTR_ROWS_FETCHED_PTR, &block.rows, 0);
    for (size_t i = 0; SQL_SUCCEEDED(result) && i < m_columns.size(); ++i) {
        Column &column = m_columns[i];
        result = SQLBindCol(m_statement, SQLUSMALLINT(i + 1), column.cType,
                            column.buffers[set].data(), column.width, column.lengths[set].data());
    }
    if (SQL_SUCCEEDED(result)) {
        result = SQLFetch(m_statement);
        // A full batch of the server cursor may have more behind it.
        if (result == SQL_NO_DATA && !m_cursorName.isEmpty()
            && m_batchRows == SQLULEN(ServerBatchRows)) {
            m_batchRows = 0;
            result = run(QStringLiteral("FETCH FORWARD %1 FROM %2")
                                 .arg(ServerBatchRows)
                                 .arg(m_cursorName));
            if (SQL_SUCCEEDED(result))
                result = SQLFetch(m_statement);
        }
    }
    if (result == SQL_NO_DATA) {
        block.rows = 0;
        block.end = true;
        return;
    }
    // SQL_SUCCESS_WITH_INFO: values longer than their buffers, read in full below.
    bool ok = SQL_SUCCEEDED(result);
    if (ok)
        m_batchRows += block.rows;
    // The rows before a failing one are read; the rows end there.
    SQLULEN row = 0;
    for (; ok && row < block.rows; ++row) {
        ok = block.status[row] != SQL_ROW_ERROR;
        for (size_t i = 0; ok && i < m_columns.size(); ++i) {
            if (!isLong(m_columns[i], m_columns[i].lengths[set][row]))
                continue;
            QByteArray bytes;
            ok = readWhole(int(i), row, &bytes);
            block.longValues.insert(qint64(row) * qint64(m_columns.size()) + qint64(i), bytes);
        }
    }
    if (!ok) {
        block.rows = SQL_SUCCEEDED(result) ? row - 1 : 0;
        takeDiagnostics(SQL_HANDLE_STMT, m_statement, &block.errorString, &block.errorNumber);
        if (block.errorString.isEmpty())
            block.errorString = QStringLiteral("Unbekannter Datenbankfehler (ODBC %1)").arg(result);
        block.end = true;
    }
}

bool OdbcCursor::next()
{
    if (m_finished)
        return false;
    if (m_onRow)
        ++m_row;
    m_onRow = false;
    if (m_row >= m_blocks[m_current].rows) {
        // The block that ended the rows, at their end or at a failure.
        if (m_blocks[m_current].end) {
            m_errorString = m_blocks[m_current].errorString;
            m_errorNumber = m_blocks[m_current].errorNumber;
            m_finished = true;
            return false;
        }
        if (m_pending.valid())
            m_pending.get();
        else
            fetchBlock(m_next);
        m_current = m_next;
        m_next = 1 - m_next;
        m_row = 0;
        const Block &block = m_blocks[m_current];
        if (block.rows == 0) {
            m_errorString = block.errorString;
            m_errorNumber = block.errorNumber;
            m_finished = true;
            return false;
        }
        if (m_prefetch && !block.end)
            m_pending = std::async(std::launch::async, [this, set = m_next] { fetchBlock(set); });
    }
    m_onRow = true;
    return true;
}

int OdbcCursor::columnCount() const
{
    return int(m_columns.size());
}

int OdbcCursor::indexOf(const QString &name) const
{
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

bool OdbcCursor::isLong(const Column &column, SQLLEN length) const
{
    const bool variable = column.cType == SQL_C_WCHAR || column.cType == SQL_C_CHAR
            || column.cType == SQL_C_BINARY;
    return variable && length != SQL_NULL_DATA
            && (length == SQL_NO_TOTAL || length > column.width - terminatorBytes(column.cType));
}

HostValue OdbcCursor::value(int column) const
{
    if (!m_onRow || column < 0 || column >= columnCount())
        return HostValue();
    const Column &c = m_columns[column];
    const SQLLEN length = c.lengths[m_current][m_row];
    if (length == SQL_NULL_DATA)
        return HostValue();
    if (isLong(c, length)) {
        const QByteArray bytes = m_blocks[m_current].longValues.value(
                qint64(m_row) * qint64(m_columns.size()) + column);
        return convert(c, bytes.constData(), bytes.size());
    }
    return convert(c, c.buffers[m_current].data() + m_row * SQLULEN(c.width), length);
}

bool OdbcCursor::readWhole(int column, SQLULEN row, QByteArray *bytes)
{
    const Column &c = m_columns[column];
    SQLRETURN result = SQL_SUCCESS;
    if (c.lengths[0].size() > 1)
        result = SQLSetPos(m_statement, SQLSETPOSIROW(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE);
    const SQLLEN room = LongValueChunk - terminatorBytes(c.cType);
    char chunk[LongValueChunk];
    while (SQL_SUCCEEDED(result)) {
        SQLLEN length = 0;
        result = SQLGetData(m_statement, SQLUSMALLINT(column + 1), c.cType, chunk, LongValueChunk,
                            &length);
        if (result == SQL_NO_DATA || (SQL_SUCCEEDED(result) && length == SQL_NULL_DATA))
            return true;
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

HostValue OdbcCursor::convert(const Column &column, const char *data, SQLLEN length) const
{
    switch (column.kind) {
    case Kind::Whole: {
        SQLBIGINT value = 0;
        std::memcpy(&value, data, sizeof value);
        return HostValue::number(qlonglong(value));
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
    case Kind::PaddedText: {
        const auto *text = reinterpret_cast<const char16_t *>(data);
        qsizetype size = length / qsizetype(sizeof(SQLWCHAR));
        while (column.kind == Kind::PaddedText && size > 0 && text[size - 1] == u' ')
            --size;
        return HostValue::text(QString::fromUtf16(text, size));
    }
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
