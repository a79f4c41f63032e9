// The shader constants on the null driver, read back from what the callbacks hand the
// renderer services: the Phong family (matrices, cascades, material information, fog,
// switches), the glow, circle, meter, particle and water callbacks; the skinning vertex
// encoding and joint rows; the shadow light and its cascade record; the character texture
// timers; which shading normals follow their surface.
#include "render/CharacterTextures.h"
#include "render/EffectHandler.h"
#include "render/EffectShaderCallbacks.h"
#include "render/HardwareSkinning.h"
#include "render/LightManager.h"
#include "render/ShaderCallbacks.h"
#include "render/ShaderManager.h"
#include "render/ShadowCascades.h"
#include "render/MeshShape.h"
#include "render/TextureLayers.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "level/LevelManager.h"
#include "level/SceneNodeTypes.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/special/AdvancedPhysicsObject.h"

#include "../level/LevelTestSupport.h"
#include "RecordingServices.h"
#include "RenderFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

// A bare scene node of a given four-letter type (a physics object as the callbacks see it).
class TypedNode : public scene::ISceneNode {
public:
    TypedNode(scene::ISceneNode* parent, scene::ISceneManager* manager, scene::ESCENE_NODE_TYPE type)
        : scene::ISceneNode(parent, manager, -1), type(type) {}
    void render() override {}
    const core::aabbox3df& getBoundingBox() const override { return box; }
    scene::ESCENE_NODE_TYPE getType() const override { return type; }
    scene::ESCENE_NODE_TYPE type;
    core::aabbox3df box{-1, -1, -1, 1, 1, 1};
};

class ShadingTest : public test::LevelFixture, protected rendertest::ShadingStage {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        settings = std::make_unique<GameSettings>(temp.file("PaddlestoneConfig.xml"));
        settings->load(true);
        gameSettings = settings.get();
        startShading(device->get());
        shaders->graphicsQuality = 0;
    }
    void TearDown() override {
        stopShading(smgr());
        gameSettings = nullptr;
        settings.reset();
        shadowConstants() = ShadowConstants{};
        LevelFixture::TearDown();
    }
    video::IVideoDriver* driver() { return device->get()->getVideoDriver(); }
    // Draws `node` with the callback as the light manager would record it.
    void draw(video::IShaderConstantSetCallBack& callback, scene::ISceneNode* node, s32 flags,
              const video::SMaterial& material = video::SMaterial()) {
        lights->currentNode = node;
        services->clear();
        callback.OnSetMaterial(material);
        callback.OnSetConstants(services.get(), flags);
    }
    // A physics object as the renderer meets it: its node, no body.
    PhysicsObject* addPhysicsObject() {
        auto* object = new PhysicsObject(root(), smgr(), -1);
        object->drop();
        return object;
    }
    TypedNode* addObject(const char (&type)[5]) {
        auto* node = new TypedNode(root(), smgr(), typeId(type));
        node->drop();
        return node;
    }
    static void expectFloats(const std::vector<f32>& actual, std::initializer_list<f32> expected, f32 tolerance = 1e-4f) {
        ASSERT_EQ(actual.size(), expected.size());
        std::size_t i = 0;
        for (f32 value : expected)
            EXPECT_NEAR(actual[i++], value, tolerance) << "element " << i - 1;
    }

    std::unique_ptr<GameSettings> settings;
};

// --- shadow light and cascades ----------------------------------------------------------------

TEST_F(ShadingTest, SplitDistancesBlendLogarithmicAndLinearWithinTheFarLimit) {
    scene::ICameraSceneNode* viewer = smgr()->addCameraSceneNode();
    viewer->setNearValue(1.0f);
    struct Row {
        f32 farValue;
        s32 splits;
        std::vector<f32> expected;
    } rows[] = {{200.0f, 3, {1.0f, 24.29f, 64.04f, 200.0f}},
                {1000.0f, 3, {1.0f, 24.29f, 64.04f, 200.0f}},
                {200.0f, 1, {1.0f, 200.0f}},
                {200.0f, 5, {1.0f, 17.86f, 40.05f, 82.30f, 200.0f}}, // kept at four
                {-5.0f, 0, {1.0f, 0.0f}}};                          // kept at one
    for (const Row& row : rows) {
        viewer->setFarValue(row.farValue);
        ShadowCascades cascades(viewer, row.splits, 0.7f);
        cascades.computeSplitDistances(viewer);
        ASSERT_EQ(cascades.splitDistances.size(), row.expected.size()) << "far " << row.farValue;
        for (std::size_t i = 0; i < row.expected.size(); ++i)
            EXPECT_NEAR(cascades.splitDistances[i], row.expected[i], 0.01f) << "far " << row.farValue << " split " << i;
    }
}

TEST_F(ShadingTest, ShadowQualityMakesOneLightACameraAndTheCascadesOfTheDistanceMode) {
    setSettingInt("Graphics_ShadowQuality", 1024);
    const core::vector3df position(40, 80, -40), target(0, 0, 0);
    for (s32 mode : {1, 2}) {
        handler->shadowDistanceMode = mode;
        handler->setShadowQuality(position, target);
        ASSERT_EQ(handler->shadowLights.size(), 1u);
        const ShadowLight& light = handler->shadowLights[0];
        EXPECT_EQ(light.resolution, 1024u);
        EXPECT_FLOAT_EQ(light.nearValue, 1.0f);
        EXPECT_FLOAT_EQ(light.farValue, 300.0f);
        EXPECT_FLOAT_EQ(light.farPlaneScale, 1.0f);
        EXPECT_FLOAT_EQ(light.colour.a, 0.0f);
        const f32 distance = mode == 2 ? 196.34955f : 78.539818f;
        EXPECT_NEAR(handler->shadowDistance, distance, 1e-3f);
        ASSERT_NE(handler->shadowCamera, nullptr);
        EXPECT_STREQ(handler->shadowCamera->getName(), "EffectHandler_ShadowCamera");
        EXPECT_TRUE(handler->shadowCamera->isDebugObject());
        EXPECT_NEAR(handler->shadowCamera->getFOV(), distance, 1e-3f);
        EXPECT_NE(smgr()->getActiveCamera(), handler->shadowCamera);
        ASSERT_NE(handler->shadowCascades, nullptr);
        EXPECT_EQ(handler->shadowCascades->splitCount, mode == 2 ? 3 : 1);
        EXPECT_FLOAT_EQ(handler->shadowCascades->lightNear, 1.0f);
        EXPECT_FLOAT_EQ(handler->shadowCascades->lightFar, 300.0f);
        EXPECT_EQ(handler->lightDirection, position - target);
    }
    // Each rebuild adds a camera; only the newest is used.
    core::array<scene::ISceneNode*> cameras;
    smgr()->getSceneNodesFromType(scene::ESNT_CAMERA, cameras);
    EXPECT_EQ(cameras.size(), 2u);
    // Without settings the map has no size.
    gameSettings = nullptr;
    handler->setShadowQuality(position, target);
    EXPECT_EQ(handler->shadowLights[0].resolution, 0u);
    EXPECT_EQ(handler->getShadowReceiverTexture(), nullptr);
}

