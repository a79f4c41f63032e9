// Limb control and grabbing against a stand-in player body whose limbs are physics objects
// joined by joints, in a stepping physics world.
#include "../physics/PhysicsObjectFixture.h"

#include "core/Globals.h"
#include "core/SoundManager.h"
#include "level/SaveManager.h"
#include "level/SceneNodeTypes.h"
#include "platform/FakePadBackend.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/VibrationController.h"
#include "player/LimbControl.h"
#include "player/LimbQueries.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"
#include "support/TempDir.h"
#include "render/EffectHandler.h"
#include "support/NullDevice.h"

#include <fstream>
#include "support/StubPlayer.h"

#include <gtest/gtest.h>

namespace {

using irr::core::vector3df;

class LimbTestPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    void notify(irr::s32 code) override { notices.push_back(code); }
    PlayerStatsRecord* getStatsRecord() override { return &stats; }
    std::vector<irr::s32> notices;
    PlayerStatsRecord stats;
};

std::function<void(irr::io::IAttributes*)> limbBox(const char* name, vector3df position, irr::f32 mass) {
    return [=](irr::io::IAttributes* a) {
        a->addString("Name", name);
        a->addVector3d("Position", position);
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("BoxExtents", vector3df(0.5f, 0.5f, 0.5f));
        a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
        a->addBool("IsGrabbable", true);
        a->addFloat("Mass", mass);
    };
}

// An arm of three links (the last one the tip) beside a crate of mass 4.
class LimbControlTest : public PhysicsObjectFixture {
protected:
    void SetUp() override {
        PhysicsObjectFixture::SetUp();
        player = new LimbTestPlayer(root(), smgr(), 1);
        player->drop();
        arm.owner = player;
        for (int n = 0; n < 3; ++n) {
            PhysicsObject* link = makeObject(limbBox("Link", vector3df(irr::f32(n), 2, 0), 1.0f));
            LimbLink entry;
            entry.body = link->getDynamicActor();
            ASSERT_NE(entry.body, nullptr);
            if (!arm.links.empty()) {
                phys::RigidDynamic* previous = arm.links.back().body;
                entry.joint = phys::createD6Joint(*physics->getPhysics(), previous, phys::Transform(phys::Vec3(0.5f, 0, 0)),
                                                  entry.body, phys::Transform(phys::Vec3(-0.5f, 0, 0)));
            }
            arm.links.push_back(entry);
        }
        arm.tipBody = arm.links.back().body;
        crate = makeObject(limbBox("Crate", vector3df(3, 2, 0), 4.0f));
        other = makeObject(limbBox("Other", vector3df(-3, 2, 0), 4.0f));
        arm.grabAmount = 1.0f;
        arm.grabPoint = vector3df(2.5f, 2, 0);
        arm.throwThreshold = 5.0f;
        arm.throwForce = 100.0f;
        arm.maxThrowForce = 10000.0f;
        arms.sides[0] = arms.controlled[0] = &arm;
    }
    // The limb touches the crate with its tip and arms its grab.
    void touchCrate() {
        setLimbTouchedObject(arm, crate);
        addLimbContact(arm, arm.tipBody);
        addLimbContact(arm, arm.tipBody);
        updateHeldObjectMass(crate, arm);
        setLimbGrabState(arm, false, false); // arms the grab
    }

    LimbTestPlayer* player = nullptr;
    LimbState arm;
    LimbStateSet arms;
    PhysicsObject* crate = nullptr;
    PhysicsObject* other = nullptr;
};

