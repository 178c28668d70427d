#include "support/ModelHarness.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vorn;
using vorn::test::at;
using vorn::test::ModelHarness;

namespace {

constexpr const char* kBerlin = "Europe/Berlin";

// Enough draws that a wrong pool (a missing or an extra candidate) shows with near certainty.
constexpr int kRerolls = 60;

class PickSpy {
public:
    explicit PickSpy(AppModel& model)
    {
        QObject::connect(&model, &AppModel::changed, &m_receiver, [this](AppModel::Field f) {
            if (f == AppModel::Field::randomPick)
                ++changes;
        });
    }
    int changes = 0;

private:
    QObject m_receiver; // disconnects when the spy goes
};

struct RandomHarness {
    RandomHarness() : model(h.start()) {}

    Thing* add(const char* title, std::optional<QDateTime> snoozedUntil = std::nullopt, Pile* pile = nullptr)
    {
        const QDateTime created = h.clock->now().addSecs(-3600 + qint64(model->allThings().size()));
        return model->store().insert(
            Thing::make(QString::fromUtf8(title), created, std::move(snoozedUntil), pile));
    }
    Thing* addDone(const char* title)
    {
        Thing* t = add(title);
        t->setDoneAt(h.clock->now());
        return t;
    }
    Pile* addPile(const char* name)
    {
        Pile* p = model->store().insert(Pile::make(QString::fromUtf8(name), h.clock->now()));
        model->refreshPiles();
        return p;
    }
    QDateTime tomorrow() const { return model->schedule().startOfTomorrow(h.clock->now()); }

    // The thing the pick names, whatever its state.
    Thing* picked() const
    {
        return model->randomPick() ? model->store().thing(*model->randomPick()) : nullptr;
    }

    Thing* rerolled()
    {
        model->reroll();
        return picked();
    }

    ModelHarness h{at(kBerlin, "2026-03-10 09:30:00")};
    std::unique_ptr<AppModel> model;
};

} // namespace

TEST(RandomPick, withNothingOpenThereIsNothingToPick)
{
    RandomHarness r;
    PickSpy spy(*r.model);
    r.model->reroll();
    EXPECT_FALSE(r.model->randomPick());

    r.addDone("done already");
    r.model->reroll();
    EXPECT_FALSE(r.model->randomPick());
    EXPECT_EQ(r.model->currentPick(), nullptr);
    EXPECT_EQ(spy.changes, 0);
}

TEST(RandomPick, aLoneOpenThingIsPickedAndThenKept)
{
    RandomHarness r;
    r.addDone("done already");
    Thing* a = r.add("a", r.tomorrow()); // open, though not in Today
    PickSpy spy(*r.model);

    EXPECT_EQ(r.rerolled(), a);
    EXPECT_EQ(r.rerolled(), a) << "nothing else to offer: the pick stays";
    EXPECT_EQ(r.model->currentPick(), a);
    EXPECT_EQ(spy.changes, 1) << "keeping the pick announces nothing";
}

TEST(RandomPick, anotherOneIsNeverTheSameThing)
{
    RandomHarness r;
    Thing* a = r.add("a");
    Thing* b = r.add("b");
    Thing* previous = r.rerolled();
    ASSERT_TRUE(previous == a || previous == b);
    for (int i = 0; i < kRerolls; ++i) {
        Thing* next = r.rerolled();
        ASSERT_EQ(next, previous == a ? b : a) << "reroll " << i;
        previous = next;
    }
}

TEST(RandomPick, todayComesFirstAndPileThingsNeverCountAsToday)
{
    RandomHarness r;
    Pile* pile = r.addPile("Groceries");
    Thing* today = r.add("today");
    r.add("later", r.tomorrow());
    Thing* inPile = r.add("in a pile", std::nullopt, pile);
    r.add("asleep in a pile", r.tomorrow(), pile);
    r.addDone("done");
    ASSERT_EQ(r.model->source(*inPile), Source::pile(pile->id()));

    EXPECT_EQ(r.rerolled(), today) << "the first pick comes from Today";
    QSet<QString> othersSeen;
    for (int i = 0; i < kRerolls; ++i) {
        Thing* previous = r.picked();
        Thing* next = r.rerolled();
        ASSERT_NE(next, nullptr);
        if (previous == today) {
            // Today has nothing else: every other open thing is in the running, the pile's too.
            ASSERT_NE(next, today);
            ASSERT_FALSE(next->isDone());
            othersSeen.insert(next->title());
        } else {
            ASSERT_EQ(next, today) << "a thing in a pile must not crowd out Today's (reroll " << i << ")";
        }
    }
    EXPECT_EQ(othersSeen, (QSet<QString>{QStringLiteral("later"), QStringLiteral("in a pile"),
                                         QStringLiteral("asleep in a pile")}));
}

