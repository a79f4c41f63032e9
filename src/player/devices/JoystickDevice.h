#pragma once

#include "player/InputDevice.h"
#include "player/InputEvent.h"

// Stand-in for the joystick device, to be completed with joystick support: it stands in the
// device list under its name and with its answers to the device interface, finds no
// joystick yet, and keeps the rescan timer that a device-change message starts.
class JoystickDevice : public InputDevice {
public:
    float getValue(const ButtonMapping&) override { return 0.0f; }
    bool wasPressed(const ButtonMapping&) override { return false; }
    std::wstring getName() const override { return L"Joystick"; }
    void registerButtonNames() override {}
    int getButtonCount() const override { return 0; }
    int getDeviceCount() const override { return 0; }
    bool isConnected(int) const override { return false; }
    bool hasMultipleInstances() const override { return true; }
    bool usesModeSwitching() const override { return false; }

    // A device-change message starts the rescan timer.
    bool onEvent(const InputEvent& event) {
        if (event.kind == InputEventKind::SystemMessage && event.message == deviceChangeMessage)
            rescanTimer = 0.0f;
        return false;
    }
    void setUpdatedThisFrame() { updatedThisFrame = true; }
    void endFrame() { updatedThisFrame = false; }
    void rescan() {}

    // Seconds since a device change; negative while idle.
    irr::f32 rescanTimer = -1.0f;
    bool updatedThisFrame = false;
};
