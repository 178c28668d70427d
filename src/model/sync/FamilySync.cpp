#include "model/sync/FamilySync.h"

#include "family/FamilyConstants.h"
#include "model/Clock.h"
#include "model/Constants.h"
#include "model/KeyNames.h"
#include "model/Logging.h"
#include "model/Schedule.h"
#include "model/Settings.h"
#include "model/Timers.h"
#include "store/Store.h"
#include "text/TitleText.h"

#include <QCoreApplication>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace vorn {

namespace {

// The day our last mirror gave our rows in Today: in a later run, a row still carrying it is ours, not
// the planner's, whatever the day is by then or wherever the user is.
constexpr QLatin1StringView kMirroredDayKey{"sync.mirroredDay"};
// How far the rows of ours in which file were compared by earlier runs: {"file": path, "upTo": updated_at}.
constexpr QLatin1StringView kOwnRowsReadKey{"sync.ownRowsRead"};

// The file shows our thing otherwise than we would write it: a blank title or a day we didn't take,
// steps we couldn't read.
bool fileDiffers(const SharedThing& ours, const SharedThing& row)
{
    return row.stepsUnreadable || ours.title != row.title || ours.day != row.day || ours.done != row.done ||
           ours.steps != row.steps || ours.note != row.note || ours.noteID != row.noteID;
}

// What a row holds, in a number: a writer that changes a row without moving its updated_at (sqlite3 by
// hand, a careless program) still gets its change compared.
size_t rowDigest(const SharedThing& row)
{
    size_t seed = qHashMulti(0, row.title, row.done, row.day.value_or(QString()), row.day.has_value(), row.zs,
                             row.note, row.noteID.value_or(QString()), row.noteID.has_value(),
                             row.link.value_or(QString()), row.stepsUnreadable);
    for (const SharedStep& step : row.steps)
        seed = qHashMulti(seed, step.title, step.done);
    return seed;
}

} // namespace

FamilySync::FamilySync(Init init, Store& local, const Schedule& schedule, const Clock& clock,
                       Settings& settings, Timers& timers, SyncHost& host, QObject* parent)
    : QObject(parent), m_local(local), m_schedule(schedule), m_clock(clock), m_settings(settings),
      m_host(host), m_syncsToFamily(init.link.syncsToFamily), m_readOnly(init.readOnly),
      m_family(std::move(init.link.familyStore)), m_notifier(std::move(init.link.notifier)),
      m_notes(std::move(init.notes)), m_debounceMSecs(init.debounceMSecs)
{
    const QVariantMap order = m_settings.mapValue(kOrderOtherAppsKey);
    for (auto it = order.cbegin(); it != order.cend(); ++it) {
        if (auto n = Settings::number(it.value()))
            m_externalOrder.insert(it.key(), *n);
    }
    m_mirroredDay = m_settings.stringValue(kMirroredDayKey);
    // Another file (the planner's moved, or another family) has rows we never compared, however old.
    const QVariantMap read = m_settings.mapValue(kOwnRowsReadKey);
    const std::optional<double> upTo = Settings::number(read.value(QStringLiteral("upTo")));
    if (m_family && upTo && read.value(QStringLiteral("file")).toString() == m_family->path()) {
        m_ownRowsReadUpTo = m_savedOwnRowsReadUpTo = *upTo;
        m_startSkipsUpTo = *upTo;
    }
    m_seenNow = m_clock.now();
    // A burst of changes makes one mirror, a moment after the last of them.
    m_debounce = timers.make(QStringLiteral("sync"), false, [this] { mirror(); });
    m_retry = std::make_unique<RetryBackoff>(timers, QStringLiteral("sync retry"), init.retryMSecs,
                                             init.retryMaxMSecs, [this] { mirror(); });
    if (m_notifier)
        connect(m_notifier.get(), &FamilyNotifier::changed, this, &FamilySync::noticed);
    // The index by sync ID holds until a thing comes or goes; the edits a read takes in change neither
    // (the deletions it carries out drop the index themselves).
    connect(&m_local, &Store::changing, this, [this](RecordId id) {
        if (id.kind == EntityKind::Thing && !m_adopting)
            m_bySyncID.reset();
    });
    if (!m_syncsToFamily || m_readOnly)
        return;
    // Every change of our records reaches the file, however it was made: an operation, undo, redo,
    // a paste. The feed's early word is enough here, since a mirror writes every thing anyway.
    connect(&m_local, &Store::changing, this, &FamilySync::localChanging);
    // The file may lag behind what an earlier run left in the store: one mirror at start.
    FamilySync::schedule();
}

