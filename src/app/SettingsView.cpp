#include "app/SettingsView.h"

#include "app/CalendarSyncRunner.h"
#include "app/MenuBarSetting.h"
#include "app/SyncStatusText.h"
#include "model/AppModel.h"
#include "model/CalendarAccount.h"
#include "model/Settings.h"
#include "ui/components/ThemedLabel.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vorn {

namespace {

constexpr int kCaptionSize = 12;

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new ThemedLabel(text, uiFont(kCaptionSize), Color::vornMuted(), parent);
    label->setWordWrap(true);
    return label;
}

// A status line: the server's address, the user's name and the server's words are shown as they are.
QLabel* statusCaption(const QString& name, QWidget* parent)
{
    QLabel* label = caption(QString(), parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

SettingsView::SettingsView(AppModel& model, MenuBarSetting& menuBar, bool trayAvailable, QWidget* parent)
    : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("settings"));
    setWindowTitle(QStringLiteral("vorn todo Preferences"));
    setFixedWidth(fixedWidth);

    auto* layout = m_layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(4);

    m_menuBar = new QCheckBox(QStringLiteral("Show in menu bar"), this);
    m_menuBar->setObjectName(QStringLiteral("showInMenuBar"));
    m_menuBar->setChecked(menuBar.isOn());
    layout->addWidget(m_menuBar);
    layout->addWidget(
        caption(QStringLiteral("Off by default. The app lives in the Dock and its own windows."), this));
    setTrayAvailable(trayAvailable);
    layout->addSpacing(16);

    m_floats = new QCheckBox(QStringLiteral("Focus mode floats on top"), this);
    m_floats->setObjectName(QStringLiteral("floats"));
    m_floats->setChecked(model.floats());
    layout->addWidget(m_floats);
    layout->addWidget(caption(
        QStringLiteral("Above every app and every Space. Press P in focus mode to switch it."), this));
    layout->addStretch(1);

    tintSwitches();

    connect(m_menuBar, &QCheckBox::toggled, &menuBar, &MenuBarSetting::setOn);
    connect(&menuBar, &MenuBarSetting::changed, m_menuBar, &QCheckBox::setChecked);
    connect(m_floats, &QCheckBox::toggled, &model, [&model](bool on) { model.setFloats(on); });
    connect(&model, &AppModel::changed, m_floats, [this, &model](AppModel::Field field) {
        if (field == AppModel::Field::floats)
            m_floats->setChecked(model.floats());
    });
}

void SettingsView::setTrayAvailable(bool available)
{
    if (!available && !m_noTray) {
        // The switch still keeps the setting, for a desktop that has a tray; here it would do nothing.
        m_noTray =
            caption(QStringLiteral("This desktop has no tray, so there's nothing to show it in."), this);
        m_noTray->setObjectName(QStringLiteral("noTray"));
        // Under the menu bar switch's caption.
        m_layout->insertWidget(2, m_noTray);
    }
    if (!m_noTray)
        return;
    m_noTray->setVisible(!available);
    m_layout->activate();
    adjustSize();
}

