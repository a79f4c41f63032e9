// Drawing a physics object's merged instances: the Phong and depth programs get every copy's
// transform, and the merged node is lit around the copies' centre.
#include "render/EffectHandler.h"
#include "render/EffectShaderCallbacks.h"
#include "render/HardwareSkinning.h"
#include "render/LightManager.h"
#include "render/ShadowMapCache.h"
#include "render/ShaderCallbacks.h"
#include "render/ShaderManager.h"

#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "level/InstancedObject.h"
#include "level/LevelHooks.h"

#include "../physics/PhysicsObjectFixture.h"
#include "RecordingServices.h"
#include "RenderFixture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace irr;

namespace {

class InstancedDrawTest : public PhysicsObjectFixture, protected rendertest::ShadingStage {
protected:
    void SetUp() override {
        PhysicsObjectFixture::SetUp();
        levelHooks().render.isInstancingEnabled = [] { return true; };
        coreSlots().physics.isSimulationActive = [] { return true; };
        source = makeObject([](io::IAttributes* a) {
            a->addString("Name", "Source");
            a->addInt("Id", 500);
            a->addVector3d("Position", core::vector3df(0, 1, 0));
            a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
            a->addEnum("BoundType", "Box", boundTypeNames);
            a->addEnum("PhysicsState", "Static", physicsStateNames);
        });
        manager->rebuildNodeIDs();
        // Six copies along X, 3 units apart: enough to merge.
        for (int i = 0; i < 6; ++i) {
            auto* instance = new InstancedObject(root(), smgr(), -1);
            instance->ObjectID = 500;
            instance->setPosition(core::vector3df(3.0f * static_cast<f32>(i + 1), 0, 0));
            instance->drop();
        }
        frames(3);
        merged = source->getInstancedMeshNode();
        ASSERT_NE(merged, nullptr);
        startShading(device->get());
    }
    void TearDown() override {
        stopShading(smgr());
        shadowConstants() = ShadowConstants{};
        PhysicsObjectFixture::TearDown();
    }
    void draw(video::IShaderConstantSetCallBack& callback, scene::ISceneNode* node, s32 flags) {
        lights->currentNode = node;
        services->clear();
        callback.OnSetMaterial(material);
        callback.OnSetConstants(services.get(), flags);
    }
    // Copy k's X translation as packed in the rows (row 0, fourth column), and its Y.
    static f32 rowX(const std::vector<f32>& rows, u32 k) { return rows[k * 12 + 3]; }
    static f32 rowY(const std::vector<f32>& rows, u32 k) { return rows[k * 12 + 7]; }

    PhysicsObject* source = nullptr;
    scene::ISceneNode* merged = nullptr;
    video::SMaterial material; // the callback keeps the drawn material's address
    const std::string joints = "mJointTransform[0]"; // indexed array names are on
};

// The merged node draws each copy at its own place: the rows carry the source and then every
// copy, the rest zero, and the camera's view-projection stands without a world transform.
// Without the instancing flag, off in the settings, outside play or for another node, the
// draw is a plain one.
TEST_F(InstancedDrawTest, PhongDrawsTheMergedNodeWithEveryCopysTransform) {
    core::matrix4 camera;
    camera.setTranslation(core::vector3df(7, 8, 9));
    shadowConstants().cameraViewProj = camera;
    PhongShaderCallback phong;
    draw(phong, merged, shaderFlag::instancing);
    ASSERT_TRUE(services->has(joints));
    const std::vector<f32> rows = services->f(joints);
    ASSERT_EQ(rows.size(), jointRowFloats);
    EXPECT_FLOAT_EQ(rowY(rows, 0), 1.0f); // the source
    for (u32 k = 1; k <= 6; ++k)
        EXPECT_FLOAT_EQ(rowX(rows, k), 3.0f * static_cast<f32>(k)) << "copy " << k;
    EXPECT_FLOAT_EQ(rows[7 * 12], 0.0f);
    EXPECT_FLOAT_EQ(rows[jointRowFloats - 12], 0.0f);
    EXPECT_FALSE(services->has("mWorld"));
    EXPECT_FLOAT_EQ(services->f("mWorldViewProj")[12], 7.0f);

    const struct Row {
        const char* name;
        s32 flags;
        bool instancing, running;
        bool mergedNode;
    } plain[] = {{"no instancing flag", 0, true, true, true},
                 {"instancing off", shaderFlag::instancing, false, true, true},
                 {"outside play", shaderFlag::instancing, true, false, true},
                 {"the source's own mesh", shaderFlag::instancing, true, true, false}};
    for (const Row& row : plain) {
        SCOPED_TRACE(row.name);
        handler->instancing = row.instancing;
        if (!row.running)
            coreSlots().physics.isSimulationActive = [] { return false; };
        draw(phong, row.mergedNode ? merged : source->getMeshNode(), row.flags);
        EXPECT_FALSE(services->has(joints));
        EXPECT_TRUE(services->has("mWorld"));
        handler->instancing = true;
        coreSlots().physics.isSimulationActive = [] { return true; };
    }
}

// The depth pass draws the merged node's copies the same way for the plain and the
// alpha-tested draw (user data 0 and 3); other draws, and the node outside play, are plain.
TEST_F(InstancedDrawTest, DepthPassDrawsEveryCopyOfTheMergedNode) {
    DepthShaderCallback depth(handler.get(), false, true);
    handler->casterBeingDrawn = merged;
    const struct Row {
        s32 userData;
        bool running;
        f32 instanced;
    } rows[] = {{0, true, 1.0f}, {3, true, 1.0f}, {1, true, 0.0f}, {2, true, 0.0f}, {0, false, 0.0f}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.userData << " " << row.running);
        coreSlots().physics.isSimulationActive = [running = row.running] { return running; };
        draw(depth, nullptr, row.userData);
        EXPECT_FLOAT_EQ(services->f1("instanced"), row.running ? row.instanced : -12345.0f);
        EXPECT_EQ(services->has(joints), row.instanced > 0.0f && row.running);
        if (row.instanced > 0.0f && row.running) {
            const std::vector<f32> transforms = services->f(joints);
            ASSERT_EQ(transforms.size(), DepthShaderCallback::instanceSlots * 12);
            for (u32 k = 1; k <= 6; ++k)
                EXPECT_FLOAT_EQ(rowX(transforms, k), 3.0f * static_cast<f32>(k)) << "copy " << k;
            EXPECT_FLOAT_EQ(rowX(transforms, 7), 0.0f);
        }
    }
    handler->casterBeingDrawn = nullptr;
}

