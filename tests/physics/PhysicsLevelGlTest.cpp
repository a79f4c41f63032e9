// The demonstration level on the OpenGL driver: its physics objects fall onto the floor
// and come to rest there, drawn where their bodies lie.
// PADDLESTONE_KEEP_SCREENSHOT=/path/physics.png keeps the picture.
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

using namespace irr;

namespace {

std::int64_t glClockCount = 0;
std::int64_t readGlClock() { return glClockCount; }

TEST(PhysicsLevelGlTest, TheDemonstrationLevelRestsOnItsFloor) {
    test::keepGraphicsDriverLoaded();
    test::ScopedWorkingDir workingDir(test::sourceDir());
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_OPENGL;
    params.WindowSize = core::dimension2du(800, 450);
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
        Stopwatch stopwatch(L"frame", 0.0f, StopwatchClock{&readGlClock, 1000});
        frameStopwatch = &stopwatch;
        auto physics = std::make_unique<PhysicsManager>();
        physicsManager = physics.get();
        ASSERT_TRUE(physics->init());

        ASSERT_TRUE(SceneLoader(smgr).load("Content/Levels/PhysicsDemo.irr"));
        smgr->setAmbientLight(video::SColorf(0.45f, 0.45f, 0.5f));
        smgr->addLightSceneNode(nullptr, core::vector3df(-10, 30, -20), video::SColorf(0.9f, 0.9f, 0.85f), 80.0f);
        scene::ICameraSceneNode* camera =
            smgr->addCameraSceneNode(nullptr, core::vector3df(0, 7, -16), core::vector3df(0, 0.5f, 1));
        u32 timeMs = 0;
        for (int frame = 0; frame < 400; ++frame) {
            glClockCount += 17;
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
        const video::SColor background(255, 90, 120, 160);
        driver->beginScene(true, true, background);
        smgr->drawAll();
        driver->endScene();
        video::IImage* shot = driver->createScreenShot();
        ASSERT_NE(shot, nullptr);
        if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT"))
            driver->writeImageToFile(shot, keep);

        // Each object is drawn where its body lies, on the floor, not in the sky.
        scene::ISceneCollisionManager* collision = smgr->getSceneCollisionManager();
        for (const char* name : {"Crate", "Ball", "Barrel", "Pill", "Rock", "StackedCrate"}) {
            auto* object = asPhysicsObject(smgr->getSceneNodeFromName(name));
            ASSERT_NE(object, nullptr) << name;
            const core::vector3df centre = object->getMeshNode()->getTransformedBoundingBox().getCenter();
            EXPECT_LT(centre.Y, 2.5f) << name << " rests low";
            const core::position2di at = collision->getScreenCoordinatesFrom3DPosition(centre, camera);
            ASSERT_TRUE(at.X >= 0 && at.Y >= 0 && at.X < 800 && at.Y < 450) << name;
            const video::SColor pixel = shot->getPixel(static_cast<u32>(at.X), static_cast<u32>(at.Y));
            EXPECT_NE(pixel.color & 0xFFFFFF, background.color & 0xFFFFFF) << name << " is drawn";
        }
        // The floor fills the lower middle of the picture, the sky the top.
        EXPECT_NE(shot->getPixel(400, 400).color & 0xFFFFFF, background.color & 0xFFFFFF);
        EXPECT_EQ(shot->getPixel(400, 5).color & 0xFFFFFF, background.color & 0xFFFFFF);
        shot->drop();

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
