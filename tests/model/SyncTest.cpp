#include "family/FamilyConstants.h"
#include "model/Constants.h"
#include "store/Dates.h"
#include "support/ModelHarness.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace vorn;
using vorn::test::at;
using vorn::test::ModelHarness;

namespace {

// The model mirrors into a real family file; a second connection on that file plays the planner.
class SyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.launch.syncsToFamily = std::nullopt;
        h.manualTimers();
        model = h.start();
        ASSERT_TRUE(model->familySync().familyStore());
        ASSERT_TRUE(model->familySync().familyStore()->isOpen())
            << model->familySync().familyStore()->openError().value_or(QString()).toStdString();
        planner = std::make_unique<FamilyStore>(h.launch.familyStorePath());
    }
    QDateTime now() const { return h.clock->now(); }
    Thing* add(const QString& title) { return model->add(title, Source::today); }
    // Lets the debounce run out and waits for the mirror's writes, or fails.
    void mirror()
    {
        QSignalSpy spy(model.get(), &AppModel::mirrored);
        h.timers->advance(400);
        ASSERT_TRUE(spy.count() > 0 || spy.wait(5000)) << "no mirror happened";
    }
    std::optional<SharedThing> row(const QString& id)
    {
        for (const SharedThing& r : planner->allThings()) {
            if (r.id == id)
                return r;
        }
        return std::nullopt;
    }
    // A foreign change broadcast, as the planner sends after each of its writes.
    void plannerDidWrite() { model->familySync().didChange(); }
    // A read sent to the file's queue has run and its answer has been taken in.
    void backgroundReadsDone()
    {
        test::drainEvents();
        model->familySync().familyStore()->drain();
        test::drainEvents();
    }
    SharedThing plannerRow(const QString& id, const QString& title, std::optional<QString> day)
    {
        SharedThing s;
        s.id = id;
        s.title = title;
        s.day = std::move(day);
        s.sourceApp = kPlannerApp;
        return s;
    }
    QVariant column(const QString& id, const char* name)
    {
        sqlite3* db = nullptr;
        sqlite3_open_v2(QFile::encodeName(h.launch.familyStorePath()).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr);
        sqlite3_stmt* s = nullptr;
        const QByteArray sql = QByteArray("SELECT ") + name + " FROM things WHERE id = ?";
        sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr);
        const QByteArray key = id.toUtf8();
        sqlite3_bind_text(s, 1, key.constData(), -1, SQLITE_TRANSIENT);
        QVariant out;
        if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL)
            out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
        sqlite3_close(db);
        return out;
    }

    ModelHarness h; // Tuesday 2026-03-10 09:30 in Berlin
    std::unique_ptr<AppModel> model;
    std::unique_ptr<FamilyStore> planner;
};

} // namespace

TEST_F(SyncTest, aLocalAddIsMirroredAsATodoRowForToday)
{
    Thing* t = add(QStringLiteral("Buy stamps"));
    h.timers->advance(399);
    EXPECT_TRUE(model->familySync().isPending()) << "the mirror waits for the debounce";
    mirror();
    EXPECT_FALSE(model->familySync().isPending());
    const std::optional<SharedThing> r = row(t->syncID());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->sourceApp, kTodoApp);
    EXPECT_EQ(r->title, QStringLiteral("Buy stamps"));
    EXPECT_EQ(r->day, QStringLiteral("2026-03-10"));
    EXPECT_TRUE(model->familySync().ownChangePending());

    model->snooze({RowID::thing(t->id())}, SnoozeOption::tomorrow, std::nullopt);
    mirror();
    EXPECT_FALSE(row(t->syncID())->day) << "a snoozed thing carries no day";
    EXPECT_EQ(row(t->syncID())->zs, 1);
}

TEST_F(SyncTest, aBurstOfChangesMakesOneMirror)
{
    model->familySync().flush(); // the start-up mirror
    QSignalSpy spy(model.get(), &AppModel::mirrored);
    for (int i = 0; i < 3; ++i) {
        add(QStringLiteral("thing %1").arg(i));
        h.timers->advance(100);
    }
    h.timers->advance(299);
    EXPECT_TRUE(model->familySync().isPending()) << "no mirror before 0.4 s after the last change";
    h.timers->advance(1);
    model->familySync().flush(); // waits for the mirror's writes
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(h.timers->isActive(QStringLiteral("sync"))) << "and no second one to come";
    EXPECT_EQ(planner->allThings().size(), 3u);
}

