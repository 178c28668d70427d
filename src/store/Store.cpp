#include "store/Store.h"

#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace vorn {

Store::Store(QObject* parent) : QObject(parent), m_undo(this)
{
    m_batch.m_batch = 1;
    QtTimers timers;
    m_autosave = timers.make(QStringLiteral("autosave"), false, [this] { autosaveFired(); });
}

void Store::useTimers(Timers& timers)
{
    const bool waiting = m_autosave->isActive();
    m_autosave = timers.make(QStringLiteral("autosave"), false, [this] { autosaveFired(); });
    if (waiting)
        m_autosave->start(m_autosaveDelay);
}

// A background save: how each of its records stood before, to be put back if it fails, and its thread.
struct Store::Writing {
    struct Was {
        std::shared_ptr<Record> record;
        quint32 dirty;
        bool persisted;
    };
    std::vector<Was> records;
    quint64 number = 0;
    std::thread thread;
    bool ok = false; // these two are the thread's until it is joined
    QString message;
};

// A batch with this many characters of note and calendar text takes the window several milliseconds
// to write (about 13 ms a megabyte); smaller ones are written at once, as the caller waits.
constexpr qsizetype kBackgroundTextSize = 256 * 1024;

void Store::autosaveFired()
{
    if (!m_pending.isEmpty() && !saveInBackground())
        save();
}

bool Store::saveInBackground()
{
    finishWriting();
    if (m_pending.isEmpty() || m_readOnly || m_saveWhole || !m_sinceMovedCheck.isValid() ||
        m_sinceMovedCheck.elapsed() >= m_movedCheckInterval)
        return false;
    // Sized before anything is built: most saves are small, and save() builds their batch itself.
    qsizetype textSize = 0;
    for (const auto& r : std::as_const(m_pending)) {
        if (r->m_live && r->kind() == EntityKind::Thing) {
            const auto& t = static_cast<const Thing&>(*r);
            textSize += t.note().size() + t.calendarText().size();
        }
    }
    if (textSize < kBackgroundTextSize)
        return false;
    std::vector<Record*> records = pendingRecords();
    auto batch = std::make_shared<const Database::Batch>(
        Database::batchOf(records, {m_nextNumber, m_generation + 1}, false));
    m_writing = std::make_unique<Writing>();
    Writing& w = *m_writing;
    w.number = ++m_writings;
    w.records.reserve(records.size());
    for (Record* r : records) {
        w.records.push_back({r->shared_from_this(), r->m_dirty, r->m_persisted});
        r->m_persisted = r->m_live;
        r->m_dirty = 0;
    }
    m_pending.clear();
    ++m_generation;
    // Nothing else touches the database until finishWriting() has joined this thread.
    w.thread = std::thread([this, &w, db = m_db.get(), batch, number = w.number] {
        w.ok = db->write(*batch, &w.message);
        QMetaObject::invokeMethod(
            this,
            [this, number] {
                if (m_writing && m_writing->number == number)
                    finishWriting();
            },
            Qt::QueuedConnection);
    });
    return true;
}

void Store::finishWriting()
{
    if (!m_writing)
        return;
    const std::unique_ptr<Writing> writing = std::move(m_writing);
    writing->thread.join();
    if (writing->ok) {
        Q_EMIT saved();
        return;
    }
    // Changed again meanwhile or not, each record is as unsaved as it was, and more.
    for (const Writing::Was& was : writing->records) {
        was.record->m_dirty |= was.dirty;
        was.record->m_persisted = was.persisted;
        m_pending.insert(was.record->m_id, was.record);
    }
    --m_generation;
    Q_EMIT saveFailed(writing->message);
}

Store::~Store()
{
    // The last changes of a session are not lost because the autosave timer had not fired yet.
    if (hasChanges() && !m_readOnly)
        save();
}

std::unique_ptr<Store> Store::open(const QString& path, QString* error, Mode mode)
{
    // A store in memory has no file to protect, so it is always writable.
    const bool readOnly = mode == Mode::ReadOnly && path != QLatin1String(":memory:");
    std::unique_ptr<Database> db = Database::open(path, readOnly, error);
    if (!db)
        return nullptr;
    std::vector<std::shared_ptr<Record>> records;
    Database::Counters counters;
    if (!db->load(records, counters, error))
        return nullptr;
    std::unique_ptr<Store> store(new Store);
    store->m_path = path;
    store->m_readOnly = readOnly;
    store->m_db = std::move(db);
    store->m_generation = counters.generation;
    store->adoptLoaded(std::move(records), counters.nextNumber);
    return store;
}