void FamilySync::localChanging(RecordId id)
{
    // A list's own fields are in no family row; what a list's deletion does to its things comes as
    // changes of the things.
    if (m_adopting || id.kind == EntityKind::Pile)
        return;
    schedule();
}

void FamilySync::timeMoved(const QDateTime& now)
{
    const QDateTime since = std::exchange(m_seenNow, now);
    if (!m_syncsToFamily || m_readOnly)
        return;
    if (!m_schedule.isSameDay(since, now) || m_host.anyThingWoke(since))
        schedule();
}

FamilySync::~FamilySync() = default;

QString FamilySync::today() const
{
    return m_schedule.dayText(m_clock.now());
}

void FamilySync::replaceRows(std::vector<SharedThing> rows)
{
    if (rows == m_rows)
        return;
    m_rows = std::move(rows);
    Q_EMIT rowsChanged();
}

void FamilySync::placeRows(const std::vector<std::pair<QString, double>>& places)
{
    setPlaces(std::vector<RowPlace>(places.begin(), places.end()));
}

void FamilySync::setPlaces(const std::vector<RowPlace>& places)
{
    std::vector<RowPlace> before;
    for (const auto& [id, key] : places) {
        const auto it = m_externalOrder.constFind(id);
        const std::optional<double> was = it == m_externalOrder.cend() ? std::nullopt : std::optional(*it);
        if (was == key)
            continue;
        before.emplace_back(id, was);
        if (key)
            m_externalOrder.insert(id, *key);
        else
            m_externalOrder.remove(id);
    }
    // Writing the settings file costs a disk flush, so only when family rows actually moved.
    if (before.empty())
        return;
    // The planner's rows move in the same undo step as ours: one undo puts every row back.
    m_local.undoManager().registerUndo([this, before] { setPlaces(before); });
    saveExternalOrder();
}

void FamilySync::saveExternalOrder()
{
    QVariantMap stored;
    for (auto it = m_externalOrder.cbegin(); it != m_externalOrder.cend(); ++it)
        stored.insert(it.key(), it.value());
    m_settings.setValue(kOrderOtherAppsKey, stored);
    Q_EMIT externalOrderChanged();
}

void FamilySync::schedule()
{
    if (!m_syncsToFamily) {
        qCDebug(lcSync, "sync off (syncsToFamily=false)");
        return;
    }
    if (m_readOnly)
        return;
    m_pending = true;
    m_debounce->start(m_debounceMSecs);
}

