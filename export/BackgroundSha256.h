#pragma once

#include <QByteArray>
#include <QCryptographicHash>

#include <condition_variable>
#include <mutex>
#include <thread>

// A SHA-256 of bytes handed over part by part, computed in order on one thread of its own while
// the caller goes on: hashing a delivery file's bytes costs about as much as building its lines.
class BackgroundSha256
{
public:
    BackgroundSha256() = default;
    // Waits for the part under way, then ends the thread.
    ~BackgroundSha256();
    BackgroundSha256(const BackgroundSha256 &) = delete;
    BackgroundSha256 &operator=(const BackgroundSha256 &) = delete;

    // Hands the part over; waits while the one before is still being hashed. The bytes are
    // shared, not copied: the caller may drop or change its own copy at once.
    void add(const QByteArray &part);
    // The hex digest of everything added since the last reset, once it is hashed.
    QByteArray hexResult();
    void reset();

private:
    void waitIdle(std::unique_lock<std::mutex> &lock);
    void loop();

    QCryptographicHash m_hash { QCryptographicHash::Sha256 };
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QByteArray m_part; // the part to hash; null while there is none
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_thread;
};
