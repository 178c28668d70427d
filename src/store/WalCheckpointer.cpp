#include "store/WalCheckpointer.h"

#include <sqlite3.h>

namespace vorn {

WalCheckpointer::WalCheckpointer(QByteArray path) : m_path(std::move(path)) {}

WalCheckpointer::~WalCheckpointer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void WalCheckpointer::watch(sqlite3* db)
{
    // Replaces SQLite's own checkpoint after a commit (the hook and it are one setting).
    sqlite3_wal_hook(
        db,
        [](void* self, sqlite3*, const char*, int frames) {
            if (frames >= kFrames)
                static_cast<WalCheckpointer*>(self)->request();
            return SQLITE_OK;
        },
        this);
}

void WalCheckpointer::request()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stop)
            return;
        m_asked = true;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    m_wake.notify_one();
}

void WalCheckpointer::run()
{
    sqlite3* db = nullptr;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_asked || m_stop; });
        if (m_stop)
            break;
        m_asked = false;
        lock.unlock();
        // Opened here, on first need: a connection is of the thread that uses it. One that fails (the
        // disk, a file gone) is tried again at the next request; the log meanwhile only grows.
        // A connection sees the file in WAL mode only once it has read it.
        if (!db && (sqlite3_open_v2(m_path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
                    sqlite3_exec(db, "PRAGMA schema_version", nullptr, nullptr, nullptr) != SQLITE_OK)) {
            sqlite3_close(db);
            db = nullptr;
        }
        if (db)
            sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        lock.lock();
    }
    lock.unlock();
    sqlite3_close(db);
}

} // namespace vorn
