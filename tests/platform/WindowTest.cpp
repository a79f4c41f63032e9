#include "platform/Dpi.h"
#include "platform/Window.h"

#include "support/NullDevice.h"

#include <gtest/gtest.h>

// Devices without a window of the window system answer false and change nothing.
TEST(WindowTest, WithoutANativeWindowEveryServiceSaysNo) {
    test::NullDevice device;
    irr::core::recti rect(1, 2, 3, 4);
    EXPECT_FALSE(platform::getWindowRect(device.get(), rect));
    EXPECT_EQ(rect, irr::core::recti(1, 2, 3, 4));
    EXPECT_FALSE(platform::clipCursor(device.get(), &rect));
    EXPECT_FALSE(platform::clipCursor(device.get(), nullptr));
    EXPECT_FALSE(platform::giveWindowFocus(device.get()));
    EXPECT_FALSE(platform::removeWindowDecorations(device.get()));
    EXPECT_FALSE(platform::getWindowRect(nullptr, rect));
}

TEST(DpiTest, TheWindowSystemScalesNothing) {
    EXPECT_EQ(platform::enableDpiAwareness(), platform::DpiAwareness::Unavailable);
}
