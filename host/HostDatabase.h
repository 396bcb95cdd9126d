#pragma once

#include "host/HostValue.h"

#include <QString>
#include <QVariantList>

#include <atomic>
#include <memory>

class HostCursor;
class QSqlError;
struct sqlite3;

// A row whose columns are found by name, whatever their case.
class HostRow
{
public:
    virtual ~HostRow() = default;
    // The column's position, or -1 when the row has no column of that name.
    virtual int indexOf(const QString &name) const = 0;
    virtual HostValue value(int column) const = 0;
};

// A forward-only result of one statement. Must not outlive the HostDatabase it came from.
//
// Values read the same on every server: a fixed-width character column (char, nchar) loses
// the blanks that pad it to its width, as they are no part of the value, and a number that an
// ODBC driver formats with the locale's decimal comma is still read as that number. A column
// is converted only when it is read.
class HostQuery final : public HostRow
{
public:
    HostQuery(HostQuery &&) noexcept;
    HostQuery &operator=(HostQuery &&) noexcept;
    ~HostQuery() override;

    // Moves to the next row. False at the end and on a failure: failed() tells them apart.
    bool next();
    bool failed() const { return !errorString().isEmpty(); }
    QString errorString() const;
    QString errorNumber() const;

    int columnCount() const;
    int indexOf(const QString &name) const override;
    HostValue value(int column) const override;

private:
    friend class HostDatabase;
    explicit HostQuery(std::unique_ptr<HostCursor> cursor);

    std::unique_ptr<HostCursor> m_cursor;
};

// The one connection to the host database. Nothing here writes: SQLite files are opened
// read-only and ODBC connections ask the driver for read-only access.
//
// An SQLite file is read through the sqlite3 library itself, and the rows of an ODBC
// connection through the ODBC API, rather than through Qt's drivers, which convert every
// column of every row on fetching it. Qt's ODBC driver opens the connection.
//
// The rows of execStreamed() are read as they come, whatever their number, the next block
// fetched while the program works through the current one. SQL Server's drivers stream by
// themselves; psqlODBC, which would read a whole result into memory first, is read through a
// server cursor in batches unless the connection string chooses its own way (UseDeclareFetch).
class HostDatabase
{
public:
    HostDatabase();
    ~HostDatabase();
    HostDatabase(const HostDatabase &) = delete;
    HostDatabase &operator=(const HostDatabase &) = delete;

    // Opens a connection string of one of the accepted forms (see ConnectionString).
    bool open(const QString &connectionString);
    void close();
    bool isOpen() const;
    // A second connection to the database that other reads, with its settings, for a thread
    // beside the one that uses other: a statement of each may be under way at the same time.
    // For ODBC that is a second login with the same connection string. False when other is
    // not open or the second connection cannot be made; errorString() says why.
    bool openBeside(const HostDatabase &other);

    // Runs a statement with "?" placeholders bound in order to params. A QString binds as
    // text, the null QString as the empty text; a QVariant without a value binds as NULL.
    // On an ODBC connection one query reads at a time: another one fails while the rows of a
    // query are not read to their end and it is not destroyed.
    HostQuery exec(const QString &statement, const QVariantList &params = {}) const;
    // The same for a statement whose rows may be many: they come in batches on every driver,
    // so that memory stays flat however many there are.
    HostQuery execStreamed(const QString &statement, const QVariantList &params = {}) const;

    // An ORDER BY list that puts NULL before every value, as SQL Server and SQLite do and
    // PostgreSQL does not, written so that all three accept it.
    static QString orderNullsFirst(const QStringList &columns);

    // Seconds an ODBC statement may wait for the server, on a lock held by another program
    // as on anything else, before it fails; 0 waits for ever. 30 unless set. A driver that
    // does not keep the limit fails open() (with the limit set before it) and every statement.
    // An SQLite statement waits 5 s for a lock.
    void setQueryTimeout(int seconds) { m_queryTimeout = seconds; }

    // The description of the last failure of open(), and the driver's error number where it
    // gives one.
    QString errorString() const { return m_errorString; }
    QString errorNumber() const { return m_errorNumber; }

private:
    bool openSqlite(const QString &path);
    bool openOdbc(const QString &connectionString, const QString &options);
    HostQuery run(const QString &statement, const QVariantList &params, bool streamed) const;
    void takeQtError(const QSqlError &error);

    // The Qt connection of an ODBC database, and its ODBC handle (an SQLHDBC).
    QString m_connectionName;
    void *m_odbc = nullptr;
    // How the rows of execStreamed() come: as the driver hands them over, fetched ahead on a
    // thread, or through a server cursor of the program's own (see OdbcCursor).
    enum class Streaming { Driver, Prefetch, ServerCursor };
    Streaming m_streaming = Streaming::Driver;
    // Whether a statement of the ODBC connection is reading; one at a time (see OdbcCursor).
    std::shared_ptr<std::atomic<bool>> m_inFlight;
    sqlite3 *m_sqlite = nullptr;
    QString m_sqlitePath;
    // What open() gave Qt's ODBC driver, for openBeside().
    QString m_odbcConnection;
    QString m_odbcOptions;
    int m_queryTimeout = 30;
    QString m_errorString;
    QString m_errorNumber;
};
