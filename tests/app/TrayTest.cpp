#include "app/AppShell.h"
#include "app/MainWindow.h"
#include "app/MenuBarSetting.h"
#include "app/MenuBarView.h"
#include "app/SettingsView.h"
#include "app/TrayIcon.h"

#include "model/AppModel.h"
#include "support/ModelHarness.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace vorn {
namespace {

// A panel's StatusNotifier watcher on the private session bus, started when the test says: it takes
// registrations and remembers who registered. On a connection of its own, as a panel's would be.
class FakeWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    FakeWatcher() : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-watcher"_s)) {}
    ~FakeWatcher() override { stop(); }
    bool start()
    {
        return m_bus.registerObject(u"/StatusNotifierWatcher"_s, this,
                                    QDBusConnection::ExportScriptableSlots |
                                        QDBusConnection::ExportAllProperties) &&
               m_bus.registerService(u"org.kde.StatusNotifierWatcher"_s);
    }
    void stop()
    {
        m_bus.unregisterService(u"org.kde.StatusNotifierWatcher"_s);
        m_bus.unregisterObject(u"/StatusNotifierWatcher"_s);
    }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return m_items; }
    QDBusConnection& bus() { return m_bus; }

public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& service) { m_items << service; }

private:
    QDBusConnection m_bus;
    QStringList m_items;
};

// A property of the registered item, read the way a panel reads it (asynchronously: the item answers
// from this very thread).
QDBusMessage itemProperty(FakeWatcher& watcher, const QString& service, const QString& name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(service, u"/StatusNotifierItem"_s,
                                                      u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    get << u"org.kde.StatusNotifierItem"_s << name;
    QDBusPendingCall pending = watcher.bus().asyncCall(get);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 5000)) << name.toStdString();
    return pending.reply();
}

struct Picture {
    int width = 0;
    int height = 0;
    QByteArray argb;
};

std::vector<Picture> pictures(const QDBusMessage& reply)
{
    std::vector<Picture> out;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return out;
    const auto argument = reply.arguments().front().value<QDBusVariant>().variant().value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        Picture p;
        argument.beginStructure();
        argument >> p.width >> p.height >> p.argb;
        argument.endStructure();
        out.push_back(p);
    }
    argument.endArray();
    return out;
}

struct TrayTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "runs inside dbus-run-session";
        h.demo();
        model = h.start();
        ASSERT_TRUE(model);
        model->settings().setValue(QString::fromLatin1(kShowInMenuBarKey), true);
        window = std::make_unique<MainWindow>(*model);
    }
    void TearDown() override { QApplication::setQuitOnLastWindowClosed(true); }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<MainWindow> window;
};

// No tray when the app starts: no icon, closing the window quits, and the settings say why. A panel
// that starts later gets the icon at once, and the app then stays in it when the window closes.
TEST_F(TrayTest, aTrayThatStartsAfterTheAppGetsTheIcon)
{
    AppShell shell(*model, *window);
    ASSERT_TRUE(shell.menuBar().isOn());
    EXPECT_FALSE(shell.tray().isShown());
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed()) << "nothing to come back from";
    SettingsView* settings = shell.showSettings();
    ASSERT_TRUE(settings->noTrayNote());
    EXPECT_FALSE(settings->noTrayNote()->isHidden());

    FakeWatcher watcher;
    ASSERT_TRUE(watcher.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.items().isEmpty(); }, 5000))
        << "the app never registered its icon with the tray that came";
    EXPECT_TRUE(QTest::qWaitFor([&] { return shell.tray().isShown(); }, 5000));
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed()) << "the tray keeps the app now";
    EXPECT_TRUE(!settings->noTrayNote() || settings->noTrayNote()->isHidden());

    // What the panel shows: our own title, and the face at every size of the app's icon.
    const QString item = watcher.items().front();
    const QDBusMessage title = itemProperty(watcher, item, u"Title"_s);
    ASSERT_EQ(title.type(), QDBusMessage::ReplyMessage) << title.errorMessage().toStdString();
    EXPECT_EQ(title.arguments().front().value<QDBusVariant>().variant().toString(), u"vorn todo"_s);
    std::vector<int> sizes;
    for (const Picture& p : pictures(itemProperty(watcher, item, u"IconPixmap"_s))) {
        EXPECT_EQ(p.width, p.height);
        EXPECT_EQ(p.argb.size(), p.width * p.height * 4) << p.width;
        // Big-endian ARGB: a face pixel is opaque, the corner is clear.
        EXPECT_EQ(quint8(p.argb[0]), 0) << "corner of " << p.width;
        const int centre = (p.height / 2 * p.width + p.width / 4) * 4;
        EXPECT_EQ(quint8(p.argb[centre]), 255) << "face of " << p.width;
        sizes.push_back(p.width);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 64, 128, 256}));

    // A click on the icon opens the popup there.
    QDBusMessage activate = QDBusMessage::createMethodCall(item, u"/StatusNotifierItem"_s,
                                                           u"org.kde.StatusNotifierItem"_s, u"Activate"_s);
    activate << 200 << 10;
    watcher.bus().asyncCall(activate);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return shell.tray().popup() && shell.tray().popup()->isVisible(); }, 5000));

    // A panel that restarts gets the icon again; one that goes takes it, and closing quits again.
    watcher.stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shell.tray().isShown(); }, 5000));
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
    const qsizetype registrations = watcher.items().size();
    ASSERT_TRUE(watcher.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.items().size() > registrations; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shell.tray().isShown(); }, 5000));
}

} // namespace
} // namespace vorn

#include "TrayTest.moc"
