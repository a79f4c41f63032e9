#pragma once

#include <irrTypes.h>

// Trigger events run one another at once ("Run Trigger" under an event without delay), and a
// level can make that graph a cycle (a trigger that runs itself overflows the stack) or a
// fan-out (thirty triggers that each run the next twice make 2^30 runs in one frame). Every
// run of a trigger's events (a firing, a child event started or reverted at once, a delay
// that ends) holds a TriggerRun while it works: one level frame allows at most
// maxRunsPerFrame runs, nested at most maxNesting deep. Past either bound the rest of the
// frame's runs are left out, with one line per level load (later frames that hit the bound
// are counted, core/RepeatedLog.h).
class TriggerRun {
public:
    static constexpr irr::u32 maxRunsPerFrame = 10000;
    static constexpr irr::u32 maxNesting = 64;

    TriggerRun();
    ~TriggerRun();
    TriggerRun(const TriggerRun&) = delete;
    TriggerRun& operator=(const TriggerRun&) = delete;

    // False when the bound is spent: the caller does nothing.
    bool allowed() const { return counted; }

    // The runs allowed so far in this frame.
    static irr::u32 runsThisFrame();

private:
    bool counted = false;
};
