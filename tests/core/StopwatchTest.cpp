#include "core/Stopwatch.h"
#include "core/ProfilerManager.h"
#include "platform/Kernel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// A counter the tests move by hand: one count is a tenth of a millisecond.
std::int64_t fakeCount = 0;
std::int64_t readFakeCount() {
    return fakeCount;
}
const StopwatchClock fakeClock{&readFakeCount, 10000};

class StopwatchTest : public ::testing::Test {
protected:
    void SetUp() override { fakeCount = 1000000; }
    void at(double seconds) {
        fakeCount = 1000000 + static_cast<std::int64_t>(seconds * 10000.0 + 0.5);
    }
};

constexpr float eps = 1e-5f;

// The game's own clock reads the platform counter at the counter's own rate, so its seconds
// are real seconds.
TEST(StopwatchClockTest, TheSystemClockCountsAtThePlatformCountersRate) {
    const StopwatchClock clock = StopwatchClock::system();
    EXPECT_EQ(clock.frequency, platform::counterFrequency());
    EXPECT_GT(clock.frequency, 0);
    const std::int64_t before = platform::queryCounter();
    const std::int64_t read = clock.now();
    EXPECT_GE(read, before);
    EXPECT_GE(platform::queryCounter(), read);
}

TEST_F(StopwatchTest, StartsEmptyWithItsNameAndTarget) {
    Stopwatch watch(L"Step Timer", 0.009f, fakeClock);
    EXPECT_EQ(watch.name(), L"Step Timer");
    EXPECT_FLOAT_EQ(watch.target(), 0.009f);
    EXPECT_EQ(watch.delta(), 0.0f);
    EXPECT_EQ(watch.runningSum(), 0.0f);
    EXPECT_EQ(watch.tickCount(), 0u);
    EXPECT_FALSE(watch.isPaused());
}

TEST_F(StopwatchTest, IntervalGrowsUntilItReachesTheTargetThenRestarts) {
    Stopwatch watch(L"Frame", 0.0167f, fakeClock);
    watch.reset();
    at(0.010);
    watch.tick();
    EXPECT_NEAR(watch.delta(), 0.010f, eps);
    EXPECT_FALSE(watch.intervalComplete());
    EXPECT_LT(watch.delta(), watch.target()); // the frame cap ends the pass here

    at(0.017);
    watch.tick();
    EXPECT_NEAR(watch.delta(), 0.017f, eps); // measured from the interval start
    EXPECT_TRUE(watch.intervalComplete());

    // Readers still see the finished frame's length until the next tick.
    EXPECT_NEAR(watch.delta(), 0.017f, eps);
    at(0.020);
    watch.tick();
    EXPECT_NEAR(watch.delta(), 0.003f, eps);
    EXPECT_FALSE(watch.intervalComplete());
    EXPECT_NEAR(watch.runningSum(), 0.020f, eps);
    EXPECT_EQ(watch.tickCount(), 4u); // the reset's tick and three more
}

TEST_F(StopwatchTest, ReachingTheTargetExactlyCompletesTheInterval) {
    Stopwatch watch(L"Step Timer", 0.5f, fakeClock);
    watch.reset();
    at(0.5);
    watch.tick();
    EXPECT_TRUE(watch.intervalComplete());
    EXPECT_FLOAT_EQ(watch.delta(), 0.5f);
}

TEST_F(StopwatchTest, CounterRunningBackwardsRestartsTheIntervalWithoutNegativeTime) {
    Stopwatch watch(L"Frame", 0.0167f, fakeClock);
    watch.reset();
    at(0.010);
    watch.tick();
    const float sum = watch.runningSum();
    const unsigned ticks = watch.tickCount();

    at(0.004); // earlier than the last reading
    watch.tick();
    EXPECT_EQ(watch.delta(), 0.0f);
    EXPECT_TRUE(watch.intervalComplete());
    EXPECT_EQ(watch.runningSum(), sum);
    EXPECT_EQ(watch.tickCount(), ticks);

    // The new interval is measured from the lower reading.
    at(0.009);
    watch.tick();
    EXPECT_NEAR(watch.delta(), 0.005f, eps);
    EXPECT_NEAR(watch.runningSum(), sum + 0.005f, eps);
}