void FamilySync::flush()
{
    if ((m_pending || m_debounce->isActive()) && !m_readOnly) {
        m_debounce->stop();
        if (m_comparing)
            compareSome(QDeadlineTimer(QDeadlineTimer::Forever));
        if (m_pending)
            mirror(); // unless the end of the comparison just did
    }
    // Kept for the next start, which then reads only the rows written since.
    if (!m_readOnly && m_family && m_ownRowsReadUpTo > m_savedOwnRowsReadUpTo) {
        m_settings.setValue(kOwnRowsReadKey, QVariantMap{{QStringLiteral("file"), m_family->path()},
                                                         {QStringLiteral("upTo"), m_ownRowsReadUpTo}});
        m_savedOwnRowsReadUpTo = m_ownRowsReadUpTo;
    }
    if (m_mirrorsInFlight == 0 || !m_family)
        return;
    // Wait for the queue, then hand out the news of every finished mirror now rather than a turn later.
    m_family->drain();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void FamilySync::mirror()
{
    // Rows of ours the planner may have edited are still being compared: a mirror now would write our
    // things over edits not taken in yet. It runs once they are.
    if (m_comparing) {
        m_pending = true;
        m_mirrorWaits = true;
        return;
    }
    m_pending = false;
    if (!m_family || !m_family->isOpen())
        return;
    const std::vector<Thing*>& things = m_local.thingsBySortKey();
    std::vector<SharedThing> rows;
    rows.reserve(things.size());
    // One clock reading for the whole mirror: the day can't differ between rows, and it is cheaper.
    const QString day = today();
    const double updatedAt = double(m_clock.now().toMSecsSinceEpoch()) / 1000.0;
    for (const Thing* t : things)
        rows.push_back(m_host.sharedRow(*t, day, updatedAt));
    m_baseline.mirrored(rows);
    const size_t count = rows.size();
    // The writes run on the family store's queue while the window goes on; with thousands of things
    // waiting for them would freeze every key press that lands in the meantime. Unchanged rows are
    // skipped there, and our rows without a thing here (deleted or purged) become our tombstones.
    ++m_mirrorsInFlight;
    m_family->mirrorAsync(std::move(rows), kTodoApp, this,
                          [this, count, day](bool written) { mirrorWritten(count, written, day); });
}

void FamilySync::mirrorWritten(size_t count, bool written, const QString& day)
{
    --m_mirrorsInFlight;
    m_unwritten = !written;
    if (!written) {
        // Nothing of it reached the file; our things are safe here, so try again later, waiting longer
        // each time the file still fails. An edit meanwhile mirrors sooner, as usual.
        qCWarning(lcSync, "couldn't mirror %ld things into the family file; trying again later", long(count));
        m_pending = true;
        m_retry->failed();
        return;
    }
    m_retry->succeeded();
    // Once a day is enough: every row of ours in Today carries the day of the mirror that wrote it.
    if (m_mirroredDay != day) {
        m_mirroredDay = day;
        m_settings.setValue(kMirroredDayKey, day);
    }
    qCDebug(lcSync, "mirrored %ld things", long(count));
    m_ownChangePending = true;
    if (m_notifier)
        m_notifier->post();
    Q_EMIT mirrored();
}

void FamilySync::noticed()
{
    // Broadcasts that come while a read is waiting, or while one runs (they queue behind it), are
    // answered by one read: a planner writing steadily would otherwise queue a whole read per write,
    // and the window would fall ever further behind.
    ++m_noticed;
    if (m_noticed > 1)
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            int broadcasts = std::exchange(m_noticed, 0);
            // One of them may be our own echo; any other one is news.
            if (std::exchange(m_ownChangePending, false))
                --broadcasts;
            if (broadcasts > 0)
                refreshInBackground();
        },
        Qt::QueuedConnection);
}

void FamilySync::didChange()
{
    const bool own = m_ownChangePending;
    m_ownChangePending = false;
    if (!own)
        refresh();
}

bool FamilySync::canRead() const
{
    if (!m_syncsToFamily) {
        qCDebug(lcSync, "refresh skipped (sync off)");
        return false;
    }
    return m_family != nullptr;
}

std::function<bool(const SharedThing&)> FamilySync::changedSinceSeen() const
{
    // A row of ours that holds what we compared last time has nothing new: at 100,000 things only the few
    // the planner touched are looked at. updated_at alone could miss a second write in the same
    // millisecond, or one by a writer that doesn't move it. The copy is shared until one side writes.
    return [seen = m_seen](const SharedThing& row) {
        const auto it = seen.constFind(row.id);
        return it == seen.cend() || it->updatedAt != row.updatedAt || it->digest != rowDigest(row);
    };
}

void FamilySync::refresh()
{
    if (!canRead())
        return;
    ++m_readGeneration; // a read still on its way saw the file before this one
    // Read in a statement of its own, so the snapshot is gone before applyRead() writes to the original.
    // The first read leaves out the rows of ours an earlier run compared, which nobody wrote since as a
    // write moves updated_at to the writer's now; every later read takes them all in again (against what
    // this run has seen), so even an edit made under a clock set back is taken in a moment later.
    const double skipUpTo = std::exchange(m_startSkipsUpTo, kEveryOwnRow);
    m_wholeReadDue = skipUpTo != kEveryOwnRow;
    FamilyRead read = m_family->read(kTodoApp, changedSinceSeen(), skipUpTo);
    applyRead(std::move(read));
}

void FamilySync::refreshInBackground()
{
    if (!canRead())
        return;
    // Broadcasts during a read make one more read after it, never a queue of them.
    if (m_reading) {
        m_readAgain = true;
        return;
    }
    m_reading = true;
    m_wholeReadDue = false;
    const quint64 generation = ++m_readGeneration;
    m_family->readAsync(kTodoApp, changedSinceSeen(), this, [this, generation](FamilyRead read) {
        m_reading = false;
        // A read made meanwhile (ours, right after an edit) saw the file later than this one did.
        if (generation == m_readGeneration)
            applyRead(std::move(read), true);
        if (std::exchange(m_readAgain, false))
            refreshInBackground();
    });
}

void FamilySync::readWholeIfDue()
{
    if (m_wholeReadDue)
        refreshInBackground();
}

