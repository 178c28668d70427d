#include "ui/components/Glass.h"

#include "pixel/Theme.h"

#include <QPainter>
#include <QPalette>

namespace vorn {

void paintGlassCapsule(QPainter& painter, const QRectF& rect, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Frosted rather than clear: the window colour at most of its strength, so whatever lies beneath
    // only shows through faintly and the capsule's own text stays readable over any content; the
    // well's wash on top sets it apart from a plain background.
    QColor base = Color::vornBackground().resolved(palette);
    base.setAlphaF(0.92f);
    QColor edge = Color::vornFaint().resolved(palette);
    edge.setAlphaF(edge.alphaF() * 0.5f);
    const QRectF r = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = r.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(base);
    painter.drawRoundedRect(r, radius, radius);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(Color::vornWell().resolved(palette));
    painter.drawRoundedRect(r, radius, radius);
    painter.restore();
}

} // namespace vorn
