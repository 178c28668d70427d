#include "app/AccountServer.h"
#include "app/CalendarSyncRunner.h"

#include "model/AppModel.h"
#include "model/CalendarAccount.h"
#include "model/Constants.h"
#include "model/Settings.h"
#include "support/ModelHarness.h"
#include "support/ProgramRun.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace vorn {
namespace {

using secrets::SecretProblem;
using secrets::SecretResult;
using secrets::SecretStore;
using test::ProgramResult;

TEST(SecretStoreTest, aPasswordIsWrittenReadBackReplacedAndRemovedPerKey)
{
    if (!test::KeyringSession::installed())
        GTEST_SKIP() << "needs gnome-keyring-daemon (scripts/ensure-packages)";
    const test::KeyringSession& keyring = test::KeyringSession::shared();
    ASSERT_TRUE(keyring.ready()) << keyring.problem().toStdString();
    SecretStore store(QStringLiteral("vorn-todo-test"), nullptr);
    const QString alice = QStringLiteral("alice@https://example.org:443");
    const QString bob = QStringLiteral("bob@https://example.org:443");

    // Each step, then what each key reads.
    struct Step {
        const char* what;
        std::function<void(SecretStore::Callback)> run;
        std::optional<QString> alice, bob; // nullopt: not found
    };
    const Step steps[] = {
        {"nothing yet", [&](auto cb) { store.readPassword(alice, cb); }, std::nullopt, std::nullopt},
        {"written", [&](auto cb) { store.writePassword(alice, QStringLiteral("first: ünïcode"), cb); },
         QStringLiteral("first: ünïcode"), std::nullopt},
        {"another key", [&](auto cb) { store.writePassword(bob, QStringLiteral("bobs"), cb); },
         QStringLiteral("first: ünïcode"), QStringLiteral("bobs")},
        {"replaced", [&](auto cb) { store.writePassword(alice, QStringLiteral("second"), cb); },
         QStringLiteral("second"), QStringLiteral("bobs")},
        {"removed", [&](auto cb) { store.removePassword(alice, cb); }, std::nullopt, QStringLiteral("bobs")},
        {"removed again", [&](auto cb) { store.removePassword(alice, cb); }, std::nullopt,
         QStringLiteral("bobs")},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_NE(test::awaitSecret(step.run).problem, SecretProblem::Refused);
        for (const auto& [key, expected] : {std::pair{alice, step.alice}, std::pair{bob, step.bob}}) {
            const SecretResult r = test::awaitSecret([&](auto cb) { store.readPassword(key, cb); });
            EXPECT_EQ(r.problem, expected ? SecretProblem::None : SecretProblem::NotFound)
                << key.toStdString();
            EXPECT_EQ(r.password, expected.value_or(QString())) << key.toStdString();
        }
    }
}

TEST(SecretStoreTest, aDemoRunKeepsItsMakeBelievePasswordApartFromTheAppsOwn)
{
    if (!test::KeyringSession::installed())
        GTEST_SKIP() << "needs gnome-keyring-daemon (scripts/ensure-packages)";
    const test::KeyringSession& keyring = test::KeyringSession::shared();
    ASSERT_TRUE(keyring.ready()) << keyring.problem().toStdString();
    const QString key = QStringLiteral("demo-and-real@https://dav.example.org:443");
    SecretStore app; // the app's own entries, in this test's own keyring
    ASSERT_TRUE(test::awaitSecret([&](auto cb) { app.writePassword(key, QStringLiteral("real"), cb); }).ok());
    test::ModelHarness h;
    h.launch.arguments << QString(kDemoArgument);
    std::unique_ptr<AppModel> model = h.start();
    CalendarSyncRunner demo(*model, h.launch);

    ASSERT_TRUE(test::awaitSecret([&](auto cb) {
                    demo.secrets().writePassword(key, QStringLiteral("demo"), cb);
                }).ok());
    EXPECT_EQ(test::awaitSecret([&](auto cb) { app.readPassword(key, cb); }).password,
              QStringLiteral("real"));
    EXPECT_EQ(test::awaitSecret([&](auto cb) { demo.secrets().readPassword(key, cb); }).password,
              QStringLiteral("demo"));
}

struct SyncSetupTest : ::testing::Test {
    ProgramResult run(const QStringList& args, const QByteArray& input, const QProcessEnvironment& env)
    {
        return test::runProgram(QStringLiteral(VORN_TODO_BINARY), args, env, input);
    }
    ProgramResult run(const QStringList& args, const QByteArray& input)
    {
        return run(args, input, test::homeEnvironment(home.path()));
    }
    QString settingsPath() const { return home.filePath(QStringLiteral(".config/Vorn/vorn-todo.json")); }
    QByteArray settingsText() const
    {
        QFile f(settingsPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir home;
    test::AccountServer server;
};

TEST_F(SyncSetupTest, onlyAnAccountTheServerTakesIsKeptAndThePasswordOnlyInTheKeyring)
{
    VORN_START_ACCOUNT_SERVER(server);
    const QString url = server.radicale->url().toString();
    const QByteArray right = server.radicale->password().toUtf8() + '\n';
    const auto setup = [](const QString& at, const QString& user, const QStringList& more = {}) {
        return QStringList{QStringLiteral("--sync-setup"), at, QStringLiteral("--user"), user} + more;
    };
    struct Case {
        const char* what;
        QStringList args;
        QByteArray input;
        int exitCode;
        QString said;                        // on standard output when it worked, standard error when not
        std::optional<QString> keptPassword; // what the keyring holds for alice afterwards
    };
    const Case cases[] = {
        {"a wrong password", setup(url, QStringLiteral("alice")), "nope\n", 1,
         QStringLiteral("vorn-todo: The server didn't take the password.\n"), std::nullopt},
        {"plain http beyond this machine",
         setup(QStringLiteral("http://example.org/"), QStringLiteral("alice")), right, 1,
         QStringLiteral("vorn-todo: example.org isn't a secure (https) address, so nothing was sent."),
         std::nullopt},
        {"no password", setup(url, QStringLiteral("alice")), "", 2,
         QStringLiteral("reads the password from standard input, and none came"), std::nullopt},
        {"the right one", setup(url, QStringLiteral("alice")), right, 0,
         QStringLiteral("Connected to 127.0.0.1 as alice: 2 lists of to-dos there (Groceries, Work).\n"),
         server.radicale->password()},
        // A failure after one that worked leaves that one as it was.
        {"a wrong password later", setup(url, QStringLiteral("alice")), "nope\n", 1,
         QStringLiteral("vorn-todo: The server didn't take the password.\n"), server.radicale->password()},
    };
    QByteArray kept; // the settings as the last success left them
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramResult r = run(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE((c.exitCode == 0 ? r.out : r.err).contains(c.said))
            << r.out.toStdString() << r.err.toStdString();
        if (c.exitCode == 0)
            kept = settingsText();
        EXPECT_EQ(settingsText(), kept) << "a failure writes no settings";
        const SecretResult stored = server.storedPassword(server.key());
        EXPECT_EQ(stored.ok(), c.keptPassword.has_value()) << stored.message.toStdString();
        EXPECT_EQ(stored.password, c.keptPassword.value_or(QString()));
    }
    ASSERT_TRUE(kept.contains("calendarSync.url")) << kept.toStdString();
    EXPECT_FALSE(kept.contains(server.radicale->password().toUtf8())) << "never in the settings file";

    const ProgramResult status = run({QStringLiteral("--sync-status")}, {});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_EQ(
        status.out,
        QStringLiteral("Calendar server: %1 as alice\nLast sync: not yet\nLast failure: none\n").arg(url));
    // What the sync leaves behind, as --sync-status reads it.
    {
        Settings settings(settingsPath());
        recordSyncSuccess(settings, QDateTime(QDate(2026, 12, 9), QTime(22, 15), QTimeZone::utc()));
        recordSyncFailure(settings, QStringLiteral("Can't reach 127.0.0.1 right now."),
                          QDateTime(QDate(2026, 12, 10), QTime(1, 0), QTimeZone(3600)));
    }
    EXPECT_EQ(run({QStringLiteral("--sync-status")}, {}).out,
              QStringLiteral("Calendar server: %1 as alice\nLast sync: 2026-12-09 22:15 UTC\n"
                             "Last failure: Can't reach 127.0.0.1 right now. (2026-12-10 00:00 UTC)\n")
                  .arg(url));
}

TEST_F(SyncSetupTest, withoutAKeyringNothingIsKeptAndTheMessageSaysWhy)
{
    VORN_START_ACCOUNT_SERVER(server);
    QProcessEnvironment env = test::homeEnvironment(home.path());
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("DISPLAY")); // else D-Bus would start a bus of its own for the display
    const ProgramResult r = run({QStringLiteral("--sync-setup"), server.radicale->url().toString(),
                                 QStringLiteral("--user"), QStringLiteral("alice")},
                                server.radicale->password().toUtf8() + '\n', env);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("vorn-todo: There's no keyring to keep the password in: ")))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(settingsPath()));
    const ProgramResult status = run({QStringLiteral("--sync-status")}, {});
    EXPECT_TRUE(
        status.out.startsWith(QStringLiteral("Not set up yet: run vorn-todo --sync-setup URL --user NAME")))
        << status.out.toStdString();
}

