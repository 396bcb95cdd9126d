#include "host/SqliteCursor.h"

#include <QVariant>

#include <sqlite3.h>

namespace {

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

SqliteCursor::SqliteCursor(sqlite3 *database, const QString &statement, const QVariantList &params)
    : m_database(database)
{
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
}

SqliteCursor::~SqliteCursor()
{
    sqlite3_finalize(m_statement);
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

bool SqliteCursor::next()
{
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
