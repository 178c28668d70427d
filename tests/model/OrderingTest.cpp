#include "model/Constants.h"
#include "support/ModelHarness.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace vorn;
using vorn::test::ModelHarness;

namespace {

class OrderingTest : public ::testing::Test {
protected:
    void SetUp() override { model = h.start(); }
    Thing* make(const QString& title, Pile* pile = nullptr)
    {
        return model->store().insert(Thing::make(title, h.clock->now().addSecs(++made), std::nullopt, pile));
    }
    // Today's rows A, B, C, D (own things).
    std::vector<RowID> abcd()
    {
        std::vector<RowID> ids;
        for (const char* t : {"A", "B", "C", "D"})
            ids.push_back(RowID::thing(make(QString::fromLatin1(t))->id()));
        return ids;
    }
    QString order(const Source& src = Source::today) const
    {
        QString out;
        for (const ListRow& row : model->rows(src, true))
            out += row.thing() ? row.thing()->title() : row.sharedThing()->title;
        return out;
    }
    void dragSelection(std::initializer_list<RowID> ids)
    {
        model->select(std::nullopt);
        for (const RowID& id : ids)
            model->click(id, Qt::ControlModifier, Source::today, true);
        model->beginDrag(*ids.begin());
    }
    SharedThing planned(const QString& id)
    {
        SharedThing s;
        s.id = id;
        s.title = id;
        s.day = model->todayISO();
        s.sourceApp = QStringLiteral("planner");
        return s;
    }

    ModelHarness h;
    std::unique_ptr<AppModel> model;
    int made = 0;
};

} // namespace

TEST_F(OrderingTest, nextSortKeyIsOneAboveEverythingInTheList)
{
    EXPECT_EQ(model->nextSortKey(Source::today), 0.0);
    make(QStringLiteral("a"))->setSortKey(3.0);
    make(QStringLiteral("b"))->setSortKey(7.5);
    EXPECT_EQ(model->nextSortKey(Source::today), 8.5);

    model->store().save();
    Settings(h.launch.settingsPath).setValue(kOrderOtherAppsKey, QVariantMap{{QStringLiteral("p"), 9.0}});
    model.reset();
    model = h.start();
    model->familySync().replaceRows({planned(QStringLiteral("p")), planned(QStringLiteral("unplaced"))});
    EXPECT_EQ(model->nextSortKey(Source::today), 10.0);
    EXPECT_EQ(model->nextSortKey(Source::later), 0.0) << "family rows only count in Today";
}

TEST_F(OrderingTest, onlyUnfilteredTodayAndPilesCanBeReordered)
{
    Pile* p = model->store().insert(Pile::make(QStringLiteral("P"), h.clock->now()));
    EXPECT_TRUE(model->canReorder(Source::today));
    EXPECT_TRUE(model->canReorder(Source::pile(p->id())));
    EXPECT_FALSE(model->canReorder(Source::later));
    EXPECT_FALSE(model->canReorder(Source::doneIsh));
    model->setSearchText(QStringLiteral("x"));
    EXPECT_FALSE(model->canReorder(Source::today));
    EXPECT_FALSE(model->canReorder(Source::pile(p->id())));
}

TEST_F(OrderingTest, dropsPlaceTheDraggedBlock)
{
    struct Case {
        const char* name;
        std::vector<int> dragged;
        int before;
        bool changed;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"B and D to the top", {1, 3}, 0, true, "BDAC"},
        {"A after the last row", {0}, 4, true, "BCDA"},
        {"B onto itself", {1}, 1, false, "ABCD"},
        {"negative position means the top", {2}, -5, true, "CABD"},
        {"far past the end means the end", {1}, 99, true, "ACDB"},
        {"C before B", {2}, 1, true, "ACBD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (Thing* t : std::vector<Thing*>(model->allThings()))
            model->store().remove(t);
        const std::vector<RowID> ids = abcd();
        model->select(std::nullopt);
        for (int i : c.dragged)
            model->click(ids[size_t(i)], Qt::ControlModifier, Source::today, true);
        model->beginDrag(ids[size_t(c.dragged.front())]);
        EXPECT_EQ(model->drop(c.before, Source::today), c.changed);
        EXPECT_EQ(order(), QString::fromLatin1(c.expected));
        EXPECT_TRUE(model->dragging().isEmpty());
        if (c.changed) {
            // A reorder renumbers the whole list from 0.
            std::vector<double> keys;
            for (const ListRow& row : model->rows(Source::today, true))
                keys.push_back(row.thing()->sortKey());
            EXPECT_EQ(keys, (std::vector<double>{0, 1, 2, 3}));
        }
    }
}

