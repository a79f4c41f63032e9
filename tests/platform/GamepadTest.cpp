#include "platform/FakePadBackend.h"
#include "platform/Gamepad.h"

#include <gtest/gtest.h>

#ifdef PADDLESTONE_EXPECT_SDL2
#include <SDL.h>
#endif

namespace {

using namespace platform;

TEST(GamepadTest, SdlBackendStartsWithoutPadsOrDisplay) {
    std::unique_ptr<PadBackend> backend = createSdlPadBackend();
#ifdef PADDLESTONE_EXPECT_SDL2
    ASSERT_NE(backend, nullptr);
#endif
    if (!backend)
        GTEST_SKIP() << "this build reads no gamepads through SDL2";
    EXPECT_STREQ(backend->name(), "SDL2 game controllers");
    EXPECT_FALSE(backend->refresh());
    for (int pad = 0; pad < maxGamepads; ++pad) {
        PadState state;
        state.packet = 77;
        EXPECT_FALSE(backend->getState(pad, state)) << pad;
        EXPECT_EQ(state.packet, 77u);
        EXPECT_FALSE(backend->setVibration(pad, 1000, 1000)) << pad;
    }
}

TEST(GamepadTest, NullBackendNeverSeesAPad) {
    std::unique_ptr<PadBackend> backend = createNullPadBackend();
    PadState state;
    EXPECT_FALSE(backend->refresh());
    EXPECT_FALSE(backend->getState(0, state));
    EXPECT_FALSE(backend->setVibration(0, 1, 1));
}

TEST(GamepadTest, BackendInUseCanBeReplaced) {
    auto fake = std::make_unique<FakePadBackend>();
    FakePadBackend* installed = fake.get();
    setPadBackend(std::move(fake));
    EXPECT_EQ(&padBackend(), installed);
    setPadBackend(nullptr);
    EXPECT_NE(&padBackend(), installed);
    setPadBackend(nullptr);
}

TEST(GamepadTest, FakeBackendFollowsItsScript) {
    FakePadBackend fake;
    PadState state;
    EXPECT_FALSE(fake.getState(0, state));
    fake.setConnected(0, true);
    EXPECT_TRUE(fake.refresh());
    EXPECT_FALSE(fake.refresh());
    fake.setButtons(0, padButton::a | padButton::dpadUp);
    fake.setSticks(0, 100, -200, 300, -400);
    ASSERT_TRUE(fake.getState(0, state));
    EXPECT_EQ(state.buttons, padButton::a | padButton::dpadUp);
    EXPECT_EQ(state.thumbLY, -200);
    EXPECT_EQ(state.packet, 2u);
    EXPECT_TRUE(fake.setVibration(0, 10, 20));
    EXPECT_FALSE(fake.setVibration(1, 10, 20));
    EXPECT_EQ(fake.leftMotor(0), 10);
    EXPECT_EQ(fake.rightMotor(0), 20);
    EXPECT_EQ(fake.vibrationCalls().size(), 2u);
    EXPECT_FALSE(fake.getState(9, state));
}

TEST(GamepadTest, ButtonBitsFollowThePublishedLayout) {
    EXPECT_EQ(padButton::dpadUp, 0x0001);
    EXPECT_EQ(padButton::dpadRight, 0x0008);
    EXPECT_EQ(padButton::start, 0x0010);
    EXPECT_EQ(padButton::rightShoulder, 0x0200);
    EXPECT_EQ(padButton::a, 0x1000);
    EXPECT_EQ(padButton::y, 0x8000);
}

} // namespace

#ifdef PADDLESTONE_EXPECT_SDL2
namespace {

// SDL's virtual game controller, plugged in for one test and pulled out after it.
class SdlVirtualPadTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend = createSdlPadBackend();
        ASSERT_NE(backend, nullptr);
        device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                           SDL_CONTROLLER_BUTTON_MAX, 0);
        ASSERT_GE(device, 0) << SDL_GetError();
        joystick = SDL_JoystickOpen(device);
        ASSERT_NE(joystick, nullptr) << SDL_GetError();
        backend->refresh(); // the pad is plugged in
    }
    void TearDown() override {
        if (joystick)
            SDL_JoystickClose(joystick);
        if (device >= 0)
            SDL_JoystickDetachVirtual(device);
    }
    std::unique_ptr<PadBackend> backend;
    int device = -1;
    SDL_Joystick* joystick = nullptr;
};

// A pad button pressed and let go between two refreshes (a short tap at a low frame rate)
// reads as held at the next refresh and as let go at the one after.
TEST_F(SdlVirtualPadTest, SdlBackendReadsAButtonTappedBetweenTwoRefreshesAsHeldOnce) {
    PadState state;
    ASSERT_TRUE(backend->getState(0, state));
    EXPECT_EQ(state.buttons & padButton::a, 0);

    const auto setA = [this](Uint8 down) {
        SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_A, down);
        SDL_JoystickUpdate();
    };
    setA(1);
    setA(0);
    backend->refresh();
    ASSERT_TRUE(backend->getState(0, state));
    EXPECT_NE(state.buttons & padButton::a, 0);
    backend->refresh();
    ASSERT_TRUE(backend->getState(0, state));
    EXPECT_EQ(state.buttons & padButton::a, 0);
    // Held across refreshes it reads held, as before.
    setA(1);
    for (int refresh = 0; refresh < 2; ++refresh) {
        backend->refresh();
        ASSERT_TRUE(backend->getState(0, state));
        EXPECT_NE(state.buttons & padButton::a, 0) << refresh;
    }
    setA(0);
    backend->refresh();
    ASSERT_TRUE(backend->getState(0, state));
    EXPECT_EQ(state.buttons & padButton::a, 0);
}

// Triggers span the state's whole 0..255 and the sticks' Y axes point up. (SDL spreads a
// virtual trigger's whole axis over the trigger's 0..32767.)
TEST_F(SdlVirtualPadTest, SdlBackendScalesTriggersAndTurnsTheYAxesUp) {
    struct Case {
        Sint16 raw;
        int trigger;
        std::int16_t upward;
    };
    for (const Case c : {Case{-32768, 0, 32767}, Case{0, 127, 0}, Case{32767, 255, -32767}}) {
        for (const SDL_GameControllerAxis axis : {SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_CONTROLLER_AXIS_TRIGGERRIGHT,
                                                  SDL_CONTROLLER_AXIS_LEFTY, SDL_CONTROLLER_AXIS_RIGHTY})
            SDL_JoystickSetVirtualAxis(joystick, axis, c.raw);
        SDL_JoystickUpdate();
        backend->refresh();
        PadState state;
        ASSERT_TRUE(backend->getState(0, state));
        EXPECT_EQ(int(state.leftTrigger), c.trigger) << c.raw;
        EXPECT_EQ(int(state.rightTrigger), c.trigger) << c.raw;
        EXPECT_EQ(state.thumbLY, c.upward) << c.raw;
        EXPECT_EQ(state.thumbRY, c.upward) << c.raw;
    }
}

} // namespace
#endif