TEST_F(ShadingTest, CropFitsTheLightBoxOntoTheSliceAndTheConstantsFollowTheCascades) {
    simulateRunningPhysics();
    handler->shadowDistanceMode = 2;
    setSettingInt("Graphics_ShadowDistance", 2);
    handler->setShadowQuality(core::vector3df(40, 80, -40), core::vector3df(0, 0, 0));
    scene::ICameraSceneNode* viewer = smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 10, -30));
    viewer->setTarget(core::vector3df(0, 0, 0));
    viewer->setNearValue(1.0f);
    viewer->setFarValue(200.0f);
    handler->shadowNodes.push_back({addPhysicsObject(), 2, 0});
    handler->shadowsEnabled = true;
    handler->updateShadowCascades();
    EXPECT_EQ(handler->renderStage, 1);
    EXPECT_EQ(smgr()->getActiveCamera(), viewer);
    ShadowCascades& cascades = *handler->shadowCascades;
    // Every corner of the nearest slice lands inside its cropped light box.
    cascades.computeSliceCorners(viewer, 0, 1.1f);
    cascades.computeCropMatrices(0);
    const core::matrix4 m = cascades.lightProjections[0] * cascades.lightViews[0];
    f32 lowX = 2.0f, highX = -2.0f, lowY = 2.0f, highY = -2.0f;
    for (const core::vector3df& corner : cascades.corners) {
        f32 out[4];
        m.transformVect(out, corner);
        EXPECT_LE(std::fabs(out[0] / out[3]), 1.001f);
        EXPECT_LE(std::fabs(out[1] / out[3]), 1.001f);
        EXPECT_GE(out[2], 0.0f);
        EXPECT_LE(out[2], 1.0f);
        lowX = std::min(lowX, out[0] / out[3]);
        highX = std::max(highX, out[0] / out[3]);
        lowY = std::min(lowY, out[1] / out[3]);
        highY = std::max(highY, out[1] / out[3]);
    }
    // Tight: the slice's corners reach every edge of the map.
    EXPECT_NEAR(lowX, -1.0f, 1e-3f);
    EXPECT_NEAR(highX, 1.0f, 1e-3f);
    EXPECT_NEAR(lowY, -1.0f, 1e-3f);
    EXPECT_NEAR(highY, 1.0f, 1e-3f);
    // The light's near plane stays depth 0 once the depth range is rescaled.
    scene::ICameraSceneNode* light = cascades.lightCamera;
    const core::vector3df axis = (light->getTarget() - light->getAbsolutePosition()).normalize();
    f32 nearPoint[4];
    m.transformVect(nearPoint, light->getAbsolutePosition() + axis * light->getNearValue());
    EXPECT_NEAR(nearPoint[2] / nearPoint[3], 0.0f, 1e-4f);
    // The scene pass's constants take the cascades, the Phong variant the split distances
    // (the null driver keeps no transforms: world is the identity here).
    updateShadowConstants();
    const ShadowConstants& constants = shadowConstants();
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(constants.cascadeViewProj[k], cascades.lightProjections[k] * cascades.lightViews[k]);
    PhongShaderCallback phong;
    draw(phong, nullptr, 0);
    const std::vector<f32>& s = cascades.splitDistances;
    expectFloats(services->f("mSplitDistance"), {s[1] * 1.5f, s[2] * 1.5f, s[3]});
    const core::matrix4& shadow1 = constants.cascadeViewProj[1];
    expectFloats(services->f("mShadowWorldViewProj2"), {shadow1[0], shadow1[1], shadow1[2], shadow1[3], shadow1[4],
                                                        shadow1[5], shadow1[6], shadow1[7], shadow1[8], shadow1[9],
                                                        shadow1[10], shadow1[11], shadow1[12], shadow1[13], shadow1[14],
                                                        shadow1[15]});
    EXPECT_FLOAT_EQ(services->f1("mMaxD"), 1.0f);
    EXPECT_FLOAT_EQ(services->f1("mShadowsEnabled"), 1.0f);
    expectFloats(services->f("sun.mSunPosition"),
                 {handler->shadowLights[0].position.X, handler->shadowLights[0].position.Y,
                  handler->shadowLights[0].position.Z});
    // One cascade: only the first distance is a split.
    handler->shadowDistanceMode = 1;
    draw(phong, nullptr, 0);
    expectFloats(services->f("mSplitDistance"), {s[1] * 1.5f, -1.0f, -1.0f});
}


