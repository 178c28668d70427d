#include "app/SyncAccountDialog.h"
#include "app/AccountServer.h"

#include "model/CalendarAccount.h"
#include "model/Settings.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace vorn {
namespace {

struct SyncAccountDialogTest : ::testing::Test {
    template <class T> T* child(QWidget& w, const char* name) const
    {
        T* found = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    // Types the fields as a user does and presses Return in the password field; true once answered.
    bool connectWith(SyncAccountDialog& dialog, const QString& user, const QString& password)
    {
        auto* address = child<QLineEdit>(dialog, "address");
        address->clear();
        QTest::keyClicks(address, server.radicale->url().toString());
        QTest::keyClicks(child<QLineEdit>(dialog, "user"), user);
        QTest::keyClicks(child<QLineEdit>(dialog, "password"), password);
        QSignalSpy answered(&dialog, &SyncAccountDialog::answered);
        QTest::keyClick(child<QLineEdit>(dialog, "password"), Qt::Key_Return);
        // The server answers later: meanwhile the window goes on, busy, and Connect can't be pressed twice.
        EXPECT_TRUE(answered.isEmpty()) << "the answer came before the window could draw again";
        EXPECT_TRUE(child<QProgressBar>(dialog, "busy")->isVisible());
        EXPECT_FALSE(child<QPushButton>(dialog, "connect")->isEnabled());
        if (!answered.wait(20'000))
            return false;
        EXPECT_FALSE(child<QProgressBar>(dialog, "busy")->isVisible());
        EXPECT_TRUE(child<QPushButton>(dialog, "connect")->isEnabled());
        return true;
    }

    QTemporaryDir dir;
    test::AccountServer server;
};

TEST_F(SyncAccountDialogTest, connectSaysWhatItFoundOrWhyNotAndKeepsOnlyWhatWorked)
{
    VORN_START_ACCOUNT_SERVER(server);
    Settings settings(dir.filePath(QStringLiteral("settings.json")));
    SyncAccountDialog dialog(settings);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    // A wrong password: the message, the fields as typed, nothing kept.
    ASSERT_TRUE(connectWith(dialog, QStringLiteral("alice"), QStringLiteral("wrong")));
    EXPECT_EQ(child<QLabel>(dialog, "answer")->text().toStdString(), "The server didn't take the password.");
    EXPECT_EQ(child<QLineEdit>(dialog, "address")->text(), server.radicale->url().toString());
    EXPECT_EQ(child<QLineEdit>(dialog, "user")->text(), QStringLiteral("alice"));
    EXPECT_EQ(child<QLineEdit>(dialog, "password")->text(), QStringLiteral("wrong"));
    EXPECT_FALSE(readCalendarAccount(settings));
    EXPECT_EQ(server.storedPassword(server.key()).problem, secrets::SecretProblem::NotFound);

    // The right one, typed over the wrong one.
    child<QLineEdit>(dialog, "user")->clear();
    child<QLineEdit>(dialog, "password")->clear();
    ASSERT_TRUE(connectWith(dialog, QStringLiteral("alice"), server.radicale->password()));
    EXPECT_EQ(child<QLabel>(dialog, "answer")->text().toStdString(),
              "Connected to 127.0.0.1 as alice: 2 lists of to-dos there (Groceries, Work).");
    EXPECT_TRUE(child<QLineEdit>(dialog, "password")->text().isEmpty()) << "nothing of it stays on screen";
    const std::optional<CalendarAccount> kept = readCalendarAccount(settings);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->url, server.radicale->url());
    EXPECT_EQ(kept->user, QStringLiteral("alice"));
    EXPECT_EQ(server.storedPassword(server.key()).password, server.radicale->password());

    QTest::keyClick(child<QLineEdit>(dialog, "user"), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());

    // Opened again: the saved account filled in, no password shown.
    SyncAccountDialog again(settings);
    EXPECT_EQ(child<QLineEdit>(again, "address")->text(), server.radicale->url().toString());
    EXPECT_EQ(child<QLineEdit>(again, "user")->text(), QStringLiteral("alice"));
    EXPECT_TRUE(child<QLineEdit>(again, "password")->text().isEmpty());

    // Stop Syncing, only where the running sync can stop: asked first, Cancel the default.
    EXPECT_TRUE(child<QPushButton>(again, "stopSyncing")->isHidden());
    int stops = 0;
    again.setStopper([&](auto done) {
        ++stops;
        forgetCalendarAccount(settings);
        done(true, QStringLiteral("Stopped."));
    });
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    for (const bool yes : {false, true}) {
        child<QPushButton>(again, "stopSyncing")->click();
        auto* ask = child<QMessageBox>(again, "confirmStop");
        ASSERT_TRUE(ask && QTest::qWaitForWindowExposed(ask));
        EXPECT_EQ(ask->text().toStdString(), "Stop syncing with 127.0.0.1?");
        QSignalSpy stopped(&again, &SyncAccountDialog::stopped);
        if (yes) {
            for (QAbstractButton* b : ask->buttons())
                if (b->text() == QStringLiteral("Stop Syncing"))
                    b->click();
        } else {
            QTest::keyClick(ask, Qt::Key_Return);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(stops, yes ? 1 : 0);
        EXPECT_EQ(stopped.size(), yes ? 1 : 0);
        EXPECT_EQ(child<QPushButton>(again, "stopSyncing")->isVisible(), !yes);
    }
    EXPECT_EQ(child<QLabel>(again, "answer")->text(), QStringLiteral("Stopped."));
}

} // namespace
} // namespace vorn
