#include "PhysTestScene.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace phys::test
