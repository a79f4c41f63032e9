#pragma once

#include "core/Delegate.h"
#include "level/Achievements.h"
#include "level/LevelEvents.h"
#include "level/LevelFile.h"
#include "level/LevelRunRecord.h"
#include "level/LoadingOverlay.h"
#include "level/ObjectiveList.h"
#include "level/ResourceCaches.h"
#include "level/TieTable.h"

#include <irrlicht.h>

#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

class LevelInfo;
class ObjectiveObject;
class SubLevelObject;
struct SuspicionMeter;

// The level the program shows behind the title screen.
constexpr const char* titleBackgroundLevel = "Content/Levels/MainScreen_Background.irr";

// Owns the current level: loads and unloads it, keeps the map from object IDs to nodes,
// runs the level update (the scene's animate pass) and the debug keys, and tells the other
// subsystems through its delegate lists when a level starts loading, has loaded and has
// been unloaded. One instance, reached through the global `levelManager`; its creator sets
// and clears that pointer.
class LevelManager {
public:
    explicit LevelManager(irr::IrrlichtDevice* device);
    ~LevelManager();
    LevelManager(const LevelManager&) = delete;
    LevelManager& operator=(const LevelManager&) = delete;

    // Registers the level subsystem's types and starts with no level. True when the
    // manager has a scene to work on.
    bool init();

    // --- levels ---------------------------------------------------------------------------
    // Loads a level file (".irr" or ".irrblvl") into the scene. In order: the workshop
    // archive hook; the refusals forgotten and a fresh load budget (core/LoadBudget.h), kept
    // open to the end; the loading flag set and the physics frame counter reset; the
    // level-load-started list; the scene read through the factories (counted, with a
    // loading frame per object); the ID map rebuilt; the level settings applied; the
    // level-loaded list; after the title background level the level-list hooks; the
    // loading flag cleared. A file that cannot be read is logged, the scene is left as it
    // was and false is answered (the level-loaded list does not run).
    bool loadLevel(const irr::io::path& path);
    // The level named on the command line, else the title background level; a command-line
    // level that fails to load falls back to the background level. The initial-load flag
    // is set meanwhile. A command-line level loads under the full cover (the loading screen),
    // which then lifts as after a load from the menus.
    bool loadInitialLevel();
    // Empties the player list, clears the ID map and the scene, resets the suspicion meter
    // and the floor height, then runs the level-unloaded list. What the level read from
    // outside the game's content (pictures, meshes, sprite animations) is given back as the
    // next load begins, unless that load is the same level again (a restart, from its start
    // or a checkpoint): then it stays for it, read once.
    void unloadLevel();

    // Records the level named on the command line. A path that does not exist is logged and
    // ignored (the title screen and its background level come up); otherwise
    // `levelOnCommandLine` is set.
    bool setCommandLineLevel(const irr::io::path& path);
    const irr::io::path& getCommandLineLevel() const { return commandLineLevel; }

    // The current level's path and its last "/"-separated part; empty without a level.
    const irr::core::stringw& getCurrentLevelPath() const { return currentLevelPath; }
    irr::core::stringw getLevelName() const;
    // The title the menus show for a level path: a user level's own, else the level list's;
    // empty when neither knows the path.
    irr::core::stringw getLevelTitle(const irr::io::path& levelPath) const;

    // Writes the scene (or the subtree from `start`) to a level file (".irrblvl": binary).
    bool saveLevel(const irr::io::path& path, irr::scene::ISceneNode* start = nullptr);

