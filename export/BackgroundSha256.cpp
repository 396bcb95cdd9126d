#include "export/BackgroundSha256.h"

#include <utility>

BackgroundSha256::~BackgroundSha256()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        waitIdle(lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundSha256::add(const QByteArray &part)
{
    if (part.isEmpty())
        return;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        waitIdle(lock);
        m_part = part;
        m_busy = true;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
    }
    m_changed.notify_all();
}

QByteArray BackgroundSha256::hexResult()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    waitIdle(lock);
    return m_hash.result().toHex();
}

void BackgroundSha256::reset()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    waitIdle(lock);
    m_hash.reset();
}

void BackgroundSha256::waitIdle(std::unique_lock<std::mutex> &lock)
{
    m_changed.wait(lock, [this] { return !m_busy; });
}

void BackgroundSha256::loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_busy; });
        if (m_stop)
            return;
        const QByteArray part = std::exchange(m_part, QByteArray());
        lock.unlock();
        // Only this thread touches the hash while a part is under way.
        m_hash.addData(part);
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}
