#include "PhysTestScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace phys::test {
namespace {

// A door as the game builds one: a dynamic panel hinged at its edge to a kinematic post by a
// D6 joint whose frames are 45 degrees apart about the vertical axis.
struct Door {
    explicit Door(PhysScene& s, bool bothWays) {
        panel = s.addBox(Vec3(0, 2, 0), Vec3(0.5f, 1, 0.05f), 10.0f);
        post = s.addBox(Vec3(1.0f, 2, 0), Vec3(0.5f, 1, 0.05f), 10.0f);
        post->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
        const Vec3 hinge(0.5f, 2, 0);
        const Transform frame0 =
            panel->getGlobalPose().getInverse() * Transform(hinge, Quat::fromAxisAngle(Vec3(0, 1, 0), 0.78525f));
        const Transform frame1 = post->getGlobalPose().getInverse() * Transform(hinge);
        joint = createD6Joint(*s.physics, panel, frame0, post, frame1);
        joint->setMotion(D6Axis::Swing1, bothWays ? D6Motion::Free : D6Motion::Limited);
        if (!bothWays) {
            joint->setSwingLimit(JointLimitCone(0.7853982f, 1.5707964f, 0.05f));
            joint->setConstraintFlag(ConstraintCollisionEnabled, false);
        }
    }
    float angle() const { return angleAbout(panel->getGlobalPose().q, Vec3(0, 1, 0)); }
    float hingeError() const {
        return (panel->getGlobalPose().transform(Vec3(0.5f, 0, 0)) - Vec3(0.5f, 2, 0)).magnitude();
    }

