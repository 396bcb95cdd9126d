#pragma once

#include "app/HostValue.h"

#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <QVector>

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
// ODBC driver formats with the locale's decimal comma is still read as that number.
class HostQuery final : public HostRow
{
public:
    HostQuery(HostQuery &&) = default;
    HostQuery &operator=(HostQuery &&) = default;

    // Moves to the next row. False at the end and on a failure: failed() tells them apart.
    bool next();
    bool failed() const { return !m_errorString.isEmpty(); }
    QString errorString() const { return m_errorString; }
    QString errorNumber() const { return m_errorNumber; }

    int indexOf(const QString &name) const override;
    HostValue value(int column) const override;
    bool isNull(int column) const;

private:
    friend class HostDatabase;
    HostQuery(QSqlQuery query, bool odbc);
    void takeError();

    QSqlQuery m_query;
    QVector<int> m_types;
    QVector<bool> m_padded;
    bool m_active = false;
    QString m_errorString;
    QString m_errorNumber;
};

// The one connection to the host database. Nothing here writes: SQLite files are opened
// read-only and ODBC connections ask the driver for read-only access.
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

    // Runs a statement with "?" placeholders bound in order to params.
    HostQuery exec(const QString &statement, const QVariantList &params = {}) const;

    // An ORDER BY list that puts NULL before every value, as SQL Server and SQLite do and
    // PostgreSQL does not, written so that all three accept it.
    static QString orderNullsFirst(const QStringList &columns);

    // Seconds an ODBC statement may wait for the server, on a lock held by another program
    // as on anything else, before it fails; 0 waits for ever. 30 unless set.
    void setQueryTimeout(int seconds) { m_queryTimeout = seconds; }

    QString driverName() const;
    // The description of the last failure of open(), and the driver's error number where it
    // gives one.
    QString errorString() const { return m_errorString; }
    QString errorNumber() const { return m_errorNumber; }

private:
    QString m_connectionName;
    bool m_sqlite = false;
    int m_queryTimeout = 30;
    QString m_errorString;
    QString m_errorNumber;
};
