#pragma once

#include "support/KeyringSession.h"
#include "support/RadicaleServer.h"

#include "secrets/SecretStore.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace vorn::test {

// Runs a keyring call to its answer (10 s at most, else the test fails).
inline secrets::SecretResult awaitSecret(const std::function<void(secrets::SecretStore::Callback)>& start)
{
    std::optional<secrets::SecretResult> out;
    QEventLoop loop;
    start([&](secrets::SecretResult r) {
        out = std::move(r);
        loop.quit();
    });
    QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
    if (!out)
        loop.exec();
    EXPECT_TRUE(out) << "the keyring didn't answer in 10 s";
    return out.value_or(secrets::SecretResult{secrets::SecretProblem::Refused, {}, {}});
}

// A Radicale with alice's two lists of to-dos and a calendar of events beside them, and a keyring on
// the test's own bus: what every account test connects to.
struct AccountServer {
    // False (with the test skipped or failed) when either can't run here.
    bool start()
    {
        if (!RadicaleServer::installed() || !KeyringSession::installed()) {
            skipped = true;
            return false;
        }
        keyring = &KeyringSession::shared();
        if (!keyring->ready()) {
            ADD_FAILURE() << keyring->problem().toStdString();
            return false;
        }
        radicale = std::make_unique<RadicaleServer>();
        if (!radicale->ready()) {
            ADD_FAILURE() << radicale->problem().toStdString();
            return false;
        }
        radicale->makeCollection(QStringLiteral("alice/groceries"),
                                 R"({"tag": "VCALENDAR", "D:displayname": "Groceries",
                                     "C:supported-calendar-component-set": "VTODO"})");
        radicale->makeCollection(QStringLiteral("alice/work"),
                                 R"({"tag": "VCALENDAR", "D:displayname": "Work",
                                     "C:supported-calendar-component-set": "VEVENT,VTODO"})");
        radicale->makeCollection(QStringLiteral("alice/birthdays"),
                                 R"({"tag": "VCALENDAR", "D:displayname": "Birthdays",
                                     "C:supported-calendar-component-set": "VEVENT"})");
        return true;
    }

    // What the app's keyring entry under `key` holds, read the way the app reads it.
    static secrets::SecretResult storedPassword(const QString& key)
    {
        secrets::SecretStore store;
        return awaitSecret([&](auto done) { store.readPassword(key, done); });
    }

    // The keyring's key for alice's account: "user@origin".
    QString key() const
    {
        return QStringLiteral("%1@http://127.0.0.1:%2").arg(radicale->user()).arg(radicale->url().port());
    }

    bool skipped = false;
    KeyringSession* keyring = nullptr;
    std::unique_ptr<RadicaleServer> radicale;
};

#define VORN_START_ACCOUNT_SERVER(server)                                                                    \
    do {                                                                                                     \
        if (!(server).start()) {                                                                             \
            if ((server).skipped)                                                                            \
                GTEST_SKIP() << "needs radicale and gnome-keyring-daemon (scripts/ensure-packages)";         \
            return;                                                                                          \
        }                                                                                                    \
    } while (false)

} // namespace vorn::test
