// The screen manager: its stack, the removal of closed screens, the input and update gates,
// the pause toggle and the input capture.
#include "../gui/GuiFixture.h"

#include "core/FontGate.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "gui/GUIButton.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIImage.h"
#include "gui/GUIElementFactory.h"
#include "gui/hud/GUINotification.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "gui/GUIScreen.h"
#include "gui/GuiCommon.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "player/InputDevice.h"
#include "player/InputManager.h"
#include "player/devices/KeyboardDevice.h"
#include "gui/fonts/FontCache.h"
#include "gui/GUIDebugStats.h"
#include "physics/world/PhysicsManager.h"
#include "screens//ScreenManager.h"
#include "camera/GUICutscene.h"
#include "gui/hud/GUIHud.h"
#include "gui/hud/GUISplat.h"
#include "gui/hud/GUISubtitleManager.h"
#include "screens/menus/GUIPauseScreen.h"
#include "screens/menus/GUIPlayScreen.h"

#include <IGUISkin.h>
#include <ITexture.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace irr;

namespace {

constexpr const char* emptyScene = R"(<?xml version="1.0"?>
<irr_scene>
</irr_scene>
)";

class TestScreen : public GUIScreen {
public:
    TestScreen(gui::IGUIEnvironment* env, s32 id) : GUIScreen(env, env->getRootGUIElement(), id, core::recti()) {}
    void onShow() override { ++shows; }
    void reservedHook() override { ++closes; }
    void setVisible(bool visible) override {
        ++visibilityCalls;
        GUIScreen::setVisible(visible);
    }
    void setFade(FadeStates state) { FadeState = state; }
    void setFlags(bool passInput, bool passUpdate, bool keepTimer) {
        PassInput = passInput;
        PassUpdate = passUpdate;
        setKeepTimerRunning(keepTimer);
    }
    int shows = 0;
    int closes = 0;
    int visibilityCalls = 0;
};

// A plain element of the GUI root with a type id and an element id.
class StandingElement : public gui::IGUIElement {
public:
    StandingElement(gui::IGUIEnvironment* env, s32 type, s32 id)
        : gui::IGUIElement(toElementType(type), env, env->getRootGUIElement(), id, core::recti(0, 0, 10, 10)) {}
    void OnPostRender(u32 timeMs) override { times.push_back(timeMs); }
    void draw() override { ++draws; }
    std::vector<u32> times;
    int draws = 0;
};

class ScreenManagerTest : public guitest::GuiFixture {
protected:
    TestScreen* makeScreen(s32 id = ScreenManager::menuScreenId) {
        auto* screen = new TestScreen(environment, id);
        screen->drop();
        return screen;
    }
    StandingElement* makeStanding(s32 type, s32 id) {
        auto* element = new StandingElement(environment, type, id);
        element->drop();
        return element;
    }
    TestScreen* makePause() { return makeScreen(ScreenManager::pauseScreenId); }
    void TearDown() override {
        physicsManager = nullptr;
        physics.reset();
        GuiFixture::TearDown();
    }
    // The game runs a level (an empty physics manager: the input reads its fixed step), and
    // the pause key (Escape) comes through the input manager.
    void usePauseKey() {
        physics = std::make_unique<PhysicsManager>();
        physicsManager = physics.get();
        coreSlots().physics.isSimulationActive = [] { return true; };
        useInput();
    }
    // The pause key goes down (it counts as pressed until the frame ends) or up (and the
    // frame ends).
    void holdPause(bool down) {
        inputKey(KEY_ESCAPE, down);
        if (!down)
            inputManager->endFrame();
    }
    std::unique_ptr<PhysicsManager> physics;
    bool inTree(gui::IGUIElement* element) {
        for (gui::IGUIElement* child : root()->getChildren())
            if (child == element)
                return true;
        return false;
    }
    ScreenManager& manager() { return *screenManager; }
};

// --- gates ---------------------------------------------------------------------------------------

struct StackedScreen {
    bool passInput = false;
    bool passUpdate = false;
    bool keepTimer = false;
    bool visible = true;
};

enum class Pause { None, Hidden, Shown, ShownPassingInput };

struct GateCase {
    const char* name;
    std::vector<StackedScreen> stack; // index 0 is the top
    Pause pause = Pause::None;
    bool standingLayers = false; // HUD and subtitles (type 1009), overlay (-400), objectives (0)
    bool strayMenu = false;      // a visible menu screen that is not stacked
    bool strangerWithPositiveId = false;
    bool loading = false;
    bool input;
    bool update;
    bool runsBehind;
};

class GateTest : public ScreenManagerTest, public ::testing::WithParamInterface<GateCase> {};

