// The water object on the null driver: its level keys and their defaults, the size-named
// plane meshes, the mirrored camera and the clip planes of its passes, and its render
// callback on the effect handler; the plane-reflection pool and caustics frames; and the
// instanced mesh buffer.
#include "level/LevelManager.h"
#include "render/EffectHandler.h"
#include "render/InstancedMeshBuffer.h"
#include "render/ShaderCallbacks.h"
#include "render/WaterObject.h"

#include "RenderFixture.h"

#include "core/Globals.h"
#include "support/JointedFigure.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

#include <memory>
#include <vector>

using namespace irr;

namespace {

class WaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        rendertest::resetRenderGlobals();
        gameDevice = device.get();
        handler = std::make_unique<EffectHandler>(device.get(), core::dimension2du(0, 0));
        effectHandler = handler.get();
        attributes = device->getFileSystem()->createEmptyAttributes();
    }
    void TearDown() override {
        attributes->drop();
        device->getSceneManager()->clear();
        handler.reset();
        rendertest::resetRenderGlobals();
    }
    scene::ISceneManager* scene() { return device->getSceneManager(); }
    WaterObject* makeWater(scene::ISceneNode* parent = nullptr) {
        auto* water = new WaterObject(64.0f, 64.0f, nullptr, parent ? parent : scene()->getRootSceneNode(), scene());
        water->drop();
        return water;
    }
    bool meshCached(const char* name) { return scene()->getMeshCache()->getMeshByName(name) != nullptr; }

    test::NullDevice device;
    std::unique_ptr<EffectHandler> handler;
    io::IAttributes* attributes = nullptr;
};

TEST_F(WaterTest, ConstructionAndDefaults) {
    WaterObject* water = makeWater();
    EXPECT_EQ(water->getType(), typeId("wtr1"));
    ASSERT_NE(water->getWaterMeshNode(), nullptr);
    EXPECT_TRUE(water->getWaterMeshNode()->isDebugObject());
    EXPECT_EQ(water->getWaterMeshNode()->getParent(), water);
    EXPECT_TRUE(meshCached("RealisticWater"));
    // One flat tile of the size it was made with, width along x and depth along z.
    ASSERT_NE(water->getWaterMeshNode()->getMesh(), nullptr);
    const core::vector3df extent = water->getWaterMeshNode()->getMesh()->getBoundingBox().getExtent();
    EXPECT_FLOAT_EQ(extent.X, 64.0f);
    EXPECT_FLOAT_EQ(extent.Z, 64.0f);
    EXPECT_EQ(water->getWaterMeshNode()->getMesh()->getMeshBuffer(0)->getVertexCount(), 4u);
    EXPECT_EQ(effectHandler->renderCallbacks.size(), 1u);
    EXPECT_EQ(water->RenderTargetSize, core::dimension2du(512, 512));
    EXPECT_FLOAT_EQ(water->WindForce, 20.0f);
    EXPECT_EQ(water->WindDirection, core::vector2df(0, 1));
    EXPECT_FLOAT_EQ(water->WaveHeight, 0.3f);
    EXPECT_FLOAT_EQ(water->WaterColor.b, 0.6f);
    EXPECT_FLOAT_EQ(water->ColorBlendFactor, 0.2f);
    EXPECT_FLOAT_EQ(water->FresnelStrength, 1.0f);
    EXPECT_TRUE(water->DepthWriteEnable);

    water->remove();
    EXPECT_EQ(effectHandler->renderCallbacks.size(), 0u);
}

// A surface read again with another size takes the new plane and lets go of its old one in
// the mesh cache.
TEST_F(WaterTest, AResizedSurfaceLetsGoOfItsOldPlane) {
    WaterObject* water = makeWater();
    water->serializeAttributes(attributes);
    attributes->setAttribute("WaterSize", core::vector2df(20.0f, 5.0f));
    water->deserializeAttributes(attributes);
    EXPECT_TRUE(meshCached("RealisticWater20005"));
    attributes->setAttribute("WaterSize", core::vector2df(30.0f, 5.0f));
    water->deserializeAttributes(attributes);
    EXPECT_TRUE(meshCached("RealisticWater30005"));
    EXPECT_FALSE(meshCached("RealisticWater20005"));
}

TEST_F(WaterTest, WrittenKeysReadBackAndSizeNamesThePlane) {
    WaterObject* water = makeWater();
    water->serializeAttributes(attributes);
    water->deserializeAttributes(attributes);
    EXPECT_TRUE(meshCached("RealisticWater64064"));
    EXPECT_FLOAT_EQ(water->WindForce, 20.0f);
    EXPECT_EQ(water->WindDirection, core::vector2df(0, 1));

    attributes->setAttribute("WaterSize", core::vector2df(10.5f, 3.0f));
    attributes->setAttribute("WindDirection", core::vector2df(3, 4));
    attributes->setAttribute("UseLighting", true);
    WaterObject* other = makeWater();
    other->deserializeAttributes(attributes);
    EXPECT_TRUE(meshCached("RealisticWater10503"));
    // The plane spans the width along x and the depth along z.
    ASSERT_NE(other->getWaterMeshNode()->getMesh(), nullptr);
    const core::vector3df extent = other->getWaterMeshNode()->getMesh()->getBoundingBox().getExtent();
    EXPECT_FLOAT_EQ(extent.X, 10.5f);
    EXPECT_FLOAT_EQ(extent.Z, 3.0f);
    EXPECT_NEAR(other->WindDirection.X, 0.6f, 1e-6f);
    EXPECT_NEAR(other->WindDirection.Y, 0.8f, 1e-6f);
    EXPECT_TRUE(other->UseLighting);
    // Equal sizes share one cached plane.
    WaterObject* third = makeWater();
    third->deserializeAttributes(attributes);
    EXPECT_EQ(third->getWaterMeshNode()->getMesh(), other->getWaterMeshNode()->getMesh());
}

