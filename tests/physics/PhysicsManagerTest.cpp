// World set-up and teardown: thread count, tolerances, the materials, a second init, the
// scene reset on level unload (also with a step in flight) and the library's error line.
#include "PhysicsFixture.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsLibraryCallbacks.h"
#include "physics/world/PhysicsRegistration.h"
#include "physics/world/PhysicsUserData.h"

#include "core/Globals.h"
#include "core/RepeatedLog.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"

namespace {

class PhysicsManagerTest : public PhysicsFixture {};

TEST_F(PhysicsManagerTest, ThreadSettingIsClampedToZeroToTen) {
    for (auto [setting, expected] : {std::pair{-3, 0}, {25, 10}, {4, 4}, {0, 0}}) {
        setSettingInt("Game_PhysicsThreads", setting);
        PhysicsManager constructed;
        EXPECT_EQ(constructed.getThreadCount(), expected) << setting;
    }
    // Without settings the world runs inline.
    gameSettings = nullptr;
    PhysicsManager withoutSettings;
    EXPECT_EQ(withoutSettings.getThreadCount(), 0);
    gameSettings = settings.get();
}

TEST_F(PhysicsManagerTest, ToleranceSpeedAndSceneGravityComeFromTheMovementGravity) {
    setGravity({0.0f, -55.0f, 0.0f});
    makeManager();
    EXPECT_FLOAT_EQ(manager->getTolerances().speed, 55.0f);
    EXPECT_FLOAT_EQ(manager->getTolerances().length, 5.0f);
    EXPECT_FLOAT_EQ(manager->getTolerances().mass, 5000.0f);
    phys::Vec3 gravity(1, 2, 3);
    manager->getGravity(gravity);
    EXPECT_EQ(gravity, phys::Vec3(0, -55, 0));

    setGravity({0.0f, 0.0f, 0.0f});
    makeManager();
    EXPECT_FLOAT_EQ(manager->getTolerances().speed, 0.0f);
    // An upward gravity gives no speed scale instead of a world that cannot be made.
    setGravity({0.0f, 9.0f, 0.0f});
    makeManager();
    EXPECT_FLOAT_EQ(manager->getTolerances().speed, 0.0f);
    EXPECT_NE(manager->getScene(), nullptr);
}

TEST_F(PhysicsManagerTest, ALevelsGravityIsTheMovementGravityUnlessTheLevelBringsItsOwn) {
    setGravity({0.0f, -30.0f, 0.0f});
    makeManager();
    registerPhysicsLevelSlots();
    const auto sceneGravity = [this] {
        phys::Vec3 gravity(1, 2, 3);
        manager->getGravity(gravity);
        return gravity;
    };
    LevelSettings settings;
    settings.Gravity.set(0.0f, -10.0f, 0.0f);
    applyLevelSettings(settings, nullptr);
    EXPECT_EQ(sceneGravity(), phys::Vec3(0, -30, 0));
    settings.UseDefaultGravity = false;
    applyLevelSettings(settings, nullptr);
    EXPECT_EQ(sceneGravity(), phys::Vec3(0, -10, 0));
    // Without a movement object the level's own gravity holds.
    settings.UseDefaultGravity = true;
    movementObject = nullptr;
    applyLevelSettings(settings, nullptr);
    movementObject = movement;
    EXPECT_EQ(sceneGravity(), phys::Vec3(0, -10, 0));
    resetLevelHooks();
}

TEST_F(PhysicsManagerTest, InitBuildsTheWorldWithThreeStandardMaterials) {
    makeManager(2);
    EXPECT_NE(manager->getFoundation(), nullptr);
    EXPECT_NE(manager->getPhysics(), nullptr);
    EXPECT_NE(manager->getCooking(), nullptr);
    EXPECT_NE(manager->getControllerManager(), nullptr);
    ASSERT_NE(manager->getScene(), nullptr);
    EXPECT_EQ(manager->getScene()->getFlags(), 0x400u);
    EXPECT_EQ(manager->getThreadCount(), 2);
    ASSERT_EQ(manager->getMaterials().size(), 3u);
    const float expected[3][3] = {{0.5f, 0.5f, 0.1f}, {0, 0, 0}, {8000, 8000, 0}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(manager->getMaterial(i)->getStaticFriction(), expected[i][0]);
        EXPECT_FLOAT_EQ(manager->getMaterial(i)->getDynamicFriction(), expected[i][1]);
        EXPECT_FLOAT_EQ(manager->getMaterial(i)->getRestitution(), expected[i][2]);
    }
    EXPECT_EQ(manager->getMaterial(3), nullptr);
    EXPECT_TRUE(manager->isSimulationActive());
}

TEST_F(PhysicsManagerTest, ASecondInitReleasesTheWorldAndBuildsANewOne) {
    makeManager();
    addBall(5.0f);
    phys::Scene* first = manager->getScene();
    ASSERT_EQ(first->getNbActors(), 1u);
    ASSERT_TRUE(manager->init());
    ASSERT_NE(manager->getScene(), nullptr);
    EXPECT_EQ(manager->getScene()->getNbActors(), 0u);
    EXPECT_EQ(manager->getMaterials().size(), 3u) << "the old materials went with the old world";
}

TEST_F(PhysicsManagerTest, ResetSceneKeepsMaterialsAndGivesAnEmptyScene) {
    makeManager();
    const std::vector<phys::Material*> before = manager->getMaterials();
    addBall(5.0f);
    for (int i = 0; i < 3; ++i) {
        manager->resetScene();
        ASSERT_NE(manager->getScene(), nullptr);
        EXPECT_EQ(manager->getScene()->getNbActors(), 0u);
        EXPECT_EQ(manager->getMaterials(), before);
        EXPECT_FALSE(manager->isResetting());
    }
}

// The level unload resets the scene while a step is in flight: the step is fetched, the
// queued releases run, its reports are dropped, and only then does the scene go.
TEST_F(PhysicsManagerTest, ResetSceneDuringAStepInFlightFetchesReleasesAndDropsReports) {
    for (int threads : {0, 1}) {
        makeManager(threads);
        // A ball resting on a part of the player's body reports its touch every step.
        phys::RigidActor* floor = manager->createSphereActor(phys::Transform(phys::Vec3(0, -100, 0)), 100.0f, 1.0f,
                                                             0.5f, 0.1f, true, false);
        setActorFilterData(floor, 0x100, 0x0FFFFFFF);
        phys::RigidDynamic* ball = addBall(0.49f);
        phys::RigidDynamic* other = addBall(5.0f);
        for (int frame = 0; frame < 4; ++frame) {
            manager->updateStepCount(0.0167f);
            manager->beginStep();
            manager->endStep();
        }
        const unsigned acceptedBefore = manager->getCallbacks()->acceptedReports();
        EXPECT_GT(acceptedBefore, 0u) << "the ball touches the floor";

        phys::Joint* joint =
            phys::createFixedJoint(*manager->getPhysics(), ball, phys::Transform(), other, phys::Transform());
        ASSERT_NE(joint, nullptr);
        manager->beginStep();
        ASSERT_TRUE(manager->isStepInFlight());
        manager->releaseJoint(joint, false);
        manager->releaseActor(other, false);
        EXPECT_EQ(manager->queuedJointReleases(), 1u);
        EXPECT_EQ(manager->queuedActorReleases(), 1u);
        EXPECT_EQ(other->userData, nullptr);
        manager->resetScene();
        EXPECT_FALSE(manager->isStepInFlight());
        EXPECT_EQ(manager->queuedJointReleases(), 0u);
        EXPECT_EQ(manager->queuedActorReleases(), 0u);
        EXPECT_EQ(manager->getCallbacks()->acceptedReports(), acceptedBefore) << "reports during the reset are dropped";
        EXPECT_GT(manager->getCallbacks()->droppedReports(), 0u);
        ASSERT_NE(manager->getScene(), nullptr);
        EXPECT_EQ(manager->getScene()->getNbActors(), 0u);
        EXPECT_EQ(manager->getStepsDue(), 0);
        EXPECT_FLOAT_EQ(manager->getAccumulator(), 0.0f);
    }
}

TEST_F(PhysicsManagerTest, ReleaseOnAPartlyBuiltOrEmptyManagerIsSafe) {
    PhysicsManager empty;
    empty.releasePhysics();
    empty.resetScene();
    empty.releaseScene();
    EXPECT_FALSE(empty.createScene());
    EXPECT_EQ(empty.getScene(), nullptr);
    phys::Vec3 untouched(1, 2, 3);
    empty.getGravity(untouched);
    EXPECT_EQ(untouched, phys::Vec3(1, 2, 3));
    makeManager();
    manager->releasePhysics();
    EXPECT_EQ(manager->getPhysics(), nullptr);
    EXPECT_EQ(manager->getFoundation(), nullptr);
    manager->releasePhysics();
}

TEST_F(PhysicsManagerTest, LibraryErrorsBecomeOneLogLineWithTheCallStack) {
    EXPECT_EQ(physicsErrorLine(phys::ErrorCode::InvalidParameter, "createShape: bad geometry"),
              "ERROR: [Physx]: 4 - createShape: bad geometry");
    makeManager();
    // An invalid call through the world: the line reaches standard output (no engine device
    // in this test), followed by the framed call stack.
    testing::internal::CaptureStdout();
    manager->getScene()->setGravity(phys::Vec3(std::nanf(""), 0, 0));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("ERROR: [Physx]: 4 - setGravity: not finite\n"), std::string::npos) << out;
    EXPECT_GT(out.size(), std::string("ERROR: [Physx]: 4 - setGravity: not finite\n").size()) << "no call stack";
}

