#include "PhysTestScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace phys::test {
namespace {

SceneOptions weightless() {
    SceneOptions o;
    o.gravity = Vec3();
    o.ground = false;
    return o;
}

void expectVec(const Vec3& actual, const Vec3& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// --- mass properties ------------------------------------------------------------------

TEST(MassProperties, BoxGetsTheInertiaOfASolidBox) {
    PhysScene s(weightless());
    RigidDynamic* body = s.physics->createRigidDynamic(Transform());
    body->createShape(BoxGeometry(1, 2, 3), *s.material);
    ASSERT_TRUE(setMassAndUpdateInertia(*body, 10.0f));
    EXPECT_FLOAT_EQ(body->getMass(), 10.0f);
    // (m / 12) (b^2 + c^2) for edges a = 2, b = 4, c = 6.
    expectVec(body->getMassSpaceInertiaTensor(), Vec3(10.0f / 12 * 52, 10.0f / 12 * 40, 10.0f / 12 * 20), 1e-3f);
    expectVec(body->getCMassLocalPose().p, Vec3(), 1e-6f);
    body->release();
    // A solid sphere: (2 / 5) m r^2 about every axis.
    RigidDynamic* ball = s.physics->createRigidDynamic(Transform());
    ball->createShape(SphereGeometry(0.5f), *s.material);
    ASSERT_TRUE(setMassAndUpdateInertia(*ball, 10.0f));
    expectVec(ball->getMassSpaceInertiaTensor(), Vec3(0.4f * 10.0f * 0.25f), 1e-4f);
    ball->release();
}

TEST(MassProperties, TwoEqualBoxesPutTheCentreOfMassBetweenThem) {
    PhysScene s(weightless());
    RigidDynamic* body = s.physics->createRigidDynamic(Transform());
    body->createShape(BoxGeometry(0.5f, 0.5f, 0.5f), *s.material, Transform(Vec3(-2, 0, 0)));
    body->createShape(BoxGeometry(0.5f, 0.5f, 0.5f), *s.material, Transform(Vec3(2, 0, 0)));
    ASSERT_TRUE(setMassAndUpdateInertia(*body, 10.0f));
    expectVec(body->getCMassLocalPose().p, Vec3(), 1e-5f);
    // Each half: 5 kg cube of edge 1 (I = 5/6) moved 2 units off the axes y and z.
    const Vec3 inertia = body->getMassSpaceInertiaTensor();
    EXPECT_NEAR(inertia.x, 2 * 5.0f / 6, 1e-3f);
    EXPECT_NEAR(inertia.y, 2 * (5.0f / 6 + 5.0f * 4), 1e-3f);
    EXPECT_NEAR(inertia.z, 2 * (5.0f / 6 + 5.0f * 4), 1e-3f);
}

TEST(MassProperties, DensityGivesMassFromVolumeAndMeshesAddNothing) {
    PhysScene s(weightless());
    RigidDynamic* body = s.physics->createRigidDynamic(Transform());
    body->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    body->createShape(BoxGeometry(1, 1, 1), *s.material);
    TriangleMesh* mesh = s.cookMesh({Vec3(5, 0, 0), Vec3(6, 0, 0), Vec3(5, 0, 1)}, {0, 1, 2});
    ASSERT_NE(body->createShape(TriangleMeshGeometry(mesh), *s.material, Transform(Vec3(10, 0, 0))), nullptr);
    mesh->release();
    ASSERT_TRUE(updateMassAndInertia(*body, 10.0f));
    EXPECT_NEAR(body->getMass(), 80.0f, 1e-3f);
    expectVec(body->getCMassLocalPose().p, Vec3(), 1e-6f);

    // Without any volume: unit inertia times the mass at the actor origin.
    RigidDynamic* empty = s.physics->createRigidDynamic(Transform());
    ASSERT_TRUE(setMassAndUpdateInertia(*empty, 3.0f));
    expectVec(empty->getMassSpaceInertiaTensor(), Vec3(3.0f), 1e-6f);
    EXPECT_FALSE(setMassAndUpdateInertia(*empty, -1.0f));
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 1);
    for (float refused : {0.0f, -2.0f, NAN, INFINITY})
        empty->setMass(refused);
    EXPECT_FLOAT_EQ(empty->getMass(), 3.0f);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 1 + 4);
    empty->setMass(0.001f);
    EXPECT_FLOAT_EQ(empty->getMass(), 0.001f) << "any mass above zero";
}

