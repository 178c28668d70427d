#include "caldav/DavLog.h"
#include "caldav/DavUrl.h"
#include "caldav/DavXml.h"

#include <algorithm>
#include <utility>

namespace vorn::caldav {

// Only the elements whose place in the tree we act on; everything else is read past.
enum class MultistatusReader::Tag : quint8 {
    Other,
    Multistatus,
    Response,
    Href,
    Status,
    Propstat,
    Prop,
    SyncToken,
    Etag,
    Ctag,
    DisplayName,
    ResourceType,
    Collection,
    Calendar,
    SupportedComponents,
    Comp,
    CalendarData,
    CurrentUserPrincipal,
    CalendarHomeSet,
};

namespace {

using Tag = MultistatusReader::Tag;

Tag tagOf(QStringView ns, QStringView name)
{
    if (ns == u"DAV:") {
        static const std::pair<const char16_t*, Tag> dav[] = {
            {u"multistatus", Tag::Multistatus},
            {u"response", Tag::Response},
            {u"href", Tag::Href},
            {u"status", Tag::Status},
            {u"propstat", Tag::Propstat},
            {u"prop", Tag::Prop},
            {u"sync-token", Tag::SyncToken},
            {u"getetag", Tag::Etag},
            {u"displayname", Tag::DisplayName},
            {u"resourcetype", Tag::ResourceType},
            {u"collection", Tag::Collection},
            {u"current-user-principal", Tag::CurrentUserPrincipal},
        };
        for (const auto& [n, t] : dav) {
            if (name == QStringView(n))
                return t;
        }
    } else if (ns == u"urn:ietf:params:xml:ns:caldav") {
        if (name == u"calendar")
            return Tag::Calendar;
        if (name == u"supported-calendar-component-set")
            return Tag::SupportedComponents;
        if (name == u"comp")
            return Tag::Comp;
        if (name == u"calendar-data")
            return Tag::CalendarData;
        if (name == u"calendar-home-set")
            return Tag::CalendarHomeSet;
    } else if (ns == u"http://calendarserver.org/ns/" && name == u"getctag") {
        return Tag::Ctag;
    }
    return Tag::Other;
}

bool holdsText(Tag t)
{
    switch (t) {
    case Tag::Href:
    case Tag::Status:
    case Tag::SyncToken:
    case Tag::Etag:
    case Tag::Ctag:
    case Tag::DisplayName:
    case Tag::CalendarData:
        return true;
    default:
        return false;
    }
}

void mergeProps(DavResponse& into, DavResponse&& from)
{
    if (!from.displayName.isEmpty())
        into.displayName = std::move(from.displayName);
    into.collection = into.collection || from.collection;
    into.calendar = into.calendar || from.calendar;
    if (from.components)
        into.components = std::move(from.components);
    if (!from.ctag.isEmpty())
        into.ctag = std::move(from.ctag);
    if (!from.syncToken.isEmpty())
        into.syncToken = std::move(from.syncToken);
    if (!from.etag.isEmpty())
        into.etag = std::move(from.etag);
    if (!from.calendarData.isEmpty())
        into.calendarData = std::move(from.calendarData);
    if (from.currentUserPrincipal.isValid())
        into.currentUserPrincipal = std::move(from.currentUserPrincipal);
    for (QUrl& home : from.calendarHomeSet)
        into.calendarHomeSet.push_back(std::move(home));
}

} // namespace

int statusFromLine(const QString& line)
{
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    if (parts.size() < 2 || !parts[0].startsWith(QLatin1String("HTTP/")))
        return 0;
    bool ok = false;
    const int status = parts[1].toInt(&ok);
    return ok && status >= 100 && status < 600 ? status : 0;
}

MultistatusReader::MultistatusReader(const QUrl& base, qint64 limit) : m_base(base), m_limit(limit) {}

MultistatusReader::~MultistatusReader() = default;

bool MultistatusReader::fail(DavErrorKind kind, const char* why)
{
    if (!m_error) {
        m_error = davError(kind, m_base.host());
        qCInfo(lcCalDav, "answer from %s refused: %s", qPrintable(m_base.host()), why);
    }
    return false;
}

// Inside multistatus/response/propstat/prop, where the properties are.
bool MultistatusReader::inProp() const
{
    return m_stack.size() >= 5 && m_stack[1] == Tag::Response && m_stack[2] == Tag::Propstat &&
           m_stack[3] == Tag::Prop;
}

MultistatusReader::Tag MultistatusReader::at(qsizetype fromTop) const
{
    const qsizetype i = qsizetype(m_stack.size()) - 1 - fromTop;
    return i >= 0 ? m_stack[size_t(i)] : Tag::Other;
}

bool MultistatusReader::feed(const QByteArray& piece, QDeadlineTimer until)
{
    if (m_error)
        return false;
    m_read += piece.size();
    if (m_read > m_limit)
        return fail(DavErrorKind::TooLarge, "over the size limit");
    // What follows the root's end is not read: the answer is whole.
    if (m_closed)
        return true;
    m_pending += piece;
    return more(until);
}

bool MultistatusReader::more(QDeadlineTimer until)
{
    while (!m_error && !m_closed) {
        if (m_inSlice && (!readTokens(until) || m_inSlice))
            break; // refused, or out of time
        const qsizetype left = m_pending.size() - m_pendingAt;
        if (left == 0 || (left < kSlice && !m_lastGiven))
            break;
        // The XML reader judges what it is given all at once (an encoding error further on fails it
        // early), so it is given the same slices however the answer came.
        m_xml.addData(m_pending.mid(m_pendingAt, kSlice));
        m_pendingAt += std::min(left, kSlice);
        m_inSlice = true;
    }
    if (m_closed || m_pendingAt == m_pending.size()) {
        m_pending.clear();
        m_pendingAt = 0;
    } else if (m_pendingAt >= kSlice) {
        m_pending.remove(0, m_pendingAt);
        m_pendingAt = 0;
    }
    return !m_error;
}

bool MultistatusReader::caughtUp() const
{
    return m_error || m_closed || (!m_inSlice && m_pending.size() - m_pendingAt < (m_lastGiven ? 1 : kSlice));
}

bool MultistatusReader::readTokens(QDeadlineTimer until)
{
    // The clock is read every few tokens: a token is a microsecond or two.
    for (int n = 1; !m_closed && !m_xml.atEnd(); ++n) {
        if (n % 32 == 0 && until.hasExpired())
            return true;
        switch (m_xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (m_stack.size() >= size_t(kDepthLimit))
                return fail(DavErrorKind::BadXml, "nested too deep");
            start();
            break;
        case QXmlStreamReader::EndElement:
            end();
            m_stack.pop_back();
            m_closed = m_stack.empty();
            break;
        case QXmlStreamReader::Characters:
            if (!m_stack.empty() && holdsText(m_stack.back()))
                m_text += m_xml.text();
            break;
        case QXmlStreamReader::DTD:
            return fail(DavErrorKind::BadXml, "a DTD");
        default:
            break;
        }
        if (m_error)
            return false;
        if (m_xml.hasError()) {
            if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                break; // the rest is still on its way
            return fail(DavErrorKind::BadXml, "not well-formed");
        }
    }
    m_inSlice = false;
    return true;
}

DavResult<Multistatus> MultistatusReader::finish()
{
    m_lastGiven = true;
    more(QDeadlineTimer(QDeadlineTimer::Forever));
    if (!m_error && !m_closed)
        fail(DavErrorKind::BadXml, "cut short");
    if (m_error)
        return {m_error, {}};
    m_out.base = m_base;
    return {{}, std::move(m_out)};
}

void MultistatusReader::start()
{
    const Tag tag = tagOf(m_xml.namespaceUri(), m_xml.name());
    m_stack.push_back(tag);
    m_text.clear();
    const size_t depth = m_stack.size();
    if (depth == 1 && tag != Tag::Multistatus) {
        fail(DavErrorKind::BadXml, "not a multistatus");
        return;
    }
    if (depth == 2 && tag == Tag::Response) {
        if (m_out.responses.size() >= size_t(kResponseCountLimit))
            fail(DavErrorKind::TooLarge, "too many responses");
        m_response = {};
    } else if (depth == 3 && tag == Tag::Propstat && at(1) == Tag::Response) {
        m_props = {};
        m_propstatStatus = 0;
    } else if (depth == 5 && inProp() && tag == Tag::SupportedComponents) {
        m_props.components.emplace();
    } else if (depth == 6 && inProp() && at(1) == Tag::SupportedComponents && tag == Tag::Comp) {
        m_props.components->push_back(m_xml.attributes().value(QStringLiteral("name")).toString().toUpper());
    }
}

void MultistatusReader::end()
{
    const size_t depth = m_stack.size();
    const Tag tag = m_stack.back();
    const Tag parent = at(1);
    const bool inProp = this->inProp();
    if (depth == 2 && tag == Tag::SyncToken) {
        m_out.syncToken = m_text.trimmed();
    } else if (depth == 2 && tag == Tag::Response) {
        if (m_response.href.isValid())
            m_out.responses.push_back(std::move(m_response));
        m_response = {};
    } else if (depth == 3 && parent == Tag::Response) {
        if (tag == Tag::Href) {
            m_response.href = resolveHref(m_base, m_text);
            // Here, a slice of the answer at a time, rather than for thousands of items at its end.
            m_response.isBase = sameResource(m_response.href, m_base);
        } else if (tag == Tag::Status)
            m_response.status = statusFromLine(m_text);
        else if (tag == Tag::Propstat) {
            m_response.propstat.push_back(m_propstatStatus);
            if (m_propstatStatus >= 200 && m_propstatStatus < 300)
                mergeProps(m_response, std::move(m_props));
            m_props = {};
        }
    } else if (depth == 4 && parent == Tag::Propstat && tag == Tag::Status) {
        m_propstatStatus = statusFromLine(m_text);
    } else if (depth == 5 && inProp) {
        switch (tag) {
        case Tag::Etag:
            m_props.etag = m_text.trimmed();
            break;
        case Tag::Ctag:
            m_props.ctag = m_text.trimmed();
            break;
        case Tag::SyncToken:
            m_props.syncToken = m_text.trimmed();
            break;
        case Tag::DisplayName:
            m_props.displayName = m_text.trimmed();
            break;
        case Tag::CalendarData:
            // XML reading turns every line end into LF; iCalendar's are CRLF, as a GET would give them.
            m_props.calendarData = m_text.toUtf8().replace("\r\n", "\n").replace('\n', "\r\n");
            break;
        default:
            break;
        }
    } else if (depth == 6 && inProp) {
        if (parent == Tag::ResourceType && tag == Tag::Collection)
            m_props.collection = true;
        else if (parent == Tag::ResourceType && tag == Tag::Calendar)
            m_props.calendar = true;
        else if (parent == Tag::CurrentUserPrincipal && tag == Tag::Href)
            m_props.currentUserPrincipal = resolveHref(m_base, m_text);
        else if (parent == Tag::CalendarHomeSet && tag == Tag::Href) {
            const QUrl home = resolveHref(m_base, m_text);
            if (home.isValid())
                m_props.calendarHomeSet.push_back(home);
        }
    }
    m_text.clear();
}

DavResult<Multistatus> readMultistatus(const QUrl& base, const QByteArray& body)
{
    MultistatusReader reader(base);
    reader.feed(body);
    return reader.finish();
}

bool namesInvalidSyncToken(const QByteArray& body)
{
    QXmlStreamReader xml(body);
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.namespaceUri() == u"DAV:" &&
            xml.name() == u"valid-sync-token")
            return true;
    }
    return false;
}

} // namespace vorn::caldav
