#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class QProcess;

// A PostgreSQL server of the test's own: a new cluster in a temporary folder, listening on a
// free loopback port, reached through the PostgreSQL ODBC driver without a DSN. It runs as the
// postgres user when the test runs as root, since the server refuses to run as root. Every
// statement is logged with the name of the user who sent it.
//
// The server is stopped and its folder removed when the object goes, and also when the test
// program dies without destroying it: a watchdog process in a session of its own does both as
// soon as the test's end of its input pipe closes.
class PostgresServer
{
public:
    // The login role that may read every host table and write none.
    static constexpr const char *Reader = "reader";

    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // Creates the cluster on first use, then starts the server and waits until it accepts
    // connections.
    bool start();
    // Ends the server at once, without a checkpoint, as a crash ends it for its clients.
    bool kill();

    // Runs statements as the superuser, stopping at the first failure.
    bool exec(const QString &database, const QStringList &statements);
    // A new database with these statements run in it; Reader may read all its tables.
    bool createDatabase(const QString &name, const QStringList &statements);

    QString connectionString(const QString &database, const QString &user = Reader) const;
    int port() const { return m_port; }
    // The server's log so far: one "user|" prefixed entry per statement.
    QByteArray log() const;
    QString errorString() const { return m_errorString; }

private:
    bool run(const QString &tool, const QStringList &arguments, int timeoutMs = 60000);
    bool initCluster();

    QTemporaryDir m_dir;
    QString m_binDir;
    QString m_dataDir;
    int m_port = 0;
    bool m_initialised = false;
    std::unique_ptr<QProcess> m_watchdog;
    QString m_errorString;
};
