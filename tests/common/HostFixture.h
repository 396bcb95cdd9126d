#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A host database for one test: the demo schema in a fresh SQLite file, filled by the test's
// own statements. The file is removed with the fixture.
class HostFixture
{
public:
    HostFixture();

    // Runs statements against the file (read-write, unlike the program's own connection).
    // Fails the running test on any error.
    bool exec(const QStringList &statements);
    // Runs a file of statements separated by ";" at line ends.
    bool execFile(const QString &path);

    QString path() const { return m_path; }
    QString connectionString() const { return "Provider=SQLite;Data Source=" + m_path; }
    QString directory() const { return m_dir.path(); }

    static QString sourceFile(const QString &relativePath);
    static QString demoConnectionString();
    // The statements of a file, split at ";" at line ends; "--" comment lines are dropped.
    static QStringList statementsOf(const QString &path);

private:
    QTemporaryDir m_dir;
    QString m_path;
};