// Each switch reads back as written, both ways, and the surface writes depth as its switch
// says.
TEST_F(WaterTest, SwitchesReadBackBothWaysAndDepthWritingFollowsItsSwitch) {
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        WaterObject* water = makeWater();
        water->DisableReflection = on;
        water->DisableRefraction = !on;
        water->UseLighting = on;
        water->DepthWriteEnable = !on;
        water->FresnelStrength = 0.25f;
        water->ColorBlendFactor = 0.75f;
        io::IAttributes* stored = device->getFileSystem()->createEmptyAttributes();
        water->serializeAttributes(stored);
        WaterObject* read = makeWater();
        read->deserializeAttributes(stored);
        stored->drop();
        EXPECT_EQ(read->DisableReflection, on);
        EXPECT_EQ(read->DisableRefraction, !on);
        EXPECT_EQ(read->UseLighting, on);
        EXPECT_EQ(read->DepthWriteEnable, !on);
        EXPECT_FLOAT_EQ(read->FresnelStrength, 0.25f);
        EXPECT_FLOAT_EQ(read->ColorBlendFactor, 0.75f);
        EXPECT_EQ(read->getWaterMeshNode()->getMaterial(0).ZWriteEnable, !on);
    }
}

// Surfaces of one plane share their images only while each image switch agrees.
TEST_F(WaterTest, SurfacesShareImagesOnlyOnOnePlaneWithTheSameSwitches) {
    WaterObject* first = makeWater();
    WaterObject* second = makeWater();
    first->updateAbsolutePosition();
    second->updateAbsolutePosition();
    EXPECT_TRUE(first->sharesImagesWith(*second));
    second->DisableRefraction = true;
    EXPECT_FALSE(first->sharesImagesWith(*second));
    second->DisableRefraction = false;
    second->DisableReflection = true;
    EXPECT_FALSE(first->sharesImagesWith(*second));
    second->DisableReflection = false;
    // Images of another size are not these images.
    const core::dimension2du size = second->RenderTargetSize;
    second->RenderTargetSize = core::dimension2du(size.Width / 2, size.Height / 2);
    EXPECT_FALSE(first->sharesImagesWith(*second));
    second->RenderTargetSize = size;
    EXPECT_TRUE(first->sharesImagesWith(*second));
    second->setPosition(core::vector3df(0, 1, 0));
    second->updateAbsolutePosition();
    EXPECT_FALSE(first->sharesImagesWith(*second));
    // One plane: heights within a thousandth of a unit near the origin, or a millionth of
    // the height far from it.
    const struct Row {
        f32 firstHeight, secondHeight;
        bool shared;
    } heights[] = {{0.0f, 0.0005f, true}, {0.0f, 0.01f, false}, {1000.0f, 1000.5f, true}, {1000.0f, 1002.0f, false}};
    for (const Row& row : heights) {
        SCOPED_TRACE(testing::Message() << row.firstHeight << " " << row.secondHeight);
        first->setPosition(core::vector3df(0, row.firstHeight, 0));
        second->setPosition(core::vector3df(0, row.secondHeight, 0));
        first->updateAbsolutePosition();
        second->updateAbsolutePosition();
        EXPECT_EQ(first->sharesImagesWith(*second), row.shared);
    }
}

TEST_F(WaterTest, MissingKeysReadAlwaysBecomeZero) {
    WaterObject* water = makeWater();
    attributes->addVector2d("WindDirection", core::vector2df(0, 0));
    water->deserializeAttributes(attributes);
    EXPECT_FLOAT_EQ(water->WindForce, 0.0f);
    EXPECT_EQ(water->WindDirection, core::vector2df(0, 0));
    EXPECT_FLOAT_EQ(water->FresnelStrength, 1.0f); // only when present
    EXPECT_TRUE(water->DepthWriteEnable);
    EXPECT_EQ(water->getWaterMeshNode()->getMaterial(0).getTexture(2), nullptr);
}

struct MirrorCase {
    f32 waterHeight;
    core::vector3df camera, target;
    core::vector3df position, mirroredTarget;
};

