#include "family/SerialQueue.h"

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#if defined(__linux__) || defined(__APPLE__)
#include <pthread.h>
#endif

namespace vorn {

namespace {

// A caller that waits for each piece of work posts the next one within microseconds, and a sleep and
// wake-up costs more than a typical statement; both sides first poll this long before they block.
constexpr auto kSpin = std::chrono::microseconds(50);

// Linux refuses thread names longer than 15 bytes, so the label is cut to fit.
void nameCurrentThread(const QByteArray& label)
{
    const QByteArray name = label.left(15);
#if defined(__linux__)
    pthread_setname_np(pthread_self(), name.constData());
#elif defined(__APPLE__)
    pthread_setname_np(name.constData());
#else
    Q_UNUSED(name);
#endif
}

inline void cpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Polls `ready` for a short while, yielding the core to others; true when it became true.
template <typename Ready> bool spinUntil(Ready&& ready)
{
    const auto deadline = std::chrono::steady_clock::now() + kSpin;
    for (int round = 0; !ready(); ++round) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (round < 64)
            cpuRelax();
        else
            std::this_thread::yield(); // a loaded machine may need this core for the other side
    }
    return true;
}

// One sync() call's hand-back. Shared, so neither side can outlive the other's use of it.
struct Completion {
    std::atomic<bool> done{false};
    std::mutex mutex;
    std::condition_variable signal;
    std::exception_ptr failure;
};

} // namespace

struct SerialQueue::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    std::atomic<size_t> queued{0};
    bool stopping = false;
    std::thread thread;
    std::thread::id threadId;

    void run(const QByteArray& label)
    {
        nameCurrentThread(label);
        for (;;) {
            spinUntil([this] { return queued.load(std::memory_order_acquire) > 0; });
            std::function<void()> task;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || !tasks.empty(); });
                if (tasks.empty())
                    return; // stopping, and everything queued has run
                task = std::move(tasks.front());
                tasks.pop_front();
                queued.fetch_sub(1, std::memory_order_relaxed);
            }
            task();
        }
    }
};

SerialQueue::SerialQueue(const QString& label) : m_state(std::make_unique<State>())
{
    // The id is stored before sync() can be called, so the inline check never races the start.
    std::unique_lock lock(m_state->mutex);
    m_state->thread = std::thread([state = m_state.get(), name = label.toUtf8()] { state->run(name); });
    m_state->threadId = m_state->thread.get_id();
}

SerialQueue::~SerialQueue()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
    }
    m_state->wake.notify_one();
    if (m_state->thread.joinable())
        m_state->thread.join();
}

void SerialQueue::async(std::function<void()> work)
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->tasks.emplace_back([work = std::move(work)] {
            try {
                work();
            } catch (const std::exception& e) {
                qWarning("serial queue: queued work failed: %s", e.what());
            } catch (...) {
                qWarning("serial queue: queued work failed");
            }
        });
        m_state->queued.fetch_add(1, std::memory_order_release);
    }
    m_state->wake.notify_one();
}

void SerialQueue::sync(const std::function<void()>& work)
{
    // Work already on this queue that waits for the queue would wait for itself forever; run it here.
    if (std::this_thread::get_id() == m_state->threadId) {
        work();
        return;
    }

    auto completion = std::make_shared<Completion>();
    {
        std::lock_guard lock(m_state->mutex);
        m_state->tasks.emplace_back([&work, completion] {
            try {
                work();
            } catch (...) {
                // An exception escaping the worker would end the process; the caller gets it instead.
                completion->failure = std::current_exception();
            }
            std::lock_guard doneLock(completion->mutex);
            completion->done.store(true, std::memory_order_release);
            completion->signal.notify_one();
        });
        m_state->queued.fetch_add(1, std::memory_order_release);
    }
    m_state->wake.notify_one();

    const auto finished = [&] { return completion->done.load(std::memory_order_acquire); };
    if (!spinUntil(finished)) {
        std::unique_lock doneLock(completion->mutex);
        completion->signal.wait(doneLock, finished);
    }
    if (completion->failure)
        std::rethrow_exception(completion->failure);
}

} // namespace vorn