TEST(MassProperties, AGivenCentreOfMassTakesTheInertiaAboutThatPoint) {
    PhysScene s(weightless());
    RigidDynamic* body = s.physics->createRigidDynamic(Transform());
    body->createShape(BoxGeometry(0.5f, 0.5f, 0.5f), *s.material);
    const Vec3 centre(0, 0.5f, 0);
    ASSERT_TRUE(setMassAndUpdateInertia(*body, 6.0f, &centre));
    expectVec(body->getCMassLocalPose().p, centre, 1e-6f);
    // m / 3 (b^2 + c^2) = 1 about the box's own centre, plus m d^2 = 1.5 across the shift.
    Vec3 inertia = body->getMassSpaceInertiaTensor();
    const Vec3 axisX = body->getCMassLocalPose().rotate(Vec3(1, 0, 0));
    if (std::fabs(axisX.y) > 0.5f) // principal axes may come in another order
        std::swap(inertia.x, inertia.y);
    EXPECT_NEAR(inertia.x, 2.5f, 1e-3f);
    EXPECT_NEAR(inertia.y, 1.0f, 1e-3f);
    EXPECT_NEAR(inertia.z, 2.5f, 1e-3f);

    // A cube's inertia about any point: its own (m a^2 / 6 = 4 here) along the shift, plus
    // m d^2 across it.
    RigidDynamic* cube = s.physics->createRigidDynamic(Transform());
    cube->createShape(BoxGeometry(1, 1, 1), *s.material);
    const Vec3 aside(0.3f, 0.5f, 0.2f);
    ASSERT_TRUE(setMassAndUpdateInertia(*cube, 6.0f, &aside));
    const Vec3 moments = cube->getMassSpaceInertiaTensor();
    float sorted[3] = {moments.x, moments.y, moments.z};
    std::sort(sorted, sorted + 3);
    EXPECT_NEAR(sorted[0], 4.0f, 1e-3f);
    EXPECT_NEAR(sorted[1], 4.0f + 6.0f * 0.38f, 1e-3f);
    EXPECT_NEAR(sorted[2], 4.0f + 6.0f * 0.38f, 1e-3f);
    // The axis of the smallest moment runs along the shift.
    const int least = moments.x <= moments.y && moments.x <= moments.z ? 0 : moments.y <= moments.z ? 1 : 2;
    const Vec3 axis = cube->getCMassLocalPose().rotate(Vec3(least == 0, least == 1, least == 2));
    expectVec(axis.cross(aside.getNormalized()), Vec3(), 1e-3f);

    // Without volume the body sits at the given point; a point not finite is refused.
    RigidDynamic* empty = s.physics->createRigidDynamic(Transform());
    ASSERT_TRUE(setMassAndUpdateInertia(*empty, 2.0f, &centre));
    expectVec(empty->getCMassLocalPose().p, centre, 1e-6f);
    const Vec3 lost(0, NAN, 0);
    EXPECT_FALSE(setMassAndUpdateInertia(*body, 3.0f, &lost));
    EXPECT_FALSE(updateMassAndInertia(*body, 3.0f, &lost));
    EXPECT_FLOAT_EQ(body->getMass(), 6.0f) << "kept";
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 2);
    body->release();
    empty->release();
    cube->release();
}

