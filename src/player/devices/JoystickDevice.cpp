#include "player/devices/JoystickDevice.h"

#include <IEventReceiver.h>
#include <IrrlichtDevice.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr float joystickDeadZoneRaw = 7864.0796f; // 0.24 of 32767
constexpr float joystickUnit = 3.0518044e-05f;    // 1/32767
constexpr float joystickDeadZone = 0.24f;
constexpr float joystickDeadZoneScale = 1.3157895f; // 1/(1 - 0.24)

const char* const joystickAxisHalfNames[] = {
    "JOYSTICK_AXIS_X_POS", "JOYSTICK_AXIS_X_NEG", "JOYSTICK_AXIS_Y_POS", "JOYSTICK_AXIS_Y_NEG",
    "JOYSTICK_AXIS_Z_POS", "JOYSTICK_AXIS_Z_NEG", "JOYSTICK_AXIS_R_POS", "JOYSTICK_AXIS_R_NEG",
    "JOYSTICK_AXIS_U_POS", "JOYSTICK_AXIS_U_NEG", "JOYSTICK_AXIS_V_POS", "JOYSTICK_AXIS_V_NEG"};
const char* const joystickWholeAxisNames[] = {"JOYSTICK_AXIS_X", "JOYSTICK_AXIS_Y", "JOYSTICK_AXIS_Z",
                                              "JOYSTICK_AXIS_R", "JOYSTICK_AXIS_U", "JOYSTICK_AXIS_V"};
const char* const joystickHatNames[] = {"JOYSTICK_DPAD_UP", "JOYSTICK_DPAD_DOWN", "JOYSTICK_DPAD_LEFT",
                                        "JOYSTICK_DPAD_RIGHT"};
// The three hat angles each direction answers to.
const irr::u16 joystickHatAngles[4][3] = {
    {0, 4500, 31500}, {18000, 22500, 13500}, {27000, 31500, 22500}, {9000, 4500, 13500}};

bool hatHolds(const JoystickData& data, int direction) {
    for (irr::u16 angle : joystickHatAngles[direction])
        if (data.hat == angle)
            return true;
    return false;
}

// Steps 2 and 3 of the axis value: calibration and the half filter, in raw units.
int rawAxisValue(const JoystickDevice::State& state, const JoystickData& data, int index) {
    const int axis = index >= JoystickDevice::FirstWholeAxis ? index - JoystickDevice::FirstWholeAxis
                                                             : (index - JoystickDevice::FirstAxisHalf) / 2;
    int value = data.axes[axis];
    if (state.restsAtMinimum[axis])
        value = (value - state.restValue[axis]) / 2;
    if (index < JoystickDevice::FirstWholeAxis) {
        const bool positiveHalf = (index - JoystickDevice::FirstAxisHalf) % 2 == 0;
        if (positiveHalf)
            value = value >= 0 ? value : 0;
        else
            value = value <= 0 ? std::abs(value) : 0;
    }
    return value;
}

float deadZoned(int raw) {
    const float value = float(raw);
    if (std::abs(value) < joystickDeadZoneRaw)
        return 0.0f;
    const float n = value * joystickUnit;
    return n >= 0.0f ? (n - joystickDeadZone) * joystickDeadZoneScale
                     : -((-n - joystickDeadZone) * joystickDeadZoneScale);
}

} // namespace

JoystickDevice::JoystickDevice(irr::IrrlichtDevice* engineDevice, std::unique_ptr<JoystickSource> joystickSource)
    : device(engineDevice), source(std::move(joystickSource)) {
    rescanTimer = -1.0f;
    rescan();
}

void JoystickDevice::rescan() {
    joystickInfos.clear();
    joystickStates.clear();
    if (source)
        source->activate(joystickInfos);
    for (const JoystickInfo& info : joystickInfos) {
        const std::string line = "Joystick/Gamepad found: " + info.name;
        if (device && device->getLogger())
            device->getLogger()->log(line.c_str(), irr::ELL_INFORMATION);
        else
            std::printf("%s\n", line.c_str());
        joystickStates.emplace_back();
    }
    for (State& state : joystickStates)
        state.calibratePending = true;
}

bool JoystickDevice::isUsable(std::size_t index) const {
    return index < joystickInfos.size() && joystickInfos[index].axes >= minimumAxes;
}

