#include "host/OdbcFetchAhead.h"

#include <utility>

#ifdef __GLIBC__
#include <malloc.h>

namespace {

// glibc gives the fetching thread an arena of its own and hands its memory back to the system
// each time the driver frees a batch, only to fault it in again for the next one: 57 000 page
// faults for 100 000 logs through psqlODBC, against 4 500 with one arena, and a tenth of the
// run (bench/run.sh). The program's two threads hardly contend for one arena. Set as the
// process starts, before any thread exists, as mallopt asks.
[[maybe_unused]] const bool OneArena = mallopt(M_ARENA_MAX, 1) == 1;

} // namespace
#endif

OdbcFetchAhead::OdbcFetchAhead(std::function<void(int)> fetch) : m_fetch(std::move(fetch)) { }

OdbcFetchAhead::~OdbcFetchAhead()
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

void OdbcFetchAhead::start(int set)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_set = set;
        m_busy = true;
        // The thread begins with the first block fetched ahead, not with the cursor: a result
        // of one block never needs it.
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
    }
    m_changed.notify_all();
}

void OdbcFetchAhead::wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
}

bool OdbcFetchAhead::isBusy()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_busy;
}

void OdbcFetchAhead::loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_set >= 0; });
        if (m_stop)
            return;
        const int set = std::exchange(m_set, -1);
        lock.unlock();
        m_fetch(set);
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}
