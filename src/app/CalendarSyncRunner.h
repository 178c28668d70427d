#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace vorn {

class AppModel;
class CalendarSync;
class SyncSchedule;
struct Launch;
struct SyncOutcome;
namespace secrets {
class SecretStore;
}

// The calendar sync of one model, as the app and `--sync` run it: the account from the settings, its
// password from the keyring, the ledger beside the store, and what each sync ended with written down for
// the status lines. Nothing happens without an account.
class CalendarSyncRunner : public QObject {
    Q_OBJECT
public:
    CalendarSyncRunner(AppModel& model, const Launch& launch, QObject* parent = nullptr);
    ~CalendarSyncRunner() override;

    // The running app: syncs on its schedule from now on (when there is an account).
    void startSchedule();
    void windowActivated();
    // One sync now; `done` hears how it went, in words for the user, and whether it worked.
    void syncNow(std::function<void(bool ok, const QString& said)> done);
    // The dialog kept a new account: the status lines show it, and it syncs at once (and on the schedule
    // from then on, in the running app).
    void accountSetUp();
    // No more syncing with the account: its password leaves the keyring, the settings forget it, and
    // what the syncs kept goes. The things stay, here and on the server. A sync under way ends first.
    void stopSyncing(std::function<void(bool ok, const QString& said)> done);
    bool isSyncing() const;
    // Where the account's password lives: the keyring's entries of the app, or a demo run's own.
    secrets::SecretStore& secrets() { return *m_secrets; }

Q_SIGNALS:
    // What the settings hold for the status lines changed: a sync ended, or couldn't start, or the
    // account did.
    void statusChanged();
    // Of the sync under way: items moved of those known so far (CalendarSync::progress).
    void progress(int done, int total);

private:
    // Makes the sync for the account the settings hold now, then runs `then` (with the error if not).
    void prepare(std::function<void(const QString& error)> then);
    void finished(const SyncOutcome& outcome);
    // A sync that couldn't start for an account that is there (no password, a locked keyring) is a
    // failure the status lines tell of too.
    void couldNotStart(const QString& error);

    AppModel& m_model;
    QString m_ledgerPath;
    QString m_accountKey;
    std::unique_ptr<secrets::SecretStore> m_secrets;
    std::unique_ptr<CalendarSync> m_sync;
    std::unique_ptr<SyncSchedule> m_schedule;
    bool m_scheduled = false;
    // Who hears the end of the sync under way, and of the one that follows it: asked for while one runs,
    // a sync is the next one, which sees what changed meanwhile.
    std::vector<std::function<void(bool, const QString&)>> m_waiting;
    std::vector<std::function<void(bool, const QString&)>> m_waitingNext;
    std::vector<std::function<void(bool, const QString&)>> m_stopAfter; // asked while a sync ran
};

// What a sync did, in a line.
QString describeSync(const SyncOutcome& outcome);

} // namespace vorn
