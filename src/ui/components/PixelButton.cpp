#include "ui/components/PixelButton.h"

#include "pixel/PixelView.h"

#include <QPainter>

namespace vorn {

PixelButton::PixelButton(const PixelGrid& glyph, const Color& tint, std::function<void()> action,
                         QWidget* parent)
    : PressButton(parent), m_glyph(glyph), m_tint(tint), m_action(std::move(action))
{
    setFixedSize(28, 28);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_action)
            m_action();
    });
}

void PixelButton::setOn(bool on)
{
    if (m_on == on)
        return;
    m_on = on;
    update();
}

void PixelButton::setGlyph(const PixelGrid& glyph)
{
    m_glyph = glyph;
    update();
}

void PixelButton::paintLabel(QPainter& painter)
{
    const QColor tint = m_tint.resolved(palette());
    if (m_on) {
        QColor wash = tint;
        wash.setAlphaF(0.12f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(wash);
        painter.drawRoundedRect(QRectF(rect()), 8, 8);
    }
    constexpr qreal unit = 2;
    PixelView::paint(painter, m_glyph, unit, PixelView::defaultInks(), tint,
                     PixelView::centredOrigin(m_glyph, unit, rect()));
}

} // namespace vorn
