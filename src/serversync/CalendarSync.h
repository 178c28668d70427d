#pragma once

#include "caldav/CalDavClient.h"
#include "calsync/SyncPlan.h"
#include "serversync/PlanInputs.h"
#include "serversync/SyncLedger.h"
#include "store/RecordId.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QThreadPool>

#include <deque>
#include <functional>
#include <memory>

namespace vorn {

class AppModel;
class Pile;
class Thing;
class StoreChanges;

// How one sync went, in the words the status line shows.
struct SyncOutcome {
    bool ok = true;
    QString message;       // the failure, in the app's voice; empty when it worked
    int sent = 0;          // things written to the server
    int taken = 0;         // things the model took from it
    int deleted = 0;       // deleted on either side
    QStringList leftAlone; // collections beyond our lists, untouched
    int requests = 0;
};

// Two-way sync of our things with the to-do collections of a calendar server. Today, Later and Done-ish
// go to one collection of the app's own; each list of ours to one collection of its name. What both sides
// last agreed on is kept in a ledger beside the local store, so an edit made offline, or a sync cut off
// by a kill, picks up where it stopped without doubling anything. Every write carries the ETag it
// expects; a 412 brings the server's copy, merged field by field against the agreed one.
class CalendarSync : public QObject {
    Q_OBJECT
public:
    struct Init {
        caldav::DavAccount account;
        QString ledgerPath;                                   // ":memory:" for tests
        QString collectionName = QStringLiteral("vorn todo"); // for Today, Later and Done-ish
        int fetchBatch = 100;                                 // hrefs per calendar-multiget
    };
    // Null with `error` set when the ledger can't be opened.
    static std::unique_ptr<CalendarSync> make(AppModel& model, Init init, QString* error);
    ~CalendarSync() override;

    // Starts a sync; one asked for while one runs follows it.
    void sync();
    bool isRunning() const { return m_running; }
    const SyncOutcome& lastOutcome() const { return m_outcome; }
    SyncLedger& ledger() { return *m_ledger; }
    // Whether the batch of the change feed holds only what a sync took in from the server (then it has
    // nothing to send back); forgets what it took either way.
    bool tookOnly(const StoreChanges& batch);

Q_SIGNALS:
    void finished(const vorn::SyncOutcome& outcome);
    // How far a sync is in items moved: the server's fetched and ours written (or deleted) there, of
    // those known so far; the total grows as each collection is read. For a first sync of many.
    void progress(int done, int total);

private:
    struct Target {
        QUrl href;
        QString key;     // its path, as the ledger names it
        qint64 pile = 0; // our list's record number; 0 for Today, Later and Done-ish
        QString displayName;
        QString token; // as the server lists it now
        QString ctag;
        bool fresh = false; // made by this sync
    };
    using Resource = SyncResource;
    struct Gathering;
    using Next = std::function<void()>;
    using Done = std::function<void(const caldav::DavError&)>;