void Store::adoptLoaded(std::vector<std::shared_ptr<Record>> records, qint64 nextNumber)
{
    m_nextNumber = nextNumber;
    m_things.reserve(records.size());
    for (auto& r : records) {
        r->m_store = this;
        r->m_live = true;
        r->m_persisted = true;
        switch (r->kind()) {
        case EntityKind::Thing:
            m_things.insert(r->m_id.number, std::static_pointer_cast<Thing>(r));
            break;
        case EntityKind::Pile:
            m_piles.insert(r->m_id.number, std::static_pointer_cast<Pile>(r));
            break;
        case EntityKind::Step:
            m_steps.insert(r->m_id.number, std::static_pointer_cast<Step>(r));
            break;
        }
        link(*r); // records arrive owners first, in insertion order
    }
}

void Store::link(Record& r)
{
    if (r.kind() == EntityKind::Thing) {
        auto& t = static_cast<Thing&>(r);
        if (t.m_pile && t.m_pile->isLive())
            t.m_pile->m_things.push_back(&t);
    } else if (r.kind() == EntityKind::Step) {
        auto& s = static_cast<Step&>(r);
        if (s.m_thing && s.m_thing->isLive())
            s.m_thing->m_steps.push_back(&s);
    }
    if (r.kind() == EntityKind::Thing)
        m_sortedValid = false;
}

void Store::unlink(Record& r)
{
    if (r.kind() == EntityKind::Thing) {
        auto& t = static_cast<Thing&>(r);
        if (t.m_pile)
            std::erase(t.m_pile->m_things, &t);
        m_sortedValid = false;
    } else if (r.kind() == EntityKind::Step) {
        auto& s = static_cast<Step&>(r);
        if (s.m_thing)
            std::erase(s.m_thing->m_steps, &s);
    }
}

void Store::attach(const std::shared_ptr<Record>& r, bool registerUndo)
{
    Q_ASSERT(!r->m_live);
    if (!r->m_id.isValid())
        r->m_id = {r->kind(), m_nextNumber++};
    r->m_store = this;
    r->m_live = true;
    switch (r->kind()) {
    case EntityKind::Thing:
        m_things.insert(r->m_id.number, std::static_pointer_cast<Thing>(r));
        break;
    case EntityKind::Pile:
        m_piles.insert(r->m_id.number, std::static_pointer_cast<Pile>(r));
        break;
    case EntityKind::Step:
        m_steps.insert(r->m_id.number, std::static_pointer_cast<Step>(r));
        break;
    }
    link(*r);
    markPending(*r);
    stampChange(*r, 0);
    if (registerUndo) {
        m_undo.registerUndo([this, r] {
            if (r->m_live)
                remove(r.get());
        });
    }
    noteChange(*r, true, false, 0);
}

Thing* Store::insert(std::shared_ptr<Thing> thing)
{
    Thing* t = thing.get();
    attach(thing, true);
    return t;
}

Pile* Store::insert(std::shared_ptr<Pile> pile)
{
    Pile* p = pile.get();
    attach(pile, true);
    return p;
}

Step* Store::insert(std::shared_ptr<Step> step)
{
    Step* s = step.get();
    attach(step, true);
    return s;
}

void Store::remove(Record* record)
{
    if (!record || !record->m_live || record->m_store != this)
        return;
    std::shared_ptr<Record> keep = record->shared_from_this();

    // Delete rules first, so that undo (which runs in reverse) restores the record before its dependants.
    if (record->kind() == EntityKind::Thing) {
        auto& t = static_cast<Thing&>(*record);
        const std::vector<Step*> steps = t.m_steps;
        for (Step* s : steps)
            remove(s);
    } else if (record->kind() == EntityKind::Pile) {
        auto& p = static_cast<Pile&>(*record);
        const std::vector<Thing*> things = p.m_things;
        for (Thing* t : things)
            t->setPile(nullptr);
    }

    if (record->kind() == EntityKind::Step)
        stampChange(*record, 0);
    unlink(*record);
    record->m_live = false;
    switch (record->kind()) {
    case EntityKind::Thing:
        m_things.remove(record->m_id.number);
        break;
    case EntityKind::Pile:
        m_piles.remove(record->m_id.number);
        break;
    case EntityKind::Step:
        m_steps.remove(record->m_id.number);
        break;
    }
    markPending(*record);
    m_undo.registerUndo([this, keep] {
        if (!keep->m_live)
            attach(keep, true);
    });
    noteChange(*record, false, true, 0);
}

void Store::didChange(Record& record, quint32 field, std::function<void(Record&)> undo)
{
    if (record.m_store != this)
        return;
    record.m_dirty |= field;
    if (record.kind() == EntityKind::Thing && field == ThingSortKey)
        m_sortedValid = false;
    if (!record.m_live)
        return;
    markPending(record);
    m_undo.registerUndo([rec = record.shared_from_this(), undo = std::move(undo)] { undo(*rec); });
    stampChange(record, field);
    noteChange(record, false, false, field);
}

