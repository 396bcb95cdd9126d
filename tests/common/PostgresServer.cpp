#include "PostgresServer.h"

#include <QAtomicInt>
#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool runningAsRoot()
{
    return geteuid() == 0;
}

// runuser lives in sbin, which a root shell's PATH may lack.
QString runuser()
{
    const QString found = QStandardPaths::findExecutable(
            QStringLiteral("runuser"), { "/usr/sbin", "/sbin", "/usr/bin", "/bin" });
    return found.isEmpty() ? QStringLiteral("runuser") : found;
}

// The binaries of the newest installed server; Debian keeps them out of PATH.
QString serverBinDir()
{
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList names = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(names.begin(), names.end(),
              [&](const QString &a, const QString &b) { return numeric.compare(a, b) > 0; });
    for (const QString &name : names) {
        const QString bin = versions.filePath(name + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    const QString inPath = QStandardPaths::findExecutable(QStringLiteral("pg_ctl"));
    return inPath.isEmpty() ? QString() : QFileInfo(inPath).absolutePath();
}

// A loopback port that nothing listens on at this moment.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

} // namespace

PostgresServer::PostgresServer() : m_binDir(serverBinDir())
{
    m_dataDir = m_dir.filePath(QStringLiteral("data"));
}

PostgresServer::~PostgresServer()
{
    if (m_initialised)
        run(QStringLiteral("pg_ctl"), { "-D", m_dataDir, "-w", "-m", "fast", "stop" });
    if (m_watchdog) {
        m_watchdog->closeWriteChannel();
        m_watchdog->waitForFinished(30000);
    }
}

bool PostgresServer::run(const QString &tool, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString program = m_binDir + u'/' + tool;
    if (runningAsRoot())
        process.start(runuser(),
                      QStringList{ "-u", "postgres", "--", program } + arguments);
    else
        process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        m_errorString = tool + QStringLiteral(" did not finish");
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_errorString = tool + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}

bool PostgresServer::initCluster()
{
    if (m_binDir.isEmpty()) {
        m_errorString = QStringLiteral("no PostgreSQL server installed (package postgresql)");
        return false;
    }
    if (!m_dir.isValid()) {
        m_errorString = m_dir.errorString();
        return false;
    }
    if (runningAsRoot()) {
        const passwd *postgres = getpwnam("postgres");
        if (!postgres ||
            ::chown(QFile::encodeName(m_dir.path()).constData(), postgres->pw_uid,
                    postgres->pw_gid) != 0) {
            m_errorString = QStringLiteral("cannot hand %1 to the postgres user").arg(m_dir.path());
            return false;
        }
    }

    // From here on the folder holds a cluster that may run: the watchdog must exist first.
    const QString script = QStringLiteral(
            "cat >/dev/null; dir=$1; shift; \"$@\" >/dev/null 2>&1; rm -rf \"$dir\"");
    QStringList stop {
            m_binDir + QStringLiteral("/pg_ctl"), "-D", m_dataDir, "-m", "immediate", "stop"};
    if (runningAsRoot())
        stop = QStringList{ runuser(), "-u", "postgres", "--" } + stop;
    m_watchdog = std::make_unique<QProcess>();
    m_watchdog->setStandardOutputFile(QProcess::nullDevice());
    m_watchdog->setStandardErrorFile(QProcess::nullDevice());
    m_watchdog->start(QStringLiteral("setsid"),
                      QStringList{ "sh", "-c", script, "sh", m_dir.path() } + stop);
    if (!m_watchdog->waitForStarted()) {
        m_errorString = QStringLiteral("cannot start the watchdog: ") + m_watchdog->errorString();
        return false;
    }

    // C.UTF-8 orders text by code point, as SQLite's default collation does.
    if (!run(QStringLiteral("initdb"),
             { "-D", m_dataDir, "--auth=trust", "--username=postgres", "--encoding=UTF8",
               "--locale=C.UTF-8" }))
        return false;
    QFile conf(m_dataDir + QStringLiteral("/postgresql.conf"));
    if (!conf.open(QIODevice::Append)) {
        m_errorString = conf.errorString();
        return false;
    }
    conf.write(QStringLiteral("listen_addresses = '127.0.0.1'\n"
                              "unix_socket_directories = '%1'\n"
                              "log_statement = 'all'\n"
                              "log_line_prefix = '%u|'\n"
                              "fsync = off\n")
                       .arg(m_dir.path())
                       .toUtf8());
    m_initialised = true;
    return true;
}

bool PostgresServer::start()
{
    if (!m_initialised && !initCluster())
        return false;
    const QString log = m_dir.filePath(QStringLiteral("server.log"));
    // Another program may take a free port before the server does: try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (m_port == 0 || attempt > 0)
            m_port = freePort();
        if (run(QStringLiteral("pg_ctl"),
                { "-D", m_dataDir, "-l", log, "-w", "-t", "60", "-o",
                  QStringLiteral("-p %1").arg(m_port), "start" }))
            return exec(QStringLiteral("postgres"),
                        { QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE "
                                        "rolname = '%1') THEN CREATE ROLE %1 LOGIN; END IF; "
                                        "END$$")
                                 .arg(QLatin1String(Reader)) });
    }
    return false;
}

bool PostgresServer::kill()
{
    return run(QStringLiteral("pg_ctl"), { "-D", m_dataDir, "-w", "-m", "immediate", "stop" });
}

bool PostgresServer::exec(const QString &database, const QStringList &statements)
{
    static QAtomicInt counter;
    const QString name = QStringLiteral("postgres-admin-%1").arg(counter.fetchAndAddRelaxed(1));
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(connectionString(database, QStringLiteral("postgres")));
        ok = db.open();
        if (!ok)
            m_errorString = db.lastError().text();
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            if (!ok)
                break;
            if (!query.exec(statement)) {
                ok = false;
                m_errorString =
                        statement.left(200) + QStringLiteral(": ") + query.lastError().text();
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool PostgresServer::createDatabase(const QString &name, const QStringList &statements)
{
    return exec(QStringLiteral("postgres"), { QStringLiteral("CREATE DATABASE ") + name }) &&
            exec(name,
                 statements +
                         QStringList{ QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA "
                                                     "public TO ") +
                                      QLatin1String(Reader) });
}

QString PostgresServer::connectionString(const QString &database, const QString &user) const
{
    return QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=%1;Database=%2;UID=%3")
            .arg(m_port)
            .arg(database, user);
}

QByteArray PostgresServer::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("server.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
