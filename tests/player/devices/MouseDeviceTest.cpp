#include "platform/MultiMouse.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "physics/world/PhysicsManager.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/MouseDevice.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <deque>
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <memory>

namespace {

// A multi-mouse driver fed by the test.
std::deque<platform::MultiMouseEvent> rawEvents;
int rawMice = 2;
bool driverQuit = false;

const platform::MultiMouseDriver fakeDriver = {
    "test driver",
    []() { return rawMice; },
    []() { driverQuit = true; },
    [](unsigned) { return "test mouse"; },
    [](platform::MultiMouseEvent* event) {
        if (rawEvents.empty())
            return 0;
        *event = rawEvents.front();
        rawEvents.pop_front();
        return 1;
    },
};

platform::MultiMouseEvent raw(std::uint32_t type, std::uint32_t device, std::uint32_t item, std::int32_t value) {
    platform::MultiMouseEvent event;
    event.type = type;
    event.device = device;
    event.item = item;
    event.value = value;
    return event;
}

class MouseDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetCoreSlots();
        physicsManager = &physics; // its fixed step is the input's time step
        screenManager = reinterpret_cast<ScreenManager*>(&screenStandIn);
        coreSlots().physics.isSimulationActive = [this]() { return playing; };
        coreSlots().screens.isInputAllowed = [this]() { return allowed; };
    }
    void TearDown() override {
        mouse.reset();
        platform::setMultiMouseDrivers({});
        rawEvents.clear();
        resetCoreSlots();
        physicsManager = nullptr;
        screenManager = nullptr;
    }
    void make(bool withDriver = false) {
        platform::setMultiMouseDrivers(withDriver ? std::vector<const platform::MultiMouseDriver*>{&fakeDriver}
                                                  : std::vector<const platform::MultiMouseDriver*>{});
        mouse = std::make_unique<MouseDevice>(device.get(), nullptr);
        mouse->registerButtonNames();
        mouse->window().isActive = [this]() { return focused; };
        mouse->window().getRect = [](irr::core::recti& rect) {
            rect = irr::core::recti(100, 100, 900, 700);
            return true;
        };
        mouse->window().clipCursor = [this](const irr::core::recti* rect) {
            clip = rect ? *rect : irr::core::recti();
            clipped = rect != nullptr;
            return true;
        };
        mouse->resetCursor();
    }
    void event(irr::EMOUSE_INPUT_EVENT kind, float wheel = 0.0f) {
        irr::SEvent e;
        e.EventType = irr::EET_MOUSE_INPUT_EVENT;
        e.MouseInput.Event = kind;
        e.MouseInput.Wheel = wheel;
        e.MouseInput.ButtonStates = 0;
        InputEvent input;
        input.kind = InputEventKind::Mouse;
        input.engine = &e;
        mouse->onEvent(input);
    }
    void frame() {
        mouse->update();
        mouse->endFrame();
    }
    ButtonMapping mapping(int index, int instance = 0) {
        ButtonMapping m;
        m.device = mouse.get();
        m.buttonIndex = index;
        m.instance = instance;
        return m;
    }
    irr::gui::ICursorControl* cursor() { return device->getCursorControl(); }

    PhysicsManager physics;
    double screenStandIn = 0.0;
    test::NullDevice device;
    std::unique_ptr<MouseDevice> mouse;
    bool playing = false;
    bool allowed = true;
    bool focused = true;
    bool clipped = false;
    irr::core::recti clip;
};

