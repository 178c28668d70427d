#include "family/SerialQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <pthread.h>
#endif

using namespace vorn;

namespace {

TEST(SerialQueue, workFromManyCallersRunsOneAtATimeInEachCallersOrderOnOneOtherThread)
{
    SerialQueue queue(QStringLiteral("test.queue"));
    constexpr int kCallers = 4, kCalls = 200;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::pair<int, int>> ran; // touched only on the queue
    std::set<std::thread::id> workers;
    std::vector<std::thread::id> callerIds(kCallers);
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c) {
        callers.emplace_back([&, c] {
            callerIds[size_t(c)] = std::this_thread::get_id();
            for (int i = 0; i < kCalls; ++i) {
                queue.sync([&] {
                    if (inside.fetch_add(1) != 0)
                        overlapped = true;
                    ran.emplace_back(c, i);
                    workers.insert(std::this_thread::get_id());
                    inside.fetch_sub(1);
                });
            }
        });
    }
    for (std::thread& t : callers)
        t.join();

    EXPECT_FALSE(overlapped);
    ASSERT_EQ(ran.size(), size_t(kCallers * kCalls));
    std::vector<int> next(kCallers, 0);
    for (const auto& [caller, index] : ran)
        EXPECT_EQ(index, next[size_t(caller)]++) << "caller " << caller;
    ASSERT_EQ(workers.size(), 1u);
    EXPECT_NE(*workers.begin(), std::this_thread::get_id());
    for (const std::thread::id& id : callerIds)
        EXPECT_EQ(workers.count(id), 0u);
}

TEST(SerialQueue, syncReturnsOnlyAfterTheWorkFinished)
{
    SerialQueue queue(QStringLiteral("test.queue"));
    for (int i = 0; i < 20; ++i) {
        bool finished = false;
        queue.sync([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            finished = true;
        });
        EXPECT_TRUE(finished);
    }
}

TEST(SerialQueue, syncFromTheQueuesOwnThreadRunsInlineInsteadOfDeadlocking)
{
    SerialQueue queue(QStringLiteral("test.queue"));
    std::vector<int> order;
    std::thread::id outer, inner;
    queue.sync([&] {
        outer = std::this_thread::get_id();
        order.push_back(1);
        queue.sync([&] {
            inner = std::this_thread::get_id();
            order.push_back(2);
        });
        order.push_back(3);
    });
    EXPECT_EQ(order, (std::vector{1, 2, 3}));
    EXPECT_EQ(inner, outer);
}

TEST(SerialQueue, exceptionInWorkReachesTheCallerAndQueueKeepsRunning)
{
    SerialQueue queue(QStringLiteral("test.queue"));
    EXPECT_THROW(queue.sync([] { throw std::runtime_error("boom"); }), std::runtime_error);
    bool ran = false;
    queue.sync([&] { ran = true; });
    EXPECT_TRUE(ran);
}

#if defined(__linux__)
TEST(SerialQueue, threadIsNamedAfterTheLabelCutToFifteenBytes)
{
    SerialQueue queue(QStringLiteral("com.vorn.family.store"));
    char name[32] = {};
    queue.sync([&] { pthread_getname_np(pthread_self(), name, sizeof name); });
    EXPECT_STREQ(name, "com.vorn.family");
}
#endif

} // namespace