TEST_P(GateTest, GatesFollowTheScreens) {
    const GateCase& c = GetParam();
    if (c.standingLayers) {
        makeStanding(ScreenManager::passingType, ScreenManager::hudId);
        makeStanding(ScreenManager::passingType, ScreenManager::subtitleScreenId);
        makeStanding(GuiType::Screen, ScreenManager::overlayId);
        makeStanding(GuiType::ObjectiveCenter, 0);
    }
    if (c.strayMenu)
        makeScreen();
    if (c.strangerWithPositiveId)
        makeStanding(GuiType::Image, 5);
    if (c.pause != Pause::None) {
        TestScreen* pause = makePause();
        pause->setVisible(c.pause != Pause::Hidden);
        pause->setFlags(c.pause == Pause::ShownPassingInput, false, false);
    }
    for (auto it = c.stack.rbegin(); it != c.stack.rend(); ++it) {
        TestScreen* screen = makeScreen();
        screen->setFlags(it->passInput, it->passUpdate, it->keepTimer);
        screen->setVisible(it->visible);
        manager().pushScreen(screen);
    }
    level->levelLoading = c.loading;

    EXPECT_EQ(manager().isInputAllowed(), c.input);
    EXPECT_EQ(manager().isGameUpdateAllowed(), c.update);
    EXPECT_EQ(manager().topScreenKeepsTimerRunning(), c.runsBehind);
}

const StackedScreen blocking{};
const StackedScreen passingInput{true, false, false, true};
const StackedScreen passingUpdate{false, true, false, true};
const StackedScreen keepingTimer{false, false, true, true};
const StackedScreen hidden{false, false, false, false};

INSTANTIATE_TEST_SUITE_P(
    Combinations, GateTest,
    ::testing::Values(
        GateCase{"Nothing", {}, Pause::None, false, false, false, false, true, true, false},
        GateCase{"HudSubtitlesOverlayAndObjectives", {}, Pause::None, true, false, false, false, true, true, false},
        GateCase{"VisibleElementWithPositiveId", {}, Pause::None, false, false, true, false, false, false, false},
        GateCase{"Menu", {blocking}, Pause::None, true, false, false, false, false, false, false},
        GateCase{"MenuKeepingTheTimer", {keepingTimer}, Pause::None, false, false, false, false, false, false, true},
        GateCase{"MenuPassingUpdates", {passingUpdate}, Pause::None, false, false, false, false, false, true, false},
        GateCase{"MenuPassingInput", {passingInput}, Pause::None, true, false, false, false, true, true, false},
        GateCase{"PassingMenuOverBlockingMenu", {passingInput, blocking}, Pause::None, false, false, false, false,
                 true, true, false},
        GateCase{"BlockingMenuOverPassingMenu", {blocking, passingInput}, Pause::None, false, false, false, false,
                 false, false, false},
        GateCase{"KeepingTimerOnlyCountsOnTop", {blocking, keepingTimer}, Pause::None, false, false, false, false,
                 false, false, false},
        GateCase{"HiddenMenu", {hidden}, Pause::None, false, false, false, false, true, true, false},
        GateCase{"MenuThatIsNotStacked", {}, Pause::None, false, true, false, false, false, false, false},
        GateCase{"PassingMenuOverAStrayMenu", {passingInput}, Pause::None, false, true, false, false, true, true,
                 false},
        GateCase{"PauseShown", {}, Pause::Shown, false, false, false, false, false, false, false},
        GateCase{"PauseShownPassingInput", {}, Pause::ShownPassingInput, false, false, false, false, true, true,
                 false},
        GateCase{"PauseHidden", {}, Pause::Hidden, true, false, false, false, true, true, false},
        GateCase{"MenuOverPause", {passingInput}, Pause::Shown, false, false, false, false, true, true, false},
        GateCase{"Loading", {}, Pause::None, true, false, false, true, false, false, false},
        GateCase{"LoadingUnderAPassingMenu", {passingInput}, Pause::None, false, false, false, true, false, false,
                 false},
        GateCase{"LoadingUnderAnUpdatingMenu", {passingUpdate}, Pause::None, false, false, false, true, false, true,
                 false},
        GateCase{"LoadingBehindAMenuKeepingTheTimer", {keepingTimer}, Pause::None, false, false, false, true, false,
                 false, true}),
    [](const ::testing::TestParamInfo<GateCase>& info) { return std::string(info.param.name); });

// --- the stack ------------------------------------------------------------------------------------

TEST_F(ScreenManagerTest, PushPutsTheScreenOnTopAndShowsIt) {
    TestScreen* first = makeScreen();
    TestScreen* second = makeScreen();
    EXPECT_FALSE(manager().isStackActive());
    EXPECT_EQ(manager().getTopScreen(), nullptr);
    manager().pushScreen(nullptr);
    EXPECT_FALSE(manager().isStackActive());
    manager().pushScreen(first);
    manager().pushScreen(second);
    EXPECT_TRUE(manager().isStackActive());
    ASSERT_EQ(manager().getScreenStack().size(), 2u);
    EXPECT_EQ(manager().getScreenStack()[0], second);
    EXPECT_EQ(manager().getTopScreen(), second);
    EXPECT_EQ(second->shows, 1);
}

