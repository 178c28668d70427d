#include "model/RetryBackoff.h"

#include <algorithm>

namespace vorn {

RetryBackoff::RetryBackoff(Timers& timers, const QString& name, int firstMSecs, int maxMSecs,
                           std::function<void()> retry)
    : m_timer(timers.make(name, false, std::move(retry))), m_firstMSecs(firstMSecs), m_maxMSecs(maxMSecs),
      m_waitMSecs(firstMSecs)
{
}

void RetryBackoff::failed()
{
    if (m_timer->isActive())
        return;
    m_timer->start(m_waitMSecs);
    m_waitMSecs = std::min(m_waitMSecs * 2, m_maxMSecs);
}

void RetryBackoff::succeeded()
{
    m_timer->stop();
    m_waitMSecs = m_firstMSecs;
}

} // namespace vorn
