#include "serversync/PlanInputs.h"

#include <algorithm>

namespace vorn {

QString resourceKey(const QUrl& url)
{
    QString path = url.path(QUrl::FullyDecoded);
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QString compositeEtag(std::vector<std::pair<QString, QString>> uidEtags)
{
    std::sort(uidEtags.begin(), uidEtags.end());
    QString out;
    for (const auto& [uid, etag] : uidEtags)
        out += uid + u' ' + etag + u'\n';
    return out;
}

std::optional<ical::CalendarThing> assembleThing(const std::vector<QByteArray>& texts,
                                                 const QString& listName)
{
    QByteArray all;
    for (const QByteArray& t : texts)
        all += t;
    ical::CalendarRead read = ical::readCalendar(all);
    if (read.things.empty())
        return std::nullopt;
    ical::CalendarThing thing = std::move(read.things.front());
    thing.list = listName;
    return thing;
}

calsync::ServerEntry serverEntryOf(const std::vector<SyncResource>& resources, const QString& listName)
{
    std::vector<std::pair<QString, QString>> etags;
    std::vector<QByteArray> texts;
    for (const SyncResource& r : resources) {
        etags.emplace_back(r.uid, r.etag);
        texts.push_back(r.text);
    }
    return {resources.front().href, compositeEtag(etags), assembleThing(texts, listName)};
}

ServerSide serverSideOf(const QHash<QString, LedgerItem>& start, const QString& collection,
                        const QString& listName, const std::vector<SyncResource>& fetched,
                        const std::vector<caldav::DavItem>& listed, const QStringList& removed, bool complete)
{
    ServerSide out;
    // What the server can have taken away: a copy it was seen to hold, or one agreed on here and waiting to
    // be put back. One never seen here (sent, or moved here) is not its to take, and our side plans it.
    const auto canGo = [](const LedgerItem& i) {
        return !i.etag.isEmpty() || (!i.base.isEmpty() && i.baseCollection.isEmpty());
    };
    QHash<QString, SyncResource> byHref;
    QHash<QString, QString> thingOfHref;
    // Copies of ours moved on from here, not yet deleted: unchanged there (a changed one is read whole),
    // so the text we agreed on is theirs.
    QHash<QString, std::vector<SyncResource>> leftHere;
    for (const LedgerItem& i : start) {
        if (i.collection != collection) {
            if (!i.leavingEtag.isEmpty() && i.leavingHref.startsWith(collection + u'/'))
                leftHere[thingUidOf(i.uid, i.parent)].push_back(
                    {i.uid, i.parent, i.leavingHref, i.leavingEtag, i.base});
            continue;
        }
        thingOfHref.insert(i.href, thingUidOf(i.uid, i.parent));
        // No ETag: a copy that may not be there (put back at a sync's end that never came, or sent and
        // never seen). Taken for the server's, its text made a thing whose other resources went look
        // like one that lost them over there, and the merge deleted them here.
        if (!i.etag.isEmpty())
            byHref.insert(i.href, {i.uid, i.parent, i.href, i.etag, i.base});
    }
    QSet<QString>& touched = out.touched;
    QSet<QString> listedHrefs;
    for (const caldav::DavItem& item : listed)
        listedHrefs.insert(resourceKey(item.href));
    const QSet<QString> removedHrefs(removed.begin(), removed.end());
    QStringList went;
    for (auto it = byHref.cbegin(); it != byHref.cend(); ++it)
        if (removedHrefs.contains(it.key()) || (complete && !listedHrefs.contains(it.key())))
            went << it.key();
    for (const QString& href : std::as_const(went)) {
        touched.insert(thingOfHref.value(href));
        byHref.remove(href);
    }
    for (const SyncResource& r : fetched) {
        touched.insert(thingUidOf(r.uid, r.parent));
        if (const auto old = thingOfHref.constFind(r.href); old != thingOfHref.cend())
            touched.insert(*old); // moved to another thing, or become one
        byHref.insert(r.href, r);
    }
    QHash<QString, std::vector<SyncResource>> byThing;
    for (const SyncResource& r : std::as_const(byHref)) {
        const QString thing = thingUidOf(r.uid, r.parent);
        if (touched.contains(thing))
            byThing[thing].push_back(r);
    }
    calsync::ServerView& view = out.view;
    view.complete = complete;
    for (const QString& uid : std::as_const(touched)) {
        std::vector<SyncResource> resources = byThing.value(uid);
        auto parent = std::find_if(resources.begin(), resources.end(),
                                   [&](const SyncResource& r) { return r.uid == uid; });
        // A step added over there to a thing that moved on from here: the thing is the copy it left,
        // with that step. Seen as steps without their thing, it would be deleted with the copy.
        if (const auto left = leftHere.constFind(uid); parent == resources.end() && left != leftHere.cend()) {
            for (const SyncResource& r : *left)
                if (std::none_of(resources.begin(), resources.end(),
                                 [&r](const SyncResource& have) { return have.uid == r.uid; }))
                    resources.push_back(r);
            parent = std::find_if(resources.begin(), resources.end(),
                                  [&](const SyncResource& r) { return r.uid == uid; });
        }
        if (parent == resources.end()) {
            // The thing's own resource went: the thing went, whatever of its steps is left (kept here,
            // so that a write of the thing goes over them rather than into them).
            if (const auto known = start.constFind(uid);
                known != start.cend() && known->collection == collection) {
                if (canGo(*known))
                    view.removed.push_back(known->href);
            } else if (!resources.empty()) {
                out.strays = true;
            }
            out.resources.insert(uid, std::move(resources));
            continue;
        }
        std::iter_swap(resources.begin(), parent);
        calsync::ServerEntry entry = serverEntryOf(resources, listName);
        if (!entry.theirs)
            ++out.unreadable;
        view.items.push_back(std::move(entry));
        out.resources.insert(uid, std::move(resources));
    }
    // A complete listing names everything there, and the plan needs to see what it didn't name as gone.
    if (complete) {
        view.complete = false;
        for (const LedgerItem& i : start)
            if (i.collection == collection && i.parent.isEmpty() && !touched.contains(i.uid) &&
                !byHref.contains(i.href) && canGo(i)) {
                view.removed.push_back(i.href);
                touched.insert(i.uid);
            }
    }
    return out;
}

std::optional<ical::CalendarThing> sentCopyOf(const std::vector<LedgerItem>& rows, const QString& listName)
{
    if (std::none_of(rows.begin(), rows.end(), [](const LedgerItem& r) { return !r.sent.isEmpty(); }))
        return std::nullopt;
    std::vector<QByteArray> texts;
    for (const LedgerItem& r : rows)
        texts.push_back(r.sent.isEmpty() ? r.base : r.sent);
    return assembleThing(texts, listName);
}

calsync::LocalEntry localEntryOf(const LocalSide& side, const QString& listName)
{
    calsync::LocalEntry e;
    e.uid = side.uid;
    e.modified = side.modified;
    e.changed = side.changed;
    std::vector<std::pair<QString, QString>> etags;
    std::vector<QByteArray> texts;
    for (const LedgerItem& r : side.rows) {
        etags.emplace_back(r.uid, r.etag);
        texts.push_back(r.base);
    }
    if (!side.rows.empty()) {
        e.href = side.rows.front().href;
        e.etag = compositeEtag(etags);
    }
    // Gone here, and over there only steps gone with the rest as agreed: no edit to outlive our delete.
    // Most likely it is a delete stopped halfway by another program that deletes steps first.
    const std::vector<SyncResource>& there = side.there;
    if (!side.ours && !there.empty() && there.size() < side.rows.size() &&
        std::all_of(there.begin(), there.end(), [&side](const SyncResource& r) {
            return std::any_of(side.rows.begin(), side.rows.end(), [&r](const LedgerItem& row) {
                return row.uid == r.uid && row.etag == r.etag;
            });
        })) {
        etags.clear();
        texts.clear();
        for (const SyncResource& r : there) {
            etags.emplace_back(r.uid, r.etag);
            texts.push_back(r.text);
        }
        e.etag = compositeEtag(etags);
    }
    e.ours = side.ours;
    const QString baseList = side.agreedList.value_or(listName);
    if (side.ours && side.rows.empty() && !side.before.empty()) {
        texts.clear();
        for (const LedgerItem& r : side.before)
            texts.push_back(r.base);
        e.base = assembleThing(texts, baseList);
        e.sent = sentCopyOf(side.before, baseList);
        return e;
    }
    e.sent = sentCopyOf(side.rows, listName);
    if (side.ours)
        // At rest since the last sync, ours is what was agreed, field for field.
        e.base =
            side.changed ? (side.rows.empty() ? std::nullopt : assembleThing(texts, baseList)) : side.ours;
    else
        e.base = assembleThing(texts, baseList);
    return e;
}

} // namespace vorn
