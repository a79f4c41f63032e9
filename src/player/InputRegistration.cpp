#include "player/InputRegistration.h"

#include "core/Globals.h"
#include "player/ConfigTentMovementObject.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "level/SceneNodeTypes.h"
#include "player/InputManager.h"
#include "player/PlayerObject.h"
#include "player/devices/KeyboardDevice.h"

void registerInputSubsystem() {
    registerSceneNodeType(
        levelObjectRow<ConfigTentMovementObject>(typeId("move"), "ConfigTentMovementObject"));

    LevelHookTable& level = levelHooks();
    // A player body keeps its own suspicion record.
    level.players.getSuspicionRecord = [](PlayerObject* player) {
        return player ? player->getSuspicionRecord() : nullptr;
    };
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
