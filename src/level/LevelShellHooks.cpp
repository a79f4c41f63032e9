#include "level/LevelShellHooks.h"

#include "level/LevelManager.h"
#include "level/ResourceCaches.h"
#include "level/SaveManager.h"
#include "level/SceneNodeFactory.h"
#include "level/SceneNodeTypes.h"
#include "level/SoundObject.h"
#include "player/PlayerHooks.h"

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
    // The input code keeps the remapping file in the save manager's folder.
    playerHooks().saves.saveFolder = [] {
        return saveManager ? saveManager->getFolder() : saveFolderPath();
    };
    level.registerSceneNodeFactory = [](irr::scene::ISceneManager* manager) {
        registerSceneNodeFactory(manager);
    };
}