TEST_F(MouseDeviceTest, AButtonTappedWithinOneFrameIsAPressThenAReleaseInTheNext) {
    make();
    const struct {
        irr::EMOUSE_INPUT_EVENT down, up;
        int code;
        irr::u32 MouseState::*button;
    } buttons[] = {
        {irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMIE_LMOUSE_LEFT_UP, irr::KEY_LBUTTON, &MouseState::left},
        {irr::EMIE_MMOUSE_PRESSED_DOWN, irr::EMIE_MMOUSE_LEFT_UP, irr::KEY_MBUTTON, &MouseState::middle},
        {irr::EMIE_RMOUSE_PRESSED_DOWN, irr::EMIE_RMOUSE_LEFT_UP, irr::KEY_RBUTTON, &MouseState::right},
    };
    for (const auto& button : buttons) {
        event(button.down);
        event(button.up);
        EXPECT_TRUE(mouse->wasPressed(mapping(button.code))) << button.code;
        EXPECT_EQ(mouse->getValue(mapping(button.code)), 1.0f) << button.code;
        EXPECT_EQ(mouse->systemMouse().*button.button, InputState::Pressed) << button.code;
        frame();
        EXPECT_FALSE(mouse->wasPressed(mapping(button.code))) << button.code;
        EXPECT_EQ(mouse->systemMouse().*button.button, InputState::Released) << button.code;
        frame();
        EXPECT_EQ(mouse->getValue(mapping(button.code)), 0.0f) << button.code;
        EXPECT_EQ(mouse->systemMouse().*button.button, InputState::Up) << button.code;
    }
    // Events between the update and the end of the frame are ignored.
    mouse->update();
    event(irr::EMIE_RMOUSE_PRESSED_DOWN);
    EXPECT_EQ(mouse->systemMouse().right, InputState::Up);
}

TEST_F(MouseDeviceTest, WheelIsSmoothed) {
    make();
    event(irr::EMIE_MOUSE_WHEEL, 1.0f);
    const float expected[] = {40.0f, 24.0f, 14.4f, 8.64f};
    for (float value : expected) {
        mouse->update();
        EXPECT_NEAR(mouse->getValue(mapping(MouseDevice::WheelSmoothed)), value, 1e-3f);
        mouse->endFrame();
    }
    for (int i = 0; i < 30; ++i)
        frame();
    mouse->update();
    EXPECT_EQ(mouse->getValue(mapping(MouseDevice::WheelSmoothed)), 0.0f);
    mouse->endFrame();
    // It runs on while more than 0.1 is left: 40 x 0.6^11 = 0.145 still moves, 0.087 not.
    event(irr::EMIE_MOUSE_WHEEL, 1.0f);
    for (int update = 0; update <= 11; ++update) {
        mouse->update();
        EXPECT_GT(mouse->getValue(mapping(MouseDevice::WheelSmoothed)), 0.0f) << update;
        mouse->endFrame();
    }
    mouse->update();
    EXPECT_EQ(mouse->getValue(mapping(MouseDevice::WheelSmoothed)), 0.0f);
}

TEST_F(MouseDeviceTest, MiddleHoldFiresOnceAfterOneSecond) {
    make();
    event(irr::EMIE_MMOUSE_PRESSED_DOWN);
    int fired = 0;
    int pressed = 0;
    int firstFrame = -1;
    for (int i = 0; i < 120; ++i) {
        mouse->update();
        pressed += mouse->wasPressed(mapping(MouseDevice::MiddleHold)) ? 1 : 0;
        if (mouse->getValue(mapping(MouseDevice::MiddleHold)) == 1.0f) {
            ++fired;
            EXPECT_TRUE(mouse->wasPressed(mapping(MouseDevice::MiddleHold)));
            if (firstFrame < 0)
                firstFrame = i;
        }
        mouse->endFrame();
    }
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(pressed, 1) << "held on, it is not pressed again";
    // The press frame does not count (the state is still pressed); 60 frames of 0.0167 s
    // pass one second.
    EXPECT_EQ(firstFrame, 60);
    // Let go and held again, it fires again after another second.
    event(irr::EMIE_MMOUSE_LEFT_UP);
    mouse->update();
    mouse->endFrame();
    event(irr::EMIE_MMOUSE_PRESSED_DOWN);
    int again = 0;
    for (int i = 0; i < 80; ++i) {
        mouse->update();
        again += mouse->wasPressed(mapping(MouseDevice::MiddleHold)) ? 1 : 0;
        mouse->endFrame();
    }
    EXPECT_EQ(again, 1);
}

TEST_F(MouseDeviceTest, MotionDeltasAndHalfAxes) {
    make();
    cursor()->setPosition(600, 300);
    mouse->update();
    mouse->endFrame();
    cursor()->setPosition(610, 295);
    mouse->update();
    EXPECT_EQ(mouse->getValue(mapping(MouseDevice::XAxis)), 10.0f);
    EXPECT_EQ(mouse->getValue(mapping(MouseDevice::YAxis)), -5.0f);
    EXPECT_EQ(mouse->getValue(mapping(MouseDevice::XPositive)), 10.0f);
    EXPECT_EQ(mouse->getValue(mapping(MouseDevice::XNegative)), 0.0f);
    EXPECT_EQ(mouse->getValue(mapping(MouseDevice::YNegative)), 5.0f);
    EXPECT_EQ(mouse->getValue(mapping(MouseDevice::YPositive)), 0.0f);
}

