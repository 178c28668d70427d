#include "model/AppModel.h"

namespace vorn {

void AppModel::setSelection(QSet<RowID> selection, std::optional<RowID> anchor)
{
    if (selection != m_selection) {
        m_selection = std::move(selection);
        Q_EMIT changed(Field::selection);
    }
    if (anchor != m_selectionAnchor) {
        m_selectionAnchor = std::move(anchor);
        Q_EMIT changed(Field::selectionAnchor);
    }
}

std::vector<RowID> AppModel::rowOrder(const Source& src, bool includeFamily) const
{
    std::vector<RowID> order;
    for (const ListRow& row : rows(src, allThings(), includeFamily))
        order.push_back(row.id());
    return order;
}

void AppModel::select(const std::optional<RowID>& id)
{
    if (id)
        setSelection({*id}, id);
    else
        setSelection({}, std::nullopt);
}

void AppModel::click(const RowID& id, bool command, bool shift, const Source& src, bool includeFamily)
{
    if (shift && m_selectionAnchor && *m_selectionAnchor != id) {
        const std::vector<RowID> order = rowOrder(src, includeFamily);
        const auto anchorAt = std::find(order.begin(), order.end(), *m_selectionAnchor);
        const auto idAt = std::find(order.begin(), order.end(), id);
        if (anchorAt != order.end() && idAt != order.end()) {
            const auto [first, last] = std::minmax(anchorAt, idAt);
            QSet<RowID> range(first, last + 1);
            if (command)
                range.unite(m_selection);
            setSelection(std::move(range), m_selectionAnchor);
            return;
        }
    }
    if (command) {
        QSet<RowID> selection = m_selection;
        std::optional<RowID> anchor = m_selectionAnchor;
        if (!selection.contains(id)) {
            selection.insert(id);
            anchor = id;
        } else {
            selection.remove(id);
            if (anchor == id)
                anchor.reset();
        }
        setSelection(std::move(selection), std::move(anchor));
        return;
    }
    select(id);
}

QSet<RowID> AppModel::selectedIDs(const std::optional<Source>& given, bool includeFamily) const
{
    const std::optional<Source> src = given ? given : source();
    if (!src || m_selection.isEmpty())
        return {};
    QSet<RowID> out;
    for (const ListRow& row : rows(*src, allThings(), includeFamily)) {
        const RowID id = row.id();
        if (m_selection.contains(id))
            out.insert(id);
    }
    return out;
}

std::optional<RowID> AppModel::primarySelection() const
{
    if (m_selectionAnchor && m_selection.contains(*m_selectionAnchor))
        return m_selectionAnchor;
    if (m_selection.isEmpty())
        return std::nullopt;
    return *m_selection.cbegin();
}

void AppModel::selectAfterRemoving(const QSet<RowID>& removed, const std::optional<std::vector<RowID>>& given)
{
    if (!m_selection.intersects(removed))
        return;
    const std::vector<RowID> order = given ? *given : rowOrder(source().value_or(Source::today), true);
    if (order.empty()) {
        select(std::nullopt);
        return;
    }
    const auto firstRemoved =
        std::find_if(order.begin(), order.end(), [&](const RowID& id) { return removed.contains(id); });
    if (firstRemoved == order.end())
        return;
    const auto next =
        std::find_if(firstRemoved, order.end(), [&](const RowID& id) { return !removed.contains(id); });
    if (next != order.end()) {
        select(*next);
        return;
    }
    for (auto it = std::make_reverse_iterator(firstRemoved); it != order.rend(); ++it) {
        if (!removed.contains(*it)) {
            select(*it);
            return;
        }
    }
    select(std::nullopt);
}

void AppModel::pruneSelection()
{
    if (m_selection.isEmpty())
        return;
    QSet<RowID> visible;
    for (const RowID& id : rowOrder(source().value_or(Source::today), true))
        visible.insert(id);
    QSet<RowID> kept = m_selection;
    kept.intersect(visible);
    std::optional<RowID> anchor = m_selectionAnchor;
    if (anchor && !kept.contains(*anchor))
        anchor.reset();
    setSelection(std::move(kept), std::move(anchor));
}

} // namespace vorn
