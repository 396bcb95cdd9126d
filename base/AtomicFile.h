#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// A file that is replaced as a whole or not at all: the bytes go to a temporary file beside
// it, which takes the file's place only on a successful commit(). Without a commit, or after
// any failed write, the temporary file is removed and an existing file keeps its content.
//
// QSaveFile alone is not enough: in Qt 6.4 a failure of the last buffer flush, which happens
// inside commit(), goes unnoticed and a truncated file replaces the old one. Every write is
// therefore checked and the buffer flushed before the commit.
class AtomicFile
{
public:
    explicit AtomicFile(const QString &path);

    bool open();
    bool write(const QByteArray &bytes);
    bool commit();

    // A replacement that must go together with another change (the delivery file with its
    // ledger record): place() puts the new content in the file's place and keeps an existing
    // file beside it as asidePath(); then keep() drops the old file, or undo() removes the new
    // one and puts the old one back. A file already at asidePath() stops place(), since it may
    // be the only copy left of an earlier content by a run that was cut off.
    bool place();
    bool undo();
    void keep();
    QString asidePath() const { return m_file.fileName() + QStringLiteral(".alt"); }

    // Ends writing without a commit: an existing file keeps its content.
    void cancel();

    QString errorString() const { return m_errorString; }

private:
    // systemError: errno of the call that failed, 0 when there is none.
    bool fail(int systemError = 0);

    QSaveFile m_file;
    QString m_errorString;
    bool m_failed = false;
    bool m_placed = false;
    bool m_hasOld = false;
};
