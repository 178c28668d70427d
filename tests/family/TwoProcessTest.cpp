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

// Readable failure messages for Qt values.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace vorn;
using vorn::test::at;
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

    // What sqlite3 prints for `sql` run on the family file: another program at work on it.
    QString sqlite(const QString& sql)
    {
        QProcess p;
        p.start(QStringLiteral("sqlite3"), {h.launch.familyStorePath(), sql});
        EXPECT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    // sqlite3 writes, dbus-send announces it as the planner does; returns once the app has read it.
    void writtenBySqlite(const QString& sql)
    {
        sqlite(sql);
        QSignalSpy heard(model->familySync().notifier(), &FamilyNotifier::changed);
        EXPECT_EQ(QProcess::execute(QStringLiteral("dbus-send"),
                                    {QStringLiteral("--session"), QStringLiteral("--type=signal"),
                                     QString(kFamilyDBusPath), QString(kFamilyChangeNotification)}),
                  0);
        EXPECT_TRUE(heard.count() > 0 || heard.wait(10000)) << "the broadcast never came";
        // The read it asks for starts a turn later (with any broadcast heard meanwhile), runs on the family
        // file's queue and is taken in a turn after that.
        test::drainEvents();
        model->familySync().familyStore()->drain();
        test::drainEvents();
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

    Thing* add(const QString& title) { return model->add(title, Source::today); }

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

TEST_F(TwoProcessTest, oddValuesInOurRowsChangeNothingHereAndOurNextMirrorWritesOursBack)
{
    Thing* pack = add(QStringLiteral("pack"));
    Thing* snoozed = add(QStringLiteral("wake me on Monday"));
    model->snooze({RowID::thing(snoozed->id())}, SnoozeOption::monday, std::nullopt);
    for (const char* step : {"passport", "charger"}) {
        test::drainEvents(); // one undo step each
        model->addStep(*pack, QString::fromLatin1(step));
    }
    mirrorNow();
    const auto state = [&] {
        QStringList out{pack->title(), QString::number(pack->sortKey()), snoozed->snoozedUntil()->toString()};
        for (const Step* s : pack->orderedSteps())
            out << s->title();
        return out.join(u'|');
    };
    const QString before = state();
    const QString select =
        QStringLiteral("SELECT group_concat(%1, '|') FROM things WHERE source_app = 'todo';");

    const std::pair<const char*, const char*> cases[] = {
        {"steps_json", "this is {not json"},
        {"steps_json", ""},
        {"steps_json", R"([{"title":"passport"}])"},
        {"steps_json", R"({"title":"passport","done":true})"},
        {"steps_json", R"([{"name":"passport","done":true}])"},
        {"steps_json", R"([{"title":"\ud800","done":false}])"},
        {"due_day", "10.12.2026"},
        {"due_day", ""},
        {"due_day", "2026-02-30"},
        {"due_day", "tomorrow"},
        {"title", "  "},
    };
    for (const auto& [name, value] : cases) {
        SCOPED_TRACE(std::string(name) + " = '" + value + "'");
        const QString ours = sqlite(select.arg(QLatin1StringView(name)));
        writtenBySqlite(QStringLiteral("UPDATE things SET %1 = '%2' WHERE source_app = 'todo';")
                            .arg(QLatin1StringView(name), QString::fromUtf8(value)));
        EXPECT_EQ(state(), before) << "no readable change, so nothing changes here";
        mirrorNow();
        EXPECT_EQ(sqlite(select.arg(QLatin1StringView(name))), ours) << "the next mirror writes ours back";
    }
    model->undo();
    EXPECT_EQ(pack->orderedSteps().size(), 1u) << "undo takes back the user's last edit";
}

TEST_F(TwoProcessTest, aPastDayMovesAThingInTodayToTheEndOnceAndTheMirrorWritesToday)
{
    Thing* first = add(QStringLiteral("first"));
    Thing* second = add(QStringLiteral("second"));
    mirrorNow();
    planner({QStringLiteral("day"), first->syncID(), QStringLiteral("2001-01-01")});
    ASSERT_TRUE(waitFor([&] { return first->sortKey() > second->sortKey(); })) << "not moved to the end";
    const double key = first->sortKey();
    // Another broadcast before our mirror: the same old day is no news again.
    writtenBySqlite(QStringLiteral("UPDATE things SET zs = 7 WHERE id = '%1';").arg(second->syncID()));
    EXPECT_EQ(first->sortKey(), key) << "moved once, not at every read";
    mirrorNow();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT due_day FROM things WHERE id = '%1';").arg(first->syncID())),
              today());
}

// 08:00 on 11 March in Tokyo is 13:00 on 10 March in Honolulu: the day there is still "yesterday".
TEST(TwoZones, ourOwnDayFromAnotherTimeZoneIsNoPlannerEdit)
{
    const char* const cases[][4] = {
        {"Asia/Tokyo", "Pacific/Honolulu", "2026-03-11", "2026-03-10"}, // our day looks still to come
        {"Pacific/Honolulu", "Asia/Tokyo", "2026-03-10", "2026-03-11"}, // our day looks gone by
    };
    for (const auto& [from, to, fromDay, toDay] : cases) {
        SCOPED_TRACE(std::string(from) + " to " + to);
        ModelHarness h(at("Asia/Tokyo", "2026-03-11 08:00:00"), from);
        h.launch.syncsToFamily = std::nullopt;
        h.manualTimers();
        auto model = h.start();
        for (const char* title : {"sushi", "ramen", "mochi"})
            model->add(QString::fromLatin1(title), Source::today);
        model->beginDrag(RowID::thing(h.thingTitled(*model, QStringLiteral("mochi"))->id()));
        ASSERT_TRUE(model->drop(0, Source::today));
        model.reset(); // mirrors on the way out
        const auto daysListed = [&h](const char* day) {
            QProcess p;
            p.start(QStringLiteral(VORN_PLANNER_BINARY),
                    {QStringLiteral("--db"), h.launch.familyStorePath(), QStringLiteral("list")});
            EXPECT_TRUE(p.waitForFinished(20000));
            return QString::fromUtf8(p.readAllStandardOutput()).count(QString::fromLatin1(day));
        };
        ASSERT_EQ(daysListed(fromDay), 3);

        // Started again five minutes later, on the other side of the date line.
        h.launch.schedule = Schedule(QTimeZone(to), QLocale(QStringLiteral("en_US")));
        h.clock->set(at("Asia/Tokyo", "2026-03-11 08:05:00"));
        model = h.start();
        QStringList today;
        for (const Thing* t : model->visibleThings(Source::today))
            today << t->title() + (t->snoozedUntil() ? QStringLiteral(" (snoozed)") : QString());
        EXPECT_EQ(today.join(u','), QStringLiteral("mochi,sushi,ramen")) << "Today as the user left it";
        model->familySync().flush();
        EXPECT_EQ(daysListed(toDay), 3);
    }
}
