#include "PhysTestScene.h"

#include <gtest/gtest.h>

#include <vector>

namespace phys::test {
namespace {

TEST(BodyState, FrictionOfAPairIsTheAverageOfItsMaterials) {
    PhysScene s;
    Material* ice = s.physics->createMaterial(0.0f, 0.0f, 0.0f);
    RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    Shape* shape = nullptr;
    box->getShapes(&shape, 1);
    shape->setMaterials(&ice, 1);
    s.step(10);
    box->setLinearVelocity(Vec3(5, 0, 0));
    s.step(12);
    // Ground 0.5 and ice 0 average to 0.25: the box slows by 0.25 * 55 per second.
    const float expected = 5.0f - 0.25f * 55.0f * 12 * StepTime;
    EXPECT_NEAR(box->getLinearVelocity().x, expected, 0.3f);
    Material* ground = nullptr;
    s.groundShape->getMaterials(&ground, 1);
    EXPECT_EQ(ground, s.material);
    EXPECT_EQ(shape->getNbMaterials(), 1u);
}

TEST(BodyState, SleepingBodiesStayPutUntilWoken) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 5, 0), Vec3(0.5f), 1.0f);
    s.step(2);
    box->putToSleep();
    EXPECT_TRUE(box->isSleeping());
    EXPECT_EQ(box->getWakeCounter(), 0.0f);
    EXPECT_EQ(box->getLinearVelocity(), Vec3());
    const float y = box->getGlobalPose().p.y;
    s.step(30);
    EXPECT_TRUE(box->isSleeping());
    EXPECT_EQ(box->getGlobalPose().p.y, y);

    box->wakeUp();
    EXPECT_FALSE(box->isSleeping());
    s.step(30);
    EXPECT_LT(box->getGlobalPose().p.y, y - 1.0f);
}

TEST(BodyState, SettingAVelocityWakesASleepingBodyUnlessToldNotTo) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    s.step(5);
    box->putToSleep();
    box->setLinearVelocity(Vec3(0, 0, 3), false);
    EXPECT_TRUE(box->isSleeping());
    box->setAngularVelocity(Vec3(0, 3, 0), false);
    EXPECT_TRUE(box->isSleeping());
    s.step();
    EXPECT_TRUE(box->isSleeping());
    EXPECT_NEAR(box->getGlobalPose().p.z, 0.0f, 1e-5f);
    box->setAngularVelocity(Vec3(0, 3, 0));
    EXPECT_FALSE(box->isSleeping());
    box->putToSleep();
    box->setLinearVelocity(Vec3(0, 0, 3));
    EXPECT_FALSE(box->isSleeping());
    s.step(5);
    EXPECT_GT(box->getGlobalPose().p.z, 0.1f) << "and it moves";
}

// Steps until the body sleeps, at most seconds long; whether it does.
bool stepUntilAsleep(PhysScene& s, const RigidDynamic& body, int seconds) {
    for (int i = 0; i < seconds * StepsPerSecond && !body.isSleeping(); ++i)
        s.step();
    return body.isSleeping();
}

// Both ways a body comes to sleep: told to, or left to settle on the ground.
enum class Asleep { Told, Settled };

RigidDynamic* addSleepingBox(PhysScene& s, Asleep how) {
    RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    if (how == Asleep::Told) {
        s.step();
        box->putToSleep();
    } else {
        stepUntilAsleep(s, *box, 4);
    }
    return box;
}

// A sleeping body teleported into the air falls when woken by the move, and otherwise stays
// asleep where it was put.
TEST(BodyState, MovingASleepingBodyWakesItOnlyWhenAsked) {
    for (const Asleep how : {Asleep::Told, Asleep::Settled}) {
        for (const bool autowake : {true, false}) {
            PhysScene s;
            RigidDynamic* box = addSleepingBox(s, how);
            ASSERT_TRUE(box->isSleeping());
            const float counter = box->getWakeCounter();
            const Vec3 lifted(2, 4, 0);
            box->setGlobalPose(Transform(lifted), autowake);
            EXPECT_NEAR((box->getGlobalPose().p - lifted).magnitude(), 0.0f, 1e-6f);
            EXPECT_EQ(box->isSleeping(), !autowake) << autowake;
            if (autowake)
                EXPECT_GE(box->getWakeCounter(), RigidDynamic::DefaultWakeCounter);
            else
                EXPECT_EQ(box->getWakeCounter(), counter);
            s.step();
            EXPECT_EQ(box->isSleeping(), !autowake) << autowake;
            if (autowake)
                EXPECT_LT(box->getGlobalPose().p.y, lifted.y) << "woken, it falls";
            else
                EXPECT_EQ(box->getGlobalPose().p.y, lifted.y) << "asleep, it hangs where it was put";
        }
    }
}