TEST(MassProperties, ACapsuleWeighsItsCylinderAndItsTwoEnds) {
    PhysScene s(weightless());
    RigidDynamic* body = s.physics->createRigidDynamic(Transform());
    body->createShape(CapsuleGeometry(0.5f, 1.0f), *s.material);
    ASSERT_TRUE(updateMassAndInertia(*body, 2.0f));
    // Cylinder pi r^2 2h and a ball 4/3 pi r^3; about the axis m r^2 / 2 and 2/5 m r^2, across
    // it m (r^2 / 4 + h^2 / 3) and m (2/5 r^2 + h^2 + 3/4 h r).
    const float cylinder = Pi * 0.25f * 2.0f, ends = 4.0f / 3.0f * Pi * 0.125f;
    EXPECT_NEAR(body->getMass(), 2.0f * (cylinder + ends), 1e-4f);
    const float axial = 2.0f * (cylinder * 0.125f + ends * 0.1f);
    const float across = 2.0f * (cylinder * (0.0625f + 1.0f / 3.0f) + ends * (0.1f + 1.0f + 0.375f));
    Vec3 inertia = body->getMassSpaceInertiaTensor();
    float values[3] = {inertia.x, inertia.y, inertia.z};
    std::sort(values, values + 3);
    EXPECT_NEAR(values[0], axial, 1e-3f);
    EXPECT_NEAR(values[1], across, 1e-3f);
    EXPECT_NEAR(values[2], across, 1e-3f);
    expectVec(body->getCMassLocalPose().p, Vec3(), 1e-6f);
    body->release();
}

TEST(MassProperties, ABallWeighsFourThirdsPiRCubedWithTwoFifthsMRSquaredAboutEveryAxis) {
    PhysScene s(weightless());
    RigidDynamic* body = s.physics->createRigidDynamic(Transform());
    body->createShape(SphereGeometry(0.5f), *s.material);
    ASSERT_TRUE(updateMassAndInertia(*body, 2.0f));
    const float mass = 2.0f * 4.0f / 3.0f * Pi * 0.125f;
    EXPECT_NEAR(body->getMass(), mass, 1e-4f);
    expectVec(body->getMassSpaceInertiaTensor(), Vec3(0.4f * mass * 0.25f), 1e-4f);
    expectVec(body->getCMassLocalPose().p, Vec3(), 1e-6f);
    body->release();
}

TEST(MassProperties, ConvexHullMatchesTheAnalyticBox) {
    PhysScene s(weightless());
    ConvexMesh* mesh = s.cookConvex(boxCorners(Vec3(1, 2, 3)));
    ASSERT_NE(mesh, nullptr);
    RigidDynamic* body = s.physics->createRigidDynamic(Transform());
    body->createShape(ConvexMeshGeometry(mesh), *s.material, Transform(Vec3(0, 1, 0)));
    mesh->release();
    ASSERT_TRUE(setMassAndUpdateInertia(*body, 10.0f));
    expectVec(body->getCMassLocalPose().p, Vec3(0, 1, 0), 1e-4f);
    expectVec(body->getMassSpaceInertiaTensor(), Vec3(10.0f / 12 * 52, 10.0f / 12 * 40, 10.0f / 12 * 20), 1e-2f);

    // A hull whose points lie off its own origin weighs at their middle.
    std::vector<Vec3> shifted = boxCorners(Vec3(0.5f));
    for (Vec3& p : shifted)
        p += Vec3(2, 0.5f, -1);
    ConvexMesh* offCentre = s.cookConvex(shifted);
    ASSERT_NE(offCentre, nullptr);
    RigidDynamic* other = s.physics->createRigidDynamic(Transform());
    other->createShape(ConvexMeshGeometry(offCentre), *s.material, Transform(Vec3(0, 1, 0)));
    offCentre->release();
    ASSERT_TRUE(setMassAndUpdateInertia(*other, 6.0f));
    expectVec(other->getCMassLocalPose().p, Vec3(2, 1.5f, -1), 1e-4f);
    expectVec(other->getMassSpaceInertiaTensor(), Vec3(1.0f), 1e-3f);
}

