#pragma once

#include "player/InputDevice.h"

#include <irrTypes.h>

// A hand-tracking controller: each hand's velocity, whether one or each hand is closed, and
// a hand-change gesture that swaps the controlled limb. No hand-tracking service feeds it in
// this program: the hand state keeps its zeros, so it reports no hands.
class LeapDevice : public InputDevice {
public:
    enum : int {
        RightVelX = 0,
        RightVelY,
        RightVelZ,
        LeftVelX,
        LeftVelY,
        LeftVelZ,
        OneHandGrabbing,
        OneHandOpen,
        RightGrabbing,
        RightOpen,
        LeftGrabbing,
        LeftOpen,
        HandChange,
        InputCount = 13,
    };

    float getValue(const ButtonMapping& mapping) override;
    bool wasPressed(const ButtonMapping& mapping) override;
    std::wstring getName() const override { return L"Leap"; }
    std::wstring getDisplayName() const override { return getName(); }
    void registerButtonNames() override;
    int getButtonCount() const override { return InputCount; }
    int getDeviceCount() const override { return 0; }
    bool isConnected(int) const override { return true; }
    bool hasMultipleInstances() const override { return false; }
    bool usesModeSwitching() const override { return true; }
    bool takesPartInDetection() const override { return false; }

    // The hand state a hand-tracking source would write.
    irr::f32 leftVelocity[3] = {};
    irr::f32 rightVelocity[3] = {};
    irr::s32 handCount = 0;
    irr::s32 previousHandCount = 0;
    bool leftGrabbing = false;  // rightGrabbing also serves the single hand
    bool rightGrabbing = false;
    bool leftGrabbingBefore = false;
    bool rightGrabbingBefore = false;
};
