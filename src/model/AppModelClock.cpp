#include "model/AppModel.h"

#include "model/Constants.h"

#include <utility>

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

bool AppModel::reopen()
{
    if (m_state.isFocusMode && m_shell.showFocusPanel) {
        m_shell.showFocusPanel();
        return true;
    }
    return showMainWindow();
}

bool AppModel::showMainWindow()
{
    // The hook answers false once the main window has been closed for good.
    return m_shell.raiseMainWindow && m_shell.raiseMainWindow();
}

void AppModel::enterFocusMode()
{
    emitIfChanged(!std::exchange(m_state.isFocusMode, true), Field::isFocusMode);
    if (!m_readOnly)
        m_settings->setValue(kFocusLastModeKey, true);
    if (m_shell.hideMainWindow)
        m_shell.hideMainWindow();
    if (m_shell.showFocusPanel)
        m_shell.showFocusPanel();
}

void AppModel::exitFocusMode()
{
    emitIfChanged(std::exchange(m_state.isFocusMode, false), Field::isFocusMode);
    if (!m_readOnly)
        m_settings->setValue(kFocusLastModeKey, false);
    if (m_shell.hideFocusPanel)
        m_shell.hideFocusPanel();
    showMainWindow();
}

} // namespace vorn
