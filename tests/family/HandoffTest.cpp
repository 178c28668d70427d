// "Send to Vorn Planner" end to end: the model here, the stand-in planner as the desktop would start it
// from its desktop entry, one private session bus.
#include "family/FamilyConstants.h"
#include "support/BusBarrier.h"
#include "support/ModelHarness.h"
#include "transfer/HandoffFile.h"
#include "transfer/PlannerWorkspace.h"
#include "transfer/Transfer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vorn;
using namespace Qt::StringLiterals;
using vorn::test::ModelHarness;

namespace {

const QByteArray kRtf = QByteArrayLiteral("{\\rtf1\\ansi by {\\b Friday}\\par}");

// The desktop as the planner's desktop entry makes it: installed when the entry is in the applications
// folder, and a vornplanner: URL starts the planner with the URL as its only argument.
struct PlannerProcessWorkspace final : PlannerWorkspace {
    bool isPlannerInstalled() const override
    {
        return findPlannerDesktopEntry({environment.value(u"XDG_DATA_HOME"_s) + u"/applications"_s})
            .has_value();
    }
    bool openUrl(const QUrl& url) override
    {
        opened << url.toString(QUrl::FullyEncoded);
        // The desktop took the URL; the planner is still on its way.
        if (slowToStart)
            return true;
        const Outcome outcome = run({url.toString(QUrl::FullyEncoded)});
        return outcome.code == 0;
    }

