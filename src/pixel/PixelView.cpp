#include "pixel/PixelView.h"

#include "pixel/ZCount.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QtMath>

#include <mutex>

using namespace Qt::StringLiterals;

namespace vorn {

namespace {

// Drawing only: no name, no role, and reported as invisible so readers skip it.
class HiddenPixelAccessible : public QAccessibleWidget {
public:
    explicit HiddenPixelAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::NoRole) {}
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
    QString text(QAccessible::Text) const override { return {}; }
};

// The badge is one element: its label carries the full count and nothing inside it is announced.
class BadgeAccessible : public QAccessibleWidget {
public:
    explicit BadgeAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
};

QAccessibleInterface* pixelAccessibleFactory(const QString&, QObject* object)
{
    if (auto* badge = qobject_cast<ZCount*>(object))
        return new BadgeAccessible(badge);
    if (auto* view = qobject_cast<PixelView*>(object))
        return new HiddenPixelAccessible(view);
    return nullptr;
}

} // namespace

void installPixelAccessibility()
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(pixelAccessibleFactory); });
}

PixelView::PixelView(const PixelGrid& grid, qreal unit, QWidget* parent)
    : PixelView(grid, unit, defaultInks(), parent)
{
}

PixelView::PixelView(const PixelGrid& grid, qreal unit, PixelInks inks, QWidget* parent)
    : QWidget(parent), m_grid(grid), m_unit(unit), m_inks(std::move(inks))
{
    installPixelAccessibility();
    // Transparent even when shown or grabbed on its own, not only inside a screen.
    setAttribute(Qt::WA_TranslucentBackground);
    applySize();
    // A forced appearance changes no palette, so repaint on the watcher's word too.
    connect(AppearanceWatcher::instance(), &AppearanceWatcher::changed, this, [this] { update(); });
}

PixelInks PixelView::defaultInks()
{
    return {{u"#"_s, PixelInk::foreground()}};
}

PixelInks PixelView::markInks()
{
    return {{u"Y"_s, PixelInk::color(Color::yawn)}, {u"K"_s, PixelInk::color(Color::ink)}};
}

PixelView* PixelView::mark(const PixelGrid& grid, qreal unit, QWidget* parent)
{
    return new PixelView(grid, unit, markInks(), parent);
}

void PixelView::setGrid(const PixelGrid& grid)
{
    if (grid == m_grid)
        return;
    m_grid = grid;
    applySize();
    update();
}

void PixelView::setUnit(qreal unit)
{
    if (qFuzzyCompare(unit, m_unit))
        return;
    m_unit = unit;
    applySize();
    update();
}

void PixelView::setForeground(const Color& color)
{
    m_foreground = color;
    update();
}

QSize PixelView::sizeHint() const
{
    return frameSize(m_grid, m_unit);
}

QSizeF PixelView::contentSize(const PixelGrid& grid, qreal unit)
{
    return {grid.width() * unit, grid.height() * unit};
}

QPointF PixelView::centredOrigin(const PixelGrid& grid, qreal unit, const QRectF& box)
{
    const QSizeF size = contentSize(grid, unit);
    return {box.left() + (box.width() - size.width()) / 2, box.top() + (box.height() - size.height()) / 2};
}

QSize PixelView::frameSize(const PixelGrid& grid, qreal unit)
{
    const QSizeF exact = contentSize(grid, unit);
    // A hair of slack so 9 × 1.1 does not round up to one pixel too many.
    return {qCeil(exact.width() - 1e-6), qCeil(exact.height() - 1e-6)};
}

void PixelView::applySize()
{
    setFixedSize(frameSize(m_grid, m_unit));
    updateGeometry();
}

QPainterPath PixelView::path(const PixelGrid& grid, QStringView cell, qreal unit, QPointF origin)
{
    QPainterPath result;
    result.setFillRule(Qt::WindingFill);
    for (const PixelRect& r : grid.runs(cell))
        result.addRect(origin.x() + r.x * unit, origin.y() + r.y * unit, r.width * unit, r.height * unit);
    return result;
}

void PixelView::paint(QPainter& painter, const PixelGrid& grid, qreal unit, const PixelInks& inks,
                      const QColor& foreground, QPointF origin)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    // Cells of different characters never overlap, so the order of the inks does not matter.
    for (auto it = inks.cbegin(); it != inks.cend(); ++it) {
        const QPainterPath cells = path(grid, it.key(), unit, origin);
        if (!cells.isEmpty())
            painter.fillPath(cells, it.value().isForeground() ? foreground : it.value().fixedColor());
    }
}

QColor PixelView::foregroundColor() const
{
    return m_foreground ? m_foreground->resolved(palette()) : palette().color(foregroundRole());
}

void PixelView::paintEvent(QPaintEvent*)
{
    if (m_grid.width() == 0 || m_grid.height() == 0)
        return;
    QPainter painter(this);
    const QSizeF exact = contentSize(m_grid, m_unit);
    const QPointF origin((width() - exact.width()) / 2, (height() - exact.height()) / 2);
    paint(painter, m_grid, m_unit, m_inks, foregroundColor(), origin);
}

} // namespace vorn
