#include "family/FamilyConstants.h"
#include "faults/FaultVfs.h"
#include "support/ModelHarness.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace vorn;
using vorn::test::FaultVfs;
using vorn::test::ModelHarness;

namespace {

const QString kSaveToast = QStringLiteral("Couldn't save your things. I'll keep trying.");
constexpr int kLongestRetryMSecs = 60000;

// What a reader of the store file finds: each thing with the fields the day touches, in sort order.
QStringList describe(const std::vector<Thing*>& things)
{
    QStringList out;
    for (const Thing* t : things) {
        QStringList steps;
        for (const Step* s : t->orderedSteps())
            steps << s->title() + (s->isDone() ? QStringLiteral("+") : QString());
        out << QStringList{t->title(),
                           t->isDone() ? QStringLiteral("done") : QStringLiteral("open"),
                           t->snoozedUntil() ? t->snoozedUntil()->toString(Qt::ISODate) : QString(),
                           QString::number(t->zCount()),
                           QString::number(t->sortKey()),
                           t->note(),
                           steps.join(QLatin1Char(','))}
                   .join(QLatin1Char('|'));
    }
    return out;
}

// Lists compared as text, so a failure shows the lines.
std::string lines(const QStringList& list)
{
    return list.join(QLatin1Char('\n')).toStdString();
}

QStringList storedThings(const QString& path)
{
    QString error;
    const std::unique_ptr<Store> store = Store::open(path, &error, Store::Mode::ReadOnly);
    if (!store)
        return {QStringLiteral("unreadable: ") + error};
    return describe(store->thingsBySortKey());
}

QStringList familyRows(const QString& path)
{
    FamilyStore family(path, FamilyStore::Mode::ReadOnly);
    QStringList out;
    for (const SharedThing& r : family.allThings()) {
        if (r.sourceApp == kTodoApp)
            out << QStringList{r.title, QString::number(r.done), r.day.value_or(QString()), r.note,
                               encodeSteps(r.steps)}
                       .join(QLatin1Char('|'));
    }
    out.sort();
    return out;
}

QString integrity(const QString& path)
{
    sqlite3* db = nullptr;
    QString answer = QStringLiteral("can't open");
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            answer = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return answer;
}

struct FaultCase {
    const char* name;
    FaultVfs::Op op;
    bool sticky;
    int code;
    const char* file; // which file's calls are counted and fail
    int toasts;       // how often the user hears of it
    friend void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }
};

struct DayRun {
    QStringList shown;             // what the model shows at the end of the day
    int toasts = 0;                // times the save toast appeared
    int saveFailures = 0;          // saves the store reported failed
    int faults = 0;                // calls the VFS failed
    QStringList onDiskWhileBroken; // the store file, read before the retry
    QStringList storedAfterRetry;  // the store file once the retry ran with the disk working again
    QStringList reopened;          // the store file after quitting
    QStringList family;            // our rows in the family file after quitting
    QString familyIntegrity;
    QStringList familyWhileBroken;
    QList<QStringList> savePoints;      // the store file after each save (a run without faults)
    QList<QStringList> mirrorPoints;    // our family rows after each mirror (a run without faults)
    int callsInDay = 0, callsInAll = 0; // the counted calls, during the day and up to the end
};

