#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

// A PostgreSQL server of the test's own: a new cluster in a temporary folder, listening on
// loopback, reached through the PostgreSQL ODBC driver without a DSN, run as the postgres user
// when the test runs as root. Every statement is logged as "user|...".
class PostgresServer
{
public:
    // The login role that may read every host table and write none.
    static constexpr const char *Reader = "reader";

    ~PostgresServer();

    // Creates the cluster, starts the server and waits until it accepts connections. The
    // process's ODBC driver list (ODBCSYSINI) becomes the server folder's, which names the
    // PostgreSQL driver alone and without its log files.
    bool start();
    // Ends the server at once, without a checkpoint, as a crash ends it for its clients.
    bool kill();
    // Runs statements as the superuser, stopping at the first failure.
    bool exec(const QString &database, const QStringList &statements);
    // A new database with these statements run in it; Reader may read all its tables.
    bool createDatabase(const QString &name, const QStringList &statements);

    QString connectionString(const QString &database, const QString &user = Reader) const;
    QByteArray log() const;
    int port() const { return m_port; }
    QString folder() const { return m_dir.path(); }
    QString errorString() const { return m_errorString; }

private:
    void prepare(QProcess &process) const;

    QTemporaryDir m_dir;
    QProcess m_server;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    int m_port = 0;
    QString m_errorString;
};

// The other ODBC driver of these tests, the SQLite one: its library, wherever the machine's
// architecture keeps it; "" when it is not installed.
QString sqliteOdbcDriver();
