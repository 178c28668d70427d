#include "caldav/CalDavClient.h"
#include "caldav/DavLog.h"
#include "caldav/DavTransport.h"
#include "caldav/DavUrl.h"

namespace vorn::caldav {

namespace {

constexpr char kXml[] = "application/xml; charset=utf-8";

// The error of an answer that should have been a multistatus.
DavError multistatusError(const DavResult<DavReply>& r)
{
    if (!r.ok())
        return r.error;
    if (r.value.status == 207)
        return {};
    if (r.value.status >= 200 && r.value.status < 300) {
        // A login page or a portal in the way answers 200 with HTML.
        const bool xml = r.value.contentType.toLower().contains("xml");
        return davError(xml ? DavErrorKind::UnexpectedStatus : DavErrorKind::WrongContentType,
                        r.value.url.host(), r.value.status);
    }
    return davErrorForStatus(r.value.status, r.value.url.host());
}

// The error of an answer that should have been a plain success.
DavError statusError(const DavResult<DavReply>& r)
{
    return r.ok() ? davErrorForStatus(r.value.status, r.value.url.host()) : r.error;
}

bool ok2xx(int status)
{
    return status >= 200 && status < 300;
}

bool holdsTodos(const DavResponse& r)
{
    return r.calendar && (!r.components || r.components->contains(QStringLiteral("VTODO")));
}

QByteArray quotedOrStar(const QString& etag)
{
    return etag.isEmpty() ? QByteArray("*") : etag.toUtf8();
}

// Whether the response is the collection's own: known from the reading when the answer came from there.
bool namesCollection(const Multistatus& ms, const DavResponse& r, const QUrl& collection)
{
    return ms.base == collection ? r.isBase : sameResource(r.href, collection);
}

std::vector<DavItem> itemsOf(const Multistatus& ms, const QUrl& collection)
{
    std::vector<DavItem> out;
    for (const DavResponse& r : ms.responses) {
        if (!r.etag.isEmpty() && !namesCollection(ms, r, collection)) {
            qCDebug(lcCalDav, "  item %s %s%s", qPrintable(r.href.path()), qPrintable(r.etag),
                    r.calendarData.isEmpty() ? "" : " with its text");
            out.push_back({r.href, r.etag, r.calendarData});
        }
    }
    return out;
}

} // namespace

CalDavClient::CalDavClient(DavAccount account, QObject* parent)
    : QObject(parent), m_transport(new DavTransport(std::move(account), this))
{
}

CalDavClient::~CalDavClient() = default;

QUrl childUrl(const QUrl& collection, const QString& name)
{
    QUrl base = collection;
    if (!base.path().endsWith(QLatin1Char('/')))
        base.setPath(base.path() + QLatin1Char('/'));
    QUrl child = base;
    child.setPath(base.path(QUrl::FullyEncoded) + QString::fromLatin1(QUrl::toPercentEncoding(name)),
                  QUrl::StrictMode);
    return child;
}

void CalDavClient::report(const QUrl& url, const QByteArray& body, const QByteArray& depth,
                          std::function<void(DavResult<DavReply>)> done)
{
    m_transport->send({"REPORT", url, body, kXml, depth, {}}, std::move(done));
}

void CalDavClient::discover(Callback<DavDiscovery> done)
{
    const QUrl base = m_transport->account().url;
    QUrl wellKnown = base;
    wellKnown.setPath(QStringLiteral("/.well-known/caldav"));
    wellKnown.setQuery(QString());
    // A URL with a path of its own is tried first: the user may have given the principal or home.
    std::vector<QUrl> candidates;
    if (base.path().size() > 1)
        candidates.push_back(base);
    candidates.push_back(wellKnown);
    if (base.path().size() <= 1)
        candidates.push_back(base.resolved(QUrl(QStringLiteral("/"))));
    findPrincipal(std::move(candidates), std::move(done));
}

void CalDavClient::findPrincipal(std::vector<QUrl> candidates, Callback<DavDiscovery> done)
{
    const QUrl url = candidates.front();
    candidates.erase(candidates.begin());
    const QByteArray body = propfindBody({DavProp::CurrentUserPrincipal, DavProp::CalendarHomeSet});
    m_transport->send({"PROPFIND", url, body, kXml, "0", {}},
                      [this, candidates = std::move(candidates), done = std::move(done),
                       host = url.host()](DavResult<DavReply> r) mutable {
                          const DavError error = multistatusError(r);
                          QUrl principal;
                          if (!error) {
                              for (const DavResponse& response : r.value.multistatus.responses) {
                                  if (response.currentUserPrincipal.isValid())
                                      principal = response.currentUserPrincipal;
                              }
                          }
                          if (principal.isValid())
                              return findHome(principal, std::move(done));
                          // Not a CalDAV address is worth the next try; a wrong password isn't.
                          const bool tryNext = !error || error.kind == DavErrorKind::NotFound ||
                                               error.kind == DavErrorKind::UnexpectedStatus ||
                                               error.kind == DavErrorKind::WrongContentType ||
                                               error.kind == DavErrorKind::Forbidden;
                          if (!tryNext)
                              return done({error, {}});
                          if (candidates.empty())
                              return done({davError(DavErrorKind::NoCalendars, host), {}});
                          findPrincipal(std::move(candidates), std::move(done));
                      });
}

void CalDavClient::findHome(const QUrl& principal, Callback<DavDiscovery> done)
{
    const QByteArray body = propfindBody({DavProp::CalendarHomeSet});
    m_transport->send({"PROPFIND", principal, body, kXml, "0", {}},
                      [this, principal, done = std::move(done)](DavResult<DavReply> r) mutable {
                          if (const DavError error = multistatusError(r))
                              return done({error, {}});
                          QUrl home;
                          for (const DavResponse& response : r.value.multistatus.responses) {
                              if (!response.calendarHomeSet.empty())
                                  home = response.calendarHomeSet.front();
                          }
                          if (!home.isValid())
                              return done({davError(DavErrorKind::NoCalendars, principal.host()), {}});
                          listCollections(home, [principal, home, done = std::move(done)](
                                                    DavResult<std::vector<DavCollection>> c) {
                              if (!c.ok())
                                  return done({c.error, {}});
                              done({{}, DavDiscovery{principal, home, std::move(c.value)}});
                          });
                      });
}

void CalDavClient::listCollections(const QUrl& home, Callback<std::vector<DavCollection>> done)
{
    const QByteArray body = propfindBody({DavProp::ResourceType, DavProp::DisplayName,
                                          DavProp::SupportedComponents, DavProp::Ctag, DavProp::SyncToken});
    m_transport->send({"PROPFIND", home, body, kXml, "1", {}},
                      [home, done = std::move(done)](DavResult<DavReply> r) {
                          if (const DavError error = multistatusError(r))
                              return done({error, {}});
                          std::vector<DavCollection> out;
                          for (const DavResponse& c : r.value.multistatus.responses) {
                              if (holdsTodos(c) && !sameResource(c.href, home))
                                  out.push_back({c.href, c.displayName, c.components, c.ctag, c.syncToken});
                          }
                          done({{}, std::move(out)});
                      });
}

void CalDavClient::syncCollection(const QUrl& collection, const QString& token, Callback<DavSyncChanges> done)
{
    report(
        collection, syncCollectionBody(token), "0",
        [collection, done = std::move(done)](DavResult<DavReply> r) {
            if (r.ok() && (r.value.status == 403 || r.value.status == 409) &&
                namesInvalidSyncToken(r.value.body))
                return done({davError(DavErrorKind::TokenExpired, collection.host(), r.value.status), {}});
            if (const DavError error = multistatusError(r))
                return done({error, {}});
            DavSyncChanges out;
            out.token = r.value.multistatus.syncToken;
            for (const DavResponse& item : r.value.multistatus.responses) {
                if (namesCollection(r.value.multistatus, item, collection))
                    continue;
                const bool gone =
                    item.status == 404 || item.status == 410 ||
                    (item.etag.isEmpty() && !item.propstat.empty() &&
                     std::all_of(item.propstat.begin(), item.propstat.end(), [](int s) { return s == 404; }));
                // Told item by item in a debug log: what a sync did follows from what it was told.
                if (gone) {
                    qCDebug(lcCalDav, "  gone %s", qPrintable(item.href.path()));
                    out.removed.push_back(item.href);
                } else if (!item.etag.isEmpty()) {
                    qCDebug(lcCalDav, "  changed %s %s", qPrintable(item.href.path()), qPrintable(item.etag));
                    out.changed.push_back({item.href, item.etag, {}});
                }
            }
            done({{}, std::move(out)});
        });
}

void CalDavClient::multiget(const QUrl& collection, const std::vector<QUrl>& hrefs,
                            Callback<std::vector<DavItem>> done)
{
    report(collection, multigetBody(hrefs), "1", [collection, done = std::move(done)](DavResult<DavReply> r) {
        if (const DavError error = multistatusError(r))
            return done({error, {}});
        done({{}, itemsOf(r.value.multistatus, collection)});
    });
}

void CalDavClient::listAll(const QUrl& collection, bool withData, Callback<std::vector<DavItem>> done)
{
    report(collection, calendarQueryBody(withData), "1",
           [collection, done = std::move(done)](DavResult<DavReply> r) {
               if (const DavError error = multistatusError(r))
                   return done({error, {}});
               done({{}, itemsOf(r.value.multistatus, collection)});
           });
}

void CalDavClient::getCtag(const QUrl& collection, Callback<QString> done)
{
    m_transport->send({"PROPFIND", collection, propfindBody({DavProp::Ctag}), kXml, "0", {}},
                      [done = std::move(done)](DavResult<DavReply> r) {
                          if (const DavError error = multistatusError(r))
                              return done({error, {}});
                          QString ctag;
                          for (const DavResponse& c : r.value.multistatus.responses)
                              ctag = c.ctag.isEmpty() ? ctag : c.ctag;
                          done({{}, ctag});
                      });
}

void CalDavClient::put(const QUrl& href, const QByteArray& data, const QString& etag, Callback<QString> done)
{
    DavRequest request{"PUT", href, data, "text/calendar; charset=utf-8", {}, {}};
    request.headers.emplace_back(etag.isEmpty() ? "If-None-Match" : "If-Match", quotedOrStar(etag));
    m_transport->send(std::move(request),
                      [this, href, done = std::move(done)](DavResult<DavReply> r) mutable {
                          if (const DavError error = statusError(r))
                              return done({error, {}});
                          // A server that changed what it stored gives no ETag; ask for the one it has.
                          if (r.value.etag.isEmpty())
                              return fetchEtag(href, std::move(done));
                          done({{}, QString::fromUtf8(r.value.etag)});
                      });
}

void CalDavClient::fetchEtag(const QUrl& href, Callback<QString> done)
{
    m_transport->send({"PROPFIND", href, propfindBody({DavProp::Etag}), kXml, "0", {}},
                      [done = std::move(done)](DavResult<DavReply> r) {
                          if (const DavError error = multistatusError(r))
                              return done({error, {}});
                          for (const DavResponse& c : r.value.multistatus.responses) {
                              if (!c.etag.isEmpty())
                                  return done({{}, c.etag});
                          }
                          done({davError(DavErrorKind::BadXml, r.value.url.host()), {}});
                      });
}

void CalDavClient::remove(const QUrl& href, const QString& etag, Callback<DavDone> done)
{
    DavRequest request{"DELETE", href, {}, {}, {}, {}};
    if (!etag.isEmpty())
        request.headers.emplace_back("If-Match", etag.toUtf8());
    m_transport->send(std::move(request), [done = std::move(done)](DavResult<DavReply> r) {
        done({statusError(r), {}});
    });
}

void CalDavClient::mkcalendar(const QUrl& href, const QString& displayName, Callback<DavDone> done)
{
    m_transport->send({"MKCALENDAR", href, mkcalendarBody(displayName), kXml, {}, {}},
                      [done = std::move(done)](DavResult<DavReply> r) {
                          done({statusError(r), {}});
                      });
}

void CalDavClient::rename(const QUrl& collection, const QString& displayName, Callback<DavDone> done)
{
    m_transport->send({"PROPPATCH", collection, displayNameUpdateBody(displayName), kXml, {}, {}},
                      [done = std::move(done)](DavResult<DavReply> r) {
                          if (const DavError error = multistatusError(r))
                              return done({error, {}});
                          for (const DavResponse& c : r.value.multistatus.responses) {
                              for (int status : c.propstat) {
                                  if (!ok2xx(status))
                                      return done({davErrorForStatus(status, r.value.url.host()), {}});
                              }
                          }
                          done({{}, {}});
                      });
}

} // namespace vorn::caldav
