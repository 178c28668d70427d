#include "app/AccountServer.h"
#include "app/CalendarSyncRunner.h"
#include "app/MenuBarSetting.h"
#include "app/MenuBarView.h"
#include "app/SettingsView.h"

#include "model/AppModel.h"
#include "model/CalendarAccount.h"
#include "support/ModelHarness.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace vorn {
namespace {

// Keeps a picture of what the user sees when VORN_SCREENSHOT_DIR says where.
void keepPicture(QWidget& w, const QString& name)
{
    if (const QString dir = qEnvironmentVariable("VORN_SCREENSHOT_DIR"); !dir.isEmpty()) {
        EXPECT_TRUE(w.grab().save(dir + u'/' + name + QStringLiteral(".png"))) << name.toStdString();
    }
}

// What a status line says, as the user reads it: a hidden line says nothing.
std::string shown(const QLabel* line)
{
    return line->isVisibleTo(line->window()) ? line->text().toStdString() : std::string();
}

TEST(SyncStatusViewTest, preferencesAndTheTrayFollowASyncLiveAndAFailureIsALineNotADialog)
{
    test::AccountServer server;
    VORN_START_ACCOUNT_SERVER(server);
    test::ModelHarness h;
    h.manualTimers();
    std::unique_ptr<AppModel> model = h.start();
    ASSERT_TRUE(model);
    CalendarSyncRunner runner(*model, h.launch);
    MenuBarSetting menuBar(model->settings());
    SettingsView prefs(*model, menuBar, true);
    prefs.setCalendarSync(runner);
    MenuBarView popup(*model);
    popup.setCalendarSync(runner);
    prefs.show();
    popup.popUp(QRect(400, 0, 20, 20));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&prefs));

    // No account yet: how to set one up, and nothing in the tray.
    EXPECT_TRUE(shown(prefs.syncAccountLine()).starts_with("Not set up yet."));
    EXPECT_EQ(prefs.syncAccountButton()->text(), QStringLiteral("Set Up…"));
    EXPECT_FALSE(prefs.syncNowButton()->isVisible());
    EXPECT_FALSE(popup.syncStatusLine()->isVisible());
    keepPicture(prefs, QStringLiteral("sync-preferences-not-set-up"));

    // An account, and more things than a glance: the first sync shows how far it is.
    CalendarAccount account;
    account.url = server.radicale->url();
    account.user = server.radicale->user();
    secrets::SecretStore keyring;
    ASSERT_TRUE(test::awaitSecret([&](auto done) {
                    keyring.writePassword(account.secretKey(), server.radicale->password(), done);
                }).ok());
    writeCalendarAccount(model->settings(), account);
    for (int i = 0; i < 60; ++i)
        model->add(QStringLiteral("Thing %1").arg(i), Source::today);
    runner.accountSetUp();
    EXPECT_EQ(shown(prefs.syncAccountLine()), server.radicale->url().toString().toStdString() + " as alice");
    EXPECT_EQ(shown(prefs.lastSyncedLine()), "Not synced yet.");
    EXPECT_EQ(prefs.syncAccountButton()->text(), QStringLiteral("Account…"));

    int barsSeen = 0;
    QObject::connect(&runner, &CalendarSyncRunner::progress, &prefs, [&](int done, int total) {
        if (done == 0 || barsSeen > 0)
            return;
        // The views heard it first: both bars say how far it is.
        ++barsSeen;
        EXPECT_EQ(total, 60) << "one write per thing";
        EXPECT_TRUE(prefs.syncProgress()->isVisible());
        EXPECT_EQ(prefs.syncProgress()->maximum(), total);
        EXPECT_EQ(prefs.syncProgress()->value(), done);
        EXPECT_TRUE(popup.syncProgress()->isVisible());
        EXPECT_EQ(prefs.syncNowButton()->text(), QStringLiteral("Syncing…"));
        keepPicture(prefs, QStringLiteral("sync-preferences-first-sync"));
        keepPicture(popup, QStringLiteral("sync-tray-first-sync"));
    });
    QSignalSpy status(&runner, &CalendarSyncRunner::statusChanged);
    ASSERT_TRUE(status.wait(60'000)) << "the first sync never ended";
    EXPECT_EQ(barsSeen, 1);
    EXPECT_FALSE(prefs.syncProgress()->isVisible()) << "hidden once done";
    EXPECT_FALSE(popup.syncProgress()->isVisible());
    EXPECT_EQ(shown(prefs.lastSyncedLine()), "Last synced just now.");
    EXPECT_EQ(shown(prefs.syncFailureLine()), "");
    EXPECT_EQ(shown(popup.syncStatusLine()), "Synced just now");

    // The minute ticks over with the model's clock.
    h.clock->advance(125);
    ASSERT_TRUE(h.timers->fire(QStringLiteral("clock")));
    EXPECT_EQ(shown(prefs.lastSyncedLine()), "Last synced 2 minutes ago.");
    EXPECT_EQ(shown(popup.syncStatusLine()), "Synced 2 minutes ago");

    // The server goes away: Sync Now says so in a line, the last sync still stands, and no dialog opens.
    server.radicale.reset();
    prefs.syncNowButton()->click();
    EXPECT_FALSE(prefs.syncNowButton()->isEnabled());
    EXPECT_EQ(prefs.syncNowButton()->text(), QStringLiteral("Syncing…"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return prefs.syncNowButton()->isEnabled(); }, 30'000));
    EXPECT_EQ(shown(prefs.syncFailureLine()), "Didn't sync just now: Can't reach 127.0.0.1 right now.");
    EXPECT_EQ(shown(prefs.lastSyncedLine()), "Last synced 2 minutes ago.");
    EXPECT_EQ(shown(popup.syncStatusLine()), "Didn't sync: Can't reach 127.0.0.1 right now.")
        << "whole, on one line";
    EXPECT_EQ(prefs.syncNowButton()->text(), QStringLiteral("Sync Now"));
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible() && qobject_cast<QDialog*>(w)) << w->objectName().toStdString();
    keepPicture(prefs, QStringLiteral("sync-preferences-failed"));
    keepPicture(popup, QStringLiteral("sync-tray-failed"));
}

} // namespace
} // namespace vorn
