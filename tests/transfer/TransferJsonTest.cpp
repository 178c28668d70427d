// The transfer JSON, the pasteboard formats, the hand-off file and the hand-off itself.
#include "family/FamilyConstants.h"
#include "support/FakeWorkspace.h"
#include "support/TestSupport.h"
#include "transfer/HandoffFile.h"
#include "transfer/PlannerWorkspace.h"
#include "transfer/Transfer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace vorn;
using namespace Qt::StringLiterals;

namespace {

const QString kThingsType(kThingsPasteboardType);

TransferThing fullThing()
{
    TransferThing t;
    t.title = u"Pay rent"_s;
    t.done = true;
    t.zs = 3;
    t.steps = {{u"call landlord"_s, true}, {u"transfer"_s, false}};
    t.note = u"by Friday"_s;
    t.link = u"https://example.com/rent"_s;
    t.rtf = QByteArray("{\\rtf1 by {\\b Friday}}\0\xff", 24); // binary bytes survive too
    return t;
}

using Workspace = vorn::test::FakeWorkspace;

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

TEST(TransferJson, encodesSortedCompactKeysWithBase64Rtf)
{
    TransferThing plain;
    plain.title = u"Milk"_s;
    const std::optional<QByteArray> json = Transfer::encode({fullThing(), plain});
    ASSERT_TRUE(json);
    EXPECT_EQ(
        *json,
        QByteArray(
            R"([{"done":true,"link":"https://example.com/rent","note":"by Friday",)"
            R"("rtf":"e1xydGYxIGJ5IHtcYiBGcmlkYXl9fQD/","steps":[{"done":true,"title":"call landlord"},)"
            R"({"done":false,"title":"transfer"}],"title":"Pay rent","zs":3},)"
            R"({"done":false,"note":"","steps":[],"title":"Milk","zs":0}])"));
    EXPECT_EQ(Transfer::decode(*json), (std::vector<TransferThing>{fullThing(), plain}));
}

TEST(TransferJson, decodingFillsDefaultsAndRefusesWhatDoesNotFit)
{
    const std::optional<std::vector<TransferThing>> minimal = Transfer::decode(R"([{"title":"  x "}])");
    ASSERT_TRUE(minimal);
    TransferThing expected;
    expected.title = u"  x "_s; // kept as written; trimming is the inserter's business
    EXPECT_EQ(*minimal, std::vector<TransferThing>{expected});

    const auto kept =
        Transfer::decode(R"([{"title":" "},{"title":"a","zs":-2,"done":null,"extra":1},{"title":"\n"}])");
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->size(), 1u);
    EXPECT_EQ(kept->front().title, u"a"_s);
    EXPECT_EQ(kept->front().zs, -2);

    const char* refused[] = {
        "",
        "not json",
        R"({"title":"an object, not an array"})",
        "[]",
        R"([{"title":"  "}])",
        R"([{"done":true}])",
        R"([{"title":7}])",
        R"([{"title":"a"},{"done":false}])", // one bad record spoils the lot
        R"([{"title":"a","done":"yes"}])",
        R"([{"title":"a","zs":1.5}])",
        R"([{"title":"a","zs":1e300}])",
        R"([{"title":"a","steps":[{"title":"s"}]}])",
        R"([{"title":"a","steps":[{"done":true}]}])",
        R"([{"title":"a","steps":{}}])",
        R"([{"title":"a","rtf":"not base64!"}])",
        R"([{"title":"a","link":5}])",
        R"(["a"])",
    };
    for (const char* json : refused) {
        SCOPED_TRACE(json);
        EXPECT_FALSE(Transfer::decode(QByteArrayView(json, qstrlen(json))));
    }
}

