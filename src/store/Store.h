#pragma once

#include "store/Records.h"
#include "store/StoreChanges.h"
#include "store/Timers.h"
#include "store/UndoManager.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace vorn {

class Database;

// The local object store: typed records in memory, persisted to SQLite.
// Inserts, deletes and field changes are recorded for undo and written by save() in one transaction,
// touching only the records that changed. A save runs by itself shortly after the first unsaved change.
//
// The change feed: every insert, delete and field change of a live record, undo and redo and the
// store's own rules (a thing's steps going with it) included, is gathered into one StoreChanges batch per
// event-loop turn. `changes(batch)` hands it out once, after the turn's work, in the order batches were
// made (their numbers count up by one); `changed()` follows it at once. A record appears once per batch
// however often it changed, with every field it took. The feed carries facts only: each subscriber keeps
// its own idea of what it still has to do (a mirror waiting, a save due) and its own timing, so any
// number of them can listen. `changing()` is the one thing heard before the batch is out: a subscriber
// that waits a moment after the last change (a debounce) restarts its wait there, and does no more.
class Store : public QObject {
    Q_OBJECT

public:
    enum class Mode { ReadWrite, ReadOnly };

    // Opens (or creates) the store at path; ":memory:" keeps it in memory only.
    // Returns nothing and sets error when the file cannot be opened; the file is then left untouched.
    // ReadOnly never creates, migrates or writes the file; a missing file opens as an empty store.
    // A store in memory is always writable.
    static std::unique_ptr<Store> open(const QString& path, QString* error, Mode mode = Mode::ReadWrite);
    ~Store() override;

    const QString& path() const { return m_path; }
    bool isReadOnly() const { return m_readOnly; }

    // Inserting assigns the identifier; a step or thing joins its owner's inverse list.
    Thing* insert(std::shared_ptr<Thing> thing);
    Pile* insert(std::shared_ptr<Pile> pile);
    Step* insert(std::shared_ptr<Step> step);
    // Deleting a thing deletes its steps; deleting a pile clears the pile of its things.
    void remove(Record* record);

    Record* record(RecordId id) const;
    Thing* thing(RecordId id) const;
    Pile* pile(RecordId id) const;
    Step* step(RecordId id) const;

    // Every live thing, ascending by sortKey (ties by insertion). Kept sorted between changes,
    // so repeated reads cost nothing.
    const std::vector<Thing*>& thingsBySortKey() const;
    // Every live pile, ascending by sortKey.
    std::vector<Pile*> pilesBySortKey() const;
    qsizetype thingCount() const { return m_things.size(); }
    qsizetype stepCount() const { return m_steps.size(); }

    // Changes not yet in the file: pending, or being written there.
    bool hasChanges() const { return !m_pending.isEmpty() || m_writing; }
    // Writes every pending change in one transaction (after a write under way has ended). On failure
    // nothing is marked saved and error is set.
    bool save(QString* error = nullptr);
    // Delay of the automatic save after the first unsaved change; 0 or less turns it off.
    void setAutosaveDelay(int msecs);
    // The automatic save waits on a timer made by `timers` ("autosave") instead of a Qt timer of its own,
    // so a test moves its time on. A wait already running starts again on the new timer.
    void useTimers(Timers& timers);
    // The clock each thing's `changedAt` is stamped from; without one, nothing is stamped.
    void useClock(std::function<QDateTime()> now) { m_now = std::move(now); }
    int autosaveDelay() const { return m_autosaveDelay; }
    // How often a save first asks whether the file is still where it was opened (a stat of its path, a
    // tenth of a small save). Saves skipped between two checks lose nothing: a file found gone is made
    // again with everything the store holds. 0 checks before every save.
    void setMovedCheckInterval(int msecs) { m_movedCheckInterval = msecs; }

    UndoManager& undoManager() { return m_undo; }

