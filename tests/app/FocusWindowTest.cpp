#include "support/XSession.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using vorn::test::XSession;

namespace {

const QString kPanelTitle = QStringLiteral("vorn todo · focus");

// The window's _NET_WM_STATE as xprop prints it, on the session's display.
QString windowState(const XSession& x, const QString& window)
{
    QProcess xprop;
    xprop.setProcessEnvironment(x.environment(QProcessEnvironment::systemEnvironment()));
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_STATE")});
    if (!xprop.waitForFinished(10000))
        return QStringLiteral("xprop hung");
    return QString::fromLocal8Bit(xprop.readAllStandardOutput());
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
        const bool sticky = state.contains(QStringLiteral("_NET_WM_STATE_STICKY"));
        if (above == floats && sticky == floats)
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
