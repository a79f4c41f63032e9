// The reset level on the OpenGL driver: its crate falls below its reset height, shrinks
// away, and comes back at its spawn point growing to its full size. Three pictures of the
// sequence: at its spawn point, shrunk away on the floor, growing back in the air.
// PADDLESTONE_KEEP_SCREENSHOT=/path/reset.png keeps them as reset-1.png, reset-2.png, ...
#include "PhysicsGlStage.h"

#include "physics/objects/PhysicsObject.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace irr;

namespace {

TEST(PhysicsResetGlTest, AFallenCrateShrinksAndGrowsBackAtItsSpawnPoint) {
    test::ScopedWorkingDir workingDir(test::sourceDir());
    PhysicsGlStage stage(640, 360);
    ASSERT_NE(stage.device, nullptr) << "no OpenGL device (run under Xvfb)";
    ASSERT_TRUE(stage.ready());
    ASSERT_TRUE(stage.load("Content/Levels/ResetDemo.irr"));
    scene::ICameraSceneNode* camera =
        stage.smgr->addCameraSceneNode(nullptr, core::vector3df(0, 5, -16), core::vector3df(0, 3, 0));
    auto* faller = asPhysicsObject(stage.smgr->getSceneNodeFromName("Faller"));
    ASSERT_NE(faller, nullptr);
    const video::SColor background(255, 90, 120, 160);
    int picture = 0;
    // Whether the pixel where the point shows differs from the sky.
    auto drawnAt = [&](const core::vector3df& point) {
        video::IImage* shot = stage.drawAndShoot(background);
        EXPECT_NE(shot, nullptr);
        if (!shot)
            return false;
        if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT")) {
            std::string path(keep);
            path.insert(path.size() > 4 ? path.size() - 4 : path.size(), "-" + std::to_string(++picture));
            stage.driver->writeImageToFile(shot, path.c_str());
        }
        const core::position2di at =
            stage.smgr->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(point, camera);
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
        stage.play(1);
    ASSERT_GE(faller->respawnEffectTimer, 0.0f) << "the crate fell below its reset height";
    stage.play(50);
    EXPECT_LT(faller->getScale().X, 0.2f);
    // A full-size crate lying there would cover the point just under its top.
    EXPECT_FALSE(drawnAt(faller->getAbsolutePosition() + core::vector3df(0, 1.4f, 0))) << "shrunk away";
    frames = 0;
    while (faller->respawnEffectTimer >= 0.0f && frames++ < 60)
        stage.play(1);
    ASSERT_LT(faller->respawnEffectTimer, 0.0f) << "respawned after its second";
    EXPECT_LT(faller->getScale().X, 0.01f) << "back at its spawn point, tiny";
    EXPECT_NEAR(faller->getActor()->getGlobalPose().p.y, 6.0f, 1e-3f);
    stage.play(12);
    EXPECT_GT(faller->getScale().X, 0.75f) << "growing back";
    EXPECT_TRUE(drawnAt(faller->getAbsolutePosition())) << "drawn again in the air";
    frames = 0;
    while (faller->getScale().X != 1.5f && frames++ < 60)
        stage.play(1);
    EXPECT_EQ(faller->getScale(), core::vector3df(1.5f, 1.5f, 1.5f)) << "its spawn scale";
}

} // namespace
