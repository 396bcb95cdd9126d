#include "HostFixture.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace {

QStringList splitStatements(const QString &text)
{
    QStringList statements;
    QString current;
    for (const QString &line : text.split(u'\n')) {
        if (line.trimmed().startsWith(QLatin1String("--")))
            continue;
        current += line + u'\n';
        if (line.trimmed().endsWith(u';')) {
            statements << current.trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

} // namespace

HostFixture::HostFixture()
{
    m_path = m_dir.filePath(QStringLiteral("host.sqlite"));
    execFile(sourceFile(QStringLiteral("demo/schema.sql")));
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
        QTest::qFail(qPrintable(QStringLiteral("cannot read %1").arg(path)), __FILE__, __LINE__);
        return {};
    }
    return splitStatements(QString::fromUtf8(file.readAll()));
}

bool HostFixture::execFile(const QString &path)
{
    const QStringList statements = statementsOf(path);
    return !statements.isEmpty() && exec(statements);
}

bool HostFixture::exec(const QStringList &statements)
{
    const QString name = QStringLiteral("fixture-writer");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_path);
        ok = db.open();
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            if (!ok)
                break;
            if (!query.exec(statement)) {
                ok = false;
                QTest::qFail(qPrintable(statement + QStringLiteral(": ")
                                        + query.lastError().text()),
                             __FILE__, __LINE__);
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}
