// The conditions' player rules, with a stand-in player body whose limbs keep the limb helpers'
// records (the program has none: the player list stays empty in the game, and the other
// tests check the fallbacks).
#include "TriggerTestSupport.h"
#include "support/StubPlayer.h"

#include "characters/SuspicionMeter.h"
#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "player/LimbControl.h"
#include "player/PlayerObject.h"

#include <limits>

using namespace irr;

namespace {

using test::FakeLimb;

class FakePlayer : public test::StubPlayer {
public:
    FakePlayer(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id) : StubPlayer(parent, manager, id) {}
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("plr1"); }
    bool isModeSwitchAvailable() override { return true; }
    bool isModeSwitchAvailableAlt() override { return true; }
    s32 getPlayerIndex() override { return index; }
    bool isModeSettled() override { return settled; }
    bool isMoving() override { return moving; }
    s32 getControlMode() override { return mode; }
    void switchToLegsMode() override { mode = ControlMode::Legs; }
    void switchToArmsMode() override { mode = ControlMode::Arms; }
    LimbSet getLegs() override { return legs; }
    LimbSet getArms() override { return arms; }
    SuspicionMeter* getSuspicionRecord() override { return &suspicion; }
    PlayerStatsRecord* getStatsRecord() override { return &stats; }

    s32 index = 0;
    s32 mode = ControlMode::Arms;
    bool settled = true;
    bool moving = false;
    LimbSet arms;
    LimbSet legs;
    SuspicionMeter suspicion;
    PlayerStatsRecord stats;
};

// A link body that only stands for itself: the conditions compare it, never touch it.
phys::RigidDynamic* segmentBody(int n) {
    return reinterpret_cast<phys::RigidDynamic*>(static_cast<std::uintptr_t>(0x1000 * n));
}
phys::Shape* segmentShape(int n) { return reinterpret_cast<phys::Shape*>(static_cast<std::uintptr_t>(0x10 * n)); }

class PlayerConditionsTest : public test::TriggerFixture {
protected:
    void SetUp() override {
        TriggerFixture::SetUp();
        player = new FakePlayer(root(), smgr(), 1);
        player->drop();
        manager->registerNodeIDs(player);
        for (int side = 0; side < 2; ++side) {
            for (auto [kind, n] : {std::pair<const char*, int>{"arms", 1 + side}, {"legs", 3 + side}}) {
                auto* limb = new FakeLimb(player, smgr(), *reinterpret_cast<const char(*)[5]>(kind));
                limb->drop();
                limb->state.owner = player;
                limb->state.side = side;
                limb->state.links.push_back({segmentBody(n), nullptr});
                (std::string(kind) == "arms" ? player->arms : player->legs).sides[side] = limb;
            }
        }
        setPlayer(0, player);
        levelHooks().players.getSuspicionRecord = [](PlayerObject* p) { return p->getSuspicionRecord(); };
    }
    void TearDown() override {
        clearPlayers();
        TriggerFixture::TearDown();
    }
    // A limb touching the volume with its link body.
    void touch(TriggerObject* trigger, FakeLimb* limb, int n) {
        trigger->onObjectEnter(limb, {}, nullptr, limb->state.links[0].body, segmentShape(n));
    }
    FakeLimb* arm(int side) { return static_cast<FakeLimb*>(player->arms.sides[side]); }
    FakeLimb* leg(int side) { return static_cast<FakeLimb*>(player->legs.sides[side]); }

    FakePlayer* player = nullptr;
};

TEST_F(PlayerConditionsTest, BothArmsMustTouchWithinOneEvaluationAndSidesNameTheirArm) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnPlayerCollide);
    trigger->OnBodyCollision = false;
    trigger->OnArmsCollision = TriggerSide::Both;
    test::RecordingAction* action = record(trigger);
    frames(3);
    touch(trigger, arm(0), 1);
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    touch(trigger, arm(1), 2);
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    EXPECT_EQ(action->lastEvent.secondObject, player); // the arms' owner

    TriggerObject* left = addTrigger(101, TriggerCondition::OnPlayerCollide);
    left->OnBodyCollision = false;
    left->OnLegsCollision = TriggerSide::Left;
    frames(3);
    touch(left, leg(0), 3); // the right leg
    frame();
    EXPECT_FALSE(left->ConditionMet);
    touch(left, leg(1), 4);
    frame();
    EXPECT_TRUE(left->ConditionMet);
}

