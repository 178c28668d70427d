#include "model/RandomPick.h"

#include "store/Records.h"

#include <QRandomGenerator>

namespace vorn {

Thing* RandomPick::currentIn(const std::vector<Thing*>& things) const
{
    if (!m_pick)
        return nullptr;
    for (Thing* t : things) {
        if (t->id() == *m_pick && !t->isDone())
            return t;
    }
    return nullptr;
}

bool RandomPick::reroll(const std::vector<Thing*>& things, const std::function<bool(const Thing&)>& inToday)
{
    // Never the current pick again, so asking for another one always shows something different.
    std::vector<Thing*> candidates;
    std::vector<Thing*> today;
    Thing* current = nullptr;
    for (Thing* t : things) {
        if (m_pick && t->id() == *m_pick) {
            current = t;
            continue;
        }
        if (t->isDone())
            continue;
        candidates.push_back(t);
        if (inToday(*t))
            today.push_back(t);
    }
    // What is already on today's plate comes first; the rest only once Today has nothing else to offer.
    const std::vector<Thing*>& pool = today.empty() ? candidates : today;

    std::optional<RecordId> pick;
    if (!pool.empty())
        pick = pool[QRandomGenerator::global()->bounded(quint32(pool.size()))]->id();
    else if (current && current->isLive() && !current->isDone())
        pick = m_pick; // nothing else to offer: a lone open thing stays the pick
    if (pick == m_pick)
        return false;
    m_pick = pick;
    return true;
}

bool RandomPick::clear()
{
    const bool had = m_pick.has_value();
    m_pick.reset();
    return had;
}

} // namespace vorn
