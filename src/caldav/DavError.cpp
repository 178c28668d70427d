#include "caldav/DavError.h"

namespace vorn::caldav {

namespace {

QString sentence(DavErrorKind kind, const QString& host, int status)
{
    switch (kind) {
    case DavErrorKind::None:
        return {};
    case DavErrorKind::NotAllowed:
        return QStringLiteral("%1 isn't a secure (https) address, so nothing was sent.").arg(host);
    case DavErrorKind::Tls:
        return QStringLiteral("The certificate of %1 can't be trusted, so nothing was sent.").arg(host);
    case DavErrorKind::Network:
        return QStringLiteral("Can't reach %1 right now.").arg(host);
    case DavErrorKind::Timeout:
        return QStringLiteral("%1 stopped answering.").arg(host);
    case DavErrorKind::Unauthorized:
        return QStringLiteral("The server didn't take the password.");
    case DavErrorKind::Forbidden:
        return QStringLiteral("The server won't let us do that.");
    case DavErrorKind::NotFound:
        return QStringLiteral("The server has nothing at that address.");
    case DavErrorKind::PreconditionFailed:
        return QStringLiteral("It changed on the server in the meantime.");
    case DavErrorKind::TokenExpired:
        return QStringLiteral("The server lost track of where we were; everything gets compared again.");
    case DavErrorKind::Full:
        return QStringLiteral("The server is full.");
    case DavErrorKind::ServerError:
        return QStringLiteral("The server is having trouble of its own (%1).").arg(status);
    case DavErrorKind::UnexpectedStatus:
        return QStringLiteral("The server answered something we didn't expect (%1).").arg(status);
    case DavErrorKind::WrongContentType:
        return QStringLiteral("The server answered with something that isn't calendar data.");
    case DavErrorKind::BadXml:
        return QStringLiteral("The server's answer doesn't make sense.");
    case DavErrorKind::TooLarge:
        return QStringLiteral("The server's answer is too big to read.");
    case DavErrorKind::Redirects:
        return QStringLiteral("%1 keeps sending us somewhere else.").arg(host);
    case DavErrorKind::NoCalendars:
        return QStringLiteral("No calendars were found at %1.").arg(host);
    }
    return {};
}

} // namespace

DavError davError(DavErrorKind kind, const QString& host, int status)
{
    return DavError{kind, status, sentence(kind, host, status)};
}

DavError davErrorForStatus(int status, const QString& host)
{
    if (status >= 200 && status < 300)
        return {};
    DavErrorKind kind = DavErrorKind::UnexpectedStatus;
    switch (status) {
    case 401:
        kind = DavErrorKind::Unauthorized;
        break;
    case 403:
        kind = DavErrorKind::Forbidden;
        break;
    case 404:
    case 410:
        kind = DavErrorKind::NotFound;
        break;
    case 412:
        kind = DavErrorKind::PreconditionFailed;
        break;
    case 507:
        kind = DavErrorKind::Full;
        break;
    default:
        if (status >= 500)
            kind = DavErrorKind::ServerError;
    }
    return davError(kind, host, status);
}

} // namespace vorn::caldav
