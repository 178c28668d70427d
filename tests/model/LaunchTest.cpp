#include "model/Constants.h"
#include "support/ModelHarness.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace vorn;
using vorn::test::at;
using vorn::test::ModelHarness;

namespace {

QStringList titles(const std::vector<Thing*>& things)
{
    QStringList out;
    for (const Thing* t : things)
        out << t->title();
    return out;
}

void writeSetting(const ModelHarness& h, const QString& key, const QVariant& value)
{
    Settings(h.launch.settingsPath).setValue(key, value);
}

} // namespace

TEST(Startup, floatsFallsBackToTrueUnlessABooleanIsStored)
{
    struct Case {
        const char* name;
        QVariant stored;
        bool expected;
    };
    const std::vector<Case> cases{
        {"absent", QVariant(), true},      {"false", QVariant(false), false},
        {"true", QVariant(true), true},    {"text false", QVariant(QStringLiteral("false")), true},
        {"number 0", QVariant(0.0), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        if (c.stored.isValid())
            writeSetting(h, kFocusFloatsKey, c.stored);
        auto model = h.start();
        EXPECT_EQ(model->floats(), c.expected);
    }
}

TEST(Startup, changingFloatsIsWrittenBack)
{
    ModelHarness h;
    auto model = h.start();
    model->setFloats(false);
    EXPECT_EQ(Settings(h.launch.settingsPath).value(kFocusFloatsKey), QVariant(false));
}

TEST(Startup, externalOrderKeepsOnlyNumericEntries)
{
    ModelHarness h;
    writeSetting(
        h, kOrderOtherAppsKey,
        QVariantMap{{QStringLiteral("planner-1"), 2.5}, {QStringLiteral("planner-2"), QStringLiteral("3")}});
    auto model = h.start();
    ASSERT_EQ(model->externalOrder().size(), 1);
    EXPECT_DOUBLE_EQ(model->externalOrder().value(QStringLiteral("planner-1")), 2.5);

    ModelHarness wrongType;
    writeSetting(wrongType, kOrderOtherAppsKey, QStringLiteral("not a map"));
    EXPECT_TRUE(wrongType.start()->externalOrder().isEmpty());
}

TEST(Startup, notesFolderComesFromTheEnvironmentAndIsCreated)
{
    ModelHarness h;
    const QString custom = h.dir.filePath(QStringLiteral("deep/er/notes"));
    h.launch.environment.insert(kNotesDirVariable, custom);
    auto model = h.start();
    EXPECT_EQ(model->notesDir(), custom);
    EXPECT_TRUE(QFileInfo(custom).isDir());

    ModelHarness plain;
    auto other = plain.start();
    EXPECT_EQ(other->notesDir(), QDir(plain.launch.sharedDataDir).filePath(QStringLiteral("notes")));
    EXPECT_TRUE(QFileInfo(other->notesDir()).isDir());
}

TEST(Startup, familySyncIsOffUnderATestHarnessOnlyWhenNotInDemoMode)
{
    ModelHarness normal;
    normal.launch.syncsToFamily = std::nullopt;
    EXPECT_TRUE(normal.start()->familySync().syncsToFamily());

    ModelHarness harness;
    harness.launch.syncsToFamily = std::nullopt;
    harness.launch.environment.insert(kTestHarnessVariable, QStringLiteral("/tmp/x"));
    EXPECT_FALSE(harness.start()->familySync().syncsToFamily());

    ModelHarness demoUnderHarness;
    demoUnderHarness.launch.syncsToFamily = std::nullopt;
    demoUnderHarness.demo();
    demoUnderHarness.launch.environment.insert(kTestHarnessVariable, QStringLiteral("/tmp/x"));
    EXPECT_TRUE(demoUnderHarness.start()->familySync().syncsToFamily());
}

TEST(Startup, storeLivesOnDiskNormallyAndInMemoryForDemosAndTestHarnesses)
{
    const auto storeFile = [](const ModelHarness& h) {
        return QDir(h.launch.appDataDir).filePath(QStringLiteral("store.sqlite"));
    };
    RecordId id;
    {
        ModelHarness h;
        {
            auto model = h.start();
            id = model->store().insert(Thing::make(QStringLiteral("keep me"), h.clock->now()))->id();
        } // closing saves
        EXPECT_TRUE(QFile::exists(storeFile(h)));
        auto again = h.start();
        ASSERT_NE(again->store().thing(id), nullptr);
        EXPECT_EQ(again->store().thing(id)->title(), QStringLiteral("keep me"));
    }
    for (bool demo : {true, false}) {
        ModelHarness h;
        if (demo)
            h.demo();
        else
            h.launch.environment.insert(kTestHarnessVariable, QStringLiteral("/tmp/x"));
        {
            auto model = h.start();
            model->store().insert(Thing::make(QStringLiteral("gone at exit"), h.clock->now()));
        }
        EXPECT_FALSE(QFile::exists(storeFile(h)));
    }
}

TEST(Startup, firstLaunchRollsNothingOverAndRemembersTheTime)
{
    ModelHarness h;
    {
        auto seed = h.start();
        seed->store().insert(Thing::make(QStringLiteral("old"), h.clock->now().addDays(-3)));
    }
    QFile::remove(h.launch.settingsPath);
    auto model = h.start();
    EXPECT_EQ(h.thingTitled(*model, QStringLiteral("old"))->zCount(), 0);
    EXPECT_EQ(model->rolledOver(), 0);
    EXPECT_EQ(Settings(h.launch.settingsPath).doubleValue(kRolloverLastActiveKey),
              double(h.clock->now().toMSecsSinceEpoch()) / 1000.0);
}

TEST(Startup, aLaunchOnTheNextDayRollsTodayThingsOverOnce)
{
    ModelHarness h(at("Europe/Berlin", "2026-03-10 22:00:00"));
    {
        auto model = h.start(); // first launch: remembers the day
        Store& s = model->store();
        const QDateTime now = h.clock->now();
        s.insert(Thing::make(QStringLiteral("undone"), now.addDays(-1)));
        s.insert(Thing::make(QStringLiteral("also undone"), now.addSecs(-60)));
        Thing* done = s.insert(Thing::make(QStringLiteral("done"), now.addDays(-1)));
        done->setDoneAt(now);
        Pile* p = s.insert(Pile::make(QStringLiteral("P"), now));
        s.insert(Thing::make(QStringLiteral("in a pile"), now.addDays(-1), std::nullopt, p));
        s.insert(Thing::make(QStringLiteral("sleeping"), now.addDays(-1),
                             at("Europe/Berlin", "2026-03-11 12:00:00")));
        s.insert(Thing::make(QStringLiteral("woke yesterday"), now.addDays(-2),
                             at("Europe/Berlin", "2026-03-10 08:00:00")));
    }
    h.clock->set(at("Europe/Berlin", "2026-03-11 07:00:00"));
    {
        auto model = h.start();
        Store& s = model->store();
        s.insert(Thing::make(QStringLiteral("made today"), h.clock->now()));
        EXPECT_EQ(model->rolledOver(), 3);
        EXPECT_EQ(h.thingTitled(*model, QStringLiteral("undone"))->zCount(), 1);
        EXPECT_EQ(h.thingTitled(*model, QStringLiteral("also undone"))->zCount(), 1);
        EXPECT_EQ(h.thingTitled(*model, QStringLiteral("woke yesterday"))->zCount(), 1);
        EXPECT_EQ(h.thingTitled(*model, QStringLiteral("done"))->zCount(), 0);
        EXPECT_EQ(h.thingTitled(*model, QStringLiteral("in a pile"))->zCount(), 0);
        EXPECT_EQ(h.thingTitled(*model, QStringLiteral("sleeping"))->zCount(), 0);
    }
    h.clock->advance(3600);
    auto sameDay = h.start();
    EXPECT_EQ(h.thingTitled(*sameDay, QStringLiteral("undone"))->zCount(), 1) << "once per day change";
    EXPECT_EQ(h.thingTitled(*sameDay, QStringLiteral("made today"))->zCount(), 0);
    EXPECT_EQ(sameDay->rolledOver(), 0);
}

TEST(Startup, oldDoneThingsArePurgedAtLaunch)
{
    ModelHarness h;
    {
        auto model = h.start();
        const QDateTime now = h.clock->now();
        model->store().insert(Thing::make(QStringLiteral("exactly a week"), now))->setDoneAt(now.addDays(-7));
        model->store()
            .insert(Thing::make(QStringLiteral("a week and a second"), now))
            ->setDoneAt(now.addSecs(-7 * 86400 - 1));
    }
    auto model = h.start();
    EXPECT_NE(h.thingTitled(*model, QStringLiteral("exactly a week")), nullptr);
    EXPECT_EQ(h.thingTitled(*model, QStringLiteral("a week and a second")), nullptr);
    EXPECT_FALSE(model->store().undoManager().canUndo()) << "housekeeping is not a user action";
}

TEST(Startup, demoDataFillsTheListsInOrder)
{
    ModelHarness h; // a Tuesday morning
    h.demo();
    auto model = h.start();
    openDemoTab(*model, h.launch);

    EXPECT_EQ(model->tab(), Tab::list(TodoList::today));
    EXPECT_EQ(
        titles(model->visibleThings(Source::today)),
        (QStringList{QStringLiteral("Reply to Kesh about the deck"),
                     QStringLiteral("Book the dentist (for real this time)"),
                     QStringLiteral("Think about the gym"), QStringLiteral("Water the plant on the left")}));
    EXPECT_EQ(titles(model->visibleThings(Source::later)),
              (QStringList{QStringLiteral("Call mum back"), QStringLiteral("Return the jacket"),
                           QStringLiteral("Do the taxes, sort of"), QStringLiteral("Learn the guitar"),
                           QStringLiteral("Fix the squeaky door")}));
    EXPECT_EQ(titles(model->visibleThings(Source::doneIsh)), QStringList{QStringLiteral("Drink water")});
    ASSERT_EQ(model->piles().size(), 2u);
    EXPECT_EQ(model->piles()[0]->name(), QStringLiteral("Groceries"));
    EXPECT_EQ(titles(model->visibleThings(Source::pile(model->piles()[0]->id()))),
              (QStringList{QStringLiteral("Oat milk"), QStringLiteral("Bread, the good one"),
                           QStringLiteral("Coffee beans")}));
    EXPECT_EQ(model->piles()[1]->things().size(), 2u);

    Thing* kesh = h.thingTitled(*model, QStringLiteral("Reply to Kesh about the deck"));
    ASSERT_NE(kesh, nullptr);
    EXPECT_EQ(kesh->zCount(), 2);
    EXPECT_TRUE(model->expanded().contains(kesh->id()));
    EXPECT_EQ(kesh->stepProgress(), QStringLiteral("1/3"));
    EXPECT_EQ(kesh->orderedSteps()[0]->title(), QStringLiteral("Read her notes"));
    EXPECT_TRUE(kesh->orderedSteps()[0]->isDone());
    EXPECT_EQ(model->expanded().size(), 1);
    EXPECT_FALSE(model->store().undoManager().canUndo()) << "sample data is not an undoable edit";
}

TEST(Startup, demoTabLaunchArgumentChoosesTheTab)
{
    struct Case {
        const char* value;
        std::optional<TodoList> list; // nothing: expect a pile or random
        const char* pileName;
        bool random;
    };
    const std::vector<Case> cases{
        {"Later", TodoList::later, nullptr, false},    {"done-ish", TodoList::doneIsh, nullptr, false},
        {"trip", std::nullopt, "Trip", false},         {"RANDOM", std::nullopt, nullptr, true},
        {"nonsense", TodoList::today, nullptr, false}, {"doneIsh", TodoList::today, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        ModelHarness h;
        h.demo();
        h.launch.arguments << QStringLiteral("-demoTab") << QString::fromUtf8(c.value);
        auto model = h.start();
        openDemoTab(*model, h.launch);
        if (c.list) {
            EXPECT_EQ(model->tab(), Tab::list(*c.list));
        } else if (c.random) {
            EXPECT_TRUE(model->tab().isRandom());
        } else {
            ASSERT_TRUE(model->tab().isPile());
            EXPECT_EQ(model->pile(*model->tab().pileID())->name(), QString::fromUtf8(c.pileName));
        }
    }
}

TEST(Startup, demoTabIsIgnoredOutsideDemoMode)
{
    ModelHarness h;
    h.launch.arguments << QStringLiteral("-demoTab") << QStringLiteral("later");
    auto model = h.start();
    openDemoTab(*model, h.launch);
    EXPECT_EQ(model->tab(), Tab::list(TodoList::today));
}

TEST(Startup, demoSettingsStartFreshEachRunAndLaunchArgumentsOverrideThem)
{
    {
        ModelHarness h;
        h.demo();
        h.start()->setFloats(false);
    }
    ModelHarness h;
    h.demo();
    EXPECT_TRUE(h.start()->floats());

    ModelHarness withArgument;
    withArgument.demo();
    withArgument.launch.arguments << QStringLiteral("-focus.floats") << QStringLiteral("false");
    EXPECT_FALSE(withArgument.start()->floats());
}

TEST(Model, undoAndRedoRefreshThePiles)
{
    ModelHarness h;
    auto model = h.start();
    Store& s = model->store();
    Pile* p = s.insert(Pile::make(QStringLiteral("Trip"), h.clock->now()));
    model->refreshPiles();
    model->setTab(Tab::pile(p->id()));
    test::drainEvents();

    s.remove(p);
    model->refreshPiles();
    EXPECT_TRUE(model->piles().empty());
    EXPECT_EQ(model->tab(), Tab::list(TodoList::today)) << "the tab of a deleted pile falls back to Today";
    test::drainEvents();

    s.undoManager().undo();
    ASSERT_EQ(model->piles().size(), 1u);
    EXPECT_EQ(model->piles()[0], p);
    s.undoManager().redo();
    EXPECT_TRUE(model->piles().empty());
}

TEST(Model, changingTabClearsSelectionStateAndEqualWritesNotifyNobody)
{
    ModelHarness h;
    auto model = h.start();
    int tabChanges = 0;
    QObject::connect(model.get(), &AppModel::changed, model.get(), [&](AppModel::Field f) {
        if (f == AppModel::Field::tab)
            ++tabChanges;
    });
    model->setTab(Tab::list(TodoList::today));
    EXPECT_EQ(tabChanges, 0);
    model->setTab(Tab::list(TodoList::later));
    model->setTab(Tab::list(TodoList::later));
    EXPECT_EQ(tabChanges, 1);
}

TEST(Model, todayISOAndIsoDayUseTheModelsCalendar)
{
    ModelHarness h(at("Pacific/Auckland", "2027-01-05 00:30:00"), "Pacific/Auckland");
    auto model = h.start();
    // Still 4 January in UTC, but the user's day is the 5th.
    EXPECT_EQ(model->todayISO(), QStringLiteral("2027-01-05"));
    EXPECT_EQ(model->isoDay(QStringLiteral("2027-01-05")), at("Pacific/Auckland", "2027-01-05 00:00:00"));
    EXPECT_FALSE(model->isoDay(QStringLiteral("2027-01")));
}
