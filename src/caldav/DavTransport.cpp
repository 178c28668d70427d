#include "caldav/DavTransport.h"
#include "caldav/DavLog.h"
#include "caldav/DavUrl.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>

namespace vorn::caldav {

Q_LOGGING_CATEGORY(lcCalDav, "com.vorn.todo.caldav", QtInfoMsg)

namespace {

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// What we log of a URL: never its user info or query.
QString shown(const QUrl& url)
{
    return url.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery).toString();
}

} // namespace

DavTransport::DavTransport(DavAccount account, QObject* parent)
    : QObject(parent), m_account(std::move(account)), m_manager(new QNetworkAccessManager(this))
{
    m_account.url.setUserInfo({});
    m_manager->setAutoDeleteReplies(false);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DavTransport::onTimeout);
}

DavTransport::~DavTransport()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        delete m_reply.data();
    }
}

void DavTransport::send(DavRequest request, Done done)
{
    Pending p{std::move(request), std::move(done), {}, 0, {}};
    p.request.url.setUserInfo({});
    p.url = p.request.url;
    m_queue.push_back(std::move(p));
    if (m_queue.size() == 1)
        start();
}

void DavTransport::startNext()
{
    if (!m_queue.empty())
        start();
}

void DavTransport::start()
{
    Pending& p = m_queue.front();
    if (!isAllowedUrl(p.url, m_account.allowInsecureHttp)) {
        // Later, so the callback never runs inside send().
        QTimer::singleShot(0, this, [this, host = p.url.host()] {
            complete({davError(DavErrorKind::NotAllowed, host), {}});
        });
        return;
    }
    QNetworkRequest request(p.url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray("vorn-todo"));
    if (!p.request.contentType.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, p.request.contentType);
    if (!p.request.depth.isEmpty())
        request.setRawHeader("Depth", p.request.depth);
    for (const auto& [name, value] : p.request.headers)
        request.setRawHeader(name, value);
    // The password goes only where the user sent it; a redirect elsewhere gets the request without it.
    if (!m_account.user.isEmpty() && sameOrigin(p.url, m_account.url)) {
        const QByteArray pair = (m_account.user + QLatin1Char(':') + m_account.password).toUtf8();
        request.setRawHeader("Authorization", "Basic " + pair.toBase64());
    }

    m_answer = {};
    m_answer.url = p.url;
    m_reader.reset();
    dropUnread();
    m_ended = false;
    ++m_serial;
    m_received = 0;
    m_headers = false;
    m_tlsRefused = false;
    m_refusal = {};
    m_location.clear();
    qCDebug(lcCalDav, "%s %s", p.request.method.constData(), qPrintable(shown(p.url)));
    m_reply = m_manager->sendCustomRequest(request, p.request.method, p.request.body);
    m_reply->setReadBufferSize(kReplyBuffer);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &DavTransport::onMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &DavTransport::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &DavTransport::onFinished);
    connect(m_reply, &QNetworkReply::uploadProgress, &m_timer, qOverload<>(&QTimer::start));
#if QT_CONFIG(ssl)
    connect(m_reply, &QNetworkReply::sslErrors, this, [this](const QList<QSslError>& errors) {
        const QSslCertificate peer = m_reply->sslConfiguration().peerCertificate();
        const QByteArray digest = peer.isNull() ? QByteArray() : peer.digest(QCryptographicHash::Sha256);
        if (!m_account.trustedCertificateSha256.isEmpty() && digest == m_account.trustedCertificateSha256) {
            m_reply->ignoreSslErrors(errors);
            return;
        }
        m_tlsRefused = true;
        qCInfo(lcCalDav, "certificate of %s refused: %s", qPrintable(m_reply->url().host()),
               errors.isEmpty() ? "" : qPrintable(errors.first().errorString()));
    });
#endif
    m_timer.start(m_account.timeoutMs);
}

bool DavTransport::readHeaders()
{
    if (m_headers)
        return true;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return true;
    m_headers = true;
    m_answer.status = status.toInt();
    m_answer.etag = m_reply->rawHeader("ETag");
    m_answer.contentType = m_reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    if (isRedirect(m_answer.status)) {
        m_location = QString::fromUtf8(m_reply->rawHeader("Location"));
        return true;
    }
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > m_account.responseLimit) {
        m_refusal = davError(DavErrorKind::TooLarge, m_answer.url.host());
        return false;
    }
    if (m_answer.status == 207) {
        if (!m_answer.contentType.toLower().contains("xml")) {
            m_refusal = davError(DavErrorKind::WrongContentType, m_answer.url.host());
            return false;
        }
        m_reader = std::make_unique<MultistatusReader>(m_answer.url, m_account.responseLimit);
    }
    return true;
}

bool DavTransport::readBody()
{
    const QByteArray piece = m_reply->readAll();
    m_received += piece.size();
    if (isRedirect(m_answer.status) && m_received <= kSmallBodyLimit)
        return true; // read past
    if (m_reader) {
        if (!piece.isEmpty()) {
            m_unread.push_back(piece);
            m_unreadBytes += piece.size();
        }
        // Arriving faster than it is read: what is beyond the backlog is read now, so memory stays bounded.
        while (m_unreadBytes > kFeedBacklog) {
            if (!m_reader->feed(takeUnread())) {
                m_refusal = m_reader->error();
                return false;
            }
        }
        if (m_unreadBytes > 0)
            feedLater();
    } else if (m_received > m_account.responseLimit) {
        m_refusal = davError(DavErrorKind::TooLarge, m_answer.url.host());
        return false;
    } else if (m_answer.body.size() < kSmallBodyLimit) {
        m_answer.body += piece.left(kSmallBodyLimit - m_answer.body.size());
    }
    return true;
}

