#include "app/CalendarSyncRunner.h"

#include "model/AppModel.h"
#include "model/CalendarAccount.h"
#include "model/Launch.h"
#include "model/Settings.h"
#include "secrets/SecretStore.h"
#include "serversync/CalendarSync.h"
#include "serversync/SyncSchedule.h"

#include <QDir>
#include <QFile>

namespace vorn {

CalendarSyncRunner::CalendarSyncRunner(AppModel& model, const Launch& launch, QObject* parent)
    : QObject(parent), m_model(model),
      // A demo's account is make-believe: its password must never replace the one of a real account
      // on the same server and user.
      m_secrets(launch.isDemo()
                    ? std::make_unique<secrets::SecretStore>(QStringLiteral("vorn-todo-demo"), nullptr)
                    : std::make_unique<secrets::SecretStore>())
{
    // A store that lives in memory gets a ledger that does too: what it agreed on goes with it.
    m_ledgerPath = launch.storePath() == QLatin1String(":memory:")
                       ? QStringLiteral(":memory:")
                       : QDir(launch.appDataDir).filePath(QStringLiteral("calendar-sync.sqlite"));
}

CalendarSyncRunner::~CalendarSyncRunner()
{
    // Whoever waits (--sync through the bus) hears why no outcome comes.
    auto waiting = std::exchange(m_waiting, {});
    for (auto& done : std::exchange(m_waitingNext, {}))
        waiting.push_back(std::move(done));
    for (const auto& done : waiting)
        done(false, QStringLiteral("vorn todo quit before the sync was done; the next one picks up where "
                                   "this one stopped."));
}

QString describeSync(const SyncOutcome& outcome)
{
    if (!outcome.ok)
        return outcome.message;
    QString said;
    if (outcome.sent + outcome.taken + outcome.deleted == 0)
        said = QStringLiteral("Synced. Nothing new on either side.");
    else
        said = QStringLiteral("Synced: %1 sent, %2 taken in, %3 deleted.")
                   .arg(outcome.sent)
                   .arg(outcome.taken)
                   .arg(outcome.deleted);
    if (!outcome.message.isEmpty())
        said += u' ' + outcome.message;
    if (!outcome.leftAlone.isEmpty())
        said += QStringLiteral(" Left alone, as there's no room for more lists: ") +
                outcome.leftAlone.join(QStringLiteral(", ")) + u'.';
    return said;
}

void CalendarSyncRunner::prepare(std::function<void(const QString& error)> then)
{
    Settings& settings = m_model.settings();
    settings.sync(); // --sync-setup may have written it from another process
    const std::optional<CalendarAccount> account = readCalendarAccount(settings);
    if (!account) {
        m_sync.reset();
        then(QStringLiteral(
            "Not set up yet: use File > Sync with a Calendar Server…, or vorn-todo --sync-setup."));
        return;
    }
    if (m_sync && account->secretKey() == m_accountKey) {
        then({});
        return;
    }
    const QString key = account->secretKey();
    m_secrets->readPassword(key, [this, account = *account, key, then](secrets::SecretResult r) {
        if (!r.ok()) {
            then(r.message);
            return;
        }
        CalendarSync::Init init;
        init.account = account.davAccount(r.password);
        init.ledgerPath = m_ledgerPath;
        QString error;
        m_schedule.reset();
        m_sync = CalendarSync::make(m_model, init, &error);
        if (!m_sync) {
            then(QStringLiteral("Couldn't open what the last sync kept: %1.").arg(error));
            return;
        }
        m_accountKey = key;
        connect(m_sync.get(), &CalendarSync::finished, this, &CalendarSyncRunner::finished);
        connect(m_sync.get(), &CalendarSync::progress, this, &CalendarSyncRunner::progress);
        if (m_scheduled) {
            m_schedule = std::make_unique<SyncSchedule>(*m_sync, m_model.store(), m_model.timers(),
                                                        m_model.clock(), SyncSchedule::Intervals{});
            m_schedule->start();
        }
        then({});
    });
}

void CalendarSyncRunner::startSchedule()
{
    m_scheduled = true;
    prepare([this](const QString& error) { couldNotStart(error); });
}

void CalendarSyncRunner::accountSetUp()
{
    // The same account again may come with a new password: the next sync reads it from the keyring.
    if (!isSyncing())
        m_accountKey.clear();
    Q_EMIT statusChanged();
    syncNow([](bool, const QString&) {});
}

void CalendarSyncRunner::stopSyncing(std::function<void(bool, const QString&)> done)
{
    if (isSyncing()) {
        m_stopAfter.push_back(std::move(done));
        return;
    }
    Settings& settings = m_model.settings();
    settings.sync(); // --sync-setup may have written it from another process
    const std::optional<CalendarAccount> account = readCalendarAccount(settings);
    if (!account) {
        done(true, QStringLiteral("Not syncing with a calendar server: nothing to stop."));
        return;
    }
    // Closed before its file goes; no schedule starts a sync meanwhile.
    m_schedule.reset();
    m_sync.reset();
    m_accountKey.clear();
    m_secrets->removePassword(account->secretKey(), [this, host = account->url.host(),
                                                     done](const secrets::SecretResult& r) {
        forgetCalendarAccount(m_model.settings());
        if (m_ledgerPath != QLatin1String(":memory:"))
            for (const char* end : {"", "-wal", "-shm", "-journal"})
                QFile::remove(m_ledgerPath + QLatin1String(end));
        Q_EMIT statusChanged();
        QString said = QStringLiteral("Stopped syncing with %1. Your things stay here, and on the server as "
                                      "they are.")
                           .arg(host);
        if (!r.ok())
            said += QStringLiteral(" Its password is still in your keyring, though: %1").arg(r.message);
        done(r.ok(), said);
    });
}

bool CalendarSyncRunner::isSyncing() const
{
    return m_sync && m_sync->isRunning();
}

void CalendarSyncRunner::couldNotStart(const QString& error)
{
    if (error.isEmpty() || !readCalendarAccount(m_model.settings()))
        return;
    recordSyncFailure(m_model.settings(), error, m_model.clock().now());
    Q_EMIT statusChanged();
}

void CalendarSyncRunner::windowActivated()
{
    if (m_schedule)
        m_schedule->windowActivated();
}

void CalendarSyncRunner::syncNow(std::function<void(bool, const QString&)> done)
{
    prepare([this, done](const QString& error) {
        if (!error.isEmpty()) {
            couldNotStart(error);
            done(false, error);
            return;
        }
        (m_sync->isRunning() ? m_waitingNext : m_waiting).push_back(done);
        m_sync->sync();
    });
}

void CalendarSyncRunner::finished(const SyncOutcome& outcome)
{
    Settings& settings = m_model.settings();
    const QDateTime now = m_model.clock().now();
    if (outcome.ok)
        recordSyncSuccess(settings, now);
    else
        recordSyncFailure(settings, outcome.message, now);
    Q_EMIT statusChanged();
    for (const auto& done : std::exchange(m_waiting, std::exchange(m_waitingNext, {})))
        done(outcome.ok, describeSync(outcome));
    // Only once no sync is asked for any more: a sync still to come would meet no account.
    if (!m_stopAfter.empty() && !isSyncing())
        for (auto& done : std::exchange(m_stopAfter, {}))
            stopSyncing(std::move(done));
}

} // namespace vorn
