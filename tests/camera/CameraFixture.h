#pragma once

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "core/GameSettings.h"
#include "physics/world/PhysicsManager.h"

#include "../level/LevelTestSupport.h"

#include <memory>

class GameSettings;
class ConfigTentMovementObject;
class PhysicsManager;

namespace test {

// A null device with a level manager, a running physics world, the camera subsystem
// registered and camera manager 0 made through the shell's slot and armed as a level load
// arms it.
class CameraFixture : public LevelFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // A camera object at the position looking along +Z (rotation in degrees).
    CameraObject* addCamera(const irr::core::vector3df& position, irr::s32 priority = 0,
                            const irr::core::vector3df& rotation = {});
    // Runs the camera's own frame (it places its engine camera).
    static void animate(CameraObject* camera);

    CameraManager* cameras = nullptr;
    std::unique_ptr<GameSettings> settings;
    ConfigTentMovementObject* movement = nullptr;
    PhysicsManager* physics = nullptr;
};

} // namespace test
