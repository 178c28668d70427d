#include "app/Appearance.h"
#include "app/DesktopColorScheme.h"
#include "app/MainWindow.h"
#include "model/AppModel.h"
#include "pixel/Theme.h"
#include "support/ModelHarness.h"
#include "ui/main/MainView.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

inline void PrintTo(const QColor& c, std::ostream* os)
{
    *os << c.name().toStdString();
}

namespace vorn {
namespace {

const QString kService = u"org.freedesktop.portal.Desktop"_s;
const QString kPath = u"/org/freedesktop/portal/desktop"_s;
const QString kSettings = u"org.freedesktop.portal.Settings"_s;

// The settings portal on the private session bus: a current one, one before version 2 (Read only, the
// value wrapped once more), or one that never answers; the first two prefer dark. On its own connection,
// so calls go through the bus daemon as to the real one, and its own thread, so it answers while the
// app's thread waits.
enum class Portal { readOne, readOnly, silent };

class FakePortal : public QDBusVirtualObject {
public:
    explicit FakePortal(Portal kind) : m_kind(kind)
    {
        moveToThread(&m_thread);
        m_thread.start();
        EXPECT_TRUE(m_bus.registerVirtualObject(kPath, this));
        EXPECT_TRUE(m_bus.registerService(kService));
    }
    ~FakePortal() override
    {
        m_bus.unregisterService(kService);
        m_bus.unregisterObject(kPath);
        m_thread.quit();
        m_thread.wait();
    }
    void announce(const QString& key, uint scheme)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kSettings, u"SettingChanged"_s);
        signal << u"org.freedesktop.appearance"_s << key << QVariant::fromValue(QDBusVariant(scheme));
        m_bus.send(signal);
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override
    {
        const QVariant dark = QVariant::fromValue(QDBusVariant(1u));
        if (m_kind == Portal::silent)
            call.setDelayedReply(true);
        else if (call.member() == u"Read"_s)
            bus.send(call.createReply(QVariant::fromValue(QDBusVariant(dark))));
        else if (m_kind == Portal::readOne)
            bus.send(call.createReply(dark));
        else
            bus.send(call.createErrorReply(QDBusError::UnknownMethod, call.member()));
        return true;
    }

private:
    Portal m_kind;
    QThread m_thread;
    QDBusConnection m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-portal"_s);
};

QColor backgroundOf(MainWindow& window)
{
    const QImage shot = window.mainView()->grab().toImage();
    return shot.pixelColor(shot.width() - 4, shot.height() - 4);
}

TEST(Appearance, theDesktopsSchemeDressesTheWindowBeforeItShowsAndThenLive)
{
    for (Portal kind : {Portal::readOne, Portal::readOnly}) {
        SCOPED_TRACE(kind == Portal::readOne ? "ReadOne" : "Read only");
        QApplication::setPalette(QPalette(Qt::lightGray, QColor(0xef, 0xef, 0xef))); // black text
        FakePortal portal(kind);
        DesktopColorScheme scheme(QDBusConnection::sessionBus());
        wearDesktopAppearance(scheme);
        test::ModelHarness h;
        h.demo();
        const auto model = h.start();
        MainWindow window(*model);
        window.show();

        // As at start: ask, then wait for the answer before showing; no event loop runs meanwhile.
        scheme.start();
        scheme.awaitFirstAnswer(std::chrono::seconds(5));
        EXPECT_EQ(QApplication::palette().color(QPalette::Window), Color::ink);
        EXPECT_EQ(backgroundOf(window), Color::ink);

        // Another setting changing is no switch; the desktop switching to light is.
        QSignalSpy flips(AppearanceWatcher::instance(), &AppearanceWatcher::changed);
        portal.announce(u"accent-color"_s, 2);
        portal.announce(u"color-scheme"_s, 2);
        ASSERT_TRUE(flips.wait(5000));
        EXPECT_EQ(flips.count(), 1);
        EXPECT_EQ(backgroundOf(window), Color::paper);
    }
}

TEST(Appearance, withoutAnAnswerTheQtPaletteDecidesWithoutHoldingUpTheStart)
{
    struct Case {
        const char* name;
        bool bus;
        std::optional<Portal> portal;
        std::chrono::milliseconds wait;
    };
    const Case cases[] = {
        {"no session bus", false, std::nullopt, std::chrono::seconds(10)},
        {"a bus without a portal", true, std::nullopt, std::chrono::seconds(10)},
        {"a portal that never answers", true, Portal::silent, std::chrono::milliseconds(200)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QApplication::setPalette(QPalette(Qt::darkGray, QColor(0x24, 0x24, 0x24))); // white text
        std::optional<FakePortal> portal;
        if (c.portal)
            portal.emplace(*c.portal);
        DesktopColorScheme scheme(c.bus ? QDBusConnection::sessionBus() : QDBusConnection(u"no bus"_s));
        wearDesktopAppearance(scheme);

        QElapsedTimer clock;
        clock.start();
        scheme.start();
        scheme.awaitFirstAnswer(c.wait);
        EXPECT_LT(clock.elapsed(), 1000) << "the start is held up";
        EXPECT_EQ(scheme.scheme(), ColorScheme::noPreference);
        EXPECT_EQ(QApplication::palette().color(QPalette::Window), Color::ink);
    }
}

} // namespace
} // namespace vorn
