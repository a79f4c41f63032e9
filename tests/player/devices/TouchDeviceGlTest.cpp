// The touch buttons drawn over the game on the OpenGL device under Xvfb.
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "level/LevelManager.h"
#include "physics/world/PhysicsManager.h"
#include "player/devices/TouchDevice.h"
#include "support/GraphicsDriver.h"
#include "support/StubPlayer.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <irrlicht.h>

namespace {

class TouchButtonsPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    bool isModeSwitchAvailable() override { return true; }
    bool isModeSwitchAvailableAlt() override { return true; }
    bool isGrabAvailable() override { return true; }
};

TEST(TouchDeviceGlTest, PauseSwitchAndGrabButtonsAreDrawnAfterATouch) {
    test::ScopedWorkingDir inRepository(test::sourceDir());
    irr::IrrlichtDevice* device = test::createOpenGLTestDevice(irr::core::dimension2du(1280, 720));
    ASSERT_NE(device, nullptr) << "needs an X server (the gl tests run under Xvfb)";
    irr::video::IVideoDriver* driver = device->getVideoDriver();

    // Empty managers: the input reads the fixed step and the level's touch flag of them.
    PhysicsManager physics;
    LevelManager level(nullptr);
    physicsManager = &physics;
    levelManager = &level;
    coreSlots().physics.isSimulationActive = [] { return true; };
    auto* player = new TouchButtonsPlayer(device->getSceneManager()->getRootSceneNode(), device->getSceneManager(), 1);
    player->drop(); // the scene holds it
    setPlayer(0, player);

    const irr::video::SColor background(255, 90, 120, 90);
    auto drawFrame = [&](TouchDevice& touch) {
        driver->beginScene(true, true, background);
        touch.updateOverlay();
        driver->endScene();
        return driver->createScreenShot();
    };
    auto differs = [&](const irr::video::SColor& c) {
        return c.getRed() != background.getRed() || c.getGreen() != background.getGreen() ||
               c.getBlue() != background.getBlue();
    };
    {
        TouchDevice touch(device);
        irr::video::IImage* before = drawFrame(touch);
        ASSERT_NE(before, nullptr);
        EXPECT_EQ(test::countPixels(before, irr::core::recti(0, 0, 1280, 720), differs), 0)
            << "nothing is drawn before the first touch";
        before->drop();

        InputEvent event;
        event.kind = InputEventKind::Touch;
        event.touch.flags = touchWentDown;
        touch.onEvent(event);
        irr::video::IImage* shot = drawFrame(touch);
        ASSERT_NE(shot, nullptr);
        driver->writeImageToFile(shot, (std::filesystem::temp_directory_path() / "paddlestone-touch-buttons.png").string().c_str());
        // The pause button (1201-1261, 20-80), the switch button (1181-1261, 621-701) and the
        // grab strip (0-267) each cover their rectangle; the middle of the screen stays clear.
        EXPECT_GT(test::countPixels(shot, irr::core::recti(1201, 20, 1261, 80), differs), 2000);
        EXPECT_GT(test::countPixels(shot, irr::core::recti(1181, 621, 1261, 701), differs), 3500);
        EXPECT_GT(test::countPixels(shot, irr::core::recti(0, 0, 267, 720), differs), 100000);
        EXPECT_EQ(test::countPixels(shot, irr::core::recti(400, 200, 1100, 600), differs), 0);
        EXPECT_EQ(test::countPixels(shot, irr::core::recti(1262, 0, 1280, 720), differs), 0);
        shot->drop();

        // Without a player only the pause button stays.
        setPlayer(0, nullptr);
        shot = drawFrame(touch);
        EXPECT_GT(test::countPixels(shot, irr::core::recti(1201, 20, 1261, 80), differs), 2000);
        EXPECT_EQ(test::countPixels(shot, irr::core::recti(1181, 621, 1261, 701), differs), 0);
        EXPECT_EQ(test::countPixels(shot, irr::core::recti(0, 0, 267, 720), differs), 0);
        shot->drop();
    }
    resetCoreSlots();
    physicsManager = nullptr;
    levelManager = nullptr;
    device->drop();
}

} // namespace
