#include "player/InputRegistration.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"
#include "player/ConfigTentMovementObject.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "level/SceneNodeTypes.h"
#include "player/InputManager.h"
#include "player/devices/KeyboardDevice.h"

void registerInputSubsystem() {
    InputHooks& input = shellHooks().input;
    input.create = []() -> irr::IEventReceiver* {
        inputManager = new InputManager();
        return inputManager;
    };
    input.init = [](irr::IrrlichtDevice* device) {
        if (inputManager)
            inputManager->init(device);
    };
    input.resetInputState = []() {
        if (inputManager)
            inputManager->resetInputState();
    };
    input.update = []() {
        if (inputManager)
            inputManager->update();
    };
    input.updateDeviceOverlays = []() {
        if (inputManager)
            inputManager->updateDeviceOverlays();
    };
    input.endFrame = []() {
        if (inputManager)
            inputManager->endFrame();
    };
    input.destroy = []() {
        delete inputManager;
        inputManager = nullptr;
    };
    input.createMovementObject = [](irr::scene::ISceneManager* scene) {
        return new ConfigTentMovementObject(nullptr, scene, -1);
    };
    input.destroyMovementObject = []() {
        if (movementObject)
            movementObject->drop();
        movementObject = nullptr;
    };

    registerSceneNodeType(
        levelObjectRow<ConfigTentMovementObject>(typeId("move"), "ConfigTentMovementObject"));

    LevelHookTable& level = levelHooks();
    level.movement.getGravity = getMovementGravity;
    level.input.wasKeyPressed = [](irr::EKEY_CODE key) {
        return inputManager && inputManager->getKeyboard() &&
               inputManager->getKeyboard()->keyState(key) == InputState::Pressed;
    };
    // A full suspicion meter ends the level with one strong rumble on both motors.
    level.input.gameOverRumble = [] {
        if (inputManager)
            inputManager->addRumble(1.0f, 1.0f, 0.2f, 0.0f);
    };
}