// Every other write that takes a wake switch: it wakes a sleeping body when the switch is on
// and leaves it asleep, through the next step too, when it is off.
TEST(BodyState, WritesWithAWakeSwitchWakeASleepingBodyOnlyWhenAsked) {
    using Write = void (*)(RigidDynamic&, bool);
    const std::pair<const char*, Write> writes[] = {
        {"setLinearVelocity", [](RigidDynamic& b, bool w) { b.setLinearVelocity(Vec3(0, 0, 3), w); }},
        {"setAngularVelocity", [](RigidDynamic& b, bool w) { b.setAngularVelocity(Vec3(0, 3, 0), w); }},
        {"addForce", [](RigidDynamic& b, bool w) { b.addForce(Vec3(0, 0, 200), ForceMode::Force, w); }},
        {"addImpulse", [](RigidDynamic& b, bool w) { b.addForce(Vec3(0, 0, 3), ForceMode::Impulse, w); }},
        {"addTorque", [](RigidDynamic& b, bool w) { b.addTorque(Vec3(0, 200, 0), ForceMode::Force, w); }},
        {"clearForce", [](RigidDynamic& b, bool w) { b.clearForce(ForceMode::Force, w); }},
        {"clearTorque", [](RigidDynamic& b, bool w) { b.clearTorque(ForceMode::Force, w); }},
        {"addForceAtPos",
         [](RigidDynamic& b, bool w) { addForceAtPos(b, Vec3(0, 0, 200), Vec3(0.5f, 0.5f, 0), ForceMode::Force, w); }},
    };
    for (const auto& [name, write] : writes) {
        for (const bool autowake : {true, false}) {
            PhysScene s;
            RigidDynamic* box = addSleepingBox(s, Asleep::Told);
            write(*box, autowake);
            EXPECT_EQ(box->isSleeping(), !autowake) << name << " " << autowake;
            if (autowake)
                EXPECT_GE(box->getWakeCounter(), RigidDynamic::DefaultWakeCounter) << name;
            else
                EXPECT_EQ(box->getWakeCounter(), 0.0f) << name;
            s.step();
            EXPECT_EQ(box->isSleeping(), !autowake) << name << " " << autowake << ", after a step";
            EXPECT_TRUE(s.errors.errors.empty()) << name;
        }
    }
}

// A body the step wakes (struck by another) is read back from that step on, and read as
// asleep once it settles again.
TEST(BodyState, ASleepingBoxStruckAwakeMovesAndSleepsAgain) {
    PhysScene s;
    RigidDynamic* target = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    ASSERT_TRUE(stepUntilAsleep(s, *target, 4));
    const Vec3 before = target->getGlobalPose().p;
    RigidDynamic* striker = s.addBox(Vec3(-3, 0.5f, 0), Vec3(0.5f), 5.0f);
    striker->setLinearVelocity(Vec3(12, 0, 0));
    bool moved = false;
    for (int i = 0; i < StepsPerSecond && !moved; ++i) {
        s.step();
        moved = target->getGlobalPose().p.x > before.x + 0.05f;
    }
    ASSERT_TRUE(moved);
    EXPECT_FALSE(target->isSleeping());
    EXPECT_GT(target->getLinearVelocity().x, 0.0f);
    ASSERT_TRUE(stepUntilAsleep(s, *target, 6));
    EXPECT_EQ(target->getLinearVelocity(), Vec3()) << "read as it fell asleep";
    EXPECT_NEAR(target->getGlobalPose().p.y, 0.5f, 0.02f);
}

// Releasing an awake body, between steps or while one runs, leaves the others read as before.
TEST(BodyState, ReleasingAnAwakeBoxLeavesItsNeighboursRead) {
    for (const bool duringStep : {false, true}) {
        PhysScene s;
        std::vector<RigidDynamic*> boxes;
        for (int i = 0; i < 3; ++i)
            boxes.push_back(s.addBox(Vec3(2.0f * i, 3.0f, 0), Vec3(0.5f), 1.0f));
        s.step(3);
        if (duringStep) {
            s.scene->simulate(StepTime);
            boxes[1]->release();
            s.scene->fetchResults(true);
        } else {
            boxes[1]->release();
        }
        for (RigidDynamic* box : {boxes[0], boxes[2]}) {
            ASSERT_TRUE(stepUntilAsleep(s, *box, 5)) << duringStep;
            EXPECT_NEAR(box->getGlobalPose().p.y, 0.5f, 0.02f) << duringStep;
        }
    }
}

