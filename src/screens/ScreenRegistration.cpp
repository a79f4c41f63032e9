#include "screens/ScreenRegistration.h"

#include "characters/CharacterServices.h"
#include "characters/SuspicionMeter.h"
#include "core/Globals.h"
#include "core/ImageGate.h"
#include "gui/GUIButton.h"
#include "gui/GUIDebugStats.h"
#include "gui/GUIElementFactory.h"
#include "gui/GUIOptionsList.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "gui/hud/GUIHud.h"
#include "gui/hud/GUINotification.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "gui/hud/GUISubtitleManager.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/SoundObject.h"
#include "player/PlayerHooks.h"
#include "screens/ScreenManager.h"
#include "screens/levels/LevelCatalogue.h"
#include "core/Utf8.h"
#include "screens/levels/WorkshopLevels.h"
#include "screens/menus/GUIMainScreen.h"
#include "screens/menus/GUIPauseScreen.h"
#include "screens/menus/GUISplashScreen.h"
#include "camera/CameraServices.h"
#include "physics/world/PhysicsHooks.h"
#include "render/RenderServices.h"
#include "triggers/TriggerServices.h"

#include <IrrlichtDevice.h>

#include <algorithm>
#include <optional>

using namespace irr;

namespace {

// A level that starts loading ends the cross-fade and, under the cover, shows the loading
// screen at once (before its files are read and its shaders built); an unloaded level takes
// the preview scenes with it.
void previewsLevelUnloaded() { forgetMenuPreviews(); }
void screensLevelLoadStarted() {
    if (!screenManager)
        return;
    screenManager->resetSubtitlesAndCutscene();
    screenManager->renderLoadingFrame(true);
}

// A notification found or made for a level's action, marked the level's: what its texts ask
// of the fonts is charged to the level's memory as it is built, measured and drawn.
template <typename Find>
GUINotification* levelsNotification(Find find) {
    const CGUITTFont::LevelText levelText;
    GUINotification* notification = screenManager ? find() : nullptr;
    if (notification)
        notification->setLevelsOwn(true);
    return notification;
}

// The options are open over the main menu: the calibration scene is their backdrop.
bool optionsBackdropWanted() {
    const auto* list = screenManager ? dynamic_cast<const GUIOptionsList*>(screenManager->getTopScreen()) : nullptr;
    return list && list->isOpenedFromMainMenu();
}

// A quality change loads the level behind the options again: their backdrop comes back
// with it (the title's background level is handled once its previews exist).
void optionsLevelLoaded() {
    if (optionsBackdropWanted())
        showCalibrationBackdrop();
}

} // namespace

void subscribeScreenLevelHandlers() {
    if (!screenManager || !levelManager)
        return;
    levelManager->onLevelUnloaded.addMember(screenManager, &ScreenManager::resetNotifications);
    levelManager->onLevelUnloaded.addFunction(&previewsLevelUnloaded);
    // After the scene and the notifications: nothing draws the level's glyphs any more.
    levelManager->onLevelUnloaded.addFunction(&releaseLevelFonts);
    levelManager->onLevelLoadStarted.addFunction(&screensLevelLoadStarted);
    levelManager->onLevelLoaded.addFunction(&optionsLevelLoaded);
}

namespace {

// The focused element of the top screen receives the input manager's menu actions; the
// multitouch device stands back while the cutscene overlay covers the game.
void fillPlayerSlots(PlayerHooks::Screens& screens) {
    screens.getTopScreenFocus = []() -> gui::IGUIElement* {
        return screenManager ? screenManager->getTopScreenFocus() : nullptr;
    };
    screens.activeScreenState = [] { return screenManager ? screenManager->getOverlayBlend() : 0.0f; };
}

} // namespace

// The level's sounds reach the subtitles.
void fillLevelGuiSlots(LevelHookTable::Gui& gui) {
    gui.playSubtitle = [](s32 id) {
        if (GUISubtitleManager* subtitles = screenManager ? screenManager->getSubtitleManager() : nullptr)
            subtitles->playSubtitle(id);
    };
}

