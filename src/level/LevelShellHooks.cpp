#include "level/LevelShellHooks.h"

#include "gui/GuiHooks.h"
#include "level/LevelManager.h"
#include "level/ResourceCaches.h"
#include "level/SaveManager.h"
#include "level/SceneNodeFactory.h"
#include "level/SceneNodeTypes.h"
#include "level/SoundObject.h"

#include "core/FileUtils.h"
#include "core/Globals.h"
#include "core/ShellHooks.h"
#include "core/Stopwatch.h"

void registerLevelShellHooks() {
    LevelHooks& level = shellHooks().level;
    level.create = [](irr::IrrlichtDevice* device) { return new LevelManager(device); };
    level.init = [] { levelManager->init(); };
    // The frame update's step before the input gate, whether or not a screen holds input
    // back: the debug keys, then the queued level events and the game-over check.
    level.processLevelEvents = [] {
        levelManager->updateDebugKeys();
        levelManager->processLevelEvents(frameStopwatch ? frameStopwatch->delta() : 0.0f);
    };
    level.update = [] { levelManager->update(); };
    level.runEndOfUpdateList = [] { levelManager->onEndOfUpdate.invoke(); };
    level.loadInitialLevel = [](const irr::io::path& commandLineLevel) {
        if (!commandLineLevel.empty())
            levelManager->setCommandLineLevel(commandLineLevel);
        levelManager->loadInitialLevel();
    };
    level.unloadAndDestroy = [] {
        levelManager->unloadLevel();
        delete levelManager;
    };
    level.isSuspended = [] { return levelManager->suspended; };
    level.isLevelLoading = [] { return levelManager->levelLoading; };
    level.isLoadingOverlayBusy = [] { return levelManager->loadingOverlay.isBusy(); };
    level.loadingOverlayTransitionKind = [] { return levelManager->loadingOverlay.kind; };
    level.loadingOverlayFadeValue = [] { return levelManager->loadingOverlay.fadeValue; };
    level.createSaveManager = [] { createSaveManager(gameDevice ? gameDevice->getFileSystem() : nullptr); };
    level.destroySaveManager = [] { destroySaveManager(); };
    level.pauseSoundObject = [](SoundObject* sound, bool paused) {
        if (paused)
            sound->pause();
        else
            sound->resume();
    };
    level.releaseSoundObjectAudio = [] { forgetAllSoundObjectAudio(); };
    // The screens queue transitions, clear the menus and return to the main menu; the GUI's
    // images take their sprite animations from the cache.
    GuiHooks& gui = guiHooks();
    gui.level.queueTransition = [](bool cover, irr::s32 mode, irr::s32 viewId, irr::f32 seconds,
                                   irr::s32 extra) {
        if (levelManager)
            levelManager->queueEvent(TransitionEvent::overDuration(cover, mode, viewId, seconds, extra));
    };
    gui.level.queueClearMenus = [] {
        if (levelManager)
            levelManager->queueClearMenus();
    };
    gui.level.queueReturnToMainMenu = [] {
        if (levelManager)
            levelManager->queueReturnToMainMenu();
    };
    // The pause menu's restarts and quit.
    gui.level.queueFadeTransition = [](bool intro, irr::s32 mode, irr::f32 speed, irr::f32 hold, irr::s32 kind) {
        if (levelManager)
            levelManager->queueTransition(intro, mode, speed, hold, kind);
    };
    gui.level.queueRestartFromCheckpoint = [] {
        if (levelManager)
            levelManager->queueRestartFromCheckpoint();
    };
    gui.level.queueRestartLevel = [] {
        if (levelManager)
            levelManager->queueRestartLevel();
    };
    gui.level.queueClearCheckpoint = [] {
        if (levelManager)
            levelManager->queueClearCheckpoint();
    };
    gui.level.hasCheckpoints = [] { return levelManager && !levelManager->checkpointList.empty(); };
    gui.level.isStoryRun = [] { return levelManager && levelManager->isStoryRun(); };
    gui.level.clearFreeplaySave = [] {
        if (saveManager)
            if (irr::io::IAttributes* group = saveManager->getGroup(SaveManager::Freeplay))
                group->clear();
    };
    gui.level.stopLevelSounds = [] {
        if (!gameDevice || !gameDevice->getSceneManager())
            return;
        irr::core::array<irr::scene::ISceneNode*> sounds;
        irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
        scene->getSceneNodesFromType(typeId("sond"), sounds);
        for (irr::u32 i = 0; i < sounds.size(); ++i)
            static_cast<SoundObject*>(sounds[i])->stop();
    };
    gui.level.demoQuit = [] {
        if (!levelManager)
            return;
        levelManager->onQuit.invoke();
        levelManager->checkpointList.clear();
    };
    gui.level.currentSuspicion = []() -> SuspicionMeter* {
        return levelManager ? levelManager->getPlayerSuspicion(0) : nullptr;
    };
    gui.level.setLastSuspicion = [](irr::f32 value) {
        if (levelManager)
            levelManager->levelRun.lastSuspicion = value;
    };
    gui.level.uncoverLoadingOverlay = [] {
        if (levelManager)
            levelManager->loadingOverlay.fadeValue = 0.0f;
    };
    gui.render.getSpriteAnimation = [](SpriteAnimation& animation, const irr::io::path& file) {
        getSpriteAnimation(animation, file);
    };
    level.registerSceneNodeFactory = [](irr::scene::ISceneManager* manager) {
        registerSceneNodeFactory(manager);
    };
}
