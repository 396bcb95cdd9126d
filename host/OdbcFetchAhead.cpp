#include "host/OdbcFetchAhead.h"

#include <utility>

#ifdef __GLIBC__
#include <malloc.h>

namespace {

// The thread that fetches runs beside the one that reads, both allocating for every value:
// psqlODBC a string per field of a batch, the program its texts. In one allocator arena they
// wait for each other's lock; in two they need not (bench/run.sh). More arenas hold more memory
// for nothing: the process's other threads share these two. Set as the process starts, before
// any thread exists, as mallopt asks.
[[maybe_unused]] const bool TwoArenas = mallopt(M_ARENA_MAX, 2) == 1;

} // namespace
#endif

OdbcFetchAhead::OdbcFetchAhead(std::function<void(int)> fetch) : m_fetch(std::move(fetch)) { }

void OdbcFetchAhead::start(int set)
{
    // The thread begins with the first block fetched ahead, not with the cursor: a result of
    // one block never needs it.
    m_worker.run([this, set] { m_fetch(set); });
}

void OdbcFetchAhead::wait()
{
    m_worker.wait();
}
