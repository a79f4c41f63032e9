#include "level/LevelManager.h"

#include "core/FileChecks.h"
#include "core/ImageGate.h"
#include "core/LoadBudget.h"
#include "core/Log.h"
#include "level/LevelHooks.h"
#include "level/MeshGate.h"
#include "level/LevelInfo.h"
#include "level/ResourceCaches.h"
#include "level/NodeHelpers.h"
#include "level/SaveManager.h"
#include "level/SceneNodeBase.h"
#include "level/SceneNodeFactory.h"
#include "level/SubLevelObject.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/LanguageManager.h"
#include "core/LogManager.h"
#include "core/ProcessGuards.h"
#include "core/RepeatedLog.h"
#include "core/Stopwatch.h"
#include "core/Utf8.h"

#include <IVideoDriver.h>

#include <climits>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace irr;

namespace {
// The engine's own fog settings, which a scene file writes when it names no fog of its own.
void resetToEngineFog(video::IVideoDriver* driver) {
    if (driver)
        driver->setFog(video::SColor(0, 255, 255, 255), video::EFT_FOG_LINEAR, 50.0f, 100.0f, 0.01f, false, false);
}
} // namespace

void forgetNodeID(scene::ISceneNode* node, s32 id) {
    if (levelManager)
        levelManager->forgetNode(node, id);
}

LevelManager::LevelManager(IrrlichtDevice* device)
    : device(device), sceneManager(device ? device->getSceneManager() : nullptr),
      loader(sceneManager) {
    // No level update has run for this manager yet (a restart in the same process starts
    // as the program does).
    levelAnimateFrame = 0;
    // The own suspicion record is the characters subsystem's to make.
    if (const auto& makeRecord = levelHooks().characters.resetSuspicion)
        makeRecord(suspicionMeter);
}

LevelManager::~LevelManager() {
    levelAnimateFrame = 0;
    // The cached animations point at textures of the engine device, which closes after us.
    clearSpriteAnimationCache();
    if (logManager)
        logManager->clearLevelStatsHook();
    if (levelManager == this)
        levelManager = nullptr;
}

bool LevelManager::init() {
    registerLevelObjectTypes();
    // Levels are content players share: what they name is checked before it is read.
    if (device) {
        installFileGuard(device->getFileSystem());
        registerImageGate(device->getVideoDriver(), device->getFileSystem());
    }
    registerMeshGate(sceneManager);
    levelFloorHeight = defaultLevelFloorHeight;
    // The statistics of a finished level go to the save.
    if (logManager)
        logManager->setLevelStatsHook(Delegate::member(this, &LevelManager::submitLevelStats));
    loadTables();
    return sceneManager != nullptr;
}

void LevelManager::loadTables() {
    io::IFileSystem* fileSystem = device ? device->getFileSystem() : nullptr;
    if (!fileSystem)
        return;
    tieTable.load(fileSystem);
    // The level manager starts before the languages: achievements come in English.
    achievements = std::make_unique<AchievementsData>();
    if (!achievements->load(fileSystem, languageFile(AchievementsData::defaultFile)))
        achievements.reset();
}

std::string LevelManager::languageFile(const char* englishPath) const {
    return languageManager ? std::string(languageManager->getLocalizedPath(englishPath).c_str())
                           : std::string(englishPath);
}

// --- levels -----------------------------------------------------------------------------------

