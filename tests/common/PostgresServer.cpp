#include "PostgresServer.h"

#include "HostFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

pid_t startProcess(const QStringList &command, const QString &outputFile, uid_t uid, gid_t gid)
{
    // All that the child needs is made before the fork: it only changes user and execs.
    std::vector<QByteArray> arguments;
    for (const QString &argument : command)
        arguments.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int output = ::open(QFile::encodeName(outputFile).constData(),
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t pid = output < 0 ? -1 : ::fork();
    if (pid == 0) {
        // PR_SET_PDEATHSIG after the change of user, which clears it.
        if ((uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            || ::prctl(PR_SET_PDEATHSIG, SIGQUIT) != 0 || ::dup2(output, 1) < 0
            || ::dup2(output, 2) < 0)
            ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (output >= 0)
        ::close(output);
    return pid;
}

int waitForExit(pid_t pid, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    int status = 0;
    pid_t ended = 0;
    while (pid > 0 && (ended = ::waitpid(pid, &status, WNOHANG)) == 0
           && timer.elapsed() < timeoutMs)
        QThread::msleep(10);
    return ended == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PostgresServer::~PostgresServer()
{
    if (kill())
        waitForExit(m_pid, 30000);
}

bool PostgresServer::start()
{
    // The newest installed server; Debian keeps its binaries out of PATH. The server refuses
    // to run as root: then its programs run as the postgres user.
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
    if (!HostFixture::writeFile(
                m_dir.filePath("odbcinst.ini"),
                "[PostgreSQL Unicode]\nDriver=psqlodbcw.so\nCommLog=0\nDebug=0\n")) {
        m_errorString = QStringLiteral("no odbcinst.ini in the server's folder");
        return false;
    }
    qputenv("ODBCSYSINI", QFile::encodeName(m_dir.path()));

    // C.UTF-8 orders text by code point, as SQLite's default collation does.
    const QString data = m_dir.filePath("data");
    const QString initdbLog = m_dir.filePath("initdb.log");
    if (waitForExit(startProcess({ bin + "initdb", "-D", data, "--auth=trust",
                                   "--username=postgres", "--encoding=UTF8", "--locale=C.UTF-8" },
                                 initdbLog, m_uid, m_gid),
                    60000)
        != 0) {
        m_errorString = bin + "initdb (package postgresql): "
                + QString::fromLocal8Bit(HostFixture::readFile(initdbLog));
        return false;
    }

    // A port below the ephemeral range; another program may have it: then the next. Sockets
    // stay in the folder, every statement is logged, and nothing waits for the disk.
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = QRandomGenerator::global()->bounded(20000, 30000);
        m_pid = startProcess({ bin + "postgres", "-D", data, "-p", QString::number(m_port), "-k",
                               m_dir.path(), "-h", "127.0.0.1", "-F", "-c", "log_statement=all",
                               "-c", "log_line_prefix=%u|", "-c", "max_prepared_transactions=5" },
                             m_dir.filePath("server.log"), m_uid, m_gid);
        QElapsedTimer waiting;
        waiting.start();
        bool running = m_pid > 0;
        while (running && waiting.elapsed() < 60000) {
            if (exec("postgres",
                     { "CREATE ROLE " + QLatin1String(Reader)
                       + " LOGIN IN ROLE pg_read_all_data" }))
                return true;
            QThread::msleep(100);
            running = ::waitpid(m_pid, nullptr, WNOHANG) == 0;
        }
        if (running && kill())
            waitForExit(m_pid, 30000);
        m_pid = -1;
    }
    return false;
}

// Safe from any thread: a signal to the server's process, which then ends on its own.
bool PostgresServer::kill()
{
    return m_pid > 0 && ::kill(m_pid, SIGQUIT) == 0;
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
    return HostFixture::readFile(m_dir.filePath("server.log"));
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
