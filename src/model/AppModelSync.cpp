#include "model/AppModel.h"
#include "model/KeyNames.h"

#include "family/FamilyConstants.h"
#include "family/NoteFiles.h"
#include "model/Constants.h"
#include "model/Logging.h"
#include "model/SyncBaseline.h"

#include <QCoreApplication>
#include <QFile>
#include <QUuid>

namespace vorn {

void AppModel::scheduleSync()
{
    if (!m_syncsToFamily) {
        qCDebug(lcSync, "sync off (syncsToFamily=false)");
        return;
    }
    if (m_readOnly)
        return;
    m_syncPending = true;
    if (!m_syncTimer) {
        // A burst of changes makes one mirror, a moment after the last of them.
        m_syncTimer = new QTimer(this);
        m_syncTimer->setSingleShot(true);
        connect(m_syncTimer, &QTimer::timeout, this, [this] { syncAll(); });
    }
    m_syncTimer->start(m_intervals.syncDebounceMSecs);
}

void AppModel::flushSync()
{
    const bool scheduled = m_syncTimer && m_syncTimer->isActive();
    if (!(m_syncPending || scheduled) || m_readOnly) {
        finishMirrors();
        return;
    }
    if (m_syncTimer)
        m_syncTimer->stop();
    syncAll();
    finishMirrors();
}

void AppModel::finishMirrors()
{
    if (m_mirrorsInFlight == 0 || !m_familyStore)
        return;
    // Wait for the queue, then hand out the news of every finished mirror now rather than a turn later.
    m_familyStore->drain();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

SharedThing AppModel::sharedThing(const Thing& thing, const QString& today, double updatedAt) const
{
    SharedThing s;
    s.id = thing.syncID();
    s.title = thing.title();
    s.done = thing.isDone();
    if (source(thing) == Source::today)
        s.day = today;
    s.zs = thing.zCount();
    for (const Step* step : thing.orderedSteps())
        s.steps.push_back({step->title(), step->isDone()});
    s.note = thing.note();
    s.noteID = thing.noteID();
    s.sourceApp = kTodoApp;
    s.updatedAt = updatedAt;
    return s;
}

void AppModel::syncAll()
{
    m_syncPending = false;
    if (!m_familyStore || !m_familyStore->isOpen())
        return;
    const std::vector<Thing*> things = allThings();
    std::vector<SharedThing> rows;
    rows.reserve(things.size());
    // One clock reading for the whole mirror: the day can't differ between rows, and it is cheaper.
    const QString today = todayISO();
    const double updatedAt = double(m_clock->now().toMSecsSinceEpoch()) / 1000.0;
    for (const Thing* t : things)
        rows.push_back(sharedThing(*t, today, updatedAt));
    m_baseline.mirrored(rows);
    const size_t count = rows.size();
    // The writes run on the family store's queue while the window goes on; with thousands of things
    // waiting for them would freeze every key press that lands in the meantime. Unchanged rows are
    // skipped there, and our rows without a thing here (deleted or purged) become our tombstones.
    ++m_mirrorsInFlight;
    m_familyStore->mirrorAsync(std::move(rows), kTodoApp, this, [this, count] { mirrorWritten(count); });
}

void AppModel::mirrorWritten(size_t count)
{
    --m_mirrorsInFlight;
    qCDebug(lcSync, "mirrored %ld things", long(count));
    m_ownChangePending = true;
    if (m_notifier)
        m_notifier->post();
    Q_EMIT mirrored();
}

void AppModel::familyDidChange()
{
    const bool own = m_ownChangePending;
    m_ownChangePending = false;
    if (!own)
        refreshFromFamily();
}

void AppModel::refreshFromFamily()
{
    if (!m_syncsToFamily) {
        qCDebug(lcSync, "refresh skipped (sync off)");
        return;
    }
    if (!m_familyStore)
        return;
    if (!m_readOnly)
        applyDeletesFromFamily();

    const std::vector<SharedThing> rows = m_familyStore->allThings();
    std::vector<SharedThing> family;
    for (const SharedThing& row : rows) {
        if (row.sourceApp != kTodoApp)
            family.push_back(row);
    }
    qCDebug(lcSync, "refreshFromFamily: %ld total, %ld other-app things", long(rows.size()),
            long(family.size()));
    replaceFamilyThings(std::move(family));

    // A family row that went away can't linger.
    QSet<QString> known;
    for (const SharedThing& row : m_familyThings)
        known.insert(row.id);
    QSet<QString> lingeringShared = m_lingeringShared;
    lingeringShared.intersect(known);
    if (lingeringShared != m_lingeringShared) {
        m_lingeringShared = std::move(lingeringShared);
        Q_EMIT changed(Field::lingeringShared);
    }

    QHash<QString, Thing*> bySyncID;
    for (Thing* t : allThings()) {
        if (!bySyncID.contains(t->syncID()))
            bySyncID.insert(t->syncID(), t);
    }
    {
        // The planner's edits are not something the user did here, so undo shouldn't take them back.
        UndoRegistrationPause pause(m_store->undoManager());
        const QString today = todayISO();
        for (const SharedThing& row : rows) {
            if (row.sourceApp != kTodoApp)
                continue;
            if (Thing* thing = bySyncID.value(row.id))
                adoptEdits(row, *thing, today);
        }
    }

    if (m_familyStore->isOpen() && !m_readOnly) {
        bool dropped = false;
        for (auto it = m_externalOrder.begin(); it != m_externalOrder.end();) {
            if (known.contains(it.key())) {
                ++it;
            } else {
                it = m_externalOrder.erase(it);
                dropped = true;
            }
        }
        if (dropped) {
            QVariantMap stored;
            for (auto it = m_externalOrder.cbegin(); it != m_externalOrder.cend(); ++it)
                stored.insert(it.key(), it.value());
            m_defaults->setValue(kOrderOtherAppsKey, stored);
            Q_EMIT changed(Field::externalOrder);
        }
    }
    pruneSelection();
}

void AppModel::adoptEdits(const SharedThing& row, Thing& thing, const QString& today)
{
    // A field changed here and not mirrored yet is ours to write; the planner's edits of the other
    // fields are taken. So a tick waiting for its mirror is never undone by a refresh, and one pending
    // change doesn't hold back the planner's edits of anything else.
    const SyncBaseline::Fields pending = m_baseline.localChanges(sharedThing(thing, today, 0));
    if (!(pending & SyncBaseline::Done) && thing.isDone() != row.done) {
        if (row.done) {
            thing.setDoneAt(m_clock->now());
            if (!m_lingering.contains(thing.id())) {
                m_lingering.insert(thing.id());
                Q_EMIT changed(Field::lingering);
            }
        } else {
            thing.setDoneAt(std::nullopt);
        }
    }
    if (!(pending & SyncBaseline::Day))
        applyDayFromFamily(row, thing);
    if (!(pending & SyncBaseline::Title))
        applyTitleFromFamily(row, thing);
    applyNoteAndStepsFromFamily(row, thing, !(pending & SyncBaseline::Note),
                                !(pending & SyncBaseline::Steps));
    m_baseline.agree(sharedThing(thing, today, 0), pending);
}

void AppModel::applyDayFromFamily(const SharedThing& row, Thing& thing)
{
    if (!row.day || thing.isDone() || thing.pile())
        return;
    const QString today = todayISO();
    // Today already shows a thing planned for today or an earlier day; moving it would only lose the
    // user's order (a row still carrying yesterday's day after midnight is our own, not news).
    if (source(thing) == Source::today && !(today < *row.day))
        return;
    if (today < *row.day) {
        const std::optional<QDateTime> start = isoDay(*row.day);
        if (!start)
            return;
        thing.setSnoozedUntil(*start);
        if (m_lingering.remove(thing.id()))
            Q_EMIT changed(Field::lingering);
        qCDebug(lcSync, "planner moved %s to %s", qPrintable(thing.syncID()), qPrintable(*row.day));
    } else {
        thing.setSortKey(nextSortKey(Source::today));
        thing.setSnoozedUntil(std::nullopt);
        qCDebug(lcSync, "planner moved %s to today", qPrintable(thing.syncID()));
    }
    scheduleSync();
}

void AppModel::applyTitleFromFamily(const SharedThing& row, Thing& thing)
{
    const QString title = row.title.trimmed();
    if (title.isEmpty() || title == thing.title())
        return;
    thing.setTitle(title);
    qCDebug(lcSync, "planner renamed %s", qPrintable(thing.syncID()));
    scheduleSync();
}

void AppModel::applyNoteAndStepsFromFamily(const SharedThing& row, Thing& thing, bool note, bool steps)
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
        const QDateTime now = m_clock->now();
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
            m_store->insert(std::move(fresh));
        }
        for (size_t i = row.steps.size(); i < local.size(); ++i)
            m_store->remove(local[i]);
    }
    m_store->save(); // a failed save is retried by the next one
    scheduleSync();
}

