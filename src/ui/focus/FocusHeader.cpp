#include "ui/focus/FocusHeader.h"

#include "model/AppModel.h"
#include "model/KeyNames.h"
#include "pixel/Pixels.h"
#include "pixel/Theme.h"
#include "pixel/VornFont.h"
#include "text/TitleText.h"
#include "ui/components/CommandAction.h"
#include "ui/components/PixelButton.h"
#include "ui/components/ThemedLabel.h"
#include "ui/focus/FocusCount.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QWindow>

namespace vorn {

namespace {

constexpr qreal kRestingOpacity = 0.6;

QString pinTooltip(bool floats)
{
    const QString key = QStringLiteral(" (") + keyName(commandKeys(CommandId::pin)) + u')';
    // A Wayland compositor keeps windows above others only if it wants to; the pin can only ask.
    if (floats && QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return QStringLiteral("Asks to float. On Wayland the desktop decides.") + key;
    return (floats ? QStringLiteral("Floating. Above it all.")
                   : QStringLiteral("Not floating. Just a window.")) +
           key;
}

} // namespace

FocusHeader::FocusHeader(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("focusHeader"));
    setFixedHeight(rowHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 0, 2, 0);
    row->setSpacing(8);

    m_switcher = new QToolButton(this);
    m_switcher->setObjectName(QStringLiteral("listSwitcher"));
    m_switcher->setAutoRaise(true);
    m_switcher->setPopupMode(QToolButton::InstantPopup);
    m_switcher->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_switcher->setFont(VornFont::font(VornFont::labelSize));
    m_switcher->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_switcher->setFocusPolicy(Qt::NoFocus);
    // Ctrl+1, Ctrl+2, Ctrl+3 for the built-in lists in their fixed order, as in the main window.
    const CommandId lists[] = {CommandId::tabToday, CommandId::tabLater, CommandId::tabDoneIsh};
    m_switcher->setToolTip(QStringLiteral("Switch list %1 %2 %3")
                               .arg(keyName(commandKeys(lists[0])), keyName(commandKeys(lists[1])),
                                    keyName(commandKeys(lists[2]))));
    m_menu = new QMenu(m_switcher);
    m_switcher->setMenu(m_menu);
    // The same actions sit on the header, so their shortcuts work while the menu is closed.
    for (TodoList list : kAllTodoLists) {
        const int position = int(list);
        QAction* action = commandAction(command(lists[position]), m_model, {}, this);
        addAction(action);
        m_listActions[position] = action;
    }
    row->addWidget(m_switcher, 0, Qt::AlignVCenter);

    m_count = new ThemedLabel(QString(), uiFont(12), Color::vornMuted(), this);
    m_count->setObjectName(QStringLiteral("focusCount"));
    m_count->setTextFormat(Qt::PlainText);
    m_count->setWordWrap(false);
    row->addWidget(m_count, 0, Qt::AlignVCenter);
    row->addStretch(1);

    m_pin = new PixelButton(
        Pixels::pin(), Color::vornMuted(), [this] { m_model.setFloats(!m_model.floats()); }, this);
    m_pin->setObjectName(QStringLiteral("pinButton"));
    m_pin->setFocusPolicy(Qt::NoFocus);
    m_expand = new PixelButton(
        Pixels::expand(), Color::vornMuted(), [this] { m_model.exitFocusMode(); }, this);
    m_expand->setObjectName(QStringLiteral("expandButton"));
    m_expand->setFocusPolicy(Qt::NoFocus);
    m_expand->setToolTip(QStringLiteral("Back to the full window ") +
                         keyName(commandKeys(CommandId::focusMode)));
    m_expand->setAccessibleName(QStringLiteral("Leave focus mode"));
    m_pinOpacity = new QGraphicsOpacityEffect(m_pin);
    m_expandOpacity = new QGraphicsOpacityEffect(m_expand);
    m_pin->setGraphicsEffect(m_pinOpacity);
    m_expand->setGraphicsEffect(m_expandOpacity);
    setButtonOpacity(kRestingOpacity);
    row->addWidget(m_pin, 0, Qt::AlignVCenter);
    row->addWidget(m_expand, 0, Qt::AlignVCenter);

    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::floats)
            refreshPin();
    });
    connect(AppearanceWatcher::instance(), &AppearanceWatcher::changed, this,
            [this] { applySwitcherColor(); });
    applySwitcherColor();
    refreshPin();
    refresh();
}