const QHash<QString, Thing*>& FamilySync::thingsBySyncID()
{
    if (!m_bySyncID) {
        m_bySyncID.emplace();
        for (Thing* t : m_local.thingsBySortKey()) {
            if (!m_bySyncID->contains(t->syncID()))
                m_bySyncID->insert(t->syncID(), t);
        }
    }
    return *m_bySyncID;
}

void FamilySync::applyRead(FamilyRead read, bool inTurns)
{
    // What we take from the file is in the file already: no mirror for it, unless we keep something of
    // ours the file lacks (then scheduled on purpose in adoptEdits).
    {
        const QScopedValueRollback adopting(m_adopting, true);
        if (!m_readOnly)
            applyDeletes(read.deletedByOthers);
        qCDebug(lcSync, "refreshFromFamily: %ld other-app things, %ld of ours changed",
                long(read.others.size()), long(read.ownChanged.size()));
        replaceRows(std::move(read.others));
    }

    m_lastOwnRowsCompared = 0;
    // What an older read still had to compare is this one's to compare now (it isn't seen yet).
    m_comparing.reset();
    // After a failed mirror the file still holds what our things were before it, which the baseline
    // would take for the planner's edits: ours wait for the next mirror to land first.
    if (!m_unwritten) {
        m_comparing = Comparing{std::move(read.ownChanged), 0, read.open ? read.ownLatest : 0};
        compareSome(inTurns ? QDeadlineTimer(kCompareTurnMSecs) : QDeadlineTimer(QDeadlineTimer::Forever));
    }

    // A row that went away keeps no place; with the file unreadable we can't tell, so nothing goes.
    if (read.open && !m_readOnly) {
        QSet<QString> known;
        for (const SharedThing& row : m_rows)
            known.insert(row.id);
        const qsizetype before = m_externalOrder.size();
        m_externalOrder.removeIf([&](const auto& entry) { return !known.contains(entry.key()); });
        if (m_externalOrder.size() != before)
            saveExternalOrder();
    }
    m_host.familyRowsRead();
}

void FamilySync::compareSome(QDeadlineTimer until)
{
    Comparing& c = *m_comparing;
    {
        const QScopedValueRollback adopting(m_adopting, true);
        // Adopting edits changes no thing's sync ID, so the index holds; a shallow copy all the same.
        const QHash<QString, Thing*> bySyncID = thingsBySyncID();
        // The planner's edits are not something the user did here, so undo shouldn't take them back.
        UndoRegistrationPause pause(m_local.undoManager());
        const QString day = today();
        for (int n = 0; c.next < c.rows.size(); ++c.next, ++n) {
            // The clock is read every few rows: a row is a few microseconds.
            if (n % 64 == 63 && until.hasExpired())
                break;
            // Each row goes once compared, so freeing 100,000 of them is spread over the turns too.
            const SharedThing row = std::move(c.rows[c.next]);
            Thing* thing = bySyncID.value(row.id);
            if (!thing)
                continue;
            // Our own day from an earlier run is no edit: not a day that has passed since, nor one
            // that is still to come where the user is now.
            if (!m_baseline.knows(row.id) && row.day && row.day == m_mirroredDay && m_host.isInToday(*thing))
                m_baseline.ownDay(m_host.sharedRow(*thing, day, 0), row);
            // Only a row that says what our thing says is settled; one our next mirror writes over is
            // compared again however it comes back (the same odd value a second time is news too).
            if (adoptEdits(row, *thing, day))
                m_seen.insert(row.id, {row.updatedAt, rowDigest(row)});
            else
                m_seen.remove(row.id);
            ++m_lastOwnRowsCompared;
        }
    }
    if (c.next < c.rows.size()) {
        // Thousands of rows (every one of ours, after a start) are compared a few milliseconds a turn,
        // so a key press never waits for them.
        QTimer::singleShot(0, this, [this] {
            if (m_comparing)
                compareSome(QDeadlineTimer(kCompareTurnMSecs));
        });
        return;
    }
    // Every row of ours up to the latest this read saw is compared now (or was before).
    m_ownRowsReadUpTo = std::max(m_ownRowsReadUpTo, c.ownLatest);
    m_comparing.reset();
    if (std::exchange(m_mirrorWaits, false))
        mirror();
}

