#include "GameTypesFixture.h"

#include "camera/CameraObject.h"
#include "camera/CameraPoints.h"
#include "camera/CutsceneObject.h"
#include "characters/CharacterObject.h"
#include "characters/WaypointObject.h"
#include "core/Globals.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsHooks.h"
#include "player/ConfigTentMovementObject.h"
#include "render/BillboardObject.h"
#include "render/LightObject.h"
#include "render/ParticleObject.h"
#include "render/WaterObject.h"
#include "render/WorldObjectTypes.h"
#include "triggers/TriggerRegistration.h"
#include "triggers/actions/TriggerActionRegistration.h"

#include <set>

namespace test {

bool GameTypesFixture::startGameTypes(std::int64_t (*clock)()) {
    for (const SceneNodeTypeRow* row : factorySceneNodeTypes())
        savedRows.push_back(*row);
    registerPhysicsObjectTypes();
    registerTriggerTypes();
    registerTriggerActions();
    registerWaypointType();
    registerSceneNodeType(levelObjectRow<CharacterObject>(typeId("crct"), "CharacterObject"));
    registerCameraObjectType();
    registerCameraPointTypes();
    registerCutsceneObjectType();
    registerLightObjectType();
    registerParticleObjectType();
    registerBillboardObjectType();
    registerWaterObjectType();
    registerWorldObjectTypes();
    registerSceneNodeType(levelObjectRow<ConfigTentMovementObject>(typeId("move"), "ConfigTentMovementObject"));
    stopwatch = std::make_unique<Stopwatch>(L"frame", 0.0f, StopwatchClock{clock, 1000000});
    frameStopwatch = stopwatch.get();
    physics = std::make_unique<PhysicsManager>();
    physicsManager = physics.get();
    return physics->init();
}

void GameTypesFixture::TearDown() {
    manager->unloadLevel();
    smgr()->clear();
    physics.reset();
    physicsManager = nullptr;
    frameStopwatch = nullptr;
    stopwatch.reset();
    resetPhysicsHooks();
    setExclusionTest(nullptr);
    unregisterTriggerActions();
    std::set<irr::u32> before;
    for (const SceneNodeTypeRow& row : savedRows)
        before.insert(static_cast<irr::u32>(row.type));
    std::vector<SceneNodeTypeRow> added;
    for (const SceneNodeTypeRow* row : factorySceneNodeTypes())
        if (!before.count(static_cast<irr::u32>(row->type)))
            added.push_back(SceneNodeTypeRow{row->type, "", nullptr});
    for (const SceneNodeTypeRow& row : added)
        registerSceneNodeType(row);
    for (const SceneNodeTypeRow& row : savedRows)
        registerSceneNodeType(row);
    LevelFixture::TearDown();
}

} // namespace test
