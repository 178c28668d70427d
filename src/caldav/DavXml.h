#pragma once

#include "caldav/DavError.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QStringList>
#include <QUrl>
#include <QXmlStreamReader>

#include <memory>
#include <optional>
#include <vector>

namespace vorn::caldav {

// The most of an answer we read: enough for tens of thousands of to-dos, refused beyond.
inline constexpr qint64 kResponseLimit = 64 * 1024 * 1024;
// Real answers nest about eight deep; anything this deep is hostile.
inline constexpr int kDepthLimit = 64;
// Each response costs memory beyond its bytes; this many is more than any calendar holds.
inline constexpr int kResponseCountLimit = 100'000;

// The properties we ask for, in the namespaces DAV, CalDAV and CalendarServer put them in.
enum class DavProp {
    CurrentUserPrincipal,
    CalendarHomeSet,
    ResourceType,
    DisplayName,
    SupportedComponents,
    Ctag,
    SyncToken,
    Etag,
    CalendarData,
};

// One <response> of a multistatus: what its 2xx propstats said, and the statuses it gave.
struct DavResponse {
    QUrl href;                 // absolute, resolved against the request's URL
    bool isBase = false;       // it names the request's URL itself (sameResource), as worked out while read
    int status = 0;            // the response's own <status>; 0 when it has propstats instead
    std::vector<int> propstat; // the status of each propstat, in order
    QString displayName;
    bool collection = false;
    bool calendar = false;
    std::optional<QStringList> components; // unset: the server didn't say, so any
    QString ctag;
    QString syncToken;
    QString etag; // as the server wrote it, quotes included
    QByteArray calendarData;
    QUrl currentUserPrincipal;
    std::vector<QUrl> calendarHomeSet;
};

struct Multistatus {
    QUrl base; // the request's URL
    std::vector<DavResponse> responses;
    QString syncToken; // of a sync-collection report
};

// Request bodies.
QByteArray propfindBody(const std::vector<DavProp>& props);
QByteArray syncCollectionBody(const QString& token);
QByteArray multigetBody(const std::vector<QUrl>& hrefs);
QByteArray calendarQueryBody(bool withData); // every VTODO
QByteArray mkcalendarBody(const QString& displayName);
QByteArray displayNameUpdateBody(const QString& displayName);

// Reads a multistatus as it arrives, piece by piece, so a hostile answer is refused before it is
// whole: beyond the byte limit, nested too deep, or not XML.
class MultistatusReader {
public:
    explicit MultistatusReader(const QUrl& base, qint64 limit = kResponseLimit);
    ~MultistatusReader();

    // Reads the piece, and what it holds from before, until `until`; what time leaves unread waits for
    // more() or the next piece. False once the answer is refused; error() says why, and further pieces
    // are ignored.
    bool feed(const QByteArray& piece, QDeadlineTimer until = QDeadlineTimer(QDeadlineTimer::Forever));
    // Reads on in what it holds, until `until`; false as feed().
    bool more(QDeadlineTimer until);
    // Whether what it holds is read as far as it can be before another piece (or the end) comes.
    bool caughtUp() const;
    // No piece comes after those given: the last part of a slice can be read too.
    void lastPieceGiven() { m_lastGiven = true; }
    // After the last piece: the whole answer, or why not. Reads whatever is still unread.
    DavResult<Multistatus> finish();
    const DavError& error() const { return m_error; }

    enum class Tag : quint8; // the elements the reader acts on

private:
    static constexpr qsizetype kSlice = 64 * 1024;
    // The tokens of the slice the XML reader holds, until `until` or until it wants more.
    bool readTokens(QDeadlineTimer until);
    void start();
    void end();
    bool fail(DavErrorKind kind, const char* why);
    Tag at(qsizetype fromTop) const;
    bool inProp() const;

    QUrl m_base;
    qint64 m_limit;
    qint64 m_read = 0;
    QXmlStreamReader m_xml;
    // Given but not yet handed to the XML reader (from m_pendingAt on), a slice at a time, so it
    // judges the same slices however the network split the answer.
    QByteArray m_pending;
    qsizetype m_pendingAt = 0;
    bool m_inSlice = false; // the XML reader holds tokens not read yet
    bool m_lastGiven = false;
    std::vector<Tag> m_stack;
    QString m_text;
    Multistatus m_out;
    DavResponse m_response;
    DavResponse m_props; // of the propstat being read, kept only when its status is 2xx
    int m_propstatStatus = 0;
    bool m_closed = false; // the root element ended
    DavError m_error;
};

// A whole answer at once, for answers already in memory.
DavResult<Multistatus> readMultistatus(const QUrl& base, const QByteArray& body);

// Whether an error body names the valid-sync-token precondition.
bool namesInvalidSyncToken(const QByteArray& body);

// "HTTP/1.1 404 Not Found" -> 404; 0 when it isn't a status line.
int statusFromLine(const QString& line);

} // namespace vorn::caldav