TEST_F(LimbControlTest, GrabJoinsTheTouchingLinksToTheObject) {
    touchCrate();
    EXPECT_TRUE(arm.grabArmed);
    EXPECT_EQ(arm.contactBodies.size(), 1u) << "a contact body is added once";
    EXPECT_EQ(arm.preGrabMass, 4.0f);
    EXPECT_TRUE(updateLimbGrabJoints(arm));
    EXPECT_EQ(arm.grabJoints.size(), 1u);
    EXPECT_EQ(arm.heldObject, crate);
    EXPECT_EQ(crate->holdCount, 1) << "the crate is told of the grab";
    EXPECT_TRUE(isLimbHolding(arms, 0));
    EXPECT_FALSE(isLimbHolding(arms, 1));
    EXPECT_TRUE(isLimbHolding(arms, -1)) << "any side: one hand holding is enough";
    EXPECT_EQ(player->stats.grabCount, 1);
    EXPECT_EQ(crate->getDynamicActor()->getMass(), 0.5f) << "a light grab makes the object light";
    irr::f32 breakForce = 0.0f, breakTorque = 0.0f;
    arm.grabJoints[0]->getBreakForce(breakForce, breakTorque);
    EXPECT_EQ(breakForce, 13500.0f) << "the right hand's grab breaks under 13500";
    EXPECT_EQ(breakTorque, 13500.0f);
    frames(5);
    // The crate hangs on the tip: it stays near it.
    EXPECT_LT(crate->getAbsolutePosition().getDistanceFrom(getLimbTipPosition(arms)), 2.0f);

    // Release without a throw: joints gone, shapes simulate again, links stiff; the touch
    // is forgotten with its shape.
    phys::Shape* touched = nullptr;
    ASSERT_EQ(crate->getDynamicActor()->getShapes(&touched, 1), 1u);
    arm.touchedShape = touched;
    EXPECT_TRUE(setLimbGrabState(arm, false, true));
    EXPECT_EQ(arm.touchedShape, nullptr);
    EXPECT_TRUE(arm.grabJoints.empty());
    EXPECT_FALSE(arm.holding);
    EXPECT_EQ(arm.heldObject, nullptr);
    EXPECT_EQ(arm.grabAmount, 0.5f);
    EXPECT_TRUE(arm.contactBodies.empty());
    EXPECT_TRUE(player->notices.empty());
    EXPECT_EQ(crate->holdCount, 0) << "and of the release";
    EXPECT_TRUE(crate->thrown) << "let go, it counts as thrown";
    EXPECT_EQ(arm.links[1].joint->getMotion(phys::D6Axis::X), phys::D6Motion::Limited);
}

// A node of the articulated object's kind, as the parent of a grabbed part.
class ArticulationStandIn : public irr::scene::ISceneNode {
public:
    ArticulationStandIn(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager)
        : ISceneNode(parent, manager, -1) {}
    void render() override {}
    const irr::core::aabbox3df& getBoundingBox() const override { return box; }
    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("apsx"); }
    irr::core::aabbox3df box;
};

// Each side answers for the limb under its control; any side for either.
TEST_F(LimbControlTest, HoldingIsAnsweredPerSide) {
    LimbState left;
    LimbStateSet set;
    set.controlled[0] = &arm;
    set.controlled[1] = &left;
    const struct {
        bool right, left;
    } rows[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.right) + std::to_string(row.left));
        arm.heldObject = row.right ? crate : nullptr;
        left.heldObject = row.left ? other : nullptr;
        EXPECT_EQ(isLimbHolding(set, 0), row.right);
        EXPECT_EQ(isLimbHolding(set, 1), row.left);
        EXPECT_EQ(isLimbHolding(set, -1), row.right || row.left);
    }
    arm.heldObject = nullptr;
}

TEST_F(LimbControlTest, AGrabOfAPartOfAnArticulatedObjectBreaksSooner) {
    // Only the grab asks for the parent's kind: the crate is hung under the stand-in after
    // it was made, and taken back before anything else walks its parents.
    auto* articulation = new ArticulationStandIn(root(), smgr());
    articulation->drop();
    crate->setParent(articulation);
    touchCrate();
    const bool held = updateLimbGrabJoints(arm);
    crate->setParent(root());
    ASSERT_TRUE(held);
    irr::f32 breakForce = 0.0f, breakTorque = 0.0f;
    arm.grabJoints[0]->getBreakForce(breakForce, breakTorque);
    EXPECT_EQ(breakForce, 8500.0f);
    EXPECT_EQ(breakTorque, 8500.0f);
}

