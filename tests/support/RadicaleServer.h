#pragma once

#include "support/TestCalendarServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

namespace vorn::test {

// A Radicale of its own on 127.0.0.1: one user, throw-away storage, a port that was free a moment
// ago; stopped when this goes. Check ready() before use, and installed() before that.
class RadicaleServer : public TestCalendarServer {
public:
    static bool installed()
    {
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-c"), QStringLiteral("import radicale")});
        return probe.waitForFinished(10'000) && probe.exitStatus() == QProcess::NormalExit &&
               probe.exitCode() == 0;
    }

    RadicaleServer()
    {
        m_port = freePort();
        const QByteArray dir = m_dir.path().toUtf8();
        write("users", (user() + QLatin1Char(':') + password()).toUtf8());
        write("config", "[server]\nhosts = 127.0.0.1:" + QByteArray::number(m_port) +
                            "\n[auth]\ntype = htpasswd\nhtpasswd_filename = " + dir +
                            "/users\nhtpasswd_encryption = plain\n[storage]\nfilesystem_folder = " + dir +
                            "/collections\n[logging]\nlevel = warning\n");
        if (const std::optional<QString> said =
                serve(m_process, QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral("-m"), QStringLiteral("radicale"), QStringLiteral("--config"),
                       m_dir.filePath(QStringLiteral("config"))},
                      m_port))
            m_problem = QStringLiteral("radicale didn't start: ") + *said;
    }

    ~RadicaleServer() override
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QString name() const override { return QStringLiteral("Radicale"); }
    bool ready() const override { return m_problem.isEmpty(); }
    QString problem() const override { return m_problem; }
    QUrl url() const override { return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port)); }
    QString user() const override { return QStringLiteral("alice"); }
    QString password() const override { return QStringLiteral("s3cret:pw"); }
    QString homePath() const override { return QStringLiteral("/alice/"); }

    // A collection made behind the server's back, with the props it keeps for one.
    void makeCollection(const QString& path, const QByteArray& propsJson)
    {
        const QString folder = QStringLiteral("collections/collection-root/") + path;
        QDir(m_dir.path()).mkpath(folder);
        write(folder + QStringLiteral("/.Radicale.props"), propsJson);
    }

    // An item written behind the server's back, at `path` below the collection root.
    void writeItem(const QString& path, const QByteArray& text)
    {
        write(QStringLiteral("collections/collection-root/") + path, text);
    }

private:
    void write(const QString& name, const QByteArray& text)
    {
        QFile f(m_dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_problem;
};

} // namespace vorn::test
