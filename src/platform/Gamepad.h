#pragma once

#include <cstdint>
#include <memory>

// The game's gamepad service: up to four pads, each read as one state record (a packet
// number that changes with every new state, sixteen button bits, two triggers 0..255 and
// four signed 16-bit stick axes whose Y axes point up) and driven by two rumble motors.
// The gamepad device of the player code polls it; dead zones, half axes, rumble effects and
// the vibration switch are the game's own logic on top of it.
//
// Backends: SDL2's game controllers when the build has SDL2 (they start without a display
// and simply report no pad when none is plugged in), a null backend that never sees a pad,
// and a scripted fake for the tests.
namespace platform {

constexpr int maxGamepads = 4;

// Button bits of the state record.
namespace padButton {
constexpr std::uint16_t dpadUp = 0x0001;
constexpr std::uint16_t dpadDown = 0x0002;
constexpr std::uint16_t dpadLeft = 0x0004;
constexpr std::uint16_t dpadRight = 0x0008;
constexpr std::uint16_t start = 0x0010;
constexpr std::uint16_t back = 0x0020;
constexpr std::uint16_t leftThumb = 0x0040;
constexpr std::uint16_t rightThumb = 0x0080;
constexpr std::uint16_t leftShoulder = 0x0100;
constexpr std::uint16_t rightShoulder = 0x0200;
constexpr std::uint16_t a = 0x1000;
constexpr std::uint16_t b = 0x2000;
constexpr std::uint16_t x = 0x4000;
constexpr std::uint16_t y = 0x8000;
} // namespace padButton

struct PadState {
    std::uint32_t packet = 0;
    std::uint16_t buttons = 0;
    std::uint8_t leftTrigger = 0;
    std::uint8_t rightTrigger = 0;
    std::int16_t thumbLX = 0;
    std::int16_t thumbLY = 0;
    std::int16_t thumbRX = 0;
    std::int16_t thumbRY = 0;
};

class PadBackend {
public:
    virtual ~PadBackend() = default;

    virtual const char* name() const = 0;
    // Called once per input update before the pads are read: takes in what the system
    // reported since the last call. Answers true when a pad was plugged in or pulled out.
    virtual bool refresh() = 0;
    // The pad's current state; false (state untouched) when no pad sits at that index.
    virtual bool getState(int pad, PadState& state) = 0;
    // Sets the speeds of the left (low-frequency) and right (high-frequency) motors;
    // false when no pad sits at that index.
    virtual bool setVibration(int pad, std::uint16_t left, std::uint16_t right) = 0;
};

// The backend in use; made on first use (SDL2 when built in and it starts, else null).
PadBackend& padBackend();
// Replaces the backend (tests install a fake); null goes back to the default on next use.
void setPadBackend(std::unique_ptr<PadBackend> backend);

// The backends this build offers.
std::unique_ptr<PadBackend> createNullPadBackend();
// Null when the build has no SDL2 or SDL2's game-controller support does not start.
std::unique_ptr<PadBackend> createSdlPadBackend();

} // namespace platform
