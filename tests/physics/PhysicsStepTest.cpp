// The fixed step: steps counted per frame, the cap of ten, the first updates after a load,
// the asynchronous step and its catch-up steps, queued forces and deferred releases.
#include "PhysicsFixture.h"

#include "physics/world/PhysicsFiltering.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "core/ProfilerManager.h"
#include "core/Stopwatch.h"

namespace {

std::int64_t stepClock = 0;
std::int64_t readStepClock() { return stepClock; }

class PhysicsStepTest : public PhysicsFixture {
protected:
    void SetUp() override { makeManager(); }
    void TearDown() override {
        resetCoreSlots();
        profilerManager = nullptr;
    }

    // Past the two updates that count nothing.
    void warmUp() {
        manager->updateStepCount(0.0f);
        manager->updateStepCount(0.0f);
    }
    // One frame of the game's loop worth `seconds`.
    void frame(float seconds) {
        manager->endStep();
        manager->updateStepCount(seconds);
        manager->beginStep();
        manager->stepDuringRender();
        manager->stepDuringRender();
    }
};

TEST_F(PhysicsStepTest, StepsDueFollowTheFrameTimeUpToTen) {
    struct Row {
        float seconds;
        int steps;
        float left;
    };
    for (const Row& row : {Row{0.05f, 2, 0.0166f}, Row{0.0167f, 1, 0.0f}, Row{1.0f, 10, 0.833f}, Row{0.01f, 0, 0.01f}}) {
        makeManager();
        warmUp();
        manager->updateStepCount(row.seconds);
        EXPECT_EQ(manager->getStepsDue(), row.steps) << row.seconds;
        EXPECT_NEAR(manager->getAccumulator(), row.left, 1e-4f) << row.seconds;
    }
    // The remainder beyond the cap is discarded by the next update, not carried.
    manager->updateStepCount(1.0f);
    manager->updateStepCount(0.02f);
    EXPECT_EQ(manager->getStepsDue(), 1);
    EXPECT_NEAR(manager->getAccumulator(), 0.0033f, 1e-4f);
}

TEST_F(PhysicsStepTest, TheFirstTwoUpdatesAfterALoadCountNoStepsYetStartOne) {
    phys::RigidDynamic* ball = addBall(10.0f);
    for (int load = 0; load < 2; ++load) {
        manager->resetFrameCounter();
        for (int update = 0; update < 2; ++update) {
            manager->endStep();
            manager->updateStepCount(0.5f);
            EXPECT_EQ(manager->getStepsDue(), 0);
            EXPECT_FLOAT_EQ(manager->getAccumulator(), 0.0f);
            const float before = ball->getGlobalPose().p.y;
            manager->beginStep();
            EXPECT_TRUE(manager->isStepInFlight()) << "every update that lets the game run starts one step";
            manager->endStep();
            EXPECT_LT(ball->getGlobalPose().p.y, before);
        }
        manager->updateStepCount(0.05f);
        EXPECT_EQ(manager->getStepsDue(), 2);
    }
}

TEST_F(PhysicsStepTest, AFrameRunsItsDueStepsAndNeverMoreThanTen) {
    phys::RigidDynamic* ball = addBall(1000.0f);
    warmUp();
    // A frame of 1 s is worth ten steps, not sixty: the ball has fallen for ten.
    frame(1.0f);
    manager->endStep();
    EXPECT_NEAR(-ball->getLinearVelocity().y, 55.0f * 10 * 0.0167f, 0.05f);
    EXPECT_EQ(manager->getStepsDue(), 0);
    // The next frame starts afresh: one step for 0.0167 s.
    frame(0.0167f);
    manager->endStep();
    EXPECT_NEAR(-ball->getLinearVelocity().y, 55.0f * 11 * 0.0167f, 0.05f);
}

// The profiler's physics time is the steps' time of a frame, not the run's: the counter
// moves a long way between frames, and not at all while the physics runs.
std::int64_t profilerCounter = 0;
std::int64_t readProfilerCounter() { return profilerCounter; }

TEST_F(PhysicsStepTest, ThePhysicsStopwatchMeasuresOneFramesSteps) {
    ProfilerManager profiler(StopwatchClock{&readProfilerCounter, 1000});
    profilerManager = &profiler;
    addBall(10.0f);
    warmUp();
    for (int i = 0; i < 3; ++i) {
        profilerCounter += 500000; // 500 s outside the physics
        frame(0.0167f);
        manager->endStep();
        EXPECT_LT(profiler.stopwatch(ProfilerManager::Physics).delta(), 0.001f) << "frame " << i;
    }
}

TEST_F(PhysicsStepTest, CatchUpStepsDuringTheRenderRunOnlyWhenTwoAreDue) {
    warmUp();
    manager->updateStepCount(0.0167f * 3.5f);
    ASSERT_EQ(manager->getStepsDue(), 3);
    manager->beginStep();
    // No engine device in this test: the step timer's wait does not apply.
    manager->stepDuringRender();
    EXPECT_EQ(manager->getStepsDue(), 2);
    EXPECT_TRUE(manager->isStepInFlight());
    manager->stepDuringRender();
    EXPECT_EQ(manager->getStepsDue(), 1);
    EXPECT_TRUE(manager->isStepInFlight());
    manager->stepDuringRender();
    EXPECT_EQ(manager->getStepsDue(), 1) << "the last step is fetched by endStep";
    manager->endStep();
    EXPECT_FALSE(manager->isStepInFlight());
    EXPECT_EQ(manager->getStepsDue(), 0);
}

TEST_F(PhysicsStepTest, QueuedForcesReachTheNextStepAndAResetDropsThem) {
    phys::RigidDynamic* ball = addBall(1000.0f, 2.0f);
    warmUp();
    manager->updateStepCount(0.0167f);
    // An impulse of 2 kg m/s on a 2 kg body: 1 m/s sideways.
    manager->addForce(phys::Vec3(2, 0, 0), phys::ForceMode::Impulse, ball, false);
    EXPECT_EQ(manager->getImpulseForces().size(), 1u);
    manager->beginStep();
    EXPECT_TRUE(manager->getImpulseForces().empty());
    manager->endStep();
    EXPECT_NEAR(ball->getLinearVelocity().x, 1.0f, 1e-3f);

    // A zero velocity change stops the body.
    manager->updateStepCount(0.0167f);
    manager->addForce(phys::Vec3(), phys::ForceMode::VelocityChange, ball, false);
    manager->beginStep();
    manager->endStep();
    EXPECT_NEAR(ball->getLinearVelocity().x, 0.0f, 1e-4f);

    // Forces queued before a reset never reach a scene.
    manager->addForce(phys::Vec3(5, 0, 0), phys::ForceMode::Impulse, ball, false);
    manager->addTorque(phys::Vec3(5, 0, 0), phys::ForceMode::Impulse, ball, false);
    manager->addForce(phys::Vec3(5, 0, 0), phys::ForceMode::Force, ball, true);
    manager->resetScene();
    EXPECT_TRUE(manager->getImpulseForces().empty());
    EXPECT_TRUE(manager->getImpulseTorques().empty());
    EXPECT_TRUE(manager->getContinuousForces().empty());
}

TEST_F(PhysicsStepTest, ForcesGoToTheirQueuesAndKinematicOrRefusedOnesAreDropped) {
    phys::RigidDynamic* ball = addBall(10.0f);
    manager->addForce(phys::Vec3(1, 0, 0), phys::ForceMode::Force, ball, true);
    manager->addForce(phys::Vec3(1, 0, 0), phys::ForceMode::Acceleration, ball, true);
    manager->addForce(phys::Vec3(1, 0, 0), phys::ForceMode::Impulse, ball, true);
    manager->addForce(phys::Vec3(1, 0, 0), phys::ForceMode::Force, ball, false);
    EXPECT_EQ(manager->getContinuousForces().size(), 2u);
    EXPECT_EQ(manager->getImpulseForces().size(), 2u);
    manager->addForce(phys::Vec3(1, 0, 0), phys::ForceMode::Force, nullptr, false);
    ball->setRigidDynamicFlag(phys::RigidDynamicFlag::Kinematic, true);
    manager->addForce(phys::Vec3(1, 0, 0), phys::ForceMode::Force, ball, false);
    manager->addTorque(phys::Vec3(1, 0, 0), phys::ForceMode::Force, ball, false);
    EXPECT_EQ(manager->getImpulseForces().size(), 2u);
    EXPECT_TRUE(manager->getImpulseTorques().empty());
    ball->setRigidDynamicFlag(phys::RigidDynamicFlag::Kinematic, false);

    // While the screens hold the game back, nothing is queued.
    screenManager = reinterpret_cast<ScreenManager*>(&screenManager);
    coreSlots().screens.isGameUpdateAllowed = [] { return false; };
    manager->addForce(phys::Vec3(1, 0, 0), phys::ForceMode::Impulse, ball, false);
    manager->addTorque(phys::Vec3(1, 0, 0), phys::ForceMode::Impulse, ball, false);
    screenManager = nullptr;
    EXPECT_EQ(manager->getImpulseForces().size(), 2u);
    EXPECT_TRUE(manager->getImpulseTorques().empty());

    // With no step due the continuous forces are dropped.
    warmUp();
    manager->updateStepCount(0.001f);
    EXPECT_TRUE(manager->getContinuousForces().empty());
}

int stepWorkRuns = 0;
void countStepWork(irr::scene::ISceneNode&) { ++stepWorkRuns; }

// Step work runs before every step of the frame it was queued in, holds its owner until those
// steps are done or the scene is reset, and is refused while the screens hold the game back.
TEST_F(PhysicsStepTest, StepWorkRunsBeforeEveryStepOfItsFrameAndHoldsItsOwnerMeanwhile) {
    addBall(10.0f);
    irr::scene::ISceneNode* owner = sceneManager()->addEmptySceneNode();
    const irr::s32 held = owner->getReferenceCount();
    warmUp();
    const struct Row {
        float steps; // the frame's time in steps
        int runs;
    } rows[] = {{1.0f, 1}, {4.2f, 4}, {10.0f, 10}, {12.0f, 10}};
    for (const Row& row : rows) {
        manager->endStep();
        manager->updateStepCount(row.steps * PhysicsManager::fixedStepSize);
        stepWorkRuns = 0;
        manager->addStepWork(owner, countStepWork);
        EXPECT_EQ(owner->getReferenceCount(), held + 1);
        manager->beginStep();
        manager->stepDuringRender();
        manager->stepDuringRender();
        manager->endStep();
        EXPECT_EQ(stepWorkRuns, row.runs) << row.steps;
        EXPECT_EQ(manager->queuedStepWork(), 0u);
        EXPECT_EQ(owner->getReferenceCount(), held);
    }
    manager->addStepWork(owner, countStepWork);
    manager->resetScene();
    EXPECT_EQ(manager->queuedStepWork(), 0u);
    EXPECT_EQ(owner->getReferenceCount(), held);

    manager->addStepWork(nullptr, countStepWork);
    manager->addStepWork(owner, nullptr);
    screenManager = reinterpret_cast<ScreenManager*>(&screenManager);
    coreSlots().screens.isGameUpdateAllowed = [] { return false; };
    manager->addStepWork(owner, countStepWork);
    screenManager = nullptr;
    EXPECT_EQ(manager->queuedStepWork(), 0u);
    EXPECT_EQ(owner->getReferenceCount(), held);
}

TEST_F(PhysicsStepTest, TorqueScalesWithTheFrameOnlyForForcesAndAccelerations) {
    phys::RigidDynamic* ball = addBall(10.0f);
    warmUp();
    manager->updateStepCount(0.0167f * 3.2f);
    ASSERT_EQ(manager->getStepsDue(), 3);
    EXPECT_NEAR(manager->getFrameStepTime(0.0167f * 3.2f), 3 * 0.0167f, 1e-6f);
    EXPECT_FLOAT_EQ(manager->getFrameStepTime(0.01f), 0.0167f);
    EXPECT_FLOAT_EQ(manager->getFrameStepTime(0.0167f), 0.0167f);

    // No frame stopwatch here: a frame of 0 s is one step's worth, so nothing is scaled.
    manager->addTorque(phys::Vec3(1, 0, 0), phys::ForceMode::Force, ball, true);
    EXPECT_NEAR(manager->getImpulseTorques().back().vector.x, 1.0f, 1e-5f);

    // A frame worth three steps triples a torque, not a torque impulse.
    Stopwatch watch(L"frame", 0.0f, StopwatchClock{&readStepClock, 1000000});
    frameStopwatch = &watch;
    stepClock += static_cast<std::int64_t>(0.0167 * 3.2 * 1000000.0);
    watch.tick();
    manager->addTorque(phys::Vec3(1, 0, 0), phys::ForceMode::Force, ball, true);
    EXPECT_NEAR(manager->getImpulseTorques().back().vector.x, 3.0f, 1e-4f);
    manager->addTorque(phys::Vec3(1, 0, 0), phys::ForceMode::Impulse, ball, true);
    EXPECT_NEAR(manager->getImpulseTorques().back().vector.x, 1.0f, 1e-5f);
    // A torque not asked to follow the frame is taken as it is.
    manager->addTorque(phys::Vec3(1, 0, 0), phys::ForceMode::Force, ball, false);
    EXPECT_NEAR(manager->getImpulseTorques().back().vector.x, 1.0f, 1e-5f);
    frameStopwatch = nullptr;
}

TEST_F(PhysicsStepTest, ReleasesWaitForTheStepInFlightAndAreQueuedOnce) {
    phys::RigidDynamic* first = addBall(10.0f);
    phys::RigidDynamic* second = addBall(20.0f);
    phys::RigidDynamic* third = addBall(30.0f);
    ASSERT_EQ(manager->getScene()->getNbActors(), 3u);
    // Without a step in flight the release is immediate even when not asked for.
    manager->releaseActor(third, false);
    EXPECT_EQ(manager->getScene()->getNbActors(), 2u);
    EXPECT_EQ(manager->queuedActorReleases(), 0u);

    warmUp();
    manager->updateStepCount(0.0167f);
    manager->beginStep();
    manager->releaseActor(first, false);
    manager->releaseActor(first, false);
    EXPECT_EQ(manager->queuedActorReleases(), 1u);
    // Inert at once: no filter words, no shape flags, no owner.
    phys::Shape* shape = nullptr;
    first->getShapes(&shape, 1);
    EXPECT_TRUE(shape->getSimulationFilterData().isZero());
    EXPECT_EQ(shape->getFlags() & (phys::ShapeSimulation | phys::ShapeSceneQuery), 0u);
    manager->releaseActor(second, true);
    EXPECT_EQ(manager->queuedActorReleases(), 1u);
    manager->releaseActor(nullptr, false);
    manager->releaseJoint(nullptr, false);
    manager->endStep();
    EXPECT_EQ(manager->queuedActorReleases(), 0u);
    EXPECT_EQ(manager->getScene()->getNbActors(), 0u);
}

TEST_F(PhysicsStepTest, JointReleasesWaitForTheStepInFlight) {
    phys::RigidDynamic* a = addBall(10.0f);
    phys::RigidDynamic* b = addBall(12.0f);
    phys::Joint* joint = phys::createFixedJoint(*manager->getPhysics(), a, phys::Transform(), b, phys::Transform());
    ASSERT_NE(joint, nullptr);
    warmUp();
    manager->updateStepCount(0.0167f);
    manager->beginStep();
    manager->releaseJoint(joint, false);
    manager->releaseJoint(joint, false);
    EXPECT_EQ(manager->queuedJointReleases(), 1u);
    manager->endStep();
    EXPECT_EQ(manager->queuedJointReleases(), 0u);
    // Released: the balls no longer move together.
    a->setLinearVelocity(phys::Vec3(5, 0, 0));
    frame(0.0167f);
    manager->endStep();
    EXPECT_NEAR(b->getLinearVelocity().x, 0.0f, 1e-3f);
}

TEST_F(PhysicsStepTest, AThreadedWorldStepsLikeTheInlineOne) {
    auto run = [this](int threads) {
        makeManager(threads);
        phys::RigidDynamic* ball = addBall(100.0f);
        warmUp();
        for (int i = 0; i < 20; ++i)
            frame(i % 3 == 0 ? 0.05f : 0.0167f);
        manager->endStep();
        return ball->getGlobalPose().p.y;
    };
    EXPECT_FLOAT_EQ(run(0), run(2));
}

TEST_F(PhysicsStepTest, NothingStepsWithoutAScene) {
    manager->releaseScene();
    manager->updateStepCount(0.1f);
    manager->beginStep();
    manager->stepDuringRender();
    manager->endStep();
    EXPECT_FALSE(manager->isStepInFlight());
}

} // namespace
