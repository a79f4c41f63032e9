// The pause menu: showing and hiding through the pause toggle, the dimming it publishes, the
// gates it closes, and the level events its commands queue (through the dialogs).
#include "../gui/GuiFixture.h"

#include "core/Globals.h"
#include "gui/GUIButton.h"
#include "gui/GUIImage.h"
#include "gui/GuiCommon.h"
#include "core/CoreSlots.h"
#include "core/SoundManager.h"
#include "gui/GuiHooks.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "level/SoundObject.h"
#include "platform/audio/EventSystem.h"
#include "player/InputManager.h"
#include "physics/world/PhysicsManager.h"
#include "screens//ScreenManager.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIPauseScreen.h"
#include "gui/GUIMenuItem.h"
#include "gui/GUIFreeTypeText.h"

#include <memory>
#include <string>
#include <vector>

using namespace irr;

namespace {

class PauseScreenTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        guitest::GuiFixture::SetUp();
        // The game runs a level (an empty physics manager: the input reads its fixed step);
        // the pause key is Escape at the input manager.
        physics = std::make_unique<PhysicsManager>();
        physicsManager = physics.get();
        coreSlots().physics.isSimulationActive = [] { return true; };
        useInput();
        pause = new GUIPauseScreen(nullptr, environment, core::recti(0, 0, screenWidth, screenHeight));
        pause->drop();
    }
    void TearDown() override {
        physicsManager = nullptr;
        physics.reset();
        GuiFixture::TearDown();
    }
    void runFrames(int frames = 12) {
        for (int i = 0; i < frames; ++i) {
            setFrameDelta(0.05f);
            postRenderAll();
            screenManager->update();
        }
    }
    // One press of the pause key, seen by the next update.
    void pressPause() {
        inputKey(KEY_ESCAPE, true);
        screenManager->update();
        inputKey(KEY_ESCAPE, false);
        inputManager->endFrame();
    }
    GUIDialogScreen* topDialog() const {
        const auto& stack = screenManager->getScreenStack();
        return stack.empty() ? nullptr : dynamic_cast<GUIDialogScreen*>(stack.front());
    }
    // Answers the open dialog and lets it fade out.
    void answer(int index) {
        GUIDialogScreen* dialog = topDialog();
        ASSERT_NE(dialog, nullptr);
        runFrames();
        dialog->onOptionChosen(dialog->getItems()[static_cast<std::size_t>(index)]);
        runFrames();
    }
    // A level manager with nothing queued in place of the one there is.
    void renewLevelManager() {
        auto fresh = std::make_unique<LevelManager>(device);
        level.swap(fresh);
        levelManager = level.get();
    }
    static bool isPaused(audio::Event* event) {
        bool paused = false;
        return event && event->getPaused(&paused) == audio::Result::Ok && paused;
    }
    // A level sound object playing in the scene.
    SoundObject* playLevelSound() {
        auto* object = new SoundObject(device->getSceneManager()->getRootSceneNode(), device->getSceneManager());
        object->drop();
        object->EventName = sound->getEffectName(soundMenuHover).c_str();
        object->play();
        return object;
    }

    GUIPauseScreen* pause = nullptr;
    std::unique_ptr<PhysicsManager> physics;
};

