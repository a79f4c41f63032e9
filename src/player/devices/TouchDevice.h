#pragma once

#include "player/InputDevice.h"
#include "player/InputEvent.h"

#include <memory>
#include <vector>

namespace irr {
class IrrlichtDevice;
namespace video {
class ITexture;
}
} // namespace irr

// One finger on the touch screen.
struct TouchPoint {
    irr::s32 id = -1;  // the source's touch identifier; -1 while the record is unused
    irr::u32 tag = 0;  // non-zero: never the left-side touch
    irr::s32 startX = 0;
    irr::s32 startY = 0;
    irr::s32 prevX = 0;
    irr::s32 prevY = 0;
    irr::s32 x = 0;
    irr::s32 y = 0;
    irr::f32 heldTime = 0.0f; // seconds since it went down; 0 until the first end of frame
    irr::u32 startTime = 0;   // engine timer, milliseconds
    irr::u32 state = InputState::Up;
    bool active = false;
};

// The fingers on a touch screen, and the three touch buttons drawn over the game: pause
// (top right), switch (bottom right) and grab (a strip along the left edge). It takes no part
// in action mappings; the player controls ask it directly for taps on the buttons, the newest
// touch on the left and the number of touches down.
class TouchDevice : public InputDevice {
public:
    static constexpr const char* pauseTexturePath = "Content/Screens/HUD/TouchPause.png";
    static constexpr const char* switchTexturePath = "Content/Screens/HUD/TouchSwitch.png";
    static constexpr const char* grabTexturePath = "Content/Screens/HUD/TouchGrab.png";

    explicit TouchDevice(irr::IrrlichtDevice* engineDevice = nullptr);
    ~TouchDevice() override;

    float getValue(const ButtonMapping&) override { return 0.0f; }
    bool wasPressed(const ButtonMapping&) override { return false; }
    int getButtonIndex(const std::string&) const override { return -1; }
    std::wstring getName() const override { return L"Touch"; }
    void registerButtonNames() override {}
    int getButtonCount() const override { return 0; }
    int getDeviceCount() const override { return 1; }
    bool isConnected(int) const override { return true; }
    bool hasMultipleInstances() const override { return false; }
    bool usesModeSwitching() const override { return true; }
    bool takesPartInDetection() const override { return false; }
    void updateOverlay() override;

    bool onEvent(const InputEvent& event);
    void endFrame();

    const TouchPoint* findTouch(irr::s32 id) const;
    // Among the touches that began left of the fraction of the screen's width (tag 0), the one
    // with the largest id.
    const TouchPoint* findLeftTouch(irr::f32 fraction) const;
    // A touch began in the switch or pause button's square this frame.
    bool isSwitchTouch() const;
    bool isPauseTouch() const;
    int countPressedTouches() const;
    const TouchPoint* primaryTouch() const { return primary; }

    bool wasTouchSeen() const { return touchSeen; }
    bool isDoubleTap() const { return doubleTap; }
    bool isTripleTap() const { return tripleTap; }
    const std::vector<std::unique_ptr<TouchPoint>>& touchPoints() const { return touches; }

    // The rectangles of the pause and switch buttons and the grab strip on a W x H screen
    // (left, top, right, bottom).
    struct Rect {
        irr::s32 left, top, right, bottom;
    };
    static Rect pauseButtonRect(irr::s32 width, irr::s32 height);
    static Rect switchButtonRect(irr::s32 width, irr::s32 height);
    static Rect grabStripRect(irr::s32 width, irr::s32 height);

private:
    void screenSize(irr::s32& width, irr::s32& height) const;
    // A touch began this frame in the right-hand square of that size (720-line units) at the
    // top or the bottom of the screen.
    bool touchBeganInCorner(irr::f32 size, bool bottom) const;
    void drawButton(irr::video::ITexture* texture, const Rect& rect);

    irr::IrrlichtDevice* device;
    std::vector<std::unique_ptr<TouchPoint>> touches;
    TouchPoint* primary = nullptr;
    irr::video::ITexture* pauseTexture = nullptr;
    irr::video::ITexture* switchTexture = nullptr;
    irr::video::ITexture* grabTexture = nullptr;
    bool touchSeen = false;
    bool doubleTap = false;
    bool tripleTap = false;
};