TEST_F(SyncTest, aLocalDeleteBecomesOurOwnTombstone)
{
    Thing* t = add(QStringLiteral("short-lived"));
    const QString id = t->syncID();
    mirror();
    model->remove({RowID::thing(t->id())}, std::nullopt);
    mirror();
    EXPECT_FALSE(row(id));
    EXPECT_EQ(column(id, "deleted").toString(), QStringLiteral("1"));
    EXPECT_FALSE(column(id, "deleted_by").isValid());
    EXPECT_TRUE(model->familyThings().empty()) << "our own rows are never family rows";
}

TEST_F(SyncTest, theOwnEchoIsSkippedAndTheNextBroadcastIsRead)
{
    add(QStringLiteral("mine"));
    mirror();
    planner->upsert(plannerRow(QStringLiteral("p1"), QStringLiteral("from the planner"), model->todayISO()));
    plannerDidWrite(); // our own echo of the mirror arrives first
    EXPECT_TRUE(model->familyThings().empty());
    plannerDidWrite();
    ASSERT_EQ(model->familyThings().size(), 1u);
    const std::vector<ListRow> rows = model->rows(Source::today, true);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].sharedThing()->title, QStringLiteral("from the planner"));
}

// A planner writing faster than we read: the broadcasts that pile up meanwhile are one read, which
// sees every write; our own echo among them does not hide the planner's.
TEST_F(SyncTest, broadcastsThatPileUpAreReadOnceAndNoneIsMissed)
{
    add(QStringLiteral("mine"));
    mirror(); // its echo is one of the broadcasts below
    QSignalSpy reads(&model->familySync(), &FamilySync::rowsChanged);
    model->familySync().noticed(); // our own echo
    for (int i = 1; i <= 3; ++i) {
        planner->upsert(
            plannerRow(QStringLiteral("p%1").arg(i), QStringLiteral("planned %1").arg(i), model->todayISO()));
        model->familySync().noticed();
    }
    backgroundReadsDone();
    EXPECT_EQ(reads.count(), 1);
    EXPECT_EQ(model->familyThings().size(), 3u);
}

TEST_F(SyncTest, aBackgroundReadOvertakenByAnEditHereIsDroppedAndNewsDuringOneMakesOneMore)
{
    planner->upsert(plannerRow(QStringLiteral("p1"), QStringLiteral("planned"), model->todayISO()));
    model->familySync().refresh();
    ASSERT_EQ(model->familyThings().size(), 1u);

    // A read goes off to the file's queue; before its answer is in, the planner's row is ticked here,
    // which writes and reads at once. The answer on its way saw the row before the tick.
    model->familySync().refreshInBackground();
    model->familySync().setDone(model->familyThings(), true);
    ASSERT_TRUE(model->familyThings().front().done);
    bool untickedOnScreen = false;
    QObject::connect(&model->familySync(), &FamilySync::rowsChanged,
                     [&] { untickedOnScreen |= !model->familyThings().front().done; });
    // News while a read is out makes one more read after it, which sees the planner's second row.
    model->familySync().refreshInBackground();
    planner->upsert(plannerRow(QStringLiteral("p2"), QStringLiteral("planned too"), model->todayISO()));
    backgroundReadsDone();
    backgroundReadsDone();

    ASSERT_EQ(model->familyThings().size(), 2u);
    EXPECT_TRUE(model->familyThings().front().done);
    EXPECT_FALSE(untickedOnScreen) << "the older read showed the row as it was before the tick";
}

TEST_F(SyncTest, aPlannerEditOfOneOfManyOfOurRowsIsTakenAndOnlyItIsCompared)
{
    std::vector<Thing*> things;
    for (int i = 0; i < 50; ++i)
        things.push_back(add(QStringLiteral("thing %1").arg(i)));
    mirror();
    model->familySync().refresh(); // every row of ours is new to the comparison
    ASSERT_EQ(model->familySync().lastOwnRowsCompared(), 50);
    planner->setTitle(things[7]->syncID(), QStringLiteral("renamed there"));
    planner->setDone(things[42]->syncID(), true);

    model->familySync().noticed(); // the echo of our mirror
    model->familySync().noticed(); // the planner's
    backgroundReadsDone();
    EXPECT_EQ(things[7]->title(), QStringLiteral("renamed there"));
    EXPECT_TRUE(things[42]->isDone());
    EXPECT_EQ(model->familySync().lastOwnRowsCompared(), 2);

    // A planner whose writes carry one stamp (a coarse clock, or one a little ahead): a second write
    // with the stamp of the first is still news.
    const QDateTime stamp = QDateTime::currentDateTimeUtc().addSecs(3600);
    FamilyStore coarse(h.launch.familyStorePath(), FamilyStore::Mode::ReadWrite, [stamp] { return stamp; });
    coarse.setTitle(things[3]->syncID(), QStringLiteral("first"));
    model->familySync().refresh();
    coarse.setTitle(things[3]->syncID(), QStringLiteral("second, same stamp"));
    model->familySync().refresh();
    EXPECT_EQ(things[3]->title(), QStringLiteral("second, same stamp"));
}