    // --- level events (LevelEvents.cpp) ------------------------------------------------------
    // The queue runs one event at a time, front first: each frame the front event runs; once
    // it is done it leaves the queue, and the next starts with the next frame.
    //
    // Appends an event without any check (screens append unload and load events directly).
    // The queue owns it.
    void queueEvent(LevelEvent* event);
    // Appends a transition of the loading overlay (never refused): an intro (intro true)
    // covers the screen, an outro uncovers it after the hold. transitionType is the
    // overlay's mode (LoadingOverlay::TransitionType), speed in fade units per second;
    // playsWithLevel times it by the level's clock (TransitionEvent). Answers the event, to
    // be told apart in the queue (it is gone once it has run: never to be used).
    const LevelEvent* queueTransition(bool intro, irr::s32 transitionType, irr::f32 speed, irr::f32 hold,
                                      irr::s32 kind, bool playsWithLevel = false);
    // Queues a level change: a transition intro with the overlay's current mode, speed, hold
    // and kind; unload; clear checkpoint; clear menus (with clearMenus); load the path; the
    // outro with the same settings; and sets loadPending. A level that cannot be read then
    // sends the player back to the main menu. Refused, with "ERROR: Attempting
    // to queue a 2nd load level event", while a load or a return to the main menu is queued.
    bool queueLoadLevel(const irr::io::path& path, bool clearMenus);
    // Queues a load of the path between a transition intro and outro (the flag marks a load
    // a menu asked for; menuLoad is set until it has run).
    void queueLoadLevelEvent(const irr::io::path& path, bool menuLoadFlag);
    // Each queues its event unless one of its kind is queued; a refusal logs
    // "ERROR: Failed to queue additional level event: LET_<name>.".
    bool queueRestartFromCheckpoint();
    bool queueRestartLevel();
    bool queueClearCheckpoint();
    bool queueReturnToMainMenu();
    // A queued load (the given event, which stays) could not read its level: the events
    // queued behind it are dropped and a return to the main menu is queued.
    void returnAfterFailedLoad(const LevelEvent* failed);
    // Always queued.
    void queueClearMenus();
    void queueShowSplash();
    // Queues a checkpoint save at the checkpoint (a 'chck' node) unless one is queued; refused
    // while the current suspicion record's pendingValue is 100 or more (a lost level saves
    // nothing).
    bool queueSaveCheckpoint(irr::scene::ISceneNode* checkpoint);
    // Empties the queue (none of its events may be running): the player leaves the level
    // from the pause menu, and what the pause held back gives way to that.
    void dropQueuedEvents();
    // Whether an event of the type waits in the queue (the one given as `except` aside).
    bool isEventQueued(LevelEventType type, const LevelEvent* except = nullptr) const;
    const std::deque<std::unique_ptr<LevelEvent>>& getLevelEvents() const { return levelEvents; }

    // Per frame, before the input gate (nothing while the pause menu holds the game): the
    // front event, then (without a local player) the suspicion update of the own record, and
    // the game-over check: once the game-over timer (the frame time, clamped to 0..0.1 per
    // frame, since the level started) has passed 2 s, a full meter with no restart, load or
    // return to the menu queued counts a loss, plays the game-over effect, rumbles, and
    // queues a covered restart from the last checkpoint (or of the level when there is none).
    void processLevelEvents(irr::f32 frameSeconds);

    static constexpr irr::f32 gameOverDelay = 2.0f;
    static constexpr irr::f32 maxGameOverStep = 0.1f;
    static constexpr int gameOverEffect = 20;
    irr::f32 gameOverTimer = 0.0f;

    // The full-screen transition overlay.
    LoadingOverlay loadingOverlay;

    // What the events do.
    void loadLevelFromEvent(const irr::io::path& path);
    void restartLevel();
    // Reloads the checkpoint file of the current mode; the active checkpoint comes back with
    // it. Without a saved checkpoint the level restarts.
    void restartFromCheckpoint();
    void clearCheckpoint();
    // Logs "Return to Main Menu.", closes every screen, opens the main screen for the play
    // mode and resets the suspicion record.
    void returnToMainMenu();

    // --- checkpoints (LevelProgress.cpp) -----------------------------------------------------
    // Checkpoint files are not binary.
    static constexpr bool binarySaves = false;
    // The checkpoint file of a story run (true) or of free play, in the save folder.
    irr::io::path getCheckpointPath(bool story) const;
    // The checkpoint save: the checkpoint becomes the active one (IsActiveCheckpoint moves to
    // it), joins the checkpoint list, moves the player spawn point onto itself when it is
    // used as the spawn, the level is written (saveCheckpoint), and the save records an
    // autosave of this level for the current mode. The checkpoint's own settings are read and
    // written through the triggers subsystem's level slots.
    void saveCheckpointAt(irr::scene::ISceneNode* checkpoint);
    // Sets checkpointSaving, runs the checkpoint-save list, writes the checkpoint file of the
    // current mode, clears the flag. False when the file could not be written (the old one
    // is kept).
    bool saveCheckpoint();
    irr::scene::ISceneNode* activeCheckpoint = nullptr; // a 'chck' node
    // IDs of the checkpoints saved in this run of the level (the pause menu offers the
    // restart from a checkpoint while it is not empty).
    std::vector<irr::s32> checkpointList;

