#include "support/ProgramRun.h"
#include "support/TinyDisk.h"
#include "support/XSession.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using vorn::test::XSession;

namespace {

using Result = vorn::test::ProgramResult;

// The real program on a private display and a private session bus (the test runs inside its own
// dbus-run-session), with a home folder of its own.
class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(x.display().isEmpty()) << "no Xvfb";
        ASSERT_TRUE(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) << "runs inside dbus-run-session";
    }
    void TearDown() override
    {
        if (app.state() != QProcess::NotRunning) {
            app.terminate();
            app.waitForFinished(20000);
        }
    }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = vorn::test::homeEnvironment(homePath.isEmpty() ? home.path() : homePath);
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
        return x.environment(env);
    }
    Result run(const QStringList& args)
    {
        return vorn::test::runProgram(QStringLiteral(VORN_TODO_BINARY), args, environment());
    }
    // Starts the app and waits for its window; its id, or empty.
    QString startApp()
    {
        app.setProcessEnvironment(environment());
        app.start(QStringLiteral(VORN_TODO_BINARY), {});
        EXPECT_TRUE(app.waitForStarted(10000));
        const QString window = x.waitForWindow(QStringLiteral("vorn todo"));
        EXPECT_FALSE(window.isEmpty()) << app.readAllStandardError().toStdString();
        return window;
    }
    QString visibleWindow() const { return x.waitForWindow(QStringLiteral("vorn todo"), 200); }
    // Today as --list prints it once it holds `line` (the app saves a moment after an edit).
    QString todayOnceItHas(const QString& line)
    {
        QString today;
        const QDeadlineTimer deadline(10000);
        do {
            today = run({QStringLiteral("--list"), QStringLiteral("today")}).out;
        } while (!today.contains(line) && !deadline.hasExpired() && (QThread::msleep(200), true));
        return today;
    }
    QStringList familyTitles() const
    {
        QProcess q;
        q.start(QStringLiteral("sqlite3"),
                {QStringLiteral("-readonly"), home.filePath(QStringLiteral(".local/share/Vorn/family.db")),
                 QStringLiteral("SELECT title FROM things ORDER BY title")});
        q.waitForFinished(10000);
        return QString::fromUtf8(q.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }
    QStringList familyTitlesOnceItHas(const QString& title) const
    {
        QStringList titles;
        const QDeadlineTimer deadline(10000);
        while (!(titles = familyTitles()).contains(title) && !deadline.hasExpired())
            QThread::msleep(200);
        return titles;
    }

    QTemporaryDir home;
    QString homePath; // another home than `home`, when set (the cache stays in `home`)
    XSession x;
    QProcess app;
};

