#include "support/ProgramRun.h"
#include "support/TinyDisk.h"
#include "support/XSession.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using vorn::test::XSession;

namespace {

using Result = vorn::test::ProgramResult;
using vorn::test::hashOf;

// Runs the installed program with a home folder of the test's own.
class ProgramTest : public ::testing::Test {
protected:
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = vorn::test::homeEnvironment(home.path());
        // The window runs on the offscreen platform, off any display and off the user's bus.
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        return env;
    }
    Result run(const QStringList& args, const QProcessEnvironment& env)
    {
        return vorn::test::runProgram(QStringLiteral(VORN_TODO_BINARY), args, env);
    }
    Result run(const QStringList& args) { return run(args, environment()); }
    // Starts the window, waits until its store exists, then ends it the way a logout does.
    Result runWindowUntilStarted(const QStringList& args = {})
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral(VORN_TODO_BINARY), args);
        EXPECT_TRUE(p.waitForStarted(10000));
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(storePath()) && waited.elapsed() < 20000 && p.state() == QProcess::Running)
            p.waitForFinished(50);
        // A moment for the window to come up after the store.
        p.waitForFinished(500);
        EXPECT_EQ(p.state(), QProcess::Running) << p.readAllStandardError().toStdString();
        p.terminate();
        EXPECT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "SIGTERM quits through the event loop";
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QString storePath() const
    {
        return home.filePath(QStringLiteral(".local/share/Vorn/vorn-todo/store.sqlite"));
    }
    QTemporaryDir home;
};

} // namespace

TEST_F(ProgramTest, demoListsPrintExactlyTheirThingsInOrder)
{
    Result today = run({QStringLiteral("-demo"), QStringLiteral("--list"), QStringLiteral("today")});
    EXPECT_EQ(today.exitCode, 0) << today.err.toStdString();
    EXPECT_EQ(today.out, QStringLiteral("- [ ] Reply to Kesh about the deck\n"
                                        "- [ ] Book the dentist (for real this time)\n"
                                        "- [ ] Think about the gym\n"
                                        "- [ ] Water the plant on the left\n"
                                        "- [ ] book flights (from planner)\n"));

    Result groceries = run({QStringLiteral("-demo"), QStringLiteral("--list"), QStringLiteral("groceries")});
    EXPECT_EQ(groceries.exitCode, 0);
    EXPECT_EQ(groceries.out,
              QStringLiteral("- [ ] Oat milk\n- [ ] Bread, the good one\n- [ ] Coffee beans\n"));
    EXPECT_FALSE(QFile::exists(storePath())) << "a demo never writes the real store";
}

TEST_F(ProgramTest, anUnknownListSaysWhichOnesExist)
{
    Result r = run({QStringLiteral("-demo"), QStringLiteral("--list"), QStringLiteral("chores")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("groceries"))) << r.err.toStdString();
}

TEST_F(ProgramTest, listingIsReadOnly)
{
    Result empty = run({QStringLiteral("--list"), QStringLiteral("today")});
    EXPECT_EQ(empty.exitCode, 0) << empty.err.toStdString();
    EXPECT_TRUE(empty.out.isEmpty());
    EXPECT_FALSE(QFile::exists(storePath())) << "listing never creates a store";

    Result plain = runWindowUntilStarted();
    EXPECT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    ASSERT_TRUE(QFile::exists(storePath()));
    const QByteArray before = hashOf(storePath());
    run({QStringLiteral("--list"), QStringLiteral("done-ish")});
    EXPECT_EQ(hashOf(storePath()), before);
}

TEST_F(ProgramTest, anUnreadableStoreStopsTheAppAndStaysAsItWas)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(storePath()).absolutePath()));
    QFile f(storePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    const QByteArray before = hashOf(storePath());

    for (const QStringList& args :
         {QStringList{}, QStringList{QStringLiteral("--list"), QStringLiteral("today")}}) {
        // The window start stops before any window; the listing never needs one.
        Result r = run(args);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("Couldn't open the store: "))) << r.err.toStdString();
        EXPECT_EQ(hashOf(storePath()), before);
    }
}

TEST_F(ProgramTest, anExportOntoAFullDiskFailsAndKeepsTheOldBackup)
{
    vorn::test::TinyDisk disk;
    if (!disk.isMounted())
        GTEST_SKIP() << disk.why().toStdString();
    const QString backup = disk.filePath(QStringLiteral("backup.md"));
    ASSERT_EQ(run({QStringLiteral("-demo"), QStringLiteral("--export"), backup}).exitCode, 0);
    const QByteArray before = hashOf(backup);
    ASSERT_FALSE(before.isEmpty());
    disk.fill();

    const Result r = run({QStringLiteral("-demo"), QStringLiteral("--export"), backup});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("No space left on device"))) << r.err.toStdString();
    EXPECT_EQ(hashOf(backup), before);
}

