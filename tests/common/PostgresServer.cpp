#include "PostgresServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

PostgresServer::~PostgresServer()
{
    if (kill())
        m_server.waitForFinished(30000);
}

// The server refuses to run as root: then its programs run as the postgres user. It ends at
// once (SIGQUIT) when the test program ends, even one that dies.
void PostgresServer::prepare(QProcess &process) const
{
    process.setChildProcessModifier([uid = m_uid, gid = m_gid] {
        if (::geteuid() == 0
            && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            ::_exit(127);
        ::prctl(PR_SET_PDEATHSIG, SIGQUIT); // after the change of user, which clears it
    });
}

bool PostgresServer::start()
{
    // The newest installed server; Debian keeps its binaries out of PATH.
    const QStringList versions =
            QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    const QString bin = "/usr/lib/postgresql/" + versions.value(versions.size() - 1) + "/bin/";
    const passwd *postgres = ::getpwnam("postgres");
    if (!m_dir.isValid()
        || (::geteuid() == 0
            && (!postgres
                || ::chown(QFile::encodeName(m_dir.path()).constData(), m_uid = postgres->pw_uid,
                           m_gid = postgres->pw_gid)
                        != 0))) {
        m_errorString = QStringLiteral("no folder for the postgres user");
        return false;
    }
    // The driver from a list of this folder's own: Debian's sets CommLog=1 for psqlODBC, which
    // leaves a log file per connection in /tmp. unixODBC reads the list from ODBCSYSINI.
    QFile drivers(m_dir.filePath("odbcinst.ini"));
    if (!drivers.open(QIODevice::WriteOnly)
        || drivers.write("[PostgreSQL Unicode]\nDriver=psqlodbcw.so\nCommLog=0\nDebug=0\n") < 0) {
        m_errorString = QStringLiteral("no odbcinst.ini in the server's folder");
        return false;
    }
    drivers.close();
    qputenv("ODBCSYSINI", QFile::encodeName(m_dir.path()));

    const QString data = m_dir.filePath("data");
    QProcess initdb;
    prepare(initdb);
    initdb.setProcessChannelMode(QProcess::MergedChannels);
    // C.UTF-8 orders text by code point, as SQLite's default collation does.
    initdb.start(bin + "initdb",
                 { "-D", data, "--auth=trust", "--username=postgres", "--encoding=UTF8",
                   "--locale=C.UTF-8" });
    if (!initdb.waitForFinished(60000) || initdb.exitCode() != 0) {
        m_errorString = bin + "initdb (package postgresql): " + initdb.errorString() + u' '
                + QString::fromLocal8Bit(initdb.readAll());
        return false;
    }

    // A port below the ephemeral range; another program may have it: then the next. Sockets
    // stay in the folder, every statement is logged, and nothing waits for the disk.
    prepare(m_server);
    m_server.setStandardOutputFile(m_dir.filePath("server.log"), QIODevice::Append);
    m_server.setStandardErrorFile(m_dir.filePath("server.log"), QIODevice::Append);
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = QRandomGenerator::global()->bounded(20000, 30000);
        m_server.start(bin + "postgres",
                       { "-D", data, "-p", QString::number(m_port), "-k", m_dir.path(), "-h",
                         "127.0.0.1", "-F", "-c", "log_statement=all", "-c", "log_line_prefix=%u|",
                         "-c", "max_prepared_transactions=5" });
        QElapsedTimer waiting;
        waiting.start();
        while (m_server.state() != QProcess::NotRunning && waiting.elapsed() < 60000) {
            if (exec("postgres",
                     { "CREATE ROLE " + QLatin1String(Reader)
                       + " LOGIN IN ROLE pg_read_all_data" }))
                return true;
            QThread::msleep(100);
        }
        kill();
        m_server.waitForFinished();
    }
    return false;
}

// Safe from any thread: a signal to the server's process, which then ends on its own.
bool PostgresServer::kill()
{
    return m_server.processId() > 0 && ::kill(pid_t(m_server.processId()), SIGQUIT) == 0;
}

bool PostgresServer::exec(const QString &database, const QStringList &statements)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QODBC", "postgres-admin");
        db.setDatabaseName(connectionString(database, "postgres"));
        ok = db.open();
        m_errorString = db.lastError().text();
        QSqlQuery query(db);
        for (int i = 0; ok && i < statements.size(); ++i) {
            ok = query.exec(statements[i]);
            if (!ok)
                m_errorString = statements[i].left(200) + ": " + query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase("postgres-admin");
    return ok;
}

bool PostgresServer::createDatabase(const QString &name, const QStringList &statements)
{
    return exec("postgres", { "CREATE DATABASE " + name }) && exec(name, statements);
}

QString PostgresServer::connectionString(const QString &database, const QString &user) const
{
    return QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=%1;Database=%2;UID=%3")
            .arg(m_port)
            .arg(database, user);
}

QByteArray PostgresServer::log() const
{
    QFile file(m_dir.filePath("server.log"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString sqliteOdbcDriver()
{
    for (const QString &dir : QDir("/usr/lib").entryList({ "*-linux-gnu" }, QDir::Dirs)) {
        const QString path = "/usr/lib/" + dir + "/odbc/libsqlite3odbc.so";
        if (QFile::exists(path))
            return path;
    }
    return QString();
}
