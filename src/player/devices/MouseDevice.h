#pragma once

#include "player/InputDevice.h"
#include "player/InputEvent.h"

#include <functional>
#include <memory>
#include <rect.h>
#include <vector>

namespace irr {
class IrrlichtDevice;
namespace gui {
class ICursorControl;
}
namespace video {
class ITexture;
}
} // namespace irr

class InputManager;

// One mouse as the game reads it: the system mouse, or one of several raw mice.
struct MouseState {
    irr::u32 left = InputState::Up;
    irr::u32 middle = InputState::Up;
    irr::u32 right = InputState::Up;
    irr::u32 codeStates[255] = {}; // by key code: left 1, right 2, middle 4
    bool releaseDue[255] = {};     // by key code: pressed this frame and already let go
    irr::s32 x = 0;                // pixels
    irr::s32 y = 0;
    irr::s32 refX = 0;             // this frame's delta is measured from here
    irr::s32 refY = 0;
    irr::f32 deltaX = 0.0f;
    irr::f32 deltaY = 0.0f;
    irr::f32 wheel = 0.0f;              // steps this frame
    irr::f32 wheelTarget = 0.0f;        // 40 units a step
    irr::f32 wheelSmoothed = 0.0f;
    irr::f32 wheelSmoothedDelta = 0.0f; // this frame's smoothed output
    irr::f32 savedRelX = -0.5f;         // relative position kept while hidden; (-0.5, 0.5): none
    irr::f32 savedRelY = 0.5f;
    irr::f32 idleTime = 0.0f;
    irr::f32 middleHoldTime = 0.0f;
    bool middleHold = false;
    bool middleHoldPrev = false;
    bool connected = false; // raw mice: sent motion and no disconnect since
};

// The mouse device: the system mouse (record 0) and each raw mouse (record i+1), with
// per-frame deltas, a smoothed wheel, a long middle-button hold, and the cursor kept in the
// window and out of sight while a level is played. Paired with the keyboard.
class MouseDevice : public InputDevice {
public:
    // Button indices beyond the key codes.
    enum : int {
        XPositive = 255,
        XNegative = 256,
        YPositive = 257,
        YNegative = 258,
        XAxis = 259,
        YAxis = 260,
        Wheel = 261,
        WheelSmoothed = 262,
        MiddleHold = 263,
        ButtonCount = 264,
    };

    // What the mouse asks of the game window; a test replaces it.
    struct Window {
        std::function<bool()> isActive;
        std::function<bool(irr::core::recti&)> getRect;
        std::function<bool(const irr::core::recti*)> clipCursor; // null rectangle: release
        // Where the pointer is, in pixels: a round trip to the display server each time.
        std::function<irr::core::position2di()> pointerPosition;
    };

    // owner: the input manager whose controls count decides whether raw mice go per player.
    MouseDevice(irr::IrrlichtDevice* device, InputManager* owner);
    ~MouseDevice() override;

    float getValue(const ButtonMapping& mapping) override;
    bool wasPressed(const ButtonMapping& mapping) override;
    bool detectPressedInput(ButtonMapping& mapping) override;
    std::wstring getName() const override { return L"Mouse"; }
    void registerButtonNames() override;
    int getButtonCount() const override { return ButtonCount; }
    int getDeviceCount() const override { return int(states.size()) - 1; }
    bool isConnected(int instance) const override;
    bool hasMultipleInstances() const override { return severalMice; }
    bool takesPartInDetection() const override { return severalMice; }
    void updateOverlay() override;

    void onEvent(const InputEvent& event);
    void update();
    // The update of a catch-up physics step between the frame's render passes: the frame's
    // update has read the pointer, so this one does not ask again; the motion since then
    // counts in the next frame.
    void updateWithoutPointer();
    void endFrame();
    // Releases the cursor, resets every record, takes the cursor control and the cursor image.
    void resetCursor();

    bool isMultiMouseActive() const { return severalMice; }
    bool isMicePerPlayer() const { return micePerPlayer; }
    bool isCursorClipped() const { return cursorClipped; }
    bool isUpdatedThisFrame() const { return updatedThisFrame != 0; }

    // Set by key events and right or middle clicks, cleared by touches (input manager).
    bool mouseModeActive = true;
    // Some player's last-used device is the mouse or the keyboard (input manager).
    bool inUse = true;

    // The system mouse; other parts of the game read its position, deltas and wheel.
    MouseState& systemMouse() { return *states[0]; }
    const MouseState& systemMouse() const { return *states[0]; }
    // Record i: 0 the system mouse, i+1 raw mouse i; null beyond the records.
    const MouseState* state(int record) const;
    // The number of raw mice the driver reported when it started (-1: no driver).
    int rawMouseCount() const { return rawMice; }

    Window& window() { return windowAccess; }

private:
    MouseState& recordFor(const ButtonMapping& mapping);
    void resetRecord(MouseState& record);
    void pollRawMice();
    void updateRecords(bool readPointer);
    // The system mouse follows the pointer: confinement, hiding, the jump back to the
    // centre in play, this frame's motion.
    void followPointer(MouseState& mouse);
    void updateConfinement(bool playing, bool focused);
    // Hides the cursor; keepPlace remembers where it stood, to put it back there when a
    // menu shows it again (play recentres it meanwhile).
    void hideCursor(MouseState& record, bool keepPlace);

    irr::IrrlichtDevice* device;
    InputManager* owner;
    irr::gui::ICursorControl* cursorControl = nullptr;
    irr::video::ITexture* cursorTexture = nullptr;
    std::vector<std::unique_ptr<MouseState>> states;
    irr::u32 updatedThisFrame = 0;
    bool cursorClipped = false;
    bool severalMice = false;
    bool micePerPlayer = false;
    bool fullscreen = false;
    int rawMice = -1;
    bool driverStarted = false;
    Window windowAccess;
};
