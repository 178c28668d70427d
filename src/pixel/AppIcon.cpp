#include "pixel/AppIcon.h"

#include "pixel/Pixels.h"
#include "pixel/Theme.h"

#include <QPainter>

#include <utility>

namespace vorn::AppIcon {

namespace {

// The face inks of PixelView::mark: the face in yawn, eyes and mouth in ink.
const std::pair<QChar, QColor> inks[] = {
    {QLatin1Char('Y'), Color::yawn},
    {QLatin1Char('K'), Color::ink},
};

} // namespace

QImage image(int size)
{
    const PixelGrid& face = Pixels::markLarge();
    QImage out(size, size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    const int cell = size / face.width();
    if (cell < 1)
        return out;
    const int margin = (size - cell * face.width()) / 2;
    // Whole-pixel rectangles without antialiasing: nearest-neighbour scaling, no blurred edges.
    QPainter p(&out);
    for (const auto& [character, colour] : inks) {
        for (const PixelRect& r : face.runs(character))
            p.fillRect(margin + r.x * cell, margin + r.y * cell, r.width * cell, r.height * cell, colour);
    }
    return out;
}

QByteArray svg()
{
    const PixelGrid& face = Pixels::markLarge();
    QByteArray out = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    out +=
        QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" viewBox=\"0 0 "
                       "%1 %2\" shape-rendering=\"crispEdges\">\n")
            .arg(face.width())
            .arg(face.height())
            .toUtf8();
    for (const auto& [character, colour] : inks) {
        out += QStringLiteral("  <g fill=\"%1\">\n").arg(colour.name()).toUtf8();
        for (const PixelRect& r : face.runs(character))
            out += QStringLiteral("    <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"/>\n")
                       .arg(r.x)
                       .arg(r.y)
                       .arg(r.width)
                       .arg(r.height)
                       .toUtf8();
        out += "  </g>\n";
    }
    out += "</svg>\n";
    return out;
}

} // namespace vorn::AppIcon
