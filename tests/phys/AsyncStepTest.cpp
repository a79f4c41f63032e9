#include "PhysTestScene.h"

#include "phys/detail/PairFilter.h"
#include "phys/detail/SceneCore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

namespace phys::test {
namespace {

// A pile of twenty boxes and balls with some spin, stepped 300 times.
std::vector<Transform> runPile(uint32_t threads) {
    SceneOptions options;
    options.threads = threads;
    PhysScene s(options);
    std::vector<RigidDynamic*> bodies;
    for (int i = 0; i < 20; ++i) {
        const Vec3 at(0.3f * (i % 3), 1.0f + 1.2f * i, 0.2f * (i % 4));
        RigidDynamic* body = i % 2 ? s.addSphere(at, 0.4f, 2.0f) : s.addBox(at, Vec3(0.4f, 0.3f, 0.5f), 3.0f);
        body->setAngularVelocity(Vec3(0.5f * i, 0.0f, -0.25f * i));
        bodies.push_back(body);
    }
    s.step(300);
    std::vector<Transform> poses;
    for (RigidDynamic* body : bodies)
        poses.push_back(body->getGlobalPose());
    EXPECT_FALSE(s.events.contacts.empty());
    EXPECT_EQ(s.scene->core().pairs->undecidedPairs, 0u) << "every pair was filtered before the step met it";
    return poses;
}

TEST(AsyncStepping, InlineAndThreadedStepsAreBitIdentical) {
    const std::vector<Transform> inline0 = runPile(0);
    const std::vector<Transform> threaded = runPile(2);
    ASSERT_EQ(inline0.size(), threaded.size());
    EXPECT_EQ(std::memcmp(inline0.data(), threaded.data(), inline0.size() * sizeof(Transform)), 0);
    EXPECT_GT(inline0[19].p.y - 0.0f, 0.2f) << "the pile stands on the ground";
}

// Joined bodies, a cloth, particles and a walking controller, stepped 120 times; what they
// end as, as plain numbers.
std::vector<float> runEverything(uint32_t threads) {
    SceneOptions options;
    options.threads = threads;
    PhysScene s(options);
    RigidDynamic* a = s.addBox(Vec3(0, 4, 0), Vec3(0.3f), 1.0f);
    RigidDynamic* b = s.addBox(Vec3(0.8f, 4, 0), Vec3(0.3f), 1.0f);
    createSphericalJoint(*s.physics, nullptr, Transform(Vec3(-0.4f, 4, 0)), a, Transform(Vec3(-0.4f, 0, 0)));
    createSphericalJoint(*s.physics, a, Transform(Vec3(0.4f, 0, 0)), b, Transform(Vec3(-0.4f, 0, 0)));

    const Vec3 points[4] = {{3, 3, 0}, {4, 3, 0}, {4, 3, 1}, {3, 3, 1}};
    const uint32_t triangles[6] = {0, 2, 1, 0, 3, 2};
    ClothMeshDesc desc;
    desc.points = {points, sizeof(Vec3), 4};
    desc.triangles = {triangles, 3 * sizeof(uint32_t), 2};
    CookedClothFabric cooked;
    s.cooking->cookClothFabric(desc, Vec3(0, -1, 0), cooked);
    ClothFabric* fabric = s.physics->createClothFabric(cooked);
    const ClothParticle particles[4] = {{points[0], 0.0f}, {points[1], 1.0f}, {points[2], 1.0f}, {points[3], 0.0f}};
    Cloth* cloth = s.physics->createCloth(Transform(), *fabric, particles, ClothCollisionData(), 0);
    s.scene->addActor(*cloth);

    ParticleSystem* drops = s.physics->createParticleSystem(8);
    s.scene->addActor(*drops);
    const uint32_t indices[3] = {0, 1, 2};
    const Vec3 starts[3] = {{-2, 2, 0}, {-2, 3, 0.5f}, {-2, 4, 1}};
    ParticleCreationData data;
    data.numParticles = 3;
    data.indexBuffer = StridedData<uint32_t>(indices);
    data.positionBuffer = StridedData<Vec3>(starts);
    drops->createParticles(data);

    ControllerManager* manager = ControllerManager::create(*s.foundation);
    CapsuleControllerDesc walker;
    walker.position = ExtVec3(0, 3, 4);
    walker.radius = 0.4f;
    walker.height = 1.0f;
    walker.material = s.material;
    Controller* controller = manager->createController(*s.physics, s.scene, walker);
    for (int i = 0; i < 120; ++i) {
        s.scene->simulate(StepTime);
        controller->move(Vec3(0.05f, -0.45f, 0), 0.00001f, 1.0f, ControllerFilters());
        s.scene->fetchResults(true);
    }

    std::vector<float> state;
    auto add = [&](const Vec3& v) { state.insert(state.end(), {v.x, v.y, v.z}); };
    add(a->getGlobalPose().p);
    add(b->getGlobalPose().p);
    ClothReadData* read = cloth->lockParticleData();
    for (uint32_t i = 0; i < 4; ++i)
        add(read->particles[i].pos);
    read->unlock();
    ParticleReadData* drop = drops->lockParticleReadData();
    for (uint32_t i = 0; i < 3; ++i)
        add(drop->positionBuffer.at(i));
    drop->unlock();
    add(controller->getActor()->getGlobalPose().p);
    manager->release();
    fabric->release();
    return state;
}

TEST(AsyncStepping, JointsClothParticlesAndControllersStepIdentically) {
    const std::vector<float> inline0 = runEverything(0);
    const std::vector<float> threaded = runEverything(1);
    ASSERT_EQ(inline0.size(), threaded.size());
    EXPECT_EQ(std::memcmp(inline0.data(), threaded.data(), inline0.size() * sizeof(float)), 0);
    EXPECT_LT(inline0[10], 3.0f) << "the cloth's free particles have fallen";
}

// Threads of this process.
int liveThreads() {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        (void)entry;
        ++n;
    }
    return n;
}

// Waits (at most five seconds) for the process to be down to the given number of threads.
bool threadsFallTo(int count) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (liveThreads() > count) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::yield();
    }
    return true;
}

