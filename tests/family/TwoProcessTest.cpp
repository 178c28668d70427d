// The app's model in this process, the stand-in planner as a real second process, one private session bus.
#include "family/FamilyConstants.h"
#include "support/BusBarrier.h"
#include "support/ModelHarness.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace vorn;
using vorn::test::ModelHarness;

namespace {

class TwoProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.clock->set(QDateTime::currentDateTimeUtc());
        h.launch.syncsToFamily = std::nullopt;
        h.launch.useSessionBus = true;
        h.manualTimers();
        model = h.start();
        ASSERT_TRUE(model->familySync().notifier() && model->familySync().notifier()->isConnected())
            << "these tests need a session bus";
        ASSERT_TRUE(model->familySync().familyStore()->isOpen());
        QSignalSpy spy(model.get(), &AppModel::mirrored);
        model->familySync().flush(); // the start-up mirror, now
        ASSERT_EQ(spy.count(), 1) << "the start-up mirror";
        settle(); // its echo
    }

    // Runs the planner to completion and returns what it printed.
    QString planner(QStringList args)
    {
        QProcess p;
        args.prepend(h.launch.familyStorePath());
        args.prepend(QStringLiteral("--db"));
        p.start(QStringLiteral(VORN_PLANNER_BINARY), args);
        EXPECT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    // Every broadcast of ours posted so far has come back and been handled.
    void settle(std::source_location where = std::source_location::current())
    {
        test::deliverBusSignals(where);
    }

    bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 10000); }

    // Today as the user reads it: the harness's clock in the harness's time zone.
    QString today() const
    {
        return h.clock->now().toTimeZone(QTimeZone("Europe/Berlin")).date().toString(Qt::ISODate);
    }

    Thing* add(const QString& title)
    {
        model->add(title, Source::today);
        return h.thingTitled(*model, title);
    }

    void mirrorNow()
    {
        QSignalSpy spy(model.get(), &AppModel::mirrored);
        h.timers->advance(h.launch.intervals.syncDebounceMSecs);
        ASSERT_TRUE(spy.count() > 0 || spy.wait(5000)) << "no mirror happened";
        settle(); // our own echo comes back; it must not count as the planner's
    }

    ModelHarness h;
    std::unique_ptr<AppModel> model;
};

// Our mirror waits a minute here, so the planner's broadcasts surely arrive while changes wait for it.
class TwoProcessSlowMirrorTest : public TwoProcessTest {
protected:
    TwoProcessSlowMirrorTest() { h.launch.intervals.syncDebounceMSecs = 60000; }
};

} // namespace

TEST_F(TwoProcessSlowMirrorTest, aBroadcastNeitherUndoesAWaitingTickNorDropsThePlannersEdits)
{
    Thing* ticked = add(QStringLiteral("Water the plant"));
    Thing* renamed = add(QStringLiteral("rename me there"));
    model->familySync().flush();
    settle();

    model->toggleDone(*ticked); // waits for its mirror
    planner({QStringLiteral("rename"), renamed->syncID(), QStringLiteral("renamed there")});
    ASSERT_TRUE(waitFor([&] { return renamed->title() == QStringLiteral("renamed there"); }))
        << "the planner's edit of another thing is taken at once";
    EXPECT_TRUE(ticked->isDone()) << "the broadcast undid the tick";

    model->familySync().flush();
    settle();
    const QString list = planner({QStringLiteral("list")});
    EXPECT_TRUE(list.contains(ticked->syncID() + QStringLiteral("\ttodo\t1\t"))) << list.toStdString();
    EXPECT_TRUE(list.contains(renamed->syncID() + QStringLiteral("\ttodo\t0\t") + today() +
                              QStringLiteral("\trenamed there")))
        << list.toStdString();
}

TEST_F(TwoProcessTest, aLocalAddReachesThePlannerAsATodoRowForToday)
{
    QSignalSpy spy(model.get(), &AppModel::mirrored);
    Thing* t = add(QStringLiteral("Buy stamps"));
    h.timers->advance(399);
    EXPECT_TRUE(model->familySync().isPending()) << "the mirror waits for the 0.4 s debounce";
    h.timers->advance(1);
    ASSERT_TRUE(spy.count() > 0 || spy.wait(5000)) << "no mirror happened";

    const QString list = planner({QStringLiteral("list")});
    const QString expected =
        t->syncID() + QStringLiteral("\ttodo\t0\t") + today() + QStringLiteral("\tBuy stamps");
    EXPECT_TRUE(list.contains(expected)) << list.toStdString();
}

TEST_F(TwoProcessTest, threeChangesATenthApartMakeOneMirror)
{
    QSignalSpy spy(model.get(), &AppModel::mirrored);
    for (int i = 0; i < 3; ++i) {
        add(QStringLiteral("thing %1").arg(i));
        h.timers->advance(100);
    }
    h.timers->advance(300);
    model->familySync().flush(); // waits for the mirror's writes
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(h.timers->isActive(QStringLiteral("sync"))) << "and no second one to come";
}

