// Move Object, Add Force and the force volume on simulated bodies.
#include "ActionTestSupport.h"
#include "support/StubPlayer.h"

#include "core/Globals.h"
#include "core/Random.h"
#include "phys/RigidBody.h"
#include "physics/world/PhysicsFiltering.h"
#include "platform/FakePadBackend.h"
#include "platform/Gamepad.h"
#include "player/InputManager.h"
#include "player/devices/MouseDevice.h"

#include <algorithm>
#include "level/SubLevelObject.h"
#include "triggers/ForceVolume.h"
#include "triggers/actions/AddForceAction.h"
#include "triggers/actions/MoveObjectAction.h"

using namespace irr;

namespace {

class MoveForceActionsTest : public test::ActionFixture {
protected:
    MoveObjectAction* mover(const std::function<void(io::IAttributes*)>& keys) {
        TriggerObject* trigger = addActionTrigger(50 + triggers++, MoveObjectAction::actionType, keys);
        return static_cast<MoveObjectAction*>(trigger->getAction());
    }
    AddForceAction* pusher(const std::function<void(io::IAttributes*)>& keys,
                           TriggerCondition condition = TriggerCondition::ManualActivationOnly) {
        TriggerObject* trigger = addActionTrigger(70 + triggers++, AddForceAction::actionType, keys, condition);
        return static_cast<AddForceAction*>(trigger->getAction());
    }
    static phys::RigidDynamic* bodyOf(PhysicsObject* object) {
        return object->getBodyActor() ? object->getBodyActor()->asRigidDynamic() : nullptr;
    }
    static f32 smoothstep(f32 t) { return (3.0f * t - 2.0f * t * t) * t; }
    // The last record queued for the body, or null.
    static const QueuedForce* queuedFor(const std::vector<QueuedForce>& queue, phys::RigidDynamic* body) {
        const QueuedForce* found = nullptr;
        for (const QueuedForce& record : queue)
            if (record.actor == body)
                found = &record;
        return found;
    }
    ForceVolume* addVolume(const core::vector3df& position = {}) {
        auto* volume = static_cast<ForceVolume*>(smgr()->addSceneNode("ForceVolume", root()));
        volume->setPosition(position);
        volume->updateAbsolutePosition();
        volume->rebuildVolume();
        return volume;
    }
    TriggerEventInfo event;
    int triggers = 0;
};

TEST_F(MoveForceActionsTest, AManualMoveFollowsItsSmoothstepPathAndEndsOnTheTarget) {
    PhysicsObject* crate = addCrate(2, {0, 1, 0}, "Kinematic");
    MoveObjectAction* move = mover([](io::IAttributes* k) {
        k->addInt("ObjectID", 2);
        k->addString("MoveMode", "Manual");
        k->addVector3d("TargetPosition", {4, 1, 0});
        k->addVector3d("TargetRotation", {0, 90, 0});
        k->addFloat("MoveDuration", 1.0f);
    });
    step();
    move->execute(event);
    const f32 dt = PhysicsManager::fixedStepSize;
    int frames = 1; // execute already took one frame's time
    for (int sample : {15, 30, 45}) {
        for (; frames < sample; ++frames)
            step();
        const f32 t = smoothstep(f32(frames) * dt);
        test::expectNear(crate->getAbsolutePosition(), {4.0f * t, 1, 0}, 2e-3f);
        EXPECT_NEAR(crate->getRotation().Y, 90.0f * t, 0.5f) << frames;
    }
    steps(20);
    test::expectNear(crate->getAbsolutePosition(), {4, 1, 0}, 1e-3f);
    ASSERT_EQ(move->getMoves().size(), 1u);
    EXPECT_LT(move->getMoves()[0].remaining, 0.0f) << "the finished record is free";
    move->execute(event);
    EXPECT_EQ(move->getMoves().size(), 1u) << "a free record is reused";
}

TEST_F(MoveForceActionsTest, ASecondMoveRunsBesideTheFirstAndACancelLetsBothFinish) {
    PhysicsObject* crate = addCrate(2, {0, 1, 0}, "Kinematic");
    MoveObjectAction* move = mover([](io::IAttributes* k) {
        k->addInt("ObjectID", 2);
        k->addString("MoveMode", "Manual");
        k->addVector3d("TargetPosition", {0, 1, 6});
        k->addFloat("MoveDuration", 1.0f);
    });
    step();
    move->execute(event);
    steps(10);
    move->execute(event);
    ASSERT_EQ(move->getMoves().size(), 2u);
    move->cancel();
    EXPECT_EQ(move->getMoves().size(), 2u) << "without StopOnTriggerCancelled the moves go on";
    steps(80);
    for (const MoveObjectAction::MoveRecord& record : move->getMoves())
        EXPECT_LT(record.remaining, 0.0f);
    test::expectNear(crate->getAbsolutePosition(), {0, 1, 6}, 1e-3f);
}

TEST_F(MoveForceActionsTest, AnInstantMoveOfADynamicBodyPlacesItAtRestAndMayMakeItsRespawnPoint) {
    PhysicsObject* crate = addCrate(2, {0, 5, 0});
    steps(10);
    ASSERT_LT(bodyOf(crate)->getLinearVelocity().y, -0.5f) << "falling";
    MoveObjectAction* move = mover([](io::IAttributes* k) {
        k->addInt("ObjectID", 2);
        k->addString("MoveMode", "Manual");
        k->addVector3d("TargetPosition", {-3, 8, 2});
        k->addVector3d("TargetRotation", {0, 90, 0});
        k->addFloat("MoveDuration", 0.0f);
        k->addBool("StopOnTriggerCancelled", true);
        k->addBool("SetAsNewRespawnPoint", true);
        k->addBool("DisableColWhileMoving", true);
    });
    crate->setCollisionEnabled(false); // even one without collision before
    move->execute(event);
    const phys::Transform pose = bodyOf(crate)->getGlobalPose();
    test::expectNear({pose.p.x, pose.p.y, pose.p.z}, {-3, 8, 2}, 1e-4f);
    EXPECT_NEAR(bodyOf(crate)->getLinearVelocity().magnitude(), 0.0f, 1e-5f);
    EXPECT_TRUE(crate->isCollisionEnabled()) << "a visible object gets its collision back";
    test::expectNear(crate->reset().spawnPosition, {-3, 8, 2}, 1e-3f);
    for (const core::vector3df& rotation : {crate->reset().spawnRotation, crate->reset().respawnRotation}) {
        core::matrix4 turn;
        turn.setRotationDegrees(rotation);
        core::vector3df ahead(0, 0, 1);
        turn.rotateVect(ahead);
        test::expectNear(ahead, {1, 0, 0}, 1e-2f); // turned a quarter about Y, as the target
    }
    EXPECT_FALSE(move->StopOnTriggerCancelled) << "not read for an instant move";
    io::IAttributes* keys = attributes();
    move->serializeAttributes(keys);
    EXPECT_FALSE(keys->existsAttribute("StopOnTriggerCancelled"));
    EXPECT_FALSE(keys->existsAttribute("UndoOnTriggerRevert"));
}

TEST_F(MoveForceActionsTest, AReferenceMoveFollowsItsReferenceAndCancelStopsOnlyWhenAsked) {
    test::FakeObject* parent = addObject(9, "emty");
    parent->setPosition({10, 0, 0});
    parent->setScale({2, 2, 2});
    parent->setRotation({0, 90, 0});
    parent->updateAbsolutePosition();
    auto* plain = new test::FakeObject(parent, smgr(), 3, typeId("emty"));
    plain->drop();
    manager->registerNodeIDs(plain);
    test::FakeObject* reference = addObject(4, "emty");
    MoveObjectAction* move = mover([](io::IAttributes* k) {
        k->addInt("ObjectID", 3);
        k->addInt("TargetID", 4);
        k->addFloat("MoveDuration", 0.5f);
        k->addBool("StopOnTriggerCancelled", true);
        k->addBool("IgnoreRotation", true);
    });
    step();
    move->execute(event);
    // The reference moves during the first two thirds of the move.
    for (int i = 0; i < 40; ++i) {
        reference->setPosition({1.0f + 0.1f * f32(std::min(i, 20)), 2, 3});
        reference->updateAbsolutePosition();
        step();
    }
    plain->updateAbsolutePosition();
    test::expectNear(plain->getAbsolutePosition(), reference->getAbsolutePosition(), 1e-3f);

    move->execute(event);
    step();
    move->cancel();
    EXPECT_TRUE(move->getMoves().empty()) << "cancelled moves stop where they stand";

    PhysicsObject* crate = addCrate(5, {0, 1, 0}, "Kinematic");
    MoveObjectAction* ghostly = mover([](io::IAttributes* k) {
        k->addInt("ObjectID", 5);
        k->addString("MoveMode", "Manual");
        k->addVector3d("TargetPosition", {0, 1, 6});
        k->addFloat("MoveDuration", 1.0f);
        k->addBool("DisableColWhileMoving", true);
        k->addBool("StopOnTriggerCancelled", true);
    });
    ghostly->execute(event);
    step();
    EXPECT_FALSE(crate->isCollisionEnabled());
    ghostly->cancel();
    EXPECT_TRUE(crate->isCollisionEnabled()) << "a stopped move gives the object its collision back";
    EXPECT_GT(crate->getAbsolutePosition().Z, 0.0f);
    EXPECT_LT(crate->getAbsolutePosition().Z, 1.0f) << "it stays where it stood";

    MoveObjectAction* reset = mover([](io::IAttributes* k) {
        k->addInt("ObjectID", 3);
        k->addString("MoveMode", "Reset");
    });
    reset->execute(event);
    EXPECT_EQ(log.countStartingWith("ERROR: Attempting to reset non-PhysicsObject to original spawn position: "), 1u);
}

TEST_F(MoveForceActionsTest, AnImpulsePushesOnceAndTheMultipliersScaleTheLinearVelocity) {
    PhysicsObject* crate = addCrate(2, {0, 5, 0});
    AddForceAction* push = pusher([](io::IAttributes* k) {
        k->addString("ForceMode", "Objects");
        k->addInt("ObjectID", 2);
        k->addString("LinearForceMode", "Impulse");
        k->addVector3d("LinearForce", {0, 100, 0});
    });
    step(); // resolves the targets
    ASSERT_EQ(push->getTargets().size(), 1u);
    const f32 before = bodyOf(crate)->getLinearVelocity().y;
    step(PhysicsManager::fixedStepSize, [&] { push->execute(event); });
    step();
    EXPECT_GT(bodyOf(crate)->getLinearVelocity().y, before + 8.0f) << "100 N s on 10 kg";

    AddForceAction* damp = pusher([](io::IAttributes* k) {
        k->addString("ForceMode", "Objects");
        k->addInt("ObjectID", 2);
        k->addFloat("AngVelocityMultiplier", 0.5f);
    });
    step();
    bodyOf(crate)->setLinearVelocity(phys::Vec3(8, 0, 0));
    damp->execute(event);
    EXPECT_NEAR(bodyOf(crate)->getLinearVelocity().x, 4.0f, 1e-4f);

    // A reflecting push mirrors a body coming at the contact plane and leaves one leaving it.
    AddForceAction* mirror = pusher([](io::IAttributes* k) {
        k->addString("ForceMode", "Objects");
        k->addBool("ReflectObject", true);
    });
    TriggerEventInfo hit = makeEmptyTriggerEventInfo(crate);
    hit.secondVector = core::vector3df(0, 0, 1);
    for (const f32 z : {-5.0f, 5.0f}) {
        bodyOf(crate)->setLinearVelocity(phys::Vec3(3, 0, z));
        mirror->execute(hit);
        const phys::Vec3 v = bodyOf(crate)->getLinearVelocity();
        test::expectNear({v.x, v.y, v.z}, {3, 0, 5}, 1e-4f);
    }

    AddForceAction older(nullptr);
    io::IAttributes* keys = attributes();
    keys->addVector3d("LinearVelocity", {10, 0, 0});
    keys->addBool("ApplyToTentaro", true);
    older.deserializeAttributes(keys);
    EXPECT_EQ(older.LinearForceMode, 2);
    EXPECT_EQ(older.LinearForce, core::vector3df(10, 0, 0));
    EXPECT_EQ(older.ForceMode, AddForceAction::Tentaro);
    EXPECT_EQ(older.AngularForceMode, 0) << "no older angular key";
    keys->addVector3d("AngularVelocity", {0, 0, 4});
    older.deserializeAttributes(keys);
    EXPECT_EQ(older.AngularForceMode, 2);
    EXPECT_EQ(older.AngularForce, core::vector3df(0, 0, 4));

    // An owned action writes the density only for a liquid, and the object repel only when it
    // pushes objects.
    for (const bool liquid : {false, true})
        for (const s32 mode : {s32(AddForceAction::Objects), s32(AddForceAction::Tentaro)}) {
            AddForceAction owned(push->trigger);
            owned.ApplyBuoyancy = liquid;
            owned.ForceMode = mode;
            const std::string written = keysOf(owned);
            EXPECT_EQ(written.find("ObjectDensity=") != std::string::npos, liquid) << written;
            EXPECT_EQ(written.find("RepelObjects=") != std::string::npos, mode != AddForceAction::Tentaro) << written;
            EXPECT_EQ(written.find("RepelTentaro=") != std::string::npos, mode != AddForceAction::Objects) << written;
        }

    // The parts' own forces are written only while no whole-body force stands for them all.
    older.HeadForce = {1, 0, 0};
    for (const f32 whole : {0.0f, 2.0f}) {
        older.WholeBodyForce = {0, whole, 0};
        const std::string written = keysOf(older);
        EXPECT_EQ(written.find("HeadForce=") != std::string::npos, whole == 0.0f) << written;
        EXPECT_EQ(written.find("LeftLegForce=") != std::string::npos, whole == 0.0f) << written;
    }
}

TEST_F(MoveForceActionsTest, AContinuousForceActsEveryFrameItsTriggerIsMetAndNotOnExecute) {
    PhysicsObject* crate = addCrate(2, {0, 5, 0});
    phys::Vec3 gravity;
    physics->getGravity(gravity);
    AddForceAction* lift = pusher(
        [&](io::IAttributes* k) {
            k->addString("ForceMode", "Objects");
            k->addInt("ObjectID", 2);
            k->addString("LinearForceMode", "Acceleration");
            k->addVector3d("LinearForce", {-gravity.x, -gravity.y, -gravity.z});
            k->addBool("AddContinuously", true);
        },
        TriggerCondition::Immediately);
    step();
    step(PhysicsManager::fixedStepSize, [&] { lift->execute(event); });
    steps(5); // the crate falls until the trigger's first frame
    const f32 speed = bodyOf(crate)->getLinearVelocity().y;
    const f32 height = crate->getAbsolutePosition().Y;
    steps(60);
    EXPECT_NEAR(bodyOf(crate)->getLinearVelocity().y, speed, 0.05f) << "the lift cancels gravity";
    EXPECT_NEAR(crate->getAbsolutePosition().Y, height + speed * 60.0f * PhysicsManager::fixedStepSize, 0.05f);
    lift->trigger->setVisible(false);
    steps(30);
    EXPECT_LT(bodyOf(crate)->getLinearVelocity().y, 0.25f * gravity.y) << "a hidden trigger pushes nothing";
}

TEST_F(MoveForceActionsTest, ASpawnedForceVolumePushesWhatIsInsideItAndNotWhatIsInsideItsSource) {
    phys::Vec3 gravity;
    physics->getGravity(gravity);
    auto* source = static_cast<ForceVolume*>(smgr()->addSceneNode("ForceVolume", root()));
    ASSERT_NE(source, nullptr);
    io::IAttributes* keys = attributes();
    source->serializeAttributes(keys);
    keys->setAttribute("LinearForceMode", "Acceleration");
    keys->setAttribute("LinearForce", core::vector3df(-2.0f * gravity.x, -2.0f * gravity.y, -2.0f * gravity.z));
    source->deserializeAttributes(keys);
    source->updateAbsolutePosition();
    source->rebuildVolume();
    auto* spawned = static_cast<ForceVolume*>(source->clone());
    ASSERT_NE(spawned, nullptr);
    EXPECT_EQ(spawned->getAction()->trigger, spawned);
    spawned->setPosition({30, 0, 0});
    spawned->updateAbsolutePosition();
    spawned->rebuildVolume();
    PhysicsObject* inSource = addCrate(2, {0, 0, 0});
    PhysicsObject* inSpawned = addCrate(3, {30, 0, 0});
    steps(30);
    // Each volume lifts what is inside it once: twice gravity up, a net lift of one gravity.
    const f32 lifted = bodyOf(inSpawned)->getLinearVelocity().y;
    EXPECT_GT(lifted, 0.5f * -gravity.y * 20.0f * PhysicsManager::fixedStepSize) << "the spawned volume lifts its own";
    EXPECT_NEAR(bodyOf(inSource)->getLinearVelocity().y, lifted, 0.1f * lifted) << "the source's is lifted once";
}

// A player body whose legs keep the limb helpers' records.
class LeggedPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    LimbSet getLegs() override { return legs; }
    LimbSet legs;
};

