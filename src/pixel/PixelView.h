#pragma once

#include "pixel/PixelGrid.h"
#include "pixel/Theme.h"

#include <QColor>
#include <QMap>
#include <QPainterPath>
#include <QWidget>

#include <optional>

class QPainter;

namespace vorn {

// How the cells of one character are filled.
class PixelInk {
public:
    PixelInk() = default; // foreground
    static PixelInk foreground() { return PixelInk(); }
    static PixelInk color(const QColor& c) { return PixelInk(c); }

    bool isForeground() const { return !m_color.has_value(); }
    QColor fixedColor() const { return m_color.value_or(QColor()); }

    friend bool operator==(const PixelInk&, const PixelInk&) = default;

private:
    explicit PixelInk(const QColor& c) : m_color(c) {}
    std::optional<QColor> m_color; // none: the foreground colour where the view stands
};

// Which characters are drawn and how; a character without an entry stays transparent.
using PixelInks = QMap<QString, PixelInk>;

// Draws a pixel grid: one filled path per ink, each cell a square of `unit` pixels. The view is exactly
// width × unit by height × unit, has no background and is hidden from accessibility: the control that
// contains it carries the label.
class PixelView : public QWidget {
    Q_OBJECT

public:
    explicit PixelView(const PixelGrid& grid, qreal unit, QWidget* parent = nullptr);
    PixelView(const PixelGrid& grid, qreal unit, PixelInks inks, QWidget* parent = nullptr);

    // `#` in the foreground colour: the one-colour glyphs.
    static PixelInks defaultInks();
    // `Y` in yawn, `K` in ink: the faces and the ticked box.
    static PixelInks markInks();
    static PixelView* mark(const PixelGrid& grid, qreal unit, QWidget* parent);

    const PixelGrid& grid() const { return m_grid; }
    void setGrid(const PixelGrid& grid);
    qreal unit() const { return m_unit; }
    void setUnit(qreal unit);
    const PixelInks& inks() const { return m_inks; }

    // The foreground ink's colour. Without one the view takes its palette's text colour, which it
    // inherits from the screen around it; an adaptive colour follows the appearance by itself.
    void setForeground(const Color& color);

    QSize sizeHint() const override;

    // The cells of `cell` as one path: each run scaled by `unit` and moved to `origin`.
    static QPainterPath path(const PixelGrid& grid, QStringView cell, qreal unit, QPointF origin = {});
    // Fills every ink of `grid` with its top-left corner at `origin`.
    static void paint(QPainter& painter, const PixelGrid& grid, qreal unit, const PixelInks& inks,
                      const QColor& foreground, QPointF origin);
    // The exact, unrounded size of a grid at a unit.
    static QSizeF contentSize(const PixelGrid& grid, qreal unit);
    // Where a grid's top-left corner goes to sit centred in `box`.
    static QPointF centredOrigin(const PixelGrid& grid, qreal unit, const QRectF& box);
    // The whole-pixel size a view of that grid takes.
    static QSize frameSize(const PixelGrid& grid, qreal unit);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applySize();
    QColor foregroundColor() const;

    PixelGrid m_grid;
    qreal m_unit;
    PixelInks m_inks;
    std::optional<Color> m_foreground;
};

// Hides pixel views from assistive technology and gives the snooze badge its one label; installed by
// the first pixel widget made.
void installPixelAccessibility();

} // namespace vorn
