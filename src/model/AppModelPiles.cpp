#include "model/AppModel.h"

namespace vorn {

Pile* AppModel::pile(RecordId id) const
{
    for (Pile* p : m_piles) {
        if (p->id() == id)
            return p;
    }
    return nullptr;
}

void AppModel::refreshPiles()
{
    std::vector<Pile*> fresh = m_store->pilesBySortKey();
    if (fresh != m_piles) {
        m_piles = std::move(fresh);
        Q_EMIT changed(Field::piles);
    }
    if (auto id = m_tab.pileID(); id && !pile(*id))
        setTab(Tab::list(TodoList::today));
}

} // namespace vorn