    // --- the level run (LevelProgress.cpp) ----------------------------------------------------
    // Times, losses and the last splat's suspicion of this run of the level.
    LevelRunRecord levelRun;
    // The level time counts, and is valid (else it shows as not available).
    bool countsStoryTime() const { return levelRun.countsStoryTime; }
    bool hasValidTime() const { return levelRun.validTime; }
    // Adds the played seconds to the level time (and the story time when it counts) while a
    // level other than the title background is loaded and the loading screen no longer
    // hides it: the player's time starts with the first frame the player sees.
    void advanceLevelTime(irr::f32 seconds);
    // Records the current level's time as its best in the save, once per level run.
    bool recordLevelLength();
    bool levelLengthRecorded = false;
    // Set when a level run starts; the End Level action clears it after the statistics
    // hand-over.
    bool statsPending = false;
    // The statistics hand-over (LogManager::submitLevelStats) to the save.
    void submitLevelStats(bool finishedGame);

    // The suspicion record of a player: the player object's, else the level manager's own
    // (null when there is neither).
    SuspicionMeter* getPlayerSuspicion(int index);

    // --- the level's tables ------------------------------------------------------------------
    TieTable tieTable;
    // Null when the game has none.
    std::unique_ptr<AchievementsData> achievements;
    ObjectiveList objectives;
    bool isCurrentObjective(const ObjectiveObject* objective) const;
    CharacterProfileCache profileCache;

    // Creates a sublevel with the ID and scene file under the scene root and registers its
    // IDs; null (logged) when the file cannot be read.
    SubLevelObject* setSubLevelActive(const irr::io::path& sceneFile, irr::s32 id);

    // --- per frame ---------------------------------------------------------------------------
    // The level's one clock. The shell sets, once a frame before the level events run, what
    // the frame simulates of the level: the physics steps it counted (at most ten, so a slow
    // frame plays less than its length), 0 while the game may not update (paused, a menu over
    // it). getPlaySeconds() is that, but 0 while the loading screen hides the level. The
    // level's time and its script's timers (event delays, minimum times, conditional windows,
    // action intervals and moves, cutscenes, the script's own transitions) all go on by it, so
    // that they keep in step at any frame rate.
    void setSimulatedSeconds(irr::f32 seconds) { simulatedSeconds = seconds; }
    irr::f32 getPlaySeconds() const;
    // The level update: one animate pass over the scene (every node animates once per
    // frame, however often the renderer draws); the level's time goes on by the play seconds.
    void update();
    // A frame has been drawn (the shell calls it after the scene ends). A level loaded under
    // the cover is drawn from its own camera once it has run its first level frames, in which
    // its triggers choose that camera: the cover's outro then goes on. A level that does not
    // run lets it go on after viewWaitFrameLimit drawn frames.
    void noteFrameDrawn();
    // The level frames of a level's start: its "Immediately" triggers act in the fourth.
    static constexpr irr::u32 levelStartFrames = 4;
    static constexpr irr::u32 viewWaitFrameLimit = 60;
    // The debug keys (see debugKey* below); also run between the physics catch-up steps.
    void updateDebugKeys();

    static constexpr irr::EKEY_CODE debugKeyToggleDebugMode = irr::KEY_F1;
    static constexpr irr::EKEY_CODE debugKeyPhysicsDrawing = irr::KEY_F2;
    static constexpr irr::EKEY_CODE debugKeySkipScenePass = irr::KEY_F3;
    static constexpr irr::EKEY_CODE debugKeyEditorRefresh = irr::KEY_F4;
    static constexpr irr::EKEY_CODE debugKeyDismissNotifications = irr::KEY_F6;

    // --- object IDs --------------------------------------------------------------------------
    // Enters the node and all its descendants (IDs 0 and -1 skipped; a later node with the
    // same ID replaces the earlier).
    void registerNodeIDs(irr::scene::ISceneNode* node);
    void clearNodeIDs() { nodeIDs.clear(); }
    // Empties the map and registers the whole scene again.
    void rebuildNodeIDs();
    // The node of the ID; null without a message for 0 and -1; for an ID nobody has, logs
    // "ERROR: Could not find SceneNode ID: " and the ID.
    irr::scene::ISceneNode* getSceneNodeFromID(irr::s32 id) const;
    bool holdsID(irr::s32 id) const { return nodeIDs.count(id) != 0; }
    // Gives the node the first ID at or above its own that the map does not hold and
    // rebuilds the map (the unique-ID service behind assignUniqueObjectID).
    void giveUniqueID(irr::scene::ISceneNode* node);
    // Drops the map's entry for the ID when it is this node (nodes going away).
    void forgetNode(irr::scene::ISceneNode* node, irr::s32 id);