TEST_F(OrderingTest, draggingAnUnselectedRowSelectsItAlone)
{
    const std::vector<RowID> ids = abcd();
    model->click(ids[0], Qt::NoModifier, Source::today, true);
    model->click(ids[1], Qt::ControlModifier, Source::today, true);
    EXPECT_EQ(model->beginDrag(ids[3]), QStringLiteral("D"));
    EXPECT_EQ(model->selection(), QSet<RowID>{ids[3]});
    EXPECT_EQ(model->dragging(), QSet<RowID>{ids[3]});

    model->click(ids[0], Qt::ControlModifier, Source::today, true);
    model->beginDrag(ids[0]);
    EXPECT_EQ(model->dragging(), (QSet<RowID>{ids[0], ids[3]}));
}

TEST_F(OrderingTest, aDropWithoutADragOrWhereReorderingIsOffChangesNothing)
{
    const std::vector<RowID> ids = abcd();
    EXPECT_FALSE(model->drop(0, Source::today));
    model->beginDrag(ids[2]);
    model->setSearchText(QStringLiteral("C"));
    EXPECT_FALSE(model->drop(0, Source::today));
    model->setSearchText(QString());
    EXPECT_EQ(order(), QStringLiteral("ABCD"));
    EXPECT_TRUE(model->dragging().isEmpty());

    // Selected rows the list doesn't show are simply not found at drop time.
    Thing* hidden = make(QStringLiteral("later"));
    hidden->setSnoozedUntil(h.clock->now().addDays(2));
    dragSelection({ids[3], RowID::thing(hidden->id())});
    EXPECT_TRUE(model->drop(0, Source::today));
    EXPECT_EQ(order(), QStringLiteral("DABC"));
}

TEST_F(OrderingTest, anAbandonedDragIsResetAndANewDragRestartsTheWait)
{
    h.manualTimers();
    model = h.start();
    const std::vector<RowID> ids = abcd();
    model->beginDrag(ids[0]);
    h.timers->advance(20000);
    model->beginDrag(ids[1]); // restarts the 30 s wait
    h.timers->advance(20000);
    EXPECT_EQ(model->dragging(), QSet<RowID>{ids[1]}) << "an older reset must not end a newer drag";
    h.timers->advance(10000);
    EXPECT_TRUE(model->dragging().isEmpty());
}

TEST_F(OrderingTest, familyRowsKeepTheirPlaceAcrossRestarts)
{
    const std::vector<RowID> ids = abcd();
    model->familySync().replaceRows({planned(QStringLiteral("P"))});
    EXPECT_EQ(order(), QStringLiteral("ABCDP"));
    model->beginDrag(RowID::shared(QStringLiteral("P")));
    ASSERT_TRUE(model->drop(1, Source::today));
    EXPECT_EQ(order(), QStringLiteral("APBCD"));
    EXPECT_EQ(Settings(h.launch.settingsPath).mapValue(kOrderOtherAppsKey).value(QStringLiteral("P")),
              QVariant(1.0));

    model.reset();
    model = h.start();
    model->familySync().replaceRows({planned(QStringLiteral("P"))});
    EXPECT_EQ(order(), QStringLiteral("APBCD"));
}

// A planner row's place is part of the same step: one undo puts every row back, one redo moves them
// all again, and the place kept for the next start follows.
TEST_F(OrderingTest, undoingAReorderPutsThePlannersRowsBackToo)
{
    abcd();
    model->familySync().replaceRows({planned(QStringLiteral("P"))});
    test::drainEvents();
    model->beginDrag(RowID::shared(QStringLiteral("P")));
    ASSERT_TRUE(model->drop(1, Source::today));
    ASSERT_EQ(order(), QStringLiteral("APBCD"));
    test::drainEvents();

    model->undo();
    EXPECT_EQ(order(), QStringLiteral("ABCDP"));
    EXPECT_FALSE(Settings(h.launch.settingsPath).mapValue(kOrderOtherAppsKey).contains(QStringLiteral("P")));
    model->redo();
    EXPECT_EQ(order(), QStringLiteral("APBCD"));
    EXPECT_EQ(Settings(h.launch.settingsPath).mapValue(kOrderOtherAppsKey).value(QStringLiteral("P")),
              QVariant(1.0));
}

TEST_F(OrderingTest, aReorderIsOneUndoStep)
{
    const std::vector<RowID> ids = abcd();
    std::vector<double> before;
    for (Thing* t : model->allThings())
        before.push_back(t->sortKey());
    test::drainEvents();
    model->beginDrag(ids[3]);
    ASSERT_TRUE(model->drop(0, Source::today));
    test::drainEvents();
    model->store().undoManager().undo();
    EXPECT_EQ(order(), QStringLiteral("ABCD"));
    std::vector<double> after;
    for (Thing* t : model->allThings())
        after.push_back(t->sortKey());
    EXPECT_EQ(after, before);
}
