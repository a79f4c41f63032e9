#pragma once

#include "core/SlotCalls.h"

#include <irrString.h>
#include <irrTypes.h>
#include <path.h>
#include <vector3d.h>

#include <functional>

// Calls from the GUI toolkit and the screen manager into the services around them: sounds
// and languages of the application core, and the input, level, camera and sprite-animation
// services of the subsystems built after the GUI. Each service fills its slots in its
// registration function at start-up (screens/ScreenRegistration.cpp fills those of the
// application core); an empty slot does nothing or answers the default written beside it.
// callHook and askHook (core/SlotCalls.h) call them.

namespace irr {
namespace gui {
class IGUIFont;
}
namespace scene {
class ISceneNode;
}
} // namespace irr

class DelegateList;
class GUIScreen;
class ObjectiveDisplay;
class SpriteAnimation;
struct ButtonMapping;
struct SuspicionMeter;

// Sound manager.
struct GuiSoundHooks {
    // SoundManager::playEffect (id): 24 menu hover, 25 click.
    std::function<void(irr::s32)> playEffect;
    // SoundManager::setAllPaused (paused).
    std::function<void(bool)> setAllPaused;
};

// Language manager.
struct GuiLanguageHooks {
    // The current language's text of a string id. Empty: "#<id>".
    std::function<irr::core::stringw(irr::s32)> getText;
    // The current language's font of a role (0 subtitle ... 5 menu small). Empty: null.
    std::function<irr::gui::IGUIFont*(irr::s32)> getFont;
    // The list invoked after the current language changed. Empty: null.
    std::function<DelegateList*()> languageChanged;
};

// Input manager and its devices.
struct GuiInputHooks {
    // The mouse is the active pointer (its first record's kind is 0 or 3). Empty: true.
    std::function<bool()> isPointerActive;
    // The first mouse record's wheel movement in this frame. Empty: 0.
    std::function<irr::f32()> mouseWheel;
    // PlayerControls::isPausePressed asked of every player-controls object (all of them,
    // without stopping at the first); true when any answered true. Empty: false.
    std::function<bool()> isPausePressed;
    // InputDevice::detectAnyPressedInput into the input manager's capture record. Empty: false.
    std::function<bool()> detectAnyPressedInput;
    // Copies the capture record. Empty: nothing is copied.
    std::function<void(ButtonMapping&)> copyCapturedInput;
    // The keyboard device's state of an engine key: 0 up, 1 down, 2 pressed this frame,
    // 3 released this frame. Empty: 0.
    std::function<irr::s32(irr::s32)> keyState;
};

