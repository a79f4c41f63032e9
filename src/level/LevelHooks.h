#pragma once

#include <irrlicht.h>

#include <functional>
#include <string>

class InstancedObject;
class LevelInfo;
class LoadingOverlay;
class PlayerObject;
class SoundObject;
struct CharacterProfile;
class SpriteAnimation;
struct SuspicionMeter;

// Calls from the level subsystem into subsystems that arrive later, grouped by callee.
// Each slot sits at its place in the level code and is tested for emptiness there: an
// empty slot does nothing or answers the default written next to it. The subsystem that
// lands fills its slots in its registration function at start-up; tests fill them with
// recording lambdas and call resetLevelHooks() afterwards.
struct LevelHookTable {
    struct Physics {
        // A level starts loading: the physics manager's frameCounter = 0.
        std::function<void()> resetFrameCounter;
        // Debug key: PhysicsManager::toggleDebugVisualization.
        std::function<void()> toggleDebugVisualization;
        // Level settings: the physics scene's gravity.
        std::function<void(const irr::core::vector3df& gravity)> setGravity;
        // Sublevel activation: the `active` flag of a physics object's PhysicsUserData.
        std::function<void(irr::scene::ISceneNode* physicsObject, bool active)> setObjectActive;
        // Sublevel bounds: a physics object's `isSublevelOutlier`.
        std::function<void(irr::scene::ISceneNode* physicsObject, bool outlier)> setSublevelOutlier;
        // InstancedObject::rebuild: a copy of the source physics object under the instance
        // (empty: null, no copy).
        std::function<irr::scene::ISceneNode*(irr::scene::ISceneNode* source,
                                              InstancedObject* instance)>
            cloneForInstance;
        // InstancedObject::rebuild with instancing on and the simulation active: raise the
        // source's instanceBindCount and PhysicsObject::registerInstance(instance).
        std::function<void(irr::scene::ISceneNode* source, InstancedObject* instance)>
            registerInstance;
    } physics;

    struct Movement {
        // The movement object's Gravity; answers false when there is no movement object
        // (empty: false).
        std::function<bool(irr::core::vector3df& gravity)> getGravity;
    } movement;

    struct Render {
        // Level settings: "NumberOfLights" for the light manager's maxLightsPerNode; the
        // rendering subsystem decides whether a change rebuilds the shaders.
        std::function<void(irr::s32 lightsPerNode)> setLightsPerNode;
        // Level settings: the effect handler's levelShadowsEnabled.
        std::function<void(bool enabled)> setLevelShadowsEnabled;
        // Level settings: EffectHandler::setShadowQuality with the level's shadow light.
        std::function<void(const irr::core::vector3df& position,
                           const irr::core::vector3df& target)>
            setShadowLight;
        // The effect handler's instancing flag (empty: false).
        std::function<bool()> isInstancingEnabled;
        // Debug keys: the effect handler's one-shot skipNextScenePass and its editor
        // refresh request.
        std::function<void()> skipNextScenePass;
        std::function<void()> requestEditorRefresh;
        // The sprite-animation cache: reads an animation file into the animation (empty:
        // false, nothing loads).
        std::function<bool(SpriteAnimation& animation, const irr::io::path& file)>
            loadSpriteAnimation;
        // Data binding: TextObject::rebuildMesh of a 3D text object ('text').
        std::function<void(irr::scene::ISceneNode* textObject, const wchar_t* text)>
            rebuildTextMesh;
    } render;

    struct Camera {
        // Level settings: the first camera manager's defaultFarValue and setActiveCamera.
        std::function<void(irr::f32 farValue)> setDefaultFarValue;
        std::function<void(irr::s32 cameraID)> setInitialCamera;
    } camera;

    struct Triggers {
        // Level settings: the level information's embedded "LevelInfoTrigger" starts its
        // child trigger events.
        std::function<void(LevelInfo* levelInfo)> startLevelInfoEvents;
    } triggers;

    struct Characters {
        // The profile cache: CharacterProfile::load of the file (empty: false, nothing
        // loads), then CharacterProfile::finishLoad after a successful load.
        std::function<bool(CharacterProfile& profile, const std::string& file)> loadProfile;
        std::function<void(CharacterProfile& profile)> finishProfile;
        // processLevelEvents without a local player: updateSuspicion on the level manager's
        // own record with the frame time.
        std::function<void(SuspicionMeter& meter, irr::f32 seconds)> updateSuspicion;
        // ObjectiveObject::complete of an objective that reduces suspicion: reduceSuspicion.
        std::function<void(SuspicionMeter& meter, irr::f32 amount)> reduceSuspicion;
    } characters;

    struct Players {
        // A player object's suspicion record (its operation 133); empty or null: the level
        // manager's own record stands in.
        std::function<SuspicionMeter*(PlayerObject* player)> getSuspicionRecord;
    } players;

    struct Gui {
        // Level settings: GUIObjectiveCenter::setTaskIconAnimation.
        std::function<void(const irr::io::path& spriteFile)> setTaskIconAnimation;
        // LoadingOverlay::draw: the cover for the overlay's mode, with its loading bar at the
        // overlay's progress (the meter material's currentMeterValue = the progress,
        // currentMeterAlpha = 1).
        std::function<void(const LoadingOverlay& overlay)> drawLoadingOverlay;
        // A voice line with a subtitle starts: GUISubtitleManager::playSubtitle.
        std::function<void(irr::s32 subtitleID)> playSubtitle;
    } gui;

    struct Screens {
        // loadLevel, before anything else: maintainWorkshopZip(path).
        std::function<void(const irr::io::path& levelPath)> maintainWorkshopZip;
        // After the title screen's background level has loaded, in this order.
        std::function<void()> unmountWorkshopArchives;
        std::function<void()> loadLevelList;
        std::function<void()> loadMenuPreviewScenes;
        std::function<void()> showAutoSaveLevelPreview;
        // The level-title lookup: a user level's title (getWorkshopLevelTitle; empty when the
        // path is no user level), else the level list's (loadLevelList, getLevelTitle).
        std::function<irr::core::stringw(const irr::io::path& levelPath)> getWorkshopLevelTitle;
        std::function<irr::core::stringw(const irr::io::path& levelPath)> getLevelTitle;
        // Level settings: ScreenManager::loadSubtitles(name).
        std::function<void(const irr::io::path& name)> loadSubtitles;
        // The scene loader, once per object read: ScreenManager::renderLoadingFrame.
        std::function<void()> renderLoadingFrame;
        // Debug key: ScreenManager::dismissAllNotifications.
        std::function<void()> dismissAllNotifications;
        // Level events: ScreenManager::closeAllScreens, ScreenManager::openMainScreen with
        // the play mode, and a GUISplashScreen (GUI root, (0,0)-(100,100)) pushed on the
        // screen stack.
        std::function<void()> closeAllScreens;
        std::function<void(irr::s32 playMode)> openMainScreen;
        std::function<void()> showSplash;
        // SoundObject::pause: whether the sound is the voice line whose subtitle the screens
        // show (empty: false), and ScreenManager::clearSubtitles.
        std::function<bool(SoundObject* sound)> isShownVoiceLine;
        std::function<void()> clearSubtitles;
    } screens;

    struct Input {
        // Whether a key went down this frame (empty: false); the debug keys read it.
        std::function<bool(irr::EKEY_CODE key)> wasKeyPressed;
        // The game-over rumble on the player's devices (InputManager::addRumble).
        std::function<void()> gameOverRumble;
    } input;
};

LevelHookTable& levelHooks();
// Empties every slot.
void resetLevelHooks();
