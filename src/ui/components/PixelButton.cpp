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

void PixelButton::setTint(const Color& tint)
{
    if (tint == m_tint)
        return;
    m_tint = tint;
    update();
}

void PixelButton::setGlyph(const PixelGrid& glyph)
{
    m_glyph = glyph;
    update();
}

void PixelButton::paintLabel(QPainter& painter)
{
    constexpr qreal unit = 2;
    PixelView::paint(painter, m_glyph, unit, PixelView::defaultInks(), m_tint.resolved(palette()),
                     PixelView::centredOrigin(m_glyph, unit, rect()));
}

} // namespace vorn
