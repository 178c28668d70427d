#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace vorn::test {

// A private X server (Xvfb) for one test, and xdotool to find windows on it and type into them the
// way a user does. Each session has a display of its own, so tests never share one.
class XSession {
public:
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Starts openbox on the display and waits until it manages windows; false when it did not.
    bool startWindowManager();
    // What `program` prints when run on this display (xprop, xwininfo), empty when it failed.
    QString output(const QString& program, const QStringList& args) const;
    // ":N", or empty when the server could not be started.
    const QString& display() const { return m_display; }
    // `base` with DISPLAY set to this session and no other platform forced (and no bus, unless it has one).
    QProcessEnvironment environment(QProcessEnvironment base) const;
    // The id of a visible window with exactly this title, once one is mapped; empty after `msecs`.
    QString waitForWindow(const QString& title, int msecs = 20000) const;
    // Runs xdotool on this display; true when it succeeded.
    bool xdotool(const QStringList& args) const;
    // Gives the window the keyboard and presses keys ("n", "Return", "ctrl+z") one after another.
    bool keys(const QString& window, const QStringList& names) const;
    // Gives the window the keyboard and types the text.
    bool type(const QString& window, const QString& text) const;

private:
    QString run(const QStringList& args, int msecs, bool* ok) const;
    QProcess m_server;
    QProcess m_windowManager;
    QString m_display;
};

} // namespace vorn::test