TEST_F(MoveForceActionsTest, PushingThePlayerRefreshesBothLegsLinkMassesFirst) {
    auto* player = new LeggedPlayer(root(), smgr(), 1);
    player->drop();
    test::FakeLimb* legs[2];
    for (s32 side = 0; side < 2; ++side) {
        legs[side] = new test::FakeLimb(player, smgr(), "legs");
        legs[side]->drop();
        legs[side]->state.owner = player;
        legs[side]->state.side = side;
        legs[side]->state.links.push_back({bodyOf(addCrate(10 + side, {f32(side) * 3.0f, 1, 20})), nullptr});
        player->legs.sides[side] = legs[side];
    }
    setPlayer(0, player);
    // 30, 24 more in the heavier weight mode (the stand-in's), 30 more for a leg not light.
    const struct Row {
        const char* forceMode;
        f32 legMass;
    } rows[] = {{"Tentaro", 84.0f}, {"Objects", 10.0f}};
    for (const Row& row : rows) {
        for (test::FakeLimb* leg : legs)
            leg->state.links[0].body->setMass(10.0f);
        AddForceAction* push = pusher([&](io::IAttributes* k) {
            k->addString("ForceMode", row.forceMode);
            k->addVector3d("WholeBodyForce", {0, 5, 0});
        });
        step();
        push->execute(event);
        for (test::FakeLimb* leg : legs)
            EXPECT_FLOAT_EQ(leg->state.links[0].body->getMass(), row.legMass) << row.forceMode;
    }
    clearPlayers();
}