TEST_F(LimbControlTest, AnObjectThatKeepsItsWeightIsNotMadeLight) {
    crate->ReduceWeightOnGrab = false;
    touchCrate();
    ASSERT_TRUE(updateLimbGrabJoints(arm));
    EXPECT_EQ(crate->getDynamicActor()->getMass(), 4.0f);
}

TEST_F(LimbControlTest, AtMostFiveContactsAreJoined) {
    setLimbTouchedObject(arm, crate);
    for (int n = 0; n < 6; ++n)
        addLimbContact(arm, makeObject(limbBox("Finger", vector3df(2.5f, 2, irr::f32(n) * 0.1f), 1.0f))->getDynamicActor());
    updateLimbGrabJoints(arm);
    EXPECT_EQ(arm.joinedContacts, 5);
    EXPECT_EQ(arm.grabJoints.size(), 5u);
    updateLimbGrabJoints(arm);
    EXPECT_EQ(arm.grabJoints.size(), 5u) << "the sixth is never joined in the same grab";
    EXPECT_EQ(crate->holdCount, 1) << "five joints of one hand are one hold";
    setLimbGrabState(arm, false, true);
    EXPECT_EQ(crate->holdCount, 0) << "one release lets it go";
}

TEST_F(LimbControlTest, AHardReleaseThrowsWhatCollidesAsADynamicObject) {
    const struct Row {
        const char* name;
        irr::u32 word0; // 0: the filter words the crate got as a dynamic object
        bool thrown;
    } rows[] = {
        {"a dynamic crate", 0u, true},
        {"a crate in the static category only", collisionCategory::Static, false},
    };
    for (const Row& row : rows) {
        crate->remove(); // each row has a crate of its own in the same place
        crate = makeObject(limbBox("Crate", vector3df(3, 2, 0), 4.0f));
        phys::Shape* shape = nullptr;
        ASSERT_EQ(crate->getDynamicActor()->getShapes(&shape, 1), 1u);
        phys::FilterData filter = shape->getSimulationFilterData();
        ASSERT_NE(filter.word0 & collisionCategory::Dynamic, 0u) << row.name;
        if (row.word0 != 0u) {
            filter.word0 = row.word0;
            shape->setSimulationFilterData(filter);
        }
        player->notices.clear();
        arm.grabAmount = 1.0f;
        touchCrate();
        updateLimbGrabJoints(arm);
        arm.velocitySamples.assign(10, vector3df(20, 0, 0));
        const irr::f32 heightBefore = crate->getAbsolutePosition().Y;
        SoundManager sound;
        sound.init();
        soundManager = &sound;
        EXPECT_TRUE(setLimbGrabState(arm, true, true)) << row.name;
        soundManager = nullptr;
        EXPECT_EQ(sound.getEventSystem()->playingEventCount(), row.thrown ? 1u : 0u)
            << row.name << ": only a throw sounds";
        EXPECT_EQ(crate->getDynamicActor()->getMass(), 4.0f) << row.name << ": the pre-grab mass comes back";
        EXPECT_EQ(player->notices.size(), row.thrown ? 1u : 0u) << row.name;
        EXPECT_EQ(arm.touchedObject, row.thrown ? nullptr : crate) << row.name;
        EXPECT_EQ(crate->limbTouchCounts[0], row.thrown ? 0 : 1) << row.name;
        frames(3);
        EXPECT_EQ(crate->getAbsolutePosition().Y > heightBefore + 0.01f, row.thrown) << row.name << ": thrown upward";
        setLimbTouchedObject(arm, nullptr);
    }
}

TEST_F(LimbControlTest, TheHandSpeedIsAveragedOverAllButTheOldestTwoSamples) {
    vector3df average(9, 9, 9);
    arm.velocitySamples = {vector3df(2, 0, 0), vector3df(4, 0, 0)};
    EXPECT_FALSE(getLimbAverageVelocity(arm, average)) << "two samples give no speed";
    EXPECT_EQ(average, vector3df());
    // Newest first: the two oldest (50 and 70) are left out.
    arm.velocitySamples = {vector3df(2, 0, 0), vector3df(4, 0, 0), vector3df(50, 0, 0), vector3df(70, 0, 0)};
    ASSERT_TRUE(getLimbAverageVelocity(arm, average));
    EXPECT_EQ(average, vector3df(3, 0, 0));
}

