#include "platform/FakePadBackend.h"
#include "platform/Gamepad.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

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
    EXPECT_STREQ(backend->name(), "none");
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
#ifdef PADDLESTONE_EXPECT_SDL2
    // Without one installed, the game reads the pads through SDL2.
    EXPECT_STREQ(padBackend().name(), "SDL2 game controllers");
#endif
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
namespace {

// Virtual pads that record what reaches their motors.
class SdlRumblePadTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend = createSdlPadBackend();
        ASSERT_NE(backend, nullptr);
    }
    void TearDown() override {
        for (SDL_Joystick* joystick : joysticks)
            SDL_JoystickClose(joystick);
        for (int device : devices)
            SDL_JoystickDetachVirtual(device);
    }
    // Plugs in a pad; the backend sees it at its next refresh.
    void plug() {
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.userdata = this;
        desc.Rumble = [](void* self, Uint16 low, Uint16 high) {
            static_cast<SdlRumblePadTest*>(self)->motors.emplace_back(low, high);
            return 0;
        };
        const int device = SDL_JoystickAttachVirtualEx(&desc);
        ASSERT_GE(device, 0) << SDL_GetError();
        devices.push_back(device);
        SDL_Joystick* joystick = SDL_JoystickOpen(device);
        ASSERT_NE(joystick, nullptr) << SDL_GetError();
        joysticks.push_back(joystick);
    }
    std::unique_ptr<PadBackend> backend;
    std::vector<int> devices;
    std::vector<SDL_Joystick*> joysticks;
    std::vector<std::pair<Uint16, Uint16>> motors;
};

// A new strength reaches the motors at once, in each motor, and stopping reaches them too; a
// pad that is not there (or a slot past the fourth) takes no vibration.
TEST_F(SdlRumblePadTest, ANewStrengthReachesTheMotorsAtOnce) {
    ASSERT_NO_FATAL_FAILURE(plug());
    EXPECT_TRUE(backend->refresh()) << "a pad was plugged in";
    const Uint32 start = SDL_GetTicks();
    ASSERT_TRUE(backend->setVibration(0, 1000, 2000));
    ASSERT_TRUE(backend->setVibration(0, 1000, 3000));
    ASSERT_TRUE(backend->setVibration(0, 4000, 3000));
    // Within the renewal time only a change is sent.
    if (SDL_GetTicks() - start < 50) {
        EXPECT_EQ(motors, (std::vector<std::pair<Uint16, Uint16>>{{1000, 2000}, {1000, 3000}, {4000, 3000}}));
    }
    ASSERT_TRUE(backend->setVibration(0, 0, 0));
    ASSERT_FALSE(motors.empty());
    EXPECT_EQ(motors.back(), (std::pair<Uint16, Uint16>{0, 0}));
    EXPECT_FALSE(backend->setVibration(1, 10, 10));
    EXPECT_FALSE(backend->setVibration(maxGamepads, 10, 10));
    EXPECT_FALSE(backend->setVibration(-1, 10, 10));
    PadState state;
    EXPECT_FALSE(backend->getState(-1, state));
    EXPECT_FALSE(backend->getState(maxGamepads, state));
}

// Four pads are read; a fifth waits. A pad pulled out is no longer read and takes no
// vibration, and the refresh says the set of pads changed.
TEST_F(SdlRumblePadTest, FourPadsAreReadAndAPadPulledOutIsGone) {
    for (int i = 0; i < maxGamepads + 1; ++i)
        ASSERT_NO_FATAL_FAILURE(plug());
    EXPECT_TRUE(backend->refresh());
    PadState state;
    for (int pad = 0; pad < maxGamepads; ++pad)
        EXPECT_TRUE(backend->getState(pad, state)) << pad;
    EXPECT_FALSE(backend->refresh()) << "nothing changed";

    SDL_JoystickClose(joysticks[1]);
    joysticks.erase(joysticks.begin() + 1);
    SDL_JoystickDetachVirtual(devices[1]);
    devices.erase(devices.begin() + 1);
    EXPECT_TRUE(backend->refresh());
    EXPECT_FALSE(backend->getState(1, state));
    EXPECT_FALSE(backend->setVibration(1, 10, 10));
    EXPECT_TRUE(backend->getState(0, state));
    EXPECT_TRUE(backend->getState(2, state));
}

} // namespace
#endif
