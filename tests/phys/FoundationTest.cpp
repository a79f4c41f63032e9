#include "PhysTestScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace phys::test {
namespace {

TEST(Foundation, ErrorsFromOtherThreadsWaitForTheMainThread) {
    RecordingErrors errors;
    Foundation* foundation = Foundation::create(nullptr, &errors);
    PHYS_REPORT(*foundation, ErrorCode::InvalidParameter, "on the main thread %d", 1);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(static_cast<int>(errors.errors[0].first), 4);
    EXPECT_EQ(errors.errors[0].second, "on the main thread 1");

    std::thread worker([&] { PHYS_REPORT(*foundation, ErrorCode::InternalError, "from a worker"); });
    worker.join();
    EXPECT_EQ(errors.errors.size(), 1u);
    foundation->flushDeferredErrors();
    ASSERT_EQ(errors.errors.size(), 2u);
    EXPECT_EQ(static_cast<int>(errors.errors[1].first), 32);
    foundation->release();
}

TEST(Foundation, InvalidSetUpFailsWithAnError) {
    RecordingErrors errors;
    Foundation* foundation = Foundation::create(nullptr, &errors);
    Tolerances bad;
    bad.length = 0.0f;
    EXPECT_EQ(Physics::create(*foundation, bad), nullptr);
    Tolerances weightless;
    weightless.speed = 0.0f; // a world without gravity is a valid world
    Physics* physics = Physics::create(*foundation, weightless);
    ASSERT_NE(physics, nullptr);
    EXPECT_EQ(errors.count(ErrorCode::InvalidParameter), 1);

    SceneDesc noDispatcher(weightless);
    noDispatcher.filterShader = reportingShader;
    EXPECT_EQ(physics->createScene(noDispatcher), nullptr);
    EXPECT_EQ(physics->createMaterial(-1.0f, 0.5f, 0.1f), nullptr);
    EXPECT_EQ(physics->createRigidDynamic(Transform(Vec3(), Quat(0, 0, 0, 2))), nullptr);
    EXPECT_EQ(errors.count(ErrorCode::InvalidParameter), 4);

    Material* m = physics->createMaterial(8000.0f, 8000.0f, 0.0f);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(physics->getNbMaterials(), 1u) << "a refused material is not kept";
    EXPECT_EQ(m->getStaticFriction(), 8000.0f);
    EXPECT_EQ(m->getDynamicFriction(), 8000.0f);
    EXPECT_EQ(m->getRestitution(), 0.0f);
    EXPECT_TRUE(initExtensions(*physics));
    closeExtensions();
    // Whatever is left goes with the physics object.
    RigidDynamic* orphan = physics->createRigidDynamic(Transform());
    orphan->createShape(BoxGeometry(1, 1, 1), *m);
    physics->release();
    foundation->release();
}

TEST(Foundation, AMaterialTakesFrictionsNotNegativeAndARestitutionWithinZeroAndOne) {
    PhysScene s;
    struct Row {
        float staticFriction, dynamicFriction, restitution;
        bool made;
    };
    const Row rows[] = {
        {0.0f, 0.0f, 0.0f, true},       {0.0f, 0.0f, 1.0f, true},      {2.0f, 3.0f, 0.5f, true},
        {-0.01f, 0.0f, 0.0f, false},    {0.0f, -0.01f, 0.0f, false},   {0.0f, 0.0f, -0.01f, false},
        {0.0f, 0.0f, 1.01f, false},     {INFINITY, 0.0f, 0.0f, false}, {0.0f, NAN, 0.0f, false},
        {0.0f, 0.0f, NAN, false},
    };
    uint32_t materials = s.physics->getNbMaterials();
    int refused = 0;
    for (const Row& row : rows) {
        Material* m = s.physics->createMaterial(row.staticFriction, row.dynamicFriction, row.restitution);
        EXPECT_EQ(m != nullptr, row.made) << row.staticFriction << " " << row.dynamicFriction << " " << row.restitution;
        materials += row.made ? 1 : 0;
        refused += row.made ? 0 : 1;
        EXPECT_EQ(s.physics->getNbMaterials(), materials);
        if (m) {
            EXPECT_EQ(m->getStaticFriction(), row.staticFriction);
            EXPECT_EQ(m->getDynamicFriction(), row.dynamicFriction);
            EXPECT_EQ(m->getRestitution(), row.restitution);
        }
    }
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), refused);
}

