// The input manager and the screens together: the menu actions of the keyboard reach the
// focused element of the top screen as navigation codes, pause opens the pause screen, and
// the wheel scrolls a menu.
#include "ScreenInputFixture.h"
#include "../gui/TestMenu.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "gui/GUIScreen.h"
#include "gui/GUIScrollList.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "gui/fonts/CGUITTFont.h"
#include "gui/fonts/FontCache.h"
#include "platform/FakePadBackend.h"
#include "physics/world/PhysicsManager.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/MouseDevice.h"
#include "player/PlayerHooks.h"
#include "screens/ScreenManager.h"
#include "screens/ScreenRegistration.h"
#include "screens/menus/GUIDialogScreen.h"

#include <cstring>
#include <filesystem>

using namespace irr;

namespace {

class ScreenInputTest : public screentest::ScreenInputFixture {
protected:
    void SetUp() override {
        ScreenInputFixture::SetUp();
        startInput();
    }
    void TearDown() override {
        physicsManager = nullptr;
        physics.reset();
        ScreenInputFixture::TearDown();
    }
    // An empty physics manager: the input reads its fixed step.
    std::unique_ptr<PhysicsManager> physics;

    void key(EKEY_CODE code) {
        postKeyPress(code, [this] { frame(); });
    }
    void wheel(f32 steps) {
        SEvent event;
        std::memset(static_cast<void*>(&event), 0, sizeof(event));
        event.EventType = EET_MOUSE_INPUT_EVENT;
        event.MouseInput.Event = EMIE_MOUSE_WHEEL;
        event.MouseInput.Wheel = steps;
        device->postEventFromUser(event);
    }
    // One frame of the game: input, then the screens, then the GUI's post-render.
    void frame() {
        inputManager->update();
        screenManager->update();
        postRenderAll();
        inputManager->endFrame();
    }
    guitest::TestMenu* openMenu(int rows) {
        auto* menu = new guitest::TestMenu(environment, true, L"Menu", guitest::TestMenu::numberedRows(rows));
        menu->drop();
        screenManager->pushScreen(menu);
        menu->getScrollList()->setAppear(1.0f);
        return menu;
    }

};

TEST_F(ScreenInputTest, ArrowKeysMoveTheFocusThroughTheMenu) {
    guitest::TestMenu* menu = openMenu(3);
    frame();
    EXPECT_EQ(screenManager->getTopScreenFocus(), menu->row(0));
    key(KEY_DOWN);
    EXPECT_EQ(screenManager->getTopScreenFocus(), menu->row(1));
    key(KEY_DOWN);
    EXPECT_EQ(screenManager->getTopScreenFocus(), menu->row(2));
    key(KEY_UP);
    EXPECT_EQ(screenManager->getTopScreenFocus(), menu->row(1));
    EXPECT_EQ(soundCount(soundMenuHover), 3);
}

TEST_F(ScreenInputTest, ReturnClicksAndEscapeGoesBack) {
    guitest::TestMenu* menu = openMenu(2);
    frame();
    int clicks = 0;
    struct Counter {
        int* count;
        void hit() { ++*count; }
    } counter{&clicks};
    menu->row(0)->OnClick.addMember(&counter, &Counter::hit);
    key(KEY_RETURN);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(soundCount(soundClick), 1);
    key(KEY_ESCAPE);
    ASSERT_EQ(menu->backs.size(), 1u);
    EXPECT_EQ(menu->backs[0], nullptr);
}

// One frame a second: the taps of the second between two frames move the focus and click
// in the order they came.
TEST_F(ScreenInputTest, TapsBetweenSlowFramesMoveTheFocusInOrder) {
    guitest::TestMenu* menu = openMenu(4);
    setFrameDelta(1.0f);
    frame();
    std::vector<GUIButton*> clicked;
    struct Recorder {
        std::vector<GUIButton*>* clicked;
        void hit(GUIButton* row) { clicked->push_back(row); }
    } recorder{&clicked};
    for (int row = 0; row < 4; ++row)
        bindCallback(menu->row(row)->OnClick, &recorder, &Recorder::hit);
    for (EKEY_CODE code : {KEY_DOWN, KEY_RETURN, KEY_DOWN, KEY_DOWN, KEY_UP}) {
        postKey(code, true);
        postKey(code, false);
    }
    frame();
    EXPECT_EQ(clicked, std::vector<GUIButton*>{menu->row(1)});
    EXPECT_EQ(screenManager->getTopScreenFocus(), menu->row(2));
}

// A question opened by a click shows its first row lit, also when another of its rows comes
// under the resting cursor; the cursor moving on lights the row it is over.
TEST_F(ScreenInputTest, AQuestionOpenedByAClickKeepsItsFirstRowUnderTheRestingCursor) {
    physics = std::make_unique<PhysicsManager>();
    physicsManager = physics.get();
    coreSlots().physics.isSimulationActive = [] { return true; };
    const auto ask = [this] {
        auto* question = new GUIDialogScreen(L"Sure?", {L"No", L"Yes"}, environment, false, true);
        screenManager->pushScreen(question);
        question->drop();
        for (int update = 0; update < 10; ++update) {
            setFrameDelta(0.05f);
            frame();
        }
        return question;
    };
    GUIDialogScreen* first = ask();
    const core::position2di overYes = first->getItems().at(1)->getAbsolutePosition().getCenter();
    screenManager->popScreen(first, true);
    inputManager->getActiveControls()->lastDevice = inputManager->getMouse();
    device->getCursorControl()->setPosition(overYes);
    frame();
    GUIDialogScreen* question = ask();
    EXPECT_EQ(screenManager->getTopScreenFocus(), question->getItems().at(0));
    device->getCursorControl()->setPosition(overYes + core::position2di(1, 0));
    frame();
    EXPECT_EQ(screenManager->getTopScreenFocus(), question->getItems().at(1));
}

TEST_F(ScreenInputTest, PauseKeyOpensThePauseScreenInPlay) {
    auto* pause = new GUIScreen(environment, root(), ScreenManager::pauseScreenId, core::recti());
    pause->drop();
    pause->setVisible(false);
    // The game runs a level.
    physics = std::make_unique<PhysicsManager>();
    physicsManager = physics.get();
    coreSlots().physics.isSimulationActive = [] { return true; };
    key(KEY_ESCAPE);
    EXPECT_TRUE(pause->isVisible());
    EXPECT_FALSE(screenManager->isInputAllowed());
    key(KEY_ESCAPE);
    EXPECT_FALSE(pause->isVisible());
    EXPECT_TRUE(screenManager->isInputAllowed());
}

TEST_F(ScreenInputTest, WheelScrollsALongMenuWithinItsRows) {
    guitest::TestMenu* menu = openMenu(20);
    frame();
    // No row holds the focus (a focused row pulls the window back to itself).
    menu->setFocusedElement(nullptr);
    struct Case {
        f32 steps;
        s32 firstVisible;
    };
    // Down the rows, to the end (8 of 20 rows are below the window), back up.
    for (const Case& c : {Case{-2, 2}, Case{-1, 3}, Case{-10, 8}, Case{2, 6}}) {
        SCOPED_TRACE(c.steps);
        wheel(c.steps);
        frame();
        EXPECT_EQ(menu->getScrollList()->getFirstVisible(), c.firstVisible);
    }
    EXPECT_EQ(inputManager->getMouse()->systemMouse().wheel, 0.0f) << "the frame's steps are used up";
    frame();
    EXPECT_EQ(menu->getScrollList()->getFirstVisible(), 6);
}

} // namespace
