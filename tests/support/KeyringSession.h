#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace vorn::test {

// A GNOME Keyring of its own on this process's session bus (the test runs under dbus-run-session),
// serving the Secret Service with its login keyring unlocked. Its files land in the test's own home.
// One per test process, started by the first test that asks: libsecret keeps its session with the
// daemon for the life of the process, so a second daemon would meet a stale one. Tests keep apart by
// their keys. Check installed() first, then ready().
class KeyringSession {
public:
    static QString daemon() { return QStringLiteral("/usr/bin/gnome-keyring-daemon"); }
    static bool installed() { return QFileInfo(daemon()).isExecutable(); }
    static KeyringSession& shared()
    {
        static KeyringSession session;
        return session;
    }

    KeyringSession()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            m_problem = QStringLiteral("no session bus: run the tests under dbus-run-session");
            return;
        }
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        // A test that aborts runs no destructor; the daemon goes with it anyway.
        m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start(daemon(), {QStringLiteral("--unlock"), QStringLiteral("--components=secrets"),
                                   QStringLiteral("--foreground")});
        // --unlock makes the login keyring with the password it reads (an empty one would ask a prompter
        // that a headless test has not got).
        m_process.write("vorn-test");
        m_process.closeWriteChannel();
        for (QDeadlineTimer deadline(10'000);
             !deadline.hasExpired() && m_process.state() != QProcess::NotRunning;
             m_process.waitForFinished(50)) {
            // Asked only once the daemon holds the name: asking earlier would start another one by
            // bus activation.
            if (bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")) &&
                hasLogin(bus))
                return;
        }
        m_problem =
            QStringLiteral("gnome-keyring-daemon didn't start: ") + QString::fromUtf8(m_process.readAll());
    }

    ~KeyringSession()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool ready() const { return m_problem.isEmpty(); }
    QString problem() const { return m_problem; }

private:
    static bool hasLogin(QDBusConnection& bus)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
            QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("ReadAlias"));
        call << QStringLiteral("default");
        const QDBusReply<QDBusObjectPath> reply = bus.call(call, QDBus::Block, 2000);
        return reply.isValid() && reply.value().path() != QLatin1String("/");
    }

    QProcess m_process;
    QString m_problem;
};

} // namespace vorn::test
