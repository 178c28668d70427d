#include "pixel/Theme.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace vorn {

namespace {

// What light or dark is decided from, in this order.
struct Evidence {
    std::optional<Appearance> override;   // a test's
    std::optional<Appearance> preference; // the desktop's colour scheme
    // Set once the application wears its own palette: what the desktop's palette stood for until then.
    std::optional<Appearance> desktopPalette;
};

Evidence& evidence()
{
    static Evidence e;
    return e;
}

std::optional<Appearance>& overrideSlot()
{
    return evidence().override;
}

bool wearsTheme(const QPalette& palette, Appearance appearance)
{
    return palette.color(QPalette::Window) == Color::vornBackground().resolved(appearance) &&
           palette.color(QPalette::WindowText) == Color::vornText().resolved(appearance);
}

QColor withOpacity(QColor c, qreal opacity)
{
    c.setAlphaF(float(opacity));
    return c;
}

} // namespace

Appearance appearanceOf(const QPalette& palette)
{
    // Light text on a darker window reads as dark; everything else, including a palette we cannot
    // judge, gets the light colours.
    const int text = palette.color(QPalette::Active, QPalette::WindowText).lightness();
    const int window = palette.color(QPalette::Active, QPalette::Window).lightness();
    return text > window ? Appearance::dark : Appearance::light;
}

Appearance currentAppearance()
{
    const Evidence& e = evidence();
    if (e.override)
        return *e.override;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return Appearance::light;
    if (e.preference)
        return *e.preference;
    if (e.desktopPalette)
        return *e.desktopPalette;
    return appearanceOf(QGuiApplication::palette());
}

QPalette themedPalette(Appearance appearance)
{
    QPalette p;
    const QColor back = Color::vornBackground().resolved(appearance);
    const QColor text = Color::vornText().resolved(appearance);
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        p.setColor(role, back);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, text);
    p.setColor(QPalette::PlaceholderText, Color::vornFaint().resolved(appearance));
    p.setColor(QPalette::Highlight, Color::vornSelection().resolved(appearance));
    p.setColor(QPalette::HighlightedText, text);
    // Greyed-out menu items and fields must look it.
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, Color::vornFaint().resolved(appearance));
    return p;
}

QColor Color::resolved(Appearance appearance) const
{
    return appearance == Appearance::dark ? m_dark : m_light;
}

QColor Color::resolved(const QPalette& palette) const
{
    if (overrideSlot())
        return resolved(*overrideSlot());
    return resolved(appearanceOf(palette));
}

QColor Color::resolved() const
{
    return resolved(currentAppearance());
}

const Color& Color::vornBackground()
{
    static const Color c(paper, ink);
    return c;
}

const Color& Color::vornText()
{
    static const Color c(ink, paper);
    return c;
}

const Color& Color::vornMuted()
{
    static const Color c(stone600, stone400);
    return c;
}

const Color& Color::vornFaint()
{
    static const Color c(stone400, stone600);
    return c;
}

const Color& Color::vornSnooze()
{
    static const Color c(snoozeDeep, snooze);
    return c;
}

const Color& Color::vornSelection()
{
    static const Color c(withOpacity(snooze, 0.22), withOpacity(snooze, 0.18));
    return c;
}

const Color& Color::vornWell()
{
    static const Color c(withOpacity(ink, 0.04), withOpacity(Qt::white, 0.07));
    return c;
}

const Color& Color::vornGlassTint()
{
    static const Color c(withOpacity(paper, 0.35), withOpacity(night, 0.55));
    return c;
}

AppearanceWatcher::AppearanceWatcher(QObject* parent) : QObject(parent), m_current(currentAppearance())
{
    parent->installEventFilter(this);
}

AppearanceWatcher* AppearanceWatcher::instance()
{
    static QPointer<AppearanceWatcher> watcher;
    if (!watcher) {
        QCoreApplication* app = QCoreApplication::instance();
        Q_ASSERT_X(app, "AppearanceWatcher", "needs an application object");
        watcher = new AppearanceWatcher(app);
    }
    return watcher;
}

void AppearanceWatcher::setOverride(std::optional<Appearance> appearance)
{
    overrideSlot() = appearance;
    if (QCoreApplication::instance())
        instance()->recheck();
}

void AppearanceWatcher::setPreference(std::optional<Appearance> preference)
{
    evidence().preference = preference;
    recheck();
}

void AppearanceWatcher::wearThemedPalette()
{
    Evidence& e = evidence();
    if (!e.desktopPalette)
        e.desktopPalette = appearanceOf(QGuiApplication::palette());
    recheck();
}

bool AppearanceWatcher::eventFilter(QObject* watched, QEvent* event)
{
    // The desktop's light/dark switch reaches us as a new application palette.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) {
        // Qt 6.4 tells only the application object, so widgets would keep painting with the old
        // palette; pass the news on to every window (its children follow). A second notice where Qt
        // already sent one costs only a repaint.
        if (qobject_cast<QApplication*>(watched)) {
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (QWidget* window : windows)
                QCoreApplication::sendEvent(window, event);
        }
        recheck();
    }
    return QObject::eventFilter(watched, event);
}

void AppearanceWatcher::recheck()
{
    Evidence& e = evidence();
    const bool wearing = e.desktopPalette.has_value();
    if (wearing && m_worn && !wearsTheme(QGuiApplication::palette(), *m_worn)) {
        // Someone else put a whole palette on the application: it stands for the desktop's now.
        e.desktopPalette = appearanceOf(QGuiApplication::palette());
        m_worn.reset();
    }
    const Appearance now = currentAppearance();
    if (wearing && m_worn != now) {
        m_worn = now;
        QApplication::setPalette(themedPalette(now));
    }
    if (now == m_current)
        return;
    m_current = now;
    Q_EMIT changed(now);
}

} // namespace vorn