    CalendarSync(AppModel& model, Init init, std::unique_ptr<SyncLedger> ledger);
    void begin();
    void askHome();
    void mapCollections(const std::vector<caldav::DavCollection>& collections);
    void runSteps(std::shared_ptr<std::deque<std::function<void(Next)>>> steps, Next then);
    void syncTarget(size_t index);
    void fetchChanges(size_t index, std::vector<caldav::DavItem> changed, std::vector<QUrl> removed,
                      bool complete, const QString& token);
    // `counted`: the fetch is part of the sync's progress (not a refetch after a 412).
    void fetchResources(size_t index, std::vector<QUrl> hrefs,
                        std::function<void(std::vector<Resource>)> then, bool counted = false);
    void reportProgress();
    // The rows a stopped sync wrote down before PUTs it didn't see through: what was sent is agreed when
    // the server holds it, else what was agreed before stays (a resource sent for the first time goes).
    void settlePending(const Target& target, const std::vector<Resource>& fetched);
    // Our side of the collection, a slice at a time; then the plan, off the main thread.
    void gatherLocal(std::shared_ptr<Gathering> g);
    void planTarget(size_t index, calsync::ServerView view, QSet<QString> touched, const QString& token);
    void runActions(size_t index, std::shared_ptr<std::vector<calsync::SyncAction>> actions, size_t at,
                    const QString& token);
    void act(size_t index, const calsync::SyncAction& action, int depth, Done done);
    // `leaving`: the copies it leaves in other collections, written down with what goes out so that a
    // sync stopped before their DELETEs finishes them.
    void putThing(size_t index, const QString& uid, const ical::CalendarThing& copy, Done done,
                  const std::vector<Resource>& leaving = {});
    // Its resources in the target, the thing's own first; `counts` says whether the outcome counts it.
    void deleteThing(size_t index, const QString& uid, Done done, bool counts = true, int depth = 0);
    // A thing moved from `target` to another list here: its rows, moved to where it goes and not there
    // yet, so that what was agreed stays its base until its PUT is seen. `leaving`: its copy in `target`
    // is still there, and named in them as the one to delete once that PUT went.
    std::vector<LedgerItem> movedRows(const Target& target, const QString& uid, bool leaving = false) const;
    // Its rows in `target` go; those of a thing that moved to another list here go where it went.
    void forgetOrMoveRows(const Target& target, const QString& uid);
    // A thing deleted here while its move to `target` was half done: its rows in `target` that still
    // leave a copy in the collection it came from go back there, as that copy (href and ETag); the rest
    // go. The index of that collection; none when no row leaves a copy in one we sync.
    std::optional<size_t> rowsBackWhereLeft(const Target& target, const QString& uid);
    // The thing's copy in the target, as its rows name it, deleted; edited there meanwhile, taken back.
    void deleteLeftCopy(size_t index, const QString& uid, int depth, Done done);
    // For a thing moved away from `target`, unchanged there: its rows go where it went, the copy here
    // deleted only after the one there is written. False when the ledger holds nothing to move.
    bool leaveLater(const Target& target, const QString& uid);
    // A thing moved away from `target`, whose copy there is gone but for steps: those never agreed on
    // join ours. False when there are none.
    bool adoptSteps(const Target& target, Thing& thing);
    // `beforeOurMove`: the copy met there was moved on from where the thing was before our move of it, by
    // a side that never saw the copy our move wrote (ourMoveUnseen).
    void joinOrLeave(size_t index, Thing& thing, const calsync::SyncAction& action, Done done,
                     bool beforeOurMove);
    // Whether the copy our move wrote, which the thing's row names, is still on the server as we wrote it:
    // the other side, moving the thing on from there, would have deleted it. Asked only of a thing whose
    // row keeps what was agreed before that move, met in a collection we hold no rows in.
    void ourMoveUnseen(size_t index, const QString& uid, std::function<void(bool)> then);
    // What the ledger holds of the thing in other collections than `target`, and the copies its rows here
    // still leave elsewhere: what goes once it is written here, the thing's own first.
    std::shared_ptr<std::vector<Resource>> rowsElsewhere(const Target& target, const QString& uid) const;
    using Left = std::function<void(const caldav::DavError&, std::shared_ptr<std::vector<Resource>>)>;
    // Before a thing moved here goes out: its copies where it was, to delete after its PUT; a 412 when
    // that copy changed there meanwhile.
    void leftElsewhere(const Target& target, const QString& uid, Left then);
    // The copies `known` names where the thing was, as the server holds them now (but for those
    // `justRead`): one changed there since is the other side's edit, merged in that collection's turn.
    // Written here first, ours would reach the other side as a copy made before that edit, and its merge
    // there (against a base that holds the edit) would take our older fields for changes.
    void checkLeft(std::shared_ptr<std::vector<Resource>> known, Left then,
                   const QSet<QString>& justRead = {});
    // DELETEs what the thing left elsewhere, written down as leaving on its rows in the target until then.
    // Changed there meanwhile, it stays as another side's copy.
    void leave(size_t index, const QString& uid, std::shared_ptr<std::vector<Resource>> left, Done done);
    // What a stopped sync left behind of the moves into this collection whose copies here it saw whole.
    void finishLeaves(size_t index, Next then);
    // DELETEs each in turn with its ETag, forgetting its row; one gone already is passed by, one changed
    // meanwhile (a 412) stops it there.
    void removeResources(std::shared_ptr<std::vector<Resource>> resources, size_t at, Done done);
    void refetchAndReplan(size_t index, const QString& uid, QStringList hrefs, int depth, Done done);
    void finishTarget(size_t index, const QString& token);
    void finish(const caldav::DavError& error);
    // Saves the model, then the ledger: the ledger may never say agreed what the store doesn't hold.
    bool commit();
    // Writes rows down as taking for the things new here that `actions` [from, to) take in, before the
    // model holds them (the store may save any moment after): true when there were any. Without them, a
    // kill before the ledger's commit left a thing here that the next sync took for made here, and put
    // back over a delete there.
    bool markTaking(const Target& target, const std::vector<calsync::SyncAction>& actions, size_t from,
                    size_t to);
    // What the rows a killed sync left as taking mean now: agreed on when the store holds the thing,
    // else forgotten.
    void settleTaking();