TEST_F(ScreenManagerTest, ClosedScreenLeavesTheTreeAtTheEndOfTheNextUpdate) {
    TestScreen* below = makeScreen();
    TestScreen* top = makeScreen();
    auto* button = new GUIButton(environment, below, -1, core::recti(0, 0, 10, 10));
    button->drop();
    below->setFocusedElement(button);
    manager().pushScreen(below);
    manager().pushScreen(top);
    button->unfocus();
    top->grab();
    manager().popScreen(top, true);
    EXPECT_EQ(top->closes, 1);
    EXPECT_TRUE(inTree(top));
    EXPECT_EQ(manager().getTopScreen(), below);
    // The screen below takes its focus again.
    EXPECT_EQ(button->getState(), ButtonState::Focused);
    manager().update();
    EXPECT_FALSE(inTree(top));
    EXPECT_EQ(top->getReferenceCount(), 1);
    top->drop();
    manager().popScreen(below, false);
    EXPECT_FALSE(manager().isStackActive());
    EXPECT_TRUE(inTree(below));
    manager().update();
    EXPECT_TRUE(inTree(below));
}

TEST_F(ScreenManagerTest, PoppingAScreenThatIsNotStacked) {
    TestScreen* stacked = makeScreen();
    TestScreen* loose = makeScreen();
    manager().pushScreen(stacked);
    manager().popScreen(nullptr, true);
    manager().popScreen(loose, true);
    EXPECT_EQ(manager().getScreenStack().size(), 1u);
    EXPECT_EQ(loose->closes, 1);
    manager().queueScreenRemoval(loose);
    EXPECT_EQ(manager().getRemovalList().size(), 1u);
    manager().update();
    EXPECT_FALSE(inTree(loose));
}

TEST_F(ScreenManagerTest, RemovedScreensNeverStayOnTheStack) {
    TestScreen* screen = makeScreen();
    manager().pushScreen(screen);
    manager().queueScreenRemoval(screen);
    manager().update();
    EXPECT_TRUE(manager().getScreenStack().empty());
    EXPECT_EQ(manager().getTopScreen(), nullptr);
}

TEST_F(ScreenManagerTest, CloseAllScreensHidesThePauseScreenQuietly) {
    TestScreen* pause = makePause();
    pause->setVisible(true);
    const int calls = pause->visibilityCalls;
    TestScreen* a = makeScreen();
    TestScreen* b = makeScreen();
    manager().pushScreen(a);
    manager().pushScreen(b);
    manager().closeAllScreens();
    EXPECT_TRUE(manager().getScreenStack().empty());
    EXPECT_FALSE(manager().isStackActive());
    EXPECT_FALSE(pause->isVisible());
    EXPECT_EQ(pause->visibilityCalls, calls);
    EXPECT_EQ(manager().getRemovalList().size(), 2u);
    EXPECT_TRUE(inTree(a));
    manager().update();
    EXPECT_FALSE(inTree(a));
    EXPECT_FALSE(inTree(b));
    EXPECT_TRUE(inTree(pause));
}

TEST_F(ScreenManagerTest, FadedOutScreenIsPoppedAndRemoved) {
    TestScreen* menu = makeScreen();
    manager().pushScreen(menu);
    menu->startFadeOut(0.2f);
    setFrameDelta(0.066f);
    f32 previous = 0.0f;
    while (menu->getFadeState() != GUIScreen::FadedOut) {
        postRenderAll();
        EXPECT_GE(menu->getFadeOutTween().value, previous);
        previous = menu->getFadeOutTween().value;
    }
    manager().popScreen(menu, true);
    manager().update();
    EXPECT_FALSE(inTree(menu));
}

TEST_F(ScreenManagerTest, FindsScreensFromTheirElements) {
    TestScreen* lower = makeScreen();
    TestScreen* upper = makeScreen();
    TestScreen* pause = makePause();
    TestScreen* loose = makeScreen();
    auto* inLower = new GUIButton(environment, lower, -1, core::recti());
    auto* inPause = new GUIButton(environment, pause, -1, core::recti());
    auto* inLoose = new GUIButton(environment, loose, -1, core::recti());
    inLower->drop();
    inPause->drop();
    inLoose->drop();
    manager().pushScreen(lower);
    manager().pushScreen(upper);
    EXPECT_EQ(manager().findScreenOf(inLower), lower);
    EXPECT_EQ(manager().findScreenOf(upper), upper);
    EXPECT_EQ(manager().findScreenOf(inPause), pause);
    EXPECT_EQ(manager().findScreenOf(inLoose), nullptr);
    EXPECT_EQ(manager().findScreenOf(root()), nullptr);
    EXPECT_EQ(manager().findScreenOf(nullptr), nullptr);
    EXPECT_EQ(manager().findPauseScreen(), pause);
}

TEST_F(ScreenManagerTest, OnlyAScreenIsThePauseScreen) {
    makeStanding(GuiType::Image, ScreenManager::pauseScreenId);
    EXPECT_EQ(manager().findPauseScreen(), nullptr);
}