class SaveFaultTest : public ::testing::TestWithParam<FaultCase> {
protected:
    // A day of use, with `fault` armed from its first edit on. The fault is lifted after the day for a
    // retry to run, or, for faults meant to hit the quit too, only after quitting.
    DayRun liveADay(const std::optional<FaultVfs::Fault>& fault, bool liftBeforeQuit, bool recordSavePoints)
    {
        ModelHarness h;
        h.launch.syncsToFamily = true;
        h.manualTimers();
        std::unique_ptr<AppModel> model = h.start();
        const QString storePath = h.launch.storePath();
        const QString familyPath = h.launch.familyStorePath();
        EXPECT_TRUE(model->familySync().familyStore()->isOpen());
        model->familySync().flush();

        DayRun run;
        QObject::connect(model.get(), &AppModel::changed, model.get(), [&](AppModel::Field f) {
            if (f == AppModel::Field::toast && model->toast() == kSaveToast)
                ++run.toasts;
        });
        QObject::connect(&model->store(), &Store::saveFailed, model.get(), [&] { ++run.saveFailures; });
        const FaultCase& c = GetParam();
        if (recordSavePoints) {
            run.savePoints << storedThings(storePath); // nothing saved yet
            run.mirrorPoints << familyRows(familyPath);
        }
        if (fault)
            FaultVfs::arm(*fault);
        else
            FaultVfs::resetCounts(QString::fromLatin1(c.file));

        // What the autosave does a second after the last change, then the family mirror's debounce; the
        // save retry comes due as the time goes on, as it would.
        auto settle = [&] {
            test::drainEvents();
            model->store().save();
            if (recordSavePoints)
                run.savePoints << storedThings(storePath);
            h.timers->advance(400);
            model->familySync().flush();
            if (recordSavePoints)
                run.mirrorPoints << familyRows(familyPath);
            model->familySync().refresh(); // the planner wrote something: its edits are read
        };
        // Things are held by their ids: a title taken back by a stale read must fail the comparison at the
        // end, not the lookup here.
        auto add = [&](const char* title) {
            return model->add(QString::fromUtf8(title), Source::today)->id();
        };
        auto thing = [&](RecordId id) -> Thing& { return *model->store().thing(id); };
        const RecordId stamps = add("Buy stamps");
        const RecordId mum = add("Call Mum");
        const RecordId plants = add("Water the plants");
        settle();
        model->rename(thing(mum), QStringLiteral("Call Mum back"));
        settle();
        model->snooze({RowID::thing(plants)}, SnoozeOption::tomorrow, std::nullopt);
        settle();
        Step* wallet = model->addStep(thing(stamps), QStringLiteral("find the wallet"));
        model->addStep(thing(stamps), QStringLiteral("walk to the post office"));
        settle();
        model->toggleStep(*wallet);
        settle();
        model->saveNote(mum, std::nullopt, QStringLiteral("ask about Sunday"));
        settle();
        model->toggleDone(thing(stamps));
        settle();
        model->undo();
        settle();
        const RecordId shelf = add("Fix the shelf");
        settle();
        model->remove({RowID::thing(shelf)}, std::nullopt);
        settle();
        h.clock->advance(24 * 3600); // the next morning: the snooze runs out, yesterday's things roll over
        model->tick();
        settle();

        run.callsInDay = FaultVfs::count(c.op);
        run.faults = FaultVfs::failures();
        run.shown = describe(model->allThings());
        if (liftBeforeQuit) {
            FaultVfs::clear();
            run.onDiskWhileBroken = storedThings(storePath);
            run.familyWhileBroken = familyRows(familyPath);
            h.timers->advance(kLongestRetryMSecs);
            model->familySync().flush();
            run.storedAfterRetry = storedThings(storePath);
        }
        model.reset();
        run.callsInAll = FaultVfs::count(c.op);
        run.faults = FaultVfs::failures();
        FaultVfs::clear();
        run.reopened = storedThings(storePath);
        run.family = familyRows(familyPath);
        run.familyIntegrity = integrity(familyPath);
        return run;
    }

    FaultVfs::Installed vfs;
};

} // namespace

