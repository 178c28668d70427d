#include "ui/focus/FocusView.h"

#include "model/AppModel.h"
#include "pixel/Theme.h"
#include "ui/components/ToastView.h"
#include "ui/focus/FocusHeader.h"
#include "ui/list/ThingList.h"
#include "ui/list/ThingListModel.h"
#include "ui/list/ThingListView.h"

#include <QEvent>
#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace vorn {

namespace {

// The base under the tint: the glass needs some body, or the desktop behind drowns the rows.
constexpr qreal kBaseOpacity = 0.82;

} // namespace

FocusView::FocusView(AppModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_hover(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("focusView"));
    setAttribute(Qt::WA_Hover);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(8, 4, 8, 8);
    m_layout->setSpacing(2);
    m_layout->setAlignment(Qt::AlignTop);
    m_header = new FocusHeader(model, this);
    m_layout->addWidget(m_header);

    m_toast = new ToastView(model, this);
    m_toast->setObjectName(QStringLiteral("toast"));

    m_hover->setObjectName(QStringLiteral("hover"));
    m_hover->setDuration(hoverMSecs);
    m_hover->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_hover, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { m_header->setButtonOpacity(value.toReal()); });

    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        switch (field) {
        case AppModel::Field::tab:
        case AppModel::Field::piles:
            showSource();
            break;
        case AppModel::Field::toast:
            placeToast();
            break;
        case AppModel::Field::records:
        case AppModel::Field::now:
        case AppModel::Field::rolledOver:
            m_header->refresh();
            scheduleMeasure();
            break;
        default:
            break;
        }
    });
    showSource();
}

void FocusView::showSource()
{
    const Source source = m_model.source().value_or(Source::today);
    m_header->show(source);
    // A pile renamed or the piles reordered keeps the list; only another source makes a new one.
    if (m_list && source == m_source)
        return;
    if (m_list) {
        m_layout->removeWidget(m_list);
        m_list->hide();
        m_list->deleteLater();
    }
    m_source = source;
    m_list = new ThingList(m_model, source, ListStyle::compact, this);
    m_list->installEventFilter(this);
    connect(m_list->view(), &ThingListView::rowPressed, this, &FocusView::activateRequested);
    ThingListModel* rows = m_list->view()->listModel();
    connect(rows, &QAbstractItemModel::modelReset, this, &FocusView::scheduleMeasure);
    connect(rows, &QAbstractItemModel::rowsInserted, this, &FocusView::scheduleMeasure);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &FocusView::scheduleMeasure);
    m_layout->addWidget(m_list);
    m_list->show();
    m_toast->raise();
    m_list->setFocus();
    scheduleMeasure();
}

bool FocusView::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest)
        scheduleMeasure();
    return handled;
}

bool FocusView::eventFilter(QObject* watched, QEvent* event)
{
    // The list's own layout settles first; ours follows it from what it then wants.
    if (watched == m_list && event->type() == QEvent::LayoutRequest)
        scheduleMeasure();
    return QWidget::eventFilter(watched, event);
}

void FocusView::scheduleMeasure()
{
    if (m_measurePending)
        return;
    m_measurePending = true;
    QTimer::singleShot(0, this, &FocusView::measure);
}

void FocusView::measure()
{
    m_measurePending = false;
    if (m_list && m_list->layout())
        m_list->layout()->activate();
    m_layout->invalidate();
    m_layout->activate();
    const int height = m_layout->sizeHint().height();
    if (height == m_reported)
        return;
    m_reported = height;
    Q_EMIT heightChanged(height);
}

QPainterPath FocusView::outline(const QSizeF& size)
{
    QPainterPath shape;
    shape.addRoundedRect(QRectF(QPointF(0, 0), size).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius,
                         cornerRadius);
    return shape;
}

void FocusView::setSeeThrough(bool seeThrough)
{
    if (seeThrough == m_seeThrough)
        return;
    m_seeThrough = seeThrough;
    update();
}

void FocusView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = outline(size());
    QColor base = Color::vornBackground().resolved(palette());
    base.setAlphaF(m_seeThrough ? kBaseOpacity : 1.0);
    painter.fillPath(shape, base);
    painter.fillPath(shape, Color::vornGlassTint().resolved(palette()));
    painter.setPen(QPen(Color::vornFaint().resolved(palette()), 1));
    painter.drawPath(shape);
}

void FocusView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeToast();
}

void FocusView::placeToast()
{
    const QSize size = QLayout::closestAcceptableSize(m_toast, m_toast->sizeHint()).boundedTo(this->size());
    m_toast->setGeometry((width() - size.width()) / 2, height() - toastBottom - size.height(), size.width(),
                         size.height());
    m_toast->raise();
}

void FocusView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    fadeButtons(1.0);
}

void FocusView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    fadeButtons(0.6);
}

void FocusView::fadeButtons(qreal to)
{
    m_hover->stop();
    m_hover->setStartValue(m_header->buttonOpacity());
    m_hover->setEndValue(to);
    m_hover->start();
}

} // namespace vorn