TEST_F(StopwatchTest, PausedTimeIsNotCounted) {
    Stopwatch watch(L"Rendering", Stopwatch::noTarget, fakeClock);
    watch.reset();
    at(0.005);
    watch.pause(); // the five milliseconds so far are kept
    EXPECT_TRUE(watch.isPaused());
    EXPECT_NEAR(watch.delta(), 0.005f, eps);
    at(0.050);
    watch.resume();
    EXPECT_FALSE(watch.isPaused());
    at(0.053);
    watch.tick();
    EXPECT_NEAR(watch.delta(), 0.008f, eps);
    EXPECT_NEAR(watch.runningSum(), 0.008f, eps);
}

TEST_F(StopwatchTest, TickingAPausedStopwatchRestartsItsInterval) {
    Stopwatch watch(L"Physics", Stopwatch::noTarget, fakeClock);
    watch.reset();
    at(0.004);
    watch.pause();
    const unsigned ticks = watch.tickCount();
    at(0.030);
    watch.tick();
    EXPECT_EQ(watch.tickCount(), ticks); // nothing counted while paused
    EXPECT_NEAR(watch.runningSum(), 0.004f, eps);
    at(0.040);
    watch.resume();
    at(0.042);
    watch.tick();
    EXPECT_NEAR(watch.delta(), 0.002f, eps); // a new interval, not 0.004 + 0.002
    EXPECT_NEAR(watch.runningSum(), 0.006f, eps);
}

// Reset and restart both clear the pause and the interval and measure from there; only the
// reset counts a tick of its own.
TEST_F(StopwatchTest, ResetAndRestartClearPauseAndIntervalAndOnlyTheResetCountsATick) {
    for (const bool counted : {true, false}) {
        SCOPED_TRACE(counted ? "reset" : "restart");
        Stopwatch watch(L"Total", 0.0167f, fakeClock);
        at(0.0);
        watch.reset();
        at(0.010);
        watch.tick();
        watch.pause();
        at(0.030);
        const unsigned ticks = watch.tickCount();
        if (counted)
            watch.reset();
        else
            watch.restart();
        EXPECT_FALSE(watch.isPaused());
        EXPECT_EQ(watch.delta(), 0.0f);
        EXPECT_EQ(watch.tickCount(), ticks + (counted ? 1 : 0));
        at(0.035);
        watch.tick();
        EXPECT_NEAR(watch.delta(), 0.005f, eps); // measured from the reset
    }
}

TEST_F(StopwatchTest, CountersRestartAfterAThousandTicks) {
    Stopwatch watch(L"Objects", 0.0f, fakeClock);
    watch.reset(); // one tick
    for (int i = 1; i < 1000; ++i) {
        fakeCount += 10; // one millisecond
        watch.tick();
    }
    EXPECT_EQ(watch.tickCount(), 1000u);
    EXPECT_NEAR(watch.runningSum(), 0.999f, 1e-4f);
    EXPECT_NEAR(watch.averageSeconds(), 0.000999f, 1e-6f);

    fakeCount += 20;
    watch.tick();
    EXPECT_EQ(watch.tickCount(), 1u);
    EXPECT_NEAR(watch.runningSum(), 0.002f, eps);
    EXPECT_NEAR(watch.averageSeconds(), 0.002f, eps);
}

TEST_F(StopwatchTest, AverageIsZeroWithoutTicks) {
    Stopwatch watch(L"Sound", 0.0f, fakeClock);
    EXPECT_EQ(watch.averageSeconds(), 0.0f);
    watch.reset();
    fakeCount += 30;
    watch.tick();
    watch.clearAverages();
    EXPECT_EQ(watch.tickCount(), 0u);
    EXPECT_EQ(watch.averageSeconds(), 0.0f);
    EXPECT_NEAR(watch.delta(), 0.003f, eps); // the interval itself is kept
}

