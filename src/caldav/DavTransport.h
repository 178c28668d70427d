#pragma once

#include "caldav/DavAccount.h"
#include "caldav/DavError.h"
#include "caldav/DavXml.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace vorn::caldav {

struct DavRequest {
    QByteArray method;
    QUrl url;
    QByteArray body;
    QByteArray contentType; // of the body
    QByteArray depth;       // "0", "1", or none
    std::vector<std::pair<QByteArray, QByteArray>> headers;
};

struct DavReply {
    int status = 0;
    QUrl url; // where the answer came from, after redirects
    QByteArray etag;
    QByteArray contentType;
    QByteArray body;         // any answer but a multistatus, up to kSmallBodyLimit
    Multistatus multistatus; // a 207's, read as it arrived
};

// Enough for an error body or a single item; more of an answer that isn't a multistatus is dropped.
inline constexpr qint64 kSmallBodyLimit = 8 * 1024 * 1024;
inline constexpr int kRedirectLimit = 5;
// A multistatus is read for at most 4 ms a turn of the event loop, its end too, so a key press never
// waits for an answer of thousands of items.
inline constexpr qsizetype kFeedSlice = 32 * 1024;
inline constexpr qint64 kFeedTurnNs = 4'000'000;
// How much may wait to be read; beyond it an answer is read as it comes, so a hostile one can't fill memory.
inline constexpr qsizetype kFeedBacklog = 2 * 1024 * 1024;
// What the network may hold for us before it waits: with the backlog, all an answer of any size holds.
inline constexpr qint64 kReplyBuffer = 256 * 1024;

// Runs one request at a time against the account's server: redirects followed by hand (credentials
// only to the account's origin, at most five, no loops), https unless loopback or allowed, a
// certificate error refused unless it is the trusted one, silence ended after the timeout, and a
// multistatus read as it streams with the size and depth limits. Never blocks.
class DavTransport : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(DavResult<DavReply>)>;

    explicit DavTransport(DavAccount account, QObject* parent = nullptr);
    ~DavTransport() override;

    void send(DavRequest request, Done done);
    const DavAccount& account() const { return m_account; }

private:
    struct Pending {
        DavRequest request;
        Done done;
        QUrl url; // after redirects
        int redirects = 0;
        QSet<QUrl> visited;
    };

    void startNext();
    void start();
    void onMetaData();
    void onReadyRead();
    void onFinished();
    void onTimeout();
    bool readHeaders();
    bool readBody();
    void complete(DavResult<DavReply> result);
    // Reads the next slice of the multistatus on a later turn.
    void feedLater();
    void feedSome();
    // The whole answer is in and read: to the caller.
    void endAnswer();
    // Up to kFeedSlice bytes from the front of m_unread.
    QByteArray takeUnread();
    void dropUnread();
    void followRedirect();

    DavAccount m_account;
    QNetworkAccessManager* m_manager;
    std::deque<Pending> m_queue; // the front one is running while m_reply is set
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    std::unique_ptr<MultistatusReader> m_reader;
    // The multistatus as it came, in the pieces it came in (from m_unreadAt of the first on): a queue of
    // pieces, not one growing buffer, so a fast server never costs a reallocation of all that is waiting.
    std::deque<QByteArray> m_unread;
    qsizetype m_unreadAt = 0;
    qint64 m_unreadBytes = 0;
    bool m_ended = false;      // the reply finished; the answer ends once all of it is read
    bool m_feedQueued = false; // a feedSome() is due on the next turn
    quint64 m_serial = 0;      // of the request running, so a slice left over from an earlier one is dropped
    DavReply m_answer;
    qint64 m_received = 0;
    bool m_headers = false;
    bool m_tlsRefused = false;
    DavError m_refusal; // set when we ended the reply ourselves
    QString m_location; // of a redirect
};

} // namespace vorn::caldav
