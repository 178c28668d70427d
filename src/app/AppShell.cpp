#include "app/AppShell.h"

#include "app/AppCommands.h"
#include "app/MainWindow.h"
#include "app/MenuBarSetting.h"
#include "app/SettingsView.h"
#include "app/TrayIcon.h"
#include "model/AppModel.h"

#include <QApplication>

namespace vorn {

AppShell::AppShell(AppModel& model, MainWindow& window, QObject* parent)
    : QObject(parent), m_model(model), m_menuBar(new MenuBarSetting(model.settings(), this)),
      m_tray(new TrayIcon(model, this))
{
    connect(window.commands(), &AppCommands::preferencesRequested, this, &AppShell::showSettings);
    connect(m_menuBar, &MenuBarSetting::changed, m_tray, &TrayIcon::setWanted);
    connect(m_tray, &TrayIcon::shownChanged, this, &AppShell::followTray);
    connect(m_tray, &TrayIcon::openRequested, this, &AppShell::reopen);
    connect(m_tray, &TrayIcon::quitRequested, qApp, &QApplication::quit, Qt::QueuedConnection);
    m_tray->setWanted(m_menuBar->isOn());
    followTray(m_tray->isShown());
}

AppShell::~AppShell()
{
    delete m_settings;
}

SettingsView* AppShell::showSettings()
{
    if (!m_settings) {
        m_settings = new SettingsView(m_model, *m_menuBar, TrayIcon::isAvailable());
    }
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
    return m_settings;
}

void AppShell::reopen()
{
    // The model's window hooks raise and activate what it shows.
    m_model.reopen();
}

void AppShell::followTray(bool shown)
{
    // Only an icon the user can click brings the app back; without one a closed window must end it.
    QApplication::setQuitOnLastWindowClosed(!shown);
}

} // namespace vorn
