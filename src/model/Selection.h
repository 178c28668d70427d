#pragma once

#include "model/Entities.h"

#include <QSet>
#include <Qt>

#include <optional>
#include <vector>

namespace vorn {

// Which rows are selected, and the row a Shift+click range starts from: a value with the rules of the
// list's clicks and of rows leaving the list. `order` is always the list as shown, top to bottom.
class Selection {
public:
    Selection() = default;
    static Selection only(const RowID& id) { return Selection({id}, id); }

    const QSet<RowID>& ids() const { return m_ids; }
    const std::optional<RowID>& anchor() const { return m_anchor; }
    bool isEmpty() const { return m_ids.isEmpty(); }
    bool contains(const RowID& id) const { return m_ids.contains(id); }
    // The row that commands on one row act on: the anchor while it is selected, else any selected row.
    std::optional<RowID> primary() const;
    // The selected rows among `order`.
    QSet<RowID> within(const std::vector<RowID>& order) const;

    // A click on a row: alone it selects just that row; with Ctrl it adds or takes away that row; with
    // Shift it selects from the anchor to the row (added to what was selected when Ctrl is held too).
    Selection clicked(const RowID& id, Qt::KeyboardModifiers modifiers,
                      const std::vector<RowID>& order) const;
    // After rows went away: a selection that held any of them moves to the first row below the first
    // one removed, else to the nearest one above it, else to nothing.
    Selection afterRemoving(const QSet<RowID>& removed, const std::vector<RowID>& order) const;
    // Only the rows still in `order`; the anchor goes when its row does.
    Selection keepingOnly(const std::vector<RowID>& order) const;
    Selection without(const RowID& id) const;

    friend bool operator==(const Selection&, const Selection&) = default;

private:
    Selection(QSet<RowID> ids, std::optional<RowID> anchor)
        : m_ids(std::move(ids)), m_anchor(std::move(anchor))
    {
    }
    QSet<RowID> m_ids;
    std::optional<RowID> m_anchor;
};

} // namespace vorn
