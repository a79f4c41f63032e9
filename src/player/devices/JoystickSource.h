#pragma once

#include <irrTypes.h>
#include <memory>
#include <string>
#include <vector>

// What one joystick reports: its button bits (bit n = button n), eight axes, the hat angle
// in hundredths of a degree (65535 centred) and its number.
struct JoystickData {
    static constexpr int axisCount = 8;
    static constexpr irr::u16 hatCentred = 65535;
    irr::u32 buttons = 0;
    irr::s16 axes[axisCount] = {};
    irr::u16 hat = hatCentred;
    irr::u8 joystick = 0;
};

// One joystick found by the activation.
struct JoystickInfo {
    irr::u8 joystick = 0;
    std::string name;
    irr::u32 axes = 0;
    irr::u32 buttons = 0;
    bool hasHat = false;
};

// Where joysticks come from: SDL2's joystick interface when the build has it (pads SDL2
// recognises as game controllers stay with the gamepad device), nothing otherwise; tests
// script their own.
class JoystickSource {
public:
    virtual ~JoystickSource() = default;
    // Closes what was open and opens every joystick there is, numbered from 0 in order.
    virtual void activate(std::vector<JoystickInfo>& infos) = 0;
    // The current state of every activated joystick still plugged in.
    virtual void poll(std::vector<JoystickData>& states) = 0;
    // True once when the set of joysticks plugged in changed since the last call.
    virtual bool devicesChanged() = 0;
};

// SDL2's joysticks, or null when the build has no SDL2 or its joystick support does not start.
std::unique_ptr<JoystickSource> createSdlJoystickSource();

// The hat angle of SDL2's hat bits (up 1, right 2, down 4, left 8).
irr::u16 hatAngleFromBits(irr::u8 bits);
