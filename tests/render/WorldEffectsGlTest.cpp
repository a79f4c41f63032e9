// World effects on the OpenGL driver under Xvfb: a particle fountain drawn through the frame
// shows its sprites, a billboard faces the camera from the front and from the side, a water
// surface shows the reflection of a block above it and the floor below it, and its waves move.
// PADDLESTONE_KEEP_SCREENSHOT=/path/effects.png keeps the pictures (effects-fountain.png,
// effects-billboard-front.png, effects-billboard-side.png, effects-water.png).
#include "render/BillboardObject.h"
#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/ParticleObject.h"
#include "render/ParticleSystemNode.h"
#include "render/RenderRegistration.h"
#include "render/RenderServices.h"
#include "render/ShaderManager.h"
#include "render/WaterObject.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "render/RenderManagers.h"
#include "support/GraphicsDriver.h"
#include "support/TempDir.h"

#include "RenderFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

using namespace irr;

namespace {

class WorldEffectsGlTest : public ::testing::Test, protected rendertest::RenderGlFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(openRendering(core::dimension2du(640, 480)));
        EffectHandlerSetup setup;
        setup.renderCallbacksEnabled = true;
        startRendering(setup);
    }
    void TearDown() override { closeRendering(); }
    scene::ISceneManager* scene() { return device->getSceneManager(); }

    // Draws one frame at the virtual time through the game's frame; the picture, kept when
    // asked for under the suffix.
    video::IImage* drawFrame(u32 timeMs, const char* suffix) {
        device->getTimer()->setTime(timeMs);
        device->run();
        device->getTimer()->setTime(timeMs);
        scene()->getRootSceneNode()->OnAnimate(timeMs);
        return rendertest::shootEffectFrame(device->getVideoDriver(), effectHandler, suffix);
    }
    // A water surface at the position, still (no waves) and without colour of its own.
    WaterObject* addWater(const core::vector3df& position, f32 size) {
        auto* water = new WaterObject(64.0f, 64.0f,
                                      device->getVideoDriver()->getTexture(WaterObject::defaultBumpTexture),
                                      scene()->getRootSceneNode(), scene());
        water->drop();
        io::IAttributes* attributes = device->getFileSystem()->createEmptyAttributes();
        water->serializeAttributes(attributes);
        attributes->setAttribute("WaterSize", core::vector2df(size, size));
        attributes->setAttribute("WaveHeight", 0.0f);
        attributes->setAttribute("ColorBlendFactor", 0.0f);
        water->deserializeAttributes(attributes);
        attributes->drop();
        water->setPosition(position);
        water->updateAbsolutePosition();
        return water;
    }
};

TEST_F(WorldEffectsGlTest, FountainShowsItsSprites) {
    auto* fountain = new ParticleObject(scene()->getRootSceneNode(), scene());
    fountain->drop();
    // A small round nozzle (the engine's point emitter gives one particle per update at most)
    // spraying up and out, pulled back down by gravity.
    ParticleSettings& s = fountain->settings;
    fountain->EmitterType = ParticleObject::SphereEmitter;
    s.radius = 0.5f;
    s.direction.set(0, 0.045f, 0);
    s.maxAngleDegrees = 25;
    s.gravity.set(0, -0.04f, 0);
    s.gravityFullEffectMS = 1400;
    s.particlesPerSecond.set(120, 150);
    s.minLifeTime = 1600;
    s.maxLifeTime = 2000;
    s.minStartSize.set(2.5f, 2.5f);
    s.maxStartSize.set(3.5f, 3.5f);
    s.minStartColor = video::SColor(255, 255, 255, 255);
    s.maxStartColor = video::SColor(255, 255, 255, 255);
    s.rotationSpeed = 1.0f;
    fountain->BlendType = ParticleObject::AlphaBlend;
    fountain->createParticleSystem();
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 12, -60));
    camera->setTarget(core::vector3df(0, 12, 0));

    video::IImage* shot = nullptr;
    for (u32 t = 1000; t <= 2600; t += 20) {
        if (shot)
            shot->drop();
        shot = drawFrame(t, t == 2600 ? "-fountain" : nullptr);
    }
    ASSERT_NE(shot, nullptr);
    ParticleSystemNode* node = fountain->getParticleNode();
    EXPECT_GT(node->getParticleCount(), 150u);
    // The sprites are the light blue disc: bluish pixels above the fountain's foot, none far
    // to the side.
    const auto bluish = [](const video::SColor& c) {
        return c.getBlue() > 120 && c.getBlue() > c.getRed() + 30;
    };
    const int above = test::countPixels(shot, core::recti(220, 80, 420, 300), bluish);
    const int aside = test::countPixels(shot, core::recti(0, 0, 80, 480), bluish);
    EXPECT_GT(above, 1500) << "fountain sprites";
    EXPECT_EQ(aside, 0);
    shot->drop();
}