    RigidDynamic* panel;
    RigidDynamic* post;
    D6Joint* joint;
};

TEST(D6Joints, AOneWayDoorStaysBetweenClosedAndOpen) {
    PhysScene s;
    Door door(s, false);
    ASSERT_NE(door.joint, nullptr);
    float lowest = 0.0f, highest = 0.0f;
    for (int i = 0; i < 4 * StepsPerSecond; ++i) {
        const float push = (i / StepsPerSecond) % 2 == 0 ? 60.0f : -60.0f; // one way, then the other
        door.panel->addTorque(Vec3(0, push, 0));
        s.step();
        lowest = std::fmin(lowest, door.angle());
        highest = std::fmax(highest, door.angle());
        ASSERT_LT(door.hingeError(), 0.02f) << "step " << i;
    }
    // The range is 0..90 degrees on one side of the closed door.
    EXPECT_GT(lowest, -92 * Degrees);
    EXPECT_LT(lowest, -85 * Degrees) << "opens fully";
    EXPECT_LT(highest, 2 * Degrees) << "does not open the other way";
    EXPECT_TRUE(s.errors.errors.empty());
}

TEST(D6Joints, ADoorOpeningBothWaysSwingsPastAQuarterTurnWithoutBlowingUp) {
    PhysScene s;
    Door door(s, true);
    ASSERT_NE(door.joint, nullptr);
    door.panel->setMaxAngularVelocity(50.0f);
    float turned = 0.0f, last = 0.0f, widest = 0.0f;
    for (int i = 0; i < 2 * StepsPerSecond; ++i) {
        door.panel->addTorque(Vec3(0, i < StepsPerSecond / 2 ? 40.0f : -40.0f, 0));
        s.step();
        turned += wrapAngle(door.angle() - last);
        last = door.angle();
        widest = std::fmax(widest, std::fabs(turned));
        ASSERT_LT(door.hingeError(), 0.05f) << "step " << i;
        ASSERT_LT(door.panel->getLinearVelocity().magnitude(), 100.0f) << "step " << i;
    }
    EXPECT_GT(widest, 100 * Degrees) << "swings well past 90 degrees";
    EXPECT_LT(turned, -100 * Degrees) << "and as far the other way";
}

TEST(D6Joints, ASoftLinearLimitStretchesByTheLoadAndSpringsBack) {
    PhysScene s(SceneOptions{.ground = false});
    RigidStatic* shoulder = s.addStaticBox(Vec3(0, 10, 0), Vec3(0.1f));
    RigidDynamic* limb = s.addBox(Vec3(0, 9.5f, 0), Vec3(0.1f, 0.5f, 0.1f), 2.0f);
    D6Joint* joint = createD6Joint(*s.physics, shoulder, Transform(), limb, Transform(Vec3(0, 0.5f, 0)));
    ASSERT_NE(joint, nullptr);
    for (D6Axis axis : {D6Axis::X, D6Axis::Y, D6Axis::Z})
        joint->setMotion(axis, D6Motion::Limited);
    for (D6Axis axis : {D6Axis::Twist, D6Axis::Swing1, D6Axis::Swing2})
        joint->setMotion(axis, D6Motion::Free);
    JointLimit limit(0.005f);
    limit.spring = 30000.0f;
    limit.damping = 1.0f;
    joint->setLinearLimit(limit);
    auto stretch = [&] { return (limb->getGlobalPose().transform(Vec3(0, 0.5f, 0)) - Vec3(0, 10, 0)).magnitude(); };

    s.step(StepsPerSecond);
    const float load = 2.0f * 55.0f / 30000.0f;
    EXPECT_NEAR(stretch(), 0.005f + load, 0.4f * load) << "the limit gives by load over stiffness";

    limb->addForce(Vec3(0, -5, 0), ForceMode::VelocityChange);
    float widest = 0.0f;
    for (int i = 0; i < StepsPerSecond / 2; ++i) {
        s.step();
        widest = std::fmax(widest, stretch());
    }
    EXPECT_GT(widest, 0.005f + 2 * load) << "a blow stretches it further";
    EXPECT_LT(widest, 0.1f) << "but not far";
    s.step(StepsPerSecond);
    EXPECT_LT(stretch(), 0.005f + 2 * load) << "and it springs back";
}

TEST(D6Joints, ADriveTurnsTowardsItsTargetAndMotorsSpinTheRightWay) {
    PhysScene s(SceneOptions{.ground = false, .gravity = Vec3()});
    RigidStatic* base = s.addStaticBox(Vec3(0, 5, 0), Vec3(0.1f));
    RigidDynamic* wheel = s.addBox(Vec3(0, 5, 0), Vec3(0.5f, 0.1f, 0.5f), 1.0f);
    D6Joint* joint = createD6Joint(*s.physics, base, Transform(), wheel, Transform());
    ASSERT_NE(joint, nullptr);
    joint->setMotion(D6Axis::Twist, D6Motion::Free);
    joint->setDrive(D6Drive::Twist, D6JointDrive(50.0f, 5.0f, 1e6f));
    joint->setDrivePosition(Transform(Quat::fromAxisAngle(Vec3(1, 0, 0), 0.6f)));
    s.step(2 * StepsPerSecond);
    EXPECT_NEAR(angleAbout(wheel->getGlobalPose().q, Vec3(1, 0, 0)), 0.6f, 0.1f);

    joint->setDrive(D6Drive::Twist, D6JointDrive(0.0f, 100.0f, 1e6f));
    joint->setDriveVelocity(Vec3(), Vec3(-3, 0, 0));
    s.step(StepsPerSecond);
    EXPECT_LT(wheel->getAngularVelocity().x, -1.0f) << "the motor turns it the asked way";
}

TEST(D6Joints, ADriveGivesByTheLoadOverItsStiffnessOrPerUnitOfMassWithAcceleration) {
    const struct {
        float mass;
        bool acceleration;
        float sag; // steady offset under gravity: m g / k, or g / k per unit of mass
    } cases[] = {{2.0f, false, 2.0f * 55.0f / 300.0f},
                 {4.0f, false, 4.0f * 55.0f / 300.0f},
                 {2.0f, true, 55.0f / 100.0f},
                 {4.0f, true, 55.0f / 100.0f}};
    for (const auto& c : cases) {
        PhysScene s(SceneOptions{.ground = false});
        RigidStatic* hook = s.addStaticBox(Vec3(0, 10, 0), Vec3(0.1f));
        RigidDynamic* weight = s.addBox(Vec3(0, 10, 0), Vec3(0.2f), c.mass);
        D6Joint* joint = createD6Joint(*s.physics, hook, Transform(), weight, Transform());
        ASSERT_NE(joint, nullptr);
        joint->setMotion(D6Axis::Y, D6Motion::Free);
        // Soft enough for the step; damped near critically (per unit of mass with the flag).
        const float spring = c.acceleration ? 100.0f : 300.0f;
        const float damping = c.acceleration ? 20.0f : 2.0f * std::sqrt(spring * c.mass);
        joint->setDrive(D6Drive::Y, D6JointDrive(spring, damping, 1e30f, c.acceleration));
        s.step(2 * StepsPerSecond);
        EXPECT_NEAR(10.0f - weight->getGlobalPose().p.y, c.sag, 0.15f * c.sag)
            << c.mass << (c.acceleration ? " with" : " without") << " the acceleration flag";
    }
}

// A 20 kg body hanging from a static post loads its joint with about 20 * 55 = 1100.
RigidDynamic* hangFromPost(PhysScene& s, float mass, FixedJoint*& joint, float force, float torque) {
    RigidStatic* post = s.addStaticBox(Vec3(0, 10.6f, 0), Vec3(0.1f));
    RigidDynamic* body = s.addBox(Vec3(0, 9.5f, 0), Vec3(0.5f), mass);
    joint = createFixedJoint(*s.physics, post, Transform(Vec3(0, -0.1f, 0)), body, Transform(Vec3(0, 1.0f, 0)));
    joint->setBreakForce(force, torque);
    return body;
}

TEST(BreakableJoints, BreakUnderTooMuchForceAndHoldUnderLess) {
    PhysScene heavyScene(SceneOptions{.ground = false});
    FixedJoint* heavyJoint = nullptr;
    RigidDynamic* heavy = hangFromPost(heavyScene, 20.0f, heavyJoint, 500.0f, 1e9f);
    heavyScene.step(5);
    EXPECT_TRUE(heavyJoint->getConstraintFlags() & ConstraintBroken) << "breaks within a few steps";
    ASSERT_EQ(heavyScene.events.brokenJoints.size(), 1u);
    EXPECT_EQ(heavyScene.events.brokenJoints[0], heavyJoint);
    heavyScene.step(StepsPerSecond);
    EXPECT_LT(heavy->getGlobalPose().p.y, 5.0f) << "a broken joint holds nothing";
    EXPECT_EQ(heavyScene.events.brokenJoints.size(), 1u) << "reported once";
    heavyJoint->setConstraintFlag(ConstraintBroken, false);
    EXPECT_TRUE(heavyJoint->getConstraintFlags() & ConstraintBroken) << "stays broken until released";
    SimulationStatistics stats;
    heavyScene.scene->getSimulationStatistics(stats);
    EXPECT_EQ(stats.nbActiveConstraints, 0u);
    // A later change to the joint does not mend it.
    heavyJoint->setBreakForce(1e9f, 1e9f);
    const float fallen = heavy->getGlobalPose().p.y;
    heavyScene.step(10);
    EXPECT_LT(heavy->getGlobalPose().p.y, fallen - 0.5f) << "still holds nothing";
    heavyScene.scene->getSimulationStatistics(stats);
    EXPECT_EQ(stats.nbActiveConstraints, 0u);
    EXPECT_EQ(heavyScene.events.brokenJoints.size(), 1u);

    PhysScene lightScene(SceneOptions{.ground = false});
    FixedJoint* lightJoint = nullptr;
    RigidDynamic* light = hangFromPost(lightScene, 5.0f, lightJoint, 500.0f, 1e9f);
    lightScene.step(5 * StepsPerSecond);
    EXPECT_FALSE(lightJoint->getConstraintFlags() & ConstraintBroken);
    EXPECT_TRUE(lightScene.events.brokenJoints.empty());
    EXPECT_NEAR(light->getGlobalPose().p.y, 9.5f, 0.01f);

    // A force limit alone, the torque left unlimited, breaks the joint as well.
    PhysScene forceOnly(SceneOptions{.ground = false});
    FixedJoint* pulled = nullptr;
    hangFromPost(forceOnly, 20.0f, pulled, 500.0f, 3.402823466e+38f);
    forceOnly.step(5);
    EXPECT_TRUE(pulled->getConstraintFlags() & ConstraintBroken);
}

TEST(BreakableJoints, ATorqueLimitBreaksUnderTwistingNotUnderAPull) {
    PhysScene s(SceneOptions{.ground = false});
    FixedJoint* joint = nullptr;
    RigidDynamic* body = hangFromPost(s, 20.0f, joint, 1e9f, 50.0f);
    s.step(StepsPerSecond);
    EXPECT_FALSE(joint->getConstraintFlags() & ConstraintBroken) << "a pull through the anchor has no torque";
    for (int i = 0; i < 10; ++i) {
        body->addTorque(Vec3(0, 200.0f, 0));
        s.step();
    }
    EXPECT_TRUE(joint->getConstraintFlags() & ConstraintBroken);
    EXPECT_EQ(s.events.brokenJoints.size(), 1u);
}

TEST(JointCollision, JoinedBodiesPassThroughEachOtherUnlessAsked) {
    for (bool collide : {false, true}) {
        PhysScene s(SceneOptions{.ground = false, .gravity = Vec3()});
        RigidDynamic* a = s.addBox(Vec3(0, 5, 0), Vec3(0.5f), 1.0f);
        RigidDynamic* b = s.addBox(Vec3(0.7f, 5, 0), Vec3(0.5f), 1.0f);
        D6Joint* joint = createD6Joint(*s.physics, a, Transform(), b, Transform(Vec3(-0.7f, 0, 0)));
        ASSERT_NE(joint, nullptr);
        for (int axis = 0; axis < 6; ++axis)
            joint->setMotion(static_cast<D6Axis>(axis), D6Motion::Free);
        s.step(2);
        joint->setConstraintFlag(ConstraintCollisionEnabled, collide); // taken at the next step
        s.step(20);
        const float gap = b->getGlobalPose().p.x - a->getGlobalPose().p.x;
        if (collide)
            EXPECT_GT(gap, 0.95f) << "pushed apart";
        else
            EXPECT_NEAR(gap, 0.7f, 1e-3f) << "left overlapping";
        EXPECT_EQ(s.events.count(firstShape(*a), firstShape(*b), PairNotifyTouchFound), collide ? 1 : 0);
    }
}

TEST(JointLifetime, CreatedAndReleasedWhileAStepIsInFlight) {
    for (uint32_t threads : {0u, 1u}) {
        PhysScene s(SceneOptions{.threads = threads, .ground = false});
        RigidStatic* hook = s.addStaticBox(Vec3(0, 10, 0), Vec3(0.1f));
        RigidDynamic* ball = s.addSphere(Vec3(0, 9, 0), 0.2f, 1.0f);
        s.scene->simulate(StepTime);
        SphericalJoint* joint = createSphericalJoint(*s.physics, hook, Transform(Vec3(0, -1, 0)), ball, Transform());
        ASSERT_NE(joint, nullptr);
        EXPECT_EQ(joint->getScene(), s.scene);
        s.scene->fetchResults(true);
        s.step(StepsPerSecond);
        EXPECT_NEAR(ball->getGlobalPose().p.y, 9.0f, 0.05f) << "held from the step after its creation";
        SimulationStatistics stats;
        s.scene->getSimulationStatistics(stats);
        EXPECT_EQ(stats.nbActiveConstraints, 1u);

        s.scene->simulate(StepTime);
        joint->release();
        s.scene->fetchResults(true);
        s.step(StepsPerSecond / 2);
        EXPECT_LT(ball->getGlobalPose().p.y, 7.0f) << "falls once released";
        s.scene->getSimulationStatistics(stats);
        EXPECT_EQ(stats.nbActiveConstraints, 0u);
    }
}

TEST(JointLifetime, AJointMadeBeforeItsActorsJoinTheSceneJoinsWithThem) {
    PhysScene s(SceneOptions{.ground = false});
    RigidStatic* hook = s.physics->createRigidStatic(Transform(Vec3(0, 10, 0)));
    hook->createShape(BoxGeometry(0.1f, 0.1f, 0.1f), *s.material);
    RigidDynamic* ball = s.physics->createRigidDynamic(Transform(Vec3(0, 9, 0)));
    ball->createShape(SphereGeometry(0.2f), *s.material);
    setMassAndUpdateInertia(*ball, 1.0f);
    SphericalJoint* joint = createSphericalJoint(*s.physics, hook, Transform(Vec3(0, -1, 0)), ball, Transform());
    ASSERT_NE(joint, nullptr);
    EXPECT_EQ(joint->getScene(), nullptr);
    s.scene->addActor(*ball);
    EXPECT_EQ(joint->getScene(), s.scene);
    s.step(10);
    EXPECT_LT(ball->getGlobalPose().p.y, 8.9f) << "its other actor is not simulated yet";
    s.scene->addActor(*hook);
    ball->setGlobalPose(Transform(Vec3(0, 9, 0)));
    ball->setLinearVelocity(Vec3());
    s.step(StepsPerSecond);
    EXPECT_NEAR(ball->getGlobalPose().p.y, 9.0f, 0.05f);
}

TEST(JointLifetime, AJointAndItsActorsReleasedTogether) {
    PhysScene s(SceneOptions{.threads = 1, .ground = false});
    RigidDynamic* a = s.addBox(Vec3(0, 10, 0), Vec3(0.3f), 1.0f);
    RigidDynamic* b = s.addBox(Vec3(0, 9, 0), Vec3(0.3f), 1.0f);
    FixedJoint* joint = createFixedJoint(*s.physics, a, Transform(Vec3(0, -0.5f, 0)), b, Transform(Vec3(0, 0.5f, 0)));
    ASSERT_NE(joint, nullptr);
    joint->setBreakForce(1e6f, 1e6f);
    s.step(3);
    s.scene->simulate(StepTime);
    joint->setLocalPose(0, Transform(Vec3(0, -0.6f, 0))); // pending
    joint->release();
    a->release();
    s.scene->fetchResults(true);
    b->release();
    s.step(3);
    EXPECT_EQ(s.scene->getNbActors(), 0u);
    SimulationStatistics stats;
    s.scene->getSimulationStatistics(stats);
    EXPECT_EQ(stats.nbActiveConstraints, 0u);
}

TEST(JointLifetime, ReleasingAnActorLeavesItsJointWithoutEffect) {
    PhysScene s(SceneOptions{.threads = 1, .ground = false});
    RigidDynamic* a = s.addBox(Vec3(0, 10, 0), Vec3(0.3f), 1.0f);
    RigidDynamic* b = s.addBox(Vec3(0, 9, 0), Vec3(0.3f), 1.0f);
    a->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    FixedJoint* joint = createFixedJoint(*s.physics, a, Transform(Vec3(0, -0.5f, 0)), b, Transform(Vec3(0, 0.5f, 0)));
    ASSERT_NE(joint, nullptr);
    s.step(10);
    EXPECT_NEAR(b->getGlobalPose().p.y, 9.0f, 0.01f);
    s.scene->simulate(StepTime);
    a->release();
    RigidActor *actor0 = nullptr, *actor1 = nullptr;
    joint->getActors(actor0, actor1);
    EXPECT_EQ(actor0, nullptr);
    EXPECT_EQ(actor1, b);
    s.scene->fetchResults(true);
    s.step(StepsPerSecond / 2);
    EXPECT_LT(b->getGlobalPose().p.y, 7.0f) << "nothing holds it any more";
    joint->release();
    s.step(2);
}

TEST(JointLifetime, AnActorReleasedOutsideAnySceneLeavesItsJointsOnEitherSide) {
    PhysScene s(SceneOptions{.threads = 1, .ground = false});
    RigidDynamic* gone = s.physics->createRigidDynamic(Transform(Vec3(0, 5, 0)));
    RigidDynamic* kept = s.physics->createRigidDynamic(Transform(Vec3(0, 4, 0)));
    RigidStatic* post = s.physics->createRigidStatic(Transform(Vec3(2, 5, 0)));
    for (RigidActor* actor : {static_cast<RigidActor*>(gone), static_cast<RigidActor*>(kept),
                              static_cast<RigidActor*>(post)})
        actor->createShape(BoxGeometry(Vec3(0.3f)), *s.material);
    FixedJoint* asFirst = createFixedJoint(*s.physics, gone, Transform(), kept, Transform());
    FixedJoint* asSecond = createFixedJoint(*s.physics, kept, Transform(), gone, Transform());
    FixedJoint* toWorld = createFixedJoint(*s.physics, nullptr, Transform(), gone, Transform());
    FixedJoint* untouched = createFixedJoint(*s.physics, kept, Transform(), post, Transform());
    ASSERT_TRUE(asFirst && asSecond && toWorld && untouched);

    gone->release();
    post->release();
    const struct {
        Joint* joint;
        RigidActor* actor0;
        RigidActor* actor1;
    } expected[] = {
        {asFirst, nullptr, kept}, {asSecond, kept, nullptr}, {toWorld, nullptr, nullptr}, {untouched, kept, nullptr}};
    for (const auto& e : expected) {
        RigidActor *actor0 = kept, *actor1 = kept;
        e.joint->getActors(actor0, actor1);
        EXPECT_EQ(actor0, e.actor0);
        EXPECT_EQ(actor1, e.actor1);
    }

    // The one left releases cleanly, and so do the joints.
    kept->release();
    for (const auto& e : expected)
        e.joint->release();
}

} // namespace
} // namespace phys::test