TEST_F(InstanceTest, aSecondStartBringsTheFirstWindowBackAndGoes)
{
    const QString window = startApp();
    ASSERT_FALSE(window.isEmpty());
    // given the window off the screen, as a desktop minimising it would leave it
    ASSERT_TRUE(x.xdotool({QStringLiteral("windowunmap"), QStringLiteral("--sync"), window}));
    ASSERT_TRUE(visibleWindow().isEmpty());

    QElapsedTimer took;
    took.start();
    const Result second = run({});
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_LT(took.elapsed(), 3000) << "a second start goes at once";
    EXPECT_FALSE(second.err.contains(QStringLiteral("already running")))
        << "it reached the first over the bus";

    EXPECT_EQ(visibleWindow(), window) << "the first app's window is back";
    bool ok = false;
    QString focused;
    for (int i = 0; i < 25 && focused != window; ++i, QThread::msleep(100)) {
        QProcess q;
        q.setProcessEnvironment(environment());
        q.start(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")});
        ok = q.waitForFinished(5000);
        focused = QString::fromUtf8(q.readAllStandardOutput()).trimmed();
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(focused, window) << "and has the keyboard";
    EXPECT_EQ(app.state(), QProcess::Running);
}

TEST_F(InstanceTest, quickAddGoesThroughTheRunningAppIntoTodayAndTheFamilyFile)
{
    ASSERT_FALSE(startApp().isEmpty());
    const Result added = run({QStringLiteral("--add"), QStringLiteral("call the bank")});
    EXPECT_EQ(added.exitCode, 0) << added.err.toStdString();
    EXPECT_TRUE(added.out.isEmpty() && added.err.isEmpty()) << "silent on success";
    EXPECT_EQ(todayOnceItHas(QStringLiteral("call the bank")), QStringLiteral("- [ ] call the bank\n"));
    EXPECT_TRUE(
        familyTitlesOnceItHas(QStringLiteral("call the bank")).contains(QStringLiteral("call the bank")));

    const Result blank = run({QStringLiteral("--add"), QStringLiteral("   ")});
    EXPECT_NE(blank.exitCode, 0);
    EXPECT_TRUE(blank.err.contains(QStringLiteral("needs a title"))) << blank.err.toStdString();

    // The running app took it as its own edit: still there after it quits, once.
    app.terminate();
    ASSERT_TRUE(app.waitForFinished(20000));
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(run({QStringLiteral("--list"), QStringLiteral("today")}).out,
              QStringLiteral("- [ ] call the bank\n"));
}

TEST_F(InstanceTest, quickAddWithoutARunningAppWritesTheStoreAndTheFamilyFile)
{
    for (const char* title : {"first", "second"}) {
        const Result r = run({QStringLiteral("--add"), QString::fromLatin1(title)});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty() && r.err.isEmpty()) << r.err.toStdString();
    }
    EXPECT_EQ(run({QStringLiteral("--list"), QStringLiteral("today")}).out,
              QStringLiteral("- [ ] first\n- [ ] second\n"));
    EXPECT_EQ(familyTitles(), (QStringList{QStringLiteral("first"), QStringLiteral("second")}));

    const Result demo = run({QStringLiteral("-demo"), QStringLiteral("--add"), QStringLiteral("lost")});
    EXPECT_NE(demo.exitCode, 0) << "a demo's store is thrown away: no success to report";
    EXPECT_FALSE(demo.err.isEmpty());
}

TEST_F(InstanceTest, killedWhileTypingKeepsEveryThingThatWasEntered)
{
    const QString window = startApp();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(x.keys(window, {QStringLiteral("n")}));
    // Typed and entered one after another, as fast as a user could: "thing 01", Return, "thing 02", …
    // The script says each number once its Return has gone to the window.
    QProcess typing;
    typing.setProcessEnvironment(environment());
    typing.start(
        QStringLiteral("sh"),
        {QStringLiteral("-c"), QStringLiteral("for i in $(seq -w 1 30); do xdotool type --delay 10 "
                                              "\"thing $i\" && xdotool key Return && echo $i || exit 1; "
                                              "done")});
    // The kill lands mid-burst, a moment after the twelfth thing was entered: long before the store's
    // own save a second after the last edit, which the typing keeps putting off.
    QByteArray said;
    while (!said.contains("12\n") && typing.waitForReadyRead(20000))
        said += typing.readAllStandardOutput();
    ASSERT_TRUE(said.contains("12\n")) << typing.readAllStandardError().toStdString();
    QThread::msleep(500);
    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(20000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    typing.kill();
    typing.waitForFinished(5000);

    const QStringList listed =
        run({QStringLiteral("--list"), QStringLiteral("today")}).out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(listed.size(), 12) << listed.join(u'|').toStdString();
    EXPECT_LT(listed.size(), 30) << "the kill was meant to land mid-burst";
    // Whatever was entered is there, whole and in order: thing 01, thing 02, … with no gap. What was
    // typed of the next one when the kill came goes in too, as far as it got.
    auto expected = [](int i) {
        return QStringLiteral("- [ ] thing %1").arg(i + 1, 2, 10, QLatin1Char('0'));
    };
    for (int i = 0; i < listed.size(); ++i) {
        if (i + 1 == listed.size() && listed[i] != expected(i))
            EXPECT_TRUE(expected(i).startsWith(listed[i]))
                << "a draft of the next: " << listed[i].toStdString();
        else
            EXPECT_EQ(listed[i], expected(i));
    }
}

TEST_F(InstanceTest, endedOnAFullDiskTheAppKeepsItsChangesAndTheNextStartPutsThemBack)
{
    vorn::test::TinyDisk disk(2 * 1024 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << disk.why().toStdString();
    homePath = disk.path();
    const QString window = startApp();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(x.keys(window, {QStringLiteral("n")}));
    ASSERT_TRUE(x.type(window, QStringLiteral("Buy milk")) && x.keys(window, {QStringLiteral("Return")}));
    ASSERT_TRUE(todayOnceItHas(QStringLiteral("Buy milk")).contains(QStringLiteral("Buy milk")));

    // given a full disk, a thing entered and one only typed when the session ends
    disk.fill();
    ASSERT_TRUE(x.type(window, QStringLiteral("Call mum")) && x.keys(window, {QStringLiteral("Return")}));
    ASSERT_TRUE(x.type(window, QStringLiteral("Pay rent")));
    QThread::msleep(300);
    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(20000));
    const QString said = QString::fromUtf8(app.readAllStandardError());
    EXPECT_TRUE(
        said.contains(QStringLiteral("Everything is kept in ") + home.filePath(QStringLiteral("cache"))))
        << said.toStdString();
    auto rescues = [&] {
        QStringList found;
        QDirIterator it(home.filePath(QStringLiteral("cache")), {QStringLiteral("*.sqlite")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        return found;
    };
    EXPECT_EQ(rescues().size(), 1);

    // then, room made, the listing and the next start find both
    disk.drain();
    const QString expected = QStringLiteral("- [ ] Buy milk\n- [ ] Call mum\n- [ ] Pay rent\n");
    EXPECT_EQ(run({QStringLiteral("--list"), QStringLiteral("today")}).out, expected);
    ASSERT_FALSE(startApp().isEmpty());
    app.terminate();
    ASSERT_TRUE(app.waitForFinished(20000));
    EXPECT_EQ(run({QStringLiteral("--list"), QStringLiteral("today")}).out, expected);
    EXPECT_TRUE(rescues().isEmpty()) << "written back, it goes";
}

TEST_F(InstanceTest, aNoteTypedInItsSheetReachesTheFamilyFileEvenWhenTheAppIsEndedWithItOpen)
{
    ASSERT_EQ(run({QStringLiteral("--add"), QStringLiteral("buy milk")}).exitCode, 0);
    const QString window = startApp();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(x.keys(window, {QStringLiteral("Down"), QStringLiteral("ctrl+Return")}));
    const QString sheet = x.waitForWindow(QStringLiteral("Note"));
    ASSERT_FALSE(sheet.isEmpty()) << "Ctrl+Return opens the note";
    ASSERT_TRUE(x.type(sheet, QStringLiteral("Shop")));
    ASSERT_TRUE(x.keys(sheet, {QStringLiteral("Return"), QStringLiteral("ctrl+shift+l")}));
    ASSERT_TRUE(x.type(sheet, QStringLiteral("oat milk")));
    // Ended at once, well inside the moment the sheet waits before saving.
    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(20000));
    EXPECT_EQ(app.exitCode(), 0);

    QProcess q;
    q.start(QStringLiteral("sqlite3"),
            {QStringLiteral("-readonly"), home.filePath(QStringLiteral(".local/share/Vorn/family.db")),
             QStringLiteral("SELECT note_plain, note_id FROM things WHERE title = 'buy milk'")});
    ASSERT_TRUE(q.waitForFinished(10000));
    const QStringList row = QString::fromUtf8(q.readAllStandardOutput()).trimmed().split(u'|');
    ASSERT_EQ(row.size(), 2) << row.join(u'|').toStdString();
    EXPECT_EQ(row[0], QStringLiteral("Shop\n\u2610\toat milk"));
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral(".local/share/Vorn/notes/%1.rtf").arg(row[1]))));
}

