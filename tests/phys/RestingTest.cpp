#include "PhysTestScene.h"

#include <gtest/gtest.h>

#include <cmath>

namespace phys::test {
namespace {

// Steps until the body sleeps or the time runs out; returns whether it sleeps.
bool stepUntilAsleep(PhysScene& s, RigidDynamic& body, float seconds) {
    for (int i = 0; i < static_cast<int>(seconds * StepsPerSecond) && !body.isSleeping(); ++i)
        s.step();
    return body.isSleeping();
}

TEST(RestingBodies, BoxDroppedOnTheGroundRestsOnItsFaceAndSleeps) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 3, 0), Vec3(0.5f), 10.0f);
    s.step(2 * StepsPerSecond);
    EXPECT_NEAR(box->getGlobalPose().p.y, 0.5f, 0.02f);
    EXPECT_TRUE(stepUntilAsleep(s, *box, 2.0f)) << "not asleep within 4 s";
}

TEST(RestingBodies, CookedConvexCubeRestsAtTheHeightOfItsFaces) {
    PhysScene s;
    ConvexMesh* mesh = s.cookConvex(boxCorners(Vec3(0.5f)));
    ASSERT_NE(mesh, nullptr);
    RigidDynamic* body = s.physics->createRigidDynamic(Transform(Vec3(0, 3, 0)));
    body->createShape(ConvexMeshGeometry(mesh), *s.material);
    mesh->release();
    setMassAndUpdateInertia(*body, 10.0f);
    s.scene->addActor(*body);
    s.step(2 * StepsPerSecond);
    EXPECT_NEAR(body->getGlobalPose().p.y, 0.5f, 0.02f);
}

TEST(RestingBodies, SphereRestsOnATriangleMeshGround) {
    SceneOptions options;
    options.ground = false;
    PhysScene s(options);
    // A 4 x 4 grid of quads, two triangles each.
    std::vector<Vec3> vertices;
    for (int z = 0; z <= 4; ++z)
        for (int x = 0; x <= 4; ++x)
            vertices.emplace_back(-10.0f + 5.0f * x, 0.0f, -10.0f + 5.0f * z);
    std::vector<uint32_t> indices;
    for (uint32_t z = 0; z < 4; ++z) {
        for (uint32_t x = 0; x < 4; ++x) {
            const uint32_t i = z * 5 + x;
            indices.insert(indices.end(), {i, i + 5, i + 1, i + 1, i + 5, i + 6});
        }
    }
    s.addStaticMesh(vertices, {indices});
    RigidDynamic* ball = s.addSphere(Vec3(0.3f, 3, 0.2f), 0.5f, 10.0f);
    s.step(2 * StepsPerSecond);
    EXPECT_NEAR(ball->getGlobalPose().p.y, 0.5f, 0.02f);
}

TEST(RestingBodies, CapsuleTurnedUprightRestsOnItsEnd) {
    PhysScene s;
    const float radius = 0.3f, halfHeight = 0.5f;
    RigidDynamic* body = s.physics->createRigidDynamic(Transform(Vec3(0, 2, 0)));
    // The capsule lies along local X; a quarter turn about Z stands it along Y.
    body->createShape(CapsuleGeometry(radius, halfHeight), *s.material,
                      Transform(Quat::fromAxisAngle(Vec3(0, 0, 1), 1.5707963f)));
    setMassAndUpdateInertia(*body, 10.0f);
    s.scene->addActor(*body);
    s.step(2 * StepsPerSecond);
    EXPECT_NEAR(body->getGlobalPose().p.y, halfHeight + radius, 0.02f);
    const Vec3 axis = body->getGlobalPose().rotate(Vec3(0, 1, 0));
    EXPECT_GT(std::fabs(axis.y), 0.999f);
}

} // namespace
} // namespace phys::test