bool FamilySync::adoptEdits(const SharedThing& row, Thing& thing, const QString& day)
{
    // A field changed here and not mirrored yet is ours to write; the planner's edits of the other
    // fields are taken. So a tick waiting for its mirror is never undone by a refresh, and one pending
    // change doesn't hold back the planner's edits of anything else.
    const SyncBaseline::RowFields pending = m_baseline.localChanges(m_host.sharedRow(thing, day, 0));
    if (!(pending & SyncBaseline::Done) && thing.isDone() != row.done) {
        if (row.done) {
            thing.setDoneAt(m_clock.now());
            m_host.linger({thing.id()}, true); // in view like a thing ticked by hand
        } else {
            thing.setDoneAt(std::nullopt);
        }
    }
    if (!(pending & SyncBaseline::Day))
        adoptDay(row, thing);
    if (!(pending & SyncBaseline::Title))
        adoptTitle(row, thing);
    if (row.stepsUnreadable)
        qCWarning(lcSync, "the steps of %s in the family file can't be read; ours stay",
                  qPrintable(thing.syncID()));
    adoptNoteAndSteps(row, thing, !(pending & SyncBaseline::Note),
                      !(pending & SyncBaseline::Steps) && !row.stepsUnreadable);
    const SharedThing ours = m_host.sharedRow(thing, day, 0);
    m_baseline.agree(ours, pending, row);
    // What we didn't take stays ours: the next mirror puts it back where the planner reads it.
    const bool differs = fileDiffers(ours, row);
    if (!m_pending && differs)
        schedule();
    return !differs;
}

void FamilySync::adoptDay(const SharedThing& row, Thing& thing)
{
    if (!row.day || thing.isDone() || thing.pile())
        return;
    // Only a day the planner set since we last wrote or read the row: ours from before midnight is no
    // edit, and a past day moves the thing to the end of Today once, not at every read.
    if (!m_baseline.dayIsNews(row))
        return;
    const std::optional<QDateTime> start = m_schedule.isoDay(*row.day);
    if (!start) {
        // Taken for a past day it would un-snooze the thing and lose its wake date.
        qCWarning(lcSync, "planner gave %s the day \"%s\", which isn't one; ignored",
                  qPrintable(thing.syncID()), qPrintable(*row.day));
        return;
    }
    // Compared as dates: as text, 2026-3-1 would come after 2026-03-10.
    const QDateTime today = m_schedule.startOfDay(m_clock.now());
    if (*start > today) {
        thing.setSnoozedUntil(*start);
        m_host.linger({thing.id()}, false);
        qCDebug(lcSync, "planner moved %s to %s", qPrintable(thing.syncID()), qPrintable(*row.day));
    } else if (*start == today && m_host.isInToday(thing)) {
        return;
    } else {
        m_host.moveToEndOfToday(thing);
        qCDebug(lcSync, "planner moved %s to today", qPrintable(thing.syncID()));
    }
    schedule();
}

void FamilySync::adoptTitle(const SharedThing& row, Thing& thing)
{
    // The planner may write any title; ours stays one line, and one too long for us is not taken.
    const TitleInput title = titleInput(row.title);
    if (!title.ok() || title.text == thing.title())
        return;
    thing.setTitle(title.text);
    qCDebug(lcSync, "planner renamed %s", qPrintable(thing.syncID()));
    schedule();
}

void FamilySync::adoptNoteAndSteps(const SharedThing& row, Thing& thing, bool note, bool steps)
{
    bool noteChanged = false;
    if (note && (row.noteID != thing.noteID() || row.note != thing.note())) {
        thing.setNoteID(row.noteID);
        thing.setNote(row.note);
        noteChanged = true;
    }

    const std::vector<Step*> local = thing.orderedSteps();
    std::vector<SharedStep> localShared;
    for (const Step* s : local)
        localShared.push_back({s->title(), s->isDone()});
    if (!steps || localShared == row.steps) {
        if (!noteChanged)
            return;
    } else {
        const QDateTime now = m_clock.now();
        const double lastKey = local.empty() ? 0 : local.back()->sortKey();
        for (size_t i = 0; i < row.steps.size(); ++i) {
            const SharedStep& remote = row.steps[i];
            if (i < local.size()) {
                Step* step = local[i];
                step->setTitle(remote.title);
                if (step->isDone() != remote.done)
                    step->setDoneAt(remote.done ? std::optional<QDateTime>(now) : std::nullopt);
                continue;
            }
            auto fresh = Step::make(remote.title, &thing, now);
            fresh->setSortKey(lastKey + double(i - local.size() + 1));
            if (remote.done)
                fresh->setDoneAt(now);
            m_local.insert(std::move(fresh));
        }
        for (size_t i = row.steps.size(); i < local.size(); ++i)
            m_local.remove(local[i]);
    }
    m_local.save(); // a failed save is retried by the next one
    schedule();
}