// A player body that records the poses it is given and the objects it is asked to drop.
class PosedPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    void setPose(const f32 pose[7]) override { poses.emplace_back(pose, pose + 7); }
    void matchAnimatedPose(s32 id) override { matched.push_back(id); }
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("plr1"); }
    // Only the drops a move asks for (the third argument set).
    void releaseGrabbed(scene::ISceneNode* node, s32 side, bool forMove) override {
        if (!forMove)
            return;
        released.push_back(node);
        releasedSide = side;
    }
    std::vector<std::vector<f32>> poses;
    std::vector<s32> matched;
    std::vector<scene::ISceneNode*> released;
    s32 releasedSide = -1;
};

// The player is posed at the manual target, or at its reference's place and turn, or asked to
// match an animated reference; an ObjectID naming a player picks that player.
TEST_F(MoveForceActionsTest, MovingThePlayerPosesItAtTheTargetOrItsReference) {
    auto* first = new PosedPlayer(root(), smgr(), 1);
    first->drop();
    auto* named = new PosedPlayer(root(), smgr(), 8);
    named->drop();
    manager->registerNodeIDs(named);
    setPlayer(0, first);
    test::FakeObject* reference = addObject(4, "emty");
    reference->setPosition({5, 6, 7});
    reference->setRotation({0, 0, 90});
    reference->updateAbsolutePosition();
    addCrate(5, {9, 9, 9}, "Kinematic");
    addBody(6, {2, 2, 2}, "Kinematic"); // no mesh: nothing animated to match
    const f32 half = std::sqrt(0.5f);
    const struct Row {
        const char* mode;
        s32 objectID, targetID;
        bool match;
        PosedPlayer* posed;
        std::vector<f32> pose; // empty: matched instead
    } rows[] = {
        {"Manual", 0, 0, false, first, {0, half, 0, half, 1, 2, 3}},
        {"Manual", 8, 0, false, named, {0, half, 0, half, 1, 2, 3}},
        {"Reference Node", 0, 4, true, first, {0, 0, half, half, 5, 6, 7}}, // no physics object: posed
        {"Reference Node", 0, 6, true, first, {0, 0, 0, 1, 2, 2, 2}},        // no mesh: posed
        {"Reference Node", 0, 5, false, first, {0, 0, 0, 1, 9, 9, 9}},
        {"Reference Node", 0, 5, true, first, {}},
    };
    for (const Row& row : rows) {
        MoveObjectAction* move = mover([&](io::IAttributes* k) {
            k->addInt("ObjectID", row.objectID);
            k->addBool("MoveTentaro", true);
            k->addString("MoveMode", row.mode);
            k->addInt("TargetID", row.targetID);
            k->addVector3d("TargetPosition", {1, 2, 3});
            k->addVector3d("TargetRotation", {0, 90, 0});
            k->addBool("MatchAnimatedPose", row.match);
        });
        step();
        first->poses.clear();
        named->poses.clear();
        first->matched.clear();
        move->execute(event);
        PosedPlayer* other = row.posed == first ? named : first;
        EXPECT_TRUE(other->poses.empty()) << row.mode << " " << row.targetID;
        if (row.pose.empty()) {
            EXPECT_TRUE(first->poses.empty());
            EXPECT_EQ(first->matched, std::vector<s32>{row.targetID});
            continue;
        }
        ASSERT_EQ(row.posed->poses.size(), 1u) << row.mode << " " << row.targetID;
        for (int i = 0; i < 7; ++i)
            EXPECT_NEAR(row.posed->poses[0][i], row.pose[i], 2e-3f) << row.mode << " " << row.targetID << " " << i;
    }
    clearPlayers();
}

