#include "PhysTestScene.h"

#include "phys/detail/JointSet.h"

#include <gtest/gtest.h>

#include <cmath>

namespace phys::test {
namespace {

// A frame whose X axis points along world Z (a hinge about Z).
const Quat AboutZ = Quat::fromAxisAngle(Vec3(0, 1, 0), -0.5f * Pi);

TEST(JointLimits, ValidityFollowsTheLibraryRules) {
    JointLimitPair defaultPair(45 * Degrees, 45 * Degrees, 0.05f);
    EXPECT_FALSE(defaultPair.isValid()) << "the contact distance exceeds an empty range";
    EXPECT_TRUE(JointLimitPair(-45 * Degrees, 45 * Degrees, 0.05f).isValid());
    EXPECT_TRUE(JointLimitPair(45 * Degrees, 45 * Degrees, 0.0f).isValid());
    EXPECT_FALSE(JointLimitPair(0.5f, 0.2f).isValid()) << "upper below lower";

    EXPECT_FALSE(JointLimitCone(180 * Degrees, 30 * Degrees).isValid()) << "angles stay below pi";
    EXPECT_FALSE(JointLimitCone(0.0f, 30 * Degrees).isValid()) << "angles stay above 0";
    EXPECT_TRUE(JointLimitCone(30 * Degrees, 30 * Degrees, 0.05f).isValid());

    JointLimit limb(0.005f);
    limb.spring = 30000.0f;
    limb.damping = 1.0f;
    EXPECT_TRUE(limb.isValid());
    limb.spring = -1.0f;
    EXPECT_FALSE(limb.isValid()) << "negative spring";
    limb.spring = 1.0f;
    limb.restitution = 1.5f;
    EXPECT_FALSE(limb.isValid()) << "restitution above 1";
    limb.restitution = 1.0f;
    EXPECT_TRUE(limb.isValid()) << "restitution 1 is allowed";
    limb.restitution = 0.5f;
    limb.value = std::nanf("");
    EXPECT_FALSE(limb.isValid());
    EXPECT_TRUE(JointLimit(-3.0f).isValid()) << "the sign of a linear limit is not tested";
}

TEST(JointLimits, AnInvalidLimitIsRefusedAndTheOldOneKept) {
    PhysScene s;
    RigidDynamic* bar = s.addBox(Vec3(1, 5, 0), Vec3(1, 0.1f, 0.1f), 1.0f);
    RevoluteJoint* joint = createRevoluteJoint(*s.physics, nullptr, Transform(Vec3(0, 5, 0), AboutZ), bar,
                                               Transform(Vec3(-1, 0, 0), AboutZ));
    ASSERT_NE(joint, nullptr);
    joint->setLimit(JointLimitPair(-0.3f, 0.3f));
    const size_t before = s.errors.errors.size();
    joint->setLimit(JointLimitPair(45 * Degrees, 45 * Degrees, 0.05f));
    EXPECT_EQ(s.errors.errors.size(), before + 1);
    EXPECT_EQ(s.errors.errors.back().first, ErrorCode::InvalidParameter);
    EXPECT_FLOAT_EQ(joint->getLimit().upper, 0.3f);
    EXPECT_FLOAT_EQ(joint->getLimit().lower, -0.3f);

    // Drives: spring, damping and force limit not negative, and one of the six slots.
    D6Joint* d6 = createD6Joint(*s.physics, nullptr, Transform(Vec3(3, 5, 0)), bar, Transform());
    ASSERT_NE(d6, nullptr);
    const int refusedBefore = s.errors.count(ErrorCode::InvalidParameter);
    d6->setDrive(D6Drive::Y, D6JointDrive(0.0f, 1.0f, 5.0f));
    EXPECT_EQ(d6->getDrive(D6Drive::Y).damping, 1.0f) << "a motor without a spring";
    d6->setDrive(D6Drive::X, D6JointDrive(10.0f, 1.0f, 0.0f));
    EXPECT_EQ(d6->getDrive(D6Drive::X).forceLimit, 0.0f) << "a force limit of zero is one";
    d6->setDrive(D6Drive::X, D6JointDrive(10.0f, 1.0f, -1.0f));
    d6->setDrive(D6Drive::X, D6JointDrive(-1.0f, 1.0f, 5.0f));
    d6->setDrive(D6Drive::X, D6JointDrive(10.0f, NAN, 5.0f));
    d6->setDrive(static_cast<D6Drive>(6), D6JointDrive(10.0f, 1.0f, 5.0f));
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter) - refusedBefore, 4);
    EXPECT_EQ(d6->getDrive(D6Drive::X).spring, 10.0f);
    EXPECT_EQ(d6->getDrive(D6Drive::X).forceLimit, 0.0f);
}