// Local particles travel with their node, so they are drawn in its place; global ones stay
// where they were born and are drawn in world space.
TEST_F(WorldEffectsGlTest, LocalParticlesAreDrawnAtTheirNodeAndGlobalOnesInWorldSpace) {
    scene()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -20));
    auto* node = new ParticleSystemNode(scene()->getRootSceneNode(), scene(), core::vector3df(5, 6, 7));
    node->drop();
    node->updateAbsolutePosition();
    video::IVideoDriver* driver = device->getVideoDriver();
    for (const bool global : {true, false}) {
        node->setParticlesAreGlobal(global);
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        node->render();
        EXPECT_EQ(driver->getTransform(video::ETS_WORLD).getTranslation(),
                  global ? core::vector3df(0, 0, 0) : core::vector3df(5, 6, 7))
            << (global ? "global" : "local");
        driver->endScene();
    }
}

TEST_F(WorldEffectsGlTest, BillboardFacesTheCameraFromTwoSides) {
    auto* billboard = new BillboardObject(scene()->getRootSceneNode(), scene(), -1, core::vector3df(0, 0, 0),
                                          core::dimension2df(20, 20), video::SColor(255, 255, 40, 40),
                                          video::SColor(255, 40, 40, 255));
    billboard->drop();
    billboard->getMaterial(0).setTexture(0, device->getVideoDriver()->getTexture("Content/Models/Editor/White.png"));
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -50));
    camera->setTarget(core::vector3df(0, 0, 0));

    struct View {
        core::vector3df position;
        const char* suffix;
    };
    const View views[] = {{core::vector3df(0, 0, -50), "-billboard-front"},
                          {core::vector3df(50, 0, 0), "-billboard-side"}};
    for (const View& view : views) {
        camera->setPosition(view.position);
        camera->setTarget(core::vector3df(0, 0, 0));
        video::IImage* shot = drawFrame(1000, view.suffix);
        ASSERT_NE(shot, nullptr);
        // Red on the upper half of the quad, blue on the lower, both wide on screen.
        const int red = test::countPixels(shot, core::recti(0, 0, 640, 240), [](const video::SColor& c) {
            return c.getRed() > 120 && c.getBlue() < c.getRed();
        });
        const int blue = test::countPixels(shot, core::recti(0, 240, 640, 480), [](const video::SColor& c) {
            return c.getBlue() > 120 && c.getRed() < c.getBlue();
        });
        EXPECT_GT(red, 8000) << view.suffix;
        EXPECT_GT(blue, 8000) << view.suffix;
        // Its box's lines are an editor's aid: none in play.
        const int boxLines = test::countPixels(shot, core::recti(0, 0, 640, 480), [](const video::SColor& c) {
            return std::abs(static_cast<int>(c.getRed()) - 208) < 4 && std::abs(static_cast<int>(c.getGreen()) - 195) < 4 &&
                   std::abs(static_cast<int>(c.getBlue()) - 152) < 4;
        });
        EXPECT_EQ(boxLines, 0) << view.suffix;
        shot->drop();
    }
}

// A solid, unlit node in one colour (fixed-function, so the driver's clip plane cuts it).
void paintSolid(scene::ISceneManager* scene, scene::IMeshSceneNode* node, const video::SColor& colour) {
    scene->getMeshManipulator()->setVertexColors(node->getMesh(), colour);
    node->setMaterialFlag(video::EMF_LIGHTING, false);
    node->setMaterialType(video::EMT_SOLID);
}

