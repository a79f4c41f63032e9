#pragma once

#include "player/InputDevice.h"

// Gestures on a multitouch surface. Nothing feeds it in this program: its touch records stay
// empty and its tap timer 0, so no value is ever set and nothing is pressed; its gesture
// names are registered so that mapping files can name them.
class MultitouchDevice : public InputDevice {
public:
    static constexpr int inputCount = 27;
    static constexpr int recordFloats = 18;
    enum : int { Left = 0, Right = 1, Spread = 18, SwipeTopEdge = 21 };

    explicit MultitouchDevice(bool noSwitchMode);

    float getValue(const ButtonMapping& mapping) override;
    bool wasPressed(const ButtonMapping& mapping) override;
    std::wstring getName() const override { return L"LMultitouch"; }
    void registerButtonNames() override;
    int getButtonCount() const override { return inputCount; }
    int getDeviceCount() const override;
    bool hasMultipleInstances() const override { return false; }
    bool usesModeSwitching() const override { return noSwitchMode ? switchesModes : true; }
    bool takesPartInDetection() const override { return false; }

    void reset();
    void endFrame();
    // A record holds a finger unless its position (third and fourth float) is (-1, -1).
    bool holdsFinger(int record) const;

    float values[inputCount] = {};
    bool pressed[inputCount] = {};
    float records[3][recordFloats] = {};
    int activeTouch = -1;
    float idleTime = 2.0f;
    float tapTimer = 0.0f;
    float secondTimer = 0.0f;
    bool switchesModes = false;

private:
    bool noSwitchMode;
};
