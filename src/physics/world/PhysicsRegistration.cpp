#include "physics/world/PhysicsRegistration.h"

#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"

#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "player/ConfigTentMovementObject.h"

void registerPhysicsLevelSlots() {
    LevelHookTable::Physics& level = levelHooks().physics;
    level.resetFrameCounter = [] {
        if (physicsManager)
            physicsManager->resetFrameCounter();
    };
    level.toggleDebugVisualization = [] {
        if (physicsManager)
            physicsManager->toggleDebugVisualization();
    };
    level.applyLevelSettings = [](const LevelSettings& settings) {
        irr::core::vector3df gravity = settings.Gravity;
        irr::core::vector3df movementGravity;
        if (settings.UseDefaultGravity && getMovementGravity(movementGravity))
            gravity = movementGravity;
        if (physicsManager)
            physicsManager->setGravity(toPhys(gravity));
    };
}

void registerPhysicsSubsystem() {
    registerPhysicsObjectTypes();

    registerPhysicsLevelSlots();
}