void FocusHeader::show(const Source& source)
{
    m_source = source;
    refresh();
}

void FocusHeader::refresh()
{
    m_switcherTitle = m_model.title(m_source);
    m_count->setText(
        focusCountText(m_source, m_model.count(m_source), !m_model.visibleThings(m_source).empty()));
    fitSwitcher();
    rebuildMenu();
}

void FocusHeader::fitSwitcher()
{
    // The switcher shows as much of the list's name as the panel leaves it, then "…": a tool button
    // would otherwise be cut off mid-letter at the count beside it.
    const auto* row = static_cast<QHBoxLayout*>(layout());
    const QMargins margins = row->contentsMargins();
    int others = margins.left() + margins.right() + 3 * row->spacing();
    others += m_count->sizeHint().width() + m_pin->sizeHint().width() + m_expand->sizeHint().width();
    const QFontMetrics fm(m_switcher->font());
    const int chrome = m_switcher->sizeHint().width() - fm.horizontalAdvance(m_switcher->text());
    const int room = std::max(0, width() - others - chrome);
    const QString shown = fm.elidedText(shownTitle(m_switcherTitle), Qt::ElideRight, room);
    m_switcher->setText(menuItemText(shown));
}

void FocusHeader::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitSwitcher();
}

void FocusHeader::rebuildMenu()
{
    m_menu->clear();
    for (TodoList list : kAllTodoLists) {
        m_menu->addAction(m_listActions[int(list)]);
    }
    const std::vector<Pile*>& piles = m_model.piles();
    if (piles.empty())
        return;
    m_menu->addSeparator();
    for (Pile* pile : piles) {
        const RecordId id = pile->id();
        m_menu->addAction(menuItemText(pile->name()), this, [this, id] { m_model.setTab(Tab::pile(id)); });
    }
}

void FocusHeader::refreshPin()
{
    const bool floats = m_model.floats();
    m_pin->setGlyph(floats ? Pixels::pin() : Pixels::pinOff());
    m_pin->setToolTip(pinTooltip(floats));
    m_pin->setAccessibleName(floats ? QStringLiteral("Floating on top") : QStringLiteral("Not floating"));
}

void FocusHeader::applySwitcherColor()
{
    m_switcher->setStyleSheet(
        QStringLiteral("QToolButton { border: none; background: transparent; padding: 0; color: %1; }"
                       "QToolButton::menu-indicator { image: none; width: 0; }")
            .arg(Color::vornText().resolved().name(QColor::HexArgb)));
}

void FocusHeader::setButtonOpacity(qreal opacity)
{
    m_pinOpacity->setOpacity(opacity);
    m_expandOpacity->setOpacity(opacity);
}

qreal FocusHeader::buttonOpacity() const
{
    return m_pinOpacity->opacity();
}

void FocusHeader::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressGlobal = event->globalPosition().toPoint();
    m_windowAtPress = window()->pos();
    m_dragging = false;
    m_movingByHand = false;
    event->accept();
}

void FocusHeader::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressGlobal || !(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    const QPoint delta = event->globalPosition().toPoint() - *m_pressGlobal;
    if (!m_dragging) {
        if (delta.manhattanLength() < QApplication::startDragDistance())
            return;
        m_dragging = true;
        // The window manager moves the panel where it can; otherwise (offscreen, some X servers) we do.
        QWindow* handle = window()->windowHandle();
        m_movingByHand = !(handle && handle->startSystemMove());
    }
    if (m_movingByHand)
        window()->move(m_windowAtPress + delta);
    event->accept();
}

void FocusHeader::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressGlobal.reset();
    m_dragging = false;
    m_movingByHand = false;
    QWidget::mouseReleaseEvent(event);
}

void FocusHeader::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    m_pressGlobal.reset();
    event->accept();
    m_model.exitFocusMode();
}

} // namespace vorn
