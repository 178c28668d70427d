#include "model/AppModel.h"

#include "model/Constants.h"
#include "model/ListFilter.h"

#include <algorithm>

namespace vorn {

double AppModel::nextSortKey(const Source& src) const
{
    std::optional<double> highest;
    const auto consider = [&highest](double key) { highest = highest ? std::max(*highest, key) : key; };
    // One pass over what the list holds, without building the list. A search only hides rows: a key
    // above the visible ones alone could land among, or above, the hidden ones.
    const ListFilter filter(*this, src, ListFilter::Search::ignored);
    for (const Thing* t : allThings()) {
        if (filter.shows(*t))
            consider(t->sortKey());
    }
    if (src == Source::today && !familyThings().empty()) {
        const QString today = todayISO();
        for (const SharedThing& s : familyThings()) {
            if (!isTodayFamilyRow(s, today))
                continue;
            if (auto it = externalOrder().constFind(s.id); it != externalOrder().cend())
                consider(*it);
        }
    }
    return highest ? *highest + 1 : 0;
}

bool AppModel::canReorder(const Source& src) const
{
    // Later and Done-ish are ordered by time, and a filtered list has gaps the user can't see.
    return m_state.searchText.isEmpty() && (src == Source::today || src.isPile());
}

QString AppModel::beginDrag(const RowID& id)
{
    QSet<RowID> dragged;
    if (m_state.selection.contains(id)) {
        dragged = m_state.selection.ids();
    } else {
        select(id);
        dragged = {id};
    }
    if (dragged != m_state.dragging) {
        m_state.dragging = std::move(dragged);
        Q_EMIT changed(Field::dragging);
    }

    // A drop that never comes (the drag left the window) must not leave rows marked as dragged forever.
    m_dragReset->start(m_intervals.dragResetMSecs);

    if (auto shared = id.sharedID()) {
        const std::optional<SharedThing> s = sharedThing(*shared);
        return s ? s->title : QString();
    }
    const Thing* t = m_store->thing(*id.thingID());
    return t ? t->title() : QString();
}

void AppModel::endDrag()
{
    m_dragReset->stop();
    if (!m_state.dragging.isEmpty()) {
        m_state.dragging.clear();
        Q_EMIT changed(Field::dragging);
    }
}

bool AppModel::drop(int before, const Source& src)
{
    if (!canReorder(src) || m_state.dragging.isEmpty()) {
        endDrag();
        return false;
    }
    std::vector<ListRow> all = rows(src, true);
    std::vector<ListRow> moved;
    std::vector<ListRow> rest;
    for (ListRow& row : all)
        (m_state.dragging.contains(row.id()) ? moved : rest).push_back(row);
    if (moved.empty()) {
        endDrag();
        return false;
    }
    const qsizetype count = qsizetype(all.size());
    const qsizetype t = std::clamp<qsizetype>(before, 0, count);
    if (t < count && m_state.dragging.contains(all[size_t(t)].id())) {
        // Dropping a block onto itself changes nothing.
        endDrag();
        return false;
    }
    size_t p = rest.size();
    if (t < count) {
        const RowID target = all[size_t(t)].id();
        const auto it =
            std::find_if(rest.begin(), rest.end(), [&](const ListRow& r) { return r.id() == target; });
        if (it != rest.end())
            p = size_t(it - rest.begin());
    }
    rest.insert(rest.begin() + qsizetype(p), moved.begin(), moved.end());
    applyOrder(rest);
    endDrag();
    return true;
}

void AppModel::applyOrder(const std::vector<ListRow>& ordered)
{
    std::vector<std::pair<QString, double>> placed;
    {
        UndoGroup group(m_store->undoManager());
        for (size_t i = 0; i < ordered.size(); ++i) {
            if (Thing* t = ordered[i].thing())
                t->setSortKey(double(i));
            else
                placed.emplace_back(ordered[i].sharedThing()->id, double(i));
        }
        m_sync->placeRows(placed);
    }
    // Sort keys stay on this machine: the family store doesn't carry them, so no sync.
    m_store->save();
}

} // namespace vorn
