#pragma once

#include "model/Launch.h"

#include <QLockFile>
#include <QString>

#include <memory>
#include <thread>

namespace vorn {

class Store;

// Takes the store's lock and opens the store on a thread of its own, so that the reading of the things
// happens while QApplication connects to the display. Started before the application exists; `take`
// waits for it and hands the store to the calling (main) thread.
class StoreOpening {
public:
    explicit StoreOpening(Launch launch);
    ~StoreOpening();
    StoreOpening(const StoreOpening&) = delete;
    StoreOpening& operator=(const StoreOpening&) = delete;

    struct Opened {
        bool locked = false; // false: a live process holds the store, nothing was opened
        std::unique_ptr<QLockFile> lock;
        std::unique_ptr<Store> store; // null when locked and the open failed, with `error` set
        QString error;
    };
    Opened take();

private:
    Launch m_launch;
    Opened m_opened;
    std::thread m_thread;
};

} // namespace vorn
