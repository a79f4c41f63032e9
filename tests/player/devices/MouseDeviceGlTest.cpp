// The mouse device's cursor confinement on the OpenGL device's window under Xvfb.
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "physics/world/PhysicsManager.h"
#include "platform/Window.h"
#include "player/devices/MouseDevice.h"
#include "support/GraphicsDriver.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

namespace {

TEST(MouseDeviceGlTest, CursorStaysInsideTheWindowWhilePlaying) {
    test::keepGraphicsDriverLoaded();
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_OPENGL;
    params.WindowSize = irr::core::dimension2du(640, 480);
    params.Vsync = false;
    params.LoggingLevel = irr::ELL_NONE;
    irr::IrrlichtDevice* device = irr::createDeviceEx(params);
    ASSERT_NE(device, nullptr) << "needs an X server (the gl tests run under Xvfb)";
    ASSERT_TRUE(platform::giveWindowFocus(device));
    device->run();

    PhysicsManager physics; // its fixed step is the input's time step
    bool playing = true;
    physicsManager = &physics;
    coreSlots().physics.isSimulationActive = [&]() { return playing; };
    {
        MouseDevice mouse(device, nullptr);
        mouse.resetCursor();
        mouse.update();
        mouse.endFrame();
        EXPECT_TRUE(mouse.isCursorClipped());
        irr::gui::ICursorControl* cursor = device->getCursorControl();
        cursor->setPosition(0, 0);
        device->run();
        EXPECT_EQ(cursor->getPosition(), irr::core::position2di(40, 40));
        EXPECT_FALSE(cursor->isVisible());

        // Out of play the window lets the pointer go (a windowed game).
        playing = false;
        mouse.update();
        mouse.endFrame();
        EXPECT_FALSE(mouse.isCursorClipped());
        cursor->setPosition(0, 0);
        device->run();
        EXPECT_EQ(cursor->getPosition(), irr::core::position2di(0, 0));
    }
    resetCoreSlots();
    physicsManager = nullptr;
    device->drop();
}

} // namespace
