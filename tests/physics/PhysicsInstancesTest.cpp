// Instanced drawing of physics objects: the merge threshold, the copy limits and their
// messages, the copy index in the second texture coordinate, and the centroid; mesh reload,
// highlight textures, skinned joints and the debug lines.
#include "PhysicsObjectFixture.h"

#include "physics/world/PhysicsHooks.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "core/LoadBudget.h"
#include "level/InstancedObject.h"
#include "level/LevelHooks.h"
#include "phys/Scene.h"
#include "render/DrawnObjects.h"
#include "render/EffectHandler.h"
#include "render/ShaderManager.h"
#include "support/TempDir.h"

#include <algorithm>
#include <map>

using namespace irr;

namespace {

using Attributes = io::IAttributes;

class PhysicsInstancesTest : public PhysicsObjectFixture {
protected:
    void SetUp() override {
        PhysicsObjectFixture::SetUp();
        levelHooks().render.isInstancingEnabled = [] { return true; };
        coreSlots().physics.isSimulationActive = [] { return true; };
    }
    void TearDown() override {
        levelHooks().render.isInstancingEnabled = nullptr;
        PhysicsObjectFixture::TearDown();
    }
    PhysicsObject* makeSource(bool transparent = false, const std::string& mesh = "Content/Models/Props/Crate.obj") {
        PhysicsObject* source = makeObject([transparent, &mesh](Attributes* a) {
            a->addString("Name", "Source");
            a->addInt("Id", 500);
            a->addVector3d("Position", core::vector3df(0, 1, 0));
            a->addString("MeshFileName", mesh.c_str());
            a->addEnum("BoundType", "Box", boundTypeNames);
            a->addEnum("PhysicsState", "Static", physicsStateNames);
            a->addBool("HasTransparency", transparent);
        });
        manager->rebuildNodeIDs();
        return source;
    }
    void addInstances(int count) {
        for (int i = 0; i < count; ++i) {
            auto* instance = new InstancedObject(root(), smgr(), -1);
            instance->ObjectID = 500;
            instance->setPosition(core::vector3df(3.0f * static_cast<f32>(i + 1), 0, 0));
            instance->TexturePan = core::vector2df(0.5f, 0.1f * static_cast<f32>(i));
            instance->drop();
        }
    }
    // Copies of instances that are not bound to the source (they draw themselves).
    int countUnboundCopies() {
        int count = 0;
        for (scene::ISceneNode* node : root()->getChildren())
            if (node->getType() == typeId("inst"))
                if (PhysicsObject* copy = asPhysicsObject(static_cast<InstancedObject*>(node)->getCopy()))
                    count += copy->isInstance ? 0 : 1;
        return count;
    }
    // Frames until the copies are made, registered and merged.
    void settle() { frames(3); }
};

TEST_F(PhysicsInstancesTest, FiveInstancesDrawThemselvesAndSixMergeIntoOneNode) {
    PhysicsObject* source = makeSource();
    addInstances(5);
    settle();
    EXPECT_EQ(source->getInstancedMeshNode(), nullptr);
    EXPECT_TRUE(source->mesh().instances.empty()) << "declined: the list is emptied";
    std::vector<core::matrix4> untouched(1);
    EXPECT_FALSE(source->getInstanceTransforms(untouched)) << "nothing merged: nothing to place";
    EXPECT_EQ(untouched.size(), 1u);

    smgr()->clear();
    source = makeSource();
    addInstances(6);
    settle();
    scene::ISceneNode* merged = source->getInstancedMeshNode();
    ASSERT_NE(merged, nullptr);
    EXPECT_STREQ(merged->getName(), "InstancedMeshNode");
    EXPECT_EQ(source->activeInstanceCount, 6u);
    scene::IMeshBuffer* buffer = static_cast<scene::IAnimatedMeshSceneNode*>(merged)->getMesh()->getMesh(0)->getMeshBuffer(0);
    const u32 perCopy = buffer->getVertexCount() / 7;
    ASSERT_EQ(buffer->getVertexCount(), perCopy * 7) << "7 copies";
    auto* vertices = static_cast<video::S3DVertex2TCoords*>(buffer->getVertices());
    for (u32 k = 0; k < 7; ++k)
        EXPECT_EQ(vertices[k * perCopy].TCoords2.X, static_cast<f32>(k));
    EXPECT_TRUE(source->mesh().instances.front().clone->isInstance);
    // Each copy's texture is panned by its own instance's pan (the source's by none).
    for (u32 k = 1; k < 7; ++k) {
        const core::vector2df pan = source->mesh().instances[k - 1].instance->TexturePan;
        EXPECT_NEAR(vertices[k * perCopy].TCoords.X - vertices[0].TCoords.X, pan.X, 1e-5f) << k;
        EXPECT_NEAR(vertices[k * perCopy].TCoords.Y - vertices[0].TCoords.Y, pan.Y, 1e-5f) << k;
    }
    std::vector<core::matrix4> transforms;
    ASSERT_TRUE(readInstanceTransforms(merged, transforms));
    EXPECT_EQ(transforms.size(), 7u);
    EXPECT_NEAR(transforms[1].getTranslation().X, 3.0f, 1e-4f);

    // A copy that goes leaves six: still merged; a second leaves five, drawn apart again.
    smgr()->clear();
    source = makeSource();
    addInstances(7);
    settle();
    ASSERT_EQ(source->activeInstanceCount, 7u);
    for (const u32 left : {6u, 0u}) {
        source->mesh().instances.back().instance->remove();
        EXPECT_EQ(source->activeInstanceCount, left);
    }
}

// A copy stands where its instance stands, at its source's size, whatever its source's state
// (a dynamic source's place is kept as a world place): its node and its body.
TEST_F(PhysicsInstancesTest, ACopyStandsAtItsInstance) {
    for (const char* state : {"Static", "Dynamic"}) {
        SCOPED_TRACE(state);
        smgr()->clear();
        makeObject([state](Attributes* a) {
            a->addInt("Id", 500);
            a->addVector3d("Position", core::vector3df(-4, 1, 2));
            a->addVector3d("Scale", core::vector3df(0.5f, 0.5f, 0.5f));
            a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
            a->addEnum("BoundType", "Box", boundTypeNames);
            a->addEnum("PhysicsState", state, physicsStateNames);
        });
        manager->rebuildNodeIDs();
        auto* instance = new InstancedObject(root(), smgr(), -1);
        instance->ObjectID = 500;
        instance->setPosition(core::vector3df(3, 2, 0));
        instance->drop();
        frame();
        PhysicsObject* copy = asPhysicsObject(instance->getCopy());
        ASSERT_NE(copy, nullptr);
        EXPECT_LT(copy->getAbsolutePosition().getDistanceFrom(core::vector3df(3, 2, 0)), 0.05f);
        ASSERT_NE(copy->getActor(), nullptr);
        const phys::Vec3 body = copy->getActor()->getGlobalPose().p;
        EXPECT_LT(core::vector3df(body.x, body.y, body.z).getDistanceFrom(core::vector3df(3, 2, 0)), 0.05f);
        EXPECT_EQ(copy->getAbsoluteTransformation().getScale(), core::vector3df(0.5f, 0.5f, 0.5f));
    }
}

// A bound copy is left to its source's merged node only once that node exists: until the
// source merges (on its next frame, or never, for fewer than six), the copy draws itself.
TEST_F(PhysicsInstancesTest, ABoundCopyDrawsItselfUntilItsSourceMerges) {
    video::IVideoDriver* driver = smgr()->getVideoDriver();
    const auto drawn = [this, driver] {
        driver->beginScene(true, true, video::SColor(0));
        smgr()->drawAll();
        driver->endScene();
        return driver->getPrimitiveCountDrawn();
    };
    PhysicsObject* source = makeSource();
    frame();
    const u32 alone = drawn();
    ASSERT_GT(alone, 0u);
    addInstances(1);
    frame();
    ASSERT_TRUE(source->mesh().instances.front().clone->isInstance) << "bound, not yet merged";
    EXPECT_EQ(drawn(), 2 * alone);
}

// The merged node casts shadows and draws depth while its source lives; once the source
// goes, no pass of the renderer keeps it.
TEST_F(PhysicsInstancesTest, AMergedNodeLeavesTheShadowAndDepthPassesWithItsSource) {
    auto handler = std::make_unique<EffectHandler>(device->get(), core::dimension2du(0, 0));
    effectHandler = handler.get();
    PhysicsObject* source = makeSource();
    addInstances(6);
    settle();
    scene::ISceneNode* merged = source->getInstancedMeshNode();
    ASSERT_NE(merged, nullptr);
    auto listed = [&] {
        return std::count_if(handler->shadowNodes.begin(), handler->shadowNodes.end(),
                             [merged](const ShadowNode& entry) { return entry.node == merged; });
    };
    EXPECT_EQ(listed(), 1);
    EXPECT_TRUE(handler->isInDepthPass(merged));
    smgr()->clear();
    EXPECT_EQ(listed(), 0);
    EXPECT_FALSE(handler->isInDepthPass(merged));
    effectHandler = nullptr;
}

// A child node that counts the times it is offered for drawing.
class CountingChild : public scene::ISceneNode {
public:
    using ISceneNode::ISceneNode;
    void OnRegisterSceneNode() override { ++offered; }
    void render() override {}
    const core::aabbox3df& getBoundingBox() const override { return box; }
    core::aabbox3df box;
    int offered = 0;
};

// A copy bound into the merged draw leaves its own children out of the drawing while it is
// plainly shaded (the merged node draws it), and draws them while it is highlighted; the
// source always draws its other children.
TEST_F(PhysicsInstancesTest, ABoundCopyDrawsItsOwnChildrenOnlyWhileHighlighted) {
    PhysicsObject* source = makeSource();
    addInstances(6);
    settle();
    ASSERT_NE(source->getInstancedMeshNode(), nullptr);
    PhysicsObject* copy = source->mesh().instances.front().clone;
    ASSERT_TRUE(copy && copy->isInstance);
    auto* child = new CountingChild(copy, smgr(), -1);
    child->drop();
    frame();
    child->offered = 0;
    copy->OnRegisterSceneNode();
    EXPECT_EQ(child->offered, 0) << "plainly shaded: drawn by the merged node";
    copy->suspicion().displayTimer = 2.0f; // it shows the suspicion it raised
    frame();
    ASSERT_NE(copy->mesh().highlightMode, 0);
    child->offered = 0;
    copy->OnRegisterSceneNode();
    EXPECT_EQ(child->offered, 1) << "highlighted: drawn on its own";
    auto* beside = new CountingChild(source, smgr(), -1);
    beside->drop();
    source->OnRegisterSceneNode();
    EXPECT_EQ(beside->offered, 1);
}

TEST_F(PhysicsInstancesTest, EightyInstancesAreCutToSeventyFiveCopiesWithOneLine) {
    PhysicsObject* source = makeSource();
    addInstances(80);
    settle();
    // 75 copies: the source and 74 instances; the others draw themselves.
    EXPECT_EQ(source->mesh().instances.size(), 74u);
    EXPECT_EQ(countUnboundCopies(), 6);
    ASSERT_NE(source->getInstancedMeshNode(), nullptr);
    EXPECT_EQ(log.countStartingWith("ERROR: Attempting to go over max instances."), 1u);
    scene::IMeshBuffer* buffer = static_cast<scene::IAnimatedMeshSceneNode*>(source->getInstancedMeshNode())
                                     ->getMesh()->getMesh(0)->getMeshBuffer(0);
    auto* vertices = static_cast<video::S3DVertex2TCoords*>(buffer->getVertices());
    EXPECT_EQ(vertices[buffer->getVertexCount() - 1].TCoords2.X, 74.0f) << "indices stay below 75";
}

// 300 separate triangles, 900 vertices a copy: 72 copies fit in 16-bit indices, 73 do not.
TEST_F(PhysicsInstancesTest, CopiesStopWhereTheirVerticesWouldPassSixteenBitIndices) {
    test::TempDir dir;
    std::string obj;
    for (int i = 0; i < 900; ++i)
        obj += "v " + std::to_string(i / 3) + " " + std::to_string(i % 3) + " " + std::to_string(i % 2) + "\n";
    for (int i = 1; i <= 900; i += 3)
        obj += "f " + std::to_string(i) + " " + std::to_string(i + 1) + " " + std::to_string(i + 2) + "\n";
    ASSERT_TRUE(test::writeFileBytes(dir.file("Big.obj"), obj));
    for (const int instances : {71, 72}) {
        smgr()->clear();
        log.lines.clear();
        PhysicsObject* source = makeSource(false, dir.file("Big.obj"));
        addInstances(instances);
        settle();
        ASSERT_NE(source->getInstancedMeshNode(), nullptr) << instances;
        scene::IMeshBuffer* buffer = static_cast<scene::IAnimatedMeshSceneNode*>(source->getInstancedMeshNode())
                                         ->getMesh()->getMesh(0)->getMeshBuffer(0);
        EXPECT_EQ(buffer->getVertexCount(), 72u * 900u) << instances;
        EXPECT_EQ(log.countStartingWith("ERROR: Too many vertices for instanced object"), instances == 72 ? 1u : 0u);
    }
}

// Seven instances with room in the level's triangles for the source and six or seven copies:
// a copy whose mesh the budget left out is not drawn in the merge either.
TEST_F(PhysicsInstancesTest, ACopyWithoutItsMeshForTheTrianglesLeavesTheMerge) {
    for (const u32 copiesWithRoom : {7u, 6u}) {
        smgr()->clear();
        { const LoadBudgetScope load("Level.irr", true); } // a new load's budget
        PhysicsObject* source = makeSource();
        const std::uint64_t triangles = loadBudget().used(LoadBudget::Triangles);
        ASSERT_GT(triangles, 0u);
        loadBudget().setLimit(LoadBudget::Triangles, triangles * (1 + copiesWithRoom));
        addInstances(7);
        settle();
        loadBudget().setLimit(LoadBudget::Triangles, LoadBudget::gameLimits[LoadBudget::Triangles]);
        EXPECT_EQ(source->mesh().instances.size(), copiesWithRoom);
        ASSERT_NE(source->getInstancedMeshNode(), nullptr) << copiesWithRoom;
        const u32 vertices = source->getMeshNode()->getMesh()->getMesh(0)->getMeshBuffer(0)->getVertexCount();
        EXPECT_EQ(static_cast<scene::IAnimatedMeshSceneNode*>(source->getInstancedMeshNode())
                      ->getMesh()->getMesh(0)->getMeshBuffer(0)->getVertexCount(),
                  vertices * (1 + copiesWithRoom));
    }
}

TEST_F(PhysicsInstancesTest, ATransparentSourceNeverMergesAndTheCentroidFollowsTheInstances) {
    PhysicsObject* glass = makeSource(true);
    addInstances(10);
    settle();
    EXPECT_EQ(glass->getInstancedMeshNode(), nullptr);

    smgr()->clear();
    PhysicsObject* source = makeSource();
    addInstances(6);
    settle();
    frame();
    EXPECT_NEAR(source->mesh().instanceCentroid.X, 10.5f, 1e-3f) << "mean of 3, 6, ..., 18";
    core::vector3df point;
    EXPECT_TRUE(readInstancePoint(source, point));
}

// Without shaders (none installed, level below 2 or the lowest quality) the merged node draws
// plainly solid; with shaders it takes the instancing variant, and plainly solid again when
// that variant failed to compile.
TEST_F(PhysicsInstancesTest, TheMergedNodeIsPlainlySolidWithoutShadersAndTheInstancingVariantWith) {
    PhysicsObject* source = makeSource();
    addInstances(6);
    settle();
    scene::ISceneNode* merged = source->getInstancedMeshNode();
    ASSERT_NE(merged, nullptr);
    ASSERT_GT(merged->getMaterialCount(), 0u);
    const std::map<s32, s32> savedVariants = shaderVariantMap();
    ShaderManager shaders;
    const struct Row {
        bool installed;
        s32 shaderLevel, quality, instancingVariant, expected;
    } rows[] = {{false, 2, 0, 51, video::EMT_SOLID}, {true, 1, 0, 51, video::EMT_SOLID},
                {true, 2, 2, 51, video::EMT_SOLID},  {true, 2, 0, 51, 51},
                {true, 2, 1, 51, 51},                {true, 2, 0, -1, video::EMT_SOLID}};
    for (const Row& row : rows) {
        shaderManager = row.installed ? &shaders : nullptr;
        shaders.shaderLevel = row.shaderLevel;
        shaders.graphicsQuality = row.quality;
        shaderVariantMap() = {{shaderFlag::instancing, row.instancingVariant}};
        merged->setMaterialType(video::EMT_TRANSPARENT_ADD_COLOR); // whatever it had before
        source->updateMaterials(true);
        for (u32 i = 0; i < merged->getMaterialCount(); ++i)
            EXPECT_EQ(static_cast<s32>(merged->getMaterial(i).MaterialType), row.expected)
                << "installed " << row.installed << ", level " << row.shaderLevel << ", quality " << row.quality
                << ", variant " << row.instancingVariant;
    }
    shaderManager = nullptr;
    shaderVariantMap() = savedVariants;
}

TEST_F(PhysicsInstancesTest, AHiddenInstanceLeavesTheMergedDrawAndTheCentroid) {
    PhysicsObject* source = makeSource();
    addInstances(6);
    settle();
    frame();
    ASSERT_NE(source->getInstancedMeshNode(), nullptr);
    ASSERT_NEAR(source->mesh().instanceCentroid.X, 10.5f, 1e-3f);
    scene::ISceneNode* last = nullptr;
    for (scene::ISceneNode* node : root()->getChildren())
        if (node->getType() == typeId("inst") && node->getPosition().X == 18.0f)
            last = node;
    ASSERT_NE(last, nullptr);
    last->setVisible(false);
    std::vector<core::matrix4> transforms;
    ASSERT_TRUE(source->getInstanceTransforms(transforms));
    int zero = 0;
    for (const core::matrix4& m : transforms)
        zero += m[0] == 0.0f && m[5] == 0.0f && m[10] == 0.0f && m[15] == 0.0f ? 1 : 0;
    EXPECT_EQ(zero, 1) << "the hidden copy is drawn at scale zero";
    // The centroid is worked out again every 0.6 s.
    for (int i = 0; i < 40; ++i)
        frame();
    EXPECT_NEAR(source->mesh().instanceCentroid.X, 9.0f, 1e-3f) << "mean of 3, 6, ..., 15";
}

TEST_F(PhysicsInstancesTest, CustomBoundsWidenTheMeshBounds) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Props/Pot.obj");
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addBox3d("CustomBounds", core::aabbox3df(-5, -5, -5, 5, 6, 5));
    });
    ASSERT_NE(object->getMeshNode(), nullptr);
    const core::aabbox3df& box = object->getMeshNode()->getMesh()->getBoundingBox();
    EXPECT_EQ(box.MinEdge, core::vector3df(-5, -5, -5));
    EXPECT_EQ(box.MaxEdge, core::vector3df(5, 6, 5));
    // A box from the origin up counts as well (only an all-zero box names none).
    PhysicsObject* tall = makeObject([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Props/Barrel.obj");
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addBox3d("CustomBounds", core::aabbox3df(0, 0, 0, 0, 20, 0));
    });
    ASSERT_NE(tall->getMeshNode(), nullptr);
    EXPECT_EQ(tall->getMeshNode()->getMesh()->getBoundingBox().MaxEdge.Y, 20.0f);
}

