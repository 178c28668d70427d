#include "pixel/YawnView.h"
#include "pixel/Pixels.h"
#include "pixel/TickSource.h"

#include <QPointer>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vorn;

namespace {

// A monotonic clock that moves only when told, firing due wake-ups in deadline order.
class FakeTicks final : public TickSource {
public:
    qint64 nowMSecs() const override { return m_now; }

    void wakeAt(qint64 deadline, QObject* context, std::function<void()> fn) override
    {
        m_pending.push_back({deadline, m_next++, context, std::move(fn)});
    }

    void advanceTo(qint64 t)
    {
        for (;;) {
            auto due = std::min_element(m_pending.begin(), m_pending.end(), [](const Wake& a, const Wake& b) {
                return std::pair(a.deadline, a.order) < std::pair(b.deadline, b.order);
            });
            if (due == m_pending.end() || due->deadline > t)
                break;
            Wake w = std::move(*due);
            m_pending.erase(due);
            m_now = w.deadline;
            if (w.context) {
                ++m_fired;
                w.fn();
            }
        }
        m_now = t;
    }

    size_t pending() const { return m_pending.size(); }
    int fired() const { return m_fired; }

private:
    struct Wake {
        qint64 deadline;
        int order;
        QPointer<QObject> context;
        std::function<void()> fn;
    };
    qint64 m_now = 1000;
    int m_next = 0;
    int m_fired = 0;
    std::vector<Wake> m_pending;
};

class ReduceMotion {
public:
    explicit ReduceMotion(bool on) { qputenv("VORN_REDUCE_MOTION", on ? "1" : "0"); }
    ~ReduceMotion() { qputenv("VORN_REDUCE_MOTION", "0"); }
};

struct Sample {
    qint64 at; // milliseconds after coming on screen
    int frame;
};

// The face's one yawn, sampled on both sides of every change.
const Sample kYawn[] = {
    {0, 0},   {399, 0},  {400, 1},  {549, 1},  {550, 2},   {699, 2},
    {700, 3}, {1500, 3}, {2649, 3}, {2650, 0}, {10000, 0},
};

void expectShows(const YawnView& view, int frame, qint64 at)
{
    EXPECT_EQ(view.shownFrame(), frame) << "at " << at << " ms";
    EXPECT_EQ(view.grid(), Pixels::yawnFrames()[size_t(frame)]) << "at " << at << " ms";
}

TEST(YawnView, yawnsOnceWhenItComesOnScreen)
{
    ReduceMotion off(false);
    FakeTicks ticks;
    YawnView view(4, ticks);
    EXPECT_EQ(view.size(), QSize(64, 64));

    view.show();
    const qint64 start = ticks.nowMSecs();
    for (const Sample& s : kYawn) {
        ticks.advanceTo(start + s.at);
        expectShows(view, s.frame, s.at);
    }
    EXPECT_EQ(ticks.pending(), 0u) << "the yawn ends by itself";
}

TEST(YawnView, yawnsAgainOnlyWhenShownAnew)
{
    ReduceMotion off(false);
    FakeTicks ticks;
    YawnView view(2, ticks);
    view.show();
    ticks.advanceTo(ticks.nowMSecs() + 3000);
    ASSERT_EQ(view.frame(), 0);

    view.hide();
    ticks.advanceTo(ticks.nowMSecs() + 5000);
    view.show();
    const qint64 again = ticks.nowMSecs();
    for (const Sample& s : kYawn) {
        ticks.advanceTo(again + s.at);
        expectShows(view, s.frame, s.at);
    }
}

TEST(YawnView, goingAwayMidYawnEndsItClosed)
{
    ReduceMotion off(false);
    FakeTicks ticks;
    YawnView view(2, ticks);
    view.show();
    const qint64 start = ticks.nowMSecs();
    ticks.advanceTo(start + 600);
    ASSERT_EQ(view.frame(), 2);

    view.hide();
    EXPECT_EQ(view.frame(), 0);
    // The old run's wake-ups change nothing any more.
    ticks.advanceTo(start + 800);
    EXPECT_EQ(view.frame(), 0);

    // Back on screen within the old run's time: a fresh yawn on its own timing.
    view.show();
    const qint64 again = ticks.nowMSecs();
    ticks.advanceTo(again + 399);
    EXPECT_EQ(view.frame(), 0);
    ticks.advanceTo(again + 400);
    EXPECT_EQ(view.frame(), 1);
    ticks.advanceTo(again + 2650);
    EXPECT_EQ(view.frame(), 0);
}

TEST(YawnView, withReducedMotionShowsTheWideYawnStill)
{
    ReduceMotion on(true);
    FakeTicks ticks;
    YawnView view(2, ticks);
    expectShows(view, 3, 0);

    view.show();
    EXPECT_EQ(ticks.pending(), 0u) << "no yawn is scheduled";
    for (const Sample& s : kYawn) {
        ticks.advanceTo(ticks.nowMSecs() + s.at);
        expectShows(view, 3, s.at);
    }
}

TEST(YawnView, aDestroyedViewIsNotWokenUp)
{
    ReduceMotion off(false);
    FakeTicks ticks;
    {
        YawnView view(2, ticks);
        view.show();
        ticks.advanceTo(ticks.nowMSecs() + 450);
        ASSERT_EQ(view.frame(), 1);
    }
    const int firedWhileAlive = ticks.fired();
    ticks.advanceTo(ticks.nowMSecs() + 5000);
    EXPECT_EQ(ticks.fired(), firedWhileAlive) << "a wake-up reached the destroyed view";
}

} // namespace
