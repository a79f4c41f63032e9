#pragma once

#include "core/Delegate.h"
#include "player/InputEvent.h"

#include <IEventReceiver.h>
#include <position2d.h>
#include <memory>
#include <vector>

namespace irr {
class IrrlichtDevice;
}

class InputDevice;
class PlayerControls;
class MouseDevice;
class KeyboardDevice;
class TouchDevice;
class GamepadDevice;
class JoystickDevice;
class MultitouchDevice;
class MoveDevice;
class LeapDevice;
class VibrationController;

// "Joystick_IgnoreInput", read when the input manager starts: joysticks are never consulted.
extern bool joystickIgnoreInput;

// The one object through which every input reaches the game: the engine device's event
// receiver, owner of the eight input devices and of every player's controls, the per-frame
// input step, the menu navigation that sends GUI key events 1000-1005 to the focused element
// of the top screen, and vibration requests.
//
// Frame: engine events (OnEvent) -> update() -> the game reads the controls -> the devices'
// overlays -> endFrame().
class InputManager : public irr::IEventReceiver {
public:
    static constexpr float menuRepeatDelay = 0.25f;
    static constexpr float menuRepeatInterval = 0.05f;

    InputManager();
    ~InputManager() override;
    InputManager(const InputManager&) = delete;
    InputManager& operator=(const InputManager&) = delete;

    // Creates the devices and player 0's controls and becomes the device's event receiver.
    void init(irr::IrrlichtDevice* device);

    // The engine's events; true when a device consumed the event.
    bool OnEvent(const irr::SEvent& event) override;
    // Events the engine never produces.
    bool injectTouch(const TouchData& touch);
    bool injectSystemMessage(irr::u32 message);
    bool dispatch(const InputEvent& event);

    void update();
    // The update of each catch-up physics step within the render (keys, buttons, pads and
    // menus sampled once a step): as update, but the pointer, which the frame's update read,
    // is not asked for again (each ask is a round trip to the X server).
    void updateCatchUpStep();
    void endFrame();
    void resetInputState();
    // updateOverlay on every registered device, in registration order.
    void updateDeviceOverlays();

    // The fixed menu inputs (keys, pad 0, joystick 0), not remappable.
    bool isMenuKeyPressed(int code);
    // The taps of the keyboard's fixed keys for a menu direction this frame.
    int menuKeyTaps(int code) const;
    bool isMenuKeyDown(int code);

    PlayerControls* getPlayerControls(int player, int set);
    void addPlayerControls(PlayerControls* controls, int player);
    int getPlayerControlsCount(int player) const;
    int getTotalPlayerControlsCount() const;
    int findPlayerControlsUsingDevice(int player, int role) const;
    PlayerControls* getFirstPlayerControlsUsingDevice(int role);
    // Player 0's first controls, or the default controls.
    PlayerControls* getActiveControls();
    PlayerControls* getDefaultControls() { return defaultControls.get(); }
    void updateKeyboardMouseInUse();

    void addVibration(float left, float right);
    void addRumble(float left, float right, float duration, float delay);

    // Invoked when the active controls' last-used device (or its scheme) changes.
    DelegateList deviceChanged;

    irr::IrrlichtDevice* getDevice() const { return device; }
    MouseDevice* getMouse() const { return mouse.get(); }
    KeyboardDevice* getKeyboard() const { return keyboard.get(); }
    TouchDevice* getTouch() const { return touch.get(); }
    GamepadDevice* getGamepad() const { return gamepad.get(); }
    JoystickDevice* getJoystick() const { return joystick.get(); }
    MultitouchDevice* getMultitouch() const { return multitouch.get(); }
    MoveDevice* getMove() const { return move.get(); }
    LeapDevice* getLeap() const { return leap.get(); }
    VibrationController* getVibration() const { return vibration.get(); }
    bool isNoSwitchMode() const { return noSwitchMode; }
    InputDevice* getLastDevice() const { return lastDevice; }

private:
    void runUpdate(bool readPointer);
    void updateMenuNavigation(float dt);
    void sendMenuKey(int code);
    bool crossingDirectionHeld(int code);
    // A direction held on the fixed inputs; a key let go within the frame is not.
    bool isMenuDirectionHeld(int code);
    bool fixedDirectionDown(int code, bool letGoCounts);
    // The menu code of a fixed key; 0 for any other key.
    static int fixedMenuCode(int key);
    bool joystickButtonPressed(int button, int sign);
    bool joystickButtonDown(int button, int sign);
    bool keyPressed(int key) const;
    bool keyDown(int key) const;
    void checkDeviceChange();

    irr::IrrlichtDevice* device = nullptr;
    std::vector<std::vector<std::unique_ptr<PlayerControls>>> players;
    std::unique_ptr<PlayerControls> defaultControls;
    std::unique_ptr<MouseDevice> mouse;
    std::unique_ptr<KeyboardDevice> keyboard;
    std::unique_ptr<TouchDevice> touch;
    std::unique_ptr<GamepadDevice> gamepad;
    std::unique_ptr<JoystickDevice> joystick;
    std::unique_ptr<LeapDevice> leap;
    std::unique_ptr<MultitouchDevice> multitouch;
    std::unique_ptr<MoveDevice> move;
    std::unique_ptr<VibrationController> vibration;
    std::vector<float> holdTimers;
    std::vector<float> repeatTimers;
    InputDevice* lastDevice = nullptr;
    int lastScheme = 0;
    // The cursor position last given to the GUI.
    irr::core::position2di postedCursor;
    bool cursorPosted = false;
    bool noSwitchMode = true;
};
