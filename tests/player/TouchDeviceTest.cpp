#include "InputTestSupport.h"

#include "player/InputDevice.h"
#include "player/PlayerControls.h"
#include "player/devices/TouchDevice.h"

namespace {

class TouchInputTest : public test::InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        simulation = true;
        startInput();
        touch = input->getTouch();
        controls = input->getActiveControls();
    }
    TouchDevice* touch = nullptr;
    PlayerControls* controls = nullptr;
};

TEST_F(TouchInputTest, InterfaceTakesNoPartInMappings) {
    EXPECT_EQ(touch->getName(), L"Touch");
    EXPECT_EQ(touch->getButtonCount(), 0);
    EXPECT_EQ(touch->getButtonIndex("BUTTON_0"), -1);
    EXPECT_EQ(touch->getDeviceCount(), 1);
    EXPECT_TRUE(touch->isConnected(0));
    EXPECT_TRUE(touch->usesModeSwitching());
    EXPECT_FALSE(touch->takesPartInDetection());
}

TEST_F(TouchInputTest, ATapLivesTwoEndsOfFrameAfterItsRelease) {
    finger(7, 600, 300, touchWentDown);
    finger(7, 610, 305, touchWentUp);
    const TouchPoint* point = touch->findTouch(7);
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(point->state, InputState::Released);
    EXPECT_EQ(point->startX, 600);
    EXPECT_EQ(point->prevX, 600);
    EXPECT_EQ(point->x, 610);
    EXPECT_EQ(touch->primaryTouch(), point);
    frame();
    EXPECT_EQ(point->state, InputState::Up);
    EXPECT_TRUE(point->active);
    frame();
    EXPECT_EQ(touch->findTouch(7), nullptr);
    EXPECT_EQ(touch->primaryTouch(), nullptr);
    // A move that makes a new record leaves it up; it ends at the next end of frame.
    finger(8, 10, 10, 0);
    EXPECT_EQ(touch->findTouch(8)->state, InputState::Up);
    EXPECT_EQ(touch->touchPoints().size(), 1u); // the record is reused
    frame();
    EXPECT_EQ(touch->findTouch(8), nullptr);
}

TEST_F(TouchInputTest, ButtonsFeedPauseSwitchAndGrab) {
    // 1280 x 720: the pause square is x > 1200, y < 80; the switch square x > 1180, y > 620.
    finger(1, 1201, 79, touchWentDown);
    EXPECT_TRUE(touch->isPauseTouch());
    EXPECT_TRUE(controls->isPausePressed());
    frame();
    EXPECT_FALSE(controls->isPausePressed()); // only in the frame the touch began
    finger(1, 1201, 79, touchWentUp);
    frame();
    frame();
    finger(2, 1200, 79, touchWentDown);
    EXPECT_FALSE(touch->isPauseTouch());
    finger(3, 1181, 621, touchWentDown);
    EXPECT_TRUE(touch->isSwitchTouch());
    EXPECT_TRUE(controls->isModeSwitchPressed());
    // The newest touch on the left holds grab, whichever began first.
    finger(9, 100, 300, touchWentDown);
    finger(4, 50, 300, touchWentDown);
    EXPECT_EQ(touch->findLeftTouch(0.2f)->id, 9);
    EXPECT_TRUE(controls->isGrabHeld(false));
    finger(11, 60, 300, touchWentDown, 1); // tagged touches never count as the left touch
    EXPECT_EQ(touch->findLeftTouch(0.2f)->id, 9);
    finger(12, 256, 300, touchWentDown); // on the strip's edge (0.2 of 1280): not in it
    EXPECT_EQ(touch->findLeftTouch(0.2f)->id, 9);
    EXPECT_EQ(touch->countPressedTouches(), 6);
    frame();
    EXPECT_EQ(touch->countPressedTouches(), 6) << "held touches count too";
}

TEST_F(TouchInputTest, TouchButtonsCountOnlyInTouchMode) {
    ButtonMapping onTouch;
    onTouch.device = touch;
    EXPECT_FALSE(controls->isMappingUsable(&onTouch));
    finger(1, 1201, 79, touchWentDown);
    finger(3, 1181, 621, touchWentDown);
    ASSERT_TRUE(touch->isPauseTouch());
    ASSERT_TRUE(touch->isSwitchTouch());
    EXPECT_TRUE(controls->isMappingUsable(&onTouch));
    // A key in the same frame leaves touch mode: the corners are not buttons then.
    keyEvent(irr::KEY_F7, true);
    ASSERT_FALSE(controls->touchMode);
    EXPECT_FALSE(controls->isMappingUsable(&onTouch));
    EXPECT_FALSE(controls->isPausePressed());
    EXPECT_FALSE(controls->isModeSwitchPressed());
    finger(4, 50, 300, touchWentDown);
    keyEvent(irr::KEY_F8, true);
    EXPECT_FALSE(controls->isGrabHeld(false));
}

TEST_F(TouchInputTest, InACutsceneAnyFingerHoldsSkipAndOneHeldOverASecondSkips) {
    gameplaySuspended = true;
    EXPECT_FALSE(controls->isSkipCutsceneDown());
    finger(1, 600, 300, touchWentDown);
    EXPECT_TRUE(controls->isSkipCutsceneDown()) << "one finger is enough";
    EXPECT_FALSE(controls->isSkipCutscenePressed());
    // 59 updates of 0.0167 s are 0.985 s, 60 are past the second.
    for (int update = 0; update < 59; ++update)
        frame();
    EXPECT_FALSE(controls->isSkipCutscenePressed());
    frame();
    EXPECT_TRUE(controls->isSkipCutscenePressed());
}

TEST_F(TouchInputTest, ButtonRectanglesAtTheReferenceSize) {
    const TouchDevice::Rect pause = TouchDevice::pauseButtonRect(1280, 720);
    EXPECT_EQ((std::vector<irr::s32>{pause.left, pause.top, pause.right, pause.bottom}),
              (std::vector<irr::s32>{1201, 20, 1261, 80}));
    const TouchDevice::Rect switcher = TouchDevice::switchButtonRect(1280, 720);
    EXPECT_EQ((std::vector<irr::s32>{switcher.left, switcher.top, switcher.right, switcher.bottom}),
              (std::vector<irr::s32>{1181, 621, 1261, 701}));
    const TouchDevice::Rect grab = TouchDevice::grabStripRect(1280, 720);
    EXPECT_EQ((std::vector<irr::s32>{grab.left, grab.top, grab.right, grab.bottom}),
              (std::vector<irr::s32>{0, 0, 267, 720}));
}

TEST_F(TouchInputTest, DoubleAndTripleClicksAreTaps) {
    mouseEvent(irr::EMIE_LMOUSE_DOUBLE_CLICK);
    EXPECT_TRUE(touch->isDoubleTap());
    mouseEvent(irr::EMIE_LMOUSE_TRIPLE_CLICK);
    EXPECT_FALSE(touch->isDoubleTap());
    EXPECT_TRUE(touch->isTripleTap());
    frame();
    EXPECT_FALSE(touch->isTripleTap());
}

} // namespace
