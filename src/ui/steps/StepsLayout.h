#pragma once

#include "ui/components/ListStyle.h"

namespace vorn::steps {

constexpr int rowHeight = 30;
constexpr int rowSpacing = 10;
constexpr int bottomPadding = 6;
constexpr int titlePixelSize = 13;
constexpr int glyphFrame = 18;

// Step text lines up under the thing's title, which sits further in on the regular list.
constexpr int indent(ListStyle style)
{
    return style == ListStyle::regular ? 46 : 42;
}

} // namespace vorn::steps