TEST(JointDrives, AVelocityWithAnyPartNotFiniteIsRefusedAndTheOldOneKept) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 5, 0), Vec3(0.5f), 1.0f);
    D6Joint* d6 = createD6Joint(*s.physics, nullptr, Transform(Vec3(0, 5, 0)), box, Transform());
    ASSERT_NE(d6, nullptr);
    const Vec3 keptLinear(1, 2, 3), keptAngular(4, 5, 6);
    d6->setDriveVelocity(keptLinear, keptAngular);

    const float nan = std::nanf(""), inf = INFINITY;
    const struct {
        Vec3 linear, angular;
    } refused[] = {
        {Vec3(nan, 0, 0), Vec3()}, {Vec3(), Vec3(0, 0, nan)},         {Vec3(0, inf, 0), Vec3()},
        {Vec3(), Vec3(-inf, 0, 0)}, {Vec3(nan, 0, 0), Vec3(0, inf, 0)},
    };
    for (const auto& c : refused) {
        const int before = s.errors.count(ErrorCode::InvalidParameter);
        d6->setDriveVelocity(c.linear, c.angular);
        EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), before + 1);
        Vec3 linear, angular;
        d6->getDriveVelocity(linear, angular);
        EXPECT_TRUE(linear == keptLinear);
        EXPECT_TRUE(angular == keptAngular);
    }

    // Finite parts, however large, are taken as they are.
    const Vec3 bigLinear(-1e30f, 0, 7), bigAngular(0, 1e30f, -2);
    const int before = s.errors.count(ErrorCode::InvalidParameter);
    d6->setDriveVelocity(bigLinear, bigAngular);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), before);
    Vec3 linear, angular;
    d6->getDriveVelocity(linear, angular);
    EXPECT_TRUE(linear == bigLinear);
    EXPECT_TRUE(angular == bigAngular);
}

TEST(JointCreation, EachD6AxisKeepsItsOwnMotionBesideTheLimits) {
    PhysScene s;
    RigidDynamic* bar = s.addBox(Vec3(0, 5, 0), Vec3(1.0f, 0.1f, 0.1f), 1.0f);
    D6Joint* d6 = createD6Joint(*s.physics, nullptr, Transform(Vec3(0, 5, 0)), bar, Transform());
    ASSERT_NE(d6, nullptr);
    const D6Axis axes[] = {D6Axis::X, D6Axis::Y, D6Axis::Z, D6Axis::Twist, D6Axis::Swing1, D6Axis::Swing2};
    const D6Motion motions[] = {D6Motion::Free, D6Motion::Limited, D6Motion::Locked,
                                D6Motion::Limited, D6Motion::Locked, D6Motion::Free};
    d6->setLinearLimit(JointLimit(0.25f));
    for (int i = 0; i < 6; ++i)
        d6->setMotion(axes[i], motions[i]);
    EXPECT_FLOAT_EQ(d6->getLinearLimit().value, 0.25f) << "the motions leave the linear limit alone";
    d6->setLinearLimit(JointLimit(0.75f));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(d6->getMotion(axes[i]), motions[i]) << "axis " << i << ", after the limit changed";
}

