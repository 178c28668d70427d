#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace vorn {

class AccountSetup;
class Settings;
namespace secrets {
class SecretStore;
}

// File > "Sync with a Calendar Server…": address, user name and password, and Connect, which asks the
// server what is there without holding up the window and says what it found or why not, here. What
// worked is kept as --sync-setup keeps it. Return connects, Escape closes.
class SyncAccountDialog : public QDialog {
    Q_OBJECT
public:
    // The passwords go to `secrets` (the running sync's, so a demo run keeps to its own), or to the
    // keyring's usual entries when there is none.
    explicit SyncAccountDialog(Settings& settings, secrets::SecretStore* secrets = nullptr,
                               QWidget* parent = nullptr);
    ~SyncAccountDialog() override;

    static constexpr int fixedWidth = 420;

    // What "Stop Syncing" does, once the user said yes: the running sync's own (it ends a sync under way
    // first), answering in words. Without it, or with no account kept, there is no such button.
    using Stopper = std::function<void(std::function<void(bool ok, const QString& said)>)>;
    void setStopper(Stopper stop);

Q_SIGNALS:
    void answered(bool connected); // after each Connect, once the answer is shown
    void stopped(bool cleanly);    // after Stop Syncing, once the answer is shown

private:
    void connectAccount();
    void showAnswer(bool ok, const QString& said);
    void followAddress();
    void setBusy(bool busy);
    void askToStop();
    void followAccount();

    Settings& m_settings;
    secrets::SecretStore* m_secrets;
    AccountSetup* m_setup;
    QLineEdit* m_address;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QCheckBox* m_allowHttp;
    QProgressBar* m_busy;
    QLabel* m_answer;
    QPushButton* m_connect;
    QPushButton* m_stop;
    Stopper m_stopper;
};

} // namespace vorn
