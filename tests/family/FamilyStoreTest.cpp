#include "family/FamilyStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimeZone>
#include <QVariant>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

// Readable failure messages for Qt values.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QVariant& v, std::ostream* os)
{
    *os << (v.isValid() ? v.toString().toStdString() : "NULL");
}

using namespace vorn;
using Mode = FamilyStore::Mode;

namespace {

const QDateTime kT0(QDate(2026, 3, 10), QTime(9, 30), Qt::UTC);
constexpr int kWeek = 604800;

double seconds(const QDateTime& t)
{
    return double(t.toMSecsSinceEpoch()) / 1000.0;
}

// A second connection to the file, to see what was really stored.
class RawDb {
public:
    explicit RawDb(const QString& path)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_busy_timeout(m_db, 5000);
    }
    ~RawDb() { sqlite3_close(m_db); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    void exec(const QString& sql)
    {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error), SQLITE_OK)
            << sql.toStdString() << ": " << (error ? error : "");
        sqlite3_free(error);
    }
    // The first column of the first row; invalid for NULL or no row.
    QVariant value(const QString& sql)
    {
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &s, nullptr), SQLITE_OK)
            << sqlite3_errmsg(m_db);
        QVariant v;
        if (s && sqlite3_step(s) == SQLITE_ROW) {
            switch (sqlite3_column_type(s, 0)) {
            case SQLITE_INTEGER:
                v = qlonglong(sqlite3_column_int64(s, 0));
                break;
            case SQLITE_FLOAT:
                v = sqlite3_column_double(s, 0);
                break;
            case SQLITE_TEXT:
                v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
                break;
            default:
                break;
            }
        }
        sqlite3_finalize(s);
        return v;
    }
    QVariant column(const QString& id, const char* column)
    {
        return value(
            QStringLiteral("SELECT %1 FROM things WHERE id = '%2'").arg(QLatin1StringView(column), id));
    }

private:
    sqlite3* m_db = nullptr;
};

SharedThing sample(const QString& id)
{
    return {id,
            QStringLiteral("Buy \"oat\" milk"),
            false,
            QStringLiteral("2026-03-10"),
            2,
            {{QStringLiteral("shop"), true}, {QStringLiteral("pay"), false}},
            QStringLiteral("note\nline"),
            QStringLiteral("N-1"),
            std::nullopt,
            QStringLiteral("todo"),
            0};
}

// Every file in a folder with its bytes.
std::map<QString, QByteArray> snapshot(const QString& folder)
{
    std::map<QString, QByteArray> files;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile f(info.filePath());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        files[info.fileName()] = f.readAll();
    }
    return files;
}