TEST(Forces, ASleepingBodyDropsForcesAddedWithoutWakingIt) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    s.step(5);
    box->putToSleep();
    s.step();
    box->addForce(Vec3(0, 0, 30), ForceMode::VelocityChange, false);
    s.step();
    EXPECT_TRUE(box->isSleeping());
    box->wakeUp();
    s.step(5);
    EXPECT_NEAR(box->getGlobalPose().p.z, 0.0f, 1e-3f) << "the push was not kept for later";
    box->addForce(Vec3(0, 0, 30), ForceMode::VelocityChange);
    s.step();
    EXPECT_GT(box->getLinearVelocity().z, 10.0f) << "an awake body takes it";
}

TEST(MassProperties, OffCentreMassKeepsTheActorPoseAndPushesStraightAtTheCentre) {
    PhysScene s(weightless());
    const Transform start(Vec3(1, 2, 3), Quat::fromAxisAngle(Vec3(0, 1, 0), 0.7f));
    RigidDynamic* body = s.physics->createRigidDynamic(start);
    body->createShape(BoxGeometry(1, 0.5f, 0.5f), *s.material);
    setMassAndUpdateInertia(*body, 4.0f);
    body->setCMassLocalPose(Transform(Vec3(0.6f, 0, 0)));
    s.scene->addActor(*body);
    s.step();
    const Transform after = body->getGlobalPose();
    expectVec(after.p, start.p, 1e-5f);
    EXPECT_NEAR(std::fabs(after.q.x * start.q.x + after.q.y * start.q.y + after.q.z * start.q.z + after.q.w * start.q.w),
                1.0f, 1e-5f);

    const Vec3 centre = start.transform(Vec3(0.6f, 0, 0));
    addForceAtPos(*body, Vec3(0, 0, 40), centre, ForceMode::Impulse);
    s.step();
    expectVec(body->getLinearVelocity(), Vec3(0, 0, 10), 1e-4f);
    expectVec(body->getAngularVelocity(), Vec3(), 1e-4f);

    // The same impulse at the actor origin also turns the body about its centre of mass.
    addForceAtPos(*body, Vec3(0, 0, 40), body->getGlobalPose().p, ForceMode::Impulse);
    s.step();
    EXPECT_GT(body->getAngularVelocity().magnitude(), 0.1f);
}

TEST(MassProperties, AZeroInertiaComponentLocksThatAxisButANegativeOrInfiniteOneIsRefused) {
    struct Row {
        Vec3 inertia;
        bool kept;
    };
    const Row rows[] = {
        {Vec3(0, 2, 2), true},       {Vec3(2, 0, 2), true},         {Vec3(2, 2, 0), true},
        {Vec3(2, 2, -0.01f), false}, {Vec3(2, 2, INFINITY), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.inertia.x << ", " << row.inertia.y << ", " << row.inertia.z);
        PhysScene s(weightless());
        RigidDynamic* body = s.addSphere(Vec3(), 0.5f, 2.0f);
        body->setMassSpaceInertiaTensor(Vec3(4.0f));
        body->setAngularDamping(0.0f);
        body->setMassSpaceInertiaTensor(row.inertia);
        const Vec3 expected = row.kept ? row.inertia : Vec3(4.0f);
        expectVec(body->getMassSpaceInertiaTensor(), expected, 1e-6f);
        EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), row.kept ? 0 : 1);
        // A unit torque impulse about every axis turns only the axes that are not locked.
        body->addTorque(Vec3(1, 1, 1), ForceMode::Impulse);
        s.step();
        const Vec3 turn = body->getAngularVelocity();
        EXPECT_NEAR(turn.x, expected.x == 0 ? 0.0f : 1.0f / expected.x, 1e-4f);
        EXPECT_NEAR(turn.y, expected.y == 0 ? 0.0f : 1.0f / expected.y, 1e-4f);
        EXPECT_NEAR(turn.z, expected.z == 0 ? 0.0f : 1.0f / expected.z, 1e-4f);
    }
}

