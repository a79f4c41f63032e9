#include "InputTestSupport.h"

#include "player/GameActions.h"
#include "player/PlayerControls.h"
#include "player/PlayerHooks.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/JoystickDevice.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/LeapDevice.h"
#include "player/devices/MoveDevice.h"
#include "player/devices/MultitouchDevice.h"
#include "player/devices/MouseDevice.h"
#include "player/devices/VibrationController.h"

namespace {

using test::InputTest;

class PlayerControlsTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        startInput();
        controls = input->getActiveControls();
        controls->clearMappings();
    }
    ButtonMapping keyMapping(irr::EKEY_CODE key, int scheme = 0) {
        ButtonMapping mapping;
        mapping.device = input->getKeyboard();
        mapping.buttonIndex = key;
        mapping.schemeIndex = scheme;
        return mapping;
    }
    ButtonMapping padMapping(int button) {
        ButtonMapping mapping;
        mapping.device = input->getGamepad();
        mapping.buttonIndex = button;
        return mapping;
    }
    PlayerControls* controls = nullptr;
};

TEST(GameActionsTest, NamesAndLookup) {
    EXPECT_STREQ(GameAction::name(0), "Grab Object");
    EXPECT_STREQ(GameAction::name(30), "Remap Count");
    EXPECT_STREQ(GameAction::name(45), "Menu Back");
    EXPECT_STREQ(GameAction::name(46), "");
    EXPECT_STREQ(GameAction::name(-1), "");
    EXPECT_EQ(GameAction::find("left grab object"), GameAction::LeftGrabObject);
    EXPECT_EQ(GameAction::find("MENU CONFIRM"), 44);
    EXPECT_EQ(GameAction::find("Menu Confirm "), -1);
    for (int action = 0; action < GameAction::count; ++action)
        EXPECT_EQ(GameAction::find(GameAction::name(action)), action);
}

TEST_F(PlayerControlsTest, StrongestUsableMappingWins) {
    ButtonMapping key = keyMapping(irr::KEY_KEY_D);
    controls->addMapping(GameAction::CameraRight, key);
    ButtonMapping mouseAxis;
    mouseAxis.device = input->getMouse();
    mouseAxis.buttonIndex = MouseDevice::XAxis;
    controls->addMapping(GameAction::CameraRight, mouseAxis);
    input->getMouse()->resetCursor();
    device->get()->getCursorControl()->setPosition(100, 100);
    input->update();
    input->endFrame();
    device->get()->getCursorControl()->setPosition(98, 100);
    keyEvent(irr::KEY_KEY_D, true);
    input->update();
    // Magnitudes compare: -2 pixels beat the key's 1.0, and the mouse is the last device.
    EXPECT_EQ(controls->getActionValue(GameAction::CameraRight), -2.0f);
    EXPECT_EQ(controls->lastDevice, input->getMouse());
    EXPECT_EQ(controls->getActionValue(-1), 0.0f);
    EXPECT_EQ(controls->getActionValue(46), 0.0f);
}

TEST_F(PlayerControlsTest, EqualMagnitudesKeepTheEarlierMapping) {
    controls->addMapping(GameAction::Limp, keyMapping(irr::KEY_KEY_V));
    ButtonMapping mouseButton;
    mouseButton.device = input->getMouse();
    mouseButton.buttonIndex = irr::KEY_LBUTTON;
    controls->addMapping(GameAction::Limp, mouseButton);
    keyEvent(irr::KEY_KEY_V, true);
    mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT);
    EXPECT_EQ(controls->getActionValue(GameAction::Limp), 1.0f);
    EXPECT_EQ(controls->lastDevice, input->getKeyboard());
}

TEST_F(PlayerControlsTest, GamepadMappingIgnoredWhileThePadIsDisconnected) {
    controls->addMapping(GameAction::GrabObject, padMapping(GamepadDevice::A));
    pads->setButtons(0, platform::padButton::a);
    input->getGamepad()->update(0.0f);
    EXPECT_EQ(controls->getActionValue(GameAction::GrabObject), 0.0f);
    pads->setConnected(0, true);
    input->getGamepad()->enumerate();
    input->getGamepad()->update(0.0f);
    EXPECT_EQ(controls->getActionValue(GameAction::GrabObject), 1.0f);
    EXPECT_TRUE(controls->wasActionPressed(GameAction::GrabObject));
}

