#include "player/devices/KeyboardDevice.h"

#include <gtest/gtest.h>
#include <functional>
#include <irrlicht.h>

namespace {

class KeyboardDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { keyboard.registerButtonNames(); }

    void key(irr::EKEY_CODE code, bool down) {
        irr::SEvent event;
        event.EventType = irr::EET_KEY_INPUT_EVENT;
        event.KeyInput.Key = code;
        event.KeyInput.PressedDown = down;
        InputEvent input;
        input.kind = InputEventKind::Key;
        input.engine = &event;
        keyboard.onEvent(input);
    }
    void mouse(irr::EMOUSE_INPUT_EVENT kind, irr::u32 buttons = 0) {
        irr::SEvent event;
        event.EventType = irr::EET_MOUSE_INPUT_EVENT;
        event.MouseInput.Event = kind;
        event.MouseInput.ButtonStates = buttons;
        InputEvent input;
        input.kind = InputEventKind::Mouse;
        input.engine = &event;
        keyboard.onEvent(input);
    }
    ButtonMapping mapping(int index, int modifier = 0) {
        ButtonMapping m;
        m.device = &keyboard;
        m.buttonIndex = index;
        m.modifier = modifier;
        return m;
    }

    KeyboardDevice keyboard;
};

TEST_F(KeyboardDeviceTest, KeyStatesFollowTheFourStateRuleAcrossFrames) {
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_A), InputState::Up);
    key(irr::KEY_KEY_A, true);
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_A), InputState::Pressed);
    EXPECT_TRUE(keyboard.wasPressed(mapping(irr::KEY_KEY_A)));
    EXPECT_EQ(keyboard.getValue(mapping(irr::KEY_KEY_A)), 1.0f);
    keyboard.endFrame();
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_A), InputState::Down);
    EXPECT_FALSE(keyboard.wasPressed(mapping(irr::KEY_KEY_A)));
    EXPECT_EQ(keyboard.getValue(mapping(irr::KEY_KEY_A)), 1.0f);
    key(irr::KEY_KEY_A, false);
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_A), InputState::Released);
    EXPECT_EQ(keyboard.getValue(mapping(irr::KEY_KEY_A)), 1.0f);
    keyboard.endFrame();
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_A), InputState::Up);
    EXPECT_EQ(keyboard.getValue(mapping(irr::KEY_KEY_A)), 0.0f);
}

TEST_F(KeyboardDeviceTest, ATapWithinOneFrameIsAPressThenAReleaseInTheNext) {
    // At 5 frames a second a 100 ms tap often starts and ends between two updates.
    // Each way in: a key, a mouse button and an extra button (from the button bits).
    const struct {
        const char* name;
        int code;
        std::function<void(bool)> send;
    } inputs[] = {
        {"key", irr::KEY_SPACE, [this](bool down) { key(irr::KEY_SPACE, down); }},
        {"left button", irr::KEY_LBUTTON,
         [this](bool down) {
             mouse(down ? irr::EMIE_LMOUSE_PRESSED_DOWN : irr::EMIE_LMOUSE_LEFT_UP, down ? irr::EMBSM_LEFT : 0);
         }},
        {"extra button", irr::KEY_XBUTTON1,
         [this](bool down) { mouse(irr::EMIE_MOUSE_MOVED, down ? irr::EMBSM_EXTRA1 : 0); }},
    };
    for (const auto& input : inputs) {
        input.send(true);
        input.send(false);
        EXPECT_EQ(keyboard.keyState(input.code), InputState::Pressed) << input.name;
        EXPECT_TRUE(keyboard.wasPressed(mapping(input.code))) << input.name;
        EXPECT_EQ(keyboard.getValue(mapping(input.code)), 1.0f) << input.name;
        keyboard.endFrame();
        EXPECT_EQ(keyboard.keyState(input.code), InputState::Released) << input.name;
        EXPECT_FALSE(keyboard.wasPressed(mapping(input.code))) << input.name;
        keyboard.endFrame();
        EXPECT_EQ(keyboard.keyState(input.code), InputState::Up) << input.name;

        // Down, up and down again within the frame: held on, no release due.
        input.send(true);
        input.send(false);
        input.send(true);
        EXPECT_EQ(keyboard.keyState(input.code), InputState::Pressed) << input.name;
        keyboard.endFrame();
        EXPECT_EQ(keyboard.keyState(input.code), InputState::Down) << input.name;
        input.send(false);
        keyboard.endFrame();
        EXPECT_EQ(keyboard.keyState(input.code), InputState::Up) << input.name;
    }
}