TEST(JointCreation, RefusesWhatCannotBeJoined) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 3, 0), Vec3(0.5f), 1.0f);
    RigidStatic* post = s.addStaticBox(Vec3(3, 3, 0), Vec3(0.5f));
    EXPECT_EQ(createFixedJoint(*s.physics, box, Transform(), box, Transform()), nullptr);
    EXPECT_EQ(createFixedJoint(*s.physics, nullptr, Transform(), nullptr, Transform()), nullptr);
    EXPECT_EQ(createFixedJoint(*s.physics, post, Transform(), s.ground, Transform()), nullptr) << "two static actors";
    EXPECT_EQ(createFixedJoint(*s.physics, post, Transform(), nullptr, Transform()), nullptr) << "static and world";
    EXPECT_EQ(createFixedJoint(*s.physics, box, Transform(Quat(0, 0, 0, 2)), post, Transform()), nullptr);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 5);
    // An actor of another physics object, or of another scene, or one released during the step.
    PhysScene other;
    RigidDynamic* stranger = other.addBox(Vec3(0, 3, 0), Vec3(0.5f), 1.0f);
    EXPECT_EQ(createFixedJoint(*s.physics, box, Transform(), stranger, Transform()), nullptr);
    SceneDesc desc(Tolerances{});
    desc.dispatcher = s.dispatcher;
    desc.filterShader = reportingShader;
    Scene* second = s.physics->createScene(desc);
    ASSERT_NE(second, nullptr);
    RigidDynamic* elsewhere = s.physics->createRigidDynamic(Transform(Vec3(0, 3, 0)));
    elsewhere->createShape(BoxGeometry(0.5f, 0.5f, 0.5f), *s.material);
    second->addActor(*elsewhere);
    EXPECT_EQ(createFixedJoint(*s.physics, box, Transform(), elsewhere, Transform()), nullptr);
    RigidDynamic* leaving = s.addBox(Vec3(3, 3, 0), Vec3(0.5f), 1.0f);
    s.scene->simulate(StepTime);
    leaving->release();
    EXPECT_EQ(createFixedJoint(*s.physics, box, Transform(), leaving, Transform()), nullptr);
    s.scene->fetchResults(true);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 8);
    second->release();

    FixedJoint* fixed = createFixedJoint(*s.physics, post, Transform(), box, Transform());
    ASSERT_NE(fixed, nullptr) << "a static actor is a valid partner";
    RigidActor *a0 = nullptr, *a1 = nullptr;
    fixed->getActors(a0, a1);
    EXPECT_EQ(a0, post);
    EXPECT_EQ(a1, box);
    EXPECT_EQ(fixed->getScene(), s.scene);
    EXPECT_EQ(fixed->getType(), JointType::Fixed);
    EXPECT_EQ(fixed->getConstraintFlags(), 0u);
    FixedJoint* framed = createFixedJoint(*s.physics, post, Transform(Vec3(1, 0, 0)), box, Transform(Vec3(0, 2, 0)));
    ASSERT_NE(framed, nullptr);
    EXPECT_EQ(framed->getLocalPose(0).p, Vec3(1, 0, 0));
    EXPECT_EQ(framed->getLocalPose(1).p, Vec3(0, 2, 0));
    float force = 0, torque = 0;
    fixed->getBreakForce(force, torque);
    EXPECT_GT(force, 1e30f) << "joints never break by default";
    EXPECT_GT(torque, 1e30f);
}

TEST(RevoluteJoints, ABarSettlesAtItsLimit) {
    PhysScene s(SceneOptions{.ground = false});
    RigidStatic* post = s.addStaticBox(Vec3(0, 5, 0), Vec3(0.1f));
    RigidDynamic* bar = s.addBox(Vec3(1.2f, 5, 0), Vec3(1, 0.1f, 0.1f), 1.0f);
    RevoluteJoint* joint =
        createRevoluteJoint(*s.physics, post, Transform(AboutZ), bar, Transform(Vec3(-1.2f, 0, 0), AboutZ));
    ASSERT_NE(joint, nullptr);
    joint->setLimit(JointLimitPair(-45 * Degrees, 45 * Degrees));
    joint->setRevoluteJointFlag(RevoluteLimitEnabled, true);
    s.step(3 * StepsPerSecond);
    const float angle = angleAbout(bar->getGlobalPose().q, Vec3(0, 0, 1));
    EXPECT_LT(angle, 0.0f) << "gravity turns the bar down";
    EXPECT_NEAR(angle, -45 * Degrees, 2 * Degrees);
    const Vec3 hinge = bar->getGlobalPose().transform(Vec3(-1.2f, 0, 0));
    EXPECT_NEAR((hinge - Vec3(0, 5, 0)).magnitude(), 0.0f, 0.01f) << "the hinge point stays";
    EXPECT_TRUE(s.errors.errors.empty());
}

