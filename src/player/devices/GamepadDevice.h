#pragma once

#include "platform/Gamepad.h"
#include "player/InputDevice.h"

#include <functional>

class VibrationController;

// Up to four gamepads through the platform's gamepad service: polled once per input update,
// the previous state kept for pressed-this-frame tests, 28 named inputs (buttons, triggers,
// stick half-axes and full axes) with dead zones, and the two rumble motors of each pad
// driven from the vibration controller's levels.
class GamepadDevice : public InputDevice {
public:
    // Input numbers; 0-13 are the buttons in the order of the state's button bits.
    enum : int {
        DpadUp = 0,
        DpadDown,
        DpadLeft,
        DpadRight,
        Start,
        Back,
        LeftThumb,
        RightThumb,
        LeftShoulder,
        RightShoulder,
        A,
        B,
        X,
        Y,
        LeftTrigger = 14,
        RightTrigger,
        StickLXPositive = 16,
        StickLXNegative,
        StickLYPositive,
        StickLYNegative,
        StickRXPositive,
        StickRXNegative,
        StickRYPositive,
        StickRYNegative,
        StickLX = 24,
        StickLY,
        StickRX,
        StickRY,
        InputCount = 28,
    };
    static constexpr float stickDeadZone = 0.24f;
    static constexpr float enumerationInterval = 5.0f;

    struct Pad {
        platform::PadState current;
        platform::PadState previous;
        std::uint16_t leftSpeed = 0; // last speeds sent
        std::uint16_t rightSpeed = 0;
        bool connected = false;
    };

    // Zeroes the pad records and looks for pads at once.
    GamepadDevice();
    // Stops the motors of every connected pad.
    ~GamepadDevice() override;

    float getValue(const ButtonMapping& mapping) override;
    bool wasPressed(const ButtonMapping& mapping) override;
    int getButtonIndex(const std::string& name) const override;
    std::wstring getName() const override { return L"Gamepad"; }
    std::wstring getDisplayName() const override;
    std::wstring getAlternateDisplayName() const override;
    void registerButtonNames() override;
    int getButtonCount() const override { return InputCount; }
    int getDeviceCount() const override { return platform::maxGamepads; }
    bool isConnected(int pad) const override;
    bool hasMultipleInstances() const override { return true; }
    bool usesModeSwitching() const override { return false; }

    bool isButtonDown(int pad, int button) const;
    bool wasButtonPressed(int pad, int button) const;
    float getAxisValue(int input, int pad, bool deadZoneOn) const;
    // The sign (1, -1, 0) of a stick input beyond its dead zone now, and the same only in the
    // frame in which it left the dead zone (inputs 16-27; half axes count their own side).
    int getAxisDirectionDown(int pad, int input) const;
    int getAxisDirectionPressed(int pad, int input) const;
    // Marks which pads answer; returns how many do.
    int enumerate();
    // Once per input update: re-enumerates every 5 s, polls the connected pads and sends
    // the motor speeds.
    void update(float dt);

    // The source of the motor levels (the input manager's vibration controller).
    void setVibrationController(VibrationController* controller) { vibration = controller; }
    // Called when the platform reports a pad plugged in or pulled out.
    std::function<void()> onDeviceChange;

    const Pad* pad(int index) const;

private:
    // A stick axis scaled past the per-axis dead zone, for the direction tests.
    static float directionValue(int input, const platform::PadState& state);

    Pad pads[platform::maxGamepads];
    float enumerationCountdown = enumerationInterval;
    VibrationController* vibration = nullptr;
};

// The radial dead zone of a stick: raw axes to -1..1, nothing within d of the centre, and the
// rest stretched to start from 0 at the dead zone's edge.
void applyRadialDeadZone(float deadZone, std::int16_t rawX, std::int16_t rawY, float& x, float& y);