class FamilyStoreTest : public ::testing::Test {
protected:
    std::unique_ptr<FamilyStore> open(Mode mode = Mode::ReadWrite)
    {
        return std::make_unique<FamilyStore>(path, mode, [this] { return now; });
    }
    // Advances the clock and returns the new time as stored in updated_at.
    double tick(int secs = 60)
    {
        now = now.addSecs(secs);
        return seconds(now);
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Vorn/family/family.db"));
    QDateTime now = kT0;
};

TEST_F(FamilyStoreTest, openCreatesFolderAndExactSchemaAndReopenKeepsIt)
{
    const QString expectedTable = QStringLiteral(
        "CREATE TABLE things (\n    id TEXT PRIMARY KEY,\n    title TEXT NOT NULL,\n"
        "    done INTEGER NOT NULL DEFAULT 0,\n    due_day TEXT,\n    zs INTEGER NOT NULL DEFAULT 0,\n"
        "    steps_json TEXT NOT NULL DEFAULT '[]',\n    note_plain TEXT NOT NULL DEFAULT '',\n    note_id "
        "TEXT,\n"
        "    link TEXT,\n    source_app TEXT NOT NULL,\n    updated_at REAL NOT NULL,\n"
        "    deleted INTEGER NOT NULL DEFAULT 0\n, deleted_by TEXT)");
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "first open" : "reopen");
        {
            auto store = open();
            EXPECT_FALSE(store->openError().has_value());
            EXPECT_TRUE(store->isOpen());
        }
        RawDb raw(path);
        EXPECT_EQ(raw.value(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'things'")),
                  expectedTable);
        EXPECT_EQ(raw.value(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'idx_things_due'")),
                  QStringLiteral("CREATE INDEX idx_things_due ON things(due_day)"));
        EXPECT_EQ(raw.value(QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));
    }
}

TEST_F(FamilyStoreTest, unusablePathReportsErrorAndAnswersEmpty)
{
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    for (const QString& bad : {dir.filePath(QStringLiteral("blocker/family.db")), dir.path()}) {
        SCOPED_TRACE(bad.toStdString());
        FamilyStore store(bad);
        ASSERT_TRUE(store.openError().has_value());
        EXPECT_FALSE(store.openError()->isEmpty());
        EXPECT_FALSE(store.isOpen());
        store.upsert(sample(QStringLiteral("a")));
        store.markDeleted(QStringLiteral("a"), QStringLiteral("planner"));
        EXPECT_TRUE(store.allThings().empty());
        EXPECT_TRUE(store.deletedByOthers(QStringLiteral("todo")).empty());
        EXPECT_EQ(store.writes(), 0);
    }
}

TEST_F(FamilyStoreTest, fileThatIsNotADatabaseIsReportedAndLeftByteIdentical)
{
    const QByteArray notes = QByteArray("shopping list\n").repeated(300);
    const QByteArray badHeader = QByteArray("SQLite format 3", 16) + QByteArray(4080, '\xff');
    for (const QByteArray& content : {notes, badHeader}) {
        for (Mode mode : {Mode::ReadWrite, Mode::ReadOnly}) {
            SCOPED_TRACE(content.left(5).toStdString() +
                         (mode == Mode::ReadOnly ? " read-only" : " read-write"));
            QDir(dir.path()).mkpath(QStringLiteral("Vorn/family"));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(content);
            file.close();
            const auto before = snapshot(QFileInfo(path).path());
            {
                auto store = open(mode);
                EXPECT_EQ(store->openError(), QStringLiteral("file is not a database"));
                store->upsert(sample(QStringLiteral("a")));
                EXPECT_TRUE(store->allThings().empty());
            }
            EXPECT_EQ(snapshot(QFileInfo(path).path()), before);
        }
    }
}

TEST_F(FamilyStoreTest, tombstonesOlderThanSevenDaysArePurgedAtOpen)
{
    {
        auto store = open();
        for (const char* id : {"old", "exactly-week", "young", "live"})
            store->upsert(sample(QString::fromLatin1(id)));
        store->markDeleted(QStringLiteral("old"), std::nullopt);
        tick(1);
        store->markDeleted(QStringLiteral("exactly-week"), QStringLiteral("planner"));
        tick(1);
        store->markDeleted(QStringLiteral("young"), std::nullopt);
    }
    now = kT0.addSecs(kWeek + 1);
    open();
    RawDb raw(path);
    EXPECT_EQ(raw.value(QStringLiteral("SELECT group_concat(id) FROM (SELECT id FROM things ORDER BY id)")),
              QStringLiteral("exactly-week,live,young"));
}

TEST_F(FamilyStoreTest, upsertStoresEveryFieldAndStampsTheClockNotTheRecord)
{
    auto store = open();
    SharedThing full = sample(QStringLiteral("full"));
    full.link = QStringLiteral("planner://x");
    full.updatedAt = 12345;
    const SharedThing bare{
        QStringLiteral("bare"), QStringLiteral("t"),       true, std::nullopt, 0, {}, QString(), std::nullopt,
        std::nullopt,           QStringLiteral("planner"), 0};
    store->upsert(full);
    store->upsert(bare);

    RawDb raw(path);
    EXPECT_EQ(raw.column(QStringLiteral("full"), "steps_json"),
              QStringLiteral(R"([{"title":"shop","done":true},{"title":"pay","done":false}])"));
    EXPECT_EQ(raw.column(QStringLiteral("full"), "updated_at"), seconds(kT0));
    EXPECT_EQ(raw.column(QStringLiteral("full"), "deleted"), 0LL);
    EXPECT_FALSE(raw.column(QStringLiteral("full"), "deleted_by").isValid());
    EXPECT_EQ(raw.column(QStringLiteral("bare"), "steps_json"), QStringLiteral("[]"));
    EXPECT_EQ(raw.column(QStringLiteral("bare"), "note_plain"), QString());
    for (const char* nullable : {"due_day", "note_id", "link"})
        EXPECT_FALSE(raw.column(QStringLiteral("bare"), nullable).isValid()) << nullable;

    std::map<QString, SharedThing> read;
    for (SharedThing& t : store->allThings())
        read[t.id] = t;
    full.updatedAt = seconds(kT0);
    EXPECT_EQ(read[QStringLiteral("full")], full);
    SharedThing bareRead = bare;
    bareRead.updatedAt = seconds(kT0);
    EXPECT_EQ(read[QStringLiteral("bare")], bareRead);
}

TEST_F(FamilyStoreTest, unchangedUpsertKeepsUpdatedAtAndEachFieldChangeRewrites)
{
    struct Case {
        const char* field;
        std::function<void(SharedThing&)> change;
        bool rewrites;
    };
    const Case cases[] = {
        {"updatedAt only", [](SharedThing& t) { t.updatedAt += 99; }, false},
        {"title", [](SharedThing& t) { t.title += u'!'; }, true},
        {"done", [](SharedThing& t) { t.done = true; }, true},
        {"day cleared", [](SharedThing& t) { t.day.reset(); }, true},
        {"day moved", [](SharedThing& t) { t.day = QStringLiteral("2026-03-11"); }, true},
        {"zs", [](SharedThing& t) { t.zs = 3; }, true},
        {"step ticked", [](SharedThing& t) { t.steps[1].done = true; }, true},
        {"step added",
         [](SharedThing& t) {
             t.steps.push_back({QStringLiteral("go"), false});
         },
         true},
        {"note", [](SharedThing& t) { t.note.clear(); }, true},
        {"noteID cleared", [](SharedThing& t) { t.noteID.reset(); }, true},
        {"link set", [](SharedThing& t) { t.link = QString(); }, true},
        {"sourceApp", [](SharedThing& t) { t.sourceApp = QStringLiteral("planner"); }, true},
    };
    auto store = open();
    RawDb raw(path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        SharedThing t = sample(QString::fromLatin1(c.field));
        store->upsert(t);
        const double written = seconds(now);
        const qint64 writes = store->writes();
        const double later = tick();
        store->upsert(t);
        EXPECT_EQ(raw.column(t.id, "updated_at"), written);
        EXPECT_EQ(store->writes(), writes);

        c.change(t);
        store->upsert(t);
        EXPECT_EQ(raw.column(t.id, "updated_at"), c.rewrites ? later : written);
        EXPECT_EQ(store->writes(), writes + (c.rewrites ? 1 : 0));
    }
}

TEST_F(FamilyStoreTest, upsertAllWritesOnlyWhatUpsertWouldWrite)
{
    auto store = open();
    std::vector<SharedThing> things{sample(QStringLiteral("same")), sample(QStringLiteral("changed")),
                                    sample(QStringLiteral("theirs-deleted"))};
    store->upsertAll(things);
    store->markDeleted(QStringLiteral("theirs-deleted"), QStringLiteral("planner"));
    EXPECT_EQ(store->writes(), 4);
    things[1].done = true;
    const double later = tick();
    store->upsertAll(things);
    EXPECT_EQ(store->writes(), 6); // the changed one, and the attempt on the tombstone

    RawDb raw(path);
    EXPECT_EQ(raw.column(QStringLiteral("same"), "updated_at"), seconds(kT0));
    EXPECT_EQ(raw.column(QStringLiteral("changed"), "updated_at"), later);
    EXPECT_EQ(raw.column(QStringLiteral("theirs-deleted"), "deleted"), 1LL);
}

TEST_F(FamilyStoreTest, mirrorWithoutWaitingWritesTombstonesOurMissingRowsThenReportsOnTheCallersThread)
{
    auto store = open();
    SharedThing theirs = sample(QStringLiteral("planner-row"));
    theirs.sourceApp = QStringLiteral("planner");
    store->upsertAll(
        std::vector<SharedThing>{sample(QStringLiteral("kept")), sample(QStringLiteral("gone")), theirs});

    QObject context;
    bool done = false;
    bool doneOnCaller = false;
    std::vector<SharedThing> seenWhenDone;
    SharedThing changed = sample(QStringLiteral("kept"));
    changed.title = QStringLiteral("Kept, renamed");
    store->mirrorAsync({changed}, QStringLiteral("todo"), &context, [&](bool written) {
        done = written;
        doneOnCaller = QThread::currentThread() == context.thread();
        seenWhenDone = store->allThings();
    });
    // The news comes through the caller's event loop, never from the queue's thread.
    EXPECT_FALSE(done);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    EXPECT_TRUE(doneOnCaller);

    RawDb raw(path);
    EXPECT_EQ(raw.column(QStringLiteral("kept"), "title"), QStringLiteral("Kept, renamed"));
    EXPECT_EQ(raw.column(QStringLiteral("gone"), "deleted"), 1LL)
        << "our row without a thing is our tombstone";
    EXPECT_FALSE(raw.column(QStringLiteral("gone"), "deleted_by").isValid()) << "deleted by nobody else";
    EXPECT_EQ(raw.column(QStringLiteral("planner-row"), "deleted"), 0LL)
        << "another app's rows are left alone";
    // Everything was written before `done` ran.
    const auto kept = std::find_if(seenWhenDone.begin(), seenWhenDone.end(),
                                   [](const SharedThing& t) { return t.id == QStringLiteral("kept"); });
    ASSERT_NE(kept, seenWhenDone.end());
    EXPECT_EQ(kept->title, QStringLiteral("Kept, renamed"));
}

TEST_F(FamilyStoreTest, drainWaitsForMirrorsStillQueued)
{
    auto store = open();
    std::vector<SharedThing> many;
    for (int i = 0; i < 500; ++i)
        many.push_back(sample(QStringLiteral("t%1").arg(i)));
    QObject context;
    store->mirrorAsync(std::move(many), QStringLiteral("todo"), &context, {});
    store->drain();
    EXPECT_EQ(RawDb(path).column(QStringLiteral("t499"), "deleted"), 0LL);
}

TEST_F(FamilyStoreTest, upsertRevivesTombstoneOnlyWhenOwnerDeletedOrAcknowledged)
{
    auto store = open();
    RawDb raw(path);
    for (const bool byPlanner : {true, false}) {
        SCOPED_TRACE(byPlanner ? "deleted by planner" : "deleted by owner");
        const SharedThing t = sample(byPlanner ? QStringLiteral("p") : QStringLiteral("o"));
        store->upsert(t);
        const double deletedAt = tick();
        store->markDeleted(t.id, byPlanner ? std::optional(QStringLiteral("planner")) : std::nullopt);
        tick(); // the same record again, as a mirror after an undone delete sends it
        const qint64 writes = store->writes();
        store->upsert(t);
        EXPECT_EQ(store->writes(), writes + 1); // the statement ran, whatever it decided
        if (byPlanner) {
            EXPECT_EQ(raw.column(t.id, "deleted"), 1LL);
            EXPECT_EQ(raw.column(t.id, "deleted_by"), QStringLiteral("planner"));
            EXPECT_EQ(raw.column(t.id, "updated_at"), deletedAt);
            store->acknowledgeDelete(t.id);
            EXPECT_FALSE(raw.column(t.id, "deleted_by").isValid());
            store->upsert(t);
        }
        EXPECT_EQ(raw.column(t.id, "deleted"), 0LL);
        EXPECT_FALSE(raw.column(t.id, "deleted_by").isValid());
        EXPECT_EQ(raw.column(t.id, "updated_at"), seconds(now));
        EXPECT_EQ(store->allThings().size(), byPlanner ? 1u : 2u);
    }
}

TEST_F(FamilyStoreTest, deletedByOthersListsOnlyUnacknowledgedForeignDeletionsOfTheApp)
{
    auto store = open();
    RawDb raw(path);
    raw.exec(QStringLiteral(
        "INSERT INTO things (id, title, source_app, updated_at, deleted, deleted_by) VALUES "
        "('mine-by-planner', 't', 'todo', 1, 1, 'planner'), ('mine-by-me', 't', 'todo', 1, 1, 'todo'), "
        "('mine-by-owner', 't', 'todo', 1, 1, NULL), ('mine-live', 't', 'todo', 1, 0, NULL), "
        "('theirs-by-me', 't', 'planner', 1, 1, 'todo'), (NULL, 't', 'todo', 1, 1, 'planner')"));
    EXPECT_EQ(store->deletedByOthers(QStringLiteral("todo")), std::vector{QStringLiteral("mine-by-planner")});
    EXPECT_EQ(store->deletedByOthers(QStringLiteral("planner")), std::vector{QStringLiteral("theirs-by-me")});

    const qint64 writes = store->writes();
    store->acknowledgeDelete(QStringLiteral("mine-by-planner"));
    store->acknowledgeDelete(QStringLiteral("mine-by-planner"));
    store->acknowledgeDelete(QStringLiteral("mine-live"));
    EXPECT_EQ(store->writes(), writes + 1);
    EXPECT_TRUE(store->deletedByOthers(QStringLiteral("todo")).empty());
    EXPECT_EQ(raw.column(QStringLiteral("mine-by-planner"), "deleted"), 1LL);
}

// Each edit is written once; repeating it with the stored value, or aiming it at a tombstone (all but
// setDone), neither bumps updated_at nor counts a write.
TEST_F(FamilyStoreTest, editsWithStoredValueOrOnTombstoneChangeNothing)
{
    using Edit = std::function<void(FamilyStore&, const QString&)>;
    struct Case {
        const char* name;
        Edit edit;
        const char* column;
        QVariant expected;
        bool touchesTombstone = false;
    };
    const std::vector<SharedStep> steps{{QStringLiteral("x"), false}};
    const Case cases[] = {
        {"setTitle", [](FamilyStore& s, const QString& id) { s.setTitle(id, QStringLiteral("renamed")); },
         "title", QStringLiteral("renamed")},
        {"setDone", [](FamilyStore& s, const QString& id) { s.setDone(id, true); }, "done", 1LL, true},
        {"setNote",
         [](FamilyStore& s, const QString& id) { s.setNote(id, QStringLiteral("N-2"), QStringLiteral("n")); },
         "note_plain", QStringLiteral("n")},
        {"setNote without file",
         [](FamilyStore& s, const QString& id) { s.setNote(id, std::nullopt, QString()); }, "note_id",
         QVariant()},
        {"setDay", [](FamilyStore& s, const QString& id) { s.setDay(id, QStringLiteral("2026-03-12")); },
         "due_day", QStringLiteral("2026-03-12")},
        {"setDay to none", [](FamilyStore& s, const QString& id) { s.setDay(id, std::nullopt); }, "due_day",
         QVariant()},
        {"setSteps", [&](FamilyStore& s, const QString& id) { s.setSteps(id, steps); }, "steps_json",
         QStringLiteral(R"([{"title":"x","done":false}])")},
    };
    auto store = open();
    RawDb raw(path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString live = QString::fromLatin1(c.name), dead = live + u'~';
        store->upsert(sample(live));
        store->upsert(sample(dead));
        store->markDeleted(dead, std::nullopt);
        const double before = seconds(now);
        qint64 writes = store->writes();

        const double edited = tick();
        c.edit(*store, live);
        EXPECT_EQ(raw.column(live, c.column), c.expected);
        EXPECT_EQ(raw.column(live, "updated_at"), edited);
        EXPECT_EQ(store->writes(), ++writes);

        tick();
        c.edit(*store, live);
        EXPECT_EQ(raw.column(live, "updated_at"), edited);
        EXPECT_EQ(store->writes(), writes);

        c.edit(*store, dead);
        EXPECT_EQ(raw.column(dead, "updated_at"), c.touchesTombstone ? seconds(now) : before);
        EXPECT_EQ(raw.column(dead, c.column) == c.expected, c.touchesTombstone);
        EXPECT_EQ(store->writes(), writes + (c.touchesTombstone ? 1 : 0));
    }
}

TEST_F(FamilyStoreTest, markDeletedOfTombstoneKeepsItsDeleterAndTime)
{
    auto store = open();
    RawDb raw(path);
    store->upsert(sample(QStringLiteral("a")));
    const double deletedAt = tick();
    store->markDeleted(QStringLiteral("a"), QStringLiteral("planner"));
    const qint64 writes = store->writes();
    tick();
    store->markDeleted(QStringLiteral("a"), std::nullopt);
    store->markDeleted(QStringLiteral("a"), QStringLiteral("todo"));
    store->markDeleted(QStringLiteral("never-stored"), std::nullopt);
    EXPECT_EQ(raw.column(QStringLiteral("a"), "deleted_by"), QStringLiteral("planner"));
    EXPECT_EQ(raw.column(QStringLiteral("a"), "updated_at"), deletedAt);
    EXPECT_EQ(store->writes(), writes);
    EXPECT_TRUE(store->allThings().empty());
}

TEST_F(FamilyStoreTest, every32ndWriteAndCloseTruncateTheWal)
{
    const QString wal = path + QStringLiteral("-wal");
    auto store = open();
    for (int i = 0; i < 31; ++i)
        store->upsert(sample(QString::number(i)));
    EXPECT_EQ(store->writes(), 31);
    ASSERT_TRUE(QFileInfo::exists(wal));
    EXPECT_GT(QFileInfo(wal).size(), 0);
    store->setTitle(QStringLiteral("0"), QStringLiteral("renamed"));
    EXPECT_EQ(store->writes(), 0);
    ASSERT_TRUE(QFileInfo::exists(wal));
    EXPECT_EQ(QFileInfo(wal).size(), 0);

    // A second open connection keeps SQLite from deleting the WAL at close, so the size shows the checkpoint.
    RawDb raw(path);
    EXPECT_EQ(raw.value(QStringLiteral("SELECT count(*) FROM things")), 31LL);
    store->setDone(QStringLiteral("0"), true);
    EXPECT_GT(QFileInfo(wal).size(), 0);
    store.reset();
    ASSERT_TRUE(QFileInfo::exists(wal));
    EXPECT_EQ(QFileInfo(wal).size(), 0);
    EXPECT_EQ(raw.column(QStringLiteral("0"), "done"), 1LL);
}

TEST_F(FamilyStoreTest, oddColumnsReadAsDefaultsAndRowIsStillReturned)
{
    // An older or foreign writer may have made the table without the NOT NULL constraints.
    QDir(dir.path()).mkpath(QStringLiteral("Vorn/family"));
    {
        RawDb raw(path);
        raw.exec(QStringLiteral(
            "CREATE TABLE things (id TEXT PRIMARY KEY, title TEXT, done INTEGER, due_day TEXT, "
            "zs INTEGER, steps_json TEXT, note_plain TEXT, note_id TEXT, link TEXT, "
            "source_app TEXT, updated_at REAL, deleted INTEGER NOT NULL DEFAULT 0)"));
        raw.exec(
            QStringLiteral("INSERT INTO things (id, title, done, zs, steps_json, note_plain, source_app, "
                           "updated_at, deleted) VALUES "
                           "(NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 0), ('wide-zs', 'a', 0, "
                           "4294967301, '[]', '', 'planner', 5, 0), "
                           "('not-json', 'b', 1, -7, 'not json', '', 'planner', 5, 0), "
                           "('object', 'c', 0, 0, '{\"title\":\"a\",\"done\":true}', '', 'planner', 5, 0), "
                           "('gone', 'd', 0, 0, '[]', '', 'todo', 5, 1)"));
    }
    auto store = open();
    std::map<QString, SharedThing> read;
    for (SharedThing& t : store->allThings())
        read[t.id] = t;
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[QString()], SharedThing{});
    for (const char* undecodable : {"not-json", "object"}) {
        const SharedThing& t = read[QString::fromLatin1(undecodable)];
        EXPECT_TRUE(t.steps.empty()) << undecodable;
        EXPECT_TRUE(t.stepsUnreadable) << undecodable;
        EXPECT_FALSE(t.title.isEmpty()) << undecodable;
    }
    EXPECT_EQ(read[QStringLiteral("not-json")].zs, -7);
    EXPECT_TRUE(read[QStringLiteral("not-json")].done);