    // Runs `work` (plain copies only) on the worker and hands its result to `then` here.
    template <class Work, class Then> void offThread(Work work, Then then);
    // Goes on now while this turn of the event loop is young, else on the next one: a key press
    // waits for one slice of the sync at most.
    void onward(Next next);
    void nextTurn(Next next);
    calsync::LocalEntry localEntry(const Target& target, const QString& uid, const Thing* thing);
    // A thing with no rows in `target` that was agreed on in another collection: those rows, as its base.
    // Also the list its rows' base was agreed in, when another one's.
    void agreedBefore(const Target& target, LocalSide& side) const;
    QString listNameOfKey(const QString& key) const;
    // What was last agreed on for the thing in another collection than `target`: it moved since. With
    // `sent`, also what our PUTs there carried that no sync saw land (none when nothing such). With
    // `beforeOurMove`, what was agreed where our move took it from, when the row keeps that.
    std::optional<ical::CalendarThing> agreedElsewhere(const QString& uid, const Target& target,
                                                       std::optional<ical::CalendarThing>* sent = nullptr,
                                                       bool beforeOurMove = false) const;
    QString listNameOf(const Target& target) const;
    std::vector<LedgerItem> startRows(const QString& uid, const QString& collection) const;
    std::vector<Resource> knownResources(const Target& target, const QString& uid) const;
    Thing* thingWithUid(const QString& uid) const;
    // When the thing last changed here, as far as anyone knows (invalid: not known).
    QDateTime changedHere(const QString& uid) const;
    const Target* targetOf(const Thing& thing) const;
    // Our thing of that UID when it is now in another target's list than `target`.
    Thing* movedAway(const Target& target, const QString& uid) const;
    Pile* pileOfTarget(const Target& target) const;
    void agreed(const Target& target, const QString& uid, const std::vector<Resource>& resources);
    void forgetRows(const Target& target, const QString& uid);
    // What the thing's row `was` (in the ledger now, or as the sync began) leaves as its `movedFrom` once
    // its copy in `target` is agreed on; `rows` finds the rows of it and its steps.
    void keepMovedFrom(const LedgerItem& was, const QString& targetKey, LedgerItem& row,
                       const std::function<const LedgerItem*(const QString&)>& rows) const;
    QUrl urlOf(const QString& key) const;
    bool failed(const caldav::DavError& error);
    void putBack(size_t at);
    // The copies left in that collection that its listing says are gone (`all`: every item there).
    void forgetGoneLeaves(size_t index, const QStringList& gone, const std::vector<caldav::DavItem>* all);
    void noteTook(const Thing& thing);

    AppModel& m_model;
    Init m_init;
    std::unique_ptr<SyncLedger> m_ledger;
    std::unique_ptr<caldav::CalDavClient> m_client;
    bool m_running = false;
    bool m_again = false;
    SyncOutcome m_outcome;
    std::vector<Target> m_targets;
    // The ledger as the sync began: every collection plans against the same agreed state.
    QHash<QString, LedgerItem> m_start;
    QHash<QString, QStringList> m_startSteps; // thing UID -> its steps' UIDs in the ledger
    // What the server holds of each thing the current collection's view names.
    QHash<QString, std::vector<Resource>> m_server;
    // The fingerprint of each thing as it was planned or taken: what the ledger keeps once agreed.
    QHash<QString, QByteArray> m_fingerprints;
    // Each thing's record by its UID, as the sync began and as it took new ones in.
    QHash<QString, RecordId> m_thingIds;
    QElapsedTimer m_slice; // since the current slice of main-thread work began
    QThreadPool m_pool;    // one worker, for the stages that run off the main thread
    int m_done = 0;
    int m_total = 0;
    int m_moved = 0; // for the progress: items fetched or written, of those to move
    int m_toMove = 0;
    int m_unreadable = 0;
    bool m_wrote = false; // the current collection took a write of ours
    // Things gone from a collection while edited here: put back there (the edit outlives the delete) at
    // the sync's end, unless another collection took them meanwhile. Gone as a move over there, they are
    // met where they went and merged there against what was agreed; put back at once, that copy would be
    // agreed on here first, and met as the base of that merge after a kill, losing our edits to theirs.
    struct PutBack {
        size_t index;
        QString uid;
        QString href;
        std::vector<Resource> there; // what the server held of it there, as the plan saw it
    };
    std::vector<PutBack> m_putBack;
    bool m_puttingBack = false;
    // Records the sync changed in the model, until the change feed has told of them.
    QSet<RecordId> m_took;
    // When each thing last changed here this run, from the store's change feed.
    QHash<QString, QDateTime> m_changedAt;
    QSet<QString> m_metTheirs; // things this sync took or merged a copy of another side's of, by UID
};

} // namespace vorn