TEST(Bounds, ContainAndMeetOnTheirFacesButNotPastThem) {
    const Bounds3 box(Vec3(-1, -2, -3), Vec3(1, 2, 3));
    const float past = 1e-3f;
    for (int axis = 0; axis < 3; ++axis) {
        for (float side : {-1.0f, 1.0f}) {
            Vec3 onFace;
            float& c = axis == 0 ? onFace.x : axis == 1 ? onFace.y : onFace.z;
            c = side * static_cast<float>(axis + 1);
            EXPECT_TRUE(box.contains(onFace)) << axis << " " << side;
            Vec3 beyond = onFace;
            (axis == 0 ? beyond.x : axis == 1 ? beyond.y : beyond.z) += side * past;
            EXPECT_FALSE(box.contains(beyond)) << axis << " " << side;
            // A unit box that touches the face meets it; moved on a little, it does not.
            Vec3 outward = onFace;
            (axis == 0 ? outward.x : axis == 1 ? outward.y : outward.z) += side * 0.5f;
            const Bounds3 touching(outward - Vec3(0.5f, 0.5f, 0.5f), outward + Vec3(0.5f, 0.5f, 0.5f));
            EXPECT_TRUE(box.intersects(touching)) << axis << " " << side;
            EXPECT_TRUE(touching.intersects(box)) << axis << " " << side;
            Vec3 away = outward;
            (axis == 0 ? away.x : axis == 1 ? away.y : away.z) += side * past;
            const Bounds3 apart(away - Vec3(0.5f, 0.5f, 0.5f), away + Vec3(0.5f, 0.5f, 0.5f));
            EXPECT_FALSE(box.intersects(apart)) << axis << " " << side;
            EXPECT_FALSE(apart.intersects(box)) << axis << " " << side;
        }
    }
    EXPECT_EQ(box.getCenter(), Vec3(0, 0, 0));
    EXPECT_EQ(box.getExtents(), Vec3(1, 2, 3));
    EXPECT_EQ(box.getDimensions(), Vec3(2, 4, 6));
}

TEST(Actors, TypesShapesAndPosesReadBackAsGiven) {
    PhysScene s;
    const Transform pose(Vec3(1, 2, 3), Quat(0, 0, 0.7071068f, 0.7071068f));
    RigidDynamic* body = s.physics->createRigidDynamic(pose);
    EXPECT_EQ(body->getType(), ActorType::RigidDynamic);
    EXPECT_TRUE(body->isRigidActor());
    EXPECT_EQ(s.ground->getType(), ActorType::RigidStatic);
    EXPECT_EQ(s.ground->asRigidDynamic(), nullptr);
    EXPECT_EQ(body->userData, nullptr);
    Shape* a = body->createShape(BoxGeometry(1, 2, 3), *s.material);
    Shape* b = body->createShape(CapsuleGeometry(0.5f, 1.0f), *s.material, Transform(Vec3(0, 4, 0)));
    EXPECT_EQ(body->createShape(SphereGeometry(-1.0f), *s.material), nullptr);
    Shape* list[4] = {};
    ASSERT_EQ(body->getShapes(list, 4), 2u);
    EXPECT_EQ(list[0], a);
    EXPECT_EQ(list[1], b);
    EXPECT_EQ(body->getShapes(list, 4, 1), 1u);
    EXPECT_EQ(list[0], b);
    BoxGeometry box;
    EXPECT_TRUE(a->getBoxGeometry(box));
    EXPECT_EQ(box.halfExtents, Vec3(1, 2, 3));
    EXPECT_FALSE(b->getBoxGeometry(box));
    EXPECT_EQ(b->getGeometryType(), GeometryType::Capsule);
    EXPECT_EQ(a->getFlags(), static_cast<uint32_t>(ShapeSimulation | ShapeSceneQuery));
    EXPECT_EQ(a->getActor(), body);

    // Bounds of the shapes at the pose, without margins: box turned a quarter about Z.
    const Bounds3 bounds = a->getWorldBounds();
    EXPECT_NEAR(bounds.minimum.x, 1 - 2, 1e-5f);
    EXPECT_NEAR(bounds.maximum.y, 2 + 1, 1e-5f);
    EXPECT_NEAR(bounds.maximum.z, 3 + 3, 1e-5f);
    body->release();
}