TEST_F(SyncTest, aChangeWaitingForItsMirrorHoldsOnlyItsOwnFieldsAgainstThePlanner)
{
    Thing* ticked = add(QStringLiteral("ticked here"));
    Thing* renamed = add(QStringLiteral("renamed here"));
    Thing* untouched = add(QStringLiteral("untouched here"));
    mirror();
    plannerDidWrite(); // our own echo

    // Given changes here that are not mirrored yet,
    model->toggleDone(*ticked);
    model->rename(*renamed, QStringLiteral("renamed here, again"));
    // when the planner edits the same things and another one, and broadcasts,
    planner->setTitle(ticked->syncID(), QStringLiteral("ticked, retitled there"));
    planner->setSteps(ticked->syncID(), {{QStringLiteral("a step from there"), false}});
    planner->setTitle(renamed->syncID(), QStringLiteral("renamed there"));
    planner->setDone(renamed->syncID(), true);
    planner->setTitle(untouched->syncID(), QStringLiteral("edited there"));
    plannerDidWrite();

    // then each field changed here keeps our value and every other field takes the planner's.
    EXPECT_TRUE(ticked->isDone()) << "a tick is never undone by a broadcast";
    EXPECT_EQ(ticked->title(), QStringLiteral("ticked, retitled there"));
    ASSERT_EQ(ticked->orderedSteps().size(), 1u);
    EXPECT_EQ(renamed->title(), QStringLiteral("renamed here, again")) << "the same field: ours wins";
    EXPECT_TRUE(renamed->isDone()) << "the planner's tick of a thing renamed here";
    EXPECT_TRUE(model->lingering().contains(renamed->id()));
    EXPECT_EQ(untouched->title(), QStringLiteral("edited there"));

    mirror();
    EXPECT_EQ(column(ticked->syncID(), "done").toString(), QStringLiteral("1"));
    EXPECT_EQ(row(ticked->syncID())->title, QStringLiteral("ticked, retitled there"));
    EXPECT_EQ(row(renamed->syncID())->title, QStringLiteral("renamed here, again"));
    EXPECT_EQ(row(untouched->syncID())->title, QStringLiteral("edited there"))
        << "not overwritten by our mirror";

    // Once mirrored, the planner's next edit of that field is taken again.
    planner->setTitle(renamed->syncID(), QStringLiteral("renamed there at last"));
    plannerDidWrite();
    plannerDidWrite();
    EXPECT_EQ(renamed->title(), QStringLiteral("renamed there at last"));

    // Ticking ours together with a planner row reads the file at once; ours stays ticked all the same.
    planner->upsert(plannerRow(QStringLiteral("p1"), QStringLiteral("from there"), model->todayISO()));
    plannerDidWrite();
    model->setDone({RowID::thing(untouched->id()), RowID::shared(QStringLiteral("p1"))}, true);
    EXPECT_TRUE(untouched->isDone());
    EXPECT_EQ(column(QStringLiteral("p1"), "done").toString(), QStringLiteral("1"));
}

