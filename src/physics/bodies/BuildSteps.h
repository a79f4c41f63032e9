#pragma once

#include "core/ProcessGuards.h"
#include "level/LevelHooks.h"

// Between two steps of a long build (the buffers of a collision shape, the copies of a Spawn
// Object pool), as the level reader does between its objects: a loading frame, and whether
// the game quits, when the build stops where it is.
inline bool quitBeforeBuildStep() {
    if (const auto& renderLoadingFrame = levelHooks().screens.renderLoadingFrame)
        renderLoadingFrame();
    return gameQuitting();
}
