#pragma once

#include "caldav/DavAccount.h"
#include "caldav/DavError.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>
#include <vector>

namespace vorn::caldav {

class DavTransport;
struct DavReply;

struct DavCollection {
    QUrl href;
    QString displayName;
    std::optional<QStringList> components; // unset: the server didn't say
    QString ctag;
    QString syncToken; // empty when the server keeps none
};

struct DavDiscovery {
    QUrl principal;
    QUrl home;
    std::vector<DavCollection> collections; // those that hold to-dos
};

struct DavItem {
    QUrl href;
    QString etag;    // quotes included, as it goes back in If-Match
    QByteArray data; // the calendar text; empty where only ETags were asked for
};

struct DavSyncChanges {
    std::vector<DavItem> changed; // href and ETag: fetch them with multiget
    std::vector<QUrl> removed;
    QString token; // for the next sync
};

// The calendar-server protocol over Qt Network: every operation starts a request and returns at
// once; its callback runs later on this thread with the result or a DavError (412 and an expired
// sync token come back as their own kinds). Requests run one at a time, in the order asked. A
// callback never runs after the client is gone.
class CalDavClient : public QObject {
    Q_OBJECT
public:
    template <class T> using Callback = std::function<void(DavResult<T>)>;

    explicit CalDavClient(DavAccount account, QObject* parent = nullptr);
    ~CalDavClient() override;

    // From the account's URL (a bare host will do): the principal, its calendar home and the
    // collections there whose components include VTODO, or that don't say.
    void discover(Callback<DavDiscovery> done);
    void listCollections(const QUrl& home, Callback<std::vector<DavCollection>> done);

    // What changed since `token` (empty: everything there is).
    void syncCollection(const QUrl& collection, const QString& token, Callback<DavSyncChanges> done);
    // The items at these hrefs with their data; those gone in the meantime are left out.
    void multiget(const QUrl& collection, const std::vector<QUrl>& hrefs,
                  Callback<std::vector<DavItem>> done);
    // Every to-do of the collection, for servers that keep no sync tokens.
    void listAll(const QUrl& collection, bool withData, Callback<std::vector<DavItem>> done);
    void getCtag(const QUrl& collection, Callback<QString> done);

    // Writes an item: over the one with `etag`, or, when it is empty, only if there is none yet.
    // Gives the new ETag.
    void put(const QUrl& href, const QByteArray& data, const QString& etag, Callback<QString> done);
    void remove(const QUrl& href, const QString& etag, Callback<DavDone> done);
    void mkcalendar(const QUrl& href, const QString& displayName, Callback<DavDone> done);
    void rename(const QUrl& collection, const QString& displayName, Callback<DavDone> done);

private:
    void findPrincipal(std::vector<QUrl> candidates, Callback<DavDiscovery> done);
    void findHome(const QUrl& principal, Callback<DavDiscovery> done);
    void fetchEtag(const QUrl& href, Callback<QString> done);
    void report(const QUrl& url, const QByteArray& body, const QByteArray& depth,
                std::function<void(DavResult<DavReply>)> done);

    DavTransport* m_transport;
};

// The URL of `name` inside `collection`, encoded as a path segment.
QUrl childUrl(const QUrl& collection, const QString& name);

} // namespace vorn::caldav
