#include "pixel/ZCount.h"

#include "pixel/PixelView.h"
#include "pixel/Pixels.h"
#include "pixel/Theme.h"

#include <QPainter>
#include <QtMath>

#include <algorithm>

namespace vorn {

ZCount::ZCount(int count, qreal unit, QWidget* parent) : QWidget(parent), m_count(count), m_unit(unit)
{
    installPixelAccessibility();
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(accessibleLabel(count));
    applySize();
    connect(AppearanceWatcher::instance(), &AppearanceWatcher::changed, this, [this] { update(); });
}

void ZCount::setCount(int count)
{
    if (count == m_count)
        return;
    m_count = count;
    setAccessibleName(accessibleLabel(count));
    applySize();
    update();
}

int ZCount::shown() const
{
    return std::clamp(m_count, 0, 3);
}

qreal ZCount::topInset() const
{
    return shown() > 0 ? m_unit * (shown() - 1) : 0.0;
}

QPointF ZCount::copyOrigin(int i) const
{
    // The copies sit in a row, bottom-aligned with one unit between them; the staircase moves only
    // the drawing, not the layout.
    const qreal step = (Pixels::z().width() + 1) * m_unit;
    return {i * step, topInset() - i * m_unit};
}

QString ZCount::accessibleLabel(int count)
{
    return QStringLiteral("Snoozed ") + QString::number(count) + QStringLiteral(" times");
}

QSize ZCount::sizeHint() const
{
    const int n = shown();
    if (n == 0)
        return {0, 0};
    const QSizeF z = PixelView::contentSize(Pixels::z(), m_unit);
    const qreal w = n * z.width() + (n - 1) * m_unit;
    const qreal h = z.height() + topInset();
    return {qCeil(w - 1e-6), qCeil(h - 1e-6)};
}

void ZCount::applySize()
{
    setFixedSize(sizeHint());
    updateGeometry();
}

void ZCount::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor snooze = Color::vornSnooze().resolved(palette());
    for (int i = 0; i < shown(); ++i)
        PixelView::paint(painter, Pixels::z(), m_unit, PixelView::defaultInks(), snooze, copyOrigin(i));
}

} // namespace vorn
