#include "store/Store.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vorn;

namespace {

const QDateTime kNoon = QDateTime(QDate(2026, 3, 7), QTime(12, 0), Qt::UTC);

class UndoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        store = Store::open(QStringLiteral(":memory:"), &error);
        ASSERT_TRUE(store);
        store->setAutosaveDelay(0);
    }
    UndoManager& undo() { return store->undoManager(); }
    std::unique_ptr<Store> store;
};

} // namespace

TEST_F(UndoTest, changesOfOneTurnUndoTogether)
{
    Thing* t = store->insert(Thing::make(QStringLiteral("t"), kNoon));
    test::drainEvents();
    t->setTitle(QStringLiteral("renamed"));
    t->setZCount(3);
    test::drainEvents();
    t->setZCount(4);
    test::drainEvents();

    undo().undo();
    EXPECT_EQ(t->zCount(), 3);
    EXPECT_EQ(t->title(), QStringLiteral("renamed"));
    undo().undo();
    EXPECT_EQ(t->zCount(), 0);
    EXPECT_EQ(t->title(), QStringLiteral("t"));
    undo().undo();
    EXPECT_FALSE(t->isLive());
    EXPECT_FALSE(undo().canUndo());
}

TEST_F(UndoTest, undoBeforeTheTurnEndsUndoesTheChangeJustMade)
{
    Thing* t = store->insert(Thing::make(QStringLiteral("t"), kNoon));
    test::drainEvents();
    t->setTitle(QStringLiteral("x"));
    undo().undo();
    EXPECT_EQ(t->title(), QStringLiteral("t"));
    EXPECT_TRUE(t->isLive());
}

TEST_F(UndoTest, explicitGroupSpansTurns)
{
    Thing* t = store->insert(Thing::make(QStringLiteral("t"), kNoon));
    test::drainEvents();
    {
        UndoGroup group(undo());
        t->setZCount(1);
        test::drainEvents();
        t->setZCount(2);
        test::drainEvents();
        {
            UndoGroup inner(undo());
            t->setTitle(QStringLiteral("inner"));
        }
        test::drainEvents();
    }
    undo().undo();
    EXPECT_EQ(t->zCount(), 0);
    EXPECT_EQ(t->title(), QStringLiteral("t"));
    EXPECT_TRUE(t->isLive());
}

TEST_F(UndoTest, undoneDeleteBringsBackTheSameRecordWithStepsAndPile)
{
    Pile* p = store->insert(Pile::make(QStringLiteral("Trip"), kNoon));
    Thing* t = store->insert(Thing::make(QStringLiteral("Passport"), kNoon, std::nullopt, p));
    Step* s1 = store->insert(Step::make(QStringLiteral("find it"), t, kNoon));
    Step* s2 = store->insert(Step::make(QStringLiteral("check date"), t, kNoon.addSecs(1)));
    t->setZCount(2);
    t->setCameFrom(QStringLiteral("Groceries"));
    const RecordId thingID = t->id(), step1 = s1->id(), step2 = s2->id();
    const double key = t->sortKey();
    test::drainEvents();

    store->remove(t);
    test::drainEvents();
    EXPECT_EQ(store->thing(thingID), nullptr);
    EXPECT_TRUE(p->things().empty());

    undo().undo();
    Thing* back = store->thing(thingID);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->title(), QStringLiteral("Passport"));
    EXPECT_EQ(back->pile(), p);
    EXPECT_EQ(p->things(), std::vector<Thing*>{back});
    EXPECT_EQ(back->zCount(), 2);
    EXPECT_EQ(back->cameFrom(), QStringLiteral("Groceries"));
    EXPECT_DOUBLE_EQ(back->sortKey(), key);
    ASSERT_EQ(back->steps().size(), 2u);
    EXPECT_EQ(store->step(step1)->thing(), back);
    EXPECT_EQ(back->orderedSteps()[0]->id(), step1);
    EXPECT_EQ(back->orderedSteps()[1]->id(), step2);

    undo().redo();
    EXPECT_EQ(store->thing(thingID), nullptr);
    EXPECT_EQ(store->step(step1), nullptr);
}

