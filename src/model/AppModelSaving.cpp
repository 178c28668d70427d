#include "model/AppModel.h"

#include <algorithm>

namespace vorn {

void AppModel::saveFailed()
{
    // Every edit stays pending in the store, so nothing is lost yet; the user hears of it once, not at
    // every keystroke, until a save gets through again.
    if (!m_toldSaveFailed) {
        m_toldSaveFailed = true;
        showToast(QStringLiteral("Couldn't save your things. I'll keep trying."));
    }
    // An autosave failing while a retry waits leaves that retry's time alone.
    if (m_saveRetry->isActive())
        return;
    m_saveRetry->start(m_saveRetryMSecs);
    m_saveRetryMSecs = std::min(m_saveRetryMSecs * 2, m_intervals.saveRetryMaxMSecs);
}

void AppModel::saveSucceeded()
{
    m_saveRetry->stop();
    m_saveRetryMSecs = m_intervals.saveRetryMSecs;
    m_toldSaveFailed = false;
}

} // namespace vorn
