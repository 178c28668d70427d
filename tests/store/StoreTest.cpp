#include "store/Store.h"
#include "store/Dates.h"
#include "support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vorn;

namespace {

std::unique_ptr<Store> memoryStore()
{
    QString error;
    auto store = Store::open(QStringLiteral(":memory:"), &error);
    EXPECT_TRUE(store) << error.toStdString();
    store->setAutosaveDelay(0);
    return store;
}

const QDateTime kNoon = QDateTime(QDate(2026, 3, 7), QTime(12, 0), Qt::UTC);

} // namespace

TEST(Records, thingDefaultsFollowTheGivenCreationTime)
{
    auto t = Thing::make(QStringLiteral("a"), kNoon);
    EXPECT_EQ(t->title(), QStringLiteral("a"));
    EXPECT_EQ(t->createdAt(), kNoon);
    EXPECT_FALSE(t->doneAt());
    EXPECT_FALSE(t->snoozedUntil());
    EXPECT_EQ(t->zCount(), 0);
    EXPECT_FALSE(t->cameFrom());
    EXPECT_TRUE(t->note().isEmpty());
    EXPECT_FALSE(t->noteID());
    EXPECT_FALSE(t->stepProgress());
    // 2026-03-07 12:00 UTC is this many seconds after 2001-01-01 00:00 UTC.
    EXPECT_DOUBLE_EQ(t->sortKey(), double(kNoon.toSecsSinceEpoch() - 978307200));

    auto dayEarlier = Thing::make(QStringLiteral("b"), kNoon.addDays(-1));
    EXPECT_DOUBLE_EQ(t->sortKey() - dayEarlier->sortKey(), 86400.0);
}

TEST(Records, syncIDsAreFreshUpperCaseUUIDs)
{
    QSet<QString> seen;
    for (int i = 0; i < 200; ++i) {
        const QString id = Thing::make(QStringLiteral("x"), kNoon)->syncID();
        EXPECT_EQ(id.size(), 36);
        EXPECT_EQ(id, id.toUpper());
        EXPECT_FALSE(seen.contains(id));
        seen.insert(id);
    }
}

TEST(Records, orderedStepsSortsByKeyAndKeepsStoredOrderOnTies)
{
    auto store = memoryStore();
    Thing* t = store->insert(Thing::make(QStringLiteral("t"), kNoon));
    Step* late = store->insert(Step::make(QStringLiteral("late"), t, kNoon.addSecs(10)));
    Step* tieA = store->insert(Step::make(QStringLiteral("tieA"), t, kNoon));
    Step* tieB = store->insert(Step::make(QStringLiteral("tieB"), t, kNoon));
    Step* early = store->insert(Step::make(QStringLiteral("early"), t, kNoon.addSecs(-10)));

    const std::vector<Step*> expected{early, tieA, tieB, late};
    EXPECT_EQ(t->orderedSteps(), expected);

    tieA->setDoneAt(kNoon);
    EXPECT_EQ(t->stepProgress(), QStringLiteral("1/4"));
}

TEST(Store, insertAssignsDistinctTypedIdentifiers)
{
    auto store = memoryStore();
    Pile* p = store->insert(Pile::make(QStringLiteral("Groceries"), kNoon));
    Thing* t = store->insert(Thing::make(QStringLiteral("Oat milk"), kNoon, std::nullopt, p));
    Step* s = store->insert(Step::make(QStringLiteral("step"), t, kNoon));

    EXPECT_TRUE(p->id().isValid());
    EXPECT_NE(p->id(), t->id());
    EXPECT_NE(t->id(), s->id());
    EXPECT_EQ(store->thing(t->id()), t);
    EXPECT_EQ(store->pile(p->id()), p);
    EXPECT_EQ(store->step(s->id()), s);
    EXPECT_EQ(store->record(t->id()), t);
    // An identifier of one kind never finds a record of another.
    EXPECT_EQ(store->thing(p->id()), nullptr);
    EXPECT_EQ(store->pile(t->id()), nullptr);

    EXPECT_EQ(t->pile(), p);
    EXPECT_EQ(p->things(), std::vector<Thing*>{t});
    EXPECT_EQ(t->steps(), std::vector<Step*>{s});
}

