// A character walking its square path in the character demonstration level, drawn on the
// OpenGL driver: two pictures a few seconds apart show the figure at two places of the path.
// PADDLESTONE_KEEP_SCREENSHOT=/path/walk.png keeps the pictures (walk.png.1.png, .2.png).
#include "characters/CharacterObject.h"
#include "characters/CharacterRegistration.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"
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

std::int64_t characterGlClock = 0;
std::int64_t readCharacterGlClock() { return characterGlClock; }

TEST(CharacterGlTest, ACharacterIsDrawnWalkingAlongItsPath) {
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
        registerCharacters();
        shellHooks().physics.isSimulationActive = [] { return true; };
        Stopwatch stopwatch(L"frame", 0.0f, StopwatchClock{&readCharacterGlClock, 1000});
        frameStopwatch = &stopwatch;
        auto physics = std::make_unique<PhysicsManager>();
        physicsManager = physics.get();
        ASSERT_TRUE(physics->init());

        ASSERT_TRUE(SceneLoader(smgr).load("Content/Levels/CharacterDemo.irr"));
        levels->rebuildNodeIDs();
        auto* walker = asCharacter(smgr->getSceneNodeFromName("Walker"));
        ASSERT_NE(walker, nullptr);
        smgr->setAmbientLight(video::SColorf(0.45f, 0.45f, 0.5f));
        smgr->addLightSceneNode(nullptr, core::vector3df(-10, 30, -20), video::SColorf(0.9f, 0.9f, 0.85f), 80.0f);
        scene::ICameraSceneNode* camera =
            smgr->addCameraSceneNode(nullptr, core::vector3df(0, 16, -20), core::vector3df(0, 1, 0));

        u32 timeMs = 0;
        const auto play = [&](int frames) {
            for (int frame = 0; frame < frames; ++frame) {
                characterGlClock += 17;
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
        const video::SColor background(255, 90, 120, 160);
        const auto picture = [&](int index) {
            driver->beginScene(true, true, background);
            smgr->drawAll();
            driver->endScene();
            video::IImage* shot = driver->createScreenShot();
            if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT"); keep && shot)
                driver->writeImageToFile(shot, (std::string(keep) + "." + std::to_string(index) + ".png").c_str());
            return shot;
        };
        // The figure's middle (its chest) on the screen.
        const auto figureOnScreen = [&] {
            const core::vector3df chest =
                walker->getMeshNode()->getTransformedBoundingBox().getCenter();
            return smgr->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(chest, camera);
        };

        play(90); // turns toward the first corner and sets off
        const core::vector3df first = walker->getControllerPosition();
        video::IImage* shot1 = picture(1);
        const core::position2di at1 = figureOnScreen();
        play(150);
        const core::vector3df second = walker->getControllerPosition();
        video::IImage* shot2 = picture(2);
        const core::position2di at2 = figureOnScreen();
        ASSERT_NE(shot1, nullptr);
        ASSERT_NE(shot2, nullptr);

        // It walked along the path's northern side, eastward.
        EXPECT_GT(second.X - first.X, 5.0f);
        EXPECT_NEAR(first.Z, 4.0f, 1.0f);
        EXPECT_NEAR(second.Z, 4.0f, 1.0f);
        // On screen: the figure stands where its body is in each picture, and has left the
        // place of the first.
        for (const core::position2di& at : {at1, at2})
            ASSERT_TRUE(at.X >= 0 && at.Y >= 0 && at.X < 800 && at.Y < 450);
        EXPECT_GT(at2.X - at1.X, 60) << "the figure moved across the picture";
        const auto pixel = [](video::IImage* shot, const core::position2di& at) {
            return shot->getPixel(static_cast<u32>(at.X), static_cast<u32>(at.Y)).color & 0xFFFFFF;
        };
        EXPECT_NE(pixel(shot1, at1), pixel(shot2, at1)) << "the first place is empty in the second picture";
        EXPECT_NE(pixel(shot2, at2), pixel(shot1, at2)) << "the second place was empty in the first picture";
        EXPECT_NE(pixel(shot1, at1), background.color & 0xFFFFFF);
        shot1->drop();
        shot2->drop();

        smgr->clear();
        physics.reset();
        physicsManager = nullptr;
        frameStopwatch = nullptr;
        resetShellHooks();
        levels.reset();
        levelManager = nullptr;
    }
    device->drop();
    gameDevice = nullptr;
    levelAnimateFrame = 0;
}

} // namespace
