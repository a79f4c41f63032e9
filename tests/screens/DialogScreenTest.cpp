// The question dialog: the answer reaches the listeners after the fade-out, by keyboard or
// gamepad (navigation codes) and by mouse; back answers -1.
#include "../gui/GuiFixture.h"

#include "gui/GUIButton.h"
#include "gui/GUIMenuItem.h"
#include "gui/GuiCommon.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIDialogScreen.h"

#include "core/Globals.h"

using namespace irr;

namespace {

struct AnswerLog {
    std::vector<s32> answers;
    std::vector<std::size_t> stackSizes;
    void take(s32& answer) {
        answers.push_back(answer);
        stackSizes.push_back(screenManager->getScreenStack().size());
    }
};

class DialogScreenTest : public guitest::GuiFixture {
protected:
    GUIDialogScreen* openDialog(std::vector<core::stringw> options) {
        auto* dialog = new GUIDialogScreen(L"Really?", options, environment, false, true);
        bindCallback(dialog->AnswerChosen, &log, &AnswerLog::take);
        screenManager->pushScreen(dialog);
        dialog->drop();
        return dialog;
    }
    // Frames of 0.05 s until the fades have run their course.
    void runFrames(int frames = 12) {
        for (int i = 0; i < frames; ++i) {
            setFrameDelta(0.05f);
            postRenderAll();
        }
    }
    AnswerLog log;
};

TEST_F(DialogScreenTest, TheFirstRowShowsItsFocusFromTheFirstFrameAndChoicesWaitForTheFadeIn) {
    GUIDialogScreen* dialog = openDialog({L"No", L"Yes"});
    EXPECT_EQ(dialog->getID(), ScreenManager::menuScreenId);
    EXPECT_EQ(dialog->getType(), toElementType(GuiType::OptionsList));
    EXPECT_STREQ(dialog->getTypeName(), "GUIScreen");
    ASSERT_EQ(dialog->getItems().size(), 2u);
    runFrames(1);
    EXPECT_EQ(dialog->getFadeState(), GUIScreen::FadingIn);
    EXPECT_EQ(screenManager->getTopScreenFocus(), dialog->getItems()[0]);
    EXPECT_EQ(dialog->getItems()[0]->getState(), ButtonState::Focused);
    // Accept and back during the fade-in choose nothing.
    sendKey(screenManager->getTopScreenFocus(), MenuKey::Accept);
    sendKey(dialog, MenuKey::Back);
    EXPECT_EQ(dialog->getFadeState(), GUIScreen::FadingIn);
    runFrames();
    EXPECT_TRUE(log.answers.empty());
    EXPECT_EQ(dialog->getFadeState(), GUIScreen::Shown);
    EXPECT_TRUE(dialog->getItems()[1]->isEnabled());
    EXPECT_EQ(screenManager->getTopScreenFocus(), dialog->getItems()[0]);
    EXPECT_EQ(dialog->getItems()[0]->getState(), ButtonState::Focused);
    EXPECT_FALSE(screenManager->isInputAllowed());
}

TEST_F(DialogScreenTest, AnswersArriveAfterTheFadeOut) {
    struct Case {
        const char* how;
        s32 expected;
    };
    for (const Case& c : {Case{"accept first", 0}, Case{"down accept", 1}, Case{"back key", -1},
                          Case{"back row", -1}, Case{"mouse second", 1}}) {
        SCOPED_TRACE(c.how);
        log = AnswerLog();
        GUIDialogScreen* dialog = openDialog({L"No", L"Yes"});
        runFrames();
        const std::string how = c.how;
        GUIButton* second = dialog->getItems()[1];
        if (how == "accept first") {
            sendKey(screenManager->getTopScreenFocus(), MenuKey::Accept);
        } else if (how == "down accept") {
            sendKey(screenManager->getTopScreenFocus(), MenuKey::Down);
            sendKey(screenManager->getTopScreenFocus(), MenuKey::Accept);
        } else if (how == "back key") {
            sendKey(screenManager->getTopScreenFocus(), MenuKey::Back);
        } else if (how == "back row") {
            dialog->getBackButton()->OnClick.invoke(reinterpret_cast<DelegateArg>(dialog->getBackButton()));
        } else {
            const core::position2di centre = second->getAbsolutePosition().getCenter();
            dialog->setFocusedElement(second);
            sendMouse(second, EMIE_LMOUSE_PRESSED_DOWN, centre.X, centre.Y);
            sendMouse(second, EMIE_LMOUSE_LEFT_UP, centre.X, centre.Y);
        }
        // Nothing is reported at the choice itself.
        EXPECT_TRUE(log.answers.empty());
        EXPECT_EQ(dialog->getFadeState(), GUIScreen::FadingOut);
        EXPECT_FALSE(second->isEnabled());
        // The answer stays lit as the dialog leaves, from the draw right after the choice on
        // (its bar gone for that frame left white text on the bare panel).
        GUIMenuItem* chosen = c.expected < 0 ? nullptr
                                             : static_cast<GUIMenuItem*>(dialog->getItems()[static_cast<std::size_t>(c.expected)]);
        if (chosen) {
            EXPECT_EQ(chosen->getHighlight()->getState(), ButtonState::Focused) << "at the choice";
        }
        runFrames(1);
        if (chosen) {
            EXPECT_EQ(chosen->getHighlight()->getState(), ButtonState::Focused) << "a frame on";
        }
        runFrames();
        ASSERT_EQ(log.answers.size(), 1u);
        EXPECT_EQ(log.answers[0], c.expected);
        // The listener ran before the dialog left the stack.
        EXPECT_EQ(log.stackSizes[0], 1u);
        EXPECT_TRUE(screenManager->getScreenStack().empty());
        EXPECT_EQ(screenManager->getRemovalList().size(), 1u);
        screenManager->flushScreenRemovals();
    }
}

// The dialog keeps the game's timer running or not, and stands on the side, as its opener asks.
TEST_F(DialogScreenTest, TheTimerAndTheSideAreTheOpenersChoice) {
    for (bool keep : {true, false})
        for (bool right : {true, false}) {
            auto* dialog = new GUIDialogScreen(L"Really?", {L"No"}, environment, keep, right);
            EXPECT_EQ(dialog->getKeepTimerRunning(), keep) << keep << right;
            EXPECT_EQ(dialog->isPanelOnRight(), right) << keep << right;
            EXPECT_FALSE(dialog->PassInput);
            EXPECT_EQ(dialog->getPanelType(), 1);
            dialog->remove();
            dialog->drop();
        }
}

TEST_F(DialogScreenTest, BackDuringTheFadeOutKeepsTheAnswer) {
    GUIDialogScreen* dialog = openDialog({L"No", L"Yes"});
    runFrames();
    dialog->onOptionChosen(dialog->getItems()[1]);
    sendKey(dialog, MenuKey::Back);
    runFrames();
    ASSERT_EQ(log.answers.size(), 1u);
    EXPECT_EQ(log.answers[0], 1);
}

TEST_F(DialogScreenTest, WithoutAnswersOnlyBackRemains) {
    GUIDialogScreen* dialog = openDialog({});
    EXPECT_TRUE(dialog->getItems().empty());
    ASSERT_NE(dialog->getBackButton(), nullptr);
    runFrames();
    sendKey(dialog, MenuKey::Back);
    runFrames();
    ASSERT_EQ(log.answers.size(), 1u);
    EXPECT_EQ(log.answers[0], -1);
}

} // namespace