// In play the light's camera looks at the viewer's target; outside play (a menu's scene) at
// most 100 units ahead of the viewer along its view; from 200 units towards the light.
TEST_F(ShadingTest, TheLightCameraLooksAtTheTargetInPlayAndAtMostAHundredUnitsAheadOtherwise) {
    const struct Row {
        bool running;
        f32 viewerZ, focusZ;
    } rows[] = {{true, -150.0f, 0.0f}, {false, -150.0f, -50.0f}, {false, -100.0f, 0.0f}, {false, -30.0f, 0.0f}};
    handler->setShadowQuality(core::vector3df(0, 80, 0), core::vector3df(0, 0, 0));
    scene::ICameraSceneNode* viewer = smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -30));
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.running << " " << row.viewerZ);
        if (row.running)
            simulateRunningPhysics();
        else
            physicsManager = nullptr;
        viewer->setPosition(core::vector3df(0, 0, row.viewerZ));
        viewer->updateAbsolutePosition();
        viewer->setTarget(core::vector3df(0, 0, 0));
        smgr()->setActiveCamera(viewer);
        handler->updateShadowCascades();
        EXPECT_NEAR(handler->shadowCamera->getTarget().Z, row.focusZ, 1e-3f);
        const core::vector3df position = handler->shadowCamera->getPosition();
        EXPECT_NEAR(position.X, 0.0f, 1e-3f);
        EXPECT_NEAR(position.Y, 200.0f, 1e-3f);
        EXPECT_NEAR(position.Z, row.focusZ, 1e-3f);
    }
    // The viewer's place in the world counts, under a parent too: 150 units from its target,
    // the light looks 100 ahead of it.
    physicsManager = nullptr;
    scene::ISceneNode* holder = smgr()->addEmptySceneNode();
    holder->setPosition(core::vector3df(0, 0, -100));
    holder->updateAbsolutePosition();
    scene::ICameraSceneNode* held = smgr()->addCameraSceneNode(holder, core::vector3df(0, 0, -50));
    held->updateAbsolutePosition();
    held->setTarget(core::vector3df(0, 0, 0));
    smgr()->setActiveCamera(held);
    handler->updateShadowCascades();
    EXPECT_NEAR(handler->shadowCamera->getTarget().Z, -50.0f, 1e-3f);
}

// Without casters the pass has nothing to draw: the light keeps the place it was set up at
// and the viewer is the active camera again.
TEST_F(ShadingTest, WithoutCastersTheShadowPassLeavesTheLightWhereItWasSetUp) {
    setSettingInt("Graphics_ShadowQuality", 1024);
    handler->shadowDistanceMode = 2;
    const core::vector3df position(40, 80, -40);
    handler->setShadowQuality(position, core::vector3df(0, 0, 0));
    scene::ICameraSceneNode* viewer = smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 10, -30));
    viewer->setTarget(core::vector3df(0, 0, 0));
    handler->shadowsEnabled = true;
    handler->updateShadowCascades();
    EXPECT_EQ(handler->renderStage, 1);
    EXPECT_EQ(smgr()->getActiveCamera(), viewer);
    EXPECT_EQ(handler->shadowLights[0].position, position);
    EXPECT_EQ(handler->shadowCastersDrawn, 0u);
}

// A slice's corners are the view's rectangles at its two split distances (left-bottom,
// left-top, right-top, right-bottom, near end first); a scale moves each that much further
// from their common centre.
TEST_F(ShadingTest, SliceCornersAreTheViewsRectanglesAtItsSplitsGrownByTheScale) {
    scene::ICameraSceneNode* viewer =
        smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0), core::vector3df(0, 0, 100));
    viewer->setNearValue(1.0f);
    viewer->setFarValue(200.0f);
    viewer->setFOV(1.0f);
    viewer->setAspectRatio(2.0f);
    ShadowCascades cascades(viewer, 3, 0.7f);
    cascades.computeSplitDistances(viewer);
    const f32 nearZ = cascades.splitDistances[1], farZ = cascades.splitDistances[2];
    const f32 tanHalf = std::tan(0.5f);
    for (f32 scale : {1.0f, 1.1f}) {
        SCOPED_TRACE(scale);
        cascades.computeSliceCorners(viewer, 1, scale);
        const core::vector3df centre(0, 0, (nearZ + farZ) * 0.5f);
        int i = 0;
        for (f32 z : {nearZ, farZ}) {
            const f32 h = tanHalf * z, w = 2.0f * h;
            for (const core::vector3df& corner : {core::vector3df(-w, -h, z), core::vector3df(-w, h, z),
                                                  core::vector3df(w, h, z), core::vector3df(w, -h, z)}) {
                const core::vector3df expected = centre + (corner - centre) * scale;
                EXPECT_NEAR(cascades.corners[i].X, expected.X, 1e-3f) << "corner " << i;
                EXPECT_NEAR(cascades.corners[i].Y, expected.Y, 1e-3f) << "corner " << i;
                EXPECT_NEAR(cascades.corners[i].Z, expected.Z, 1e-3f) << "corner " << i;
                ++i;
            }
        }
    }
}

// The view's section between two depths as a light straight above sees it (x and z of -50..50
// across its map): a viewer at the origin looking along +z with a 90 degree view of aspect 2
// (at depth d its section reaches 2d sideways). Not for an orthogonal viewer or an empty section.
TEST_F(ShadingTest, TheViewsSectionLiesInTheMapWhereTheLightSeesItsCorners) {
    ShadowCascades cascades(nullptr, 1, 0.7f);
    cascades.lightProjections[0].buildProjectionMatrixOrthoLH(100.0f, 100.0f, 1.0f, 300.0f);
    cascades.lightViews[0].buildCameraLookAtMatrixLH(core::vector3df(0, 200, 0), core::vector3df(0, 0, 0),
                                                     core::vector3df(0, 0, 1));
    core::matrix4 projection, view;
    projection.buildProjectionMatrixPerspectiveFovLH(core::HALF_PI, 2.0f, 1.0f, 100.0f);
    view.buildCameraLookAtMatrixLH(core::vector3df(0, 0, 0), core::vector3df(0, 0, 1), core::vector3df(0, 1, 0));
    core::vector2df section[8];
    ASSERT_TRUE(cascades.viewSectionInMap(0, projection, view, 5.0f, 20.0f, section));
    int i = 0;
    for (f32 depth : {5.0f, 20.0f})
        for (f32 side : {-1.0f, 1.0f})
            for (int up = 0; up < 2; ++up, ++i) {
                EXPECT_NEAR(section[i].X, side * 2.0f * depth / 50.0f, 1e-4f) << "corner " << i;
                EXPECT_NEAR(section[i].Y, depth / 50.0f, 1e-4f) << "corner " << i;
            }
    EXPECT_FALSE(cascades.viewSectionInMap(0, projection, view, 20.0f, 20.0f, section));
    core::matrix4 orthogonal;
    orthogonal.buildProjectionMatrixOrthoLH(40.0f, 20.0f, 1.0f, 100.0f);
    EXPECT_FALSE(cascades.viewSectionInMap(0, orthogonal, view, 5.0f, 20.0f, section));
}

