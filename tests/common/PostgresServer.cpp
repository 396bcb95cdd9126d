#include "PostgresServer.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

PostgresServer::~PostgresServer()
{
    m_watchdog.closeWriteChannel();
    m_watchdog.waitForFinished(30000);
}

// A server tool's command line on the cluster. As root it runs as the postgres user; runuser
// lives in sbin, which a root shell's PATH may lack.
QStringList PostgresServer::tool(const QString &name, const QStringList &arguments) const
{
    const QStringList command =
            QStringList {m_binDir + u'/' + name, "-D", m_dir.filePath("data")} + arguments;
    if (geteuid() != 0)
        return command;
    return QStringList {QStandardPaths::findExecutable("runuser", {"/usr/sbin", "/sbin"}), "-u",
                        "postgres", "--"} +
            command;
}

bool PostgresServer::run(const QString &name, const QStringList &arguments)
{
    const QStringList command = tool(name, arguments);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    const bool ok = process.waitForFinished(60000) &&
            process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok)
        m_errorString = name + ": " + process.errorString() + u' ' +
                QString::fromLocal8Bit(process.readAll());
    return ok;
}

bool PostgresServer::start()
{
    // The newest installed server; Debian keeps its binaries out of PATH.
    const QString root = QStringLiteral("/usr/lib/postgresql/");
    for (const QString &version : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFile::exists(root + version + "/bin/pg_ctl"))
            m_binDir = root + version + "/bin";
    }
    const passwd *postgres = getpwnam("postgres");
    if (m_binDir.isEmpty() || !postgres || !m_dir.isValid() ||
        (geteuid() == 0 &&
         ::chown(QFile::encodeName(m_dir.path()).constData(), postgres->pw_uid, postgres->pw_gid) !=
                 0)) {
        m_errorString = QStringLiteral("no PostgreSQL server (package postgresql) or no folder");
        return false;
    }

    // From here on the folder holds a cluster that may run, so the watchdog comes first. Its
    // output goes nowhere, or ctest would wait for it.
    m_watchdog.setStandardOutputFile(QProcess::nullDevice());
    m_watchdog.setStandardErrorFile(QProcess::nullDevice());
    m_watchdog.start("setsid",
                     QStringList {"sh", "-c",
                                  "cat >/dev/null; dir=$1; shift; \"$@\" >/dev/null 2>&1; "
                                  "rm -rf \"$dir\"",
                                  "sh", m_dir.path()} +
                             tool("pg_ctl", {"-m", "immediate", "stop"}));
    // C.UTF-8 orders text by code point, as SQLite's default collation does.
    if (!m_watchdog.waitForStarted() ||
        !run("initdb",
             {"--auth=trust", "--username=postgres", "--encoding=UTF8", "--locale=C.UTF-8"}))
        return false;
    // A port below the ephemeral range; another program may have it: then the next. Sockets
    // stay in the folder, statements are logged, and nothing waits for the disk.
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = QRandomGenerator::global()->bounded(20000, 30000);
        const QString options = QStringLiteral("-p %1 -k %2 -h 127.0.0.1 -F -c log_statement=all "
                                               "-c log_line_prefix='%u|'")
                                        .arg(m_port)
                                        .arg(m_dir.path());
        if (run("pg_ctl", {"-l", m_dir.filePath("server.log"), "-w", "-o", options, "start"}))
            return exec("template1",
                        {QStringLiteral("CREATE ROLE %1 LOGIN").arg(QLatin1String(Reader)),
                         QStringLiteral("ALTER DEFAULT PRIVILEGES GRANT SELECT ON TABLES TO %1")
                                 .arg(QLatin1String(Reader))});
    }
    return false;
}

bool PostgresServer::kill()
{
    return run("pg_ctl", {"-w", "-m", "immediate", "stop"});
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
    return exec("postgres", {"CREATE DATABASE " + name}) && exec(name, statements);
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
