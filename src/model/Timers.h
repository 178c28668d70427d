#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace vorn {

// A timer the model starts: the sync's debounce, the toast, the drag reset and the clock's beat. The
// app's are Qt timers on the monotonic clock; a test's fire when the test says so.
class Timer {
public:
    virtual ~Timer() = default;
    // (Re)starts it: it fires once `msecs` from now, or every `msecs` when it repeats.
    virtual void start(int msecs) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// Makes the model's timers; `name` says which one it is ("sync", "toast", "drag", "clock", "save"), so a test
// can fire the one it means.
class Timers {
public:
    virtual ~Timers() = default;
    virtual std::unique_ptr<Timer> make(const QString& name, bool repeats, std::function<void()> fired) = 0;
};

// Qt timers; a single shot is precise, since a coarse one may fire early and cut a toast short.
class QtTimers final : public Timers {
public:
    std::unique_ptr<Timer> make(const QString& name, bool repeats, std::function<void()> fired) override;
};

// How long the model's timers wait; tests shorten them.
struct ModelIntervals {
    int toastMSecs = 3000;
    int dragResetMSecs = 30000;
    int clockMSecs = 30000;
    int syncDebounceMSecs = 400;
    // After a failed write (the store's save, a note's file, the family mirror): the first retry, doubled
    // after each further failure up to the longest wait.
    int saveRetryMSecs = 2000;
    int saveRetryMaxMSecs = 60000;
};

} // namespace vorn
