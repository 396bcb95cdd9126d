#pragma once

#include "host/HostCursor.h"

#include <QStringList>
#include <QVariantList>

struct sqlite3;
struct sqlite3_stmt;

// The rows of a statement on an SQLite file, read through the sqlite3 library itself. Each
// column is converted when it is read, from the type SQLite stored it as: INTEGER to a whole
// number, REAL to a double, TEXT and BLOB to text (UTF-8). Error texts are SQLite's own.
class SqliteCursor final : public HostCursor
{
public:
    // Prepares statement on database, binds params to its "?" placeholders in order and steps
    // to the first row, so that a statement that cannot run fails here, before any next().
    // The database must outlive the cursor.
    SqliteCursor(sqlite3 *database, const QString &statement, const QVariantList &params);
    ~SqliteCursor() override;
    SqliteCursor(const SqliteCursor &) = delete;
    SqliteCursor &operator=(const SqliteCursor &) = delete;

    bool next() override;
    int columnCount() const override;
    HostValue value(int column) const override;

private:
    bool bind(int position, const QVariant &value);
    bool step();
    void fail(int code);
    bool hasColumn(int column) const;

    sqlite3 *m_database;
    sqlite3_stmt *m_statement = nullptr;
    bool m_onRow = false;
    // The first row, stepped to in the constructor, waits for the first next().
    bool m_firstRowPending = false;
    bool m_finished = false;
};
