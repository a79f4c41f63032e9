#include "player/devices/GamepadDevice.h"

#include "player/devices/VibrationController.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* inputNames[GamepadDevice::InputCount] = {
    "GAMEPAD_DPAD_UP",       "GAMEPAD_DPAD_DOWN",      "GAMEPAD_DPAD_LEFT",     "GAMEPAD_DPAD_RIGHT",
    "GAMEPAD_START",         "GAMEPAD_BACK",           "GAMEPAD_LEFT_THUMB",    "GAMEPAD_RIGHT_THUMB",
    "GAMEPAD_LEFT_SHOULDER", "GAMEPAD_RIGHT_SHOULDER", "GAMEPAD_A",             "GAMEPAD_B",
    "GAMEPAD_X",             "GAMEPAD_Y",              "GAMEPAD_LEFT_TRIGGER",  "GAMEPAD_RIGHT_TRIGGER",
    "GAMEPAD_STICK_LX_POS",  "GAMEPAD_STICK_LX_NEG",   "GAMEPAD_STICK_LY_POS",  "GAMEPAD_STICK_LY_NEG",
    "GAMEPAD_STICK_RX_POS",  "GAMEPAD_STICK_RX_NEG",   "GAMEPAD_STICK_RY_POS",  "GAMEPAD_STICK_RY_NEG",
    "GAMEPAD_STICK_LX",      "GAMEPAD_STICK_LY",       "GAMEPAD_STICK_RX",      "GAMEPAD_STICK_RY",
};

// The state's button bit of inputs 0-13.
constexpr std::uint16_t buttonBits[14] = {
    platform::padButton::dpadUp,       platform::padButton::dpadDown,      platform::padButton::dpadLeft,
    platform::padButton::dpadRight,    platform::padButton::start,         platform::padButton::back,
    platform::padButton::leftThumb,    platform::padButton::rightThumb,    platform::padButton::leftShoulder,
    platform::padButton::rightShoulder, platform::padButton::a,            platform::padButton::b,
    platform::padButton::x,            platform::padButton::y,
};

// Raw axis units to -1..1 (divided by 32767.5).
constexpr float axisScale = 3.0518044e-05f;
// The per-axis dead zone of the direction tests, in raw units (0.24 of full scale), and the
// factor that stretches the rest back to 0..1.
constexpr float directionDeadZoneRaw = 7864.0796f;
constexpr float directionStretch = 1.3157895f;
// Triggers count as pressed buttons from any value above this.
constexpr float triggerThreshold = 0.1f;

enum class Axis { LX, LY, RX, RY };

// The stick axis an input 16-27 reads, and which side of it a half axis counts (+1, -1;
// 0 for the full axes).
bool stickInput(int input, Axis& axis, int& side) {
    if (input >= GamepadDevice::StickLX && input <= GamepadDevice::StickRY) {
        axis = Axis(input - GamepadDevice::StickLX);
        side = 0;
        return true;
    }
    if (input >= GamepadDevice::StickLXPositive && input <= GamepadDevice::StickRYNegative) {
        const int offset = input - GamepadDevice::StickLXPositive;
        axis = Axis(offset / 2);
        side = offset % 2 == 0 ? 1 : -1;
        return true;
    }
    return false;
}

std::int16_t rawAxis(const platform::PadState& state, Axis axis) {
    switch (axis) {
    case Axis::LX: return state.thumbLX;
    case Axis::LY: return state.thumbLY;
    case Axis::RX: return state.thumbRX;
    case Axis::RY: return state.thumbRY;
    }
    return 0;
}

int sign(float value) { return value > 0.0f ? 1 : (value < 0.0f ? -1 : 0); }

} // namespace

void applyRadialDeadZone(float deadZone, std::int16_t rawX, std::int16_t rawY, float& x, float& y) {
    const float sx = float(rawX) * axisScale;
    const float sy = float(rawY) * axisScale;
    const float magnitude = std::sqrt(sx * sx + sy * sy);
    // A stick at rest has no direction to scale (without a dead zone this would divide by 0).
    if (magnitude < deadZone || magnitude <= 0.0f) {
        x = y = 0.0f;
        return;
    }
    const float scale = (magnitude - deadZone) / (1.0f - deadZone) / magnitude;
    x = sx * scale;
    y = sy * scale;
}

GamepadDevice::GamepadDevice() { enumerate(); }

GamepadDevice::~GamepadDevice() {
    platform::PadBackend& backend = platform::padBackend();
    for (int index = 0; index < platform::maxGamepads; ++index)
        if (pads[index].connected)
            backend.setVibration(index, 0, 0);
}

const GamepadDevice::Pad* GamepadDevice::pad(int index) const {
    return index >= 0 && index < platform::maxGamepads ? &pads[index] : nullptr;
}

std::wstring GamepadDevice::getDisplayName() const { return localisedName(250); }

std::wstring GamepadDevice::getAlternateDisplayName() const { return localisedName(251); }

void GamepadDevice::registerButtonNames() {
    for (int index = 0; index < InputCount; ++index)
        addButtonName(inputNames[index], index);
}

int GamepadDevice::getButtonIndex(const std::string& name) const {
    for (int index = 0; index < InputCount; ++index)
        if (equalsIgnoringCase(inputNames[index], name))
            return index;
    return -1;
}

