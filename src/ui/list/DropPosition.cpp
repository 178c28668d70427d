#include "ui/list/DropPosition.h"

namespace vorn {

DropSpot dropSpotInRow(int rowIndex, double yInRow, int rowHeight)
{
    return DropSpot::row(rowIndex, yInRow > rowHeight * 0.5);
}

int insertionIndex(const DropSpot& spot, int rowCount)
{
    if (spot.kind == DropSpot::Kind::endOfList)
        return rowCount;
    return spot.after ? spot.index + 1 : spot.index;
}

} // namespace vorn
