#include "calsync/SyncPlan.h"

#include "calsync/ThingMerge.h"

#include <QHash>
#include <QSet>

namespace vorn::calsync {

namespace {

using Kind = SyncActionKind;

// A thing both sides hold differently, as the merge decides it; `etag` is the server copy's.
void planMerge(std::vector<SyncAction>& out, const LocalEntry& l,
               const std::optional<ical::CalendarThing>& base, const ServerEntry& s)
{
    MergeResult r = merge(baseAfterSend(base, l.sent, s.theirs), l.ours, s.theirs, l.modified);
    switch (r.outcome) {
    case MergeOutcome::Delete:
        out.push_back({Kind::Delete, l.uid, s.href, s.etag, std::nullopt});
        break;
    case MergeOutcome::KeepTheirs:
        out.push_back({Kind::TakeTheirs, l.uid, s.href, s.etag, std::move(r.thing)});
        break;
    case MergeOutcome::KeepOurs:
        out.push_back({Kind::PutChanged, l.uid, s.href, s.etag, std::move(r.thing)});
        break;
    case MergeOutcome::Merged:
        out.push_back({Kind::MergeThenPut, l.uid, s.href, s.etag, std::move(r.thing)});
        break;
    }
}

// Gone over there: deleted, unless it was edited here since.
void planGone(std::vector<SyncAction>& out, const LocalEntry& l)
{
    const MergeResult r = merge(l.base, l.ours, std::nullopt, l.modified);
    if (r.outcome == MergeOutcome::KeepOurs)
        out.push_back({Kind::PutNew, l.uid, l.href, QString(), l.ours});
    else
        out.push_back({l.ours ? Kind::DropHere : Kind::Forget, l.uid, l.href, QString(), std::nullopt});
}

} // namespace

std::vector<SyncAction> planSync(const std::vector<LocalEntry>& local, const ServerView& server)
{
    QHash<QString, const ServerEntry*> byHref;
    for (const ServerEntry& s : server.items)
        byHref.insert(s.href, &s);
    const QSet<QString> removed(server.removed.begin(), server.removed.end());
    QSet<QString> knownHrefs;
    for (const LocalEntry& l : local)
        if (!l.href.isEmpty())
            knownHrefs.insert(l.href);
    // An item at an href we don't know may still be ours: sent before a sync that stopped halfway, or
    // moved by another program. Its UID finds it, so it isn't made twice.
    QHash<QString, const ServerEntry*> strangersByUid;
    for (const ServerEntry& s : server.items)
        if (!knownHrefs.contains(s.href) && s.theirs)
            strangersByUid.insert(s.theirs->uid, &s);

    std::vector<SyncAction> out;
    QSet<const ServerEntry*> matched;
    for (const LocalEntry& l : local) {
        const ServerEntry* s = l.href.isEmpty() ? nullptr : byHref.value(l.href);
        const bool gone = !l.href.isEmpty() && !s && (removed.contains(l.href) || server.complete);
        if (!s && (l.href.isEmpty() || gone)) {
            if (const ServerEntry* stranger = strangersByUid.value(l.uid);
                stranger && !matched.contains(stranger)) {
                matched.insert(stranger);
                // Sent but never agreed on here: both made it, as far as the merge can tell, unless it
                // was agreed on in another collection before it moved here (then that is the base).
                planMerge(out, l, l.base, *stranger);
                continue;
            }
        }
        if (s)
            matched.insert(s);
        if (l.href.isEmpty()) {
            if (l.ours)
                out.push_back({Kind::PutNew, l.uid, QString(), QString(), l.ours});
            else
                out.push_back({Kind::Forget, l.uid, QString(), QString(), std::nullopt});
        } else if (gone) {
            planGone(out, l);
        } else if (!s || s->etag == l.etag || !s->theirs) {
            if (!l.ours)
                out.push_back({Kind::Delete, l.uid, l.href, l.etag, std::nullopt});
            else if (l.changed)
                out.push_back({Kind::PutChanged, l.uid, l.href, l.etag, l.ours});
        } else if (l.changed || !l.ours) {
            planMerge(out, l, l.base, *s);
        } else {
            out.push_back({Kind::TakeTheirs, l.uid, s->href, s->etag, s->theirs});
        }
    }
    for (const ServerEntry& s : server.items)
        if (!matched.contains(&s) && s.theirs)
            out.push_back({Kind::TakeTheirs, s.theirs->uid, s.href, s.etag, s.theirs});
    return out;
}

} // namespace vorn::calsync
