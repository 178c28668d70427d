#include "app/TrayIcon.h"

#include "app/MenuBarView.h"
#include "pixel/PixelImage.h"
#include "pixel/Theme.h"

#include <QPixmap>
#include <QSystemTrayIcon>

namespace vorn {

TrayIcon::TrayIcon(AppModel& model, QObject* parent) : QObject(parent), m_model(model)
{
    connect(AppearanceWatcher::instance(), &AppearanceWatcher::changed, this, &TrayIcon::tint);
}

TrayIcon::~TrayIcon()
{
    delete m_popup;
}

bool TrayIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::isShown() const
{
    return m_icon && m_icon->isVisible();
}

void TrayIcon::setWanted(bool wanted)
{
    const bool was = isShown();
    if (wanted && isAvailable()) {
        if (!m_icon) {
            m_icon = std::make_unique<QSystemTrayIcon>();
            m_icon->setToolTip(QStringLiteral("vorn todo"));
            connect(m_icon.get(), &QSystemTrayIcon::activated, this,
                    [this](QSystemTrayIcon::ActivationReason why) {
                        if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick)
                            popUp();
                    });
            tint();
        }
        m_icon->show();
    } else {
        m_icon.reset();
        if (m_popup)
            m_popup->close();
    }
    if (isShown() != was)
        Q_EMIT shownChanged(isShown());
}

void TrayIcon::tint()
{
    if (!m_icon)
        return;
    // Panels rarely colour a mask themselves: dark ink on a light panel, paper on a dark one.
    const bool dark = AppearanceWatcher::instance()->current() == Appearance::dark;
    m_icon->setIcon(QIcon(QPixmap::fromImage(PixelImage::tinted(dark ? Color::paper : Color::ink))));
}

MenuBarView* TrayIcon::popup() const
{
    return m_popup;
}

MenuBarView* TrayIcon::popUp()
{
    if (!m_popup) {
        m_popup = new MenuBarView(m_model);
        connect(m_popup, &MenuBarView::openRequested, this, &TrayIcon::openRequested);
        connect(m_popup, &MenuBarView::quitRequested, this, &TrayIcon::quitRequested);
    }
    m_popup->popUp(m_icon ? m_icon->geometry() : QRect());
    return m_popup;
}

} // namespace vorn
