// One test per trigger condition, on real physics objects (the world is not stepped: the
// tests set the bodies' motion, holds, touches and states themselves).
#include "TriggerTestSupport.h"

#include "characters/SuspicionMeter.h"
#include "core/Globals.h"
#include "core/SoundManager.h"
#include "level/SaveManager.h"
#include "level/SoundObject.h"
#include "level/VariableObject.h"
#include "phys/RigidBody.h"
#include "platform/FakePadBackend.h"
#include "platform/Gamepad.h"
#include "player/InputDevice.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/GamepadDevice.h"
#include "player/devices/JoystickDevice.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/MouseDevice.h"

#include <algorithm>
#include <map>
#include <set>

using namespace irr;

namespace {

phys::Shape* conditionShape(int n) { return reinterpret_cast<phys::Shape*>(static_cast<std::uintptr_t>(0x100 * n)); }

class ConditionsTest : public test::TriggerFixture {
protected:
    TriggerObject* triggerFor(TriggerCondition condition) {
        TriggerObject* trigger = addTrigger(100, condition);
        action = record(trigger);
        frames(3); // nothing is evaluated in a trigger's first three frames
        return trigger;
    }
    void put(TriggerObject* trigger, scene::ISceneNode* node, int shape) {
        trigger->onObjectEnter(node, {}, nullptr, nullptr, conditionShape(shape));
    }
    // What the contact dispatch recorded for the object in this frame.
    static void touches(PhysicsObject* object, std::initializer_list<PhysicsObject*> others) {
        object->clearTouchList();
        for (PhysicsObject* other : others)
            object->body().touchList.insert(other);
    }
    // Frames until the action has run that often; false when it has not within a second.
    bool frameUntilExecuted(int count) {
        for (int i = 0; i < 60 && action->executes < count; ++i)
            frame();
        return action->executes >= count;
    }
    test::RecordingAction* action = nullptr;
};

TEST_F(ConditionsTest, ManualActivationOnlyChangesOnlyThroughOthers) {
    TriggerObject* trigger = triggerFor(TriggerCondition::ManualActivationOnly);
    frames(3);
    EXPECT_FALSE(trigger->ConditionMet);
    trigger->ConditionMet = true; // an action or a loaded level sets it
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    trigger->ConditionMet = false;
    frames(2);
    EXPECT_FALSE(trigger->ConditionMet);
}

TEST_F(ConditionsTest, ImmediatelyIsMetOnItsFirstEvaluation) {
    TriggerObject* trigger = triggerFor(TriggerCondition::Immediately);
    EXPECT_FALSE(trigger->ConditionMet);
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
}

TEST_F(ConditionsTest, PlayerCollideCountsPlayerPartsBySideAndAnyPhysicsObject) {
    TriggerObject* trigger = triggerFor(TriggerCondition::OnPlayerCollide);
    auto* arm = new test::FakeLimb(root(), smgr(), "arms", 1); // of no player body
    arm->drop();
    manager->registerNodeIDs(arm);
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    put(trigger, arm, 1); // OnArmsCollision None: an arm does not count
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    trigger->OnArmsCollision = TriggerSide::Either;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);

    TriggerObject* body = addTrigger(101, TriggerCondition::OnPlayerCollide);
    test::RecordingAction* bodyAction = record(body);
    test::FakeObject* player = addObject(2, "plr1");
    test::FakeObject* crate = addObject(3, "ties");
    frames(3);
    put(body, player, 2);
    frame();
    EXPECT_TRUE(body->ConditionMet);
    EXPECT_EQ(bodyAction->lastEvent.secondObject, player); // the colliding player object
    body->onObjectLeave(player, nullptr, nullptr, conditionShape(2));
    body->OnBodyCollision = false;
    put(body, player, 2);
    frame();
    EXPECT_FALSE(body->ConditionMet); // the body no longer counts
    put(body, crate, 3);
    frame();
    EXPECT_TRUE(body->ConditionMet); // a tie inside counts as well
}

TEST_F(ConditionsTest, PlayerOutsideIsMetWhileNoPlayerPartIsInside) {
    TriggerObject* trigger = triggerFor(TriggerCondition::OnPlayerOutside);
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    put(trigger, addObject(1, "plr1"), 1);
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
}