void FamilySync::applyDeletes(const std::vector<QString>& ids)
{
    if (ids.empty())
        return;
    const QHash<QString, Thing*> bySyncID = thingsBySyncID();
    int deleted = 0;
    {
        // One undo brings back everything the planner deleted in this go.
        UndoGroup group(m_local.undoManager());
        for (const QString& id : ids) {
            if (Thing* thing = bySyncID.value(id)) {
                m_host.forget(*thing);
                m_local.remove(thing);
                ++deleted;
            }
            m_family->acknowledgeDelete(id);
        }
    }
    if (deleted == 0)
        return;
    m_bySyncID.reset();
    m_local.save();
    const QString count =
        deleted == 1 ? QStringLiteral("Deleted") : QString::number(deleted) + QStringLiteral(" deleted");
    m_host.showToast(count + QStringLiteral(" in Vorn Planner. ") + undoHint());
}

void FamilySync::finishEdit()
{
    // Our own echo is skipped when it comes back; reading now shows the result at once.
    m_ownChangePending = true;
    if (m_notifier)
        m_notifier->post();
    refresh();
}

void FamilySync::setDone(const std::vector<SharedThing>& rows, bool done)
{
    if (rows.empty())
        return;
    for (const SharedThing& row : rows) {
        if (m_family)
            m_family->setDone(row.id, done);
    }
    finishEdit();
}

void FamilySync::markDeleted(const std::vector<SharedThing>& rows)
{
    if (rows.empty() || !m_syncsToFamily)
        return;
    // The planner applies our tombstone to its own row and acknowledges it.
    for (const SharedThing& row : rows) {
        if (m_family)
            m_family->markDeleted(row.id, QString(kTodoApp));
    }
    finishEdit();
}

void FamilySync::rename(const SharedThing& row, const QString& title)
{
    if (!m_syncsToFamily || !m_family)
        return;
    const TitleInput clean = titleInput(title);
    if (clean.problem == TitleInput::Problem::tooLong)
        m_host.showToast(titleTooLongMessage());
    // Given back as the editor showed it, the planner's title is left as the planner wrote it.
    if (!clean.ok() || clean.text == row.title || clean.text == editableTitle(row.title))
        return;
    m_family->setTitle(row.id, clean.text);
    finishEdit();
}

void FamilySync::saveNote(const QString& id, const std::optional<QByteArray>& rtf, const QString& plain)
{
    if (!m_syncsToFamily || !m_family)
        return;
    const auto row =
        std::find_if(m_rows.begin(), m_rows.end(), [&](const SharedThing& s) { return s.id == id; });
    if (row == m_rows.end())
        return;
    const QString text = plain.trimmed();
    const std::optional<QString> current = row->noteID;
    const NoteOwner owner = NoteOwner::shared(id);
    // As for our own notes: the row follows only a file that took the text; until then the planner keeps
    // its note id and its file, and what was typed waits to be written.
    std::optional<QString> stem;
    if (!text.isEmpty() && rtf && m_notes) {
        // A note id we can't use as a file name, or whose file is a link, a folder or another's, is
        // replaced by one of ours, never followed.
        const QString candidate = m_notes->stemFor(owner, current);
        if (!m_notes->write(owner, candidate, *rtf, text, row->note))
            return;
        stem = candidate;
    } else if (m_notes) {
        m_notes->forget(owner);
        if (m_notes->folder().canUse(current))
            m_notes->folder().remove(*current);
    }
    m_family->setNote(id, stem, text);
    finishEdit();
}

void FamilySync::noteLanded(const PendingNote& note)
{
    if (!m_syncsToFamily || !m_family)
        return;
    if (std::none_of(m_rows.begin(), m_rows.end(),
                     [&](const SharedThing& s) { return s.id == note.owner.id; }))
        return;
    m_family->setNote(note.owner.id, note.stem, note.plain);
    finishEdit();
}

NoteContent FamilySync::noteContent(const QString& id) const
{
    const auto row =
        std::find_if(m_rows.begin(), m_rows.end(), [&](const SharedThing& s) { return s.id == id; });
    if (row == m_rows.end())
        return {};
    if (!m_notes)
        return {std::nullopt, row->note};
    return m_notes->content(NoteOwner::shared(id), row->noteID, row->note);
}

} // namespace vorn
