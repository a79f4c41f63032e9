#include "level/LevelShellHooks.h"

#include "gui/GuiHooks.h"
#include "level/LevelManager.h"
#include "render/SpriteAnimation.h"
#include "level/SaveManager.h"
#include "level/SceneNodeFactory.h"
#include "level/SceneNodeTypes.h"
#include "level/SoundObject.h"
#include "player/PlayerHooks.h"

#include "core/FileUtils.h"
#include "core/Globals.h"
#include "core/Stopwatch.h"

void registerLevelShellHooks() {
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
    // The input code keeps the remapping file in the save manager's folder.
    playerHooks().saves.saveFolder = [] {
        return saveManager ? saveManager->getFolder() : saveFolderPath();
    };
}
