#include "ui/focus/FocusPanel.h"

#include "model/AppModel.h"
#include "ui/components/CommandAction.h"
#include "ui/focus/FocusView.h"
#include "ui/focus/X11Floating.h"

#include <QAction>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <optional>

namespace vorn {

namespace {

// A frameless window has no border for the window manager to grab, so each side edge carries a strip
// that starts a resize: the window manager's where it can, by hand otherwise.
class EdgeGrip : public QWidget {
public:
    EdgeGrip(Qt::Edge edge, QWidget* panel) : QWidget(panel), m_edge(edge)
    {
        setObjectName(edge == Qt::LeftEdge ? QStringLiteral("leftGrip") : QStringLiteral("rightGrip"));
        setCursor(Qt::SizeHorCursor);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return QWidget::mousePressEvent(event);
        event->accept();
        QWindow* handle = window()->windowHandle();
        if (handle && handle->startSystemResize(m_edge))
            return;
        m_pressGlobal = event->globalPosition().toPoint();
        m_startFrame = window()->geometry();
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!m_pressGlobal)
            return QWidget::mouseMoveEvent(event);
        const int dx = event->globalPosition().toPoint().x() - m_pressGlobal->x();
        QWidget* panel = window();
        const int wanted = m_edge == Qt::LeftEdge ? m_startFrame.width() - dx : m_startFrame.width() + dx;
        const int width = std::clamp(wanted, panel->minimumWidth(), panel->maximumWidth());
        // The left edge moves, the right one stays put.
        const int x =
            m_edge == Qt::LeftEdge ? m_startFrame.x() + m_startFrame.width() - width : m_startFrame.x();
        panel->setGeometry(x, m_startFrame.y(), width, panel->height());
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        m_pressGlobal.reset();
        QWidget::mouseReleaseEvent(event);
    }

private:
    Qt::Edge m_edge;
    std::optional<QPoint> m_pressGlobal;
    QRect m_startFrame;
};

// Undo and redo here need no text-field hook: a text field being typed in takes their keys first.
constexpr CommandId kPanelCommands[] = {CommandId::hidePanel, CommandId::focusMode, CommandId::undo,
                                        CommandId::redo};

} // namespace

Qt::WindowFlags FocusPanel::flags(bool floats)
{
    Qt::WindowFlags f = Qt::Tool | Qt::FramelessWindowHint;
    if (floats)
        f |= Qt::WindowStaysOnTopHint;
    return f;
}

FocusPanel::FocusPanel(AppModel& model, QWidget* parent)
    : QWidget(parent, flags(model.floats())), m_model(model)
{
    setObjectName(QStringLiteral("focusPanel"));
    setWindowTitle(QStringLiteral("vorn todo · focus"));
    setAttribute(Qt::WA_TranslucentBackground);
    // Its tooltips show whether or not it has the keys: a floating panel is mostly looked at while
    // another window is being worked in.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMinimumWidth(minWidth);
    setMaximumWidth(maxWidth);
    resize(defaultWidth, defaultHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new FocusView(model, this);
    layout->addWidget(m_view);
    connect(m_view, &FocusView::heightChanged, this, &FocusPanel::fitHeight);
    connect(m_view, &FocusView::activateRequested, this, [this] { activateWindow(); });

    m_leftGrip = new EdgeGrip(Qt::LeftEdge, this);
    m_rightGrip = new EdgeGrip(Qt::RightEdge, this);

    // Shortcuts match their keys exactly, so Ctrl+Alt+W and Shift+Ctrl+W are not Ctrl+W.
    CommandHost host;
    host.toWindow = [this](CommandId id) {
        if (id == CommandId::hidePanel)
            Q_EMIT closeRequested();
    };
    for (CommandId id : kPanelCommands)
        addAction(commandAction(command(id), m_model, host, this));
}

QSet<QString> FocusPanel::ownCommands() const
{
    QSet<QString> names;
    for (const QAction* a : findChildren<QAction*>()) {
        if (!a->objectName().isEmpty())
            names.insert(a->objectName());
    }
    return names;
}

void FocusPanel::fitHeight(int height)
{
    if (height <= 0)
        return;
    setMinimumHeight(height);
    setMaximumHeight(height);
    // Qt measures from the top, so keeping y keeps the top edge.
    if (this->height() != height)
        setGeometry(x(), y(), width(), height);
}

void FocusPanel::setComposited(bool composited)
{
    m_composited = composited;
    m_view->setSeeThrough(composited);
    updateShape();
}

void FocusPanel::updateShape()
{
    if (m_composited) {
        clearMask();
        return;
    }
    // Whole pixels only: a corner pixel is the window's or the desktop's.
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), FocusView::cornerRadius, FocusView::cornerRadius);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void FocusPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setComposited(x11Compositing(windowHandle()).value_or(true));
}

void FocusPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateShape();
    m_leftGrip->setGeometry(0, 0, gripWidth, height());
    m_rightGrip->setGeometry(width() - gripWidth, 0, gripWidth, height());
    m_leftGrip->raise();
    m_rightGrip->raise();
}

} // namespace vorn
