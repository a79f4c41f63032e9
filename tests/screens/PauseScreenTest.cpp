// The pause menu: showing and hiding through the pause toggle, the dimming it publishes, the
// gates it closes, and the level events its commands queue (through the dialogs).
#include "../gui/GuiFixture.h"

#include "core/Globals.h"
#include "gui/GUIButton.h"
#include "gui/GUIImage.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIPauseScreen.h"

#include <string>

using namespace irr;

namespace {

class PauseScreenTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        guitest::GuiFixture::SetUp();
        GuiLevelHooks& level = guiHooks().level;
        level.queueFadeTransition = [this](bool intro, s32 mode, f32 speed, f32 hold, s32 kind) {
            events.push_back(std::string(intro ? "intro " : "outro ") + std::to_string(mode) + " " +
                             std::to_string(static_cast<int>(speed * 10)) + " " +
                             std::to_string(static_cast<int>(hold)) + " " + std::to_string(kind));
        };
        level.queueRestartFromCheckpoint = [this] { events.push_back("restartFromCheckpoint"); };
        level.queueRestartLevel = [this] { events.push_back("restartLevel"); };
        level.queueClearCheckpoint = [this] { events.push_back("clearCheckpoint"); };
        level.queueClearMenus = [this] { events.push_back("clearMenus"); };
        level.queueReturnToMainMenu = [this] { events.push_back("returnToMainMenu"); };
        level.clearFreeplaySave = [this] { events.push_back("clearFreeplay"); };
        level.stopLevelSounds = [this] { events.push_back("stopSounds"); };
        level.demoQuit = [this] { events.push_back("demoQuit"); };
        level.hasCheckpoints = [this] { return checkpoints; };
        level.isStoryRun = [this] { return storyRun; };
        level.isLoadingOverlayBusy = [this] { return overlayBusy; };
        level.isLevelLoading = [this] { return loading; };
        guiHooks().sound.setAllPaused = [this](bool paused) { soundsPaused = paused; };
        guiHooks().input.isPausePressed = [this] { return pausePressed; };

        pause = new GUIPauseScreen(nullptr, environment, core::recti(0, 0, screenWidth, screenHeight));
        pause->drop();
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
        pausePressed = true;
        screenManager->update();
        pausePressed = false;
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
    std::string eventText() const {
        std::string text;
        for (const std::string& e : events)
            text += (text.empty() ? "" : ", ") + e;
        return text;
    }

    GUIPauseScreen* pause = nullptr;
    std::vector<std::string> events;
    bool checkpoints = false;
    bool storyRun = true;
    bool overlayBusy = false;
    bool loading = false;
    bool soundsPaused = false;
    bool pausePressed = false;
};

TEST_F(PauseScreenTest, StandsHiddenWithItsRows) {
    EXPECT_EQ(pause->getID(), ScreenManager::pauseScreenId);
    EXPECT_EQ(pause->getType(), toElementType(GuiType::PauseScreen));
    EXPECT_STREQ(pause->getTypeName(), "GUIPauseScreen");
    EXPECT_FALSE(pause->isVisible());
    EXPECT_EQ(screenManager->findPauseScreen(), pause);
    EXPECT_EQ(pause->getItems().size(), 4u);
    EXPECT_EQ(pause->getBackButton(), nullptr);
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
    pressPause();
    EXPECT_TRUE(pause->isVisible());
    EXPECT_TRUE(soundsPaused);
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
    EXPECT_FALSE(soundsPaused);
    EXPECT_TRUE(screenManager->isInputAllowed());
    EXPECT_TRUE(events.empty());
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
    pause->setVisible(false);
    EXPECT_EQ(pause->getDimAmount(), 1.0f);
    // A second hide while fading out changes nothing.
    pause->setVisible(false);
    runFrames();
    EXPECT_FALSE(pause->isVisible());
    EXPECT_EQ(pause->getDimAmount(), 0.0f);
}

TEST_F(PauseScreenTest, NoPauseDuringALoadOrATransition) {
    loading = true;
    pressPause();
    EXPECT_FALSE(pause->isVisible());
    loading = false;
    overlayBusy = true;
    pressPause();
    EXPECT_FALSE(pause->isVisible());
    overlayBusy = false;
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
        const char* expected;
    };
    const Case cases[] = {
        {"restart from checkpoint", 1, {0}, true, true,
         "intro 3 30 0 2, restartFromCheckpoint, clearMenus, outro 3 30 0 2"},
        {"restart from beginning, no checkpoint", 1, {1}, false, true,
         "intro 3 30 0 2, clearCheckpoint, restartLevel, clearMenus, outro 3 30 0 2"},
        {"restart from beginning asks again", 1, {1, 1}, true, true,
         "intro 3 30 0 2, clearCheckpoint, restartLevel, clearMenus, outro 3 30 0 2"},
        {"free play restart empties its save", 1, {1}, false, false,
         "clearFreeplay, intro 3 30 0 2, clearCheckpoint, restartLevel, clearMenus, outro 3 30 0 2"},
        {"second question declined", 1, {1, 0}, true, true, ""},
        {"restart cancelled", 1, {2}, true, true, ""},
        {"restart backed out", 1, {-1}, true, true, ""},
        {"quit", 3, {1}, false, true, "stopSounds, intro 3 20 0 2, clearMenus, returnToMainMenu"},
        {"quit declined", 3, {0}, false, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        checkpoints = c.checkpoints;
        storyRun = c.storyRun;
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
        EXPECT_EQ(eventText(), c.expected);
        EXPECT_TRUE(screenManager->getScreenStack().empty());
        if (std::string(c.expected).empty()) {
            // Nothing chosen: the menu is still open, and leaves by resuming.
            EXPECT_TRUE(pause->isVisible());
            pause->onResume(nullptr);
            runFrames();
        } else if (std::string(c.name) == "quit") {
            // The return to the main menu hides it; here it is the test's.
            screenManager->closeAllScreens();
        }
        EXPECT_FALSE(pause->isVisible());
    }
}

TEST_F(PauseScreenTest, ResumeDuringATransitionKeepsTheStack) {
    pressPause();
    runFrames();
    auto* menu = new GUIDialogScreen(L"", {}, environment, false, true);
    screenManager->pushScreen(menu);
    menu->drop();
    overlayBusy = true;
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
    EXPECT_EQ(eventText(), "stopSounds, intro 3 20 0 2, clearMenus, returnToMainMenu, demoQuit");
    demo->remove();
    demo->drop();
    demoMode = false;
}

} // namespace