TEST(RandomPick, todayIsJudgedByTheModelsNowWhichTheClockMoves)
{
    RandomHarness r;
    Thing* today = r.add("today");
    Thing* nap = r.add("nap", at(kBerlin, "2026-03-10 10:00:00"));
    Thing* later = r.add("later", r.tomorrow());
    ASSERT_EQ(r.rerolled(), today);

    // Past the nap's wake time, but the clock has not beaten: the nap is still a Later thing.
    r.h.clock->set(at(kBerlin, "2026-03-10 10:30:00"));
    bool sawLater = false;
    for (int i = 0; i < kRerolls && !sawLater; ++i) {
        Thing* next = r.rerolled();
        ASSERT_TRUE(next == today || next == nap || next == later);
        sawLater = next == later;
    }
    EXPECT_TRUE(sawLater);

    r.model->tick();
    r.rerolled(); // off "later", if that is where it stands
    for (int i = 0; i < kRerolls; ++i) {
        Thing* previous = r.picked();
        ASSERT_EQ(r.rerolled(), previous == today ? nap : today) << "both are Today things now";
    }
}

TEST(RandomPick, aDoneOrDeletedPickIsNoLongerCurrent)
{
    RandomHarness r;
    Thing* a = r.add("a");
    Thing* b = r.add("b");
    Thing* first = r.rerolled();
    Thing* other = first == a ? b : a;
    EXPECT_EQ(r.model->currentPick(), first);

    first->setDoneAt(r.h.clock->now());
    EXPECT_EQ(r.model->currentPick(), nullptr);
    EXPECT_EQ(r.rerolled(), other);

    r.model->store().remove(other);
    EXPECT_EQ(r.model->currentPick(), nullptr);
    PickSpy spy(*r.model);
    r.model->reroll();
    EXPECT_FALSE(r.model->randomPick()) << "a deleted lone pick is not kept";
    EXPECT_EQ(spy.changes, 1);

    // A lone pick that gets done is dropped too.
    first->setDoneAt(std::nullopt);
    EXPECT_EQ(r.rerolled(), first);
    first->setDoneAt(r.h.clock->now());
    r.model->reroll();
    EXPECT_FALSE(r.model->randomPick());
}

TEST(RandomPick, acceptingPullsThePickIntoTodayThenShowsAndSelectsIt)
{
    enum class Where { later, pile, today };
    for (Where where : {Where::later, Where::pile, Where::today}) {
        SCOPED_TRACE(int(where));
        RandomHarness r;
        Pile* pile = r.addPile("Trip");
        Thing* target = where == Where::later  ? r.add("target", r.tomorrow())
                        : where == Where::pile ? r.add("target", std::nullopt, pile)
                                               : r.add("target");
        Thing* first = r.add("already in today"); // sorts after the target until the target is moved
        // Keep the other Today thing out of the running, so the pick lands on the target.
        first->setDoneAt(r.h.clock->now());
        ASSERT_EQ(r.rerolled(), target);
        first->setDoneAt(std::nullopt);
        r.model->setTab(Tab::random());
        ASSERT_TRUE(r.model->store().save());
        PickSpy spy(*r.model);

        r.model->acceptPick(*target);
        EXPECT_EQ(r.model->source(*target), Source::today);
        EXPECT_FALSE(target->snoozedUntil());
        EXPECT_EQ(target->pile(), nullptr);
        EXPECT_FALSE(r.model->randomPick());
        EXPECT_EQ(spy.changes, 1);
        EXPECT_EQ(r.model->currentPick(), nullptr);
        EXPECT_EQ(r.model->tab(), Tab::list(TodoList::today));
        EXPECT_EQ(r.model->selection(), QSet<RowID>{RowID::thing(target->id())});
        EXPECT_EQ(r.model->selectionAnchor(), RowID::thing(target->id()));
        if (where == Where::today) {
            EXPECT_FALSE(r.model->store().hasChanges()) << "a Today thing is only shown, not moved";
            EXPECT_LT(target->sortKey(), first->sortKey());
        } else {
            EXPECT_GT(target->sortKey(), first->sortKey()) << "a moved thing lands at the end of Today";
        }
    }
}
