#pragma once

#include "player/InputDevice.h"

// Stand-in for the motion-controller device, to be completed with it: it stands in the
// device list under its name and with its answers to the device interface; no controller is
// connected.
class MoveDevice : public InputDevice {
public:
    float getValue(const ButtonMapping&) override { return 0.0f; }
    bool wasPressed(const ButtonMapping&) override { return false; }
    std::wstring getName() const override { return L"Move"; }
    void registerButtonNames() override {}
    int getButtonCount() const override { return 0; }
    int getDeviceCount() const override { return 0; }
    bool hasMultipleInstances() const override { return false; }
    bool usesModeSwitching() const override { return false; }
    bool takesPartInDetection() const override { return false; }
};
