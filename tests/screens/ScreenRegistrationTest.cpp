// The screen manager behind core's slots and the GUI's: the gates and program-wide queries
// answer from the real screen manager, sounds play through the sound manager, and texts and
// fonts come from the language manager.
#include "../gui/GuiFixture.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/ProgramQueries.h"
#include "core/CoreSlots.h"
#include "core/app/SubsystemRegistration.h"
#include "gui/GUIElementFactory.h"
#include "core/SoundManager.h"
#include "gui/GUIButton.h"
#include "gui/GUIScreen.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/GuiLayout.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "physics/world/PhysicsHooks.h"
#include "player/InputDevice.h"
#include "player/InputManager.h"
#include "player/PlayerHooks.h"
#include "screens/ScreenManager.h"
#include "screens/ScreenRegistration.h"
#include "screens/levels/LevelCatalogue.h"
#include "screens/levels/WorkshopLevels.h"
#include "characters/CharacterServices.h"
#include "characters/SuspicionMeter.h"
#include "gui/hud/GUINotification.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/hud/GUISubtitleManager.h"
#include "level/SoundObject.h"
#include "screens/menus/GUIPauseScreen.h"
#include "screens/menus/GUIPlayScreen.h"
#include "triggers/TriggerServices.h"
#include "camera/CameraServices.h"
#include "camera/GUICutscene.h"
#include "support/ScreenConnections.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace irr;

namespace {

class ScreenRegistrationTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        resetCoreSlots();
        registerScreens();
        fillCoreSlots();
        // The manager the shell makes.
        delete screenManager;
        screenManager = new ScreenManager(environment);
    }
    void TearDown() override {
        delete languageManager;
        languageManager = nullptr;
        GuiFixture::TearDown();
        resetCoreSlots();
        test::disconnectGameObjectsFromScreens();
    }
    GUIScreen* pushScreen(bool keepTimer) {
        auto* screen = new GUIScreen(environment, root(), ScreenManager::menuScreenId, core::recti());
        screen->drop();
        screen->setKeepTimerRunning(keepTimer);
        screenManager->pushScreen(screen);
        return screen;
    }
    const CoreSlots::Screens& slots() { return coreSlots().screens; }
};

TEST_F(ScreenRegistrationTest, EverySlotOfTheScreensIsFilled) {
    const CoreSlots::Screens& s = slots();
    EXPECT_TRUE(s.isInputAllowed && s.isGameUpdateAllowed && s.topScreenKeepsTimerRunning && s.overlayBlend);
    EXPECT_TRUE(s.isStackActive && s.isPauseScreenVisible);
    EXPECT_TRUE(coreSlots().fonts.getCachedFont);
}

TEST_F(ScreenRegistrationTest, EveryCallUpFromTheGuiAndThePlayerIsAnswered) {
    const GuiHooks& gui = guiHooks();
    const GuiScreenHooks& s = gui.screens;
    EXPECT_TRUE(s.findScreenOf && s.topScreen && s.topScreenFocus && s.isInputAllowed && s.overscanMargin);
    EXPECT_TRUE(s.overlayBlend && s.hud && s.pausePanel && s.notificationQueueHead);
    EXPECT_TRUE(s.setCaptureInput && s.capturedInput);
    EXPECT_TRUE(gui.menus.createMainScreen && gui.menus.showCalibrationPreview);
    EXPECT_TRUE(gui.suspicion.shown && gui.suspicion.addSplat);
    EXPECT_TRUE(playerHooks().screens.getTopScreenFocus && playerHooks().screens.activeScreenState);
}

