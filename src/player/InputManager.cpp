#include "player/InputManager.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "core/LogManager.h"
#include "player/GameActions.h"
#include "player/PlayerControls.h"
#include "player/PlayerHooks.h"
#include "player/devices/EvdevMouseDriver.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/JoystickDevice.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/LeapDevice.h"
#include "player/devices/MouseDevice.h"
#include "player/devices/MoveDevice.h"
#include "player/devices/MultitouchDevice.h"
#include "player/devices/TouchDevice.h"
#include "player/devices/VibrationController.h"

#include <algorithm>
#include <cstring>
#include <irrlicht.h>

bool joystickIgnoreInput = false;

InputManager::InputManager() = default;

InputManager::~InputManager() {
    players.clear();
    defaultControls.reset();
    mouse.reset();
    keyboard.reset();
    gamepad.reset(); // stops the motors
    touch.reset();
    joystick.reset();
    multitouch.reset();
    leap.reset();
    move.reset();
    vibration.reset();
}

void InputManager::init(irr::IrrlichtDevice* engineDevice) {
    device = engineDevice;
    noSwitchMode = getSettingBool("Game_NoSwitchMode");
    joystickIgnoreInput = getSettingBool("Joystick_IgnoreInput");

    evdevMice::installDrivers();
    mouse = std::make_unique<MouseDevice>(device, this);
    mouse->registerButtonNames();
    keyboard = std::make_unique<KeyboardDevice>();
    keyboard->registerButtonNames();
    keyboard->setPairedDevice(mouse.get());
    mouse->setPairedDevice(keyboard.get());

    touch = std::make_unique<TouchDevice>(device);
    touch->registerButtonNames();
    gamepad = std::make_unique<GamepadDevice>();
    gamepad->registerButtonNames();
    // A pad plugged in or pulled out is the device change that joysticks rescan on.
    gamepad->onDeviceChange = [this]() { injectSystemMessage(deviceChangeMessage); };
    joystick = std::make_unique<JoystickDevice>(device, createSdlJoystickSource());
    joystick->registerButtonNames();
    multitouch = std::make_unique<MultitouchDevice>(noSwitchMode);
    multitouch->registerButtonNames();
    move = std::make_unique<MoveDevice>(device ? device->getVideoDriver() : nullptr);
    move->registerButtonNames();
    leap = std::make_unique<LeapDevice>();
    leap->registerButtonNames();

    vibration = std::make_unique<VibrationController>(gamepad.get());
    vibration->enabled = getSettingBool("Gamepad_Vibration");
    vibration->initVibration();
    gamepad->setVibrationController(vibration.get());

    if (device)
        device->setEventReceiver(this);

    holdTimers.assign(MenuCode::count, 0.0f);
    repeatTimers.assign(MenuCode::count, 0.0f);

    defaultControls = std::make_unique<PlayerControls>(this, 0, 0, 0, nullptr);
    for (int role = 0; role < 4; ++role)
        defaultControls->setRole(role, false);
    addPlayerControls(new PlayerControls(this, 0, 0, 0, nullptr), 0);

    PlayerControls* active = getActiveControls();
    lastDevice = active->lastDevice;
    lastScheme = lastDevice ? active->getDeviceScheme(lastDevice) : 0;
}

// --- events ------------------------------------------------------------------------------------

bool InputManager::OnEvent(const irr::SEvent& event) {
    InputEvent input;
    input.engine = &event;
    switch (event.EventType) {
    case irr::EET_MOUSE_INPUT_EVENT: input.kind = InputEventKind::Mouse; break;
    case irr::EET_KEY_INPUT_EVENT: input.kind = InputEventKind::Key; break;
    case irr::EET_JOYSTICK_INPUT_EVENT: input.kind = InputEventKind::Joystick; break;
    case irr::EET_LOG_TEXT_EVENT: input.kind = InputEventKind::LogText; break;
    default: return false;
    }
    return dispatch(input);
}

bool InputManager::injectTouch(const TouchData& data) {
    InputEvent input;
    input.kind = InputEventKind::Touch;
    input.touch = data;
    return dispatch(input);
}

bool InputManager::injectSystemMessage(irr::u32 message) {
    InputEvent input;
    input.kind = InputEventKind::SystemMessage;
    input.message = message;
    return dispatch(input);
}

