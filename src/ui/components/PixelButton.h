#pragma once

#include "pixel/PixelGrid.h"
#include "pixel/Theme.h"
#include "ui/components/PressStyle.h"

#include <functional>

namespace vorn {

// A 28 × 28 button that is one pixel glyph in a tint, like the tab strip's plus and its three dots.
class PixelButton : public PressButton {
    Q_OBJECT

public:
    PixelButton(const PixelGrid& glyph, const Color& tint, std::function<void()> action = {},
                QWidget* parent = nullptr);
    const Color& tint() const { return m_tint; }
    void setTint(const Color& tint);
    const PixelGrid& glyph() const { return m_glyph; }
    void setGlyph(const PixelGrid& glyph);
    QSize sizeHint() const override { return {28, 28}; }

protected:
    void paintLabel(QPainter& painter) override;

private:
    PixelGrid m_glyph;
    Color m_tint;
    std::function<void()> m_action;
};

} // namespace vorn
