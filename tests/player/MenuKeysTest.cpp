#include "InputTestSupport.h"

#include "core/Globals.h"
#include "player/GameActions.h"
#include "player/PlayerControls.h"
#include "player/PlayerHooks.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/KeyboardDevice.h"

namespace {

using test::InputTest;

class MenuKeysTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        startInput();
    }
    std::vector<int>& sent() { return focus->keys; }
};

TEST_F(MenuKeysTest, FixedKeysReachTheFocusedElementAsMenuCodes) {
    const struct {
        irr::EKEY_CODE key;
        int code;
    } keys[] = {{irr::KEY_LEFT, MenuCode::Left},      {irr::KEY_RIGHT, MenuCode::Right},
                {irr::KEY_DOWN, MenuCode::Down},      {irr::KEY_UP, MenuCode::Up},
                {irr::KEY_RETURN, MenuCode::Confirm}, {irr::KEY_SPACE, MenuCode::Confirm},
                {irr::KEY_ESCAPE, MenuCode::Back},    {irr::KEY_KEY_A, MenuCode::Left},
                {irr::KEY_KEY_W, MenuCode::Up},       {irr::KEY_BACK, MenuCode::Back}};
    for (const auto& entry : keys) {
        sent().clear();
        keyEvent(entry.key, true);
        frame();
        keyEvent(entry.key, false);
        frame();
        EXPECT_EQ(sent(), std::vector<int>{entry.code}) << int(entry.key);
    }
}

// At a low frame rate several taps fall between two frames, or after a frame's update: each
// tap counts once, in the order it came; a held key's engine repeats are no taps, and a held
// direction still keeps the crossing one from moving the focus.
TEST_F(MenuKeysTest, EveryTapBetweenTwoFramesCountsOnceInOrder) {
    struct Tap {
        irr::EKEY_CODE key;
        bool letGo;
    };
    const int down = MenuCode::Down, up = MenuCode::Up, right = MenuCode::Right, confirm = MenuCode::Confirm,
              back = MenuCode::Back;
    const struct {
        const char* name;
        std::vector<Tap> taps;
        bool afterUpdate;
        std::vector<int> expected;
    } cases[] = {
        {"three downs", {{irr::KEY_DOWN, true}, {irr::KEY_DOWN, true}, {irr::KEY_DOWN, true}}, false, {down, down, down}},
        {"held with repeats", {{irr::KEY_DOWN, false}, {irr::KEY_DOWN, false}, {irr::KEY_DOWN, false}}, false, {down}},
        {"mixed keys in order",
         {{irr::KEY_KEY_S, true}, {irr::KEY_RETURN, true}, {irr::KEY_UP, true}, {irr::KEY_SPACE, true},
          {irr::KEY_ESCAPE, true}, {irr::KEY_ESCAPE, true}},
         false,
         {down, confirm, up, confirm, back, back}},
        {"crossing taps let go", {{irr::KEY_DOWN, true}, {irr::KEY_RIGHT, true}}, false, {down, right}},
        {"crossing a held key", {{irr::KEY_DOWN, false}, {irr::KEY_RIGHT, true}}, false, {down}},
        {"after the update", {{irr::KEY_DOWN, true}, {irr::KEY_RETURN, true}}, true, {down, confirm}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sent().clear();
        if (c.afterUpdate)
            input->update();
        for (const Tap& tap : c.taps) {
            keyEvent(tap.key, true);
            if (tap.letGo)
                keyEvent(tap.key, false);
        }
        if (c.afterUpdate) {
            input->endFrame();
            EXPECT_TRUE(sent().empty());
        }
        frame();
        for (const Tap& tap : c.taps)
            keyEvent(tap.key, false);
        frame();
        frame();
        EXPECT_EQ(sent(), c.expected);
    }
    // A reset of the input drops the taps of the frame, also those waiting for the next one.
    for (bool afterUpdate : {false, true}) {
        SCOPED_TRACE(afterUpdate ? "reset after the update" : "reset before the update");
        sent().clear();
        if (afterUpdate)
            input->update();
        keyEvent(irr::KEY_DOWN, true);
        keyEvent(irr::KEY_DOWN, false);
        input->resetInputState();
        if (afterUpdate)
            input->endFrame();
        frame();
        EXPECT_TRUE(sent().empty());
    }
}

TEST_F(MenuKeysTest, RightClickIsBack) {
    mouseEvent(irr::EMIE_RMOUSE_PRESSED_DOWN, irr::EMBSM_RIGHT);
    frame();
    EXPECT_EQ(sent(), std::vector<int>{MenuCode::Back});
}

TEST_F(MenuKeysTest, NothingIsSentWithoutAFocusedElement) {
    playerHooks().screens.getTopScreenFocus = nullptr;
    keyEvent(irr::KEY_RETURN, true);
    frame();
    EXPECT_TRUE(sent().empty());
}

TEST_F(MenuKeysTest, HeldDirectionRepeatsAfterAQuarterSecond) {
    for (const irr::EKEY_CODE key : {irr::KEY_LEFT, irr::KEY_RIGHT, irr::KEY_DOWN, irr::KEY_UP}) {
        keyEvent(key, true);
        std::vector<int> sentAt;
        for (int update = 1; update <= 30; ++update) {
            const std::size_t before = sent().size();
            frame();
            if (sent().size() > before)
                sentAt.push_back(update);
        }
        // The press, then the first repeat at 17 updates (0.28 s), then every third update.
        const std::vector<int> expected = {1, 17, 20, 23, 26, 29};
        EXPECT_EQ(sentAt, expected) << int(key);
        keyEvent(key, false);
        frame(); // released still counts as held
        frame();
        sent().clear();
    }
    // Let go for a frame: the timers start again.
    keyEvent(irr::KEY_DOWN, true);
    for (int update = 1; update <= 16; ++update)
        frame();
    EXPECT_EQ(sent().size(), 1u);
}

TEST_F(MenuKeysTest, ALongHoldKeepsWhatEachRepeatIntervalLeftOver) {
    // Each repeat keeps the time past its 0.05 s: over a long hold the 0.0167 s updates
    // gain a whole update, and the 169th send comes on update 517 rather than 518.
    keyEvent(irr::KEY_DOWN, true);
    for (int update = 1; update <= 517; ++update)
        frame();
    EXPECT_EQ(sent().size(), 169u);
}

TEST_F(MenuKeysTest, ConfirmAndBackNeverRepeat) {
    keyEvent(irr::KEY_RETURN, true);
    keyEvent(irr::KEY_ESCAPE, true);
    for (int update = 0; update < 60; ++update)
        frame();
    EXPECT_EQ(sent(), (std::vector<int>{MenuCode::Confirm, MenuCode::Back}));
}

TEST_F(MenuKeysTest, DiagonalsDoNotMoveTheFocus) {
    const struct Row {
        irr::EKEY_CODE horizontal, vertical;
        int sentCode;
    } rows[] = {{irr::KEY_LEFT, irr::KEY_UP, MenuCode::Left}, {irr::KEY_RIGHT, irr::KEY_DOWN, MenuCode::Right}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sentCode);
        sent().clear();
        keyEvent(row.horizontal, true);
        frame();
        EXPECT_EQ(sent(), std::vector<int>{row.sentCode});
        keyEvent(row.vertical, true);
        for (int update = 0; update < 40; ++update)
            frame();
        // The vertical key is not sent while the horizontal one is held, and the horizontal
        // one does not repeat while the vertical one is held.
        EXPECT_EQ(sent(), std::vector<int>{row.sentCode});
        keyEvent(row.horizontal, false);
        keyEvent(row.vertical, false);
        frame();
        frame();
    }
}

