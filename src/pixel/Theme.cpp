#include "pixel/Theme.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace vorn {

namespace {

std::optional<Appearance>& overrideSlot()
{
    static std::optional<Appearance> slot;
    return slot;
}

QColor withOpacity(QColor c, qreal opacity)
{
    c.setAlphaF(float(opacity));
    return c;
}

} // namespace

Appearance appearanceOf(const QPalette& palette)
{
    // Any palette whose window is darker than mid-grey reads as dark; everything else, including a
    // palette we cannot judge, gets the light colours.
    return palette.color(QPalette::Active, QPalette::Window).lightness() < 128 ? Appearance::dark
                                                                               : Appearance::light;
}

Appearance currentAppearance()
{
    if (overrideSlot())
        return *overrideSlot();
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return Appearance::light;
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
    const Appearance now = currentAppearance();
    if (now == m_current)
        return;
    m_current = now;
    Q_EMIT changed(now);
}

} // namespace vorn