    // For changes that can't be saved where they belong (a full disk at quit): writes every live record
    // into a store file of its own at `path`, replacing one there. False with error set when it can't.
    bool writeRescue(const QString& path, QString* error = nullptr) const;
    // Takes what the rescue file at `path` holds in place of what was loaded, when it was written after
    // the store file's last save; the next save writes the store file whole and then removes the rescue.
    // False when there is none, it is stale (then removed, unless read-only) or can't be read (error set).
    // Only right after open, before anyone holds a record.
    bool adoptRescue(const QString& path, QString* error = nullptr);
    // The rescue taken in, until a save has written it where it belongs.
    const QString& adoptedRescue() const { return m_rescuePath; }

    // The batch of the feed gathering now; its number is the one `changes` will carry.
    quint64 openBatch() const { return m_batch.m_batch; }

Q_SIGNALS:
    // The turn's batch of the change feed (see above). Posted once per event-loop turn with changes.
    void changes(const vorn::StoreChanges& batch);
    // Records were inserted, deleted or changed: right after `changes`, for those who need no details.
    void changed();
    // A record is changing now, before its batch is out; for timing only (see above).
    void changing(vorn::RecordId id);
    // An automatic or explicit save failed; the changes stay pending and are retried by the next save.
    void saveFailed(const QString& error);
    // Pending changes were written; after a failure this says the disk works again.
    void saved();

private:
    friend class Record;
    explicit Store(QObject* parent = nullptr);

    void didChange(Record& record, quint32 field, std::function<void(Record&)> undo);
    void attach(const std::shared_ptr<Record>& record, bool registerUndo);
    void detach(Record& record);
    void link(Record& record);
    void unlink(Record& record);
    void markPending(Record& record);
    // Stamps the thing the change of `record` is a change of, unless it is only a change of place.
    void stampChange(Record& record, quint32 fields);
    // Adds what happened to the record to the turn's batch, posting the batch at its first change.
    void noteChange(const Record& record, bool inserted, bool deleted, quint32 fields);
    void deliverChanges();
    void autosaveFired();
    // The automatic save of a batch that holds big texts (a long note): written on a thread of its own,
    // so the window doesn't wait for megabytes to reach the file. Its records count as saved meanwhile;
    // a failure makes them pending again. False when the batch is small, or the save has other work
    // (a check of the file's place, a rescue to write whole): the caller saves it as usual.
    bool saveInBackground();
    // Waits for the write under way, if any, and takes its outcome.
    void finishWriting();
    void adoptLoaded(std::vector<std::shared_ptr<Record>> records, qint64 nextNumber);
    std::vector<Record*> liveRecords() const;
    // The pending records in the order they are written.
    std::vector<Record*> pendingRecords() const;
    void sortForWriting(std::vector<Record*>& records) const;
    // A new file in place of one that vanished, with every live record pending for it.
    bool reopen(QString* error);

    QString m_path;
    bool m_readOnly = false;
    std::unique_ptr<Database> m_db;
    qint64 m_nextNumber = 1;
    qint64 m_generation = 0; // saves the file has taken
    QHash<qint64, std::shared_ptr<Thing>> m_things;
    QHash<qint64, std::shared_ptr<Pile>> m_piles;
    QHash<qint64, std::shared_ptr<Step>> m_steps;
    // Records with unsaved inserts, deletes or field changes; holding them keeps deleted ones alive until
    // saved.
    QHash<RecordId, std::shared_ptr<Record>> m_pending;
    mutable std::vector<Thing*> m_sorted;
    mutable bool m_sortedValid = false;
    bool m_changePosted = false;
    StoreChanges m_batch;
    // A save of a few changed records costs well under a millisecond in WAL mode, so the store keeps
    // close behind the user: a crash or kill -9 loses at most the last tenth of a second.
    int m_autosaveDelay = 100;
    std::function<QDateTime()> m_now;
    std::unique_ptr<Timer> m_autosave;
    int m_movedCheckInterval = 1000;
    QElapsedTimer m_sinceMovedCheck;
    UndoManager m_undo;
    // A rescue taken in: the file is written whole at the next save, then the rescue goes.
    QString m_rescuePath;
    bool m_saveWhole = false;
    struct Writing;
    std::unique_ptr<Writing> m_writing; // the background save under way
    quint64 m_writings = 0;             // background saves started
};

} // namespace vorn