// A held object is moved only when the action may drop it: every player lets go with both sides.
TEST_F(MoveForceActionsTest, AHeldObjectMovesOnlyAfterEveryPlayerDropsIt) {
    auto* player = new PosedPlayer(root(), smgr(), 1);
    player->drop();
    setPlayer(0, player);
    for (const bool drop : {false, true}) {
        const s32 id = drop ? 3 : 2;
        PhysicsObject* crate = addCrate(id, {0, 1, f32(id) * 10.0f}, "Kinematic");
        crate->holdCount = 1;
        MoveObjectAction* move = mover([&](io::IAttributes* k) {
            k->addInt("ObjectID", id);
            k->addString("MoveMode", "Manual");
            k->addVector3d("TargetPosition", {4, 1, 0});
            k->addBool("DropIfGrabbed", drop);
        });
        step();
        player->released.clear();
        ASSERT_EQ(playerCount(), 1);
        move->execute(event);
        EXPECT_EQ(player->released.size(), drop ? 1u : 0u);
        if (drop) {
            EXPECT_EQ(player->released[0], crate);
            EXPECT_EQ(player->releasedSide, LimbSide::Both);
        }
        EXPECT_EQ(move->getMoves().size(), drop ? 1u : 0u) << "drop " << drop;
        EXPECT_NEAR(crate->getAbsolutePosition().X, drop ? 4.0f : 0.0f, 1e-3f);
        crate->holdCount = 0;
    }
    clearPlayers();
}

