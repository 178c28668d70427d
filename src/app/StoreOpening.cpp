#include "app/StoreOpening.h"

#include "app/StoreLock.h"
#include "model/StartupTrace.h"
#include "store/Store.h"
#include "store/Timers.h"

#include <QThread>

namespace vorn {

namespace {

// A thread without an event loop can't start Qt's timers. These only remember being started (the sample
// data of a demo, a rescue taken back), and the model's own timers start where they stood.
class HeldTimers final : public Timers {
public:
    std::unique_ptr<Timer> make(const QString&, bool, std::function<void()>) override
    {
        return std::make_unique<Held>();
    }

private:
    class Held final : public Timer {
    public:
        void start(int) override { m_active = true; }
        void stop() override { m_active = false; }
        bool isActive() const override { return m_active; }

    private:
        bool m_active = false;
    };
};

} // namespace

StoreOpening::StoreOpening(Launch launch) : m_launch(std::move(launch))
{
    // Asked here, before the other thread makes any object: the first thread Qt meets becomes its main
    // thread, and the store is handed to it from the other one.
    QThread* main = QThread::currentThread();
    m_thread = std::thread([this, main] {
        m_opened.locked = lockStore(m_launch, m_opened.lock);
        traceStartup("store locked (opening thread)");
        if (!m_opened.locked)
            return;
        HeldTimers held;
        m_opened.store = makeStore(m_launch, &m_opened.error, &held);
        // Its signals and its writer's answers belong to the main thread's event loop.
        if (m_opened.store)
            m_opened.store->moveToThread(main);
        traceStartup("store open (opening thread)");
    });
}

StoreOpening::~StoreOpening()
{
    if (m_thread.joinable())
        m_thread.join();
}

StoreOpening::Opened StoreOpening::take()
{
    if (m_thread.joinable())
        m_thread.join();
    return std::move(m_opened);
}

} // namespace vorn