// The same error again and again is one line and its count (the repeated-line rule).
TEST_F(PhysicsManagerTest, ErrorsReportedFromManyThreadsAreEachWrittenWhole) {
    PhysicsErrorCallback callback;
    testing::internal::CaptureStdout();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&callback, t] {
            for (int i = 0; i < 5; ++i)
                callback.reportError(phys::ErrorCode::Warning, ("thread " + std::to_string(t)).c_str(), nullptr, 0);
        });
    for (std::thread& thread : threads)
        thread.join();
    endRepeatedLogRound();
    const std::string out = testing::internal::GetCapturedStdout();
    for (int t = 0; t < 4; ++t) {
        const std::string line = "ERROR: [Physx]: 2 - thread " + std::to_string(t) + "\n";
        size_t count = 0;
        for (size_t at = out.find(line); at != std::string::npos; at = out.find(line, at + 1))
            ++count;
        EXPECT_EQ(count, 2u) << line << "the first line, and the end of its count line";
        EXPECT_NE(out.find("\nRepeated 4 more times: " + line), std::string::npos) << out;
    }
}

TEST_F(PhysicsManagerTest, UserDataRolesFollowTheOwnersType) {
    struct Row {
        const char* type;
        bool physicsObject, trigger, character, legs, arms, player;
    };
    const Row rows[] = {
        {"phsx", true, false, false, false, false, false}, {"apsx", true, false, false, false, false, false},
        {"ties", true, false, false, false, false, false}, {"crct", true, false, true, false, false, false},
        {"trgr", false, true, false, false, false, false}, {"cmrv", false, true, false, false, false, false},
        {"cond", false, true, false, false, false, false}, {"frce", false, true, false, false, false, false},
        {"chck", false, true, false, false, false, false}, {"legs", false, false, false, true, false, false},
        {"arms", false, false, false, false, true, false}, {"plr1", false, false, false, false, false, true},
        {"mrkr", false, false, false, false, false, false},
    };
    for (const Row& row : rows) {
        const auto type = static_cast<irr::scene::ESCENE_NODE_TYPE>(
            row.type[0] | (row.type[1] << 8) | (row.type[2] << 16) | (row.type[3] << 24));
        struct TypedNode : irr::scene::ISceneNode {
            TypedNode(irr::scene::ISceneManager* m, irr::scene::ESCENE_NODE_TYPE t)
                : ISceneNode(nullptr, m), type(t) {}
            void render() override {}
            const irr::core::aabbox3df& getBoundingBox() const override { return box; }
            irr::scene::ESCENE_NODE_TYPE getType() const override { return type; }
            irr::scene::ESCENE_NODE_TYPE type;
            irr::core::aabbox3df box;
        };
        auto* node = new TypedNode(sceneManager(), type);
        {
            PhysicsUserData record(node);
            EXPECT_EQ(record.node, node);
            EXPECT_EQ(record.physicsObject != nullptr, row.physicsObject) << row.type;
            EXPECT_EQ(record.trigger != nullptr, row.trigger) << row.type;
            EXPECT_EQ(record.character != nullptr, row.character) << row.type;
            EXPECT_EQ(record.legs != nullptr, row.legs) << row.type;
            EXPECT_EQ(record.arms != nullptr, row.arms) << row.type;
            EXPECT_EQ(record.player != nullptr, row.player) << row.type;
            EXPECT_EQ(record.state, PhysicsState::Static);
            EXPECT_TRUE(record.active);
            EXPECT_FALSE(record.compound);
            EXPECT_FALSE(record.sharedBody);
            EXPECT_EQ(findUserDataOfNode(node), &record);
        }
        EXPECT_EQ(findUserDataOfNode(node), nullptr);
        node->drop();
    }
    PhysicsUserData orphan(nullptr);
    EXPECT_EQ(orphan.physicsObject, nullptr);
    // The controller marker is never taken for a record.
    EXPECT_EQ(userDataRecord(reinterpret_cast<void*>(uintptr_t{0x53544343})), nullptr);
    EXPECT_EQ(userDataRecord(nullptr), nullptr);
    EXPECT_EQ(userDataRecord(&orphan), &orphan);
}

} // namespace