// A caster draws into a map in modes 1 and 2 while shown; the far cascades of the third
// distance mode leave moving objects out.
TEST_F(ShadingTest, CastersDrawIntoAMapByTheirModeVisibilityAndMotion) {
    PhysicsObject* object = addPhysicsObject();
    scene::IAnimatedMeshSceneNode* mesh = rendertest::addEmptySkinnedNode(smgr(), object);
    ASSERT_NE(mesh, nullptr);
    const struct Row {
        const char* name;
        s32 mode;
        PhysicsState state;
        bool shown, skipNonStatic, casts;
    } rows[] = {{"mode 2", 2, PhysicsState::Static, true, false, true},
                {"mode 1", 1, PhysicsState::Static, true, false, true},
                {"mode 0", 0, PhysicsState::Static, true, false, false},
                {"mode 3", 3, PhysicsState::Static, true, false, false},
                {"hidden", 2, PhysicsState::Static, false, false, false},
                {"static in a far cascade", 2, PhysicsState::Static, true, true, true},
                {"dynamic", 2, PhysicsState::Dynamic, true, false, true},
                {"dynamic in a far cascade", 2, PhysicsState::Dynamic, true, true, false},
                {"kinematic in a far cascade", 1, PhysicsState::Kinematic, true, true, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        handler->shadowNodes.assign(1, {mesh, row.mode, 0});
        object->setPhysicsState(row.state);
        mesh->setVisible(row.shown);
        bool instanced = true;
        EXPECT_EQ(handler->castsIntoMap(0, row.skipNonStatic, instanced), row.casts);
        EXPECT_FALSE(instanced);
    }
    bool instanced = true;
    EXPECT_FALSE(handler->castsIntoMap(1, false, instanced)) << "no such entry";
}

// A node that notes, while it draws, which node the depth programs see and its material.
class DepthNotingNode : public scene::ISceneNode {
public:
    using scene::ISceneNode::ISceneNode;
    void render() override {
        ++draws;
        seenNode = effectHandler ? effectHandler->nodeForDepthMaterial() : nullptr;
        seen = material;
    }
    const core::aabbox3df& getBoundingBox() const override { return box; }
    u32 getMaterialCount() const override { return 1; }
    video::SMaterial& getMaterial(u32) override { return material; }
    video::SMaterial material;
    video::SMaterial seen;
    scene::ISceneNode* seenNode = nullptr;
    int draws = 0;
    core::aabbox3df box{-1, -1, -1, 1, 1, 1};
};

// A caster draws into the map as the depth programs' node, with the depth material of its
// kind (alpha-tested for the reference type and the transparent Phong variants), writing depth
// and without the atlas it draws into; after the draw it has its own material back.
TEST_F(ShadingTest, ACasterDrawsWithTheDepthMaterialOfItsKindAndGetsItsOwnBack) {
    handler->depthMaterial = 101;
    handler->depthAlphaMaterial = 102;
    shaders->transparentVariantMaterials = {77};
    scene::ICameraSceneNode* camera = smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 0, -10));
    auto* node = new DepthNotingNode(root(), smgr(), -1);
    node->drop();
    node->setAutomaticCulling(scene::EAC_OFF);
    video::ITexture* atlas = driver()->addTexture(core::dimension2du(4, 4), "atlas");
    const struct Row {
        s32 type;
        s32 depthType;
    } rows[] = {{video::EMT_SOLID, 101}, {video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF, 102}, {77, 102},
                {video::EMT_TRANSPARENT_ALPHA_CHANNEL, 101}};
    handler->shadowNodes.assign(1, {node, 2, 0});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        node->material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(row.type);
        node->material.ZWriteEnable = false;
        node->material.TextureLayer[textureLayer::shadowAtlas].Texture = atlas;
        const int before = node->draws;
        handler->renderShadowCaster(0, camera, false);
        ASSERT_EQ(node->draws, before + 1);
        EXPECT_EQ(node->seenNode, node);
        EXPECT_EQ(node->seen.MaterialType, row.depthType);
        EXPECT_TRUE(node->seen.ZWriteEnable);
        EXPECT_EQ(node->seen.TextureLayer[textureLayer::shadowAtlas].Texture, nullptr);
        EXPECT_EQ(node->material.MaterialType, row.type);
        EXPECT_FALSE(node->material.ZWriteEnable);
        EXPECT_EQ(node->material.TextureLayer[textureLayer::shadowAtlas].Texture, atlas);
        EXPECT_EQ(handler->nodeForDepthMaterial(), lights->currentNode);
    }
}

// --- Phong constants ---------------------------------------------------------------------------

