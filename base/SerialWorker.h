#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// One thread beside the caller that runs the jobs handed to it one after the other, in the
// order given, while the caller goes on. A job's effects are the caller's to read once wait()
// has returned.
class SerialWorker
{
public:
    SerialWorker() = default;
    // Waits for the job under way, then ends the thread.
    ~SerialWorker();
    SerialWorker(const SerialWorker &) = delete;
    SerialWorker &operator=(const SerialWorker &) = delete;

    // Waits for the job before, then starts this one. The thread begins with the first job.
    void run(std::function<void()> job);
    // Returns when the job started last has ended; at once when none is under way.
    void wait();

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_job; // empty while there is none
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_thread;
};
