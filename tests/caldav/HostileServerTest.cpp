#include "caldav/Await.h"
#include "caldav/CalDavClient.h"
#include "caldav/FakeDavServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSslKey>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes(); // the sanitizer's own, headers or not
#else
#include <malloc.h>
#endif

using namespace vorn::caldav;
using vorn::test::account;
using vorn::test::await;
using vorn::test::FakeDavServer;
using vorn::test::FakeRequest;

namespace {

const QByteArray kXmlType = "application/xml; charset=utf-8";
const QByteArray kCtag =
    R"(<d:multistatus xmlns:d="DAV:" xmlns:cs="http://calendarserver.org/ns/"><d:response>)"
    R"(<d:href>/cal/</d:href><d:propstat><d:prop><cs:getctag>42</cs:getctag></d:prop>)"
    R"(<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response></d:multistatus>)";

// The heap this process holds now; what the sanitizer keeps back from reuse doesn't count.
qint64 liveHeap()
{
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
#endif
}

// Writes `total` bytes of a multistatus that never closes, as fast as the client takes them.
void stream(QTcpSocket* s, qint64 total)
{
    s->write("HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\nConnection: close\r\n\r\n"
             R"(<d:multistatus xmlns:d="DAV:"><d:response><d:href>/a</d:href><d:propstat><d:prop>)");
    const QByteArray chunk =
        QByteArray("<x:junk xmlns:x=\"urn:x\">" + QByteArray(1000, 'a') + "</x:junk>").repeated(64);
    auto sent = std::make_shared<qint64>(0);
    auto pump = [s, sent, total, chunk] {
        while (s->bytesToWrite() < 4 * chunk.size() && *sent < total) {
            s->write(chunk);
            *sent += chunk.size();
        }
        if (*sent >= total)
            s->disconnectFromHost();
    };
    QObject::connect(s, &QTcpSocket::bytesWritten, s, pump);
    pump();
}

struct HostileCase {
    const char* what;
    FakeDavServer::Answer answer;
    DavErrorKind kind;
    qint64 maxMs;
};

TEST(HostileServerTest, eachHostileAnswerGivesItsOwnErrorQuicklyAndWithBoundedMemory)
{
    const auto send = [](QByteArray bytes) {
        return [bytes](const FakeRequest&, QTcpSocket* s) { s->write(bytes); };
    };
    // Well-formed, so only a depth limit refuses it.
    const QByteArray deep = R"(<d:multistatus xmlns:d="DAV:"><d:response><d:href>/a</d:href>)" +
                            QByteArray("<d:prop>").repeated(100'000) +
                            QByteArray("</d:prop>").repeated(100'000) + "</d:response></d:multistatus>";
    const HostileCase cases[] = {
        {"a 401", send(FakeDavServer::reply(401, "text/plain", "no")), DavErrorKind::Unauthorized, 5000},
        {"a 507", send(FakeDavServer::reply(507)), DavErrorKind::Full, 5000},
        {"a 503", send(FakeDavServer::reply(503)), DavErrorKind::ServerError, 5000},
        {"a 403", send(FakeDavServer::reply(403)), DavErrorKind::Forbidden, 5000},
        {"HTML for XML", send(FakeDavServer::reply(207, "text/html", "<html>hi</html>")),
         DavErrorKind::WrongContentType, 5000},
        {"broken XML", send(FakeDavServer::reply(207, kXmlType, "<d:multistatus xmlns:d=\"DAV:\"></oops>")),
         DavErrorKind::BadXml, 5000},
        {"cut-off XML", send(FakeDavServer::reply(207, kXmlType, kCtag.left(kCtag.size() - 20))),
         DavErrorKind::BadXml, 5000},
        {"100,000 nested elements", send(FakeDavServer::reply(207, kXmlType, deep)), DavErrorKind::BadXml,
         3000},
        {"200 MB announced",
         send("HTTP/1.1 207 X\r\nContent-Type: application/xml\r\nContent-Length: 209715200\r\n\r\n"),
         DavErrorKind::TooLarge, 3000},
        {"200 MB streamed", [](const FakeRequest&, QTcpSocket* s) { stream(s, 200 * 1024 * 1024); },
         DavErrorKind::TooLarge, 20'000},
        {"a redirect loop",
         [](const FakeRequest& r, QTcpSocket* s) {
             s->write(
                 FakeDavServer::reply(301, {}, {}, r.path == "/a" ? "Location: /b\r\n" : "Location: /a\r\n"));
         },
         DavErrorKind::Redirects, 5000},
        {"endless redirects",
         [](const FakeRequest& r, QTcpSocket* s) {
             s->write(FakeDavServer::reply(307, {}, {}, "Location: " + r.path + "x\r\n"));
         },
         DavErrorKind::Redirects, 5000},
        {"no answer", [](const FakeRequest&, QTcpSocket*) {}, DavErrorKind::Timeout, 4000},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.what);
        FakeDavServer server(c.answer);
        CalDavClient client(account(server.url(), QStringLiteral("u"), QStringLiteral("p"), 1000));
        const qint64 before = liveHeap();
        qint64 peak = before;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, &sampler,
                         [&peak] { peak = std::max(peak, liveHeap()); });
        sampler.start(1);
        QElapsedTimer clock;
        clock.start();

        const DavResult<QString> r = await<QString>([&](auto cb) { client.getCtag(server.url("/a"), cb); });

        EXPECT_EQ(r.error.kind, c.kind) << r.error.message.toStdString();
        EXPECT_FALSE(r.error.message.isEmpty());
        EXPECT_LT(clock.elapsed(), c.maxMs);
        // Read as it streams: far less held at once than the 64 MB that is read before refusing. What Qt's
        // network thread has read ahead of us counts too, and it reads ahead more the busier this thread
        // is (several MB on a loaded machine), so the bound is half of what an answer held whole would take.
        EXPECT_LT(peak - before, kResponseLimit / 2);
    }
}

TEST(HostileServerTest, aRedirectToAnotherOriginGetsNoPassword)
{
    FakeDavServer elsewhere(
        [](const FakeRequest&, QTcpSocket* s) { s->write(FakeDavServer::reply(207, kXmlType, kCtag)); });
    const QByteArray location = "Location: " + elsewhere.url(QStringLiteral("/cal/")).toEncoded() + "\r\n";
    FakeDavServer origin([location](const FakeRequest&, QTcpSocket* s) {
        s->write(FakeDavServer::reply(307, {}, {}, location));
    });
    CalDavClient client(account(origin.url(), QStringLiteral("u"), QStringLiteral("p")));

    const DavResult<QString> r = await<QString>([&](auto cb) { client.getCtag(origin.url("/cal/"), cb); });

    ASSERT_TRUE(r.ok()) << r.error.message.toStdString();
    EXPECT_EQ(r.value, QStringLiteral("42"));
    ASSERT_EQ(origin.requests.size(), 1u);
    EXPECT_EQ(origin.requests[0].headers.value("authorization"),
              QByteArray("Basic ") + QByteArray("u:p").toBase64());
    ASSERT_EQ(elsewhere.requests.size(), 1u);
    EXPECT_EQ(elsewhere.requests[0].method, "PROPFIND");
    EXPECT_FALSE(elsewhere.requests[0].headers.contains("authorization"));
}

TEST(HostileServerTest, aPutAnsweredWithoutAnEtagAsksTheServerForIt)
{
    FakeDavServer server([](const FakeRequest& r, QTcpSocket* s) {
        s->write(r.method == "PUT"
                     ? FakeDavServer::reply(201)
                     : FakeDavServer::reply(207, kXmlType,
                                            QByteArray(kCtag).replace("cs:getctag>42</cs:getctag",
                                                                      "d:getetag>\"e\"</d:getetag")));
    });
    CalDavClient client(account(server.url()));

    const auto r =
        await<QString>([&](auto cb) { client.put(server.url("/cal/a.ics"), "BEGIN:VCALENDAR", {}, cb); });

    EXPECT_EQ(r.value, QStringLiteral("\"e\""));
    ASSERT_EQ(server.requests.size(), 2u);
    EXPECT_EQ(server.requests[0].headers.value("if-none-match"), "*");
}

TEST(HostileServerTest, aCertificateErrorIsRefusedNamingTheHostUnlessThatCertificateIsTrusted)
{
    QTemporaryDir dir;
    const QString key = dir.filePath(QStringLiteral("key.pem")),
                  cert = dir.filePath(QStringLiteral("cert.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                                              "-subj", "/CN=localhost", "-keyout", key, "-out", cert});
    if (!openssl.waitForFinished(30'000) || openssl.exitCode() != 0)
        GTEST_SKIP() << "openssl can't make a certificate here";
    QFile keyFile(key), certFile(cert);
    ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly) && certFile.open(QIODevice::ReadOnly));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(certFile.readAll()));
    tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    FakeDavServer server(
        [](const FakeRequest&, QTcpSocket* s) { s->write(FakeDavServer::reply(207, kXmlType, kCtag)); },
        &tls);
    const QUrl url = server.url(QStringLiteral("/cal/"), "https");

    CalDavClient wary(account(url, QStringLiteral("u"), QStringLiteral("p")));
    const DavResult<QString> refused = await<QString>([&](auto cb) { wary.getCtag(url, cb); });
    EXPECT_EQ(refused.error.kind, DavErrorKind::Tls);
    EXPECT_TRUE(refused.error.message.contains(QStringLiteral("127.0.0.1")))
        << refused.error.message.toStdString();
    EXPECT_TRUE(server.requests.empty());

    DavAccount trusting = account(url, QStringLiteral("u"), QStringLiteral("p"));
    trusting.trustedCertificateSha256 = tls.localCertificate().digest(QCryptographicHash::Sha256);
    CalDavClient client(trusting);
    EXPECT_EQ(await<QString>([&](auto cb) { client.getCtag(url, cb); }).value, QStringLiteral("42"));
}

} // namespace
