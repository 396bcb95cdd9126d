#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A host database for one test: the demo schema in a fresh SQLite file, then the statements of
// files of the source tree, filled by the test's own statements. The file is removed with the
// fixture.
class HostFixture
{
public:
    explicit HostFixture(const QStringList &sourceFiles = {});

    // Runs statements against the file (read-write, unlike the program's own connection).
    // Fails the running test on any error.
    bool exec(const QStringList &statements);

    QString path() const { return m_path; }
    QString connectionString() const { return "Provider=SQLite;Data Source=" + m_path; }

    static QString sourceFile(const QString &relativePath);
    static QString demoConnectionString();
    // The statements of a file, split at ";" at line ends; "--" comment lines are dropped.
    static QStringList statementsOf(const QString &path);

    static QByteArray readFile(const QString &path); // empty when it cannot be read
    static bool writeFile(const QString &path, const QByteArray &bytes);
    // The demo settings with dir as the export directory, stored in dir as the program stores
    // them (Windows-1252, CR LF); returns the file's path, empty on failure.
    static QString writeDemoSettings(const QString &dir);
    // Each delivery file in dir, which is then removed: its name and the log numbers (field
    // 22) of its lines, then its content.
    static QString takeDeliveries(const QString &dir);
    // Past size bytes a file write fails with EFBIG instead of raising SIGXFSZ; 0 lifts the
    // limit. Nothing where the platform has no such limit.
    static bool limitFileSize(qint64 size);

private:
    QTemporaryDir m_dir;
    QString m_path;
};
