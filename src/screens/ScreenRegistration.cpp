#include "screens/ScreenRegistration.h"

#include "characters/SuspicionHooks.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/ProgramQueries.h"
#include "core/SoundManager.h"
#include "gui/GUIButton.h"
#include "gui/GUIDebugStats.h"
#include "gui/GUIElementFactory.h"
#include "gui/GUIMenuItem.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "gui/hud/GUIHud.h"
#include "gui/hud/GUINotification.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "gui/hud/GUISubtitleManager.h"
#include "level/LevelEvents.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/SoundObject.h"
#include "player/InputDevice.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/PlayerHooks.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/MouseDevice.h"
#include "screens/ScreenManager.h"
#include "screens/levels/LevelCatalogue.h"
#include "core/Utf8.h"
#include "screens/levels/WorkshopLevels.h"
#include "screens/menus/GUIControlOptionsScreen.h"
#include "screens/menus/GUIMainScreen.h"
#include "screens/menus/GUIPlayScreen.h"
#include "screens/menus/GUISplashScreen.h"
#include "camera/CameraServices.h"
#include "render/RenderServices.h"

#include <IrrlichtDevice.h>

using namespace irr;

namespace {

// A level that starts loading ends the cross-fade; an unloaded level takes the preview
// scenes with it.
void previewsLevelUnloaded() { forgetMenuPreviews(); }
void screensLevelLoadStarted() {
    if (screenManager)
        screenManager->resetSubtitlesAndCutscene();
}

} // namespace

void subscribeScreenLevelHandlers() {
    if (!screenManager || !levelManager)
        return;
    levelManager->onLevelUnloaded.addMember(screenManager, &ScreenManager::resetNotifications);
    levelManager->onLevelUnloaded.addFunction(&previewsLevelUnloaded);
    levelManager->onLevelLoadStarted.addFunction(&screensLevelLoadStarted);
}

