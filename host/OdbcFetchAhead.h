#pragma once

#include "base/SerialWorker.h"

#include <functional>

// One thread beside the reader, for the life of a cursor, that fetches the next block of rows
// while the program works through the current one. One fetch at a time: the statement handle
// is never used by both threads at once.
class OdbcFetchAhead
{
public:
    explicit OdbcFetchAhead(std::function<void(int)> fetch);

    // Starts the fetch into set; the one before must have been waited for.
    void start(int set);
    // Returns when the fetch started last has ended; at once when none was started.
    void wait();

private:
    std::function<void(int)> m_fetch;
    // Last, so that it ends, waiting for a fetch under way, before m_fetch goes.
    SerialWorker m_worker;
};
