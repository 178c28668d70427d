#include "model/AppModel.h"

#include "model/Constants.h"

namespace vorn {

namespace {

constexpr qint64 kDoneIshLifetimeMSecs = 7LL * 24 * 3600 * 1000;
// A check stamped at most this far ahead of the clock means the clock was set back: the stamp stays, or
// setting the clock forward again would roll over a day that never came. Further ahead, the clock that
// stamped it was wrong, and the stamp is put right.
constexpr double kClockSetBackSecs = 7 * 24 * 3600.0;

} // namespace

void AppModel::rollOverIfNeeded()
{
    const QDateTime t = m_clock->now();
    const std::optional<double> stored = m_settings->doubleValue(kRolloverLastActiveKey);
    const double tSeconds = double(t.toMSecsSinceEpoch()) / 1000.0;
    if (!stored) {
        // A first launch has nothing to roll over.
        m_settings->setValue(kRolloverLastActiveKey, tSeconds);
        return;
    }
    const QDateTime start = m_schedule.startOfDay(t);
    // Compared as seconds: turning an out-of-range stored number into milliseconds would overflow.
    const bool lastOnEarlierDay = *stored < double(start.toMSecsSinceEpoch()) / 1000.0;

    int rolled = 0;
    if (lastOnEarlierDay) {
        const std::vector<Thing*> things = allThings();
        for (Thing* thing : things) {
            if (thing->pile() || thing->isDone() || !(thing->createdAt() < start))
                continue;
            if (thing->snoozedUntil() && !(*thing->snoozedUntil() < start))
                continue;
            thing->setZCount(thing->zCount() + 1);
            ++rolled;
        }
    }
    if (rolled >= 1 && rolled != m_state.rolledOver) {
        m_state.rolledOver = rolled;
        Q_EMIT changed(Field::rolledOver);
    }
    const bool clockSetBack = *stored > tSeconds && *stored - tSeconds <= kClockSetBackSecs;
    if (!clockSetBack)
        m_settings->setValue(kRolloverLastActiveKey, tSeconds);
}

void AppModel::purgeOldDoneIsh()
{
    const qint64 nowMSecs = m_clock->now().toMSecsSinceEpoch();
    const std::vector<Thing*> things = allThings();
    for (Thing* thing : things) {
        if (thing->doneAt() && nowMSecs - thing->doneAt()->toMSecsSinceEpoch() > kDoneIshLifetimeMSecs)
            m_store->remove(thing);
    }
}

} // namespace vorn
