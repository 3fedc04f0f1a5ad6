#include "Timer.h"

#include "VirtualClock.h"

#include <gtest/gtest.h>
#include <vector>

namespace lm {
namespace {

class TimerTest : public ::testing::Test {
protected:
    test::VirtualClock clock;
    Timer timer;
    std::vector<std::int64_t> firedAt;

    void SetUp() override {
        clock.attach(timer);
        timer.setHandler([this] { firedAt.push_back(clock.now()); });
    }
};

TEST_F(TimerTest, FiresAtEachIntervalWhileSwitchedOn) {
    timer.setInterval(100);
    timer.setEnabled(true);
    clock.advance(350);
    EXPECT_EQ(firedAt, (std::vector<std::int64_t>{100, 200, 300}));
    timer.setEnabled(false);
    clock.advance(1000);
    EXPECT_EQ(firedAt.size(), 3U);
}

TEST_F(TimerTest, AnIntervalOfZeroNeverFires) {
    timer.setEnabled(true);
    clock.advance(1000);
    EXPECT_TRUE(firedAt.empty());
    EXPECT_FALSE(timer.isActive());
}

TEST_F(TimerTest, SwitchingOnARunningTimerLeavesItsCountdownAlone) {
    timer.setInterval(100);
    timer.setEnabled(true);
    clock.advance(60);
    timer.setEnabled(true);
    timer.setInterval(100);
    clock.advance(50);
    EXPECT_EQ(firedAt, (std::vector<std::int64_t>{100}));
}

TEST_F(TimerTest, ANewIntervalRestartsTheCountdown) {
    timer.setInterval(100);
    timer.setEnabled(true);
    clock.advance(60);
    timer.setInterval(300);
    clock.advance(400);
    EXPECT_EQ(firedAt, (std::vector<std::int64_t>{360}));
}

TEST_F(TimerTest, ARestartedCountdownFiresOnceAfterItThenAtTheInterval) {
    timer.setInterval(100);
    timer.setEnabled(true);
    clock.advance(30);
    timer.restartCountdown(100); // the same length as the interval: restarted all the same
    clock.advance(100);
    timer.restartCountdown(20);
    clock.advance(130);
    EXPECT_EQ(firedAt, (std::vector<std::int64_t>{130, 150, 250}));
    timer.setInterval(0);
    timer.restartCountdown(10);
    clock.advance(100);
    EXPECT_EQ(firedAt.size(), 3U);
}

TEST_F(TimerTest, AHandlerCanSwitchItsOwnTimerOff) {
    timer.setHandler([this] {
        firedAt.push_back(clock.now());
        timer.setEnabled(false);
    });
    timer.setInterval(80);
    timer.setEnabled(true);
    clock.advance(1000);
    EXPECT_EQ(firedAt, (std::vector<std::int64_t>{80}));
}

TEST(VirtualClock, FiresTimersDueTogetherInTheOrderTheyWereArmed) {
    test::VirtualClock clock;
    Timer first;
    Timer second;
    std::vector<int> order;
    clock.attach(first);
    clock.attach(second);
    first.setHandler([&] { order.push_back(1); });
    second.setHandler([&] { order.push_back(2); });
    second.setInterval(100);
    second.setEnabled(true);
    first.setInterval(100);
    first.setEnabled(true);
    clock.advance(100);
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
}

TEST(VirtualClock, ForgetsATimerThatIsDestroyed) {
    test::VirtualClock clock;
    {
        Timer shortLived;
        clock.attach(shortLived);
        shortLived.setInterval(10);
        shortLived.setEnabled(true);
    }
    clock.advance(100);
    EXPECT_EQ(clock.now(), 100);
}

TEST(VirtualClock, AdvanceUntilStopsWhenTheConditionHolds) {
    test::VirtualClock clock;
    Timer timer;
    int ticks = 0;
    clock.attach(timer);
    timer.setHandler([&] { ++ticks; });
    timer.setInterval(100);
    timer.setEnabled(true);
    EXPECT_TRUE(clock.advanceUntil([&] { return ticks == 3; }, 1000));
    EXPECT_EQ(clock.now(), 300);
    EXPECT_FALSE(clock.advanceUntil([&] { return ticks == 100; }, 500));
    EXPECT_EQ(clock.now(), 800);
}

} // namespace
} // namespace lm