TEST_F(KeyboardDeviceTest, AutoRepeatKeepsPressedAndDown) {
    key(irr::KEY_KEY_W, true);
    key(irr::KEY_KEY_W, true);
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_W), InputState::Pressed);
    keyboard.endFrame();
    key(irr::KEY_KEY_W, true);
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_W), InputState::Down);
    // A release of a key that is up changes nothing.
    key(irr::KEY_KEY_Q, false);
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_Q), InputState::Up);
}

TEST_F(KeyboardDeviceTest, EventsAfterTheUpdateWaitForTheNextFrame) {
    keyboard.closeEvents();
    key(irr::KEY_KEY_A, true);
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_A), InputState::Up);
    keyboard.endFrame();
    key(irr::KEY_KEY_A, true);
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_A), InputState::Pressed);
}

TEST_F(KeyboardDeviceTest, ModifiersAndIndexRanges) {
    key(irr::KEY_KEY_S, true);
    EXPECT_EQ(keyboard.getValue(mapping(irr::KEY_KEY_S, irr::KEY_CONTROL)), 0.0f);
    EXPECT_FALSE(keyboard.wasPressed(mapping(irr::KEY_KEY_S, irr::KEY_CONTROL)));
    key(irr::KEY_CONTROL, true);
    EXPECT_EQ(keyboard.getValue(mapping(irr::KEY_KEY_S, irr::KEY_CONTROL)), 1.0f);
    EXPECT_TRUE(keyboard.wasPressed(mapping(irr::KEY_KEY_S, irr::KEY_CONTROL)));
    // A modifier outside the key codes is a key that is not held.
    EXPECT_EQ(keyboard.getValue(mapping(irr::KEY_KEY_S, 300)), 0.0f);
    EXPECT_EQ(keyboard.getValue(mapping(0)), 0.0f);
    EXPECT_EQ(keyboard.getValue(mapping(255)), 0.0f);
    EXPECT_EQ(keyboard.getValue(mapping(-1)), 0.0f);
    EXPECT_FALSE(keyboard.wasPressed(mapping(255)));
    EXPECT_FALSE(keyboard.wasPressed(mapping(-3)));
}

TEST_F(KeyboardDeviceTest, MouseButtonsAreMirroredToTheirKeyCodes) {
    mouse(irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT);
    EXPECT_EQ(keyboard.keyState(irr::KEY_LBUTTON), InputState::Pressed);
    EXPECT_TRUE(keyboard.wasPressed(mapping(keyboard.getButtonIndex("KEY_LBUTTON"))));
    EXPECT_EQ(keyboard.mouseButtonState(0), InputState::Pressed);
    EXPECT_EQ(keyboard.mouseButtonState(-1), InputState::Up);
    EXPECT_EQ(keyboard.mouseButtonState(KeyboardDevice::mouseButtonCount), InputState::Up);
    mouse(irr::EMIE_RMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT | irr::EMBSM_RIGHT);
    mouse(irr::EMIE_MMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT | irr::EMBSM_RIGHT | irr::EMBSM_MIDDLE);
    EXPECT_EQ(keyboard.mouseButtonState(1), InputState::Pressed);
    keyboard.endFrame();
    EXPECT_EQ(keyboard.keyState(irr::KEY_LBUTTON), InputState::Down);
    mouse(irr::EMIE_RMOUSE_LEFT_UP, irr::EMBSM_LEFT | irr::EMBSM_MIDDLE);
    EXPECT_EQ(keyboard.keyState(irr::KEY_RBUTTON), InputState::Released);
    keyboard.endFrame();
    EXPECT_EQ(keyboard.keyState(irr::KEY_RBUTTON), InputState::Up);
    EXPECT_EQ(keyboard.keyState(irr::KEY_MBUTTON), InputState::Down);
}

