#pragma once

#include "model/Timers.h"

#include <functional>
#include <memory>

namespace vorn {

// A retry after something failed (a save of the store, a note's file), waiting longer after each further
// failure, from the first wait up to the longest, and starting over once something got through.
class RetryBackoff {
public:
    RetryBackoff(Timers& timers, const QString& name, int firstMSecs, int maxMSecs,
                 std::function<void()> retry);

    // Another failure: a retry is due after the current wait, which then doubles. A retry already
    // waiting keeps its time.
    void failed();
    // Through at last: no retry waits, and the next failure waits the first time again.
    void succeeded();
    // Tries again at once, in the next turn (after a start with work left over).
    void soon() { m_timer->start(0); }
    bool isWaiting() const { return m_timer->isActive(); }

private:
    std::unique_ptr<Timer> m_timer;
    int m_firstMSecs;
    int m_maxMSecs;
    int m_waitMSecs;
};

} // namespace vorn
