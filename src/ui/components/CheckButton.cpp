#include "ui/components/CheckButton.h"

#include "pixel/PixelView.h"
#include "pixel/Pixels.h"

#include <QPainter>

namespace vorn {

namespace {
constexpr qreal kUnit = 2;
}

CheckButton::CheckButton(bool isDone, std::function<void()> action, QWidget* parent)
    : PressButton(parent), m_done(isDone), m_action(std::move(action))
{
    setObjectName(QStringLiteral("checkButton"));
    setFixedSize(22, 22);
    setAccessibleName(m_done ? QStringLiteral("Done") : QStringLiteral("Not done"));
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_action)
            m_action();
    });
}

void CheckButton::setDone(bool done)
{
    if (m_done == done)
        return;
    m_done = done;
    setAccessibleName(m_done ? QStringLiteral("Done") : QStringLiteral("Not done"));
    update();
}

void CheckButton::paintLabel(QPainter& painter)
{
    const PixelGrid& grid = m_done ? Pixels::boxDone() : Pixels::box();
    const QPointF origin = PixelView::centredOrigin(grid, kUnit, rect());
    if (m_done)
        PixelView::paint(painter, grid, kUnit, PixelView::markInks(), Color::ink, origin);
    else
        PixelView::paint(painter, grid, kUnit, PixelView::defaultInks(),
                         Color::vornFaint().resolved(palette()), origin);
}

} // namespace vorn
