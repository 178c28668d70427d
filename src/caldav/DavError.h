#pragma once

#include <QString>

namespace vorn::caldav {

// What went wrong with a request, one kind per thing the sync reacts to differently.
enum class DavErrorKind {
    None,
    NotAllowed,         // not https, and not loopback or allowed
    Tls,                // the certificate can't be trusted
    Network,            // no connection: host unknown, refused, dropped
    Timeout,            // the server stopped answering
    Unauthorized,       // 401
    Forbidden,          // 403
    NotFound,           // 404
    PreconditionFailed, // 412: changed or deleted over there
    TokenExpired,       // the sync token is no longer valid: compare everything
    Full,               // 507
    ServerError,        // 5xx
    UnexpectedStatus,   // any other status we can't use
    WrongContentType,   // not XML where XML was asked for
    BadXml,             // malformed, or nested deeper than we read
    TooLarge,           // the answer is bigger than we read
    Redirects,          // a redirect loop or too many of them
    NoCalendars,        // discovery found no calendar home
};

struct DavError {
    DavErrorKind kind = DavErrorKind::None;
    int status = 0;  // the HTTP status, when there was one
    QString message; // one sentence for the status line

    explicit operator bool() const { return kind != DavErrorKind::None; }
};

// The error of this kind with its sentence; `host` and `status` fill in where the sentence names them.
DavError davError(DavErrorKind kind, const QString& host = {}, int status = 0);

// The error an HTTP status stands for; DavErrorKind::None for 2xx.
DavError davErrorForStatus(int status, const QString& host);

template <class T> struct DavResult {
    DavError error;
    T value{};
    bool ok() const { return !error; }
};

struct DavDone {};

} // namespace vorn::caldav
