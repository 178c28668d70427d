#include "model/AppModel.h"

namespace vorn {

void AppModel::startClock()
{
    if (!m_clockTimer->isActive())
        m_clockTimer->start(m_intervals.clockMSecs);
}

void AppModel::tick()
{
    const QDateTime previous = m_state.now;
    m_state.now = m_clock->now();
    emitIfChanged(m_state.now != previous, Field::now);

    // A read-only model looks and never writes, so the day's housekeeping is not its business.
    if (m_readOnly)
        return;
    if (m_schedule.isSameDay(previous, m_state.now))
        return;
    {
        // Rolling over and clearing out are the app's own chores, not something the user can undo.
        UndoRegistrationPause pause(m_store->undoManager());
        rollOverIfNeeded();
        purgeOldDoneIsh();
    }
}

bool AppModel::anyThingWoke(const QDateTime& since) const
{
    for (const Thing* t : allThings()) {
        const std::optional<QDateTime>& until = t->snoozedUntil();
        if (until && !t->isDone() && !t->pile() &&
            m_schedule.list(std::nullopt, until, since) != m_schedule.list(std::nullopt, until, m_state.now))
            return true;
    }
    return false;
}

} // namespace vorn
