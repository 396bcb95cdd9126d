#include "base/SerialWorker.h"

#include <utility>

SerialWorker::~SerialWorker()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_busy; });
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void SerialWorker::run(std::function<void()> job)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_busy; });
        m_job = std::move(job);
        m_busy = true;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
    }
    m_changed.notify_all();
}

void SerialWorker::wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
}

void SerialWorker::loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_busy; });
        if (m_stop)
            return;
        std::function<void()> job = std::exchange(m_job, nullptr);
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}