bool GamepadDevice::isConnected(int index) const {
    const Pad* entry = pad(index);
    return entry && entry->connected;
}

float GamepadDevice::getValue(const ButtonMapping& mapping) {
    const int input = mapping.buttonIndex;
    if (input >= StickLXPositive)
        return getAxisValue(input, mapping.instance, true);
    if (input >= 0 && mapping.instance >= 0)
        return isButtonDown(mapping.instance, input) ? 1.0f : 0.0f;
    return 0.0f;
}

bool GamepadDevice::wasPressed(const ButtonMapping& mapping) {
    return mapping.instance >= 0 && wasButtonPressed(mapping.instance, mapping.buttonIndex);
}

bool GamepadDevice::isButtonDown(int index, int button) const {
    const Pad* entry = pad(index);
    if (!entry)
        return false;
    if (button >= 0 && button < LeftTrigger)
        return (entry->current.buttons & buttonBits[button]) != 0;
    if (button == LeftTrigger)
        return entry->current.leftTrigger > triggerThreshold;
    if (button == RightTrigger)
        return entry->current.rightTrigger > triggerThreshold;
    return false;
}

bool GamepadDevice::wasButtonPressed(int index, int button) const {
    const Pad* entry = pad(index);
    if (!entry)
        return false;
    if (button >= 0 && button < LeftTrigger)
        return (entry->current.buttons & buttonBits[button]) && !(entry->previous.buttons & buttonBits[button]);
    if (button == LeftTrigger)
        return entry->previous.leftTrigger < triggerThreshold && entry->current.leftTrigger > triggerThreshold;
    if (button == RightTrigger)
        return entry->previous.rightTrigger < triggerThreshold && entry->current.rightTrigger > triggerThreshold;
    if (button >= StickLXPositive && button <= StickRYNegative)
        return getAxisDirectionPressed(index, button) != 0;
    return false;
}

float GamepadDevice::getAxisValue(int input, int index, bool deadZoneOn) const {
    const Pad* entry = pad(index);
    Axis axis;
    int side;
    if (!entry || !stickInput(input, axis, side))
        return 0.0f;
    const float deadZone = deadZoneOn ? stickDeadZone : 0.0f;
    const platform::PadState& state = entry->current;
    float x = 0.0f;
    float y = 0.0f;
    if (axis == Axis::LX || axis == Axis::LY)
        applyRadialDeadZone(deadZone, state.thumbLX, state.thumbLY, x, y);
    else
        applyRadialDeadZone(deadZone, state.thumbRX, state.thumbRY, x, y);
    const float value = (axis == Axis::LX || axis == Axis::RX) ? x : y;
    if (side > 0)
        return std::clamp(value, 0.0f, 1.0f);
    if (side < 0)
        return -std::clamp(value, -1.0f, 0.0f);
    return value;
}

float GamepadDevice::directionValue(int input, const platform::PadState& state) {
    Axis axis;
    int side;
    if (!stickInput(input, axis, side))
        return 0.0f;
    const float raw = float(rawAxis(state, axis));
    if ((side > 0 && raw < 0.0f) || (side < 0 && raw > 0.0f))
        return 0.0f;
    const float magnitude = std::fabs(raw);
    if (magnitude < directionDeadZoneRaw)
        return 0.0f;
    const float scaled = (magnitude * axisScale - stickDeadZone) * directionStretch;
    return raw < 0.0f ? -scaled : scaled;
}

int GamepadDevice::getAxisDirectionDown(int index, int input) const {
    const Pad* entry = pad(index);
    return entry ? sign(directionValue(input, entry->current)) : 0;
}

int GamepadDevice::getAxisDirectionPressed(int index, int input) const {
    const Pad* entry = pad(index);
    if (!entry || directionValue(input, entry->previous) != 0.0f)
        return 0;
    return sign(directionValue(input, entry->current));
}

int GamepadDevice::enumerate() {
    platform::PadBackend& backend = platform::padBackend();
    int connected = 0;
    for (int index = 0; index < platform::maxGamepads; ++index) {
        platform::PadState discarded;
        pads[index].connected = backend.getState(index, discarded);
        if (pads[index].connected)
            ++connected;
    }
    return connected;
}

void GamepadDevice::update(float dt) {
    platform::PadBackend& backend = platform::padBackend();
    if (backend.refresh() && onDeviceChange)
        onDeviceChange();
    enumerationCountdown -= dt;
    if (enumerationCountdown < 0.0f) {
        enumerate();
        enumerationCountdown = enumerationInterval;
    }
    for (int index = 0; index < platform::maxGamepads; ++index) {
        Pad& entry = pads[index];
        if (!entry.connected)
            continue;
        entry.previous = entry.current;
        // A pad that fails a poll is not polled again until the next enumeration.
        entry.connected = backend.getState(index, entry.current);
    }
    for (int index = 0; index < platform::maxGamepads; ++index) {
        Pad& entry = pads[index];
        if (!entry.connected)
            continue;
        entry.leftSpeed = motorSpeed(vibration ? vibration->leftLevel(index) : 0.0f);
        entry.rightSpeed = motorSpeed(vibration ? vibration->rightLevel(index) : 0.0f);
        backend.setVibration(index, entry.leftSpeed, entry.rightSpeed);
    }
}
