#include "support/XSession.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using vorn::test::XSession;

namespace {

const QString kPanelTitle = QStringLiteral("vorn todo · focus");

// The window's _NET_WM_STATE and _NET_WM_DESKTOP as xprop prints them, on the session's display.
QString windowState(const XSession& x, const QString& window)
{
    QProcess xprop;
    xprop.setProcessEnvironment(x.environment(QProcessEnvironment::systemEnvironment()));
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_STATE"),
                                          QStringLiteral("_NET_WM_DESKTOP")});
    if (!xprop.waitForFinished(10000))
        return QStringLiteral("xprop hung");
    return QString::fromLocal8Bit(xprop.readAllStandardOutput());
}

// Sticky, or (where the window manager has no sticky state, as openbox) on desktop "all".
bool onEveryDesktop(const QString& state)
{
    return state.contains(QStringLiteral("_NET_WM_STATE_STICKY")) ||
           state.contains(QStringLiteral("_NET_WM_DESKTOP(CARDINAL) = 4294967295"));
}

// Re-setting window flags makes a new X window, so the panel is looked up by title each time, and the
// state is read until it settles or time is up.
QString waitForState(const XSession& x, bool floats)
{
    QElapsedTimer waited;
    waited.start();
    QString state;
    while (waited.elapsed() < 10000) {
        const QString window = x.waitForWindow(kPanelTitle, 5000);
        state = windowState(x, window);
        const bool above = state.contains(QStringLiteral("_NET_WM_STATE_ABOVE"));
        if (above == floats && onEveryDesktop(state) == floats)
            break;
        QThread::msleep(100);
    }
    return state;
}

// The demo, left in focus mode last time, so it comes back as the panel, in a home of its own on the
// session's display; the panel's window, or nothing when it never showed.
QString startInFocusMode(const XSession& x, const QTemporaryDir& home, QProcess& app)
{
    QProcessEnvironment env = x.environment(QProcessEnvironment::systemEnvironment());
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(VORN_TODO_BINARY),
              {QStringLiteral("-demo"), QStringLiteral("-focus.lastMode"), QStringLiteral("true")});
    if (!app.waitForStarted())
        return {};
    return x.waitForWindow(kPanelTitle);
}

// The real program on a real X server: the floating panel is above the others and on every desktop,
// the ordinary one neither, and P switches between them while the panel is up.
TEST(FocusWindowTest, theFloatingPanelIsAboveAndOnEveryDesktopAndPTurnsThatOff)
{
    XSession x;
    ASSERT_FALSE(x.display().isEmpty());
    QTemporaryDir home;
    QProcess app;
    const QString panel = startInFocusMode(x, home, app);
    ASSERT_FALSE(panel.isEmpty()) << app.readAllStandardError().toStdString();
    QString state = waitForState(x, true);
    EXPECT_TRUE(state.contains(QStringLiteral("_NET_WM_STATE_ABOVE"))) << state.toStdString();
    EXPECT_TRUE(state.contains(QStringLiteral("_NET_WM_STATE_STICKY"))) << state.toStdString();

    ASSERT_TRUE(x.keys(panel, {QStringLiteral("p")}));
    state = waitForState(x, false);
    EXPECT_FALSE(state.contains(QStringLiteral("_NET_WM_STATE_ABOVE"))) << state.toStdString();
    EXPECT_FALSE(state.contains(QStringLiteral("_NET_WM_STATE_STICKY"))) << state.toStdString();

    ASSERT_TRUE(x.keys(x.waitForWindow(kPanelTitle), {QStringLiteral("p")}));
    state = waitForState(x, true);
    EXPECT_TRUE(state.contains(QStringLiteral("_NET_WM_STATE_ABOVE"))) << state.toStdString();
    EXPECT_TRUE(state.contains(QStringLiteral("_NET_WM_STATE_STICKY"))) << state.toStdString();

    app.terminate();
    EXPECT_TRUE(app.waitForFinished(10000));
}

