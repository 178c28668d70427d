#include "serversync/SyncSchedule.h"

#include "model/Clock.h"
#include "model/RetryBackoff.h"
#include "serversync/CalendarSync.h"
#include "store/Store.h"

namespace vorn {

SyncSchedule::SyncSchedule(CalendarSync& sync, Store& store, Timers& timers, const Clock& clock,
                           Intervals intervals, QObject* parent)
    : QObject(parent), m_sync(sync), m_clock(clock), m_intervals(intervals)
{
    auto go = [this] {
        m_lastStarted = m_clock.now();
        m_sync.sync();
    };
    m_debounce = timers.make(QStringLiteral("calendarPush"), false, go);
    m_pull = timers.make(QStringLiteral("calendarPull"), true, go);
    m_retry = std::make_unique<RetryBackoff>(timers, QStringLiteral("calendarRetry"), m_intervals.retryMSecs,
                                             m_intervals.retryMaxMSecs, go);
    connect(&store, &Store::changes, this, &SyncSchedule::localChange);
    connect(&m_sync, &CalendarSync::finished, this, &SyncSchedule::finished);
}

SyncSchedule::~SyncSchedule() = default;

void SyncSchedule::start()
{
    m_pull->start(m_intervals.pullMSecs);
    m_debounce->start(0);
    // Without a backend (no NetworkManager, no GLib monitor) the timer and the retries are all there is.
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        QNetworkInformation* network = QNetworkInformation::instance();
        m_reachability = network->reachability();
        connect(network, &QNetworkInformation::reachabilityChanged, this, &SyncSchedule::reachabilityChanged);
    }
}

void SyncSchedule::reachabilityChanged(QNetworkInformation::Reachability now)
{
    using R = QNetworkInformation::Reachability;
    // Unknown is no news: a first answer of Online is where we already were as far as we know.
    const bool wasOff = m_reachability != R::Online && m_reachability != R::Unknown;
    m_reachability = now;
    if (wasOff && now == R::Online)
        networkBack();
}

void SyncSchedule::windowActivated()
{
    if (!m_lastStarted.isValid() || m_lastStarted.secsTo(m_clock.now()) >= m_intervals.activationSecs)
        m_debounce->start(0);
}

void SyncSchedule::networkBack()
{
    m_debounce->start(0);
}

void SyncSchedule::localChange(const StoreChanges& batch)
{
    // What the sync itself just took in is no news for the server.
    if (m_sync.tookOnly(batch))
        return;
    m_debounce->start(m_intervals.debounceMSecs);
}

void SyncSchedule::finished(const SyncOutcome& outcome)
{
    if (outcome.ok)
        m_retry->succeeded();
    else
        m_retry->failed();
}

} // namespace vorn
