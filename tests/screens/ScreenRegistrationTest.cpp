// The screen manager behind core's slots and the GUI's: the gates and program-wide queries
// answer from the real screen manager, sounds play through the sound manager, and texts and
// fonts come from the language manager.
#include "../gui/GuiFixture.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/ProgramQueries.h"
#include "core/CoreSlots.h"
#include "core/SoundManager.h"
#include "gui/GUIButton.h"
#include "gui/GUIElementFactory.h"
#include "gui/GUIScreen.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/GuiLayout.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "screens/ScreenRegistration.h"
#include "core/app/SubsystemRegistration.h"

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
        delete soundManager;
        soundManager = nullptr;
        delete languageManager;
        languageManager = nullptr;
        GuiFixture::TearDown();
        resetCoreSlots();
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
    EXPECT_TRUE(guiHooks().sound.playEffect && guiHooks().language.getText && guiHooks().language.getFont);
}

TEST_F(ScreenRegistrationTest, GatesAndQueriesAnswerFromTheScreenManager) {
    EXPECT_TRUE(slots().isInputAllowed());
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
    EXPECT_FALSE(isGameplaySuspended());
    LevelManager level(device);
    levelManager = &level;
    EXPECT_FALSE(isGameplaySuspended());
    level.suspended = true;
    EXPECT_TRUE(isGameplaySuspended());
    levelManager = nullptr;
}

TEST_F(ScreenRegistrationTest, LevelLoadingClosesTheInputGate) {
    LevelManager level(device);
    levelManager = &level;
    level.levelLoading = true;
    EXPECT_FALSE(slots().isInputAllowed());
    EXPECT_TRUE(isGameInputBlocked());
    level.levelLoading = false;
    EXPECT_TRUE(slots().isInputAllowed());
    levelManager = nullptr;
}

TEST_F(ScreenRegistrationTest, MenuSoundsPlayThroughTheSoundManager) {
    test::TempDir dir;
    GameSettings settings(dir.file("PaddlestoneConfig.xml"));
    settings.load(true);
    gameSettings = &settings;
    soundManager = new SoundManager();
    ASSERT_TRUE(soundManager->init());
    audio::EventSystem* events = soundManager->getEventSystem();
    const char* hover = soundManager->getEffectName(soundMenuHover).c_str();
    const char* click = soundManager->getEffectName(soundClick).c_str();

    GUIScreen* menu = pushScreen(false);
    auto* a = new GUIButton(environment, menu, -1, core::recti(0, 0, 10, 10));
    auto* b = new GUIButton(environment, menu, -1, core::recti(0, 10, 10, 20));
    a->drop();
    b->drop();
    a->setNeighbour(MenuKey::Down, b);
    menu->setFocusedElement(a);
    EXPECT_EQ(events->instanceCount(hover), 0u);
    // Without a level manager the loading overlay counts as covering the screen: buttons
    // keep every event.
    EXPECT_TRUE(screenManager->getTopScreenFocus()->OnEvent(makeKeyEvent(MenuKey::Down, true)));
    EXPECT_EQ(screenManager->getTopScreenFocus(), a);
    LevelManager level(device);
    levelManager = &level;
    // What the input manager sends for the menu actions.
    screenManager->getTopScreenFocus()->OnEvent(makeKeyEvent(MenuKey::Down, true));
    EXPECT_EQ(events->instanceCount(hover), 1u);
    EXPECT_EQ(events->instanceCount(click), 0u);
    screenManager->getTopScreenFocus()->OnEvent(makeKeyEvent(MenuKey::Accept, true));
    EXPECT_EQ(events->instanceCount(click), 1u);
    levelManager = nullptr;
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
    EXPECT_EQ(guiHooks().language.languageChanged(), &languageManager->languageChanged);
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
