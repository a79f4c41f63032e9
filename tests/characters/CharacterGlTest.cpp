// A character walking its square path in the character demonstration level, drawn on the
// OpenGL driver: two pictures a few seconds apart show the figure at two places of the path.
// PADDLESTONE_KEEP_SCREENSHOT=/path/walk.png keeps the pictures (walk.png.1.png, .2.png).
// A path being edited is drawn through its points; in play it is not.
#include "characters/CharacterObject.h"
#include "characters/CharacterRegistration.h"
#include "characters/WaypointObject.h"

#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "level/LevelManager.h"

#include "../physics/PhysicsGlStage.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace irr;

namespace {

TEST(CharacterGlTest, ACharacterIsDrawnWalkingAlongItsPath) {
    test::ScopedWorkingDir workingDir(test::sourceDir());
    PhysicsGlStage stage(800, 450);
    ASSERT_TRUE(stage.ready()) << "no OpenGL device (run under Xvfb)";
    registerCharacters();
    coreSlots().physics.isSimulationActive = [] { return true; };
    ASSERT_TRUE(stage.load("Content/Levels/CharacterDemo.irr"));
    levelManager->rebuildNodeIDs();
    auto* walker = asCharacter(stage.smgr->getSceneNodeFromName("Walker"));
    ASSERT_NE(walker, nullptr);
    scene::ICameraSceneNode* camera =
        stage.smgr->addCameraSceneNode(nullptr, core::vector3df(0, 16, -20), core::vector3df(0, 1, 0));
    {
        const video::SColor background(255, 90, 120, 160);
        const auto picture = [&](int index) {
            video::IImage* shot = stage.drawAndShoot(background);
            if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT"); keep && shot)
                stage.driver->writeImageToFile(shot, (std::string(keep) + "." + std::to_string(index) + ".png").c_str());
            return shot;
        };
        // The figure's middle (its chest) on the screen.
        const auto figureOnScreen = [&] {
            const core::vector3df chest =
                walker->getMeshNode()->getTransformedBoundingBox().getCenter();
            return stage.smgr->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(chest, camera);
        };

        stage.play(90); // turns toward the first corner and sets off
        const core::vector3df first = walker->getControllerPosition();
        video::IImage* shot1 = picture(1);
        const core::position2di at1 = figureOnScreen();
        stage.play(150);
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
    }
    resetCoreSlots();
}

// A path is drawn in opaque orange through its points while the level is edited, straight or
// curved, and not at all in play.
TEST(CharacterGlTest, APathIsDrawnInOrangeOnlyWhileTheLevelIsEdited) {
    PhysicsGlStage stage(320, 240);
    ASSERT_TRUE(stage.ready()) << "no OpenGL device (run under Xvfb)";
    registerCharacters();
    stage.smgr->addCameraSceneNode(nullptr, core::vector3df(0, 20, -1), core::vector3df(0, 0, 0));
    const video::SColor background(255, 20, 40, 80);
    const auto orangePixels = [&] {
        video::IImage* shot = stage.drawAndShoot(background);
        if (!shot)
            return -1;
        int count = 0;
        const core::dimension2du size = shot->getDimension();
        for (u32 y = 0; y < size.Height; ++y)
            for (u32 x = 0; x < size.Width; ++x)
                count += (shot->getPixel(x, y).color & 0xFFFFFF) == 0xFFC000;
        shot->drop();
        return count;
    };
    const struct {
        const char* what;
        bool linear, playing, drawn;
    } rows[] = {{"straight, edited", true, false, true},
                {"curved, edited", false, false, true},
                {"straight, in play", true, true, false},
                {"curved, in play", false, true, false}};
    static bool playing = false;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        playing = row.playing;
        coreSlots().physics.isSimulationActive = [] { return playing; };
        auto* start = new WaypointObject(stage.smgr->getRootSceneNode(), stage.smgr, 50);
        start->drop();
        for (const core::vector3df& at : {core::vector3df(-6, 0, -4), core::vector3df(6, 0, -4), core::vector3df(6, 0, 4)}) {
            auto* point = new WaypointObject(start, stage.smgr, -1);
            point->drop();
            point->setPosition(at);
            point->UseLinearInterpolation = row.linear;
        }
        const int count = orangePixels();
        ASSERT_GE(count, 0) << "no screenshot";
        if (row.drawn) {
            EXPECT_GT(count, 20) << "a line across the picture";
        } else {
            EXPECT_EQ(count, 0);
        }
        start->remove();
    }
    resetCoreSlots();
}

} // namespace
