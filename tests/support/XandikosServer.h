#pragma once

#include "support/TestCalendarServer.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

namespace vorn::test {

// A Xandikos of its own on 127.0.0.1: throw-away storage, a port that was free a moment ago; stopped when
// this goes. Xandikos has no accounts of its own (it leaves logins to a proxy in front of it), so it takes
// any user and password: the account's are sent and not checked. The home starts empty, as Radicale's
// does (--autocreate, not --defaults, which would add a calendar of VEVENTs and VTODOs that the sync then
// takes for a list). Check ready() before use, and installed() before that.
class XandikosServer : public TestCalendarServer {
public:
    static QString program() { return QStringLiteral("/usr/bin/xandikos"); }
    static bool installed() { return QFileInfo(program()).isExecutable(); }

    XandikosServer() : m_port(freePort())
    {
        const std::optional<QString> said =
            serve(m_process, program(),
                  {QStringLiteral("--autocreate"), QStringLiteral("-d"),
                   m_dir.filePath(QStringLiteral("root")), QStringLiteral("-l"), QStringLiteral("127.0.0.1"),
                   QStringLiteral("-p"), QString::number(m_port)},
                  m_port, m_dir.filePath(QStringLiteral("log")));
        if (said)
            m_problem = QStringLiteral("xandikos didn't start: ") + *said;
    }

    ~XandikosServer() override
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QString name() const override { return QStringLiteral("Xandikos"); }
    bool ready() const override { return m_problem.isEmpty(); }
    QString problem() const override { return m_problem; }
    QUrl url() const override { return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port)); }
    QString user() const override { return QStringLiteral("user"); }
    QString password() const override { return QStringLiteral("not checked"); }
    QString homePath() const override { return QStringLiteral("/user/calendars/"); }
    bool checksPasswords() const override { return false; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port;
    QString m_problem;
};

} // namespace vorn::test