void AppModel::applyDeletesFromFamily()
{
    const std::vector<QString> ids = m_familyStore->deletedByOthers(kTodoApp);
    if (ids.empty())
        return;
    QHash<QString, Thing*> bySyncID;
    for (Thing* t : allThings()) {
        if (!bySyncID.contains(t->syncID()))
            bySyncID.insert(t->syncID(), t);
    }
    int deleted = 0;
    {
        // One undo brings back everything the planner deleted in this go.
        UndoGroup group(m_store->undoManager());
        for (const QString& id : ids) {
            if (Thing* thing = bySyncID.value(id)) {
                if (m_lingering.remove(thing->id()))
                    Q_EMIT changed(Field::lingering);
                QSet<RowID> selection = m_selection;
                if (selection.remove(RowID::thing(thing->id())))
                    setSelection(std::move(selection), m_selectionAnchor);
                m_store->remove(thing);
                ++deleted;
            }
            m_familyStore->acknowledgeDelete(id);
        }
    }
    if (deleted == 0)
        return;
    m_store->save();
    const QString count =
        deleted == 1 ? QStringLiteral("Deleted") : QString::number(deleted) + QStringLiteral(" deleted");
    showToast(count + QStringLiteral(" in Vorn Planner. ") + undoHint());
}

void AppModel::finishFamilyEdit()
{
    m_ownChangePending = true;
    if (m_notifier)
        m_notifier->post();
    refreshFromFamily();
}