TEST(RevoluteJoints, AFreeHingeTurnsRoundAndRoundStably) {
    PhysScene s(SceneOptions{.ground = false, .gravity = Vec3()});
    RigidStatic* post = s.addStaticBox(Vec3(0, 5, 0), Vec3(0.1f));
    RigidDynamic* bar = s.addBox(Vec3(1.2f, 5, 0), Vec3(1, 0.1f, 0.1f), 1.0f);
    ASSERT_NE(createRevoluteJoint(*s.physics, post, Transform(AboutZ), bar, Transform(Vec3(-1.2f, 0, 0), AboutZ)),
              nullptr);
    bar->setMaxAngularVelocity(100.0f);
    bar->setAngularDamping(0.0f);
    // Turning about the hinge: the centre moves with the turn.
    bar->setAngularVelocity(Vec3(0, 0, 15));
    bar->setLinearVelocity(Vec3(0, 15 * 1.2f, 0));
    float turned = 0.0f;
    float last = 0.0f;
    for (int i = 0; i < StepsPerSecond; ++i) {
        s.step();
        const float angle = angleAbout(bar->getGlobalPose().q, Vec3(0, 0, 1));
        turned += wrapAngle(angle - last);
        last = angle;
        const Vec3 hinge = bar->getGlobalPose().transform(Vec3(-1.2f, 0, 0));
        // A fast turn drifts outwards a little (a velocity-level solver); nothing more.
        ASSERT_LT((hinge - Vec3(0, 5, 0)).magnitude(), 0.1f) << "step " << i;
    }
    EXPECT_GT(turned, 2 * Pi) << "more than one full turn";
    EXPECT_GT(bar->getAngularVelocity().z, 8.0f) << "keeps turning";
    EXPECT_LT(bar->getAngularVelocity().z, 15.5f) << "gains no energy";
    EXPECT_NEAR(bar->getAngularVelocity().x, 0.0f, 0.1f) << "only the free axis turns";
}

TEST(FixedJoints, HoldABoxToAStaticOneUnderGravity) {
    PhysScene s(SceneOptions{.ground = false});
    RigidStatic* wall = s.addStaticBox(Vec3(0, 5, 0), Vec3(0.5f));
    RigidDynamic* box = s.addBox(Vec3(1.2f, 5, 0), Vec3(0.5f, 0.2f, 0.2f), 4.0f);
    const Transform relative = wall->getGlobalPose().getInverse() * box->getGlobalPose();
    FixedJoint* joint =
        createFixedJoint(*s.physics, wall, Transform(Vec3(0.6f, 0, 0)), box, Transform(Vec3(-0.6f, 0, 0)));
    ASSERT_NE(joint, nullptr);
    // As the game builds them.
    joint->setProjectionLinearTolerance(0.3f);
    joint->setProjectionAngularTolerance(0.3f);
    joint->setConstraintFlag(ConstraintProjection, true);
    for (int i = 0; i < 2 * StepsPerSecond; ++i) {
        s.step();
        const Transform now = wall->getGlobalPose().getInverse() * box->getGlobalPose();
        ASSERT_LT((now.p - relative.p).magnitude(), 1e-3f) << "step " << i;
        ASSERT_LT(std::fabs(2.0f * std::acos(std::fmin(1.0f, std::fabs((now.q * relative.q.getConjugate()).w)))),
                  1e-3f)
            << "step " << i;
    }
}

TEST(FixedJoints, KeepTwoFallingBodiesTogether) {
    PhysScene s;
    RigidDynamic* a = s.addBox(Vec3(0, 4, 0), Vec3(0.5f), 2.0f);
    RigidDynamic* b = s.addBox(Vec3(1.0f, 4.5f, 0), Vec3(0.5f), 3.0f);
    const Transform relative = a->getGlobalPose().getInverse() * b->getGlobalPose();
    ASSERT_NE(createFixedJoint(*s.physics, a, Transform(Vec3(0.5f, 0.25f, 0)), b, Transform(Vec3(-0.5f, -0.25f, 0))),
              nullptr);
    s.step(2 * StepsPerSecond);
    const Transform now = a->getGlobalPose().getInverse() * b->getGlobalPose();
    EXPECT_LT((now.p - relative.p).magnitude(), 0.01f);
    EXPECT_LT(a->getGlobalPose().p.y, 1.5f) << "the pair has landed";
}

