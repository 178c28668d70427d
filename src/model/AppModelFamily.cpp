#include "model/AppModel.h"

#include "family/FamilyConstants.h"

namespace vorn {

SharedThing AppModel::sharedRow(const Thing& thing, const QString& today, double updatedAt) const
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

bool AppModel::isInToday(const Thing& thing) const
{
    return source(thing) == Source::today;
}

void AppModel::moveToEndOfToday(Thing& thing)
{
    thing.setSortKey(nextSortKey(Source::today));
    thing.setSnoozedUntil(std::nullopt);
}

void AppModel::linger(const QSet<RecordId>& ids, bool lingering)
{
    const qsizetype before = m_state.lingering.size();
    if (lingering)
        m_state.lingering.unite(ids);
    else
        m_state.lingering.subtract(ids);
    emitIfChanged(m_state.lingering.size() != before, Field::lingering);
}

void AppModel::recordsChanged(const StoreChanges& batch)
{
    // Whatever took a thing away (an undone add or paste, a change straight to the store), it lingers no
    // longer; operations that delete say so at once, for the list rebuilt in their own turn.
    QSet<RecordId> gone;
    for (const RecordChange& change : batch.records()) {
        if (change.deleted && change.id.kind == EntityKind::Thing && !m_store->thing(change.id))
            gone.insert(change.id);
    }
    linger(gone, false);
    Q_EMIT changed(Field::records);
}

void AppModel::forget(const Thing& thing)
{
    linger({thing.id()}, false);
    setSelection(m_state.selection.without(RowID::thing(thing.id())));
}

void AppModel::familyRowsRead()
{
    // A family row that went away can't linger, nor stay selected.
    QSet<QString> known;
    for (const SharedThing& row : familyThings())
        known.insert(row.id);
    QSet<QString> lingeringShared = m_state.lingeringShared;
    lingeringShared.intersect(known);
    if (lingeringShared != m_state.lingeringShared) {
        m_state.lingeringShared = std::move(lingeringShared);
        Q_EMIT changed(Field::lingeringShared);
    }
    pruneSelection();
}

void AppModel::toggleExternal(const SharedThing& shown)
{
    if (!m_sync->syncsToFamily() || !m_sync->familyStore())
        return;
    // A copy: the row may live in a screen's rows, which the first change notice below rebuilds.
    const SharedThing row = shown;
    const bool changedLingering =
        row.done ? m_state.lingeringShared.remove(row.id) : !m_state.lingeringShared.contains(row.id);
    if (!row.done)
        m_state.lingeringShared.insert(row.id);
    emitIfChanged(changedLingering, Field::lingeringShared);
    m_sync->setDone({row}, !row.done);
}

} // namespace vorn
