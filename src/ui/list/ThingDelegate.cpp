#include "ui/list/ThingDelegate.h"

#include "pixel/PixelView.h"
#include "pixel/Pixels.h"
#include "pixel/Theme.h"
#include "text/InputLimits.h"
#include "ui/components/ThemedLabel.h"
#include "ui/list/ThingListModel.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace vorn {

namespace {

QFont sized(const QFont&, int pixels, QFont::Weight weight = QFont::Normal)
{
    return uiFont(pixels, weight);
}

constexpr int kCheckFrame = 22;
constexpr int kLineEditTextMargin = 2; // QLineEdit's own horizontal inset of its text

// No more of a title than can show in `width` pixels is laid out: no character that shows is narrower
// than a pixel, so a title of any length costs one row's worth of measuring at each paint.
QString measurable(const QString& title, int width)
{
    qsizetype fits = std::max(width, 1) + 1;
    if (title.size() <= fits)
        return title;
    if (title[fits - 1].isHighSurrogate())
        --fits;
    return title.first(fits) + u'\u2026';
}

} // namespace

ThingDelegate::ThingDelegate(ListStyle style, QObject* parent) : QStyledItemDelegate(parent), m_style(style)
{
}

QSize ThingDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const ListMetrics m = metrics(m_style);
    if (index.data(ThingListModel::IsHeaderRole).toBool())
        return {option.rect.width(), headerHeight};
    if (index.data(ThingListModel::IsStepsRole).toBool()) {
        // The steps entry is as tall as the steps view the list placed on it.
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        const QWidget* steps = view ? view->indexWidget(index) : nullptr;
        return {option.rect.width(), steps ? steps->sizeHint().height() : 0};
    }
    return {option.rect.width(), m.rowHeight + m.rowSpacing};
}

QRect ThingDelegate::checkRect(const QRect& rowRect) const
{
    const ListMetrics m = metrics(m_style);
    return {rowRect.left() + m.padding, rowRect.top() + (m.rowHeight - kCheckFrame) / 2, kCheckFrame,
            kCheckFrame};
}

QRect ThingDelegate::chevronRect(const QRect& rowRect) const
{
    const ListMetrics m = metrics(m_style);
    const int right = rowRect.right() - m.padding;
    return {right - 18 + 1, rowRect.top() + m.rowHeight / 2 - 9, 18, 18};
}

QRect ThingDelegate::titleRect(const QRect& rowRect) const
{
    const ListMetrics m = metrics(m_style);
    const QRect check = checkRect(rowRect);
    const int left = check.right() + 1 + m.itemSpacing;
    return {left, rowRect.top() + (m.rowHeight - 28) / 2, std::max(0, rowRect.right() - m.padding - left),
            28};
}

QFont ThingDelegate::titleFont(const QModelIndex& index) const
{
    const bool family = index.data(ThingListModel::IsFamilyRole).toBool();
    QFont font = uiFont(family ? familyTitleSize : titlePixelSize(m_style));
    font.setStrikeOut(index.data(ThingListModel::DoneRole).toBool());
    return font;
}

ThingDelegate::Trailing ThingDelegate::layoutTrailing(const QRect& row, const QModelIndex& index) const
{
    // Trailing items are laid out from the right edge; the title takes what is left.
    const ListMetrics m = metrics(m_style);
    Trailing t;
    int right = row.right() - m.padding;
    if (m.showsDetails && index.data(ThingListModel::HasStepsRole).toBool()) {
        t.chevron = chevronRect(row);
        right = t.chevron.left() - m.itemSpacing;
    }
    const int zs = index.data(ThingListModel::ZCountRole).toInt();
    if (zs >= 1 && !index.data(ThingListModel::DoneRole).toBool()) {
        t.zs = std::min(zs, 3);
        const QSizeF z = PixelView::contentSize(Pixels::z(), glyphUnit);
        const qreal step = (Pixels::z().width() + 1) * glyphUnit;
        const qreal width = step * (t.zs - 1) + z.width();
        const qreal height = z.height() + glyphUnit * (t.zs - 1);
        t.zLeft = right - width + 1;
        t.zBottom = row.center().y() + height / 2 - z.height();
        right = int(t.zLeft) - m.itemSpacing;
    }
    const QFontMetrics small(uiFont(12));
    for (int role : {int(ThingListModel::SourceAppRole), int(ThingListModel::MetaRole),
                     int(ThingListModel::StepProgressRole)}) {
        QString text = index.data(role).toString();
        if (text.isEmpty())
            continue;
        const int w = small.horizontalAdvance(text);
        t.texts.emplace_back(QRect(right - w + 1, row.top(), w, row.height()), std::move(text));
        right -= w + m.itemSpacing;
    }
    const QRect title = titleRect(row);
    t.titleArea = QRect(title.left(), title.top(), std::max(0, right - title.left() + 1), title.height());
    return t;
}

QRect ThingDelegate::titleTextRect(const QRect& rowRect, const QModelIndex& index) const
{
    const ListMetrics m = metrics(m_style);
    const QRect area =
        layoutTrailing(QRect(rowRect.topLeft(), QSize(rowRect.width(), m.rowHeight)), index).titleArea;
    const QString title = index.data(ThingListModel::TitleRole).toString();
    const int width = QFontMetrics(titleFont(index)).horizontalAdvance(measurable(title, area.width()));
    return {area.topLeft(), QSize(std::min(width, area.width()), area.height())};
}

void ThingDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const
{
    if (index.data(ThingListModel::IsStepsRole).toBool())
        return; // the steps view draws itself
    const ListMetrics m = metrics(m_style);
    const QPalette& pal = option.palette;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    if (index.data(ThingListModel::IsHeaderRole).toBool()) {
        painter->setFont(sized(option.font, 12, QFont::DemiBold));
        painter->setPen(Color::vornMuted().resolved(pal));
        const QRect r = option.rect.adjusted(12, 14, -12, 0);
        painter->drawText(r, Qt::AlignLeft | Qt::AlignTop, index.data(ThingListModel::TitleRole).toString());
        painter->restore();
        return;
    }

    const QRect row(option.rect.left(), option.rect.top(), option.rect.width(), m.rowHeight);
    if (index.data(ThingListModel::DraggingRole).toBool())
        painter->setOpacity(0.35);
    const bool family = index.data(ThingListModel::IsFamilyRole).toBool();
    if (option.state & QStyle::State_Selected) {
        QPainterPath bg;
        bg.addRoundedRect(QRectF(row), m.cornerRadius, m.cornerRadius);
        painter->fillPath(bg, Color::vornSelection().resolved(pal));
    } else if (family) {
        // Another app's row sits on a faint well, so it reads as a guest in the list.
        QPainterPath bg;
        bg.addRoundedRect(QRectF(row), m.cornerRadius, m.cornerRadius);
        QColor well = Color::vornWell().resolved(pal);
        well.setAlphaF(well.alphaF() * 0.4f);
        painter->fillPath(bg, well);
    }

    const bool done = index.data(ThingListModel::DoneRole).toBool();
    const QRect check = checkRect(row);
    const PixelGrid& box = done ? Pixels::boxDone() : Pixels::box();
    PixelView::paint(*painter, box, glyphUnit, done ? PixelView::markInks() : PixelView::defaultInks(),
                     Color::vornFaint().resolved(pal), PixelView::centredOrigin(box, glyphUnit, check));

    const Trailing trailing = layoutTrailing(row, index);
    const QFont small = sized(option.font, 12);
    painter->setFont(small);
    painter->setPen(Color::vornMuted().resolved(pal));

    if (trailing.chevron.isValid()) {
        painter->save();
        painter->translate(QRectF(trailing.chevron).center());
        if (index.data(ThingListModel::ExpandedRole).toBool())
            painter->rotate(90);
        QPen pen(Color::vornMuted().resolved(pal), 1.6);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter->setPen(pen);
        painter->drawPolyline(QPolygonF({QPointF(-2, -4), QPointF(2, 0), QPointF(-2, 4)}));
        painter->restore();
    }

    const qreal zStep = (Pixels::z().width() + 1) * glyphUnit;
    for (int i = 0; i < trailing.zs; ++i) {
        PixelView::paint(*painter, Pixels::z(), glyphUnit, PixelView::defaultInks(),
                         Color::vornSnooze().resolved(pal),
                         QPointF(trailing.zLeft + i * zStep, trailing.zBottom - i * glyphUnit));
    }

    for (const auto& [rect, text] : trailing.texts)
        painter->drawText(rect, Qt::AlignRight | Qt::AlignVCenter, text);

    // While the title is being edited the editor stands in for it; painting both would show the
    // old title through the editor's clear background.
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    if (view && view->indexWidget(index)) {
        painter->restore();
        return;
    }
    const QFont titleFont = this->titleFont(index);
    painter->setFont(titleFont);
    painter->setPen((done ? Color::vornFaint() : Color::vornText()).resolved(pal));
    const QString text = QFontMetrics(titleFont).elidedText(
        measurable(index.data(ThingListModel::TitleRole).toString(), trailing.titleArea.width()),
        Qt::ElideRight, trailing.titleArea.width());
    painter->drawText(trailing.titleArea, Qt::AlignLeft | Qt::AlignVCenter, text);
    painter->restore();
}

QWidget* ThingDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                     const QModelIndex& index) const
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("titleEditor"));
    edit->setPlaceholderText(tr("Title"));
    edit->setFrame(false);
    edit->setMaxLength(int(kTitleLimit));
    // The editor stands in for the painted title: same size, on the row's own background.
    const bool family = index.data(ThingListModel::IsFamilyRole).toBool();
    edit->setFont(uiFont(family ? familyTitleSize : titlePixelSize(m_style)));
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    edit->setPalette(pal);
    return edit;
}

void ThingDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* edit = static_cast<QLineEdit*>(editor);
    // Only on opening: a refresh while typing must not throw the draft away.
    if (edit->property("vornLoaded").toBool())
        return;
    edit->setProperty("vornLoaded", true);
    edit->setText(index.data(Qt::EditRole).toString());
    edit->setCursorPosition(int(edit->text().size()));
}

void ThingDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    // The steps view under an expanded thing is an index widget too; it takes the whole entry.
    if (index.data(ThingListModel::IsStepsRole).toBool()) {
        editor->setGeometry(option.rect);
        return;
    }
    const ListMetrics m = metrics(m_style);
    // The title's own room: the step count, meta text and badges beside it stay in sight and untouched.
    const QRect row(option.rect.left(), option.rect.top(), option.rect.width(), m.rowHeight);
    // A line edit sets its text in by a margin of its own; the editor starts that much further left so
    // the text stays where the painted title was.
    editor->setGeometry(layoutTrailing(row, index).titleArea.adjusted(-kLineEditTextMargin, 0, 0, 0));
}

bool ThingDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                              const QModelIndex& index)
{
    if (event->type() == QEvent::ToolTip && metrics(m_style).showsDetails &&
        index.data(ThingListModel::HasStepsRole).toBool() &&
        chevronRect(option.rect).contains(event->pos())) {
        QToolTip::showText(event->globalPos(),
                           ThingListModel::chevronHelp(index.data(ThingListModel::ExpandedRole).toBool()),
                           view);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

} // namespace vorn
