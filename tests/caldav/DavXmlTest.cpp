#include "caldav/DavXml.h"
#include "caldav/Await.h"
#include "caldav/CalDavClient.h"
#include "caldav/DavUrl.h"

#include <gtest/gtest.h>

using namespace vorn::caldav;

namespace {

// Each response as "href|etag|data", so a table can say what a multistatus holds.
QStringList summary(const DavResult<Multistatus>& r)
{
    if (!r.ok())
        return {QStringLiteral("error")};
    QStringList out;
    for (const DavResponse& d : r.value.responses)
        out << d.href.toString() + u'|' + d.etag + u'|' + QString::fromUtf8(d.calendarData);
    return out;
}

QStringList summary(const QByteArray& xml)
{
    return summary(readMultistatus(QUrl(QStringLiteral("https://cal.example/alice/cal/")), xml));
}

TEST(DavXmlTest, namespacesAreReadByTheirNameNotTheirPrefixAndHrefsResolveAgainstTheRequest)
{
    const struct {
        const char* what;
        QByteArray xml;
        QStringList expected;
    } cases[] = {
        {"D prefix, encoded relative href",
         R"(<D:multistatus xmlns:D="DAV:"><D:response><D:href>a%20b.ics</D:href><D:propstat><D:prop>)"
         R"(<D:getetag>"1"</D:getetag></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>)"
         R"(</D:multistatus>)",
         {R"(https://cal.example/alice/cal/a b.ics|"1"|)"}},
        {"default namespace, absolute path, CDATA data",
         R"(<multistatus xmlns="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav"><response><href>/bob/x.ics</href>)"
         R"(<propstat><prop><getetag>"2"</getetag><C:calendar-data><![CDATA[BEGIN:VCALENDAR]]></C:calendar-data>)"
         R"(</prop><status>HTTP/1.1 200 OK</status></propstat></response></multistatus>)",
         {R"(https://cal.example/bob/x.ics|"2"|BEGIN:VCALENDAR)"}},
        {"a prefix bound elsewhere is not DAV",
         R"(<ns0:multistatus xmlns:ns0="DAV:" xmlns:D="urn:not-dav"><ns0:response><D:href>/fake</D:href>)"
         R"(<ns0:href>https://other.example/y.ics</ns0:href><ns0:status>HTTP/1.1 404 Not Found</ns0:status>)"
         R"(</ns0:response></ns0:multistatus>)",
         {"https://other.example/y.ics||"}},
        {"what a failed propstat names is not taken",
         R"(<d:multistatus xmlns:d="DAV:"><d:response><d:href>z.ics</d:href><d:propstat><d:prop><d:getetag>"3")"
         R"(</d:getetag></d:prop><d:status>HTTP/1.1 404 Not Found</d:status></d:propstat></d:response>)"
         R"(</d:multistatus>)",
         {"https://cal.example/alice/cal/z.ics||"}},
        {"a component list outside any prop",
         R"(<d:multistatus xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:response><d:href>q</d:href>)"
         R"(<d:propstat><d:x><c:supported-calendar-component-set><c:comp name="VTODO"/>)"
         R"(</c:supported-calendar-component-set></d:x></d:propstat></d:response></d:multistatus>)",
         {"https://cal.example/alice/cal/q||"}},
        {"not a multistatus", R"(<d:error xmlns:d="DAV:"/>)", {"error"}},
        {"entities are not expanded into a bomb",
         "<!DOCTYPE m [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
         R"(<d:multistatus xmlns:d="DAV:"><d:response><d:href>&b;</d:href></d:response></d:multistatus>)",
         {"error"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(summary(c.xml), c.expected) << c.what;
}

// Read with no time to spare, a few tokens a call, an answer gives what it gives read whole: a sync
// reads thousands of items a few milliseconds a turn, and its end too.
TEST(DavXmlTest, anAnswerReadAFewTokensATurnGivesWhatItGivesReadWhole)
{
    QByteArray xml = R"(<d:multistatus xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav">)";
    for (int i = 0; i < 1500; ++i) {
        xml += QStringLiteral("<d:response><d:href>%1.ics</d:href><d:propstat><d:prop><d:getetag>\"%1\""
                              "</d:getetag><c:calendar-data>BEGIN:VCALENDAR\nSUMMARY:Thing %1 \u00e9t\u00e9\n"
                              "END:VCALENDAR\n</c:calendar-data></d:prop><d:status>HTTP/1.1 200 OK</d:status>"
                              "</d:propstat></d:response>")
                   .arg(i)
                   .toUtf8();
    }
    xml += "<d:sync-token>t-1</d:sync-token></d:multistatus>";
    const QStringList whole = summary(xml);
    ASSERT_EQ(whole.size(), 1500);

    MultistatusReader reader(QUrl(QStringLiteral("https://cal.example/alice/cal/")));
    const QDeadlineTimer none(0);
    int calls = 0;
    for (qsizetype at = 0; at < xml.size(); at += 7000) {
        ASSERT_TRUE(reader.feed(xml.mid(at, 7000), none));
        for (; !reader.caughtUp(); ++calls)
            ASSERT_TRUE(reader.more(none));
    }
    reader.lastPieceGiven();
    for (; !reader.caughtUp(); ++calls)
        ASSERT_TRUE(reader.more(none));
    EXPECT_GT(calls, 500) << "each call stops once its time is up";
    const DavResult<Multistatus> pieces = reader.finish();
    EXPECT_EQ(pieces.value.syncToken, QStringLiteral("t-1"));
    EXPECT_EQ(summary(pieces), whole);
}

TEST(DavXmlTest, plainHttpGoesOnlyToLoopbackUnlessAllowed)
{
    const struct {
        const char* url;
        bool allowHttp;
        bool allowed;
    } cases[] = {
        {"https://cal.example/", false, true}, {"http://127.0.0.1:5232/", false, true},
        {"http://127.8.9.10/", false, true},   {"http://[::1]:80/", false, true},
        {"http://localhost/", false, true},    {"http://cal.example/", false, false},
        {"http://10.0.0.1/", false, false},    {"http://cal.example/", true, true},
        {"ftp://cal.example/", true, false},   {"http://127.0.0.1.cal.example/", false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isAllowedUrl(QUrl(QLatin1String(c.url)), c.allowHttp), c.allowed) << c.url;

    EXPECT_TRUE(sameOrigin(QUrl(QStringLiteral("https://a.example/x")),
                           QUrl(QStringLiteral("https://A.example:443/y"))));
    EXPECT_FALSE(
        sameOrigin(QUrl(QStringLiteral("https://a.example/")), QUrl(QStringLiteral("http://a.example/"))));
    EXPECT_FALSE(sameOrigin(QUrl(QStringLiteral("http://a.example/")),
                            QUrl(QStringLiteral("http://a.example:8080/"))));

    CalDavClient client(vorn::test::account(QUrl(QStringLiteral("http://cal.example/")), QStringLiteral("u"),
                                            QStringLiteral("p")));
    const DavResult<DavDiscovery> r = vorn::test::await<DavDiscovery>([&](auto cb) { client.discover(cb); });
    EXPECT_EQ(r.error.kind, DavErrorKind::NotAllowed);
    EXPECT_TRUE(r.error.message.contains(QStringLiteral("cal.example")));
}

} // namespace
