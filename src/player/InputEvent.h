#pragma once

#include <irrTypes.h>

#include <utility>

namespace irr {
struct SEvent;
}

// What the input devices are handed. The engine numbers its event types its own way and
// produces neither touch nor system-message events; the input manager therefore sorts
// every event into this kind (the values are the game's own numbering, they never leave
// the process) and injects touch and system messages itself.
enum class InputEventKind : irr::u32 {
    Mouse = 1,
    Touch = 2,
    Key = 3,
    Joystick = 5,
    LogText = 6,
    SystemMessage = 7,
};

// One touch point as a touch source reports it.
struct TouchData {
    irr::s32 x = 0; // pixels
    irr::s32 y = 0;
    irr::s32 id = 0;
    irr::u32 flags = 0; // touchWentDown, touchWentUp
    irr::u32 tag = 0;
};
constexpr irr::u32 touchWentDown = 2;
constexpr irr::u32 touchWentUp = 4;

// The system message that tells that an input device was plugged in or pulled out.
constexpr irr::u32 deviceChangeMessage = 537;

struct InputEvent {
    InputEventKind kind = InputEventKind::Key;
    // The engine's event for mouse, key, joystick and log-text events; null otherwise.
    const irr::SEvent* engine = nullptr;
    TouchData touch;
    irr::u32 message = 0; // system messages
};

// The per-frame state of a key, mouse button or touch point. Every state but Up counts as
// held; the end of a frame turns Pressed into Down and Released into Up.
//
// A press and release between two frames (a short tap at a low frame rate) still counts as
// one press: the key stays Pressed for that frame, and `releaseDue` (the key's flag kept
// beside its state) makes the end of the frame turn it into Released instead of Down.
namespace InputState {
constexpr irr::u32 Up = 0;
constexpr irr::u32 Down = 1;     // held since an earlier frame
constexpr irr::u32 Pressed = 2;  // went down this frame
constexpr irr::u32 Released = 3; // went up this frame

// A key going down: Down stays Down, anything else (a repeat of Pressed too) is Pressed.
inline void keyGoesDown(irr::u32& state, bool& releaseDue) {
    releaseDue = false;
    state = state == Down ? Down : Pressed;
}
// A mouse button going down: Up or Released becomes Pressed, anything else Down; pressed
// again after its release within the frame, it stays Pressed.
inline void buttonGoesDown(irr::u32& state, bool& releaseDue) {
    if (!std::exchange(releaseDue, false))
        state = (state == Up || state == Released) ? Pressed : Down;
}
// Going up: anything held becomes Released; Up stays Up; a press of this frame keeps its
// press and is released at the frame's end.
inline void goesUp(irr::u32& state, bool& releaseDue) {
    if (state == Pressed)
        releaseDue = true;
    else if (state != Up)
        state = Released;
}
// The end of a frame.
inline void age(irr::u32& state, bool& releaseDue) {
    if (releaseDue)
        state = Released;
    else if (state == Released)
        state = Up;
    else if (state == Pressed)
        state = Down;
    releaseDue = false;
}
} // namespace InputState
