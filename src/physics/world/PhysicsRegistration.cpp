#include "physics/world/PhysicsRegistration.h"

#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"

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
}
