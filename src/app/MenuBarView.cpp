#include "app/MenuBarView.h"

#include "app/CalendarSyncRunner.h"
#include "app/SyncStatusText.h"
#include "model/AppModel.h"
#include "model/CalendarAccount.h"
#include "model/Commands.h"
#include "pixel/VornFont.h"
#include "ui/components/ThemedLabel.h"
#include "ui/list/ThingList.h"
#include "ui/list/ThingListModel.h"
#include "ui/list/ThingListView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vorn {

namespace {

constexpr int kPadding = 8;
constexpr int kTitleRow = 36;
constexpr int kButtonSize = 12;
constexpr int kMaxListRows = 8; // more scroll: the popup stays a glance

QPushButton* plainButton(const QString& text, const QString& name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setFlat(true);
    b->setFont(uiFont(kButtonSize));
    b->setCursor(Qt::PointingHandCursor);
    QPalette p = b->palette();
    p.setColor(QPalette::ButtonText, Color::vornMuted().resolved(p));
    b->setPalette(p);
    return b;
}

} // namespace

MenuBarView::MenuBarView(AppModel& model, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), m_model(model)
{
    setObjectName(QStringLiteral("menuBarView"));
    setFixedWidth(fixedWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->setSpacing(2);

    auto* title = new ThemedLabel(QStringLiteral("today"), VornFont::font(VornFont::labelSize),
                                  Color::vornText(), this);
    title->setObjectName(QStringLiteral("title"));
    title->setFixedHeight(kTitleRow);
    title->setContentsMargins(kPadding, 0, kPadding, 0);
    layout->addWidget(title);

    // A click only selects, as anywhere else: nothing special happens in the popup.
    m_list = new ThingList(model, Source::today, ListStyle::compact, this);
    layout->addWidget(m_list);

    // Room for the divider, drawn in paintEvent in the theme's faint colour.
    m_divider = new QWidget(this);
    m_divider->setFixedHeight(1 + 2 * 4);
    layout->addWidget(m_divider);

    auto* sync = new QVBoxLayout;
    sync->setContentsMargins(kPadding, 0, kPadding, 4);
    sync->setSpacing(4);
    m_syncStatus = new ThemedLabel(QString(), uiFont(kButtonSize), Color::vornMuted(), this);
    m_syncStatus->setObjectName(QStringLiteral("syncStatus"));
    m_syncStatus->setTextFormat(Qt::PlainText);
    m_syncStatus->hide();
    sync->addWidget(m_syncStatus);
    m_syncProgress = new QProgressBar(this);
    m_syncProgress->setObjectName(QStringLiteral("syncProgress"));
    m_syncProgress->setTextVisible(false);
    m_syncProgress->setMaximumHeight(4);
    m_syncProgress->hide();
    sync->addWidget(m_syncProgress);
    layout->addLayout(sync);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(kPadding, 0, kPadding, 4);
    // Of the commands, the popup offers only the two ways out, in their short words.
    m_open = plainButton(command(CommandId::openWindow).label, QStringLiteral("open"), this);
    m_quit = plainButton(command(CommandId::quit).shortLabel, QStringLiteral("quit"), this);
    buttons->addWidget(m_open);
    buttons->addStretch(1);
    buttons->addWidget(m_quit);
    layout->addLayout(buttons);

    connect(m_open, &QPushButton::clicked, this, [this] {
        close();
        Q_EMIT openRequested();
    });
    connect(m_quit, &QPushButton::clicked, this, [this] {
        close();
        Q_EMIT quitRequested();
    });
    connect(m_list->view()->listModel(), &QAbstractItemModel::modelReset, this, &MenuBarView::fitList);
    connect(m_list->view()->listModel(), &QAbstractItemModel::rowsInserted, this, &MenuBarView::fitList);
    connect(m_list->view()->listModel(), &QAbstractItemModel::rowsRemoved, this, &MenuBarView::fitList);
    fitList();
}

void MenuBarView::setCalendarSync(CalendarSyncRunner& sync)
{
    if (m_sync)
        return;
    m_sync = &sync;
    connect(&sync, &CalendarSyncRunner::statusChanged, this, [this] {
        m_syncProgress->hide();
        showSyncStatus();
    });
    connect(&sync, &CalendarSyncRunner::progress, this, [this](int done, int total) {
        const bool shows = showsSyncProgress(done, total) && m_syncStatus->isVisibleTo(this);
        if (shows) {
            m_syncProgress->setRange(0, total);
            m_syncProgress->setValue(done);
        }
        if (shows != m_syncProgress->isVisibleTo(this)) {
            m_syncProgress->setVisible(shows);
            fitList();
        }
    });
    // "2 minutes ago" turns into "3 minutes ago" with the model's clock.
    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::now)
            showSyncStatus();
    });
    showSyncStatus();
}

void MenuBarView::showSyncStatus()
{
    const std::optional<CalendarAccount> account = readCalendarAccount(m_model.settings());
    const bool shown = m_sync && account;
    if (shown) {
        const QString line = syncStatusWords(account, readSyncStatus(m_model.settings()),
                                             m_model.clock().now(), m_model.schedule())
                                 .line;
        // One line, however long the server's words: the whole of them on hover.
        const int room = fixedWidth - 4 * kPadding;
        m_syncStatus->setText(m_syncStatus->fontMetrics().elidedText(line, Qt::ElideRight, room));
        m_syncStatus->setToolTip(line);
    }
    if (shown != m_syncStatus->isVisibleTo(this)) {
        m_syncStatus->setVisible(shown);
        if (!shown)
            m_syncProgress->hide();
        fitList();
    }
}

void MenuBarView::fitList()
{
    // As tall as Today's rows and the add row, up to a few; the popup grows and shrinks with it.
    const int rowHeight = metrics(ListStyle::compact).rowHeight;
    const int rows = std::clamp(m_list->view()->listModel()->rowCount() + 1, 2, kMaxListRows + 1);
    m_list->setFixedHeight(rows * rowHeight + 2 * kPadding);
    adjustSize();
    // A thing added while the popup is open makes it taller: it moves to stay beside the icon and on
    // the screen, instead of growing past the bottom.
    if (isVisible())
        place();
}

void MenuBarView::place()
{
    QScreen* screen = QGuiApplication::screenAt(m_anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    move(popupPosition(m_anchor, size(), screen ? screen->availableGeometry() : QRect()));
}

void MenuBarView::popUp(const QRect& anchor)
{
    m_anchor = anchor.isValid() ? anchor : QRect(QCursor::pos(), QSize(1, 1));
    // The account may have been set up since it was last open.
    showSyncStatus();
    fitList();
    place();
    show();
    activateWindow();
}

void MenuBarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Color::vornBackground().resolved(palette()));
    painter.setPen(Color::vornFaint().resolved(palette()));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const int y = m_divider->geometry().center().y();
    painter.drawLine(m_divider->geometry().left(), y, m_divider->geometry().right(), y);
}

QPoint popupPosition(const QRect& anchor, const QSize& size, const QRect& screen)
{
    const bool roomBelow = !screen.isValid() || anchor.bottom() + size.height() <= screen.bottom();
    QPoint p(anchor.x() + anchor.width() / 2 - size.width() / 2,
             roomBelow ? anchor.bottom() + 1 : anchor.top() - size.height());
    if (screen.isValid()) {
        p.setX(std::clamp(p.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())));
        p.setY(std::clamp(p.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height())));
    }
    return p;
}

} // namespace vorn
