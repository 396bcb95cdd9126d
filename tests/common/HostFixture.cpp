#include "HostFixture.h"

#include "base/TextRules.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTextCodec>

#ifdef BRETTHOLM_FILE_SIZE_LIMIT
#include <csignal>
#include <sys/resource.h>
#endif

HostFixture::HostFixture(const QStringList &sourceFiles)
    : m_path(m_dir.filePath(QStringLiteral("host.sqlite")))
{
    for (const QString &file : QStringList { QStringLiteral("demo/schema.sql") } + sourceFiles)
        exec(statementsOf(sourceFile(file)));
}

QString HostFixture::sourceFile(const QString &relativePath)
{
    return QStringLiteral(BRETTHOLM_SOURCE_DIR "/") + relativePath;
}

QString HostFixture::demoConnectionString()
{
    return QStringLiteral("Provider=SQLite;Data Source=" BRETTHOLM_DEMO_DATABASE);
}

QStringList HostFixture::statementsOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QTest::qFail(qPrintable("cannot read " + path), __FILE__, __LINE__);
        return {};
    }
    // Comment lines go; a statement ends with ";" at a line end.
    QString text = QString::fromUtf8(file.readAll());
    text.remove(QRegularExpression("^[ \\t]*--[^\\n]*", QRegularExpression::MultilineOption));
    QStringList statements;
    for (const QString &statement : text.split(QRegularExpression(";[ \\t\\r]*(\\n|$)"))) {
        if (!statement.trimmed().isEmpty())
            statements << statement.trimmed() + u';';
    }
    return statements;
}

bool HostFixture::exec(const QStringList &statements)
{
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fixture-writer");
        db.setDatabaseName(m_path);
        if (!db.open())
            error = QStringLiteral("cannot open %1: %2").arg(m_path, db.lastError().text());
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            if (error.isEmpty() && !query.exec(statement))
                error = statement + QStringLiteral(": ") + query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture-writer"));
    if (!error.isEmpty())
        QTest::qFail(qPrintable(error), __FILE__, __LINE__);
    return error.isEmpty();
}

QByteArray HostFixture::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool HostFixture::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString HostFixture::writeDemoSettings(const QString &dir)
{
    QString settings = QString::fromUtf8(readFile(sourceFile(QStringLiteral("demo/Brett.Ini.in"))));
    const QString path = QDir(dir).filePath(QStringLiteral("Brett.Ini"));
    settings.replace(QStringLiteral("@EXPORTPATH@"), dir).replace(u'\n', QStringLiteral("\r\n"));
    return !settings.isEmpty() && writeFile(path, TextRules::ansiCodec()->fromUnicode(settings))
            ? path
            : QString();
}

QString HostFixture::takeDeliveries(const QString &dir)
{
    QString text;
    for (const QString &name : QDir(dir).entryList(QDir::Files | QDir::Hidden)) {
        // The settings and the ledger beside them stay: they are no deliveries.
        if (name == QLatin1String("Brett.Ini")
            || name.startsWith(QLatin1String("Lieferbuch.sqlite")))
            continue;
        const QString path = QDir(dir).filePath(name);
        const QByteArray content = readFile(path);
        text += name + u':';
        for (const QByteArray &line : content.split('\n'))
            text += line.isEmpty() ? QString()
                                   : u' ' + QString::fromLatin1(line.split(';').value(21));
        text += u'\n' + QString::fromLatin1(content);
        QFile::remove(path);
    }
    return text;
}

bool HostFixture::limitFileSize(qint64 size)
{
#ifdef BRETTHOLM_FILE_SIZE_LIMIT
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = size ? rlim_t(size) : limit.rlim_max;
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
#else
    return size == 0;
#endif
}