bool InputManager::dispatch(const InputEvent& event) {
    PlayerControls* active = defaultControls ? getActiveControls() : nullptr;
    bool modeEvent = event.kind == InputEventKind::Key;
    if (event.kind == InputEventKind::Mouse && event.engine) {
        const irr::EMOUSE_INPUT_EVENT kind = event.engine->MouseInput.Event;
        modeEvent = kind == irr::EMIE_RMOUSE_PRESSED_DOWN || kind == irr::EMIE_MMOUSE_PRESSED_DOWN;
    }
    if (modeEvent) {
        if (mouse)
            mouse->mouseModeActive = true;
        if (active)
            active->touchMode = false;
    }
    if (event.kind == InputEventKind::Touch && mouse) {
        mouse->mouseModeActive = false;
        if (active)
            active->touchMode = true;
    }

    // Every device sees the event, also when an earlier one consumed it.
    bool consumed = false;
    if (touch)
        consumed |= touch->onEvent(event);
    if (mouse)
        mouse->onEvent(event);
    if (keyboard)
        keyboard->onEvent(event);
    if (joystick)
        consumed |= joystick->onEvent(event);

    // Handled here, so that the engine does not print the line raw: the terminal gets it
    // escaped, as the log file does.
    if (event.kind == InputEventKind::LogText && event.engine && event.engine->LogEvent.Text) {
        const irr::ELOG_LEVEL level = event.engine->LogEvent.Level;
        std::string line = prefixEngineLogLine(event.engine->LogEvent.Text, level);
        // The engine's own lines (a missing texture asked for by every object that names it, a
        // render target it cannot make, asked for every frame) follow the repeated-line rule;
        // the program's own lines chose at their call.
        if (!isOwnLogLineBeingLogged())
            line = takeRepeatableLine(line);
        if (!line.empty()) {
            if (logManager)
                logManager->log(line);
            writeLogLineToTerminal(line.c_str());
        }
        consumed = true;
    }
    return consumed;
}

// --- the frame -----------------------------------------------------------------------------------

void InputManager::update() { runUpdate(true); }

void InputManager::updateCatchUpStep() { runUpdate(false); }

void InputManager::runUpdate(bool readPointer) {
    if (!defaultControls)
        return;
    vibration->updateVibration(inputQueries::fixedStep());
    if (readPointer)
        mouse->update();
    else
        mouse->updateWithoutPointer();
    keyboard->closeEvents();
    // A joystick plugged in or pulled out is a device change too.
    if (joystick->pollSource())
        injectSystemMessage(deviceChangeMessage);
    joystick->setUpdatedThisFrame();

    if (joystick->rescanTimer > 1.0f) {
        joystick->rescan();
        joystick->rescanTimer = -1.0f;
    }
    if (joystick->rescanTimer >= 0.0f)
        joystick->rescanTimer += inputQueries::fixedStep();

    for (auto& controlsOfPlayer : players)
        for (auto& controls : controlsOfPlayer)
            controls->update();

    gamepad->update(inputQueries::fixedStep());
    updateKeyboardMouseInUse();
    updateMenuNavigation(inputQueries::fixedStep());

    const irr::core::position2di cursor(mouse->systemMouse().x, mouse->systemMouse().y);
    if (inputQueries::isSimulationActive() && getActiveControls()->lastDevice == mouse.get() && device &&
        (!cursorPosted || cursor != postedCursor)) {
        // The GUI follows the game's own cursor position when it moves: a row that comes under
        // a resting cursor (a question opened by a click) does not take the focus from the one
        // the screen chose.
        cursorPosted = true;
        postedCursor = cursor;
        irr::SEvent moved;
        moved.EventType = irr::EET_MOUSE_INPUT_EVENT;
        moved.MouseInput.Event = irr::EMIE_MOUSE_MOVED;
        moved.MouseInput.X = cursor.X;
        moved.MouseInput.Y = cursor.Y;
        moved.MouseInput.Wheel = 0.0f;
        moved.MouseInput.Shift = false;
        moved.MouseInput.Control = false;
        moved.MouseInput.ButtonStates = 0;
        device->postEventFromUser(moved);
    }

    if (inputQueries::isGameplaySuspended() || inputQueries::isMenuOpen())
        return;
    checkDeviceChange();
}