void expectBounds(const Bounds3& b, const Vec3& mn, const Vec3& mx, const char* what) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR((&b.minimum.x)[i], (&mn.x)[i], 1e-4f) << what << " minimum, axis " << i;
        EXPECT_NEAR((&b.maximum.x)[i], (&mx.x)[i], 1e-4f) << what << " maximum, axis " << i;
    }
}

TEST(Actors, WorldBoundsOfEveryShapeKindFollowTheActorAndShapePoses) {
    PhysScene s;
    // A quarter turn about Z: local X points along world Y, local Y along world -X. Every
    // shape sits half a unit along its actor's X, so its centre is at (1, 2.5, 3).
    const Transform pose(Vec3(1, 2, 3), Quat(0, 0, 0.7071068f, 0.7071068f));
    const Transform local(Vec3(0.5f, 0, 0));
    const Vec3 centre(1, 2.5f, 3);
    RigidDynamic* body = s.physics->createRigidDynamic(pose);
    Shape* sphere = body->createShape(SphereGeometry(0.5f), *s.material, local);
    Shape* capsule = body->createShape(CapsuleGeometry(0.25f, 1.0f), *s.material, local);
    ConvexMesh* hull = s.cookConvex(boxCorners(Vec3(0.3f, 0.2f, 0.1f)));
    ASSERT_NE(hull, nullptr);
    Shape* convex = body->createShape(ConvexMeshGeometry(hull), *s.material, local);
    hull->release();
    RigidStatic* floor = s.physics->createRigidStatic(pose);
    TriangleMesh* mesh = s.cookMesh({Vec3(0, 0, 0), Vec3(2, 0, 0), Vec3(0, 0, 1)}, {0, 1, 2});
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->getNbVertices(), 3u);
    EXPECT_EQ(mesh->getVertices()[1], Vec3(2, 0, 0));
    EXPECT_EQ(mesh->getTriangles()[2], 2u);
    expectBounds(mesh->getLocalBounds(), Vec3(0, 0, 0), Vec3(2, 0, 1), "mesh in its own frame");
    Shape* triangles = floor->createShape(TriangleMeshGeometry(mesh), *s.material, local);
    mesh->release();

    const struct {
        const char* what;
        Bounds3 bounds;
        Vec3 minimum, maximum;
    } cases[] = {
        {"sphere", sphere->getWorldBounds(), centre - Vec3(0.5f), centre + Vec3(0.5f)},
        // The capsule's axis is its local X: upright here.
        {"capsule", capsule->getWorldBounds(), centre - Vec3(0.25f, 1.25f, 0.25f), centre + Vec3(0.25f, 1.25f, 0.25f)},
        {"convex", convex->getWorldBounds(), centre - Vec3(0.2f, 0.3f, 0.1f), centre + Vec3(0.2f, 0.3f, 0.1f)},
        {"triangle mesh", triangles->getWorldBounds(), centre, centre + Vec3(0, 2, 1)},
        {"actor", body->getWorldBounds(), centre - Vec3(0.5f, 1.25f, 0.5f), centre + Vec3(0.5f, 1.25f, 0.5f)},
    };
    for (const auto& c : cases)
        expectBounds(c.bounds, c.minimum, c.maximum, c.what);
    body->release();
    floor->release();
}

TEST(Actors, WorldBoundsOfABoxTurnedAboutNoAxisHoldItsCornersExactly) {
    PhysScene s;
    // A turn about no particular axis, so that every local axis leans into every world axis.
    const Quat turn = Quat::fromAxisAngle(Vec3(1, 2, 3).getNormalized(), 0.9f);
    const Transform pose(Vec3(1, 2, 3), turn);
    const Transform local(Vec3(0.5f, -0.25f, 0.75f), Quat::fromAxisAngle(Vec3(0, 1, 0), 0.4f));
    const Vec3 half(0.3f, 0.7f, 1.1f);
    RigidDynamic* body = s.physics->createRigidDynamic(pose);
    Shape* box = body->createShape(BoxGeometry(half), *s.material, local);
    Bounds3 corners;
    for (const Vec3& corner : boxCorners(half))
        corners.include((pose * local).transform(corner));
    expectBounds(box->getWorldBounds(), corners.minimum, corners.maximum, "box");
    body->release();
}

