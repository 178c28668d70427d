#include "app/AccountSetup.h"

#include "caldav/CalDavClient.h"
#include "caldav/DavUrl.h"
#include "model/Settings.h"
#include "secrets/SecretStore.h"

namespace vorn {

std::optional<QUrl> calendarServerUrl(const QString& typed, QString* why)
{
    const QString text = typed.trimmed();
    QUrl url(text.contains(QLatin1String("://")) ? text : QStringLiteral("https://") + text,
             QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))) {
        *why = QStringLiteral("\"%1\" isn't a server address; try something like https://example.org/")
                   .arg(text);
        return std::nullopt;
    }
    url.setUserInfo({});
    if (url.path().isEmpty())
        url.setPath(QStringLiteral("/"));
    return url;
}

QString refusedAddress(const CalendarAccount& account)
{
    if (caldav::isAllowedUrl(account.url, account.allowInsecureHttp))
        return {};
    return caldav::davError(caldav::DavErrorKind::NotAllowed, account.url.host()).message;
}

QString describeConnection(const CalendarAccount& account, const QStringList& lists)
{
    QString said = QStringLiteral("Connected to %1 as %2: ").arg(account.url.host(), account.user);
    if (lists.isEmpty())
        return said + QStringLiteral("no lists of to-dos there yet; the first sync makes one.");
    said += lists.size() == 1 ? QStringLiteral("1 list of to-dos there")
                              : QStringLiteral("%1 lists of to-dos there").arg(lists.size());
    return said + QStringLiteral(" (") + lists.join(QStringLiteral(", ")) + QStringLiteral(").");
}

AccountSetup::AccountSetup(Settings& settings, secrets::SecretStore& secrets, QObject* parent)
    : QObject(parent), m_settings(settings), m_secrets(secrets)
{
}

AccountSetup::~AccountSetup() = default;

void AccountSetup::connectAccount(const CalendarAccount& account, const QString& password,
                                  std::function<void(AccountSetupResult)> done)
{
    if (isBusy()) {
        done({false, QStringLiteral("Still connecting; a moment."), {}});
        return;
    }
    if (const QString refused = refusedAddress(account); !refused.isEmpty()) {
        done({false, refused, {}});
        return;
    }
    m_done = std::move(done);
    m_client = new caldav::CalDavClient(account.davAccount(password), this);
    m_client->discover([this, account, password](caldav::DavResult<caldav::DavDiscovery> found) {
        if (!found.ok()) {
            finish({false, found.error.message, {}});
            return;
        }
        QStringList lists;
        for (const caldav::DavCollection& c : found.value.collections) {
            QString name = c.displayName.trimmed();
            if (name.isEmpty()) {
                // A collection without a name goes by the last part of its address.
                name = c.href.path();
                while (name.endsWith(u'/'))
                    name.chop(1);
                name = name.section(u'/', -1);
            }
            lists << name;
        }
        const std::optional<CalendarAccount> before = readCalendarAccount(m_settings);
        m_secrets.writePassword(
            account.secretKey(), password, [this, account, before, lists](secrets::SecretResult written) {
                if (!written.ok()) {
                    finish({false, written.message, {}});
                    return;
                }
                // The old account's password has no use left.
                if (before && before->secretKey() != account.secretKey())
                    m_secrets.removePassword(before->secretKey(), [](secrets::SecretResult) {});
                writeCalendarAccount(m_settings, account);
                finish({true, describeConnection(account, lists), lists});
            });
    });
}

void AccountSetup::finish(const AccountSetupResult& result)
{
    // The client is in the middle of calling us back: it goes once that is over.
    m_client->deleteLater();
    m_client = nullptr;
    auto done = std::move(m_done);
    m_done = nullptr;
    done(result);
}

} // namespace vorn