void InputManager::checkDeviceChange() {
    PlayerControls* active = getActiveControls();
    InputDevice* current = active->lastDevice;
    const int scheme = current ? active->getDeviceScheme(current) : 0;
    // Keyboard and mouse are one couple: moving between them is a change only when the
    // scheme differs.
    const bool otherDevice = current && current != lastDevice && current->getPairedDevice() != lastDevice;
    if (!otherDevice && scheme == lastScheme)
        return;
    InputDevice* previous = lastDevice;
    lastDevice = current;
    lastScheme = scheme;
    if (previous)
        deviceChanged.invoke();
}

void InputManager::updateMenuNavigation(float dt) {
    // Every tap of a fixed menu key counts once, in the order the taps came: several may fall
    // into one long frame, and a key let go before the frame's update was still pressed.
    bool tapped[MenuCode::count] = {};
    if (keyboard && !inputQueries::isStoreOverlayActive()) {
        for (int key : keyboard->keyPresses()) {
            const int code = fixedMenuCode(key);
            if (code == 0)
                continue;
            tapped[code - MenuCode::first] = true;
            if (!crossingDirectionHeld(code))
                sendMenuKey(code);
        }
    }
    for (int index = 0; index < MenuCode::count; ++index) {
        const int code = MenuCode::first + index;
        const bool directional = code <= MenuCode::Up;
        bool pressed = false;
        bool held = false;
        for (int entry = 0; entry < getPlayerControlsCount(0); ++entry) {
            PlayerControls* controls = getPlayerControls(0, entry);
            if (controls->isMenuCodePressed(code))
                pressed = true;
            if (directional && controls->isMenuCodeDown(code))
                held = true;
        }
        if (isMenuKeyPressed(code))
            pressed = true;
        if (directional && isMenuKeyDown(code))
            held = true;

        bool send = pressed;
        if (!held) {
            holdTimers[index] = 0.0f;
            repeatTimers[index] = 0.0f;
        } else {
            holdTimers[index] += dt;
            if (holdTimers[index] >= menuRepeatDelay) {
                repeatTimers[index] += dt;
                if (repeatTimers[index] >= menuRepeatInterval) {
                    repeatTimers[index] = std::clamp(repeatTimers[index] - menuRepeatInterval, 0.0f, menuRepeatInterval);
                    send = true;
                }
            }
        }
        // The key's taps went above: a press of another input in the same frame is the same one.
        if (!send || tapped[index] || crossingDirectionHeld(code))
            continue;
        sendMenuKey(code);
    }
}

// Diagonals do not move the focus: a horizontal step waits while a vertical direction is
// held, and the other way round. A key tapped and let go within the frame is not held.
bool InputManager::crossingDirectionHeld(int code) {
    if (code == MenuCode::Left || code == MenuCode::Right)
        return isMenuDirectionHeld(MenuCode::Up) || isMenuDirectionHeld(MenuCode::Down);
    if (code == MenuCode::Down || code == MenuCode::Up)
        return isMenuDirectionHeld(MenuCode::Left) || isMenuDirectionHeld(MenuCode::Right);
    return false;
}

void InputManager::sendMenuKey(int code) {
    const auto& getFocus = playerHooks().screens.getTopScreenFocus;
    irr::gui::IGUIElement* focus = getFocus ? getFocus() : nullptr;
    if (!focus)
        return;
    irr::SEvent event;
    std::memset(static_cast<void*>(&event), 0, sizeof(event));
    event.EventType = irr::EET_KEY_INPUT_EVENT;
    // The menu codes lie beyond the engine's key enumeration: the field is written (and
    // read by the GUI) as the bytes of a plain number.
    const irr::s32 keyCode = code;
    static_assert(sizeof(event.KeyInput.Key) == sizeof(keyCode));
    std::memcpy(&event.KeyInput.Key, &keyCode, sizeof(keyCode));
    event.KeyInput.PressedDown = true;
    focus->OnEvent(event);
}

void InputManager::endFrame() {
    if (mouse)
        mouse->endFrame();
    if (keyboard)
        keyboard->endFrame();
    if (joystick)
        joystick->endFrame();
    if (multitouch)
        multitouch->endFrame();
    if (touch)
        touch->endFrame();
}

void InputManager::resetInputState() {
    if (keyboard)
        keyboard->reset();
    if (mouse)
        mouse->resetCursor(); // releases the cursor confinement first
    if (gamepad)
        gamepad->update(0.0f);
    if (multitouch)
        multitouch->reset();
    std::fill(holdTimers.begin(), holdTimers.end(), 0.0f);
    std::fill(repeatTimers.begin(), repeatTimers.end(), 0.0f);
}

