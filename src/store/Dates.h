#pragma once

#include <QDateTime>

namespace vorn {

// The fixed instants that stand for "no wake time" ordering and "someday".
inline QDateTime distantFuture()
{
    return QDateTime(QDate(4001, 1, 1), QTime(0, 0), Qt::UTC);
}

inline QDateTime distantPast()
{
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}

// Sort keys count seconds from 2001-01-01 00:00:00 UTC, so they stay compatible with the planner's clock.
inline constexpr qint64 kReferenceDateMSecs = 978307200000LL;

inline double secondsSinceReferenceDate(const QDateTime& t)
{
    return double(t.toMSecsSinceEpoch() - kReferenceDateMSecs) / 1000.0;
}

} // namespace vorn
