#include "store/Timers.h"

#include <QTimer>

namespace vorn {

namespace {

class QtTimer final : public Timer {
public:
    QtTimer(bool repeats, std::function<void()> fired)
    {
        m_timer.setSingleShot(!repeats);
        if (!repeats)
            m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(fired));
    }
    void start(int msecs) override { m_timer.start(msecs); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace

std::unique_ptr<Timer> QtTimers::make(const QString&, bool repeats, std::function<void()> fired)
{
    return std::make_unique<QtTimer>(repeats, std::move(fired));
}

} // namespace vorn
