#pragma once

#include <QDateTime>

#include <memory>

namespace vorn {

// Where "now" comes from; tests substitute a clock they can set.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
};

// The clock a model runs on when it is given none: the one place that picks the system's.
inline std::shared_ptr<const Clock> clockOrSystem(std::shared_ptr<const Clock> clock)
{
    static const auto system = std::make_shared<const SystemClock>();
    return clock ? std::move(clock) : system;
}

// A clock that stands still until told otherwise.
class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime t) : m_now(std::move(t)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& t) { m_now = t; }
    void advance(qint64 secs) { m_now = m_now.addSecs(secs); }

private:
    QDateTime m_now;
};

} // namespace vorn
