#include "model/AppModel.h"

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
    m_saveRetry->failed();
}

void AppModel::saveSucceeded()
{
    m_saveRetry->succeeded();
    m_toldSaveFailed = false;
}

} // namespace vorn