void InputManager::updateDeviceOverlays() {
    for (InputDevice* entry : InputDevice::deviceList())
        if (entry)
            entry->updateOverlay();
}

// --- the fixed menu inputs -------------------------------------------------------------------

bool InputManager::keyPressed(int key) const { return keyboard && keyboard->keyState(key) == InputState::Pressed; }

bool InputManager::keyDown(int key) const { return keyboard && keyboard->keyState(key) != InputState::Up; }

namespace {

ButtonMapping joystickMapping(InputDevice* joystick, int button) {
    ButtonMapping mapping;
    mapping.device = joystick;
    mapping.instance = 0;
    mapping.buttonIndex = button;
    return mapping;
}

bool signMatches(float value, int sign) { return sign == 0 || (sign < 0 ? value < 0.0f : value > 0.0f); }

} // namespace

bool InputManager::joystickButtonPressed(int button, int sign) {
    if (!joystick || joystickIgnoreInput)
        return false;
    const ButtonMapping mapping = joystickMapping(joystick.get(), button);
    return joystick->wasPressed(mapping) && signMatches(joystick->getValue(mapping), sign);
}

bool InputManager::joystickButtonDown(int button, int sign) {
    if (!joystick || joystickIgnoreInput)
        return false;
    const float value = joystick->getValue(joystickMapping(joystick.get(), button));
    return value != 0.0f && signMatches(value, sign);
}

namespace {

// The fixed inputs of each direction: two keys, a D-pad button, the left stick's axis and
// side, and the joystick's button and axis with its side.
struct FixedDirection {
    irr::EKEY_CODE key1, key2;
    int dpad;
    int stickAxis, stickSign;
    int joystickButton, joystickAxis, joystickSign;
};

const FixedDirection* fixedDirection(int code) {
    static const FixedDirection directions[4] = {
        {irr::KEY_LEFT, irr::KEY_KEY_A, GamepadDevice::DpadLeft, GamepadDevice::StickLX, -1, 52, 44, -1},
        {irr::KEY_RIGHT, irr::KEY_KEY_D, GamepadDevice::DpadRight, GamepadDevice::StickLX, 1, 53, 44, 1},
        {irr::KEY_DOWN, irr::KEY_KEY_S, GamepadDevice::DpadDown, GamepadDevice::StickLY, -1, 51, 45, 1},
        {irr::KEY_UP, irr::KEY_KEY_W, GamepadDevice::DpadUp, GamepadDevice::StickLY, 1, 50, 45, -1},
    };
    const int index = code - MenuCode::first;
    return index >= 0 && index < 4 ? &directions[index] : nullptr;
}

} // namespace

int InputManager::menuKeyTaps(int code) const {
    const FixedDirection* direction = fixedDirection(code);
    if (!keyboard || !direction)
        return 0;
    return keyboard->keyTaps(direction->key1) + keyboard->keyTaps(direction->key2);
}

int InputManager::fixedMenuCode(int key) {
    for (int code = MenuCode::Left; code <= MenuCode::Up; ++code) {
        const FixedDirection* direction = fixedDirection(code);
        if (key == direction->key1 || key == direction->key2)
            return code;
    }
    if (key == irr::KEY_SPACE || key == irr::KEY_RETURN)
        return MenuCode::Confirm;
    if (key == irr::KEY_ESCAPE || key == irr::KEY_BACK)
        return MenuCode::Back;
    return 0;
}

bool InputManager::isMenuKeyPressed(int code) {
    if (inputQueries::isStoreOverlayActive())
        return false;
    if (const FixedDirection* direction = fixedDirection(code)) {
        return keyPressed(direction->key1) || keyPressed(direction->key2) ||
               (gamepad && (gamepad->wasButtonPressed(0, direction->dpad) ||
                            gamepad->getAxisDirectionPressed(0, direction->stickAxis) == direction->stickSign)) ||
               joystickButtonPressed(direction->joystickButton, 0) ||
               joystickButtonPressed(direction->joystickAxis, direction->joystickSign);
    }
    bool pressed = false;
    if (code == MenuCode::Confirm) {
        pressed = keyPressed(irr::KEY_SPACE) || keyPressed(irr::KEY_RETURN);
        if (inputQueries::isSimulationActive()) {
            // Every entry is asked: the one that reports becomes its last-used device.
            for (auto& controlsOfPlayer : players)
                for (auto& controls : controlsOfPlayer)
                    pressed |= controls->wasActionPressed(GameAction::MenuConfirm);
        }
    } else if (code == MenuCode::Back) {
        pressed = keyPressed(irr::KEY_ESCAPE) || keyPressed(irr::KEY_BACK) ||
                  (mouse && mouse->systemMouse().right == InputState::Pressed);
        for (auto& controlsOfPlayer : players)
            for (auto& controls : controlsOfPlayer)
                pressed |= controls->isMenuBackPressed();
    }
    return pressed;
}