TEST_F(SyncTest, theFamilyFileFollowsTheClockAndTodaysOrderOutlivesMidnight)
{
    const auto todayTitles = [this] {
        QStringList out;
        for (const Thing* t : model->visibleThings(Source::today))
            out << t->title();
        return out;
    };
    // Given Today in the user's own order, mirrored, and a thing snoozed until tonight,
    Thing* first = add(QStringLiteral("first"));
    add(QStringLiteral("second"));
    Thing* third = add(QStringLiteral("third"));
    model->beginDrag(RowID::thing(third->id()));
    ASSERT_TRUE(model->drop(0, Source::today));
    Thing* tonight = add(QStringLiteral("tonight"));
    model->snooze({RowID::thing(tonight->id())}, SnoozeOption::tonightIsh, std::nullopt);
    mirror();
    plannerDidWrite();
    ASSERT_FALSE(row(tonight->syncID())->day);

    // when its snooze runs out, the clock's beat alone puts today's day on its row;
    h.clock->set(tonight->snoozedUntil()->addSecs(60));
    model->tick();
    mirror();
    EXPECT_EQ(row(tonight->syncID())->day, QStringLiteral("2026-03-10"));
    const QStringList order = todayTitles();
    ASSERT_EQ(order, (QStringList{"third", "first", "second", "tonight"}));

    // at midnight every Today row is mirrored with the new day,
    h.clock->set(at("Europe/Berlin", "2026-03-11 00:00:30"));
    model->tick();
    mirror();
    EXPECT_EQ(row(first->syncID())->day, QStringLiteral("2026-03-11"));
    // and neither the next broadcast nor a start on a later day moves them.
    planner->upsert(
        plannerRow(QStringLiteral("p1"), QStringLiteral("planned"), QStringLiteral("2026-03-11")));
    plannerDidWrite();
    EXPECT_EQ(todayTitles(), order);
    model.reset();
    h.clock->set(at("Europe/Berlin", "2026-03-13 08:00:00"));
    model = h.start();
    EXPECT_EQ(todayTitles(), order);
}

// A start reads only the rows of ours written since an earlier run compared them, so the planner's edits
// meanwhile are in the first frame; the rest follows in the background, where an edit made under a clock
// set back is taken too. Another file is read whole at once.
TEST_F(SyncTest, aStartReadsTheRowsOfOursWrittenSinceTheLastRunFirstAndAnotherFileWhole)
{
    // In a list, where no new day rewrites them.
    const Pile* work = model->createPile(QStringLiteral("Work"));
    std::vector<QString> ids;
    for (int i = 0; i < 50; ++i)
        ids.push_back(model->add(QStringLiteral("thing %1").arg(i), Source::pile(work->id()))->syncID());
    mirror();
    h.clock->set(at("Europe/Berlin", "2026-03-12 09:30:00"));
    add(QStringLiteral("fresh"));
    mirror();
    model->familySync().refresh();
    ASSERT_EQ(model->familySync().lastOwnRowsCompared(), 51);
    model.reset();

    planner->setTitle(ids[7], QStringLiteral("renamed while closed"));
    const QDateTime hourBefore = at("Europe/Berlin", "2026-03-12 08:30:00");
    FamilyStore slow(h.launch.familyStorePath(), FamilyStore::Mode::ReadWrite, [=] { return hourBefore; });
    slow.setTitle(ids[3], QStringLiteral("renamed by a clock an hour behind"));
    model = h.start();
    EXPECT_EQ(model->familySync().lastOwnRowsCompared(), 1);
    EXPECT_TRUE(h.thingTitled(*model, QStringLiteral("renamed while closed")));
    model->familySync().readWholeIfDue();
    backgroundReadsDone();
    EXPECT_EQ(model->familySync().lastOwnRowsCompared(), 50) << "all but the one compared already";
    EXPECT_TRUE(h.thingTitled(*model, QStringLiteral("renamed by a clock an hour behind")));
    const std::vector<SharedThing> rows = planner->allThings();
    model.reset();

    // The same rows, as old, in another file: none of them was compared there.
    QDir(h.dir.path()).mkpath(QStringLiteral("other"));
    h.launch.sharedDataDir = h.dir.filePath(QStringLiteral("other"));
    const QDateTime old = at("Europe/Berlin", "2026-03-10 09:30:00");
    FamilyStore other(h.launch.familyStorePath(), FamilyStore::Mode::ReadWrite, [=] { return old; });
    other.upsertAll(rows);
    other.setTitle(ids[20], QStringLiteral("renamed in the other file"));
    model = h.start();
    EXPECT_EQ(model->familySync().lastOwnRowsCompared(), 51);
    EXPECT_TRUE(h.thingTitled(*model, QStringLiteral("renamed in the other file")));
}

