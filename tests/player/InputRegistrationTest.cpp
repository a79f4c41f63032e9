#include "InputTestSupport.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"
#include "player/InputRegistration.h"
#include "player/devices/KeyboardDevice.h"

namespace {

using test::InputTest;

class InputRegistrationTest : public InputTest {
protected:
    void TearDown() override {
        if (inputManager)
            callHook(shellHooks().input.destroy);
        InputTest::TearDown();
    }
};

TEST_F(InputRegistrationTest, TheShellRunsTheInputManagerThroughItsSlots) {
    registerInputSubsystem();
    const InputHooks& hooks = shellHooks().input;
    irr::IEventReceiver* receiver = askHook(hooks.create, nullptr);
    ASSERT_NE(receiver, nullptr);
    EXPECT_EQ(receiver, inputManager);
    callHook(hooks.init, device->get());
    callHook(hooks.resetInputState);
    EXPECT_EQ(device->get()->getEventReceiver(), receiver);

    // One frame of the shell: events, update, overlays, end of frame.
    keyEvent(irr::KEY_ESCAPE, true);
    callHook(hooks.update);
    EXPECT_EQ(focus->keys, std::vector<int>{1005});
    callHook(hooks.updateDeviceOverlays);
    callHook(hooks.endFrame);
    EXPECT_EQ(inputManager->getKeyboard()->keyState(irr::KEY_ESCAPE), InputState::Down);

    device->get()->setEventReceiver(nullptr);
    callHook(hooks.destroy);
    EXPECT_EQ(inputManager, nullptr);
}

} // namespace