TEST_F(ConditionsTest, ObjectInsideCountsVisiblePhysicalObjectsNotExcludedOrTheNamedOnes) {
    TriggerObject* trigger = triggerFor(TriggerCondition::OnObjectInside);
    trigger->ExcludedObjectIDs = "8";
    trigger->needsResolve = true;
    test::FakeObject* group = addObject(6, "emty");
    test::FakeObject* excluded = addObject(8);
    test::FakeObject* crate = addObject(7);
    put(trigger, group, 1);
    put(trigger, excluded, 2);
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    crate->setVisible(false);
    put(trigger, crate, 3);
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    crate->setVisible(true);
    frame();
    EXPECT_TRUE(trigger->ConditionMet);

    TriggerObject* named = addTrigger(101, TriggerCondition::OnObjectInside);
    named->PhysicsObjectIDs = "7 & 9";
    test::FakeObject* other = addObject(9, "apsx");
    frames(3);
    put(named, crate, 3);
    frame();
    EXPECT_FALSE(named->ConditionMet);
    put(named, other, 4);
    frame();
    EXPECT_TRUE(named->ConditionMet);
}

TEST_F(ConditionsTest, ObjectOutsideIsMetWhileTheNamedObjectsAreOut) {
    TriggerObject* trigger = triggerFor(TriggerCondition::OnObjectOutside);
    frame();
    EXPECT_FALSE(trigger->ConditionMet); // nothing named: never met
    TriggerObject* named = addTrigger(101, TriggerCondition::OnObjectOutside);
    named->PhysicsObjectIDs = "7";
    test::FakeObject* crate = addObject(7);
    frames(4);
    EXPECT_TRUE(named->ConditionMet);
    put(named, crate, 1);
    frame();
    EXPECT_FALSE(named->ConditionMet);
}

TEST_F(ConditionsTest, ObjectGrabbedFollowsTheGrabCount) {
    TriggerObject* trigger = triggerFor(TriggerCondition::OnObjectGrabbed);
    trigger->PhysicsObjectIDs = "7";
    trigger->needsResolve = true;
    PhysicsObject* crate = addBody(7);
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    trigger->ApplyEventPerObject = true;
    crate->holdCount = 1;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    ASSERT_EQ(action->executes, 1);
    EXPECT_EQ(action->lastEvent.object, crate) << "per object: the event names the held object";
    trigger->PlayerIndex = 1; // player 1 does not exist
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    EXPECT_EQ(expressionContext().playerIndex, 0); // put back after the evaluation
}

TEST_F(ConditionsTest, ObjectReleasedIsMetForOneEvaluationAfterTheLetGo) {
    TriggerObject* trigger = triggerFor(TriggerCondition::OnObjectReleased);
    trigger->PhysicsObjectIDs = "7";
    trigger->ApplyEventPerObject = true;
    trigger->needsResolve = true;
    PhysicsObject* crate = addBody(7);
    crate->holdCount = 1;
    frames(2);
    EXPECT_FALSE(trigger->ConditionMet);
    crate->holdCount = 0;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    EXPECT_EQ(action->lastEvent.object, crate); // the remembered released object
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    frames(3);
    EXPECT_EQ(action->executes, 1);

    // Not per object: the event names no object.
    trigger->ApplyEventPerObject = false;
    crate->holdCount = 1;
    frames(2);
    crate->holdCount = 0;
    frame();
    ASSERT_EQ(action->executes, 2);
    EXPECT_EQ(action->lastEvent.object, nullptr);
}

TEST_F(ConditionsTest, ObjectVelocityComparesSquaredSpeedsAndNegativeThresholdsSwitchOff) {
    TriggerObject* trigger = triggerFor(TriggerCondition::OnObjectVelocity);
    trigger->PhysicsObjectIDs = "7|8|9";
    trigger->needsResolve = true;
    PhysicsObject* crate = addBody(7);
    addBody(8, {0, 0, 5}, "Static"); // no dynamic body: skipped
    addObject(9);                     // no body at all
    phys::RigidDynamic* body = crate->getDynamicActor();
    ASSERT_NE(body, nullptr);
    body->setLinearVelocity(phys::Vec3(3, 4, 0)); // speed 5
    body->setAngularVelocity(phys::Vec3(0, 1, 0));
    frame();
    EXPECT_FALSE(trigger->ConditionMet); // both thresholds negative
    trigger->LinearVelocity = 4.9f;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    trigger->LinearVelocity = 5.1f;
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    trigger->LinearCompareMode = TriggerCompare::LessThan;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    trigger->LinearVelocity = -1.0f;
    trigger->AngularVelocity = 0.5f;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
}

