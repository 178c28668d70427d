#pragma once

#include "pixel/PixelGrid.h"
#include "pixel/Theme.h"
#include "ui/components/PressStyle.h"

#include <functional>

namespace vorn {

// A 28 × 28 glyph button; when on, a faint wash of its tint sits behind the glyph.
class PixelButton : public PressButton {
    Q_OBJECT

public:
    PixelButton(const PixelGrid& glyph, const Color& tint, std::function<void()> action = {},
                QWidget* parent = nullptr);
    bool isOn() const { return m_on; }
    void setOn(bool on);
    void setGlyph(const PixelGrid& glyph);
    void setAction(std::function<void()> action) { m_action = std::move(action); }
    QSize sizeHint() const override { return {28, 28}; }

protected:
    void paintLabel(QPainter& painter) override;

private:
    PixelGrid m_glyph;
    Color m_tint;
    bool m_on = false;
    std::function<void()> m_action;
};

} // namespace vorn