TEST_F(InstanceTest, anExportImportsBackWholeAndAnImportIntoTheRunningAppIsOneUndo)
{
    const QString everything = home.filePath(QStringLiteral("everything.md"));
    ASSERT_EQ(run({QStringLiteral("-demo"), QStringLiteral("--export"), everything}).exitCode, 0);
    QFile file(everything);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString exported = QString::fromUtf8(file.readAll());
    const Result imported = run({QStringLiteral("--import"), everything});
    EXPECT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out, QStringLiteral("Imported 15 things.\n"));
    EXPECT_EQ(run({QStringLiteral("--export")}).out, exported) << "the demo's lists, back as they left";

    const QString window = startApp();
    ASSERT_FALSE(window.isEmpty());
    const QString small = home.filePath(QStringLiteral("small.md"));
    QFile out(small);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("- [ ] first import\n- [ ] second import\n  > with a note\n");
    out.close();
    const Result through = run({QStringLiteral("--import"), small});
    EXPECT_EQ(through.exitCode, 0) << through.err.toStdString();
    EXPECT_EQ(through.out, QStringLiteral("Imported 2 things.\n"));
    EXPECT_TRUE(todayOnceItHas(QStringLiteral("second import")).contains(QStringLiteral("first import")));

    ASSERT_TRUE(x.keys(window, {QStringLiteral("ctrl+z")}));
    QString today;
    const QDeadlineTimer deadline(10000);
    while ((today = run({QStringLiteral("--list"), QStringLiteral("today")}).out).contains(u"import") &&
           !deadline.hasExpired())
        QThread::msleep(200);
    EXPECT_FALSE(today.contains(u"import")) << "one Ctrl+Z takes the whole import back:\n"
                                            << today.toStdString();
    EXPECT_TRUE(today.contains(u"Think about the gym")) << "and nothing else";
}