// Every row of ours read in the background (as after a start) is compared a few milliseconds a turn; an
// edit here meanwhile keeps its field, the planner's edits are all taken, and the mirror waits for them.
TEST_F(SyncTest, aBackgroundReadOfThousandsOfOurRowsIsComparedInTurnsAndTheMirrorWaitsForIt)
{
    std::vector<Thing*> things;
    for (int i = 0; i < 3000; ++i)
        things.push_back(add(QStringLiteral("thing %1").arg(i)));
    mirror();
    planner->setTitle(things.front()->syncID(), QStringLiteral("first, renamed there"));
    planner->setTitle(things.back()->syncID(), QStringLiteral("last, renamed there"));

    model->familySync().refreshInBackground();
    model->familySync().familyStore()->drain();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall); // the read's answer, and a first turn
    const int firstTurn = model->familySync().lastOwnRowsCompared();
    EXPECT_GT(firstTurn, 0);
    EXPECT_LT(firstTurn, 3000) << "all compared in one turn";
    model->rename(*things[1500], QStringLiteral("renamed here meanwhile"));
    h.timers->advance(400); // the mirror's moment: it waits
    EXPECT_EQ(row(things.back()->syncID())->title, QStringLiteral("last, renamed there"));

    for (int i = 0; i < 10000 && model->familySync().lastOwnRowsCompared() < 3000; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(model->familySync().lastOwnRowsCompared(), 3000);
    mirror();
    EXPECT_EQ(things.front()->title(), QStringLiteral("first, renamed there"));
    EXPECT_EQ(things.back()->title(), QStringLiteral("last, renamed there"));
    EXPECT_EQ(row(things.back()->syncID())->title, QStringLiteral("last, renamed there"));
    EXPECT_EQ(row(things[1500]->syncID())->title, QStringLiteral("renamed here meanwhile"));
}

// Reads while a mirror waits for its moment don't push that moment back: a planner writing every
// 100 ms would otherwise keep our changes out of the file for as long as it writes.
TEST_F(SyncTest, aPlannerWritingSteadilyNeverHoldsBackOurMirror)
{
    Thing* ours = add(QStringLiteral("ours"));
    mirror();
    model->rename(*ours, QStringLiteral("renamed here"));
    for (int i = 0; i < 3; ++i) {
        h.timers->advance(100);
        planner->upsert(
            plannerRow(QStringLiteral("p%1").arg(i), QStringLiteral("planned"), model->todayISO()));
        plannerDidWrite();
    }
    QSignalSpy mirrored(model.get(), &AppModel::mirrored);
    h.timers->advance(100); // the 400 ms since our change are up
    ASSERT_TRUE(mirrored.count() > 0 || mirrored.wait(5000)) << "the reads put the mirror off";
    EXPECT_EQ(row(ours->syncID())->title, QStringLiteral("renamed here"));
}

TEST_F(SyncTest, thePlannersRenamesAndDaysReachOurThings)
{
    Thing* renamed = add(QStringLiteral("a"));
    Thing* blanked = add(QStringLiteral("b"));
    Thing* later = add(QStringLiteral("later one"));
    Thing* back = add(QStringLiteral("back to today"));
    Thing* last = add(QStringLiteral("last in today"));
    model->snooze({RowID::thing(later->id()), RowID::thing(back->id())}, SnoozeOption::someday, std::nullopt);
    mirror();
    plannerDidWrite();

    planner->setTitle(renamed->syncID(), QStringLiteral("  A, renamed  "));
    planner->setTitle(blanked->syncID(), QStringLiteral("   "));
    planner->setDay(later->syncID(), QStringLiteral("2026-03-14"));
    planner->setDay(back->syncID(), QStringLiteral("2026-03-01"));
    plannerDidWrite();

    EXPECT_EQ(renamed->title(), QStringLiteral("A, renamed"));
    EXPECT_EQ(blanked->title(), QStringLiteral("b")) << "a blank remote title is ignored";
    EXPECT_EQ(later->snoozedUntil(), at("Europe/Berlin", "2026-03-14 00:00:00"));
    EXPECT_EQ(model->source(*back), Source::today);
    const std::vector<Thing*> today = model->visibleThings(Source::today);
    ASSERT_FALSE(today.empty());
    EXPECT_EQ(today.back(), back) << "a past day moves the thing to the end of Today";
    EXPECT_GT(back->sortKey(), last->sortKey());
}

TEST_F(SyncTest, aPlannersTitleForOurThingIsTakenAsOneLineAndNeverPastTheLimit)
{
    Thing* multi = add(QStringLiteral("a"));
    Thing* huge = add(QStringLiteral("b"));
    mirror();
    plannerDidWrite();

    planner->setTitle(multi->syncID(), QStringLiteral("two\nlines\x1b]0;x\x07"));
    planner->setTitle(huge->syncID(), QString(10 << 20, u'x'));
    plannerDidWrite();
    EXPECT_EQ(multi->title(), QStringLiteral("two lines]0;x"));
    EXPECT_EQ(huge->title(), QStringLiteral("b")) << "too long to take";
    mirror();
    EXPECT_EQ(column(multi->syncID(), "title"), QStringLiteral("two lines]0;x"))
        << "our row says what we show";
}