// Only a change of a joint's flags reaches the simulation and wakes its bodies; setting a
// flag to the value it has leaves sleeping bodies asleep.
TEST(JointFlags, OnlyAChangedFlagWakesTheJoinedBodies) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    FixedJoint* joint = createFixedJoint(*s.physics, nullptr, box->getGlobalPose(), box, Transform());
    ASSERT_NE(joint, nullptr);
    s.step(5);
    const struct {
        ConstraintFlag flag;
        bool value;
        bool wakes;
    } rows[] = {{ConstraintProjection, false, false}, {ConstraintCollisionEnabled, false, false},
                {ConstraintProjection, true, true},   {ConstraintProjection, true, false},
                {ConstraintCollisionEnabled, true, true}, {ConstraintCollisionEnabled, true, false},
                {ConstraintProjection, false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "flag " << row.flag << " set to " << row.value);
        box->putToSleep();
        joint->setConstraintFlag(row.flag, row.value);
        EXPECT_EQ((joint->getConstraintFlags() & row.flag) != 0, row.value);
        s.step();
        EXPECT_EQ(box->isSleeping(), !row.wakes);
    }
}

TEST(PrismaticJoints, TravelStaysWithinTheLimit) {
    PhysScene s(SceneOptions{.ground = false});
    RigidStatic* rail = s.addStaticBox(Vec3(0, 5, 0), Vec3(0.1f));
    RigidDynamic* slider = s.addBox(Vec3(0, 5, 0), Vec3(0.2f), 1.0f);
    // Slides along world Y (the frames' X axis turned up).
    const Quat up = Quat::fromAxisAngle(Vec3(0, 0, 1), 0.5f * Pi);
    PrismaticJoint* joint = createPrismaticJoint(*s.physics, rail, Transform(up), slider, Transform(up));
    ASSERT_NE(joint, nullptr);
    joint->setLimit(JointLimitPair(-1.0f, 0.5f));
    joint->setPrismaticJointFlag(PrismaticLimitEnabled, true);
    float lowest = 10.0f, highest = -10.0f;
    for (int i = 0; i < 3 * StepsPerSecond; ++i) {
        if (i == 60)
            slider->addForce(Vec3(0.0f, 30.0f, 0.0f), ForceMode::VelocityChange);
        if (i == 61)
            slider->addForce(Vec3(8.0f, 0.0f, 5.0f), ForceMode::VelocityChange);
        s.step();
        const Vec3 p = slider->getGlobalPose().p;
        lowest = std::fmin(lowest, p.y - 5.0f);
        highest = std::fmax(highest, p.y - 5.0f);
        ASSERT_LT(std::hypot(p.x, p.z), 0.01f) << "only the slide axis is free, step " << i;
    }
    EXPECT_GT(lowest, -1.0f - 0.01f);
    EXPECT_LT(lowest, -0.95f) << "gravity pulls it to the lower end";
    EXPECT_LT(highest, 0.5f + 0.01f);
    EXPECT_GT(highest, 0.45f) << "the push reaches the upper end";
}

TEST(DistanceJoints, KeepTheAnchorsWithinTheRange) {
    PhysScene s(SceneOptions{.ground = false});
    RigidStatic* hook = s.addStaticBox(Vec3(0, 10, 0), Vec3(0.1f));
    RigidDynamic* ball = s.addSphere(Vec3(1.5f, 10, 0), 0.2f, 1.0f);
    DistanceJoint* joint = createDistanceJoint(*s.physics, hook, Transform(), ball, Transform());
    ASSERT_NE(joint, nullptr);
    joint->setMinDistance(1.0f);
    joint->setMaxDistance(2.0f);
    joint->setDistanceJointFlag(DistanceMinEnabled, true);
    joint->setDistanceJointFlag(DistanceMaxEnabled, true);
    float shortest = 10.0f, longest = 0.0f;
    for (int i = 0; i < 3 * StepsPerSecond; ++i) {
        if (i == 90) // thrown at the hook
            ball->setLinearVelocity((Vec3(0, 10, 0) - ball->getGlobalPose().p).getNormalized() * 20.0f);
        s.step();
        const float d = joint->getDistance();
        shortest = std::fmin(shortest, d);
        longest = std::fmax(longest, d);
    }
    EXPECT_GT(shortest, 1.0f - 0.02f);
    EXPECT_LT(shortest, 1.1f) << "the throw reaches the minimum";
    EXPECT_LT(longest, 2.0f + 0.02f);
    EXPECT_GT(longest, 1.95f) << "the fall reaches the maximum";
}