// Level manager, its loading overlay and event queue, and the program-wide queries on them.
struct GuiLevelHooks {
    // The level-loading flag. Empty: false.
    std::function<bool()> isLevelLoading;
    // Either transition-running flag of the loading overlay. Empty: false.
    std::function<bool()> isLoadingOverlayBusy;
    // isLoadingOverlayOpaque. Empty: false.
    std::function<bool()> isLoadingOverlayOpaque;
    // isGameplaySuspendedOrLoading. Empty: false.
    std::function<bool()> isGameplaySuspendedOrLoading;
    // LevelManager::getCurrentLevelPath. Empty: "".
    std::function<irr::core::stringw()> currentLevelPath;
    // Queues a TransitionEvent (cover, overlay mode, overlay view, seconds, extra value).
    std::function<void(bool, irr::s32, irr::s32, irr::f32, irr::s32)> queueTransition;
    // Queues a ClearMenusEvent.
    std::function<void()> queueClearMenus;
    // LevelManager::queueReturnToMainMenu.
    std::function<void()> queueReturnToMainMenu;
    // LevelManager::queueLoadLevelEvent (path, no menu-load flag).
    std::function<void(const irr::core::stringw&)> queueLoadLevel;
    // Queues an unload-level event and a load-level event of the path (the level comes again).
    std::function<void(const irr::core::stringw&)> queueReloadLevel;
    // The level manager's objective list shows on the display (null: on none).
    std::function<void(ObjectiveDisplay*)> setObjectiveDisplay;
    // The objective list's display, when there is one. Empty: null.
    std::function<ObjectiveDisplay*()> objectiveDisplay;
    // The objective texts of the current language are read again and the rows refreshed.
    std::function<void()> reloadObjectiveTexts;
    // LevelManager::queueTransition (intro, overlay mode, speed per second, hold, kind).
    std::function<void(bool, irr::s32, irr::f32, irr::f32, irr::s32)> queueFadeTransition;
    // LevelManager::queueRestartFromCheckpoint, queueRestartLevel, queueClearCheckpoint.
    std::function<void()> queueRestartFromCheckpoint;
    std::function<void()> queueRestartLevel;
    std::function<void()> queueClearCheckpoint;
    // The level manager's checkpoint list is not empty. Empty: false.
    std::function<bool()> hasCheckpoints;
    // The level manager's play mode is the story run. Empty: false.
    std::function<bool()> isStoryRun;
    // Empties the save's free-play group.
    std::function<void()> clearFreeplaySave;
    // Stops every level sound of the scene.
    std::function<void()> stopLevelSounds;
    // Demo mode's quit: the level manager's quit list runs and its checkpoint list empties.
    std::function<void()> demoQuit;
    // The suspicion record the HUD shows: player 0's, else the level manager's. Empty: null.
    std::function<SuspicionMeter*()> currentSuspicion;
    // Stores the meter's value after a splat landed as the level run's last suspicion.
    std::function<void(irr::f32)> setLastSuspicion;
    // Sets the loading overlay's fade value to 0 (it stops covering the screen).
    std::function<void()> uncoverLoadingOverlay;
};

// Camera managers.
struct GuiCameraHooks {
    // The camera object of camera manager 0's head transition, when it has one and its
    // overrides are not disabled. Empty: null.
    std::function<irr::scene::ISceneNode*()> menuCamera;
    // Sets a camera object's position offset.
    std::function<void(irr::scene::ISceneNode*, const irr::core::vector3df&)> setCameraOffset;
};

// Sprite animations.
struct GuiRenderHooks {
    // getSpriteAnimation: fills the animation from the cached animation of that file.
    std::function<void(SpriteAnimation&, const irr::io::path&)> getSpriteAnimation;
};

// The screens of the main menu (title screen and its entry list).
struct GuiMenuHooks {
    // A new GUIMainScreen, child of the GUI root; the caller drops the creation reference.
    std::function<GUIScreen*()> createMainScreen;
    // A new GUIPlayScreen (instant fade-in) with the play mode as its menu request.
    std::function<GUIScreen*(irr::s32)> createPlayScreen;
    // Shows the calibration preview scene as the only visible menu preview (a menu opened
    // over the main menu comes up).
    std::function<void()> showCalibrationPreview;
    // The title screen's fade target (its logo and notes fade toward it).
    std::function<void(irr::f32)> setTitleFadeTarget;
    // A new GUIPlayScreen after the options menu closed: fading in, its Options entry
    // focused; the caller pushes it and drops the creation reference. Empty: null.
    std::function<GUIScreen*()> createPlayScreenAfterOptions;
    // A new control options page (opened from the main menu or not); the caller pushes it
    // and drops the creation reference. Empty: null.
    std::function<GUIScreen*(bool)> createControlOptionsScreen;
};

struct GuiHooks {
    GuiSoundHooks sound;
    GuiLanguageHooks language;
    GuiInputHooks input;
    GuiLevelHooks level;
    GuiCameraHooks camera;
    GuiRenderHooks render;
    GuiMenuHooks menus;
};

GuiHooks& guiHooks();
// Empties every slot (tests).
void resetGuiHooks();

// Shortcuts for the services the widgets use most.
void playSoundEffect(irr::s32 id);
irr::core::stringw getLanguageText(irr::s32 id);
irr::gui::IGUIFont* getLanguageFont(irr::s32 role);

// Sound effect ids of the menus.
inline constexpr irr::s32 soundMenuHover = 24;
inline constexpr irr::s32 soundClick = 25;
