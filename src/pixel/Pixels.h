#pragma once

#include "pixel/PixelGrid.h"

#include <array>

// The app's glyphs. `#` glyphs take the caller's foreground colour; the faces and the ticked box use
// `Y` (face) and `K` (features) and are drawn with the face inks (PixelView::mark).
namespace vorn::Pixels {

const PixelGrid& box();       // 9 × 9, unticked box
const PixelGrid& boxDone();   // 9 × 9, ticked box (Y, K)
const PixelGrid& plus();      // 9 × 9
const PixelGrid& focus();     // 9 × 9, focus-mode button
const PixelGrid& expand();    // 9 × 9, back to the window
const PixelGrid& pin();       // 9 × 9, floating on
const PixelGrid& pinOff();    // 9 × 9, floating off
const PixelGrid& markSmall(); // 8 × 8 face (Y, K)
const PixelGrid& markLarge(); // 16 × 16 face (Y, K), the status-bar silhouette
const PixelGrid& z();         // 5 × 5, one z of the snooze badge

// Four 16 × 16 faces shown in order 0 to 3: closed mouth, then opening to the widest yawn.
const std::array<PixelGrid, 4>& yawnFrames();

} // namespace vorn::Pixels
