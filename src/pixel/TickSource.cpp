#include "pixel/TickSource.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace vorn {

namespace {

class SteadyTickSource final : public TickSource {
public:
    SteadyTickSource() { m_clock.start(); }

    qint64 nowMSecs() const override { return m_clock.elapsed(); }

    void wakeAt(qint64 deadlineMSecs, QObject* context, std::function<void()> fn) override
    {
        const qint64 wait = std::max<qint64>(0, deadlineMSecs - nowMSecs());
        // Precise: the waits are short and an early or late frame would be visible.
        QTimer::singleShot(std::chrono::milliseconds(wait), Qt::PreciseTimer, context, std::move(fn));
    }

private:
    QElapsedTimer m_clock;
};

} // namespace

TickSource& TickSource::steady()
{
    static SteadyTickSource source;
    return source;
}

} // namespace vorn