TEST_F(ShadingTest, PhongSendsTheMaterialInformationFogAndSwitchesOfTheDraw) {
    smgr()->setAmbientLight(video::SColorf(0.2f, 0.5f, 0.9f, 1.0f));
    scene::ICameraSceneNode* camera = smgr()->addCameraSceneNode(nullptr, core::vector3df(1, 2, 3));
    camera->updateAbsolutePosition();
    core::matrix4 projection, view, world;
    projection.buildProjectionMatrixPerspectiveFovLH(1.0f, 1.5f, 1.0f, 100.0f);
    view.setTranslation(core::vector3df(0, 0, 10));
    world.setScale(2.0f);
    driver()->setTransform(video::ETS_PROJECTION, projection);
    driver()->setTransform(video::ETS_VIEW, view);
    driver()->setTransform(video::ETS_WORLD, world);
    updateShadowConstants();
    driver()->setFog(video::SColor(255, 255, 128, 0), video::EFT_FOG_LINEAR, 10.0f, 50.0f, 0.1f, true, false);

    video::SMaterial material;
    material.EmissiveColor = video::SColor(255, 51, 153, 255);
    material.DiffuseColor = video::SColor(128, 255, 0, 51);
    material.Shininess = 0.0f;
    material.SpecularColor = video::SColor(255, 128, 0, 0);
    PhongShaderCallback phong;
    draw(phong, nullptr, 0, material);
    EXPECT_EQ(services->f("mWorldViewProj").size(), 16u);
    EXPECT_EQ(services->f("mWorld").size(), 16u);
    expectFloats(services->f("cinfo.mAmbientLightColor"), {0.4f, 1.0f, 1.0f, 1.0f}); // clamped
    expectFloats(services->f("cinfo.mDiffuseBaseColor"), {1.0f, 0.0f, 0.2f, 0.5019608f});
    expectFloats(services->f("cinfo.mCameraPosition"), {1, 2, 3});
    EXPECT_FLOAT_EQ(services->f1("cinfo.mAlphaOverride"), 1.0f); // no object behind the node
    EXPECT_FLOAT_EQ(services->f1("cinfo.mSpecularIntensity"), 0.0f); // no shininess
    expectFloats(services->f("mFogColor"), {1.0f, 0.5019608f, 0.0f, 1.0f});
    EXPECT_FLOAT_EQ(services->f1("mFogStart"), 1000000.0f); // range fog off
    EXPECT_FLOAT_EQ(services->f1("mFogEnd"), 1000000.0f);
    expectFloats(services->f("mTextureRotate"), {1.0f, 0.0f});
    expectFloats(services->f("mTextureScale"), {1.0f, 1.0f});
    EXPECT_FLOAT_EQ(services->f1("mLightingEnabled"), 1.0f);
    // Without a running physics world the shadows are off; no highlight without an object.
    EXPECT_FLOAT_EQ(services->f1("mShadowsEnabled"), 0.0f);
    EXPECT_FALSE(services->has("mHighlightColor"));
    EXPECT_TRUE(services->has("material[0]"));

    material.Shininess = 20.0f;
    driver()->setFog(video::SColor(255, 0, 0, 0), video::EFT_FOG_LINEAR, 10.0f, 50.0f, 0.1f, true, true);
    draw(phong, nullptr, 0, material);
    EXPECT_FLOAT_EQ(services->f1("cinfo.mSpecularPower"), 20.0f);
    EXPECT_NEAR(services->f1("cinfo.mSpecularIntensity"), 128.0f / 255.0f, 1e-6f);
    EXPECT_FLOAT_EQ(services->f1("mFogStart"), 10.0f);
    EXPECT_FLOAT_EQ(services->f1("mFogEnd"), 50.0f);

    // Quality other than 0: no fog and no shadow switch.
    shaders->graphicsQuality = 1;
    draw(phong, nullptr, 0, material);
    EXPECT_FALSE(services->has("mFogColor"));
    EXPECT_FALSE(services->has("mShadowsEnabled"));
    // Shader level 2 is the lowest that lights the draw; below it nothing at all.
    shaders->shaderLevel = 2;
    draw(phong, nullptr, 0, material);
    EXPECT_EQ(services->f("mWorldViewProj").size(), 16u);
    EXPECT_TRUE(services->has("cinfo.mAmbientLightColor"));
    for (s32 level : {1, 0}) {
        shaders->shaderLevel = level;
        draw(phong, nullptr, 0, material);
        EXPECT_TRUE(services->order.empty()) << level;
    }
}

// Layer 0's texture transform reaches the program as its scale, translation and turn.
TEST_F(ShadingTest, PhongSendsTheTextureTransformOfLayerZero) {
    const struct Row {
        const char* name;
        f32 angle, u, v, scaleU, scaleV;
    } rows[] = {{"panned", 0.0f, 0.25f, 0.5f, 1.0f, 1.0f},
                {"scaled", 0.0f, 0.0f, 0.0f, 2.0f, 3.0f},
                {"turned", 0.5f, 0.0f, 0.0f, 1.0f, 1.0f}};
    PhongShaderCallback phong;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        video::SMaterial material;
        material.getTextureMatrix(0).buildTextureTransform(row.angle, core::vector2df(0, 0),
                                                           core::vector2df(row.u, row.v),
                                                           core::vector2df(row.scaleU, row.scaleV));
        draw(phong, nullptr, 0, material);
        expectFloats(services->f("mTextureTranslation"), {row.u, row.v});
        expectFloats(services->f("mTextureScale"), {row.scaleU, row.scaleV});
        expectFloats(services->f("mTextureRotate"), {std::cos(row.angle), std::sin(row.angle)});
    }
}

TEST_F(ShadingTest, PhongReadsThePhysicsObjectBehindTheNode) {
    simulateRunningPhysics();
    PhysicsObject* object = addPhysicsObject();
    scene::IAnimatedMeshSceneNode* mesh = rendertest::addEmptySkinnedNode(smgr(), object);
    ASSERT_NE(mesh, nullptr);
    object->mesh().AlphaOverride = 0.25f;
    object->mesh().highlightMode = 4;
    object->ReceiveShadow = false;
    object->UseRimShading = true;
    PhongShaderCallback phong;
    draw(phong, mesh, shaderFlag::highlight);
    EXPECT_FLOAT_EQ(services->f1("cinfo.mAlphaOverride"), 0.25f);
    expectFloats(services->f("mHighlightColor"), {1.0f, 0.3f, 0.3f, 1.0f});
    EXPECT_FLOAT_EQ(services->f1("mShadowsEnabled"), 0.0f); // the object receives none
    EXPECT_FLOAT_EQ(services->f("material[0]")[3], 1.0f);   // rim shading
    object->UseRimShading = false;
    draw(phong, mesh, shaderFlag::highlight);
    EXPECT_FLOAT_EQ(services->f("material[0]")[3], 0.0f);
    // A mode outside the table sends black; mode 0 sends nothing.
    object->mesh().highlightMode = 9;
    draw(phong, mesh, shaderFlag::highlight);
    expectFloats(services->f("mHighlightColor"), {0, 0, 0, 1});
    object->mesh().highlightMode = 0;
    draw(phong, mesh, shaderFlag::highlight);
    EXPECT_FALSE(services->has("mHighlightColor"));
    // A program without "material[0]" makes the next draws try the bare name.
    services->refused = {"material[0]"};
    draw(phong, mesh, 0);
    EXPECT_FALSE(shaders->useIndexedArrayNames);
}

