#pragma once

#include "player/InputDevice.h"
#include "player/InputEvent.h"
#include "player/devices/JoystickSource.h"

#include <memory>
#include <vector>

namespace irr {
class IrrlichtDevice;
}

// Joysticks other than the pads the gamepad device reads: 32 buttons, six axes read whole
// and in halves, and the four directions of the hat. Axes that rest at their minimum
// (throttles, triggers) are calibrated from the first event after activation; the joysticks
// are looked for again one second after a device-change message.
class JoystickDevice : public InputDevice {
public:
    enum : int {
        FirstAxisHalf = 32, // X+, X-, Y+, Y-, Z+, Z-, R+, R-, U+, U-, V+, V-
        FirstWholeAxis = 44, // X, Y, Z, R, U, V
        HatUp = 50,
        HatDown,
        HatLeft,
        HatRight,
        InputCount = 54,
    };
    static constexpr int minimumAxes = 4;

    struct State {
        JoystickData current;
        JoystickData previous;
        bool restsAtMinimum[JoystickData::axisCount] = {};
        irr::s16 restValue[JoystickData::axisCount] = {};
        bool calibratePending = false;
    };

    // Activates the joysticks at once. Without a source the device finds none.
    JoystickDevice(irr::IrrlichtDevice* engineDevice, std::unique_ptr<JoystickSource> source);

    float getValue(const ButtonMapping& mapping) override;
    bool wasPressed(const ButtonMapping& mapping) override;
    std::wstring getName() const override { return L"Joystick"; }
    std::wstring getDisplayName() const override;
    std::wstring getAlternateDisplayName() const override;
    void registerButtonNames() override;
    int getButtonCount() const override { return InputCount; }
    int getDeviceCount() const override;
    bool isConnected(int instance) const override;
    bool hasMultipleInstances() const override { return true; }
    bool usesModeSwitching() const override { return false; }

    bool onEvent(const InputEvent& event);
    // The joystick data of one event (engine events and the source's alike).
    void takeJoystickData(const JoystickData& data);
    // Reads the source's joysticks; true when the set plugged in changed.
    bool pollSource();
    void setUpdatedThisFrame() { updatedThisFrame = 1; }
    void endFrame();
    void rescan();

    const std::vector<JoystickInfo>& infos() const { return joystickInfos; }
    const std::vector<State>& states() const { return joystickStates; }

    // Seconds since a device change; negative while idle.
    irr::f32 rescanTimer = -1.0f;
    irr::u32 updatedThisFrame = 0;

private:
    // The first usable joystick at the instance index or later; null when none.
    const State* selectJoystick(int instance) const;
    bool isUsable(std::size_t index) const;

    irr::IrrlichtDevice* device;
    std::unique_ptr<JoystickSource> source;
    std::vector<State> joystickStates;
    std::vector<JoystickInfo> joystickInfos;
    std::vector<JoystickData> polled;
};
