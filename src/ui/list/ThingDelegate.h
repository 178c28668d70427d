#pragma once

#include "ui/list/ListMetrics.h"

#include <QStyledItemDelegate>

#include <utility>
#include <vector>

namespace vorn {

// Paints one row of the thing list: box, title, step progress, meta text, snooze badge, chevron; or a
// Later section header. The title editor is the only widget it makes, for the row being edited.
class ThingDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit ThingDelegate(ListStyle style, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    // The steps button's help, as a tooltip over the chevron.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // Parts of a row at `rect`, shared with the view's hit testing.
    QRect checkRect(const QRect& rowRect) const;
    QRect titleRect(const QRect& rowRect) const;
    QRect chevronRect(const QRect& rowRect) const;
    // Where the title's text is painted: a click there renames the thing.
    QRect titleTextRect(const QRect& rowRect, const QModelIndex& index) const;
    static constexpr int headerHeight = 34;
    static constexpr int titlePixelSize(ListStyle style) { return style == ListStyle::regular ? 13 : 12; }
    static constexpr int familyTitleSize = 14;
    static constexpr qreal glyphUnit = 2;

private:
    // What sits right of the title, from the row's right edge in; the title gets the rest.
    struct Trailing {
        QRect chevron;
        int zs = 0; // snooze badges drawn, at most three
        qreal zLeft = 0;
        qreal zBottom = 0; // top of the lowest badge
        std::vector<std::pair<QRect, QString>> texts;
        QRect titleArea;
    };
    Trailing layoutTrailing(const QRect& row, const QModelIndex& index) const;
    QFont titleFont(const QModelIndex& index) const;

    ListStyle m_style;
};

} // namespace vorn