TEST_F(ShadingTest, HighlightColoursFollowTheTableAndModeFiveTheFlashTime) {
    const struct {
        s32 mode;
        f32 flash;
        std::vector<f32> colour;
    } rows[] = {{1, 0.0f, {0.3f, 1.0f, 0.3f, 1.0f}},   {5, 1.0f, {0.25f, 0.0f, 0.5f, 0.5f}},
                {5, 0.0f, {0.0f, 0.0f, 0.0f, 0.0f}},   {6, 3.0f, {0.75f, 0.75f, 0.2f, 1.0f}},
                {0, 1.0f, {}},                         {7, 1.0f, {}}};
    for (const auto& row : rows) {
        f32 colour[4] = {-1, -1, -1, -1};
        EXPECT_EQ(highlightModeColour(row.mode, row.flash, colour), !row.colour.empty()) << "mode " << row.mode;
        for (std::size_t i = 0; i < row.colour.size(); ++i)
            EXPECT_NEAR(colour[i], row.colour[i], 1e-6f) << "mode " << row.mode;
    }
}

// --- the small callbacks -----------------------------------------------------------------------

TEST_F(ShadingTest, GlowPulsesHighlightsAndSkinsOnlyObjects) {
    SkinningShaderCallback glow;
    draw(glow, nullptr, 0);
    EXPECT_FLOAT_EQ(services->f1("mAlphaOverride"), 1.0f);
    EXPECT_FALSE(services->has("mHighlightColor"));
    EXPECT_FLOAT_EQ(services->f1("mSkinned"), 0.0f);
    EXPECT_TRUE(services->has("mWorldViewProj"));
    EXPECT_TRUE(services->has("mCameraPosition"));

    PhysicsObject* object = new AdvancedPhysicsObject(root(), smgr(), -1);
    object->drop();
    const struct {
        f32 phase;
        s32 mode;
        f32 alpha;
        std::vector<f32> colour;
    } rows[] = {{0.8f, 1, 0.2f, {0.3f, 1.0f, 0.3f, 1.0f}},
                {0.3f, 4, 0.3f, {1.0f, 0.3f, 0.3f, 1.0f}},
                {0.5f, 6, 0.5f, {0.75f, 0.75f, 0.2f, 1.0f}},
                {0.1f, 0, 0.1f, {}},
                // The suspicion flash with 1.5 s left: its colour at three quarters.
                {0.5f, 5, 0.5f, {0.375f, 0.0f, 0.75f, 0.75f}}};
    object->suspicion().displayTimer = 1.5f;
    for (const auto& row : rows) {
        object->mesh().highlightPulse = row.phase;
        object->mesh().highlightMode = row.mode;
        draw(glow, object, 0);
        EXPECT_NEAR(services->f1("mAlphaOverride"), row.alpha, 1e-6f) << "phase " << row.phase;
        if (row.colour.empty())
            EXPECT_FALSE(services->has("mHighlightColor"));
        else
            EXPECT_EQ(services->f("mHighlightColor").size(), 4u);
        for (std::size_t i = 0; i < row.colour.size(); ++i)
            EXPECT_NEAR(services->f("mHighlightColor")[i], row.colour[i], 1e-6f);
    }
    // An object keeping joint rows sends only its used slots.
    object->hardwareJointCount = 2;
    object->allocateJointTransforms();
    effectHandler->hardwareSkinning = true;
    draw(glow, object, 0);
    EXPECT_EQ(services->f("mJointTransform[0]").size(), 24u);
    EXPECT_FLOAT_EQ(services->f1("mSkinned"), 1.0f);
    object->mesh().AnimFPS = 0.0f; // a character moving its joints itself keeps no rows
    draw(glow, object, 0);
    EXPECT_FLOAT_EQ(services->f1("mSkinned"), 0.0f);
}

// The skinned depth program gets the twelve row floats of every joint the object uses, up to
// the shaders' 75; an object of one joint, a run without hardware skinning and the plain depth
// program send no rows.
TEST_F(ShadingTest, SkinnedDepthSendsTheRowsOfEveryUsedJoint) {
    auto* object = new AdvancedPhysicsObject(root(), smgr(), -1);
    object->drop();
    object->allocateJointTransforms();
    f32* kept = object->getJointTransforms();
    for (u32 i = 0; i < maxHardwareJoints * 12; ++i)
        kept[i] = static_cast<f32>(i);
    DepthShaderCallback skinnedDepth(handler.get(), true, false);
    const std::string joints = "mJointTransform[0]";
    handler->hardwareSkinning = true;
    const struct Row {
        u32 jointCount;
        u32 floats;
    } rows[] = {{1, 0},
                {2, 24},
                {3, 36},
                {maxHardwareJoints, maxHardwareJoints * 12},
                {maxHardwareJoints + 1, maxHardwareJoints * 12}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.jointCount << " joints");
        object->hardwareJointCount = row.jointCount;
        draw(skinnedDepth, object, 0);
        EXPECT_FLOAT_EQ(services->f1("skinned"), row.floats > 0 ? 1.0f : 0.0f);
        ASSERT_EQ(services->has(joints), row.floats > 0);
        if (row.floats > 0) {
            const std::vector<f32>& sent = services->f(joints);
            ASSERT_EQ(sent.size(), row.floats);
            EXPECT_FLOAT_EQ(sent.back(), static_cast<f32>(row.floats - 1));
        }
    }
    object->hardwareJointCount = 3;
    handler->hardwareSkinning = false;
    draw(skinnedDepth, object, 0);
    EXPECT_FALSE(services->has(joints));
    EXPECT_FALSE(services->has("skinned"));
    handler->hardwareSkinning = true;
    DepthShaderCallback plainDepth(handler.get(), false, false);
    draw(plainDepth, object, 0);
    EXPECT_FALSE(services->has(joints));
    EXPECT_FALSE(services->has("skinned"));
    EXPECT_TRUE(services->has("mWorldViewProj"));
}