TEST_F(PlayerControlsTest, SchemesFilterMappings) {
    controls->addMapping(GameAction::Limp, keyMapping(irr::KEY_KEY_1, 0));
    controls->addMapping(GameAction::DropObject, keyMapping(irr::KEY_KEY_2, 1));
    keyEvent(irr::KEY_KEY_1, true);
    keyEvent(irr::KEY_KEY_2, true);
    // No entry for the keyboard: every scheme counts.
    EXPECT_EQ(controls->getActionValue(GameAction::Limp), 1.0f);
    EXPECT_EQ(controls->getActionValue(GameAction::DropObject), 1.0f);
    controls->setDeviceScheme(input->getKeyboard(), 1);
    EXPECT_EQ(controls->getActionValue(GameAction::Limp), 0.0f);
    EXPECT_EQ(controls->getActionValue(GameAction::DropObject), 1.0f);
    EXPECT_EQ(controls->getDeviceScheme(input->getKeyboard()), 1);
    EXPECT_EQ(controls->getDeviceScheme(input->getGamepad()), 0);
}

TEST_F(PlayerControlsTest, TouchModeSilencesTheMouseUntilTheNextKey) {
    ButtonMapping mouseButton;
    mouseButton.device = input->getMouse();
    mouseButton.buttonIndex = irr::KEY_LBUTTON;
    controls->addMapping(GameAction::GrabObject, mouseButton);
    mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT);
    EXPECT_EQ(controls->getActionValue(GameAction::GrabObject), 1.0f);
    input->injectTouch(TouchData());
    EXPECT_EQ(controls->getActionValue(GameAction::GrabObject), 0.0f);
    keyEvent(irr::KEY_KEY_X, true);
    EXPECT_EQ(controls->getActionValue(GameAction::GrabObject), 1.0f);
}

TEST_F(PlayerControlsTest, PauseNeedsTheSimulation) {
    controls->addMapping(GameAction::PauseGame, keyMapping(irr::KEY_KEY_P));
    keyEvent(irr::KEY_KEY_P, true);
    EXPECT_FALSE(controls->isPausePressed());
    simulation = true;
    EXPECT_TRUE(controls->isPausePressed());
    frame();
    EXPECT_FALSE(controls->isPausePressed());
    keyEvent(irr::KEY_ESCAPE, true);
    EXPECT_TRUE(controls->isPausePressed());
}

TEST_F(PlayerControlsTest, MenuQueries) {
    controls->addMapping(GameAction::MenuBack, keyMapping(irr::KEY_KEY_B));
    controls->addMapping(GameAction::MenuUp, keyMapping(irr::KEY_KEY_U));
    keyEvent(irr::KEY_KEY_B, true);
    keyEvent(irr::KEY_KEY_U, true);
    EXPECT_FALSE(controls->isMenuBackPressed());
    simulation = true;
    EXPECT_TRUE(controls->isMenuBackPressed());
    EXPECT_TRUE(controls->isMenuCodePressed(MenuCode::Back));
    EXPECT_TRUE(controls->isMenuCodePressed(MenuCode::Up));
    EXPECT_TRUE(controls->isMenuCodeDown(MenuCode::Up));
    EXPECT_FALSE(controls->isMenuCodeDown(MenuCode::Down));
    EXPECT_FALSE(controls->isMenuCodePressed(1006));
}

TEST_F(PlayerControlsTest, SkipCutsceneOnlyWhileTheGameplayIsSuspended) {
    controls->addMapping(GameAction::SkipCutscene, keyMapping(irr::KEY_KEY_K));
    controls->addMapping(GameAction::ModeSwitch, keyMapping(irr::KEY_KEY_K));
    simulation = true;
    keyEvent(irr::KEY_KEY_K, true);
    EXPECT_FALSE(controls->isSkipCutscenePressed());
    EXPECT_FALSE(controls->isSkipCutsceneDown());
    EXPECT_TRUE(controls->isModeSwitchPressed());
    gameplaySuspended = true;
    EXPECT_TRUE(controls->isSkipCutscenePressed());
    EXPECT_TRUE(controls->isSkipCutsceneDown());
    // The same input skips the cutscene and does not switch modes.
    EXPECT_FALSE(controls->isModeSwitchPressed());
}

TEST_F(PlayerControlsTest, ModeSwitchAndActionsNeedInputAllowed) {
    controls->addMapping(GameAction::ModeSwitch, keyMapping(irr::KEY_TAB));
    controls->addMapping(GameAction::Limp, keyMapping(irr::KEY_KEY_V));
    keyEvent(irr::KEY_TAB, true);
    keyEvent(irr::KEY_KEY_V, true);
    EXPECT_TRUE(controls->isModeSwitchPressed());
    EXPECT_TRUE(controls->isActionActive(GameAction::Limp));
    inputAllowed = false;
    EXPECT_FALSE(controls->isModeSwitchPressed());
    EXPECT_FALSE(controls->isActionActive(GameAction::Limp));
    inputAllowed = true;
    loadingOverlayBusy = true;
    EXPECT_FALSE(controls->isModeSwitchPressed());
}