// The level's settings reach the objective panel and the subtitles; the level events close
// every screen and open the main screen.
void fillLevelSlots(LevelHookTable::Screens& level) {
    level.applyLevelSettings = [](const LevelSettings& settings) {
        if (!screenManager)
            return;
        if (GUIObjectiveCenter* panel = screenManager->getObjectiveCenter()) {
            if (settings.TaskIconAnimation.empty()) {
                // The HUD's own icons, not the level's.
                const GamePicturesScope hudPictures;
                panel->setTaskIconAnimation(defaultTaskIconAnimation);
            } else {
                panel->setTaskIconAnimation(settings.TaskIconAnimation);
            }
        }
        screenManager->loadSubtitles(settings.SubtitleFile);
    };
    // The voice line whose subtitle is on screen takes it with it.
    level.clearSubtitleOf = [](SoundObject* sound) {
        GUISubtitleManager* subtitles = screenManager ? screenManager->getSubtitleManager() : nullptr;
        if (subtitles && sound && sound->HasSubtitle && subtitles->getCurrentId() != 0 &&
            sound->SubtitleID == subtitles->getCurrentId())
            screenManager->clearSubtitles();
    };
    level.dismissAllNotifications = [] {
        if (screenManager)
            screenManager->dismissAllNotifications();
    };
    level.closeAllScreens = [] {
        if (screenManager)
            screenManager->closeAllScreens();
    };
    level.openMainScreen = [](s32 playMode) {
        if (screenManager)
            screenManager->openMainScreen(playMode);
    };
    level.isGamePaused = [] { return screenManager && screenManager->isGamePaused(); };
    level.showSplash = [] {
        if (!screenManager)
            return;
        gui::IGUIEnvironment* environment = screenManager->getEnvironment();
        auto* splash = new GUISplashScreen(environment, environment->getRootGUIElement(), core::recti(0, 0, 100, 100));
        screenManager->pushScreen(splash);
        splash->drop();
    };
}

namespace {

// The level list and its preview scenes, the loading frames and the loading overlay's
// drawing, for the level manager, the shader builds and the cameras.
void fillLoadingSlots() {
    LevelHookTable& level = levelHooks();
    level.screens.maintainWorkshopZip = [](const io::path& path) {
        maintainWorkshopZip(core::stringw(fromUtf8(path.c_str()).c_str()));
    };
    level.screens.titleLevelLoaded = [] {
        unmountWorkshopArchives();
        loadLevelList();
        loadMenuPreviewScenes();
        if (optionsBackdropWanted())
            showCalibrationBackdrop();
        else
            showAutoSaveLevelPreview();
    };
    // A user level's own title first, else the level list's.
    level.screens.getLevelTitle = [](const io::path& path) {
        core::stringw title = getWorkshopLevelTitle(core::stringw(fromUtf8(path.c_str()).c_str()));
        if (!title.empty())
            return title;
        loadLevelList();
        return core::stringw(getLevelTitle(path.c_str()).c_str());
    };
    level.screens.renderLoadingFrame = [] {
        if (screenManager)
            screenManager->renderLoadingFrame();
    };
    level.gui.drawLoadingOverlay = ScreenManager::drawLoadingOverlay;
    renderServices().screens.renderLoadingFrame = level.screens.renderLoadingFrame;
}

// The title screen a layout names, and the backdrop of the menus opened over the main menu.
void fillMenuSlots(GuiMenuHooks& menus) {
    menus.createMainScreen = [](gui::IGUIEnvironment* environment, gui::IGUIElement* parent) -> gui::IGUIElement* {
        return new GUIMainScreen(environment, parent, -1, core::recti(0, 0, 100, 100));
    };
    menus.showCalibrationPreview = showCalibrationBackdrop;
}

// The HUD shows the current suspicion record and raises it when a splat lands.
void fillGuiSuspicionSlots(GuiSuspicionHooks& suspicion) {
    suspicion.shown = []() -> std::optional<ShownSuspicion> {
        const SuspicionMeter* meter = levelManager ? levelManager->getPlayerSuspicion(0) : nullptr;
        if (!meter)
            return std::nullopt;
        return ShownSuspicion{meter->value, meter->pendingValue, meter->drainValue, meter->watcherCount};
    };
    suspicion.addSplat = [](f32 amount) {
        SuspicionMeter* meter = levelManager ? levelManager->getPlayerSuspicion(0) : nullptr;
        if (!meter)
            return;
        meter->value = std::clamp(meter->value + amount, 0.0f, 100.0f);
        levelManager->levelRun.lastSuspicion = meter->value;
    };
}

// The widgets ask the screen stack they live on.
void fillGuiScreenSlots(GuiScreenHooks& screens) {
    screens.findScreenOf = [](const gui::IGUIElement* element) -> GUIScreen* {
        return screenManager ? screenManager->findScreenOf(element) : nullptr;
    };
    screens.topScreen = []() -> GUIScreen* { return screenManager ? screenManager->getTopScreen() : nullptr; };
    screens.topScreenFocus = []() -> GUIButton* { return screenManager ? screenManager->getTopScreenFocus() : nullptr; };
    screens.isInputAllowed = [] { return !screenManager || screenManager->isInputAllowed(); };
    screens.overscanMargin = [] { return screenManager ? screenManager->getOverscanMargin() : core::position2di(0, 0); };
    screens.overlayBlend = [] { return screenManager ? screenManager->getOverlayBlend() : 0.0f; };
    screens.hud = []() -> GUIHud* { return screenManager ? screenManager->getHud() : nullptr; };
    screens.pausePanel = []() -> std::optional<PausePanelSlide> {
        const GUIPauseScreen* pause = screenManager ? screenManager->getPauseScreen() : nullptr;
        if (!pause)
            return std::nullopt;
        const bool pageAbove = pause->isVisible() && screenManager->getTopScreen() != pause;
        return PausePanelSlide{pause->getDimAmount(), pause->getPanelWidth(), pageAbove};
    };
    screens.notificationQueueHead = []() -> GUINotification* {
        if (!screenManager || screenManager->getActiveNotifications().empty())
            return nullptr;
        return screenManager->getActiveNotifications().front();
    };
    screens.setCaptureInput = [](bool capture) {
        if (screenManager)
            screenManager->setCaptureInput(capture);
    };
    screens.capturedInput = [](ButtonMapping& out) {
        return screenManager && screenManager->getCapturedControllerState(out);
    };
}

} // namespace

