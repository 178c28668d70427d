#include "model/AppModel.h"

namespace vorn {

Thing* AppModel::currentPick() const
{
    return m_state.randomPick.currentIn(allThings());
}

void AppModel::reroll()
{
    // source() puts pile things in their pile, so they never count as Today here.
    const bool changedPick =
        m_state.randomPick.reroll(allThings(), [this](const Thing& t) { return source(t) == Source::today; });
    emitIfChanged(changedPick, Field::randomPick);
}

void AppModel::acceptPick(Thing& thing)
{
    const RecordId id = thing.id();
    if (source(thing) != Source::today)
        moveToToday({RowID::thing(id)}, std::nullopt);
    emitIfChanged(m_state.randomPick.clear(), Field::randomPick);
    setTab(Tab::list(TodoList::today));
    // After the tab switch, which starts the new list with nothing selected.
    select(RowID::thing(id));
}

} // namespace vorn
