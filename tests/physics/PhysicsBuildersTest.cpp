// The shape and actor builders and mesh cooking: every bound from engine meshes of each
// vertex layout, static, kinematic and dynamic; the box extents rule; the material cache;
// cooking failures.
#include "PhysicsFixture.h"

#include "physics/bodies/MeshCooking.h"
#include "physics/bodies/PhysicsBuilders.h"

#include "core/Globals.h"
#include "level/LevelHooks.h"

#include <algorithm>

namespace {

using irr::core::vector3df;

// The eight corners of a box of half extents h and one point inside it.
std::vector<vector3df> boxPoints(const vector3df& h) {
    std::vector<vector3df> points;
    for (int i = 0; i < 8; ++i)
        points.emplace_back(i & 1 ? h.X : -h.X, i & 2 ? h.Y : -h.Y, i & 4 ? h.Z : -h.Z);
    points.emplace_back(0.1f, 0.1f, 0.1f);
    return points;
}

// Triangles of the box corners (two per face).
const irr::u16 boxTriangles[] = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                                 2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3};

template <class Buffer>
irr::scene::IMeshBuffer* makeBuffer(const std::vector<vector3df>& points) {
    auto* buffer = new Buffer();
    for (const vector3df& p : points) {
        typename std::remove_reference_t<decltype(buffer->Vertices[0])> vertex;
        vertex.Pos = p;
        vertex.Normal = vector3df(0, 1, 0);
        buffer->Vertices.push_back(vertex);
    }
    for (irr::u16 index : boxTriangles)
        buffer->Indices.push_back(index);
    buffer->recalculateBoundingBox();
    return buffer;
}

enum Layout { Standard, TwoCoords, Tangents };

irr::scene::IMeshBuffer* bufferOf(Layout layout, const std::vector<vector3df>& points) {
    switch (layout) {
    case Standard: return makeBuffer<irr::scene::SMeshBuffer>(points);
    case TwoCoords: return makeBuffer<irr::scene::SMeshBufferLightMap>(points);
    case Tangents: return makeBuffer<irr::scene::SMeshBufferTangents>(points);
    }
    return nullptr;
}

// A mesh of one buffer per entry; the caller drops it.
irr::scene::SMesh* meshOf(std::initializer_list<irr::scene::IMeshBuffer*> buffers) {
    auto* mesh = new irr::scene::SMesh();
    for (irr::scene::IMeshBuffer* buffer : buffers) {
        mesh->addMeshBuffer(buffer);
        buffer->drop();
    }
    mesh->recalculateBoundingBox();
    return mesh;
}

class PhysicsBuildersTest : public PhysicsFixture {
protected:
    void SetUp() override { makeManager(); }

    phys::Shape* firstShape(phys::RigidActor* actor) {
        phys::Shape* shape = nullptr;
        actor->getShapes(&shape, 1);
        return shape;
    }
    // The actor is a finished body of the expected kind, in the scene, with no owner yet.
    void expectBody(phys::RigidActor* actor, bool isStatic, bool isKinematic, float mass, const char* what) {
        ASSERT_NE(actor, nullptr) << what;
        EXPECT_EQ(actor->getScene(), manager->getScene()) << what;
        EXPECT_EQ(actor->userData, nullptr) << what;
        EXPECT_GE(actor->getNbShapes(), 1u) << what;
        if (isStatic) {
            EXPECT_EQ(actor->getType(), phys::ActorType::RigidStatic) << what;
            return;
        }
        ASSERT_EQ(actor->getType(), phys::ActorType::RigidDynamic) << what;
        EXPECT_EQ(actor->asRigidDynamic()->isKinematic(), isKinematic) << what;
        EXPECT_FLOAT_EQ(actor->asRigidDynamic()->getMass(), mass) << what;
    }
    phys::Transform pose{phys::Vec3(1, 2, 3)};
};

// A scene node standing for a physics object or its mesh node, with given bounds.
struct BoundsNode : irr::scene::ISceneNode {
    BoundsNode(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* m, const irr::core::aabbox3df& b)
        : ISceneNode(parent, m), box(b) {}
    void render() override {}
    const irr::core::aabbox3df& getBoundingBox() const override { return box; }
    irr::core::aabbox3df box;
};