// The screens answer the game objects below them: the cameras' crossfade, input gate,
// cutscene overlay and pause, the characters' paint splats and sight line, the triggers' pop-ups,
// objective panel, level timer and level list, the physics step's debug keys, and the world
// text's fonts.
void connectGameObjectsToScreens() {
    CameraServices::Screens& cameras = cameraServices().screens;
    cameras.startCrossfade = [] {
        if (screenManager)
            screenManager->captureCrossfade();
    };
    cameras.isInputAllowed = [] { return !screenManager || screenManager->isInputAllowed(); };
    cameras.cutsceneScreen = []() -> GUICutscene* { return screenManager ? screenManager->getCutsceneScreen() : nullptr; };
    cameras.overscan = [] { return screenManager && screenManager->Overscan; };

    physicsHooks().screens.handleDebugKeys = [] {
        if (screenManager)
            screenManager->handleDebugKeys();
    };
    physicsHooks().screens.catchUpUpdate = [] {
        if (!screenManager)
            return;
        screenManager->update();
        screenManager->handleDebugKeys();
    };

    // The world text builds its glyphs from the GUI's TrueType fonts.
    renderServices().fonts.addTrueTypeText = &addLevelTextGlyphs;

    CharacterServiceTable::Screens& characters = characterServices().screens;
    // Suspicion gains fly to the meter as paint splats.
    characters.addSplat = [](f32 amount, const core::vector3df& position) {
        GUIHud* hud = screenManager ? screenManager->getHud() : nullptr;
        if (!hud)
            return false;
        hud->addSplat(amount, position);
        return true;
    };
    characters.drawsGui = [] { return !screenManager || screenManager->DrawGUI; };
    characters.cutsceneBarsShown = [] { return screenManager && screenManager->getOverlayBlend() != 0.0f; };

    TriggerServiceTable::Screens& triggers = triggerServices().screens;
    triggers.isGameHeld = [] {
        return screenManager && !screenManager->isGameUpdateAllowed() && !screenManager->isInputAllowed();
    };
    triggers.objectiveCenter = []() -> GUIObjectiveCenter* {
        return screenManager ? screenManager->getObjectiveCenter() : nullptr;
    };
    triggers.setLevelTimerShown = [](bool shown) {
        if (screenManager)
            screenManager->ShowLevelTimer = shown;
    };
    triggers.notificationLayer = []() -> gui::IGUIElement* {
        return screenManager ? screenManager->getNotificationLayer() : nullptr;
    };
    triggers.notificationByName = [](const char* name) {
        return levelsNotification([&] { return screenManager->getNotificationByName(name); });
    };
    triggers.notificationByPath = [](const core::stringc& path) {
        return levelsNotification([&] { return screenManager->getNotificationByPath(path); });
    };
    triggers.showNotification = [](GUINotification* notification, f32 seconds) {
        if (screenManager)
            screenManager->showNotification(notification, seconds);
    };
    triggers.dismissNotification = [](const char* name, bool immediately) {
        if (screenManager)
            screenManager->dismissNotification(name, immediately);
    };
    triggers.isListedLevel = [](const core::stringc& path) { return isListedLevel(path); };
}

void fillGuiSlots(GuiHooks& hooks) {
    fillGuiScreenSlots(hooks.screens);
    fillMenuSlots(hooks.menus);
    fillGuiSuspicionSlots(hooks.suspicion);
}

void registerScreens() {
    fillGuiSlots(guiHooks());
    fillPlayerSlots(playerHooks().screens);
    fillLevelSlots(levelHooks().screens);
    fillLevelGuiSlots(levelHooks().gui);
    fillLoadingSlots();
    connectGameObjectsToScreens();
}