bool LevelManager::loadLevel(const io::path& path) {
    LevelHookTable& hooks = levelHooks();
    giveBackUnloadedLevels(path);
    // However the load ends, what the level before read and this one did not take goes.
    struct FinishGivingBack {
        LevelManager* manager;
        ~FinishGivingBack() { manager->finishGivingBack(); }
    } givingBackEnds{this};
    if (hooks.screens.maintainWorkshopZip)
        hooks.screens.maintainWorkshopZip(path);

    // Each level load reports each refused file, and each repeated line, afresh; the load has a budget of its own.
    forgetFileRefusals();
    if (device) {
        forgetPicturesLeftOut(device->getVideoDriver());
        forgetMeshesLeftOut(device->getSceneManager());
    }
    logMessagePair("Loading level: ", path.c_str());
    LoadBudgetScope loading(path.c_str(), true);
    levelLoading = true;
    levelFramesSinceLoad = 0;
    framesAwaitingView = 0;
    // Under the full cover the loading screen comes up before anything of the level is read.
    loadingOverlay.beginLoad();
    if (hooks.physics.resetFrameCounter)
        hooks.physics.resetFrameCounter();
    onLevelLoadStarted.invoke();

    currentLevelInfo = nullptr;
    levelFloorHeight = defaultLevelFloorHeight;
    currentLevelPath = fromUtf8(path.c_str()).c_str();
    // The engine keeps its fog from scene to scene: a level that names no fog of its own is
    // drawn without the fog of the level before it.
    if (sceneManager)
        resetToEngineFog(sceneManager->getVideoDriver());
    const bool loaded =
        sceneManager && loader.load(path, nullptr, [this](scene::ISceneNode* node) { noteLoadedNode(node); });
    if (!loaded && !gameQuitting()) {
        logMessagePair("ERROR: Could not load level: ", path.c_str());
        currentLevelPath = L"";
        levelLoading = false;
        return false;
    }
    if (gameQuitting()) {
        // What was built goes at once: its object IDs were never taken in, and the frame that
        // still runs would animate it, whose objects would look up the others and miss them.
        logMessagePair("Loading stopped, the game is quitting: ", path.c_str());
        unloadLevel();
        levelLoading = false;
        return false;
    }
    rebuildNodeIDs();
    applyCurrentLevelSettings();
    beginLevelRun(path);
    onLevelLoaded.invoke();

    if (path.equals_ignore_case(titleBackgroundLevel) && hooks.screens.titleLevelLoaded)
        hooks.screens.titleLevelLoaded();
    levelLoading = false;
    return true;
}

void LevelManager::noteLoadedNode(scene::ISceneNode* node) {
    // The loading bar follows the objects read.
    loadingOverlay.progress = loader.objectsTotal > 0
                                  ? static_cast<f32>(loader.objectsRead) / static_cast<f32>(loader.objectsTotal)
                                  : 0.0f;
    // The level's own information object, not one inside a sublevel.
    if (!currentLevelInfo && node->getType() == typeId("lvli") && !findSublevelAncestor(node))
        currentLevelInfo = static_cast<LevelInfo*>(node);
}

void LevelManager::applyCurrentLevelSettings() {
    static const LevelSettings defaults;
    const LevelSettings& settings = currentLevelInfo ? currentLevelInfo->settings : defaults;
    shadowLightPosition = settings.ShadowLightPosition;
    shadowLightTarget = settings.ShadowLightTarget;
    applyLevelSettings(settings, currentLevelInfo);
}

bool LevelManager::loadInitialLevel() {
    initialLoad = true;
    bool loaded = false;
    if (!commandLineLevel.empty()) {
        // It comes in as a level chosen in the menus does: it loads under the loading screen,
        // and the cover lifts once its own camera has drawn it.
        loadingOverlay.mode = LoadingOverlay::FadeToBlack;
        loadingOverlay.kind = 2;
        loadingOverlay.fadeValue = 1.0f;
        loadingOverlay.introRunning = true;
        loaded = loadLevel(commandLineLevel);
        if (loaded)
            queueTransition(false, LoadingOverlay::FadeToBlack, loadingOverlay.fadeSpeed, loadingOverlay.hold, 2);
        else
            loadingOverlay = LoadingOverlay{}; // the title comes in uncovered
        if (!loaded && !gameQuitting())
            logMessagePair("ERROR: Could not load the level named on the command line, loading the "
                           "title level: ",
                           commandLineLevel.c_str());
    }
    if (!loaded && !gameQuitting())
        loaded = loadLevel(titleBackgroundLevel);
    initialLoad = false;
    return loaded;
}