TEST_F(PhysicsBuildersTest, EveryBoundMakesStaticKinematicAndDynamicBodies) {
    struct State {
        bool isStatic, isKinematic;
        const char* name;
    };
    auto* object = new BoundsNode(nullptr, sceneManager(), irr::core::aabbox3df(-1, -1, -1, 1, 1, 1));
    for (const State& state : {State{true, false, "static"}, State{false, true, "kinematic"}, State{false, false, "dynamic"}}) {
        SCOPED_TRACE(state.name);
        const float mass = 3.0f;
        expectBody(manager->createSphereActor(pose, 0.5f, mass, 0.5f, 0.1f, state.isStatic, state.isKinematic),
                   state.isStatic, state.isKinematic, mass, "sphere");
        expectBody(manager->createBoxActor(object, nullptr, vector3df(1, 2, 3), pose, mass, 0.1f, 0.5f,
                                           state.isStatic, state.isKinematic),
                   state.isStatic, state.isKinematic, mass, "box");
        expectBody(manager->createCapsuleActor(pose, 0.5f, 1.0f, mass, 0.5f, 0.1f, state.isStatic, state.isKinematic),
                   state.isStatic, state.isKinematic, mass, "capsule");
        for (Layout layout : {Standard, TwoCoords, Tangents}) {
            irr::scene::SMesh* mesh = meshOf({bufferOf(layout, boxPoints(vector3df(1, 1, 1)))});
            expectBody(manager->createConvexActor(mesh, pose, vector3df(1, 1, 1), mass, 0.5f, 0.1f, state.isStatic,
                                                  state.isKinematic),
                       state.isStatic, state.isKinematic, mass, "convex");
            mesh->drop();
        }
    }
    object->drop();
}

TEST_F(PhysicsBuildersTest, TriangleMeshesMakeStaticBodiesOfEveryLayout) {
    for (Layout layout : {Standard, TwoCoords, Tangents}) {
        irr::scene::SMesh* mesh = meshOf({bufferOf(layout, boxPoints(vector3df(1, 1, 1))),
                                          bufferOf(layout, boxPoints(vector3df(2, 2, 2)))});
        phys::RigidActor* actor = manager->createTriangleMeshActor(mesh, pose, vector3df(1, 1, 1), 1.0f, 0.5f, 0.1f, true);
        expectBody(actor, true, false, 1.0f, "triangle mesh");
        EXPECT_EQ(actor->getNbShapes(), 2u) << "one shape per buffer";
        phys::TriangleMeshGeometry geometry;
        ASSERT_TRUE(firstShape(actor)->getTriangleMeshGeometry(geometry));
        EXPECT_EQ(geometry.triangleMesh->getNbTriangles(), 12u);
        mesh->drop();
    }
    // A dynamic body cannot carry a triangle mesh: the library refuses the shapes, and the
    // builder gives no body.
    irr::scene::SMesh* mesh = meshOf({bufferOf(Standard, boxPoints(vector3df(1, 1, 1)))});
    testing::internal::CaptureStdout();
    EXPECT_EQ(manager->createTriangleMeshActor(mesh, pose, vector3df(1, 1, 1), 1.0f, 0.5f, 0.1f, false), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("ERROR: [Physx]: "), std::string::npos);
    mesh->drop();
}

TEST_F(PhysicsBuildersTest, TheVertexScaleIsCookedIntoTheHullWhateverTheLayout) {
    std::vector<phys::Bounds3> bounds;
    for (Layout layout : {Standard, TwoCoords, Tangents}) {
        irr::scene::IMeshBuffer* buffer = bufferOf(layout, boxPoints(vector3df(1, 1, 1)));
        phys::ConvexMesh* hull = cookConvexMesh(manager, buffer, vector3df(2, 1, 1));
        ASSERT_NE(hull, nullptr) << layout;
        EXPECT_EQ(hull->getNbVertices(), 8u) << "the inner point is no hull vertex";
        bounds.push_back(hull->getLocalBounds());
        hull->release();
        buffer->drop();
    }
    for (const phys::Bounds3& b : bounds) {
        EXPECT_NEAR(b.maximum.x - b.minimum.x, 4.0f, 1e-4f);
        EXPECT_NEAR(b.maximum.y - b.minimum.y, 2.0f, 1e-4f);
        EXPECT_EQ(b.minimum, bounds[0].minimum);
        EXPECT_EQ(b.maximum, bounds[0].maximum);
    }
}