void AppModel::toggleExternal(const SharedThing& row)
{
    if (!m_syncsToFamily || !m_familyStore)
        return;
    m_familyStore->setDone(row.id, !row.done);
    const bool changedLingering =
        row.done ? m_lingeringShared.remove(row.id) : !m_lingeringShared.contains(row.id);
    if (!row.done)
        m_lingeringShared.insert(row.id);
    emitIfChanged(changedLingering, Field::lingeringShared);
    finishFamilyEdit();
}

void AppModel::renameExternal(const SharedThing& row, const QString& title)
{
    if (!m_syncsToFamily || !m_familyStore)
        return;
    const QString trimmed = title.trimmed();
    if (trimmed.isEmpty() || trimmed == row.title)
        return;
    m_familyStore->setTitle(row.id, trimmed);
    finishFamilyEdit();
}

void AppModel::saveSharedNote(const QString& id, const std::optional<QByteArray>& rtf, const QString& plain)
{
    if (!m_syncsToFamily || !m_familyStore)
        return;
    const std::optional<SharedThing> row = sharedThing(id);
    if (!row)
        return;
    const QString text = plain.trimmed();
    const bool currentIsSafe = row->noteID && isSafeNoteStem(*row->noteID);
    if (!text.isEmpty() && rtf) {
        // A note id we can't use as a file name is replaced by one of ours, never followed.
        const QString stem =
            currentIsSafe ? *row->noteID : QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
        if (!writeNoteFile(stem, *rtf)) {
            showToast(QStringLiteral("Couldn't save the note."));
            return;
        }
        m_familyStore->setNote(id, stem, text);
    } else {
        if (currentIsSafe && !m_notesDir.isEmpty())
            QFile::remove(notePath(*row->noteID));
        m_familyStore->setNote(id, std::nullopt, QString());
    }
    finishFamilyEdit();
}

} // namespace vorn
