#include "model/Constants.h"
#include "support/ModelHarness.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vorn;
using namespace Qt::StringLiterals;
using vorn::test::at;
using vorn::test::ModelHarness;

namespace {

constexpr const char* kBerlin = "Europe/Berlin";
constexpr const char* kSaoPaulo = "America/Sao_Paulo";

// Records which observable fields the model announced.
class FieldSpy {
public:
    explicit FieldSpy(AppModel& model)
    {
        QObject::connect(&model, &AppModel::changed, &m_receiver,
                         [this](AppModel::Field f) { m_fields.push_back(f); });
    }
    int count(AppModel::Field f) const { return int(std::count(m_fields.begin(), m_fields.end(), f)); }

private:
    QObject m_receiver; // disconnects when the spy goes
    std::vector<AppModel::Field> m_fields;
};

double seconds(const QDateTime& t)
{
    return double(t.toMSecsSinceEpoch()) / 1000.0;
}

// Things that were already there: inserting them is no user action to undo.
Thing* seed(AppModel& model, const QString& title, const QDateTime& createdAt,
            std::optional<QDateTime> snoozedUntil = std::nullopt, Pile* pile = nullptr)
{
    UndoRegistrationPause quiet(model.store().undoManager());
    return model.store().insert(Thing::make(title, createdAt, std::move(snoozedUntil), pile));
}

Thing* seedDone(AppModel& model, const QString& title, const QDateTime& doneAt)
{
    UndoRegistrationPause quiet(model.store().undoManager());
    Thing* t = model.store().insert(Thing::make(title, doneAt.addDays(-1)));
    t->setDoneAt(doneAt);
    return t;
}

Step* seedStep(AppModel& model, Thing* thing)
{
    UndoRegistrationPause quiet(model.store().undoManager());
    return model.store().insert(Step::make(QStringLiteral("a step"), thing, thing->createdAt()));
}

// A model built by hand, for what the harness does not reach: the clock's interval and read-only mode.
struct HandMadeModel {
    HandMadeModel(const QDateTime& start, int clockMSecs, bool readOnly)
        : clock(std::make_shared<FixedClock>(start.toUTC()))
    {
        ModelInit init;
        QString error;
        init.store = Store::open(QStringLiteral(":memory:"), &error);
        EXPECT_TRUE(init.store) << error.toStdString();
        init.store->setAutosaveDelay(0);
        settingsPath = dir.filePath(QStringLiteral("settings.json"));
        init.settings = std::make_unique<Settings>(settingsPath);
        init.clock = clock;
        init.schedule = Schedule(QTimeZone(kBerlin), QLocale(QStringLiteral("en_US")));
        init.notesDir = dir.filePath(QStringLiteral("notes"));
        init.intervals.clockMSecs = clockMSecs;
        init.timers = timers;
        init.readOnly = readOnly;
        model = std::make_unique<AppModel>(std::move(init));
    }

    QTemporaryDir dir;
    QString settingsPath;
    std::shared_ptr<FixedClock> clock;
    std::shared_ptr<test::ManualTimers> timers = std::make_shared<test::ManualTimers>();
    std::unique_ptr<AppModel> model;
};

} // namespace

TEST(Clock, tickMovesNowOnAndWakesASnoozeWithoutAnyRecordChanging)
{
    ModelHarness h(at(kBerlin, "2026-03-10 09:30:00"));
    auto model = h.start();
    Thing* nap = seed(*model, QStringLiteral("nap"), h.clock->now().addSecs(-3600),
                      at(kBerlin, "2026-03-10 10:00:00"));
    ASSERT_TRUE(model->store().save());
    FieldSpy spy(*model);

    model->tick();
    EXPECT_EQ(spy.count(AppModel::Field::now), 0) << "a beat that finds the same time announces nothing";

    h.clock->set(at(kBerlin, "2026-03-10 10:00:00"));
    EXPECT_EQ(model->source(*nap), Source::later)
        << "lists follow the model's now, which only the clock moves";
    model->tick();
    EXPECT_EQ(model->now(), h.clock->now());
    EXPECT_EQ(spy.count(AppModel::Field::now), 1);
    EXPECT_EQ(model->source(*nap), Source::today) << "a snooze wakes at its wake time";
    EXPECT_EQ(model->count(Source::today), 1);
    EXPECT_FALSE(model->store().hasChanges()) << "waking changes no record";
    EXPECT_EQ(nap->zCount(), 0);

    model->tick();
    EXPECT_EQ(spy.count(AppModel::Field::now), 1);
}