TEST_F(TwoProcessTest, aPlannerRowForTodayShowsUpAfterItsBroadcast)
{
    planner({QStringLiteral("add"), QStringLiteral("call the bank"), QStringLiteral("--day"), today()});
    ASSERT_TRUE(waitFor([&] { return model->familyThings().size() == 1; }));
    const std::vector<ListRow> rows = model->rows(Source::today, true);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].sharedThing()->title, QStringLiteral("call the bank"));

    planner({QStringLiteral("add"), QStringLiteral("some other day"), QStringLiteral("--day"),
             QStringLiteral("2001-01-01")});
    ASSERT_TRUE(waitFor([&] { return model->familyThings().size() == 2; }));
    EXPECT_EQ(model->rows(Source::today, true).size(), 1u) << "only rows planned for today show";
}

TEST_F(TwoProcessTest, thePlannersEditsOfOurThingsTakeEffect)
{
    Thing* ticked = add(QStringLiteral("tick me"));
    Thing* renamed = add(QStringLiteral("rename me"));
    Thing* future = add(QStringLiteral("plan me later"));
    Thing* past = add(QStringLiteral("bring me back"));
    Thing* last = add(QStringLiteral("stays last until"));
    model->snooze({RowID::thing(past->id())}, SnoozeOption::someday, std::nullopt);
    mirrorNow();

    planner({QStringLiteral("tick"), ticked->syncID()});
    ASSERT_TRUE(waitFor([&] { return ticked->isDone(); }));
    EXPECT_TRUE(model->lingering().contains(ticked->id()));

    // A blank rename shows no change to wait for, so wait for the planner's broadcast itself: with
    // nothing of ours left to mirror or to echo, the next broadcast heard is the planner's.
    model->familySync().flush();
    settle();
    QSignalSpy heard(model->familySync().notifier(), &FamilyNotifier::changed);
    planner({QStringLiteral("rename"), renamed->syncID(), QStringLiteral("   ")});
    ASSERT_TRUE(heard.count() > 0 || heard.wait(10000)) << "the planner's broadcast never came";
    EXPECT_EQ(renamed->title(), QStringLiteral("rename me")) << "a blank rename is ignored";
    planner({QStringLiteral("rename"), renamed->syncID(), QStringLiteral("renamed there")});
    ASSERT_TRUE(waitFor([&] { return renamed->title() == QStringLiteral("renamed there"); }));

    const QDateTime inThreeDays = model->schedule().addDays(model->schedule().startOfDay(h.clock->now()), 3);
    planner({QStringLiteral("day"), future->syncID(), model->schedule().dayText(inThreeDays)});
    ASSERT_TRUE(waitFor([&] { return future->snoozedUntil() == inThreeDays; })) << "a future day snoozes it";

    planner({QStringLiteral("day"), past->syncID(), QStringLiteral("2001-01-01")});
    ASSERT_TRUE(waitFor([&] { return model->source(*past) == Source::today; }))
        << "a past day brings it back";
    EXPECT_GT(past->sortKey(), last->sortKey()) << "at the end of Today";
}

TEST_F(TwoProcessTest, thePlannersDeletionsRemoveOurThingsWithAToast)
{
    Thing* a = add(QStringLiteral("a"));
    Thing* b = add(QStringLiteral("b"));
    add(QStringLiteral("c"));
    const QString idA = a->syncID(), idB = b->syncID();
    mirrorNow();

    planner({QStringLiteral("delete"), idA});
    ASSERT_TRUE(waitFor([&] { return model->store().thingCount() == 2; }));
    EXPECT_EQ(model->toast(), QStringLiteral("Deleted in Vorn Planner. Ctrl+Z if that was a mistake."));

    // Two at once, without a broadcast in between, then one broadcast.
    Thing* c = h.thingTitled(*model, QStringLiteral("c"));
    {
        FamilyStore quiet(h.launch.familyStorePath());
        quiet.markDeleted(idB, QString(kPlannerApp));
        quiet.markDeleted(c->syncID(), QString(kPlannerApp));
    }
    planner({QStringLiteral("add"), QStringLiteral("nudge"), QStringLiteral("--day"),
             QStringLiteral("2001-01-01")});
    ASSERT_TRUE(waitFor([&] { return model->store().thingCount() == 0; }));
    EXPECT_EQ(model->toast(), QStringLiteral("2 deleted in Vorn Planner. Ctrl+Z if that was a mistake."));
    EXPECT_TRUE(model->familySync().familyStore()->deletedByOthers(kTodoApp).empty())
        << "every deletion is acknowledged";
}

TEST_F(TwoProcessTest, ourOwnEchoDoesNotTriggerARefresh)
{
    // A planner row written behind everyone's back: no broadcast announces it.
    {
        FamilyStore quiet(h.launch.familyStorePath());
        SharedThing row;
        row.id = QStringLiteral("quiet-1");
        row.title = QStringLiteral("written quietly");
        row.day = today();
        row.sourceApp = kPlannerApp;
        quiet.upsert(row);
    }
    add(QStringLiteral("a local change"));
    mirrorNow(); // posts, and receives its own broadcast
    EXPECT_TRUE(model->familyThings().empty()) << "our own echo was taken for the planner's";
    EXPECT_FALSE(model->familySync().ownChangePending()) << "the echo was consumed";

    planner({QStringLiteral("add"), QStringLiteral("loud"), QStringLiteral("--day"), today()});
    ASSERT_TRUE(waitFor([&] { return model->familyThings().size() == 2; })) << "a foreign broadcast is read";
}