TEST_F(WaterTest, MirroredCameraStandsBelowTheSurface) {
    WaterObject* water = makeWater();
    const MirrorCase cases[] = {
        {0.0f, {0, 10, -20}, {0, 0, 0}, {0, -10, -20}, {0, 0, 0}},
        {2.0f, {5, 12, -20}, {5, 7, -10}, {5, -8, -20}, {5, 2, 0}},
        // Looking parallel to the surface: the foot of the perpendicular.
        {2.0f, {5, 12, -20}, {5, 12, 40}, {5, -8, -20}, {5, 2, -20}},
    };
    for (const MirrorCase& c : cases) {
        water->setPosition(core::vector3df(0, c.waterHeight, 0));
        water->updateAbsolutePosition();
        core::vector3df position, target, up;
        water->mirrorView(c.camera, c.target, position, target, up);
        EXPECT_TRUE(position.equals(c.position, 1e-4f)) << position.X << "," << position.Y << "," << position.Z;
        EXPECT_TRUE(target.equals(c.mirroredTarget, 1e-3f)) << target.X << "," << target.Y << "," << target.Z;
        EXPECT_TRUE(up.equals(core::vector3df(0, 1, 0), 1e-6f));
    }
}

TEST_F(WaterTest, ClipPlaneKeepsTheWantedSide) {
    WaterObject* water = makeWater();
    water->setPosition(core::vector3df(0, 3, 0));
    water->updateAbsolutePosition();
    const core::plane3df below = water->worldPlane(core::vector3df(0, -1, 0));
    EXPECT_GT(below.Normal.dotProduct(core::vector3df(0, 0, 0)) + below.D, 0.0f);
    EXPECT_LT(below.Normal.dotProduct(core::vector3df(0, 5, 0)) + below.D, 0.0f);

    // The clip-space plane: positive for points above the surface as the camera sees them.
    scene::ICameraSceneNode* camera = scene()->addCameraSceneNode(nullptr, core::vector3df(0, 10, -30));
    camera->setTarget(core::vector3df(0, 0, 0));
    camera->OnAnimate(0);
    camera->render();
    core::plane3df clip;
    water->computeClipPlane(core::vector3df(0, 1, 0), camera, clip);
    EXPECT_FLOAT_EQ(currentClipPlane[0], clip.Normal.X);
    EXPECT_FLOAT_EQ(currentClipPlane[1], clip.Normal.Y);
    EXPECT_FLOAT_EQ(currentClipPlane[2], clip.Normal.Z);
    EXPECT_FLOAT_EQ(currentClipPlane[3], clip.D);
    const core::matrix4 viewProjection = camera->getProjectionMatrix() * camera->getViewMatrix();
    for (const core::vector3df& point : {core::vector3df(0, 6, 0), core::vector3df(4, 1, 5)}) {
        f32 h[4];
        viewProjection.transformVect(h, point);
        const f32 side = clip.Normal.X * h[0] + clip.Normal.Y * h[1] + clip.Normal.Z * h[2] + clip.D * h[3];
        EXPECT_EQ(side > 0.0f, point.Y > 3.0f) << point.Y;
    }
    for (f32& value : currentClipPlane)
        value = 0.0f;
}

// A box is outside a pass's clip volume only when it lies wholly beyond one of its planes; a
// box touching a plane is inside. An orthographic box 2 wide, depth 0..8, straight ahead.
TEST_F(WaterTest, MirrorPassClipVolumeHasItsEdgesInside) {
    core::matrix4 projection;
    projection.buildProjectionMatrixOrthoLH(2.0f, 2.0f, 0.0f, 8.0f);
    MirrorPassCulling culling;
    culling.setClipPlanes(projection, core::matrix4());
    struct Row {
        core::aabbox3df box;
        bool outside;
    } rows[] = {
        {{-0.5f, -0.5f, 1.0f, 0.5f, 0.5f, 2.0f}, false},
        {{-3.0f, -0.5f, 1.0f, -1.0f, 0.5f, 2.0f}, false}, // touches x = -1
        {{-3.0f, -0.5f, 1.0f, -1.001f, 0.5f, 2.0f}, true},
        {{-0.5f, 1.0f, 1.0f, 0.5f, 2.0f, 2.0f}, false},   // touches y = 1
        {{-0.5f, 1.001f, 1.0f, 0.5f, 2.0f, 2.0f}, true},
        {{-0.5f, -0.5f, 8.0f, 0.5f, 0.5f, 12.0f}, false}, // touches the far plane
        {{-0.5f, -0.5f, 8.01f, 0.5f, 0.5f, 12.0f}, true},
        {{-5.0f, -5.0f, 1.0f, 5.0f, 5.0f, 2.0f}, false},  // around the whole volume
    };
    for (const Row& row : rows)
        EXPECT_EQ(culling.isOutside(row.box), row.outside)
            << row.box.MinEdge.X << " " << row.box.MinEdge.Y << " " << row.box.MinEdge.Z << " .. " << row.box.MaxEdge.X
            << " " << row.box.MaxEdge.Y << " " << row.box.MaxEdge.Z;
}

