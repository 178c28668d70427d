#pragma once

#include "app/QuitGuard.h"

#include <QObject>
#include <QPointer>

namespace vorn {

class AppModel;
class CalendarSyncRunner;
class FocusPanelController;
class MainWindow;
class MenuBarSetting;
class SettingsView;
class SyncAccountDialog;
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
    // File > Sync with a Calendar Server…: one dialog, made on first use, brought forward.
    SyncAccountDialog* showSyncAccount();
    // The panel in focus mode, the main window otherwise, in front with the keyboard.
    void reopen();
    // Ctrl+W on the panel hides it while the tray icon can bring it back; without the icon a hidden
    // panel would leave the app running with nothing to see or click, so focus mode ends with the main
    // window minimised in the taskbar.
    void setFocusPanel(FocusPanelController& focus);
    // The running app's calendar sync: Preferences and the tray popup say how it stands, and an account
    // the dialog keeps syncs at once. None (a demo): they don't speak of syncing.
    void setCalendarSync(CalendarSyncRunner* sync);
    // File > Export… and Import… once a file is chosen; what happened is told in a toast, and lines an
    // import skipped in a message over the window.
    bool exportTo(const QString& path);
    void importFrom(const QString& path);
    // Quit from the menu or the tray: drafts go in and the store is saved first; when the save fails,
    // the confirmer is asked (tests answer through setUnsavedQuitConfirmer).
    void quit();
    void setUnsavedQuitConfirmer(UnsavedQuitConfirmer confirm) { m_confirmQuit = std::move(confirm); }

private:
    void followTray(bool shown);
    void chooseExport();
    void chooseImport();

    AppModel& m_model;
    MainWindow& m_window;
    MenuBarSetting* m_menuBar;
    TrayIcon* m_tray;
    QPointer<SettingsView> m_settings;
    QPointer<SyncAccountDialog> m_syncAccount;
    FocusPanelController* m_focus = nullptr;
    CalendarSyncRunner* m_sync = nullptr;
    UnsavedQuitConfirmer m_confirmQuit = askBeforeQuittingUnsaved;
};

} // namespace vorn
