// The demonstration level on the OpenGL driver: its physics objects fall onto the floor
// and come to rest there, drawn where their bodies lie.
// PADDLESTONE_KEEP_SCREENSHOT=/path/physics.png keeps the picture.
#include "PhysicsGlStage.h"

#include "physics/objects/PhysicsObject.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace irr;

namespace {

TEST(PhysicsLevelGlTest, TheDemonstrationLevelRestsOnItsFloor) {
    test::ScopedWorkingDir workingDir(test::sourceDir());
    PhysicsGlStage stage(800, 450);
    ASSERT_NE(stage.device, nullptr) << "no OpenGL device (run under Xvfb)";
    ASSERT_TRUE(stage.ready());
    ASSERT_TRUE(stage.load("Content/Levels/PhysicsDemo.irr"));
    scene::ICameraSceneNode* camera =
        stage.smgr->addCameraSceneNode(nullptr, core::vector3df(0, 7, -16), core::vector3df(0, 0.5f, 1));
    stage.play(400);
    const video::SColor background(255, 90, 120, 160);
    video::IImage* shot = stage.drawAndShoot(background);
    ASSERT_NE(shot, nullptr);
    if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT"))
        stage.driver->writeImageToFile(shot, keep);

    // Each object is drawn where its body lies, on the floor, not in the sky.
    scene::ISceneCollisionManager* collision = stage.smgr->getSceneCollisionManager();
    for (const char* name : {"Crate", "Ball", "Barrel", "Pill", "Rock", "StackedCrate"}) {
        auto* object = asPhysicsObject(stage.smgr->getSceneNodeFromName(name));
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
}

} // namespace