TEST_F(ScreenRegistrationTest, ThePlayerReachesTheTopScreenAndTheCutsceneOverlay) {
    const PlayerHooks::Screens& player = playerHooks().screens;
    EXPECT_EQ(player.getTopScreenFocus(), nullptr);
    EXPECT_EQ(player.activeScreenState(), 0.0f);
    GUIScreen* menu = pushScreen(false);
    auto* row = new GUIButton(environment, menu, -1, core::recti(0, 0, 10, 10));
    row->drop();
    menu->setFocusedElement(row);
    EXPECT_EQ(player.getTopScreenFocus(), row);
    // The cutscene's bars cover the game: the multitouch device stands back.
    screenManager->createScreens();
    ASSERT_NE(screenManager->getCutsceneScreen(), nullptr);
    EXPECT_EQ(player.activeScreenState(), 0.0f);
    screenManager->getCutsceneScreen()->snapBarsIn();
    EXPECT_NE(player.activeScreenState(), 0.0f);
    EXPECT_EQ(player.activeScreenState(), screenManager->getOverlayBlend());
}

TEST_F(ScreenRegistrationTest, EveryWayUpOfTheGameObjectsIsFilled) {
    const CameraServices::Screens& cameras = cameraServices().screens;
    EXPECT_TRUE(cameras.startCrossfade && cameras.isInputAllowed && cameras.cutsceneScreen && cameras.overscan);
    const CharacterServiceTable::Screens& characters = characterServices().screens;
    EXPECT_TRUE(characters.addSplat && characters.drawsGui);
    const TriggerServiceTable::Screens& triggers = triggerServices().screens;
    EXPECT_TRUE(triggers.isGameHeld && triggers.objectiveCenter && triggers.setLevelTimerShown &&
                triggers.notificationLayer && triggers.notificationByName && triggers.notificationByPath &&
                triggers.showNotification && triggers.dismissNotification && triggers.isListedLevel);
    EXPECT_TRUE(physicsHooks().screens.handleDebugKeys && physicsHooks().screens.catchUpUpdate);
    EXPECT_TRUE(renderServices().fonts.addTrueTypeText && renderServices().screens.renderLoadingFrame);
}

TEST_F(ScreenRegistrationTest, GameObjectsReachTheScreenManagerAndItsFonts) {
    EXPECT_TRUE(cameraServices().screens.isInputAllowed());
    EXPECT_EQ(cameraServices().screens.cutsceneScreen(), screenManager->getCutsceneScreen());
    EXPECT_EQ(triggerServices().screens.objectiveCenter(), screenManager->getObjectiveCenter());
    triggerServices().screens.setLevelTimerShown(true);
    EXPECT_TRUE(screenManager->ShowLevelTimer);
    EXPECT_FALSE(triggerServices().screens.isGameHeld());
    GUIScreen* menu = pushScreen(false);
    EXPECT_FALSE(cameraServices().screens.isInputAllowed());
    EXPECT_TRUE(triggerServices().screens.isGameHeld()) << "a menu holds both the game's update and its input";
    screenManager->popScreen(menu, true);
    screenManager->DrawGUI = false;
    EXPECT_FALSE(characterServices().screens.drawsGui());
    screenManager->DrawGUI = true;

    // The world text's glyphs come from the TrueType font of the file; a file that cannot be
    // read gives none.
    core::array<scene::ISceneNode*> glyphs;
    core::dimension2du size;
    scene::ISceneNode* parent = device->getSceneManager()->addEmptySceneNode();
    const auto& addText = renderServices().fonts.addTrueTypeText;
    u32 charged = 0;
    ASSERT_TRUE(addText("Content/Font/NoMove.ttf", 20, L"ab", parent, video::SColor(0xFFFFFFFF), glyphs, size, charged));
    EXPECT_EQ(glyphs.size(), 2u);
    EXPECT_GT(size.Width, 0u);
    EXPECT_FALSE(addText("Content/Font/Missing.ttf", 20, L"ab", parent, video::SColor(0xFFFFFFFF), glyphs, size, charged));
}

