#include "physics/world/PhysicsRegistration.h"

#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "player/ConfigTentMovementObject.h"
#include "player/PlayerHooks.h"

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
    PhysicsHooks& shell = shellHooks().physics;
    shell.create = [] { return new PhysicsManager(); };
    shell.init = [] { return physicsManager->init(); };
    shell.bindResetScene = [] {
        if (levelManager && physicsManager)
            levelManager->onLevelUnloaded.addMember(physicsManager, &PhysicsManager::resetScene);
    };
    shell.endStep = [] { physicsManager->endStep(); };
    shell.updateStepCount = [] { physicsManager->updateStepCount(); };
    shell.beginStep = [] { physicsManager->beginStep(); };
    shell.setFrameSimulatedTime = [](irr::f32 seconds) { physicsManager->setFrameSimulatedTime(seconds); };
    shell.stepDuringRender = [] { physicsManager->stepDuringRender(); };
    shell.isSimulationActive = [] { return physicsManager->isSimulationActive(); };
    shell.drawDebug = [] { physicsManager->drawDebug(); };
    shell.destroy = [] {
        // The level manager is gone by now; nothing of it keeps the manager.
        delete physicsManager;
    };

    registerPhysicsLevelSlots();

    playerHooks().physics.fixedStepLength = [] {
        return physicsManager ? physicsManager->getStepSize() : PhysicsManager::fixedStepSize;
    };
}