TEST(Clock, runningOverMidnightRollsOverPurgesAndWakesMidnightSnoozes)
{
    ModelHarness h(at(kBerlin, "2026-03-10 23:59:40")); // first launch: remembers the day
    auto model = h.start();
    Thing* undone = seed(*model, QStringLiteral("left undone"), at(kBerlin, "2026-03-09 12:00:00"));
    Thing* midnight = seed(*model, QStringLiteral("back at midnight"), at(kBerlin, "2026-03-09 12:00:00"),
                           at(kBerlin, "2026-03-11 00:00:00"));
    Thing* stale = seedDone(*model, QStringLiteral("done long ago"), at(kBerlin, "2026-03-02 12:00:00"));
    const RecordId staleID = stale->id();
    const RecordId staleStep = seedStep(*model, stale)->id();
    FieldSpy spy(*model);

    h.clock->set(at(kBerlin, "2026-03-10 23:59:50"));
    model->tick();
    EXPECT_EQ(undone->zCount(), 0);
    EXPECT_NE(model->store().thing(staleID), nullptr) << "clean-up runs once a day, not on every beat";
    EXPECT_EQ(model->source(*midnight), Source::later);

    h.clock->set(at(kBerlin, "2026-03-11 00:00:10"));
    model->tick();
    EXPECT_EQ(model->now(), h.clock->now());
    EXPECT_EQ(undone->zCount(), 1);
    EXPECT_EQ(model->rolledOver(), 1);
    EXPECT_EQ(spy.count(AppModel::Field::rolledOver), 1);
    EXPECT_EQ(model->source(*midnight), Source::today);
    EXPECT_EQ(midnight->zCount(), 0) << "it was not in Today before the day began";
    EXPECT_EQ(model->store().thing(staleID), nullptr);
    EXPECT_EQ(model->store().step(staleStep), nullptr) << "its steps go with it";
    EXPECT_EQ(model->settings().doubleValue(kRolloverLastActiveKey), seconds(h.clock->now()));
}