TEST_F(InstanceTest, theDemosIcsExportImportsBackAndAnIcsImportIntoTheRunningAppIsOneUndo)
{
    const QString everything = home.filePath(QStringLiteral("everything.ics"));
    ASSERT_EQ(run({QStringLiteral("-demo"), QStringLiteral("--export"), everything}).exitCode, 0);
    const Result imported = run({QStringLiteral("--import"), everything});
    EXPECT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out, QStringLiteral("Imported 15 things.\n"));

    const QString window = startApp();
    ASSERT_FALSE(window.isEmpty());
    const QString small = home.filePath(QStringLiteral("small.ics"));
    QFile out(small);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:t\r\nBEGIN:VTODO\r\nUID:i-1\r\nSUMMARY:first import\r\n"
        "END:VTODO\r\nBEGIN:VTODO\r\nUID:i-2\r\nSUMMARY:second import\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    out.close();
    const Result through = run({QStringLiteral("--import"), small});
    EXPECT_EQ(through.exitCode, 0) << through.err.toStdString();
    EXPECT_EQ(through.out, QStringLiteral("Imported 2 things.\n"));
    EXPECT_TRUE(todayOnceItHas(QStringLiteral("second import")).contains(QStringLiteral("first import")));

    ASSERT_TRUE(x.keys(window, {QStringLiteral("ctrl+z")}));
    QString today;
    const QDeadlineTimer deadline(10000);
    while ((today = run({QStringLiteral("--list"), QStringLiteral("today")}).out).contains(u"import") &&
           !deadline.hasExpired())
        QThread::msleep(200);
    EXPECT_FALSE(today.contains(u"import")) << "one Ctrl+Z takes the whole import back:\n"
                                            << today.toStdString();
    EXPECT_TRUE(today.contains(u"Think about the gym")) << "and nothing else";
}

TEST_F(InstanceTest, hugeInputIsRefusedAtEveryDoorAndTheAppKeepsAnswering)
{
    ASSERT_FALSE(startApp().isEmpty());
    const auto call = [](const char* method, const QVariantList& arguments) {
        QDBusMessage m =
            QDBusMessage::createMethodCall(QStringLiteral("com.vorn.todo"), QStringLiteral("/com/vorn/todo"),
                                           QStringLiteral("com.vorn.todo.App"), QString::fromLatin1(method));
        m.setArguments(arguments);
        return QDBusConnection::sessionBus().call(m, QDBus::Block, 20000);
    };
    // The watchdog: a window that answers a cheap call within a second isn't frozen on what came in.
    const auto answersAtOnce = [&] {
        QElapsedTimer took;
        took.start();
        return call("Reopen", {}).type() == QDBusMessage::ReplyMessage && took.elapsed() < 1000;
    };
    const QString tooLong = QString(5000, u'x');
    const struct {
        const char* method;
        QVariantList arguments;
        const char* answer; // in the reply, or in the error when the call is refused
        bool refused;
    } cases[] = {
        {"AddThing", {QString(50 << 20, u'x')}, "Titles stop at 4,000 characters", true},
        {"AddThing", {QStringLiteral("pay\nrent\x1b]0;pwned\x07")}, "", false},
        {"Import",
         {QString(QStringLiteral("- [ ] ") + QString(17 << 20, u'x')), false},
         "the most is 16 MB",
         true},
        {"Import",
         {QStringLiteral("- [ ] %1\n- [ ] fine\n").arg(tooLong), false},
         "line 1 (a title over 4,000 characters)",
         false},
        {"Import",
         {QString(QStringLiteral("- [ ] long note\n") + QStringLiteral("  > \n").repeated(20000)), false},
         "line 10002 (a note too long to open: the rest of it was left out)",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        const QDBusMessage reply = call(c.method, c.arguments);
        EXPECT_EQ(reply.type(), c.refused ? QDBusMessage::ErrorMessage : QDBusMessage::ReplyMessage);
        const QString said = c.refused ? reply.errorMessage() : reply.arguments().value(0).toString();
        EXPECT_TRUE(said.contains(QString::fromUtf8(c.answer))) << said.left(200).toStdString();
        EXPECT_TRUE(answersAtOnce());
    }
    const Result added = run({QStringLiteral("--add"), tooLong});
    EXPECT_EQ(added.exitCode, 2);
    EXPECT_TRUE(added.err.contains(QStringLiteral("That one has 5,000."))) << added.err.toStdString();

    // Nothing huge was stored: the next start answers at once too.
    app.terminate();
    ASSERT_TRUE(app.waitForFinished(20000));
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(run({QStringLiteral("--list"), QStringLiteral("today")}).out,
              QStringLiteral("- [ ] pay rent]0;pwned\n- [ ] fine\n- [ ] long note\n"));
    ASSERT_FALSE(startApp().isEmpty());
    EXPECT_TRUE(answersAtOnce());
}

} // namespace
