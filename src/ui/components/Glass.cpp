#include "ui/components/Glass.h"

#include "pixel/Theme.h"

#include <QPainter>
#include <QPalette>

namespace vorn {

void paintGlassCapsule(QPainter& painter, const QRectF& rect, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = Color::vornWell().resolved(palette);
    // The theme's well is itself a light wash; keep its own alpha.
    fill.setAlphaF(fill.alphaF() * 0.85f);
    QColor edge = Color::vornFaint().resolved(palette);
    edge.setAlphaF(edge.alphaF() * 0.5f);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(fill);
    const QRectF r = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = r.height() / 2;
    painter.drawRoundedRect(r, radius, radius);
    painter.restore();
}

} // namespace vorn