TEST(Store, deletingAThingDeletesItsSteps)
{
    auto store = memoryStore();
    Thing* t = store->insert(Thing::make(QStringLiteral("t"), kNoon));
    Step* s1 = store->insert(Step::make(QStringLiteral("1"), t, kNoon));
    Step* s2 = store->insert(Step::make(QStringLiteral("2"), t, kNoon));
    const RecordId id1 = s1->id(), id2 = s2->id();
    Thing* other = store->insert(Thing::make(QStringLiteral("other"), kNoon));
    Step* kept = store->insert(Step::make(QStringLiteral("kept"), other, kNoon));

    store->remove(t);

    EXPECT_EQ(store->thingCount(), 1);
    EXPECT_EQ(store->step(id1), nullptr);
    EXPECT_EQ(store->step(id2), nullptr);
    EXPECT_EQ(store->step(kept->id()), kept);
    EXPECT_EQ(store->stepCount(), 1);
}

TEST(Store, deletingAPileKeepsItsThingsAndClearsTheirPile)
{
    auto store = memoryStore();
    Pile* p = store->insert(Pile::make(QStringLiteral("Trip"), kNoon));
    Thing* a = store->insert(Thing::make(QStringLiteral("a"), kNoon, std::nullopt, p));
    Thing* b = store->insert(Thing::make(QStringLiteral("b"), kNoon, std::nullopt, p));

    store->remove(p);

    EXPECT_EQ(store->thingCount(), 2);
    EXPECT_EQ(a->pile(), nullptr);
    EXPECT_EQ(b->pile(), nullptr);
    EXPECT_TRUE(a->isLive());
}

TEST(Store, movingAThingBetweenPilesKeepsBothInverseListsRight)
{
    auto store = memoryStore();
    Pile* p = store->insert(Pile::make(QStringLiteral("P"), kNoon));
    Pile* q = store->insert(Pile::make(QStringLiteral("Q"), kNoon.addSecs(1)));
    Thing* t = store->insert(Thing::make(QStringLiteral("t"), kNoon, std::nullopt, p));

    t->setPile(q);
    EXPECT_TRUE(p->things().empty());
    EXPECT_EQ(q->things(), std::vector<Thing*>{t});

    t->setPile(nullptr);
    EXPECT_TRUE(q->things().empty());
}

TEST(Store, thingsBySortKeyFollowsInsertsDeletesAndKeyChanges)
{
    auto store = memoryStore();
    Thing* c = store->insert(Thing::make(QStringLiteral("c"), kNoon.addSecs(3)));
    Thing* a = store->insert(Thing::make(QStringLiteral("a"), kNoon.addSecs(1)));
    Thing* b = store->insert(Thing::make(QStringLiteral("b"), kNoon.addSecs(2)));
    EXPECT_EQ(store->thingsBySortKey(), (std::vector<Thing*>{a, b, c}));

    a->setSortKey(1e12);
    EXPECT_EQ(store->thingsBySortKey(), (std::vector<Thing*>{b, c, a}));

    store->remove(b);
    EXPECT_EQ(store->thingsBySortKey(), (std::vector<Thing*>{c, a}));

    // Equal keys fall back to insertion order.
    c->setSortKey(0);
    a->setSortKey(0);
    EXPECT_EQ(store->thingsBySortKey(), (std::vector<Thing*>{c, a}));
}

TEST(Store, pilesBySortKey)
{
    auto store = memoryStore();
    Pile* later = store->insert(Pile::make(QStringLiteral("later"), kNoon.addSecs(5)));
    Pile* first = store->insert(Pile::make(QStringLiteral("first"), kNoon));
    EXPECT_EQ(store->pilesBySortKey(), (std::vector<Pile*>{first, later}));
}

TEST(Store, changeSignalIsPostedOncePerTurn)
{
    auto store = memoryStore();
    QSignalSpy spy(store.get(), &Store::changed);
    Thing* t = store->insert(Thing::make(QStringLiteral("t"), kNoon));
    t->setTitle(QStringLiteral("u"));
    t->setZCount(2);
    EXPECT_EQ(spy.count(), 0) << "the signal arrives after the turn, not in the middle of an operation";
    test::drainEvents();
    EXPECT_EQ(spy.count(), 1);

    // Writing an equal value is no change at all.
    t->setTitle(QStringLiteral("u"));
    test::drainEvents();
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(store->undoManager().canRedo());
}