// A frame of one fixed step reads one sample a step; a longer frame stands for the most steps
// a frame takes, and the samples are read that many at a time.
TEST_F(LimbControlTest, TheHandSpeedCountsTheStepsOfALongFrame) {
    arm.velocitySamples.clear();
    for (int i = 1; i <= 12; ++i)
        arm.velocitySamples.push_back(vector3df(irr::f32(i), 0, 0));
    vector3df average;
    // Without a frame stopwatch the frame is taken as one fixed step long.
    frameStopwatch = nullptr;
    const bool read = getLimbAverageVelocity(arm, average);
    frameStopwatch = stopwatch.get();
    ASSERT_TRUE(read);
    EXPECT_EQ(average, vector3df(5.5f, 0, 0)) << "all but the oldest two";
    frame(2.0f * PhysicsManager::fixedStepSize);
    ASSERT_TRUE(getLimbAverageVelocity(arm, average));
    EXPECT_EQ(average, vector3df(1, 0, 0)) << "ten steps a frame: the newest sample alone";
}

TEST_F(LimbControlTest, ThrowForceFollowsTheHandSpeed) {
    // t = (20 - 5) / (30 - 5) = 0.6: (0, 20 t, 0) x 100 x t = (0, 720, 0), plus 6000 t up,
    // then a light object (mass 4) gets 0.4 of it.
    EXPECT_TRUE(computeThrowForce(arm, 20.0f, vector3df(), 4.0f).equals(vector3df(0, 1728.0f, 0), 0.01f));
    // Capped at 0.6 of the maximum before the lift is added.
    arm.throwForce = 1000.0f;
    const vector3df capped = computeThrowForce(arm, 30.0f, vector3df(10, 0, 0), 20.0f);
    EXPECT_NEAR(vector3df(capped.X, capped.Y - 6000.0f, capped.Z).getLength(), 6000.0f, 0.5f);
    // Without samples nothing is thrown: only a release.
    touchCrate();
    updateLimbGrabJoints(arm);
    setLimbGrabState(arm, true, true);
    EXPECT_TRUE(player->notices.empty());
    EXPECT_EQ(arm.touchedObject, crate);
}

// The crate and the other box get a second shape; the tip holds the crate by its second.
class LimbRebindTest : public LimbControlTest {
protected:
    void SetUp() override {
        LimbControlTest::SetUp();
        phys::Material* material = physics->createMaterial(0.5f, 0.5f, 0.1f);
        for (PhysicsObject* object : {crate, other})
            second.push_back(object->getBodyActor()->createShape(phys::SphereGeometry(0.2f), *material));
        touchCrate();
        arm.touchedShape = second[0];
        updateLimbGrabJoints(arm);
    }
    // The one grab joint joins the tip to the object.
    void expectJoinedTo(PhysicsObject* object) const {
        ASSERT_EQ(arm.grabJoints.size(), 1u);
        phys::RigidActor *a = nullptr, *b = nullptr;
        arm.grabJoints[0]->getActors(a, b);
        EXPECT_EQ(a, arm.tipBody);
        EXPECT_EQ(b, object->getBodyActor());
    }
    std::vector<phys::Shape*> second;
};

TEST_F(LimbRebindTest, TheGrabMovesToTheSameShapeOfTheNewObject) {
    rebindLimbToArticulation(arm, other);
    EXPECT_EQ(arm.touchedShape, second[1]);
    EXPECT_EQ(arm.heldObject, other);
    EXPECT_EQ(crate->limbTouchCounts[0], 0);
    EXPECT_EQ(other->limbTouchCounts[0], 1);
    expectJoinedTo(other);
}

