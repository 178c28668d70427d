#pragma once

#include "ui/components/PressStyle.h"

namespace vorn {

// The focus-mode button: the focus glyph and the word "focus" in the pixel font.
class FocusButton : public PressButton {
    Q_OBJECT

public:
    explicit FocusButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintLabel(QPainter& painter) override;
    void changeEvent(QEvent* event) override;

private:
    // The key is named once the shell lends focus mode (the button is enabled), not before.
    void updateToolTip();
};

// The new-thing button: an ink plus on a yawn-tinted capsule.
class NewThingButton : public PressButton {
    Q_OBJECT

public:
    explicit NewThingButton(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {40, 28}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintLabel(QPainter& painter) override;
};

} // namespace vorn
