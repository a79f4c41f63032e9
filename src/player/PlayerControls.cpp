#include "player/PlayerControls.h"

#include "core/FileUtils.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "level/SaveManager.h"
#include "player/InputManager.h"
#include "player/PlayerHooks.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/JoystickDevice.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/LeapDevice.h"
#include "player/devices/MouseDevice.h"
#include "player/devices/MoveDevice.h"
#include "player/devices/MultitouchDevice.h"
#include "player/devices/TouchDevice.h"
#include "player/devices/VibrationController.h"

#include <cmath>
#include <irrlicht.h>

namespace {

// A touch that began within this fraction of the screen's width, from the left, holds grab.
constexpr float leftTouchFraction = 0.2f;
constexpr float skipTouchHoldSeconds = 1.0f;

// The remapping file lives in the save manager's folder, or in the save folder before the
// save manager exists.
std::string remappingFilePath() {
    std::string folder = saveManager ? saveManager->getFolder() : saveFolderPath();
    if (folder.empty())
        return PlayerControls::remappingFileName;
    if (folder.back() != '/')
        folder += '/';
    return folder + PlayerControls::remappingFileName;
}

int menuCodeAction(int code) {
    switch (code) {
    case MenuCode::Up: return GameAction::MenuUp;
    case MenuCode::Down: return GameAction::MenuDown;
    case MenuCode::Left: return GameAction::MenuLeft;
    case MenuCode::Right: return GameAction::MenuRight;
    case MenuCode::Confirm: return GameAction::MenuConfirm;
    case MenuCode::Back: return GameAction::MenuBack;
    default: return -1;
    }
}

} // namespace

PlayerControls::PlayerControls(InputManager* owner, int player, int set, int instance, InputDevice* initialDevice)
    : verticalSensitivity(getSettingFloat("KM_VerticalSensitivity")),
      horizontalSensitivity(getSettingFloat("KM_HorizontalSensitivity")),
      scrollSensitivity(getSettingFloat("KM_ScrollSensitivity")),
      gamepadStickSensitivity(getSettingFloat("Gamepad_StickSensitivity")),
      joystickStickSensitivity(getSettingFloat("Joystick_StickSensitivity")),
      gamepadInstance(instance),
      secondaryInstance(instance),
      lastDevice(initialDevice),
      remappingPath(remappingFilePath()),
      manager(owner),
      mouse(owner ? owner->getMouse() : nullptr),
      keyboard(owner ? owner->getKeyboard() : nullptr),
      touch(owner ? owner->getTouch() : nullptr),
      multitouch(owner ? owner->getMultitouch() : nullptr),
      gamepad(owner ? owner->getGamepad() : nullptr),
      joystick(owner ? owner->getJoystick() : nullptr),
      move(owner ? owner->getMove() : nullptr),
      leap(owner ? owner->getLeap() : nullptr),
      vibration(owner ? owner->getVibration() : nullptr),
      playerIndex(player),
      setIndex(set) {
    if (instance < 0 || (initialDevice && initialDevice == mouse)) {
        lastDevice = mouse;
        if (instance > 0)
            secondaryInstance = instance;
    } else if (initialDevice && (initialDevice == gamepad || initialDevice == joystick)) {
        keyboardMouseEnabled = false;
        multitouchEnabled = false;
        if (initialDevice == gamepad) {
            gamepadInstance = instance;
            secondaryInstance = -1;
        } else {
            secondaryInstance = instance;
            gamepadInstance = -1;
        }
    }
    loadMappings();
}

PlayerControls::~PlayerControls() = default;

const std::vector<std::unique_ptr<ButtonMapping>>& PlayerControls::mappings(int action) const {
    static const std::vector<std::unique_ptr<ButtonMapping>> none;
    return action >= 0 && action < GameAction::count ? actionMappings[action] : none;
}

int PlayerControls::mappingCount() const {
    int count = 0;
    for (const auto& list : actionMappings)
        count += int(list.size());
    return count;
}

int PlayerControls::getDeviceScheme(const InputDevice* device) const {
    auto entry = deviceSchemes.find(device);
    return entry == deviceSchemes.end() ? 0 : entry->second;
}

void PlayerControls::setDeviceScheme(const InputDevice* device, int scheme) { deviceSchemes[device] = scheme; }

ButtonMapping* PlayerControls::addMapping(int action, const ButtonMapping& mapping) {
    if (action < 0 || action >= GameAction::count)
        return nullptr;
    actionMappings[action].push_back(std::make_unique<ButtonMapping>(mapping));
    return actionMappings[action].back().get();
}

void PlayerControls::removeUnboundMappings() {
    for (auto& list : actionMappings)
        std::erase_if(list, [](const std::unique_ptr<ButtonMapping>& mapping) {
            return !mapping->keep || !mapping->device;
        });
}

void PlayerControls::clearMappings() {
    for (auto& list : actionMappings)
        list.clear();
}

bool PlayerControls::isMappingUsable(const ButtonMapping* mapping) const {
    if (!mapping || !mapping->device)
        return false;
    auto scheme = deviceSchemes.find(mapping->device);
    if (scheme != deviceSchemes.end() && scheme->second != mapping->schemeIndex)
        return false;
    const InputDevice* device = mapping->device;
    const bool severalMice = mouse && mouse->isMultiMouseActive();
    if (device == mouse) {
        return keyboardMouseEnabled && !touchMode &&
               (!multitouchEnabled || (severalMice && secondaryInstance >= 1) ||
                !multitouch || multitouch->getDeviceCount() == 0);
    }
    if (device == keyboard)
        return keyboardMouseEnabled;
    if (device == gamepad)
        return gamepad->isConnected(gamepadInstance);
    if (device == joystick)
        return !joystickIgnoreInput && joystick->isConnected(secondaryInstance);
    if (device == touch)
        return touchMode;
    if (device == multitouch)
        return multitouchEnabled && !(severalMice && secondaryInstance >= 1);
    if (device == move || device == leap)
        return device->getDeviceCount() != 0;
    return false;
}

