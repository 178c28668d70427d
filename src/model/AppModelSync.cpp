#include "model/AppModel.h"

#include "family/FamilyConstants.h"

namespace vorn {

void AppModel::scheduleSync()
{
    m_sync->schedule();
}

void AppModel::flushSync()
{
    m_sync->flush();
}

void AppModel::refreshFromFamily()
{
    m_sync->refresh();
}

void AppModel::familyDidChange()
{
    m_sync->didChange();
}

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

void AppModel::setLingering(const Thing& thing, bool lingering)
{
    const bool had = m_lingering.contains(thing.id());
    if (had == lingering)
        return;
    if (lingering)
        m_lingering.insert(thing.id());
    else
        m_lingering.remove(thing.id());
    Q_EMIT changed(Field::lingering);
}

void AppModel::forget(const Thing& thing)
{
    setLingering(thing, false);
    setSelection(m_selection.without(RowID::thing(thing.id())));
}

void AppModel::familyRowsRead()
{
    // A family row that went away can't linger, nor stay selected.
    QSet<QString> known;
    for (const SharedThing& row : familyThings())
        known.insert(row.id);
    QSet<QString> lingeringShared = m_lingeringShared;
    lingeringShared.intersect(known);
    if (lingeringShared != m_lingeringShared) {
        m_lingeringShared = std::move(lingeringShared);
        Q_EMIT changed(Field::lingeringShared);
    }
    pruneSelection();
}

void AppModel::toggleExternal(const SharedThing& shown)
{
    if (!m_sync->isOn() || !familyStore())
        return;
    // A copy: the row may live in a screen's rows, which the first change notice below rebuilds.
    const SharedThing row = shown;
    const bool changedLingering =
        row.done ? m_lingeringShared.remove(row.id) : !m_lingeringShared.contains(row.id);
    if (!row.done)
        m_lingeringShared.insert(row.id);
    emitIfChanged(changedLingering, Field::lingeringShared);
    m_sync->setDone({row}, !row.done);
}

void AppModel::renameExternal(const SharedThing& row, const QString& title)
{
    m_sync->rename(row, title);
}

void AppModel::saveSharedNote(const QString& id, const std::optional<QByteArray>& rtf, const QString& plain)
{
    m_sync->saveNote(id, rtf, plain);
}

} // namespace vorn
