#include "core/ProfilerManager.h"

ProfilerManager::ProfilerManager(StopwatchClock clock)
    : watchClock(clock),
      watches{Stopwatch(L"Objects", Stopwatch::noTarget, clock),
              Stopwatch(L"Rendering", Stopwatch::noTarget, clock),
              Stopwatch(L"Physics", Stopwatch::noTarget, clock),
              Stopwatch(L"Sound", Stopwatch::noTarget, clock)} {}

Stopwatch* ProfilerManager::getStopwatch(int index) {
    if (index < 0 || index >= stopwatchCount)
        return nullptr;
    return &watches[index];
}