TEST_F(UndoTest, undoneDeleteOfAPileRelinksItsThings)
{
    Pile* p = store->insert(Pile::make(QStringLiteral("Trip"), kNoon));
    Thing* a = store->insert(Thing::make(QStringLiteral("a"), kNoon, std::nullopt, p));
    Thing* b = store->insert(Thing::make(QStringLiteral("b"), kNoon, std::nullopt, p));
    test::drainEvents();

    store->remove(p);
    test::drainEvents();
    ASSERT_EQ(a->pile(), nullptr);

    undo().undo();
    EXPECT_EQ(a->pile(), p);
    EXPECT_EQ(b->pile(), p);
    EXPECT_EQ(p->things().size(), 2u);
    EXPECT_TRUE(p->isLive());
}

TEST_F(UndoTest, redoAfterUndoOfInsertKeepsTheIdentifier)
{
    Thing* t = store->insert(Thing::make(QStringLiteral("t"), kNoon));
    const RecordId id = t->id();
    test::drainEvents();
    undo().undo();
    EXPECT_EQ(store->thing(id), nullptr);
    undo().redo();
    EXPECT_EQ(store->thing(id), t);
}

TEST_F(UndoTest, aNewChangeClearsRedo)
{
    Thing* t = store->insert(Thing::make(QStringLiteral("t"), kNoon));
    test::drainEvents();
    t->setTitle(QStringLiteral("u"));
    test::drainEvents();
    undo().undo();
    ASSERT_TRUE(undo().canRedo());
    t->setZCount(1);
    EXPECT_FALSE(undo().canRedo());
}

TEST_F(UndoTest, signalsAndPausedRegistration)
{
    QSignalSpy undone(&undo(), &UndoManager::didUndo);
    QSignalSpy redone(&undo(), &UndoManager::didRedo);
    Thing* t = nullptr;
    {
        UndoRegistrationPause pause(undo());
        t = store->insert(Thing::make(QStringLiteral("seeded"), kNoon));
    }
    test::drainEvents();
    EXPECT_FALSE(undo().canUndo()) << "seeding is not an undoable user action";

    t->setTitle(QStringLiteral("edited"));
    test::drainEvents();
    undo().undo();
    undo().redo();
    EXPECT_EQ(undone.count(), 1);
    EXPECT_EQ(redone.count(), 1);
    EXPECT_EQ(t->title(), QStringLiteral("edited"));

    // Undo and redo with nothing to do signal nothing.
    undo().redo();
    EXPECT_EQ(redone.count(), 1);
}

TEST_F(UndoTest, undoIsSavedLikeAnyOtherChange)
{
    Thing* t = store->insert(Thing::make(QStringLiteral("t"), kNoon));
    ASSERT_TRUE(store->save());
    t->setTitle(QStringLiteral("u"));
    ASSERT_TRUE(store->save());
    test::drainEvents();
    undo().undo();
    EXPECT_TRUE(store->hasChanges());
}

TEST_F(UndoTest, anInputOrFocusEventBetweenChangesOfOneTurnStartsANewStep)
{
    const std::pair<QEvent::Type, bool> cases[] = {
        {QEvent::MouseButtonPress, true}, {QEvent::MouseButtonRelease, true}, {QEvent::KeyPress, true},
        {QEvent::ShortcutOverride, true}, {QEvent::FocusOut, true},           {QEvent::Drop, true},
        {QEvent::UpdateRequest, false},   {QEvent::LayoutRequest, false},
    };
    for (const auto& [type, splits] : cases) {
        SCOPED_TRACE(int(type));
        Thing* t = store->insert(Thing::make(QStringLiteral("t"), kNoon));
        test::drainEvents();
        t->setTitle(QStringLiteral("renamed"));
        QObject receiver;
        QEvent event(type);
        QCoreApplication::sendEvent(&receiver, &event);
        t->setZCount(1);

        undo().undo();
        EXPECT_EQ(t->zCount(), 0);
        EXPECT_EQ(t->title(), splits ? QStringLiteral("renamed") : QStringLiteral("t"));
    }
}
