#include "triggers/TriggerRunBudget.h"

#include "core/FileChecks.h"
#include "core/RepeatedLog.h"
#include "level/SceneNodeBase.h"

#include <cstdint>

namespace {

struct RunBudget {
    irr::u32 frame = 0;
    std::uint64_t round = 0;
    irr::u32 runs = 0;
    irr::u32 nesting = 0;
    bool spent = false;
};

RunBudget budget;

} // namespace

TriggerRun::TriggerRun() {
    const std::uint64_t round = fileRefusalRound();
    // A new frame (or a new level) starts a fresh budget; a chain of runs never spans frames.
    if (budget.nesting == 0 && (budget.frame != levelAnimateFrame || budget.round != round)) {
        budget.frame = levelAnimateFrame;
        budget.round = round;
        budget.runs = 0;
        budget.spent = false;
    }
    if (!budget.spent && (budget.runs >= maxRunsPerFrame || budget.nesting >= maxNesting)) {
        budget.spent = true;
        // Once a level, then counted frame by frame.
        logRepeatablef("ERROR: Trigger events run one another without end (more than %u runs in one frame or "
                       "%u nested); the rest of the frame's runs are left out.",
                       maxRunsPerFrame, maxNesting);
    }
    if (budget.spent)
        return;
    counted = true;
    ++budget.runs;
    ++budget.nesting;
}

TriggerRun::~TriggerRun() {
    if (counted)
        --budget.nesting;
}

irr::u32 TriggerRun::runsThisFrame() {
    return budget.frame == levelAnimateFrame && budget.round == fileRefusalRound() ? budget.runs : 0;
}