TEST_F(PlayerControlsTest, GrabHeld) {
    controls->addMapping(GameAction::LeftGrabObject, keyMapping(irr::KEY_KEY_C));
    keyEvent(irr::KEY_KEY_C, true);
    EXPECT_FALSE(controls->isGrabHeld(true));
    EXPECT_TRUE(controls->isGrabHeld(false));
    controls->addMapping(GameAction::GrabObject, keyMapping(irr::KEY_KEY_E));
    keyEvent(irr::KEY_KEY_E, true);
    EXPECT_TRUE(controls->isGrabHeld(true));
    // Neither arm role: no grabbing.
    controls->setRole(0, false);
    EXPECT_FALSE(controls->isGrabHeld(false));
    controls->setRole(1, true);
    EXPECT_TRUE(controls->isGrabHeld(false));
    inputAllowed = false;
    EXPECT_FALSE(controls->isGrabHeld(false));
}

TEST_F(PlayerControlsTest, MappingsAreCopiedAndUnboundOnesRemoved) {
    ButtonMapping mapping = keyMapping(irr::KEY_KEY_A);
    mapping.multiplier = 0.5f;
    mapping.indexFromFile = true;
    ButtonMapping* copy = controls->addMapping(GameAction::Limp, mapping);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, &mapping);
    EXPECT_EQ(copy->multiplier, 0.5f);
    EXPECT_TRUE(copy->indexFromFile);
    EXPECT_EQ(controls->addMapping(46, mapping), nullptr);
    ButtonMapping dropped = mapping;
    dropped.keep = false;
    controls->addMapping(GameAction::Limp, dropped);
    ButtonMapping noDevice;
    controls->addMapping(GameAction::Limp, noDevice);
    controls->addMapping(GameAction::Limp, keyMapping(irr::KEY_KEY_B));
    controls->removeUnboundMappings();
    ASSERT_EQ(controls->mappings(GameAction::Limp).size(), 2u);
    EXPECT_EQ(controls->mappings(GameAction::Limp)[0]->buttonIndex, irr::KEY_KEY_A);
    EXPECT_EQ(controls->mappings(GameAction::Limp)[1]->buttonIndex, irr::KEY_KEY_B);
}

TEST_F(PlayerControlsTest, ConstructionByDevice) {
    PlayerControls padPlayer(input.get(), 1, 0, 2, input->getGamepad());
    EXPECT_FALSE(padPlayer.keyboardMouseEnabled);
    EXPECT_FALSE(padPlayer.multitouchEnabled);
    EXPECT_EQ(padPlayer.gamepadInstance, 2);
    EXPECT_EQ(padPlayer.secondaryInstance, -1);
    PlayerControls mousePlayer(input.get(), 1, 1, 3, input->getMouse());
    EXPECT_TRUE(mousePlayer.keyboardMouseEnabled);
    EXPECT_EQ(mousePlayer.lastDevice, input->getMouse());
    EXPECT_EQ(mousePlayer.secondaryInstance, 3);
    PlayerControls anyPlayer(input.get(), 1, 2, -1, nullptr);
    EXPECT_EQ(anyPlayer.lastDevice, input->getMouse());
    EXPECT_TRUE(anyPlayer.usesRole(0));
    EXPECT_FALSE(anyPlayer.usesRole(1));
    EXPECT_TRUE(anyPlayer.usesRole(2));
    EXPECT_TRUE(anyPlayer.usesRole(3));
}

