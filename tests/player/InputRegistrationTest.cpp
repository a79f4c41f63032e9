#include "InputTestSupport.h"

#include "core/Globals.h"

#include <filesystem>
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/SceneNodeTypes.h"
#include "player/ConfigTentMovementObject.h"
#include "player/InputManager.h"
#include "player/InputRegistration.h"
#include "player/devices/KeyboardDevice.h"

namespace {

using test::InputTest;

class InputRegistrationTest : public InputTest {
protected:
    void TearDown() override {
        if (device)
            device->get()->setEventReceiver(nullptr);
        delete inputManager;
        inputManager = nullptr;
        InputTest::TearDown();
    }
};

TEST_F(InputRegistrationTest, TheShellRunsTheInputManagerAsTheDevicesReceiver) {
    // What the shell's start-up does with it.
    inputManager = new InputManager();
    inputManager->init(device->get());
    inputManager->resetInputState();
    EXPECT_EQ(device->get()->getEventReceiver(), inputManager);

    // One frame of the shell: events, update, overlays, end of frame.
    keyEvent(irr::KEY_ESCAPE, true);
    inputManager->update();
    EXPECT_EQ(focus->keys, std::vector<int>{1005});
    inputManager->updateDeviceOverlays();
    inputManager->endFrame();
    EXPECT_EQ(inputManager->getKeyboard()->keyState(irr::KEY_ESCAPE), InputState::Down);
}

TEST_F(InputRegistrationTest, MovementObjectGravityAndKeysReachTheLevelSubsystem) {
    levelManager = nullptr; // level objects tell a real level manager when they go
    registerInputSubsystem();
    std::filesystem::create_directories(dir.path() / "Content" / "Config");
    std::filesystem::copy_file(test::sourceDir() / "Content" / "Config" / "Movement.xml",
                               dir.path() / "Content" / "Config" / "Movement.xml");
    // As the shell's start-up makes it.
    movementObject = new ConfigTentMovementObject(nullptr, device->get()->getSceneManager(), -1);
    EXPECT_EQ(movementObject->getType(), typeId("move"));

    // The level settings take the movement gravity.
    irr::core::vector3df gravity;
    ASSERT_TRUE(levelHooks().movement.getGravity);
    EXPECT_TRUE(levelHooks().movement.getGravity(gravity));
    EXPECT_EQ(gravity, irr::core::vector3df(0.0f, -55.0f, 0.0f));
    // A level with default gravity gives the physics scene the movement gravity.
    irr::core::vector3df sceneGravity;
    levelHooks().physics.setGravity = [&](const irr::core::vector3df& value) { sceneGravity = value; };
    LevelSettings settings;
    settings.Gravity = irr::core::vector3df(0.0f, -10.0f, 0.0f);
    applyLevelSettings(settings, nullptr);
    EXPECT_EQ(sceneGravity, irr::core::vector3df(0.0f, -55.0f, 0.0f));
    settings.UseDefaultGravity = false;
    applyLevelSettings(settings, nullptr);
    EXPECT_EQ(sceneGravity, irr::core::vector3df(0.0f, -10.0f, 0.0f));
    movementObject->drop();
    movementObject = nullptr;
    EXPECT_FALSE(levelHooks().movement.getGravity(gravity));

    // Level files make it by its factory name.
    const SceneNodeTypeRow* row = findSceneNodeType("ConfigTentMovementObject");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->type, typeId("move"));

    // The level's debug keys ask for keys pressed this frame.
    inputManager = new InputManager();
    inputManager->init(device->get());
    keyEvent(irr::KEY_F5, true);
    EXPECT_TRUE(levelHooks().input.wasKeyPressed(irr::KEY_F5));
    EXPECT_FALSE(levelHooks().input.wasKeyPressed(irr::KEY_F6));
    resetLevelHooks();
}

} // namespace
