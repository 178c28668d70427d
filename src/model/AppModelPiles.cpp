#include "model/AppModel.h"

namespace vorn {

Pile* AppModel::pile(RecordId id) const
{
    for (Pile* p : m_state.piles) {
        if (p->id() == id)
            return p;
    }
    return nullptr;
}

void AppModel::refreshPiles()
{
    std::vector<Pile*> fresh = m_store->pilesBySortKey();
    if (fresh != m_state.piles) {
        m_state.piles = std::move(fresh);
        Q_EMIT changed(Field::piles);
    }
    if (auto id = m_state.tab.pileID(); id && !pile(*id))
        setTab(Tab::list(TodoList::today));
}

} // namespace vorn
