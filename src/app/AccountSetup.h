#pragma once

#include "model/CalendarAccount.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace vorn {

class Settings;
namespace caldav {
class CalDavClient;
}
namespace secrets {
class SecretStore;
}

// The address a user typed as the account's URL: a bare host means https; user info is dropped (a
// password never travels in a URL). nullopt with `why` set when it is no address at all.
std::optional<QUrl> calendarServerUrl(const QString& typed, QString* why);

// Why nothing may be sent to that account's address (plain http beyond loopback without the user's
// yes); empty when it may.
QString refusedAddress(const CalendarAccount& account);

struct AccountSetupResult {
    bool ok = false;
    QString said;      // what was found, or why not, in one or two sentences
    QStringList lists; // the names of the to-do collections found
};

// Connect, for File > "Sync with a Calendar Server…" and --sync-setup: asks the server what is there
// (discovery), and only when it answers keeps the password in the keyring and then the account in the
// settings; a failure anywhere leaves both as they were. The sync itself reads the account when it
// next runs, so a running app picks up an account set up from the command line.
class AccountSetup : public QObject {
    Q_OBJECT
public:
    AccountSetup(Settings& settings, secrets::SecretStore& secrets, QObject* parent = nullptr);
    ~AccountSetup() override;

    // One at a time: a second call while one runs is refused at once.
    void connectAccount(const CalendarAccount& account, const QString& password,
                        std::function<void(AccountSetupResult)> done);
    bool isBusy() const { return m_client != nullptr; }

private:
    void finish(const AccountSetupResult& result);

    Settings& m_settings;
    secrets::SecretStore& m_secrets;
    caldav::CalDavClient* m_client = nullptr;
    std::function<void(AccountSetupResult)> m_done;
};

// "Connected to example.org as alice: 2 lists of to-dos there (Groceries, Work)."
QString describeConnection(const CalendarAccount& account, const QStringList& lists);

} // namespace vorn