TEST_F(ScreenRegistrationTest, GatesAndQueriesAnswerFromTheScreenManager) {
    EXPECT_TRUE(slots().isInputAllowed());
    ASSERT_TRUE(levelHooks().screens.isGamePaused);
    EXPECT_FALSE(levelHooks().screens.isGamePaused()) << "no pause menu open";
    ASSERT_TRUE(guiHooks().screens.pausePanel);
    EXPECT_FALSE(guiHooks().screens.pausePanel().has_value()) << "no pause screen";
    EXPECT_FALSE(isMenuOpen());
    EXPECT_FALSE(isGameRunningBehindScreen());
    GUIScreen* menu = pushScreen(true);
    EXPECT_FALSE(slots().isInputAllowed());
    EXPECT_FALSE(slots().isGameUpdateAllowed());
    EXPECT_TRUE(isMenuOpen());
    EXPECT_TRUE(isGameRunningBehindScreen());
    EXPECT_TRUE(isGameInputBlocked());

    // A visible pause screen says no menu is open, even with the stack active.
    auto* pause = new GUIScreen(environment, root(), ScreenManager::pauseScreenId, core::recti());
    pause->drop();
    EXPECT_TRUE(slots().isPauseScreenVisible());
    EXPECT_FALSE(isMenuOpen());
    pause->setVisible(false);
    EXPECT_TRUE(isMenuOpen());

    screenManager->popScreen(menu, true);
    screenManager->update();
    EXPECT_FALSE(isMenuOpen());
    EXPECT_FALSE(isGameRunningBehindScreen());
    EXPECT_TRUE(slots().isInputAllowed());
    EXPECT_EQ(slots().overlayBlend(), 0.0f);
}

TEST_F(ScreenRegistrationTest, GameplaySuspendedFollowsTheLevelWhileNoOverlayCovers) {
    levelManager = nullptr;
    EXPECT_FALSE(isGameplaySuspended());
    levelManager = level.get();
    EXPECT_FALSE(isGameplaySuspended());
    level->suspended = true;
    EXPECT_TRUE(isGameplaySuspended());
    level->suspended = false;
}

TEST_F(ScreenRegistrationTest, LevelLoadingClosesTheInputGate) {
    level->levelLoading = true;
    EXPECT_FALSE(slots().isInputAllowed());
    EXPECT_TRUE(isGameInputBlocked());
    level->levelLoading = false;
    EXPECT_TRUE(slots().isInputAllowed());
}

TEST_F(ScreenRegistrationTest, MenuSoundsPlayThroughTheSoundManager) {
    test::TempDir dir;
    GameSettings settings(dir.file("PaddlestoneConfig.xml"));
    settings.load(true);
    gameSettings = &settings;
    ASSERT_NO_FATAL_FAILURE(forgetSounds()); // made with the settings

    GUIScreen* menu = pushScreen(false);
    auto* a = new GUIButton(environment, menu, -1, core::recti(0, 0, 10, 10));
    auto* b = new GUIButton(environment, menu, -1, core::recti(0, 10, 10, 20));
    a->drop();
    b->drop();
    a->setNeighbour(MenuKey::Down, b);
    menu->setFocusedElement(a);
    EXPECT_EQ(soundCount(soundMenuHover), 0);
    // Without a level manager the loading overlay counts as covering the screen: buttons
    // keep every event.
    levelManager = nullptr;
    EXPECT_TRUE(screenManager->getTopScreenFocus()->OnEvent(makeKeyEvent(MenuKey::Down, true)));
    EXPECT_EQ(screenManager->getTopScreenFocus(), a);
    levelManager = level.get();
    // What the input manager sends for the menu actions.
    screenManager->getTopScreenFocus()->OnEvent(makeKeyEvent(MenuKey::Down, true));
    EXPECT_EQ(soundCount(soundMenuHover), 1);
    EXPECT_EQ(soundCount(soundClick), 0);
    screenManager->getTopScreenFocus()->OnEvent(makeKeyEvent(MenuKey::Accept, true));
    EXPECT_EQ(soundCount(soundClick), 1);
    gameSettings = nullptr;
}