void DavTransport::feedLater()
{
    if (m_feedQueued)
        return;
    m_feedQueued = true;
    QTimer::singleShot(0, this, [this, serial = m_serial] {
        if (serial != m_serial)
            return;
        m_feedQueued = false;
        feedSome();
    });
}

void DavTransport::feedSome()
{
    if (!m_reader)
        return;
    const QDeadlineTimer turn{std::chrono::nanoseconds(kFeedTurnNs)};
    for (;;) {
        if (m_ended && m_unreadBytes == 0)
            m_reader->lastPieceGiven();
        const bool caughtUp = m_reader->caughtUp();
        if (caughtUp && m_unreadBytes == 0)
            break;
        if (turn.hasExpired())
            return feedLater();
        if (!(caughtUp ? m_reader->feed(takeUnread(), turn) : m_reader->more(turn))) {
            m_refusal = m_reader->error();
            dropUnread();
            if (m_reply)
                m_reply->abort(); // finishes the reply at once, through onFinished
            else
                complete({m_refusal, {}});
            return;
        }
    }
    if (m_ended)
        endAnswer();
}

QByteArray DavTransport::takeUnread()
{
    QByteArray& front = m_unread.front();
    QByteArray slice;
    if (m_unreadAt == 0 && front.size() <= kFeedSlice) {
        slice = std::move(front);
    } else {
        slice = front.mid(m_unreadAt, kFeedSlice);
        m_unreadAt += slice.size();
    }
    m_unreadBytes -= slice.size();
    if (front.isEmpty() || m_unreadAt >= front.size()) {
        m_unread.pop_front();
        m_unreadAt = 0;
    }
    return slice;
}

void DavTransport::dropUnread()
{
    m_unread.clear();
    m_unreadAt = 0;
    m_unreadBytes = 0;
}

void DavTransport::onMetaData()
{
    if (m_reply && !readHeaders())
        m_reply->abort(); // finishes the reply at once, through onFinished
}

void DavTransport::onReadyRead()
{
    if (!m_reply)
        return;
    m_timer.start(m_account.timeoutMs);
    if (!readHeaders() || !readBody())
        m_reply->abort();
}

void DavTransport::onTimeout()
{
    if (!m_reply)
        return;
    m_refusal = davError(DavErrorKind::Timeout, m_answer.url.host());
    m_reply->abort();
}

void DavTransport::onFinished()
{
    QNetworkReply* reply = m_reply.data();
    if (!reply || sender() != reply)
        return;
    m_timer.stop();
    const QString host = m_answer.url.host();
    // What came with the end goes through the same limits as the rest.
    if (!m_refusal && readHeaders() && m_headers)
        readBody();
    reply->disconnect(this);
    reply->deleteLater();
    m_reply.clear();
    if (m_refusal)
        return complete({m_refusal, {}});
    // Errors below 100 are the connection's own: no answer, or one cut off in the middle.
    if (!m_headers || (reply->error() > QNetworkReply::NoError && reply->error() < 100)) {
        qCInfo(lcCalDav, "no answer from %s: %s", qPrintable(host), qPrintable(reply->errorString()));
        const bool tls = m_tlsRefused || reply->error() == QNetworkReply::SslHandshakeFailedError;
        return complete({davError(tls ? DavErrorKind::Tls : DavErrorKind::Network, host), {}});
    }
    qCDebug(lcCalDav, "%d from %s", m_answer.status, qPrintable(shown(m_answer.url)));
    if (isRedirect(m_answer.status))
        return followRedirect();
    m_ended = true;
    // A multistatus is read a slice a turn, the rest of it too: its reading ends the answer.
    if (m_reader)
        return feedLater();
    endAnswer();
}

void DavTransport::endAnswer()
{
    if (m_reader) {
        DavResult<Multistatus> read = m_reader->finish();
        m_reader.reset();
        if (!read.ok())
            return complete({read.error, {}});
        m_answer.multistatus = std::move(read.value);
    }
    complete({{}, std::move(m_answer)});
}

void DavTransport::followRedirect()
{
    Pending& p = m_queue.front();
    const QString host = p.url.host();
    const QUrl next = resolveHref(p.url, m_location);
    p.visited.insert(p.url.adjusted(QUrl::NormalizePathSegments));
    if (!next.isValid() || ++p.redirects > kRedirectLimit ||
        p.visited.contains(next.adjusted(QUrl::NormalizePathSegments)))
        return complete({davError(DavErrorKind::Redirects, host), {}});
    if (m_answer.status == 303) {
        p.request.method = "GET";
        p.request.body.clear();
        p.request.contentType.clear();
    }
    p.url = next;
    start();
}

void DavTransport::complete(DavResult<DavReply> result)
{
    if (m_queue.empty())
        return;
    Done done = std::move(m_queue.front().done);
    m_queue.pop_front();
    m_answer = {};
    m_reader.reset();
    dropUnread();
    m_ended = false;
    ++m_serial; // a slice still waiting belongs to this answer: dropped
    m_feedQueued = false;
    startNext();
    // Last: the callback may queue more, or delete us.
    done(std::move(result));
}

} // namespace vorn::caldav