TEST_F(MouseDeviceTest, CursorIsConfinedInsetWhilePlayingAndReleasedAfter) {
    make();
    playing = true;
    mouse->update();
    EXPECT_TRUE(mouse->isCursorClipped());
    EXPECT_EQ(clip, irr::core::recti(140, 140, 860, 660));
    mouse->endFrame();
    allowed = false;
    mouse->update();
    EXPECT_FALSE(mouse->isCursorClipped());
    EXPECT_FALSE(clipped);
}

TEST_F(MouseDeviceTest, ConfinementWaitsForTheWindowFocus) {
    make();
    playing = true;
    focused = false;
    mouse->update();
    EXPECT_FALSE(mouse->isCursorClipped());
    focused = true;
    mouse->update();
    EXPECT_TRUE(mouse->isCursorClipped());
}

TEST_F(MouseDeviceTest, CursorHiddenWhilePlayingAndShownInMenus) {
    make();
    cursor()->setVisible(true);
    cursor()->setPosition(0.3f, 0.7f);
    playing = true;
    mouse->update();
    EXPECT_FALSE(cursor()->isVisible());
    EXPECT_NEAR(mouse->systemMouse().savedRelX, 0.3f, 0.01f);
    mouse->endFrame();
    allowed = false;
    mouse->update();
    mouse->updateOverlay();
    EXPECT_TRUE(cursor()->isVisible());
}

// Shown again by a menu, a cursor hidden for play goes back where it stood; one hidden for
// idling stays where the hand moved it meanwhile.
TEST_F(MouseDeviceTest, ACursorShownAgainStandsWhereItsHidingLeftIt) {
    for (const bool inPlay : {true, false}) {
        SCOPED_TRACE(inPlay ? "hidden for play" : "hidden for idling");
        make();
        cursor()->setVisible(true);
        cursor()->setPosition(0.3f, 0.7f);
        playing = inPlay;
        allowed = true;
        mouse->inUse = inPlay;
        mouse->systemMouse().idleTime = inPlay ? 0.0f : 10.0f;
        mouse->update();
        ASSERT_FALSE(cursor()->isVisible());
        mouse->endFrame();
        cursor()->setPosition(0.8f, 0.4f);
        mouse->systemMouse().idleTime = 0.0f;
        allowed = false;
        mouse->update();
        mouse->updateOverlay();
        EXPECT_TRUE(cursor()->isVisible());
        EXPECT_NEAR(cursor()->getRelativePosition().X, inPlay ? 0.3f : 0.8f, 0.01f);
    }
}

TEST_F(MouseDeviceTest, CursorIsRecentredWhilePlayingAndMotionStillCounts) {
    make();
    playing = true;
    cursor()->setPosition(640, 360);
    frame();
    cursor()->setPosition(1000, 360); // relative 0.78: outside the centre box
    mouse->update();
    EXPECT_EQ(mouse->systemMouse().deltaX, 360.0f);
    const irr::core::position2di centre = cursor()->getPosition();
    EXPECT_EQ(centre.X, 640);
    EXPECT_EQ(centre.Y, 360);
    mouse->endFrame();
    // The centre box reaches from 0.4 to 0.6 of the window each way.
    const struct Row {
        irr::s32 x;
        bool recentred;
    } rows[] = {{704, false}, {832, true}, {576, false}, {448, true}}; // 0.55, 0.65, 0.45, 0.35
    for (const Row& row : rows) {
        cursor()->setPosition(640, 360);
        frame();
        cursor()->setPosition(row.x, 360);
        mouse->update();
        EXPECT_EQ(cursor()->getPosition().X, row.recentred ? 640 : row.x) << row.x;
        mouse->endFrame();
    }
}