    // zs read as 32 bits is compared at full width, so writing it back replaces the oversized value.
    store->upsert(read[QStringLiteral("wide-zs")]);
    EXPECT_EQ(RawDb(path).column(QStringLiteral("wide-zs"), "zs"),
              qlonglong(read[QStringLiteral("wide-zs")].zs));
}

TEST_F(FamilyStoreTest, readOnlyNeverCreatesOrChangesAFile)
{
    {
        auto store = open(Mode::ReadOnly);
        EXPECT_FALSE(store->openError().has_value());
        store->upsert(sample(QStringLiteral("a")));
        EXPECT_TRUE(store->allThings().empty());
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    {
        auto writer = open();
        writer->upsert(sample(QStringLiteral("live")));
        writer->upsert(sample(QStringLiteral("tomb")));
        writer->markDeleted(QStringLiteral("tomb"), QStringLiteral("planner"));
    }
    const auto before = snapshot(QFileInfo(path).path());
    now = kT0.addSecs(2 * kWeek); // old enough for a purge, which a reader must not run
    {
        auto store = open(Mode::ReadOnly);
        EXPECT_FALSE(store->openError().has_value());
        store->upsert(sample(QStringLiteral("new")));
        store->markDeleted(QStringLiteral("live"), std::nullopt);
        store->acknowledgeDelete(QStringLiteral("tomb"));
        store->setDone(QStringLiteral("live"), true);
        store->setTitle(QStringLiteral("live"), QStringLiteral("x"));
        store->setNote(QStringLiteral("live"), std::nullopt, QStringLiteral("x"));
        store->setDay(QStringLiteral("live"), std::nullopt);
        store->setSteps(QStringLiteral("live"), {});
        const auto things = store->allThings();
        ASSERT_EQ(things.size(), 1u);
        EXPECT_EQ(things[0].title, sample(QString()).title);
        EXPECT_EQ(store->deletedByOthers(QStringLiteral("todo")), std::vector{QStringLiteral("tomb")});
        EXPECT_EQ(store->writes(), 0);
    }
    EXPECT_EQ(snapshot(QFileInfo(path).path()), before);
}

TEST_F(FamilyStoreTest, writeWaitsForThePlannersLockInsteadOfDroppingIt)
{
    using Write = std::function<void(FamilyStore&)>;
    const std::pair<const char*, Write> writes[] = {
        {"upsert", [](FamilyStore& s) { s.upsert(sample(QStringLiteral("new"))); }},
        {"setTitle", [](FamilyStore& s) { s.setTitle(QStringLiteral("old"), QStringLiteral("renamed")); }},
    };
    auto store = open();
    store->upsert(sample(QStringLiteral("old")));
    RawDb planner(path);
    for (const auto& [name, write] : writes) {
        SCOPED_TRACE(name);
        const qint64 count = store->writes();
        planner.exec(QStringLiteral("BEGIN IMMEDIATE"));
        std::atomic_bool releasing = false;
        std::thread release([&] {
            // The planner holds the lock a while; the write has to come after it lets go.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            releasing = true;
            planner.exec(QStringLiteral("COMMIT"));
        });
        write(*store);
        const bool wroteAfterTheRelease = releasing;
        release.join();
        EXPECT_TRUE(wroteAfterTheRelease) << "the write went ahead while the planner held the lock";
        EXPECT_EQ(store->writes(), count + 1);
    }
    EXPECT_EQ(planner.column(QStringLiteral("new"), "deleted"), 0LL);
    EXPECT_EQ(planner.column(QStringLiteral("old"), "title"), QStringLiteral("renamed"));
}

} // namespace