// The merged node is lit by the lights nearest the copies' centre, however far its box
// reaches; a plain object's node only by lights whose box touches its own.
TEST_F(InstancedDrawTest, TheMergedNodeIsLitByTheLightsNearestTheCopiesCentre) {
    lights->maxLightsPerNode = 1;
    // The copies' centre is x = 10.5; the merged box's (source and copies) x = 9.
    scene::ILightSceneNode* nearCentre = smgr()->addLightSceneNode(nullptr, core::vector3df(13, 0, 300), {}, 1.0f);
    scene::ILightSceneNode* farAway = smgr()->addLightSceneNode(nullptr, core::vector3df(7, 0, 300), {}, 1.0f);
    core::array<scene::ISceneNode*> all;
    all.push_back(farAway);
    all.push_back(nearCentre);
    for (u32 i = 0; i < all.size(); ++i)
        all[i]->updateAbsolutePosition();
    lights->OnPreRender(all);
    lights->OnNodePreRender(merged);
    ASSERT_EQ(lights->candidateLights.size(), 2u);
    EXPECT_EQ(lights->candidateLight(0), nearCentre);
    EXPECT_TRUE(nearCentre->isVisible());
    EXPECT_FALSE(farAway->isVisible());
    PhysicsObject* plain = makeObject([](io::IAttributes* a) {
        a->addString("Name", "Plain");
        a->addVector3d("Position", core::vector3df(0, 1, 0));
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addEnum("PhysicsState", "Static", physicsStateNames);
    });
    ASSERT_NE(plain->getMeshNode(), nullptr);
    plain->getMeshNode()->updateAbsolutePosition();
    lights->OnNodePreRender(plain->getMeshNode());
    EXPECT_EQ(lights->candidateLights.size(), 0u);
}

// The kept shadow map redraws the merged caster when one copy moves, over the area of every
// copy; while nothing moves it draws nothing.
TEST_F(InstancedDrawTest, AMovedCopyRedrawsTheMergedCastersShadowOverEveryCopy) {
    core::matrix4 projection, view;
    projection.buildProjectionMatrixOrthoLH(100.0f, 100.0f, 1.0f, 300.0f);
    view.buildCameraLookAtMatrixLH(core::vector3df(0, 200, 0), core::vector3df(0, 0, 0), core::vector3df(0, 0, 1));
    ShadowMapCache cache;
    ShadowMapCache::Setup setup;
    setup.resolution = 1024;
    setup.splitCount = 1;
    setup.drawCasters = true;
    const std::vector<ShadowNode> nodes = {{merged, 2, 0}};
    const std::vector<bool> drawn = {true};
    const auto pass = [&] {
        cache.beginPass(setup, nodes);
        const ShadowMapCache::Area area = cache.beginCascade(0, projection, view, drawn);
        cache.endPass();
        return area;
    };
    EXPECT_TRUE(pass().isWhole());
    EXPECT_TRUE(pass().empty());
    PhysicsObject* copy = source->mesh().instances[2].clone;
    ASSERT_NE(copy, nullptr);
    copy->setPosition(copy->getPosition() + core::vector3df(1, 0, 0)); // within the merged box
    copy->updateAbsolutePosition();
    copy->getMeshNode()->updateAbsolutePosition();
    const ShadowMapCache::Area area = pass();
    ASSERT_FALSE(area.empty());
    // The source at x = 0 and the last copy at x = 18, of a light box 100 wide.
    EXPECT_GE(area.maxX - area.minX, 0.36f);
    EXPECT_TRUE(pass().empty());
}

} // namespace

// The merged node draws with the instancing variant of its own material flags, or with the
// plain instancing variant when its own was never made.
TEST_F(InstancedDrawTest, TheMergedNodeFallsBackToThePlainInstancingVariant) {
    shaderVariantMap().clear();
    shaderVariantMap()[shaderFlag::instancing] = 41;
    source->UseLightMap = true; // flags of its own, whose instancing variant is missing
    source->updateMaterials(true);
    EXPECT_EQ(static_cast<s32>(merged->getMaterial(0).MaterialType), 41);
    shaderVariantMap()[0x200 | shaderFlag::instancing] = 42;
    source->updateMaterials(true);
    EXPECT_EQ(static_cast<s32>(merged->getMaterial(0).MaterialType), 42);
    shaderVariantMap().clear();
}