TEST_F(MouseDeviceTest, ACursorHiddenForPlayNearTheLeftEdgeComesBackThere) {
    make();
    cursor()->setVisible(true);
    cursor()->setPosition(0.05f, 0.5f);
    playing = true;
    mouse->update();
    ASSERT_FALSE(cursor()->isVisible());
    mouse->endFrame();
    allowed = false;
    mouse->update();
    mouse->updateOverlay();
    EXPECT_TRUE(cursor()->isVisible());
    EXPECT_NEAR(cursor()->getRelativePosition().X, 0.05f, 0.01f);
}

TEST_F(MouseDeviceTest, RawMiceGoPerPlayerOnlyWithTwoMiceAndTwoControlSets) {
    InputManager owner;
    const struct Row {
        int mice, controlSets;
        bool several, perPlayer;
    } rows[] = {{2, 1, true, false}, {1, 2, false, false}, {2, 2, true, true}}; // the sets only grow
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.mice << " mice, " << row.controlSets << " sets");
        while (owner.getTotalPlayerControlsCount() < row.controlSets)
            owner.addPlayerControls(new PlayerControls(&owner, 0, owner.getTotalPlayerControlsCount(), 0, nullptr), 0);
        platform::setMultiMouseDrivers({&fakeDriver});
        mouse = std::make_unique<MouseDevice>(device.get(), &owner);
        mouse->resetCursor();
        for (int raw = 0; raw < row.mice; ++raw)
            rawEvents.push_back(::raw(platform::MultiMouseEvent::Relative, std::uint32_t(raw), 0, 1));
        frame();
        EXPECT_EQ(mouse->isMultiMouseActive(), row.several);
        EXPECT_EQ(mouse->isMicePerPlayer(), row.perPlayer);
        if (row.perPlayer) {
            // A player's mapping of mouse n reads the n-th raw mouse (counted from 0).
            rawEvents.push_back(::raw(platform::MultiMouseEvent::Button, 1, 1, 1));
            mouse->update();
            EXPECT_TRUE(mouse->wasPressed(mapping(irr::KEY_RBUTTON, 1)));
            EXPECT_FALSE(mouse->wasPressed(mapping(irr::KEY_RBUTTON, 0)));
            mouse->endFrame();
        }
        mouse.reset();
    }
}

TEST_F(MouseDeviceTest, RawMiceAreClampedAndTracked) {
    make(true);
    EXPECT_EQ(mouse->rawMouseCount(), 2);
    EXPECT_EQ(mouse->getDeviceCount(), 0);
    rawEvents.push_back(raw(platform::MultiMouseEvent::Relative, 1, 0, -5000));
    rawEvents.push_back(raw(platform::MultiMouseEvent::Relative, 1, 1, 50));
    rawEvents.push_back(raw(platform::MultiMouseEvent::Button, 1, 1, 1));
    rawEvents.push_back(raw(platform::MultiMouseEvent::Relative, 5, 0, 3)); // beyond the mice
    mouse->update();
    EXPECT_EQ(mouse->getDeviceCount(), 2);
    const MouseState* second = mouse->state(2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->x, 0);
    EXPECT_TRUE(second->connected);
    EXPECT_EQ(second->right, InputState::Pressed);
    EXPECT_FALSE(mouse->isConnected(0));
    EXPECT_TRUE(mouse->isConnected(1));
    EXPECT_FALSE(mouse->isConnected(2));
    mouse->endFrame();
    rawEvents.push_back(raw(platform::MultiMouseEvent::Relative, 1, 0, 100000));
    mouse->update();
    EXPECT_EQ(mouse->state(2)->x, 1280);
    // Up and down stop at the window's edges too; a release and the wheel reach the record.
    mouse->endFrame();
    rawEvents.push_back(raw(platform::MultiMouseEvent::Relative, 1, 1, -100000));
    rawEvents.push_back(raw(platform::MultiMouseEvent::Button, 1, 1, 0));
    rawEvents.push_back(raw(platform::MultiMouseEvent::Scroll, 1, 0, 2));
    rawEvents.push_back(raw(platform::MultiMouseEvent::Scroll, 1, 0, 1));
    mouse->update();
    EXPECT_EQ(mouse->state(2)->y, 0);
    EXPECT_EQ(mouse->state(2)->right, InputState::Released);
    EXPECT_EQ(mouse->state(2)->wheel, 3.0f);
    mouse->endFrame();
    rawEvents.push_back(raw(platform::MultiMouseEvent::Relative, 1, 1, 100000));
    rawEvents.push_back(raw(platform::MultiMouseEvent::Button, 1, 1, 2)); // neither down nor up
    mouse->update();
    EXPECT_EQ(mouse->state(2)->y, 720);
    EXPECT_EQ(mouse->state(2)->right, InputState::Up);
    rawEvents.push_back(raw(platform::MultiMouseEvent::Disconnect, 1, 0, 0));
    mouse->update();
    EXPECT_FALSE(mouse->isConnected(1));
    mouse.reset();
    EXPECT_TRUE(driverQuit);
}

