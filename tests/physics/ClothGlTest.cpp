// A cloth on the OpenGL driver under Xvfb, drawn by the lit shader: seen from either side
// with the light behind the camera, it shows lit, also when its node is turned (its normals
// come from the simulation in world space). PADDLESTONE_KEEP_SCREENSHOT=/path/shot.png keeps
// the pictures (shot-cloth-front.png, shot-cloth-back.png).
#include "ShadedPhysicsGlFixture.h"

#include "support/GraphicsDriver.h"

#include <irrlicht.h>

using namespace irr;

namespace {

using ClothGlTest = ShadedPhysicsGlFixture;

TEST_F(ClothGlTest, AClothIsLitOnTheSideTheCameraSees) {
    scene::ISceneManager* scene = device->getSceneManager();
    scene->setAmbientLight(video::SColorf(0.1f, 0.1f, 0.1f, 1.0f));
    // Turned half round: drawn normals that were turned a second time would face away.
    PhysicsObject* banner = addObject([](io::IAttributes* a) {
        a->addString("Name", "Banner");
        a->addVector3d("Position", core::vector3df(0, 2, 0));
        a->addVector3d("Rotation", core::vector3df(0, 180, 0));
        a->addString("MeshFileName", "Content/Models/Props/Cloth.obj");
        a->addEnum("BoundType", "Cloth", boundTypeNames);
        a->addEnum("PhysicsState", "Kinematic", physicsStateNames);
    });
    ASSERT_NE(banner->getCloth(), nullptr);
    scene::ICameraSceneNode* camera = scene->addCameraSceneNode();
    scene::ILightSceneNode* lamp = scene->addLightSceneNode(nullptr, {}, video::SColorf(0.9f, 0.9f, 0.9f), 100.0f);
    lamp->getLightData().Attenuation = core::vector3df(1, 0, 0);
    double lit[2] = {};
    const struct {
        f32 z;
        const char* suffix;
    } sides[] = {{-6.0f, "-cloth-front"}, {6.0f, "-cloth-back"}};
    u32 time = 1000;
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(sides[i].suffix);
        camera->setPosition(core::vector3df(0, 0, sides[i].z));
        camera->setTarget(core::vector3df(0, 0, 0));
        lamp->setPosition(core::vector3df(0, 1, sides[i].z));
        video::IImage* shot = drawFrame(time += 17, sides[i].suffix);
        ASSERT_NE(shot, nullptr);
        const core::recti middle(270, 190, 370, 290);
        // The cloth's own colour covers the middle (not the background a culled side leaves)...
        EXPECT_EQ(test::countPixels(shot, middle,
                                    [](const video::SColor& c) { return c.getRed() > c.getGreen() + 60; }),
                  100 * 100);
        // ... lit by the lamp, far above what the ambient light alone gives (about 12).
        lit[i] = rendertest::meanLuminance(shot, middle);
        shot->drop();
    }
    EXPECT_GT(lit[0], 40.0);
    EXPECT_NEAR(lit[1], lit[0], lit[0] * 0.2) << "both sides are lit alike";
}

} // namespace
