#pragma once

#include <QDateTime>
#include <QNetworkInformation>
#include <QObject>

#include <memory>

namespace vorn {

class CalendarSync;
class Clock;
class RetryBackoff;
class Store;
class StoreChanges;
class Timer;
class Timers;
struct SyncOutcome;

// When the running app syncs: a moment after the last edit here, every few minutes, at start, when the
// network comes back and when the window comes forward (if a while has passed). A failure waits longer
// before each retry and shows only in the status: a passing network hiccup asks nothing of the user.
class SyncSchedule : public QObject {
    Q_OBJECT
public:
    struct Intervals {
        int debounceMSecs = 2000;
        int pullMSecs = 5 * 60 * 1000;
        int retryMSecs = 10 * 1000;
        int retryMaxMSecs = 10 * 60 * 1000;
        int activationSecs = 30; // a window brought forward syncs when the last sync is older than this
    };
    SyncSchedule(CalendarSync& sync, Store& store, Timers& timers, const Clock& clock, Intervals intervals,
                 QObject* parent = nullptr);
    ~SyncSchedule() override;

    void start();
    void windowActivated();
    void networkBack();
    // What the desktop says of the network: coming back online after being off syncs at once.
    void reachabilityChanged(QNetworkInformation::Reachability now);

private:
    void localChange(const StoreChanges& batch);
    void finished(const SyncOutcome& outcome);

    CalendarSync& m_sync;
    const Clock& m_clock;
    Intervals m_intervals;
    std::unique_ptr<Timer> m_debounce;
    std::unique_ptr<Timer> m_pull;
    std::unique_ptr<RetryBackoff> m_retry;
    QDateTime m_lastStarted;
    QNetworkInformation::Reachability m_reachability = QNetworkInformation::Reachability::Unknown;
};

} // namespace vorn