TEST_F(ScreenManagerTest, VisiblePauseScreenIsTheTopWhileNoStackIsActive) {
    TestScreen* pause = makePause();
    auto* resume = new GUIButton(environment, pause, -1, core::recti());
    resume->drop();
    pause->setFocusedElement(resume);
    pause->setVisible(false);
    EXPECT_EQ(manager().getTopScreen(), nullptr);
    pause->setVisible(true);
    EXPECT_EQ(manager().getTopScreen(), pause);
    EXPECT_EQ(manager().getTopScreenFocus(), resume);
    TestScreen* dialog = makeScreen();
    manager().pushScreen(dialog);
    EXPECT_EQ(manager().getTopScreen(), dialog);
    EXPECT_EQ(manager().getTopScreenFocus(), nullptr);
}

// --- pause ---------------------------------------------------------------------------------------------

TEST_F(ScreenManagerTest, PauseOpensAndClosesThePauseScreen) {
    TestScreen* pause = makePause();
    pause->setVisible(false);
    int opened = 0;
    struct Counter {
        int* count;
        void hit() { ++*count; }
    } counter{&opened};
    bindCallback(manager().PauseOpened, &counter, &Counter::hit);
    usePauseKey();
    holdPause(true);
    manager().update();
    EXPECT_TRUE(pause->isVisible());
    EXPECT_EQ(opened, 1);
    manager().setPauseScreenVisible(true);
    EXPECT_EQ(opened, 1) << "showing an open pause menu again does not open it again";
    manager().update();
    EXPECT_FALSE(pause->isVisible());
    EXPECT_EQ(opened, 1);
    holdPause(false);
    manager().update();
    EXPECT_FALSE(pause->isVisible());

    // While a menu is stacked, pause does nothing.
    holdPause(true);
    manager().pushScreen(makeScreen());
    manager().update();
    EXPECT_FALSE(pause->isVisible());
    EXPECT_EQ(opened, 1);
}

// The pause menu holds the game while it is open, until one of its commands has faded it
// out (a quit leaves it faded out and visible until the menus close).
TEST_F(ScreenManagerTest, ThePauseHoldsTheGameUntilItHasFadedOut) {
    EXPECT_FALSE(manager().isGamePaused());
    TestScreen* pause = makePause();
    struct Case {
        bool visible;
        GUIScreen::FadeStates state;
        bool paused;
    };
    for (const Case& c : {Case{false, GUIScreen::Shown, false}, Case{true, GUIScreen::FadingIn, true},
                          Case{true, GUIScreen::Shown, true}, Case{true, GUIScreen::FadingOut, true},
                          Case{true, GUIScreen::FadedOut, false}}) {
        pause->setVisible(c.visible);
        pause->setFade(c.state);
        EXPECT_EQ(manager().isGamePaused(), c.paused) << c.visible << " " << c.state;
    }
}

TEST_F(ScreenManagerTest, PauseWaitsForTheLoadingOverlay) {
    TestScreen* pause = makePause();
    pause->setVisible(false);
    usePauseKey();
    holdPause(true);
    level->loadingOverlay.outroRunning = true;
    manager().update();
    EXPECT_FALSE(pause->isVisible());
    manager().setPauseScreenVisible(true);
    EXPECT_FALSE(pause->isVisible());
}

TEST_F(ScreenManagerTest, PauseWithoutAPauseScreenDoesNothing) {
    int opened = 0;
    struct Counter {
        int* count;
        void hit() { ++*count; }
    } counter{&opened};
    bindCallback(manager().PauseOpened, &counter, &Counter::hit);
    usePauseKey();
    holdPause(true);
    manager().update();
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(manager().getTopScreen(), nullptr);
    EXPECT_TRUE(manager().isInputAllowed());
}

TEST_F(ScreenManagerTest, PauseInTheCreditsReturnsToTheMainMenu) {
    TestScreen* pause = makePause();
    pause->setVisible(false);
    usePauseKey();
    // The credits level under another letter case, and a level whose name only starts as it.
    test::TempDir content;
    std::filesystem::create_directories(content.path() / "Content/Levels");
    for (const char* name : {"endingCREDITS_Screen.irr", "EndingCredits_Screen.irr2"})
        ASSERT_TRUE(test::writeFileBytes((content.path() / "Content/Levels" / name).string(), emptyScene));
    test::ScopedWorkingDir inContent(content.path());
    ASSERT_TRUE(level->loadLevel("Content/Levels/endingCREDITS_Screen.irr"));
    holdPause(true);
    manager().update();
    EXPECT_FALSE(pause->isVisible());
    // A two-second cover on view 2, then the menus close and the main menu comes.
    EXPECT_EQ(queuedLevelEvents(),
              (std::vector<std::string>{"LET_Transition 1 3 2 5 0 0", "LET_ClearMenus", "LET_ReturnToMainMenu"}));
    // Only that level: the comparison wants equal lengths.
    ASSERT_TRUE(level->loadLevel("Content/Levels/EndingCredits_Screen.irr2"));
    manager().update();
    EXPECT_TRUE(pause->isVisible());
}

// --- input capture, debug keys and the rest ------------------------------------------------------------

