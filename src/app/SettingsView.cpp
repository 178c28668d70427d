#include "app/SettingsView.h"

#include "app/MenuBarSetting.h"
#include "model/AppModel.h"
#include "ui/components/ThemedLabel.h"

#include <QCheckBox>
#include <QEvent>
#include <QPainter>
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

} // namespace

SettingsView::SettingsView(AppModel& model, MenuBarSetting& menuBar, bool trayAvailable, QWidget* parent)
    : QWidget(parent)
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