TEST_F(WorldEffectsGlTest, WaterShowsTheReflectionAboveAndTheFloorBelow) {
    // A green floor 6 below the surface, a red block standing out of the water above it.
    scene::IAnimatedMesh* floorMesh = scene()->addHillPlaneMesh("TestFloor", core::dimension2df(200, 200),
                                                               core::dimension2du(1, 1));
    scene::IMeshSceneNode* floor = scene()->addMeshSceneNode(floorMesh->getMesh(0), nullptr, -1,
                                                            core::vector3df(0, -6, 0));
    paintSolid(scene(), floor, video::SColor(255, 40, 200, 60));
    scene::IMeshSceneNode* block = scene()->addCubeSceneNode(10.0f, nullptr, -1, core::vector3df(0, 8, 20));
    paintSolid(scene(), block, video::SColor(255, 230, 40, 40));

    WaterObject* water = addWater(core::vector3df(0, 0, 0), 200.0f);
    ASSERT_NE(water->getRefractionTarget(), nullptr);
    ASSERT_NE(water->getReflectionTarget(), nullptr);

    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 10, -40));
    camera->setTarget(core::vector3df(0, 0, 20));
    video::IImage* shot = drawFrame(1000, nullptr);
    if (shot)
        shot->drop();
    shot = drawFrame(1016, "-water");
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(camera->getPosition(), core::vector3df(0, 10, -40)); // restored after the passes

    scene::ISceneCollisionManager* collision = scene()->getSceneCollisionManager();
    // Where the block's mirror image lies on the water: straight below its foot on screen.
    const core::position2di foot = collision->getScreenCoordinatesFrom3DPosition(core::vector3df(0, 0, 20), camera);
    const core::position2di mirrorTop =
        collision->getScreenCoordinatesFrom3DPosition(core::vector3df(0, -12, 20), camera);
    const auto reddish = [](const video::SColor& c) { return c.getRed() > 90 && c.getRed() > c.getGreen() + 40; };
    const auto greenish = [](const video::SColor& c) { return c.getGreen() > 70 && c.getGreen() > c.getRed() + 30; };
    const int reflected = test::countPixels(
        shot, core::recti(foot.X - 20, foot.Y + 4, foot.X + 20, std::min(mirrorTop.Y, foot.Y + 60)), reddish);
    // The floor seen through the water, off to the side of the block's mirror image.
    const core::position2di side = collision->getScreenCoordinatesFrom3DPosition(core::vector3df(-15, 0, -10), camera);
    const int floorSeen = test::countPixels(shot, core::recti(side.X - 15, side.Y - 15, side.X + 15, side.Y + 15), greenish);
    EXPECT_GT(reflected, 200) << "the block's reflection in the water";
    EXPECT_GT(floorSeen, 300) << "the floor below the surface";
    shot->drop();
}

// Counts the scene passes that reach it (each pass registers the scene anew).
class PassCounter : public scene::ISceneNode {
public:
    using ISceneNode::ISceneNode;
    void OnRegisterSceneNode() override {
        ++passes;
        ISceneNode::OnRegisterSceneNode();
    }
    void render() override {}
    const core::aabbox3df& getBoundingBox() const override { return box; }
    int passes = 0;
    core::aabbox3df box{-1, -1, -1, 1, 1, 1};
};

