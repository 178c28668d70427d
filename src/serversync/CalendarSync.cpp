#include "serversync/CalendarSync.h"

#include "calsync/ThingMerge.h"

#include "model/AppModel.h"
#include "model/Constants.h"
#include "model/ImportTarget.h"
#include "serversync/ResourceText.h"
#include "serversync/SyncCopy.h"
#include "store/UndoManager.h"

#include <QSet>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <type_traits>
#include <utility>

namespace vorn {

using caldav::DavError;
using caldav::DavErrorKind;
using caldav::DavItem;
using caldav::DavResult;
using calsync::SyncAction;
using calsync::SyncActionKind;

namespace {

constexpr int kMaxReplans = 3;
// The longest stretch of sync work on the main thread before a key press gets its turn; half of a frame,
// so that the press and its repaint fit in one.
constexpr qint64 kSliceNs = 4'000'000;

// The thing's own resource before its steps': its If-Match is what tells an edit over there.
void thingFirst(std::vector<SyncResource>& resources)
{
    std::stable_sort(resources.begin(), resources.end(), [](const SyncResource& a, const SyncResource& b) {
        return a.parent.isEmpty() && !b.parent.isEmpty();
    });
}
// Things new here written down as taking in one go, ahead of the actions that take them in: their commit
// saves the things taken before them too, and at more than a few dozen that is the longest turn of a sync.
constexpr size_t kTakingAhead = 25;

QString keyOf(const QUrl& url)
{
    return resourceKey(url);
}

bool writesToServer(SyncActionKind kind)
{
    return kind == SyncActionKind::PutNew || kind == SyncActionKind::PutChanged ||
           kind == SyncActionKind::MergeThenPut || kind == SyncActionKind::Delete;
}

} // namespace

// Our things of one collection as the plan will see them, gathered a slice at a time.
struct CalendarSync::Gathering {
    size_t index = 0;
    QString token;
    calsync::ServerView view;
    QSet<QString> touched; // things the server's news names: planned even when at rest here
    QString listName;
    std::vector<RecordId> things;
    size_t at = 0;
    std::vector<LocalSide> sides;
    QSet<QString> seen;
    bool ledgerNext = false; // the ledger's walk was put off to the next turn
};

template <class Work, class Then> void CalendarSync::offThread(Work work, Then then)
{
    using Result = std::invoke_result_t<Work&>;
    // The work and what it holds end on the worker; only the result comes back. A thread kept for the
    // next job, as one that ends first cleans up for some milliseconds.
    m_pool.start([this, work = std::move(work), then = std::move(then)]() mutable {
        auto result = std::make_shared<Result>(work());
        QMetaObject::invokeMethod(
            this,
            [this, result, then = std::move(then)]() mutable {
                m_slice.start();
                then(std::move(*result));
            },
            Qt::QueuedConnection);
    });
}

void CalendarSync::onward(Next next)
{
    if (m_slice.isValid() && m_slice.nsecsElapsed() < kSliceNs) {
        next();
        return;
    }
    nextTurn(std::move(next));
}

void CalendarSync::nextTurn(Next next)
{
    QTimer::singleShot(0, this, [this, next = std::move(next)] {
        m_slice.start();
        next();
    });
}

std::unique_ptr<CalendarSync> CalendarSync::make(AppModel& model, Init init, QString* error)
{
    const QString account = init.account.user + u'@' +
                            init.account.url.adjusted(QUrl::RemoveUserInfo).toString(QUrl::FullyEncoded);
    std::unique_ptr<SyncLedger> ledger = SyncLedger::open(init.ledgerPath, account, error);
    if (!ledger)
        return nullptr;
    return std::unique_ptr<CalendarSync>(new CalendarSync(model, std::move(init), std::move(ledger)));
}

CalendarSync::CalendarSync(AppModel& model, Init init, std::unique_ptr<SyncLedger> ledger)
    : m_model(model), m_init(std::move(init)), m_ledger(std::move(ledger)),
      m_client(std::make_unique<caldav::CalDavClient>(m_init.account))
{
    m_pool.setMaxThreadCount(1);
    // Which side changed a field last decides a conflict: ours is when the feed heard of it.
    connect(&m_model.store(), &Store::changes, this, [this](const StoreChanges& batch) {
        const QDateTime now = m_model.clock().now();
        for (const RecordChange& c : batch.records()) {
            const Thing* thing = nullptr;
            if (c.id.kind == EntityKind::Thing)
                thing = m_model.store().thing(c.id);
            else if (const Step* step = c.id.kind == EntityKind::Step ? m_model.store().step(c.id) : nullptr)
                thing = step->thing();
            if (thing)
                m_changedAt.insert(thing->syncID(), now);
        }
    });
}

CalendarSync::~CalendarSync()
{
    // The worker holds copies only; it is waited for so that no thread outlives the sync.
    m_pool.waitForDone();
}

void CalendarSync::noteTook(const Thing& thing)
{
    m_took.insert(thing.id());
    for (const Step* s : thing.steps())
        m_took.insert(s->id());
}

bool CalendarSync::tookOnly(const StoreChanges& batch)
{
    bool only = true;
    for (const RecordChange& c : batch.records())
        only = only && m_took.contains(c.id);
    m_took.clear();
    return only;
}

void CalendarSync::sync()
{
    if (m_running) {
        m_again = true;
        return;
    }
    m_running = true;
    m_outcome = {};
    m_done = m_total = m_unreadable = m_moved = m_toMove = 0;
    begin();
}

bool CalendarSync::failed(const DavError& error)
{
    if (!error)
        return false;
    finish(error);
    return true;
}

QUrl CalendarSync::urlOf(const QString& key) const
{
    QUrl url = m_init.account.url.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
    url.setPath(key, QUrl::DecodedMode);
    return url;
}

void CalendarSync::begin()
{
    using Start = std::pair<QHash<QString, LedgerItem>, QHash<QString, QStringList>>;
    // The ledger as the sync began, in a copy of its own: made here, or at the ledger's first change, it
    // would hold the main thread for some milliseconds at 10,000 things.
    offThread(
        [items = m_ledger->items()]() mutable {
            items.detach();
            QHash<QString, QStringList> steps;
            for (const LedgerItem& i : std::as_const(items))
                if (!i.parent.isEmpty())
                    steps[i.parent].push_back(i.uid);
            return Start(std::move(items), std::move(steps));
        },
        [this](Start start) {
            m_start = std::move(start.first);
            m_startSteps = std::move(start.second);
            m_thingIds.clear();
            for (const Thing* t : m_model.store().thingsBySortKey())
                m_thingIds.insert(t->syncID(), t->id());
            settleTaking();
            askHome();
        });
}

void CalendarSync::settleTaking()
{
    QStringList gone;
    for (auto it = m_start.begin(); it != m_start.end(); ++it) {
        if (!it->taking)
            continue;
        if (!m_thingIds.contains(it->parent.isEmpty() ? it.key() : it->parent)) {
            gone << it.key();
            continue;
        }
        // Here: agreed on as taken. At rest since, it is in step; else its copy is weighed against
        // what was taken (no fingerprint).
        it->taking = false;
        if (const Thing* thing = it->parent.isEmpty() ? thingWithUid(it.key()) : nullptr) {
            std::vector<QByteArray> texts;
            for (const LedgerItem& row : startRows(it.key(), it->collection))
                texts.push_back(row.base);
            const LedgerCollection* c = m_ledger->collection(it->collection);
            const Pile* pile = c && c->pile ? m_model.pile({EntityKind::Pile, c->pile}) : nullptr;
            const std::optional<ical::CalendarThing> taken =
                assembleThing(texts, pile ? pile->name() : QString());
            if (taken && calsync::sameFields(*taken, syncCopy(m_model, *thing)))
                it->fingerprint = fingerprint(m_model, *thing);
        }
        m_ledger->setItem(*it);
    }
    // Never got here: not ours to delete there. It comes again as news, from a full listing of its
    // collection (the token stays where it was when all went well, but that is not this sync's to know).
    QSet<QString> relist;
    for (const QString& uid : std::as_const(gone)) {
        const LedgerItem row = m_start.take(uid);
        if (!row.parent.isEmpty())
            m_startSteps[row.parent].removeAll(uid);
        m_ledger->removeItem(uid);
        relist.insert(row.collection);
    }
    for (const QString& href : std::as_const(relist))
        if (const LedgerCollection* c = m_ledger->collection(href)) {
            LedgerCollection again = *c;
            again.token.clear();
            again.ctag.clear();
            m_ledger->setCollection(again);
        }
}

bool CalendarSync::markTaking(const Target& target, const std::vector<SyncAction>& actions, size_t from,
                              size_t to)
{
    bool any = false;
    for (size_t i = from; i < std::min(to, actions.size()); ++i) {
        const SyncAction& a = actions[i];
        // New here, or back: deleted here and edited over there, its rows still those agreed before the
        // delete. Either way the store may keep it before the ledger says it was taken.
        const LedgerItem* known = m_ledger->item(a.uid);
        if (a.kind != SyncActionKind::TakeTheirs || thingWithUid(a.uid) ||
            (known && (known->collection != target.key || known->taking)))
            continue;
        for (const Resource& r : knownResources(target, a.uid)) {
            if (const LedgerItem* had = m_ledger->item(r.uid);
                had && (had->collection != target.key || had->taking))
                continue;
            LedgerItem row;
            row.uid = r.uid;
            row.parent = r.uid == a.uid ? QString() : a.uid;
            row.collection = target.key;
            row.href = r.href;
            row.etag = r.etag;
            row.base = r.text;
            row.taking = true;
            m_ledger->setItem(row);
            any = true;
        }
    }
    return any;
}

void CalendarSync::askHome()
{
    ++m_outcome.requests;
    if (m_ledger->home().isEmpty()) {
        m_client->discover([this](DavResult<caldav::DavDiscovery> r) {
            if (failed(r.error))
                return;
            m_ledger->setHome(r.value.home.toString(QUrl::FullyEncoded));
            mapCollections(r.value.collections);
        });
        return;
    }
    m_client->listCollections(QUrl(m_ledger->home()),
                              [this](DavResult<std::vector<caldav::DavCollection>> r) {
                                  if (r.error.kind == DavErrorKind::NotFound) {
                                      // The home moved: find it again.
                                      m_ledger->setHome(QString());
                                      askHome();
                                      return;
                                  }
                                  if (failed(r.error))
                                      return;
                                  mapCollections(r.value);
                              });
}

void CalendarSync::mapCollections(const std::vector<caldav::DavCollection>& collections)
{
    m_targets.clear();
    QSet<QString> used;
    const QUrl home(m_ledger->home());
    auto byKey = [&](const QString& key) -> const caldav::DavCollection* {
        for (const caldav::DavCollection& c : collections)
            if (keyOf(c.href) == key)
                return &c;
        return nullptr;
    };
    auto byName = [&](const QString& name) -> const caldav::DavCollection* {
        for (const caldav::DavCollection& c : collections)
            if (!used.contains(keyOf(c.href)) && c.displayName.compare(name, Qt::CaseInsensitive) == 0)
                return &c;
        return nullptr;
    };
    auto steps = std::make_shared<std::deque<std::function<void(Next)>>>();
    auto adopt = [&](const caldav::DavCollection& c, qint64 pile) {
        used.insert(keyOf(c.href));
        m_targets.push_back({c.href, keyOf(c.href), pile, c.displayName, c.syncToken, c.ctag});
    };
    auto create = [&](const QString& name, qint64 pile, const QString& slug) {
        QUrl href = caldav::childUrl(home, slug);
        href.setPath(href.path(QUrl::FullyEncoded) + u'/', QUrl::StrictMode);
        used.insert(keyOf(href));
        steps->push_back([this, href, name, pile](Next next) {
            ++m_outcome.requests;
            m_client->mkcalendar(href, name, [this, href, name, pile, next](DavResult<caldav::DavDone> r) {
                if (failed(r.error))
                    return;
                m_targets.push_back({href, keyOf(href), pile, name, QString(), QString(), true});
                next();
            });
        });
    };
    // Each list of ours: the collection it went to before, else one of its name, else a new one.
    auto place = [&](const QString& name, qint64 pile, const QString& slug) {
        const LedgerCollection* known = m_ledger->collectionOfPile(pile);
        if (const caldav::DavCollection* c = known ? byKey(known->href) : nullptr) {
            Pile* ours = pile ? m_model.pile({EntityKind::Pile, pile}) : nullptr;
            if (ours && c->displayName != ours->name()) {
                if (c->displayName != known->displayName && ours->name() == known->displayName) {
                    // Renamed over there only: the list follows.
                    UndoRegistrationPause pause(m_model.store().undoManager());
                    m_model.renamePile(*ours, c->displayName);
                    m_took.insert(ours->id());
                } else {
                    const QUrl href = c->href;
                    const QString newName = ours->name();
                    steps->push_back([this, href, newName](Next next) {
                        ++m_outcome.requests;
                        m_client->rename(href, newName,
                                         [this, href, newName, next](DavResult<caldav::DavDone> r) {
                                             if (failed(r.error))
                                                 return;
                                             for (Target& t : m_targets)
                                                 if (t.href == href)
                                                     t.displayName = newName;
                                             next();
                                         });
                    });
                }
            }
            adopt(*c, pile);
            return;
        }
        if (const caldav::DavCollection* c = byName(name)) {
            adopt(*c, pile);
            return;
        }
        create(name, pile, slug);
    };
    place(m_init.collectionName, 0, QStringLiteral("vorn-todo"));
    for (Pile* pile : m_model.piles())
        place(pile->name(), pile->id().number, QUuid::createUuid().toString(QUuid::WithoutBraces));
    // Collections made elsewhere become lists while there is room, and are left alone beyond it.
    for (const caldav::DavCollection& c : collections) {
        if (used.contains(keyOf(c.href)))
            continue;
        Pile* pile = nullptr;
        {
            UndoRegistrationPause pause(m_model.store().undoManager());
            const QString name = c.displayName.isEmpty() ? keyOf(c.href).section(u'/', -1) : c.displayName;
            pile =
                pileNamed(m_model, name) ? nullptr : makeImportedPile(m_model, name, m_model.clock().now());
        }
        if (pile) {
            m_took.insert(pile->id());
            adopt(c, pile->id().number);
        } else
            m_outcome.leftAlone << (c.displayName.isEmpty() ? keyOf(c.href) : c.displayName);
    }
    runSteps(steps, [this] {
        // The ledger knows the collections we use now, and forgets those we don't.
        QSet<QString> keys;
        for (const Target& t : m_targets)
            keys.insert(t.key);
        for (const LedgerCollection& c : std::vector<LedgerCollection>(m_ledger->collections()))
            if (!keys.contains(c.href))
                m_ledger->removeCollection(c.href);
        syncTarget(0);
    });
}

void CalendarSync::runSteps(std::shared_ptr<std::deque<std::function<void(Next)>>> steps, Next then)
{
    if (steps->empty()) {
        then();
        return;
    }
    auto step = std::move(steps->front());
    steps->pop_front();
    step([this, steps, then] { runSteps(steps, then); });
}

void CalendarSync::syncTarget(size_t index)
{
    if (index >= m_targets.size()) {
        putBack(0);
        return;
    }
    // What the server holds is read and kept per collection: the last one's copy of a thing that moved
    // here is no guide to this one (a delete here would go to that copy).
    m_server.clear();
    const Target& t = m_targets[index];
    const LedgerCollection* known = m_ledger->collection(t.key);
    const QString knownToken = known ? known->token : QString();
    auto everything = [this, index] {
        ++m_outcome.requests;
        m_client->listAll(m_targets[index].href, false, [this, index](DavResult<std::vector<DavItem>> r) {
            if (failed(r.error))
                return;
            fetchChanges(index, std::move(r.value), {}, true, m_targets[index].token);
        });
    };
    // A collection just made may keep sync tokens: the first sync of it says.
    if (!t.token.isEmpty() || t.fresh) {
        if (known && t.token == known->token && !t.fresh) {
            settlePending(t, {});
            finishLeaves(index, [this, index] { planTarget(index, {}, {}, m_targets[index].token); });
            return;
        }
        // Synced before, its token forgotten since: what we hold of it meets everything there.
        if (known && knownToken.isEmpty()) {
            everything();
            return;
        }
        ++m_outcome.requests;
        m_client->syncCollection(t.href, knownToken,
                                 [this, index, everything,
                                  withToken = !knownToken.isEmpty()](DavResult<caldav::DavSyncChanges> r) {
                                     const bool fresh = m_targets[index].fresh;
                                     // Xandikos answers a token it doesn't know (its collection made
                                     // again, its history rewritten) with a 500, not 403/409: asked
                                     // from that token every time, the sync would never get past it.
                                     if (r.error.kind == DavErrorKind::TokenExpired ||
                                         (withToken && r.error.kind == DavErrorKind::ServerError) ||
                                         (fresh && r.error.kind != DavErrorKind::Network &&
                                          r.error.kind != DavErrorKind::Timeout && r.error)) {
                                         // Everything there against everything we agreed on: no duplicates.
                                         everything();
                                         return;
                                     }
                                     if (failed(r.error))
                                         return;
                                     fetchChanges(index, std::move(r.value.changed),
                                                  std::move(r.value.removed), false, r.value.token);
                                 });
        return;
    }
    if (known && !t.ctag.isEmpty() && t.ctag == known->ctag) {
        settlePending(t, {});
        finishLeaves(index, [this, index] { planTarget(index, {}, {}, QString()); });
        return;
    }
    everything();
}

void CalendarSync::fetchChanges(size_t index, std::vector<DavItem> changed, std::vector<QUrl> removed,
                                bool complete, const QString& token)
{
    struct Listing {
        std::vector<DavItem> changed;
        std::vector<QUrl> wanted; // those whose ETag we don't know
        QStringList gone;
    };
    // A first listing names every item there: compared off the main thread.
    offThread(
        [start = m_start, key = m_targets[index].key, changed = std::move(changed),
         removed = std::move(removed), home = m_targets[index].href]() mutable {
            Listing out;
            QHash<QString, QString> etags;        // what we agreed on, by path
            QHash<QString, QString> leaving;      // copies of ours moved on from here, still to be deleted
            QHash<QString, QString> leavingThing; // their thing's UID, by path
            for (const LedgerItem& i : start) {
                if (i.collection == key)
                    etags.insert(i.href, i.etag);
                if (!i.leavingHref.isEmpty()) {
                    leaving.insert(i.leavingHref, i.leavingEtag);
                    leavingThing.insert(i.leavingHref, thingUidOf(i.uid, i.parent));
                }
            }
            // Such a copy changed here since is another side's edit, merged with what we hold: all of
            // it is read, also the steps that didn't change, which no row here names any more (missing,
            // they would count as deleted over here).
            QSet<QString> changedThings;
            for (const DavItem& item : changed)
                if (const auto t = leavingThing.constFind(keyOf(item.href));
                    t != leavingThing.cend() && leaving.value(keyOf(item.href)) != item.etag)
                    changedThings.insert(*t);
            QSet<QString> wanted;
            for (auto it = leavingThing.cbegin(); it != leavingThing.cend(); ++it)
                if (changedThings.contains(it.value()) && it.key().startsWith(key + u'/')) {
                    QUrl url = home;
                    url.setPath(it.key(), QUrl::DecodedMode);
                    out.wanted.push_back(url);
                    wanted.insert(it.key());
                }
            // As we left it, a copy that moved on is no thing of this collection's: met as one, it would
            // be a move back.
            std::erase_if(changed, [&](const DavItem& item) {
                return !item.etag.isEmpty() && leaving.value(keyOf(item.href)) == item.etag &&
                       !changedThings.contains(leavingThing.value(keyOf(item.href)));
            });
            for (const DavItem& item : changed)
                if ((item.etag.isEmpty() || etags.value(keyOf(item.href)) != item.etag) &&
                    !wanted.contains(keyOf(item.href)))
                    out.wanted.push_back(item.href);
            for (const QUrl& url : removed)
                out.gone << keyOf(url);
            out.changed = std::move(changed);
            return out;
        },
        [this, index, complete, token](Listing listing) {
            forgetGoneLeaves(index, listing.gone, complete ? &listing.changed : nullptr);
            m_toMove += int(listing.wanted.size());
            if (!listing.wanted.empty())
                reportProgress();
            fetchResources(
                index, std::move(listing.wanted),
                [this, index, changed = std::move(listing.changed), gone = listing.gone, complete,
                 token](std::vector<Resource> fetched) {
                    settlePending(m_targets[index], fetched);
                    finishLeaves(index, [this, index, fetched = std::move(fetched), changed, gone, complete,
                                         token]() mutable {
                        // Reading the server's copies (libical) is the long part: done off the main
                        // thread too.
                        offThread(
                            [start = m_start, key = m_targets[index].key, list = listNameOf(m_targets[index]),
                             fetched = std::move(fetched), changed, gone, complete] {
                                return serverSideOf(start, key, list, fetched, changed, gone, complete);
                            },
                            [this, index, token](ServerSide side) {
                                m_server = std::move(side.resources);
                                m_unreadable += side.unreadable;
                                // Listed once more next time, until their thing comes.
                                const LedgerCollection* known = m_ledger->collection(m_targets[index].key);
                                const QString next = !side.strays ? token : known ? known->token : QString();
                                if (side.strays)
                                    m_targets[index].ctag.clear();
                                planTarget(index, std::move(side.view), std::move(side.touched), next);
                            });
                    });
                },
                true);
        });
}

void CalendarSync::forgetGoneLeaves(size_t index, const QStringList& gone, const std::vector<DavItem>* all)
{
    if (gone.isEmpty() && !all)
        return; // most listings: nothing went, so no walk over the ledger
    const QString prefix = m_targets[index].key + u'/';
    const QSet<QString> went(gone.begin(), gone.end());
    QSet<QString> listed;
    if (all)
        for (const DavItem& item : *all)
            listed.insert(keyOf(item.href));
    // Copies ours left here that the server no longer holds: no DELETE to send for them.
    std::vector<LedgerItem> done;
    for (const LedgerItem& i : m_ledger->items())
        if (i.leavingHref.startsWith(prefix) &&
            (went.contains(i.leavingHref) || (all && !listed.contains(i.leavingHref))))
            done.push_back(i);
    for (LedgerItem& i : done) {
        i.leavingHref.clear();
        i.leavingEtag.clear();
        m_ledger->setItem(i);
    }
}

void CalendarSync::fetchResources(size_t index, std::vector<QUrl> hrefs,
                                  std::function<void(std::vector<Resource>)> then, bool counted)
{
    auto result = std::make_shared<std::vector<Resource>>();
    auto rest = std::make_shared<std::vector<QUrl>>(std::move(hrefs));
    auto step = std::make_shared<std::function<void()>>();
    *step = [this, index, result, rest, step, then, counted] {
        if (rest->empty()) {
            then(std::move(*result));
            const auto keep = std::exchange(*step, nullptr); // alive until this call ends
            return;
        }
        const size_t n = std::min<size_t>(rest->size(), size_t(std::max(1, m_init.fetchBatch)));
        std::vector<QUrl> batch(rest->begin(), rest->begin() + qsizetype(n));
        rest->erase(rest->begin(), rest->begin() + qsizetype(n));
        ++m_outcome.requests;
        m_client->multiget(
            m_targets[index].href, batch,
            [this, result, step, counted, n](DavResult<std::vector<DavItem>> r) {
                if (failed(r.error)) {
                    const auto keep = std::exchange(*step, nullptr); // alive until this call ends
                    return;
                }
                if (counted) {
                    m_moved += int(n);
                    reportProgress();
                }
                for (DavItem& item : r.value) {
                    const CalendarResource id = resourceIdentity(item.data);
                    if (id.uid.isEmpty()) {
                        ++m_unreadable;
                        continue;
                    }
                    result->push_back({id.uid, id.parent, keyOf(item.href), item.etag, std::move(item.data)});
                }
                (*step)();
            });
    };
    (*step)();
}

void CalendarSync::settlePending(const Target& target, const std::vector<Resource>& fetched)
{
    QHash<QString, const Resource*> byHref;
    for (const Resource& r : fetched)
        byHref.insert(r.href, &r);
    QStringList neverSent;
    QSet<QString> forgotten; // by the ledger too
    for (auto it = m_start.begin(); it != m_start.end(); ++it) {
        if (it->collection != target.key || it->sent.isEmpty())
            continue;
        const LedgerItem* live = m_ledger->item(it.key());
        const bool untouched = live && live->sent == it->sent; // no write of this sync's since
        // Holding what we sent, the server's copy is the one both sides agreed on. Else the PUT never got
        // there (or that copy changed since, and is met as another side's): what was agreed before stays.
        const Resource* there = byHref.value(it->href);
        const bool ours = there && there->uid == it->uid;
        const bool held = ours && sameLines(there->text, it->sent);
        if (!ours && it->etag.isEmpty() && it->base.isEmpty()) {
            // Sent for the first time, and not there: never sent. (One moved here keeps the copy agreed
            // on where it was, as the base of what comes.)
            if (untouched) {
                m_ledger->removeItem(it.key());
                forgotten.insert(it.key());
            }
            neverSent << it.key();
            continue;
        }
        LedgerItem row = *it;
        row.sent.clear();
        // Sent for the first time and written over since (the other home took it in and wrote its own
        // copy): it got there, and what we sent is what that home's edit is weighed against.
        if (ours && !held && row.base.isEmpty())
            row.base = it->sent;
        if (held) {
            // Moved here, and its copy where it was not deleted yet: what was agreed there stays the base
            // that copy is weighed against (a step added since is in no base). Else an edit of ours the
            // sent copy carries looks agreed on, and the other side's value of that field, met there, wins.
            const auto thing = m_start.constFind(it->parent.isEmpty() ? it.key() : it->parent);
            if (thing == m_start.cend() || thing->leavingHref.isEmpty()) {
                if (it->parent.isEmpty())
                    keepMovedFrom(*it, target.key, row, [this](const QString& u) {
                        const auto i = m_start.constFind(u);
                        return i == m_start.cend() ? nullptr : &*i;
                    });
                row.base = it->sent;
                row.baseCollection.clear();
            }
            row.etag = there->etag;
            it->etag = there->etag;
        }
        if (untouched)
            m_ledger->setItem(row);
        // This sync's merges keep the base from before and what was sent, field by field
        // (baseAfterSend): a field the server holds as we sent it is ours. So is a copy of the thing met
        // in another collection, moved there by the other home before it saw our PUT: weighed against our
        // own copy as if that home had agreed to it, our edits would count as its deletes.
    }
    for (const QString& uid : std::as_const(neverSent)) {
        // A thing whose steps got there before the sync stopped keeps its row (no ETag: it is not
        // there), so that a delete here still finds them: forgotten, they stayed there for good.
        const auto row = m_start.find(uid);
        const QStringList steps = m_startSteps.value(uid);
        if (row->parent.isEmpty() && std::any_of(steps.begin(), steps.end(), [&](const QString& s) {
                const auto step = m_start.constFind(s);
                return step != m_start.cend() && step->collection == target.key && !step->etag.isEmpty();
            })) {
            row->sent.clear();
            if (forgotten.contains(uid))
                m_ledger->setItem(*row);
            continue;
        }
        m_start.remove(uid);
    }
}

std::vector<LedgerItem> CalendarSync::startRows(const QString& uid, const QString& collection) const
{
    std::vector<LedgerItem> rows;
    if (const auto it = m_start.constFind(uid); it != m_start.cend() && it->collection == collection)
        rows.push_back(*it);
    else
        return rows;
    for (const QString& step : m_startSteps.value(uid))
        if (const auto it = m_start.constFind(step); it != m_start.cend() && it->collection == collection)
            rows.push_back(*it);
    return rows;
}

std::vector<CalendarSync::Resource> CalendarSync::knownResources(const Target& target,
                                                                 const QString& uid) const
{
    if (const auto it = m_server.constFind(uid); it != m_server.cend())
        return *it;
    std::vector<Resource> out;
    for (const LedgerItem& i : startRows(uid, target.key))
        out.push_back({i.uid, i.parent, i.href, i.etag, i.base});
    return out;
}

QDateTime CalendarSync::changedHere(const QString& uid) const
{
    // The store's stamp holds for edits this process never heard of; ours, for things deleted since.
    if (const Thing* thing = thingWithUid(uid); thing && thing->changedAt().isValid())
        return thing->changedAt();
    return m_changedAt.value(uid);
}

Thing* CalendarSync::thingWithUid(const QString& uid) const
{
    const auto it = m_thingIds.constFind(uid);
    return it == m_thingIds.cend() ? nullptr : m_model.store().thing(*it);
}

Thing* CalendarSync::movedAway(const Target& target, const QString& uid) const
{
    Thing* thing = thingWithUid(uid);
    return thing && targetOf(*thing) != &target ? thing : nullptr;
}

const CalendarSync::Target* CalendarSync::targetOf(const Thing& thing) const
{
    const qint64 pile = thing.pile() ? thing.pile()->id().number : 0;
    for (const Target& t : m_targets)
        if (t.pile == pile)
            return &t;
    return m_targets.empty() ? nullptr : &m_targets.front();
}

Pile* CalendarSync::pileOfTarget(const Target& target) const
{
    return target.pile ? m_model.pile({EntityKind::Pile, target.pile}) : nullptr;
}

std::optional<ical::CalendarThing> CalendarSync::agreedElsewhere(const QString& uid, const Target& target,
                                                                 std::optional<ical::CalendarThing>* sent,
                                                                 bool beforeOurMove) const
{
    // The ledger keeps one row per thing: the collection it names is the one it was last agreed in.
    const auto known = m_start.constFind(uid);
    if (known == m_start.cend() || known->collection == target.key)
        return std::nullopt;
    // Moved there by us, and moved on over there from where it was before: that side never saw our copy.
    if (beforeOurMove && !known->movedFrom.isEmpty()) {
        std::vector<QByteArray> texts;
        for (const QByteArray& t : known->movedFrom.split('\0'))
            if (!t.isEmpty())
                texts.push_back(t);
        if (sent)
            sent->reset();
        return assembleThing(texts, listNameOfKey(known->movedFromCollection));
    }
    for (const Target& other : m_targets) {
        if (other.key != known->collection)
            continue;
        const std::vector<LedgerItem> rows = startRows(uid, other.key);
        std::vector<QByteArray> texts;
        for (const LedgerItem& row : rows)
            texts.push_back(row.base);
        if (sent)
            *sent = sentCopyOf(rows, listNameOf(other));
        return assembleThing(texts, known->baseCollection.isEmpty() ? listNameOf(other)
                                                                    : listNameOfKey(known->baseCollection));
    }
    return std::nullopt;
}

QString CalendarSync::listNameOf(const Target& target) const
{
    const Pile* pile = pileOfTarget(target);
    return pile ? pile->name() : QString();
}

void CalendarSync::agreedBefore(const Target& target, LocalSide& side) const
{
    if (!side.rows.empty()) {
        if (!side.rows.front().baseCollection.isEmpty())
            side.agreedList = listNameOfKey(side.rows.front().baseCollection);
        return;
    }
    const auto known = m_start.constFind(side.uid);
    if (known == m_start.cend() || known->collection == target.key)
        return;
    side.before = startRows(side.uid, known->collection);
    side.agreedList =
        listNameOfKey(known->baseCollection.isEmpty() ? known->collection : known->baseCollection);
}

QString CalendarSync::listNameOfKey(const QString& key) const
{
    for (const Target& t : m_targets)
        if (t.key == key)
            return listNameOf(t);
    return QString();
}

calsync::LocalEntry CalendarSync::localEntry(const Target& target, const QString& uid, const Thing* thing)
{
    LocalSide side{uid, std::nullopt, true, changedHere(uid), startRows(uid, target.key), {}, {}, {}};
    if (thing) {
        agreedBefore(target, side);
        side.ours = syncCopy(m_model, *thing);
        const QByteArray print = fingerprint(m_model, *thing);
        m_fingerprints.insert(uid, print);
        side.changed = side.rows.empty() || side.rows.front().fingerprint != print;
    } else {
        agreedBefore(target, side);
        side.there = m_server.value(uid);
    }
    return localEntryOf(side, listNameOf(target));
}

void CalendarSync::planTarget(size_t index, calsync::ServerView view, QSet<QString> touched,
                              const QString& token)
{
    auto g = std::make_shared<Gathering>();
    g->index = index;
    g->token = token;
    g->view = std::move(view);
    g->touched = std::move(touched);
    g->listName = listNameOf(m_targets[index]);
    const std::vector<Thing*>& things = m_model.store().thingsBySortKey();
    g->things.reserve(things.size());
    for (const Thing* t : things)
        g->things.push_back(t->id());
    gatherLocal(std::move(g));
}

void CalendarSync::gatherLocal(std::shared_ptr<Gathering> g)
{
    const Target& t = m_targets[g->index];
    // Records, not pointers: a thing deleted between two slices is simply not there any more.
    for (; g->at < g->things.size(); ++g->at) {
        if (m_slice.nsecsElapsed() >= kSliceNs) {
            onward([this, g] { gatherLocal(g); });
            return;
        }
        const Thing* thing = m_model.store().thing(g->things[g->at]);
        if (!thing || targetOf(*thing) != &t)
            continue;
        const QString& uid = thing->syncID();
        g->seen.insert(uid);
        std::vector<LedgerItem> rows = startRows(uid, t.key);
        const QByteArray print = fingerprint(m_model, *thing);
        const bool changed = rows.empty() || rows.front().fingerprint != print;
        // At rest here and not named by the server: in step, so the plan would do nothing with it.
        if (!changed && !g->touched.contains(uid))
            continue;
        m_fingerprints.insert(uid, print);
        g->sides.push_back(
            {uid, syncCopy(m_model, *thing), changed, changedHere(uid), std::move(rows), {}, {}, {}});
        // Moved here from another list: the copy agreed on there is what both sides' edits are weighed
        // against, should this collection hold a copy already (the other side made the same move).
        agreedBefore(t, g->sides.back());
    }
    // Deleted here, or moved to another list, since the last sync: a walk over the ledger, in a turn of
    // its own when this one is spent.
    if (!g->ledgerNext && m_slice.nsecsElapsed() >= kSliceNs / 2) {
        g->ledgerNext = true;
        nextTurn([this, g] { gatherLocal(g); });
        return;
    }
    for (const LedgerItem& i : std::as_const(m_start))
        if (i.collection == t.key && i.parent.isEmpty() && !g->seen.contains(i.uid)) {
            g->sides.push_back({i.uid,
                                std::nullopt,
                                true,
                                changedHere(i.uid),
                                startRows(i.uid, t.key),
                                m_server.value(i.uid),
                                {},
                                {}});
            agreedBefore(t, g->sides.back());
        }
    const size_t index = g->index;
    const QString token = g->token;
    if (g->sides.empty() && g->view.items.empty() && g->view.removed.empty()) {
        // All in step, as after most syncs: no plan to make.
        runActions(index, std::make_shared<std::vector<SyncAction>>(), 0, token);
        return;
    }
    // Reading the agreed copies and the merges, for thousands of things on a first sync, is pure work.
    offThread(
        [g] {
            std::vector<calsync::LocalEntry> local;
            local.reserve(g->sides.size());
            for (const LocalSide& side : g->sides)
                local.push_back(localEntryOf(side, g->listName));
            return calsync::planSync(local, g->view);
        },
        [this, index, token](std::vector<SyncAction> planned) {
            auto actions = std::make_shared<std::vector<SyncAction>>(std::move(planned));
            m_total += int(actions->size());
            // What the model takes or drops costs nothing to speak of: only writes to the server count.
            const int writes = int(std::count_if(actions->begin(), actions->end(),
                                                 [](const SyncAction& a) { return writesToServer(a.kind); }));
            m_toMove += writes;
            // Said before the first write comes back, so a long one shows from its start.
            if (writes > 0)
                reportProgress();
            runActions(index, actions, 0, token);
        });
}

void CalendarSync::reportProgress()
{
    Q_EMIT progress(m_moved, m_toMove);
}

void CalendarSync::runActions(size_t index, std::shared_ptr<std::vector<SyncAction>> actions, size_t at,
                              const QString& token)
{
    if (at >= actions->size()) {
        finishTarget(index, token);
        return;
    }
    // The things new here among the next few are written down as taking before the model holds them, in
    // a turn of its own.
    if (at % kTakingAhead == 0 && markTaking(m_targets[index], *actions, at, at + kTakingAhead)) {
        nextTurn([this, index, actions, at, token] {
            if (commit())
                runActions(index, actions, at, token);
        });
        return;
    }
    act(index, (*actions)[at], 0, [this, index, actions, at, token](const DavError& error) {
        if (failed(error))
            return;
        ++m_done;
        if (writesToServer((*actions)[at].kind)) {
            ++m_moved;
            reportProgress();
        }
        // Now and then the model and the ledger catch up, so a kill costs little work: in a turn of its
        // own, as writing to disk may take a few milliseconds.
        if (m_done % 100 == 0) {
            nextTurn([this, index, actions, at, token] {
                if (commit())
                    runActions(index, actions, at + 1, token);
            });
            return;
        }
        onward([this, index, actions, at, token] { runActions(index, actions, at + 1, token); });
    });
}

void CalendarSync::act(size_t index, const SyncAction& action, int depth, Done done)
{
    const Target& t = m_targets[index];
    // A write that meets a change or a delete over there fetches the thing and plans it once more.
    auto replanOn412 = [this, index, uid = action.uid, depth, done](const DavError& e) {
        if (e.kind == DavErrorKind::PreconditionFailed || e.kind == DavErrorKind::NotFound)
            refetchAndReplan(index, uid, {}, depth, done);
        else
            done(e);
    };
    // The model takes the copy; what it then holds is what the ledger will say was agreed.
    auto take = [this, &t, &action] {
        m_metTheirs.insert(action.uid);
        Thing* thing = takeCopy(m_model, thingWithUid(action.uid), *action.thing, pileOfTarget(t));
        m_thingIds.insert(thing->syncID(), thing->id());
        noteTook(*thing);
        m_fingerprints.insert(action.uid, fingerprint(m_model, *thing));
        ++m_outcome.taken;
    };
    if (action.kind == SyncActionKind::PutNew && !action.href.isEmpty() && !m_puttingBack) {
        // What went there is no longer taken for there: this collection's token moves on before the sync's
        // end, so a sync stopped before that end still puts it back (and not just what changed of it).
        QSet<QString> there;
        for (const Resource& r : m_server.value(action.uid))
            there.insert(r.uid);
        for (const QString& u : QStringList{action.uid} + m_ledger->stepsOf(action.uid))
            if (const LedgerItem* i = m_ledger->item(u);
                i && i->collection == t.key && !i->etag.isEmpty() && !there.contains(u)) {
                LedgerItem row = *i;
                row.etag.clear();
                m_ledger->setItem(row);
            }
        m_putBack.push_back({index, action.uid, action.href, m_server.value(action.uid)});
        done({});
        return;
    }
    switch (action.kind) {
    case SyncActionKind::PutNew:
    case SyncActionKind::PutChanged:
    case SyncActionKind::MergeThenPut: {
        if (action.kind == SyncActionKind::MergeThenPut)
            take();
        // Moved here from another list: its copy there goes only once this one is written, and the
        // rows say so meanwhile. Deleted first, a kill between the two left the thing on no collection,
        // and the other home put back or dropped what it had. A copy there that is not the one we sent
        // waits for that collection's turn to merge it; it comes here on the next sync.
        auto put = [this, index, uid = action.uid, copy = *action.thing, replanOn412,
                    done](const DavError& e, std::shared_ptr<std::vector<Resource>> left) {
            if (e.kind == DavErrorKind::PreconditionFailed) {
                done({});
                return;
            }
            if (e) {
                done(e);
                return;
            }
            putThing(
                index, uid, copy,
                [this, index, uid, left, replanOn412, done](const DavError& sent) {
                    if (sent) {
                        replanOn412(sent);
                        return;
                    }
                    leave(index, uid, left, done);
                },
                *left);
        };
        leftElsewhere(t, action.uid, put);
        return;
    }
    case SyncActionKind::TakeTheirs:
        if (movedAway(t, action.uid)) {
            ourMoveUnseen(index, action.uid, [this, index, action, depth, done, replanOn412](bool unseen) {
                if (Thing* moved = movedAway(m_targets[index], action.uid))
                    joinOrLeave(index, *moved, action, replanOn412, unseen);
                else // deleted or moved here meanwhile
                    act(index, action, depth, done);
            });
            return;
        }
        // Another list's thing, moved here over there, joins this list.
        take();
        agreed(t, action.uid, knownResources(t, action.uid));
        done({});
        return;
    case SyncActionKind::Delete:
        // Moved to another list here: deleted where it goes, once written there.
        if (movedAway(t, action.uid) && leaveLater(t, action.uid)) {
            done({});
            return;
        }
        deleteThing(index, action.uid, replanOn412, true, depth);
        return;
    case SyncActionKind::DropHere:
        // Gone over there while at rest here; unless it moved to a list of another collection meanwhile.
        if (Thing* thing = thingWithUid(action.uid); thing && targetOf(*thing) == &t) {
            UndoRegistrationPause pause(m_model.store().undoManager());
            noteTook(*thing);
            m_model.store().remove(thing);
            m_model.pruneSelection();
            ++m_outcome.deleted;
        }
        [[fallthrough]];
    case SyncActionKind::Forget:
        if (!m_server.value(action.uid).empty()) {
            // Steps added over there to a thing that moved on here, its copy there deleted since (by a
            // DELETE whose If-Match covers the thing's resource alone): ours takes them in, kept on disk
            // before they go, and they follow it where it went.
            if (Thing* moved = movedAway(t, action.uid); moved && adoptSteps(t, *moved) && !commit())
                return;
            // Its steps, left there without it; one changed meanwhile stays for the next sync to see.
            deleteThing(
                index, action.uid,
                [done](const DavError& e) {
                    done(e.kind == DavErrorKind::PreconditionFailed ? DavError{} : e);
                },
                false);
            return;
        }
        // Deleted here before its move from another list got there: the copy it left there goes, with
        // the ETag it was left with. Forgotten, it stayed there for good, and an edit of it over there
        // came back without the steps that edit didn't touch.
        if (const std::optional<size_t> from =
                thingWithUid(action.uid) ? std::nullopt : rowsBackWhereLeft(t, action.uid)) {
            deleteLeftCopy(*from, action.uid, depth, done);
            return;
        }
        // Gone over there while it moved to another list here: what was agreed goes on with it, as the
        // base of the copy it meets on its way (the other home's move of it, in a third list), also after
        // this sync stops before it gets there.
        forgetOrMoveRows(t, action.uid);
        done({});
        return;
    }
}

void CalendarSync::ourMoveUnseen(size_t index, const QString& uid, std::function<void(bool)> then)
{
    const Target& t = m_targets[index];
    const auto known = m_start.constFind(uid);
    if (known == m_start.cend() || known->movedFrom.isEmpty() || known->etag.isEmpty() ||
        known->collection == t.key || !startRows(uid, t.key).empty()) {
        then(false);
        return;
    }
    const auto there = std::find_if(m_targets.begin(), m_targets.end(),
                                    [&](const Target& other) { return other.key == known->collection; });
    if (there == m_targets.end()) {
        then(false);
        return;
    }
    fetchResources(size_t(there - m_targets.begin()), {urlOf(known->href)},
                   [then, href = known->href, etag = known->etag](const std::vector<Resource>& found) {
                       then(std::any_of(found.begin(), found.end(),
                                        [&](const Resource& r) { return r.href == href && r.etag == etag; }));
                   });
}

void CalendarSync::joinOrLeave(size_t index, Thing& thing, const SyncAction& action, Done done,
                               bool beforeOurMove)
{
    // The thing is in another list here than this collection's, and its copy here changed: moved to that
    // list here, or moved to this one over there, while the other side edited it. Both edits meet, against
    // the copy last agreed on in whichever collection it was then; the list that wins says where it goes
    // on. Taken as it is instead, the other side's move or edit would be lost, and the thing could end up
    // in two collections.
    const Target& t = m_targets[index];
    const Target* now = targetOf(thing);
    m_metTheirs.insert(action.uid);
    std::optional<ical::CalendarThing> base, sent;
    if (!startRows(action.uid, t.key).empty()) {
        calsync::LocalEntry here = localEntry(t, action.uid, nullptr);
        base = std::move(here.base);
        sent = std::move(here.sent);
    } else {
        base = agreedElsewhere(action.uid, t, &sent, beforeOurMove);
    }
    const calsync::MergeResult merged =
        calsync::merge(calsync::baseAfterSend(base, sent, action.thing), syncCopy(m_model, thing),
                       action.thing, changedHere(action.uid));
    if (!merged.thing) {
        done({});
        return;
    }
    Pile* here = pileOfTarget(t);
    const bool joins = merged.thing->list == (here ? here->name() : QString());
    if (merged.outcome != calsync::MergeOutcome::KeepOurs || joins)
        takeCopy(m_model, &thing, *merged.thing, joins ? here : (now ? pileOfTarget(*now) : nullptr));
    m_fingerprints.insert(action.uid, fingerprint(m_model, thing));
    if (!joins) {
        // The copy here is taken in: it is what our rows here, which move on with the thing, agree on, so
        // the next merge (a copy the other home writes meanwhile, where it was) doesn't take what we took
        // in from it for our own edit. The merge lives in our store alone once the copy here goes: kept
        // on disk first, or a kill after the DELETE lost the other side's edit.
        for (const Resource& r : knownResources(t, action.uid))
            if (const LedgerItem* i = m_ledger->item(r.uid);
                i && i->collection == t.key && i->href == r.href) {
                LedgerItem row = *i;
                row.base = r.text;
                row.etag = r.etag;
                m_ledger->setItem(row);
            }
        if (!commit())
            return;
        deleteThing(index, action.uid, done);
        return;
    }
    ++m_outcome.taken;
    // What the server still holds of it where it was agreed on before (this sync may have just sent it
    // there, the edit here outliving what looked like a delete): it goes on here only, or it would be
    // met there as a move back. One changed there meanwhile stays for the next sync to meet.
    auto behind = rowsElsewhere(t, action.uid);
    auto thenClear = [this, index, uid = action.uid, behind, done](const DavError& e) {
        if (e) {
            done(e);
            return;
        }
        leave(index, uid, behind, done);
    };
    if (merged.outcome == calsync::MergeOutcome::KeepTheirs) {
        noteTook(thing);
        agreed(t, action.uid, knownResources(t, action.uid));
        thenClear({});
        return;
    }
    putThing(index, action.uid, *merged.thing, thenClear, *behind);
}

std::shared_ptr<std::vector<CalendarSync::Resource>> CalendarSync::rowsElsewhere(const Target& target,
                                                                                 const QString& uid) const
{
    auto out = std::make_shared<std::vector<Resource>>();
    for (const QString& u : QStringList{uid} + m_ledger->stepsOf(uid)) {
        const LedgerItem* i = m_ledger->item(u);
        if (i && i->collection != target.key && !i->etag.isEmpty())
            out->push_back({i->uid, i->parent, i->href, i->etag, i->base});
        else if (i && i->collection == target.key && !i->leavingHref.isEmpty())
            out->push_back({i->uid, i->parent, i->leavingHref, i->leavingEtag, {}});
    }
    thingFirst(*out);
    return out;
}

void CalendarSync::leftElsewhere(const Target& target, const QString& uid, Left then)
{
    auto known = rowsElsewhere(target, uid);
    // Sent there by a sync that stopped before it saw the answer: asked for first, so that the copy goes
    // only while it is still the one we sent (and its row, when it never got there).
    std::vector<LedgerItem> unsure;
    for (const QString& u : QStringList{uid} + m_ledger->stepsOf(uid))
        if (const LedgerItem* i = m_ledger->item(u);
            i && i->collection != target.key && i->etag.isEmpty() && !i->sent.isEmpty() &&
            (unsure.empty() || unsure.front().collection == i->collection))
            unsure.push_back(*i);
    const auto there = std::find_if(m_targets.begin(), m_targets.end(), [&unsure](const Target& t) {
        return !unsure.empty() && t.key == unsure.front().collection;
    });
    if (there == m_targets.end()) {
        checkLeft(known, then);
        return;
    }
    std::vector<QUrl> urls;
    for (const LedgerItem& i : unsure)
        urls.push_back(urlOf(i.href));
    fetchResources(
        size_t(there - m_targets.begin()), urls, [this, known, unsure, then](std::vector<Resource> fetched) {
            for (const LedgerItem& row : unsure) {
                const auto f = std::find_if(fetched.begin(), fetched.end(),
                                            [&row](const Resource& r) { return r.href == row.href; });
                if (f == fetched.end()) {
                    m_ledger->removeItem(row.uid);
                } else if (sameLines(f->text, row.sent)) {
                    // It got there: the copy agreed on, the base of the one that goes out now.
                    LedgerItem agreedThere = row;
                    agreedThere.base = row.sent;
                    agreedThere.etag = f->etag;
                    agreedThere.sent.clear();
                    agreedThere.baseCollection.clear();
                    m_start.insert(row.uid, agreedThere);
                    known->push_back({row.uid, row.parent, row.href, f->etag, f->text});
                } else {
                    then(caldav::davError(DavErrorKind::PreconditionFailed, m_init.account.url.host(), 412),
                         known);
                    return;
                }
            }
            thingFirst(*known);
            QSet<QString> read;
            for (const Resource& f : fetched)
                read.insert(f.href);
            checkLeft(known, then, read);
        });
}

void CalendarSync::checkLeft(std::shared_ptr<std::vector<Resource>> known, Left then,
                             const QSet<QString>& justRead)
{
    // Where the thing's own copy is: its steps' are in the same collection.
    const auto there = known->empty()
                           ? m_targets.end()
                           : std::find_if(m_targets.begin(), m_targets.end(), [&known](const Target& t) {
                                 return known->front().href.startsWith(t.key + u'/');
                             });
    std::vector<QUrl> urls;
    if (there != m_targets.end())
        for (const Resource& r : *known)
            if (!r.etag.isEmpty() && !justRead.contains(r.href) && r.href.startsWith(there->key + u'/'))
                urls.push_back(urlOf(r.href));
    if (urls.empty()) {
        then({}, known);
        return;
    }
    fetchResources(
        size_t(there - m_targets.begin()), urls, [this, known, then](std::vector<Resource> fetched) {
            QHash<QString, QString> now;
            for (const Resource& f : fetched)
                now.insert(f.href, f.etag);
            // Gone is fine (deleted over there: our edit outlives it); changed is the other side's edit.
            for (const Resource& r : *known)
                if (const auto e = now.constFind(r.href); e != now.cend() && *e != r.etag) {
                    then(caldav::davError(DavErrorKind::PreconditionFailed, m_init.account.url.host(), 412),
                         known);
                    return;
                }
            then({}, known);
        });
}

void CalendarSync::leave(size_t index, const QString& uid, std::shared_ptr<std::vector<Resource>> left,
                         Done done)
{
    const QString key = m_targets[index].key;
    // Said on its rows here until it is done, also after the rows were agreed anew: a sync that stops
    // before the DELETEs finishes them next time, rather than meeting the copy as a move back.
    for (const Resource& r : *left)
        if (const LedgerItem* i = m_ledger->item(r.uid);
            i && i->collection == key && (i->leavingHref != r.href || i->leavingEtag != r.etag)) {
            LedgerItem row = *i;
            row.leavingHref = r.href;
            row.leavingEtag = r.etag;
            m_ledger->setItem(row);
        }
    removeResources(left, 0, [this, key, uid, done](const DavError& e) {
        if (e && e.kind != DavErrorKind::PreconditionFailed) {
            done(e);
            return;
        }
        // Gone, or changed there meanwhile: then it is the other side's, met when that collection is read.
        for (const QString& u : QStringList{uid} + m_ledger->stepsOf(uid))
            if (const LedgerItem* i = m_ledger->item(u);
                i && i->collection == key && !i->leavingHref.isEmpty()) {
                LedgerItem row = *i;
                row.leavingHref.clear();
                row.leavingEtag.clear();
                m_ledger->setItem(row);
            }
        done({});
    });
}

void CalendarSync::finishLeaves(size_t index, Next then)
{
    const Target& t = m_targets[index];
    QSet<QString> things;
    for (const LedgerItem& i : std::as_const(m_start))
        if (i.collection == t.key && !i.leavingHref.isEmpty())
            things.insert(thingUidOf(i.uid, i.parent));
    using Leave = std::pair<QString, std::shared_ptr<std::vector<Resource>>>;
    auto leaves = std::make_shared<std::vector<Leave>>();
    for (const QString& uid : std::as_const(things)) {
        // Only once the server is seen to hold all of it here: until then the copy it left is the one.
        // Changed here since, it goes out first, and its PUT then deletes the copy.
        const LedgerItem* own = m_ledger->item(uid);
        const Thing* thing = thingWithUid(uid);
        bool whole = own && own->collection == t.key && !own->etag.isEmpty() &&
                     (!thing || fingerprint(m_model, *thing) == own->fingerprint);
        for (const QString& u : m_ledger->stepsOf(uid))
            if (const LedgerItem* i = m_ledger->item(u); i && i->collection == t.key && i->etag.isEmpty())
                whole = false;
        if (whole)
            leaves->push_back({uid, rowsElsewhere(t, uid)});
    }
    auto step = std::make_shared<std::function<void(size_t)>>();
    *step = [this, index, leaves, step, then](size_t at) {
        if (at >= leaves->size()) {
            const auto keep = std::exchange(*step, nullptr); // alive until this call ends
            then();
            return;
        }
        leave(index, (*leaves)[at].first, (*leaves)[at].second, [this, step, at](const DavError& e) {
            if (failed(e)) {
                const auto keep = std::exchange(*step, nullptr); // alive until this call ends
                return;
            }
            (*step)(at + 1);
        });
    };
    (*step)(0);
}

void CalendarSync::removeResources(std::shared_ptr<std::vector<Resource>> resources, size_t at, Done done)
{
    if (at >= resources->size()) {
        done({});
        return;
    }
    ++m_outcome.requests;
    const Resource r = (*resources)[at];
    m_client->remove(urlOf(r.href), r.etag, [this, resources, at, done, r](DavResult<caldav::DavDone> res) {
        if (res.error && res.error.kind != DavErrorKind::NotFound) {
            done(res.error);
            return;
        }
        if (const LedgerItem* i = m_ledger->item(r.uid); i && i->href == r.href)
            m_ledger->removeItem(r.uid);
        removeResources(resources, at + 1, done);
    });
}

void CalendarSync::putThing(size_t index, const QString& uid, const ical::CalendarThing& copy, Done done,
                            const std::vector<Resource>& leaving)
{
    const Target& t = m_targets[index];
    ical::CalendarThing out = copy;
    out.list.clear(); // the collection says which list
    const std::vector<CalendarResource> parts =
        splitResources(ical::writeCalendar({out}, m_model.clock().now()));
    const std::vector<Resource> existing = knownResources(t, uid);
    QHash<QString, const Resource*> byUid;
    for (const Resource& r : existing)
        byUid.insert(r.uid, &r);
    struct Op {
        bool put;
        Resource resource; // for a put: the new text, and the ETag it replaces
    };
    auto ops = std::make_shared<std::vector<Op>>();
    auto result = std::make_shared<std::vector<Resource>>();
    QSet<QString> partUids;
    // When it changed here is what another side's change is weighed against.
    QDateTime changedAt = changedHere(uid);
    if (!changedAt.isValid())
        changedAt = m_model.clock().now();
    for (CalendarResource p : parts) {
        partUids.insert(p.uid);
        if (p.uid == uid)
            p.text = withLastModified(p.text, changedAt);
        const Resource* old = byUid.value(p.uid);
        if (old && !old->etag.isEmpty() && sameResourceText(old->text, p.text)) {
            result->push_back(*old);
            continue;
        }
        const QString href =
            old ? old->href : keyOf(caldav::childUrl(t.href, p.uid + QStringLiteral(".ics")));
        ops->push_back({true, {p.uid, p.parent, href, old ? old->etag : QString(), p.text}});
    }
    for (const Resource& r : existing)
        if (!partUids.contains(r.uid))
            ops->push_back({false, r});
    // The steps go before their thing: stopped halfway, the server holds steps no thing names yet (which
    // no side takes in), never a thing that seems to have lost the steps that didn't get there.
    std::stable_sort(ops->begin(), ops->end(), [&uid](const Op& a, const Op& b) {
        const auto rank = [&uid](const Op& op) { return !op.put ? 2 : op.resource.uid == uid ? 1 : 0; };
        return rank(a) < rank(b);
    });
    // What each PUT carries is written down before it goes. Killed after the PUT and before the ledger
    // heard of it, the next sync then knows the copy it meets there for ours (settlePending), and an edit
    // or a delete made here meanwhile still goes out, rather than losing to our own copy as if another
    // side had made it. A thing moved here from another list keeps the copy agreed on there as its base,
    // and says where, until a sync sees it here; and it names the copy it leaves there, deleted after.
    bool unconfirmed = false;
    for (const Op& op : *ops) {
        if (!op.put)
            continue;
        const LedgerItem* row = m_ledger->item(op.resource.uid);
        if (row && row->collection == t.key && row->href != op.resource.href)
            continue;
        LedgerItem pending;
        const auto start = m_start.constFind(op.resource.uid);
        const LedgerItem* was = row ? row : start == m_start.cend() ? nullptr : &*start;
        if (row && row->collection == t.key) {
            pending = *row;
        } else if (was && !was->base.isEmpty()) {
            pending.base = was->base;
            if (was->collection != t.key || !was->baseCollection.isEmpty())
                pending.baseCollection =
                    was->baseCollection.isEmpty() ? was->collection : was->baseCollection;
        }
        pending.uid = op.resource.uid;
        pending.parent = op.resource.uid == uid ? QString() : uid;
        pending.collection = t.key;
        pending.href = op.resource.href;
        pending.sent = op.resource.text;
        for (const Resource& l : leaving)
            if (l.uid == pending.uid && l.href != pending.href) {
                pending.leavingHref = l.href;
                pending.leavingEtag = l.etag;
            }
        m_ledger->setItem(pending);
        unconfirmed = true;
    }
    if (unconfirmed && !commit())
        return;
    auto step = std::make_shared<std::function<void(size_t)>>();
    *step = [this, index, uid, ops, result, step, done](size_t at) {
        if (at >= ops->size()) {
            agreed(m_targets[index], uid, *result);
            ++m_outcome.sent;
            const auto keep = std::exchange(*step, nullptr); // alive until this call ends
            done({});
            return;
        }
        const Op& op = (*ops)[at];
        ++m_outcome.requests;
        if (op.put) {
            m_client->put(urlOf(op.resource.href), op.resource.text, op.resource.etag,
                          [this, result, step, at, op, done](DavResult<QString> r) {
                              if (r.error) {
                                  const auto keep =
                                      std::exchange(*step, nullptr); // alive until this call ends
                                  done(r.error);
                                  return;
                              }
                              m_wrote = true;
                              Resource now = op.resource;
                              now.etag = r.value;
                              result->push_back(std::move(now));
                              (*step)(at + 1);
                          });
        } else {
            m_client->remove(
                urlOf(op.resource.href), op.resource.etag, [step, at, done](DavResult<caldav::DavDone> r) {
                    if (r.error && r.error.kind != DavErrorKind::NotFound) {
                        const auto keep = std::exchange(*step, nullptr); // alive until this call ends
                        done(r.error);
                        return;
                    }
                    (*step)(at + 1);
                });
        }
    };
    (*step)(0);
}

void CalendarSync::deleteThing(size_t index, const QString& uid, Done done, bool counts, int depth)
{
    const Target& t = m_targets[index];
    auto resources = std::make_shared<std::vector<Resource>>(knownResources(t, uid));
    // The thing first: its If-Match is what tells an edit over there, and an edit that outlives this
    // delete keeps its steps. Stopped halfway, the steps left without their thing go at the next sync.
    thingFirst(*resources);
    auto step = std::make_shared<std::function<void(size_t)>>();
    *step = [this, index, uid, resources, step, done, counts, depth](size_t at) {
        m_wrote = m_wrote || at > 0;
        if (at >= resources->size()) {
            if (counts)
                ++m_outcome.deleted;
            const auto keep = std::exchange(*step, nullptr); // alive until this call ends
            // Deleted here before its move from another list was done: the copy left there goes too.
            if (const std::optional<size_t> from =
                    thingWithUid(uid) ? std::nullopt : rowsBackWhereLeft(m_targets[index], uid)) {
                deleteLeftCopy(*from, uid, depth, done);
                return;
            }
            forgetOrMoveRows(m_targets[index], uid);
            done({});
            return;
        }
        // Never seen there (a row waiting for its thing's first PUT): nothing known to delete.
        if ((*resources)[at].etag.isEmpty()) {
            (*step)(at + 1);
            return;
        }
        ++m_outcome.requests;
        m_client->remove(urlOf((*resources)[at].href), (*resources)[at].etag,
                         [step, at, done](DavResult<caldav::DavDone> r) {
                             if (r.error && r.error.kind != DavErrorKind::NotFound) {
                                 const auto keep =
                                     std::exchange(*step, nullptr); // alive until this call ends
                                 done(r.error);
                                 return;
                             }
                             (*step)(at + 1);
                         });
    };
    (*step)(0);
}

std::vector<LedgerItem> CalendarSync::movedRows(const Target& target, const QString& uid, bool leaving) const
{
    std::vector<LedgerItem> out;
    const Thing* thing = movedAway(target, uid);
    const Target* to = thing ? targetOf(*thing) : nullptr;
    if (!to)
        return out;
    for (const QString& u : QStringList{uid} + m_ledger->stepsOf(uid)) {
        const LedgerItem* i = m_ledger->item(u);
        if (!i || i->collection != target.key || i->base.isEmpty())
            continue;
        LedgerItem row = *i;
        if (leaving && !i->etag.isEmpty()) {
            row.leavingHref = i->href;
            row.leavingEtag = i->etag;
        }
        row.collection = to->key;
        row.href = keyOf(caldav::childUrl(to->href, u + QStringLiteral(".ics")));
        if (row.leavingHref == row.href) { // back where it was left: nothing to delete there
            row.leavingHref.clear();
            row.leavingEtag.clear();
        }
        row.etag.clear();
        row.sent.clear();
        row.fingerprint.clear();
        row.baseCollection = i->baseCollection.isEmpty() ? i->collection : i->baseCollection;
        out.push_back(std::move(row));
    }
    return out;
}

bool CalendarSync::adoptSteps(const Target& target, Thing& thing)
{
    const QString& uid = thing.syncID();
    QHash<QString, QString> agreedEtags;
    for (const LedgerItem& i : startRows(uid, target.key))
        agreedEtags.insert(i.uid, i.etag);
    std::vector<QByteArray> texts;
    const ical::CalendarThing ours = syncCopy(m_model, thing);
    ical::CalendarThing out = ours;
    out.list.clear();
    for (const CalendarResource& part : splitResources(ical::writeCalendar({out}, m_model.clock().now())))
        texts.push_back(part.text);
    const size_t own = texts.size();
    for (const Resource& r : m_server.value(uid))
        if (!r.parent.isEmpty() && agreedEtags.value(r.uid) != r.etag)
            texts.push_back(r.text);
    if (texts.size() == own)
        return false;
    const std::optional<ical::CalendarThing> theirs = assembleThing(texts, ours.list);
    if (!theirs)
        return false;
    const calsync::MergeResult merged = calsync::merge(ours, ours, *theirs, changedHere(uid));
    if (!merged.thing || merged.outcome == calsync::MergeOutcome::KeepOurs)
        return false;
    const Target* now = targetOf(thing);
    takeCopy(m_model, &thing, *merged.thing, now ? pileOfTarget(*now) : nullptr);
    return true;
}

std::optional<size_t> CalendarSync::rowsBackWhereLeft(const Target& target, const QString& uid)
{
    std::optional<size_t> from;
    std::vector<LedgerItem> back;
    for (const QString& u : QStringList{uid} + m_ledger->stepsOf(uid)) {
        const LedgerItem* i = m_ledger->item(u);
        if (!i || i->collection != target.key || i->leavingHref.isEmpty())
            continue;
        for (size_t j = 0; !from && j < m_targets.size(); ++j)
            if (i->leavingHref.startsWith(m_targets[j].key + u'/'))
                from = j;
        if (!from || !i->leavingHref.startsWith(m_targets[*from].key + u'/'))
            continue;
        LedgerItem row = *i;
        row.collection = m_targets[*from].key;
        row.href = std::exchange(row.leavingHref, {});
        row.etag = std::exchange(row.leavingEtag, {});
        row.sent.clear();
        if (row.baseCollection == row.collection)
            row.baseCollection.clear();
        back.push_back(std::move(row));
    }
    if (!from)
        return std::nullopt;
    forgetRows(target, uid);
    for (const LedgerItem& row : back)
        m_ledger->setItem(row);
    return from;
}

void CalendarSync::deleteLeftCopy(size_t index, const QString& uid, int depth, Done done)
{
    auto resources = std::make_shared<std::vector<Resource>>();
    QStringList hrefs;
    for (const QString& u : QStringList{uid} + m_ledger->stepsOf(uid))
        if (const LedgerItem* i = m_ledger->item(u); i && i->collection == m_targets[index].key) {
            resources->push_back({i->uid, i->parent, i->href, i->etag, i->base});
            hrefs << i->href;
        }
    thingFirst(*resources);
    removeResources(resources, 0, [this, index, uid, hrefs, depth, done](const DavError& e) {
        // Edited over there meanwhile: the edit keeps the thing, taken back whole from what is there.
        if (e.kind == DavErrorKind::PreconditionFailed) {
            refetchAndReplan(index, uid, hrefs, depth, done);
            return;
        }
        if (e) {
            done(e);
            return;
        }
        forgetRows(m_targets[index], uid);
        done({});
    });
}

bool CalendarSync::leaveLater(const Target& target, const QString& uid)
{
    // The etags the plan saw: what the DELETE there will carry.
    QHash<QString, QString> etags;
    for (const Resource& r : knownResources(target, uid))
        etags.insert(r.uid, r.etag);
    std::vector<LedgerItem> moved = movedRows(target, uid, true);
    if (moved.empty())
        return false;
    forgetRows(target, uid);
    for (LedgerItem& row : moved) {
        if (!row.leavingHref.isEmpty() && etags.contains(row.uid))
            row.leavingEtag = etags.value(row.uid);
        m_ledger->setItem(row);
    }
    return true;
}

void CalendarSync::refetchAndReplan(size_t index, const QString& uid, QStringList hrefs, int depth, Done done)
{
    if (depth >= kMaxReplans) {
        done(caldav::davError(DavErrorKind::PreconditionFailed, m_init.account.url.host(), 412));
        return;
    }
    const Target& t = m_targets[index];
    for (const Resource& r : knownResources(t, uid))
        hrefs << r.href;
    hrefs << keyOf(caldav::childUrl(t.href, uid + QStringLiteral(".ics")));
    if (const Thing* thing = thingWithUid(uid))
        for (const Step* s : thing->steps())
            hrefs << keyOf(caldav::childUrl(t.href, s->syncID() + QStringLiteral(".ics")));
    hrefs.removeDuplicates();
    std::vector<QUrl> urls;
    for (const QString& h : std::as_const(hrefs))
        urls.push_back(urlOf(h));
    fetchResources(index, urls, [this, index, uid, depth, done](std::vector<Resource> fetched) {
        const Target& target = m_targets[index];
        std::vector<Resource> mine;
        for (Resource& r : fetched)
            if (thingUidOf(r.uid, r.parent) == uid)
                mine.push_back(std::move(r));
        calsync::ServerView view;
        const auto parent =
            std::find_if(mine.begin(), mine.end(), [&](const Resource& r) { return r.uid == uid; });
        // A thing moved to another list here is, in this collection, one deleted here.
        const calsync::LocalEntry local =
            localEntry(target, uid, movedAway(target, uid) ? nullptr : thingWithUid(uid));
        if (parent == mine.end()) {
            m_server.insert(uid, mine);
            if (!local.href.isEmpty())
                view.removed.push_back(local.href);
        } else {
            std::iter_swap(mine.begin(), parent);
            view.items.push_back(serverEntryOf(mine, listNameOf(target)));
            m_server.insert(uid, std::move(mine));
        }
        const std::vector<SyncAction> actions = calsync::planSync({local}, view);
        auto rest = std::make_shared<std::vector<SyncAction>>(actions);
        auto step = std::make_shared<std::function<void(size_t)>>();
        *step = [this, index, rest, step, depth, done](size_t at) {
            if (at >= rest->size()) {
                const auto keep = std::exchange(*step, nullptr); // alive until this call ends
                done({});
                return;
            }
            act(index, (*rest)[at], depth + 1, [step, at, done](const DavError& e) {
                if (e) {
                    const auto keep = std::exchange(*step, nullptr); // alive until this call ends
                    done(e);
                    return;
                }
                (*step)(at + 1);
            });
        };
        (*step)(0);
    });
}

void CalendarSync::agreed(const Target& target, const QString& uid, const std::vector<Resource>& resources)
{
    // Agreed on as another side's copy (taken or merged), the other side saw where it is.
    const bool theirs = m_metTheirs.remove(uid);
    LedgerItem thingRow;
    if (const LedgerItem* was = m_ledger->item(uid); was && !theirs)
        keepMovedFrom(*was, target.key, thingRow, [this](const QString& u) { return m_ledger->item(u); });
    // A copy of it still known in another collection (a move here that was stopped before it deleted it
    // there, ours or the other home's) is one it leaves there: forgotten, nobody would delete it, and
    // the server would hold the thing twice for good. Gone there already, its DELETE finds nothing.
    QHash<QString, std::pair<QString, QString>> leaving;
    for (const Resource& r : resources)
        if (const LedgerItem* was = m_ledger->item(r.uid)) {
            if (was->collection != target.key && !was->etag.isEmpty() && was->href != r.href)
                leaving.insert(r.uid, {was->href, was->etag});
            else if (was->collection == target.key && !was->leavingHref.isEmpty())
                leaving.insert(r.uid, {was->leavingHref, was->leavingEtag});
        }
    forgetRows(target, uid);
    for (const Resource& r : resources) {
        LedgerItem item;
        if (const auto l = leaving.constFind(r.uid); l != leaving.cend())
            std::tie(item.leavingHref, item.leavingEtag) = *l;
        item.uid = r.uid;
        item.parent = r.uid == uid ? QString() : uid;
        item.collection = target.key;
        item.href = r.href;
        item.etag = r.etag;
        item.base = r.text;
        if (r.uid == uid) {
            item.fingerprint = m_fingerprints.value(uid);
            item.changedAt = changedHere(uid);
            item.movedFrom = thingRow.movedFrom;
            item.movedFromCollection = thingRow.movedFromCollection;
        }
        m_ledger->setItem(item);
    }
    m_server.insert(uid, resources);
}

void CalendarSync::keepMovedFrom(const LedgerItem& was, const QString& targetKey, LedgerItem& row,
                                 const std::function<const LedgerItem*(const QString&)>& rows) const
{
    if (!was.movedFrom.isEmpty()) {
        row.movedFrom = was.movedFrom;
        row.movedFromCollection = was.movedFromCollection;
        return;
    }
    const auto agreedIn = [](const LedgerItem& i) {
        return i.baseCollection.isEmpty() ? i.collection : i.baseCollection;
    };
    const QString from = agreedIn(was);
    if (from == targetKey || was.base.isEmpty())
        return;
    row.movedFromCollection = from;
    for (const QString& u : QStringList{was.uid} + m_ledger->stepsOf(was.uid))
        if (const LedgerItem* i = rows(u); i && !i->base.isEmpty() && agreedIn(*i) == from)
            row.movedFrom += '\0' + i->base;
}

void CalendarSync::forgetRows(const Target& target, const QString& uid)
{
    // Only what this collection holds: the thing may have gone on in another one.
    const QStringList uids = QStringList{uid} + m_ledger->stepsOf(uid);
    for (const QString& u : std::as_const(uids))
        if (const LedgerItem* i = m_ledger->item(u); i && i->collection == target.key)
            m_ledger->removeItem(u);
    m_server.remove(uid);
}

void CalendarSync::forgetOrMoveRows(const Target& target, const QString& uid)
{
    const std::vector<LedgerItem> moved = movedRows(target, uid);
    forgetRows(target, uid);
    for (const LedgerItem& row : moved)
        m_ledger->setItem(row);
}

void CalendarSync::finishTarget(size_t index, const QString& token)
{
    if (m_wrote && !token.isEmpty()) {
        // Our own writes moved the token on. Taken now, while they are all the news there is, the next
        // sync with nothing changed asks one question, not one per collection.
        m_wrote = false;
        ++m_outcome.requests;
        m_client->syncCollection(m_targets[index].href, token,
                                 [this, index, token](DavResult<caldav::DavSyncChanges> r) {
                                     if (r.error.kind != DavErrorKind::None &&
                                         r.error.kind != DavErrorKind::TokenExpired && failed(r.error))
                                         return;
                                     if (!r.ok()) {
                                         finishTarget(index, token);
                                         return;
                                     }
                                     // After a first sync that is every item there: looked over off the
                                     // main thread.
                                     offThread(
                                         [items = m_ledger->items(), news = std::move(r.value)] {
                                             QHash<QString, QString> etags;
                                             for (const LedgerItem& i : items)
                                                 etags.insert(i.href, i.etag);
                                             bool ours = true;
                                             for (const DavItem& item : news.changed)
                                                 ours = ours && etags.value(keyOf(item.href)) == item.etag;
                                             for (const QUrl& gone : news.removed)
                                                 ours = ours && !etags.contains(keyOf(gone));
                                             return ours ? std::optional(news.token) : std::nullopt;
                                         },
                                         [this, index, token](const std::optional<QString>& newer) {
                                             finishTarget(index, newer.value_or(token));
                                         });
                                 });
        return;
    }
    m_wrote = false;
    const Target& t = m_targets[index];
    LedgerCollection c;
    c.href = t.key;
    c.pile = t.pile;
    c.displayName = t.displayName;
    c.token = token;
    c.ctag = t.ctag;
    m_ledger->setCollection(c);
    if (!commit())
        return;
    syncTarget(index + 1);
}

void CalendarSync::putBack(size_t at)
{
    if (at >= m_putBack.size()) {
        const bool any = !m_putBack.empty();
        m_putBack.clear();
        if (!any || commit())
            finish({});
        return;
    }
    const PutBack back = m_putBack[at];
    const Target& t = m_targets[back.index];
    Thing* thing = thingWithUid(back.uid);
    const LedgerItem* row = m_ledger->item(back.uid);
    if (!thing || targetOf(*thing) != &t || (row && row->collection != t.key)) {
        putBack(at + 1);
        return;
    }
    m_server.clear();
    m_server.insert(back.uid, back.there);
    m_fingerprints.insert(back.uid, fingerprint(m_model, *thing));
    m_puttingBack = true;
    act(back.index, {SyncActionKind::PutNew, back.uid, back.href, QString(), syncCopy(m_model, *thing)}, 0,
        [this, at](const DavError& e) {
            m_puttingBack = false;
            if (!failed(e))
                putBack(at + 1);
        });
}

bool CalendarSync::commit()
{
    QString why;
    const bool storeSaved = m_model.saveNow(&why);
    // The family file too: what it holds of our things is taken, at the next start, for the planner's
    // edits of them, so a copy taken here and killed before its mirror landed would be undone there,
    // while the ledger says it was agreed.
    m_model.familySync().flush();
    if (!storeSaved || !m_ledger->commit(&why)) {
        finish(DavError{
            DavErrorKind::UnexpectedStatus, 0,
            QStringLiteral("Couldn't keep what the sync did: %1. It goes again next time.").arg(why)});
        return false;
    }
    return true;
}

void CalendarSync::finish(const DavError& error)
{
    if (!m_running)
        return;
    // What was done before a failure is kept: the next sync starts from there.
    if (error) {
        QString why;
        if (m_model.saveNow(&why)) {
            m_model.familySync().flush();
            m_ledger->commit(&why);
        }
    }
    m_outcome.ok = !error;
    m_outcome.message = error.message;
    if (!error && m_unreadable > 0)
        m_outcome.message =
            m_unreadable == 1
                ? QStringLiteral("1 item on the server couldn't be read, so it was left as it is.")
                : QStringLiteral("%1 items on the server couldn't be read, so they were left as they are.")
                      .arg(m_unreadable);
    m_running = false;
    m_server.clear();
    m_putBack.clear();
    m_puttingBack = false;
    Q_EMIT finished(m_outcome);
    if (m_again) {
        m_again = false;
        sync();
    }
}

} // namespace vorn
