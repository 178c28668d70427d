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
        shut(QString());
        write("config", "[server]\nhosts = 127.0.0.1:" + QByteArray::number(m_port) +
                            "\n[auth]\ntype = htpasswd\nhtpasswd_filename = " + dir +
                            "/users\nhtpasswd_encryption = plain\n[rights]\ntype = from_file\nfile = " + dir +
                            "/rights\n[storage]\nfilesystem_folder = " + dir +
                            "/collections\n[logging]\nlevel = warning\n");
        if (const std::optional<QString> said =
                serve(m_process, QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral("-m"), QStringLiteral("radicale"), QStringLiteral("--config"),
                       m_dir.filePath(QStringLiteral("config"))},
                      m_port, m_dir.filePath(QStringLiteral("log"))))
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

    // Writes to `collection` (a path such as "alice/work", read at each request) are refused from now
    // on with a 403, as a server whose disk is full or whose rights changed; empty: none are. Otherwise
    // the rights are Radicale's own default, each user's home and calendars to themselves.
    void shut(const QString& collection)
    {
        QByteArray rules;
        if (!collection.isEmpty())
            rules += "[shut]\nuser: .+\ncollection: " + collection.toUtf8() + "\npermissions: r\n";
        rules += "[root]\nuser: .+\ncollection:\npermissions: R\n"
                 "[home]\nuser: .+\ncollection: {user}\npermissions: RW\n"
                 "[calendars]\nuser: .+\ncollection: {user}/[^/]+\npermissions: rw\n";
        write(QStringLiteral("rights"), rules);
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
