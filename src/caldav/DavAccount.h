#pragma once

#include "caldav/DavXml.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace vorn::caldav {

// Where the calendars are and how to reach them; the password is held only as long as the client.
struct DavAccount {
    QUrl url;                            // what the user gave; credentials go to this origin only
    QString user;                        // Basic auth; none sent when empty
    QString password;                    // never logged, never put in a URL
    bool allowInsecureHttp = false;      // plain http beyond loopback, after the user said yes
    QByteArray trustedCertificateSha256; // a self-signed certificate the user chose to trust
    int timeoutMs = 30'000;              // silence this long ends a request
    qint64 responseLimit = kResponseLimit;
};

} // namespace vorn::caldav