TEST_F(ProgramTest, aStoreOnAReadOnlyDiskIsListedAndTheWindowSaysWhyItCantStart)
{
    vorn::test::TinyDisk disk(4 * 1024 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << disk.why().toStdString();
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("HOME"), disk.path());
    ASSERT_EQ(run({QStringLiteral("--add"), QStringLiteral("Water the plants")}, env).exitCode, 0);
    ASSERT_TRUE(disk.setReadOnly(true));

    const Result listed = run({QStringLiteral("--list"), QStringLiteral("today")}, env);
    EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    EXPECT_EQ(listed.out, QStringLiteral("- [ ] Water the plants\n"));
    const Result window = run({}, env);
    EXPECT_EQ(window.exitCode, 1);
    EXPECT_TRUE(window.err.contains(QStringLiteral("store.sqlite")) &&
                window.err.contains(QStringLiteral("Read-only file system")))
        << window.err.toStdString();
    ASSERT_TRUE(disk.setReadOnly(false));
}

TEST_F(ProgramTest, sigtermClosesTheStartupErrorBox)
{
    XSession x;
    ASSERT_FALSE(x.display().isEmpty()) << "no Xvfb";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(storePath()).absolutePath()));
    QFile broken(storePath());
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write(QByteArray(8192, 'x')) == 8192);
    broken.close();
    QProcess app;
    app.setProcessEnvironment(x.environment(environment()));
    app.start(QStringLiteral(VORN_TODO_BINARY), {});
    ASSERT_FALSE(x.waitForWindow(QStringLiteral("vorn todo")).isEmpty()) << "the error box";
    ::kill(pid_t(app.processId()), SIGTERM);
    EXPECT_TRUE(app.waitForFinished(5000)) << "a logout doesn't wait for the box to be answered";
    EXPECT_EQ(app.exitCode(), 1);
}

TEST_F(ProgramTest, aRelativeXdgDataHomeIsIgnored)
{
    QTemporaryDir elsewhere;
    QProcess p;
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), QStringLiteral("relative/data"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(elsewhere.path());
    p.start(QStringLiteral(VORN_TODO_BINARY), {QStringLiteral("--add"), QStringLiteral("Water the plants")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_FALSE(QFileInfo::exists(elsewhere.filePath(QStringLiteral("relative"))));
    EXPECT_TRUE(QFileInfo::exists(storePath())) << "the store is in the home's data folder";
}

TEST_F(ProgramTest, helpListsTheOptions)
{
    Result r = run({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("--list")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("-demo")));
    EXPECT_NE(run({QStringLiteral("--bogus")}).exitCode, 0);
}

TEST_F(ProgramTest, withoutADisplayTheWindowStartSaysWhatToDoInsteadOfCrashing)
{
    QProcessEnvironment env = environment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    Result r = run({}, env);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Xvfb"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("--list"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(storePath())) << "nothing is opened before the display check";

    // Listing needs no display at all.
    Result list = run({QStringLiteral("-demo"), QStringLiteral("--list"), QStringLiteral("later")}, env);
    EXPECT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.contains(QStringLiteral("Call mum back")));
}

TEST_F(ProgramTest, aWindowEndedBySigtermQuitsNormallyAndLeavesAReadableStore)
{
    Result first = runWindowUntilStarted();
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    // The store is a real database the next start (and --list) can read.
    Result list = run({QStringLiteral("--list"), QStringLiteral("today")});
    EXPECT_EQ(list.exitCode, 0) << list.err.toStdString();
}

TEST_F(ProgramTest, aSecondStartOnTheSameHomeLeavesTheFirstInCharge)
{
    XSession x;
    ASSERT_FALSE(x.display().isEmpty()) << "no Xvfb";
    QProcess first;
    first.setProcessEnvironment(x.environment(environment()));
    first.start(QStringLiteral(VORN_TODO_BINARY), {});
    const QString window = x.waitForWindow(QStringLiteral("vorn todo"));
    ASSERT_FALSE(window.isEmpty()) << (first.waitForFinished(0) ? "it ended: " : "no window: ")
                                   << first.readAllStandardError().toStdString();
    ASSERT_TRUE(x.keys(window, {QStringLiteral("n")}));
    ASSERT_TRUE(x.type(window, QStringLiteral("typed before the second start")));
    ASSERT_TRUE(x.keys(window, {QStringLiteral("Return"), QStringLiteral("Escape")}));

    // The second start goes away at once and says why, with no bus address and with the bus switched
    // off alike: the lock alone keeps it out. A listing may still look alongside.
    QProcessEnvironment busOff = x.environment(environment());
    busOff.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    for (const QProcessEnvironment& env : {x.environment(environment()), busOff}) {
        QElapsedTimer timer;
        timer.start();
        const Result second = run({}, env);
        EXPECT_LT(timer.elapsed(), 2000);
        EXPECT_EQ(second.exitCode, 0);
        EXPECT_EQ(second.err, QStringLiteral("vorn todo is already running.\n"));
    }
    EXPECT_EQ(run({QStringLiteral("--list"), QStringLiteral("today")}).exitCode, 0);

    ASSERT_TRUE(x.keys(window, {QStringLiteral("n")}));
    ASSERT_TRUE(x.type(window, QStringLiteral("typed after it")));
    ASSERT_TRUE(x.keys(window, {QStringLiteral("Return"), QStringLiteral("Escape")}));
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    const Result list = run({QStringLiteral("--list"), QStringLiteral("today")});
    EXPECT_EQ(list.out, QStringLiteral("- [ ] typed before the second start\n- [ ] typed after it\n"));
}

TEST_F(ProgramTest, aListingWhileAnotherProcessSavesShowsOnlyWholeSaves)
{
    // Each import saves its ten things in one transaction; a listing alongside sees all ten or none.
    QFile batch(home.filePath(QStringLiteral("batch.md")));
    ASSERT_TRUE(batch.open(QIODevice::WriteOnly));
    for (int i = 0; i < 10; ++i)
        batch.write(QByteArray("- [ ] thing ") + QByteArray::number(i) + '\n');
    batch.close();
    constexpr int kImports = 6;
    QProcess writer;
    writer.setProcessEnvironment(environment());
    writer.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                        QStringLiteral("for i in $(seq %1); do \"$0\" --import "
                                                       "\"$1\" || exit 1; done")
                                            .arg(kImports),
                                        QStringLiteral(VORN_TODO_BINARY), batch.fileName()});
    ASSERT_TRUE(writer.waitForStarted(5000));
    int listings = 0;
    do {
        const Result list = run({QStringLiteral("--list"), QStringLiteral("today")});
        ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
        EXPECT_EQ(list.out.count(u'\n') % 10, 0) << "a listing saw part of a save:\n"
                                                 << list.out.toStdString();
        ++listings;
    } while (!writer.waitForFinished(0));
    EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
    EXPECT_EQ(run({QStringLiteral("--list"), QStringLiteral("today")}).out.count(u'\n'), 10 * kImports)
        << "after " << listings << " listings alongside";
}