void Store::stampChange(Record& record, quint32 fields)
{
    if (!m_now)
        return;
    Thing* thing = nullptr;
    if (record.kind() == EntityKind::Thing) {
        // Its place among the others, and the calendar text kept with it, are no change of the thing.
        if (fields != 0 && (fields & ~(ThingSortKey | ThingCalendarText)) == 0)
            return;
        thing = static_cast<Thing*>(&record);
    } else if (record.kind() == EntityKind::Step) {
        thing = static_cast<Step&>(record).thing();
    }
    if (!thing || !thing->m_live)
        return;
    // Not an undoable change of its own, nor news: it goes with the change that made it.
    thing->m_changedAt = m_now();
    thing->m_dirty |= ThingChangedAt;
    markPending(*thing);
}

void Store::markPending(Record& record)
{
    m_pending.insert(record.m_id, record.shared_from_this());
    // Counted from the first unsaved change, not put off by every later one: a steady stream of edits
    // would otherwise never be saved until it paused, and a crash would take all of it.
    if (m_autosaveDelay > 0 && !m_readOnly && !m_autosave->isActive())
        m_autosave->start(m_autosaveDelay);
}

void Store::noteChange(const Record& record, bool inserted, bool deleted, quint32 fields)
{
    RecordChange& change = m_batch.entry(record.m_id);
    change.inserted |= inserted;
    change.deleted |= deleted;
    change.fields |= fields;
    Q_EMIT changing(record.m_id);
    if (m_changePosted)
        return;
    m_changePosted = true;
    QMetaObject::invokeMethod(this, &Store::deliverChanges, Qt::QueuedConnection);
}

void Store::deliverChanges()
{
    m_changePosted = false;
    // Taken out first: a subscriber that changes records starts the next batch, not this one.
    StoreChanges batch = std::move(m_batch);
    m_batch = StoreChanges();
    m_batch.m_batch = batch.m_batch + 1;
    Q_EMIT changes(batch);
    Q_EMIT changed();
}

void Store::setAutosaveDelay(int msecs)
{
    m_autosaveDelay = msecs;
    if (msecs <= 0)
        m_autosave->stop();
    else if (hasChanges())
        m_autosave->start(msecs);
}

bool Store::save(QString* error)
{
    m_autosave->stop();
    finishWriting();
    if (m_pending.isEmpty())
        return true;
    if (m_readOnly) {
        if (error)
            *error = QStringLiteral("the store is read-only");
        return false;
    }
    if (!m_sinceMovedCheck.isValid() || m_sinceMovedCheck.elapsed() >= m_movedCheckInterval) {
        m_sinceMovedCheck.start();
        if (m_db->hasMoved() && !reopen(error))
            return false;
    }
    std::vector<Record*> records = pendingRecords();
    QString message;
    if (!m_db->save(records, {m_nextNumber, m_generation + 1}, &message, m_saveWhole)) {
        if (error)
            *error = message;
        Q_EMIT saveFailed(message);
        return false;
    }
    for (Record* r : records) {
        r->m_persisted = r->m_live;
        r->m_dirty = 0;
    }
    m_pending.clear();
    ++m_generation;
    if (m_saveWhole) {
        // What the rescue held is in the store file now; left behind, it would be taken in again.
        m_saveWhole = false;
        QFile::remove(m_rescuePath);
        m_rescuePath.clear();
    }
    Q_EMIT saved();
    return true;
}

std::vector<Record*> Store::pendingRecords() const
{
    std::vector<Record*> records;
    records.reserve(m_pending.size());
    for (const auto& r : std::as_const(m_pending))
        records.push_back(r.get());
    sortForWriting(records);
    return records;
}

void Store::sortForWriting(std::vector<Record*>& records) const
{
    // Owners before dependants keeps every written reference pointing at a row written no later.
    std::sort(records.begin(), records.end(), [](const Record* a, const Record* b) {
        auto rank = [](EntityKind k) { return k == EntityKind::Pile ? 0 : k == EntityKind::Thing ? 1 : 2; };
        return std::pair(rank(a->kind()), a->m_id.number) < std::pair(rank(b->kind()), b->m_id.number);
    });
}

std::vector<Record*> Store::liveRecords() const
{
    std::vector<Record*> records;
    records.reserve(m_piles.size() + m_things.size() + m_steps.size());
    for (const auto& p : m_piles)
        records.push_back(p.get());
    for (const auto& t : m_things)
        records.push_back(t.get());
    for (const auto& st : m_steps)
        records.push_back(st.get());
    sortForWriting(records);
    return records;
}

