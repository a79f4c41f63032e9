#include "core/Stopwatch.h"

#include "platform/Kernel.h"

#include <cmath>

StopwatchClock StopwatchClock::system() {
    return StopwatchClock{&platform::queryCounter, platform::counterFrequency()};
}

Stopwatch::Stopwatch(std::wstring name, irr::f32 target, StopwatchClock clock)
    : watchName(std::move(name)), targetSeconds(target), clock(clock) {
    startCount = clock.now();
}

void Stopwatch::reset() {
    const std::int64_t now = clock.now();
    paused = false;
    deltaSeconds = 0.0f;
    intervalDone = false;
    startCount = now;
    tickAt(now);
}

void Stopwatch::restart() {
    paused = false;
    deltaSeconds = 0.0f;
    intervalDone = false;
    startCount = clock.now();
}

void Stopwatch::pause() {
    if (paused)
        return;
    const std::int64_t now = clock.now();
    const irr::f32 seconds = secondsSince(startCount, now);
    startCount = now;
    if (seconds > 0.0f)
        addSeconds(seconds);
    paused = true;
}

void Stopwatch::resume() {
    if (!paused)
        return;
    paused = false;
    startCount = clock.now();
}

void Stopwatch::tick() {
    tickAt(clock.now());
}

void Stopwatch::tickAt(std::int64_t now) {
    const irr::f32 seconds = secondsSince(startCount, now);
    startCount = now;
    if (paused) {
        // Nothing is counted while paused; the next counted time starts a new interval.
        intervalDone = true;
        return;
    }
    if (seconds < 0.0f) {
        // The counter ran backwards: a negative interval would run every timer reading
        // delta backwards, so the interval restarts from here with nothing counted.
        deltaSeconds = 0.0f;
        intervalDone = true;
        return;
    }
    if (ticks >= ticksPerAverage)
        clearAverages();
    addSeconds(seconds);
    ++ticks;
}

void Stopwatch::addSeconds(irr::f32 seconds) {
    if (intervalDone) {
        deltaSeconds = 0.0f;
        intervalDone = false;
    }
    deltaSeconds += seconds;
    sumSeconds += seconds;
    if (deltaSeconds >= targetSeconds)
        intervalDone = true;
}

irr::f32 Stopwatch::secondsUntilTarget() const {
    if (paused || !std::isfinite(targetSeconds))
        return 0.0f;
    irr::f32 elapsed = secondsSince(startCount, clock.now());
    if (elapsed < 0.0f)
        elapsed = 0.0f;
    if (!intervalDone)
        elapsed += deltaSeconds;
    const irr::f32 remaining = targetSeconds - elapsed;
    return remaining > 0.0f ? remaining : 0.0f;
}

void Stopwatch::clearAverages() {
    sumSeconds = 0.0f;
    ticks = 0;
}

irr::f32 Stopwatch::averageSeconds() const {
    return ticks ? sumSeconds / static_cast<irr::f32>(ticks) : 0.0f;
}

irr::f32 Stopwatch::secondsSince(std::int64_t count, std::int64_t now) const {
    if (clock.frequency <= 0)
        return 0.0f;
    return static_cast<irr::f32>(static_cast<double>(now - count) /
                                 static_cast<double>(clock.frequency));
}
