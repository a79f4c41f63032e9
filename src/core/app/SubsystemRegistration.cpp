#include "core/app/SubsystemRegistration.h"

#include "camera/CameraRegistration.h"
#include "camera/CameraServices.h"
#include "characters/CharacterServices.h"
#include "characters/CharacterRegistration.h"
#include "core/CoreSlots.h"
#include "core/FileChecks.h"
#include "core/Globals.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "level/SoundObject.h"
#include "physics/world/PhysicsHooks.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsRegistration.h"
#include "player/InputRegistration.h"
#include "player/PlayerHooks.h"
#include "render/RenderRegistration.h"
#include "render/RenderServices.h"
#include "screens/ScreenManager.h"
#include "screens/ScreenRegistration.h"
#include "triggers/TriggerRegistration.h"
#include "triggers/TriggerServices.h"
#include "triggers/actions/TriggerActionRegistration.h"

void fillCoreSlots() {
    CoreSlots& slots = coreSlots();
    slots.physics.isSimulationActive = [] {
        return physicsManager && physicsManager->isSimulationActive();
    };

    CoreSlots::Screens& screens = slots.screens;
    screens.isInputAllowed = [] { return !screenManager || screenManager->isInputAllowed(); };
    screens.isGameUpdateAllowed = [] {
        return !screenManager || screenManager->isGameUpdateAllowed();
    };
    screens.topScreenKeepsTimerRunning = [] {
        return screenManager && screenManager->topScreenKeepsTimerRunning();
    };
    screens.overlayBlend = [] { return screenManager ? screenManager->getOverlayBlend() : 0.0f; };
    screens.isStackActive = [] { return screenManager && screenManager->isStackActive(); };
    screens.isPauseScreenVisible = [] {
        return screenManager && screenManager->isPauseScreenVisible();
    };

    CoreSlots::Level& level = slots.level;
    level.isSuspended = [] { return levelManager && levelManager->suspended; };
    level.isLevelLoading = [] { return levelManager && levelManager->levelLoading; };
    level.isLoadingOverlayBusy = [] {
        return levelManager && levelManager->loadingOverlay.isBusy();
    };
    level.loadingOverlayTransitionKind = [] {
        return levelManager ? levelManager->loadingOverlay.kind : 0;
    };
    level.loadingOverlayFadeValue = [] {
        return levelManager ? levelManager->loadingOverlay.fadeValue : 0.0f;
    };
    level.pauseSoundObject = [](SoundObject* sound, bool paused) {
        if (paused)
            sound->pause();
        else
            sound->resume();
    };
    level.releaseSoundObjectAudio = forgetAllSoundObjectAudio;

    slots.fonts.getCachedFont = [](const irr::io::path& path,
                                   irr::s32 size) -> irr::gui::IGUIFont* {
        return getCachedFont(path, size);
    };
}

void registerGameSubsystems() {
    fillCoreSlots();
    registerInputSubsystem();
    registerScreens();
    registerPhysicsSubsystem();
    registerRenderSubsystem();
    registerCharacters();
    // Before the level manager starts: its stand-in checkpoint yields to the trigger one.
    registerTriggerSubsystem();
    registerTriggerActions();
    registerCameraSubsystem();
}

void resetGameSubsystemSlots() {
    // A user level's confinement of reads ends with the game that played it.
    confineReadsToFolders({});
    resetCoreSlots();
    resetLevelHooks();
    resetPlayerHooks();
    resetGuiHooks();
    resetRenderServices();
    resetPhysicsHooks();
    resetCameraServices();
    resetCharacterServices();
    resetTriggerServices();
}