// Where the window is on the screen and how big, as xwininfo says; empty when it is not mapped.
QRect mappedGeometry(const XSession& x, const QString& window)
{
    const QString info = x.output(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    if (!info.contains(QStringLiteral("Map State: IsViewable")))
        return {};
    auto field = [&](const QString& name) {
        const QRegularExpression re(name + QStringLiteral(":\\s+(-?\\d+)"));
        return re.match(info).captured(1).toInt();
    };
    return {field(QStringLiteral("Absolute upper-left X")), field(QStringLiteral("Absolute upper-left Y")),
            field(QStringLiteral("Width")), field(QStringLiteral("Height"))};
}

// Under a real window manager, P switches the floating panel in place, fast and thirty times over:
// every floating state is above the others and on every desktop, every other state neither, and the
// panel never leaves the screen. Making a new window for each switch raced the window manager.
TEST(FocusWindowTest, pressingPOverAndOverUnderAWindowManagerKeepsThePanelShownAndEveryStateRight)
{
    XSession x;
    ASSERT_FALSE(x.display().isEmpty());
    ASSERT_TRUE(x.startWindowManager());
    QTemporaryDir home;
    QProcess app;
    const QString first = startInFocusMode(x, home, app);
    ASSERT_FALSE(first.isEmpty()) << app.readAllStandardError().toStdString();
    const QString initial = waitForState(x, true);
    ASSERT_TRUE(initial.contains(QStringLiteral("_NET_WM_STATE_ABOVE")) && onEveryDesktop(initial))
        << initial.toStdString();
    EXPECT_EQ(
        x.output(QStringLiteral("xprop"), {QStringLiteral("-id"), first, QStringLiteral("_NET_WM_NAME")})
            .trimmed()
            .toStdString(),
        "_NET_WM_NAME(UTF8_STRING) = \"vorn todo · focus\"")
        << "the panel's own title, nothing appended";

    bool floats = true;
    QStringList wrong;
    for (int press = 1; press <= 30 && wrong.size() < 4; ++press) {
        const QString panel = x.waitForWindow(kPanelTitle, 3000);
        if (panel.isEmpty() || !x.keys(panel, {QStringLiteral("p")})) {
            wrong << QStringLiteral("press %1: no panel to press P in").arg(press);
            continue;
        }
        floats = !floats;
        QString state;
        QElapsedTimer waited;
        waited.start();
        bool right = false;
        while (!right && waited.elapsed() < 3000) {
            state = windowState(x, panel);
            right = state.contains(QStringLiteral("_NET_WM_STATE_ABOVE")) == floats &&
                    onEveryDesktop(state) == floats;
            if (!right)
                QThread::msleep(50);
        }
        // A panel lost to the race went a moment after its state was right.
        QThread::msleep(150);
        if (!right)
            wrong << QStringLiteral("press %1 (%2): %3")
                         .arg(press)
                         .arg(floats ? QStringLiteral("on") : QStringLiteral("off"), state.simplified());
        else if (mappedGeometry(x, panel).isEmpty())
            wrong << QStringLiteral("press %1 (%2): the panel is not on the screen")
                         .arg(press)
                         .arg(floats ? QStringLiteral("on") : QStringLiteral("off"));
    }
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(u'\n').toStdString();

    app.terminate();
    EXPECT_TRUE(app.waitForFinished(10000));
}

// Under a real window manager the main window comes back from focus mode where it was, at its size:
// shown again without a position of its own, the window manager would place it anew.
TEST(FocusWindowTest, theMainWindowComesBackFromFocusModeWhereItWas)
{
    XSession x;
    ASSERT_FALSE(x.display().isEmpty());
    ASSERT_TRUE(x.startWindowManager());
    QTemporaryDir home;
    QProcess app;
    QProcessEnvironment env = x.environment(QProcessEnvironment::systemEnvironment());
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(VORN_TODO_BINARY), {QStringLiteral("-demo")});
    ASSERT_TRUE(app.waitForStarted());
    const QString main = x.waitForWindow(QStringLiteral("vorn todo"));
    ASSERT_FALSE(main.isEmpty()) << app.readAllStandardError().toStdString();

    ASSERT_TRUE(x.xdotool({QStringLiteral("windowsize"), QStringLiteral("--sync"), main,
                           QStringLiteral("700"), QStringLiteral("520")}));
    ASSERT_TRUE(x.xdotool({QStringLiteral("windowmove"), QStringLiteral("--sync"), main,
                           QStringLiteral("333"), QStringLiteral("222")}));
    QThread::msleep(300);
    const QRect before = mappedGeometry(x, main);
    ASSERT_FALSE(before.isEmpty());

    ASSERT_TRUE(x.keys(main, {QStringLiteral("ctrl+shift+f")}));
    const QString panel = x.waitForWindow(kPanelTitle);
    ASSERT_FALSE(panel.isEmpty());
    QElapsedTimer waited;
    waited.start();
    while (!mappedGeometry(x, main).isEmpty() && waited.elapsed() < 5000)
        QThread::msleep(50);
    ASSERT_TRUE(x.keys(panel, {QStringLiteral("ctrl+shift+f")}));
    ASSERT_FALSE(x.waitForWindow(QStringLiteral("vorn todo")).isEmpty());
    QRect after;
    waited.restart();
    while (waited.elapsed() < 3000 && (after = mappedGeometry(x, main)) != before)
        QThread::msleep(50);
    EXPECT_EQ(after, before) << "came back at " << after.x() << "," << after.y() << " " << after.width()
                             << "x" << after.height() << ", was at " << before.x() << "," << before.y() << " "
                             << before.width() << "x" << before.height();

    app.terminate();
    EXPECT_TRUE(app.waitForFinished(10000));
}

// What the X clipboard holds, as another program reads it; empty until someone owns it.
QString clipboardText(const XSession& x)
{
    QProcess xclip;
    xclip.setProcessEnvironment(x.environment(QProcessEnvironment::systemEnvironment()));
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
    if (!xclip.waitForFinished(10000))
        return QStringLiteral("xclip hung");
    return QString::fromUtf8(xclip.readAllStandardOutput());
}

// The menu commands live in the main window's menu bar, which focus mode hides; the panel has them too:
// Ctrl+C puts the selected thing on the desktop's clipboard and Ctrl+Q ends the program.
TEST(FocusWindowTest, menuCommandsWorkFromThePanel)
{
    XSession x;
    ASSERT_FALSE(x.display().isEmpty());
    QTemporaryDir home;
    QProcess app;
    const QString panel = startInFocusMode(x, home, app);
    ASSERT_FALSE(panel.isEmpty()) << app.readAllStandardError().toStdString();

    // Down selects Today's first row, Ctrl+C copies it.
    ASSERT_TRUE(x.keys(panel, {QStringLiteral("Down"), QStringLiteral("ctrl+c")}));
    QString copied;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000 && (copied = clipboardText(x)).isEmpty())
        QThread::msleep(100);
    EXPECT_EQ(copied.trimmed().toStdString(), "Reply to Kesh about the deck");

    ASSERT_TRUE(x.keys(x.waitForWindow(kPanelTitle), {QStringLiteral("ctrl+q")}));
    EXPECT_TRUE(app.waitForFinished(10000)) << "Ctrl+Q in the panel left the program running";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();
    if (app.state() != QProcess::NotRunning) {
        app.kill();
        app.waitForFinished(5000);
    }
}

} // namespace
