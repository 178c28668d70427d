#pragma once

#include <QObject>

namespace vorn {

class Settings;

inline constexpr char kShowInMenuBarKey[] = "showInMenuBar";

// The "showInMenuBar" setting (off by default) as a value the settings window and the tray both follow.
class MenuBarSetting : public QObject {
    Q_OBJECT

public:
    explicit MenuBarSetting(Settings& settings, QObject* parent = nullptr);

    bool isOn() const { return m_on; }
    void setOn(bool on);

Q_SIGNALS:
    void changed(bool on);

private:
    Settings& m_settings;
    bool m_on;
};

} // namespace vorn