// A speed equal to the threshold passes neither test, and a zero threshold still tests.
TEST_F(ConditionsTest, ObjectVelocityOnTheThresholdIsNeitherFasterNorSlower) {
    TriggerObject* trigger = triggerFor(TriggerCondition::OnObjectVelocity);
    trigger->PhysicsObjectIDs = "7";
    trigger->needsResolve = true;
    phys::RigidDynamic* body = addBody(7)->getDynamicActor();
    ASSERT_NE(body, nullptr);
    body->setLinearVelocity(phys::Vec3(3, 4, 0)); // speed 5
    body->setAngularVelocity(phys::Vec3(0, 2, 0));
    struct Row {
        f32 linear, angular;
        s32 mode;
        bool met;
    };
    const Row rows[] = {
        {5.0f, -1.0f, TriggerCompare::GreaterThan, false}, {5.0f, -1.0f, TriggerCompare::LessThan, false},
        {-1.0f, 2.0f, TriggerCompare::GreaterThan, false}, {-1.0f, 2.0f, TriggerCompare::LessThan, false},
        {0.0f, -1.0f, TriggerCompare::GreaterThan, true},  {-1.0f, 0.0f, TriggerCompare::GreaterThan, true},
    };
    for (const Row& row : rows) {
        trigger->LinearVelocity = row.linear;
        trigger->AngularVelocity = row.angular;
        trigger->LinearCompareMode = trigger->AngularCompareMode = row.mode;
        frame();
        EXPECT_EQ(trigger->ConditionMet, row.met) << row.linear << " " << row.angular << " " << row.mode;
    }
}

TEST_F(ConditionsTest, ObjectCollisionReadsTheTouchedSetAndCountsAThrownObjectOnce) {
    TriggerObject* missing = triggerFor(TriggerCondition::OnObjectCollision);
    missing->ConditionMet = true;
    frame();
    EXPECT_FALSE(missing->ConditionMet); // no collision object

    PhysicsObject* watched = addBody(20);
    PhysicsObject* ball = addBody(7, {5, 0, 0});
    PhysicsObject* wall = addBody(8, {0, 0, 5}, "Static");
    TriggerObject* trigger = addTrigger(101, TriggerCondition::OnObjectCollision);
    trigger->CollisionObjectID = 20;
    trigger->CollisionThreshold = 33.0f;
    trigger->HasToBeThrown = true;
    frames(4);
    EXPECT_TRUE(watched->touchTracking); // the trigger asked the object to record its hits
    EXPECT_FLOAT_EQ(watched->body().touchSpeedThreshold, 33.0f);
    touches(watched, {wall});
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    ball->thrown = true; // in flight: it stays thrown while faster than 1 m/s
    ASSERT_NE(ball->getDynamicActor(), nullptr);
    ball->getDynamicActor()->setLinearVelocity(phys::Vec3(8, 0, 0));
    touches(watched, {wall, ball});
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    EXPECT_FALSE(ball->thrown); // counted once
    frame();
    EXPECT_FALSE(trigger->ConditionMet);

    TriggerObject* other = addTrigger(102, TriggerCondition::OnObjectCollision);
    other->CollisionObjectID = 20;
    other->ExcludedObjectIDs = "8";
    frames(4);
    touches(watched, {wall});
    frame();
    EXPECT_FALSE(other->ConditionMet); // only the excluded wall
    touches(watched, {wall, ball});
    frame();
    EXPECT_TRUE(other->ConditionMet);
}