TEST_F(MenuKeysTest, PadDirectionsAndMenuActions) {
    pads->setConnected(0, true);
    input->getGamepad()->enumerate();
    // The left stick, each way; the dead zone in the middle sends nothing.
    const struct {
        short x, y;
        int code;
    } sticks[] = {{-30000, 0, MenuCode::Left}, {30000, 0, MenuCode::Right}, {0, -30000, MenuCode::Down},
                  {0, 30000, MenuCode::Up}};
    for (const auto& stick : sticks) {
        SCOPED_TRACE(stick.code);
        sent().clear();
        pads->setSticks(0, stick.x, stick.y, 0, 0);
        frame();
        EXPECT_EQ(sent(), std::vector<int>{stick.code});
        pads->setSticks(0, 0, 0, 0, 0);
        frame();
    }
    sent().clear();
    // The remappable menu actions count while the simulation runs.
    simulation = true;
    pads->setButtons(0, platform::padButton::a);
    frame();
    EXPECT_EQ(sent(), std::vector<int>{MenuCode::Confirm});
    sent().clear();
    pads->setButtons(0, platform::padButton::b);
    frame();
    EXPECT_EQ(sent(), std::vector<int>{MenuCode::Back});
}

// A direction the player bound to another key steps and repeats through the controls, which
// answer only while the simulation runs.
TEST_F(MenuKeysTest, ARemappedDirectionStepsAndRepeatsOnlyWhileTheSimulationRuns) {
    ButtonMapping mapping;
    mapping.device = input->getKeyboard();
    mapping.buttonIndex = irr::KEY_KEY_J;
    input->getActiveControls()->addMapping(GameAction::MenuDown, mapping);
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running);
        simulation = running;
        sent().clear();
        keyEvent(irr::KEY_KEY_J, true);
        std::vector<int> sentAt;
        for (int update = 1; update <= 20; ++update) {
            const std::size_t before = sent().size();
            frame();
            if (sent().size() > before)
                sentAt.push_back(update);
        }
        EXPECT_EQ(sentAt, running ? (std::vector<int>{1, 17, 20}) : std::vector<int>{});
        for (int code : sent())
            EXPECT_EQ(code, MenuCode::Down);
        keyEvent(irr::KEY_KEY_J, false);
        frame();
        frame();
    }
}

// With joysticks ignored, their fixed menu inputs neither press nor hold a direction.
TEST_F(MenuKeysTest, IgnoredJoysticksSendNoMenuKeys) {
    joystickIgnoreInput = true;
    for (int code = MenuCode::first; code < MenuCode::first + MenuCode::count; ++code) {
        EXPECT_FALSE(input->isMenuKeyPressed(code)) << code;
        EXPECT_FALSE(input->isMenuKeyDown(code)) << code;
    }
    frame();
    EXPECT_TRUE(sent().empty());
    joystickIgnoreInput = false;
}

TEST_F(MenuKeysTest, FixedInputsAnswerDownOnlyForDirections) {
    EXPECT_FALSE(input->isMenuKeyDown(MenuCode::Down));
    keyEvent(irr::KEY_DOWN, true);
    keyEvent(irr::KEY_RETURN, true);
    EXPECT_TRUE(input->isMenuKeyDown(MenuCode::Down));
    EXPECT_TRUE(input->isMenuKeyPressed(MenuCode::Down));
    EXPECT_TRUE(input->isMenuKeyPressed(MenuCode::Confirm));
    EXPECT_FALSE(input->isMenuKeyDown(MenuCode::Confirm));
    EXPECT_FALSE(input->isMenuKeyDown(999));
    EXPECT_FALSE(input->isMenuKeyPressed(1006));
}

} // namespace