TEST_F(PhysicsInstancesTest, ReloadingAMeshKeepsTheNodePlaceAndFrameLoopWithoutLeaking) {
    PhysicsObject* object = makeSource();
    scene::IAnimatedMeshSceneNode* node = object->getMeshNode();
    ASSERT_NE(node, nullptr);
    node->setPosition(core::vector3df(0.5f, 0, 0));
    for (const char* file : {"Content/Models/Props/Barrel.obj", "Content/Models/Props/Rock.obj",
                             "Content/Models/Props/Crate.obj"}) {
        object->reloadMesh(file);
        EXPECT_EQ(object->getMeshNode(), node) << "the same node";
        EXPECT_EQ(node->getPosition(), core::vector3df(0.5f, 0, 0));
        EXPECT_STREQ(object->mesh().MeshFileName.c_str(), file);
        frame();
    }
    EXPECT_EQ(node->getMesh(), smgr()->getMesh("Content/Models/Props/Crate.obj"));
    object->reloadMesh("Content/Models/Props/NoSuchMesh.obj");
    EXPECT_NE(object->getMeshNode(), nullptr) << "a missing mesh keeps the node";
}

TEST_F(PhysicsInstancesTest, DebugLinesAreCapturedWhenAStepStartsOnlyWithACameraManager) {
    makeSource();
    physics->toggleDebugVisualization();
    const phys::Scene* scene = physics->getScene();
    EXPECT_FLOAT_EQ(scene->getVisualizationParameter(phys::VisualizationParameter::Scale), 5.0f)
        << "the tolerance length itself";
    EXPECT_FLOAT_EQ(scene->getVisualizationParameter(phys::VisualizationParameter::CollisionShapes), 1.0f);
    physics->beginStep();
    physics->endStep();
    EXPECT_EQ(physics->getDebugLineCount(), 0u) << "no camera manager: nothing captured";
    cameraManagers[0] = reinterpret_cast<CameraManager*>(0x10); // only tested for presence
    physics->beginStep();
    physics->endStep();
    physics->beginStep();
    physics->endStep();
    cameraManagers[0] = nullptr;
    EXPECT_GT(physics->getDebugLineCount(), 0u) << "the box's wireframe";
    ASSERT_EQ(physics->getDebugBlockCount(), 1u);
    EXPECT_EQ(physics->getDebugVertices(0).size(), 60000u) << "a whole block of 30,000 lines";
    physics->toggleDebugVisualization();
    EXPECT_FLOAT_EQ(scene->getVisualizationParameter(phys::VisualizationParameter::CollisionShapes), 0.0f);
    EXPECT_FLOAT_EQ(scene->getVisualizationParameter(phys::VisualizationParameter::Scale), 5.0f) << "the scale stays";
    physics->drawDebug(); // off: draws nothing, and nothing fails without a device
}

