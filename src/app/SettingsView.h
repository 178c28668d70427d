#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QVBoxLayout;

namespace vorn {

class AppModel;
class MenuBarSetting;

// The settings window: whether the app shows in the tray, and whether the focus panel floats on top.
// Both switches follow their value while the window is open, whoever changes it.
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

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void tintSwitches();
    QVBoxLayout* m_layout = nullptr;
    QCheckBox* m_menuBar = nullptr;
    QCheckBox* m_floats = nullptr;
    QLabel* m_noTray = nullptr;
};

} // namespace vorn
