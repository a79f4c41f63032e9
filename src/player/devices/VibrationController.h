#pragma once

#include "platform/Gamepad.h"

#include <vector>

class GamepadDevice;

// Turns the vibration that gameplay asks for into rumble-motor levels per pad, once a
// frame: one-frame amounts gathered during a frame act in the next update, timed rumble
// effects add their share while they run, and every level is scaled by 0.7 (0 while
// vibration is switched off in the settings).
class VibrationController {
public:
    static constexpr float motorScale = 0.7f;

    struct RumbleEffect {
        int pad = 0;
        float startLeft = 0.0f;
        float startRight = 0.0f;
        float endLeft = 0.0f;
        float endRight = 0.0f;
        float duration = 0.0f; // seconds
        float elapsed = 0.0f;
        float delay = 0.0f;
    };

    explicit VibrationController(const GamepadDevice* gamepads = nullptr);
    ~VibrationController();

    bool enabled = true;

    // Zeroes every amount and applies the motor rule once.
    void initVibration();
    void updateVibration(float dt);
    // Adds to the pad's amounts of the next update.
    void addAmounts(int pad, float left, float right);
    void addEffect(const RumbleEffect& effect);
    void clearRumbleEffects();

    const std::vector<RumbleEffect>& effects() const { return rumbleEffects; }
    // The motor levels (nominally 0-1) the gamepad device sends.
    float leftLevel(int pad) const;
    float rightLevel(int pad) const;

private:
    struct PadVibration {
        float leftLevel = 0.0f;
        float rightLevel = 0.0f;
        float currentLeft = 0.0f;
        float currentRight = 0.0f;
        float nextLeft = 0.0f;
        float nextRight = 0.0f;
    };
    void applyEffects(float dt);
    void applyMotorRule();

    const GamepadDevice* gamepads;
    PadVibration pads[platform::maxGamepads];
    std::vector<RumbleEffect> rumbleEffects;
};

// A motor level as a 16-bit motor speed: the integer part of level x 65535, kept within the
// motor's range.
std::uint16_t motorSpeed(float level);