TEST(Actors, EachKindOfGeometryIsHeldAndHandedBackAsItself) {
    PhysScene s;
    ConvexMesh* hull = s.cookConvex(boxCorners(Vec3(0.5f)));
    TriangleMesh* mesh = s.cookMesh({Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 0, 1)}, {0, 1, 2});
    ASSERT_NE(hull, nullptr);
    ASSERT_NE(mesh, nullptr);
    const BoxGeometry box(1, 2, 3);
    const SphereGeometry sphere(0.75f);
    const CapsuleGeometry capsule(0.25f, 2.0f);
    const ConvexMeshGeometry convex(hull);
    const TriangleMeshGeometry triangles(mesh);
    const Geometry* all[] = {&box, &sphere, &capsule, &convex, &triangles};
    for (const Geometry* g : all) {
        const GeometryHolder holder(*g);
        EXPECT_EQ(holder.getType(), g->getType());
        EXPECT_EQ(holder.any().getType(), g->getType());
        EXPECT_TRUE(holder.isValid()) << static_cast<int>(g->getType());
    }
    EXPECT_EQ(static_cast<const SphereGeometry&>(GeometryHolder(sphere).any()).radius, 0.75f);
    EXPECT_EQ(static_cast<const CapsuleGeometry&>(GeometryHolder(capsule).any()).halfHeight, 2.0f);
    EXPECT_EQ(static_cast<const ConvexMeshGeometry&>(GeometryHolder(convex).any()).convexMesh, hull);
    EXPECT_EQ(static_cast<const TriangleMeshGeometry&>(GeometryHolder(triangles).any()).triangleMesh, mesh);
    EXPECT_EQ(static_cast<const BoxGeometry&>(GeometryHolder(box).any()).halfExtents, Vec3(1, 2, 3));
    // Meshes missing: not valid.
    EXPECT_FALSE(GeometryHolder(ConvexMeshGeometry()).isValid());
    EXPECT_FALSE(GeometryHolder(TriangleMeshGeometry()).isValid());
    EXPECT_FALSE(GeometryHolder().isValid()) << "holding nothing";

    // A shape hands its geometry back only as its own kind.
    RigidDynamic* body = s.physics->createRigidDynamic(Transform());
    Shape* made = body->createShape(convex, *s.material);
    ConvexMeshGeometry convexOut;
    SphereGeometry sphereOut;
    EXPECT_TRUE(made->getConvexMeshGeometry(convexOut));
    EXPECT_EQ(convexOut.convexMesh, hull);
    EXPECT_FALSE(made->getSphereGeometry(sphereOut));
    body->release();
    hull->release();
    mesh->release();
}

TEST(Actors, ShapesAreRefusedWithoutAValidPoseAndMaterialOrOnAReleasedActor) {
    PhysScene s(SceneOptions{.threads = 1});
    RigidDynamic* body = s.addBox(Vec3(0, 3, 0), Vec3(0.5f), 1.0f);
    Material* none[1] = {nullptr};
    Material* some[2] = {s.material, nullptr};
    EXPECT_EQ(body->createShape(SphereGeometry(1), *s.material, Transform(Vec3(), Quat(0, 0, 0, 2))), nullptr);
    EXPECT_EQ(body->createShape(SphereGeometry(1), nullptr, 1), nullptr);
    EXPECT_EQ(body->createShape(SphereGeometry(1), &s.material, 0), nullptr);
    EXPECT_EQ(body->createShape(SphereGeometry(1), none, 1), nullptr);
    EXPECT_EQ(body->createShape(SphereGeometry(1), some, 2), nullptr);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 5);
    Shape* two = body->createShape(SphereGeometry(1), some, 1, Transform(Vec3(), Quat(0, 0, 0, 1.0005f)));
    ASSERT_NE(two, nullptr) << "a rotation within the tolerance of unit length is taken";
    EXPECT_EQ(two->getLocalPose().q, Quat()) << "and normalised";
    EXPECT_EQ(body->getNbShapes(), 2u);

    const Actor& constBody = *body;
    EXPECT_EQ(constBody.asRigidActor(), body);
    // Released during a step: the actor stays until the fetch but takes no new shape.
    s.scene->simulate(StepTime);
    body->release();
    EXPECT_EQ(body->createShape(SphereGeometry(1), *s.material), nullptr);
    s.scene->fetchResults(true);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 5);
}

} // namespace
} // namespace phys::test
