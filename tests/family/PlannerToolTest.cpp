#include "family/FamilyNotifier.h"
#include "family/FamilyStore.h"
#include "support/BusBarrier.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUuid>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace vorn {
namespace {

const QString kPlanner = QStringLiteral(VORN_PLANNER_BINARY);

struct Outcome {
    int code = -1;
    QString out;
    QString err;
};

// How a row's deletion stands in the file; the store's API never shows tombstones.
struct Tombstone {
    bool deleted = false;
    std::optional<QString> deletedBy;
    friend bool operator==(const Tombstone&, const Tombstone&) = default;
};

class PlannerTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(notifier.isConnected());
        ASSERT_FALSE(store->openError());
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // Home, data and config folders of the test's own, so defaults and install stay in the temp dir.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& name : {u"HOME"_s, u"XDG_DATA_HOME"_s, u"XDG_CONFIG_HOME"_s, u"XDG_CACHE_HOME"_s})
            env.insert(name, path(name.toLower()));
        env.remove(u"VORN_FAMILY_DB"_s);
        env.remove(u"VORN_NOTES_DIR"_s);
        return env;
    }

    Outcome run(const QStringList& args, const QProcessEnvironment& env,
                const QString& program = kPlanner) const
    {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, args);
        if (!process.waitForFinished(60'000)) {
            process.kill();
            process.waitForFinished();
            return {-1, {}, u"did not finish"_s};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // The planner on this test's store and notes folder.
    Outcome planner(const QStringList& args) const
    {
        return run(QStringList{u"--db"_s, dbPath, u"--notes"_s, notesPath} + args, environment());
    }

    std::optional<SharedThing> row(const QString& id) const
    {
        for (const SharedThing& thing : store->allThings()) {
            if (thing.id == id)
                return thing;
        }
        return std::nullopt;
    }

    SharedThing seed(const QString& id, const QString& owner, std::optional<QString> noteID = {}) const
    {
        store->upsert({id,
                       u"Walk "_s + id,
                       false,
                       u"2026-03-09"_s,
                       2,
                       {{u"shoes"_s, true}},
                       {},
                       std::move(noteID),
                       {},
                       owner,
                       0});
        return *row(id);
    }

    Tombstone tombstone(const QString& id) const
    {
        Tombstone result;
        sqlite3* db = nullptr;
        sqlite3_stmt* query = nullptr;
        const QByteArray key = id.toUtf8();
        if (sqlite3_open_v2(QFile::encodeName(dbPath).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
                SQLITE_OK &&
            sqlite3_prepare_v2(db, "SELECT deleted, deleted_by FROM things WHERE id = ?;", -1, &query,
                               nullptr) == SQLITE_OK &&
            sqlite3_bind_text(query, 1, key.constData(), int(key.size()), SQLITE_STATIC) == SQLITE_OK &&
            sqlite3_step(query) == SQLITE_ROW) {
            result.deleted = sqlite3_column_int(query, 0) != 0;
            if (const auto* by = sqlite3_column_text(query, 1))
                result.deletedBy = QString::fromUtf8(reinterpret_cast<const char*>(by));
        }
        sqlite3_finalize(query);
        sqlite3_close(db);
        return result;
    }

    // Waits for `count` notifications, then makes sure no more are on their way: the planner flushed its
    // posts before it exited, and the bus answers our own round trip only after what it routed to us.
    qsizetype notificationsAfterWaitingFor(qsizetype count)
    {
        const QDeadlineTimer deadline(20'000);
        while (spy.count() < count && !deadline.hasExpired())
            spy.wait(int(qMax<qint64>(1, deadline.remainingTime())));
        test::deliverBusSignals();
        const qsizetype seen = spy.count();
        spy.clear();
        return seen;
    }

    QTemporaryDir dir;
    const QString dbPath = path(u"shared/Vorn/family.db"_s);
    const QString notesPath = path(u"shared/Vorn/notes"_s);
    std::unique_ptr<FamilyStore> store = std::make_unique<FamilyStore>(dbPath);
    FamilyNotifier notifier;
    QSignalSpy spy{&notifier, &FamilyNotifier::changed};
};

TEST_F(PlannerTool, addedRowsAreThePlannersAndListBackAsWritten)
{
    const struct {
        QStringList args;
        QString title;
        bool done;
        std::optional<QString> day;
        QString id; // empty: a new UUID
    } cases[] = {
        {{u"add"_s, u"Buy milk"_s}, u"Buy milk"_s, false, std::nullopt, {}},
        {{u"add"_s, u"--done"_s, u"--day"_s, u"2026-03-10"_s, u"--id"_s, u"fixed id"_s, u"--"_s,
          u"--a  b\tc "_s},
         u"--a  b\tc "_s,
         true,
         u"2026-03-10"_s,
         u"fixed id"_s},
        {{u"add"_s, u"Ünï \"q\" $HOME 😀"_s, u"--day=none"_s},
         u"Ünï \"q\" $HOME 😀"_s,
         false,
         std::nullopt,
         {}},
    };
    QStringList expectedLines;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        const Outcome add = planner(c.args);
        ASSERT_EQ(add.code, 0) << add.err.toStdString();
        const QString id = add.out.trimmed();
        if (c.id.isEmpty())
            EXPECT_TRUE(!QUuid::fromString(id).isNull() && id == id.toLower()) << id.toStdString();
        else
            EXPECT_EQ(id, c.id);
        const auto added = row(id);
        ASSERT_TRUE(added);
        EXPECT_EQ(added->sourceApp, u"planner"_s);
        EXPECT_EQ(added->title, c.title);
        EXPECT_EQ(added->done, c.done);
        EXPECT_EQ(added->day, c.day);
        EXPECT_EQ(notificationsAfterWaitingFor(1), 1);
        expectedLines << QStringList{id, u"planner"_s, c.done ? u"1"_s : u"0"_s, c.day.value_or(u"-"_s),
                                     QString(c.title).replace(u'\t', u"\\t"_s)}
                             .join(u'\t');
    }

    const Outcome list = planner({u"list"_s});
    ASSERT_EQ(list.code, 0);
    QStringList lines = list.out.split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    expectedLines.sort();
    EXPECT_EQ(lines, expectedLines);

    const Outcome json = planner({u"list"_s, u"--json"_s});
    ASSERT_EQ(json.code, 0);
    QStringList titles;
    for (const QJsonValue& value : QJsonDocument::fromJson(json.out.toUtf8()).array())
        titles << value.toObject().value(u"title"_s).toString();
    titles.sort();
    EXPECT_EQ(titles, (QStringList{u"--a  b\tc "_s, u"Buy milk"_s, u"Ünï \"q\" $HOME 😀"_s}));
}

TEST_F(PlannerTool, todayIsTheDayInTheLocalTimeZone)
{
    // Fourteen hours ahead of UTC and eleven behind: never the same day.
    for (const char* zone : {"Pacific/Kiritimati", "Pacific/Pago_Pago"}) {
        SCOPED_TRACE(zone);
        QProcessEnvironment env = environment();
        env.insert(u"TZ"_s, QString::fromLatin1(zone));
        const auto today = [zone] {
            return QDateTime::currentDateTime().toTimeZone(QTimeZone(zone)).date().toString(Qt::ISODate);
        };
        const QString before = today();
        const Outcome add = run({u"--db"_s, dbPath, u"add"_s, u"x"_s, u"--day"_s, u"today"_s}, env);
        const QString after = today();
        ASSERT_EQ(add.code, 0) << add.err.toStdString();
        const auto day = row(add.out.trimmed()).value_or(SharedThing{}).day;
        EXPECT_TRUE(day == before || day == after) << day.value_or(u"none"_s).toStdString();
    }
}

TEST_F(PlannerTool, eachEditChangesOnlyItsFieldsAndPostsOnce)
{
    const QString ours = seed(u"t1"_s, u"todo"_s).id;
    const QString own = seed(u"p1"_s, u"planner"_s).id;
    const struct {
        QString id;
        QStringList args;
        std::function<void(SharedThing&)> expect;
    } cases[] = {
        {ours, {u"tick"_s}, [](SharedThing& t) { t.done = true; }},
        {ours, {u"untick"_s}, [](SharedThing& t) { t.done = false; }},
        {ours, {u"rename"_s, u"  Walk\tthe dog "_s}, [](SharedThing& t) { t.title = u"  Walk\tthe dog "_s; }},
        {ours, {u"day"_s, u"2026-03-12"_s}, [](SharedThing& t) { t.day = u"2026-03-12"_s; }},
        {ours, {u"day"_s, u"none"_s}, [](SharedThing& t) { t.day.reset(); }},
        {ours,
         {u"steps"_s, u"a"_s, u"+b"_s, u"++c"_s},
         [](SharedThing& t) {
             t.steps = {{u"a"_s, false}, {u"b"_s, true}, {u"+c"_s, true}};
         }},
        {ours, {u"steps"_s}, [](SharedThing& t) { t.steps.clear(); }},
        {own, {u"tick"_s}, [](SharedThing& t) { t.done = true; }},
        {own, {u"rename"_s, u"Mine"_s}, [](SharedThing& t) { t.title = u"Mine"_s; }},
    };
    for (const auto& c : cases) {
        QStringList args = c.args;
        args.insert(1, c.id);
        SCOPED_TRACE(args.join(u' ').toStdString());
        SharedThing expected = *row(c.id);
        c.expect(expected);

        const Outcome edit = planner(args);

        ASSERT_EQ(edit.code, 0) << edit.err.toStdString();
        const SharedThing actual = *row(c.id);
        expected.updatedAt = actual.updatedAt;
        EXPECT_EQ(actual, expected);
        EXPECT_EQ(notificationsAfterWaitingFor(1), 1);
    }
}

TEST_F(PlannerTool, aNoteIsAnRtfFileUnderTheRowsNoteIdAndUnsafeIdsAreRefused)
{
    seed(u"t1"_s, u"todo"_s);
    const auto rtfOf = [this](const QString& noteID) {
        QFile file(QDir(notesPath).filePath(noteID + u".rtf"_s));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    // A first note makes a lower-case UUID and escapes what RTF would misread.
    ASSERT_EQ(planner({u"note"_s, u"t1"_s, u"  Hello {x} \\ é\nline 2 "_s}).code, 0);
    const std::optional<QString> noteID = row(u"t1"_s)->noteID;
    ASSERT_TRUE(noteID);
    EXPECT_TRUE(!QUuid::fromString(*noteID).isNull() && *noteID == noteID->toLower());
    EXPECT_EQ(row(u"t1"_s)->note, u"Hello {x} \\ é\nline 2"_s);
    EXPECT_TRUE(rtfOf(*noteID).startsWith("{\\rtf1"));
    EXPECT_TRUE(rtfOf(*noteID).contains("Hello \\{x\\} \\\\ \\u233?\\par")) << rtfOf(*noteID).constData();
    EXPECT_EQ(notificationsAfterWaitingFor(1), 1);

    // The next note keeps the file name; a blank one removes file and note.
    ASSERT_EQ(planner({u"note"_s, u"t1"_s, u"Again"_s}).code, 0);
    EXPECT_EQ(row(u"t1"_s)->noteID, noteID);
    EXPECT_TRUE(rtfOf(*noteID).contains("Again"));
    ASSERT_EQ(planner({u"note"_s, u"t1"_s, u" \n "_s}).code, 0);
    EXPECT_FALSE(row(u"t1"_s)->noteID);
    EXPECT_TRUE(row(u"t1"_s)->note.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QDir(notesPath).filePath(*noteID + u".rtf"_s)));
    EXPECT_EQ(notificationsAfterWaitingFor(2), 2);

    // A note id from the file that would name a file outside the notes folder is never used.
    for (const QString& unsafe : {u"../escape"_s, u"a/b"_s, u".hidden"_s}) {
        SCOPED_TRACE(unsafe.toStdString());
        const SharedThing before = seed(u"evil"_s, u"todo"_s, unsafe);
        const Outcome note = planner({u"note"_s, u"evil"_s, u"x"_s});
        EXPECT_EQ(note.code, 1);
        EXPECT_EQ(*row(u"evil"_s), before);
        EXPECT_FALSE(QFileInfo::exists(QDir(notesPath).filePath(unsafe + u".rtf"_s)));
    }
}

TEST_F(PlannerTool, deleteTombstonesByOwnerAndApplyDeletesAcknowledgesOnlyThePlannersRows)
{
    seed(u"ours"_s, u"todo"_s);
    seed(u"own"_s, u"planner"_s);
    const struct {
        QString id;
        Tombstone expected;
    } deletes[] = {
        {u"ours"_s, {true, u"planner"_s}}, // left for vorn todo to apply
        {u"own"_s, {true, std::nullopt}},
    };
    for (const auto& d : deletes) {
        SCOPED_TRACE(d.id.toStdString());
        ASSERT_EQ(planner({u"delete"_s, d.id}).code, 0);
        EXPECT_EQ(tombstone(d.id), d.expected);
        EXPECT_EQ(notificationsAfterWaitingFor(1), 1);
    }

    // Given two planner rows deleted in vorn todo and one that stays.
    for (const QString& id : {u"p1"_s, u"p2"_s, u"p3"_s})
        seed(id, u"planner"_s);
    store->markDeleted(u"p1"_s, u"todo"_s);
    store->markDeleted(u"p2"_s, u"todo"_s);

    const Outcome apply = planner({u"apply-deletes"_s});

    ASSERT_EQ(apply.code, 0) << apply.err.toStdString();
    QStringList printed = apply.out.split(u'\n', Qt::SkipEmptyParts);
    printed.sort();
    EXPECT_EQ(printed, (QStringList{u"p1"_s, u"p2"_s}));
    EXPECT_EQ(tombstone(u"p1"_s), (Tombstone{true, std::nullopt}));
    EXPECT_EQ(tombstone(u"p2"_s), (Tombstone{true, std::nullopt}));
    EXPECT_TRUE(row(u"p3"_s));
    // Our row that the planner deleted is ours to acknowledge.
    EXPECT_EQ(tombstone(u"ours"_s), (Tombstone{true, u"planner"_s}));
    EXPECT_EQ(notificationsAfterWaitingFor(1), 1);
}

TEST_F(PlannerTool, readsFailuresAndUsageErrorsPostNothingAndExitAsDocumented)
{
    const SharedThing t1 = seed(u"t1"_s, u"todo"_s);
    seed(u"evil"_s, u"todo"_s, u"../x"_s);
    const struct {
        QStringList args;
        int code;
    } cases[] = {
        {{}, 2},
        {{u"frobnicate"_s}, 2},
        {{u"add"_s}, 2},
        {{u"tick"_s, u"t1"_s, u"t2"_s}, 2},
        {{u"add"_s, u"x"_s, u"--day"_s}, 2},
        {{u"add"_s, u"x"_s, u"--bogus"_s}, 2},
        {{u"tick"_s, u"t1"_s, u"--done"_s}, 2},
        {{u"list"_s, u"--json=yes"_s}, 2},
        {{u"watch"_s, u"--count"_s, u"0"_s}, 2},
        {{u"tick"_s, u"missing"_s}, 1},
        {{u"add"_s, u"x"_s, u"--day"_s, u"2026-02-30"_s}, 1},
        {{u"day"_s, u"t1"_s, u"tomorrow"_s}, 1},
        {{u"add"_s, u"x"_s, u"--id"_s, u"t1"_s}, 1}, // never takes over a row of vorn todo
        {{u"note"_s, u"evil"_s, u"x"_s}, 1},
        {{u"open"_s, u"https://example.com/add?handoff=1"_s}, 1},
        {{u"open"_s, u"vornplanner://add"_s}, 1},
        {{u"vornplanner://add?handoff=1&day=2026-13-01"_s}, 1},
        {{u"list"_s}, 0},
        {{u"list"_s, u"--json"_s}, 0},
        {{u"apply-deletes"_s}, 0},
        {{u"open"_s, u"vornplanner://add?handoff=1&day=2026-03-10"_s}, 0},
        {{u"vornplanner://add?handoff=1"_s}, 0},
        {{u"--help"_s}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const Outcome outcome = planner(c.args);
        EXPECT_EQ(outcome.code, c.code) << outcome.err.toStdString();
        EXPECT_EQ(outcome.err.isEmpty(), c.code == 0) << outcome.err.toStdString();
        // The write that follows is the only thing heard.
        ASSERT_EQ(planner({u"rename"_s, u"t1"_s, t1.title}).code, 0);
        EXPECT_EQ(notificationsAfterWaitingFor(1), 1);
    }
    EXPECT_EQ(*row(u"t1"_s), t1);
    EXPECT_EQ(store->allThings().size(), 2u); // no failed add left a row behind
}

TEST_F(PlannerTool, aStoreThatWontOpenIsReportedWithItsError)
{
    QFile notAFolder(path(u"not-a-folder"_s));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    const QString db = notAFolder.fileName() + u"/family.db"_s;
    const auto openError = FamilyStore(db).openError();
    ASSERT_TRUE(openError);

    const Outcome tick = run({u"--db"_s, db, u"tick"_s, u"t1"_s}, environment());

    EXPECT_EQ(tick.code, 1);
    EXPECT_TRUE(tick.err.contains(*openError)) << tick.err.toStdString();
}

TEST_F(PlannerTool, defaultLocationsComeFromTheEnvironmentOrTheDataFolder)
{
    const struct {
        const char* name;
        QString db;
        QString notes;
        bool viaVariables;
    } cases[] = {
        {"variables", path(u"env/family.db"_s), path(u"env-notes"_s), true},
        {"data folder", path(u"xdg_data_home/Vorn/family.db"_s), path(u"xdg_data_home/Vorn/notes"_s), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QProcessEnvironment env = environment();
        if (c.viaVariables) {
            env.insert(u"VORN_FAMILY_DB"_s, c.db);
            env.insert(u"VORN_NOTES_DIR"_s, c.notes);
        }
        const Outcome add = run({u"add"_s, u"x"_s}, env);
        ASSERT_EQ(add.code, 0) << add.err.toStdString();
        ASSERT_EQ(run({u"note"_s, add.out.trimmed(), u"n"_s}, env).code, 0);

        const std::vector<SharedThing> rows = FamilyStore(c.db, FamilyStore::Mode::ReadOnly).allThings();
        ASSERT_EQ(rows.size(), 1u);
        ASSERT_TRUE(rows.front().noteID);
        EXPECT_TRUE(QFileInfo::exists(c.notes + u'/' + *rows.front().noteID + u".rtf"_s));
        EXPECT_EQ(notificationsAfterWaitingFor(2), 2);
    }
}

TEST_F(PlannerTool, watchPrintsALinePerChangeAndFailsWhenTheyDontCome)
{
    QProcess watch;
    watch.setProcessEnvironment(environment());
    watch.setReadChannel(QProcess::StandardError);
    watch.start(kPlanner, {u"watch"_s, u"--count"_s, u"2"_s, u"--timeout"_s, u"60"_s});
    // It says so on stderr once it is subscribed.
    QByteArray err;
    const QDeadlineTimer deadline(30'000);
    while (!err.contains("watching") &&
           watch.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
        err += watch.readAllStandardError();
    ASSERT_TRUE(err.contains("watching")) << err.constData();

    notifier.post();
    notifier.post();

    ASSERT_TRUE(watch.waitForFinished(60'000));
    EXPECT_EQ(watch.exitCode(), 0);
    EXPECT_EQ(watch.readAllStandardOutput(), "changed\nchanged\n");

    const Outcome late = planner({u"watch"_s, u"--count"_s, u"1"_s, u"--timeout"_s, u"0.2"_s});
    EXPECT_EQ(late.code, 1);
    EXPECT_TRUE(late.out.isEmpty());
}

TEST_F(PlannerTool, installWritesTheUrlHandlerEntryAndUninstallRemovesIt)
{
    // The Exec line names the binary that ran install; a path with a space is quoted.
    const QString spaced = path(u"with space/vorn-planner"_s);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(spaced).absolutePath()));
    ASSERT_TRUE(QFile::copy(kPlanner, spaced));
    const QString built = QFileInfo(kPlanner).canonicalFilePath();
    const struct {
        QString program;
        QString exec;
    } cases[] = {
        {built, u"Exec="_s + built + u" %u"_s},
        {spaced, u"Exec=\""_s + QFileInfo(spaced).canonicalFilePath() + u"\" %u"_s},
    };
    const QString entry = path(u"xdg_data_home/applications/com.vorn.planner.desktop"_s);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program.toStdString());
        Outcome outcome = run({u"install"_s}, environment(), c.program);
        ASSERT_EQ(outcome.code, 0) << outcome.err.toStdString();
        EXPECT_EQ(outcome.out.trimmed(), entry);
        QFile file(entry);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        EXPECT_EQ(lines.value(0), u"[Desktop Entry]"_s);
        EXPECT_TRUE(lines.contains(c.exec)) << lines.join(u'|').toStdString();
        EXPECT_TRUE(lines.contains(u"MimeType=x-scheme-handler/vornplanner;"_s));

        for (int i = 0; i < 2; ++i) { // the second finds nothing to remove and is fine with that
            outcome = run({u"uninstall"_s}, environment(), c.program);
            EXPECT_EQ(outcome.code, 0) << outcome.err.toStdString();
            EXPECT_EQ(outcome.out.trimmed(), entry);
            EXPECT_FALSE(QFileInfo::exists(entry));
        }
    }
}

} // namespace
} // namespace vorn
