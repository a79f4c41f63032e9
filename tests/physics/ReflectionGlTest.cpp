// A reflective physics object on the OpenGL driver under Xvfb: a mirror floor shows the
// image of a red block standing above it when the frame has room for its pass, and the camera
// comes back unchanged from the pass.
// PADDLESTONE_KEEP_SCREENSHOT=/path/shot.png keeps the picture (shot-reflection.png).
#include "ShadedPhysicsGlFixture.h"

#include "core/Globals.h"
#include "render/EffectHandler.h"

#include "support/GraphicsDriver.h"

using namespace irr;

namespace {

class ReflectionGlTest : public ShadedPhysicsGlFixture {
protected:
    // A static mirror floor, held by the scene alone.
    PhysicsObject* addMirrorFloor() {
        return addObject([](io::IAttributes* a) {
            a->addString("Name", "Mirror");
            a->addString("MeshFileName", "Content/Models/Props/Floor.obj");
            a->addEnum("BoundType", "Mesh", boundTypeNames);
            a->addEnum("PhysicsState", "Static", physicsStateNames);
            a->addBool("IsReflective", true);
        });
    }
};

TEST_F(ReflectionGlTest, AMirrorFloorShowsTheBlockAboveIt) {
    scene::ISceneManager* scene = device->getSceneManager();
    PhysicsObject* floor = addMirrorFloor();
    ASSERT_TRUE(floor->IsReflective);

    scene::IMeshSceneNode* block = scene->addCubeSceneNode(3.0f, nullptr, -1, core::vector3df(0, 4, 6));
    scene->getMeshManipulator()->setVertexColors(block->getMesh(), video::SColor(255, 230, 30, 30));
    block->setMaterialFlag(video::EMF_LIGHTING, false);
    // Culled by its frustum planes as a physics object's mesh is: the mirrored camera's
    // oblique projection must not cull it.
    block->setAutomaticCulling(scene::EAC_FRUSTUM_BOX);
    scene::ICameraSceneNode* camera = scene->addCameraSceneNode(nullptr, core::vector3df(0, 7, -10));
    camera->setTarget(core::vector3df(0, 0, 6));

    // One extra scene pass in the frame is room for the mirror's image; without it the mirror
    // shows its fixed textures.
    effectHandler->extraScenePassLimit = 1;
    video::IImage* shot = drawFrame(1000, nullptr);
    if (shot)
        shot->drop();
    ASSERT_TRUE(floor->getReflection().reflectionReady);
    effectHandler->extraScenePassLimit = 0;
    shot = drawFrame(1008, nullptr);
    if (shot)
        shot->drop();
    EXPECT_FALSE(floor->getReflection().reflectionReady);
    effectHandler->extraScenePassLimit = 1;
    shot = drawFrame(1017, "-reflection");
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(camera->getPosition(), core::vector3df(0, 7, -10)); // restored after the pass
    EXPECT_EQ(camera->getTarget(), core::vector3df(0, 0, 6));
    EXPECT_FLOAT_EQ(floor->mirrorPoint(core::vector3df(2, 3, 1)).Y, -3.0f);

    // The block's mirror image lies on the floor where (0, -4, 6) projects; beside it the
    // floor shows no red.
    scene::ISceneCollisionManager* collision = scene->getSceneCollisionManager();
    const core::position2di image = collision->getScreenCoordinatesFrom3DPosition(core::vector3df(0, -4, 6), camera);
    const core::position2di beside = collision->getScreenCoordinatesFrom3DPosition(core::vector3df(9, -4, 6), camera);
    const auto reddish = [](const video::SColor& c) { return c.getRed() > c.getGreen() + 25 && c.getRed() > c.getBlue() + 25; };
    const int mirrored = test::countPixels(shot, core::recti(image.X - 10, image.Y - 10, image.X + 10, image.Y + 10), reddish);
    const int elsewhere = test::countPixels(shot, core::recti(beside.X - 10, beside.Y - 10, beside.X + 10, beside.Y + 10), reddish);
    EXPECT_GT(mirrored, 150) << "the block's image in the mirror";
    EXPECT_LT(elsewhere, 20);
    shot->drop();
}

TEST_F(ReflectionGlTest, AMirrorRemovedByItsOwnSceneDrawLivesUntilItsCallbackEnds) {
    // The scene drawn for the image animates the scene: an animator that deletes the mirror
    // frees it inside its own callback, unless the callback holds it (the sanitizers watch).
    scene::ISceneManager* scene = device->getSceneManager();
    PhysicsObject* floor = addMirrorFloor();
    ASSERT_TRUE(floor->IsReflective);
    scene::ISceneNodeAnimator* deletion = scene->createDeleteAnimator(0);
    floor->addAnimator(deletion);
    deletion->drop();
    scene->addCameraSceneNode(nullptr, core::vector3df(0, 7, -10), core::vector3df(0, 0, 6));
    ASSERT_EQ(effectHandler->renderCallbacks.size(), 1u);
    // Past the animator's end, whatever time an earlier test left on the engine's clock.
    video::IImage* shot = drawFrame(device->getTimer()->getTime() + 1000, nullptr);
    if (shot)
        shot->drop();
    for (scene::ISceneNode* child : scene->getRootSceneNode()->getChildren())
        EXPECT_NE(child, static_cast<scene::ISceneNode*>(floor));
    EXPECT_EQ(effectHandler->renderCallbacks.size(), 0u) << "the mirror is gone with its callback";
}

} // namespace