void LevelManager::unloadLevel() {
    clearPlayers();
    clearNodeIDs();
    currentLevelInfo = nullptr;
    // The checkpoint node goes with the scene; a restart from the checkpoint finds it again
    // in the checkpoint file.
    activeCheckpoint = nullptr;
    objectives.clear();
    if (sceneManager)
        sceneManager->clear();
    if (suspicionMeter && levelHooks().characters.resetSuspicion)
        levelHooks().characters.resetSuspicion(suspicionMeter);
    levelFloorHeight = defaultLevelFloorHeight;
    levelUnloaded = true;
    unloadedLevelPath = currentLevelPath;
    currentLevelPath = L"";
    onLevelUnloaded.invoke();
    // The level is over: what it changed in the save is written now, not a second later.
    if (saveManager)
        saveManager->writeRequested();
    // The level's repeated lines say how often they came.
    endRepeatedLogRound();
}

void LevelManager::giveBackUnloadedLevels(const io::path& nextLevel) {
    if (!levelUnloaded)
        return;
    levelUnloaded = false;
    // One file however it is named (the command line's level by its full path, the level's
    // own end by its name).
    io::IFileSystem* files = device ? device->getFileSystem() : nullptr;
    const auto fullPath = [files](const io::path& path) { return files ? files->getAbsolutePath(path) : path; };
    const bool sameLevel = !unloadedLevelPath.empty() &&
                           fullPath(toUtf8(unloadedLevelPath.c_str()).c_str()) == fullPath(nextLevel);
    if (sameLevel || restoringCheckpoint)
        return;
    // The animations first: they hold their pictures. Then the meshes, whose materials hold
    // pictures too: a picture stays while a mesh left in the cache draws with it. What is set
    // aside the new level may take back as it loads, unread.
    forgetLevelSpriteAnimations();
    setLevelMeshesAside(sceneManager);
    if (device)
        setLevelPicturesAside(device->getVideoDriver(), sceneManager);
    givingBack = true;
}

void LevelManager::finishGivingBack() {
    if (!givingBack)
        return;
    givingBack = false;
    // The meshes first: a picture a mesh taken back draws with is taken back with it.
    releaseMeshesSetAside(sceneManager);
    if (device)
        releasePicturesSetAside(device->getVideoDriver(), sceneManager);
#if defined(__GLIBC__)
    // A mesh's arrays lie in the middle of the heap, under smaller things kept: the C library
    // keeps their pages for itself unless asked to give them back.
    malloc_trim(0);
#endif
}

bool LevelManager::setCommandLineLevel(const io::path& path) {
    io::IFileSystem* fileSystem = device ? device->getFileSystem() : nullptr;
    if (path.empty() || !fileSystem || !fileSystem->existFile(path)) {
        logMessagePair("ERROR: The level named on the command line does not exist: ", path.c_str());
        commandLineLevel = "";
        levelOnCommandLine = false;
        return false;
    }
    commandLineLevel = path;
    levelOnCommandLine = true;
    return true;
}

core::stringw LevelManager::getLevelName() const {
    const s32 slash = currentLevelPath.findLast(L'/');
    if (slash < 0)
        return currentLevelPath;
    return currentLevelPath.subString(static_cast<u32>(slash + 1),
                                      currentLevelPath.size() - slash - 1);
}

core::stringw LevelManager::getLevelTitle(const io::path& levelPath) const {
    const auto& lookUp = levelHooks().screens.getLevelTitle;
    return lookUp ? lookUp(levelPath) : core::stringw();
}

bool LevelManager::saveLevel(const io::path& path, scene::ISceneNode* start) {
    return saveLevelFile(sceneManager, path, start);
}

SubLevelObject* LevelManager::setSubLevelActive(const io::path& sceneFile, s32 id) {
    if (!sceneManager)
        return nullptr;
    auto* sublevel = new SubLevelObject(sceneManager->getRootSceneNode(), sceneManager, id);
    sublevel->drop();
    sublevel->setSubLevelFileName(sceneFile);
    if (!sublevel->load()) {
        sublevel->remove();
        return nullptr;
    }
    registerNodeIDs(sublevel);
    return sublevel;
}

