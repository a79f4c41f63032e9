#include "PhysTestScene.h"

#include <gtest/gtest.h>

namespace phys::test {
namespace {

RigidDynamic* addKinematicBox(PhysScene& s, const Vec3& position) {
    RigidDynamic* body = s.physics->createRigidDynamic(Transform(position));
    body->createShape(BoxGeometry(Vec3(0.5f)), *s.material);
    setMassAndUpdateInertia(*body, 10.0f);
    body->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    s.scene->addActor(*body);
    return body;
}

TEST(KinematicBodies, TargetIsReachedAfterTheStep) {
    PhysScene s;
    RigidDynamic* mover = addKinematicBox(s, Vec3(0, 3, 0));
    const Transform target(Vec3(2, 3, 1), Quat::fromAxisAngle(Vec3(0, 1, 0), 0.5f));
    mover->setKinematicTarget(target);
    EXPECT_NEAR(mover->getGlobalPose().p.x, 0.0f, 1e-6f) << "the pose changes only with the step";
    s.step();
    EXPECT_NEAR(mover->getGlobalPose().p.x, 2.0f, 1e-5f);
    EXPECT_NEAR(mover->getGlobalPose().p.z, 1.0f, 1e-5f);
    EXPECT_NEAR(mover->getGlobalPose().p.y, 3.0f, 1e-5f) << "kinematic bodies do not fall";
    s.step(5);
    EXPECT_NEAR(mover->getGlobalPose().p.x, 2.0f, 1e-5f) << "a target is used once";
}

TEST(KinematicBodies, MovingByTargetsPushesARestingBox) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    RigidDynamic* mover = addKinematicBox(s, Vec3(-3.2f, 0.5f, 0));
    s.step(10);
    EXPECT_NEAR(box->getLinearVelocity().x, 0.0f, 0.05f);
    for (int i = 1; i <= 3; ++i) {
        mover->setKinematicTarget(Transform(Vec3(-3.2f + i, 0.5f, 0)));
        s.step();
    }
    EXPECT_GT(box->getLinearVelocity().x, 1.0f);
}

TEST(KinematicBodies, TeleportDoesNotPushButATargetDoes) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    RigidDynamic* mover = addKinematicBox(s, Vec3(-10, 0.5f, 0));
    s.step(10);
    mover->setGlobalPose(Transform(Vec3(-1.0f, 0.5f, 0)));
    s.step(3);
    EXPECT_LT(box->getLinearVelocity().magnitude(), 0.1f);
    EXPECT_NEAR(mover->getGlobalPose().p.x, -1.0f, 1e-5f);

    mover->setGlobalPose(Transform(Vec3(-10, 0.5f, 0)));
    s.step();
    mover->setKinematicTarget(Transform(Vec3(-1.0f, 0.5f, 0)));
    s.step();
    EXPECT_GT(box->getLinearVelocity().x, 1.0f);
}

TEST(KinematicBodies, SwitchingKindsKeepsPoseAndMass) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 7.0f);
    s.step(20);
    const Vec3 resting = box->getGlobalPose().p;
    box->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    s.step(2);
    s.events.clear();
    s.step(8);
    EXPECT_EQ(s.events.count(firstShape(*box), s.groundShape, PairNotifyTouchFound | PairNotifyTouchPersists), 0)
        << "a kinematic body and the ground make no pair";
    EXPECT_NEAR((box->getGlobalPose().p - resting).magnitude(), 0.0f, 1e-4f);
    EXPECT_FLOAT_EQ(box->getMass(), 7.0f);
    EXPECT_TRUE(box->getRigidDynamicFlags() & static_cast<uint32_t>(RigidDynamicFlag::Kinematic));
    // Made dynamic again where it stands, it rests on the ground it never left.
    box->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, false);
    s.step(StepsPerSecond);
    EXPECT_NEAR(box->getGlobalPose().p.y, 0.5f, 0.02f);
    box->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);

    // Lifted while kinematic it hangs in the air; made dynamic again, it falls.
    box->setGlobalPose(Transform(Vec3(0, 3, 0)));
    s.step(10);
    EXPECT_NEAR(box->getGlobalPose().p.y, 3.0f, 1e-5f);
    box->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, false);
    EXPECT_NEAR(box->getGlobalPose().p.y, 3.0f, 1e-5f);
    EXPECT_FLOAT_EQ(box->getMass(), 7.0f);
    s.step(2 * StepsPerSecond);
    EXPECT_NEAR(box->getGlobalPose().p.y, 0.5f, 0.02f);
}

TEST(KinematicBodies, AskingForTheKindABodyHasChangesNothing) {
    PhysScene s;
    // A sleeping body stays asleep and a floating one keeps its velocity.
    RigidDynamic* box = s.addBox(Vec3(0, 5, 0), Vec3(0.5f), 1.0f);
    s.step(2);
    box->putToSleep();
    box->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, false);
    EXPECT_TRUE(box->isSleeping());
    box->setLinearVelocity(Vec3(1, 2, 3));
    box->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, false);
    EXPECT_EQ(box->getLinearVelocity(), Vec3(1, 2, 3));

    // A kinematic body keeps the target it was given.
    RigidDynamic* mover = addKinematicBox(s, Vec3(0, 3, 4));
    mover->setKinematicTarget(Transform(Vec3(2, 3, 4)));
    mover->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    s.step();
    EXPECT_NEAR(mover->getGlobalPose().p.x, 2.0f, 1e-5f);
}

TEST(KinematicBodies, TargetsAreRefusedOnDynamicBodiesAndTriangleMeshesStayKinematic) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    box->setKinematicTarget(Transform(Vec3(3, 0, 0)));
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidOperation), 1);

    TriangleMesh* mesh = s.cookMesh({Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 0, 1)}, {0, 1, 2});
    EXPECT_EQ(box->createShape(TriangleMeshGeometry(mesh), *s.material), nullptr);
    RigidDynamic* platform = addKinematicBox(s, Vec3(5, 1, 0));
    EXPECT_NE(platform->createShape(TriangleMeshGeometry(mesh), *s.material), nullptr);
    mesh->release();
    platform->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, false);
    EXPECT_TRUE(platform->isKinematic());
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidOperation), 2);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 1);
}

} // namespace
} // namespace phys::test
