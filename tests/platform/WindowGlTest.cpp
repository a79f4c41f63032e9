// The window services on the OpenGL device under Xvfb.
#include "platform/Window.h"

#include "support/GraphicsDriver.h"

#include <irrlicht.h>

#include <gtest/gtest.h>

// After gtest: X11's macros (None, Bool) would break its headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include "support/X11Windows.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace {

irr::IrrlichtDevice* createWindow() {
    test::keepGraphicsDriverLoaded();
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_OPENGL;
    params.WindowSize = irr::core::dimension2du(640, 480);
    params.Vsync = false;
    params.LoggingLevel = irr::ELL_NONE;
    return irr::createDeviceEx(params);
}

// Runs the device's event loop until the state holds, for at most ten seconds.
bool runUntil(irr::IrrlichtDevice* device, const std::function<bool()>& state) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        device->run();
        if (state())
            return true;
    }
    return false;
}

} // namespace

// A window manager is told the window has one size; resized all the same (here by another
// connection, as a window manager that ignores the hints would), the window gets it back.
TEST(WindowGlTest, TheWindowKeepsItsSize) {
    irr::IrrlichtDevice* device = createWindow();
    ASSERT_NE(device, nullptr) << "needs an X server (the gl tests run under Xvfb)";
    const irr::core::dimension2du size(640, 480);
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    EXPECT_FALSE(platform::keepWindowSize(device, size)) << "nothing to undo yet";

    const irr::video::SExposedVideoData& data = driver->getExposedVideoData();
    const ::Window window = static_cast<::Window>(data.OpenGLLinux.X11Window);
    const test::TestDisplay other;
    ASSERT_NE(other.get(), nullptr);
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(other, window, &hints, &supplied));
    EXPECT_EQ(hints.flags & (PMinSize | PMaxSize), PMinSize | PMaxSize);
    EXPECT_EQ(hints.min_width, 640);
    EXPECT_EQ(hints.max_width, 640);
    EXPECT_EQ(hints.min_height, 480);
    EXPECT_EQ(hints.max_height, 480);

    XResizeWindow(other, window, 500, 300);
    XSync(other, False);
    ASSERT_TRUE(runUntil(device, [&] { return driver->getScreenSize() == irr::core::dimension2du(500, 300); }))
        << "the resize reached the window";
    EXPECT_TRUE(platform::keepWindowSize(device, size));
    ASSERT_TRUE(runUntil(device, [&] { return driver->getScreenSize() == size; })) << "the size came back";
    irr::core::recti rect;
    ASSERT_TRUE(platform::getWindowRect(device, rect));
    EXPECT_EQ(rect.getWidth(), 640);
    EXPECT_EQ(rect.getHeight(), 480);
    EXPECT_FALSE(platform::keepWindowSize(device, size));

    // Another size for the same window: the hints follow it and the window takes it.
    const irr::core::dimension2du smaller(400, 320);
    EXPECT_TRUE(platform::keepWindowSize(device, smaller));
    XSync(other, False);
    ASSERT_TRUE(XGetWMNormalHints(other, window, &hints, &supplied));
    EXPECT_EQ(hints.min_width, 400);
    EXPECT_EQ(hints.max_height, 320);
    ASSERT_TRUE(runUntil(device, [&] { return driver->getScreenSize() == smaller; })) << "the new size came";
    EXPECT_FALSE(platform::keepWindowSize(device, irr::core::dimension2du(0, 320)));
    device->drop();
}

TEST(WindowGlTest, FocusRectangleAndPointerConfinement) {
    irr::IrrlichtDevice* device = createWindow();
    ASSERT_NE(device, nullptr) << "needs an X server (the gl tests run under Xvfb)";

    // No window manager hands out focus under Xvfb.
    EXPECT_TRUE(platform::giveWindowFocus(device));
    device->run();
    EXPECT_TRUE(device->isWindowActive());

    irr::core::recti window;
    ASSERT_TRUE(platform::getWindowRect(device, window));
    EXPECT_EQ(window.getWidth(), 640);
    EXPECT_EQ(window.getHeight(), 480);

    // Confined to the window inset by 40 pixels, a move to the corner stops at the inset.
    irr::core::recti inset(window.UpperLeftCorner + irr::core::vector2di(40, 40),
                           window.LowerRightCorner - irr::core::vector2di(40, 40));
    ASSERT_TRUE(platform::clipCursor(device, &inset));
    irr::gui::ICursorControl* cursor = device->getCursorControl();
    cursor->setPosition(0, 0);
    device->run();
    EXPECT_EQ(cursor->getPosition(), irr::core::position2di(40, 40));
    cursor->setPosition(639, 479);
    device->run();
    EXPECT_EQ(cursor->getPosition(), irr::core::position2di(599, 439));

    // A rectangle of no width or no height confines nothing.
    const irr::core::recti flat(window.UpperLeftCorner, window.UpperLeftCorner + irr::core::vector2di(0, 100));
    EXPECT_FALSE(platform::clipCursor(device, &flat));
    const irr::core::recti thin(window.UpperLeftCorner, window.UpperLeftCorner + irr::core::vector2di(100, 0));
    EXPECT_FALSE(platform::clipCursor(device, &thin));
    cursor->setPosition(0, 0);
    device->run();
    EXPECT_EQ(cursor->getPosition(), irr::core::position2di(0, 0));
    ASSERT_TRUE(platform::clipCursor(device, &inset));

    // Released, the pointer goes anywhere again.
    EXPECT_FALSE(platform::clipCursor(device, nullptr));
    cursor->setPosition(0, 0);
    device->run();
    EXPECT_EQ(cursor->getPosition(), irr::core::position2di(0, 0));
    device->drop();
}