TEST_F(WorldEffectsGlTest, WaterOutOfViewDrawsNoImagePass) {
    auto* water = new WaterObject(64.0f, 64.0f, device->getVideoDriver()->getTexture(WaterObject::defaultBumpTexture),
                                  scene()->getRootSceneNode(), scene());
    water->drop();
    io::IAttributes* attributes = device->getFileSystem()->createEmptyAttributes();
    water->serializeAttributes(attributes);
    water->deserializeAttributes(attributes); // both images, waves 0.3 high
    attributes->drop();
    auto* counter = new PassCounter(scene()->getRootSceneNode(), scene(), -1);
    counter->drop();
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 10, -40));
    // The surface spans z -32..32: seen ahead, behind the camera when it looks the other way,
    // below it when it looks up.
    struct Row {
        core::vector3df position, target;
        int passes;
    } rows[] = {{{0, 10, -40}, {0, 0, 20}, 3},   {{0, 10, -40}, {0, 10, -100}, 1}, {{0, 10, -40}, {0, 0, 20}, 3},
                {{0, 40, 0}, {0, 500, 1}, 1}};
    u32 time = 1000;
    for (const Row& row : rows) {
        camera->setPosition(row.position);
        camera->setTarget(row.target);
        counter->passes = 0;
        video::IImage* shot = drawFrame(time += 16, nullptr);
        if (shot)
            shot->drop();
        EXPECT_EQ(counter->passes, row.passes) << "camera looking at " << row.target.X << ", " << row.target.Y << ", "
                                               << row.target.Z << " from height " << row.position.Y;
    }
}

TEST_F(WorldEffectsGlTest, WaterRemovedByItsOwnSceneDrawLivesUntilItsCallbackEnds) {
    // The scene drawn for the images animates the scene: an animator that deletes the surface
    // frees it inside its own callback, unless the callback holds it (the sanitizers watch).
    auto* water = new WaterObject(64.0f, 64.0f, device->getVideoDriver()->getTexture(WaterObject::defaultBumpTexture),
                                  scene()->getRootSceneNode(), scene());
    io::IAttributes* attributes = device->getFileSystem()->createEmptyAttributes();
    water->serializeAttributes(attributes);
    water->deserializeAttributes(attributes);
    attributes->drop();
    ASSERT_NE(water->getReflectionTarget(), nullptr);
    scene::ISceneNodeAnimator* deletion = scene()->createDeleteAnimator(0);
    water->addAnimator(deletion);
    deletion->drop();
    water->drop(); // the scene holds it alone, as a loaded level's node
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 10, -40));
    camera->setTarget(core::vector3df(0, 0, 20));
    ASSERT_EQ(effectHandler->renderCallbacks.size(), 1u);
    // Past the animator's end, whatever time an earlier test left on the engine's clock.
    video::IImage* shot = drawFrame(device->getTimer()->getTime() + 1000, nullptr);
    if (shot)
        shot->drop();
    for (scene::ISceneNode* child : scene()->getRootSceneNode()->getChildren())
        EXPECT_NE(child, static_cast<scene::ISceneNode*>(water));
    EXPECT_EQ(effectHandler->renderCallbacks.size(), 0u) << "the surface is gone with its callback";
}

// Over an even floor (a trough: nothing in the images to ripple) the wind's waves still move
// across the surface, a second apart; calm water stays as it was.
TEST_F(WorldEffectsGlTest, WavesMoveOnTheSurfaceOnlyWhenTheyHaveHeight) {
    scene::IAnimatedMesh* floorMesh = scene()->addHillPlaneMesh("EvenFloor", core::dimension2df(200, 200),
                                                               core::dimension2du(1, 1));
    scene::IMeshSceneNode* floor = scene()->addMeshSceneNode(floorMesh->getMesh(0), nullptr, -1,
                                                            core::vector3df(0, -2, 0));
    paintSolid(scene(), floor, video::SColor(255, 90, 110, 120));
    auto* water = new WaterObject(64.0f, 64.0f, device->getVideoDriver()->getTexture(WaterObject::defaultBumpTexture),
                                  scene()->getRootSceneNode(), scene());
    water->drop();
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 20, -30));
    camera->setTarget(core::vector3df(0, 0, 0));
    const core::recti middle(220, 240, 420, 360); // the surface fills the lower middle
    for (const f32 height : {0.0f, 0.001f, 0.2f}) {
        io::IAttributes* attributes = device->getFileSystem()->createEmptyAttributes();
        water->serializeAttributes(attributes);
        attributes->setAttribute("WaveHeight", height);
        attributes->setAttribute("WindForce", 4.0f);
        attributes->setAttribute("DisableReflection", true);
        water->deserializeAttributes(attributes);
        attributes->drop();
        video::IImage* before = drawFrame(1000, nullptr);
        video::IImage* after = drawFrame(2000, nullptr);
        ASSERT_TRUE(before && after);
        int changed = 0;
        for (s32 y = middle.UpperLeftCorner.Y; y < middle.LowerRightCorner.Y; ++y)
            for (s32 x = middle.UpperLeftCorner.X; x < middle.LowerRightCorner.X; ++x) {
                const video::SColor a = before->getPixel(x, y), b = after->getPixel(x, y);
                changed += std::abs(static_cast<int>(a.getAverage()) - static_cast<int>(b.getAverage())) > 6;
            }
        before->drop();
        after->drop();
        const int area = middle.getArea();
        if (height >= 0.1f)
            EXPECT_GT(changed, area / 5) << "waves " << height << " high move";
        else
            EXPECT_LT(changed, area / 100) << "waves " << height << " high are calm";
    }
}

