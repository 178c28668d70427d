#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>

#include <vector>

namespace vorn {

inline constexpr char kStatusNotifierWatcher[] = "org.kde.StatusNotifierWatcher";
inline constexpr char kStatusNotifierWatcherPath[] = "/StatusNotifierWatcher";
inline constexpr char kStatusNotifierItemPath[] = "/StatusNotifierItem";

// One picture of the icon as the bus carries it: ARGB32, big-endian.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using SniPixmaps = QList<SniPixmap>;

struct SniToolTip {
    QString iconName;
    SniPixmaps pixmaps;
    QString title;
    QString text;
};

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& tip);

// An image as the bus carries it.
SniPixmap sniPixmap(const QImage& image);

// The app's icon in the panels that host StatusNotifier items (KDE, GNOME's AppIndicator extension,
// waybar, most bars): a D-Bus object a host reads and calls. Qt has one too, but it decides once per
// process whether the desktop has a host, names the item after the display name, and sends one size.
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category CONSTANT)
    Q_PROPERTY(QString Id READ id CONSTANT)
    Q_PROPERTY(QString Title READ title CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(int WindowId READ windowId CONSTANT)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu CONSTANT)
    Q_PROPERTY(QString IconName READ iconName CONSTANT)
    Q_PROPERTY(vorn::SniPixmaps IconPixmap READ iconPixmap NOTIFY NewIcon)
    Q_PROPERTY(QString OverlayIconName READ iconName CONSTANT)
    Q_PROPERTY(vorn::SniPixmaps OverlayIconPixmap READ noPixmaps CONSTANT)
    Q_PROPERTY(QString AttentionIconName READ iconName CONSTANT)
    Q_PROPERTY(vorn::SniPixmaps AttentionIconPixmap READ noPixmaps CONSTANT)
    Q_PROPERTY(QString AttentionMovieName READ iconName CONSTANT)
    Q_PROPERTY(vorn::SniToolTip ToolTip READ toolTip CONSTANT)

public:
    StatusNotifierItem(const QString& title, QDBusConnection bus, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Whether a watcher is on the bus to register with.
    static bool watcherPresent(const QDBusConnection& bus);
    // Exports the item under a name of its own and tells the watcher; false when that could not start.
    // The watcher's answer comes later: registered() or failed().
    bool registerWithWatcher();
    const QString& serviceName() const { return m_service; }

    void setIcon(const std::vector<QImage>& sizes);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("vorn-todo"); }
    QString title() const { return m_title; }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    bool itemIsMenu() const { return false; }
    QString iconName() const { return {}; }
    SniPixmaps iconPixmap() const { return m_pixmaps; }
    SniPixmaps noPixmaps() const { return {}; }
    SniToolTip toolTip() const { return {{}, {}, m_title, {}}; }

public Q_SLOTS:
    Q_SCRIPTABLE void Activate(int x, int y);
    Q_SCRIPTABLE void SecondaryActivate(int x, int y);
    Q_SCRIPTABLE void ContextMenu(int x, int y);
    Q_SCRIPTABLE void Scroll(int delta, const QString& orientation);

Q_SIGNALS:
    Q_SCRIPTABLE void NewIcon();
    Q_SCRIPTABLE void NewToolTip();
    Q_SCRIPTABLE void NewTitle();
    Q_SCRIPTABLE void NewStatus(const QString& status);
    // A click on the icon, at that point on the screen (the host's word for it).
    void activated(QPoint where);
    void registered();
    void failed(const QString& why);

private:
    QString m_title;
    QDBusConnection m_bus;
    QString m_service;
    SniPixmaps m_pixmaps;
    bool m_exported = false;
};

} // namespace vorn

Q_DECLARE_METATYPE(vorn::SniPixmap)
Q_DECLARE_METATYPE(vorn::SniToolTip)
