#include "base/AtomicFile.h"

AtomicFile::AtomicFile(const QString &path) : m_file(path) { }

bool AtomicFile::fail()
{
    if (!m_failed) {
        m_failed = true;
        m_errorString = m_file.errorString();
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
    return m_file.write(bytes) == bytes.size() || fail();
}

bool AtomicFile::commit()
{
    if (m_failed)
        return false;
    if (!m_file.flush())
        return fail();
    if (!m_file.commit()) {
        m_failed = true;
        m_errorString = m_file.errorString();
        return false;
    }
    return true;
}