// A Contact move goes to the event's point, turned to the heading of its second vector; without
// an ObjectID it moves the event's object.
TEST_F(MoveForceActionsTest, AContactMoveTakesTheEventsObjectToItsPointAndHeading) {
    PhysicsObject* crate = addCrate(2, {0, 1, 0}, "Kinematic");
    MoveObjectAction* move = mover([](io::IAttributes* k) { k->addString("MoveMode", "Contact"); });
    step();
    TriggerEventInfo hit = makeTriggerEventInfo(crate, {3, 2, 1});
    hit.secondVector = core::vector3df(1, 0, 0);
    move->execute(hit);
    test::expectNear(crate->getAbsolutePosition(), {3, 2, 1}, 1e-3f);
    test::expectNear(move->TargetPosition, {3, 2, 1});
    test::expectNear(move->TargetRotation, core::vector3df(1, 0, 0).getHorizontalAngle());
    EXPECT_NEAR(crate->getRotation().Y, 90.0f, 0.5f);
}

// A reset by an expression resets each named physics object not held in place; a moved object
// of a hidden sublevel stays active outside it.
TEST_F(MoveForceActionsTest, AResetByNamesResetsEachFreeObjectAndAMovedObjectLeavesItsHiddenSublevel) {
    PhysicsObject* free = addCrate(2, {0, 1, 0});
    PhysicsObject* held = addCrate(3, {5, 1, 0});
    held->holdCount = 1;
    MoveObjectAction* reset = mover([](io::IAttributes* k) {
        k->addString("MoveMode", "Reset");
        k->addString("ObjectIDs", "2|3");
    });
    reset->execute(event);
    EXPECT_GE(free->respawnEffectTimer, 0.0f);
    EXPECT_LT(held->respawnEffectTimer, 0.0f) << "held in place";
    EXPECT_EQ(log.countStartingWith("ERROR: Attempting to reset"), 0u);
    held->holdCount = 0;

    auto* sublevel = new SubLevelObject(root(), smgr(), 30);
    sublevel->drop();
    PhysicsObject* inside = addCrate(4, {0, 1, 0}, "Kinematic");
    sublevel->addChild(inside);
    PhysicsObject* shown = addCrate(6, {0, 1, 0}, "Kinematic");
    auto* visible = new SubLevelObject(root(), smgr(), 31);
    visible->drop();
    visible->addChild(shown);
    sublevel->setVisible(false);
    for (const s32 id : {4, 6}) {
        MoveObjectAction* move = mover([&](io::IAttributes* k) {
            k->addInt("ObjectID", id);
            k->addString("MoveMode", "Manual");
            k->addVector3d("TargetPosition", {0, 1, 3});
        });
        move->execute(event);
        move->execute(event);
    }
    EXPECT_TRUE(inside->mesh().isSublevelOutlier);
    EXPECT_TRUE(sublevel->containsOutlier(inside));
    EXPECT_FALSE(shown->mesh().isSublevelOutlier) << "its sublevel is shown";
    EXPECT_FALSE(visible->containsOutlier(shown));
}

// A plain node under a scaled, unturned parent is placed in its parent's units; at the
// parent's origin it sits at zero.
TEST_F(MoveForceActionsTest, APlainNodeUnderAScaledParentIsPlacedInItsParentsUnits) {
    test::FakeObject* parent = addObject(9, "emty");
    parent->setPosition({10, 0, 0});
    parent->setScale({2, 2, 2});
    parent->updateAbsolutePosition();
    auto* plain = new test::FakeObject(parent, smgr(), 3, typeId("emty"));
    plain->drop();
    manager->registerNodeIDs(plain);
    const struct {
        core::vector3df world, relative;
    } rows[] = {{{14, 4, -2}, {2, 2, -1}}, {{10, 0, 0}, {0, 0, 0}}};
    for (const auto& row : rows) {
        MoveObjectAction* move = mover([&](io::IAttributes* k) {
            k->addInt("ObjectID", 3);
            k->addString("MoveMode", "Manual");
            k->addVector3d("TargetPosition", row.world);
            k->addBool("IgnoreRotation", true);
        });
        plain->setPosition({1, 1, 1});
        move->execute(event);
        test::expectNear(plain->getPosition(), row.relative, 1e-4f);
    }
}

// A player body with a weight mode the test chooses that records the forces on its head and chest.
class WeighedPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    s32 getWeightMode() override { return weightMode; }
    void addHeadForce(const core::vector3df& force, s32 mode, bool continuous) override {
        heads.push_back(force);
        headMode = mode;
        headContinuous = continuous;
    }
    void addChestForce(const core::vector3df& force, s32, bool) override { chests.push_back(force); }
    s32 weightMode = 0;
    std::vector<core::vector3df> heads, chests;
    s32 headMode = -1;
    bool headContinuous = false;
};