TEST_F(LimbRebindTest, ANewObjectWithoutThatShapeStillTakesTheGrab) {
    PhysicsObject* single = makeObject(limbBox("Single", vector3df(3, 4, 0), 4.0f));
    rebindLimbToArticulation(arm, single);
    EXPECT_EQ(arm.touchedShape, nullptr);
    EXPECT_EQ(log.countStartingWith("Warning: a limb's grab found no matching shape"), 1u);
    expectJoinedTo(single);
}

TEST_F(LimbRebindTest, ARebindToNoObjectLetsGoWithoutAWarning) {
    rebindLimbToArticulation(arm, nullptr);
    EXPECT_EQ(arm.touchedObject, nullptr);
    EXPECT_EQ(arm.touchedShape, nullptr);
    EXPECT_TRUE(arm.grabJoints.empty());
    EXPECT_EQ(log.countStartingWith("Warning: a limb's grab found no matching shape"), 0u);
}

TEST_F(LimbRebindTest, WithoutATouchedShapeNothingChanges) {
    arm.touchedShape = nullptr;
    rebindLimbToArticulation(arm, other);
    expectJoinedTo(crate);
    EXPECT_EQ(arm.touchedObject, crate);
}

TEST_F(LimbRebindTest, WhileSimulatingTheOldJointIsQueuedOnce) {
    frame(); // leaves a step in flight
    ASSERT_TRUE(physics->isStepInFlight());
    rebindLimbToArticulation(arm, other);
    EXPECT_EQ(physics->queuedJointReleases(), 1u);
    expectJoinedTo(other);
}

TEST_F(LimbControlTest, LegsSlipOnATripHazardOnce) {
    LimbStateSet legs;
    int a = 0, b = 0;
    startSlip(legs, &a, &b, vector3df(3, 5, 4));
    EXPECT_TRUE(legs.slip.slipping);
    EXPECT_TRUE(legs.slip.started);
    EXPECT_EQ(legs.slip.phase, 1);
    EXPECT_EQ(legs.slip.phaseB, 1);
    EXPECT_FLOAT_EQ(legs.slip.timer, 0.2f);
    EXPECT_TRUE(legs.slip.direction.equals(vector3df(0.6f, 0, 0.8f)));
    startSlip(legs, nullptr, nullptr, vector3df(1, 0, 0)); // already slipping
    EXPECT_EQ(legs.slip.refA, &a);
    EXPECT_EQ(legs.slip.refB, &b);
    EXPECT_TRUE(legs.slip.direction.equals(vector3df(0.6f, 0, 0.8f)));
    // A straight-down push gives no direction to turn into.
    LimbStateSet down;
    startSlip(down, &a, &b, vector3df(0, -5, 0));
    EXPECT_TRUE(down.slip.slipping);
    EXPECT_TRUE(down.slip.direction.equals(vector3df(0, 0, 0)));
}

TEST_F(LimbControlTest, TouchedObjectsCountTheirLimbsPerSide) {
    setLimbTouchedObject(arm, crate);
    setLimbTouchedObject(arm, crate);
    EXPECT_EQ(crate->limbTouchCounts[0], 1) << "touching again changes nothing";
    LimbState left;
    left.side = 1;
    setLimbTouchedObject(left, crate);
    EXPECT_EQ(crate->limbTouchCounts[1], 1);
    setLimbTouchedObject(arm, other);
    EXPECT_EQ(crate->limbTouchCounts[0], 0);
    EXPECT_EQ(other->limbTouchCounts[0], 1);
    setLimbTouchedObject(left, nullptr);
    EXPECT_EQ(crate->limbTouchCounts[1], 0);
}

