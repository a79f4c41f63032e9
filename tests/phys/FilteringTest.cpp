#include "PhysTestScene.h"

#include "phys/detail/SceneCore.h"

#include <gtest/gtest.h>

namespace phys::test {
namespace {

// Filter words of this test's shader (word0 of either shape).
constexpr uint32_t KillWord = 0x100;
constexpr uint32_t ReportOnlyWord = 0x200;
constexpr uint32_t CallbackWord = 0x400;

int shaderCalls = 0;
FilterObjectAttributes seenAttributes = 0; // of every shape the shader was asked about

FilterFlags wordShader(FilterObjectAttributes a0, FilterData d0, FilterObjectAttributes a1, FilterData d1,
                       PairFlags& pairFlags, const void*, uint32_t) {
    ++shaderCalls;
    seenAttributes |= a0 | a1;
    const uint32_t words = d0.word0 | d1.word0;
    if (words & KillWord)
        return FilterKill;
    pairFlags = PairSolveContact | PairNotifyTouchFound | PairNotifyTouchPersists | PairNotifyTouchLost |
                PairNotifyContactPoints;
    if (words & ReportOnlyWord)
        pairFlags &= ~PairSolveContact;
    if (words & CallbackWord)
        return FilterCallback;
    return FilterDefault;
}

class CountingFilterCallback : public SimulationFilterCallback {
public:
    FilterFlags pairFound(uint32_t, FilterObjectAttributes, FilterData, const Actor*, const Shape* s0,
                          FilterObjectAttributes, FilterData, const Actor*, const Shape* s1, PairFlags&) override {
        ++found;
        lastShapes[0] = s0;
        lastShapes[1] = s1;
        return answer;
    }
    void pairLost(uint32_t, FilterObjectAttributes, FilterData, FilterObjectAttributes, FilterData, bool) override {
        ++lost;
    }
    bool statusChange(uint32_t&, PairFlags&, FilterFlags&) override { return false; }

    FilterFlags answer = FilterDefault;
    int found = 0;
    int lost = 0;
    const Shape* lastShapes[2] = {nullptr, nullptr};
};

SceneOptions wordOptions() {
    SceneOptions o;
    o.shader = wordShader;
    shaderCalls = 0;
    seenAttributes = 0;
    return o;
}

RigidDynamic* addBoxWithWord(PhysScene& s, const Vec3& position, uint32_t word0) {
    RigidDynamic* box = s.physics->createRigidDynamic(Transform(position));
    Shape* shape = box->createShape(BoxGeometry(Vec3(0.5f)), *s.material);
    shape->setSimulationFilterData(FilterData(word0, 0, 0, 0));
    setMassAndUpdateInertia(*box, 10.0f);
    s.scene->addActor(*box);
    return box;
}

TEST(Filtering, KilledPairsPassThroughEachOther) {
    PhysScene s(wordOptions());
    RigidDynamic* box = addBoxWithWord(s, Vec3(0, 2, 0), KillWord);
    s.step(StepsPerSecond);
    EXPECT_LT(box->getGlobalPose().p.y, -2.0f);
    EXPECT_TRUE(s.events.contacts.empty());
    EXPECT_FALSE(seenAttributes & FilterObjectKinematic) << "a dynamic box and the static ground";
}

TEST(Filtering, PairsWithoutSolveReportTouchesButDoNotCollide) {
    PhysScene s(wordOptions());
    RigidDynamic* box = addBoxWithWord(s, Vec3(0, 2, 0), ReportOnlyWord);
    s.step(StepsPerSecond);
    EXPECT_LT(box->getGlobalPose().p.y, -2.0f);
    Shape* boxShape = firstShape(*box);
    EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchFound), 1);
    EXPECT_GE(s.events.count(boxShape, s.groundShape, PairNotifyTouchPersists), 1);
    EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchLost), 1);
    for (const RecordedContact& c : s.events.contacts)
        for (const ContactPairPoint& p : c.points)
            EXPECT_EQ(p.impulse.magnitude(), 0.0f);
}