// --- force modes ----------------------------------------------------------------------

struct ModeCase {
    ForceMode mode;
    float expected; // velocity change from a push of 10 (6 for torques) on 2 kg (inertia 2)
    float expectedTurn;
};

class ForceModes : public ::testing::TestWithParam<ModeCase> {};

std::string modeName(const ::testing::TestParamInfo<ModeCase>& info) {
    static const char* const names[] = {"Force", "Impulse", "VelocityChange", "Acceleration"};
    return names[static_cast<int>(info.param.mode)];
}

TEST_P(ForceModes, OneStepChangesVelocityByTheModesAmount) {
    const ModeCase c = GetParam();
    PhysScene s(weightless());
    RigidDynamic* body = s.physics->createRigidDynamic(Transform());
    body->createShape(SphereGeometry(0.5f), *s.material);
    body->setMass(2.0f);
    body->setMassSpaceInertiaTensor(Vec3(2.0f));
    body->setAngularDamping(0.0f);
    s.scene->addActor(*body);
    body->setActorFlag(ActorFlag::DisableGravity, true);
    s.step();

    // Given in two halves: what is added in one step adds up.
    for (int half = 0; half < 2; ++half) {
        body->addForce(Vec3(5, 0, 0), c.mode);
        body->addTorque(Vec3(0, 3, 0), c.mode);
    }
    s.step();
    EXPECT_NEAR(body->getLinearVelocity().x, c.expected, 1e-4f);
    EXPECT_NEAR(body->getAngularVelocity().y, c.expectedTurn, 1e-4f);
    // Forces act for one step only.
    s.step();
    EXPECT_NEAR(body->getLinearVelocity().x, c.expected, 1e-4f);
    EXPECT_NEAR(body->getAngularVelocity().y, c.expectedTurn, 1e-4f);
}

INSTANTIATE_TEST_SUITE_P(AllModes, ForceModes,
                         ::testing::Values(ModeCase{ForceMode::Force, 10.0f / 2 * StepTime, 6.0f / 2 * StepTime},
                                           ModeCase{ForceMode::Impulse, 5.0f, 3.0f},
                                           ModeCase{ForceMode::VelocityChange, 10.0f, 6.0f},
                                           ModeCase{ForceMode::Acceleration, 10.0f * StepTime, 6.0f * StepTime}),
                         modeName);

TEST(Forces, ForceAtAPointAddsTheTorqueAboutTheCentreOfMass) {
    PhysScene s(weightless());
    RigidDynamic* body = s.physics->createRigidDynamic(Transform(Vec3(0, 5, 0)));
    body->createShape(SphereGeometry(0.5f), *s.material);
    body->setMass(2.0f);
    body->setMassSpaceInertiaTensor(Vec3(4.0f));
    body->setAngularDamping(0.0f);
    s.scene->addActor(*body);
    // (pos - com) x F = (0, 1, 0) x (3, 0, 0) = (0, 0, -3); impulse mode: dw = -3 / 4.
    addForceAtPos(*body, Vec3(3, 0, 0), Vec3(0, 6, 0), ForceMode::Impulse);
    s.step();
    expectVec(body->getLinearVelocity(), Vec3(1.5f, 0, 0), 1e-4f);
    expectVec(body->getAngularVelocity(), Vec3(0, 0, -0.75f), 1e-4f);
}

TEST(Forces, ClearForceDropsWhatWasAddedBeforeTheStep) {
    PhysScene s(weightless());
    RigidDynamic* body = s.addSphere(Vec3(), 0.5f, 2.0f);
    body->addForce(Vec3(10, 0, 0), ForceMode::VelocityChange);
    body->addForce(Vec3(0, 4, 0), ForceMode::Impulse);
    body->clearForce(ForceMode::VelocityChange);
    s.step();
    expectVec(body->getLinearVelocity(), Vec3(0, 2, 0), 1e-4f);
}