// The thread count once it has held still for a tenth of a second (at most two seconds): an
// earlier test's worker may still be on its way out.
int settledThreads() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int count = liveThreads();
    auto still = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < end) {
        const int now = liveThreads();
        if (now != count) {
            count = now;
            still = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - still > std::chrono::milliseconds(100)) {
            break;
        }
        std::this_thread::yield();
    }
    return count;
}

TEST(AsyncStepping, AReleasedDispatcherStopsItsWorkerOnceNoSceneUsesIt) {
    const int before = settledThreads();
    Dispatcher* unused = Dispatcher::create(1);
    EXPECT_EQ(liveThreads(), before + 1);
    unused->release();
    EXPECT_TRUE(threadsFallTo(before)) << "a dispatcher no scene uses goes at once";

    PhysScene s{SceneOptions{}};
    const int withScene = settledThreads();
    Dispatcher* shared = Dispatcher::create(1);
    SceneDesc desc(s.physics->getTolerancesScale());
    desc.dispatcher = shared;
    desc.filterShader = reportingShader;
    Scene* scene = s.physics->createScene(desc);
    ASSERT_NE(scene, nullptr);
    shared->release();
    scene->simulate(StepTime);
    EXPECT_TRUE(scene->fetchResults(true)) << "the scene still steps on its released dispatcher";
    EXPECT_EQ(liveThreads(), withScene + 1);
    scene->release();
    EXPECT_TRUE(threadsFallTo(withScene)) << "the dispatcher goes with its last scene";
}

class ThreadedScene : public ::testing::Test {
protected:
    static SceneOptions threaded() {
        SceneOptions o;
        o.threads = 1;
        return o;
    }
    PhysScene s{threaded()};
};