using PhysicsRenderServicesTest = PhysicsInstancesTest;

TEST_F(PhysicsRenderServicesTest, FixedFunctionHighlightTexturesFollowTheModeAndChildrenInheritTheParents) {
    PhysicsObject* object = makeSource();
    scene::IAnimatedMeshSceneNode* node = object->getMeshNode();
    node->getMaterial(0).MaterialType = video::EMT_SOLID_2_LAYER;
    struct Row {
        s32 mode;
        const char* texture;
    } rows[] = {{1, "Content/Models/Editor/PhongInRange.png"}, {3, "Content/Models/Editor/PhongGrabbed.png"},
                {4, "Content/Models/Editor/PhongSuspicious.png"}, {6, "Content/Models/Editor/PhongImportant.png"},
                {5, nullptr}};
    for (const Row& row : rows) {
        object->setHighlightTexture(row.mode);
        video::ITexture* texture = node->getMaterial(0).getTexture(1);
        if (row.texture)
            EXPECT_EQ(texture, smgr()->getVideoDriver()->getTexture(row.texture)) << row.mode;
        else
            EXPECT_EQ(texture, nullptr) << row.mode;
    }

    PhysicsObject* holder = makeObject([](Attributes* a) { a->addEnum("BoundType", "None", boundTypeNames); });
    PhysicsObject* handle = makeObject([](Attributes* a) { a->addEnum("BoundType", "None", boundTypeNames); }, holder);
    holder->mesh().highlightMode = 3;
    handle->inheritHighlightMode();
    EXPECT_EQ(handle->mesh().highlightMode, 3);
}