TEST(Store, theChangeFeedHandsOutEachTurnAsOneBatchOfWhatChanged)
{
    auto store = memoryStore();
    Thing* kept = store->insert(Thing::make(QStringLiteral("kept"), kNoon));
    Pile* pile = store->insert(Pile::make(QStringLiteral("pile"), kNoon));
    Thing* doomed = store->insert(Thing::make(QStringLiteral("doomed"), kNoon));
    Step* step = store->insert(Step::make(QStringLiteral("its step"), doomed, kNoon));
    const RecordId doomedID = doomed->id(), stepID = step->id();
    test::drainEvents(); // the setting up is a batch of its own

    std::vector<StoreChanges> batches;
    int changedBeforeItsBatch = 0;
    QObject::connect(store.get(), &Store::changes, store.get(),
                     [&](const StoreChanges& batch) { batches.push_back(batch); });
    QObject::connect(store.get(), &Store::changed, store.get(),
                     [&] { changedBeforeItsBatch += batches.empty() ? 1 : 0; });
    QSignalSpy changed(store.get(), &Store::changed);
    QSignalSpy changing(store.get(), &Store::changing);
    const quint64 open = store->openBatch();

    const RecordId added = store->insert(Thing::make(QStringLiteral("added"), kNoon))->id();
    kept->setTitle(QStringLiteral("kept, renamed"));
    kept->setDoneAt(kNoon);
    kept->setTitle(QStringLiteral("kept, renamed again"));
    pile->setName(QStringLiteral("pile, renamed"));
    store->remove(doomed); // its step goes first
    EXPECT_TRUE(batches.empty()) << "the batch is handed out after the turn";
    EXPECT_EQ(changing.count(), 7) << "but each change is announced as it happens";
    test::drainEvents();

    ASSERT_EQ(batches.size(), 1u) << "one batch for the whole turn";
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(changedBeforeItsBatch, 0) << "changed() follows the batch";
    const StoreChanges& first = batches[0];
    EXPECT_EQ(first.batch(), open);
    struct Expected {
        RecordId id;
        bool inserted, deleted;
        quint32 fields;
    };
    const std::vector<Expected> expected = {
        {added, true, false, 0},
        {kept->id(), false, false, ThingTitle | ThingDoneAt},
        {pile->id(), false, false, PileName},
        {stepID, false, true, 0},
        {doomedID, false, true, 0},
    };
    ASSERT_EQ(first.records().size(), expected.size()) << "each record once, in the order it first changed";
    for (size_t i = 0; i < expected.size(); ++i) {
        const RecordChange& c = first.records()[i];
        EXPECT_EQ(c.id, expected[i].id) << i;
        EXPECT_EQ(c.inserted, expected[i].inserted) << i;
        EXPECT_EQ(c.deleted, expected[i].deleted) << i;
        EXPECT_EQ(c.fields, expected[i].fields) << i;
        EXPECT_EQ(first.find(c.id), &c) << i;
    }
    EXPECT_FALSE(first.find(RecordId{EntityKind::Thing, 999}));
    EXPECT_TRUE(first.touches(EntityKind::Pile));

    // An undo is a change like any other: the turn's edits come back in the next batch.
    store->undoManager().undo();
    test::drainEvents();
    ASSERT_EQ(batches.size(), 2u);
    const StoreChanges& undone = batches[1];
    EXPECT_EQ(undone.batch(), open + 1);
    ASSERT_TRUE(undone.find(added));
    EXPECT_TRUE(undone.find(added)->deleted) << "the insert taken back";
    EXPECT_FALSE(store->thing(added));
    ASSERT_TRUE(undone.find(kept->id()));
    EXPECT_EQ(undone.find(kept->id())->fields, ThingTitle | ThingDoneAt);
    EXPECT_EQ(kept->title(), QStringLiteral("kept"));
    ASSERT_TRUE(undone.find(doomedID) && undone.find(stepID));
    EXPECT_TRUE(undone.find(doomedID)->inserted && undone.find(stepID)->inserted) << "brought back";
    EXPECT_EQ(undone.find(pile->id())->fields, PileName);
    EXPECT_EQ(changed.count(), 2);
}