// With named objects each thrown one that hit counts and loses its flag; an excluded one is
// passed over only once another has matched.
TEST_F(ConditionsTest, NamedCollisionClearsEachThrownHitAndSkipsTheExcludedOnlyAfterAMatch) {
    PhysicsObject* watched = addBody(20);
    PhysicsObject* first = addBody(7, {5, 0, 0});
    PhysicsObject* second = addBody(8, {0, 0, 5});
    struct Row {
        s32 id;
        const char* excluded;
        bool firstThrownAfter, secondThrownAfter;
    };
    const Row rows[] = {{101, "7", false, false}, {102, "8", false, true}};
    for (const Row& row : rows) {
        TriggerObject* trigger = addTrigger(row.id, TriggerCondition::OnObjectCollision);
        trigger->CollisionObjectID = 20;
        trigger->PhysicsObjectIDs = "7|8";
        trigger->ExcludedObjectIDs = row.excluded;
        trigger->HasToBeThrown = true;
        frames(4);
        for (PhysicsObject* ball : {first, second}) {
            ball->thrown = true;
            ASSERT_NE(ball->getDynamicActor(), nullptr);
            ball->getDynamicActor()->setLinearVelocity(phys::Vec3(8, 0, 0));
        }
        touches(watched, {first, second});
        frame();
        EXPECT_TRUE(trigger->ConditionMet) << row.excluded;
        EXPECT_EQ(first->thrown, row.firstThrownAfter) << row.excluded;
        EXPECT_EQ(second->thrown, row.secondThrownAfter) << row.excluded;
        trigger->remove();
    }
}

// Without named objects any touch counts, and exclusions that name nothing found exclude nothing.
TEST_F(ConditionsTest, CollisionWithoutNamesCountsAnyTouchAndExclusionsOfNothingExcludeNothing) {
    PhysicsObject* watched = addBody(20);
    PhysicsObject* wall = addBody(8, {0, 0, 5}, "Static");
    for (const char* excluded : {"", "99"}) {
        TriggerObject* trigger = addTrigger(101, TriggerCondition::OnObjectCollision);
        trigger->CollisionObjectID = 20;
        trigger->ExcludedObjectIDs = excluded;
        frames(4);
        touches(watched, {});
        frame();
        EXPECT_FALSE(trigger->ConditionMet) << excluded;
        touches(watched, {wall});
        frame();
        EXPECT_TRUE(trigger->ConditionMet) << excluded;
        trigger->remove();
    }
}

// Per object and latched, the first arrival (or departure) fires once, keeps the condition
// met and ends the walk: a second object in the same frame fires nothing.
TEST_F(ConditionsTest, ALatchedPerObjectTriggerFiresForItsFirstArrivalOrDepartureOnly) {
    TriggerObject* trigger = triggerFor(TriggerCondition::OnObjectInside);
    trigger->ApplyEventPerObject = true;
    trigger->OnceCondMetAlwaysMet = true;
    test::FakeObject* first = addObject(7);
    test::FakeObject* second = addObject(8);
    put(trigger, first, 1);
    put(trigger, second, 2);
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    EXPECT_EQ(action->executes, 1);
    EXPECT_EQ(action->lastEvent.object, first);
    trigger->onObjectLeave(first, nullptr, nullptr, conditionShape(1));
    trigger->onObjectLeave(second, nullptr, nullptr, conditionShape(2));
    frames(2);
    EXPECT_TRUE(trigger->ConditionMet) << "latched";
    EXPECT_EQ(action->executes, 1);
    EXPECT_EQ(action->reverts, 0);

    // Inside while hidden, then shown as it leaves: its departure latches the condition.
    TriggerObject* leaving = addTrigger(101, TriggerCondition::OnObjectInside);
    test::RecordingAction* leftAction = record(leaving);
    leaving->ApplyEventPerObject = true;
    leaving->OnceCondMetAlwaysMet = true;
    frames(3);
    first->setVisible(false);
    second->setVisible(false);
    put(leaving, first, 1);
    put(leaving, second, 2);
    frame();
    EXPECT_FALSE(leaving->ConditionMet);
    first->setVisible(true);
    second->setVisible(true);
    leaving->onObjectLeave(first, nullptr, nullptr, conditionShape(1));
    leaving->onObjectLeave(second, nullptr, nullptr, conditionShape(2));
    frame();
    EXPECT_TRUE(leaving->ConditionMet);
    EXPECT_EQ(leftAction->reverts, 1) << "one departure ends the walk";
    EXPECT_EQ(leftAction->executes, 0) << "no rising edge once latched by a departure";

    // An arrival latches first: a departure in the same frame is not reverted.
    TriggerObject* both = addTrigger(102, TriggerCondition::OnObjectInside);
    test::RecordingAction* bothAction = record(both);
    both->ApplyEventPerObject = true;
    both->OnceCondMetAlwaysMet = true;
    frames(3);
    first->setVisible(false);
    put(both, first, 1);
    frame();
    first->setVisible(true);
    both->onObjectLeave(first, nullptr, nullptr, conditionShape(1));
    put(both, second, 2);
    frame();
    EXPECT_TRUE(both->ConditionMet);
    EXPECT_EQ(bothAction->executes, 1);
    EXPECT_EQ(bothAction->reverts, 0);
}