TEST_F(PhysicsBuildersTest, IndexCountIsReadInWholeTriangles) {
    auto* buffer = new irr::scene::SMeshBuffer();
    for (const vector3df& p : boxPoints(vector3df(1, 1, 1))) {
        irr::video::S3DVertex vertex;
        vertex.Pos = p;
        buffer->Vertices.push_back(vertex);
    }
    for (irr::u16 index : {0, 1, 3, 0, 3, 2, 4})
        buffer->Indices.push_back(index);
    phys::TriangleMesh* mesh = cookTriangleMesh(manager, buffer, vector3df(1, 1, 1));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->getNbTriangles(), 2u);
    mesh->release();
    buffer->drop();
    EXPECT_EQ(cookTriangleMesh(manager, nullptr, vector3df(1, 1, 1)), nullptr);
}

TEST_F(PhysicsBuildersTest, AMeshThatFailsToCookGivesNoBodyAndItsMessages) {
    // A flat buffer has no hull and, with every triangle degenerate, no triangle mesh.
    const std::vector<vector3df> flat = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
    irr::scene::SMesh* mesh = meshOf({bufferOf(Standard, flat)});
    testing::internal::CaptureStdout();
    EXPECT_EQ(manager->createConvexActor(mesh, pose, vector3df(1, 1, 1), 1.0f, 0.5f, 0.1f, false, false), nullptr);
    std::string out = testing::internal::GetCapturedStdout();
    const size_t cooking = out.find("Failed convex mesh cooking\n");
    const size_t creating = out.find("Failed to create convex mesh\n");
    ASSERT_NE(cooking, std::string::npos) << out;
    ASSERT_NE(creating, std::string::npos) << out;
    EXPECT_LT(cooking, creating);

    testing::internal::CaptureStdout();
    EXPECT_EQ(manager->createTriangleMeshActor(mesh, pose, vector3df(1, 1, 1), 1.0f, 0.5f, 0.1f, true), nullptr);
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Failed triangle mesh cooking\nFailed to create triangle mesh\n"), std::string::npos) << out;
    EXPECT_EQ(manager->getScene()->getNbActors(), 0u) << "nothing is left in the scene";
    mesh->drop();

    // A mesh with a good and a bad buffer keeps the good one.
    irr::scene::SMesh* mixed = meshOf({bufferOf(Standard, flat), bufferOf(Tangents, boxPoints(vector3df(1, 1, 1)))});
    testing::internal::CaptureStdout();
    phys::RigidActor* actor = manager->createConvexActor(mixed, pose, vector3df(1, 1, 1), 1.0f, 0.5f, 0.1f, false, false);
    testing::internal::GetCapturedStdout();
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->getNbShapes(), 1u);
    mixed->drop();

    // A mesh without buffers gives a body without shapes.
    irr::scene::SMesh* empty = meshOf({});
    actor = manager->createConvexActor(empty, pose, vector3df(1, 1, 1), 1.0f, 0.5f, 0.1f, false, false);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->getNbShapes(), 0u);
    empty->drop();
}