TEST_F(PhysicsRenderServicesTest, ASkinnedMeshCountsItsJointsAndAnimatesForItsListeners) {
    PhysicsObject* figure = makeObject([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Characters/Everyman1.b3d");
        a->addEnum("BoundType", "None", boundTypeNames);
    });
    ASSERT_NE(figure->getMeshNode(), nullptr);
    EXPECT_EQ(figure->getHardwareJointCount(), 9u) << "the root and its eight named joints";
    int calls = 0;
    struct Counter {
        int* calls;
        void count() { ++*calls; }
    } counter{&calls};
    figure->animationUpdatedEvent.addMember(&counter, &Counter::count);
    figure->updateAnimation(true);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(figure->getJointTransforms(), nullptr) << "no hardware skinning without the renderer";

    // Past its first two seconds the pose goes on only where the shader skins it; the
    // processor's skinning is animated by the visual update.
    auto handler = std::make_unique<EffectHandler>(device->get(), core::dimension2du(0, 0));
    effectHandler = handler.get();
    figure->lifetime = 2.0f;
    for (bool hardware : {false, true}) {
        handler->hardwareSkinning = hardware;
        calls = 0;
        figure->OnAnimate(1000);
        figure->OnAnimate(1016);
        EXPECT_EQ(calls, 2) << (hardware ? "skinned by the shader" : "skinned on the processor");
    }
    effectHandler = nullptr;
    handler.reset();

    figure->removeDebugChildren();
    EXPECT_EQ(figure->getMeshNode(), nullptr);
    EXPECT_EQ(figure->getHardwareJointCount(), 0u);
}

