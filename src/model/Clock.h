#pragma once

#include <QDateTime>

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