TEST_F(ScreenRegistrationTest, TextsAndFontsComeFromTheLanguage) {
    languageManager = new LanguageManager(device);
    EXPECT_STREQ(getLanguageText(7).c_str(), languageManager->getText(7).c_str());
    const LanguageInfo& language = languageManager->getCurrentLanguage();
    gui::IGUIFont* rows = getLanguageFont(4);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows, static_cast<gui::IGUIFont*>(getCachedFont(io::path(language.fontMenuMedium.c_str()),
                                                             guiUnits(static_cast<f32>(language.fontSizeMenuMedium)))));
    delete languageManager;
    languageManager = nullptr;
    EXPECT_EQ(getLanguageFont(4), nullptr);
    EXPECT_STREQ(getLanguageText(7).c_str(), L"#7");
}

TEST_F(ScreenRegistrationTest, LayoutsReadThroughTheRegisteredFactory) {
    (new GUIElementFactory(environment))->drop(); // as the shell registers it
    auto* screen = new GUIScreen(environment, root(), -1, core::recti());
    screen->drop();
    auto* button = new GUIButton(environment, screen, 9, core::recti(0, 0, 40, 20));
    button->drop();
    test::TempDir dir;
    const std::string path = dir.file("menu.xml");
    ASSERT_TRUE(saveGuiLayout(environment, path.c_str(), screen));
    screen->remove();
    ASSERT_TRUE(loadGuiLayout(environment, path.c_str(), nullptr));
    gui::IGUIElement* loaded = root()->getElementFromId(9, true);
    ASSERT_NE(loaded, nullptr);
    EXPECT_STREQ(loaded->getTypeName(), "GUIButton");
}

TEST_F(ScreenRegistrationTest, WithoutTheScreenManagerTheGatesStayOpen) {
    pushScreen(false);
    EXPECT_FALSE(slots().isInputAllowed());
    delete screenManager;
    screenManager = nullptr;
    EXPECT_TRUE(slots().isInputAllowed());
    EXPECT_TRUE(slots().isGameUpdateAllowed());
    EXPECT_FALSE(slots().isStackActive());
    EXPECT_FALSE(slots().isPauseScreenVisible());
    EXPECT_EQ(slots().overlayBlend(), 0.0f);
}

} // namespace

namespace {

TEST_F(ScreenRegistrationTest, LevelEventsCloseTheScreensThroughTheScreenManager) {
    const LevelHookTable::Screens& level = levelHooks().screens;
    ASSERT_TRUE(level.closeAllScreens && level.openMainScreen);
    pushScreen(false);
    EXPECT_TRUE(slots().isStackActive());
    level.closeAllScreens();
    EXPECT_FALSE(slots().isStackActive());
    resetLevelHooks();
}

} // namespace

namespace {

// The HUD reads the player's whole suspicion record; a landed splat raises it within 0..100
// and the run remembers the new level.
TEST_F(ScreenRegistrationTest, TheHudReadsAndRaisesTheSuspicionRecord) {
    const GuiSuspicionHooks& suspicion = guiHooks().suspicion;
    const std::shared_ptr<SuspicionMeter> kept = level->suspicionMeter;
    level->suspicionMeter.reset();
    EXPECT_FALSE(suspicion.shown().has_value());
    suspicion.addSplat(5.0f); // nothing to raise
    auto meter = std::make_shared<SuspicionMeter>();
    meter->value = 40.0f;
    meter->pendingValue = 55.0f;
    meter->drainValue = 60.0f;
    meter->watcherCount = 2;
    level->suspicionMeter = meter;
    const std::optional<ShownSuspicion> shown = suspicion.shown();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->value, 40.0f);
    EXPECT_EQ(shown->pendingValue, 55.0f);
    EXPECT_EQ(shown->drainValue, 60.0f);
    EXPECT_EQ(shown->watcherCount, 2);
    for (const auto& [amount, after] : {std::pair{10.0f, 50.0f}, std::pair{70.0f, 100.0f}, std::pair{-150.0f, 0.0f}}) {
        suspicion.addSplat(amount);
        EXPECT_EQ(meter->value, after) << amount;
        EXPECT_EQ(level->levelRun.lastSuspicion, after) << amount;
    }
    level->suspicionMeter = kept;
}

