#pragma once

#include <QIcon>
#include <QImage>

namespace vorn::PixelImage {

// The status-bar icon: 16 × 16, black where the large face is yellow and transparent elsewhere, so its
// eyes and mouth are holes. A template: the desktop (or the caller) colours it to suit the bar. Made
// once, on first use.
const QImage& menuBarTemplate();

// The template as an icon marked as a mask, with crisp 2× and 3× copies for large tray slots.
QIcon menuBarIcon();

// The template in one colour, for bars that do not colour masks themselves; `size` × `size` pixels,
// whole cells scaled without smoothing.
QImage tinted(const QColor& color, int size = 16);

} // namespace vorn::PixelImage