// --- per frame ------------------------------------------------------------------------------

f32 LevelManager::getPlaySeconds() const {
    // The player's time and the script's timers start together, with the first frame the
    // player sees of the level.
    return loadingOverlay.showsLoadingScreen() ? 0.0f : simulatedSeconds;
}

f32 levelPlaySeconds() { return levelManager ? levelManager->getPlaySeconds() : 0.0f; }

void LevelManager::update() {
    if (!sceneManager)
        return;
    // 0 means "no level update yet"; the counter never returns to it.
    if (++levelAnimateFrame == 0)
        levelAnimateFrame = 1;
    if (levelFramesSinceLoad < levelStartFrames)
        ++levelFramesSinceLoad;
    const u32 now = (device && device->getTimer()) ? device->getTimer()->getTime() : 0;
    advanceLevelTime(getPlaySeconds());
    objectives.tick(frameStopwatch ? frameStopwatch->delta() : 0.0f);
    sceneManager->getRootSceneNode()->OnAnimate(now);
}

void LevelManager::noteFrameDrawn() {
    if (!loadingOverlay.awaitingView || levelLoading)
        return;
    if (levelFramesSinceLoad >= levelStartFrames || ++framesAwaitingView >= viewWaitFrameLimit)
        loadingOverlay.awaitingView = false;
}

void LevelManager::updateDebugKeys() {
    LevelHookTable& hooks = levelHooks();
    if (!hooks.input.wasKeyPressed)
        return;
    auto pressed = [&hooks](EKEY_CODE key) { return hooks.input.wasKeyPressed(key); };
    if (pressed(debugKeyToggleDebugMode))
        debugMode = !debugMode;
    if (pressed(debugKeyPhysicsDrawing)) {
        const bool inputAllowed = screensAllowInput();
        if (inputAllowed && hooks.physics.toggleDebugVisualization)
            hooks.physics.toggleDebugVisualization();
    }
    if (pressed(debugKeySkipScenePass) && hooks.render.skipNextScenePass)
        hooks.render.skipNextScenePass();
    if (pressed(debugKeyEditorRefresh) && hooks.render.requestEditorRefresh)
        hooks.render.requestEditorRefresh();
    if (pressed(debugKeyDismissNotifications) && hooks.screens.dismissAllNotifications)
        hooks.screens.dismissAllNotifications();
}

// --- object IDs ---------------------------------------------------------------------------------

void LevelManager::registerNodeIDs(scene::ISceneNode* node) {
    if (!node)
        return;
    const s32 id = node->getID();
    if (id != 0 && id != -1)
        nodeIDs[id] = node;
    for (scene::ISceneNode* child : node->getChildren())
        registerNodeIDs(child);
}

void LevelManager::rebuildNodeIDs() {
    nodeIDs.clear();
    if (sceneManager)
        registerNodeIDs(sceneManager->getRootSceneNode());
}

scene::ISceneNode* LevelManager::getSceneNodeFromID(s32 id) const {
    if (id == 0 || id == -1)
        return nullptr;
    auto it = nodeIDs.find(id);
    if (it != nodeIDs.end())
        return it->second;
    // Asked each frame by an animator or a character whose object is missing: counted.
    logRepeatablef("ERROR: Could not find SceneNode ID: %d", id);
    return nullptr;
}

void LevelManager::giveUniqueID(scene::ISceneNode* node) {
    if (!node)
        return;
    s32 id = node->getID();
    while (holdsID(id) || id == 0 || id == -1) {
        if (id == INT_MAX)
            return; // nothing free above; leave the node as it is
        ++id;
    }
    node->setID(id);
    rebuildNodeIDs();
}

void LevelManager::forgetNode(scene::ISceneNode* node, s32 id) {
    auto it = nodeIDs.find(id);
    if (it != nodeIDs.end() && it->second == node)
        nodeIDs.erase(it);
}