TEST(Filtering, CallbackDecidesEachNewPairOnceAndSuppressIsHonoured) {
    CountingFilterCallback callback;
    callback.answer = FilterSuppress;
    SceneOptions options = wordOptions();
    options.filterCallback = &callback;
    PhysScene s(options);
    RigidDynamic* box = addBoxWithWord(s, Vec3(0, 2, 0), CallbackWord);
    s.step(StepsPerSecond);
    EXPECT_EQ(callback.found, 1);
    EXPECT_TRUE((callback.lastShapes[0] == firstShape(*box)) != (callback.lastShapes[1] == firstShape(*box)));
    EXPECT_LT(box->getGlobalPose().p.y, -2.0f);

    callback.answer = FilterDefault;
    RigidDynamic* other = addBoxWithWord(s, Vec3(5, 2, 0), CallbackWord);
    s.step(StepsPerSecond);
    EXPECT_EQ(callback.found, 2);
    EXPECT_NEAR(other->getGlobalPose().p.y, 0.5f, 0.02f);
    EXPECT_EQ(callback.lost, 0) << "pairLost only for pairs that asked to be notified";
}

TEST(Filtering, NewFilterDataMakesARestingBodyFallAndEndsItsTouchOnce) {
    PhysScene s(wordOptions());
    RigidDynamic* box = addBoxWithWord(s, Vec3(0, 0.52f, 0), 0x1);
    s.step(15);
    ASSERT_FALSE(box->isSleeping());
    const float resting = box->getGlobalPose().p.y;
    Shape* boxShape = firstShape(*box);
    ASSERT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchFound), 1);

    boxShape->setSimulationFilterData(FilterData(KillWord, 0, 0, 0));
    s.step(2);
    EXPECT_LT(box->getGlobalPose().p.y, resting - 0.01f);
    s.step(30);
    EXPECT_EQ(s.events.count(boxShape, s.groundShape, PairNotifyTouchLost), 1);
    EXPECT_LT(box->getGlobalPose().p.y, -1.0f);
}

TEST(Filtering, StaticAndKinematicPairsNeverReachTheShader) {
    for (bool kinematicPairs : {false, true}) {
        SceneOptions options = wordOptions();
        options.reportKinematicPairs = kinematicPairs;
        PhysScene s(options);
        for (float x : {0.0f, 0.5f}) {
            RigidDynamic* k = s.physics->createRigidDynamic(Transform(Vec3(x, 0.2f, 0)));
            k->createShape(BoxGeometry(Vec3(0.5f)), *s.material);
            k->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
            s.scene->addActor(*k);
        }
        s.addStaticBox(Vec3(0.2f, 0.5f, 0), Vec3(0.5f));
        s.step(5);
        if (kinematicPairs) {
            EXPECT_GT(shaderCalls, 0) << "asked for, kinematic pairs are filtered";
            EXPECT_TRUE(seenAttributes & FilterObjectKinematic) << "and the shader is told which are kinematic";
        } else {
            EXPECT_EQ(shaderCalls, 0);
        }
        EXPECT_EQ(s.events.contacts.empty(), !kinematicPairs);
    }
}

TEST(Filtering, KilledChildShapeSinksWhileItsSiblingCollides) {
    PhysScene s(wordOptions());
    RigidDynamic* body = s.physics->createRigidDynamic(Transform(Vec3(0, 1, 0)));
    Shape* killed = body->createShape(BoxGeometry(Vec3(0.5f)), *s.material, Transform(Vec3(-1, 0, 0)));
    Shape* kept = body->createShape(BoxGeometry(Vec3(0.5f)), *s.material, Transform(Vec3(1, 0, 0)));
    killed->setSimulationFilterData(FilterData(KillWord, 0, 0, 0));
    kept->setSimulationFilterData(FilterData(0x1, 0, 0, 0));
    setMassAndUpdateInertia(*body, 10.0f);
    s.scene->addActor(*body);
    s.step(StepsPerSecond);
    const Transform pose = body->getGlobalPose();
    EXPECT_LT(pose.transform(Vec3(-1, 0, 0)).y, 0.0f) << "the killed child goes into the ground";
    EXPECT_GT(pose.transform(Vec3(1, 0, 0)).y, 0.0f) << "the other child stays on it";
    EXPECT_EQ(s.events.count(killed, s.groundShape, PairNotifyTouchFound), 0);
    EXPECT_EQ(s.events.count(kept, s.groundShape, PairNotifyTouchFound), 1);
}

