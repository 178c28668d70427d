#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class QSystemTrayIcon;

namespace vorn {

class AppModel;
class MenuBarView;

// The app's icon in the desktop's tray while "Show in menu bar" is on; a click opens Today in a popup.
// While it is shown, closing the windows leaves the app running there.
class TrayIcon : public QObject {
    Q_OBJECT

public:
    explicit TrayIcon(AppModel& model, QObject* parent = nullptr);
    ~TrayIcon() override;

    static bool isAvailable();
    // Adds or removes the icon at once. Where the desktop has no tray nothing is shown.
    void setWanted(bool wanted);
    bool isShown() const;
    // Opens the popup as a click on the icon does; made on first use.
    MenuBarView* popUp();
    MenuBarView* popup() const; // null until first opened

Q_SIGNALS:
    void shownChanged(bool shown);
    void openRequested();
    void quitRequested();

private:
    void tint();

    AppModel& m_model;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QPointer<MenuBarView> m_popup;
};

} // namespace vorn
