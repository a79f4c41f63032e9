#pragma once

#include <irrString.h>
#include <irrTypes.h>
#include <path.h>

#include <functional>
#include <type_traits>

// Calls from the game shell (start-up, frame loop, render, shutdown and the program-wide
// queries) into subsystems that are built after it. Each subsystem fills its slots in its
// registration function before start-up; an empty slot does nothing, or answers the default
// written beside it. The shell calls every slot at its fixed place in its orders (start-up in
// core/GameStartup.cpp, the frame in core/GameFrame.cpp, shutdown in
// core/GameApplication.cpp), so the orders stay where they are when a subsystem lands.
//
// Creation slots return the new manager and the shell stores it in its program-wide pointer
// (core/Globals.h); destroy slots delete the manager behind that pointer, and the shell
// clears the pointer afterwards.

namespace irr {
class IrrlichtDevice;
class IEventReceiver;
namespace scene {
class ISceneManager;
}
namespace gui {
class IGUIEnvironment;
class IGUIFont;
} // namespace gui
} // namespace irr

class InputManager;
class ConfigTentMovementObject;
class PhysicsManager;
class LevelManager;
class ScreenManager;
class EffectHandler;
class LightManager;
class ShaderManager;
class AnimatorFactory;
class CameraManager;
class SoundObject;

// Input manager and movement tuning object (player and input).
struct InputHooks {
    // Makes the input manager, stores it in inputManager and returns it as the engine
    // device's event receiver, which hands every log-text event to LogManager::log when the
    // log manager exists. Empty: the shell's own receiver stands in and does only that.
    std::function<irr::IEventReceiver*()> create;
    std::function<void(irr::IrrlichtDevice*)> init;
    std::function<void()> resetInputState;
    std::function<void()> update;
    // updateOverlay on every registered input device, in registration order.
    std::function<void()> updateDeviceOverlays;
    std::function<void()> endFrame;
    std::function<void()> destroy;
    // The one ConfigTentMovementObject (no parent, the game scene manager, id -1).
    std::function<ConfigTentMovementObject*(irr::scene::ISceneManager*)> createMovementObject;
    std::function<void()> destroyMovementObject;
};

// Physics manager.
struct PhysicsHooks {
    std::function<PhysicsManager*()> create;
    // Empty: answers true.
    std::function<bool()> init;
    // Binds PhysicsManager::resetScene into the level manager's level-unloaded list.
    std::function<void()> bindResetScene;
    std::function<void()> endStep;
    std::function<void()> updateStepCount;
    std::function<void()> beginStep;
    std::function<void(irr::f32)> setFrameSimulatedTime;
    std::function<void()> stepDuringRender;
    std::function<void()> drawDebug;
    // The simulation flag. Empty: false.
    std::function<bool()> isSimulationActive;
    std::function<void()> destroy;
};

// Level manager, scene-node factory, save manager and sound objects (level subsystem).
struct LevelHooks {
    std::function<LevelManager*(irr::IrrlichtDevice*)> create;
    std::function<void()> init;
    std::function<void()> processLevelEvents;
    // The level update (the scene's animate pass: level objects, triggers, characters).
    std::function<void()> update;
    // The level manager's end-of-update delegate list.
    std::function<void()> runEndOfUpdateList;
    // Loads the named level, or the title screen's background level for an empty path;
    // returns when it has loaded.
    std::function<void(const irr::io::path&)> loadInitialLevel;
    // Unloads the level and deletes the level manager.
    std::function<void()> unloadAndDestroy;

    // Level-manager state read by the program-wide queries (each empty: false, 0 or 0.0).
    std::function<bool()> isSuspended;
    // Either busy flag (intro or outro running) of the loading overlay.
    std::function<bool()> isLoadingOverlayBusy;
    std::function<irr::s32()> loadingOverlayTransitionKind;
    std::function<irr::f32()> loadingOverlayFadeValue;
    std::function<bool()> isLevelLoading;

    std::function<void(irr::scene::ISceneManager*)> registerSceneNodeFactory;

    // SaveManager: create it (into saveManager) and load the save; delete it.
    std::function<void()> createSaveManager;
    std::function<void()> destroySaveManager;

    // SoundObject::pause, for the sound manager's setAllPaused.
    std::function<void(SoundObject*, bool)> pauseSoundObject;
    // Every sound object drops its handles into the audio system, which is about to be
    // released or replaced.
    std::function<void()> releaseSoundObjectAudio;
};