TEST_F(ShadingTest, CircleRadiusShrinksWithTheLoadingTransition) {
    screenWidth = 1280;
    screenHeight = 720;
    CircleShaderCallback circle;
    const struct {
        f32 transition;
        f32 size;
    } rows[] = {{0.0f, 2.0778f}, {0.85f, 0.1154f}, {0.86f, 0.0f}, {0.9f, 0.0f}, {1.0f, 0.0f}};
    LoadingOverlay& overlay = levelManager->loadingOverlay;
    overlay.introRunning = true;
    for (const auto& row : rows) {
        overlay.fadeValue = row.transition;
        draw(circle, nullptr, 0);
        EXPECT_NEAR(services->f1("aspect"), 1.7778f, 1e-4f);
        EXPECT_NEAR(services->f1("circleSize"), row.size, 1e-4f) << "transition " << row.transition;
    }
    // No transition under way: the circle is open whatever the fade says.
    overlay.introRunning = false;
    draw(circle, nullptr, 0);
    EXPECT_NEAR(services->f1("circleSize"), 2.0778f, 1e-4f);
    overlay = LoadingOverlay{};
}

TEST_F(ShadingTest, MeterAndParticleCallbacksSendTheirValues) {
    currentMeterValue = 0.4f;
    currentMeterAlpha = 0.7f;
    MeterShaderCallback meter;
    draw(meter, nullptr, 0);
    EXPECT_FLOAT_EQ(services->f1("meterValue"), 0.4f);
    EXPECT_FLOAT_EQ(services->f1("meterAlpha"), 0.7f);
    currentMeterValue = 0.0f;
    currentMeterAlpha = 1.0f;

    shaders->particleAddMaterial = 40;
    AdditiveShaderCallback additive;
    TypedNode* particles = addObject("psys");
    draw(additive, particles, 0);
    EXPECT_FLOAT_EQ(services->f1("additive"), 0.0f);
    // A node that is no particle node sends no "additive" at all.
    draw(additive, addPhysicsObject(), 0);
    EXPECT_FALSE(services->has("additive"));
    EXPECT_TRUE(services->has("mWorldViewProj"));
}

