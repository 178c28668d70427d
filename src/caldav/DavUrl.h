#pragma once

#include <QString>
#include <QUrl>

namespace vorn::caldav {

// 127.0.0.0/8, ::1 and localhost: plain http there never leaves the machine.
bool isLoopback(const QUrl& url);

// https anywhere; http only to loopback, or anywhere when the user said yes.
bool isAllowedUrl(const QUrl& url, bool allowInsecureHttp);

// Scheme, host and port alike (default ports filled in): where credentials may go.
bool sameOrigin(const QUrl& a, const QUrl& b);

// An href as a server writes it (a path, or a whole URL, percent-encoded), as an absolute URL without
// user info; invalid when it can't be one.
QUrl resolveHref(const QUrl& base, const QString& href);

// Two hrefs that name the same resource: percent-encoding and a trailing slash aside.
bool sameResource(const QUrl& a, const QUrl& b);

// The path as it goes into an <href> of a request body.
QString hrefPath(const QUrl& url);

} // namespace vorn::caldav
