#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

namespace vorn::test {

// A Radicale of its own on 127.0.0.1, with one user, throw-away storage and a free port; stopped when
// this goes. Check ready() (or problem()) before use; installed() says whether one can start at all.
class RadicaleServer {
public:
    RadicaleServer();
    ~RadicaleServer();

    static bool installed();
    bool ready() const { return m_problem.isEmpty(); }
    QString problem() const { return m_problem; }

    QUrl url() const; // http://127.0.0.1:PORT/
    QString user() const { return QStringLiteral("alice"); }
    QString password() const { return QStringLiteral("s3cret:pw"); }
    // A collection made behind the server's back, with the props it stores for one.
    void makeCollection(const QString& path, const QByteArray& propsJson);

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_problem;
};

namespace radicale_detail {

inline const QString kPython = QStringLiteral("/usr/bin/python3");

inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

inline void write(const QString& path, const QByteArray& text)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
}

} // namespace radicale_detail

inline bool RadicaleServer::installed()
{
    QProcess probe;
    probe.start(radicale_detail::kPython, {QStringLiteral("-c"), QStringLiteral("import radicale")});
    return probe.waitForFinished(10'000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}

inline RadicaleServer::RadicaleServer()
{
    const QString dir = m_dir.path();
    radicale_detail::write(dir + QStringLiteral("/users"),
                           (user() + QLatin1Char(':') + password() + QLatin1Char('\n')).toUtf8());
    // The port is free a moment ago; a clash shows as a server that never answers, and a retry.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_problem.clear();
        m_port = radicale_detail::freePort();
        const QByteArray config =
            "[server]\nhosts = 127.0.0.1:" + QByteArray::number(m_port) +
            "\n[auth]\ntype = htpasswd\nhtpasswd_filename = " + dir.toUtf8() +
            "/users\nhtpasswd_encryption = plain\n[storage]\nfilesystem_folder = " + dir.toUtf8() +
            "/collections\n[logging]\nlevel = warning\n";
        radicale_detail::write(dir + QStringLiteral("/config"), config);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(radicale_detail::kPython,
                        {QStringLiteral("-m"), QStringLiteral("radicale"), QStringLiteral("--config"),
                         dir + QStringLiteral("/config")});
        QDeadlineTimer deadline(15'000);
        while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(200))
                return;
            m_process.waitForFinished(100);
        }
        m_problem = QStringLiteral("radicale didn't start: ") + QString::fromUtf8(m_process.readAll());
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

inline RadicaleServer::~RadicaleServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

inline QUrl RadicaleServer::url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port));
}

inline void RadicaleServer::makeCollection(const QString& path, const QByteArray& propsJson)
{
    const QString folder = m_dir.path() + QStringLiteral("/collections/collection-root/") + path;
    QDir().mkpath(folder);
    radicale_detail::write(folder + QStringLiteral("/.Radicale.props"), propsJson);
}

} // namespace vorn::test