// For every call of the kind the case names, in turn: that call fails (and, when sticky, every one after
// it until the disk works again). Nothing typed is lost, the user hears of it as often as the case says,
// the file holds all of a save or none of it meanwhile, and everything is stored once the disk works.
TEST_P(SaveFaultTest, aDayOfUseLosesNothingWhicheverCallFails)
{
    const FaultCase& c = GetParam();
    // Write faults are lifted for the retry; sync faults also reach the checkpoints made at quitting.
    const bool liftBeforeQuit = c.op == FaultVfs::Op::Write;
    // The readers of the save points open files too; only where those are compared.
    const DayRun clean = liveADay(std::nullopt, liftBeforeQuit, liftBeforeQuit);
    ASSERT_EQ(clean.toasts, 0);
    ASSERT_EQ(lines(clean.reopened), lines(clean.shown));
    ASSERT_EQ(clean.shown.size(), 3) << clean.shown.join(QLatin1Char('\n')).toStdString();
    const int calls = liftBeforeQuit ? clean.callsInDay : clean.callsInAll;
    ASSERT_GT(calls, 0) << "the day makes no call of this kind on " << c.file;

    for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE(testing::Message() << c.name << ": call " << n << " of " << calls);
        FaultVfs::Fault fault;
        fault.op = c.op;
        fault.nth = n;
        fault.sticky = c.sticky;
        fault.code = c.code;
        fault.fileFilter = QString::fromLatin1(c.file);
        const DayRun run = liveADay(fault, liftBeforeQuit, false);
        ASSERT_GT(run.faults, 0) << "the fault never struck; calls " << run.callsInDay << ", "
                                 << run.callsInAll;
        EXPECT_EQ(lines(run.shown), lines(clean.shown)) << "the model lost an edit";
        EXPECT_EQ(run.toasts, c.toasts)
            << "told " << run.toasts << " times of " << run.saveFailures << " failed saves";
        if (c.toasts > 0)
            EXPECT_GT(run.saveFailures, 0);
        else
            EXPECT_EQ(run.saveFailures, 0) << "a fault elsewhere stopped the local store saving";
        if (liftBeforeQuit) {
            EXPECT_TRUE(clean.savePoints.contains(run.onDiskWhileBroken))
                << "half a save on disk:\n"
                << run.onDiskWhileBroken.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(clean.mirrorPoints.contains(run.familyWhileBroken))
                << "half a mirror in the family file:\n"
                << run.familyWhileBroken.join(QLatin1Char('\n')).toStdString();
            EXPECT_EQ(lines(run.storedAfterRetry), lines(clean.shown));
        }
        EXPECT_EQ(lines(run.reopened), lines(clean.shown));
        EXPECT_EQ(run.familyIntegrity, QStringLiteral("ok"));
        EXPECT_EQ(lines(run.family), lines(clean.family));
        if (HasFailure())
            break; // one N's story is enough to read
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachCall, SaveFaultTest,
    ::testing::Values(FaultCase{"storeWriteOnce", FaultVfs::Op::Write, false, SQLITE_IOERR_WRITE,
                                "store.sqlite", 1},
                      FaultCase{"storeDiskFull", FaultVfs::Op::Write, true, SQLITE_FULL, "store.sqlite", 1},
                      FaultCase{"familyDiskFull", FaultVfs::Op::Write, true, SQLITE_FULL, "family.db", 0},
                      FaultCase{"anySync", FaultVfs::Op::Sync, true, SQLITE_IOERR_FSYNC, "", 0}),
    [](const ::testing::TestParamInfo<FaultCase>& p) { return std::string(p.param.name); });

namespace {

struct FolderCase {
    const char* name;
    bool readOnly; // the folder made again takes no new files until the test lets it
    friend void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }
};

class VanishingFolderTest : public ::testing::TestWithParam<FolderCase> {
protected:
    FaultVfs::Installed vfs;
};

} // namespace

// The store's folder is deleted while the app runs. Saving on would write into a file nobody can open
// again; instead the store starts a new file in its place with everything in it. When the folder takes
// no new files (read-only; the tests run as root, so every open is failed instead), the user hears of it
// once and the retry writes everything once it does.
TEST_P(VanishingFolderTest, everythingIsWrittenAgainIntoANewFile)
{
    ModelHarness h;
    h.manualTimers();
    std::unique_ptr<AppModel> model = h.start();
    const QString storePath = h.launch.storePath();
    int toasts = 0;
    QObject::connect(model.get(), &AppModel::changed, model.get(), [&](AppModel::Field f) {
        if (f == AppModel::Field::toast && model->toast() == kSaveToast)
            ++toasts;
    });
    model->add(QStringLiteral("Buy stamps"), Source::today);
    model->add(QStringLiteral("Call Mum"), Source::today);
    ASSERT_TRUE(model->store().save());

    ASSERT_TRUE(QDir(h.launch.appDataDir).removeRecursively());
    if (GetParam().readOnly)
        FaultVfs::arm({FaultVfs::Op::Open, 1, true, 0, QStringLiteral("store.sqlite")});
    model->rename(*h.thingTitled(*model, QStringLiteral("Call Mum")), QStringLiteral("Call Mum back"));
    model->add(QStringLiteral("Water the plants"), Source::today);
    test::drainEvents();
    EXPECT_EQ(model->store().save(), !GetParam().readOnly);
    model->add(QStringLiteral("Fix the shelf"), Source::today);
    test::drainEvents();
    model->store().save();
    EXPECT_EQ(toasts, GetParam().readOnly ? 1 : 0);

    FaultVfs::clear();
    h.timers->advance(kLongestRetryMSecs);
    EXPECT_FALSE(model->store().hasChanges()) << "the retry never wrote";
    const QStringList shown = describe(model->allThings());
    ASSERT_EQ(shown.size(), 4);
    EXPECT_EQ(lines(storedThings(storePath)), lines(shown));
    model.reset();
    EXPECT_EQ(lines(storedThings(storePath)), lines(shown));
}

