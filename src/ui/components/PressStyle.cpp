#include "ui/components/PressStyle.h"

#include "pixel/YawnView.h"

#include <QPainter>
#include <QVariantAnimation>

namespace vorn {

PressButton::PressButton(QWidget* parent) : QAbstractButton(parent), m_animation(new QVariantAnimation(this))
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    m_animation->setDuration(animationMSecs);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_scale = v.toReal();
        update();
    });
    connect(this, &QAbstractButton::pressed, this, [this] { animateTo(pressedScale); });
    connect(this, &QAbstractButton::released, this, [this] { animateTo(1.0); });
}

void PressButton::animateTo(qreal target)
{
    m_animation->stop();
    if (reduceMotion()) {
        m_scale = target;
        update();
        return;
    }
    m_animation->setStartValue(m_scale);
    m_animation->setEndValue(target);
    m_animation->start();
}

void PressButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(m_scale, m_scale);
    painter.translate(-centre);
    paintLabel(painter);
}

} // namespace vorn
