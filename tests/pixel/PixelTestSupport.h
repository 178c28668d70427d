#pragma once

#include "pixel/PixelGrid.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <ostream>

namespace vorn {
void PrintTo(const PixelRect& r, std::ostream* os);
} // namespace vorn

namespace vorn::test {

// What a widget paints, on a transparent canvas, one image pixel per device pixel.
QImage rendered(QWidget& widget);

// Whether the square of `unit` × `unit` pixels at (x, y) is entirely `color` (alpha included).
bool squareIs(const QImage& image, int x, int y, int unit, QColor color);

} // namespace vorn::test
