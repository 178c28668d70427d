#include "family/FamilyNotifier.h"
#include "support/BusBarrier.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vorn {
namespace {

bool waitForCount(QSignalSpy& spy, qsizetype count)
{
    const QDeadlineTimer deadline(10'000);
    while (spy.count() < count && !deadline.hasExpired())
        spy.wait(int(qMax<qint64>(1, deadline.remainingTime())));
    return spy.count() >= count;
}

// Delivers whatever the bus routed to us so far, so a surplus delivery shows.
void settle(std::source_location where = std::source_location::current())
{
    test::deliverBusSignals(where);
}

TEST(FamilyNotifier, aPostReachesEveryNotifierOnceThePosterIncluded)
{
    // Given one notifier with a callback and one without.
    FamilyNotifier withCallback;
    FamilyNotifier withoutCallback;
    ASSERT_TRUE(withCallback.isConnected());
    ASSERT_TRUE(withoutCallback.isConnected());
    int calls = 0;
    QObject listener;
    QObject::connect(&withCallback, &FamilyNotifier::changed, &listener, [&calls] { ++calls; });
    QSignalSpy spyWith(&withCallback, &FamilyNotifier::changed);
    QSignalSpy spyWithout(&withoutCallback, &FamilyNotifier::changed);

    const struct {
        const char* poster;
        FamilyNotifier* notifier;
    } cases[] = {{"the one with a callback", &withCallback}, {"the one without", &withoutCallback}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.poster);
        spyWith.clear();
        spyWithout.clear();
        calls = 0;
        // When one of them posts.
        c.notifier->post();
        // Then both hear it exactly once, and the callback runs once.
        ASSERT_TRUE(waitForCount(spyWith, 1));
        ASSERT_TRUE(waitForCount(spyWithout, 1));
        settle();
        EXPECT_EQ(spyWith.count(), 1);
        EXPECT_EQ(spyWithout.count(), 1);
        EXPECT_EQ(calls, 1);
    }
}

// Tests wait for broadcasts with a round trip to the bus, never a pause: every post made before the
// round trip must have been heard when it returns.
TEST(FamilyNotifier, everyPostMadeBeforeARoundTripIsHeardWhenItReturns)
{
    FamilyNotifier poster;
    FamilyNotifier listener;
    ASSERT_TRUE(poster.isConnected());
    ASSERT_TRUE(listener.isConnected());
    QSignalSpy heard(&listener, &FamilyNotifier::changed);
    for (const int posts : {1, 2, 25}) {
        SCOPED_TRACE(posts);
        heard.clear();
        for (int i = 0; i < posts; ++i)
            poster.post();
        test::deliverBusSignals();
        EXPECT_EQ(heard.count(), posts);
    }
}

TEST(FamilyNotifier, aNotifierDestroyedWhileAChangeIsOnItsWayIsNotCalled)
{
    FamilyNotifier survivor;
    QSignalSpy spy(&survivor, &FamilyNotifier::changed);
    auto doomed = std::make_unique<FamilyNotifier>();
    int doomedCalls = 0;
    QObject listener;
    QObject::connect(doomed.get(), &FamilyNotifier::changed, &listener, [&doomedCalls] { ++doomedCalls; });

    doomed->post();
    doomed.reset();

    ASSERT_TRUE(waitForCount(spy, 1));
    settle();
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(doomedCalls, 0);
}

// The process decides on its bus once, so each case runs in a child of its own.
TEST(FamilyNotifier, withoutASessionBusItStaysInertAndWarnsOnce)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* const cases[] = {"unset", "unix:path=/nonexistent/vorn-test-bus"};
    for (const char* address : cases) {
        SCOPED_TRACE(address);
        EXPECT_EXIT(
            {
                QTemporaryDir runtime; // an empty runtime folder: no bus socket to fall back on
                qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
                qunsetenv("DISPLAY");
                if (std::strcmp(address, "unset") == 0)
                    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
                else
                    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
                static int warnings = 0;
                qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString&) {
                    if (context.category && std::strcmp(context.category, "com.vorn.family.notify") == 0)
                        ++warnings;
                });
                int calls = 0;
                {
                    FamilyNotifier first;
                    FamilyNotifier second;
                    QObject listener;
                    QObject::connect(&first, &FamilyNotifier::changed, &listener, [&calls] { ++calls; });
                    first.post();
                    second.post();
                    QCoreApplication::processEvents();
                    if (first.isConnected() || second.isConnected())
                        _exit(3);
                }
                // Exit codes tell the parent what went wrong: 4 called back, 10 + n warned n times.
                _exit(calls != 0 ? 4 : warnings == 1 ? 0 : 10 + warnings);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

} // namespace
} // namespace vorn