// A build draws a loading frame before each buffer and stops at a quit, keeping nothing.
TEST_F(PhysicsBuildersTest, ABuildDrawsALoadingFrameABufferAndStopsAtAQuit) {
    irr::scene::SMesh* mesh = meshOf({bufferOf(Standard, boxPoints(vector3df(1, 1, 1))),
                                      bufferOf(Standard, boxPoints(vector3df(2, 2, 2))),
                                      bufferOf(Standard, boxPoints(vector3df(3, 3, 3)))});
    int frames = 0;
    levelHooks().screens.renderLoadingFrame = [&frames] { QuitRequested = ++frames == 2; };
    EXPECT_EQ(manager->createConvexActor(mesh, pose, vector3df(1, 1, 1), 1.0f, 0.5f, 0.1f, false, false), nullptr);
    EXPECT_EQ(frames, 2) << "stopped before the second buffer";
    EXPECT_EQ(manager->getShapeCache().size(), 0u);
    frames = 2;
    phys::RigidActor* actor = manager->createConvexActor(mesh, pose, vector3df(1, 1, 1), 1.0f, 0.5f, 0.1f, false, false);
    EXPECT_EQ(frames, 5);
    EXPECT_EQ(actor ? actor->getNbShapes() : 0u, 3u);
    levelHooks().screens.renderLoadingFrame = nullptr;
    QuitRequested = false;
    mesh->drop();
}

