// The reset level on the OpenGL driver: its crate falls below its reset height, shrinks
// away, and comes back at its spawn point growing to its full size. Three pictures of the
// sequence: at its spawn point, shrunk away on the floor, growing back in the air.
// PADDLESTONE_KEEP_SCREENSHOT=/path/reset.png keeps them as reset-1.png, reset-2.png, ...
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "level/LevelFile.h"
#include "level/LevelManager.h"
#include "level/MeshGate.h"
#include "level/SceneNodeBase.h"
#include "level/SceneNodeFactory.h"

#include "support/GraphicsDriver.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

using namespace irr;

namespace {

std::int64_t resetGlClockCount = 0;
std::int64_t readResetGlClock() { return resetGlClockCount; }

TEST(PhysicsResetGlTest, AFallenCrateShrinksAndGrowsBackAtItsSpawnPoint) {
    test::keepGraphicsDriverLoaded();
    test::ScopedWorkingDir workingDir(test::sourceDir());
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_OPENGL;
    params.WindowSize = core::dimension2du(640, 360);
    params.Doublebuffer = false; // the screenshot reads the front buffer
    params.Vsync = false;
    params.LoggingLevel = ELL_ERROR;
    IrrlichtDevice* device = createDeviceEx(params);
    ASSERT_NE(device, nullptr) << "no OpenGL device (run under Xvfb)";
    gameDevice = device;
    scene::ISceneManager* smgr = device->getSceneManager();
    video::IVideoDriver* driver = device->getVideoDriver();
    {
        auto levels = std::make_unique<LevelManager>(device);
        levelManager = levels.get();
        ASSERT_TRUE(levels->init());
        registerSceneNodeFactory(smgr);
        registerMeshGate(smgr);
        registerPhysicsObjectTypes();
        Stopwatch stopwatch(L"frame", 0.0f, StopwatchClock{&readResetGlClock, 1000});
        frameStopwatch = &stopwatch;
        auto physics = std::make_unique<PhysicsManager>();
        physicsManager = physics.get();
        ASSERT_TRUE(physics->init());

        ASSERT_TRUE(SceneLoader(smgr).load("Content/Levels/ResetDemo.irr"));
        smgr->setAmbientLight(video::SColorf(0.45f, 0.45f, 0.5f));
        smgr->addLightSceneNode(nullptr, core::vector3df(-10, 30, -20), video::SColorf(0.9f, 0.9f, 0.85f), 80.0f);
        scene::ICameraSceneNode* camera =
            smgr->addCameraSceneNode(nullptr, core::vector3df(0, 5, -16), core::vector3df(0, 3, 0));
        auto* faller = asPhysicsObject(smgr->getSceneNodeFromName("Faller"));
        ASSERT_NE(faller, nullptr);
        const video::SColor background(255, 90, 120, 160);
        u32 timeMs = 0;
        auto play = [&](int frames) {
            for (int frame = 0; frame < frames; ++frame) {
                resetGlClockCount += 17;
                stopwatch.tick();
                physics->endStep();
                physics->updateStepCount(PhysicsManager::fixedStepSize);
                if (++levelAnimateFrame == 0)
                    levelAnimateFrame = 1;
                timeMs += 17;
                smgr->getRootSceneNode()->OnAnimate(timeMs);
                physics->beginStep();
                physics->stepDuringRender();
                physics->stepDuringRender();
            }
        };
        int picture = 0;
        // Whether the pixel where the point shows differs from the sky.
        auto drawnAt = [&](const core::vector3df& point) {
            driver->beginScene(true, true, background);
            smgr->drawAll();
            driver->endScene();
            video::IImage* shot = driver->createScreenShot();
            EXPECT_NE(shot, nullptr);
            if (!shot)
                return false;
            if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT")) {
                std::string path(keep);
                path.insert(path.size() > 4 ? path.size() - 4 : path.size(), "-" + std::to_string(++picture));
                driver->writeImageToFile(shot, path.c_str());
            }
            const core::position2di at = smgr->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(
                point, camera);
            const bool drawn = (shot->getPixel(static_cast<u32>(at.X), static_cast<u32>(at.Y)).color & 0xFFFFFF) !=
                               (background.color & 0xFFFFFF);
            shot->drop();
            return drawn;
        };
        const core::vector3df spawn(0, 6, 0);
        EXPECT_TRUE(drawnAt(spawn)) << "the crate at its spawn point";
        // Fall until the reset starts, then most of the shrinking second.
        int frames = 0;
        while (faller->respawnEffectTimer < 0.0f && frames++ < 300)
            play(1);
        ASSERT_GE(faller->respawnEffectTimer, 0.0f) << "the crate fell below its reset height";
        play(50);
        EXPECT_LT(faller->getScale().X, 0.2f);
        // A full-size crate lying there would cover the point just under its top.
        EXPECT_FALSE(drawnAt(faller->getAbsolutePosition() + core::vector3df(0, 1.4f, 0))) << "shrunk away";
        frames = 0;
        while (faller->respawnEffectTimer >= 0.0f && frames++ < 60)
            play(1);
        ASSERT_LT(faller->respawnEffectTimer, 0.0f) << "respawned after its second";
        EXPECT_LT(faller->getScale().X, 0.01f) << "back at its spawn point, tiny";
        EXPECT_NEAR(faller->getActor()->getGlobalPose().p.y, 6.0f, 1e-3f);
        play(12);
        EXPECT_GT(faller->getScale().X, 0.75f) << "growing back";
        EXPECT_TRUE(drawnAt(faller->getAbsolutePosition())) << "drawn again in the air";
        frames = 0;
        while (faller->getScale().X != 1.5f && frames++ < 60)
            play(1);
        EXPECT_EQ(faller->getScale(), core::vector3df(1.5f, 1.5f, 1.5f)) << "its spawn scale";

        smgr->clear();
        physics.reset();
        physicsManager = nullptr;
        frameStopwatch = nullptr;
        levels.reset();
        levelManager = nullptr;
    }
    device->drop();
    gameDevice = nullptr;
    levelAnimateFrame = 0;
}

} // namespace
