#pragma once

#include <QMap>
#include <QSslConfiguration>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

namespace vorn::test {

struct FakeRequest {
    QByteArray method;
    QByteArray path;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// A server that answers however a test says, on 127.0.0.1 (over TLS when given a configuration), and
// keeps every request it read.
class FakeDavServer : public QObject {
public:
    using Answer = std::function<void(const FakeRequest&, QTcpSocket*)>;

    explicit FakeDavServer(Answer answer, const QSslConfiguration* tls = nullptr)
        : m_answer(std::move(answer))
    {
        if (tls) {
            auto ssl = std::make_unique<QSslServer>();
            ssl->setSslConfiguration(*tls);
            m_server = std::move(ssl);
        } else {
            m_server = std::make_unique<QTcpServer>();
        }
        m_server->listen(QHostAddress::LocalHost, 0);
        connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* s = m_server->nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, this, [this, s] { read(s); });
        });
    }

    QUrl url(const QString& path = QStringLiteral("/"), const char* scheme = "http") const
    {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                        .arg(QLatin1String(scheme))
                        .arg(m_server->serverPort())
                        .arg(path));
    }

    static QByteArray reply(int status, const QByteArray& type = {}, const QByteArray& body = {},
                            const QByteArray& headers = {})
    {
        return "HTTP/1.1 " + QByteArray::number(status) + " X\r\n" +
               (type.isEmpty() ? QByteArray() : "Content-Type: " + type + "\r\n") + headers +
               "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }

    std::vector<FakeRequest> requests;

private:
    void read(QTcpSocket* s)
    {
        QByteArray& buffer = m_buffers[s];
        buffer += s->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        FakeRequest r;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> first = lines[0].trimmed().split(' ');
        r.method = first.value(0);
        r.path = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                r.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
        }
        const qsizetype length = r.headers.value("content-length").toLongLong();
        if (buffer.size() < end + 4 + length)
            return;
        r.body = buffer.mid(end + 4, length);
        buffer.remove(0, end + 4 + length);
        requests.push_back(r);
        m_answer(r, s);
    }

    Answer m_answer;
    std::unique_ptr<QTcpServer> m_server;
    QMap<QTcpSocket*, QByteArray> m_buffers;
};

} // namespace vorn::test