TEST_F(PhysicsBuildersTest, BuildersAnswerNullWithoutAWorldAMeshOrAnObject) {
    EXPECT_EQ(manager->createConvexActor(nullptr, pose, vector3df(1, 1, 1), 1, 0.5f, 0.1f, true, false), nullptr);
    EXPECT_EQ(manager->createTriangleMeshActor(nullptr, pose, vector3df(1, 1, 1), 1, 0.5f, 0.1f, true), nullptr);
    EXPECT_EQ(manager->createBoxActor(nullptr, nullptr, vector3df(), pose, 1, 0.1f, 0.5f, true, false), nullptr);
    PhysicsManager noWorld;
    irr::scene::IMeshBuffer* buffer = bufferOf(Standard, boxPoints(vector3df(1, 1, 1)));
    testing::internal::CaptureStdout();
    EXPECT_EQ(noWorld.createSphereActor(pose, 1, 1, 0.5f, 0.1f, true, false), nullptr);
    EXPECT_EQ(noWorld.createCapsuleActor(pose, 1, 1, 1, 0.5f, 0.1f, true, false), nullptr);
    EXPECT_EQ(noWorld.createStandingBoxActor(vector3df(), vector3df(1, 1, 1), 1), nullptr);
    EXPECT_EQ(noWorld.createMaterial(0.5f, 0.5f, 0.1f), nullptr);
    EXPECT_EQ(cookConvexMesh(&noWorld, buffer, vector3df(1, 1, 1)), nullptr);
    EXPECT_EQ(cookTriangleMesh(&noWorld, buffer, vector3df(1, 1, 1)), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "nothing is printed without a world";
    buffer->drop();
}

TEST_F(PhysicsBuildersTest, BoxHalfExtentsFollowTheExtentsAndScales) {
    irr::scene::ISceneNode* root = sceneManager()->getRootSceneNode();
    auto* object = new BoundsNode(root, sceneManager(), irr::core::aabbox3df(-1, -2, -3, 1, 2, 3));
    auto* meshNode = new BoundsNode(object, sceneManager(), irr::core::aabbox3df(-1, -2, -3, 1, 2, 3));
    object->updateAbsolutePosition();
    EXPECT_EQ(boxHalfExtents(object, meshNode, vector3df(0, 0, 0)), vector3df(1, 2, 3));
    object->setScale(vector3df(2, 2, 2));
    object->updateAbsolutePosition();
    EXPECT_EQ(boxHalfExtents(object, meshNode, vector3df(1, 1, 1)), vector3df(0.5f, 0.5f, 0.5f))
        << "explicit extents ignore the scale when there is a mesh node";
    EXPECT_EQ(boxHalfExtents(object, nullptr, vector3df(1, 1, 1)), vector3df(1, 1, 1));
    EXPECT_EQ(boxHalfExtents(object, meshNode, vector3df(0, 0, 0)), vector3df(2, 4, 6));
    meshNode->setScale(vector3df(-1, 1, 1));
    EXPECT_EQ(boxHalfExtents(object, meshNode, vector3df(0, 0, 0)), vector3df(2, 4, 6)) << "negative scale";
    object->setScale(vector3df(1, 1, 1));
    object->updateAbsolutePosition();
    EXPECT_EQ(boxHalfExtents(object, nullptr, vector3df(0, 0, 0)), vector3df(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(boxHalfExtents(object, nullptr, vector3df(5e-7f, 0, 0)), vector3df(0.5f, 0.5f, 0.5f));

    phys::RigidActor* actor = manager->createBoxActor(object, meshNode, vector3df(0, 0, 0), pose, 1, 0.1f, 0.5f, false, false);
    ASSERT_NE(actor, nullptr);
    phys::BoxGeometry box;
    ASSERT_TRUE(firstShape(actor)->getBoxGeometry(box));
    EXPECT_EQ(box.halfExtents, phys::Vec3(1, 2, 3));
    object->remove();
    object->drop();
    meshNode->drop();
}

TEST_F(PhysicsBuildersTest, CapsulesStandardBoxesAndSpheresHaveTheirGeometry) {
    // The body creation passes Height x 0.5 and the builder halves it again.
    phys::RigidActor* capsule = manager->createCapsuleActor(pose, 0.5f, 2.0f * 0.5f, 1, 0.5f, 0.1f, false, false);
    phys::CapsuleGeometry capsuleGeometry;
    ASSERT_TRUE(firstShape(capsule)->getCapsuleGeometry(capsuleGeometry));
    EXPECT_FLOAT_EQ(capsuleGeometry.radius, 0.5f);
    EXPECT_FLOAT_EQ(capsuleGeometry.halfHeight, 0.5f);
    EXPECT_EQ(firstShape(capsule)->getLocalPose().p, phys::Vec3());

    phys::RigidActor* sphere = manager->createSphereActor(pose, 0.75f, 1, 0.5f, 0.1f, false, false);
    phys::SphereGeometry sphereGeometry;
    ASSERT_TRUE(firstShape(sphere)->getSphereGeometry(sphereGeometry));
    EXPECT_FLOAT_EQ(sphereGeometry.radius, 0.75f);
    EXPECT_EQ(sphere->getGlobalPose().p, pose.p);

    // The door's box stands on its origin, of standard material 0, with mass from density.
    phys::RigidDynamic* door = manager->createStandingBoxActor(vector3df(4, 0, 0), vector3df(0.5f, 1.0f, 0.1f), 10.0f);
    ASSERT_NE(door, nullptr);
    EXPECT_EQ(door->getScene(), manager->getScene());
    EXPECT_EQ(door->getGlobalPose().p, phys::Vec3(4, 0, 0));
    EXPECT_EQ(firstShape(door)->getLocalPose().p, phys::Vec3(0, 1.0f, 0));
    phys::Material* material = nullptr;
    firstShape(door)->getMaterials(&material, 1);
    EXPECT_EQ(material, manager->getMaterial(0));
    EXPECT_NEAR(door->getMass(), 10.0f * 1.0f * 2.0f * 0.2f, 1e-3f);
    EXPECT_FALSE(door->isKinematic());
}

TEST_F(PhysicsBuildersTest, MaterialsAreSharedWithinTheirTolerance) {
    const size_t start = manager->getMaterialCache().size();
    EXPECT_EQ(manager->createMaterial(0.5f, 0.5f, 0.1f), manager->getMaterial(0));
    EXPECT_EQ(manager->createMaterial(0.5000005f, 0.5000005f, 0.1f), manager->getMaterial(0));
    phys::Material* other = manager->createMaterial(0.5001f, 0.5001f, 0.1f);
    EXPECT_NE(other, manager->getMaterial(0));
    EXPECT_EQ(manager->getMaterialCache().size(), start + 1);
    // Two builders asking for friction 0.5 and restitution 0.1 share standard material 0.
    phys::Material* used[2] = {};
    firstShape(manager->createSphereActor(pose, 1, 1, 0.5f, 0.1f, true, false))->getMaterials(&used[0], 1);
    firstShape(manager->createCapsuleActor(pose, 1, 1, 1, 0.5f, 0.1f, true, false))->getMaterials(&used[1], 1);
    EXPECT_EQ(used[0], manager->getMaterial(0));
    EXPECT_EQ(used[1], manager->getMaterial(0));
    // The cache survives scene resets.
    manager->resetScene();
    EXPECT_EQ(manager->createMaterial(0.5001f, 0.5001f, 0.1f), other);
}

} // namespace
