#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <memory>

class QDBusServiceWatcher;
class QSystemTrayIcon;
class QTimer;

namespace vorn {

class AppModel;
class CalendarSyncRunner;
class MenuBarView;
class StatusNotifierItem;

// The app's icon in the desktop's tray while "Show in menu bar" is on; a click opens Today in a popup.
// While it is shown, closing the windows leaves the app running there. A StatusNotifier host (a watcher
// on the session bus) gets our own item; an XEmbed tray gets Qt's icon. A tray that starts after the
// app is noticed and gets the icon then.
class TrayIcon : public QObject {
    Q_OBJECT

public:
    static constexpr int xembedPollMSecs = 2000;

    explicit TrayIcon(AppModel& model, QObject* parent = nullptr,
                      QDBusConnection bus = QDBusConnection::sessionBus());
    ~TrayIcon() override;

    // Whether the desktop has a tray to show the icon in, now.
    bool isAvailable() const;
    // Adds or removes the icon at once. Where the desktop has no tray nothing is shown until one comes.
    void setWanted(bool wanted);
    bool isShown() const;
    // Opens the popup as a click on the icon does, beside `anchor` (the icon, or the click); made on
    // first use.
    MenuBarView* popUp(const QRect& anchor = {});
    MenuBarView* popup() const; // null until first opened
    StatusNotifierItem* statusNotifierItem() const { return m_item.get(); }
    // The popup shows how this sync stands; before the first popUp().
    void setCalendarSync(CalendarSyncRunner* sync) { m_sync = sync; }

Q_SIGNALS:
    void shownChanged(bool shown);
    void availableChanged(bool available);
    void openRequested();
    void quitRequested();

private:
    void update();
    void tint();

    AppModel& m_model;
    QDBusConnection m_bus;
    bool m_wanted = false;
    bool m_available = false;
    bool m_shown = false;
    bool m_itemRegistered = false;
    std::unique_ptr<StatusNotifierItem> m_item;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QDBusServiceWatcher* m_watcher;
    QTimer* m_xembedPoll;
    QPointer<MenuBarView> m_popup;
    CalendarSyncRunner* m_sync = nullptr;
};

} // namespace vorn