const JoystickDevice::State* JoystickDevice::selectJoystick(int instance) const {
    for (std::size_t index = std::size_t(std::max(instance, 0)); index < joystickStates.size(); ++index)
        if (isUsable(index))
            return &joystickStates[index];
    return nullptr;
}

int JoystickDevice::getDeviceCount() const {
    int count = 0;
    for (const JoystickInfo& info : joystickInfos)
        if (info.axes > minimumAxes)
            ++count;
    return count;
}

bool JoystickDevice::isConnected(int instance) const { return selectJoystick(instance) != nullptr; }

std::wstring JoystickDevice::getDisplayName() const { return localisedName(252); }

std::wstring JoystickDevice::getAlternateDisplayName() const { return localisedName(253); }

void JoystickDevice::registerButtonNames() {
    for (int button = 0; button < 32; ++button)
        addButtonName("BUTTON_" + std::to_string(button), button);
    for (int axis = 0; axis < 6; ++axis)
        addButtonName(joystickWholeAxisNames[axis], FirstWholeAxis + axis);
    for (int half = 0; half < 12; ++half)
        addButtonName(joystickAxisHalfNames[half], FirstAxisHalf + half);
    for (int direction = 0; direction < 4; ++direction)
        addButtonName(joystickHatNames[direction], HatUp + direction);
}

float JoystickDevice::getValue(const ButtonMapping& mapping) {
    const State* state = selectJoystick(mapping.instance);
    const int index = mapping.buttonIndex;
    if (!state || index < 0 || index >= InputCount)
        return 0.0f;
    if (index < FirstAxisHalf) {
        if (mapping.modifier != 0)
            return 0.0f;
        return (state->current.buttons >> index) & 1u ? 1.0f : 0.0f;
    }
    if (index >= HatUp)
        return hatHolds(state->current, index - HatUp) ? 1.0f : 0.0f;
    const int raw = rawAxisValue(*state, state->current, index);
    return mapping.normalise ? deadZoned(raw) : float(raw);
}

bool JoystickDevice::wasPressed(const ButtonMapping& mapping) {
    const State* state = selectJoystick(mapping.instance);
    const int index = mapping.buttonIndex;
    if (!state || index < 0 || index >= InputCount)
        return false;
    if (index < FirstAxisHalf) {
        const irr::u32 bit = 1u << index;
        return mapping.modifier == 0 && (state->current.buttons & bit) && !(state->previous.buttons & bit);
    }
    if (index >= HatUp)
        return hatHolds(state->current, index - HatUp) && !hatHolds(state->previous, index - HatUp);
    return deadZoned(rawAxisValue(*state, state->current, index)) != 0.0f &&
           deadZoned(rawAxisValue(*state, state->previous, index)) == 0.0f;
}

bool JoystickDevice::onEvent(const InputEvent& event) {
    if (event.kind == InputEventKind::SystemMessage && event.message == deviceChangeMessage) {
        if (rescanTimer < 0.0f)
            rescanTimer = 0.0f;
    } else if (event.kind == InputEventKind::Joystick && event.engine) {
        const irr::SEvent::SJoystickEvent& joystick = event.engine->JoystickEvent;
        JoystickData data;
        data.buttons = joystick.ButtonStates;
        for (int axis = 0; axis < irr::SEvent::SJoystickEvent::NUMBER_OF_AXES && axis < JoystickData::axisCount; ++axis)
            data.axes[axis] = joystick.Axis[axis];
        data.hat = joystick.POV;
        data.joystick = joystick.Joystick;
        takeJoystickData(data);
    }
    return false;
}

void JoystickDevice::takeJoystickData(const JoystickData& data) {
    const std::size_t index = data.joystick;
    if (!isUsable(index) || index >= joystickStates.size())
        return;
    State& state = joystickStates[index];
    state.current = data;
    if (state.calibratePending) {
        for (int axis = 0; axis < JoystickData::axisCount; ++axis) {
            state.restsAtMinimum[axis] = data.axes[axis] < -32766;
            if (state.restsAtMinimum[axis])
                state.restValue[axis] = data.axes[axis];
        }
        state.calibratePending = false;
    }
}

bool JoystickDevice::pollSource() {
    if (!source)
        return false;
    const bool changed = source->devicesChanged();
    source->poll(polled);
    for (const JoystickData& data : polled)
        takeJoystickData(data);
    return changed;
}

void JoystickDevice::endFrame() {
    updatedThisFrame = 0;
    for (State& state : joystickStates)
        state.previous = state.current;
}