// A joystick player's controls take the joystick as their second device and leave the
// keyboard, the mouse and the touch surface to others; each device's mappings answer by that
// device's own rule.
TEST_F(PlayerControlsTest, AJoystickPlayerUsesOnlyItsJoystickAndEachDeviceItsOwnRule) {
    PlayerControls joystickPlayer(input.get(), 1, 3, 1, input->getJoystick());
    EXPECT_FALSE(joystickPlayer.keyboardMouseEnabled);
    EXPECT_FALSE(joystickPlayer.multitouchEnabled);
    EXPECT_EQ(joystickPlayer.secondaryInstance, 1);
    EXPECT_EQ(joystickPlayer.gamepadInstance, -1);
    EXPECT_EQ(joystickPlayer.lastDevice, input->getJoystick());

    struct OtherDevice : InputDevice {
        float getValue(const ButtonMapping&) override { return 1.0f; }
        bool wasPressed(const ButtonMapping&) override { return true; }
        std::wstring getName() const override { return L"Other"; }
        void registerButtonNames() override {}
        int getButtonCount() const override { return 1; }
        int getDeviceCount() const override { return 1; }
        bool hasMultipleInstances() const override { return false; }
    } other;
    const auto mappingOf = [](InputDevice* device) {
        ButtonMapping mapping;
        mapping.device = device;
        return mapping;
    };
    const struct {
        InputDevice* device;
        bool byDefaultControls, byJoystickPlayer;
    } rows[] = {
        {input->getKeyboard(), true, false},
        {input->getMouse(), true, false},
        {input->getMultitouch(), false, false}, // not enabled by default
        {input->getJoystick(), false, false}, // none connected
        {&other, false, false},
        {nullptr, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.device ? row.device->getNameA() : "no device");
        const ButtonMapping mapping = mappingOf(row.device);
        EXPECT_EQ(controls->isMappingUsable(&mapping), row.byDefaultControls);
        EXPECT_EQ(joystickPlayer.isMappingUsable(&mapping), row.byJoystickPlayer);
    }
    EXPECT_FALSE(controls->isMappingUsable(nullptr));
    controls->multitouchEnabled = true;
    const ButtonMapping touchSurface = mappingOf(input->getMultitouch());
    EXPECT_TRUE(controls->isMappingUsable(&touchSurface));
    // Only several mice told apart give a second mouse's controls no touch surface.
    controls->secondaryInstance = 1;
    EXPECT_TRUE(controls->isMappingUsable(&touchSurface));
}

TEST_F(PlayerControlsTest, DefaultBindingsAnswerFromEveryDevice) {
    controls->resetMappings();
    pads->setConnected(0, true);
    input->getGamepad()->enumerate();
    // Keyboard.
    keyEvent(irr::KEY_KEY_E, true);
    EXPECT_EQ(controls->getActionValue(GameAction::GrabObject), 1.0f);
    frame();
    keyEvent(irr::KEY_KEY_E, false);
    frame();
    // Mouse.
    mouseEvent(irr::EMIE_RMOUSE_PRESSED_DOWN, irr::EMBSM_RIGHT);
    EXPECT_TRUE(controls->wasActionPressed(GameAction::LeftGrabObject));
    frame();
    // Gamepad.
    pads->setButtons(0, platform::padButton::y);
    input->update();
    EXPECT_TRUE(controls->wasActionPressed(GameAction::ModeSwitch));
    EXPECT_EQ(controls->lastDevice, input->getGamepad());
    input->endFrame();
}

TEST_F(PlayerControlsTest, DevicesWithoutHardwareAreNeverAsked) {
    ButtonMapping leap;
    leap.device = input->getLeap();
    leap.buttonIndex = LeapDevice::RightVelX; // reports pressed whenever asked
    controls->addMapping(GameAction::Limp, leap);
    ButtonMapping move;
    move.device = input->getMove();
    move.buttonIndex = 40;
    controls->addMapping(GameAction::Limp, move);
    ASSERT_EQ(input->getLeap()->getDeviceCount(), 0);
    ASSERT_EQ(input->getMove()->getDeviceCount(), 0);
    EXPECT_FALSE(controls->isMappingUsable(&leap));
    EXPECT_FALSE(controls->isMappingUsable(&move));
    EXPECT_FALSE(controls->wasActionPressed(GameAction::Limp));
}

TEST_F(PlayerControlsTest, RumbleQueuesOneEffectWithEachMotorsOwnAmount) {
    const auto& effects = input->getVibration()->effects();
    controls->addRumble(0.25f, 0.75f, 0.5f, 0.1f);
    EXPECT_TRUE(effects.empty()) << "no pad connected";
    pads->setConnected(0, true);
    input->getGamepad()->enumerate();
    controls->addRumble(0.25f, 0.75f, 0.5f, 0.1f);
    ASSERT_EQ(effects.size(), 1u);
    EXPECT_EQ(effects[0].pad, 0);
    EXPECT_EQ(effects[0].startLeft, 0.25f);
    EXPECT_EQ(effects[0].endLeft, 0.25f);
    EXPECT_EQ(effects[0].startRight, 0.75f);
    EXPECT_EQ(effects[0].endRight, 0.75f);
    EXPECT_EQ(effects[0].duration, 0.5f);
    EXPECT_EQ(effects[0].delay, 0.1f);
}

TEST_F(PlayerControlsTest, InMenusTheMouseBecomesTheLastDeviceWhenUsed) {
    controls->lastDevice = input->getKeyboard();
    mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMBSM_LEFT);
    frame();
    EXPECT_EQ(controls->lastDevice, input->getKeyboard()); // in play the click changes nothing
    inputAllowed = false;
    frame();
    EXPECT_EQ(controls->lastDevice, input->getMouse());
}

} // namespace