void PlayerControls::noteDevice(InputDevice* device) {
    if (keyboardMouseEnabled)
        lastDevice = device;
}

float PlayerControls::getActionValue(int action) {
    if (action < 0 || action >= GameAction::count)
        return 0.0f;
    float strongest = 0.0f;
    for (const auto& mapping : actionMappings[action]) {
        if (!isMappingUsable(mapping.get()))
            continue;
        const float value = mapping->device->getValue(*mapping);
        if (std::fabs(value) > std::fabs(strongest)) {
            strongest = value;
            noteDevice(mapping->device);
        }
    }
    return strongest;
}

bool PlayerControls::wasActionPressed(int action, InputDevice** outDevice) {
    if (action < 0 || action >= GameAction::count)
        return false;
    bool pressed = false;
    for (const auto& mapping : actionMappings[action]) {
        if (!isMappingUsable(mapping.get()) || !mapping->device->wasPressed(*mapping))
            continue;
        pressed = true;
        if (outDevice)
            *outDevice = mapping->device;
        noteDevice(mapping->device);
    }
    return pressed;
}

void PlayerControls::update() {
    // In menus (game input held back) the device the player reaches for becomes the last
    // one: a mouse that clicks or moves, or whatever confirms.
    if (!inputQueries::isInputAllowed()) {
        if (mouse) {
            const MouseState& record = mouse->systemMouse();
            const bool buttonHeld = record.left == InputState::Pressed || record.left == InputState::Down;
            if (buttonHeld || record.deltaX != 0.0f || record.deltaY != 0.0f)
                noteDevice(mouse);
        }
        if (inputQueries::isSimulationActive())
            wasActionPressed(GameAction::MenuConfirm);
    }
    if (move)
        deviceSchemes[move] = 0;
}

bool PlayerControls::isPausePressed() {
    if (!inputQueries::isSimulationActive())
        return false;
    bool pressed = wasActionPressed(GameAction::PauseGame);
    if (keyboard && keyboard->keyState(irr::KEY_ESCAPE) == InputState::Pressed)
        pressed = true;
    if (touchMode && touch && touch->isPauseTouch())
        pressed = true;
    return pressed;
}

bool PlayerControls::isMenuBackPressed() {
    return inputQueries::isSimulationActive() && wasActionPressed(GameAction::MenuBack);
}

bool PlayerControls::isMenuCodePressed(int code) {
    const int action = menuCodeAction(code);
    return inputQueries::isSimulationActive() && action >= 0 && wasActionPressed(action);
}

bool PlayerControls::isMenuCodeDown(int code) {
    const int action = menuCodeAction(code);
    return inputQueries::isSimulationActive() && action >= 0 && getActionValue(action) != 0.0f;
}

bool PlayerControls::isSkipCutscenePressed() {
    if (!inputQueries::isSimulationActive() || !inputQueries::isGameplaySuspended())
        return false;
    bool pressed = wasActionPressed(GameAction::SkipCutscene);
    if (touchMode && touch) {
        const TouchPoint* primary = touch->primaryTouch();
        if (primary && primary->heldTime > skipTouchHoldSeconds)
            pressed = true;
    }
    return pressed;
}

bool PlayerControls::isSkipCutsceneDown() {
    if (!inputQueries::isSimulationActive() || !inputQueries::isGameplaySuspended())
        return false;
    bool down = getActionValue(GameAction::SkipCutscene) != 0.0f;
    if (touchMode && touch && touch->countPressedTouches() != 0)
        down = true;
    return down;
}

bool PlayerControls::isActionActive(int action) {
    return inputQueries::isInputAllowed() && getActionValue(action) != 0.0f;
}

bool PlayerControls::isModeSwitchPressed() {
    if (!inputQueries::isInputAllowed() || inputQueries::isGameplaySuspendedOrLoading())
        return false;
    bool pressed = wasActionPressed(GameAction::ModeSwitch);
    // The same input may also skip a cutscene; then it does only that.
    if (isSkipCutscenePressed())
        pressed = false;
    if (touchMode && touch && touch->isSwitchTouch())
        pressed = true;
    return pressed;
}

bool PlayerControls::isGrabHeld(bool oneSideOnly) {
    if (!inputQueries::isInputAllowed() || (!usesRole(0) && !usesRole(1)))
        return false;
    if (touchMode && touch) {
        if (const TouchPoint* leftTouch = touch->findLeftTouch(leftTouchFraction))
            return leftTouch->state == InputState::Pressed;
    }
    if (getActionValue(GameAction::GrabObject) != 0.0f)
        return true;
    return !oneSideOnly && getActionValue(GameAction::LeftGrabObject) != 0.0f;
}

void PlayerControls::addRumble(float left, float right, float duration, float delay) {
    if (!vibration || gamepadInstance < 0 || gamepadInstance > 3)
        return;
    const bool padConnected = gamepad && gamepad->isConnected(gamepadInstance);
    const bool joystickConnected = !joystickIgnoreInput && joystick && joystick->isConnected(secondaryInstance);
    if (!padConnected && !joystickConnected)
        return;
    VibrationController::RumbleEffect effect;
    effect.pad = gamepadInstance;
    effect.startLeft = effect.endLeft = left;
    effect.startRight = effect.endRight = right;
    effect.duration = duration;
    effect.delay = delay;
    vibration->addEffect(effect);
}