TEST_F(LimbControlTest, DriveModesSetTheLinkJoints) {
    const struct {
        irr::s32 mode;
        phys::D6Motion motion;
        irr::f32 spring;
    } modes[] = {{0, phys::D6Motion::Locked, 0.0f},
                 {1, phys::D6Motion::Limited, limbStiffSpring},
                 {2, phys::D6Motion::Limited, limbSoftSpring},
                 {3, phys::D6Motion::Limited, limbStiffSpring}};
    for (const auto& entry : modes) {
        setLimbDriveMode(arm, entry.mode);
        for (std::size_t n = 1; n < arm.links.size(); ++n) {
            EXPECT_EQ(arm.links[n].joint->getMotion(phys::D6Axis::X), entry.motion) << entry.mode;
            if (entry.mode != 0) {
                EXPECT_EQ(arm.links[n].joint->getLinearLimit().spring, entry.spring);
                EXPECT_FLOAT_EQ(arm.links[n].joint->getLinearLimit().value, 0.005f);
                EXPECT_EQ(arm.links[n].joint->getLinearLimit().damping, 1.0f);
            }
        }
    }
}

TEST_F(LimbControlTest, SelfQueriesHitOnlyTheTargetObject) {
    phys::RaycastHit hit;
    // From beside the other box, through it, towards the crate: only the crate is hit.
    ASSERT_TRUE(isPointTouchingObject(vector3df(-6, 2, 0), crate, hit));
    ASSERT_NE(userDataOf(hit.shape), nullptr);
    EXPECT_EQ(userDataOf(hit.shape)->node, crate);
    EXPECT_LT(hit.position.x, 3.0f);
    EXPECT_GT(hit.position.x, 2.0f);
    EXPECT_EQ(PlayerSelfQueryFilter::target, nullptr) << "the target holds only during the query";
    // The layer filter: bits 0x3f00 of the query data's second word.
    phys::Shape* shape = nullptr;
    crate->getDynamicActor()->getShapes(&shape, 1);
    std::uint32_t flags = 0;
    phys::FilterData query = shape->getQueryFilterData();
    query.word1 = 0x0100;
    shape->setQueryFilterData(query);
    EXPECT_EQ(PlayerLayerQueryFilter::instance().preFilter({}, shape, nullptr, flags), phys::QueryHitType::Block);
    query.word1 = 0x4000;
    shape->setQueryFilterData(query);
    EXPECT_EQ(PlayerLayerQueryFilter::instance().preFilter({}, shape, nullptr, flags), phys::QueryHitType::None);
    EXPECT_EQ(PlayerLayerQueryFilter::instance().preFilter({}, nullptr, nullptr, flags), phys::QueryHitType::None);
}

TEST_F(LimbControlTest, TheTipsTouchPointSoftensTheLinks) {
    setLimbTouchedObject(arm, crate);
    updateLimbTouchPoint(arm);
    EXPECT_TRUE(arm.touching);
    EXPECT_EQ(arm.links[1].joint->getLinearLimit().spring, limbSoftSpring);
    setLimbTouchedObject(arm, nullptr);
    updateLimbTouchPoint(arm);
    EXPECT_FALSE(arm.touching);
    EXPECT_EQ(arm.touchPoint, vector3df());
}

class LightPlayer : public LimbTestPlayer {
public:
    using LimbTestPlayer::LimbTestPlayer;
    irr::s32 getWeightMode() override { return 1; }
};

// The material of the shapes of a link's body.
phys::Material* linkMaterial(const LimbLink& link) {
    phys::Shape* shape = nullptr;
    phys::Material* material = nullptr;
    if (link.body && link.body->getShapes(&shape, 1) == 1)
        shape->getMaterials(&material, 1);
    return material;
}

TEST_F(LimbControlTest, LegLinkMassFollowsWeightAndLightness) {
    arm.currentLink = 1;
    updateLimbLinkMass(arm);
    EXPECT_FLOAT_EQ(arm.links[1].body->getMass(), 84.0f);
    // The link's mass sits at the far end of its box along the link (a box 0.5 long).
    const phys::Vec3 centre = arm.links[1].body->getCMassLocalPose().p;
    EXPECT_FLOAT_EQ(centre.x, 0.25f);
    EXPECT_FLOAT_EQ(centre.y, 0.0f);
    EXPECT_FLOAT_EQ(centre.z, 0.0f);
    // From the current link on, a heavy leg grips (material 2), a light one slides (1).
    EXPECT_EQ(linkMaterial(arm.links[1]), physics->getMaterial(2));
    EXPECT_EQ(linkMaterial(arm.links[2]), physics->getMaterial(2));
    EXPECT_NE(linkMaterial(arm.links[0]), physics->getMaterial(2)) << "links before the current one keep theirs";
    auto* light = new LightPlayer(root(), smgr(), 2);
    light->drop();
    arm.owner = light;
    arm.light = true;
    arm.linkMassDirty = true;
    updateLimbLinkMass(arm);
    EXPECT_FLOAT_EQ(arm.links[1].body->getMass(), 30.0f);
    EXPECT_EQ(linkMaterial(arm.links[1]), physics->getMaterial(1));
    EXPECT_EQ(linkMaterial(arm.links[2]), physics->getMaterial(1));
    EXPECT_FALSE(arm.linkMassDirty);
}

