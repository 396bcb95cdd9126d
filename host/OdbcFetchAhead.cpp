#include "host/OdbcFetchAhead.h"

#include <utility>

#ifdef __GLIBC__
#include <malloc.h>

namespace {

// glibc gives the fetching thread an arena of its own and hands its memory back to the system
// each time the driver frees a batch, only to fault it in again for the next one: 57 000 page
// faults for 100 000 logs through psqlODBC, against 4 500 with one arena, and a tenth of the
// run (bench/run.sh). The program's few threads hardly contend for one arena. Set as the
// process starts, before any thread exists, as mallopt asks.
[[maybe_unused]] const bool OneArena = mallopt(M_ARENA_MAX, 1) == 1;

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
