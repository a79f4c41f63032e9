#pragma once

#include "core/SlotCalls.h"

#include <irrString.h>
#include <irrTypes.h>
#include <position2d.h>
#include <vector3d.h>

#include <functional>
#include <optional>

// The GUI toolkit's calls up, into the layers built over it: the screen stack the widgets
// live on and the screens a layout or a menu asks for (screens/), the menu camera (camera/)
// and the suspicion record the HUD shows (characters/). The game's registration fills every
// slot at start-up (screens/ScreenRegistration.cpp, camera/CameraRegistration.cpp); an empty
// slot does nothing or answers the default written beside it. Everything below the GUI (the
// sounds, languages, input, level and sprite animations) it calls directly.
// callHook and askHook (core/SlotCalls.h) call them.

namespace irr {
namespace gui {
class IGUIElement;
class IGUIEnvironment;
class IGUIFont;
} // namespace gui
namespace scene {
class ISceneNode;
}
} // namespace irr

class GUIButton;
class GUIHud;
class GUINotification;
class GUIScreen;
struct ButtonMapping;

// The pause screen as the HUD and the objective panel make room for it: its dim amount
// (0 hidden ... 1 shown), its panel's width in pixels, and whether a page of the menus (the
// options, a question) stands over it.
struct PausePanelSlide {
    irr::f32 dimAmount = 0.0f;
    irr::s32 panelWidth = 0;
    bool pageAbove = false;
};

// The suspicion record the HUD shows: its three levels (0..100 each) and its watchers.
struct ShownSuspicion {
    irr::f32 value = 0.0f;
    irr::f32 pendingValue = 0.0f;
    irr::f32 drainValue = 0.0f;
    irr::s32 watcherCount = 0;
};

// The screen manager's stack.
struct GuiScreenHooks {
    // The stacked screen (from the top) that holds the element, else the pause screen when
    // it does. Empty: null.
    std::function<GUIScreen*(const irr::gui::IGUIElement*)> findScreenOf;
    // The top screen: the stack's first while the stack is active, else the visible pause
    // screen. Empty: null.
    std::function<GUIScreen*()> topScreen;
    // The focused element of the top screen. Empty: null.
    std::function<GUIButton*()> topScreenFocus;
    // The screens let game input through (no screen manager: they do). Empty: true.
    std::function<bool()> isInputAllowed;
    // The overscan margins in pixels (x, y). Empty: (0, 0).
    std::function<irr::core::position2di()> overscanMargin;
    // The cutscene overlay's bar amount (0 while nothing covers the game). Empty: 0.
    std::function<irr::f32()> overlayBlend;
    // The standing HUD. Empty: null.
    std::function<GUIHud*()> hud;
    // The pause screen, when there is one. Empty: none.
    std::function<std::optional<PausePanelSlide>()> pausePanel;
    // The notification at the head of the queue on screen. Empty: null.
    std::function<GUINotification*()> notificationQueueHead;
    // Switches the input capture of the remapping rows on or off (it starts afresh).
    std::function<void(bool)> setCaptureInput;
    // Copies the captured input when one was captured. Empty: false (nothing copied).
    std::function<bool(ButtonMapping&)> capturedInput;
};

// The screens of the main menu.
struct GuiMenuHooks {
    // A new title screen (GUIMainScreen) under the parent, for a layout file that names one;
    // the caller drops the creation reference. Empty: null.
    std::function<irr::gui::IGUIElement*(irr::gui::IGUIEnvironment*, irr::gui::IGUIElement*)> createMainScreen;
    // Shows the calibration preview scene as the only visible menu preview (a menu opened
    // over the main menu comes up).
    std::function<void()> showCalibrationPreview;
};

// Camera managers.
struct GuiCameraHooks {
    // The camera object of camera manager 0's head transition, when it has one and its
    // overrides are not disabled. Empty: null.
    std::function<irr::scene::ISceneNode*()> menuCamera;
    // Sets a camera object's position offset.
    std::function<void(irr::scene::ISceneNode*, const irr::core::vector3df&)> setCameraOffset;
};

// The current suspicion record: player 0's, else the level manager's.
struct GuiSuspicionHooks {
    // Its levels, when there is one. Empty: none.
    std::function<std::optional<ShownSuspicion>()> shown;
    // A splat landed on the meter: the value rises by the amount (kept within 0..100) and
    // the level run keeps it as its last suspicion.
    std::function<void(irr::f32)> addSplat;
};

struct GuiHooks {
    GuiScreenHooks screens;
    GuiMenuHooks menus;
    GuiCameraHooks camera;
    GuiSuspicionHooks suspicion;
};

GuiHooks& guiHooks();
// Empties every slot (tests).
void resetGuiHooks();

// Shortcuts to the application core and the input the widgets use most; each answers as
// written beside it while its manager does not exist.
// The sound manager plays the effect (nothing without one).
void playSoundEffect(irr::s32 id);
// The current language's text ("#<id>" without a language manager).
irr::core::stringw getLanguageText(irr::s32 id);
// The current language's font of a role (0 subtitle ... 5 menu small; null without one).
irr::gui::IGUIFont* getLanguageFont(irr::s32 role);
// The keyboard's state of an engine key: 0 up, 1 down, 2 pressed this frame, 3 released this
// frame (0 without an input manager).
irr::s32 keyboardKeyState(irr::s32 key);
// The mouse is the pointer: the mouse mode is on (true without an input manager or mouse).
bool isMousePointerActive();
// The system mouse's wheel steps in this frame (0 without an input manager or mouse).
irr::f32 mouseWheelSteps();

// Sound effect ids of the menus.
inline constexpr irr::s32 soundMenuHover = 24;
inline constexpr irr::s32 soundClick = 25;