    struct Outcome {
        int code = -1;
        QString out;
        QString err;
    };
    Outcome run(const QStringList& args) const
    {
        QProcess p;
        p.setProcessEnvironment(environment);
        p.start(QStringLiteral(VORN_PLANNER_BINARY), args);
        if (!p.waitForFinished(20000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    QProcessEnvironment environment;
    bool slowToStart = false;
    QStringList opened; // every URL the desktop was asked to open
};

class Handoff : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The planner's home, data and runtime folders are the test's: its family.db and notes are the
        // model's, its desktop entry lands here, and the hand-off file is the one the model writes.
        const QString runtime = h.dir.filePath(u"runtime"_s);
        ASSERT_TRUE(QDir().mkdir(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, h.dir.filePath(u"home"_s));
        env.insert(u"XDG_DATA_HOME"_s, QFileInfo(h.launch.sharedDataDir).absolutePath());
        env.insert(u"XDG_CONFIG_HOME"_s, h.dir.filePath(u"config"_s));
        env.insert(u"XDG_CACHE_HOME"_s, h.dir.filePath(u"cache"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
        env.remove(u"VORN_FAMILY_DB"_s);
        env.remove(u"VORN_NOTES_DIR"_s);
        workspace.environment = env;

        h.clock->set(QDateTime::currentDateTimeUtc());
        h.launch.syncsToFamily = std::nullopt;
        h.launch.useSessionBus = true;
        h.launch.workspace = &workspace;
        h.launch.handoffPath = HandoffFile::pathIn(runtime);
        model = h.start();
        ASSERT_TRUE(model->familySync().notifier() && model->familySync().notifier()->isConnected())
            << "these tests need a session bus";
        ASSERT_TRUE(model->familySync().familyStore()->isOpen());
        mirrorNow();
    }

    void install() { ASSERT_EQ(workspace.run({u"install"_s}).code, 0); }

    Thing* add(const QString& title) { return model->add(title, Source::today); }

    void mirrorNow()
    {
        QSignalSpy spy(model.get(), &AppModel::mirrored);
        ASSERT_TRUE(spy.wait(5000));
        test::deliverBusSignals(); // our own echo comes back; it must not count as the planner's
    }

    std::vector<SharedThing> rowsOf(const QString& owner) const
    {
        std::vector<SharedThing> out;
        for (SharedThing& row : FamilyStore(h.launch.familyStorePath()).allThings()) {
            if (row.sourceApp == owner)
                out.push_back(std::move(row));
        }
        return out;
    }

    ModelHarness h;
    PlannerProcessWorkspace workspace;
    std::unique_ptr<AppModel> model;
};

} // namespace

TEST_F(Handoff, sentThingsLeaveHereAndBecomePlannerRows)
{
    install();
    ASSERT_TRUE(model->transfer().plannerIsInstalled());
    Thing* rent = add(u"Pay rent"_s);
    rent->setZCount(2);
    Step* call = model->store().insert(Step::make(u"call landlord"_s, rent, rent->createdAt()));
    call->setDoneAt(h.clock->now());
    model->store().insert(Step::make(u"transfer"_s, rent, rent->createdAt().addSecs(1)));
    model->saveNote(rent->id(), kRtf, u"by Friday"_s);
    Thing* plants = add(u"Water plants"_s);
    model->toggleDone(*plants);
    add(u"stays"_s);
    mirrorNow();

    QSignalSpy mirrored(model.get(), &AppModel::mirrored);
    model->transfer().sendToPlanner({RowID::thing(rent->id()), RowID::thing(plants->id())}, std::nullopt);
    EXPECT_EQ(model->toast(), u"Sent 2 to Vorn Planner. Ctrl+Z if that was a mistake."_s);
    EXPECT_EQ(model->store().thingCount(), 1);
    EXPECT_FALSE(QFile::exists(h.launch.handoffPath)) << "the planner took the hand-off";

    ASSERT_TRUE(QTest::qWaitFor([&] { return model->familyThings().size() == 2; }, 10000))
        << "the planner's broadcast was heard";
    std::vector<SharedThing> planner = rowsOf(QString(kPlannerApp));
    ASSERT_EQ(planner.size(), 2u);
    std::sort(planner.begin(), planner.end(), [](const auto& a, const auto& b) { return a.title < b.title; });
    const SharedThing& first = planner[0];
    const SharedThing& second = planner[1];
    EXPECT_EQ(first.title, u"Pay rent"_s);
    EXPECT_FALSE(first.done);
    EXPECT_EQ(first.zs, 2);
    EXPECT_EQ(first.steps, (std::vector<SharedStep>{{u"call landlord"_s, true}, {u"transfer"_s, false}}));
    EXPECT_EQ(first.note, u"by Friday"_s);
    EXPECT_EQ(first.day, std::nullopt);
    ASSERT_TRUE(first.noteID);
    QFile note(QDir(model->notesDir()).filePath(*first.noteID + u".rtf"_s));
    ASSERT_TRUE(note.open(QIODevice::ReadOnly));
    EXPECT_EQ(note.readAll(), kRtf);
    EXPECT_EQ(second.title, u"Water plants"_s);
    EXPECT_TRUE(second.done);

    // Our own rows of the sent things go at the next mirror; only "stays" is left of ours.
    ASSERT_TRUE(mirrored.count() > 0 || mirrored.wait(5000));
    const std::vector<SharedThing> ours = rowsOf(QString(kTodoApp));
    ASSERT_EQ(ours.size(), 1u);
    EXPECT_EQ(ours[0].title, u"stays"_s);
}

TEST_F(Handoff, withThePlannerUninstalledTheThingsStay)
{
    install();
    ASSERT_EQ(workspace.run({u"uninstall"_s}).code, 0);
    Thing* t = add(u"Pay rent"_s);
    mirrorNow();

    model->transfer().sendToPlanner({RowID::thing(t->id())}, std::nullopt);
    EXPECT_EQ(model->toast(), u"Vorn Planner isn't installed."_s);
    EXPECT_EQ(model->store().thingCount(), 1);
    EXPECT_FALSE(QFile::exists(h.launch.handoffPath)) << "nothing was handed off";
    // A planner the desktop started would have run to its end before the send returned: nothing to
    // wait for.
    EXPECT_TRUE(workspace.opened.isEmpty()) << "the planner was started";
    EXPECT_TRUE(rowsOf(QString(kPlannerApp)).empty());
}

TEST_F(Handoff, aSecondSendBeforeThePlannerReadsTheFirstLosesNeither)
{
    install();
    workspace.slowToStart = true;
    Thing* rent = add(u"Pay rent"_s);
    Thing* mum = add(u"Call mum"_s);
    model->transfer().sendToPlanner({RowID::thing(rent->id())}, std::nullopt);
    model->transfer().sendToPlanner({RowID::thing(mum->id())}, std::nullopt);
    EXPECT_EQ(model->store().thingCount(), 0);
    ASSERT_EQ(workspace.opened.size(), 2);

    // The planner comes up for each URL in turn; the first finds both batches, the second nothing.
    for (const QString& url : workspace.opened)
        EXPECT_EQ(workspace.run({url}).code, 0);
    std::vector<SharedThing> planner = rowsOf(QString(kPlannerApp));
    QStringList titles;
    for (const SharedThing& row : planner)
        titles << row.title;
    titles.sort();
    EXPECT_EQ(titles, (QStringList{u"Call mum"_s, u"Pay rent"_s}));
}

TEST_F(Handoff, aDayInTheUrlPlansTheRowsAndALeftOverHandoffGoesAlong)
{
    install();
    // An earlier hand-off the planner never took.
    HandoffFile leftover(h.launch.handoffPath);
    ASSERT_TRUE(
        leftover.setData(QString(kThingsPasteboardType), R"([{"title":"old one"},{"title":"old two"}])"));

    TransferThing record;
    record.title = u"Call mum"_s;
    HandoffFile handoff(h.launch.handoffPath);
    ASSERT_EQ(Transfer::sendToPlanner({record}, model->todayISO(), workspace, handoff),
              Transfer::SendResult::sent);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->familyThings().size() == 3; }, 10000));
    const std::vector<ListRow> today = model->rows(Source::today, true);
    ASSERT_EQ(today.size(), 3u);
    QStringList titles;
    for (const ListRow& row : today) {
        ASSERT_TRUE(row.sharedThing());
        EXPECT_EQ(row.sharedThing()->day, model->todayISO());
        titles << row.sharedThing()->title;
    }
    titles.sort();
    EXPECT_EQ(titles, (QStringList{u"Call mum"_s, u"old one"_s, u"old two"_s}));

    // Opening the URL again finds nothing: a hand-off is added once.
    const auto again = workspace.run({u"vornplanner://add?handoff=1"_s});
    EXPECT_EQ(again.code, 0);
    EXPECT_TRUE(again.out.contains(u"nothing handed off"_s)) << again.out.toStdString();
    EXPECT_EQ(rowsOf(QString(kPlannerApp)).size(), 3u);
}
