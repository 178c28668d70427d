#include "caldav/Await.h"
#include "caldav/CalDavClient.h"
#include "support/RadicaleServer.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace vorn::caldav;
using vorn::test::account;
using vorn::test::await;
using vorn::test::RadicaleServer;

namespace {

QByteArray todo(const QByteArray& uid, const QByteArray& summary)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//vorn//todo//EN\r\nBEGIN:VTODO\r\nUID:" + uid +
           "\r\nDTSTAMP:20261209T160000Z\r\nSUMMARY:" + summary +
           "\r\nX-OTHER-APP;X-KEEP=1:kept as written\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
}

template <class T> QStringList paths(const std::vector<T>& items)
{
    QStringList out;
    for (const T& i : items) {
        if constexpr (std::is_same_v<T, QUrl>)
            out << i.path();
        else
            out << i.href.path();
    }
    out.sort();
    return out;
}

class RadicaleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!RadicaleServer::installed())
            GTEST_SKIP() << "radicale is not installed (apt-get install radicale)";
        server = std::make_unique<RadicaleServer>();
        ASSERT_TRUE(server->ready()) << server->problem().toStdString();
        client = std::make_unique<CalDavClient>(account(server->url(), server->user(), server->password()));
        collection = server->url().resolved(QUrl(QStringLiteral("/alice/vorn%20todo/")));
        ASSERT_TRUE(await<DavDone>([&](auto cb) {
                        client->mkcalendar(collection, QStringLiteral("Vorn todo"), cb);
                    }).ok());
    }

    DavResult<QString> put(const QString& name, const QByteArray& data, const QString& etag = {})
    {
        return await<QString>([&](auto cb) { client->put(childUrl(collection, name), data, etag, cb); });
    }
    DavResult<DavSyncChanges> sync(const QString& token)
    {
        return await<DavSyncChanges>([&](auto cb) { client->syncCollection(collection, token, cb); });
    }

    std::unique_ptr<RadicaleServer> server;
    std::unique_ptr<CalDavClient> client;
    QUrl collection;
};

TEST_F(RadicaleTest, discoveryFromTheBareAddressFindsTheHomeAndOnlyItsTodoCollections)
{
    server->makeCollection(QStringLiteral("alice/events"),
                           R"({"tag": "VCALENDAR", "C:supported-calendar-component-set": "VEVENT"})");
    ASSERT_TRUE(
        await<DavDone>([&](auto cb) { client->rename(collection, QStringLiteral("Things"), cb); }).ok());

    const DavResult<DavDiscovery> found = await<DavDiscovery>([&](auto cb) { client->discover(cb); });

    ASSERT_TRUE(found.ok()) << found.error.message.toStdString();
    EXPECT_EQ(found.value.principal.path(), QStringLiteral("/alice/"));
    EXPECT_EQ(found.value.home.path(), QStringLiteral("/alice/"));
    ASSERT_EQ(found.value.collections.size(), 1u);
    EXPECT_EQ(found.value.collections[0].href.path(), QStringLiteral("/alice/vorn todo/"));
    EXPECT_EQ(found.value.collections[0].displayName, QStringLiteral("Things"));
    EXPECT_EQ(found.value.collections[0].components, QStringList{QStringLiteral("VTODO")});
    EXPECT_FALSE(found.value.collections[0].syncToken.isEmpty());

    CalDavClient stranger(account(server->url(), server->user(), QStringLiteral("wrong")));
    EXPECT_EQ(await<DavDiscovery>([&](auto cb) { stranger.discover(cb); }).error.kind,
              DavErrorKind::Unauthorized);
}

TEST_F(RadicaleTest, everyWriteIsConditionalAndAStaleEtagGetsPreconditionFailed)
{
    const DavResult<QString> first = put(QStringLiteral("a.ics"), todo("a", "Buy milk"));
    ASSERT_TRUE(first.ok()) << first.error.message.toStdString();
    ASSERT_TRUE(first.value.startsWith(QLatin1Char('"')));

    EXPECT_EQ(put(QStringLiteral("a.ics"), todo("a", "Twice")).error.kind, DavErrorKind::PreconditionFailed);
    EXPECT_EQ(put(QStringLiteral("a.ics"), todo("a", "Stale"), QStringLiteral("\"old\"")).error.kind,
              DavErrorKind::PreconditionFailed);
    const DavResult<QString> second = put(QStringLiteral("a.ics"), todo("a", "Buy oat milk"), first.value);
    ASSERT_TRUE(second.ok()) << second.error.message.toStdString();
    EXPECT_NE(second.value, first.value);

    const QUrl a = childUrl(collection, QStringLiteral("a.ics"));
    EXPECT_EQ(await<DavDone>([&](auto cb) { client->remove(a, first.value, cb); }).error.kind,
              DavErrorKind::PreconditionFailed);
    EXPECT_TRUE(await<DavDone>([&](auto cb) { client->remove(a, second.value, cb); }).ok());
    EXPECT_EQ(await<DavDone>([&](auto cb) { client->remove(a, second.value, cb); }).error.kind,
              DavErrorKind::NotFound);
}

