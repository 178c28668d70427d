#include "model/Selection.h"

#include <algorithm>

namespace vorn {

std::optional<RowID> Selection::primary() const
{
    if (m_anchor && m_ids.contains(*m_anchor))
        return m_anchor;
    if (m_ids.isEmpty())
        return std::nullopt;
    return *m_ids.cbegin();
}

QSet<RowID> Selection::within(const std::vector<RowID>& order) const
{
    QSet<RowID> out;
    if (m_ids.isEmpty())
        return out;
    for (const RowID& id : order) {
        if (m_ids.contains(id))
            out.insert(id);
    }
    return out;
}

Selection Selection::clicked(const RowID& id, Qt::KeyboardModifiers modifiers,
                             const std::vector<RowID>& order) const
{
    const bool toggle = modifiers.testFlag(Qt::ControlModifier);
    if (modifiers.testFlag(Qt::ShiftModifier) && m_anchor && *m_anchor != id) {
        const auto anchorAt = std::find(order.begin(), order.end(), *m_anchor);
        const auto idAt = std::find(order.begin(), order.end(), id);
        if (anchorAt != order.end() && idAt != order.end()) {
            const auto [first, last] = std::minmax(anchorAt, idAt);
            QSet<RowID> range(first, last + 1);
            if (toggle)
                range.unite(m_ids);
            return Selection(std::move(range), m_anchor);
        }
    }
    if (!toggle)
        return only(id);
    Selection out = *this;
    if (!out.m_ids.contains(id)) {
        out.m_ids.insert(id);
        out.m_anchor = id;
    } else {
        out.m_ids.remove(id);
        if (out.m_anchor == id)
            out.m_anchor.reset();
    }
    return out;
}

Selection Selection::afterRemoving(const QSet<RowID>& removed, const std::vector<RowID>& order) const
{
    if (!m_ids.intersects(removed))
        return *this;
    if (order.empty())
        return {};
    const auto isRemoved = [&](const RowID& id) { return removed.contains(id); };
    const auto firstRemoved = std::find_if(order.begin(), order.end(), isRemoved);
    if (firstRemoved == order.end())
        return *this;
    const auto next = std::find_if_not(firstRemoved, order.end(), isRemoved);
    if (next != order.end())
        return only(*next);
    const auto above = std::find_if_not(std::make_reverse_iterator(firstRemoved), order.rend(), isRemoved);
    return above != order.rend() ? only(*above) : Selection();
}

Selection Selection::keepingOnly(const std::vector<RowID>& order) const
{
    if (m_ids.isEmpty())
        return *this;
    Selection out(within(order), m_anchor);
    if (out.m_anchor && !out.m_ids.contains(*out.m_anchor))
        out.m_anchor.reset();
    return out;
}

Selection Selection::without(const RowID& id) const
{
    Selection out = *this;
    out.m_ids.remove(id);
    return out;
}

} // namespace vorn