// Surfaces at one height draw their images once a frame, with all of them hidden: the first
// in view draws them and the others show them; a surface at another height draws its own,
// and one whose image surface goes draws its own again, as far as the frame's extra scene
// passes go.
TEST_F(WorldEffectsGlTest, SurfacesAtOneHeightShareTheirImages) {
    scene::IMeshSceneNode* block = scene()->addCubeSceneNode(10.0f, nullptr, -1, core::vector3df(30, 8, 30));
    paintSolid(scene(), block, video::SColor(255, 230, 40, 40));
    WaterObject* left = addWater(core::vector3df(-30, 0, 30), 56.0f);
    WaterObject* right = addWater(core::vector3df(30, 0, 30), 56.0f);
    WaterObject* lower = addWater(core::vector3df(0, -4, -10), 20.0f);
    auto* counter = new PassCounter(scene()->getRootSceneNode(), scene(), -1);
    counter->drop();
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 20, -40));
    camera->setTarget(core::vector3df(0, 0, 30));

    video::IImage* shot = drawFrame(1000, nullptr);
    if (shot)
        shot->drop();
    counter->passes = 0;
    shot = drawFrame(1016, "-water-shared");
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(counter->passes, 1 + 2 + 2) << "the frame, the shared images, the lower surface's images";
    EXPECT_EQ(right->imageSource(), left);
    EXPECT_EQ(right->shownReflectionTarget(), left->getReflectionTarget());
    EXPECT_EQ(left->imageSource(), left);
    EXPECT_EQ(lower->imageSource(), lower);
    for (WaterObject* surface : {left, right, lower})
        EXPECT_TRUE(surface->isVisible());
    // The block's mirror image shows on the surface that did not draw it.
    scene::ISceneCollisionManager* collision = scene()->getSceneCollisionManager();
    const core::position2di foot = collision->getScreenCoordinatesFrom3DPosition(core::vector3df(30, 0, 30), camera);
    const auto reddish = [](const video::SColor& c) { return c.getRed() > 90 && c.getRed() > c.getGreen() + 40; };
    EXPECT_GT(test::countPixels(shot, core::recti(foot.X - 20, foot.Y + 4, foot.X + 20, foot.Y + 40), reddish), 150);
    shot->drop();

    left->remove();
    EXPECT_EQ(right->imageSource(), right);
    // The frame's extra scene passes: four are room for both surfaces' images; with three the
    // surface that asks last shows the water colour where its reflection would be.
    u32 time = 1032;
    for (const u32 limit : {4u, 3u}) {
        SCOPED_TRACE(limit);
        effectHandler->extraScenePassLimit = limit;
        counter->passes = 0;
        shot = drawFrame(time += 16, nullptr);
        if (shot)
            shot->drop();
        EXPECT_EQ(counter->passes, 1 + limit);
        EXPECT_EQ(right->imageSource(), right);
        EXPECT_TRUE(right->showsReflection() && right->showsRefraction() && lower->showsRefraction());
        EXPECT_EQ(lower->showsReflection(), limit == 4);
    }
}

} // namespace
