#include "base/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

AtomicFile::AtomicFile(const QString &path) : m_file(path) { }

bool AtomicFile::fail(int systemError)
{
    if (!m_failed) {
        m_failed = true;
        m_errorString = m_file.errorString();
        // A write that the system cut short (a disk that fills up within Qt's buffer, a file
        // size limit) leaves Qt without its reason, and Qt then says "Unknown error"; the
        // reason is the system's error of the call that failed.
        if (systemError != 0 && m_errorString == QFile().errorString())
            m_errorString = qt_error_string(systemError);
        m_file.cancelWriting();
    }
    return false;
}

bool AtomicFile::open()
{
    return m_file.open(QIODevice::WriteOnly) || fail();
}

bool AtomicFile::write(const QByteArray &bytes)
{
    if (m_failed)
        return false;
    errno = 0;
    return m_file.write(bytes) == bytes.size() || fail(errno);
}

bool AtomicFile::commit()
{
    if (m_failed)
        return false;
    errno = 0;
    if (!m_file.flush())
        return fail(errno);
    if (!m_file.commit()) {
        m_failed = true;
        m_errorString = m_file.errorString();
        return false;
    }
    return true;
}

bool AtomicFile::place()
{
    if (m_failed)
        return false;
    const QString path = m_file.fileName();
    const QString aside = asidePath();
    if (QFileInfo(aside).exists() || QFileInfo(aside).isSymLink()) {
        m_errorString = QString::fromUtf8("Die Datei %1 liegt im Weg: sie hält vielleicht "
                                          "die einzige Kopie einer früheren Fassung von %2.")
                                .arg(aside, path);
        cancel();
        return false;
    }
    m_hasOld = QFileInfo(path).exists() || QFileInfo(path).isSymLink();
    if (m_hasOld) {
        QFile old(path);
        if (!old.rename(aside)) {
            m_errorString = old.errorString();
            cancel();
            return false;
        }
    }
    if (!commit()) {
        if (m_hasOld && !QFile::rename(aside, path))
            m_errorString +=
                    QString::fromUtf8(" Die frühere Fassung liegt jetzt unter %1.").arg(aside);
        return false;
    }
    m_placed = true;
    return true;
}

bool AtomicFile::undo()
{
    if (!m_placed)
        return false;
    m_placed = false;
    const QString path = m_file.fileName();
    QFile placed(path);
    if (!placed.remove()) {
        m_errorString = placed.errorString();
        return false;
    }
    QFile old(asidePath());
    if (m_hasOld && !old.rename(path)) {
        m_errorString = old.errorString();
        return false;
    }
    return true;
}

void AtomicFile::keep()
{
    if (m_placed && m_hasOld)
        QFile::remove(asidePath());
    m_placed = false;
}

void AtomicFile::cancel()
{
    if (!m_failed) {
        m_failed = true;
        m_file.cancelWriting();
    }
}