INSTANTIATE_TEST_SUITE_P(Folder, VanishingFolderTest,
                         ::testing::Values(FolderCase{"deleted", false},
                                           FolderCase{"deletedAndReadOnly", true}),
                         [](const ::testing::TestParamInfo<FolderCase>& p) {
                             return std::string(p.param.name);
                         });

// The family file refuses our writes for a while. The mirror tries again after the save's first wait, then
// twice as long after each further refusal; once the file takes writes again every thing is in it, no retry
// waits, and the next refusal waits the first time again.
TEST(MirrorFaultTest, aRefusedMirrorIsTriedAgainLaterEachTimeUntilTheFileTakesIt)
{
    FaultVfs::Installed vfs;
    ModelHarness h;
    h.manualTimers();
    h.launch.syncsToFamily = true;
    std::unique_ptr<AppModel> model = h.start();
    FamilySync& sync = model->familySync();
    ASSERT_TRUE(sync.familyStore() && sync.familyStore()->isOpen());
    sync.flush(); // the start-up mirror
    // Whether a mirror was tried (and refused) since the last look: its writes are on the file's queue.
    int refused = 0;
    const auto tried = [&] {
        sync.familyStore()->drain();
        QCoreApplication::sendPostedEvents();
        const bool any = FaultVfs::failures() > refused;
        refused = FaultVfs::failures();
        return any;
    };
    const auto refuseFamilyWrites = [&] {
        FaultVfs::arm({FaultVfs::Op::Write, 1, true, 0, QStringLiteral("family.db")});
        refused = 0;
    };

    refuseFamilyWrites();
    model->add(QStringLiteral("Buy stamps"), Source::today);
    test::drainEvents();
    h.timers->advance(400); // the debounce
    ASSERT_TRUE(tried()) << "the first mirror met the fault";
    const int first = h.launch.intervals.saveRetryMSecs;
    for (const int wait : {first, 2 * first, 4 * first}) {
        SCOPED_TRACE(wait);
        h.timers->advance(wait - 1);
        EXPECT_FALSE(tried()) << "too early";
        h.timers->advance(1);
        EXPECT_TRUE(tried()) << "the retry came due";
        EXPECT_TRUE(sync.isPending());
    }

    FaultVfs::clear();
    h.timers->advance(8 * first);
    sync.familyStore()->drain();
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(sync.isPending());
    EXPECT_FALSE(h.timers->isActive(QStringLiteral("sync retry")));
    QStringList titles;
    for (const SharedThing& r :
         FamilyStore(h.launch.familyStorePath(), FamilyStore::Mode::ReadOnly).allThings())
        titles << r.title;
    EXPECT_EQ(titles, QStringList{QStringLiteral("Buy stamps")});

    refuseFamilyWrites();
    model->add(QStringLiteral("Call Mum"), Source::today);
    test::drainEvents();
    h.timers->advance(400);
    ASSERT_TRUE(tried());
    h.timers->advance(first - 1);
    EXPECT_FALSE(tried());
    h.timers->advance(1);
    EXPECT_TRUE(tried()) << "after a mirror got through, the first wait again";
    FaultVfs::clear();
}
