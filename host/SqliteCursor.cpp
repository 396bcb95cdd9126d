#include "host/SqliteCursor.h"

#include <QVariant>

#include <sqlite3.h>

namespace {

// Rows a block: few hand-overs, and memory that stays small beside SQLite's own.
const int BlockRows = 256;

// The statement's text ends at the first statement; only blanks may follow it.
bool onlyBlanks(const char *text)
{
    for (; *text; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n')
            return false;
    }
    return true;
}

} // namespace

SqliteCursor::SqliteCursor(sqlite3 *database, OpenCursors open, const QString &statement,
                           const QVariantList &params, bool readAhead)
    : m_database(database), m_open(std::move(open))
{
    int expected = 0;
    if (readAhead && m_open->compare_exchange_strong(expected, ReadingAhead)) {
        m_readAhead = std::make_unique<SerialWorker>();
        m_ownsConnection = true;
    } else {
        // Read on this thread, beside other such cursors; never while one reads ahead.
        int count = m_open->load();
        while (count != ReadingAhead && !m_open->compare_exchange_weak(count, count + 1)) { }
        if (count == ReadingAhead) {
            m_errorString = QStringLiteral("Die Verbindung zur Datenbank liest noch die Zeilen "
                                           "einer anderen Abfrage; eine zweite Abfrage zugleich "
                                           "ist nicht möglich.");
            m_finished = true;
            return;
        }
        m_counted = true;
    }
    const QByteArray sql = statement.toUtf8();
    const char *tail = nullptr;
    const int code = sqlite3_prepare_v2(m_database, sql.constData(), int(sql.size()) + 1,
                                        &m_statement, &tail);
    if (code != SQLITE_OK) {
        fail(code);
        return;
    }
    if (!m_statement || !onlyBlanks(tail)) {
        // Statements are run one at a time, so that a text put into one cannot add another.
        m_errorString = QStringLiteral("Es muss genau eine SQL-Anweisung sein.");
        m_finished = true;
        return;
    }
    for (int i = 0; i < params.size(); ++i) {
        if (!bind(i + 1, params.at(i)))
            return;
    }
    const int columns = sqlite3_column_count(m_statement);
    m_names.reserve(columns);
    for (int i = 0; i < columns; ++i)
        m_names << QString::fromUtf8(sqlite3_column_name(m_statement, i));
    m_firstRowPending = step();
    if (!m_readAhead || !m_firstRowPending)
        return;
    // The first row, stepped to here, makes the first block; the worker goes on with the next.
    m_firstRowPending = false;
    Block &first = m_blocks[0];
    first.values.resize(m_names.size());
    for (int c = 0; c < columns; ++c)
        first.values[c] = columnValue(c);
    first.rows = 1;
    m_readAhead->run([this] { fill(m_blocks[1]); });
}

SqliteCursor::~SqliteCursor()
{
    // The worker stops with the block under way; then the statement is no one's.
    m_readAhead.reset();
    sqlite3_finalize(m_statement);
    if (m_counted)
        --*m_open;
    if (m_ownsConnection)
        m_open->store(0);
}

bool SqliteCursor::bind(int position, const QVariant &value)
{
    int code = SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        code = sqlite3_bind_null(m_statement, position);
        break;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        code = sqlite3_bind_int64(m_statement, position, value.toLongLong());
        break;
    case QMetaType::Double:
        code = sqlite3_bind_double(m_statement, position, value.toDouble());
        break;
    default: {
        // Text, the null QString included, which is the empty text and no NULL.
        const QByteArray text = value.toString().toUtf8();
        code = sqlite3_bind_text(m_statement, position, text.constData(), int(text.size()),
                                 SQLITE_TRANSIENT);
    }
    }
    if (code != SQLITE_OK) {
        fail(code);
        return false;
    }
    return true;
}

bool SqliteCursor::step()
{
    m_onRow = false;
    if (m_finished)
        return false;
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW) {
        m_onRow = true;
        return true;
    }
    // After SQLITE_DONE another step would run the statement again from the start.
    m_finished = true;
    if (code != SQLITE_DONE)
        fail(code);
    return false;
}

void SqliteCursor::fill(Block &block)
{
    const int columns = int(m_names.size());
    block.values.resize(size_t(BlockRows) * columns);
    block.rows = 0;
    while (block.rows < BlockRows) {
        const int code = sqlite3_step(m_statement);
        if (code != SQLITE_ROW) {
            block.end = true;
            if (code != SQLITE_DONE) {
                block.error = QString::fromUtf8(sqlite3_errmsg(m_database));
                if (block.error.isEmpty())
                    block.error = QString::fromUtf8(sqlite3_errstr(code));
                block.errorNumber = QString::number(code);
            }
            return;
        }
        HostValue *row = block.values.data() + size_t(block.rows) * columns;
        for (int c = 0; c < columns; ++c)
            row[c] = columnValue(c);
        ++block.rows;
    }
}

bool SqliteCursor::nextAhead()
{
    m_onRow = false;
    if (m_finished)
        return false;
    ++m_row;
    if (m_row >= m_blocks[m_current].rows) {
        if (m_blocks[m_current].end) {
            m_finished = true;
            m_errorString = m_blocks[m_current].error;
            m_errorNumber = m_blocks[m_current].errorNumber;
            return false;
        }
        m_readAhead->wait();
        m_current = 1 - m_current;
        m_row = 0;
        if (!m_blocks[m_current].end)
            m_readAhead->run([this, next = 1 - m_current] { fill(m_blocks[next]); });
        if (m_blocks[m_current].rows == 0)
            return nextAhead();
    }
    m_onRow = true;
    return true;
}

bool SqliteCursor::next()
{
    if (m_readAhead)
        return nextAhead();
    if (m_firstRowPending) {
        m_firstRowPending = false;
        return true;
    }
    return step();
}

void SqliteCursor::fail(int code)
{
    m_errorString = QString::fromUtf8(sqlite3_errmsg(m_database));
    if (m_errorString.isEmpty())
        m_errorString = QString::fromUtf8(sqlite3_errstr(code));
    m_errorNumber = QString::number(code);
    m_finished = true;
}

int SqliteCursor::columnCount() const
{
    return int(m_names.size());
}

bool SqliteCursor::hasColumn(int column) const
{
    return m_onRow && column >= 0 && column < m_names.size();
}

HostValue SqliteCursor::value(int column) const
{
    if (!hasColumn(column))
        return HostValue();
    if (m_readAhead)
        return m_blocks[m_current].values[size_t(m_row) * m_names.size() + size_t(column)];
    return columnValue(column);
}

HostValue SqliteCursor::columnValue(int column) const
{
    // The column's value object is read directly, which SQLite allows a connection that one
    // thread uses at a time; the sqlite3_column_...() calls would each look it up again.
    sqlite3_value *value = sqlite3_column_value(m_statement, column);
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return HostValue();
    case SQLITE_INTEGER:
        return HostValue::number(qlonglong(sqlite3_value_int64(value)));
    case SQLITE_FLOAT:
        return HostValue::number(sqlite3_value_double(value));
    default: {
        // TEXT, and a BLOB read as UTF-8 text. The length is asked after the text, as SQLite
        // documents: the text may be converted first.
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        return HostValue::text(QString::fromUtf8(text, sqlite3_value_bytes(value)));
    }
    }
}