bool InputManager::isMenuKeyDown(int code) { return fixedDirectionDown(code, true); }

bool InputManager::isMenuDirectionHeld(int code) { return fixedDirectionDown(code, false); }

bool InputManager::fixedDirectionDown(int code, bool letGoCounts) {
    if (inputQueries::isStoreOverlayActive())
        return false;
    const FixedDirection* direction = fixedDirection(code);
    if (!direction)
        return false;
    const auto keyIsDown = [&](int key) { return letGoCounts ? keyDown(key) : keyboard && keyboard->keyHeld(key); };
    return keyIsDown(direction->key1) || keyIsDown(direction->key2) ||
           (gamepad && (gamepad->isButtonDown(0, direction->dpad) ||
                        gamepad->getAxisDirectionDown(0, direction->stickAxis) == direction->stickSign)) ||
           joystickButtonDown(direction->joystickButton, 0) ||
           joystickButtonDown(direction->joystickAxis, direction->joystickSign);
}

// --- player controls -----------------------------------------------------------------------------

PlayerControls* InputManager::getActiveControls() {
    if (!players.empty() && !players[0].empty())
        return players[0][0].get();
    return defaultControls.get();
}

PlayerControls* InputManager::getPlayerControls(int player, int set) {
    if (player < 0 || player >= int(players.size()) || set < 0 || set >= int(players[player].size()))
        return defaultControls.get();
    return players[player][set].get();
}

void InputManager::addPlayerControls(PlayerControls* controls, int player) {
    if (!controls || player < 0)
        return;
    if (int(players.size()) <= player)
        players.resize(player + 1);
    players[player].emplace_back(controls);
}

int InputManager::getPlayerControlsCount(int player) const {
    if (player < 0 || player >= int(players.size()))
        return 1; // the default controls
    return int(players[player].size());
}

int InputManager::getTotalPlayerControlsCount() const {
    int total = 0;
    for (const auto& controlsOfPlayer : players)
        total += int(controlsOfPlayer.size());
    return total;
}

int InputManager::findPlayerControlsUsingDevice(int player, int role) const {
    if (role < 0 || role > 3 || player < 0 || player >= int(players.size()))
        return -1;
    for (int index = 0; index < int(players[player].size()); ++index)
        if (players[player][index]->usesRole(role))
            return index;
    return -1;
}

PlayerControls* InputManager::getFirstPlayerControlsUsingDevice(int role) {
    const int index = findPlayerControlsUsingDevice(0, role);
    return index < 0 ? nullptr : players[0][index].get();
}

void InputManager::updateKeyboardMouseInUse() {
    if (!mouse)
        return;
    bool inUse = false;
    const int count = players.empty() ? 0 : int(players[0].size());
    if (count == 0) {
        inUse = defaultControls && (defaultControls->lastDevice == mouse.get() ||
                                    defaultControls->lastDevice == keyboard.get());
    } else {
        for (const auto& controls : players[0])
            if (controls->lastDevice == mouse.get() || controls->lastDevice == keyboard.get())
                inUse = true;
    }
    mouse->inUse = inUse;
}

// --- vibration -------------------------------------------------------------------------------------

void InputManager::addVibration(float left, float right) {
    if (players.empty() || !vibration)
        return;
    for (const auto& controls : players[0]) {
        const bool padConnected = gamepad && gamepad->isConnected(controls->gamepadInstance);
        const bool joystickConnected =
            !joystickIgnoreInput && joystick && joystick->isConnected(controls->secondaryInstance);
        if (padConnected || joystickConnected)
            vibration->addAmounts(controls->gamepadInstance, left, right);
    }
}

void InputManager::addRumble(float left, float right, float duration, float delay) {
    if (players.empty())
        return;
    for (const auto& controls : players[0])
        controls->addRumble(left, right, duration, delay);
}
