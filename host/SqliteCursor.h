#pragma once

#include "base/SerialWorker.h"
#include "host/HostCursor.h"

#include <QStringList>
#include <QVariantList>

#include <atomic>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The rows of a statement on an SQLite file, read through the sqlite3 library itself. Each
// column is converted when it is read, from the type SQLite stored it as: INTEGER to a whole
// number, REAL to a double, TEXT and BLOB to text (UTF-8). Error texts are SQLite's own.
//
// A cursor that reads ahead steps and converts the rows on a thread of its own, a block ahead
// of the caller, every column of them. The connection is then the thread's: that cursor reads
// ahead only when no other cursor of the connection is open, and no other opens while it is.
class SqliteCursor final : public HostCursor
{
public:
    // The cursors open on one connection: how many, or ReadingAhead while one reads ahead.
    using OpenCursors = std::shared_ptr<std::atomic<int>>;
    static constexpr int ReadingAhead = -1;

    // Prepares statement on database, binds params to its "?" placeholders in order and steps
    // to the first row, so that a statement that cannot run fails here, before any next().
    // The database must outlive the cursor.
    SqliteCursor(sqlite3 *database, OpenCursors open, const QString &statement,
                 const QVariantList &params, bool readAhead = false);
    ~SqliteCursor() override;
    SqliteCursor(const SqliteCursor &) = delete;
    SqliteCursor &operator=(const SqliteCursor &) = delete;

    bool next() override;
    int columnCount() const override;
    HostValue value(int column) const override;

private:
    struct Block
    {
        std::vector<HostValue> values; // row by row, every column
        int rows = 0;
        bool end = false; // the last block: the rows or a failure ended here
        QString error;
        QString errorNumber;
    };

    bool bind(int position, const QVariant &value);
    bool step();
    void fail(int code);
    bool hasColumn(int column) const;
    HostValue columnValue(int column) const;
    void fill(Block &block);
    bool nextAhead();

    sqlite3 *m_database;
    OpenCursors m_open;
    bool m_counted = false;        // one of the open cursors
    bool m_ownsConnection = false; // the one that reads ahead
    sqlite3_stmt *m_statement = nullptr;
    // Reading ahead: the caller's block and the one the worker fills.
    std::unique_ptr<SerialWorker> m_readAhead;
    Block m_blocks[2];
    int m_current = 0;
    int m_row = -1;
    bool m_onRow = false;
    // The first row, stepped to in the constructor, waits for the first next().
    bool m_firstRowPending = false;
    bool m_finished = false;
};