TEST_F(SyncTest, thePlannersDeletionsRemoveOurThingsAndUndoBringsThemBack)
{
    Thing* a = add(QStringLiteral("a"));
    Thing* b = add(QStringLiteral("b"));
    const QString idA = a->syncID(), idB = b->syncID();
    const RecordId recordA = a->id();
    model->select(RowID::thing(recordA));
    mirror();
    plannerDidWrite();
    test::drainEvents();

    planner->markDeleted(idA, QString(kPlannerApp));
    planner->markDeleted(idB, QString(kPlannerApp));
    plannerDidWrite();

    EXPECT_EQ(model->store().thingCount(), 0);
    EXPECT_EQ(model->toast(), QStringLiteral("2 deleted in Vorn Planner. Ctrl+Z if that was a mistake."));
    EXPECT_FALSE(model->selection().contains(RowID::thing(recordA)));
    EXPECT_FALSE(column(idA, "deleted_by").isValid()) << "the deletion is acknowledged";
    EXPECT_TRUE(planner->deletedByOthers(kTodoApp).empty());

    test::drainEvents();
    model->store().undoManager().undo();
    EXPECT_EQ(model->store().thingCount(), 2);
    mirror();
    EXPECT_TRUE(row(idA)) << "a restored thing revives its row under its old id";
    EXPECT_EQ(column(idA, "deleted").toString(), QStringLiteral("0"));
}

TEST_F(SyncTest, oneDeletionReadsInTheSingular)
{
    Thing* a = add(QStringLiteral("a"));
    mirror();
    plannerDidWrite();
    planner->markDeleted(a->syncID(), QString(kPlannerApp));
    plannerDidWrite();
    EXPECT_EQ(model->toast(), QStringLiteral("Deleted in Vorn Planner. Ctrl+Z if that was a mistake."));
}

TEST_F(SyncTest, thePlannersStepsAndNoteReplaceOurs)
{
    Thing* t = add(QStringLiteral("with steps"));
    for (const char* title : {"one", "two", "three"})
        model->store().insert(Step::make(QString::fromLatin1(title), t, now()));
    mirror();
    plannerDidWrite();

    planner->setSteps(t->syncID(), {{QStringLiteral("ONE"), true}, {QStringLiteral("two"), false}});
    planner->setNote(t->syncID(), std::nullopt, QStringLiteral("a note from there"));
    plannerDidWrite();
    std::vector<Step*> steps = t->orderedSteps();
    ASSERT_EQ(steps.size(), 2u) << "surplus local steps go";
    EXPECT_EQ(steps[0]->title(), QStringLiteral("ONE"));
    EXPECT_TRUE(steps[0]->isDone());
    EXPECT_EQ(t->note(), QStringLiteral("a note from there"));

    planner->setSteps(t->syncID(), {{QStringLiteral("ONE"), true},
                                    {QStringLiteral("two"), false},
                                    {QStringLiteral("new"), true},
                                    {QStringLiteral("newer"), false}});
    plannerDidWrite();
    steps = t->orderedSteps();
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[2]->title(), QStringLiteral("new"));
    EXPECT_TRUE(steps[2]->isDone());
    EXPECT_EQ(steps[3]->title(), QStringLiteral("newer"));
}

TEST_F(SyncTest, editsOfPlannerRowsGoStraightIntoTheFile)
{
    planner->upsert(plannerRow(QStringLiteral("p1"), QStringLiteral("book flights"), model->todayISO()));
    planner->upsert(plannerRow(QStringLiteral("p2"), QStringLiteral("pack"), model->todayISO()));
    plannerDidWrite();
    ASSERT_EQ(model->familyThings().size(), 2u);

    model->setDone({RowID::shared(QStringLiteral("p1"))}, true);
    EXPECT_EQ(column(QStringLiteral("p1"), "done").toString(), QStringLiteral("1"));
    EXPECT_TRUE(model->lingeringShared().contains(QStringLiteral("p1")));
    EXPECT_EQ(model->rows(Source::today, true).size(), 2u) << "a ticked family row lingers";
    EXPECT_TRUE(model->familySync().ownChangePending());

    model->familySync().rename(*model->sharedThing(QStringLiteral("p2")), QStringLiteral("  pack light "));
    EXPECT_EQ(column(QStringLiteral("p2"), "title").toString(), QStringLiteral("pack light"));
    model->toggleExternal(*model->sharedThing(QStringLiteral("p1")));
    EXPECT_EQ(column(QStringLiteral("p1"), "done").toString(), QStringLiteral("0"));

    model->remove({RowID::shared(QStringLiteral("p2"))}, std::nullopt);
    EXPECT_EQ(model->toast(), QStringLiteral("Deleted. Gone from Vorn Planner too."));
    EXPECT_EQ(column(QStringLiteral("p2"), "deleted_by").toString(), QStringLiteral("todo"));
    EXPECT_EQ(model->familyThings().size(), 1u);
}