// A mirror reads its picture only where its box shows in it (grown by the margin): what lies
// beside that window is outside the pass. An axis on which the box reaches past the picture,
// or a box with a corner behind the camera, keeps the whole picture.
TEST_F(WaterTest, MirrorPassWindowIsWhereTheMirrorShowsItself) {
    core::matrix4 ortho, perspective, view;
    ortho.buildProjectionMatrixOrthoLH(2.0f, 2.0f, 0.0f, 8.0f); // x and y as they are
    perspective.buildProjectionMatrixPerspectiveFovLH(1.0f, 1.0f, 1.0f, 100.0f);
    const struct {
        const char* what;
        const core::matrix4& projection;
        core::aabbox3df box;
        PictureWindow window;
    } rows[] = {
        {"within", ortho, {-0.5f, -0.25f, 1, 0.5f, 0.25f, 2}, {-0.6f, -0.35f, 0.6f, 0.35f}},
        {"grown to the edge", ortho, {0.5f, -0.25f, 1, 0.95f, 0.25f, 2}, {0.4f, -0.35f, 1.0f, 0.35f}},
        {"past the right side", ortho, {0.5f, -0.25f, 1, 1.01f, 0.25f, 2}, {-1.0f, -0.35f, 1.0f, 0.35f}},
        {"a corner behind the camera", perspective, {-0.5f, -0.5f, -1, 0.5f, 0.5f, 2}, {-1.0f, -1.0f, 1.0f, 1.0f}},
    };
    for (const auto& row : rows) {
        const PictureWindow window = windowOfBox(row.box, row.projection, view, 0.1f);
        EXPECT_NEAR(window.x0, row.window.x0, 1e-5f) << row.what;
        EXPECT_NEAR(window.y0, row.window.y0, 1e-5f) << row.what;
        EXPECT_NEAR(window.x1, row.window.x1, 1e-5f) << row.what;
        EXPECT_NEAR(window.y1, row.window.y1, 1e-5f) << row.what;
    }
    MirrorPassCulling culling;
    culling.setClipPlanes(ortho, view, {-0.6f, -0.35f, 0.6f, 0.35f});
    EXPECT_FALSE(culling.isOutside({0.6f, 0.0f, 1, 0.8f, 0.1f, 2}));    // touches the window's side
    EXPECT_TRUE(culling.isOutside({0.601f, 0.0f, 1, 0.8f, 0.1f, 2}));   // beside it, in the picture
    EXPECT_TRUE(culling.isOutside({0.0f, -0.5f, 1, 0.1f, -0.351f, 2})); // below it
}

// What a pass's picture cannot show is hidden for the pass and shown again after: meshes by
// their boxes (one the engine does not cull by its box grown by its size each way), empty
// nodes with everything below them, an animated mesh with its joints (they are not hidden
// one by one); a node with a child in view, a light and a level's own node stay whatever
// their place.
TEST_F(WaterTest, MirrorPassHidesOnlyWhatItsPictureCannotShow) {
    core::matrix4 projection, view;
    projection.buildProjectionMatrixPerspectiveFovLH(1.0f, 1.0f, 1.0f, 100.0f);
    view.buildCameraLookAtMatrixLH(core::vector3df(0, 10, -30), core::vector3df(0, 0, 0), core::vector3df(0, 1, 0));
    auto cube = [&](const core::vector3df& position, scene::ISceneNode* parent = nullptr) {
        scene::IMeshSceneNode* node = scene()->addCubeSceneNode(2.0f, parent, -1, position);
        node->updateAbsolutePosition();
        return node;
    };
    scene::ISceneNode* ahead = cube({0, 0, 0});
    scene::ISceneNode* behind = cube({0, 10, -40});
    scene::ISceneNode* beyondFar = cube({0, 0, 200});
    scene::ISceneNode* aside = cube({200, 0, 0});
    scene::ISceneNode* parentBehind = cube({0, 10, -40});
    scene::ISceneNode* childAhead = cube({0, -10, 40}, parentBehind);
    // Its box ends 1 beyond the camera's plane (z -31); grown by its size it reaches into view.
    scene::ISceneNode* unculledNear = cube({0, 10, -32});
    unculledNear->setAutomaticCulling(scene::EAC_OFF);
    scene::ISceneNode* unculledFar = cube({0, 10, -40});
    unculledFar->setAutomaticCulling(scene::EAC_OFF);
    scene::ISceneNode* emptyBehind = scene()->addEmptySceneNode();
    emptyBehind->setPosition(core::vector3df(0, 10, -50));
    emptyBehind->updateAbsolutePosition();
    scene::ISceneNode* underEmpty = cube({0, 0, 0}, emptyBehind);
    scene::ISceneNode* emptyWithChildAhead = scene()->addEmptySceneNode();
    scene::ISceneNode* aheadUnderEmpty = cube({2, 0, 0}, emptyWithChildAhead);
    // A shown child does not keep its later siblings from being hidden.
    scene::ISceneNode* behindAfterAhead = cube({0, 10, -40}, emptyWithChildAhead);
    scene::ISceneNode* light = scene()->addLightSceneNode(nullptr, core::vector3df(0, 10, -40));
    // An animated mesh goes with its joints; a node below it in view keeps it.
    scene::ISceneNode* figureBehind = test::addJointedFigure(scene(), {0, 10, -40});
    scene::ISceneNode* figureWithChildAhead = test::addJointedFigure(scene(), {0, 10, -40});
    scene::ISceneNode* aheadUnderFigure = cube({0, -10, 40}, figureWithChildAhead);
    ASSERT_EQ(figureBehind->getChildren().size(), 1u) << "its first joint";
    WaterObject* levelObject = makeWater();
    levelObject->setPosition(core::vector3df(0, 10, -60));
    levelObject->updateAbsolutePosition();

    ahead->setAutomaticCulling(scene::EAC_FRUSTUM_BOX);

    MirrorPassCulling culling;
    culling.hideOutside(scene()->getRootSceneNode(), projection, view);
    for (scene::ISceneNode* shown :
         {ahead, parentBehind, childAhead, unculledNear, emptyWithChildAhead, aheadUnderEmpty, light,
          figureWithChildAhead, aheadUnderFigure, static_cast<scene::ISceneNode*>(levelObject)})
        EXPECT_TRUE(shown->isVisible()) << shown->getAbsolutePosition().Z;
    // The drawn nodes that stay are not culled by the engine during the pass (its frustum
    // misreads an oblique projection's near plane); the hidden ones keep their culling.
    for (scene::ISceneNode* kept : {ahead, childAhead, unculledNear, aheadUnderEmpty})
        EXPECT_EQ(kept->getAutomaticCulling(), scene::EAC_OFF) << kept->getAbsolutePosition().Z;
    EXPECT_EQ(behind->getAutomaticCulling(), scene::EAC_BOX);
    EXPECT_EQ(parentBehind->getAutomaticCulling(), scene::EAC_BOX) << "out of view, kept for its child";
    const std::vector<scene::ISceneNode*> hidden{behind,     beyondFar,   aside,            unculledFar,
                                                 underEmpty, emptyBehind, behindAfterAhead, figureBehind};
    for (scene::ISceneNode* node : hidden)
        EXPECT_FALSE(node->isVisible()) << node->getAbsolutePosition().Z;
    EXPECT_EQ(culling.hiddenNodes().size(), hidden.size());
    culling.restore();
    for (scene::ISceneNode* node : hidden)
        EXPECT_TRUE(node->isVisible());
    EXPECT_TRUE(culling.hiddenNodes().empty());
    EXPECT_EQ(ahead->getAutomaticCulling(), scene::EAC_FRUSTUM_BOX);
    EXPECT_EQ(unculledNear->getAutomaticCulling(), scene::EAC_OFF);
    EXPECT_EQ(childAhead->getAutomaticCulling(), scene::EAC_BOX);
}