TEST_F(ScreenManagerTest, CaptureSkipsTheFirstFourUpdates) {
    useInput();
    // A key held down all along: the capture takes it at its fifth update.
    inputKey(KEY_KEY_G, true);
    ButtonMapping out;
    manager().update();
    EXPECT_FALSE(manager().InputCaptured) << "no capture was asked for";
    manager().setCaptureInput(true);
    for (int i = 0; i < 4; ++i)
        manager().update();
    EXPECT_FALSE(manager().InputCaptured);
    EXPECT_FALSE(manager().getCapturedControllerState(out));
    EXPECT_EQ(out.device, nullptr) << "nothing copied";
    manager().update();
    EXPECT_TRUE(manager().InputCaptured);
    ASSERT_TRUE(manager().getCapturedControllerState(out));
    EXPECT_EQ(out.device, static_cast<InputDevice*>(inputManager->getKeyboard()));
    EXPECT_EQ(out.buttonIndex, static_cast<int>(KEY_KEY_G));
    // Captured, the manager keeps what it has (another key changes nothing).
    inputKey(KEY_KEY_H, true);
    manager().update();
    ASSERT_TRUE(manager().getCapturedControllerState(out));
    EXPECT_EQ(out.buttonIndex, static_cast<int>(KEY_KEY_G));
    manager().setCaptureInput(false);
    EXPECT_FALSE(manager().getCapturedControllerState(out));
}

TEST_F(ScreenManagerTest, CaptureKeepsAskingUntilSomethingIsPressed) {
    useInput();
    manager().setCaptureInput(true);
    for (int i = 0; i < 7; ++i)
        manager().update();
    EXPECT_FALSE(manager().InputCaptured);
    inputKey(KEY_KEY_G, true);
    manager().update();
    EXPECT_TRUE(manager().InputCaptured);
}

TEST_F(ScreenManagerTest, DebugKeysSwitchDrawingTheGui) {
    debugMode = true;
    manager().handleDebugKeys();
    EXPECT_TRUE(manager().DrawGUI) << "no input manager";
    useInput();
    debugMode = false;
    inputKey(KEY_F7, true);
    manager().handleDebugKeys();
    EXPECT_TRUE(manager().DrawGUI); // no debug mode
    debugMode = true;
    manager().handleDebugKeys();
    EXPECT_FALSE(manager().DrawGUI);
    StandingElement* element = makeStanding(GuiType::Image, -1);
    manager().draw();
    EXPECT_EQ(element->draws, 0);
    inputKey(KEY_F7, false);
    inputManager->endFrame();
    inputKey(KEY_F8, true);
    manager().handleDebugKeys();
    EXPECT_TRUE(manager().DrawGUI);
    manager().draw();
    EXPECT_EQ(element->draws, 1);
    // Escape brings the GUI back as well.
    inputKey(KEY_F8, false);
    inputManager->endFrame();
    inputKey(KEY_F7, true);
    manager().handleDebugKeys();
    ASSERT_FALSE(manager().DrawGUI);
    inputKey(KEY_F7, false);
    inputManager->endFrame();
    inputKey(KEY_ESCAPE, true);
    manager().handleDebugKeys();
    EXPECT_TRUE(manager().DrawGUI);
}

TEST_F(ScreenManagerTest, F7SwitchesTheGuiAndF8OrEscapeAlwaysShowsIt) {
    useInput();
    debugMode = true;
    const auto press = [this](EKEY_CODE code) {
        inputKey(code, true);
        manager().handleDebugKeys();
        inputKey(code, false);
        inputManager->endFrame();
    };
    press(KEY_F7);
    EXPECT_FALSE(manager().DrawGUI);
    press(KEY_F7);
    EXPECT_TRUE(manager().DrawGUI);
    // The restoring keys show the GUI from either state; they never hide it.
    for (EKEY_CODE restore : {KEY_F8, KEY_ESCAPE}) {
        for (bool shown : {true, false}) {
            manager().DrawGUI = shown;
            press(restore);
            EXPECT_TRUE(manager().DrawGUI) << "key " << restore << (shown ? " over a shown GUI" : " over a hidden GUI");
        }
    }
    debugMode = false;
}

TEST_F(ScreenManagerTest, SkippedFrameStillAdvancesTheGui) {
    StandingElement* element = makeStanding(GuiType::Image, -1);
    manager().postRenderGUI(3.9f);
    manager().postRenderGUI(-1.0f);
    EXPECT_EQ(element->times, (std::vector<u32>{3, 0}));
}

TEST_F(ScreenManagerTest, OverscanMargin) {
    EXPECT_EQ(manager().getOverscanMargin(), core::position2di(0, 0));
    manager().Overscan = true;
    EXPECT_EQ(manager().getOverscanMargin(), core::position2di(64, 36));
}

TEST_F(ScreenManagerTest, MainMenuIsTheTitleScreenWithItsEntriesAbove) {
    manager().openMainScreen(3);
    ASSERT_EQ(manager().getScreenStack().size(), 2u);
    auto* entries = dynamic_cast<GUIPlayScreen*>(manager().getScreenStack()[0]);
    GUIScreen* title = manager().getScreenStack()[1];
    ASSERT_NE(entries, nullptr);
    EXPECT_STREQ(title->getTypeName(), "GUIMainScreen");
    EXPECT_EQ(title->getID(), ScreenManager::mainScreenId);
    EXPECT_EQ(entries->MenuRequest, 3) << "the play mode";
    EXPECT_TRUE(manager().isStackActive());
    // The GUI tree holds them.
    EXPECT_EQ(title->getReferenceCount(), 1);
    EXPECT_EQ(entries->getReferenceCount(), 1);
}

