#pragma once

#include "core/Stopwatch.h"

// The profiler: four stopwatches the frame loop and the physics step time their work with,
// shown by the debug overlay. They have no target: each measures from its reset on.
class ProfilerManager {
public:
    enum Index { Objects = 0, Rendering = 1, Physics = 2, Sound = 3 };
    static constexpr int stopwatchCount = 4;

    explicit ProfilerManager(StopwatchClock clock = StopwatchClock::system());

    // The stopwatch of an index 0-3; null for any other index.
    Stopwatch* getStopwatch(int index);
    Stopwatch& stopwatch(Index index) { return watches[index]; }

    // Gates the frame loop's own profiler calls; the debug overlay sets it to its visibility.
    bool isEnabled() const { return enabled; }
    void setEnabled(bool on) { enabled = on; }

    // The clock the stopwatches read; a frame timed beside them reads the same one.
    const StopwatchClock& clock() const { return watchClock; }

private:
    StopwatchClock watchClock;
    Stopwatch watches[stopwatchCount];
    bool enabled = false;
};