void SettingsView::setCalendarSync(CalendarSyncRunner& sync)
{
    if (m_sync)
        return;
    m_sync = &sync;
    auto* section = new QVBoxLayout;
    section->setContentsMargins(0, 16, 0, 0);
    section->setSpacing(4);
    auto* title = new QLabel(QStringLiteral("Sync with a calendar server"), this);
    title->setObjectName(QStringLiteral("syncTitle"));
    section->addWidget(title);
    m_syncAccountLine = statusCaption(QStringLiteral("syncAccountLine"), this);
    m_lastSynced = statusCaption(QStringLiteral("lastSynced"), this);
    m_syncFailure = statusCaption(QStringLiteral("syncFailure"), this);
    for (QLabel* line : {m_syncAccountLine, m_lastSynced, m_syncFailure})
        section->addWidget(line);

    m_syncProgress = new QProgressBar(this);
    m_syncProgress->setObjectName(QStringLiteral("syncProgress"));
    m_syncProgress->setTextVisible(false);
    m_syncProgress->setMaximumHeight(6);
    m_syncProgress->hide();
    section->addWidget(m_syncProgress);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 6, 0, 0);
    m_syncNow = new QPushButton(this);
    m_syncNow->setObjectName(QStringLiteral("syncNow"));
    m_syncAccountButton = new QPushButton(this);
    m_syncAccountButton->setObjectName(QStringLiteral("syncAccountButton"));
    buttons->addWidget(m_syncNow);
    buttons->addWidget(m_syncAccountButton);
    buttons->addStretch(1);
    section->addLayout(buttons);
    // Above the stretch that keeps the switches at the top.
    m_layout->insertLayout(m_layout->count() - 1, section);

    connect(m_syncNow, &QPushButton::clicked, this, &SettingsView::syncNow);
    connect(m_syncAccountButton, &QPushButton::clicked, this, &SettingsView::syncAccountRequested);
    connect(&sync, &CalendarSyncRunner::statusChanged, this, [this] {
        m_syncProgress->hide();
        showSyncStatus();
    });
    connect(&sync, &CalendarSyncRunner::progress, this, [this](int done, int total) {
        const bool shows = showsSyncProgress(done, total);
        if (shows) {
            m_syncProgress->setRange(0, total);
            m_syncProgress->setValue(done);
        }
        if (shows != m_syncProgress->isVisibleTo(this)) {
            m_syncProgress->setVisible(shows);
            showSyncStatus();
        }
    });
    // "2 minutes ago" turns into "3 minutes ago" with the model's clock.
    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::now)
            showSyncStatus();
    });
    showSyncStatus();
}

void SettingsView::showSyncStatus()
{
    if (!m_sync)
        return;
    Settings& settings = m_model.settings();
    const std::optional<CalendarAccount> account = readCalendarAccount(settings);
    const SyncStatusWords words =
        syncStatusWords(account, readSyncStatus(settings), m_model.clock().now(), m_model.schedule());
    m_syncAccountLine->setText(words.account);
    m_lastSynced->setText(words.lastSynced);
    m_lastSynced->setVisible(!words.lastSynced.isEmpty());
    m_syncFailure->setText(words.failure);
    m_syncFailure->setVisible(!words.failure.isEmpty());
    // Busy while the sync asked for here runs, or one long enough for the bar.
    const bool busy = m_syncAsked || m_syncProgress->isVisibleTo(this);
    m_syncNow->setText(busy ? QStringLiteral("Syncing…") : QStringLiteral("Sync Now"));
    m_syncNow->setEnabled(account && !busy);
    m_syncNow->setVisible(account.has_value());
    m_syncAccountButton->setText(account ? QStringLiteral("Account…") : QStringLiteral("Set Up…"));
    m_layout->activate();
    adjustSize();
}

void SettingsView::syncNow()
{
    if (!m_sync || m_syncAsked)
        return;
    m_syncAsked = true;
    showSyncStatus();
    // The window may be closed (and gone) before the sync ends.
    m_sync->syncNow([self = QPointer<SettingsView>(this)](bool, const QString&) {
        if (!self)
            return;
        self->m_syncAsked = false;
        self->showSyncStatus();
    });
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // --sync-setup may have set an account up from another process meanwhile.
    if (m_sync) {
        m_model.settings().sync();
        showSyncStatus();
    }
}

void SettingsView::tintSwitches()
{
    // The style draws an unticked box in the palette's base, outlined from its window colour; on the dark
    // background both vanish, so the boxes take the theme's inset fill and a muted outline.
    for (QCheckBox* box : {m_menuBar, m_floats}) {
        QPalette p = box->palette();
        p.setColor(QPalette::Base, Color::vornWell().resolved(palette()));
        p.setColor(QPalette::Window, Color::vornMuted().resolved(palette()));
        box->setPalette(p);
    }
}

void SettingsView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_menuBar && m_floats)
        tintSwitches();
}

void SettingsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Color::vornBackground().resolved(palette()));
}

} // namespace vorn
