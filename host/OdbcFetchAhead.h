#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// One thread beside the reader, for the life of a cursor, that fetches the next block of rows
// while the program works through the current one. One fetch at a time: the statement handle
// is never used by both threads at once.
class OdbcFetchAhead
{
public:
    explicit OdbcFetchAhead(std::function<void(int)> fetch);
    // Waits for a fetch under way, then ends the thread.
    ~OdbcFetchAhead();
    OdbcFetchAhead(const OdbcFetchAhead &) = delete;
    OdbcFetchAhead &operator=(const OdbcFetchAhead &) = delete;

    // Starts the fetch into set; the one before must have been waited for.
    void start(int set);
    // Returns when the fetch started last has ended; at once when none was started.
    void wait();
    bool isBusy();

private:
    void loop();

    std::function<void(int)> m_fetch;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_set = -1; // the set to fetch; -1 while there is none
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_thread;
};