TEST(DistanceJoints, ASpringyMaximumStretchesByTheLoadOverTheStiffness) {
    PhysScene s(SceneOptions{.ground = false});
    RigidStatic* hook = s.addStaticBox(Vec3(0, 10, 0), Vec3(0.1f));
    RigidDynamic* ball = s.addSphere(Vec3(0, 8, 0), 0.2f, 2.0f);
    DistanceJoint* joint = createDistanceJoint(*s.physics, hook, Transform(), ball, Transform());
    ASSERT_NE(joint, nullptr);
    joint->setMaxDistance(2.0f);
    joint->setSpring(2000.0f);
    joint->setDamping(50.0f);
    joint->setDistanceJointFlag(DistanceSpringEnabled, true);
    float longest = 0.0f;
    for (int i = 0; i < 4 * StepsPerSecond; ++i) {
        s.step();
        longest = std::fmax(longest, joint->getDistance());
    }
    const float stretch = 2.0f * 55.0f / 2000.0f;
    EXPECT_GT(longest, 2.0f + 0.5f * stretch) << "the bound gives like a spring";
    EXPECT_NEAR(joint->getDistance(), 2.0f + stretch, 0.25f * stretch);
}

TEST(DistanceJoints, AMaximumOfZeroHoldsTheAnchorsTogether) {
    PhysScene s(SceneOptions{.ground = false});
    RigidStatic* hook = s.addStaticBox(Vec3(0, 10, 0), Vec3(0.1f));
    RigidDynamic* ball = s.addSphere(Vec3(0.5f, 9, 0), 0.2f, 1.0f);
    DistanceJoint* joint = createDistanceJoint(*s.physics, hook, Transform(Vec3(0, -0.5f, 0)), ball, Transform());
    ASSERT_NE(joint, nullptr);
    joint->setMaxDistance(0.0f);
    joint->setDistanceJointFlag(DistanceMaxEnabled, true);
    s.step(StepsPerSecond);
    const Vec3 p = ball->getGlobalPose().p;
    EXPECT_NEAR(p.x, 0.0f, 0.02f);
    EXPECT_NEAR(p.y, 9.5f, 0.02f) << "hangs at the hook's anchor";
    EXPECT_NEAR(p.z, 0.0f, 0.02f);
}

TEST(DistanceJoints, MeasureToTheWorldAndHangFromNewFrames) {
    PhysScene s(SceneOptions{.ground = false});
    RigidDynamic* ball = s.addSphere(Vec3(3, 10, 0), 0.2f, 1.0f);
    // From the world point (0, 12, 0) to a point 0.5 above the ball's centre.
    DistanceJoint* joint = createDistanceJoint(*s.physics, nullptr, Transform(Vec3(0, 12, 0)), ball,
                                               Transform(Vec3(0, 0.5f, 0)));
    ASSERT_NE(joint, nullptr);
    EXPECT_NEAR(joint->getDistance(), std::sqrt(9.0f + 1.5f * 1.5f), 1e-4f);
    DistanceJoint* reversed = createDistanceJoint(*s.physics, ball, Transform(Vec3(0, 0.5f, 0)), nullptr,
                                                  Transform(Vec3(0, 12, 0)));
    ASSERT_NE(reversed, nullptr);
    EXPECT_NEAR(reversed->getDistance(), joint->getDistance(), 1e-6f);
    reversed->release();

    joint->setMaxDistance(0.5f);
    joint->setDistanceJointFlag(DistanceMaxEnabled, true);
    joint->setLocalPose(0, Transform(Vec3(3, 14, 0)));
    joint->setLocalPose(1, Transform(Vec3(0, 0.3f, 0)));
    EXPECT_EQ(joint->getLocalPose(0).p, Vec3(3, 14, 0));
    joint->setLocalPose(2, Transform(Vec3(0, 0, 0)));
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 1) << "there is no third frame";
    s.step(2 * StepsPerSecond);
    EXPECT_NEAR(joint->getDistance(), 0.5f, 0.02f);
    EXPECT_NEAR(ball->getGlobalPose().p.y, 14 - 0.5f - 0.3f, 0.05f) << "hangs by its new point from the new point";
    EXPECT_NEAR(ball->getGlobalPose().p.x, 3.0f, 0.05f);

    joint->setProjectionLinearTolerance(0.2f);
    joint->setProjectionAngularTolerance(0.3f);
    joint->setProjectionLinearTolerance(-0.1f);
    joint->setProjectionAngularTolerance(NAN);
    EXPECT_EQ(joint->getProjectionLinearTolerance(), 0.2f);
    EXPECT_EQ(joint->getProjectionAngularTolerance(), 0.3f);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 1 + 2);
}