// A viewport's pass hides what lies outside its view, a node the engine does not cull too;
// what stays keeps the engine's culling.
TEST_F(WaterTest, ViewPassHidesWhatLiesOutsideAndLeavesTheEngineItsCulling) {
    core::matrix4 projection, view;
    projection.buildProjectionMatrixPerspectiveFovLH(1.0f, 1.0f, 1.0f, 100.0f);
    view.buildCameraLookAtMatrixLH(core::vector3df(0, 0, -30), core::vector3df(0, 0, 0), core::vector3df(0, 1, 0));
    scene::ISceneNode* ahead = scene()->addCubeSceneNode(2.0f, nullptr, -1, {0, 0, 0});
    scene::ISceneNode* unculledAside = scene()->addCubeSceneNode(2.0f, nullptr, -1, {200, 0, 0});
    for (scene::ISceneNode* node : {ahead, unculledAside}) {
        node->updateAbsolutePosition();
        node->setAutomaticCulling(scene::EAC_OFF);
    }
    ahead->setAutomaticCulling(scene::EAC_FRUSTUM_BOX);
    MirrorPassCulling culling;
    culling.hideOutsideView(scene()->getRootSceneNode(), projection, view);
    EXPECT_TRUE(ahead->isVisible());
    EXPECT_EQ(ahead->getAutomaticCulling(), scene::EAC_FRUSTUM_BOX);
    EXPECT_FALSE(unculledAside->isVisible());
    culling.restore();
    EXPECT_TRUE(unculledAside->isVisible());
    EXPECT_EQ(unculledAside->getAutomaticCulling(), scene::EAC_OFF);
}

TEST_F(WaterTest, CallbackWithoutTargetsStillResetsTheClipPlaneAndShowsTheObject) {
    WaterObject* water = makeWater();
    attributes->addBool("DisableReflection", true);
    attributes->addBool("DisableRefraction", true);
    water->deserializeAttributes(attributes);
    scene()->addCameraSceneNode();
    currentClipPlane[1] = 1.0f;
    effectHandler->runRenderCallbacks();
    EXPECT_EQ(effectHandler->renderStage, 2);
    EXPECT_TRUE(water->isVisible());
    EXPECT_FLOAT_EQ(currentClipPlane[1], 0.0f);

    // A hidden parent: nothing happens.
    scene::ISceneNode* hidden = scene()->addEmptySceneNode();
    hidden->setVisible(false);
    WaterObject* inside = makeWater(hidden);
    currentClipPlane[1] = 1.0f;
    inside->renderReflectionRefraction();
    EXPECT_FLOAT_EQ(currentClipPlane[1], 1.0f);
    EXPECT_TRUE(inside->isVisible());
    currentClipPlane[1] = 0.0f;
}

