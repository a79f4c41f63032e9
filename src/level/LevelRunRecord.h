#pragma once

#include <irrTypes.h>

// What one run of a level has counted so far: its play time, the story total time it adds
// to, the losses and the suspicion of the last splat. The level manager keeps one; the
// statistics hand-over (LogManager::submitLevelStats) gives it to the save manager.
struct LevelRunRecord {
    // Seconds played in this run of the level.
    irr::f32 levelTime = 0.0f;
    // The story's total play time, this run included.
    irr::f32 storyTime = 0.0f;
    // False when the level time does not cover the whole run (a restart from a checkpoint):
    // the time then shows as not available and is not recorded.
    bool validTime = true;
    // This level's time counts into the story time (a story run that allows story time).
    bool countsStoryTime = false;
    // Game-overs counted during the run.
    irr::s32 losses = 0;
    // The meter value that the last splat showed.
    irr::f32 lastSuspicion = 0.0f;
};
