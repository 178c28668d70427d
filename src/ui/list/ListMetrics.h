#pragma once

// The style enum is shared with the row components, so both sides name the same type.
#include "ui/components/ListStyle.h"

namespace vorn {

// Every size and switch that differs between the two styles, in one place.
struct ListMetrics {
    int rowHeight;   // also the height the drop rule halves, whatever is drawn
    int padding;     // row horizontal padding and drop-indicator inset
    int itemSpacing; // between the items inside a row
    int cornerRadius;
    int rowSpacing;     // vertical gap between rows
    bool addRowWell;    // the add row sits on a well instead of clear
    bool includeFamily; // rows other apps own are listed
    bool showsDetails;  // steps, chevron, meta text and section headers
    bool arrowKeys;     // → and ← open and close steps
};

constexpr ListMetrics metrics(ListStyle style)
{
    if (style == ListStyle::regular)
        return {40, 12, 12, 10, 2, false, true, true, true};
    return {32, 8, 10, 8, 0, true, false, false, false};
}

} // namespace vorn