namespace {

void fillGuiSlots(GuiHooks& hooks) {
    hooks.sound.playEffect = [](s32 id) {
        if (soundManager)
            soundManager->playEffect(id);
    };
    hooks.sound.setAllPaused = [](bool paused) {
        if (soundManager)
            soundManager->setAllPaused(paused);
    };
    hooks.language.getText = [](s32 id) {
        if (languageManager)
            return languageManager->getText(id);
        core::stringw placeholder(L"#");
        placeholder += id;
        return placeholder;
    };
    hooks.language.getFont = [](s32 role) -> gui::IGUIFont* {
        return languageManager ? languageManager->getFont(role) : nullptr;
    };
    hooks.language.languageChanged = []() -> DelegateList* {
        return languageManager ? &languageManager->languageChanged : nullptr;
    };
    hooks.level.isLevelLoading = [] { return levelManager && levelManager->levelLoading; };
    hooks.level.isLoadingOverlayBusy = [] { return levelManager && levelManager->loadingOverlay.isBusy(); };
    hooks.level.isLoadingOverlayOpaque = [] { return isLoadingOverlayOpaque(); };
    hooks.level.isGameplaySuspendedOrLoading = [] { return isGameplaySuspendedOrLoading(); };
    hooks.level.currentLevelPath = [] {
        return levelManager ? levelManager->getCurrentLevelPath() : core::stringw();
    };
    hooks.level.queueLoadLevel = [](const core::stringw& path) {
        if (levelManager)
            levelManager->queueLoadLevelEvent(io::path(path), false);
    };
    hooks.level.queueReloadLevel = [](const core::stringw& path) {
        if (!levelManager)
            return;
        levelManager->queueEvent(new UnloadLevelEvent(true));
        levelManager->queueEvent(new LoadLevelEvent(io::path(path)));
    };
    hooks.level.setObjectiveDisplay = [](ObjectiveDisplay* display) {
        if (levelManager)
            levelManager->objectives.setDisplay(display);
    };
    hooks.level.objectiveDisplay = []() -> ObjectiveDisplay* {
        return levelManager ? levelManager->objectives.getDisplay() : nullptr;
    };
    hooks.level.reloadObjectiveTexts = [] {
        if (!levelManager || !gameDevice)
            return;
        ObjectiveList& list = levelManager->objectives;
        if (languageManager)
            list.setCollectionFile(languageManager->getLocalizedPath(ObjectiveList::defaultCollectionFile).c_str());
        list.loadCollection(gameDevice->getFileSystem());
        list.refreshRequested = true;
    };
}

// Every player-controls object of the input manager, each asked (no stop at the first).
bool anyPausePressed() {
    if (!inputManager)
        return false;
    bool pressed = false;
    for (int player = 0; player < maxPlayers; ++player)
        for (int set = 0; set < inputManager->getPlayerControlsCount(player); ++set)
            if (PlayerControls* controls = inputManager->getPlayerControls(player, set))
                pressed = controls->isPausePressed() || pressed;
    return pressed;
}

void fillInputSlots(GuiInputHooks& input) {
    // The mouse is the pointer while the mouse mode is on (keys and clicks set it, touches
    // clear it).
    input.isPointerActive = [] {
        return !inputManager || !inputManager->getMouse() || inputManager->getMouse()->mouseModeActive;
    };
    input.mouseWheel = [] {
        return inputManager && inputManager->getMouse() ? inputManager->getMouse()->systemMouse().wheel : 0.0f;
    };
    input.isPausePressed = anyPausePressed;
    input.detectAnyPressedInput = [] { return inputManager && InputDevice::detectAnyPressedInput(); };
    input.copyCapturedInput = [](ButtonMapping& out) { out = InputDevice::foundMapping(); };
    input.keyState = [](s32 key) -> s32 {
        if (!inputManager || !inputManager->getKeyboard())
            return 0;
        return static_cast<s32>(inputManager->getKeyboard()->keyState(key));
    };
    // The input manager sends the menu actions to the focused element of the top screen.
    playerHooks().screens.getTopScreenFocus = []() -> gui::IGUIElement* {
        return screenManager ? screenManager->getTopScreenFocus() : nullptr;
    };
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
        if (GUIObjectiveCenter* panel = screenManager->getObjectiveCenter())
            panel->setTaskIconAnimation(settings.TaskIconAnimation.empty()
                                            ? io::path(defaultTaskIconAnimation)
                                            : settings.TaskIconAnimation);
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
    cameraServices().screens.startCrossfade = [] {
        if (screenManager)
            screenManager->captureCrossfade();
    };
}

// The title screen and the main menu's entries, and the backdrop of the menus opened over them.
void fillMenuSlots(GuiMenuHooks& menus) {
    menus.createMainScreen = []() -> GUIScreen* {
        if (!screenManager)
            return nullptr;
        gui::IGUIEnvironment* environment = screenManager->getEnvironment();
        return new GUIMainScreen(environment, environment->getRootGUIElement(), ScreenManager::mainScreenId,
                                 core::recti(0, 0, 100, 100));
    };
    menus.createPlayScreen = [](s32 playMode) -> GUIScreen* {
        if (!screenManager)
            return nullptr;
        auto* play = new GUIPlayScreen(screenManager->getEnvironment(), true);
        play->MenuRequest = playMode;
        return play;
    };
    menus.setTitleFadeTarget = [](f32 target) { MainScreenFadeTarget = target; };
    // The options menu closes over the title: the main menu's list comes back, Options focused.
    menus.createPlayScreenAfterOptions = []() -> GUIScreen* {
        if (!screenManager)
            return nullptr;
        auto* play = new GUIPlayScreen(screenManager->getEnvironment(), false);
        if (GUIMenuItem* options = play->getOptionsItem())
            play->setFocusedElement(options);
        return play;
    };
    menus.createControlOptionsScreen = [](bool openedFromMainMenu) -> GUIScreen* {
        if (!screenManager)
            return nullptr;
        return new GUIControlOptionsScreen(screenManager->getEnvironment(), openedFromMainMenu);
    };
    menus.showCalibrationPreview = [] {
        if (!CalibrationPreview)
            return;
        CalibrationPreview->setVisible(true);
        setMenuPreviewsVisible(CalibrationPreview);
    };
}

} // namespace

// Suspicion gains fly to the meter as paint splats.
void fillSuspicionSlots(SuspicionHookTable& suspicion) {
    suspicion.addSplat = [](f32 amount, const core::vector3df& position) {
        GUIHud* hud = screenManager ? screenManager->getHud() : nullptr;
        if (!hud)
            return false;
        hud->addSplat(amount, position);
        return true;
    };
}

void registerScreens() {
    fillGuiSlots(guiHooks());
    fillInputSlots(guiHooks().input);
    fillLevelSlots(levelHooks().screens);
    fillLevelGuiSlots(levelHooks().gui);
    fillSuspicionSlots(suspicionHooks());
    fillLoadingSlots();
    fillMenuSlots(guiHooks().menus);
}
