#pragma once

#include "caldav/CalDavClient.h"
#include "calsync/SyncPlan.h"
#include "serversync/SyncLedger.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <optional>
#include <vector>

namespace vorn {

// What the plan of a collection reads, made from plain copies only (no model, no ledger object), so
// that the libical reading and the planning of thousands of things run off the main thread.

// One resource as the server holds it now.
struct SyncResource {
    QString uid;
    QString parent;
    QString href; // its path
    QString etag;
    QByteArray text;
};

// A resource's path as the ledger and the plan name it: decoded, no trailing slash, so the server's
// spelling of an href and ours meet.
QString resourceKey(const QUrl& url);

// The ETag of a thing: those of its resources, so a change to any of them is a change of the thing.
QString compositeEtag(std::vector<std::pair<QString, QString>> uidEtags);

inline QString thingUidOf(const QString& uid, const QString& parent)
{
    return parent.isEmpty() ? uid : parent;
}

// The thing the texts of its resources make, in the list `listName` (empty: Today, Later or Done-ish).
std::optional<ical::CalendarThing> assembleThing(const std::vector<QByteArray>& texts,
                                                 const QString& listName);

// A thing as the server holds it now: its resources, the thing's own first.
calsync::ServerEntry serverEntryOf(const std::vector<SyncResource>& resources, const QString& listName);

// The server's side of one collection.
struct ServerSide {
    calsync::ServerView view;
    QHash<QString, std::vector<SyncResource>> resources; // by thing UID, for each thing the view names
    QSet<QString> touched;                               // the UIDs of the things the view says anything of
    int unreadable = 0;
    // Steps here whose thing isn't, nor was: on their way with it (a move over there, stopped after its
    // steps went and before the thing did), or left by someone. Read again at the next sync, as a later
    // listing that names the thing won't name them.
    bool strays = false;
};

// What the server holds now of the things its news touched: what we agreed on (`start`, the ledger as
// the sync began), less what went, with what changed.
ServerSide serverSideOf(const QHash<QString, LedgerItem>& start, const QString& collection,
                        const QString& listName, const std::vector<SyncResource>& fetched,
                        const std::vector<caldav::DavItem>& listed, const QStringList& removed,
                        bool complete);

// One thing of ours as the main thread gathered it.
struct LocalSide {
    QString uid;
    std::optional<ical::CalendarThing> ours; // none: gone here
    bool changed = false;
    QDateTime modified;
    std::vector<LedgerItem> rows;    // what the ledger agreed on: the thing's row first, then its steps'
    std::vector<SyncResource> there; // gone here: what the server holds of it now, when this sync read it
    // No rows here, as it moved here from another list since: what was agreed on in that list's
    // collection. The base of its merge with a copy this collection holds.
    std::vector<LedgerItem> before;
    // The list the agreed copy (of `before`, or of rows whose base was agreed elsewhere) was agreed in;
    // none: this collection's.
    std::optional<QString> agreedList;
};

calsync::LocalEntry localEntryOf(const LocalSide& side, const QString& listName);

// What the rows' last PUTs carried where no sync has yet seen them land, the rows not sent as agreed; none
// when no row has such a PUT.
std::optional<ical::CalendarThing> sentCopyOf(const std::vector<LedgerItem>& rows, const QString& listName);

} // namespace vorn
