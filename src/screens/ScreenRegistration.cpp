#include "screens/ScreenRegistration.h"

#include "characters/CharacterServices.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/ProgramQueries.h"
#include "core/ShellHooks.h"
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
#include "physics/world/PhysicsHooks.h"
#include "render/RenderServices.h"
#include "triggers/TriggerServices.h"

#include <IrrlichtDevice.h>

using namespace irr;

namespace {

// The factory the GUI environment reads layout files through; the environment holds it too.
GUIElementFactory* elementFactory = nullptr;

// A level that starts loading ends the cross-fade; an unloaded level takes the preview
// scenes with it.
void previewsLevelUnloaded() { forgetMenuPreviews(); }
void screensLevelLoadStarted() {
    if (screenManager)
        screenManager->resetSubtitlesAndCutscene();
}

void fillShellSlots(ScreenHooks& screens) {
    screens.create = [](IrrlichtDevice* device) { return new ScreenManager(device->getGUIEnvironment()); };
    screens.init = [] {
        if (screenManager)
            screenManager->init();
    };
    screens.update = [] {
        if (screenManager)
            screenManager->update();
    };
    screens.updateDebugStats = [] {
        GUIDebugStats* stats = screenManager ? screenManager->getDebugStats() : nullptr;
        if (!stats || !stats->isVisible())
            return;
        stats->update();
        stats->beginFrameTiming();
    };
    screens.draw = [] {
        if (screenManager)
            screenManager->draw();
    };
    screens.postRenderGUI = [](f32 runningSeconds) {
        if (screenManager)
            screenManager->postRenderGUI(runningSeconds);
    };
    screens.destroy = [] { delete screenManager; };
    // A level unload takes the notifications and the menu previews along; a level load starts
    // without subtitles or a cross-fade.
    screens.subscribeLevelHandlers = [] {
        if (!screenManager || !levelManager)
            return;
        levelManager->onLevelUnloaded.addMember(screenManager, &ScreenManager::resetNotifications);
        levelManager->onLevelUnloaded.addFunction(&previewsLevelUnloaded);
        levelManager->onLevelLoadStarted.addFunction(&screensLevelLoadStarted);
    };

    screens.isInputAllowed = [] { return !screenManager || screenManager->isInputAllowed(); };
    screens.isGameUpdateAllowed = [] { return !screenManager || screenManager->isGameUpdateAllowed(); };
    screens.topScreenKeepsTimerRunning = [] { return screenManager && screenManager->topScreenKeepsTimerRunning(); };
    screens.overlayBlend = [] { return screenManager ? screenManager->getOverlayBlend() : 0.0f; };
    screens.isStackActive = [] { return screenManager && screenManager->isStackActive(); };
    screens.isPauseScreenVisible = [] { return screenManager && screenManager->isPauseScreenVisible(); };

    screens.registerElementFactory = [](gui::IGUIEnvironment* environment) {
        if (elementFactory)
            elementFactory->drop();
        elementFactory = new GUIElementFactory(environment);
    };
    screens.releaseElementFactory = [] {
        if (elementFactory)
            elementFactory->drop();
        elementFactory = nullptr;
    };
    screens.getCachedFont = [](const io::path& path, s32 size) -> gui::IGUIFont* {
        return getCachedFont(path, size);
    };
}

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
    // The level subsystem answers these through the shell's level slots.
    hooks.level.isLevelLoading = [] { return levelManager && askHook(shellHooks().level.isLevelLoading, false); };
    hooks.level.isLoadingOverlayBusy = [] {
        return levelManager && askHook(shellHooks().level.isLoadingOverlayBusy, false);
    };
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

// The level's settings and sounds reach the objective panel and the subtitles.
void fillLevelGuiSlots(LevelHookTable::Gui& gui) {
    gui.setTaskIconAnimation = [](const io::path& file) {
        if (GUIObjectiveCenter* panel = screenManager ? screenManager->getObjectiveCenter() : nullptr)
            panel->setTaskIconAnimation(file);
    };
    gui.playSubtitle = [](s32 id) {
        if (GUISubtitleManager* subtitles = screenManager ? screenManager->getSubtitleManager() : nullptr)
            subtitles->playSubtitle(id);
    };
}

// The level events close every screen and open the main screen.
void fillLevelSlots(LevelHookTable::Screens& level) {
    level.loadSubtitles = [](const io::path& name) {
        if (screenManager)
            screenManager->loadSubtitles(name);
    };
    level.clearSubtitles = [] {
        if (screenManager)
            screenManager->clearSubtitles();
    };
    // The voice line whose subtitle is on screen.
    level.isShownVoiceLine = [](SoundObject* sound) {
        GUISubtitleManager* subtitles = screenManager ? screenManager->getSubtitleManager() : nullptr;
        return subtitles && sound && sound->HasSubtitle && subtitles->getCurrentId() != 0 &&
               sound->SubtitleID == subtitles->getCurrentId();
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
    level.screens.unmountWorkshopArchives = unmountWorkshopArchives;
    level.screens.loadLevelList = loadLevelList;
    level.screens.loadMenuPreviewScenes = loadMenuPreviewScenes;
    level.screens.showAutoSaveLevelPreview = showAutoSaveLevelPreview;
    level.screens.getWorkshopLevelTitle = [](const io::path& path) {
        return getWorkshopLevelTitle(core::stringw(fromUtf8(path.c_str()).c_str()));
    };
    level.screens.getLevelTitle = [](const io::path& path) {
        return core::stringw(getLevelTitle(path.c_str()).c_str());
    };
    level.screens.renderLoadingFrame = [] {
        if (screenManager)
            screenManager->renderLoadingFrame();
    };
    level.gui.drawLoadingOverlay = ScreenManager::drawLoadingOverlay;
    renderServices().screens.renderLoadingFrame = level.screens.renderLoadingFrame;
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
    cameras.pauseOpenedListeners = []() -> DelegateList* { return screenManager ? &screenManager->PauseOpened : nullptr; };

    physicsHooks().screens.handleDebugKeys = [] {
        if (screenManager)
            screenManager->handleDebugKeys();
    };

    // The world text builds its glyphs from the GUI's TrueType fonts.
    renderServices().fonts.addTrueTypeText = [](const io::path& file, s32 size, const wchar_t* text,
                                                scene::ISceneNode* parent, video::SColor colour,
                                                core::array<scene::ISceneNode*>& glyphs, core::dimension2du& textSize) {
        CGUITTFont* font = getCachedFont(file, size);
        if (!font || !parent)
            return false;
        glyphs = font->addTextSceneNode(text, parent->getSceneManager(), parent, colour, false);
        textSize = font->getDimension(text);
        return true;
    };

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
    triggers.notificationByName = [](const char* name) -> GUINotification* {
        return screenManager ? screenManager->getNotificationByName(name) : nullptr;
    };
    triggers.notificationByPath = [](const core::stringc& path) -> GUINotification* {
        return screenManager ? screenManager->getNotificationByPath(path) : nullptr;
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

void registerScreens() {
    fillShellSlots(shellHooks().screens);
    fillGuiSlots(guiHooks());
    fillInputSlots(guiHooks().input);
    fillLevelSlots(levelHooks().screens);
    fillLevelGuiSlots(levelHooks().gui);
    fillLoadingSlots();
    fillMenuSlots(guiHooks().menus);
    connectGameObjectsToScreens();
}