// The game objects' questions about the standing screens, each both ways.
TEST_F(ScreenRegistrationTest, GameObjectsSeeTheHudTheBarsAndTheOverscan) {
    const CharacterServiceTable::Screens& characters = characterServices().screens;
    const GuiScreenHooks& gui = guiHooks().screens;
    EXPECT_FALSE(characters.addSplat(5.0f, core::vector3df(0.0f))) << "no HUD yet";
    EXPECT_EQ(gui.hud(), nullptr);
    EXPECT_FALSE(gui.pausePanel().has_value());
    screenManager->createScreens();
    ASSERT_NE(screenManager->getHud(), nullptr);
    EXPECT_EQ(gui.hud(), screenManager->getHud());
    EXPECT_TRUE(characters.addSplat(5.0f, core::vector3df(0.0f)));

    EXPECT_FALSE(characters.cutsceneBarsShown());
    EXPECT_EQ(gui.overlayBlend(), 0.0f);
    screenManager->getCutsceneScreen()->snapBarsIn();
    EXPECT_TRUE(characters.cutsceneBarsShown());
    EXPECT_EQ(gui.overlayBlend(), screenManager->getOverlayBlend());
    EXPECT_NE(gui.overlayBlend(), 0.0f);

    for (bool overscan : {true, false}) {
        screenManager->Overscan = overscan;
        EXPECT_EQ(cameraServices().screens.overscan(), overscan);
        EXPECT_EQ(gui.overscanMargin(), screenManager->getOverscanMargin());
    }

    // The pause panel slides by the pause screen's dimming and width.
    const std::optional<PausePanelSlide> slide = gui.pausePanel();
    ASSERT_TRUE(slide.has_value());
    EXPECT_EQ(slide->dimAmount, screenManager->getPauseScreen()->getDimAmount());
    EXPECT_EQ(slide->panelWidth, screenManager->getPauseScreen()->getPanelWidth());
    EXPECT_GT(slide->panelWidth, 0);

    delete screenManager;
    screenManager = nullptr;
    EXPECT_FALSE(characters.addSplat(5.0f, core::vector3df(0.0f)));
    EXPECT_TRUE(characters.drawsGui());
    EXPECT_FALSE(characters.cutsceneBarsShown());
    EXPECT_FALSE(cameraServices().screens.overscan());
    EXPECT_EQ(gui.overscanMargin(), core::position2di(0, 0));
    EXPECT_EQ(gui.topScreen(), nullptr);
    EXPECT_EQ(gui.notificationQueueHead(), nullptr);
    EXPECT_FALSE(triggerServices().screens.isGameHeld());
}

// The triggers' pop-ups are the screen manager's notifications: the first one showing heads
// the queue the HUD reads.
TEST_F(ScreenRegistrationTest, TriggersShowAndDismissTheScreenManagersNotifications) {
    (new GUIElementFactory(environment))->drop();
    GUINotification::loadNotificationTable();
    screenManager->createScreens();
    const TriggerServiceTable::Screens& triggers = triggerServices().screens;
    EXPECT_EQ(triggers.notificationLayer(), screenManager->getNotificationLayer());
    EXPECT_EQ(guiHooks().screens.notificationQueueHead(), nullptr);
    GUINotification* pause = triggers.notificationByName("Pause");
    ASSERT_NE(pause, nullptr);
    EXPECT_EQ(screenManager->getNotificationByName("Pause"), pause);
    GUINotification* camera = triggers.notificationByName("Camera");
    triggers.showNotification(camera, 5.0f);
    triggers.showNotification(pause, 5.0f);
    EXPECT_EQ(screenManager->getActiveNotifications(), (std::vector<GUINotification*>{camera, pause}));
    EXPECT_EQ(guiHooks().screens.notificationQueueHead(), camera);
    triggers.dismissNotification("Camera", true);
    EXPECT_TRUE(camera->isDismissed());
    EXPECT_FALSE(pause->isDismissed());
    EXPECT_TRUE(screenManager->getPendingDismissals().empty());
    triggers.dismissNotification("Nobody", false);
    EXPECT_EQ(screenManager->getPendingDismissals(), std::vector<std::string>{"Nobody"});
    const core::stringc path = "Content/Language/English/Notifications/NotificationBlank.xml";
    EXPECT_EQ(triggers.notificationByPath(path), screenManager->getNotificationByPath(path));
}