TEST_F(ScreenManagerTest, InitReadsTheSettingsAndOpensTheMainMenu) {
    test::TempDir dir;
    GameSettings settings(dir.file("PaddlestoneConfig.xml"));
    settings.load(true);
    gameSettings = &settings;
    setSettingBool("Mod_EnablePopups", false);
    setSettingBool("Mod_ShowLevelTimer", true);
    setSettingBool("Graphics_Overscan", true);
    setSettingBool("Audio_Subtitles", true);
    manager().init();
    EXPECT_FALSE(manager().EnablePopups);
    EXPECT_TRUE(manager().ShowLevelTimer);
    EXPECT_TRUE(manager().Overscan);
    EXPECT_TRUE(manager().Subtitles);
    EXPECT_TRUE(manager().Initialised);
    // The skin speaks in the debug font; the plain textures are the editor's white and gradient.
    gui::IGUIFont* debugFont = getCheckedFont(environment, ScreenManager::debugFontPath);
    ASSERT_NE(debugFont, nullptr);
    EXPECT_EQ(environment->getSkin()->getFont(), debugFont);
    ASSERT_NE(manager().WhiteTexture, nullptr);
    ASSERT_NE(manager().GradientTexture, nullptr);
    EXPECT_NE(std::string(manager().WhiteTexture->getName().getPath().c_str()).find("Editor/White.png"), std::string::npos);
    EXPECT_NE(std::string(manager().GradientTexture->getName().getPath().c_str()).find("Editor/Gradient.png"),
              std::string::npos);
    ASSERT_EQ(manager().getScreenStack().size(), 2u) << "the main menu";
    EXPECT_STREQ(manager().getScreenStack()[1]->getTypeName(), "GUIMainScreen");
    // With a level named on the command line no menu opens.
    levelOnCommandLine = true;
    manager().init();
    EXPECT_TRUE(manager().getScreenStack().empty());
    EXPECT_FALSE(manager().isStackActive());
    gameSettings = nullptr;
}

TEST_F(ScreenManagerTest, TeardownRemovesStackedScreensAndEmptiesTheFontCache) {
    TestScreen* menu = makeScreen();
    manager().pushScreen(menu);
    ASSERT_NE(getCachedFont(fontPath, 20), nullptr);
    delete screenManager;
    screenManager = nullptr;
    EXPECT_FALSE(inTree(menu));
    EXPECT_EQ(cachedFontCount(), 0u);
}

} // namespace

