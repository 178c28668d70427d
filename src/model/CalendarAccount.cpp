#include "model/CalendarAccount.h"

#include "model/Settings.h"

namespace vorn {

namespace keys = calendarSyncKeys;

namespace {

std::optional<QDateTime> readTime(const Settings& settings, const char* key)
{
    const std::optional<QString> text = settings.stringValue(QString::fromLatin1(key));
    if (!text)
        return std::nullopt;
    const QDateTime at = QDateTime::fromString(*text, Qt::ISODateWithMs);
    return at.isValid() ? std::optional(at.toUTC()) : std::nullopt;
}

void writeTime(Settings& settings, const char* key, const std::optional<QDateTime>& at)
{
    if (at)
        settings.setValue(QString::fromLatin1(key), at->toUTC().toString(Qt::ISODate));
    else
        settings.remove(QString::fromLatin1(key));
}

} // namespace

QString CalendarAccount::secretKey() const
{
    const QUrl origin =
        url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
    QString where = origin.scheme() + QStringLiteral("://") + origin.host(QUrl::FullyEncoded);
    const int defaultPort = origin.scheme() == u"http" ? 80 : 443;
    where += u':' + QString::number(origin.port(defaultPort));
    return user + u'@' + where;
}

caldav::DavAccount CalendarAccount::davAccount(const QString& password) const
{
    caldav::DavAccount a;
    a.url = url;
    a.user = user;
    a.password = password;
    a.allowInsecureHttp = allowInsecureHttp;
    a.trustedCertificateSha256 = trustedCertificateSha256;
    return a;
}

std::optional<CalendarAccount> readCalendarAccount(const Settings& settings)
{
    const QUrl url(settings.stringValue(QString::fromLatin1(keys::url)).value_or(QString()));
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    CalendarAccount a;
    a.url = url;
    a.user = settings.stringValue(QString::fromLatin1(keys::user)).value_or(QString());
    a.allowInsecureHttp = settings.boolValue(QString::fromLatin1(keys::allowInsecureHttp), false);
    a.trustedCertificateSha256 = QByteArray::fromHex(
        settings.stringValue(QString::fromLatin1(keys::trustedCertificate)).value_or(QString()).toLatin1());
    return a;
}

void writeCalendarAccount(Settings& settings, const CalendarAccount& account)
{
    const std::optional<CalendarAccount> before = readCalendarAccount(settings);
    if (!before || before->secretKey() != account.secretKey())
        writeSyncStatus(settings, {});
    settings.setValue(QString::fromLatin1(keys::url), account.url.toString(QUrl::RemoveUserInfo));
    settings.setValue(QString::fromLatin1(keys::user), account.user);
    settings.setValue(QString::fromLatin1(keys::allowInsecureHttp), account.allowInsecureHttp);
    settings.setValue(QString::fromLatin1(keys::trustedCertificate),
                      QString::fromLatin1(account.trustedCertificateSha256.toHex()));
}

void forgetCalendarAccount(Settings& settings)
{
    writeSyncStatus(settings, {});
    for (const char* key : {keys::url, keys::user, keys::allowInsecureHttp, keys::trustedCertificate})
        settings.remove(QString::fromLatin1(key));
}

CalendarSyncStatus readSyncStatus(const Settings& settings)
{
    CalendarSyncStatus s;
    s.lastSyncAt = readTime(settings, keys::lastSyncAt);
    s.lastFailure = settings.stringValue(QString::fromLatin1(keys::lastFailure)).value_or(QString());
    s.lastFailureAt = readTime(settings, keys::lastFailureAt);
    return s;
}

void writeSyncStatus(Settings& settings, const CalendarSyncStatus& status)
{
    writeTime(settings, keys::lastSyncAt, status.lastSyncAt);
    if (status.lastFailure.isEmpty())
        settings.remove(QString::fromLatin1(keys::lastFailure));
    else
        settings.setValue(QString::fromLatin1(keys::lastFailure), status.lastFailure);
    writeTime(settings, keys::lastFailureAt, status.lastFailureAt);
}

void recordSyncSuccess(Settings& settings, const QDateTime& at)
{
    CalendarSyncStatus s = readSyncStatus(settings);
    s.lastSyncAt = at;
    s.lastFailure.clear();
    s.lastFailureAt.reset();
    writeSyncStatus(settings, s);
}

void recordSyncFailure(Settings& settings, const QString& failure, const QDateTime& at)
{
    CalendarSyncStatus s = readSyncStatus(settings);
    s.lastFailure = failure;
    s.lastFailureAt = at;
    writeSyncStatus(settings, s);
}

} // namespace vorn
