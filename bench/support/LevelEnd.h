#pragma once

// A story level ends itself some seconds after its start (an "End Level" trigger event with
// a delay). On a slow machine a benchmark's frames outlast that: these hold the end back, so
// that every frame measured is a frame of the level, and tell a benchmark when it has left
// the level all the same.
#include "core/Globals.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "level/SceneNodeTypes.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/actions/LevelFlowActions.h"

#include <irrlicht.h>

#include <limits>
#include <string>

namespace bench {

// The level at the path (relative to the repository root) is the current one: as the path
// or ending in it (a level given on the command line is loaded by its absolute path).
inline bool currentLevelIs(const std::string& path) {
    if (!levelManager)
        return false;
    const std::string current = irr::core::stringc(levelManager->getCurrentLevelPath()).c_str();
    return current == path || (current.size() > path.size() && current[current.size() - path.size() - 1] == '/' &&
                               current.compare(current.size() - path.size(), path.size(), path) == 0);
}

// The level at the path is the current one and no loading transition covers it.
inline bool playingLevel(const std::string& path) {
    return currentLevelIs(path) && !levelManager->loadingOverlay.isBusy();
}

// The level at the path is still the one played: the current one, with no event queued that
// leaves it. A transition of the loading overlay alone is a cut within the level (the Shed's
// circle wipe to the shed door, "Run Fake Transition"), not a way out of it.
inline bool stillInLevel(const std::string& path) {
    if (!currentLevelIs(path))
        return false;
    for (LevelEventType leaving : {LET_LoadLevel, LET_UnloadLevel, LET_RestartLevel, LET_RestartFromCheckpoint,
                                   LET_ReturnToMainMenu, LET_ShowSplash})
        if (levelManager->isEventQueued(leaving))
            return false;
    return true;
}

// Every trigger event of the current level that would end it waits for ever instead (its
// delay made endless; counting, it runs nothing else either). Returns how many were held.
inline int holdLevelEnd() {
    if (!gameDevice)
        return 0;
    irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
    irr::core::array<irr::scene::ISceneNode*> events;
    scene->getSceneNodesFromType(typeId("trge"), events); // TriggerEventObject's type
    int held = 0;
    for (irr::u32 i = 0; i < events.size(); ++i) {
        auto* event = static_cast<TriggerEventObject*>(events[i]);
        if (event->getAction() && event->getAction()->getType() == EndLevelAction::actionType) {
            event->EventDelay = std::numeric_limits<irr::f32>::max();
            ++held;
        }
    }
    return held;
}

} // namespace bench
