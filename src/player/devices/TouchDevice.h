#pragma once

#include "player/InputDevice.h"
#include "player/InputEvent.h"

// One touch point of the touch device.
struct TouchPoint {
    irr::u32 state = InputState::Up;
    irr::f32 heldTime = 0.0f; // seconds since it went down
};

// Stand-in for the touch device, to be completed with the touch buttons: it stands in the
// device list under its name and with its answers to the device interface, and reports no
// touch yet. The input manager injects touch events and already switches touch mode on them.
class TouchDevice : public InputDevice {
public:
    float getValue(const ButtonMapping&) override { return 0.0f; }
    bool wasPressed(const ButtonMapping&) override { return false; }
    int getButtonIndex(const std::string&) const override { return -1; }
    std::wstring getName() const override { return L"Touch"; }
    void registerButtonNames() override {}
    int getButtonCount() const override { return 0; }
    int getDeviceCount() const override { return 1; }
    bool hasMultipleInstances() const override { return false; }
    bool takesPartInDetection() const override { return false; }

    bool onEvent(const InputEvent&) { return false; }
    void endFrame() {}

    // The queries of the player controls in touch mode.
    bool isPauseTouch() const { return false; }
    bool isSwitchTouch() const { return false; }
    // A touch that began within the left fraction of the screen, or null.
    const TouchPoint* findLeftTouch(irr::f32) const { return nullptr; }
    const TouchPoint* primaryTouch() const { return nullptr; }
    int countPressedTouches() const { return 0; }
};
