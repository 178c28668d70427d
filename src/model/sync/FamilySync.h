#pragma once

#include "family/FamilyNotifier.h"
#include "family/FamilyStore.h"
#include "family/NoteFiles.h"
#include "family/SharedThing.h"
#include "model/Entities.h"
#include "model/ModelInit.h"
#include "model/NoteKeeper.h"
#include "model/RetryBackoff.h"
#include "model/sync/SyncBaseline.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QSet>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vorn {

class Clock;
class Schedule;
class Settings;
class Store;
class Timer;
class Timers;

// What the sync engine needs of the app's model, which knows the lists, the lingering rows, the
// selection and the toast. All of it runs on the main thread.
class SyncHost {
public:
    virtual ~SyncHost() = default;
    // The family row our thing becomes now; a mirror passes one day and one time for all its rows.
    virtual SharedThing sharedRow(const Thing& thing, const QString& today, double updatedAt) const = 0;
    virtual bool isInToday(const Thing& thing) const = 0;
    // The planner planned our thing for today or an earlier day: it joins the end of Today.
    virtual void moveToEndOfToday(Thing& thing) = 0;
    // Whether things stay in view after the planner ticked them (true) or planned them for later (false).
    virtual void linger(const QSet<RecordId>& ids, bool lingering) = 0;
    // Whether the clock moving on from `since` took a snoozed thing out of Later (into Today).
    virtual bool anyThingWoke(const QDateTime& since) const = 0;
    // The planner deleted our thing: it leaves the selection and the lingering rows before it goes.
    virtual void forget(const Thing& thing) = 0;
    virtual void showToast(const QString& text) = 0;
    // The family rows were read again: what referred to rows that are gone has to go too.
    virtual void familyRowsRead() = 0;
};

// Keeps the family file and our things in step. It follows the store's change feed and mirrors every
// local thing into the file a moment after the last change (and at start, and when a new day or a thing
// waking changes what Today holds), reads the other applications' rows (shown in Today) and the planner's
// edits and deletions of ours, carries out our edits of the planner's rows, tells its own change broadcasts
// from the planner's, and keeps the manual order of the planner's rows in Today.
class FamilySync : public QObject {
    Q_OBJECT

public:
    struct Init {
        FamilyLink link;             // as the start-up made it; syncsToFamily off: nothing is read or written
        bool readOnly = false;       // look, don't touch
        NoteKeeper* notes = nullptr; // the model's; none: notes keep their plain text only
        int debounceMSecs = 400;
        // After a mirror that didn't reach the file: the first retry, doubled up to the longest wait.
        int retryMSecs = 2000;
        int retryMaxMSecs = 60000;
    };
    FamilySync(Init init, Store& local, const Schedule& schedule, const Clock& clock, Settings& settings,
               Timers& timers, SyncHost& host, QObject* parent = nullptr);
    ~FamilySync() override;

    bool syncsToFamily() const { return m_syncsToFamily; }
    FamilyStore* familyStore() const { return m_family.get(); }
    FamilyNotifier* notifier() const { return m_notifier.get(); }
    bool isPending() const { return m_pending; }
    bool ownChangePending() const { return m_ownChangePending; }
    // How many rows of ours the last read compared with our things: those written since the read before.
    int lastOwnRowsCompared() const { return m_lastOwnRowsCompared; }

    // The rows other applications own, in file order.
    const std::vector<SharedThing>& rows() const { return m_rows; }
    void replaceRows(std::vector<SharedThing> rows);
    // The manual order of those rows among Today's, kept in the settings.
    const QHash<QString, double>& externalOrder() const { return m_externalOrder; }
    // Places rows at positions of a reordered Today; saved only when one moved.
    void placeRows(const std::vector<std::pair<QString, double>>& places);

    // A mirror of every local thing, a moment after the last call.
    void schedule();
    // The model's `now` moved on: a new day gives our Today rows another day, and a thing whose snooze ran
    // out is in Today now; either way the file has to say so.
    void timeMoved(const QDateTime& now);
    // Mirrors now when one is waiting, and waits for mirrors still on their way.
    void flush();
    // Reads the file: the other applications' rows, and the planner's edits and deletions of ours.
    void refresh();
    // The same without waiting for the file: read on the family store's queue, taken in when it's
    // back. Calls while one is on its way make one more read after it.
    void refreshInBackground();
    // The first read left out the rows of ours an earlier run compared: they are read in the background
    // now (the window calls this once its first frame is up; any read does it too).
    void readWholeIfDue();
    // A change broadcast arrived: our own echo is skipped, anything else is read.
    void didChange();
    // The broadcasts as they arrive: all that come before the next turn are one didChange().
    void noticed();