// The shown surfaces of the plane take the images one of them draws; a hidden one takes
// none and stays hidden.
TEST_F(WaterTest, AHiddenSurfaceOfThePlaneStaysHiddenThroughTheImagePass) {
    WaterObject* drawing = makeWater();
    WaterObject* shown = makeWater();
    WaterObject* hidden = makeWater();
    hidden->setVisible(false);
    scene()->addCameraSceneNode();
    drawing->renderReflectionRefraction();
    EXPECT_TRUE(drawing->isVisible());
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->imageSource(), drawing);
    EXPECT_FALSE(hidden->isVisible());
    EXPECT_EQ(hidden->imageSource(), hidden);
}

// A surface is out of view only when it lies wholly beyond one of the six sides of the
// view: behind, beyond the far end, left, right, below or above.
TEST_F(WaterTest, ASurfaceIsOutOfViewBeyondAnyOfTheSixSides) {
    scene::ICameraSceneNode* camera =
        scene()->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0), core::vector3df(0, 0, 100));
    camera->setFarValue(1000.0f);
    camera->OnAnimate(0);
    camera->render();
    const struct {
        const char* where;
        core::vector3df position;
        bool inView;
    } rows[] = {{"ahead", {0, 0, 200}, true},
                {"behind", {0, 0, -200}, false},
                {"beyond the far end", {0, 0, 1200}, false},
                {"left", {-2000, 0, 200}, false},
                {"right", {2000, 0, 200}, false},
                {"below", {0, -2000, 200}, false},
                {"above", {0, 2000, 200}, false}};
    WaterObject* water = makeWater();
    for (const auto& row : rows) {
        water->setPosition(row.position);
        scene()->getRootSceneNode()->OnAnimate(0);
        EXPECT_EQ(water->isInView(camera), row.inView) << row.where;
    }
}

TEST_F(WaterTest, ImagesStandInWhenRenderCallbacksAreOff) {
    WaterObject* water = makeWater();
    effectHandler->renderCallbacksEnabled = false;
    water->OnRegisterSceneNode();
    const video::SMaterial& material = water->getWaterMeshNode()->getMaterial(0);
    EXPECT_EQ(material.getTexture(1), material.getTexture(2));
}

// No water shader (another driver, or it did not compile): a lit surface of the water colour,
// not the bump map drawn as a picture or a material type the driver does not have.
TEST_F(WaterTest, WithoutAWaterShaderTheSurfaceHasTheWaterColour) {
    WaterObject* water = makeWater();
    water->serializeAttributes(attributes);
    attributes->setAttribute("WaterColor", video::SColorf(0.2f, 0.45f, 0.6f, 1.0f));
    water->deserializeAttributes(attributes);
    EXPECT_FALSE(water->usesWaterShader());
    const video::SMaterial& material = water->getWaterMeshNode()->getMaterial(0);
    EXPECT_EQ(material.MaterialType, video::EMT_SOLID);
    EXPECT_EQ(material.getTexture(0), nullptr);
    EXPECT_TRUE(material.Lighting);
    EXPECT_EQ(material.DiffuseColor, video::SColorf(0.2f, 0.45f, 0.6f, 1.0f).toSColor());
}

// The shader samples an image only when this frame drew it; else it takes the water colour
// (a stand-in image is black).
TEST_F(WaterTest, ImagesAreSampledOnlyWhenDrawn) {
    WaterObject* water = makeWater();
    water->serializeAttributes(attributes);
    water->deserializeAttributes(attributes);
    const bool haveTargets = water->getRefractionTarget() && water->getReflectionTarget();
    EXPECT_EQ(water->showsRefraction(), haveTargets);
    EXPECT_EQ(water->showsReflection(), haveTargets);
    effectHandler->renderCallbacksEnabled = false;
    EXPECT_FALSE(water->showsRefraction());
    EXPECT_FALSE(water->showsReflection());
    effectHandler->renderCallbacksEnabled = true;
    water->DisableRefraction = true;
    EXPECT_FALSE(water->showsRefraction());
    EXPECT_EQ(water->showsReflection(), haveTargets);
}

TEST_F(WaterTest, ACopyMadeOutsidePlayTakesTheNextFreeID) {
    LevelManager manager(device.get());
    ASSERT_TRUE(manager.init());
    levelManager = &manager;
    WaterObject* water = makeWater();
    water->setID(7);
    manager.rebuildNodeIDs();
    scene::ISceneNode* copy = water->clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getID(), 8);
    EXPECT_EQ(water->getID(), 7);
    scene()->clear();
    levelManager = nullptr;
}

