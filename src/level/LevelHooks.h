#pragma once

#include <irrlicht.h>

#include <functional>
#include <memory>
#include <string>

class InstancedObject;
class LevelInfo;
class LoadingOverlay;
class PlayerObject;
class SoundObject;
struct CharacterProfile;
struct LevelSettings;
class SpriteAnimation;
struct SuspicionMeter;

// The level subsystem's one way up: the calls from the level model into the subsystems above
// it (it creates and updates objects of every one of them), grouped by callee. Each slot sits
// at its place in the level code and is tested for emptiness there: an empty slot does nothing
// or answers the default written next to it. The registration of each subsystem fills its
// slots at start-up; tests fill them with recording lambdas and call resetLevelHooks()
// afterwards.
struct LevelHookTable {
    struct Physics {
        // A level starts loading: the physics manager's frameCounter = 0.
        std::function<void()> resetFrameCounter;
        // Debug key: PhysicsManager::toggleDebugVisualization.
        std::function<void()> toggleDebugVisualization;
        // Level settings: the physics scene's gravity, the level's Gravity or, with
        // UseDefaultGravity, the movement object's while there is one.
        std::function<void(const LevelSettings& settings)> applyLevelSettings;
        // Sublevel activation and bounds: the `active` flag of a physics object's
        // PhysicsUserData and the object's `isSublevelOutlier`.
        std::function<void(irr::scene::ISceneNode* physicsObject, bool active, bool outlier)>
            setSublevelState;
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

    struct Render {
        // Level settings: "NumberOfLights" for the light manager's maxLightsPerNode (the
        // rendering subsystem decides whether a change rebuilds the shaders), the effect
        // handler's levelShadowsEnabled and its shadow light (setShadowQuality).
        std::function<void(const LevelSettings& settings)> applyLevelSettings;
        // The effect handler's instancing flag (empty: false).
        std::function<bool()> isInstancingEnabled;
        // Debug keys: the effect handler's one-shot skipNextScenePass and its editor
        // refresh request.
        std::function<void()> skipNextScenePass;
        std::function<void()> requestEditorRefresh;
        // The sprite-animation cache: the animation read from the file, or null when it
        // cannot be read (empty: null, nothing loads).
        std::function<std::shared_ptr<const SpriteAnimation>(const irr::io::path& file)>
            loadSpriteAnimation;
        // Data binding: TextObject::rebuildMesh of a 3D text object ('text').
        std::function<void(irr::scene::ISceneNode* textObject, const wchar_t* text)>
            rebuildTextMesh;
    } render;

    struct Camera {
        // Level settings: the first camera manager's defaultFarValue, then its active camera:
        // the level's InitialCameraID, then the spawn checkpoint's camera (0 or -1: none).
        std::function<void(const LevelSettings& settings, irr::s32 spawnCameraID)>
            applyLevelSettings;
    } camera;

    struct Triggers {
        // Level settings: the level information's trigger starts its child trigger events.
        std::function<void(LevelInfo* levelInfo)> startLevelInfoEvents;
        // A checkpoint save: the checkpoint's IsActiveCheckpoint.
        std::function<void(irr::scene::ISceneNode* checkpoint, bool active)> setCheckpointActive;
        // Whether the checkpoint is the player's spawn (UseCheckpointAsSpawn), with its
        // SpawnCameraID (empty: false).
        std::function<bool(irr::scene::ISceneNode* checkpoint, irr::s32& spawnCameraID)>
            getCheckpointSpawn;
    } triggers;

    struct Characters {
        // The profile cache: a new CharacterProfile read from the file and finished, or null
        // when it cannot be read; an empty name makes the empty profile of last resort
        // (empty slot: null, no profiles).
        std::function<std::shared_ptr<CharacterProfile>(const std::string& file)> makeProfile;
        // The level manager's own suspicion record: made when there is none, else reset for
        // the next level (SuspicionMeter::resetForLevel; empty: the level runs without one).
        std::function<void(std::shared_ptr<SuspicionMeter>& record)> resetSuspicion;
        // processLevelEvents without a local player: updateSuspicion on the level manager's
        // own record with the frame time.
        std::function<void(SuspicionMeter& meter, irr::f32 seconds)> updateSuspicion;
        // ObjectiveObject::complete of an objective that reduces suspicion: reduceSuspicion.
        std::function<void(SuspicionMeter& meter, irr::f32 amount)> reduceSuspicion;
        // Whether the record is at 100: its value, or with `pending` its pendingValue (empty:
        // false).
        std::function<bool(const SuspicionMeter& meter, bool pending)> isSuspicionFull;
    } characters;

    struct Players {
        // A player object's suspicion record (its operation 133); empty or null: the level
        // manager's own record stands in.
        std::function<SuspicionMeter*(PlayerObject* player)> getSuspicionRecord;
    } players;

    struct Gui {
        // LoadingOverlay::draw: the cover for the overlay's mode, with its loading bar at the
        // overlay's progress (the meter material's currentMeterValue = the progress,
        // currentMeterAlpha = the cover's opacity).
        std::function<void(const LoadingOverlay& overlay)> drawLoadingOverlay;
        // A voice line with a subtitle starts: GUISubtitleManager::playSubtitle.
        std::function<void(irr::s32 subtitleID)> playSubtitle;
    } gui;

    struct Screens {
        // Level settings: GUIObjectiveCenter::setTaskIconAnimation with the level's task icons
        // (the default ones when it names none) and ScreenManager::loadSubtitles(SubtitleFile).
        std::function<void(const LevelSettings& settings)> applyLevelSettings;
        // loadLevel, before anything else: maintainWorkshopZip(path).
        std::function<void(const irr::io::path& levelPath)> maintainWorkshopZip;
        // After the title screen's background level has loaded: the workshop archives are
        // unmounted, the level list and the menus' preview scenes are loaded and the
        // autosave's level preview is shown, in this order.
        std::function<void()> titleLevelLoaded;
        // The level-title lookup: a user level's title, else the level list's (read first);
        // empty when neither knows the path.
        std::function<irr::core::stringw(const irr::io::path& levelPath)> getLevelTitle;
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
        // The pause menu holds the game: it is open and not being left (empty: false). The
        // level events queued before it wait, and so does the suspicion update.
        std::function<bool()> isGamePaused;
        // SoundObject::pause: ScreenManager::clearSubtitles when the sound is the voice line
        // whose subtitle the screens show.
        std::function<void(SoundObject* sound)> clearSubtitleOf;
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