// Per object, each named object that leaves fires an event naming it; latched, only the first.
TEST_F(ConditionsTest, PerObjectOutsideFiresForEachNamedObjectThatLeaves) {
    for (const bool latched : {false, true}) {
        TriggerObject* trigger = addTrigger(101, TriggerCondition::OnObjectOutside);
        test::RecordingAction* fired = record(trigger);
        trigger->PhysicsObjectIDs = "7|8";
        trigger->ApplyEventPerObject = true;
        trigger->OnceCondMetAlwaysMet = latched;
        test::FakeObject* first = addObject(7);
        test::FakeObject* second = addObject(8);
        test::FakeObject* unnamed = addObject(9);
        frames(3);
        put(trigger, first, 1);
        put(trigger, second, 2);
        put(trigger, unnamed, 3);
        frame();
        EXPECT_FALSE(trigger->ConditionMet) << latched;
        EXPECT_EQ(fired->executes, 0) << latched;
        trigger->onObjectLeave(unnamed, nullptr, nullptr, conditionShape(3));
        frame();
        EXPECT_EQ(fired->executes, 0) << "an unnamed object leaving fires nothing";
        trigger->onObjectLeave(first, nullptr, nullptr, conditionShape(1));
        trigger->onObjectLeave(second, nullptr, nullptr, conditionShape(2));
        frame();
        EXPECT_TRUE(trigger->ConditionMet) << latched;
        EXPECT_EQ(fired->executes, latched ? 1 : 2) << latched;
        EXPECT_EQ(fired->lastEvent.object, latched ? static_cast<scene::ISceneNode*>(first) : second);
        trigger->remove();
        first->remove();
        second->remove();
        unnamed->remove();
        frame();
    }
}

TEST_F(ConditionsTest, ObjectPhysicsStateMatchesKinematicOrElseDynamic) {
    TriggerObject* trigger = triggerFor(TriggerCondition::OnObjectPhysicsState);
    trigger->PhysicsObjectIDs = "7";
    trigger->PhysicsState = 1; // Kinematic
    trigger->ApplyEventPerObject = true;
    trigger->needsResolve = true;
    PhysicsObject* crate = addBody(7, {4, 5, 6});
    frames(2);
    EXPECT_FALSE(trigger->ConditionMet);
    crate->setKinematic(true);
    ASSERT_TRUE(frameUntilExecuted(2)); // the rising edge and the per-object change of state
    EXPECT_TRUE(trigger->ConditionMet);
    test::expectNear(action->lastEvent.position, {4, 5, 6});
    test::expectNear(trigger->lastContactPosition, {4, 5, 6});
    frames(3);
    EXPECT_EQ(action->executes, 2) << "the object stays kinematic: no new change of state";

    crate->setKinematic(false);
    frames(3);
    EXPECT_FALSE(trigger->ConditionMet);
    trigger->PhysicsState = 0; // Dynamic
    crate->setKinematic(true);
    frames(3);
    EXPECT_FALSE(trigger->ConditionMet);
    const int before = action->executes;
    crate->setKinematic(false);
    ASSERT_TRUE(frameUntilExecuted(before + 2)) << "back to dynamic: the rising edge and one per-object event";
    frames(3);
    EXPECT_EQ(action->executes, before + 2);
    EXPECT_TRUE(trigger->ConditionMet);
}