// Inside a volume, a limb carrying the body pushes harder in the lighter weight mode: arm and
// leg links (0x400, 0x800, 0x200) four times, the chest link (0x100) by (mass + 24) / mass
// twice, the head (0x1000) 2.625 times; a part of no kind as given. Only forces in mode Force
// are scaled, and the heavier weight mode scales none.
TEST_F(MoveForceActionsTest, AVolumePushesPlayerPartsHarderByTheirLinkKindInTheLighterWeightMode) {
    auto* player = new WeighedPlayer(root(), smgr(), 1);
    player->drop();
    player->setPosition({100, 0, 0});
    player->updateAbsolutePosition();
    setPlayer(0, player);
    ForceVolume* volume = addVolume();
    auto* push = static_cast<AddForceAction*>(volume->getAction());
    push->LinearForce = {0, 10, 0};
    push->AngularForce = {0, 0, 2};
    const struct {
        u32 bits;
        f32 scale;
    } parts[] = {{0x400u, 4.0f}, {0x800u, 4.0f}, {0x200u, 4.0f}, {0x100u, 6.8f}, {0x1000u, 2.625f}, {0u, 1.0f}};
    std::vector<phys::RigidDynamic*> bodies;
    for (const auto& part : parts) {
        const s32 index = s32(bodies.size());
        PhysicsObject* link = addCrate(200 + index, {200.0f + 10.0f * f32(index), 50, 0});
        phys::RigidDynamic* body = bodyOf(link);
        ASSERT_NE(body, nullptr);
        ASSERT_FALSE(actorHasFilterBits(body, 0x1f00u)) << "a crate is no player link";
        phys::Shape* shape = nullptr;
        ASSERT_EQ(body->getShapes(&shape, 1), 1u);
        phys::FilterData data = shape->getSimulationFilterData();
        data.word0 |= part.bits; // the link kind the player's limbs give their bodies
        shape->setSimulationFilterData(data);
        bodies.push_back(body);
        auto* leg = new test::FakeLimb(root(), smgr(), "legs");
        leg->drop();
        leg->state.owner = player;
        volume->onObjectEnter(leg, {}, nullptr, body, nullptr);
    }
    steps(4); // nothing is evaluated in a trigger's first three frames
    const struct Row {
        s32 weightMode, linearMode, angularMode;
        bool scaleLinear, scaleAngular;
    } rows[] = {{0, 0, 0, true, true}, {0, 1, 0, false, true}, {0, 0, 3, true, false}, {1, 0, 0, false, false}};
    for (const Row& row : rows) {
        player->weightMode = row.weightMode;
        push->LinearForceMode = row.linearMode;
        push->AngularForceMode = row.angularMode;
        f32 frameFactor = 1.0f;
        step(PhysicsManager::fixedStepSize, [&] {
            frameFactor = physics->getFrameStepTime() / 0.0167f;
            ASSERT_TRUE(volume->ConditionMet);
            const std::vector<QueuedForce>& forces =
                row.linearMode == 1 ? physics->getImpulseForces() : physics->getContinuousForces();
            for (size_t i = 0; i < bodies.size(); ++i) {
                const f32 linear = row.scaleLinear ? parts[i].scale : 1.0f;
                const f32 angular = row.scaleAngular ? parts[i].scale : 1.0f;
                const QueuedForce* force = queuedFor(forces, bodies[i]);
                ASSERT_NE(force, nullptr) << i;
                EXPECT_NEAR(force->vector.y, 10.0f * linear, 1e-3f) << "part " << i << " weight " << row.weightMode;
                EXPECT_EQ(force->mode, row.linearMode);
                const QueuedForce* torque = queuedFor(physics->getImpulseTorques(), bodies[i]);
                ASSERT_NE(torque, nullptr) << i;
                const f32 byFrame = row.angularMode == 1 || row.angularMode == 2 ? 1.0f : frameFactor;
                EXPECT_NEAR(torque->vector.z, 2.0f * angular * byFrame, 1e-3f) << "part " << i;
                EXPECT_EQ(torque->mode, row.angularMode);
            }
        });
    }

    // Turned with the volume, then aimed from the volume towards the player, its length kept.
    player->weightMode = 1;
    push->LinearForceMode = 0;
    push->LinearForce = {10, 0, 0};
    push->ApplyLocally = true;
    step();
    EXPECT_TRUE(volume->keepUpdatingTransform) << "a local push keeps its volume's turn up to date";
    volume->setRotation({0, 90, 0});
    volume->updateAbsolutePosition();
    step(PhysicsManager::fixedStepSize, [&] {
        const QueuedForce* force = queuedFor(physics->getContinuousForces(), bodies.back());
        ASSERT_NE(force, nullptr);
        test::expectNear({force->vector.x, force->vector.y, force->vector.z}, {0, 0, -10}, 1e-3f);
    });
    push->ApplyLocally = false;
    push->RepelTentaro = true;
    push->LinearForce = {10, 10, 10};
    player->setPosition({3, 4, 0});
    player->updateAbsolutePosition();
    step(PhysicsManager::fixedStepSize, [&] {
        const QueuedForce* force = queuedFor(physics->getContinuousForces(), bodies.back());
        ASSERT_NE(force, nullptr);
        test::expectNear({force->vector.x, force->vector.y, force->vector.z}, {6, 8, 0}, 1e-3f);
    });
    push->ForceMode = AddForceAction::Objects;
    step(PhysicsManager::fixedStepSize, [&] {
        EXPECT_EQ(queuedFor(physics->getContinuousForces(), bodies.back()), nullptr) << "objects only";
    });
    clearPlayers();
}

// Pushed by a trigger, each part takes its own force, else the whole body's; neither, nothing.
TEST_F(MoveForceActionsTest, ATriggerPushesThePlayersHeadAndChestAwayFromItWhenAsked) {
    auto* player = new WeighedPlayer(root(), smgr(), 1);
    player->drop();
    player->setPosition({0, 0, 5});
    player->updateAbsolutePosition();
    setPlayer(0, player);
    AddForceAction* push = pusher([](io::IAttributes* k) {
        k->addString("ForceMode", "Tentaro");
        k->addString("TentaroForceMode", "Impulse");
        k->addVector3d("HeadForce", {1, 2, 3});
    });
    step();
    push->execute(event);
    ASSERT_EQ(player->heads.size(), 1u);
    EXPECT_TRUE(player->chests.empty()) << "no chest force and no whole-body force";
    test::expectNear(player->heads[0], {1, 2, 3});
    EXPECT_EQ(player->headMode, 1);
    EXPECT_FALSE(player->headContinuous);
    push->RepelTentaro = true;
    push->WholeBodyForce = {4, 4, 4};
    push->trigger->keepUpdatingTransform = true;
    push->trigger->setPosition({0, 0, 1});
    push->trigger->updateAbsolutePosition();
    push->execute(event);
    ASSERT_EQ(player->heads.size(), 2u);
    ASSERT_EQ(player->chests.size(), 1u);
    test::expectNear(player->heads[1], {0, 0, 3}); // its own force, towards the player
    test::expectNear(player->chests[0], {0, 0, 4});
    clearPlayers();
}

