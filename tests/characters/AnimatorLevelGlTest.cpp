// The animator demonstration level on the OpenGL driver: a crate spins, a ball rides a
// spline path and a light flickers between two colours, seen in a sequence of pictures.
// PADDLESTONE_KEEP_SCREENSHOT=/path/animators keeps them as /path/animators-1.png ...
#include "characters/animators/AnimatorFactory.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "core/Stopwatch.h"
#include "level/LevelFile.h"
#include "level/LevelManager.h"
#include "level/MeshGate.h"
#include "level/SceneNodeBase.h"
#include "level/SceneNodeFactory.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"
#include "render/LightObject.h"

#include "support/GraphicsDriver.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

using namespace irr;

namespace {

std::int64_t animatorGlClock = 0;
std::int64_t readAnimatorGlClock() { return animatorGlClock; }

struct Shot {
    f32 spinnerYaw;
    core::position2di rider;
    video::SColorf lightColour;
    video::SColor floorPixel;
};

TEST(AnimatorLevelGlTest, ObjectsSpinRideTheirPathAndTheLightFlickers) {
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
    std::vector<Shot> shots;
    {
        auto levels = std::make_unique<LevelManager>(device);
        levelManager = levels.get();
        ASSERT_TRUE(levels->init());
        registerSceneNodeFactory(smgr);
        registerMeshGate(smgr);
        registerPhysicsObjectTypes();
        registerLightObjectType();
        AnimatorFactory* factory = new AnimatorFactory(smgr);
        Stopwatch stopwatch(L"frame", 0.0f, StopwatchClock{&readAnimatorGlClock, 1000});
        frameStopwatch = &stopwatch;
        auto physics = std::make_unique<PhysicsManager>();
        physicsManager = physics.get();
        ASSERT_TRUE(physics->init());
        coreSlots().physics.isSimulationActive = [] { return physicsManager != nullptr; };

        ASSERT_TRUE(levels->loadLevel("Content/Levels/AnimatorDemo.irr"));
        scene::ICameraSceneNode* camera =
            smgr->addCameraSceneNode(nullptr, core::vector3df(1, 9, -15), core::vector3df(1, 0.5f, 1));
        scene::ISceneNode* spinner = smgr->getSceneNodeFromName("Spinner");
        auto* rider = asPhysicsObject(smgr->getSceneNodeFromName("Rider"));
        auto* light = static_cast<LightObject*>(smgr->getSceneNodeFromName("Flicker"));
        ASSERT_TRUE(spinner && rider && light);
        EXPECT_EQ(spinner->getAnimators().size(), 1u) << "the level's animator came from the factory";

        u32 timeMs = 0;
        const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT");
        for (int frame = 1; frame <= 90; ++frame) {
            animatorGlClock += 17;
            stopwatch.tick();
            physics->endStep();
            physics->updateStepCount(PhysicsManager::fixedStepSize);
            if (++levelAnimateFrame == 0)
                levelAnimateFrame = 1;
            timeMs += 17;
            smgr->getRootSceneNode()->OnAnimate(timeMs);
            physics->beginStep();
            physics->stepDuringRender();
            if (frame % 30 != 0)
                continue;
            driver->beginScene(true, true, video::SColor(255, 90, 120, 160));
            smgr->drawAll();
            driver->endScene();
            video::IImage* picture = driver->createScreenShot();
            ASSERT_NE(picture, nullptr);
            if (keep)
                driver->writeImageToFile(picture, (std::string(keep) + "-" + std::to_string(frame / 30) + ".png").c_str());
            const core::position2di at = smgr->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(
                rider->getMeshNode()->getTransformedBoundingBox().getCenter(), camera);
            shots.push_back({spinner->getRotation().Y, at, light->getLightData().DiffuseColor,
                             picture->getPixel(400, 400)});
            // The ball is drawn where it rides.
            ASSERT_TRUE(at.X >= 0 && at.Y >= 0 && at.X < 800 && at.Y < 450);
            EXPECT_NE(picture->getPixel(static_cast<u32>(at.X), static_cast<u32>(at.Y)).color & 0xFFFFFF,
                      0x5A78A0u) << "the ball covers the background at its place";
            picture->drop();
        }
        smgr->clear();
        physics.reset();
        physicsManager = nullptr;
        frameStopwatch = nullptr;
        factory->drop();
        levels.reset();
        levelManager = nullptr;
        resetCoreSlots();
    }
    device->drop();
    gameDevice = nullptr;
    levelAnimateFrame = 0;

    ASSERT_EQ(shots.size(), 3u);
    for (std::size_t i = 1; i < shots.size(); ++i) {
        SCOPED_TRACE(i);
        // 150 degrees a second: 76.5 degrees between two pictures 0.51 s apart.
        EXPECT_NEAR(std::fmod(shots[i].spinnerYaw - shots[i - 1].spinnerYaw + 360.0f, 360.0f), 76.5f, 1.0f);
        EXPECT_GT(std::abs(shots[i].rider.X - shots[i - 1].rider.X) + std::abs(shots[i].rider.Y - shots[i - 1].rider.Y), 20);
        EXPECT_NE(shots[i].lightColour.toSColor(), shots[i - 1].lightColour.toSColor()) << "the light's colour moved";
    }
    EXPECT_NE(shots[0].floorPixel, shots[1].floorPixel) << "the lit floor changes colour with the light";
}

} // namespace