    irr::scene::ISceneManager* getSceneManager() const { return sceneManager; }

    // --- state other subsystems read ---------------------------------------------------------
    // How the current level was started: a story run (New Game, Continue), from the story
    // menu, the shorts menu or the workshop's level select.
    static constexpr irr::s32 playModeStory = 1;
    static constexpr irr::s32 playModeStoryMenu = 2;
    static constexpr irr::s32 playModeShorts = 3;
    static constexpr irr::s32 playModeWorkshop = 4;
    irr::s32 PlayMode = 0;
    // The story run saves into the story group and checkpoint; every other mode into free
    // play's.
    bool isStoryRun() const { return PlayMode == playModeStory; }
    irr::core::stringw LevelAfterControlsDemo;
    LevelInfo* currentLevelInfo = nullptr; // the loaded level's information object

    bool levelLoading = false;      // from the start of a level load to its end
    bool checkpointSaving = false;  // while a checkpoint is written
    bool loadPending = false;       // while a level load is queued
    bool initialLoad = false;       // while loadInitialLevel runs
    bool menuLoad = false;          // a menu queued the load
    bool suspended = false;         // read by isGameplaySuspended
    bool touchInstanceFlag = false; // with the active screen, whether the touch device reports

    // The scene loader's counters: objects read so far and objects in the file.
    const SceneLoader& getLoader() const { return loader; }

    // The current level's shadow light (from its level settings).
    irr::core::vector3df shadowLightPosition;
    irr::core::vector3df shadowLightTarget;

    // The level manager's own suspicion record, in use while no player object exists: made
    // with the manager by the characters subsystem (null without it).
    std::shared_ptr<SuspicionMeter> suspicionMeter;

    // --- delegate lists ------------------------------------------------------------------------
    DelegateList onLevelLoadStarted; // a level starts loading, before its scene is read
    DelegateList onLevelLoaded;      // a level's scene has loaded and its settings applied
    DelegateList onLevelUnloaded;    // at the end of a level unload, after the scene is cleared
    DelegateList onEndOfUpdate;      // once per update, after the level update and the cameras
    DelegateList onCheckpointSave;   // while a checkpoint is saved
    DelegateList onQuit;             // the pause menu's Quit in demo mode

private:
    // The intro before a queued load, with the overlay's current mode, speed, hold and kind:
    // the loading screen comes up as it covers the screen.
    void queueLoadCover();
    void noteLoadedNode(irr::scene::ISceneNode* node);
    void applyCurrentLevelSettings();
    // The tie table, the achievements and the objective collection file of the language.
    void loadTables();
    // The current language's copy of a file under Content/Language/English/.
    std::string languageFile(const char* englishPath) const;
    bool queueUnlessQueued(LevelEvent* event);
    void updateSuspicionAndGameOver(irr::f32 frameSeconds);
    void startGameOver();
    bool writeCheckpointFile(const irr::io::path& path);
    // 1 for the story checkpoint file, 0 for free play's, -1 for any other path.
    int checkpointModeOf(const irr::io::path& path) const;
    // A level has loaded: its run starts (or, restored from a checkpoint, goes on).
    void beginLevelRun(const irr::io::path& loadedPath);
    // A load begins: what the levels unloaded before it read is set aside (see unloadLevel);
    // once the load ends, what the new level took back stays and the rest goes.
    void giveBackUnloadedLevels(const irr::io::path& nextLevel);
    void finishGivingBack();
    bool isTimedLevel() const;

    irr::IrrlichtDevice* device;
    irr::scene::ISceneManager* sceneManager;
    SceneLoader loader;
    std::unordered_map<irr::s32, irr::scene::ISceneNode*> nodeIDs;
    irr::core::stringw currentLevelPath;
    irr::io::path commandLineLevel;
    std::deque<std::unique_ptr<LevelEvent>> levelEvents;
    bool restoringCheckpoint = false;
    // A level was unloaded since the last load began, and which (empty: none was loaded).
    bool levelUnloaded = false;
    // What the levels unloaded read is set aside until the load under way ends.
    bool givingBack = false;
    irr::core::stringw unloadedLevelPath;
    // Level updates since the current level began loading, and drawn frames the cover has
    // waited for its view.
    irr::u32 levelFramesSinceLoad = 0;
    irr::u32 framesAwaitingView = 0;
    irr::f32 simulatedSeconds = 0.0f;
};

// The current level manager's play seconds of this frame (LevelManager::getPlaySeconds); 0
// without a level manager.
irr::f32 levelPlaySeconds();