TEST_F(RadicaleTest, syncListsEverythingOnceThenOnlyWhatChanged)
{
    const QString a = put(QStringLiteral("a b.ics"), todo("a", "First")).value;
    ASSERT_TRUE(put(QStringLiteral("b.ics"), todo("b", "Second")).ok());

    const DavResult<DavSyncChanges> all = sync({});
    ASSERT_TRUE(all.ok()) << all.error.message.toStdString();
    EXPECT_EQ(paths(all.value.changed), (QStringList{"/alice/vorn todo/a b.ics", "/alice/vorn todo/b.ics"}));
    EXPECT_TRUE(all.value.removed.empty());
    const DavResult<QString> ctag = await<QString>([&](auto cb) { client->getCtag(collection, cb); });

    ASSERT_TRUE(put(QStringLiteral("a b.ics"), todo("a", "Edited"), a).ok());
    const QUrl b = childUrl(collection, QStringLiteral("b.ics"));
    ASSERT_TRUE(await<DavDone>([&](auto cb) { client->remove(b, {}, cb); }).ok());

    const DavResult<DavSyncChanges> since = sync(all.value.token);
    ASSERT_TRUE(since.ok()) << since.error.message.toStdString();
    ASSERT_EQ(paths(since.value.changed), QStringList{"/alice/vorn todo/a b.ics"});
    EXPECT_EQ(paths(since.value.removed), QStringList{"/alice/vorn todo/b.ics"});
    EXPECT_NE(since.value.token, all.value.token);
    EXPECT_NE(await<QString>([&](auto cb) { client->getCtag(collection, cb); }).value, ctag.value);

    EXPECT_EQ(sync(QStringLiteral("http://radicale.org/ns/sync/nonsense")).error.kind,
              DavErrorKind::TokenExpired);

    const auto listed = await<std::vector<DavItem>>([&](auto cb) { client->listAll(collection, false, cb); });
    ASSERT_EQ(listed.value.size(), 1u);
    EXPECT_EQ(listed.value[0].etag, since.value.changed[0].etag);
}

TEST_F(RadicaleTest, multigetGivesBackWhatWasPutWithOnlyTheServersAdditions)
{
    const QByteArray sent = todo("m", "Ünïcode & <markup>");
    ASSERT_TRUE(put(QStringLiteral("m.ics"), sent).ok());
    const QUrl m = childUrl(collection, QStringLiteral("m.ics"));

    const auto got = await<std::vector<DavItem>>([&](auto cb) {
        client->multiget(collection, {m, childUrl(collection, QStringLiteral("gone.ics"))}, cb);
    });

    ASSERT_TRUE(got.ok()) << got.error.message.toStdString();
    ASSERT_EQ(got.value.size(), 1u);
    EXPECT_EQ(got.value[0].href, m);
    // Every line we sent comes back as it was, CRLF included; the server may sort properties its own way
    // and add lines.
    const QList<QByteArray> back = got.value[0].data.split('\n');
    for (const QByteArray& line : sent.split('\n'))
        EXPECT_TRUE(back.contains(line))
            << "missing: " << line.toStdString() << " in " << got.value[0].data.toStdString();
}

TEST_F(RadicaleTest, aThingWithASubtaskFromAnotherClientArrivesAndOursReachesIt)
{
    ASSERT_TRUE(put(QStringLiteral("ours.ics"), todo("ours-1", "From vorn")).ok());
    const QString token = sync({}).value.token;

    QProcess phone;
    phone.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(VORN_CALDAV_TEST_DIR "/phone.py"), collection.toString(), server->user(),
                 server->password()});
    ASSERT_TRUE(phone.waitForFinished(30'000));
    const QByteArray said = phone.readAllStandardOutput();
    ASSERT_EQ(phone.exitCode(), 0) << phone.readAllStandardError().toStdString();
    EXPECT_TRUE(said.contains("seen ours-1")) << said.toStdString();

    const DavResult<DavSyncChanges> changes = sync(token);
    ASSERT_TRUE(changes.ok());
    ASSERT_EQ(changes.value.changed.size(), 2u);
    std::vector<QUrl> hrefs;
    for (const DavItem& i : changes.value.changed)
        hrefs.push_back(i.href);
    const auto items = await<std::vector<DavItem>>([&](auto cb) { client->multiget(collection, hrefs, cb); });
    ASSERT_EQ(items.value.size(), 2u);
    const QByteArray both = items.value[0].data + items.value[1].data;
    EXPECT_TRUE(both.contains("SUMMARY:Pack for the trip"));
    EXPECT_TRUE(both.contains("SUMMARY:Find the passport"));
    EXPECT_TRUE(both.contains("RELATED-TO;RELTYPE=PARENT:phone-parent")) << both.toStdString();
}

} // namespace
