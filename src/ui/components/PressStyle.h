#pragma once

#include <QAbstractButton>

class QVariantAnimation;

namespace vorn {

// A button whose label shrinks a little while it is held down, the shared press feedback of the lists'
// buttons. Subclasses paint their label in paintLabel(); the scale is applied around the centre.
class PressButton : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr qreal pressedScale = 0.97;
    static constexpr int animationMSecs = 160;

    explicit PressButton(QWidget* parent = nullptr);
    // The label's current scale: 1 at rest, easing towards pressedScale while down.
    qreal labelScale() const { return m_scale; }

protected:
    void paintEvent(QPaintEvent* event) override;
    virtual void paintLabel(QPainter& painter) = 0;

private:
    void animateTo(qreal target);
    qreal m_scale = 1.0;
    QVariantAnimation* m_animation;
};

} // namespace vorn
