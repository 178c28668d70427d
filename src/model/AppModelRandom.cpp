#include "model/AppModel.h"

#include <QRandomGenerator>

namespace vorn {

Thing* AppModel::currentPick(const std::vector<Thing*>& things) const
{
    if (!m_randomPick)
        return nullptr;
    // A pick that was done or deleted since is no longer on offer.
    for (Thing* t : things) {
        if (t->id() == *m_randomPick && !t->isDone())
            return t;
    }
    return nullptr;
}

void AppModel::reroll(const std::vector<Thing*>& things)
{
    // Never the current pick again, so asking for another one always shows something different.
    std::vector<Thing*> candidates;
    std::vector<Thing*> today;
    for (Thing* t : things) {
        if (t->isDone() || (m_randomPick && t->id() == *m_randomPick))
            continue;
        candidates.push_back(t);
        // source() puts pile things in their pile, so they never count as Today here.
        if (source(*t) == Source::today)
            today.push_back(t);
    }
    // What is already on today's plate comes first; the rest only once Today has nothing else to offer.
    const std::vector<Thing*>& pool = today.empty() ? candidates : today;

    std::optional<RecordId> pick;
    if (!pool.empty()) {
        pick = pool[QRandomGenerator::global()->bounded(quint32(pool.size()))]->id();
    } else if (m_randomPick) {
        // Nothing else to offer: a lone open thing stays the pick; a vanished or finished one is dropped.
        const Thing* current = m_store->thing(*m_randomPick);
        if (current && current->isLive() && !current->isDone())
            pick = m_randomPick;
    }
    if (pick == m_randomPick)
        return;
    m_randomPick = pick;
    Q_EMIT changed(Field::randomPick);
}

void AppModel::acceptPick(Thing& thing)
{
    const RecordId id = thing.id();
    if (source(thing) != Source::today)
        moveToToday({RowID::thing(id)}, std::nullopt);
    if (m_randomPick) {
        m_randomPick.reset();
        Q_EMIT changed(Field::randomPick);
    }
    setTab(Tab::list(TodoList::today));
    // After the tab switch, which starts the new list with nothing selected.
    select(RowID::thing(id));
}

} // namespace vorn