// A level path is listed when the level list names it.
TEST_F(ScreenRegistrationTest, TriggersAskTheLevelListWhetherALevelIsListed) {
    const std::vector<LevelRecord> kept = AllLevels;
    LevelRecord record;
    record.path = "Content/Levels/A.irr";
    AllLevels = {record};
    EXPECT_TRUE(triggerServices().screens.isListedLevel("Content/Levels/A.irr"));
    EXPECT_FALSE(triggerServices().screens.isListedLevel("Content/Levels/B.irr"));
    AllLevels = kept;
}

} // namespace

namespace {

// The widgets ask the stack they live on, and switch the input capture of the remapping.
TEST_F(ScreenRegistrationTest, TheWidgetsAskTheStackTheyLiveOn) {
    const GuiScreenHooks& gui = guiHooks().screens;
    GUIScreen* menu = pushScreen(false);
    auto* row = new GUIButton(environment, menu, -1, core::recti(0, 0, 10, 10));
    row->drop();
    menu->setFocusedElement(row);
    EXPECT_EQ(gui.topScreen(), menu);
    EXPECT_EQ(gui.topScreenFocus(), row);
    EXPECT_EQ(gui.findScreenOf(row), menu);
    EXPECT_FALSE(gui.isInputAllowed());

    ButtonMapping out;
    for (bool capture : {true, false}) {
        screenManager->InputCaptured = true;
        gui.setCaptureInput(capture);
        EXPECT_EQ(screenManager->CaptureInput, capture);
        EXPECT_FALSE(screenManager->InputCaptured) << "a capture starts afresh";
        EXPECT_FALSE(gui.capturedInput(out));
    }
    screenManager->InputCaptured = true;
    EXPECT_TRUE(gui.capturedInput(out));

    delete screenManager;
    screenManager = nullptr;
    EXPECT_FALSE(gui.capturedInput(out));
    EXPECT_TRUE(gui.isInputAllowed());
    EXPECT_EQ(gui.findScreenOf(row), nullptr);
    EXPECT_EQ(gui.topScreenFocus(), nullptr);
    gui.setCaptureInput(true); // nothing to switch
}

} // namespace

namespace {

// A physics step that catches up runs the screens' frame (removals flushed) and their debug
// keys; the debug keys alone have their own way up.
TEST_F(ScreenRegistrationTest, ACatchUpStepRunsTheScreensFrameAndDebugKeys) {
    GUIScreen* menu = pushScreen(false);
    screenManager->popScreen(menu, true);
    ASSERT_EQ(screenManager->getRemovalList().size(), 1u);
    useInput();
    debugMode = true;
    inputKey(KEY_F7, true);
    physicsHooks().screens.catchUpUpdate();
    EXPECT_TRUE(screenManager->getRemovalList().empty());
    EXPECT_FALSE(screenManager->DrawGUI);
    inputKey(KEY_F7, false);
    inputManager->endFrame();
    inputKey(KEY_F8, true);
    physicsHooks().screens.handleDebugKeys();
    EXPECT_TRUE(screenManager->DrawGUI);
    inputKey(KEY_F8, false);
    debugMode = false;
    delete screenManager;
    screenManager = nullptr;
    physicsHooks().screens.catchUpUpdate(); // nothing to run
    physicsHooks().screens.handleDebugKeys();
}

} // namespace

