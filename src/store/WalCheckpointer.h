#pragma once

#include <QByteArray>

#include <condition_variable>
#include <mutex>
#include <thread>

struct sqlite3;

namespace vorn {

// Copies a store file's write-ahead log back into the file on a thread and a connection of its own. A
// save that fills the log past SQLite's threshold (a big note does at every save) would otherwise copy
// and sync megabytes inside its commit, on the thread that saves: the window's. The copy is a passive
// one: it never waits for the writer, and what it can't copy now waits for the next one.
class WalCheckpointer {
public:
    static constexpr int kFrames = 1000; // SQLite's own threshold, in pages

    explicit WalCheckpointer(QByteArray path);
    // Lets a copy under way finish, then stops. Before the store's own connection closes.
    ~WalCheckpointer();
    WalCheckpointer(const WalCheckpointer&) = delete;
    WalCheckpointer& operator=(const WalCheckpointer&) = delete;

    // Makes the store's connection ask for a copy when a commit leaves the log past the threshold,
    // instead of making it there and then.
    void watch(sqlite3* db);
    // Asks for a copy soon; returns at once.
    void request();

private:
    void run();

    const QByteArray m_path;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_asked = false;
    bool m_stop = false;
    std::thread m_thread; // started at the first request
};

} // namespace vorn
