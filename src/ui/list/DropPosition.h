#pragma once

namespace vorn {

// Where a dragged row would land: before or after a row (by its index among the rows), or at the end.
struct DropSpot {
    enum class Kind { row, endOfList };
    Kind kind = Kind::endOfList;
    int index = 0; // the row's position among the rows; unused at the end
    bool after = false;

    static DropSpot row(int index, bool after) { return {Kind::row, index, after}; }
    static DropSpot endOfList() { return {}; }
    friend bool operator==(const DropSpot&, const DropSpot&) = default;
};

// The lower half of a row drops after it. The row's nominal height decides, not its drawn height,
// so the rule does not shift with row spacing.
DropSpot dropSpotInRow(int rowIndex, double yInRow, int rowHeight);

// The `before` index the model's drop takes for a spot in a list of `rowCount` rows.
int insertionIndex(const DropSpot& spot, int rowCount);

} // namespace vorn
