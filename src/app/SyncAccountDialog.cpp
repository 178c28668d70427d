#include "app/SyncAccountDialog.h"

#include "app/AccountSetup.h"
#include "caldav/DavUrl.h"
#include "model/CalendarAccount.h"
#include "secrets/SecretStore.h"
#include "ui/components/ThemedLabel.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vorn {

namespace {

constexpr int kCaptionSize = 12;

QLineEdit* field(const QString& name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setClearButtonEnabled(false);
    return edit;
}

} // namespace

SyncAccountDialog::SyncAccountDialog(Settings& settings, secrets::SecretStore* secrets, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_secrets(secrets ? secrets : new secrets::SecretStore(this)),
      m_setup(new AccountSetup(settings, *m_secrets, this))
{
    setObjectName(QStringLiteral("syncAccount"));
    setWindowTitle(QStringLiteral("Sync with a Calendar Server"));
    setFixedWidth(fixedWidth);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(10);
    auto* intro = new ThemedLabel(QStringLiteral("The same lists on every device: any CalDAV server will do "
                                                 "(Nextcloud, Radicale, Fastmail and the like)."),
                                  uiFont(kCaptionSize), Color::vornMuted(), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    m_address = field(QStringLiteral("address"), this);
    m_address->setPlaceholderText(QStringLiteral("https://example.org/"));
    m_user = field(QStringLiteral("user"), this);
    m_password = field(QStringLiteral("password"), this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(QStringLiteral("kept in your keyring, never in a file"));
    form->addRow(QStringLiteral("Address:"), m_address);
    form->addRow(QStringLiteral("User name:"), m_user);
    form->addRow(QStringLiteral("Password:"), m_password);
    layout->addLayout(form);

    m_allowHttp = new QCheckBox(QStringLiteral("Send it over plain http anyway (unencrypted)"), this);
    m_allowHttp->setObjectName(QStringLiteral("allowHttp"));
    layout->addWidget(m_allowHttp);

    m_busy = new QProgressBar(this);
    m_busy->setObjectName(QStringLiteral("busy"));
    m_busy->setRange(0, 0); // no steps to count: it only says something is going on
    m_busy->setTextVisible(false);
    m_busy->setMaximumHeight(6);
    m_busy->hide();
    layout->addWidget(m_busy);

    m_answer = new QLabel(this);
    m_answer->setObjectName(QStringLiteral("answer"));
    m_answer->setWordWrap(true);
    m_answer->setTextFormat(Qt::PlainText); // collection names are the server's words
    m_answer->hide();
    layout->addWidget(m_answer);

    auto* buttons = new QDialogButtonBox(this);
    m_connect = buttons->addButton(QStringLiteral("Connect"), QDialogButtonBox::AcceptRole);
    m_connect->setObjectName(QStringLiteral("connect"));
    m_connect->setDefault(true);
    m_stop = buttons->addButton(QStringLiteral("Stop Syncing"), QDialogButtonBox::DestructiveRole);
    m_stop->setObjectName(QStringLiteral("stopSyncing"));
    m_stop->setAutoDefault(false);
    connect(m_stop, &QPushButton::clicked, this, &SyncAccountDialog::askToStop);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("close"));
    close->setAutoDefault(false);
    layout->addWidget(buttons);

    if (const std::optional<CalendarAccount> saved = readCalendarAccount(settings)) {
        m_address->setText(saved->url.toString(QUrl::RemoveUserInfo));
        m_user->setText(saved->user);
        m_allowHttp->setChecked(saved->allowInsecureHttp);
    }
    followAddress();
    followAccount();

    // Accept would close the dialog: Connect only asks, and the answer is shown here.
    connect(buttons, &QDialogButtonBox::accepted, this, &SyncAccountDialog::connectAccount);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_address, &QLineEdit::textChanged, this, &SyncAccountDialog::followAddress);
}

SyncAccountDialog::~SyncAccountDialog() = default;

void SyncAccountDialog::setStopper(Stopper stop)
{
    m_stopper = std::move(stop);
    followAccount();
}

void SyncAccountDialog::followAccount()
{
    m_stop->setVisible(m_stopper && readCalendarAccount(m_settings).has_value());
}

void SyncAccountDialog::askToStop()
{
    const std::optional<CalendarAccount> account = readCalendarAccount(m_settings);
    if (!account || !m_stopper || m_setup->isBusy())
        return;
    auto* ask = new QMessageBox(
        QMessageBox::Question, QStringLiteral("Stop syncing with %1?").arg(account->url.host()),
        QStringLiteral("Stop syncing with %1?").arg(account->url.host()), QMessageBox::NoButton, this);
    ask->setObjectName(QStringLiteral("confirmStop"));
    ask->setInformativeText(
        QStringLiteral("Your things stay here, and on the server as they are. The "
                       "password leaves your keyring; to sync again, connect once more."));
    QPushButton* yes = ask->addButton(QStringLiteral("Stop Syncing"), QMessageBox::DestructiveRole);
    ask->addButton(QMessageBox::Cancel);
    ask->setDefaultButton(QMessageBox::Cancel); // Return alone doesn't stop anything
    ask->setAttribute(Qt::WA_DeleteOnClose);
    connect(ask, &QMessageBox::finished, this, [this, ask, yes] {
        if (ask->clickedButton() != yes)
            return;
        setBusy(true);
        m_answer->hide();
        m_stopper([this](bool ok, const QString& said) {
            setBusy(false);
            followAccount();
            showAnswer(false, said);
            Q_EMIT stopped(ok);
        });
    });
    ask->open();
}

void SyncAccountDialog::followAddress()
{
    // The yes to plain http is asked only where it is needed: beyond this machine.
    QString why;
    const std::optional<QUrl> url = calendarServerUrl(m_address->text(), &why);
    const bool asks = url && url->scheme() == QLatin1String("http") && !caldav::isLoopback(*url);
    m_allowHttp->setVisible(asks);
}

void SyncAccountDialog::connectAccount()
{
    if (m_setup->isBusy())
        return;
    QString why;
    const std::optional<QUrl> url = calendarServerUrl(m_address->text(), &why);
    if (!url) {
        showAnswer(false, why);
        return;
    }
    if (m_user->text().trimmed().isEmpty() || m_password->text().isEmpty()) {
        showAnswer(false, QStringLiteral("It needs your user name and password on that server."));
        return;
    }
    CalendarAccount account;
    account.url = *url;
    account.user = m_user->text().trimmed();
    account.allowInsecureHttp = m_allowHttp->isVisible() && m_allowHttp->isChecked();
    setBusy(true);
    m_answer->hide();
    m_setup->connectAccount(account, m_password->text(), [this](AccountSetupResult result) {
        setBusy(false);
        if (result.ok)
            m_password->clear(); // it is in the keyring now; nothing of it stays on screen
        followAccount();
        showAnswer(result.ok, result.said);
    });
}

void SyncAccountDialog::showAnswer(bool ok, const QString& said)
{
    m_answer->setText(said);
    m_answer->setProperty("connected", ok);
    m_answer->show();
    Q_EMIT answered(ok);
}

void SyncAccountDialog::setBusy(bool busy)
{
    m_busy->setVisible(busy);
    m_connect->setEnabled(!busy);
    m_stop->setEnabled(!busy);
    // Read-only rather than disabled, so the keyboard stays in the field it was in.
    for (QLineEdit* edit : {m_address, m_user, m_password})
        edit->setReadOnly(busy);
    m_allowHttp->setEnabled(!busy);
}

} // namespace vorn