// Screen manager and the GUI toolkit.
struct ScreenHooks {
    std::function<ScreenManager*(irr::IrrlichtDevice*)> create;
    std::function<void()> init;
    // resetNotifications into the level-unloaded list, resetSubtitlesAndCutscene into the
    // level-load-started list.
    std::function<void()> subscribeLevelHandlers;
    std::function<void()> update;
    // GUIDebugStats::update then beginFrameTiming, when a visible debug overlay exists.
    std::function<void()> updateDebugStats;
    // ScreenManager::draw. Empty: the GUI environment draws its tree.
    std::function<void()> draw;
    // ScreenManager::postRenderGUI, with the frame stopwatch's running time in seconds.
    std::function<void(irr::f32)> postRenderGUI;
    std::function<void()> destroy;

    // Gates and state read by the frame update and the queries.
    // Empty: true (nothing holds input or the game back).
    std::function<bool()> isInputAllowed;
    std::function<bool()> isGameUpdateAllowed;
    // Stack not empty and its index-0 screen answers getKeepTimerRunning. Empty: false.
    std::function<bool()> topScreenKeepsTimerRunning;
    // The cutscene screen's barAmount. Empty: 0.
    std::function<irr::f32()> overlayBlend;
    // Empty: false.
    std::function<bool()> isStackActive;
    std::function<bool()> isPauseScreenVisible;

    // GUIElementFactory with the GUI environment, registered with it; released at shutdown.
    std::function<void(irr::gui::IGUIEnvironment*)> registerElementFactory;
    std::function<void()> releaseElementFactory;
    // getCachedFont (path, pixel size). Empty: null.
    std::function<irr::gui::IGUIFont*(const irr::io::path&, irr::s32)> getCachedFont;
};

// What start-up sets on the effect handler right after creating it, in this order, before
// EffectHandler::initPostProcessing.
struct EffectHandlerSetup {
    irr::u32 clearColour = 0xFFC8C8C8;
    bool shadowsEnabled = false;
    irr::s32 shadowDistanceMode = 0;
    bool renderCallbacksEnabled = false;
    bool ssaoEnabled = false;
};

// Effect handler, light manager and shader manager (rendering).
struct RenderHooks {
    // EffectHandler(device, screen render-target size (0, 0)), the setup, initPostProcessing.
    std::function<EffectHandler*(irr::IrrlichtDevice*, const EffectHandlerSetup&)> createEffectHandler;
    // Made, installed on the scene manager.
    std::function<LightManager*(irr::scene::ISceneManager*)> createLightManager;
    // Made and initialised.
    std::function<ShaderManager*(irr::IrrlichtDevice*)> createShaderManager;
    // EffectHandler::resetLevelState and LightManager::resetLights into the level-unloaded list.
    std::function<void()> bindLevelResets;
    std::function<void()> updateCharacterTextures;
    std::function<void()> updateShadowCascades;
    std::function<void()> runRenderCallbacks;
    // EffectHandler::update (null). Empty: the scene manager draws the scene.
    std::function<void()> drawScene;
    std::function<void()> destroyEffectHandler;
    std::function<void()> destroyLightManager;
    std::function<void()> destroyShaderManager;
};

// Suspicion rules and the animator factory (characters).
struct CharacterHooks {
    // Result ignored by start-up: 0 read, -1 cannot open.
    std::function<int()> loadSuspicionConfig;
    std::function<void()> unloadSuspicionConfig;
    std::function<AnimatorFactory*(irr::scene::ISceneManager*)> createAnimatorFactory;
    std::function<void()> destroyAnimatorFactory;
};

// Camera managers, one per viewport.
struct CameraHooks {
    std::function<CameraManager*(int viewport)> create;
    // Subscribes CameraManager::leaveFreeCamera to the screen manager's PauseOpened list.
    std::function<void(CameraManager*)> subscribeLeaveFreeCamera;
    std::function<void(CameraManager*)> update;
    std::function<void(CameraManager*)> destroy;
};

struct ShellHooks {
    InputHooks input;
    PhysicsHooks physics;
    LevelHooks level;
    ScreenHooks screens;
    RenderHooks render;
    CharacterHooks characters;
    CameraHooks cameras;
};

ShellHooks& shellHooks();
// Empties every slot (tests).
void resetShellHooks();

// Calls a slot when it is filled.
template <class... A>
void callHook(const std::function<void(A...)>& slot, std::type_identity_t<A>... args) {
    if (slot)
        slot(args...);
}

// A slot's answer, or the fallback when the slot is empty.
template <class R, class... A>
R askHook(const std::function<R(A...)>& slot, std::type_identity_t<R> fallback,
          std::type_identity_t<A>... args) {
    return slot ? slot(args...) : fallback;
}
