#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace vorn {

// A named worker thread that runs submitted work one piece at a time, in order.
class SerialQueue {
public:
    explicit SerialQueue(const QString& label);
    ~SerialQueue(); // runs what is queued, then stops the thread
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    // Runs `work` on the queue's thread and waits until it has finished.
    void sync(const std::function<void()>& work);
    // Queues `work` and returns at once; it runs after everything queued before it. An exception
    // escaping it is logged and dropped.
    void async(std::function<void()> work);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace vorn
