#include "physics/world/PhysicsRegistration.h"

#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"

#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "player/PlayerHooks.h"

void registerPhysicsSubsystem() {
    registerPhysicsObjectTypes();

    LevelHookTable::Physics& level = levelHooks().physics;
    level.resetFrameCounter = [] {
        if (physicsManager)
            physicsManager->resetFrameCounter();
    };
    level.toggleDebugVisualization = [] {
        if (physicsManager)
            physicsManager->toggleDebugVisualization();
    };
    level.setGravity = [](const irr::core::vector3df& gravity) {
        if (physicsManager)
            physicsManager->setGravity(toPhys(gravity));
    };
    level.setObjectActive = [](irr::scene::ISceneNode* object, bool active) {
        if (PhysicsUserData* record = findUserDataOfNode(object))
            record->active = active;
    };

    playerHooks().physics.fixedStepLength = [] {
        return physicsManager ? physicsManager->getStepSize() : PhysicsManager::fixedStepSize;
    };
}