// The same arm with the input subsystem running: player 0's controls on a connected pad 0,
// the remapping file in a temporary save folder.
class LimbInputTest : public LimbControlTest {
protected:
    void SetUp() override {
        LimbControlTest::SetUp();
        auto fake = std::make_unique<platform::FakePadBackend>();
        fake->setConnected(0, true);
        platform::setPadBackend(std::move(fake));
        saveFolder = std::make_unique<SaveManager>(device->get()->getFileSystem(), saves.path().string());
        saveManager = saveFolder.get();
        input = std::make_unique<InputManager>();
        input->init(device->get());
        inputManager = input.get();
    }
    void TearDown() override {
        clearPlayers();
        inputManager = nullptr;
        device->get()->setEventReceiver(nullptr);
        input.reset();
        saveManager = nullptr;
        saveFolder.reset();
        platform::setPadBackend(nullptr);
        LimbControlTest::TearDown();
    }
    test::TempDir saves;
    std::unique_ptr<SaveManager> saveFolder;
    std::unique_ptr<InputManager> input;
};

TEST_F(LimbInputTest, AReleaseRumblesThePadOnTheHandsSide) {
    const struct Row {
        irr::s32 side;
        irr::f32 left, right; // motor amounts
    } rows[] = {{0, 0.0f, 0.2f}, {1, 0.2f, 0.0f}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.side);
        arm.side = row.side;
        input->getVibration()->clearRumbleEffects();
        arm.grabAmount = 1.0f;
        touchCrate();
        ASSERT_TRUE(updateLimbGrabJoints(arm));
        setLimbGrabState(arm, false, true);
        const auto& effects = input->getVibration()->effects();
        ASSERT_EQ(effects.size(), 1u);
        EXPECT_EQ(effects[0].startLeft, row.left);
        EXPECT_EQ(effects[0].startRight, row.right);
        EXPECT_EQ(effects[0].duration, 0.1f);
        setLimbTouchedObject(arm, nullptr);
        arm.released = false;
    }
}

TEST_F(LimbInputTest, EachSideIsDrivenByTheControlsOfItsRole) {
    // Player 0's one set of controls drives role 0 (side 0) and not role 1 (side 1).
    PlayerControls* controls = input->getPlayerControls(0, 0);
    LimbState second;
    second.owner = player;
    second.side = 1;
    // A body that is no listed player takes the first controls whatever its side.
    EXPECT_EQ(findLimbPlayerControlsIndex(second), 0);
    setPlayer(0, player);
    EXPECT_EQ(findLimbPlayerControlsIndex(arm), 0);
    EXPECT_EQ(findLimbPlayerControlsIndex(second), -1);
    arms.controlled[1] = &second;
    setLimbsControlEnabled(arms, true);
    EXPECT_TRUE(arm.manualControl);
    EXPECT_FALSE(arm.automatic);
    EXPECT_FALSE(second.manualControl);
    setLimbsControlEnabled(arms, false);
    for (const LimbState* limb : {&arm, &second}) {
        EXPECT_FALSE(limb->manualControl);
        EXPECT_TRUE(limb->automatic);
    }
    // With role 1 taken on and role 0 given up, only the other side is driven.
    controls->setRole(1, true);
    controls->setRole(0, false);
    EXPECT_EQ(findLimbPlayerControlsIndex(arm), -1);
    EXPECT_EQ(findLimbPlayerControlsIndex(second), 0);
    setLimbsControlEnabled(arms, true);
    EXPECT_FALSE(arm.manualControl);
    EXPECT_TRUE(second.manualControl);
    EXPECT_FALSE(second.automatic);
}