// Each component with AllowRange is drawn between its two ends in the order x, y, z of the
// linear then the angular force, one draw per component whose ends differ.
TEST_F(MoveForceActionsTest, ARangedPushDrawsOnlyTheComponentsWhoseEndsDiffer) {
    PhysicsObject* crate = addCrate(2, {0, 5, 0});
    AddForceAction* push = pusher([](io::IAttributes* k) {
        k->addString("ForceMode", "Objects");
        k->addInt("ObjectID", 2);
        k->addString("LinearForceMode", "Impulse");
        k->addString("AngularForceMode", "Impulse");
        k->addBool("AllowRange", true);
        k->addVector3d("LinearForce", {7, 30, 10});
        k->addVector3d("LinearForceMax", {7, 10, 20});
        k->addVector3d("AngularForce", {1, 1, 1});
        k->addVector3d("AngularForceMax", {1, 1, 3});
    });
    step();
    seedRandom(77);
    const f32 r1 = randomFloat(), r2 = randomFloat(), r3 = randomFloat(), after = randomFloat();
    seedRandom(77);
    step(PhysicsManager::fixedStepSize, [&] {
        push->execute(event);
        const QueuedForce* force = queuedFor(physics->getImpulseForces(), bodyOf(crate));
        ASSERT_NE(force, nullptr);
        test::expectNear({force->vector.x, force->vector.y, force->vector.z},
                         {7, 10 + 20 * r1, 10 + 10 * r2}, 1e-4f);
        const QueuedForce* torque = queuedFor(physics->getImpulseTorques(), bodyOf(crate));
        ASSERT_NE(torque, nullptr);
        test::expectNear({torque->vector.x, torque->vector.y, torque->vector.z}, {1, 1, 1 + 2 * r3}, 1e-4f);
        EXPECT_EQ(randomFloat(), after) << "three draws";
    });

    // Repelled from the trigger: each component times the unit direction to the object.
    push->AllowRange = false;
    push->RepelObjects = true;
    push->LinearForce = {10, 10, 10};
    push->trigger->keepUpdatingTransform = true;
    push->trigger->setPosition({0, 5, -4});
    push->trigger->updateAbsolutePosition();
    crate->setPosition({3, 5, 0});
    crate->updateAbsolutePosition();
    push->execute(event);
    const QueuedForce* force = queuedFor(physics->getImpulseForces(), bodyOf(crate));
    ASSERT_NE(force, nullptr);
    test::expectNear({force->vector.x, force->vector.y, force->vector.z}, {6, 0, 8}, 1e-4f);
}

// The mouse's movement this frame scales the push: across by its x, up by its y turned over,
// each held to 150 either way.
TEST_F(MoveForceActionsTest, AMouseDrivenPushFollowsTheMovementHeldTo150) {
    platform::setPadBackend(std::make_unique<platform::FakePadBackend>());
    auto input = std::make_unique<InputManager>();
    input->init(device->get());
    inputManager = input.get();
    PhysicsObject* crate = addCrate(2, {0, 5, 0});
    AddForceAction* push = pusher([](io::IAttributes* k) {
        k->addString("ForceMode", "Objects");
        k->addInt("ObjectID", 2);
        k->addString("LinearForceMode", "Impulse");
        k->addVector3d("LinearForce", {1, 1, 1});
        k->addBool("ApplyMouseMovement", true);
    });
    step();
    const struct {
        f32 dx, dy;
        core::vector3df force;
    } rows[] = {{200, -20, {150, 20, 1}}, {-150, 151, {-150, -150, 1}}, {-151, 150, {-150, -150, 1}}, {3, 0, {3, 0, 1}}};
    for (const auto& row : rows) {
        step(PhysicsManager::fixedStepSize, [&] {
            MouseState& mouse = input->getMouse()->systemMouse();
            mouse.deltaX = row.dx;
            mouse.deltaY = row.dy;
            push->execute(event);
            const QueuedForce* force = queuedFor(physics->getImpulseForces(), bodyOf(crate));
            ASSERT_NE(force, nullptr);
            test::expectNear({force->vector.x, force->vector.y, force->vector.z}, row.force, 1e-4f);
        });
    }
    inputManager = nullptr;
    input.reset();
    platform::setPadBackend(nullptr);
}

// A liquid lifts the objects it names wherever they are; one pushing only the player lifts none.
TEST_F(MoveForceActionsTest, ALiquidWithNamedObjectsLiftsThemUnlessItPushesOnlyThePlayer) {
    phys::Vec3 gravity;
    physics->getGravity(gravity);
    const s32 modes[] = {AddForceAction::Objects, AddForceAction::Tentaro};
    for (const s32 mode : modes) {
        ForceVolume* liquid = addVolume({f32(mode) * 50.0f, 0, 0});
        auto* push = static_cast<AddForceAction*>(liquid->getAction());
        push->ApplyBuoyancy = true;
        push->ForceMode = mode;
        push->ObjectID = 10 + mode;
        // Far below the surface and out of the volume: density 500 gives twice its weight.
        PhysicsObject* crate = addCrate(10 + mode, {f32(mode) * 50.0f, -100, 40});
        PhysicsObject* inside = addCrate(20 + mode, {f32(mode) * 50.0f, 0, 0});
        liquid->onObjectEnter(inside, {}, nullptr, inside->getBodyActor(), nullptr);
        steps(30);
        const f32 vy = bodyOf(crate)->getLinearVelocity().y;
        if (mode == AddForceAction::Objects)
            EXPECT_GT(vy, 0.5f * -gravity.y * 20.0f * PhysicsManager::fixedStepSize) << "lifted";
        else
            EXPECT_LT(vy, 0.5f * gravity.y * 20.0f * PhysicsManager::fixedStepSize) << "falls";
        EXPECT_LT(bodyOf(inside)->getLinearVelocity().y, 0.0f) << "only the named objects are lifted " << mode;
    }
}