TEST_F(MouseDeviceTest, RemappingDetection) {
    make(true);
    // Without raw mice the mouse has no instance to detect on.
    ButtonMapping found;
    found.buttonIndex = -7;
    EXPECT_FALSE(mouse->detectPressedInput(found));
    EXPECT_EQ(found.buttonIndex, -7);

    rawEvents.push_back(raw(platform::MultiMouseEvent::Relative, 0, 0, 0));
    frame();
    cursor()->setPosition(600, 300);
    frame();
    cursor()->setPosition(601, 290); // up by 10
    mouse->update();
    ASSERT_TRUE(mouse->detectPressedInput(found));
    EXPECT_EQ(mouse->getButtonName(found.buttonIndex), "MOUSE_Y_POS");
    mouse->endFrame();

    // Screen Y grows downwards: moving down binds the negative Y input. Only a motion of
    // more than 4 pixels in one frame binds.
    const struct Row {
        int dx, dy;
        const char* bound; // null: nothing
    } rows[] = {{0, 10, "MOUSE_Y_NEG"}, {-10, 0, "MOUSE_X_NEG"}, {0, 4, nullptr}, {0, -5, "MOUSE_Y_POS"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.dx << ", " << row.dy);
        cursor()->setPosition(600, 300);
        frame();
        cursor()->setPosition(600 + row.dx, 300 + row.dy);
        mouse->update();
        found.buttonIndex = -7;
        EXPECT_EQ(mouse->detectPressedInput(found), row.bound != nullptr);
        if (row.bound) {
            EXPECT_EQ(mouse->getButtonName(found.buttonIndex), row.bound);
        }
        mouse->endFrame();
    }

    event(irr::EMIE_MOUSE_WHEEL, 1.0f);
    cursor()->setPosition(601, 280);
    mouse->update();
    ASSERT_TRUE(mouse->detectPressedInput(found));
    EXPECT_EQ(mouse->getButtonName(found.buttonIndex), "MOUSE_WHEEL");
}

TEST_F(MouseDeviceTest, AnIdleCursorHidesFromFiveSecondsOnUnlessTheMouseIsInUse) {
    const irr::f32 step = PhysicsManager::fixedStepSize;
    const struct Row {
        bool inUse;
        irr::f32 idleBefore; // the update adds one step
        bool hidden;
    } rows[] = {{false, 5.0f - step, true}, {false, 4.9f - step, false}, {true, 10.0f, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.inUse << " " << row.idleBefore);
        make();
        cursor()->setVisible(true);
        mouse->inUse = row.inUse;
        mouse->systemMouse().idleTime = row.idleBefore;
        mouse->update();
        EXPECT_EQ(cursor()->isVisible(), !row.hidden);
        mouse->endFrame();
    }
}

TEST_F(MouseDeviceTest, AFullScreenConfinementStaysInMenus) {
    // Both full-screen modes (1 full screen, 2 borderless) confine to the whole window.
    test::TempDir dir;
    GameSettings settings(dir.file("settings.xml"));
    settings.load(true);
    gameSettings = &settings;
    for (const int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        setSettingInt("Graphics_FullscreenMode", mode);
        make();
        playing = true;
        allowed = true;
        mouse->update();
        ASSERT_TRUE(mouse->isCursorClipped());
        EXPECT_EQ(clip, irr::core::recti(100, 100, 900, 700)) << "no inset in full screen";
        mouse->endFrame();
        allowed = false;
        mouse->update();
        EXPECT_TRUE(mouse->isCursorClipped());
        EXPECT_TRUE(clipped);
        mouse->resetCursor();
        EXPECT_FALSE(mouse->isCursorClipped());
        EXPECT_FALSE(clipped);
    }
    gameSettings = nullptr;
}

} // namespace
