#include "app/TrayIcon.h"

#include "app/MenuBarView.h"
#include "app/StatusNotifierItem.h"
#include "pixel/AppIcon.h"
#include "pixel/PixelImage.h"
#include "pixel/Theme.h"

#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

namespace vorn {

namespace {

// The tray face at every size the app's icon has: hosts pick the one that fits their bar.
std::vector<QImage> trayImages()
{
    // Panels rarely colour a mask themselves: dark ink on a light panel, paper on a dark one.
    const bool dark = AppearanceWatcher::instance()->current() == Appearance::dark;
    std::vector<QImage> images;
    for (const int size : AppIcon::sizes)
        images.push_back(PixelImage::tinted(dark ? Color::paper : Color::ink, size));
    return images;
}

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

} // namespace

TrayIcon::TrayIcon(AppModel& model, QObject* parent, QDBusConnection bus)
    : QObject(parent), m_model(model), m_bus(std::move(bus)),
      m_watcher(new QDBusServiceWatcher(QString::fromLatin1(kStatusNotifierWatcher), m_bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this)),
      m_xembedPoll(new QTimer(this))
{
    connect(AppearanceWatcher::instance(), &AppearanceWatcher::changed, this, &TrayIcon::tint);
    // A watcher that comes (or comes back: a restarted panel) knows nothing of us; one that goes took
    // our icon with it.
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] {
        m_item.reset();
        m_itemRegistered = false;
        update();
    });
    // An XEmbed tray announces itself with a selection Qt does not pass on; asking now and then is
    // one round trip to the X server.
    m_xembedPoll->setInterval(xembedPollMSecs);
    connect(m_xembedPoll, &QTimer::timeout, this, &TrayIcon::update);
    m_available = isAvailable();
}

TrayIcon::~TrayIcon()
{
    delete m_popup;
}

bool TrayIcon::isAvailable() const
{
    return StatusNotifierItem::watcherPresent(m_bus) || QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::isShown() const
{
    return m_itemRegistered || (m_icon && m_icon->isVisible());
}

void TrayIcon::setWanted(bool wanted)
{
    m_wanted = wanted;
    update();
}

void TrayIcon::update()
{
    if (m_wanted && StatusNotifierItem::watcherPresent(m_bus)) {
        m_icon.reset();
        if (!m_item) {
            m_item = std::make_unique<StatusNotifierItem>(QStringLiteral("vorn todo"), m_bus);
            connect(m_item.get(), &StatusNotifierItem::activated, this,
                    [this](QPoint where) { popUp(QRect(where, QSize(1, 1))); });
            connect(m_item.get(), &StatusNotifierItem::registered, this, [this] {
                m_itemRegistered = true;
                update();
            });
            tint();
            if (!m_item->registerWithWatcher())
                m_item.reset();
        }
    } else {
        m_item.reset();
        m_itemRegistered = false;
        if (m_wanted && QSystemTrayIcon::isSystemTrayAvailable()) {
            if (!m_icon) {
                m_icon = std::make_unique<QSystemTrayIcon>();
                m_icon->setToolTip(QStringLiteral("vorn todo"));
                connect(m_icon.get(), &QSystemTrayIcon::activated, this,
                        [this](QSystemTrayIcon::ActivationReason why) {
                            if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick)
                                popUp(m_icon->geometry());
                        });
                tint();
            }
            m_icon->show();
        } else {
            m_icon.reset();
        }
    }
    if (!m_wanted && m_popup)
        m_popup->close();

    const bool shown = isShown();
    if (m_wanted && !shown && onX11())
        m_xembedPoll->start();
    else
        m_xembedPoll->stop();
    const bool available = isAvailable();
    if (available != m_available) {
        m_available = available;
        Q_EMIT availableChanged(available);
    }
    if (shown != m_shown) {
        m_shown = shown;
        Q_EMIT shownChanged(shown);
    }
}

void TrayIcon::tint()
{
    const std::vector<QImage> images = trayImages();
    if (m_item)
        m_item->setIcon(images);
    if (m_icon) {
        QIcon icon;
        for (const QImage& image : images)
            icon.addPixmap(QPixmap::fromImage(image));
        m_icon->setIcon(icon);
    }
}

MenuBarView* TrayIcon::popup() const
{
    return m_popup;
}

MenuBarView* TrayIcon::popUp(const QRect& anchor)
{
    if (!m_popup) {
        m_popup = new MenuBarView(m_model);
        connect(m_popup, &MenuBarView::openRequested, this, &TrayIcon::openRequested);
        connect(m_popup, &MenuBarView::quitRequested, this, &TrayIcon::quitRequested);
        if (m_sync)
            m_popup->setCalendarSync(*m_sync);
    }
    m_popup->popUp(anchor);
    return m_popup;
}

} // namespace vorn