bool Store::writeRescue(const QString& path, QString* error) const
{
    // Written under another name and renamed, so a rescue file is always whole.
    const QString temp = path + QStringLiteral(".partial");
    for (const QString& leftover :
         QStringList{temp, temp + QStringLiteral("-wal"), temp + QStringLiteral("-shm")})
        QFile::remove(leftover);
    QDir().mkpath(QFileInfo(path).absolutePath());
    {
        std::unique_ptr<Database> db = Database::open(temp, false, error);
        // The rescue carries the generation it follows: once the store file has taken another save,
        // the rescue is out of date.
        if (!db || !db->save(liveRecords(), {m_nextNumber, m_generation}, error, true)) {
            db.reset();
            QFile::remove(temp);
            return false;
        }
    } // closing folds the write-ahead log into the file
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = QStringLiteral("can't put %1 in place: %2")
                         .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        QFile::remove(temp);
        return false;
    }
    return true;
}

bool Store::adoptRescue(const QString& path, QString* error)
{
    const QFileInfo rescue(path);
    if (m_path == QLatin1String(":memory:") || !rescue.isFile())
        return false;
    std::unique_ptr<Database> db = Database::open(path, true, error);
    std::vector<std::shared_ptr<Record>> records;
    Database::Counters counters;
    if (!db || !db->load(records, counters, error))
        return false;
    // A rescue follows the save it was written after; a store that took a save since (the rescue written
    // back, or later work) has moved past it.
    if (counters.generation != m_generation) {
        db.reset();
        if (!m_readOnly)
            QFile::remove(path);
        return false;
    }
    m_things.clear();
    m_piles.clear();
    m_steps.clear();
    m_pending.clear();
    m_sortedValid = false;
    adoptLoaded(std::move(records), std::max(counters.nextNumber, m_nextNumber));
    m_rescuePath = path;
    if (m_readOnly)
        return true;
    m_saveWhole = true;
    for (Record* r : liveRecords())
        markPending(*r);
    return true;
}

bool Store::reopen(QString* error)
{
    // The folder or the file went away under us: saving on would write into a file nobody can open
    // again, so start a new one at the same place and write everything we hold into it.
    QString message;
    std::unique_ptr<Database> db = Database::open(m_path, false, &message);
    if (!db) {
        if (error)
            *error = message;
        Q_EMIT saveFailed(message);
        return false;
    }
    m_db = std::move(db);
    m_pending.removeIf([](const std::pair<const RecordId&, std::shared_ptr<Record>&>& entry) {
        if (entry.second->m_live)
            return false;
        entry.second->m_persisted = false; // nothing to delete in the new file
        return true;
    });
    auto rewrite = [this](const auto& records) {
        for (const auto& r : records) {
            r->m_persisted = false;
            m_pending.insert(r->m_id, r);
        }
    };
    rewrite(m_piles);
    rewrite(m_things);
    rewrite(m_steps);
    return true;
}

Record* Store::record(RecordId id) const
{
    switch (id.kind) {
    case EntityKind::Thing:
        return thing(id);
    case EntityKind::Pile:
        return pile(id);
    case EntityKind::Step:
        return step(id);
    }
    return nullptr;
}

Thing* Store::thing(RecordId id) const
{
    return id.kind == EntityKind::Thing ? m_things.value(id.number).get() : nullptr;
}

Pile* Store::pile(RecordId id) const
{
    return id.kind == EntityKind::Pile ? m_piles.value(id.number).get() : nullptr;
}

Step* Store::step(RecordId id) const
{
    return id.kind == EntityKind::Step ? m_steps.value(id.number).get() : nullptr;
}

const std::vector<Thing*>& Store::thingsBySortKey() const
{
    if (!m_sortedValid) {
        m_sorted.clear();
        m_sorted.reserve(m_things.size());
        for (const auto& t : m_things)
            m_sorted.push_back(t.get());
        std::sort(m_sorted.begin(), m_sorted.end(), [](const Thing* a, const Thing* b) {
            if (a->sortKey() != b->sortKey())
                return a->sortKey() < b->sortKey();
            return a->id().number < b->id().number;
        });
        m_sortedValid = true;
    }
    return m_sorted;
}

std::vector<Pile*> Store::pilesBySortKey() const
{
    std::vector<Pile*> out;
    out.reserve(m_piles.size());
    for (const auto& p : m_piles)
        out.push_back(p.get());
    std::sort(out.begin(), out.end(), [](const Pile* a, const Pile* b) {
        if (a->sortKey() != b->sortKey())
            return a->sortKey() < b->sortKey();
        return a->id().number < b->id().number;
    });
    return out;
}

} // namespace vorn
