#include "level/LevelShellHooks.h"

#include "level/LevelManager.h"
#include "level/SceneNodeFactory.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"

void registerLevelShellHooks() {
    LevelHooks& level = shellHooks().level;
    level.create = [](irr::IrrlichtDevice* device) { return new LevelManager(device); };
    level.init = [] { levelManager->init(); };
    // The frame update's step before the input gate: the debug keys run here, whether or not
    // a screen holds input back; the queued level events join them when they arrive.
    level.processLevelEvents = [] { levelManager->updateDebugKeys(); };
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
    level.registerSceneNodeFactory = [](irr::scene::ISceneManager* manager) {
        registerSceneNodeFactory(manager);
    };
}
