#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <csignal>
#include <optional>
#include <sys/prctl.h>

namespace vorn::test {

// A CalDAV server of the test's own on 127.0.0.1, whichever it is: what a round trip needs to reach it.
class TestCalendarServer {
public:
    virtual ~TestCalendarServer() = default;
    virtual QString name() const = 0;
    virtual bool ready() const = 0;
    virtual QString problem() const = 0;
    virtual QUrl url() const = 0;
    virtual QString user() const = 0;
    virtual QString password() const = 0;
    // The user's calendar home, as a path ending in '/'.
    virtual QString homePath() const = 0;
    // False for a server that lets anyone in: a wrong password is then never refused.
    virtual bool checksPasswords() const { return true; }

protected:
    // A port on 127.0.0.1 that was free a moment ago.
    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    // Starts the server and waits up to 15 s for it to take connections on `port`: nothing when it does,
    // else what it printed.
    // What the server says goes to `log`: left in a pipe nobody reads while a test waits on something
    // else, it filled the pipe, and a server that logs each request (Xandikos) stopped answering.
    static std::optional<QString> serve(QProcess& process, const QString& program, const QStringList& args,
                                        quint16 port, const QString& log)
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(log);
        // A test that aborts runs no destructor; the server goes with it anyway.
        process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process.start(program, args);
        for (QDeadlineTimer deadline(15'000);
             !deadline.hasExpired() && process.state() != QProcess::NotRunning;
             process.waitForFinished(100)) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(200))
                return std::nullopt;
        }
        QFile said(log);
        return said.open(QIODevice::ReadOnly) ? QString::fromUtf8(said.readAll()) : QString();
    }
};

} // namespace vorn::test
