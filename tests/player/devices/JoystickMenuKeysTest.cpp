// The joystick's fixed menu inputs through the input manager: its hat and its stick move the
// menu focus, each direction by its own side; ignored joysticks move nothing.
#include "../InputTestSupport.h"

#include "player/InputManager.h"
#include "player/GameActions.h"
#include "player/PlayerHooks.h"

#ifdef PADDLESTONE_TEST_SDL2
#include <SDL.h>
#endif

namespace {

#ifdef PADDLESTONE_TEST_SDL2
class JoystickMenuKeysTest : public test::InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
        deviceIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_FLIGHT_STICK, 6, 8, 1);
        ASSERT_GE(deviceIndex, 0) << SDL_GetError();
        ::testing::internal::CaptureStdout();
        startInput();
        ::testing::internal::GetCapturedStdout();
        handle = SDL_JoystickOpen(deviceIndex);
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override {
        joystickIgnoreInput = false;
        stopInput();
        if (handle)
            SDL_JoystickClose(handle);
        SDL_JoystickDetachVirtual(deviceIndex);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        InputTest::TearDown();
    }
    void centre() {
        SDL_JoystickSetVirtualHat(handle, 0, SDL_HAT_CENTERED);
        SDL_JoystickSetVirtualAxis(handle, 0, 0);
        SDL_JoystickSetVirtualAxis(handle, 1, 0);
    }
    int deviceIndex = -1;
    SDL_Joystick* handle = nullptr;
};

TEST_F(JoystickMenuKeysTest, TheHatAndTheStickMoveTheMenuEachWayByItsSide) {
    const struct {
        const char* input;
        int hat;
        int axis;
        Sint16 value;
        int code;
    } rows[] = {
        {"hat left", SDL_HAT_LEFT, -1, 0, MenuCode::Left},      {"hat right", SDL_HAT_RIGHT, -1, 0, MenuCode::Right},
        {"hat up", SDL_HAT_UP, -1, 0, MenuCode::Up},            {"hat down", SDL_HAT_DOWN, -1, 0, MenuCode::Down},
        {"stick left", SDL_HAT_CENTERED, 0, -30000, MenuCode::Left},
        {"stick right", SDL_HAT_CENTERED, 0, 30000, MenuCode::Right},
        {"stick forward", SDL_HAT_CENTERED, 1, -30000, MenuCode::Up},
        {"stick back", SDL_HAT_CENTERED, 1, 30000, MenuCode::Down},
    };
    for (const bool ignored : {false, true}) {
        joystickIgnoreInput = ignored;
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.input) + (ignored ? " ignored" : ""));
            centre();
            frame();
            frame();
            focus->keys.clear();
            SDL_JoystickSetVirtualHat(handle, 0, static_cast<Uint8>(row.hat));
            if (row.axis >= 0)
                SDL_JoystickSetVirtualAxis(handle, row.axis, row.value);
            frame();
            EXPECT_EQ(focus->keys, ignored ? std::vector<int>{} : std::vector<int>{row.code});
            EXPECT_EQ(input->isMenuKeyDown(row.code), !ignored);
        }
    }
}
#endif

} // namespace
