#pragma once

#include "store/Timers.h"

#include <QtGlobal>

#include <algorithm>

#include <memory>
#include <optional>
#include <vector>

namespace vorn::test {

// The model's timers on a time of their own that moves only when the test says so, so a test about the
// toast, the sync's debounce, the drag reset or the clock's beat never depends on how busy the machine is.
class ManualTimers final : public Timers {
public:
    std::unique_ptr<Timer> make(const QString& name, bool repeats, std::function<void()> fired) override;

    // Moves time on by `msecs`, firing every timer that comes due on the way, earliest first.
    void advance(int msecs);
    // Fires the named timer now when it is running, as if its time had come; false when it isn't.
    bool fire(const QString& name);
    bool isActive(const QString& name) const;

private:
    struct Entry {
        QString name;
        bool repeats = false;
        std::function<void()> fired;
        int msecs = 0;
        std::optional<qint64> due; // none while stopped
        bool alive = true;         // false once the model dropped the timer
    };
    class ManualTimer;
    void ring(Entry& entry);
    std::vector<std::shared_ptr<Entry>> m_entries;
    qint64 m_now = 0;
};

class ManualTimers::ManualTimer final : public Timer {
public:
    ManualTimer(std::shared_ptr<Entry> entry, const qint64& now) : m_entry(std::move(entry)), m_now(now) {}
    ~ManualTimer() override { m_entry->alive = false; }
    void start(int msecs) override
    {
        m_entry->msecs = msecs;
        m_entry->due = m_now + msecs;
    }
    void stop() override { m_entry->due.reset(); }
    bool isActive() const override { return m_entry->due.has_value(); }

private:
    std::shared_ptr<Entry> m_entry;
    const qint64& m_now;
};

inline std::unique_ptr<Timer> ManualTimers::make(const QString& name, bool repeats,
                                                 std::function<void()> fired)
{
    auto entry = std::make_shared<Entry>();
    entry->name = name;
    entry->repeats = repeats;
    entry->fired = std::move(fired);
    m_entries.push_back(entry);
    return std::make_unique<ManualTimer>(std::move(entry), m_now);
}

inline void ManualTimers::ring(Entry& entry)
{
    // Re-armed (or stopped) before it runs, so the callback may start it again.
    if (entry.repeats)
        entry.due = *entry.due + std::max(1, entry.msecs);
    else
        entry.due.reset();
    entry.fired();
}

inline void ManualTimers::advance(int msecs)
{
    const qint64 target = m_now + msecs;
    for (;;) {
        std::shared_ptr<Entry> next;
        for (const auto& e : m_entries) {
            if (e->alive && e->due && *e->due <= target && (!next || *e->due < *next->due))
                next = e;
        }
        if (!next)
            break;
        m_now = *next->due;
        ring(*next);
    }
    m_now = target;
}

inline bool ManualTimers::fire(const QString& name)
{
    for (const auto& e : m_entries) {
        if (e->alive && e->name == name && e->due) {
            ring(*e);
            return true;
        }
    }
    return false;
}

inline bool ManualTimers::isActive(const QString& name) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const auto& e) { return e->alive && e->name == name && e->due; });
}

} // namespace vorn::test
