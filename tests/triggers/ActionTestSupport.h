#pragma once

#include "TriggerTestSupport.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "core/SoundManager.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"

#include <functional>
#include <memory>

namespace test {

// The trigger fixture with what the actions act on: the physics world stepping, the physics
// objects, the action classes and the two volume kinds registered, camera manager 0, the
// sound manager with the game's audio project (null output), working from the source folder
// so that the game's content loads.
class ActionFixture : public TriggerFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // One frame of the game's loop: fetch the physics step, the level update (triggers and
    // actions), the cameras and the sound, start the next step.
    // `inUpdate` runs after the level update, where trigger actions run in the game.
    void step(irr::f32 seconds = PhysicsManager::fixedStepSize, const std::function<void()>& inUpdate = {});
    void steps(int count, irr::f32 seconds = PhysicsManager::fixedStepSize);

    // A crate (box body) with the ID at the position; "Dynamic", "Kinematic" or "Static".
    PhysicsObject* addCrate(irr::s32 id, const irr::core::vector3df& position, const char* state = "Dynamic");
    CameraObject* addCameraObject(irr::s32 id, const irr::core::vector3df& position);
    // A trigger of the condition whose action is made by the factory and read from the keys.
    TriggerObject* addActionTrigger(irr::s32 id, irr::s32 actionType,
                                    const std::function<void(irr::io::IAttributes*)>& keys,
                                    TriggerCondition condition = TriggerCondition::ManualActivationOnly);
    // The action's keys read into a fresh action of the same type (the level-file road).
    static std::string keysOf(const TriggerAction& action);

    std::unique_ptr<SoundManager> sound;
    CameraManager* cameras = nullptr;
};

} // namespace test