// A busy X server refuses a connection now and then for a moment; asking the display's size
// many times in a row still gets an answer every time.
TEST(WindowGlTest, TheDisplaySizeIsAnsweredEvenWhenTheServerIsBusy) {
    for (int i = 0; i < 300; ++i) {
        irr::core::dimension2du size;
        ASSERT_TRUE(platform::getDisplaySize(size)) << "connection " << i;
        EXPECT_EQ(size, irr::core::dimension2du(1280, 720));
    }
}

// A request the display refuses no longer ends the process: the errors are kept, described,
// up to their limit (one past it is counted), and taken once. Vertical sync, which a virtual
// X server refuses, leaves a working window.
TEST(WindowGlTest, RefusedRequestsAreKeptInsteadOfEndingTheProcess) {
    irr::IrrlichtDevice* device = createWindow();
    ASSERT_NE(device, nullptr) << "needs an X server (the gl tests run under Xvfb)";
    platform::catchDisplayErrors();
    platform::takeDisplayErrors();
    Display* display = static_cast<Display*>(device->getVideoDriver()->getExposedVideoData().OpenGLLinux.X11Display);
    ASSERT_NE(display, nullptr);
    const ::Window noWindow = 0x7FFFFFF; // no client holds such an id
    for (std::size_t refused : {std::size_t(0), std::size_t(1), platform::maxKeptDisplayErrors,
                                platform::maxKeptDisplayErrors + 1}) {
        for (std::size_t i = 0; i < refused; ++i)
            XMapWindow(display, noWindow);
        platform::syncDisplay(device);
        const std::vector<std::string> errors = platform::takeDisplayErrors();
        const std::size_t kept = std::min(refused, platform::maxKeptDisplayErrors);
        ASSERT_EQ(errors.size(), refused > kept ? kept + 1 : kept) << refused;
        if (refused > 0) {
            EXPECT_EQ(errors[0].rfind("BadWindow", 0), 0u) << errors[0];
        }
        if (refused > kept) {
            EXPECT_EQ(errors.back(), "and 1 more");
        }
        EXPECT_TRUE(platform::takeDisplayErrors().empty());
    }
    device->drop();

    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_OPENGL;
    params.WindowSize = irr::core::dimension2du(320, 240);
    params.Vsync = true;
    params.LoggingLevel = irr::ELL_NONE;
    device = irr::createDeviceEx(params);
    ASSERT_NE(device, nullptr);
    platform::syncDisplay(device);
    EXPECT_TRUE(device->run());
    device->drop();
    platform::takeDisplayErrors();
}

// A window destroyed under the game (by another client; without a window manager nobody
// asks first) is noticed from the errors its next frame draws, so the game can end; an error
// about another window is not taken for it.
TEST(WindowGlTest, AWindowDestroyedUnderTheGameIsNoticed) {
    irr::IrrlichtDevice* device = createWindow();
    ASSERT_NE(device, nullptr) << "needs an X server (the gl tests run under Xvfb)";
    platform::catchDisplayErrors();
    platform::watchGameWindow(device);
    const auto drawFrame = [device] {
        device->run();
        device->getVideoDriver()->beginScene(true, true, irr::video::SColor(255, 40, 60, 80));
        device->getVideoDriver()->endScene();
        platform::syncDisplay(device);
    };
    drawFrame();
    Display* own = static_cast<Display*>(device->getVideoDriver()->getExposedVideoData().OpenGLLinux.X11Display);
    ASSERT_NE(own, nullptr);
    XMapWindow(own, 0x7FFFFFF); // no client holds such an id
    drawFrame();
    EXPECT_FALSE(platform::gameWindowLost());

    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const ::Window window = device->getVideoDriver()->getExposedVideoData().OpenGLLinux.X11Window;
    XDestroyWindow(other, window);
    XSync(other, False);
    XCloseDisplay(other);
    drawFrame();
    EXPECT_TRUE(platform::gameWindowLost());
    device->drop();
    platform::takeDisplayErrors();
}