namespace {

// The level's events open the main menu in the mode they name, show the splash screen, and
// ask whether the pause menu holds the game.
TEST_F(ScreenRegistrationTest, LevelEventsOpenTheMenusAndAskAboutThePause) {
    const LevelHookTable::Screens& level = levelHooks().screens;
    screenManager->createScreens();
    level.openMainScreen(3);
    ASSERT_EQ(screenManager->getScreenStack().size(), 2u);
    auto* play = dynamic_cast<GUIPlayScreen*>(screenManager->getScreenStack()[0]);
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->MenuRequest, 3);
    level.closeAllScreens();
    screenManager->flushScreenRemovals();
    level.showSplash();
    ASSERT_EQ(screenManager->getScreenStack().size(), 1u);
    EXPECT_STREQ(screenManager->getTopScreen()->getTypeName(), "GUISplashScreen");
    level.closeAllScreens();
    screenManager->flushScreenRemovals();
    EXPECT_FALSE(level.isGamePaused());
    screenManager->setPauseScreenVisible(true);
    EXPECT_TRUE(level.isGamePaused());
    screenManager->setPauseScreenVisible(false);
    resetLevelHooks();
}

} // namespace

namespace {

// A level sound plays its subtitle; a voice line that stops takes only its own subtitle with it.
TEST_F(ScreenRegistrationTest, AVoiceLineTakesOnlyItsOwnSubtitleWithIt) {
    screenManager->createScreens();
    GUISubtitleManager* subtitles = screenManager->getSubtitleManager();
    ASSERT_NE(subtitles, nullptr);
    subtitles->loadPersistentSubtitles("Content/Language/English/Subtitles/PhysicsDemo.xml");
    levelHooks().gui.playSubtitle(2);
    ASSERT_EQ(subtitles->getCurrentId(), 2);
    scene::ISceneManager* scene = device->getSceneManager();
    auto* voice = new SoundObject(scene->getRootSceneNode(), scene);
    voice->drop();
    const LevelHookTable::Screens& level = levelHooks().screens;
    level.clearSubtitleOf(nullptr);
    for (const auto& [id, has] : {std::pair{1, true}, std::pair{2, false}}) {
        voice->SubtitleID = id;
        voice->HasSubtitle = has;
        level.clearSubtitleOf(voice);
        EXPECT_EQ(subtitles->getCurrentId(), 2) << id << has;
        EXPECT_TRUE(subtitles->getTextLine()->isVisible()) << id << has;
    }
    voice->SubtitleID = 2;
    voice->HasSubtitle = true;
    level.clearSubtitleOf(voice);
    EXPECT_EQ(subtitles->getCurrentId(), 0);
    EXPECT_FALSE(subtitles->getTextLine()->isVisible());
    levelHooks().gui.playSubtitle(1);
    ASSERT_EQ(subtitles->getCurrentId(), 1);
    voice->SubtitleID = 1;
    level.clearSubtitleOf(voice);
    EXPECT_EQ(subtitles->getCurrentId(), 0);
    resetLevelHooks();
}

} // namespace

namespace {

// A user level is named by its own title; any other level by the level list.
TEST_F(ScreenRegistrationTest, AUserLevelIsNamedByItsOwnTitle) {
    clearWorkshopLevels();
    WorkshopLevelRecord record;
    record.levelFilePath = L"Content/Workshop/Castle/Castle_Main.irr";
    record.title = L"Castle";
    appendWorkshopLevel(record);
    const auto& title = levelHooks().screens.getLevelTitle;
    EXPECT_EQ(title("content/workshop/castle/castle_main.irr"), core::stringw(L"Castle"));
    const io::path other = "Content/Levels/Other.irr";
    EXPECT_EQ(title(other), core::stringw(getLevelTitle(other.c_str()).c_str()));
    EXPECT_NE(title(other), core::stringw(L"Castle"));
    clearWorkshopLevels();
    AllLevels.clear();
    MenuLevels.clear();
    LevelTexts.clear();
}

} // namespace
