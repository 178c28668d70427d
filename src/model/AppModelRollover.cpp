#include "model/AppModel.h"

#include "model/Constants.h"

namespace vorn {

namespace {

constexpr qint64 kDoneIshLifetimeMSecs = 7LL * 24 * 3600 * 1000;
// A check stamped at most this far ahead of the clock means the clock was set back: the stamp stays, or
// setting the clock forward again would roll over a day that never came. Further ahead, the clock that
// stamped it was wrong, and the stamp is put right.
constexpr double kClockSetBackSecs = 7 * 24 * 3600.0;

constexpr QLatin1StringView kCountedDay("day");
constexpr QLatin1StringView kCountedThings("things");

} // namespace

int AppModel::takeRolloverOfWindowlessRun(const QString& today)
{
    if (!m_settings->contains(kRolloverCountedKey))
        return 0;
    const QVariantMap counted = m_settings->mapValue(kRolloverCountedKey);
    m_settings->remove(kRolloverCountedKey); // told once, like a rollover this run counted itself
    const std::optional<double> things = Settings::number(counted.value(kCountedThings));
    if (counted.value(kCountedDay) != today || !things || !(*things >= 1 && *things <= 1e9))
        return 0;
    return int(*things);
}

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
    const QString today = m_schedule.dayText(t);
    if (m_windowless) {
        // An add or an import from the command line may be the day's first start: the window opened
        // after it still has to tell what rolled over.
        if (rolled >= 1)
            m_settings->setValue(kRolloverCountedKey,
                                 QVariantMap{{kCountedDay, today}, {kCountedThings, rolled}});
    } else {
        const int counted = takeRolloverOfWindowlessRun(today);
        if (rolled == 0)
            rolled = counted;
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