TEST_F(ProgramTest, aLockLeftByAKilledProcessDoesNotKeepTheNextStartOut)
{
    QProcess killed;
    killed.setProcessEnvironment(environment());
    killed.start(QStringLiteral(VORN_TODO_BINARY), {});
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(storePath() + QStringLiteral(".lock")) && waited.elapsed() < 20000)
        killed.waitForFinished(50);
    ASSERT_TRUE(QFile::exists(storePath() + QStringLiteral(".lock")));
    ::kill(pid_t(killed.processId()), SIGKILL);
    killed.waitForFinished(5000);

    const Result next = runWindowUntilStarted();
    EXPECT_EQ(next.exitCode, 0);
    EXPECT_FALSE(next.err.contains(QStringLiteral("already running"))) << next.err.toStdString();
}

TEST_F(ProgramTest, aLockThatNamesNoOwnerDoesNotKeepTheNextStartOut)
{
    // What a process killed between making its lock and writing its name into it leaves behind.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(storePath()).absolutePath()));
    QFile empty(storePath() + QStringLiteral(".lock"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();

    const Result next = runWindowUntilStarted();
    EXPECT_EQ(next.exitCode, 0);
    EXPECT_FALSE(next.err.contains(QStringLiteral("already running"))) << next.err.toStdString();
}

TEST_F(ProgramTest, titlesWithControlCharactersAreOneLineEverywhereAndComeBackFromAnExport)
{
    // given titles as a script or a paste gives them, and a planner row meant to retitle the terminal
    const struct {
        const char* given;
        const char* kept;
    } titles[] = {
        {"call\nthe bank", "call the bank"},
        {"pay\r\nrent", "pay rent"},
        {"water\rplants", "water plants"},
        {"\x1b]0;pwned\x07tea", "]0;pwnedtea"},
        {"bell\x07 here\x1b[2J", "bell here[2J"},
        {"del\x7f\xc2\x9b"
         "ete\tme",
         "delete me"},
    };
    QString expected;
    for (const auto& t : titles) {
        const Result added = run({QStringLiteral("--add"), QString::fromUtf8(t.given)});
        ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();
        expected += QStringLiteral("- [ ] ") + QString::fromUtf8(t.kept) + u'\n';
    }
    const QString family = home.filePath(QStringLiteral(".local/share/Vorn/family.db"));
    const auto sql = [&](const QString& statement) {
        QProcess q;
        q.start(QStringLiteral("sqlite3"), {family, statement});
        EXPECT_TRUE(q.waitForFinished(10000));
        return QString::fromUtf8(q.readAllStandardOutput());
    };
    sql(QStringLiteral("INSERT INTO things (id, title, due_day, source_app, updated_at) VALUES ('p1', "
                       "'plan' || char(10) || 'ahead' || char(27) || ']0;pwned' || char(7), "
                       "date('now', 'localtime'), 'planner', 0)"));

    // then every list shows one line a thing, and no byte of a terminal's escapes
    EXPECT_EQ(run({QStringLiteral("--list"), QStringLiteral("today")}).out,
              expected + QStringLiteral("- [ ] plan ahead]0;pwned\n"));
    EXPECT_EQ(
        sql(QStringLiteral("SELECT count(*) FROM things WHERE id != 'p1' AND (title GLOB '*[' || char(1) || "
                           "'-' || char(31) || char(127) || ']*')")),
        QStringLiteral("0\n"))
        << "the family file gets our titles as one line";
    const Result printed = run({QStringLiteral("--export")});
    EXPECT_FALSE(
        printed.out.contains(QRegularExpression(QStringLiteral("[\\x00-\\x08\\x0b-\\x1f\\x7f-\\x9f]"))));

    // and an export brings every one of them back into a new home
    const QString backup = home.filePath(QStringLiteral("backup.md"));
    ASSERT_EQ(run({QStringLiteral("--export"), backup}).exitCode, 0);
    QTemporaryDir other;
    const QProcessEnvironment otherEnv = [&] {
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("HOME"), other.path());
        env.insert(QStringLiteral("TMPDIR"), other.path());
        return env;
    }();
    const Result imported = run({QStringLiteral("--import"), backup}, otherEnv);
    EXPECT_EQ(imported.out, QStringLiteral("Imported 6 things.\n")) << imported.err.toStdString();
    EXPECT_EQ(run({QStringLiteral("--list"), QStringLiteral("today")}, otherEnv).out, expected);
}

TEST_F(ProgramTest, anIcsImportAndExportKeepSubtasksAndWhatAnotherAppWrote)
{
    // given a calendar app's file: a to-do with a subtask, a priority and an alarm, and an event
    const QString in = home.filePath(QStringLiteral("tasks.ics"));
    {
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Elsewhere//EN\r\n"
                "BEGIN:VTODO\r\nUID:t-1\r\nDTSTAMP:20261101T100000Z\r\nSUMMARY:Renew the passport\r\n"
                "PRIORITY:1\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:now\r\nTRIGGER:-PT15M\r\n"
                "END:VALARM\r\nEND:VTODO\r\n"
                "BEGIN:VTODO\r\nUID:t-2\r\nDTSTAMP:20261101T100000Z\r\nSUMMARY:Photo booth\r\n"
                "RELATED-TO:t-1\r\nEND:VTODO\r\n"
                "BEGIN:VEVENT\r\nUID:e-1\r\nDTSTAMP:20261101T100000Z\r\nSUMMARY:party\r\nEND:VEVENT\r\n"
                "END:VCALENDAR\r\n");
    }

    // when it is imported and everything exported as .ics
    const Result imported = run({QStringLiteral("--import"), in});
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out.trimmed().toStdString(),
              "Imported 1 thing. 1 item was left out: line 21 (an event, not a to-do).");
    const QString out = home.filePath(QStringLiteral("out.ics"));
    const Result exported = run({QStringLiteral("--export"), out});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();

    // then the subtask is a step, and the export carries the thing, its step and what we don't know
    EXPECT_EQ(run({QStringLiteral("--list"), QStringLiteral("today")}).out.toStdString(),
              "- [ ] Renew the passport\n");
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    for (const char* line : {"UID:t-1\r\n", "UID:t-2\r\n", "RELATED-TO;RELTYPE=PARENT:t-1\r\n",
                             "PRIORITY:1\r\n", "TRIGGER:-PT15M\r\n", "BEGIN:VALARM\r\n"})
        EXPECT_TRUE(text.contains(line)) << line << "\n" << text.constData();
    EXPECT_FALSE(text.contains("party"));
    // A .md name keeps Markdown.
    const QString md = home.filePath(QStringLiteral("out.md"));
    ASSERT_EQ(run({QStringLiteral("--export"), md}).exitCode, 0);
    QFile m(md);
    ASSERT_TRUE(m.open(QIODevice::ReadOnly));
    const QByteArray markdown = m.readAll();
    EXPECT_TRUE(markdown.contains("- [ ] Renew the passport\n")) << markdown.constData();
    EXPECT_TRUE(markdown.contains("- [ ] Photo booth\n")) << markdown.constData();
    EXPECT_FALSE(markdown.contains("BEGIN:")) << markdown.constData();
}
