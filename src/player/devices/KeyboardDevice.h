#pragma once

#include "player/InputDevice.h"
#include "player/InputEvent.h"

#include <vector>

// The keyboard: turns the engine's key events into per-frame key states, so that any key
// can be bound by name. It also keeps the mouse buttons under their key codes ("KEY_LBUTTON"
// and so on). Paired with the mouse.
class KeyboardDevice : public InputDevice {
public:
    static constexpr int keyCount = 255;
    static constexpr int mouseButtonCount = 5; // left, middle, right, extra 1, extra 2

    float getValue(const ButtonMapping& mapping) override;
    bool wasPressed(const ButtonMapping& mapping) override;
    // Of the keys pressed this frame, the one that went down last: a right-hand modifier
    // pressed by a tool that holds its left twin first (xdotool's Control_R is Control_L,
    // then Control_R) is the right-hand one.
    bool detectPressedInput(ButtonMapping& mapping) override;
    std::wstring getName() const override { return L"Keyboard"; }
    std::wstring getDisplayName() const override;
    void registerButtonNames() override;
    int getButtonCount() const override { return keyCount; }
    int getDeviceCount() const override { return 1; }
    bool hasMultipleInstances() const override { return false; }
    // Not while several mice are in use (the mouse scans the keyboard through the pairing).
    bool takesPartInDetection() const override;

    // Applies one key or mouse event; never consumes it.
    void onEvent(const InputEvent& event);
    // Events arriving after the frame's input update wait for the next frame.
    void closeEvents() { eventsClosed = 1; }
    // Bounds the events kept waiting and the key presses kept in a frame.
    static constexpr std::size_t maxQueuedEvents = 256;
    void endFrame();
    void reset();

    irr::u32 keyState(int code) const { return code >= 0 && code < keyCount ? keyStates[code] : InputState::Up; }
    // How often the key went down this frame: several quick taps may fall into one frame.
    int keyTaps(int code) const { return code >= 0 && code < keyCount ? keyTapCounts[code] : 0; }
    // The keys that went down this frame, in the order they went down, each tap once.
    const std::vector<int>& keyPresses() const { return keyPressQueue; }
    // The key is down and was not let go this frame.
    bool keyHeld(int code) const {
        return code >= 0 && code < keyCount && keyStates[code] != InputState::Up &&
               keyStates[code] != InputState::Released && !keyReleaseDue[code];
    }
    irr::u32 mouseButtonState(int button) const {
        return button >= 0 && button < mouseButtonCount ? mouseButtonStates[button] : InputState::Up;
    }

private:
    bool modifierHeld(int modifier) const;
    void setMouseButton(int button, irr::u32 state);

    irr::u32 keyStates[keyCount] = {};
    irr::u32 mouseButtonStates[mouseButtonCount] = {};
    // Pressed this frame and already let go: released at the frame's end.
    bool keyReleaseDue[keyCount] = {};
    int keyTapCounts[keyCount] = {};
    // When each key went down this frame (1 the first press; 0 none).
    int keyPressOrder[keyCount] = {};
    int pressesThisFrame = 0;
    bool mouseButtonReleaseDue[mouseButtonCount] = {};
    irr::u32 eventsClosed = 0;
    std::vector<int> keyPressQueue;
    // Events that came while closed, applied in order when the frame ends.
    std::vector<irr::SEvent> waitingEvents;
};