TEST_F(WaterTest, CloneHasItsOwnCallbackChildrenAndAnimators) {
    WaterObject* water = makeWater();
    water->setID(7);
    water->WindForce = 3.0f;
    scene::ISceneNode* marker = device->getSceneManager()->addEmptySceneNode(water);
    marker->setName("marker");
    scene::ISceneNodeAnimator* turn = device->getSceneManager()->createRotationAnimator(core::vector3df(0, 1, 0));
    water->addAnimator(turn);
    turn->drop();
    auto* copy = static_cast<WaterObject*>(water->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->WindForce, 3.0f);
    EXPECT_EQ(effectHandler->renderCallbacks.size(), 2u);
    // One mesh node of its own, a copy of every other child (the copy holds it) and of every
    // animator.
    int meshNodes = 0, markers = 0;
    for (scene::ISceneNode* child : copy->getChildren()) {
        meshNodes += child->getType() == scene::ESNT_MESH ? 1 : 0;
        if (std::string(child->getName()) == "marker") {
            ++markers;
            EXPECT_EQ(child->getReferenceCount(), 1) << "held by the copy alone";
        }
    }
    EXPECT_EQ(meshNodes, 1);
    EXPECT_EQ(markers, 1);
    ASSERT_EQ(copy->getAnimators().size(), 1u);
    EXPECT_NE(*copy->getAnimators().begin(), turn);
    EXPECT_EQ((*copy->getAnimators().begin())->getType(), scene::ESNAT_ROTATION);
}

// A surface naming a mesh file draws that mesh instead of its plane.
TEST_F(WaterTest, AnOverrideMeshReplacesThePlane) {
    scene::ISceneManager* manager = device->getSceneManager();
    scene::IMesh* cube = manager->getGeometryCreator()->createCubeMesh();
    auto* pool = new scene::SAnimatedMesh(cube);
    cube->drop();
    manager->getMeshCache()->addMesh("Content/Models/Pool.obj", pool);
    pool->drop();
    WaterObject* water = makeWater();
    io::IAttributes* in = device->getFileSystem()->createEmptyAttributes();
    water->serializeAttributes(in);
    in->setAttribute("OverrideMeshFileName", "Content/Models/Pool.obj");
    water->deserializeAttributes(in);
    in->drop();
    scene::IMeshSceneNode* shown = nullptr;
    for (scene::ISceneNode* child : water->getChildren())
        if (child->getType() == scene::ESNT_MESH)
            shown = static_cast<scene::IMeshSceneNode*>(child);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->getMesh(), pool->getMesh(0));
    EXPECT_EQ(water->getBoundingBox(), cube->getBoundingBox());
}

} // namespace

