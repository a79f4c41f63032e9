#pragma once

#include "platform/Gamepad.h"

#include <vector>

namespace platform {

// A gamepad service driven by a script instead of hardware, for the tests: they plug pads
// in and out, set each pad's state, and read back what the game sent to the motors.
class FakePadBackend final : public PadBackend {
public:
    struct VibrationCall {
        int pad;
        std::uint16_t left;
        std::uint16_t right;
    };

    const char* name() const override { return "scripted"; }
    bool refresh() override;
    bool getState(int pad, PadState& state) override;
    bool setVibration(int pad, std::uint16_t left, std::uint16_t right) override;

    // Plugs a pad in (or out); the next refresh reports the change.
    void setConnected(int pad, bool connected);
    // The state the pad answers from now on; its packet number moves on.
    void setState(int pad, const PadState& state);
    // Shorthands on the current state.
    void setButtons(int pad, std::uint16_t buttons);
    void setSticks(int pad, std::int16_t lx, std::int16_t ly, std::int16_t rx, std::int16_t ry);
    void setTriggers(int pad, std::uint8_t left, std::uint8_t right);

    // Every setVibration call, in order, also those for pads that are not plugged in.
    const std::vector<VibrationCall>& vibrationCalls() const { return calls; }
    void clearVibrationCalls() { calls.clear(); }
    // The speeds last sent to a plugged-in pad.
    std::uint16_t leftMotor(int pad) const;
    std::uint16_t rightMotor(int pad) const;
    // How often getState was asked for the pad.
    int stateQueries(int pad) const;

private:
    struct Pad {
        bool connected = false;
        PadState state;
        std::uint16_t left = 0;
        std::uint16_t right = 0;
        int queries = 0;
    };
    Pad* find(int pad);
    const Pad* find(int pad) const;

    Pad pads[maxGamepads];
    std::vector<VibrationCall> calls;
    bool changed = false;
};

} // namespace platform