// The pause menu and each of its questions read in their own words, with their own answers.
TEST_F(PauseScreenTest, EachQuestionHasItsTextAndAnswers) {
    ASSERT_NE(pause->getTitleText(), nullptr);
    EXPECT_EQ(pause->getTitleText()->getOwnText(), getLanguageText(9));
    std::vector<std::wstring> rows, expectedRows;
    for (GUIButton* item : pause->getItems())
        rows.push_back(static_cast<GUIMenuItem*>(item)->getCaptionText()->getText());
    for (s32 id : {150, 151, 154, 152})
        expectedRows.push_back(getLanguageText(id).c_str());
    EXPECT_EQ(rows, expectedRows);
    const struct {
        const char* what;
        std::size_t row;
        std::vector<int> before; // answers given first
        s32 title;
        std::vector<s32> answers;
    } cases[] = {
        {"restart", 1, {}, 122, {123, 124, 104}},
        {"restart from the beginning", 1, {1}, 414, {103, 102}},
        {"quit", 3, {}, 409, {103, 102}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        renewLevelManager();
        level->checkpointList.push_back(1);
        level->PlayMode = LevelManager::playModeStory;
        pressPause();
        runFrames();
        pause->getItems()[c.row]->OnClick.invoke(reinterpret_cast<DelegateArg>(pause->getItems()[c.row]));
        for (int a : c.before)
            answer(a);
        GUIDialogScreen* dialog = topDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_NE(dialog->getTitleText(), nullptr);
        EXPECT_EQ(dialog->getTitleText()->getOwnText(), getLanguageText(c.title));
        // The question holds the game's timer and stands on the pause panel's side.
        EXPECT_FALSE(dialog->getKeepTimerRunning());
        EXPECT_TRUE(dialog->isPanelOnRight());
        std::vector<std::wstring> answers, expected;
        for (GUIButton* item : dialog->getItems())
            answers.push_back(static_cast<GUIMenuItem*>(item)->getCaptionText()->getText());
        for (s32 id : c.answers)
            expected.push_back(getLanguageText(id).c_str());
        EXPECT_EQ(answers, expected);
        screenManager->closeAllScreens();
        screenManager->update();
        runFrames();
    }
}

TEST_F(PauseScreenTest, StandsHiddenWithItsRows) {
    EXPECT_EQ(pause->getID(), ScreenManager::pauseScreenId);
    EXPECT_EQ(pause->getType(), toElementType(GuiType::PauseScreen));
    EXPECT_STREQ(pause->getTypeName(), "GUIPauseScreen");
    EXPECT_FALSE(pause->isVisible());
    EXPECT_EQ(screenManager->findPauseScreen(), pause);
    EXPECT_EQ(pause->getItems().size(), 4u);
    EXPECT_EQ(pause->getBackButton(), nullptr);
    EXPECT_EQ(pause->getPanelType(), 0);
    // The tint reaches past every edge of the screen.
    EXPECT_EQ(pause->getDimImage()->getRelativePosition(), core::recti(-screenWidth, -screenHeight, screenWidth, screenHeight));
    EXPECT_TRUE(pause->getDimImage()->isNotClipped());
    EXPECT_EQ(pause->getDimAmount(), 0.0f);
    EXPECT_TRUE(screenManager->isInputAllowed());
    // Shown, its rows stand on its panel, one under the other.
    pressPause();
    runFrames(40);
    s32 previousY = -1;
    for (GUIButton* item : pause->getItems()) {
        const core::recti rect = item->getAbsolutePosition();
        EXPECT_GE(rect.UpperLeftCorner.X, screenWidth - pause->getPanelWidth());
        EXPECT_GT(rect.UpperLeftCorner.Y, previousY);
        previousY = rect.UpperLeftCorner.Y;
    }
}

TEST_F(PauseScreenTest, PauseClosesTheGatesAndResumeReopensThem) {
    audio::Event* playing = sound->playEffect(soundMenuHover);
    ASSERT_NE(playing, nullptr);
    pressPause();
    EXPECT_TRUE(pause->isVisible());
    EXPECT_TRUE(isPaused(playing)) << "the game's sounds pause";
    EXPECT_EQ(soundCount(39), 1);
    EXPECT_FALSE(screenManager->isInputAllowed());
    EXPECT_FALSE(screenManager->isGameUpdateAllowed());
    EXPECT_EQ(screenManager->getTopScreenFocus(), pause->getItems()[0]);
    runFrames();
    EXPECT_EQ(pause->getFadeState(), GUIScreen::Shown);
    EXPECT_EQ(pause->getDimAmount(), 1.0f);
    // The tint reaches alpha 180.
    EXPECT_TRUE(pause->getDimImage()->isVisible());
    EXPECT_EQ(pause->getDimImage()->getColor().getAlpha(), 180u);

    // Accept on Resume, by keyboard or pad.
    sendKey(screenManager->getTopScreenFocus(), MenuKey::Accept);
    EXPECT_EQ(pause->getFadeState(), GUIScreen::FadingOut);
    EXPECT_TRUE(pause->isVisible());
    runFrames();
    EXPECT_FALSE(pause->isVisible());
    EXPECT_FALSE(isPaused(playing));
    EXPECT_TRUE(screenManager->isInputAllowed());
    EXPECT_TRUE(queuedLevelEvents().empty());
}

TEST_F(PauseScreenTest, PressingPauseAgainOrBackResumes) {
    for (const char* how : {"pause key", "back key"}) {
        SCOPED_TRACE(how);
        pressPause();
        runFrames();
        if (std::string(how) == "pause key")
            pressPause();
        else
            sendKey(pause, MenuKey::Back);
        EXPECT_EQ(pause->PendingCommand, "Resume");
        runFrames();
        EXPECT_FALSE(pause->isVisible());
        EXPECT_TRUE(screenManager->isInputAllowed());
    }
    EXPECT_EQ(soundCount(38), 1);
}

TEST_F(PauseScreenTest, HidingDuringTheFadeInJumpsTheDimming) {
    pressPause();
    setFrameDelta(0.05f);
    postRenderAll();
    const f32 partly = pause->getDimAmount();
    EXPECT_GT(partly, 0.0f);
    EXPECT_LT(partly, 1.0f);
    // The tint eases in: 3f^2 - 2f^3 of its strongest alpha.
    const f32 eased = 3.0f * partly * partly - 2.0f * partly * partly * partly;
    EXPECT_TRUE(pause->getDimImage()->isVisible());
    EXPECT_EQ(pause->getDimImage()->getColor().getAlpha(), static_cast<u32>(eased * 180.0f));
    EXPECT_EQ(pause->getDimImage()->getColor().getRed(), 255u);
    pause->setVisible(false);
    EXPECT_EQ(pause->getDimAmount(), 1.0f);
    // A second hide while fading out changes nothing.
    pause->setVisible(false);
    runFrames();
    EXPECT_FALSE(pause->isVisible());
    EXPECT_EQ(pause->getDimAmount(), 0.0f);
    EXPECT_FALSE(pause->getDimImage()->isVisible());
}

// The pause menu opens without its sound while the game is held behind a covering screen.
TEST_F(PauseScreenTest, ThePauseMenuOpensSilentlyWhileTheGameIsSuspended) {
    coreSlots().level.isSuspended = [] { return true; };
    pause->setVisible(true);
    EXPECT_TRUE(pause->isVisible());
    EXPECT_EQ(soundCount(39), 0);
    coreSlots().level.isSuspended = nullptr;
    pause->setVisible(false);
    runFrames();
    ASSERT_FALSE(pause->isVisible());
    pause->setVisible(true);
    EXPECT_EQ(soundCount(39), 1);
}

TEST_F(PauseScreenTest, NoPauseDuringALoadOrATransition) {
    level->levelLoading = true;
    pressPause();
    EXPECT_FALSE(pause->isVisible());
    level->levelLoading = false;
    level->loadingOverlay.introRunning = true;
    pressPause();
    EXPECT_FALSE(pause->isVisible());
    level->loadingOverlay.introRunning = false;
    pressPause();
    EXPECT_TRUE(pause->isVisible());
}

TEST_F(PauseScreenTest, CommandsQueueTheirLevelEvents) {
    struct Case {
        const char* name;
        int row;
        std::vector<int> answers;
        bool checkpoints;
        bool storyRun;
        std::vector<std::string> expected;
        bool freePlayForgotten;
        bool soundsStopped;
    };
    const std::vector<std::string> restartFromCheckpoint = {"LET_Transition 1 3 -1 30 0 2", "LET_RestartFromCheckpoint",
                                                            "LET_ClearMenus", "LET_Transition 0 3 -1 30 0 2"};
    const std::vector<std::string> restartFromBeginning = {"LET_Transition 1 3 -1 30 0 2", "LET_ClearCheckpoint",
                                                           "LET_RestartLevel", "LET_ClearMenus",
                                                           "LET_Transition 0 3 -1 30 0 2"};
    const std::vector<std::string> quit = {"LET_Transition 1 3 -1 20 0 2", "LET_ClearMenus", "LET_ReturnToMainMenu"};
    const Case cases[] = {
        {"restart from checkpoint", 1, {0}, true, true, restartFromCheckpoint, false, false},
        {"restart from beginning, no checkpoint", 1, {1}, false, true, restartFromBeginning, false, false},
        {"restart from beginning asks again", 1, {1, 1}, true, true, restartFromBeginning, false, false},
        {"free play restart empties its save", 1, {1}, false, false, restartFromBeginning, true, false},
        {"second question declined", 1, {1, 0}, true, true, {}, false, false},
        {"second question backed out", 1, {1, -1}, true, true, {}, false, false},
        {"restart cancelled", 1, {2}, true, true, {}, false, false},
        {"restart backed out", 1, {-1}, true, true, {}, false, false},
        {"quit", 3, {1}, false, true, quit, false, true},
        {"quit declined", 3, {0}, false, true, {}, false, false},
        {"quit backed out", 3, {-1}, false, true, {}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        renewLevelManager();
        if (c.checkpoints)
            level->checkpointList.push_back(1);
        level->PlayMode = c.storyRun ? LevelManager::playModeStory : 0;
        save->getGroup(SaveManager::Freeplay)->setAttribute("Level", "Content/Levels/A.irr");
        SoundObject* levelSound = playLevelSound();
        pressPause();
        runFrames();
        pause->getItems()[static_cast<std::size_t>(c.row)]->OnClick.invoke(
            reinterpret_cast<DelegateArg>(pause->getItems()[static_cast<std::size_t>(c.row)]));
        for (int a : c.answers) {
            GUIDialogScreen* dialog = topDialog();
            ASSERT_NE(dialog, nullptr);
            // The pause menu stays open beneath the question, and input stays blocked.
            EXPECT_TRUE(pause->isVisible());
            EXPECT_FALSE(screenManager->isInputAllowed());
            runFrames();
            // The pause key under the question leaves the question and the menu as they are.
            pressPause();
            EXPECT_EQ(pause->getFadeState(), GUIScreen::Shown);
            EXPECT_EQ(topDialog(), dialog);
            dialog->onOptionChosen(a < 0 ? nullptr : dialog->getItems()[static_cast<std::size_t>(a)]);
            runFrames();
        }
        EXPECT_EQ(queuedLevelEvents(), c.expected);
        EXPECT_EQ(save->getGroup(SaveManager::Freeplay)->getAttributeCount() == 0, c.freePlayForgotten);
        EXPECT_EQ(levelSound->isPlaying(), !c.soundsStopped);
        levelSound->remove();
        EXPECT_TRUE(screenManager->getScreenStack().empty());
        if (c.expected.empty()) {
            // Nothing chosen: the menu is still open, and leaves by resuming.
            EXPECT_TRUE(pause->isVisible());
            pause->onResume(nullptr);
            runFrames();
        } else {
            // Leaving the level: the game stays dimmed, with the menu's panel away, and the
            // queue runs (the pause holds it no longer) until the cleared menus hide it under
            // the cover; here the clearing is the test's.
            EXPECT_TRUE(pause->isVisible());
            EXPECT_TRUE(pause->isLeavingLevel());
            EXPECT_EQ(pause->getDimAmount(), 1.0f);
            EXPECT_FALSE(screenManager->isGamePaused());
            EXPECT_GE(pause->getRelativePosition().UpperLeftCorner.X, pause->getPanelWidth()) << "the panel is away";
            screenManager->closeAllScreens();
            EXPECT_EQ(pause->getDimAmount(), 0.0f);
        }
        EXPECT_FALSE(pause->isVisible());
    }
}

// Under a question the menu's panel goes away (the question's panel takes its place), and it
// comes back when the question is cancelled: it does not show between the two.
TEST_F(PauseScreenTest, ThePanelStandsAwayWhileAQuestionStandsOverIt) {
    pressPause();
    runFrames();
    const s32 shownAt = pause->getRelativePosition().UpperLeftCorner.X;
    EXPECT_LE(shownAt, 0);
    pause->openRestartFromCheckpointDialog(nullptr);
    runFrames();
    EXPECT_GE(pause->getRelativePosition().UpperLeftCorner.X, pause->getPanelWidth());
    answer(2);
    EXPECT_TRUE(screenManager->getScreenStack().empty());
    EXPECT_FALSE(pause->isLeavingLevel());
    EXPECT_EQ(pause->getRelativePosition().UpperLeftCorner.X, shownAt);
    EXPECT_EQ(pause->getDimAmount(), 1.0f);
}

TEST_F(PauseScreenTest, ResumeDuringATransitionKeepsTheStack) {
    pressPause();
    runFrames();
    auto* menu = new GUIDialogScreen(L"", {}, environment, false, true);
    screenManager->pushScreen(menu);
    menu->drop();
    level->loadingOverlay.introRunning = true;
    pause->onResume(nullptr);
    for (int i = 0; i < 12; ++i) {
        setFrameDelta(0.05f);
        postRenderAll();
    }
    EXPECT_FALSE(pause->isVisible());
    EXPECT_EQ(screenManager->getScreenStack().size(), 1u);
}

} // namespace

namespace {

// In demo mode the menu has no Options row and Quit also empties the checkpoints.
TEST_F(PauseScreenTest, DemoModeLeavesOutOptionsAndForgetsCheckpointsOnQuit) {
    demoMode = true;
    level->checkpointList = {1, 2};
    struct Counter {
        int calls = 0;
        void hit() { ++calls; }
    } quitList;
    level->onQuit.addMember(&quitList, &Counter::hit);
    auto* demo = new GUIPauseScreen(nullptr, environment, core::recti(0, 0, screenWidth, screenHeight));
    EXPECT_EQ(demo->getItems().size(), 3u);
    demo->setVisible(true);
    for (int i = 0; i < 12; ++i) {
        setFrameDelta(0.05f);
        postRenderAll();
    }
    s32 yes = 1;
    demo->onQuitAnswer(yes);
    for (int i = 0; i < 12; ++i) {
        setFrameDelta(0.05f);
        postRenderAll();
    }
    EXPECT_EQ(queuedLevelEvents(),
              (std::vector<std::string>{"LET_Transition 1 3 -1 20 0 2", "LET_ClearMenus", "LET_ReturnToMainMenu"}));
    EXPECT_EQ(quitList.calls, 1) << "the level's quit list ran";
    EXPECT_TRUE(level->checkpointList.empty());
    level->onQuit.removeMember(&quitList, &Counter::hit);
    demo->remove();
    demo->drop();
    demoMode = false;
}

} // namespace