    // Our edits of other applications' rows go straight into the file; then it is read again.
    void setDone(const std::vector<SharedThing>& rows, bool done);
    void markDeleted(const std::vector<SharedThing>& rows);
    void rename(const SharedThing& row, const QString& title);
    void saveNote(const QString& id, const std::optional<QByteArray>& rtf, const QString& plain);
    // A row's note as an editor opens it; empty when the row is gone.
    NoteContent noteContent(const QString& id) const;
    // A note of a row that waited for its file got there: the row follows it now.
    void noteLanded(const PendingNote& note);

Q_SIGNALS:
    void rowsChanged();
    void externalOrderChanged();
    // The local things were just mirrored into the file.
    void mirrored();

private:
    // A record of ours is changing (the feed's early word): a thing or a step is in the file.
    void localChanging(RecordId id);
    void mirror();
    void mirrorWritten(size_t count, bool written, const QString& day);
    void finishEdit();
    bool canRead() const;
    // Which of our rows a read hands over: those written since we last compared them.
    std::function<bool(const SharedThing&)> changedSinceSeen() const;
    // `inTurns`: the rows of ours are compared a few milliseconds a turn of the event loop.
    void applyRead(FamilyRead read, bool inTurns = false);
    void compareSome(QDeadlineTimer until);
    void applyDeletes(const std::vector<QString>& ids);
    const QHash<QString, Thing*>& thingsBySyncID();
    // `day` is today's, read once per refresh: formatting it is most of the work of a row.
    // True when our thing and the row now say the same; false when the next mirror writes ours over it.
    bool adoptEdits(const SharedThing& row, Thing& thing, const QString& day);
    void adoptDay(const SharedThing& row, Thing& thing);
    void adoptTitle(const SharedThing& row, Thing& thing);
    void adoptNoteAndSteps(const SharedThing& row, Thing& thing, bool note, bool steps);
    void saveExternalOrder();
    // A row's place among Today's, or none (it goes to the end): set, with the places before as the undo.
    using RowPlace = std::pair<QString, std::optional<double>>;
    void setPlaces(const std::vector<RowPlace>& places);
    QString today() const;

    Store& m_local;
    const Schedule& m_schedule;
    const Clock& m_clock;
    Settings& m_settings;
    SyncHost& m_host;
    bool m_syncsToFamily;
    bool m_readOnly;
    std::unique_ptr<FamilyStore> m_family;
    std::unique_ptr<FamilyNotifier> m_notifier;
    NoteKeeper* m_notes;
    int m_debounceMSecs;
    std::unique_ptr<Timer> m_debounce;
    bool m_pending = false;
    // Reading the file's edits into our things: those changes are the file's already, no news for it.
    bool m_adopting = false;
    QDateTime m_seenNow;
    bool m_ownChangePending = false;
    int m_noticed = 0; // broadcasts waiting for the read they share
    int m_mirrorsInFlight = 0;
    // The last mirror failed: the file lags behind our things until one gets through.
    bool m_unwritten = false;
    std::unique_ptr<RetryBackoff> m_retry;
    SyncBaseline m_baseline;
    // The day our last mirror that got through gave our rows in Today (kept in the settings).
    std::optional<QString> m_mirroredDay;
    std::vector<SharedThing> m_rows;
    QHash<QString, double> m_externalOrder;
    // Each row of ours as we last compared it.
    struct SeenRow {
        double updatedAt = 0;
        size_t digest = 0;
    };
    QHash<QString, SeenRow> m_seen;
    // Our things by sync ID: built when first needed, dropped when a thing comes or goes.
    std::optional<QHash<QString, Thing*>> m_bySyncID;
    bool m_reading = false;   // a background read is on its way
    bool m_readAgain = false; // and news came meanwhile
    quint64 m_readGeneration = 0;
    int m_lastOwnRowsCompared = 0;
    // The latest updated_at up to which every row of ours was compared, in this run or one before (kept
    // in the settings); the rows of ours the first read leaves out; whether a read of them all is due.
    double m_ownRowsReadUpTo = 0;
    double m_savedOwnRowsReadUpTo = 0;
    double m_startSkipsUpTo = kEveryOwnRow;
    bool m_wholeReadDue = false;
    // The rows of ours a read handed over, compared from `next` on, until the next read takes over;
    // mirrors wait for it.
    struct Comparing {
        std::vector<SharedThing> rows;
        size_t next = 0;
        double ownLatest = 0;
    };
    std::optional<Comparing> m_comparing;
    bool m_mirrorWaits = false; // for the comparison to end
    static constexpr int kCompareTurnMSecs = 4;
};

} // namespace vorn
