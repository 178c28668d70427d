#pragma once

#include <QObject>
#include <QPointer>

namespace vorn {

class AppModel;
class MainWindow;
class MenuBarSetting;
class SettingsView;
class TrayIcon;

// What the app has besides its main window: the settings window, the tray icon and its popup, and the
// rule for closing: with the tray icon shown the app stays in the tray, without it closing the last
// window quits (and the exit saves).
class AppShell : public QObject {
    Q_OBJECT

public:
    AppShell(AppModel& model, MainWindow& window, QObject* parent = nullptr);
    ~AppShell() override;

    MenuBarSetting& menuBar() const { return *m_menuBar; }
    TrayIcon& tray() const { return *m_tray; }
    // Opens the settings window (one, made on first use) and brings it forward.
    SettingsView* showSettings();
    // The panel in focus mode, the main window otherwise, in front with the keyboard.
    void reopen();

private:
    void followTray(bool shown);

    AppModel& m_model;
    MenuBarSetting* m_menuBar;
    TrayIcon* m_tray;
    QPointer<SettingsView> m_settings;
};

} // namespace vorn
