#pragma once

#include "characters/SuspicionMeter.h"
#include "core/Delegate.h"
#include "level/LevelFile.h"

#include <irrlicht.h>

#include <unordered_map>

class LevelInfo;
class SubLevelObject;

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
    // archive hook; the loading flag set and the physics frame counter reset; the
    // level-load-started list; the scene read through the factories (counted, with a
    // loading frame per object); the ID map rebuilt; the level settings applied; the
    // level-loaded list; after the title background level the level-list hooks; the
    // loading flag cleared. A file that cannot be read is logged, the scene is left as it
    // was and false is answered (the level-loaded list does not run).
    bool loadLevel(const irr::io::path& path);
    // The level named on the command line, else the title background level; a command-line
    // level that fails to load falls back to the background level. The initial-load flag
    // is set meanwhile.
    bool loadInitialLevel();
    // Empties the player list, clears the ID map and the scene, resets the suspicion meter
    // and the floor height, then runs the level-unloaded list.
    void unloadLevel();

    // Records the level named on the command line. A path that does not exist is logged and
    // ignored (the title screen and its background level come up); otherwise
    // `levelOnCommandLine` is set.
    bool setCommandLineLevel(const irr::io::path& path);
    const irr::io::path& getCommandLineLevel() const { return commandLineLevel; }

    // The current level's path and its last "/"-separated part; empty without a level.
    irr::core::stringw getCurrentLevelPath() const { return currentLevelPath; }
    irr::core::stringw getLevelName() const;

    // Writes the scene (or the subtree from `start`) to a level file (".irrblvl": binary).
    bool saveLevel(const irr::io::path& path, irr::scene::ISceneNode* start = nullptr);

    // Creates a sublevel with the ID and scene file under the scene root and registers its
    // IDs; null (logged) when the file cannot be read.
    SubLevelObject* setSubLevelActive(const irr::io::path& sceneFile, irr::s32 id);

    // --- per frame ---------------------------------------------------------------------------
    // The level update: one animate pass over the scene (every node animates once per
    // frame, however often the renderer draws).
    void update();
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
    irr::s32 PlayMode = 0; // 1 story run, 2 story menu, 3 shorts menu, 4 workshop menu
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

    // The level manager's own suspicion record, in use while no player object exists.
    SuspicionMeter suspicionMeter;

    // --- delegate lists ------------------------------------------------------------------------
    DelegateList onLevelLoadStarted; // a level starts loading, before its scene is read
    DelegateList onLevelLoaded;      // a level's scene has loaded and its settings applied
    DelegateList onLevelUnloaded;    // at the end of a level unload, after the scene is cleared
    DelegateList onEndOfUpdate;      // once per update, after the level update and the cameras
    DelegateList onCheckpointSave;   // while a checkpoint is saved
    DelegateList onQuit;             // the pause menu's Quit in demo mode

private:
    void noteLoadedNode(irr::scene::ISceneNode* node);
    void applyCurrentLevelSettings();

    irr::IrrlichtDevice* device;
    irr::scene::ISceneManager* sceneManager;
    SceneLoader loader;
    std::unordered_map<irr::s32, irr::scene::ISceneNode*> nodeIDs;
    irr::core::stringw currentLevelPath;
    irr::io::path commandLineLevel;
};