TEST(BodyState, WakeCounterKeepsARestingBodyAwakeThatLong) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    for (int i = 0; i < 4 * StepsPerSecond && !box->isSleeping(); ++i)
        s.step();
    ASSERT_TRUE(box->isSleeping());
    box->wakeUp(0.4f);
    int awake = 0;
    for (int i = 0; i < 2 * StepsPerSecond && !box->isSleeping(); ++i, ++awake)
        s.step();
    EXPECT_GE(awake, static_cast<int>(0.4f * StepsPerSecond) - 1);
    EXPECT_TRUE(box->isSleeping()) << "and sleeps again afterwards";

    for (float refused : {-0.1f, NAN, INFINITY})
        box->wakeUp(refused);
    EXPECT_TRUE(box->isSleeping()) << "a counter below zero or not finite wakes nothing";
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidOperation), 3);
    box->wakeUp(0.0f);
    EXPECT_EQ(box->getWakeCounter(), 0.0f) << "zero is a counter";
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidOperation), 3);
}

TEST(BodyState, GravityChangesReachBodiesAndCanBeSwitchedOffPerActor) {
    PhysScene s;
    RigidDynamic* falling = s.addSphere(Vec3(0, 10, 0), 0.5f, 1.0f);
    RigidDynamic* floating = s.addSphere(Vec3(5, 10, 0), 0.5f, 1.0f);
    floating->setActorFlag(ActorFlag::DisableGravity, true);
    s.scene->setGravity(Vec3(10, 0, 0));
    EXPECT_EQ(s.scene->getGravity(), Vec3(10, 0, 0));
    s.scene->setGravity(Vec3(0, NAN, 0));
    EXPECT_EQ(s.scene->getGravity(), Vec3(10, 0, 0)) << "a gravity not finite is refused";
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 1);
    s.step(10);
    EXPECT_NEAR(falling->getLinearVelocity().x, 10.0f * 10 * StepTime, 0.05f);
    EXPECT_NEAR(falling->getGlobalPose().p.y, 10.0f, 1e-4f);
    EXPECT_EQ(floating->getLinearVelocity(), Vec3());
    floating->setActorFlag(ActorFlag::DisableGravity, false);
    s.step(10);
    EXPECT_GT(floating->getLinearVelocity().x, 1.0f);
}

TEST(BodyState, ShapeAddedDuringAStepCollidesAfterwards) {
    SceneOptions options;
    options.threads = 1;
    PhysScene s(options);
    RigidStatic* platform = s.addStaticBox(Vec3(20, 0, 0), Vec3(1.0f));
    RigidDynamic* ball = s.addSphere(Vec3(0, 6, 0), 0.5f, 1.0f);
    s.step();
    s.scene->simulate(StepTime);
    platform->createShape(BoxGeometry(2, 0.5f, 2), *s.material, Transform(Vec3(-20, 2, 0)));
    RaycastHit hit;
    ASSERT_TRUE(s.scene->raycastSingle(Vec3(0, 5, 0), Vec3(0, -1, 0), 10.0f, HitDefault, hit));
    EXPECT_EQ(hit.actor, platform) << "queries see the new shape at once";
    s.scene->fetchResults(true);
    s.step(StepsPerSecond);
    EXPECT_NEAR(ball->getGlobalPose().p.y, 3.0f, 0.02f) << "the ball lands on the new shape";
}

TEST(BodyState, SolverIterationCountsStayWithinOneTo255) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 5, 0), Vec3(0.5f, 0.5f, 0.5f), 1.0f);
    uint32_t position = 0, velocity = 0;
    box->setSolverIterationCounts(255, 255);
    box->getSolverIterationCounts(position, velocity);
    EXPECT_EQ(position, 255u);
    EXPECT_EQ(velocity, 255u);
    box->setSolverIterationCounts(1, 1);
    box->getSolverIterationCounts(position, velocity);
    EXPECT_EQ(position, 1u);
    EXPECT_EQ(velocity, 1u);
    for (auto [p, v] : {std::pair{256u, 4u}, {4u, 256u}, {0u, 4u}, {4u, 0u}}) {
        box->setSolverIterationCounts(p, v);
        box->getSolverIterationCounts(position, velocity);
        EXPECT_EQ(position, 1u) << p << " " << v << ": refused";
        EXPECT_EQ(velocity, 1u) << p << " " << v << ": refused";
    }
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 4);
}

} // namespace
} // namespace phys::test
