#pragma once

#include <irrTypes.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>

// Where a stopwatch reads the time: a counter and its ticks per second. The game uses the
// platform's high-resolution counter; tests hand in a counter they move themselves.
struct StopwatchClock {
    std::int64_t (*now)();
    std::int64_t frequency;

    static StopwatchClock system();
};

// A named timer measuring intervals against a target length.
//
// tick() adds the seconds since the last measurement to the current interval (delta) and to
// the running sum. When the interval reaches the target, or the counter ran backwards, the
// interval is complete: delta keeps its length for readers until the next tick starts a new
// interval. The frame loop reads a frame's length this way: it ticks every pass and goes on
// only once delta has reached the target.
//
// The running sum and tick count feed averages; they restart after 1000 ticks. A paused
// stopwatch counts nothing: ticking it only restarts its interval.
class Stopwatch {
public:
    // A target that is never reached: the interval runs from reset to reset (profiling).
    static constexpr irr::f32 noTarget = std::numeric_limits<irr::f32>::infinity();
    static constexpr irr::u32 ticksPerAverage = 1000;

    explicit Stopwatch(std::wstring name = {}, irr::f32 target = 0.0f,
                       StopwatchClock clock = StopwatchClock::system());

    // Clears the paused flag and the interval, takes a new start count and ticks once, so
    // the restart is counted.
    void reset();
    // Starts a new interval from now without counting a tick: the next tick measures from
    // here, and the average stays one of measured intervals.
    void restart();
    // Counts the seconds so far into the interval, then stops counting.
    void pause();
    // Counts again from now on; the paused time is left out.
    void resume();
    void tick();

    // Seconds left until the current interval reaches the target; 0 once it has, while
    // paused, or without a finite target. The frame loop sleeps this long.
    irr::f32 secondsUntilTarget() const;

    // Restarts the averages (running sum and tick count).
    void clearAverages();

    const std::wstring& name() const { return watchName; }
    void setName(std::wstring name) { watchName = std::move(name); }
    irr::f32 target() const { return targetSeconds; }
    void setTarget(irr::f32 seconds) { targetSeconds = seconds; }

    // Seconds of the current interval (of the last one, right after it completed).
    irr::f32 delta() const { return deltaSeconds; }
    irr::f32 runningSum() const { return sumSeconds; }
    irr::u32 tickCount() const { return ticks; }
    // Running sum / tick count; 0 before the first tick.
    irr::f32 averageSeconds() const;
    bool isPaused() const { return paused; }
    // True when the last tick completed the interval.
    bool intervalComplete() const { return intervalDone; }

private:
    void tickAt(std::int64_t now);
    // Adds seconds to the interval (starting a new one after a completed one) and the sum.
    void addSeconds(irr::f32 seconds);
    irr::f32 secondsSince(std::int64_t count, std::int64_t now) const;

    std::wstring watchName;
    irr::f32 deltaSeconds = 0.0f;
    irr::f32 sumSeconds = 0.0f;
    irr::u32 ticks = 0;
    bool paused = false;
    bool intervalDone = false;
    irr::f32 targetSeconds = 0.0f;
    std::int64_t startCount = 0; // counter value of the last measurement
    StopwatchClock clock;
};