// Both legs must touch in one evaluation; a plain object or a leg the settings leave out never
// counts for the player; an indexed trigger needs a limb whose owner is that player.
TEST_F(PlayerConditionsTest, BothLegsMustTouchAndALimbWithoutItsPlayerFailsAnIndex) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnPlayerCollide);
    trigger->OnBodyCollision = false;
    trigger->OnLegsCollision = TriggerSide::Both;
    test::RecordingAction* action = record(trigger);
    frames(3);
    touch(trigger, leg(1), 4);
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    touch(trigger, leg(0), 3);
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    EXPECT_EQ(action->lastEvent.secondObject, player);

    TriggerObject* rightFirst = addTrigger(104, TriggerCondition::OnPlayerCollide);
    rightFirst->OnBodyCollision = false;
    rightFirst->OnLegsCollision = TriggerSide::Both;
    frames(3);
    touch(rightFirst, leg(0), 3);
    frame();
    EXPECT_FALSE(rightFirst->ConditionMet) << "the right leg alone";

    TriggerObject* none = addTrigger(101, TriggerCondition::OnPlayerCollide);
    none->OnLegsCollision = TriggerSide::None;
    frames(3);
    touch(none, leg(0), 3);
    none->onObjectEnter(addObject(7, "emty"), {}, nullptr, nullptr, segmentShape(7));
    frame();
    EXPECT_FALSE(none->ConditionMet) << "a leg left out, and an object of no physics";

    auto* stray = new FakeLimb(root(), smgr(), "legs"); // of no player
    stray->drop();
    TriggerObject* indexed = addTrigger(102, TriggerCondition::OnPlayerCollide);
    indexed->OnLegsCollision = TriggerSide::Either;
    indexed->PlayerIndex = 1;
    frames(3);
    indexed->onObjectEnter(stray, {}, nullptr, nullptr, segmentShape(8));
    frame();
    EXPECT_FALSE(indexed->ConditionMet);
    indexed->PlayerIndex = 0;
    frame();
    EXPECT_TRUE(indexed->ConditionMet);

    // A side names an arm of player 0: without players no arm has a side.
    TriggerObject* right = addTrigger(103, TriggerCondition::OnPlayerCollide);
    right->OnArmsCollision = TriggerSide::Right;
    frames(3);
    touch(right, arm(0), 1);
    frame();
    EXPECT_TRUE(right->ConditionMet);
    clearPlayers();
    frame();
    EXPECT_FALSE(right->ConditionMet);
    setPlayer(0, player);
}

TEST_F(PlayerConditionsTest, PlayerIndexChoosesWhichPlayersBodyCounts) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnPlayerCollide);
    trigger->PlayerIndex = 2; // the second player: not this one
    frames(3);
    trigger->onObjectEnter(player, {}, nullptr, nullptr, segmentShape(9));
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    trigger->PlayerIndex = std::numeric_limits<s32>::min(); // names no player
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    trigger->PlayerIndex = 1;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);

    TriggerObject* legs = addTrigger(101, TriggerCondition::OnPlayerCollide);
    legs->OnBodyCollision = false;
    legs->OnLegsCollision = TriggerSide::Either;
    legs->PlayerIndex = 2;
    frames(3);
    touch(legs, leg(0), 3);
    frame();
    EXPECT_FALSE(legs->ConditionMet) << "either leg, but of another player";
    legs->PlayerIndex = 1;
    frame();
    EXPECT_TRUE(legs->ConditionMet);
}

TEST_F(PlayerConditionsTest, ObjectInsideIgnoresThePlayerWhenPlayerZeroIsExcluded) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnObjectInside);
    trigger->OnLegsCollision = TriggerSide::Either;
    frames(3);
    touch(trigger, leg(0), 1);
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    trigger->ExcludedObjectIDs = "1";
    trigger->needsResolve = true;
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
}

TEST_F(PlayerConditionsTest, GrabbedByANamedPlayerReadsTheHeldObjectsOfItsArms) {
    PhysicsObject* crate = addBody(7);
    crate->holdCount = 1;
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnObjectGrabbed);
    trigger->PhysicsObjectIDs = "7";
    trigger->PlayerIndex = 1;
    frames(4);
    EXPECT_FALSE(trigger->ConditionMet); // held, but not by this player's arms
    arm(1)->state.heldObject = crate;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
}

TEST_F(PlayerConditionsTest, InputConditionsReadThePlayersMovementAndModes) {
    TriggerObject* trigger = addTrigger(100, TriggerCondition::OnPlayerInput);
    frames(4);
    EXPECT_FALSE(trigger->ConditionMet);
    player->moving = true;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);

    trigger->PlayerInput = TriggerPlayerInput::SwitchModes;
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    player->mode = ControlMode::Legs; // differs from the mode latched last evaluation
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    player->settled = false;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);

    // While inactive the trigger keeps following the mode: a switch then is no switch later.
    player->settled = true;
    frame();
    trigger->ActiveInEditorOnly = true;
    frame();
    player->mode = ControlMode::Arms;
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
    trigger->ActiveInEditorOnly = false;
    frame();
    EXPECT_FALSE(trigger->ConditionMet);
}

TEST_F(PlayerConditionsTest, ModeConditionAndSuspicionReadPlayerZero) {
    TriggerObject* trigger = addTrigger(100);
    trigger->ModeCondition = TriggerMode::Legs;
    frames(4);
    EXPECT_FALSE(trigger->ConditionMet); // in arms mode
    player->mode = ControlMode::Legs;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    trigger->ModeCondition = TriggerMode::Arms;
    frame();
    EXPECT_FALSE(trigger->ConditionMet); // in legs mode
    player->mode = ControlMode::Arms;
    frame();
    EXPECT_TRUE(trigger->ConditionMet);
    trigger->ModeCondition = TriggerMode::Default;
    player->mode = ControlMode::Legs;
    frame();
    EXPECT_TRUE(trigger->ConditionMet) << "either mode";

    TriggerObject* suspicious = addTrigger(101);
    suspicious->TriggerStartOnSuspicionLevel = true;
    suspicious->SuspicionAmount = 50.0f;
    player->suspicion.value = 60.0f;
    frame();
    EXPECT_TRUE(suspicious->IsActive);
    player->suspicion.value = 40.0f;
    manager->getPlayerSuspicion(0);
    frame();
    EXPECT_FALSE(suspicious->IsActive);

    TriggerObject* gained = addTrigger(102, TriggerCondition::OnTentaroEvent);
    gained->TentaroEvent = 1;
    player->suspicion.gainedLastFrame = true;
    frames(4);
    EXPECT_TRUE(gained->ConditionMet);
}

} // namespace