// A liquid naming nothing lifts a player's part inside it when it pushes the player, alone or
// with objects, and not when it pushes objects only.
TEST_F(MoveForceActionsTest, ALiquidLiftsThePlayersPartsInsideItUnlessItPushesOnlyObjects) {
    auto* player = new test::StubPlayer(root(), smgr(), 1);
    player->drop();
    setPlayer(0, player);
    phys::Vec3 gravity;
    physics->getGravity(gravity);
    const struct {
        s32 mode;
        bool lifted;
    } rows[] = {{AddForceAction::Objects, false}, {AddForceAction::Tentaro, true}, {AddForceAction::ObjectsAndTentaro, true}};
    for (const auto& row : rows) {
        const f32 x = f32(row.mode) * 50.0f;
        ForceVolume* liquid = addVolume({x, 0, 0});
        auto* push = static_cast<AddForceAction*>(liquid->getAction());
        push->ApplyBuoyancy = true;
        push->ForceMode = row.mode;
        push->LinearForce = {};
        push->AngularForce = {};
        // A link body far below the surface: density 500 gives twice its weight.
        PhysicsObject* link = addCrate(200 + row.mode, {x, -100, 0});
        auto* leg = new test::FakeLimb(root(), smgr(), "legs");
        leg->drop();
        leg->state.owner = player;
        liquid->onObjectEnter(leg, {}, nullptr, link->getBodyActor(), nullptr);
        steps(30);
        const f32 vy = bodyOf(link)->getLinearVelocity().y;
        if (row.lifted)
            EXPECT_GT(vy, 0.5f * -gravity.y * 20.0f * PhysicsManager::fixedStepSize) << "lifted " << row.mode;
        else
            EXPECT_LT(vy, 0.5f * gravity.y * 20.0f * PhysicsManager::fixedStepSize) << "falls " << row.mode;
    }
    clearPlayers();
}

// Lift balances weight where the crate's bottom is 0.2 below the surface (y 5): a centre of
// 5.8, whatever the gravity. Dropped in from 2.5 above it, the crate plunges, bobs and settles
// there the same way however many steps a frame runs (1 to the cap of 10, and a frame worth
// one more, which runs 10), never rising to where it fell from and never drifting sideways:
// the liquid decides before each step by what is inside it then, also in the steps of a frame
// that began with it empty. A crate the liquid does not count (excluded) is not lifted at
// any of those step counts: it stays on the floor under the liquid.
TEST_F(MoveForceActionsTest, BuoyancyFloatsABoxAtOneHeightHoweverManyStepsAFrameRuns) {
    const auto addLiquid = [&](const core::vector3df& at, const char* excluded) {
        auto* liquid = static_cast<ForceVolume*>(smgr()->addSceneNode("ForceVolume", root()));
        io::IAttributes* keys = attributes();
        liquid->serializeAttributes(keys);
        keys->setAttribute("ApplyBuoyancy", true);
        keys->addFloat("ObjectDensity", 500.0f);
        keys->setAttribute("LinearForce", core::vector3df());
        keys->setAttribute("Position", at);
        keys->setAttribute("ExcludedObjectIDs", excluded);
        liquid->deserializeAttributes(keys);
        liquid->updateAbsolutePosition();
        liquid->rebuildVolume();
        return liquid;
    };
    // Each crate falls into a liquid of its own, empty until it comes; the liquids are past
    // their first frames (in which a trigger evaluates nothing) before the first comes.
    for (int k = 1; k <= 11; ++k)
        EXPECT_EQ(addLiquid({30.0f * f32(k), 0, 0}, "")->getCondition(), TriggerCondition::OnObjectInside);
    // The uncounted crate rests on a floor just under its liquid's bottom (y -5), deep in it.
    addLiquid({-30, 0, 0}, "99");
    addCrate(98, {-30, -6.05f, 0}, "Static");
    PhysicsObject* uncounted = addCrate(99, {-30, -4, 0});
    steps(4);
    const f32 dropHeight = 7.5f;
    f32 settled[11] = {};
    for (int k = 1; k <= 11; ++k) {
        const f32 x = 30.0f * f32(k);
        PhysicsObject* crate = addCrate(k, {x, dropHeight, 0});
        const int run = std::min(k, 10), frames = 600 / run, lastSecond = 60 / run;
        f32 highest = -1e9f, lowest = 1e9f, sum = 0.0f;
        for (int i = 0; i < frames; ++i) {
            int due = 0;
            step(f32(k) * PhysicsManager::fixedStepSize, [&] { due = physics->getStepsDue(); });
            if (i == 8) {
                ASSERT_EQ(due, run) << k;
            }
            const core::vector3df at = crate->getAbsolutePosition();
            if (i > 0) {
                EXPECT_LT(at.Y, dropHeight) << k << " steps a frame, step " << i * run;
            }
            EXPECT_NEAR(at.X, x, 0.25f) << k;
            EXPECT_NEAR(at.Z, 0.0f, 0.25f) << k;
            if (i >= frames - lastSecond) {
                sum += at.Y;
                highest = std::max(highest, at.Y);
                lowest = std::min(lowest, at.Y);
            }
        }
        settled[k - 1] = sum / f32(lastSecond);
        EXPECT_NEAR(settled[k - 1], 5.8f, 0.05f) << k << " steps a frame";
        EXPECT_LT(highest - lowest, 0.5f) << k << " steps a frame: it settles";
        EXPECT_NEAR(settled[k - 1], settled[0], 0.02f) << k;
        EXPECT_NEAR(uncounted->getAbsolutePosition().Y, -4.05f, 0.05f) << k << " steps a frame: not lifted";
    }
}

TEST_F(MoveForceActionsTest, AResetLeavesAHeldObjectInHandUnlessItMayDropIt) {
    const struct {
        bool held, dropIfGrabbed, resets;
    } cases[] = {{false, false, true}, {true, false, false}, {true, true, true}};
    s32 id = 20;
    for (const auto& c : cases) {
        PhysicsObject* crate = addCrate(id, {0, 1, 0});
        crate->holdCount = c.held ? 1 : 0;
        MoveObjectAction* reset = mover([&](io::IAttributes* k) {
            k->addInt("ObjectID", id);
            k->addString("MoveMode", "Reset");
            k->addBool("DropIfGrabbed", c.dropIfGrabbed);
        });
        reset->execute(event);
        EXPECT_EQ(crate->respawnEffectTimer >= 0.0f, c.resets) << "held " << c.held << " drop " << c.dropIfGrabbed;
        crate->holdCount = 0;
        ++id;
    }
}

} // namespace
