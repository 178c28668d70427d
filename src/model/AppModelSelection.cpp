#include "model/AppModel.h"

namespace vorn {

void AppModel::setSelection(Selection selection)
{
    if (selection == m_state.selection)
        return;
    const bool idsChanged = selection.ids() != m_state.selection.ids();
    const bool anchorChanged = selection.anchor() != m_state.selection.anchor();
    m_state.selection = std::move(selection);
    emitIfChanged(idsChanged, Field::selection);
    emitIfChanged(anchorChanged, Field::selectionAnchor);
}

std::vector<RowID> AppModel::rowOrder(const Source& src, bool includeFamily) const
{
    std::vector<RowID> order;
    for (const ListRow& row : rows(src, includeFamily))
        order.push_back(row.id());
    return order;
}

void AppModel::select(const std::optional<RowID>& id)
{
    setSelection(id ? Selection::only(*id) : Selection());
}

void AppModel::click(const RowID& id, Qt::KeyboardModifiers modifiers, const Source& src, bool includeFamily)
{
    // Only a range needs the list's order.
    const std::vector<RowID> order =
        modifiers.testFlag(Qt::ShiftModifier) ? rowOrder(src, includeFamily) : std::vector<RowID>();
    setSelection(m_state.selection.clicked(id, modifiers, order));
}

QSet<RowID> AppModel::selectedIDs(const std::optional<Source>& given, bool includeFamily) const
{
    const std::optional<Source> src = given ? given : source();
    if (!src || m_state.selection.isEmpty())
        return {};
    return m_state.selection.within(rowOrder(*src, includeFamily));
}

void AppModel::selectAfterRemoving(const QSet<RowID>& removed, const std::optional<std::vector<RowID>>& given)
{
    if (!m_state.selection.ids().intersects(removed))
        return;
    setSelection(m_state.selection.afterRemoving(
        removed, given ? *given : rowOrder(source().value_or(Source::today), true)));
}

void AppModel::pruneSelection()
{
    if (!m_state.selection.isEmpty())
        setSelection(m_state.selection.keepingOnly(rowOrder(source().value_or(Source::today), true)));
}

} // namespace vorn
