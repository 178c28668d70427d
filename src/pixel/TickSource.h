#pragma once

#include <QObject>
#include <QtGlobal>

#include <functional>

namespace vorn {

// Monotonic time and one-shot wake-ups for view animations. The app uses the steady one; tests drive a
// fake so timing is checked without sleeping.
class TickSource {
public:
    virtual ~TickSource() = default;

    // Milliseconds on a monotonic clock.
    virtual qint64 nowMSecs() const = 0;
    // Calls `fn` once, at or after `deadlineMSecs`, unless `context` is gone by then.
    virtual void wakeAt(qint64 deadlineMSecs, QObject* context, std::function<void()> fn) = 0;

    // The process's monotonic clock with precise timers.
    static TickSource& steady();
};

} // namespace vorn
