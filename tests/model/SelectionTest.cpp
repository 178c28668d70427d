#include "support/ModelHarness.h"

#include <gtest/gtest.h>

using namespace vorn;
using vorn::test::ModelHarness;

namespace {

// Five Today rows, A to E, and helpers to speak about them by position.
class SelectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        model = h.start();
        for (int i = 0; i < 5; ++i) {
            Thing* t =
                model->store().insert(Thing::make(QString(QChar(u'A' + i)), h.clock->now().addSecs(i)));
            rows.push_back(RowID::thing(t->id()));
        }
    }
    void click(int row, bool command = false, bool shift = false)
    {
        const auto modifiers = [](bool ctrl, bool extend) {
            return (ctrl ? Qt::ControlModifier : Qt::NoModifier) |
                   (extend ? Qt::ShiftModifier : Qt::NoModifier);
        };
        model->click(rows[size_t(row)], modifiers(command, shift), Source::today, true);
    }
    QSet<RowID> at(const std::vector<int>& positions) const
    {
        QSet<RowID> out;
        for (int p : positions)
            out.insert(rows[size_t(p)]);
        return out;
    }

    ModelHarness h;
    std::unique_ptr<AppModel> model;
    std::vector<RowID> rows;
};

} // namespace

TEST_F(SelectionTest, plainCommandAndShiftClicks)
{
    click(1);
    EXPECT_EQ(model->selection(), at({1}));
    EXPECT_EQ(model->selectionAnchor(), rows[1]);

    click(4, false, true);
    EXPECT_EQ(model->selection(), at({1, 2, 3, 4}));
    EXPECT_EQ(model->selectionAnchor(), rows[1]) << "a shift-click doesn't move the anchor";
    click(0, false, true);
    EXPECT_EQ(model->selection(), at({0, 1}));

    click(3, true);
    EXPECT_EQ(model->selection(), at({0, 1, 3}));
    EXPECT_EQ(model->selectionAnchor(), rows[3]);
    click(0, true);
    EXPECT_EQ(model->selection(), at({1, 3}));
    EXPECT_EQ(model->selectionAnchor(), rows[3]) << "deselecting another row keeps the anchor";
    click(3, true);
    EXPECT_EQ(model->selection(), at({1}));
    EXPECT_FALSE(model->selectionAnchor()) << "deselecting the anchored row clears the anchor";

    // With no anchor, shift-click is a plain click, and command-shift a command-click.
    click(2, false, true);
    EXPECT_EQ(model->selection(), at({2}));
    model->select(std::nullopt);
    click(1);
    model->click(rows[1], Qt::ControlModifier, Source::today, true);
    click(4, true, true);
    EXPECT_EQ(model->selection(), at({4}));
}

TEST_F(SelectionTest, commandShiftAddsTheRangeToTheSelection)
{
    click(0);
    click(4, true);
    click(2, true, true);
    EXPECT_EQ(model->selection(), at({0, 2, 3, 4}));
}

TEST_F(SelectionTest, removingRowsMovesTheSelectionToANeighbour)
{
    struct Case {
        const char* name;
        std::vector<int> selected;
        std::vector<int> removed;
        std::optional<int> expected;
    };
    const std::vector<Case> cases{
        {"middle", {2}, {2}, 3},
        {"first", {0}, {0}, 1},
        {"last", {4}, {4}, 3},
        {"all", {2}, {0, 1, 2, 3, 4}, std::nullopt},
        {"two, second selected", {2}, {1, 2}, 3},
        {"tail block", {3}, {3, 4}, 2},
        {"unselected removal keeps the selection", {0}, {3}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QSet<RowID> selected = at(c.selected);
        model->select(*selected.begin());
        const std::vector<RowID> order = rows;
        model->selectAfterRemoving(at(c.removed), order);
        if (c.expected) {
            EXPECT_EQ(model->selection(), at({*c.expected}));
            EXPECT_EQ(model->selectionAnchor(), rows[size_t(*c.expected)]);
        } else {
            EXPECT_TRUE(model->selection().isEmpty());
            EXPECT_FALSE(model->selectionAnchor());
        }
    }
    // Without an order, the current list's rows are used.
    click(2);
    model->selectAfterRemoving(at({2}), std::nullopt);
    EXPECT_EQ(model->selection(), at({3}));
}

TEST_F(SelectionTest, selectedIDsAreThoseTheListShows)
{
    click(0);
    click(1, true);
    Thing* snoozed = model->store().thing(*rows[1].thingID());
    snoozed->setSnoozedUntil(h.clock->now().addDays(1));
    EXPECT_EQ(model->selectedIDs(std::nullopt, true), at({0}));
    EXPECT_EQ(model->selectedIDs(Source::later, true), at({1}));
    model->setTab(Tab::random());
    EXPECT_TRUE(model->selectedIDs(std::nullopt, true).isEmpty());
}

TEST_F(SelectionTest, primarySelectionPrefersTheAnchor)
{
    click(1);
    click(3, true);
    EXPECT_EQ(model->primarySelection(), rows[3]);
    click(3, true);
    EXPECT_EQ(model->primarySelection(), rows[1]);
    model->select(std::nullopt);
    EXPECT_FALSE(model->primarySelection());
}

TEST_F(SelectionTest, pruningDropsRowsThatLeftAndTheAnchorWithThem)
{
    SharedThing planner;
    planner.id = QStringLiteral("p1");
    planner.title = QStringLiteral("from planner");
    planner.day = model->todayISO();
    planner.sourceApp = QStringLiteral("planner");
    model->familySync().replaceRows({planner});
    const RowID shared = RowID::shared(QStringLiteral("p1"));

    click(0);
    model->click(shared, Qt::ControlModifier, Source::today, true);
    ASSERT_EQ(model->selectionAnchor(), shared);
    model->familySync().replaceRows({});
    model->pruneSelection();
    EXPECT_EQ(model->selection(), at({0}));
    EXPECT_FALSE(model->selectionAnchor());
}
