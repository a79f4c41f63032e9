// The filter shader's decision for every pair of categories, the exclusion-list callback,
// and the filter helpers on actors.
#include "PhysicsFixture.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsUserData.h"

#include <ISceneNode.h>

namespace {

enum class Decision { Collide, ReportOnly, TriggerPair, Callback, Dropped };

const char* decisionName(Decision d) {
    switch (d) {
    case Decision::Collide: return "collide";
    case Decision::ReportOnly: return "report only";
    case Decision::TriggerPair: return "trigger pair";
    case Decision::Callback: return "callback";
    case Decision::Dropped: return "dropped";
    }
    return "?";
}

Decision decide(phys::FilterData a, phys::FilterData b, bool libraryTrigger, phys::PairFlags* flagsOut = nullptr) {
    phys::PairFlags flags = 0xDEAD;
    const phys::FilterObjectAttributes triggerBit = libraryTrigger ? phys::FilterObjectAttributes{phys::FilterObjectTrigger} : 0u;
    const phys::FilterFlags result = simulationFilterShader(triggerBit, a, 0, b, flags, nullptr, 0);
    if (flagsOut)
        *flagsOut = flags;
    if (result == phys::FilterKill)
        return Decision::Dropped;
    // Touches that persist are asked for only with the player's body (a test below).
    const phys::PairFlags withoutPersists = flags & ~phys::PairFlags{phys::PairNotifyTouchPersists};
    if (result == phys::FilterCallback)
        return withoutPersists == 0x115 ? Decision::Callback : Decision::Dropped;
    if (libraryTrigger)
        return flags == 0x1C ? Decision::TriggerPair : Decision::Dropped;
    if (withoutPersists == 0x115)
        return Decision::Collide;
    if (flags == 0x114)
        return Decision::ReportOnly;
    return Decision::Dropped;
}

// The words each kind of shape is given.
const phys::FilterData dynamicObject(0x1, 0x0FFFFF8F, 0, 0);
const phys::FilterData staticObject(0x2, 0x0FFFFF8D, 0, 0);
const phys::FilterData dynamicIgnoringPlayer(0x1, 0x0FFFC08F, 0, 0);
const phys::FilterData staticIgnoringPlayer(0x2, 0x0FFFC08D, 0, 0);
const phys::FilterData playerOnly(0x10, 0x3F08, 0, 0);
const phys::FilterData character(0x80, 0x0FFFFF8F, 0, 0);
const phys::FilterData triggerVolume(0x8, 0x0FFFFF87, 0, 0);
const phys::FilterData playerTriggerVolume(0x8, 0x3F00, 0, 0);
const phys::FilterData particles(0x1, 0x0FFFFF87, 0, 0);
const phys::FilterData playerBody(0x100, 0x0FFFFFFF, 0, 0);
const phys::FilterData custom1(0x10000000, 0, 0, 0);
const phys::FilterData dynamicWithCustom1(0x1, 0x1FFFFF8F, 0, 0);
const phys::FilterData doorBlocker(0x20, 0x4, 0, 0);
const phys::FilterData excludingDynamic(0x1, 0x0FFFFF8F | 0x40, 0, 0);
const phys::FilterData taggedA(0x10, 0, 5, 0);
const phys::FilterData taggedB(0x1, 0, 6, 0);
const phys::FilterData taggedSame(0x1, 0, 5, 0);

struct PairRow {
    const char* pair;
    phys::FilterData a, b;
    bool libraryTrigger;
    Decision expected;
};

const PairRow pairRows[] = {
    {"dynamic / dynamic", dynamicObject, dynamicObject, false, Decision::Collide},
    {"dynamic / static", dynamicObject, staticObject, false, Decision::Collide},
    {"static / static", staticObject, staticObject, false, Decision::Dropped},
    {"dynamic / character", dynamicObject, character, false, Decision::Collide},
    {"character / character", character, character, false, Decision::Collide},
    {"static / character", staticObject, character, false, Decision::Collide},
    {"dynamic / player body", dynamicObject, playerBody, false, Decision::Collide},
    {"ignoring player / player body", dynamicIgnoringPlayer, playerBody, false, Decision::Dropped},
    {"static ignoring player / player body", staticIgnoringPlayer, playerBody, false, Decision::Dropped},
    {"ignoring player / dynamic", dynamicIgnoringPlayer, dynamicObject, false, Decision::Collide},
    {"player-only / player body", playerOnly, playerBody, false, Decision::Collide},
    {"player-only / dynamic", playerOnly, dynamicObject, false, Decision::Dropped},
    {"player-only / trigger volume", playerOnly, triggerVolume, false, Decision::Dropped},
    {"trigger volume / dynamic", triggerVolume, dynamicObject, false, Decision::ReportOnly},
    {"dynamic / trigger volume", dynamicObject, triggerVolume, false, Decision::ReportOnly},
    {"trigger volume / character", triggerVolume, character, false, Decision::ReportOnly},
    {"trigger volume / static", triggerVolume, staticObject, false, Decision::ReportOnly},
    {"trigger volume / trigger volume", triggerVolume, triggerVolume, false, Decision::Dropped},
    {"player trigger volume / player body", playerTriggerVolume, playerBody, false, Decision::ReportOnly},
    {"player trigger volume / dynamic", playerTriggerVolume, dynamicObject, false, Decision::Dropped},
    {"particles / dynamic", particles, dynamicObject, false, Decision::Collide},
    {"particles / trigger volume", particles, triggerVolume, false, Decision::Dropped},
    {"custom1 / dynamic", custom1, dynamicObject, false, Decision::Dropped},
    {"custom1 / dynamic accepting custom1", custom1, dynamicWithCustom1, false, Decision::Collide},
    {"dynamic accepting custom1 / custom1", dynamicWithCustom1, custom1, false, Decision::Collide},
    {"door blocker / dynamic", doorBlocker, dynamicObject, false, Decision::Dropped},
    {"both ask for the exclusion lists", excludingDynamic, excludingDynamic, false, Decision::Callback},
    {"one asks for the exclusion lists", excludingDynamic, dynamicObject, false, Decision::Collide},
    {"different exclusion tags", taggedA, taggedB, false, Decision::Collide},
    {"equal exclusion tags", taggedA, taggedSame, false, Decision::Dropped},
    {"library trigger / accepting both ways", dynamicObject, dynamicObject, true, Decision::TriggerPair},
    {"library trigger / accepting one way", triggerVolume, playerOnly, true, Decision::Dropped},
    {"library trigger / not accepting", playerOnly, dynamicObject, true, Decision::Dropped},
};

TEST(PhysicsFilterShaderTest, EveryCategoryPairGetsItsDecision) {
    for (const PairRow& row : pairRows) {
        const Decision got = decide(row.a, row.b, row.libraryTrigger);
        EXPECT_EQ(got, row.expected) << row.pair << ": " << decisionName(got) << ", expected " << decisionName(row.expected);
    }
}

// Persisting touches (and their points every step) only where a handler reads them: the
// player's limbs. Everything else hears where a touch begins, with points, and ends.
TEST(PhysicsFilterShaderTest, OnlyPairsWithThePlayerBodyReportPersistingTouches) {
    const phys::FilterData playerFoot(0x100, 0x0FFFFFFF, 0, 0), playerHand(0x2000, 0x0FFFFFFF, 0, 0);
    const struct {
        const char* pair;
        phys::FilterData a, b;
        phys::PairFlags expected;
    } rows[] = {
        {"dynamic / dynamic", dynamicObject, dynamicObject, 0x115},
        {"dynamic / static", dynamicObject, staticObject, 0x115},
        {"dynamic / character", dynamicObject, character, 0x115},
        {"both ask for the exclusion lists", excludingDynamic, excludingDynamic, 0x115},
        {"trigger volume / dynamic", triggerVolume, dynamicObject, 0x114},
        {"player trigger volume / player body", playerTriggerVolume, playerBody, 0x114},
        {"dynamic / player foot", dynamicObject, playerFoot, 0x11D},
        {"player hand / static", playerHand, staticObject, 0x11D},
        {"player-only / player body", playerOnly, playerBody, 0x11D},
    };
    for (const auto& row : rows) {
        phys::PairFlags flags = 0;
        decide(row.a, row.b, false, &flags);
        EXPECT_EQ(flags, row.expected) << row.pair;
    }
}

TEST(PhysicsFilterShaderTest, PairFlagsOfKilledPairs) {
    phys::PairFlags flags = 0;
    decide(playerOnly, dynamicObject, false, &flags);
    EXPECT_EQ(flags, 0x101u) << "a killed contact pair keeps resolve and contact points";
}

class PhysicsFilterCallbackTest : public PhysicsFixture {
protected:
    struct ObjectNode : irr::scene::ISceneNode {
        ObjectNode(irr::scene::ISceneManager* m, irr::s32 id) : ISceneNode(nullptr, m, id) {}
        void render() override {}
        const irr::core::aabbox3df& getBoundingBox() const override { return box; }
        irr::scene::ESCENE_NODE_TYPE getType() const override {
            return static_cast<irr::scene::ESCENE_NODE_TYPE>('p' | ('h' << 8) | ('s' << 16) | ('x' << 24));
        }
        irr::core::aabbox3df box;
    };
    void TearDown() override { setExclusionTest(nullptr); }
};

TEST_F(PhysicsFilterCallbackTest, PairsNamedInAnExclusionListAreSuppressed) {
    makeManager();
    auto* node1 = new ObjectNode(sceneManager(), 1);
    auto* node2 = new ObjectNode(sceneManager(), 2);
    auto* node3 = new ObjectNode(sceneManager(), 3);
    PhysicsUserData data1(node1), data2(node2), data3(node3);
    // Object 1 never collides with object 2.
    setExclusionTest([](irr::scene::ISceneNode* object, irr::s32 other) { return object->getID() == 1 && other == 2; });

    phys::RigidActor* a1 = addBall(0.0f);
    phys::RigidActor* a2 = addBall(0.0f);
    phys::RigidActor* a3 = addBall(0.0f);
    phys::Shape* s[3] = {};
    a1->getShapes(&s[0], 1);
    a2->getShapes(&s[1], 1);
    a3->getShapes(&s[2], 1);
    s[0]->userData = &data1;
    s[1]->userData = &data2;
    s[2]->userData = &data3;
    PhysicsFilterCallback& callback = physicsFilterCallback();
    phys::PairFlags flags = 0;
    auto pair = [&](int i, int j) {
        return callback.pairFound(0, 0, {}, s[i]->getActor(), s[i], 0, {}, s[j]->getActor(), s[j], flags);
    };
    EXPECT_EQ(pair(0, 1), phys::FilterSuppress);
    EXPECT_EQ(pair(1, 0), phys::FilterSuppress);
    EXPECT_EQ(pair(0, 2), phys::FilterDefault);
    EXPECT_EQ(pair(2, 1), phys::FilterDefault);
    // No record, or the controller marker, or no physics object: the pair goes on.
    s[2]->userData = reinterpret_cast<void*>(uintptr_t{controllerShapeMarker});
    EXPECT_EQ(pair(0, 2), phys::FilterDefault);
    s[2]->userData = nullptr;
    EXPECT_EQ(pair(0, 2), phys::FilterDefault);
    EXPECT_EQ(callback.pairFound(0, 0, {}, nullptr, nullptr, 0, {}, nullptr, s[1], flags), phys::FilterDefault);
    for (phys::Shape* shape : s)
        shape->userData = nullptr;
    node1->drop();
    node2->drop();
    node3->drop();
}

TEST_F(PhysicsFilterCallbackTest, TwoExcludingObjectsInTheWorldPassThroughEachOther) {
    makeManager();
    auto* upper = new ObjectNode(sceneManager(), 10);
    auto* lower = new ObjectNode(sceneManager(), 11);
    PhysicsUserData upperData(upper), lowerData(lower);
    setExclusionTest([](irr::scene::ISceneNode* object, irr::s32 other) { return object->getID() == 10 && other == 11; });
    phys::RigidActor* floor =
        manager->createSphereActor(phys::Transform(phys::Vec3(0, 0, 0)), 1.0f, 1.0f, 0.5f, 0.0f, false, true);
    phys::RigidActor* ball = manager->createSphereActor(phys::Transform(phys::Vec3(0, 3, 0)), 1.0f, 1.0f, 0.5f,
                                                        0.0f, false, false);
    setActorFilterData(floor, 0x1, 0x0FFFFF8F | filterUseCallback);
    setActorFilterData(ball, 0x1, 0x0FFFFF8F);
    addActorFilterBits(ball, filterUseCallback);
    phys::Shape* shape = nullptr;
    floor->getShapes(&shape, 1);
    shape->userData = &lowerData;
    ball->getShapes(&shape, 1);
    shape->userData = &upperData;
    manager->updateStepCount(0);
    manager->updateStepCount(0);
    for (int i = 0; i < 60; ++i) {
        manager->updateStepCount(0.0167f);
        manager->beginStep();
        manager->endStep();
    }
    EXPECT_LT(ball->getGlobalPose().p.y, -1.0f) << "the ball fell through the object it excludes";
    manager->releaseActor(ball, true);
    manager->releaseActor(floor, true);
    upper->drop();
    lower->drop();
}

TEST_F(PhysicsFilterCallbackTest, ActorHelpersWriteEveryShape) {
    makeManager();
    phys::RigidActor* actor = addBall(0.0f);
    phys::SphereGeometry second(0.25f);
    actor->createShape(second, *manager->getMaterial(0));
    ASSERT_EQ(actor->getNbShapes(), 2u);
    setActorFilterData(actor, 0x2, 0x0FFFFF8D);
    addActorFilterBits(actor, 0x40);
    phys::Shape* shapes[2] = {};
    actor->getShapes(shapes, 2);
    for (phys::Shape* shape : shapes) {
        EXPECT_EQ(shape->getSimulationFilterData(), phys::FilterData(0x2, 0x0FFFFFCD, 0, 0));
        EXPECT_EQ(shape->getQueryFilterData(), phys::FilterData(0x2, 0x0FFFFFCD, 0, 0));
    }
    EXPECT_TRUE(actorHasFilterBits(actor, 0x3));
    EXPECT_FALSE(actorHasFilterBits(actor, 0x3300));
    setShapeFilterData(shapes[1], 0x100, 0);
    EXPECT_TRUE(actorHasFilterBits(actor, 0x3300));
    EXPECT_FALSE(actorHasFilterBits(nullptr, 0x1));

    EXPECT_TRUE(isActorSimulationShape(actor));
    setActorShapeFlag(actor, phys::ShapeSimulation, false);
    EXPECT_FALSE(isActorSimulationShape(actor));
    for (phys::Shape* shape : shapes)
        EXPECT_EQ(shape->getFlags() & phys::ShapeSimulation, 0u);
    EXPECT_FALSE(isActorSimulationShape(nullptr));

    setActorMaterial(actor, 2);
    for (phys::Shape* shape : shapes) {
        phys::Material* material = nullptr;
        ASSERT_EQ(shape->getMaterials(&material, 1), 1u);
        EXPECT_EQ(material, manager->getMaterial(2));
    }
    setActorMaterial(actor, 7); // no such material: unchanged
    phys::Material* material = nullptr;
    shapes[0]->getMaterials(&material, 1);
    EXPECT_EQ(material, manager->getMaterial(2));
}

} // namespace