// The shader reads each joint as three rows of four floats, joint after joint: joint j's
// skinning matrix (animated times inverse bind) sits transposed at j * 12, and the slots past
// the last joint stay empty.
TEST_F(PhysicsRenderServicesTest, ShaderSkinnedJointsFillTheJointTableTwelveFloatsApart) {
    PhysicsObject* figure = makeObject([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Characters/Everyman1.b3d");
        a->addEnum("BoundType", "None", boundTypeNames);
    });
    scene::IAnimatedMeshSceneNode* node = figure->getMeshNode();
    ASSERT_NE(node, nullptr);
    const u32 count = figure->getHardwareJointCount();
    ASSERT_EQ(count, 9u);
    auto handler = std::make_unique<EffectHandler>(device->get(), core::dimension2du(0, 0));
    handler->hardwareSkinning = true;
    effectHandler = handler.get();
    auto* skinned = static_cast<scene::ISkinnedMesh*>(node->getMesh());
    // A pose away from the bind pose, where every skinning matrix would be the identity; the
    // joints' global matrices are built as the mesh is skinned for drawing.
    const f32 frame = f32(skinned->getFrameCount() / 2);
    node->setCurrentFrame(frame);
    skinned->animateMesh(frame, 1.0f);
    skinned->skinMesh();
    figure->updateAnimation(true);
    effectHandler = nullptr;
    handler.reset();

    const f32* table = figure->getJointTransforms();
    ASSERT_NE(table, nullptr);
    const core::array<scene::ISkinnedMesh::SJoint*>& joints = skinned->getAllJoints();
    ASSERT_GE(joints.size(), count);
    for (const u32 joint : {0u, count / 2, count - 1}) {
        SCOPED_TRACE(joint);
        const core::matrix4 skinning = joints[joint]->GlobalAnimatedMatrix * joints[joint]->GlobalInversedMatrix;
        if (joint > 0) { // the root stays put; the others must be told apart from it
            ASSERT_FALSE(skinning.isIdentity());
        }
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 4; ++column)
                EXPECT_FLOAT_EQ(table[joint * 12 + row * 4 + column], skinning[column * 4 + row])
                    << "row " << row << ", column " << column;
    }
    for (u32 slot = count * 12; slot < (count + 1) * 12; ++slot)
        EXPECT_EQ(table[slot], 0.0f) << "one past the last joint, float " << slot;
}

