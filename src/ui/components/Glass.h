#pragma once

#include <QRectF>

class QPainter;
class QPalette;

namespace vorn {

// The translucent rounded background of the floating bits (toast, snooze bar, secondary buttons):
// a capsule of the window colour, nearly opaque, under the well's wash, with a hairline edge.
void paintGlassCapsule(QPainter& painter, const QRectF& rect, const QPalette& palette);

} // namespace vorn