TEST(Clock, theDayChangesAtTheUsersMidnightAcrossClockChanges)
{
    struct Case {
        const char* name;
        const char* zone;
        const char* before;
        const char* after;
        bool newDay;
    };
    // Berlin's 29 March 2026 lasts 23 hours, its 25 October 25 hours. Sao Paulo's 4 November 2018 began at
    // 01:00, its midnight skipped. Both Berlin midnights fall on one UTC date, so the UTC day cannot tell.
    const std::vector<Case> cases{
        {"into Berlin's 23-hour day", kBerlin, "2026-03-28 23:59:50", "2026-03-29 00:00:20", true},
        {"over the spring-forward jump", kBerlin, "2026-03-29 01:59:50", "2026-03-29 03:00:20", false},
        {"through all of the 23-hour day", kBerlin, "2026-03-29 00:00:20", "2026-03-29 23:59:50", false},
        {"into Berlin's 25-hour day", kBerlin, "2026-10-24 23:59:50", "2026-10-25 00:00:20", true},
        {"24 hours into the 25-hour day", kBerlin, "2026-10-25 00:00:20", "2026-10-25 23:59:50", false},
        {"out of the 25-hour day", kBerlin, "2026-10-25 23:59:50", "2026-10-26 00:00:20", true},
        {"into a day that starts at 01:00", kSaoPaulo, "2018-11-03 23:59:50", "2018-11-04 01:00:20", true},
        {"through the day that starts at 01:00", kSaoPaulo, "2018-11-04 01:00:20", "2018-11-04 23:59:50",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QDateTime before = at(c.zone, c.before);
        const QDateTime after = at(c.zone, c.after);
        ASSERT_TRUE(before.isValid() && after.isValid());
        ModelHarness h(before, c.zone);
        auto model = h.start();
        Thing* old = seed(*model, QStringLiteral("old"), before.addDays(-1));
        Thing* late = seed(*model, QStringLiteral("late"), before.addSecs(5));
        const QDateTime dayStart = model->schedule().startOfDay(after);
        Thing* napping = seed(*model, QStringLiteral("until the day starts"), before.addDays(-1), dayStart);

        h.clock->set(after);
        model->tick();
        const int raised = c.newDay ? 1 : 0;
        EXPECT_EQ(old->zCount(), raised);
        EXPECT_EQ(late->zCount(), raised);
        EXPECT_EQ(model->rolledOver(), 2 * raised);
        EXPECT_EQ(napping->zCount(), 0);
        EXPECT_EQ(model->source(*napping), Source::today);
        // The check only runs on a new day; within one it would rewrite the time it last ran.
        EXPECT_EQ(model->settings().doubleValue(kRolloverLastActiveKey), seconds(c.newDay ? after : before));
    }
}

TEST(Rollover, raisesEachThingOncePerDayChangeHoweverLongTheGapOrOftenTheCheck)
{
    ModelHarness h(at(kBerlin, "2026-03-10 09:30:00"));
    auto model = h.start();
    Thing* old = seed(*model, QStringLiteral("old"), at(kBerlin, "2026-03-09 12:00:00"));

    h.clock->set(at(kBerlin, "2026-03-13 08:00:00")); // the machine slept for three days
    model->tick();
    EXPECT_EQ(old->zCount(), 1) << "three days away raise the counter once";

    h.clock->set(at(kBerlin, "2026-03-13 09:00:00"));
    model->rollOverIfNeeded();
    model->tick();
    model->rollOverIfNeeded();
    EXPECT_EQ(old->zCount(), 1) << "checks on the same day raise nothing more";

    h.clock->set(at(kBerlin, "2026-03-14 00:00:00"));
    model->tick();
    EXPECT_EQ(old->zCount(), 2);
    h.clock->advance(60);
    model->rollOverIfNeeded();
    EXPECT_EQ(old->zCount(), 2) << "a check at the very start of the day already counts for that day";
}

TEST(Rollover, aClockSetBackAndForwardAgainRollsOverOnlyOnRealNewDays)
{
    struct Case {
        const char* name;
        std::vector<const char*> clock; // each a beat of the running app, or a start when it begins with '!'
        int raised;
    };
    // Every case starts on 10 March, its rollover counted; the thing has been in Today since the 8th.
    const std::vector<Case> cases{
        {"back a day and forward", {"2026-03-09 10:00:00", "2026-03-10 10:05:00"}, 0},
        {"back a few minutes over midnight and forward", {"2026-03-09 23:58:00", "2026-03-10 00:03:00"}, 0},
        {"back six days and forward", {"2026-03-04 10:00:00", "2026-03-10 10:05:00"}, 0},
        {"back a day over a restart, forward over another",
         {"!2026-03-09 10:00:00", "!2026-03-10 10:05:00"},
         0},
        {"back a day, then on to the next real day", {"2026-03-09 10:00:00", "2026-03-11 08:00:00"}, 1},
        {"a month ahead put right: the next real day still counts",
         {"2026-04-10 10:00:00", "2026-03-10 10:05:00", "2026-03-11 08:00:00"},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h(at(kBerlin, "2026-03-09 12:00:00"));
        auto model = h.start();
        seed(*model, QStringLiteral("old"), at(kBerlin, "2026-03-08 12:00:00"));
        h.clock->set(at(kBerlin, "2026-03-10 09:00:00"));
        model->tick();
        ASSERT_EQ(h.thingTitled(*model, QStringLiteral("old"))->zCount(), 1);
        for (const char* beat : c.clock) {
            h.clock->set(at(kBerlin, beat + (*beat == '!')));
            if (*beat == '!') {
                ASSERT_TRUE(model->store().save());
                model.reset();
                model = h.start();
            }
            model->tick();
        }
        EXPECT_EQ(h.thingTitled(*model, QStringLiteral("old"))->zCount(), 1 + c.raised);
    }
}

TEST(Rollover, onlyThingsThatWereInTodayBeforeTheDayBeganRollOver)
{
    ModelHarness h(at(kBerlin, "2026-03-10 22:00:00"));
    auto model = h.start();
    const QDateTime start = at(kBerlin, "2026-03-11 00:00:00");
    Pile* pile = nullptr;
    {
        UndoRegistrationPause quiet(model->store().undoManager());
        pile = model->store().insert(Pile::make(QStringLiteral("P"), start.addDays(-2)));
    }
    struct Case {
        const char* title;
        QDateTime createdAt;
        std::optional<QDateTime> snoozedUntil;
        bool inPile;
        bool done;
        int expected;
    };
    const std::vector<Case> cases{
        {"made yesterday", start.addSecs(-3600), std::nullopt, false, false, 1},
        {"woke yesterday evening", start.addDays(-2), start.addSecs(-3600), false, false, 1},
        {"woke a second before midnight", start.addDays(-2), start.addSecs(-1), false, false, 1},
        {"made at the stroke of midnight", start, std::nullopt, false, false, 0},
        {"made today", start.addSecs(5), std::nullopt, false, false, 0},
        {"in a pile", start.addDays(-2), std::nullopt, true, false, 0},
        {"done", start.addDays(-2), std::nullopt, false, true, 0},
        {"wakes at midnight", start.addDays(-2), start, false, false, 0},
        {"wakes later today", start.addDays(-2), start.addSecs(12 * 3600), false, false, 0},
        {"wakes next week", start.addDays(-2), start.addDays(7), false, false, 0},
    };
    std::vector<Thing*> things;
    for (const Case& c : cases) {
        Thing* t =
            seed(*model, QString::fromUtf8(c.title), c.createdAt, c.snoozedUntil, c.inPile ? pile : nullptr);
        if (c.done) {
            UndoRegistrationPause quiet(model->store().undoManager());
            t->setDoneAt(start.addSecs(-60));
        }
        things.push_back(t);
    }

    h.clock->set(start.addSecs(10));
    model->tick();
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(things[i]->zCount(), cases[i].expected) << cases[i].title;
    EXPECT_EQ(model->rolledOver(), 3);
}

TEST(Rollover, rolledOverKeepsTheLastCountThatRolledAny)
{
    ModelHarness h(at(kBerlin, "2026-03-10 12:00:00"));
    auto model = h.start();
    Thing* a = seed(*model, QStringLiteral("a"), at(kBerlin, "2026-03-09 12:00:00"));
    Thing* b = seed(*model, QStringLiteral("b"), at(kBerlin, "2026-03-09 12:00:00"));
    FieldSpy spy(*model);

    h.clock->set(at(kBerlin, "2026-03-11 08:00:00"));
    model->tick();
    EXPECT_EQ(model->rolledOver(), 2);

    a->setDoneAt(h.clock->now());
    b->setDoneAt(h.clock->now());
    h.clock->set(at(kBerlin, "2026-03-12 08:00:00"));
    model->tick();
    EXPECT_EQ(model->rolledOver(), 2) << "a day with nothing to roll over keeps the message";
    EXPECT_EQ(spy.count(AppModel::Field::rolledOver), 1);

    a->setDoneAt(std::nullopt);
    h.clock->set(at(kBerlin, "2026-03-13 08:00:00"));
    model->tick();
    EXPECT_EQ(model->rolledOver(), 1);
    EXPECT_EQ(spy.count(AppModel::Field::rolledOver), 2);
}

TEST(Rollover, lastActiveIsANumberOfSecondsAndAnyOtherStoredTypeCountsAsAbsent)
{
    {
        ModelHarness h(at(kBerlin, "2026-03-10 12:00:00"));
        auto model = h.start();
        h.clock->set(at(kBerlin, "2026-03-11 08:00:00").addMSecs(250));
        model->tick();
        const QVariant stored = Settings(h.launch.settingsPath).value(kRolloverLastActiveKey);
        EXPECT_EQ(stored.typeId(), QMetaType::Double);
        EXPECT_DOUBLE_EQ(stored.toDouble(), seconds(h.clock->now())) << "seconds, not milliseconds";
    }

    // A day before the test's start, written in ways the check must not read as a time.
    const QDateTime earlier = at(kBerlin, "2026-03-09 12:00:00");
    const std::vector<std::pair<const char*, QVariant>> wrong{
        {"text", QVariant(QString::number(seconds(earlier), 'f', 0))},
        {"boolean", QVariant(true)},
        {"map", QVariant(QVariantMap{{QStringLiteral("seconds"), seconds(earlier)}})},
    };
    for (const auto& [name, value] : wrong) {
        SCOPED_TRACE(name);
        ModelHarness h(at(kBerlin, "2026-03-10 12:00:00"));
        auto model = h.start();
        Thing* old = seed(*model, QStringLiteral("old"), earlier.addDays(-1));
        model->settings().setValue(kRolloverLastActiveKey, value);

        h.clock->set(at(kBerlin, "2026-03-11 08:00:00"));
        model->tick();
        EXPECT_EQ(old->zCount(), 0) << "treated like a first launch";
        EXPECT_EQ(model->rolledOver(), 0);
        EXPECT_EQ(model->settings().value(kRolloverLastActiveKey), QVariant(seconds(h.clock->now())));
    }

    // A check stamped later than today's start (the system clock was set back, or the file holds an
    // absurd number) is not from an earlier day: nothing rolls over, and the stamp is corrected.
    for (const double stamp : {seconds(at(kBerlin, "2027-01-01 00:00:00")), 1e300}) {
        SCOPED_TRACE(stamp);
        ModelHarness h(at(kBerlin, "2026-03-10 12:00:00"));
        auto model = h.start();
        Thing* old = seed(*model, QStringLiteral("old"), earlier.addDays(-1));
        model->settings().setValue(kRolloverLastActiveKey, stamp);

        h.clock->set(at(kBerlin, "2026-03-11 08:00:00"));
        model->tick();
        EXPECT_EQ(old->zCount(), 0);
        EXPECT_EQ(model->settings().doubleValue(kRolloverLastActiveKey), seconds(h.clock->now()));
    }
}

TEST(Purge, keepsDoneThingsForSevenTimes24HoursThenDeletesThemWithTheirSteps)
{
    // The week before 30 March 2026 lost an hour in Berlin: seven calendar days are an hour short of 604800
    // s.
    ModelHarness h(at(kBerlin, "2026-03-29 23:59:50"));
    auto model = h.start();
    const QDateTime beat = at(kBerlin, "2026-03-30 00:00:10");
    Thing* exactlyAWeek = seedDone(*model, QStringLiteral("exactly a week"), beat.addSecs(-604800));
    Thing* aWeekAndASecond = seedDone(*model, QStringLiteral("a week and a second"), beat.addSecs(-604801));
    Thing* calendarWeek =
        seedDone(*model, QStringLiteral("over seven calendar days"), at(kBerlin, "2026-03-22 23:30:00"));
    Thing* openAndOld = seed(*model, QStringLiteral("open for a month"), beat.addDays(-30));
    const RecordId keptStep = seedStep(*model, exactlyAWeek)->id();
    const RecordId gone = aWeekAndASecond->id();
    const RecordId goneStep = seedStep(*model, aWeekAndASecond)->id();

    h.clock->set(beat);
    model->tick();
    EXPECT_EQ(model->store().thing(exactlyAWeek->id()), exactlyAWeek);
    EXPECT_NE(model->store().step(keptStep), nullptr);
    EXPECT_EQ(model->store().thing(gone), nullptr);
    EXPECT_EQ(model->store().step(goneStep), nullptr);
    EXPECT_EQ(model->store().thing(calendarWeek->id()), calendarWeek)
        << "a week is 604800 seconds, not 7 days";
    EXPECT_EQ(model->store().thing(openAndOld->id()), openAndOld) << "only done things are cleared";
    EXPECT_EQ(model->store().thingCount(), 3);
}

TEST(Clock, housekeepingOnTheClockIsNotAnUndoableEdit)
{
    ModelHarness h(at(kBerlin, "2026-03-10 23:59:00"));
    auto model = h.start();
    Thing* old = seed(*model, QStringLiteral("old"), at(kBerlin, "2026-03-09 12:00:00"));
    const RecordId stale =
        seedDone(*model, QStringLiteral("stale"), at(kBerlin, "2026-03-02 12:00:00"))->id();
    UndoManager& undo = model->store().undoManager();

    old->setTitle(QStringLiteral("renamed")); // the user's last edit
    test::drainEvents();
    h.clock->set(at(kBerlin, "2026-03-11 00:00:20"));
    model->tick();
    test::drainEvents();
    ASSERT_EQ(old->zCount(), 1);
    ASSERT_EQ(model->store().thing(stale), nullptr);

    ASSERT_TRUE(undo.canUndo());
    undo.undo();
    EXPECT_EQ(old->title(), QStringLiteral("old")) << "undo reverts the user's edit, not the rollover";
    EXPECT_EQ(old->zCount(), 1);
    EXPECT_EQ(model->store().thing(stale), nullptr);
    EXPECT_FALSE(undo.canUndo());
}

TEST(Clock, theTimerBeatsOnItsOwn)
{
    HandMadeModel m(at(kBerlin, "2026-03-10 23:59:50"), 20, false);
    AppModel& model = *m.model;
    Thing* old = seed(model, QStringLiteral("old"), at(kBerlin, "2026-03-09 12:00:00"));

    m.clock->set(at(kBerlin, "2026-03-11 00:00:10"));
    m.timers->advance(19);
    EXPECT_EQ(model.rolledOver(), 0) << "not before its beat";
    m.timers->advance(1);
    EXPECT_EQ(model.rolledOver(), 1);
    EXPECT_EQ(model.now(), m.clock->now());
    EXPECT_EQ(old->zCount(), 1);
}

TEST(Clock, aReadOnlyModelKeepsNoClockAndNoHousekeeping)
{
    HandMadeModel m(at(kBerlin, "2026-03-10 23:59:50"), 4321, true);
    AppModel& model = *m.model;
    EXPECT_FALSE(m.timers->isActive(QStringLiteral("clock"))) << "no clock runs in read-only mode";

    Thing* old = seed(model, QStringLiteral("old"), at(kBerlin, "2026-03-09 12:00:00"));
    const RecordId stale = seedDone(model, QStringLiteral("stale"), at(kBerlin, "2026-03-02 12:00:00"))->id();
    m.clock->set(at(kBerlin, "2026-03-11 00:00:10"));
    model.tick();
    EXPECT_EQ(model.now(), m.clock->now()) << "it still shows the current time";
    EXPECT_EQ(old->zCount(), 0);
    EXPECT_NE(model.store().thing(stale), nullptr);
    EXPECT_FALSE(model.settings().contains(kRolloverLastActiveKey)) << "nothing is written";
}

TEST(Clock, reopenShowsWhatTheShellCanShowInOrder)
{
    struct Case {
        const char* name;
        bool panelHook;
        std::optional<bool> raiseResult; // nothing: no raise hook
        bool expected;
        QStringList calls;
    };
    const QString panel = QStringLiteral("panel"), raise = QStringLiteral("raise");
    const std::vector<Case> cases{
        {"no hooks at all", false, std::nullopt, false, {}},
        {"a main window to raise", false, true, true, {raise}},
        {"the main window is gone", false, false, false, {raise}},
        {"a panel outside focus mode is not shown", true, true, true, {raise}},
        {"a panel alone outside focus mode", true, std::nullopt, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        auto model = h.start();
        ASSERT_FALSE(model->isFocusMode());
        QStringList calls;
        ShellHooks hooks;
        if (c.panelHook)
            hooks.showFocusPanel = [&] { calls << panel; };
        if (c.raiseResult) {
            const bool result = *c.raiseResult;
            hooks.raiseMainWindow = [&calls, &raise, result] {
                calls << raise;
                return result;
            };
        }
        model->setShellHooks(std::move(hooks));
        EXPECT_EQ(model->reopen(), c.expected);
        EXPECT_EQ(calls, c.calls);
    }
}

TEST(Clock, focusModeSwapsTheWindowsAndIsRememberedForTheNextLaunch)
{
    ModelHarness h;
    auto model = h.start();
    QStringList calls;
    bool mainWindowExists = true;
    ShellHooks hooks;
    hooks.showFocusPanel = [&] { calls << u"show panel"_s; };
    hooks.hideFocusPanel = [&] { calls << u"hide panel"_s; };
    hooks.hideMainWindow = [&] { calls << u"hide main"_s; };
    hooks.raiseMainWindow = [&] {
        calls << u"raise main"_s;
        return mainWindowExists;
    };
    model->setShellHooks(std::move(hooks));
    QSignalSpy spy(model.get(), &AppModel::changed);

    model->enterFocusMode();
    EXPECT_TRUE(model->isFocusMode());
    EXPECT_EQ(calls, (QStringList{u"hide main"_s, u"show panel"_s}));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_TRUE(model->reopen());
    EXPECT_EQ(calls.constLast(), u"show panel"_s) << "reopening in focus mode brings the panel back";

    calls.clear();
    mainWindowExists = false;
    model->exitFocusMode();
    EXPECT_FALSE(model->isFocusMode());
    EXPECT_EQ(calls, (QStringList{u"hide panel"_s, u"raise main"_s}));
    EXPECT_EQ(spy.count(), 2);

    model->enterFocusMode();
    model.reset();
    auto relaunched = h.start();
    EXPECT_TRUE(relaunched->settings().boolValue(QString(kFocusLastModeKey), false))
        << "quitting in focus mode comes back in focus mode";
}