TEST(Forces, KinematicActorsRefuseForcesAndVelocities) {
    PhysScene s(weightless());
    RigidDynamic* body = s.addBox(Vec3(), Vec3(0.5f), 2.0f);
    body->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    body->addForce(Vec3(10, 0, 0), ForceMode::Impulse);
    body->addTorque(Vec3(10, 0, 0), ForceMode::Impulse);
    body->setLinearVelocity(Vec3(1, 0, 0));
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidOperation), 3);
    s.step(3);
    expectVec(body->getGlobalPose().p, Vec3(), 1e-6f);
    expectVec(body->getLinearVelocity(), Vec3(), 1e-6f);
}

// --- damping and the angular limit ----------------------------------------------------

TEST(Damping, ValuesAboveOneSlowFasterAndReadBack) {
    PhysScene s(weightless());
    RigidDynamic* strong = s.addSphere(Vec3(0, 0, 0), 0.5f, 1.0f);
    RigidDynamic* weak = s.addSphere(Vec3(0, 0, 5), 0.5f, 1.0f);
    strong->setLinearDamping(5.0f);
    weak->setLinearDamping(1.0f);
    strong->setLinearVelocity(Vec3(10, 0, 0));
    weak->setLinearVelocity(Vec3(10, 0, 0));
    s.step();
    EXPECT_FLOAT_EQ(strong->getLinearDamping(), 5.0f);
    EXPECT_NEAR(strong->getLinearVelocity().x, 10.0f * (1.0f - 5.0f * StepTime), 1e-3f);
    EXPECT_NEAR(weak->getLinearVelocity().x, 10.0f * (1.0f - 1.0f * StepTime), 1e-3f);
    s.step(29);
    EXPECT_LT(strong->getLinearVelocity().x, weak->getLinearVelocity().x);
    EXPECT_LT(weak->getLinearVelocity().x, 10.0f);
    strong->setAngularDamping(7.5f);
    EXPECT_FLOAT_EQ(strong->getAngularDamping(), 7.5f);
}

// A body made after another was released gets its own damping and limit, not what the
// released one left behind.
TEST(Damping, ABodyMadeAfterAReleaseKeepsItsOwnDampingAndLimit) {
    PhysScene s(weightless());
    RigidDynamic* gone = s.addSphere(Vec3(0, 0, 0), 0.5f, 1.0f);
    gone->setLinearDamping(20.0f);
    gone->setMaxAngularVelocity(1.0f);
    s.step();
    gone->release();
    s.step();
    RigidDynamic* body = s.addSphere(Vec3(0, 0, 5), 0.5f, 1.0f);
    body->setLinearVelocity(Vec3(10, 0, 0));
    body->setAngularVelocity(Vec3(0, 5, 0));
    s.step();
    EXPECT_NEAR(body->getLinearVelocity().x, 10.0f, 1e-4f);
    EXPECT_NEAR(body->getAngularVelocity().y, 5.0f * (1.0f - 0.05f * StepTime), 1e-4f);
}

TEST(Damping, SpinStaysWithinSevenRadiansPerSecondByDefault) {
    PhysScene s(weightless());
    RigidDynamic* body = s.addBox(Vec3(), Vec3(0.5f, 0.2f, 0.3f), 1.0f);
    EXPECT_FLOAT_EQ(body->getMaxAngularVelocity(), 7.0f);
    float fastest = 0.0f;
    for (int i = 0; i < 60; ++i) {
        body->addTorque(Vec3(50, 20, 10), ForceMode::Impulse);
        s.step();
        fastest = std::max(fastest, body->getAngularVelocity().magnitude());
    }
    EXPECT_LE(fastest, 7.0f + 1e-3f);
    EXPECT_GT(fastest, 6.5f);
}

} // namespace
} // namespace phys::test