TEST(TransferJson, copyPutsTextJsonAndRtfForExactlyOneThingWithANote)
{
    TransferThing other;
    other.title = u"Milk"_s;
    TransferThing emptyRtf = other;
    emptyRtf.rtf = QByteArray();

    const struct {
        const char* name;
        std::vector<TransferThing> things;
        QStringList types;
    } cases[] = {
        {"one thing with a note", {fullThing()}, {u"text/plain"_s, kThingsType, u"text/rtf"_s}},
        {"two things", {fullThing(), fullThing()}, {u"text/plain"_s, kThingsType}},
        {"one without a note", {other}, {u"text/plain"_s, kThingsType}},
        {"one with an empty note file", {emptyRtf}, {u"text/plain"_s, kThingsType}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryPasteboard board;
        board.setData(u"text/html"_s, "stale");
        Transfer::copy(c.things, board);
        EXPECT_EQ(board.types(), c.types);
        EXPECT_EQ(Transfer::paste(board), c.things);
    }

    MemoryPasteboard board;
    Transfer::copy({fullThing(), other}, board);
    Transfer::copy({}, board); // leaves it alone
    EXPECT_EQ(board.data(u"text/plain"_s), QByteArray("Pay rent\nMilk"));
}

TEST(TransferJson, undecodableTransferDataFallsBackToThePlainText)
{
    for (const QByteArray& json : {QByteArray("{broken"), QByteArray("[]"), QByteArray(R"([{"title":1}])")}) {
        SCOPED_TRACE(json.toStdString());
        MemoryPasteboard board;
        board.setData(kThingsType, json);
        board.setData(u"text/plain"_s, "- [x] from text");
        const std::vector<TransferThing> things = Transfer::paste(board);
        ASSERT_EQ(things.size(), 1u);
        EXPECT_EQ(things[0].title, u"from text"_s);
        EXPECT_TRUE(things[0].done);
    }
}

TEST(TransferJson, sendToPlannerWritesTheHandoffAndOpensTheUrl)
{
    QTemporaryDir dir;
    HandoffFile handoff(HandoffFile::pathIn(dir.path()));
    Workspace workspace;
    using Sent = Transfer::SendResult;

    ASSERT_EQ(Transfer::sendToPlanner({fullThing()}, u"2026-03-10"_s, workspace, handoff), Sent::sent);
    ASSERT_EQ(workspace.opened.size(), 1u);
    EXPECT_EQ(workspace.opened[0].toString(), u"vornplanner://add?handoff=1&day=2026-03-10"_s);
    EXPECT_EQ(Transfer::decode(*handoff.data(kThingsType)), std::vector<TransferThing>{fullThing()});

    ASSERT_EQ(Transfer::sendToPlanner({fullThing()}, std::nullopt, workspace, handoff), Sent::sent);
    EXPECT_EQ(workspace.opened.back().toString(), u"vornplanner://add?handoff=1"_s);

    // Each refusal leaves the URL unopened, or reports that opening failed.
    workspace.opened.clear();
    EXPECT_EQ(Transfer::sendToPlanner({}, std::nullopt, workspace, handoff), Sent::nothingToSend);
    workspace.installed = false;
    EXPECT_EQ(Transfer::sendToPlanner({fullThing()}, std::nullopt, workspace, handoff), Sent::plannerMissing);
    workspace.installed = true;
    HandoffFile nowhere(dir.filePath(u"missing-folder/handoff"_s));
    EXPECT_EQ(Transfer::sendToPlanner({fullThing()}, std::nullopt, workspace, nowhere), Sent::notWritten);
    EXPECT_TRUE(workspace.opened.empty());
    workspace.opens = false;
    EXPECT_EQ(Transfer::sendToPlanner({fullThing()}, std::nullopt, workspace, handoff), Sent::notOpened);
    // The second send joined the first, which nobody had taken; the failed one left both as they were.
    EXPECT_EQ(Transfer::decode(*handoff.data(kThingsType)),
              (std::vector<TransferThing>{fullThing(), fullThing()}));
}

TEST(TransferJson, handoffFileIsReplacedWholeAndTakenOnce)
{
    QTemporaryDir dir;
    const QString path = HandoffFile::pathIn(dir.path());
    EXPECT_TRUE(path.endsWith(u"/"_s + kHandoffPasteboardName));

    // An earlier, bigger hand-off and some stranger's bytes left behind are both replaced whole.
    HandoffFile earlier(path);
    earlier.clear();
    ASSERT_TRUE(earlier.setData(kThingsType, QByteArray(100'000, 'a')));
    ASSERT_TRUE(earlier.setData(u"text/plain"_s, "earlier"));
    HandoffFile now(path);
    now.clear();
    ASSERT_TRUE(now.setData(kThingsType, "[]\n"));
    EXPECT_EQ(HandoffFile(path).data(kThingsType), QByteArray("[]\n"));
    EXPECT_FALSE(HandoffFile(path).hasType(u"text/plain"_s));

    HandoffFile reader(path);
    EXPECT_EQ(reader.take(kThingsType), QByteArray("[]\n"));
    EXPECT_FALSE(reader.take(kThingsType)) << "a hand-off is taken once";
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList()) << "nothing left behind";

    for (const QByteArray& junk :
         {QByteArray("garbage"), QByteArray("vorn-handoff 1\ntype\n999\nshort\n"),
          QByteArray("vorn-handoff 1\ntype\n-1\n\n"), QByteArray("vorn-handoff 1\ntype")}) {
        ASSERT_TRUE(writeFile(path, junk));
        EXPECT_FALSE(HandoffFile(path).hasType(u"type"_s)) << junk.toStdString();
    }
}

// The size limit is a ceiling, not a buffer: a read once reserved all 64 MiB of it for every hand-off
// (found by the handoff fuzz target, which it slowed to a few reads a second).
TEST(TransferJson, aSmallHandoffReadsWithoutReservingTheLimit)
{
    QTemporaryDir dir;
    const QString path = HandoffFile::pathIn(dir.path());
    ASSERT_TRUE(HandoffFile(path).setData(kThingsType, "[]"));
    const HandoffFile file(path);
    const qint64 start = test::threadCpuMSecs();
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(file.data(kThingsType), QByteArray("[]"));
    EXPECT_LT(test::threadCpuMSecs() - start, 250);
}

TEST(TransferJson, aReaderNeverSeesHalfAHandoff)
{
    QTemporaryDir dir;
    const QString path = HandoffFile::pathIn(dir.path());
    const QByteArray big(2'000'000, 'b'), small("small");
    HandoffFile writer(path);
    ASSERT_TRUE(writer.setData(kThingsType, small));

    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, torn{0};
    std::thread reader([&] {
        const HandoffFile file(path);
        while (!done) {
            const std::optional<QByteArray> data = file.data(kThingsType);
            ++reads;
            if (!data || (*data != big && *data != small))
                ++torn;
        }
    });
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(writer.setData(kThingsType, i % 2 ? small : big));
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(torn.load(), 0);
}

TEST(TransferJson, withoutARuntimeFolderTheHandoffLivesInAPrivateFolder)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    const QString path = HandoffFile::defaultPath();
    if (!saved.isEmpty())
        qputenv("XDG_RUNTIME_DIR", saved);

    ASSERT_FALSE(path.isEmpty());
    const QFileInfo folder(QFileInfo(path).absolutePath());
    EXPECT_TRUE(folder.isDir());
    EXPECT_EQ(folder.permissions() &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions());
}

TEST(TransferJson, plannerCountsAsInstalledWhenItsDesktopEntryIsAFile)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(u"first"_s), second = dir.filePath(u"second"_s);
    const QString name = kPlannerBundleID + u".desktop"_s;
    ASSERT_TRUE(QDir().mkpath(first + u'/' + name)); // a folder by that name is no entry
    ASSERT_TRUE(QDir().mkpath(second));
    EXPECT_FALSE(findPlannerDesktopEntry({u""_s, first, second}));

    ASSERT_TRUE(writeFile(second + u'/' + name, "[Desktop Entry]\n"));
    EXPECT_EQ(findPlannerDesktopEntry({first, second}), second + u'/' + name);
}