TEST_F(SyncSetupTest, syncingFromTheCommandLineCarriesThingsBothWaysAndThenHasNothingToDo)
{
    VORN_START_ACCOUNT_SERVER(server);
    const QString url = server.radicale->url().toString();
    ASSERT_EQ(run({QStringLiteral("--sync-setup"), url, QStringLiteral("--user"), QStringLiteral("alice")},
                  server.radicale->password().toUtf8() + '\n')
                  .exitCode,
              0);
    ASSERT_EQ(run({QStringLiteral("--add"), QStringLiteral("Call the plumber")}, {}).exitCode, 0);
    const ProgramResult first = run({QStringLiteral("--sync")}, {});
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, QStringLiteral("Synced: 1 sent, 0 taken in, 0 deleted.\n"));

    // The phone adds a to-do with a subtask to a list that came from the server.
    QProcess phone;
    phone.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(VORN_PHONE_SCRIPT), url, server.radicale->user(), server.radicale->password(),
                 QStringLiteral("add"), QStringLiteral("Groceries"), QStringLiteral("Pack"),
                 QStringLiteral("Passport")});
    ASSERT_TRUE(phone.waitForFinished(60'000));
    ASSERT_EQ(phone.exitCode(), 0) << phone.readAllStandardError().toStdString();
    const ProgramResult second = run({QStringLiteral("--sync")}, {});
    EXPECT_EQ(second.out, QStringLiteral("Synced: 0 sent, 1 taken in, 0 deleted.\n"))
        << second.err.toStdString();
    const ProgramResult list = run({QStringLiteral("--export")}, {});
    EXPECT_TRUE(list.out.contains(QStringLiteral("Pack"))) << list.out.toStdString();
    EXPECT_TRUE(list.out.contains(QStringLiteral("Passport")))
        << "its subtask as a step: " << list.out.toStdString();

    EXPECT_EQ(run({QStringLiteral("--sync")}, {}).out,
              QStringLiteral("Synced. Nothing new on either side.\n"));
    EXPECT_FALSE(
        run({QStringLiteral("--sync-status")}, {}).out.contains(QStringLiteral("Last sync: not yet")));

    // Stopped: the account, its password and what the syncs kept go; the things stay.
    const QString ledger = home.filePath(QStringLiteral(".local/share/Vorn/vorn-todo/calendar-sync.sqlite"));
    ASSERT_TRUE(QFile::exists(ledger));
    SecretStore keyring;
    const CalendarAccount account = *readCalendarAccount(Settings(settingsPath()));
    const auto password = [&] {
        return test::awaitSecret([&](auto cb) { keyring.readPassword(account.secretKey(), cb); }).problem;
    };
    ASSERT_EQ(password(), SecretProblem::None);
    const ProgramResult stop = run({QStringLiteral("--sync-stop")}, {});
    EXPECT_EQ(stop.exitCode, 0) << stop.err.toStdString();
    EXPECT_EQ(stop.out.toStdString(), "Stopped syncing with 127.0.0.1. Your things stay here, and on the "
                                      "server as they are.\n");
    EXPECT_FALSE(QFile::exists(ledger));
    EXPECT_FALSE(settingsText().contains("calendarSync")) << settingsText().toStdString();
    EXPECT_EQ(password(), SecretProblem::NotFound);
    EXPECT_TRUE(run({QStringLiteral("--export")}, {}).out.contains(QStringLiteral("Call the plumber")));
    EXPECT_EQ(run({QStringLiteral("--sync")}, {}).exitCode, 1);
    EXPECT_EQ(run({QStringLiteral("--sync-stop")}, {}).out.toStdString(),
              "Not syncing with a calendar server: nothing to stop.\n");
}

TEST_F(SyncSetupTest, syncThroughTheRunningAppWaitsForItsOutcomeAndExitsAsItWent)
{
    VORN_START_ACCOUNT_SERVER(server);
    // The app starts before there is an account: --sync-setup from a terminal tells it, and it syncs.
    QProcess app;
    app.setProcessEnvironment(test::homeEnvironment(home.path()));
    app.start(QStringLiteral(VORN_TODO_BINARY), {});
    const auto stop = qScopeGuard([&app] { app.terminate(), app.waitForFinished(20'000); });
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    ASSERT_TRUE(QTest::qWaitFor(
        [bus] { return bus->isServiceRegistered(QStringLiteral("com.vorn.todo")).value(); }, 30'000));
    ASSERT_EQ(run({QStringLiteral("--add"), QStringLiteral("Call the plumber")}, {}).exitCode, 0);
    ASSERT_EQ(run({QStringLiteral("--sync-setup"), server.radicale->url().toString(),
                   QStringLiteral("--user"), QStringLiteral("alice")},
                  server.radicale->password().toUtf8() + '\n')
                  .exitCode,
              0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QString said = run({QStringLiteral("--sync-status")}, {}).out;
            return said.contains(QStringLiteral("Last sync: ")) &&
                   !said.contains(QStringLiteral("Last sync: not yet"));
        },
        30'000))
        << run({QStringLiteral("--sync-status")}, {}).out.toStdString();
    const ProgramResult synced = run({QStringLiteral("--sync")}, {});
    EXPECT_EQ(synced.exitCode, 0) << synced.err.toStdString();
    EXPECT_EQ(synced.out.toStdString(), "Synced. Nothing new on either side.\n");
    server.radicale.reset();
    const ProgramResult failed = run({QStringLiteral("--sync")}, {});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.err.toStdString(), "vorn-todo: Can't reach 127.0.0.1 right now.\n");
    EXPECT_EQ(app.state(), QProcess::Running) << "a failed sync is a line, not the app's end";

    // Stopped by the running app, which syncs no more: no failure to tell of, no account.
    const ProgramResult stopped = run({QStringLiteral("--sync-stop")}, {});
    EXPECT_EQ(stopped.exitCode, 0) << stopped.err.toStdString();
    EXPECT_TRUE(stopped.out.startsWith(QStringLiteral("Stopped syncing with 127.0.0.1.")))
        << stopped.out.toStdString();
    EXPECT_TRUE(run({QStringLiteral("--sync-status")}, {}).out.startsWith(QStringLiteral("Not set up yet")));
    EXPECT_TRUE(run({QStringLiteral("--sync")}, {}).err.contains(QStringLiteral("Not set up yet")));
}

} // namespace
} // namespace vorn