TEST_F(ThreadedScene, ReadsDuringAStepSeeThePoseBeforeIt) {
    RigidDynamic* box = s.addBox(Vec3(0, 5, 0), Vec3(0.5f), 1.0f);
    s.step(3);
    const Transform before = box->getGlobalPose();
    s.scene->simulate(StepTime);
    EXPECT_TRUE(s.scene->isSimulating());
    EXPECT_EQ(box->getGlobalPose(), before);
    s.scene->fetchResults(true);
    EXPECT_LT(box->getGlobalPose().p.y, before.p.y);
}

TEST_F(ThreadedScene, VelocityWrittenDuringAStepIsReadAtOnceAndWinsOverTheStep) {
    RigidDynamic* box = s.addBox(Vec3(0, 5, 0), Vec3(0.5f), 1.0f);
    s.step(3);
    s.scene->simulate(StepTime);
    box->setLinearVelocity(Vec3(5, 0, 0));
    EXPECT_EQ(box->getLinearVelocity(), Vec3(5, 0, 0));
    s.scene->fetchResults(true);
    EXPECT_EQ(box->getLinearVelocity(), Vec3(5, 0, 0)) << "the caller's write wins over the simulated value";
    const float x = box->getGlobalPose().p.x;
    s.step();
    EXPECT_NEAR(box->getGlobalPose().p.x - x, 5.0f * StepTime, 1e-4f);
}

TEST_F(ThreadedScene, APoseOrVelocityWrittenDuringAStepLeavesTheStepsOtherResult) {
    RigidDynamic* box = s.addBox(Vec3(0, 20, 0), Vec3(0.5f), 1.0f);
    s.step(5);
    const Transform before = box->getGlobalPose();
    const float fallSpeed = box->getLinearVelocity().y;
    ASSERT_LT(fallSpeed, -1.0f);

    s.scene->simulate(StepTime);
    box->setLinearVelocity(Vec3(5, 0, 0));
    s.scene->fetchResults(true);
    EXPECT_LT(box->getGlobalPose().p.y, before.p.y - 0.5f * -fallSpeed * StepTime) << "the step's fall stands";
    EXPECT_EQ(box->getLinearVelocity(), Vec3(5, 0, 0));

    box->setLinearVelocity(Vec3(0, fallSpeed, 0));
    s.scene->simulate(StepTime);
    box->setGlobalPose(Transform(Vec3(3, 15, 0)));
    s.scene->fetchResults(true);
    EXPECT_EQ(box->getGlobalPose(), Transform(Vec3(3, 15, 0)));
    EXPECT_LT(box->getLinearVelocity().y, fallSpeed) << "the step's gravity stands";
    const float y = box->getGlobalPose().p.y;
    s.step();
    EXPECT_LT(box->getGlobalPose().p.y, y) << "the body falls on from where it was put";
    EXPECT_NEAR(box->getGlobalPose().p.x, 3.0f, 1e-4f);
}

TEST_F(ThreadedScene, ACentreOfMassSetDuringAStepLeavesTheActorWhereItIs) {
    RigidDynamic* box = s.addBox(Vec3(0, 10, 0), Vec3(0.5f), 1.0f);
    s.step(3);
    s.scene->simulate(StepTime);
    box->setCMassLocalPose(Transform(Vec3(0.3f, 0, 0)));
    s.scene->fetchResults(true);
    EXPECT_NEAR(box->getGlobalPose().p.x, 0.0f, 1e-4f) << "the pose comes back with the centre it was stepped with";
    s.step(5);
    EXPECT_NEAR(box->getGlobalPose().p.x, 0.0f, 1e-4f) << "a falling box does not drift";
}