TEST_F(ShadingTest, ColourConversionAndJointRowPacking) {
    f32 colour[4];
    colorToFloat4(video::SColor(128, 255, 64, 0), colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_NEAR(colour[1], 0.2509804f, 1e-6f);
    EXPECT_FLOAT_EQ(colour[2], 0.0f);
    EXPECT_NEAR(colour[3], 0.5019608f, 1e-6f);
    f32 rows[12];
    matrixToJointRows(core::matrix4(), rows);
    const f32 identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    for (int i = 0; i < 12; ++i)
        EXPECT_FLOAT_EQ(rows[i], identity[i]);
    core::matrix4 moved;
    moved.setTranslation(core::vector3df(4, 5, 6));
    matrixToJointRows(moved, rows);
    EXPECT_FLOAT_EQ(rows[3], 4.0f);
    EXPECT_FLOAT_EQ(rows[7], 5.0f);
    EXPECT_FLOAT_EQ(rows[11], 6.0f);
}

// --- skinning on the card -------------------------------------------------------------------------

TEST_F(ShadingTest, SkinnedVerticesCarryTheirFirstFourJointsAndWeights) {
    shaderVariantMap()[shaderFlag::skinning] = 30; // the skinning variant compiled
    scene::ISkinnedMesh* mesh = smgr()->createSkinnedMesh();
    scene::SSkinMeshBuffer* buffer = mesh->addMeshBuffer();
    buffer->Vertices_Standard.push_back(video::S3DVertex(0, 0, 0, 0, 1, 0, video::SColor(255, 9, 9, 9), 0, 0));
    buffer->Vertices_Standard.push_back(video::S3DVertex(1, 0, 0, 0, 1, 0, video::SColor(255, 9, 9, 9), 0, 0));
    for (int j = 0; j < 14; ++j)
        mesh->addJoint(nullptr)->Name = core::stringc("joint") + core::stringc(j);
    auto addWeight = [&](u32 joint, u32 vertex, f32 strength) {
        scene::ISkinnedMesh::SWeight* weight = mesh->addWeight(mesh->getAllJoints()[joint]);
        weight->buffer_id = 0;
        weight->vertex_id = vertex;
        weight->strength = strength;
    };
    addWeight(3, 0, 0.5f);
    addWeight(7, 0, 0.3f);
    addWeight(12, 0, 0.2f);
    for (u32 j : {1u, 2u, 4u, 5u, 6u})
        addWeight(j, 1, 0.2f);
    prepareSkinnedMeshForShader(mesh);
    ASSERT_EQ(buffer->getVertexType(), video::EVT_TANGENTS);
    const auto* v0 = static_cast<video::S3DVertexTangents*>(buffer->getVertex(0));
    EXPECT_EQ(v0->Color, video::SColor(0, 4, 8, 13));
    EXPECT_FLOAT_EQ(v0->Binormal.X, 0.5f);
    EXPECT_FLOAT_EQ(v0->Binormal.Y, 0.3f);
    EXPECT_FLOAT_EQ(v0->Binormal.Z, 0.2f);
    // Five influences: the first four in joint order stay.
    const auto* v1 = static_cast<video::S3DVertexTangents*>(buffer->getVertex(1));
    EXPECT_EQ(v1->Color, video::SColor(6, 2, 3, 5));

    updateHardwareSkinning(mesh);
    EXPECT_TRUE(isMeshSkinnedByShaders(mesh));
    // Rows are the joints' skinning matrices.
    mesh->getAllJoints()[1]->GlobalAnimatedMatrix.setTranslation(core::vector3df(0, 2, 0));
    JointRowBuffer rows;
    writeJointRows(mesh, 2, rows.rows);
    EXPECT_FLOAT_EQ(rows.rows[12 + 7], 2.0f);
    // Shaders off: the engine skins it again.
    shaders->graphicsQuality = 2;
    updateHardwareSkinning(mesh);
    EXPECT_FALSE(isMeshSkinnedByShaders(mesh));
    forgetSkinnedMesh(mesh);
    mesh->drop();
    shaderVariantMap().clear();
}

TEST_F(ShadingTest, MeshesWithMoreJointsThanTheShadersHoldAreSkinnedByTheEngine) {
    shaderVariantMap()[shaderFlag::skinning] = 30;
    scene::ISkinnedMesh* mesh = smgr()->createSkinnedMesh();
    mesh->addMeshBuffer();
    for (int j = 0; j < 80; ++j)
        mesh->addJoint(nullptr);
    updateHardwareSkinning(mesh);
    updateHardwareSkinning(mesh);
    EXPECT_FALSE(isMeshSkinnedByShaders(mesh));
    EXPECT_EQ(hardwareJointCount(nullptr), 0u);
    forgetSkinnedMesh(mesh);
    mesh->drop();
    shaderVariantMap().clear();
}

// The shaders skin a mesh of two joints up to as many as they hold (75); one joint is no
// skinning at all, and more than they hold is left to the engine.
TEST_F(ShadingTest, TheShadersTakeMeshesOfTwoJointsUpToTheirSeventyFive) {
    const struct {
        u32 joints, onCard;
    } rows[] = {{0, 0}, {1, 0}, {2, 2}, {75, 75}, {76, 0}};
    for (const auto& row : rows) {
        scene::ISkinnedMesh* mesh = smgr()->createSkinnedMesh();
        mesh->addMeshBuffer();
        for (u32 j = 0; j < row.joints; ++j)
            mesh->addJoint(nullptr);
        mesh->finalize();
        scene::IAnimatedMeshSceneNode* node = smgr()->addAnimatedMeshSceneNode(mesh);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(hardwareJointCount(node), row.onCard) << row.joints << " joints";
        node->remove();
        forgetSkinnedMesh(mesh);
        mesh->drop();
    }
}

// --- character textures --------------------------------------------------------------------------

TEST_F(ShadingTest, CausticsPhaseWrapsToZero) {
    handler->causticsPhase = 0.9f;
    handler->updateCharacterTextures(0.2f);
    EXPECT_FLOAT_EQ(handler->causticsPhase, 0.0f);
    handler->updateCharacterTextures(0.5f);
    EXPECT_FLOAT_EQ(handler->causticsPhase, 0.25f);
}

// Shading normals follow a surface while every vertex normal keeps within 40 degrees of its
// triangle's plane (either winding) and the node is scaled alike on its axes; a box of
// normals averaged over its corners does not.
TEST_F(ShadingTest, ShadingNormalsFollowTheSurfaceWithinFortyDegrees) {
    // One triangle in the y = 0 plane whose normals lean `degrees` away from its plane normal.
    auto leaning = [&](f32 degrees, f32 up) {
        auto* buffer = new scene::SMeshBuffer();
        const f32 radians = degrees * core::DEGTORAD;
        const core::vector3df normal(std::sin(radians), up * std::cos(radians), 0.0f);
        for (const core::vector3df& at : {core::vector3df(0, 0, 0), core::vector3df(1, 0, 0), core::vector3df(0, 0, 1)})
            buffer->Vertices.push_back(video::S3DVertex(at, normal, video::SColor(255, 255, 255, 255), {}));
        for (u16 i : {0, 1, 2})
            buffer->Indices.push_back(i);
        return buffer;
    };
    const struct {
        f32 degrees;
        f32 up; // 1 the normals' side of the plane, -1 the other
        bool follows;
    } cases[] = {{0.0f, 1.0f, true}, {39.5f, 1.0f, true}, {40.5f, 1.0f, false}, {39.5f, -1.0f, true}};
    for (const auto& c : cases) {
        scene::SMeshBuffer* buffer = leaning(c.degrees, c.up);
        EXPECT_EQ(followsShadingNormals(buffer), c.follows) << c.degrees << " degrees, side " << c.up;
        buffer->drop();
    }

    scene::IMesh* sphere = smgr()->getGeometryCreator()->createSphereMesh(2.0f, 16, 16);
    scene::IMeshSceneNode* ball = smgr()->addMeshSceneNode(sphere);
    sphere->drop();
    scene::IMeshSceneNode* box = smgr()->addCubeSceneNode(2.0f);
    ball->updateAbsolutePosition();
    box->updateAbsolutePosition();
    EXPECT_TRUE(followsShadingNormals(ball));
    EXPECT_FALSE(followsShadingNormals(box)) << "normals averaged over the corners";
    ball->setScale(core::vector3df(2.0f, 2.0f, 2.2f));
    ball->updateAbsolutePosition();
    EXPECT_TRUE(followsShadingNormals(ball)) << "a tenth more on one axis";
    ball->setScale(core::vector3df(2.0f, 2.0f, 2.3f));
    ball->updateAbsolutePosition();
    EXPECT_FALSE(followsShadingNormals(ball)) << "bent by an uneven scale";
}

// A closed convex mesh is judged so; once its vertices move (a mesh that changes its shape as
// it plays) it is taken as not convex, and a different mesh at its place is judged afresh.
TEST_F(ShadingTest, AMeshThatChangesItsShapeIsNotTakenAsConvex) {
    const scene::IGeometryCreator* shapes = smgr()->getGeometryCreator();
    scene::IMesh* cube = shapes->createCubeMesh(core::vector3df(2.0f, 2.0f, 2.0f));
    scene::IMeshSceneNode* box = smgr()->addMeshSceneNode(cube);
    cube->drop();
    EXPECT_TRUE(isClosedConvexMesh(box));
    scene::IMeshBuffer* buffer = box->getMesh()->getMeshBuffer(0);
    for (u32 i = 0; i < buffer->getVertexCount(); ++i)
        buffer->getPosition(i) *= 1.5f; // still a closed box: its shape changed all the same
    buffer->setDirty(scene::EBT_VERTEX);
    EXPECT_FALSE(isClosedConvexMesh(box));
    EXPECT_FALSE(isClosedConvexMesh(box)) << "and stays so";
    scene::IMesh* other = shapes->createCubeMesh(core::vector3df(3.0f, 3.0f, 3.0f));
    box->setMesh(other);
    other->drop();
    EXPECT_TRUE(isClosedConvexMesh(box)) << "another mesh is judged for itself";
}

} // namespace