TEST(JointFrames, MovingTheCentreOfMassOfAJoinedBodyKeepsTheJointWhereItWas) {
    for (bool distance : {false, true}) {
        PhysScene s(SceneOptions{.ground = false});
        RigidStatic* post = s.addStaticBox(Vec3(0, 10, 0), Vec3(0.1f));
        RigidDynamic* box = s.addBox(Vec3(0, 9, 0), Vec3(0.5f), 2.0f);
        Joint* joint = nullptr;
        if (distance) {
            DistanceJoint* rope = createDistanceJoint(*s.physics, post, Transform(), box, Transform(Vec3(0, 1, 0)));
            ASSERT_NE(rope, nullptr);
            rope->setMaxDistance(0.0f);
            rope->setDistanceJointFlag(DistanceMaxEnabled, true);
            joint = rope;
        } else {
            joint = createSphericalJoint(*s.physics, post, Transform(), box, Transform(Vec3(0, 1, 0)));
        }
        ASSERT_NE(joint, nullptr);
        s.step(10);
        box->setCMassLocalPose(Transform(Vec3(0, -0.4f, 0)));
        s.step(StepsPerSecond);
        const Vec3 anchor = box->getGlobalPose().transform(Vec3(0, 1, 0));
        EXPECT_NEAR(anchor.x, 0.0f, 0.02f) << (distance ? "distance" : "spherical");
        EXPECT_NEAR(anchor.y, 10.0f, 0.02f) << "the box's top stays at the post";
        EXPECT_NEAR(box->getGlobalPose().p.y, 9.0f, 0.02f);
    }
}

// The solver runs a joint as often as the busiest of its bodies asks (by its position count,
// never its velocity count), at least as often as the world, and more when it projects.
TEST(JointSolving, AJointIteratesAsOftenAsItsBusiestBodyAndMoreWhenItProjects) {
    struct Row {
        uint32_t position0, velocity0, position1;
        bool world; // the first actor is the world
        bool projection;
        int iterations;
    };
    const Row rows[] = {
        {4, 1, 4, false, false, 10},  {30, 1, 4, false, false, 30}, {4, 1, 40, false, false, 40},
        {4, 200, 4, false, false, 10}, {4, 1, 4, false, true, 20},  {30, 1, 4, false, true, 30},
        {4, 1, 12, true, false, 12},  {4, 1, 11, false, false, 11}, {4, 1, 9, false, false, 10},
    };
    PhysScene s(SceneOptions{.ground = false});
    std::vector<Joint*> joints;
    float x = 0.0f;
    for (const Row& row : rows) {
        RigidDynamic* a = s.addBox(Vec3(x, 5, 0), Vec3(0.5f), 1.0f);
        RigidDynamic* b = s.addBox(Vec3(x + 1.0f, 5, 0), Vec3(0.5f), 1.0f);
        a->setSolverIterationCounts(row.position0, row.velocity0);
        b->setSolverIterationCounts(row.position1, 1);
        RigidActor* first = row.world ? nullptr : a;
        const Transform frame0 = row.world ? Transform(Vec3(x + 0.5f, 5, 0)) : Transform(Vec3(0.5f, 0, 0));
        SphericalJoint* joint = createSphericalJoint(*s.physics, first, frame0, b, Transform(Vec3(-0.5f, 0, 0)));
        ASSERT_NE(joint, nullptr);
        joint->setConstraintFlag(ConstraintProjection, row.projection);
        joints.push_back(joint);
        x += 10.0f;
    }
    s.step();
    for (size_t i = 0; i < joints.size(); ++i) {
        ASSERT_NE(joints[i]->back().constraint, nullptr) << "row " << i;
        EXPECT_EQ(joints[i]->back().constraint->getOverrideNumSolverIterations(), rows[i].iterations) << "row " << i;
    }
}

} // namespace
} // namespace phys::test
