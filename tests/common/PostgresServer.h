#pragma once

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
    // For the benchmark, which reaches the server with psql and its own ODBC programs.
    int port() const { return m_port; }
    QString folder() const { return m_dir.path(); }
    QByteArray log() const;
    QString errorString() const { return m_errorString; }

private:
    QTemporaryDir m_dir;
    pid_t m_pid = -1;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    int m_port = 0;
    QString m_errorString;
};

// Starts command (the program's path first; /usr/bin/env for other variables) with its output
// appended to outputFile, as the user uid (0: the test's) and group gid. It gets SIGQUIT when
// the test ends, even one that dies. Returns the process id, -1 on failure. With fork and exec,
// not QProcess: ThreadSanitizer's runtime (clang 14) aborts in the clone() that QProcess starts
// a child with.
pid_t startProcess(const QStringList &command, const QString &outputFile, uid_t uid = 0,
                   gid_t gid = 0);
// The exit code of the process, once it has ended; -1 when it died or runs after timeoutMs.
int waitForExit(pid_t pid, int timeoutMs);

// The other ODBC driver of these tests, the SQLite one: its library, wherever the machine's
// architecture keeps it; "" when it is not installed.
QString sqliteOdbcDriver();