namespace {

// The instanced mesh buffer (merged geometry of instanced meshes).
TEST(InstancedMeshBufferTest, AppendingABufferRebasesItsIndices) {
    InstancedMeshBuffer merged;
    EXPECT_EQ(merged.getVertexType(), video::EVT_2TCOORDS);
    EXPECT_EQ(merged.MappingHintVertex, scene::EHM_NEVER);
    scene::SMeshBuffer quad; // standard vertices
    for (int i = 0; i < 4; ++i)
        quad.Vertices.push_back(video::S3DVertex(static_cast<f32>(i), static_cast<f32>(i % 2), 0, 0, 0, 1,
                                                 video::SColor(255, 255, 255, 255), 0, 0));
    for (u16 index : {0, 1, 2, 2, 3, 0})
        quad.Indices.push_back(index);
    quad.recalculateBoundingBox();
    merged.append(&quad);
    merged.append(&quad);
    ASSERT_EQ(merged.getVertexCount(), 8u);
    ASSERT_EQ(merged.getIndexCount(), 12u);
    const u16 expected[6] = {4, 5, 6, 6, 7, 4};
    for (u32 i = 0; i < 6; ++i)
        EXPECT_EQ(merged.getIndices()[6 + i], expected[i]);
    EXPECT_EQ(merged.getPosition(7), core::vector3df(3, 1, 0));
    EXPECT_FLOAT_EQ(merged.getBoundingBox().MaxEdge.X, 3.0f);

    // Itself: nothing changes; raw vertices of its own array neither.
    merged.append(&merged);
    merged.append(merged.getVertices(), 8, merged.getIndices(), 12);
    EXPECT_EQ(merged.getVertexCount(), 8u);

    merged.Vertices.clear();
    merged.recalculateBoundingBox();
    EXPECT_EQ(merged.getBoundingBox(), core::aabbox3df(0, 0, 0, 0, 0, 0));
    merged.setDirty(scene::EBT_INDEX);
    EXPECT_EQ(merged.getChangedID_Vertex(), 1u);
    EXPECT_EQ(merged.getChangedID_Index(), 2u);
}

// Two-coordinate and tangent vertices are read by their own type (the second coordinates
// kept), raw vertices are appended with rebased indices, the box takes every vertex, and a
// hint or a change goes to the buffers it names.
TEST(InstancedMeshBufferTest, EveryVertexKindIsReadByItsOwnTypeAndHintsGoToTheirBuffer) {
    InstancedMeshBuffer merged;
    scene::SMeshBufferLightMap twoCoords;
    scene::SMeshBufferTangents tangents;
    for (int i = 0; i < 3; ++i) {
        const f32 x = static_cast<f32>(i);
        twoCoords.Vertices.push_back(video::S3DVertex2TCoords(x, 1, 0, video::SColor(255, 1, 2, 3), 0.5f, 0.25f, 7, 8));
        tangents.Vertices.push_back(video::S3DVertexTangents(x, 2, 0, 0, 0, 1, video::SColor(255, 4, 5, 6), 0.75f, 1));
    }
    for (u16 index : {0, 1, 2}) {
        twoCoords.Indices.push_back(index);
        tangents.Indices.push_back(index);
    }
    twoCoords.recalculateBoundingBox();
    tangents.recalculateBoundingBox();
    merged.append(&twoCoords);
    merged.append(&tangents);
    ASSERT_EQ(merged.getVertexCount(), 6u);
    EXPECT_EQ(merged.Vertices[1].TCoords2, core::vector2df(7, 8));
    EXPECT_EQ(merged.Vertices[1].Color, video::SColor(255, 1, 2, 3));
    EXPECT_EQ(merged.Vertices[4].Pos, core::vector3df(1, 2, 0));
    EXPECT_EQ(merged.Vertices[4].TCoords, core::vector2df(0.75f, 1));
    EXPECT_EQ(merged.Vertices[4].Color, video::SColor(255, 4, 5, 6));
    EXPECT_EQ(merged.getIndices()[5], 5);

    merged.append(twoCoords.getVertices(), 3, twoCoords.getIndices(), 3);
    ASSERT_EQ(merged.getVertexCount(), 9u);
    EXPECT_EQ(merged.getIndices()[6], 6);
    EXPECT_EQ(merged.getIndices()[8], 8);
    EXPECT_EQ(merged.Vertices[8].TCoords2, core::vector2df(7, 8));

    merged.Vertices[8].Pos.set(-4, 9, 3);
    merged.recalculateBoundingBox();
    EXPECT_EQ(merged.getBoundingBox(), core::aabbox3df(-4, 1, 0, 2, 9, 3));

    const struct Row {
        scene::E_BUFFER_TYPE buffer;
        scene::E_HARDWARE_MAPPING vertex, index;
    } rows[] = {{scene::EBT_VERTEX, scene::EHM_STATIC, scene::EHM_NEVER},
                {scene::EBT_INDEX, scene::EHM_NEVER, scene::EHM_STATIC},
                {scene::EBT_VERTEX_AND_INDEX, scene::EHM_STATIC, scene::EHM_STATIC},
                {scene::EBT_NONE, scene::EHM_NEVER, scene::EHM_NEVER}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.buffer);
        InstancedMeshBuffer hinted;
        hinted.setHardwareMappingHint(scene::EHM_STATIC, row.buffer);
        EXPECT_EQ(hinted.MappingHintVertex, row.vertex);
        EXPECT_EQ(hinted.MappingHintIndex, row.index);
        hinted.setDirty(row.buffer);
        EXPECT_EQ(hinted.getChangedID_Vertex(), row.vertex == scene::EHM_STATIC ? 2u : 1u);
        EXPECT_EQ(hinted.getChangedID_Index(), row.index == scene::EHM_STATIC ? 2u : 1u);
    }
}

} // namespace

namespace {

// The effect handler's plane-reflection pool and caustics frames.
using PlaneReflectionTest = WaterTest;

TEST_F(PlaneReflectionTest, PoolHandsOutTheTargetReturnedLast) {
    // The null driver makes no render targets.
    EXPECT_EQ(effectHandler->getPlaneReflectionTexture(), nullptr);
    EXPECT_TRUE(effectHandler->planeReflectionPool.empty());
    video::IImage* image = device->getVideoDriver()->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
    video::ITexture* first = device->getVideoDriver()->addTexture("first", image);
    video::ITexture* second = device->getVideoDriver()->addTexture("second", image);
    image->drop();
    effectHandler->planeReflectionPool = {first, second};
    EXPECT_EQ(effectHandler->getPlaneReflectionTexture(), second);
    EXPECT_EQ(effectHandler->getPlaneReflectionTexture(), first);
    EXPECT_TRUE(effectHandler->planeReflectionPool.empty());
}

TEST_F(PlaneReflectionTest, CausticsFramesFollowThePhase) {
    test::ScopedWorkingDir atRoot(test::sourceDir());
    EXPECT_EQ(effectHandler->getCausticsFrame(), nullptr);
    effectHandler->loadCausticsTextures();
    EXPECT_TRUE(effectHandler->causticsLoaded);
    ASSERT_EQ(effectHandler->causticsFrames.size(), 32u);
    EXPECT_NE(effectHandler->causticsFrames[0], nullptr);
    effectHandler->causticsPhase = 0.0f;
    EXPECT_EQ(effectHandler->getCausticsFrame(), effectHandler->causticsFrames[0]);
    effectHandler->causticsPhase = 0.999f;
    EXPECT_EQ(effectHandler->getCausticsFrame(), effectHandler->causticsFrames[31]);
    EXPECT_NE(effectHandler->causticsFrames[31]->getName().getPath().find("test_032.jpg"), -1);
}

} // namespace