TEST_F(StopwatchTest, SecondsUntilTargetCountsTimeSinceTheIntervalStart) {
    Stopwatch watch(L"Frame", 0.0167f, fakeClock);
    watch.reset();
    EXPECT_NEAR(watch.secondsUntilTarget(), 0.0167f, eps);
    at(0.005);
    EXPECT_NEAR(watch.secondsUntilTarget(), 0.0117f, eps); // without a tick
    watch.tick();
    at(0.007);
    EXPECT_NEAR(watch.secondsUntilTarget(), 0.0097f, eps);
    at(0.020);
    EXPECT_EQ(watch.secondsUntilTarget(), 0.0f);
    watch.tick(); // completes the frame: the next one starts now
    EXPECT_NEAR(watch.secondsUntilTarget(), 0.0167f, eps);
    watch.pause();
    EXPECT_EQ(watch.secondsUntilTarget(), 0.0f);

    Stopwatch profiling(L"Objects", Stopwatch::noTarget, fakeClock);
    EXPECT_EQ(profiling.secondsUntilTarget(), 0.0f);

    // A counter gone back since the interval began counts as no time since then.
    watch.resume();
    at(1.0);
    watch.reset();
    at(1.004);
    watch.tick(); // 4 ms of the interval
    at(0.5);
    EXPECT_NEAR(watch.secondsUntilTarget(), 0.0127f, eps);
}

// A clock without a frequency measures nothing.
TEST_F(StopwatchTest, AClockWithoutAFrequencyMeasuresNoTime) {
    Stopwatch watch(L"Frame", 0.0167f, StopwatchClock{&readFakeCount, 0});
    watch.reset();
    at(0.5);
    watch.tick();
    EXPECT_EQ(watch.delta(), 0.0f);
    EXPECT_NEAR(watch.secondsUntilTarget(), 0.0167f, eps);
}

TEST_F(StopwatchTest, SystemClockNeverGivesNegativeTime) {
    Stopwatch watch(L"Frame", 0.0167f);
    watch.reset();
    for (int i = 0; i < 100; ++i) {
        watch.tick();
        EXPECT_GE(watch.delta(), 0.0f);
    }
    EXPECT_GE(watch.runningSum(), 0.0f);
    EXPECT_LE(watch.secondsUntilTarget(), 0.0167f);
}

TEST(ProfilerManagerTest, FourNamedStopwatchesByIndex) {
    ProfilerManager profiler(fakeClock);
    const wchar_t* names[] = {L"Objects", L"Rendering", L"Physics", L"Sound"};
    for (int i = 0; i < ProfilerManager::stopwatchCount; ++i) {
        Stopwatch* watch = profiler.getStopwatch(i);
        ASSERT_NE(watch, nullptr);
        EXPECT_EQ(watch->name(), names[i]);
        EXPECT_EQ(watch->tickCount(), 0u);
    }
    EXPECT_EQ(&profiler.stopwatch(ProfilerManager::Physics), profiler.getStopwatch(2));
    EXPECT_EQ(profiler.getStopwatch(-1), nullptr);
    EXPECT_EQ(profiler.getStopwatch(4), nullptr);
}

TEST(ProfilerManagerTest, StopwatchesMeasureFromResetToTickAcrossPauses) {
    fakeCount = 0;
    ProfilerManager profiler(fakeClock);
    Stopwatch& rendering = profiler.stopwatch(ProfilerManager::Rendering);
    rendering.reset();
    fakeCount += 40; // 4 ms drawing
    rendering.pause();
    fakeCount += 100; // 10 ms of physics catch-up, not counted
    rendering.resume();
    fakeCount += 30; // 3 ms drawing
    rendering.tick();
    EXPECT_NEAR(rendering.delta(), 0.007f, eps);
}

TEST(ProfilerManagerTest, EnabledFlagStartsOff) {
    ProfilerManager profiler(fakeClock);
    EXPECT_FALSE(profiler.isEnabled());
    profiler.setEnabled(true);
    EXPECT_TRUE(profiler.isEnabled());
}

} // namespace
