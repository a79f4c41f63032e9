#include "InputTestSupport.h"

#include "support/StubPlayer.h"

#include "characters/SuspicionMeter.h"
#include "core/Globals.h"

#include <filesystem>
#include "level/LevelHooks.h"
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

// A body that keeps its own suspicion record.
class RecordKeepingPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    SuspicionMeter* getSuspicionRecord() override { return &record; }
    SuspicionMeter record;
};

TEST_F(InputRegistrationTest, MovementObjectKeysAndPlayerRecordsReachTheLevelSubsystem) {
    levelManager = nullptr; // level objects tell a real level manager when they go
    registerInputSubsystem();
    std::filesystem::create_directories(dir.path() / "Content" / "Config");
    std::filesystem::copy_file(test::sourceDir() / "Content" / "Config" / "Movement.xml",
                               dir.path() / "Content" / "Config" / "Movement.xml");
    // As the shell's start-up makes it.
    movementObject = new ConfigTentMovementObject(nullptr, device->get()->getSceneManager(), -1);
    EXPECT_EQ(movementObject->getType(), typeId("move"));

    movementObject->drop();
    movementObject = nullptr;

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

    // A player's suspicion record is the one its body keeps; a body without one, or none,
    // leaves the level's record to stand in.
    const auto& recordOf = levelHooks().players.getSuspicionRecord;
    ASSERT_TRUE(recordOf);
    auto* keeper = new RecordKeepingPlayer(nullptr, device->get()->getSceneManager(), 1);
    auto* plain = new test::StubPlayer(nullptr, device->get()->getSceneManager(), 2);
    EXPECT_EQ(recordOf(keeper), &keeper->record);
    EXPECT_EQ(recordOf(plain), nullptr);
    EXPECT_EQ(recordOf(nullptr), nullptr);
    keeper->drop();
    plain->drop();
    resetLevelHooks();
}

} // namespace