TEST_F(LimbControlTest, AHangGrabMakesTheLinksHeavyUntilTheRelease) {
    auto* light = new LightPlayer(root(), smgr(), 2);
    light->drop();
    crate->CanHangFrom = true;
    const struct Row {
        LimbTestPlayer* owner;
        irr::f32 holding, released; // link masses
    } rows[] = {{player, 60.0f, 4.68f}, {light, 30.0f, 2.34f}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.owner == player ? "heavier weight" : "lighter weight");
        arm.owner = row.owner;
        arm.grabAmount = 1.0f;
        touchCrate();
        ASSERT_TRUE(updateLimbGrabJoints(arm));
        for (const LimbLink& link : arm.links)
            EXPECT_FLOAT_EQ(link.body->getMass(), row.holding);
        setLimbGrabState(arm, false, true);
        for (const LimbLink& link : arm.links)
            EXPECT_FLOAT_EQ(link.body->getMass(), row.released);
        setLimbTouchedObject(arm, nullptr);
        arm.released = false;
    }
}

TEST(LimbHighlightTest, AMeshsOwnSetNeedsItsFirstHighlight) {
    test::TempDir dir;
    const std::string folder = dir.path().string() + "/";
    std::ofstream(folder + "HeroRArm.dds") << "x";
    std::array<std::string, 8> paths = limbHighlightTexturePaths(folder + "Hero.b3d");
    EXPECT_EQ(paths[0], "Content/Models/Characters/TentaroHighlight1.dds");
    EXPECT_EQ(paths[4], "Content/Models/Characters/TentaroRArm.dds");
    EXPECT_EQ(paths[7], "Content/Models/Characters/TentaroLArm.dds");
    std::ofstream(folder + "HeroHighlight1.dds") << "x";
    paths = limbHighlightTexturePaths(folder + "Hero.b3d");
    EXPECT_EQ(paths[0], folder + "HeroHighlight1.dds");
    EXPECT_EQ(paths[5], folder + "HeroLLeg.dds");
    EXPECT_EQ(paths[6], folder + "HeroRLeg.dds");
}

// The eight pictures land in the effect handler's slots as right arm, left arm, right leg,
// left leg after the four highlights, though they are named right arm, left leg, right leg,
// left arm.
TEST(LimbHighlightTest, ThePicturesFillTheHandlersSlotsArmsBeforeLegs) {
    test::NullDevice device;
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    const char* const suffixes[8] = {"Highlight1.dds", "Highlight2.dds", "Highlight3.dds", "Highlight4.dds",
                                     "RArm.dds",       "LLeg.dds",       "RLeg.dds",       "LArm.dds"};
    irr::video::ITexture* textures[8] = {};
    for (int n = 0; n < 8; ++n)
        textures[n] = driver->addTexture(irr::core::dimension2du(2, 2),
                                         (std::string("Content/Models/Characters/Tentaro") + suffixes[n]).c_str());
    // Without the game's device nothing is set.
    auto handler = std::make_unique<EffectHandler>(device.get(), irr::core::dimension2du(0, 0));
    effectHandler = handler.get();
    gameDevice = nullptr;
    applyLimbHighlightTextures("Content/Models/Characters/Other.b3d");
    EXPECT_EQ(handler->limbTextures[4], nullptr);
    gameDevice = device.get();
    applyLimbHighlightTextures("Content/Models/Characters/Other.b3d");
    const int slotOf[8] = {0, 1, 2, 3, 4, 7, 6, 5};
    for (int n = 0; n < 8; ++n)
        EXPECT_EQ(handler->limbTextures[slotOf[n]], textures[n]) << suffixes[n];
    gameDevice = nullptr;
    effectHandler = nullptr;
}

} // namespace
