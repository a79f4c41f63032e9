#pragma once

#include "player/InputDevice.h"

// Stand-in for the multitouch gesture device, to be completed with it: it stands in the
// device list under its name and with its answers to the device interface; nothing feeds it.
class MultitouchDevice : public InputDevice {
public:
    explicit MultitouchDevice(bool noSwitchMode) : noSwitchMode(noSwitchMode) {}

    float getValue(const ButtonMapping&) override { return 0.0f; }
    bool wasPressed(const ButtonMapping&) override { return false; }
    std::wstring getName() const override { return L"LMultitouch"; }
    void registerButtonNames() override {}
    int getButtonCount() const override { return 0; }
    int getDeviceCount() const override { return 0; }
    bool hasMultipleInstances() const override { return false; }
    bool usesModeSwitching() const override { return noSwitchMode ? switchesModes : true; }
    bool takesPartInDetection() const override { return false; }

    void reset() {}
    void endFrame() {}

    bool switchesModes = false;

private:
    bool noSwitchMode;
};