namespace {

TEST_F(ScreenManagerTest, WithoutAGuiTheMainMenuLeavesNothingOpen) {
    ScreenManager bare(nullptr);
    bare.openMainScreen(0);
    EXPECT_TRUE(bare.getScreenStack().empty());
    EXPECT_FALSE(bare.isStackActive());
    EXPECT_TRUE(bare.isInputAllowed());
}

TEST_F(ScreenManagerTest, InitMakesTheStandingHudAndPauseScreenOnce) {
    makeScreen();
    // A level named on the command line: no main menu opens over them.
    levelOnCommandLine = true;
    manager().init();
    GUIScreen* pause = manager().findPauseScreen();
    ASSERT_NE(pause, nullptr);
    EXPECT_EQ(pause, static_cast<GUIScreen*>(manager().getPauseScreen()));
    EXPECT_FALSE(pause->isVisible());
    EXPECT_TRUE(pause->isSubElement());
    ASSERT_NE(manager().getSubtitleManager(), nullptr);
    EXPECT_TRUE(manager().getSubtitleManager()->isSubElement());
    ASSERT_NE(manager().getNotificationLayer(), nullptr);
    EXPECT_TRUE(manager().getNotificationLayer()->isSubElement());
    ASSERT_NE(manager().getHud(), nullptr);
    EXPECT_EQ(manager().getHud()->getID(), ScreenManager::hudId);
    ASSERT_NE(manager().getCutsceneScreen(), nullptr);
    // The tree was emptied first: only the standing screens are left, in their drawing order
    // (HUD, cutscene overlay, notification layer, level timer box, subtitles, pause menu,
    // objective panel, the two overlay views, the two billboards, the debug overlay and the
    // message layer).
    std::vector<s32> ids;
    for (gui::IGUIElement* child : root()->getChildren())
        ids.push_back(child->getID());
    constexpr s32 overlay = ScreenManager::overlayId;
    EXPECT_EQ(ids, (std::vector<s32>{ScreenManager::hudId, overlay, -1, overlay, ScreenManager::subtitleScreenId,
                                     ScreenManager::pauseScreenId, 0, overlay, overlay, overlay, overlay,
                                     GUIDebugStats::elementId, overlay}));
    EXPECT_FALSE(manager().getDebugStats()->isVisible());
    EXPECT_EQ(manager().getCutsceneScreen()->getBarGoal(), 0.0f);
    // The message layer: drawn by its owner, a text over its shadow, both empty.
    GUIImage* layer = manager().getMessageLayer();
    ASSERT_NE(layer, nullptr);
    EXPECT_TRUE(layer->getDrawnByOwner());
    std::vector<gui::IGUIElement*> texts;
    for (gui::IGUIElement* child : layer->getChildren())
        texts.push_back(child);
    EXPECT_EQ(texts, (std::vector<gui::IGUIElement*>{manager().getMessageShadow(), manager().getMessageText()}));
    EXPECT_STREQ(manager().getMessageText()->getText(), L"");
    EXPECT_TRUE(manager().isInputAllowed());
}

// A message wraps inside its band, centred, white over a black shadow two units down and right.
TEST_F(ScreenManagerTest, TheMessageTextsWrapCentredOverTheirShadow) {
    makeScreen();
    levelOnCommandLine = true;
    manager().init();
    GUIFreeTypeText* text = manager().getMessageText();
    GUIFreeTypeText* shadow = manager().getMessageShadow();
    ASSERT_NE(text, nullptr);
    ASSERT_NE(shadow, nullptr);
    for (GUIFreeTypeText* t : {text, shadow}) {
        EXPECT_TRUE(t->isWordWrapEnabled());
        EXPECT_EQ(t->getHorizontalAlignment(), gui::EGUIA_CENTER);
        EXPECT_EQ(t->getVerticalAlignment(), gui::EGUIA_UPPERLEFT);
    }
    EXPECT_EQ(text->getOverrideColor(), video::SColor(0xFFFFFFFF));
    EXPECT_EQ(shadow->getOverrideColor(), video::SColor(0xFF000000));
    EXPECT_EQ(shadow->getRelativePosition(),
              text->getRelativePosition() + core::position2di(guiUnits(2), guiUnits(2)));
}

// A level that starts loading takes no cutscene frame along.
TEST_F(ScreenManagerTest, ALevelLoadHidesTheCutsceneFrame) {
    levelOnCommandLine = true;
    manager().init();
    GUICutscene* cutscene = manager().getCutsceneScreen();
    for (const bool loadStarts : {false, true}) {
        cutscene->setVisible(true);
        if (loadStarts)
            manager().resetSubtitlesAndCutscene();
        EXPECT_EQ(cutscene->getBarGoal(), loadStarts ? 0.0f : 1.0f) << loadStarts;
    }
}

// The notification queue of a running game.
class NotificationQueueTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        guitest::GuiFixture::SetUp();
        (new GUIElementFactory(environment))->drop();
        GUINotification::loadNotificationTable();
        screenManager->createScreens();
        coreSlots().physics.isSimulationActive = [] { return true; };
        physicsManager = reinterpret_cast<PhysicsManager*>(this);
    }
    void TearDown() override {
        physicsManager = nullptr;
        coreSlots().physics.isSimulationActive = nullptr;
        guitest::GuiFixture::TearDown();
    }
};

// A notification shown for its duration leaves a second later (its slide out), not before.
TEST_F(NotificationQueueTest, ANotificationLeavesOneSecondAfterItsDuration) {
    GUINotification* notification = screenManager->getNotificationByName("Pause");
    screenManager->showNotification(notification, 3.0f);
    ASSERT_EQ(screenManager->getActiveNotifications().size(), 1u);
    EXPECT_EQ(notification->getDuration(), 3.0f);
    EXPECT_TRUE(notification->isVisible());
    notification->setTiming(3.0f, 3.9f);
    screenManager->update();
    EXPECT_TRUE(notification->isVisible()) << "still sliding out";
    notification->setTiming(3.0f, 4.1f);
    screenManager->update();
    EXPECT_FALSE(notification->isVisible());
    EXPECT_TRUE(screenManager->getActiveNotifications().empty());
}

// Dismissing them all takes the ones showing and remembers their names; a parked one that
// is not showing is left alone.
TEST_F(NotificationQueueTest, DismissingAllTakesOnlyTheShowingOnes) {
    GUINotification* parked = screenManager->getNotificationByName("Pause");
    GUINotification* shown = screenManager->getNotificationByName("Camera");
    screenManager->showNotification(shown, 5.0f);
    ASSERT_FALSE(parked->isVisible());
    screenManager->dismissAllNotifications();
    EXPECT_TRUE(shown->isDismissed());
    EXPECT_FALSE(parked->isDismissed());
    EXPECT_EQ(screenManager->getPendingDismissals(), (std::vector<std::string>{shown->getNotificationName()}));
}

// A notification asked for by its layout file is made once, hidden and parked off screen,
// and found again by that path.
TEST_F(NotificationQueueTest, ANotificationByPathIsMadeOnceHiddenAndOffScreen) {
    const core::stringc path = "Content/Language/English/Notifications/NotificationBlank.xml";
    GUINotification* first = screenManager->getNotificationByPath(path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getGUIPath(), path);
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(first->getRelativePosition().UpperLeftCorner, core::position2di(-10000, -10000));
    EXPECT_EQ(screenManager->getNotificationByPath(path), first) << "found again, not made twice";
    GUINotification* other = screenManager->getNotificationByPath("Content/Language/English/Notifications.xml");
    EXPECT_NE(other, first);
    EXPECT_EQ(screenManager->getNotificationByPath(path), first);
}

