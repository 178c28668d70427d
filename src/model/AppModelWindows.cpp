#include "model/AppModel.h"

#include "model/Constants.h"

#include <utility>

// Which of the app's windows shows: the main window, or the focus panel in its place.

namespace vorn {

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