TEST_F(SyncTest, aPlannerRowsNoteIsRemovedWhenEmptyAndKeepsItsTextWhenItsFileCantBeWritten)
{
    planner->upsert(plannerRow(QStringLiteral("p1"), QStringLiteral("noted"), model->todayISO()));
    plannerDidWrite();
    model->familySync().saveNote(QStringLiteral("p1"), QByteArray("{\\rtf1 hello}"), QStringLiteral("hello"));
    const QString stem = column(QStringLiteral("p1"), "note_id").toString();
    ASSERT_FALSE(stem.isEmpty());
    const QString file = QDir(model->notesDir()).filePath(stem + QStringLiteral(".rtf"));
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(column(QStringLiteral("p1"), "note_plain").toString(), QStringLiteral("hello"));

    model->familySync().saveNote(QStringLiteral("p1"), std::nullopt, QStringLiteral("  "));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(column(QStringLiteral("p1"), "note_id").isValid());

    // A notes folder that can't be written (a file in its place): the row stays as it was, and the text
    // waits to be written, opening as typed.
    ASSERT_TRUE(QDir(model->notesDir()).removeRecursively());
    QFile blocker(model->notesDir());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    model->familySync().saveNote(QStringLiteral("p1"), QByteArray("{\\rtf1 typed}"), QStringLiteral("typed"));
    EXPECT_EQ(model->toast(), QStringLiteral("Couldn't save the note."));
    EXPECT_EQ(column(QStringLiteral("p1"), "note_plain").toString(), QString());
    EXPECT_FALSE(column(QStringLiteral("p1"), "note_id").isValid());
    EXPECT_EQ(model->familySync().noteContent(QStringLiteral("p1")).plain, QStringLiteral("typed"));
}

TEST_F(SyncTest, externalOrderForgetsRowsThatAreGone)
{
    planner->upsert(plannerRow(QStringLiteral("p1"), QStringLiteral("stays"), model->todayISO()));
    planner->upsert(plannerRow(QStringLiteral("p2"), QStringLiteral("goes"), model->todayISO()));
    plannerDidWrite();
    model->beginDrag(RowID::shared(QStringLiteral("p2")));
    ASSERT_TRUE(model->drop(0, Source::today));
    ASSERT_EQ(model->externalOrder().size(), 2);

    planner->markDeleted(QStringLiteral("p2"), std::nullopt);
    plannerDidWrite();
    EXPECT_EQ(model->externalOrder().keys(), QStringList{QStringLiteral("p1")});
    EXPECT_EQ(Settings(h.launch.settingsPath).mapValue(kOrderOtherAppsKey).keys(),
              QStringList{QStringLiteral("p1")});
}

TEST(SyncOff, aModelThatDoesntSyncNeverTouchesTheFamily)
{
    ModelHarness h;
    h.launch.syncsToFamily = std::nullopt;
    h.launch.environment.insert(kTestHarnessVariable, QStringLiteral("x"));
    auto model = h.start();
    EXPECT_FALSE(model->familySync().familyStore());
    model->add(QStringLiteral("t"), Source::today);
    EXPECT_FALSE(model->familySync().isPending());
    EXPECT_FALSE(QFile::exists(h.launch.familyStorePath()));
}

TEST(SyncDemo, theDemoPlannerRowShowsInToday)
{
    ModelHarness h;
    h.demo();
    h.launch.syncsToFamily = std::nullopt;
    h.launch.environment.insert(kFamilyDbVariable, h.dir.filePath(QStringLiteral("demo-family.db")));
    auto model = h.start();
    ASSERT_EQ(model->familyThings().size(), 1u);
    EXPECT_EQ(model->familyThings()[0].id, QStringLiteral("demo-planner-1"));
    const std::vector<ListRow> rows = model->rows(Source::today, true);
    EXPECT_EQ(rows.back().sharedThing()->title, QStringLiteral("book flights (from planner)"));
    EXPECT_TRUE(QFile::exists(h.dir.filePath(QStringLiteral("demo-family.db"))));
}