// A level's unloading takes the notifications away and hides the paint splats on the HUD; a
// name asked for without a name finds nothing.
TEST_F(NotificationQueueTest, ALevelUnloadTakesTheNotificationsAndHidesTheSplats) {
    GUINotification* shown = screenManager->getNotificationByName("Pause");
    screenManager->showNotification(shown, 5.0f);
    GUIHud* hud = screenManager->getHud();
    ASSERT_NE(hud, nullptr);
    hud->addSplat(10.0f, {0, 0, 0});
    ASSERT_EQ(hud->getSplats().size(), 1u);
    ASSERT_TRUE(hud->getSplats()[0]->isVisible());
    EXPECT_EQ(screenManager->getNotificationByName(nullptr), nullptr);
    // The objective panel hidden in the last level shows again in the next.
    ASSERT_NE(screenManager->getObjectiveCenter(), nullptr);
    screenManager->getObjectiveCenter()->setVisible(false);
    ASSERT_NE(screenManager->getNotificationByName("Camera"), nullptr); // parked, not showing
    screenManager->resetNotifications();
    EXPECT_TRUE(screenManager->getActiveNotifications().empty());
    EXPECT_TRUE(screenManager->getNotificationLayer()->getChildren().empty());
    EXPECT_FALSE(hud->getSplats()[0]->isVisible());
    EXPECT_TRUE(screenManager->getObjectiveCenter()->isVisible());
}

// A level that starts loading forgets the queue, the waiting dismissals and the cross-fade.
TEST_F(NotificationQueueTest, ALevelLoadForgetsTheQueueTheDismissalsAndTheCrossfade) {
    screenManager->showNotification(screenManager->getNotificationByName("Pause"), 5.0f);
    screenManager->dismissNotification("Nobody", false);
    screenManager->CrossfadeAlpha = 0.5f;
    ASSERT_FALSE(screenManager->getActiveNotifications().empty());
    ASSERT_FALSE(screenManager->getPendingDismissals().empty());
    screenManager->resetSubtitlesAndCutscene();
    EXPECT_TRUE(screenManager->getActiveNotifications().empty());
    EXPECT_TRUE(screenManager->getPendingDismissals().empty());
    EXPECT_EQ(screenManager->CrossfadeAlpha, 0.0f);
}

// Two notifications past their time leave one frame after the other.
TEST_F(NotificationQueueTest, AtMostOneNotificationLeavesPerFrame) {
    GUINotification* first = screenManager->getNotificationByName("Pause");
    GUINotification* second = screenManager->getNotificationByName("Camera");
    for (GUINotification* notification : {first, second}) {
        screenManager->showNotification(notification, 3.0f);
        notification->setTiming(3.0f, 4.5f);
    }
    screenManager->update();
    EXPECT_EQ(screenManager->getActiveNotifications().size(), 1u);
    screenManager->update();
    EXPECT_TRUE(screenManager->getActiveNotifications().empty());
}

// A dismissal asked for before its notification showed waits for it, then lets it slide out
// over its last second rather than cutting it off.
TEST_F(NotificationQueueTest, AnEarlyDismissalWaitsAndLetsItsNotificationSlideOut) {
    screenManager->dismissNotification("Pause", false);
    ASSERT_EQ(screenManager->getPendingDismissals(), std::vector<std::string>{"Pause"});
    GUINotification* notification = screenManager->getNotificationByName("Pause");
    screenManager->showNotification(notification, 20.0f);
    notification->setTiming(20.0f, 5.0f);
    screenManager->update();
    EXPECT_TRUE(screenManager->getPendingDismissals().empty());
    EXPECT_TRUE(notification->isDismissed());
    EXPECT_FLOAT_EQ(notification->getDuration() - notification->getElapsed(), 1.0f);
}

// Dismissing by name takes only the showing notification of that name.
TEST_F(NotificationQueueTest, DismissingByNameTakesOnlyThatNotification) {
    GUINotification* pause = screenManager->getNotificationByName("Pause");
    GUINotification* camera = screenManager->getNotificationByName("Camera");
    screenManager->showNotification(pause, 5.0f);
    screenManager->showNotification(camera, 5.0f);
    screenManager->dismissNotification("Camera", false);
    EXPECT_TRUE(camera->isDismissed());
    EXPECT_FALSE(pause->isDismissed());
}

// The HUD shows while the level plays and hides while a level loads.
TEST_F(NotificationQueueTest, TheHudShowsInPlayAndHidesWhileALevelLoads) {
    GUIHud* hud = screenManager->getHud();
    ASSERT_NE(hud, nullptr);
    for (const bool loading : {false, true, false}) {
        SCOPED_TRACE(loading);
        level->levelLoading = loading;
        driver->beginScene();
        screenManager->draw();
        driver->endScene();
        EXPECT_EQ(hud->isVisible(), !loading);
    }
}

} // namespace