// Asked to, a skinned object measures the box its animation sweeps through once, as it
// loads: every frame's pose lies inside it, the mesh is culled by it, and the animation
// keeps the frame loop the level gave it.
TEST_F(PhysicsRenderServicesTest, AnAnimatedObjectAskedToMeasureItsBoundsCoversEveryFrameOfItsAnimation) {
    PhysicsObject* figure = makeObject([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Characters/Everyman1.b3d");
        a->addEnum("BoundType", "None", boundTypeNames);
        a->addBool("RecalculateBounds", true);
        a->addInt("StartFrame", 2);
        a->addInt("EndFrame", 5);
    });
    scene::IAnimatedMeshSceneNode* node = figure->getMeshNode();
    ASSERT_NE(node, nullptr);
    ASSERT_GT(figure->getHardwareJointCount(), 1u);
    EXPECT_FALSE(figure->RecalculateBounds) << "measured once";
    const core::aabbox3df measured = figure->mesh().CustomBounds;
    EXPECT_NE(measured.MinEdge, core::vector3df(-1, -1, -1)) << "not the unit box it starts from";
    EXPECT_EQ(node->getStartFrame(), 2);
    EXPECT_EQ(node->getEndFrame(), 5);
    EXPECT_TRUE(measured.isFullInside(node->getMesh()->getBoundingBox())) << "the mesh is culled by the measured box";
    auto* skinned = static_cast<scene::ISkinnedMesh*>(node->getMesh());
    const s32 last = s32(skinned->getFrameCount()) - 1;
    ASSERT_GT(last, 5);
    skinned->setHardwareSkinning(false);
    for (const s32 frame : {0, last / 2, last - 1}) {
        skinned->animateMesh(f32(frame), 1.0f);
        skinned->skinMesh();
        core::aabbox3df pose = skinned->getBoundingBox();
        pose.MinEdge += core::vector3df(1e-3f);
        pose.MaxEdge -= core::vector3df(1e-3f);
        EXPECT_TRUE(pose.isFullInside(measured)) << "frame " << frame;
    }
}

} // namespace
