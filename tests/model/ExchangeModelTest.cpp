// Export and import on the model: the demo's lists make the whole trip, an import is one undo step, and
// lists that can't be made send their things to Today.
#include "model/ModelExchange.h"
#include "support/ModelHarness.h"
#include "transfer/exchange/MarkdownExport.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;
using vorn::test::drainEvents;
using vorn::test::ModelHarness;

namespace {

QString exported(const AppModel& model)
{
    return writeMarkdown(exportLists(model));
}

} // namespace

TEST(ModelExchange, TheDemoMakesTheRoundTripThroughAnEmptyStore)
{
    ModelHarness demo;
    demo.demo();
    std::unique_ptr<AppModel> from = demo.start();
    // Notes and a done step travel too; the demo has neither on a Later thing.
    Thing* later = from->visibleThings(Source::later).front();
    from->saveNote(later->id(), std::nullopt, u"Shop\n☐\toat milk\n\n  > not a quote"_s);
    const QString first = exported(*from);
    ASSERT_TRUE(first.contains(u"  > Shop\n  > ☐\toat milk\n  >\n  >   > not a quote\n"_s))
        << first.toStdString();

    ModelHarness empty(demo.clock->now());
    std::unique_ptr<AppModel> to = empty.start();
    const ImportOutcome outcome = importLists(*to, readImport(first));
    EXPECT_TRUE(outcome.problems.empty()) << describeImport(outcome).toStdString();
    EXPECT_EQ(outcome.added, int(from->allThings().size()));
    EXPECT_EQ(exported(*to), first);

    // The same text read again adds: nothing is merged into what is there.
    const ImportOutcome again = importLists(*to, readImport(first));
    EXPECT_EQ(again.added, outcome.added);
    EXPECT_EQ(to->allThings().size(), 2 * from->allThings().size());
}

TEST(ModelExchange, AnImportIsOneUndoStepAndAFifthListGoesToToday)
{
    ModelHarness h;
    std::unique_ptr<AppModel> model = h.start();
    model->add(u"already here"_s, Source::today);
    drainEvents();
    const ImportText text =
        readImport(u"# One\n- [ ] a\n# Two\n- [ ] b\n# Three\n# Four\n- [ ] d\n"
                   "# Five\n- [ ] e (until 2099-01-01)\n## Later\n- [x] f (done 2026-03-09)\n"_s);
    const ImportOutcome outcome = importLists(*model, text);
    EXPECT_EQ(outcome.added, 5);
    ASSERT_EQ(outcome.problems.size(), 1u);
    EXPECT_EQ(outcome.problems[0].line, 8);
    EXPECT_EQ(importToast(outcome), u"Imported 5 things. Skipped 1 line."_s);
    ASSERT_EQ(model->piles().size(), 4u) << "an empty list of the file is made too";
    const Thing* e = h.thingTitled(*model, u"e"_s);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->pile(), nullptr);
    EXPECT_EQ(e->snoozedUntil(), QDateTime(QDate(2099, 1, 1), QTime(0, 0)).toUTC());
    const Thing* f = h.thingTitled(*model, u"f"_s);
    ASSERT_TRUE(f && f->doneAt());
    EXPECT_EQ(f->doneAt()->toLocalTime().date(), QDate(2026, 3, 9));

    drainEvents();
    model->undo();
    drainEvents();
    EXPECT_EQ(model->allThings().size(), 1u);
    EXPECT_TRUE(model->piles().empty());
}
