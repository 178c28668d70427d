#include "app/ListCommand.h"
#include "support/ModelHarness.h"

#include <gtest/gtest.h>

using namespace vorn;
using vorn::test::ModelHarness;

TEST(ListCommand, namesFindBuiltInListsAndPilesWhateverTheCase)
{
    ModelHarness h;
    h.demo();
    auto model = h.start();
    EXPECT_EQ(sourceNamed(*model, QStringLiteral("Today")), Source::today);
    EXPECT_EQ(sourceNamed(*model, QStringLiteral("done-ish")), Source::doneIsh);
    EXPECT_EQ(sourceNamed(*model, QStringLiteral("GROCERIES")), Source::pile(model->piles()[0]->id()));
    EXPECT_FALSE(sourceNamed(*model, QStringLiteral("random")));
    EXPECT_FALSE(sourceNamed(*model, QStringLiteral("doneIsh")));
}

TEST(ListCommand, rendersOneCheckboxLinePerRow)
{
    ModelHarness h;
    h.demo();
    auto model = h.start();
    EXPECT_EQ(renderList(*model, Source::doneIsh), QStringLiteral("- [x] Drink water\n"));
    EXPECT_EQ(renderList(*model, Source::pile(model->piles()[1]->id())),
              QStringLiteral("- [ ] Passport (check it's in date)\n- [ ] Chargers\n"));

    // A title with a line break still takes exactly one line.
    model->store().insert(Thing::make(QStringLiteral("two\nlines"), h.clock->now()));
    EXPECT_TRUE(renderList(*model, Source::today).endsWith(QStringLiteral("- [ ] two lines\n")));
}
