#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace vorn {

class AppModel;
class CalendarSyncRunner;
class MenuBarSetting;

// The settings window: whether the app shows in the tray, and whether the focus panel floats on top.
// Both switches follow their value while the window is open, whoever changes it. With a calendar sync,
// how it stands too: the account, the last sync and its failure, kept up to date while it is open.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    static constexpr int fixedWidth = 400;

    SettingsView(AppModel& model, MenuBarSetting& menuBar, bool trayAvailable, QWidget* parent = nullptr);

    QCheckBox* menuBarSwitch() const { return m_menuBar; }
    QCheckBox* floatsSwitch() const { return m_floats; }
    // Says there is no tray to show in; null or hidden where there is one.
    QLabel* noTrayNote() const { return m_noTray; }
    // A tray that starts (or stops) while the window is open changes what the note says.
    void setTrayAvailable(bool available);
    // Adds the calendar-sync section, following `sync` from now on; once, before the window shows.
    void setCalendarSync(CalendarSyncRunner& sync);

    QLabel* syncAccountLine() const { return m_syncAccountLine; }
    QLabel* lastSyncedLine() const { return m_lastSynced; }
    QLabel* syncFailureLine() const { return m_syncFailure; }
    QProgressBar* syncProgress() const { return m_syncProgress; }
    QPushButton* syncNowButton() const { return m_syncNow; }
    QPushButton* syncAccountButton() const { return m_syncAccountButton; }

Q_SIGNALS:
    void syncAccountRequested(); // "Account…" or "Set Up…": the account dialog

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void tintSwitches();
    void showSyncStatus();
    void syncNow();

    AppModel& m_model;
    CalendarSyncRunner* m_sync = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QCheckBox* m_menuBar = nullptr;
    QCheckBox* m_floats = nullptr;
    QLabel* m_noTray = nullptr;
    QLabel* m_syncAccountLine = nullptr;
    QLabel* m_lastSynced = nullptr;
    QLabel* m_syncFailure = nullptr;
    QProgressBar* m_syncProgress = nullptr;
    QPushButton* m_syncNow = nullptr;
    QPushButton* m_syncAccountButton = nullptr;
    bool m_syncAsked = false; // Sync Now was pressed and that sync hasn't ended
};

} // namespace vorn
