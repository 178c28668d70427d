#include "model/Entities.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace vorn;

TEST(Entities, rawValuesRoundTripAndUnknownOnesYieldNothing)
{
    for (TodoList l : kAllTodoLists)
        EXPECT_EQ(todoListFromRaw(rawValue(l)), l);
    EXPECT_EQ(rawValue(TodoList::doneIsh), QStringLiteral("doneIsh"));
    EXPECT_FALSE(todoListFromRaw(QStringLiteral("done-ish")));
    EXPECT_FALSE(todoListFromRaw(QString()));

    EXPECT_FALSE(snoozeOptionFromRaw(0));
    EXPECT_FALSE(snoozeOptionFromRaw(5));
    EXPECT_EQ(snoozeOptionFromRaw(3), SnoozeOption::monday);
    EXPECT_EQ(snoozeOptionFromRaw(1), SnoozeOption::tonightIsh);
}

TEST(Entities, sourcesAndTabsCompareByKindAndPayload)
{
    const RecordId pileA{EntityKind::Pile, 7};
    const RecordId pileB{EntityKind::Pile, 8};
    EXPECT_EQ(Source::pile(pileA), Source::pile(RecordId{EntityKind::Pile, 7}));
    EXPECT_NE(Source::pile(pileA), Source::pile(pileB));
    EXPECT_NE(Source::today, Source::later);
    EXPECT_EQ(Source::today, Source::list(TodoList::today));

    EXPECT_EQ(Tab::random(), Tab::random());
    EXPECT_NE(Tab::random(), Tab::list(TodoList::today));
    EXPECT_NE(Tab::list(TodoList::today), Tab::pile(pileA));
    EXPECT_EQ(Tab::pile(pileA).source(), Source::pile(pileA));
    EXPECT_FALSE(Tab::random().source());

    QSet<Source> sources{Source::today, Source::list(TodoList::today), Source::pile(pileA),
                         Source::pile(pileA)};
    EXPECT_EQ(sources.size(), 2);
}

TEST(Entities, rowIdentifiersNeverConfuseOwnAndSharedRows)
{
    const RowID own = RowID::thing(RecordId{EntityKind::Thing, 1});
    const RowID shared = RowID::shared(QStringLiteral("1"));
    EXPECT_NE(own, shared);
    EXPECT_EQ(own, RowID::thing(RecordId{EntityKind::Thing, 1}));
    EXPECT_EQ(shared.sharedID(), QStringLiteral("1"));
    EXPECT_FALSE(shared.thingID());
    QSet<RowID> set{own, shared, RowID::shared(QStringLiteral("1"))};
    EXPECT_EQ(set.size(), 2);

    EXPECT_NE(NoteTarget::thing(RecordId{EntityKind::Thing, 1}), NoteTarget::shared(QStringLiteral("x")));
    EXPECT_EQ((StepRequest{RecordId{EntityKind::Thing, 1}, 2}),
              (StepRequest{RecordId{EntityKind::Thing, 1}, 2}));
    EXPECT_NE((StepRequest{RecordId{EntityKind::Thing, 1}, 2}),
              (StepRequest{RecordId{EntityKind::Thing, 1}, 3}));
}
