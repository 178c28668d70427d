#include "caldav/DavUrl.h"

#include <QHostAddress>

namespace vorn::caldav {

namespace {

int portOf(const QUrl& url)
{
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}

} // namespace

bool isLoopback(const QUrl& url)
{
    const QString host = url.host().toLower();
    if (host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost")))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool isAllowedUrl(const QUrl& url, bool allowInsecureHttp)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    return scheme == QLatin1String("http") && (allowInsecureHttp || isLoopback(url));
}

bool sameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme().toLower() == b.scheme().toLower() && a.host().toLower() == b.host().toLower() &&
           portOf(a) == portOf(b);
}

QUrl resolveHref(const QUrl& base, const QString& href)
{
    const QString trimmed = href.trimmed();
    if (trimmed.isEmpty())
        return {};
    // Some servers leave spaces and other characters unencoded; tolerant mode takes them as written.
    const QUrl relative(trimmed, QUrl::TolerantMode);
    if (!relative.isValid())
        return {};
    QUrl out = base.resolved(relative);
    out.setUserInfo({});
    out.setFragment({});
    return out.isValid() ? out : QUrl();
}

bool sameResource(const QUrl& a, const QUrl& b)
{
    const auto options = QUrl::StripTrailingSlash | QUrl::NormalizePathSegments | QUrl::RemoveUserInfo;
    return sameOrigin(a, b) &&
           a.adjusted(options).path(QUrl::FullyDecoded) == b.adjusted(options).path(QUrl::FullyDecoded);
}

QString hrefPath(const QUrl& url)
{
    return url.path(QUrl::FullyEncoded);
}

} // namespace vorn::caldav