TEST_F(KeyboardDeviceTest, ExtraButtonsComeFromTheButtonBitsOfEveryMouseEvent) {
    mouse(irr::EMIE_MOUSE_MOVED, irr::EMBSM_EXTRA1);
    EXPECT_EQ(keyboard.keyState(irr::KEY_XBUTTON1), InputState::Pressed);
    keyboard.endFrame();
    EXPECT_EQ(keyboard.keyState(irr::KEY_XBUTTON1), InputState::Down);
    mouse(irr::EMIE_MOUSE_WHEEL, irr::EMBSM_EXTRA1);
    EXPECT_EQ(keyboard.keyState(irr::KEY_XBUTTON1), InputState::Down);
    mouse(irr::EMIE_MOUSE_WHEEL, 0);
    EXPECT_EQ(keyboard.keyState(irr::KEY_XBUTTON1), InputState::Released);
    mouse(irr::EMIE_MOUSE_MOVED, irr::EMBSM_EXTRA2);
    EXPECT_EQ(keyboard.keyState(irr::KEY_XBUTTON2), InputState::Pressed);
}

TEST_F(KeyboardDeviceTest, NameTable) {
    EXPECT_EQ(keyboard.getButtonIndex("KEY_LBUTTON"), 1);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_BACK"), 8);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_RETURN"), 13);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_ESCAPE"), 27);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_SPACE"), 32);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_LEFT"), 37);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_DOWN"), 40);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_KEY_9"), 57);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_KEY_Z"), 90);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_F24"), 135);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_LSHIFT"), 160);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_PLUS"), 187);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_OEM_102"), 226);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_OEM_CLEAR"), 254);
    EXPECT_EQ(keyboard.getButtonIndex("key_space"), 32);
    EXPECT_EQ(keyboard.getButtonIndex("KEY_NOPE"), -1);
    // Codes with several names answer the first in name order.
    EXPECT_EQ(keyboard.getButtonName(21), "KEY_HANGUEL");
    EXPECT_EQ(keyboard.getButtonName(25), "KEY_HANJA");
    EXPECT_EQ(keyboard.getButtonName(7), "");
    EXPECT_EQ(keyboard.getButtonCount(), 255);
    EXPECT_EQ(keyboard.getDeviceCount(), 1);
}

TEST_F(KeyboardDeviceTest, ResetPutsEveryStateUp) {
    key(irr::KEY_KEY_A, true);
    mouse(irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT);
    keyboard.reset();
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_A), InputState::Up);
    EXPECT_EQ(keyboard.mouseButtonState(0), InputState::Up);
    // A release that was due goes with the reset: a key and a button held afterwards stay down.
    key(irr::KEY_KEY_B, true);
    key(irr::KEY_KEY_B, false);
    key(irr::KEY_KEY_C, true);
    key(irr::KEY_KEY_C, false);
    mouse(irr::EMIE_RMOUSE_PRESSED_DOWN, irr::EMBSM_RIGHT);
    mouse(irr::EMIE_RMOUSE_LEFT_UP, 0);
    keyboard.reset();
    key(irr::KEY_KEY_B, true);
    mouse(irr::EMIE_RMOUSE_PRESSED_DOWN, irr::EMBSM_RIGHT);
    keyboard.closeEvents();
    keyboard.endFrame();
    keyboard.closeEvents();
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_B), InputState::Down);
    EXPECT_EQ(keyboard.keyState(irr::KEY_KEY_C), InputState::Up);
    EXPECT_EQ(keyboard.mouseButtonState(2), InputState::Down);
}

} // namespace