TEST_F(ConditionsTest, VariableConditionComparesWithAValueOrAnotherVariable) {
    auto* value = new VariableObject(root(), smgr(), 5);
    value->drop();
    auto* reference = new VariableObject(root(), smgr(), 6);
    reference->drop();
    manager->registerNodeIDs(value);
    manager->registerNodeIDs(reference);
    TriggerObject* trigger = triggerFor(TriggerCondition::OnVariableCondition);
    frame();
    EXPECT_FALSE(trigger->ConditionMet); // no variable
    trigger->VariableID = 5;
    trigger->CompareValue = 2.0f;
    trigger->needsResolve = true;
    value->Value = 3.0f;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    trigger->VariableComparison = TriggerCompare::EqualTo;
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    trigger->CompareVariableID = 6;
    trigger->needsResolve = true;
    reference->Value = 3.0f;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    // Equal To allows a millionth either way, the bounds included.
    reference->Value = 0.0f;
    for (const f32 v : {1e-6f, -1e-6f}) {
        value->Value = v;
        frame();
        EXPECT_TRUE(trigger->ConditionMet) << v;
    }
    value->Value = 2e-6f;
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
}

// (Seen by Character reads a real character's cone: CharacterWalkTest.)
TEST_F(ConditionsTest, TentaroEventsReadTheGainedFlag) {
    TriggerObject* gained = addTrigger(101, TriggerCondition::OnTentaroEvent);
    gained->TentaroEvent = 1;
    frames(4);
    EXPECT_FALSE(gained->ConditionMet);
    manager->getPlayerSuspicion(0)->gainedLastFrame = true;
    frame();
    EXPECT_TRUE(gained->ConditionMet);
}

TEST_F(ConditionsTest, GameSaveAttributeComparesByTheStoredType) {
    SaveManager save(device->get()->getFileSystem(), temp.file("save"));
    save.automaticWriting = false;
    saveManager = &save;
    manager->PlayMode = 2;
    ASSERT_NE(save.getModeGroup(false), nullptr);
    save.getModeGroup(false)->addInt("Crates", 3);
    save.getModeGroup(true)->addString("Door", "Open");
    TriggerObject* trigger = triggerFor(TriggerCondition::OnGameSaveAttribute);
    trigger->GameAttributeName = "Crates";
    trigger->GameAttributeType = TriggerAttributeType::Float;
    trigger->CompareValue = 2.5f;
    frame();
    EXPECT_TRUE(trigger->ConditionMet); // free play reads its own group: the integer 3 > 2.5
    trigger->AttributeOnlyStoryMode = false; // the story group, which has no "Crates"
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    trigger->GameAttributeName = "Door";
    trigger->GameAttributeValue = "Open";
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    save.getModeGroup(true)->addFloat("Height", 2.75f);
    trigger->GameAttributeName = "Height";
    for (const f32 reference : {2.5f, 2.75f}) {
        trigger->CompareValue = reference;
        frame();
        EXPECT_EQ(trigger->ConditionMet, reference < 2.75f) << "a float attribute is compared as stored";
    }
    trigger->GameAttributeName = "Missing";
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    saveManager = nullptr;
}

TEST_F(ConditionsTest, PlayerInputWithoutPlayersOrDevicesIsNeverMet) {
    TriggerObject* trigger = triggerFor(TriggerCondition::OnPlayerInput);
    for (s32 input : {TriggerPlayerInput::TentaroMovement, TriggerPlayerInput::DesiredGrabbing,
                      TriggerPlayerInput::SwitchModes, TriggerPlayerInput::DesiredSwitchModes,
                      TriggerPlayerInput::DeviceInput}) {
        trigger->PlayerInput = input;
        trigger->ConditionMet = true;
        frame();
        EXPECT_FALSE(trigger->ConditionMet) << input;
    }
    io::IAttributes* in = device->get()->getFileSystem()->createEmptyAttributes();
    in->addEnum("TriggerCondition", "On Player Input", triggerNames::conditions);
    in->addEnum("PlayerInput", "Device Input", triggerNames::playerInputs);
    in->addString("InputDevice", "NoSuchDevice");
    trigger->deserializeAttributes(in);
    in->drop();
    EXPECT_EQ(trigger->inputDevice, nullptr);
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
}