TEST_F(ThreadedScene, AKinematicSwitchDuringAStepReadsNoOldVelocity) {
    RigidDynamic* box = s.addBox(Vec3(0, 20, 0), Vec3(0.5f), 1.0f);
    s.step(10);
    ASSERT_LT(box->getLinearVelocity().y, -1.0f);
    s.scene->simulate(StepTime);
    box->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    s.scene->fetchResults(true);
    EXPECT_EQ(box->getLinearVelocity(), Vec3()) << "a held body does not move";
    const float y = box->getGlobalPose().p.y;
    s.step(3);
    EXPECT_EQ(box->getLinearVelocity(), Vec3());
    EXPECT_NEAR(box->getGlobalPose().p.y, y, 1e-5f);
}

TEST_F(ThreadedScene, RaycastDuringAStepSeesATeleportMadeDuringIt) {
    RigidDynamic* box = s.addBox(Vec3(0, 5, 0), Vec3(0.5f), 1.0f);
    s.step();
    s.scene->simulate(StepTime);
    box->setGlobalPose(Transform(Vec3(10, 5, 0)));
    RaycastHit hit;
    ASSERT_TRUE(s.scene->raycastSingle(Vec3(10, 20, 0), Vec3(0, -1, 0), 50.0f, HitDefault, hit));
    EXPECT_EQ(hit.actor, box);
    EXPECT_NEAR(hit.position.y, 5.5f, 1e-3f);
    s.scene->fetchResults(true);
    EXPECT_NEAR(box->getGlobalPose().p.x, 10.0f, 1e-6f);
}

TEST_F(ThreadedScene, ReleasesDuringAStepAreDeferredAndSafe) {
    RigidDynamic* a = s.addBox(Vec3(0, 0.5f, 0), Vec3(0.5f), 1.0f);
    RigidDynamic* b = s.addBox(Vec3(0, 1.5f, 0), Vec3(0.5f), 1.0f);
    s.step(10);
    s.scene->simulate(StepTime);
    a->release();
    EXPECT_EQ(s.scene->getNbActors(), 2u) << "ground and the remaining box";
    s.scene->fetchResults(true);
    s.step(StepsPerSecond);
    EXPECT_NEAR(b->getGlobalPose().p.y, 0.5f, 0.02f) << "the box above falls onto the ground";
}

class CountingTask : public CompletionTask {
public:
    const char* getName() const override { return "Timer Task"; }
    void run() override {
        ++runs;
        pendingDuringRun = isPending();
    }
    std::atomic<int> runs{0};
    bool pendingDuringRun = false;
};

TEST_F(ThreadedScene, CompletionTaskRunsOncePerStepBeforeTheFetchReturns) {
    s.addBox(Vec3(0, 5, 0), Vec3(0.5f), 1.0f);
    CountingTask task;
    for (int i = 1; i <= 5; ++i) {
        s.scene->simulate(StepTime, &task);
        s.scene->fetchResults(true);
        EXPECT_EQ(task.runs.load(), i);
        EXPECT_FALSE(task.isPending());
    }
    EXPECT_TRUE(task.pendingDuringRun);
}

TEST_F(ThreadedScene, SimulateWhileAStepIsUnfetchedIsRefused) {
    s.scene->simulate(StepTime);
    s.scene->simulate(StepTime);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidOperation), 1);
    EXPECT_TRUE(s.scene->checkResults(true));
    EXPECT_TRUE(s.scene->fetchResults(true));
    EXPECT_FALSE(s.scene->fetchResults(true)) << "nothing left to fetch";
    EXPECT_FALSE(s.scene->checkResults(false)) << "no step to be done";
    s.scene->simulate(0.0f);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 1);
}

TEST_F(ThreadedScene, ReleasingTheSceneDuringAStepFinishesItQuietly) {
    s.addBox(Vec3(0, 5, 0), Vec3(0.5f), 1.0f);
    s.step();
    s.scene->simulate(StepTime);
    s.scene->release();
    s.scene = nullptr;
    EXPECT_TRUE(s.events.contacts.empty());
}

} // namespace
} // namespace phys::test