TEST_F(FamilyStoreTest, anotherProgramsDatabaseGetsNoTableNoWalAndNoRowsEvenThroughALink)
{
    const struct {
        const char* name;
        const char* schema; // of the other program's database
        bool link;          // family.db is a link to it
    } cases[] = {
        {"a link to a recipes database",
         "CREATE TABLE recipes (name TEXT); INSERT INTO recipes VALUES ('soup');", true},
        {"a recipes database in its place", "CREATE TABLE recipes (name TEXT);", false},
        {"a link to a things table of another shape",
         "CREATE TABLE things (name TEXT, due TEXT); INSERT INTO things VALUES ('x', 'y');", true},
    };
    for (const auto& c : cases) {
        for (Mode mode : {Mode::ReadWrite, Mode::ReadOnly}) {
            SCOPED_TRACE(std::string(c.name) + (mode == Mode::ReadOnly ? ", read-only" : ""));
            QTemporaryDir other;
            const QString theirs = other.filePath(QStringLiteral("their.sqlite"));
            RawDb(theirs).exec(QString::fromLatin1(c.schema));
            const auto before = snapshot(other.path());
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
            QFile::remove(path);
            ASSERT_TRUE(c.link ? QFile::link(theirs, path) : QFile::copy(theirs, path));
            const auto copy = snapshot(QFileInfo(path).path());
            {
                auto store = open(mode);
                ASSERT_TRUE(store->openError());
                EXPECT_TRUE(store->openError()->contains(c.link ? QStringLiteral("links to ") + theirs
                                                                : QStringLiteral("some other program")))
                    << store->openError()->toStdString();
                store->upsert(sample(QStringLiteral("a")));
                EXPECT_TRUE(store->allThings().empty());
            }
            EXPECT_EQ(snapshot(other.path()), before) << "their file and folder are as they were";
            EXPECT_EQ(snapshot(QFileInfo(path).path()), copy);
        }
    }
}