TEST(Filtering, ActorPairsSwitchedOffPassThroughAndCollideAgainWhenSwitchedOn) {
    SceneOptions options;
    options.gravity = Vec3();
    PhysScene s(options);
    RigidDynamic* a = s.addBox(Vec3(0, 5, 0), Vec3(0.5f), 1.0f);
    RigidDynamic* b = s.addBox(Vec3(0.6f, 5, 0), Vec3(0.5f), 1.0f);
    s.scene->core().setActorPairCollision(*a, *b, false);
    s.scene->core().setActorPairCollision(*a, *b, false);
    s.step(10);
    EXPECT_NEAR(b->getGlobalPose().p.x - a->getGlobalPose().p.x, 0.6f, 1e-4f) << "overlapping, left alone";
    s.scene->core().setActorPairCollision(*a, *b, true);
    s.step(10);
    EXPECT_NEAR(b->getGlobalPose().p.x - a->getGlobalPose().p.x, 0.6f, 1e-4f) << "still switched off once";
    s.scene->core().setActorPairCollision(*b, *a, true);
    s.step(30);
    EXPECT_GT(b->getGlobalPose().p.x - a->getGlobalPose().p.x, 0.7f) << "pushed apart";
}

TEST(Filtering, AnActorWhosePairsAreSoughtAgainNeverPairsWithItself) {
    SceneOptions options;
    options.gravity = Vec3();
    PhysScene s(options);
    RigidDynamic* a = s.addBox(Vec3(0, 5, 0), Vec3(0.5f), 1.0f);
    RigidDynamic* b = s.addBox(Vec3(3, 5, 0), Vec3(0.5f), 1.0f);
    s.step();
    // Each way the pairs of an actor are sought again: its actor pairs switched off and on,
    // and its kinematic flag raised and lowered.
    s.scene->core().setActorPairCollision(*a, *b, false);
    s.step();
    s.scene->core().setActorPairCollision(*a, *b, true);
    s.step();
    b->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, true);
    s.step();
    b->setRigidDynamicFlag(RigidDynamicFlag::Kinematic, false);
    s.step(5);
    for (const RecordedContact& c : s.events.contacts)
        EXPECT_NE(c.actors[0], c.actors[1]);
    EXPECT_EQ(s.events.onContactCalls, 0) << "the boxes are apart and float";
    EXPECT_TRUE(a->getGlobalPose().p == Vec3(0, 5, 0));
    EXPECT_TRUE(b->getGlobalPose().p == Vec3(3, 5, 0));
}

TEST(Filtering, RaisingSimulationAndTriggerTogetherIsRefused) {
    PhysScene s;
    RigidDynamic* box = s.addBox(Vec3(0, 2, 0), Vec3(0.5f), 1.0f);
    Shape* shape = firstShape(*box);
    shape->setFlag(ShapeTrigger, true);
    EXPECT_EQ(shape->getFlags(), static_cast<uint32_t>(ShapeSimulation | ShapeSceneQuery));
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 1);
    shape->setFlag(ShapeSimulation, false);
    shape->setFlag(ShapeTrigger, true);
    EXPECT_EQ(shape->getFlags(), static_cast<uint32_t>(ShapeTrigger | ShapeSceneQuery));
}

} // namespace
} // namespace phys::test