TEST_F(SyncTest, aPlannerNoteIdThatIsAPathIsNeverFollowed)
{
    const QString outside = QDir(model->notesDir()).filePath(QStringLiteral("../evil.rtf"));
    QFile planted(outside);
    ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
    planted.write("{\\rtf1 keep me}");
    planted.close();
    SharedThing row = plannerRow(QStringLiteral("p1"), QStringLiteral("sneaky"), model->todayISO());
    row.noteID = QStringLiteral("../evil");
    row.note = QStringLiteral("old");
    planner->upsert(row);
    plannerDidWrite();

    model->familySync().saveNote(QStringLiteral("p1"), QByteArray("{\\rtf1 new}"), QStringLiteral("new"));
    const QString stem = column(QStringLiteral("p1"), "note_id").toString();
    EXPECT_NE(stem, QStringLiteral("../evil"));
    EXPECT_TRUE(QFile::exists(QDir(model->notesDir()).filePath(stem + QStringLiteral(".rtf"))));
    model->familySync().saveNote(QStringLiteral("p1"), std::nullopt, QString());
    ASSERT_TRUE(planted.open(QIODevice::ReadOnly));
    EXPECT_EQ(planted.readAll(), QByteArray("{\\rtf1 keep me}"))
        << "a file outside the notes folder is untouched";
}

TEST(SyncBroken, aFamilyFileThatIsNotADatabaseLeavesTheAppWorking)
{
    ModelHarness h;
    h.launch.syncsToFamily = std::nullopt;
    h.launch.intervals.syncDebounceMSecs = 20;
    ASSERT_TRUE(QDir().mkpath(h.launch.sharedDataDir));
    QFile junk(h.launch.familyStorePath());
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    const QByteArray bytes(5000, '\x42');
    junk.write(bytes);
    junk.close();

    auto model = h.start();
    ASSERT_TRUE(model->familySync().familyStore());
    EXPECT_TRUE(model->familySync().familyStore()->openError());
    model->add(QStringLiteral("still works"), Source::today);
    model->familySync().flush();
    EXPECT_EQ(model->visibleThings(Source::today).size(), 1u);
    EXPECT_TRUE(model->familyThings().empty());
    ASSERT_TRUE(junk.open(QIODevice::ReadOnly));
    EXPECT_EQ(junk.readAll(), bytes) << "the file is never overwritten";
}

TEST_F(SyncTest, aChangeMadeStraightInTheStoreReachesTheFamilyFile)
{
    // No operation of the model runs here: the store's change feed alone has to bring each edit into
    // the file, as the planner reads it through a connection of its own.
    Thing* t = add(QStringLiteral("written"));
    mirror();
    Store& store = model->store();
    QString bornID;
    struct Case {
        const char* what;
        std::function<void()> edit;
        std::function<void()> check;
    };
    const std::vector<Case> cases = {
        {"a rename", [&] { t->setTitle(QStringLiteral("renamed in the store")); },
         [&] { EXPECT_EQ(row(t->syncID())->title, QStringLiteral("renamed in the store")); }},
        {"a new step", [&] { store.insert(Step::make(QStringLiteral("a step"), t, now())); },
         [&] {
             ASSERT_EQ(row(t->syncID())->steps.size(), 1u);
             EXPECT_EQ(row(t->syncID())->steps[0].title, QStringLiteral("a step"));
         }},
        {"a snooze", [&] { t->setSnoozedUntil(now().addDays(2)); },
         [&] { EXPECT_FALSE(row(t->syncID())->day); }},
        {"a new thing", [&] { bornID = store.insert(Thing::make(QStringLiteral("born"), now()))->syncID(); },
         [&] {
             ASSERT_TRUE(row(bornID));
             EXPECT_EQ(row(bornID)->day, QStringLiteral("2026-03-10"));
         }},
        {"a delete", [&] { store.remove(store.thing(t->id())); },
         [&] { EXPECT_EQ(column(t->syncID(), "deleted").toString(), QStringLiteral("1")); }},
        {"its undo", [&] { store.undoManager().undo(); },
         [&] {
             ASSERT_TRUE(row(t->syncID()));
             EXPECT_EQ(row(t->syncID())->title, QStringLiteral("renamed in the store"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::drainEvents(); // each edit its own turn, and its own undo step
        c.edit();
        EXPECT_TRUE(model->familySync().isPending());
        mirror();
        c.check();
    }
}
