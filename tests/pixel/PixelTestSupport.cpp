#include "PixelTestSupport.h"

namespace vorn {

void PrintTo(const PixelRect& r, std::ostream* os)
{
    *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

} // namespace vorn

namespace vorn::test {

QImage rendered(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

bool squareIs(const QImage& image, int x, int y, int unit, QColor color)
{
    for (int dy = 0; dy < unit; ++dy)
        for (int dx = 0; dx < unit; ++dx)
            if (image.pixelColor(x + dx, y + dy).rgba() != color.rgba())
                return false;
    return true;
}

} // namespace vorn::test