// A device whose button 4 is held but was not pressed this frame.
class HeldButtonDevice : public InputDevice {
public:
    float getValue(const ButtonMapping& mapping) override { return isDown(mapping) ? 1.0f : 0.0f; }
    bool wasPressed(const ButtonMapping&) override { return false; }
    bool isDown(const ButtonMapping& mapping) override { return mapping.instance == 0 && mapping.buttonIndex == 4; }
    std::wstring getName() const override { return L"HeldPad"; }
    void registerButtonNames() override {}
    int getButtonCount() const override { return 8; }
    int getDeviceCount() const override { return 1; }
    bool hasMultipleInstances() const override { return false; }
};

TEST_F(ConditionsTest, DeviceInputIsPressedReadsAHeldButtonAndOnPressedOnlyANewPress) {
    HeldButtonDevice pad;
    TriggerObject* trigger = triggerFor(TriggerCondition::OnPlayerInput);
    trigger->PlayerInput = TriggerPlayerInput::DeviceInput;
    trigger->inputDevice = &pad;
    trigger->InputButton = 4;
    for (const s32 condition : {1, 0}) {
        trigger->InputCondition = condition;
        frame();
        EXPECT_EQ(trigger->ConditionMet, condition == 1) << "InputCondition " << condition;
    }
    trigger->inputDevice = nullptr;
}

TEST_F(ConditionsTest, ActiveVoiceIsMetWhileTheTrackPlaysOrALineFollows) {
    SoundManager sounds;
    sounds.init();
    soundManager = &sounds;
    auto* voice = new SoundObject(root(), smgr(), -1);
    voice->drop();
    voice->setOwnerName("Intro_01");
    auto* reply = new SoundObject(root(), smgr(), -1);
    reply->drop();
    TriggerObject* trigger = triggerFor(TriggerCondition::OnActiveVoice);
    trigger->VoiceTrackID = "Intro_01";
    frame();
    EXPECT_FALSE(trigger->ConditionMet); // registered, silent, nothing follows
    voice->nextInConversation = reply;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    trigger->VoiceTrackID = "Nobody";
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    voice->nextInConversation = nullptr;
    smgr()->clear();
    soundManager = nullptr;
}

// A device condition holds while player 0's controls last took input from the named device
// or the device paired with it; the joystick stands for the gamepad.
TEST_F(ConditionsTest, ADeviceConditionFollowsTheDeviceThePlayerLastUsed) {
    platform::setPadBackend(std::make_unique<platform::FakePadBackend>());
    auto input = std::make_unique<InputManager>();
    input->init(device->get());
    inputManager = input.get();
    // A second set of player 0's controls, last used with the gamepad: either set counts.
    input->addPlayerControls(new PlayerControls(input.get(), 0, 1, 0, nullptr), 0);
    ASSERT_EQ(input->getPlayerControlsCount(0), 2);
    PlayerControls* controls = input->getPlayerControls(0, 0);
    input->getPlayerControls(0, 1)->lastDevice = input->getGamepad();
    TriggerObject* trigger = triggerFor(TriggerCondition::Immediately);
    const struct {
        const char* named;
        InputDevice* last;
        bool met;
    } rows[] = {
        {"Keyboard", input->getKeyboard(), true}, {"Keyboard", input->getMouse(), true},
        {"Keyboard", input->getGamepad(), false}, {"Keyboard", nullptr, false},
        {"Mouse", input->getKeyboard(), true},    {"Gamepad", input->getKeyboard(), true},
        {"Joystick", input->getKeyboard(), true}, {"Nothing", input->getKeyboard(), false},
        {"Touch", nullptr, false},
    };
    for (const auto& row : rows) {
        trigger->DeviceCondition = row.named;
        controls->lastDevice = row.last;
        frame();
        EXPECT_EQ(trigger->ConditionMet, row.met) << row.named << " after " << (row.last ? "a device" : "none");
    }
    inputManager = nullptr;
    input.reset();
    platform::setPadBackend(nullptr);
}

TEST_F(ConditionsTest, ModeAndDeviceConditionsOnlyClearAndNeedTheirSubjects) {
    TriggerObject* trigger = triggerFor(TriggerCondition::Immediately);
    trigger->ModeCondition = TriggerMode::Arms; // no player: the mode test is skipped
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    trigger->DeviceCondition = "K"; // one character: not tested
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    trigger->DeviceCondition = "Keyboard"; // no input manager: no device in use
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
}

} // namespace
