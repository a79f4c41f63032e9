// Tentaro Controls and Tentaro Limp against a recording player body whose arms keep the limb
// helpers' records (the game's player list stays empty), and Change Animation on animators,
// animated meshes and texture animations.
#include "ActionTestSupport.h"
#include "support/StubPlayer.h"

#include "characters/animators/AppearanceAnimators.h"
#include "characters/animators/MovementAnimators.h"
#include "core/Globals.h"
#include "level/MeshGate.h"
#include "phys/RigidBody.h"
#include "player/LimbControl.h"
#include "triggers/actions/ChangeAnimationAction.h"
#include "triggers/actions/TentaroControlActions.h"

#include <limits>
#include <sstream>

#include <utility>

using namespace irr;

namespace {

class JournalLimb : public PlayerLimb {
public:
    JournalLimb(scene::ISceneNode* parent, scene::ISceneManager* manager) : PlayerLimb(parent, manager, -1) {}
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("arms"); }
    LimbChain* getChain() override { return nullptr; }
    LimbState* getLimbState() override { return &state; }
    LimbState state;
};

// Writes every call the actions make into one journal.
class JournalPlayer : public test::StubPlayer {
public:
    JournalPlayer(scene::ISceneNode* parent, scene::ISceneManager* manager) : StubPlayer(parent, manager, 1) {}
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("plr1"); }
    void note(const std::string& call) { calls.push_back(call); }
    static std::string on(bool value) { return value ? "1" : "0"; }
    void setArmsModeEnabled(bool v) override { note("arms " + on(v)); }
    void setLegsModeEnabled(bool v) override { note("legs " + on(v)); }
    void setGrabbingEnabled(bool v) override { note("grab " + on(v)); }
    void setWalkingEnabled(bool v, s32 sides) override { note("walk " + on(v) + " " + std::to_string(sides)); }
    void setMoveArmsEnabled(bool v) override { note("moveArms " + on(v)); }
    void setVerticalLegMovementOnly(bool v) override { note("vertical " + on(v)); }
    void setHorizontalLegMovementOnly(bool v) override { note("horizontal " + on(v)); }
    void setStuckLimbCorrectEnabled(bool v) override { note("stuck " + on(v)); }
    void setOpaqueRenderingOnly(bool v) override { note("opaque " + on(v)); }
    bool isModeSwitchBusy() override { return busy; }
    void switchToArmsMode() override { note("toArms"); }
    void switchToLegsMode() override { note("toLegs"); }
    void releaseGrabbed(scene::ISceneNode* object, s32 side, bool) override {
        note(std::string("release ") + (object ? std::to_string(object->getID()) : "all") + " " + std::to_string(side));
    }
    void setLimpAmount(f32 amount) override { limp.push_back(amount); }
    void setAnimationBlend(f32 blend, f32 time, s32 part) override {
        std::ostringstream text;
        text << "blend " << blend << " " << time << " " << part;
        note(text.str());
    }
    void setAnimationFrameRange(s32 start, s32 end) override {
        note("range " + std::to_string(start) + " " + std::to_string(end));
    }
    scene::IAnimatedMeshSceneNode* getMeshNode() override { return meshNode; }
    LimbSet getArms() override { return arms; }

    std::vector<std::string> calls;
    std::vector<f32> limp;
    bool busy = false;
    LimbSet arms;
    scene::IAnimatedMeshSceneNode* meshNode = nullptr;
};

class PlayerAnimationActionsTest : public test::ActionFixture {
protected:
    void SetUp() override {
        ActionFixture::SetUp();
        player = new JournalPlayer(root(), smgr());
        player->drop();
        limb = new JournalLimb(player, smgr());
        limb->drop();
        player->arms.sides[0] = player->arms.controlled[0] = limb;
        limb->state.owner = player;
        limb->state.manualControl = true;
        // The second controlled arm is the left one.
        leftArm.side = 1;
        armStates.sides[0] = armStates.controlled[0] = &limb->state;
        armStates.sides[1] = armStates.controlled[1] = &leftArm;
        player->arms.states = &armStates;
        setPlayer(0, player);
    }
    void TearDown() override {
        // The crates count the limbs touching them: the limbs let go first.
        setLimbTouchedObject(limb->state, nullptr);
        clearPlayers();
        ActionFixture::TearDown();
    }
    TentaroControlsAction* controls(const std::function<void(io::IAttributes*)>& keys) {
        TriggerObject* trigger = addActionTrigger(50, TentaroControlsAction::actionType, keys);
        return static_cast<TentaroControlsAction*>(trigger->getAction());
    }
    ChangeAnimationAction* changeAnimation(const std::function<void(io::IAttributes*)>& keys, s32 id = 51) {
        TriggerObject* trigger = addActionTrigger(id, ChangeAnimationAction::actionType, keys);
        return static_cast<ChangeAnimationAction*>(trigger->getAction());
    }
    // A node with a rotation animator of the animator ID, switched off.
    MoveRotationAnimator* addAnimated(s32 id, s32 animatorID) {
        test::FakeObject* node = addObject(id, "emty");
        auto* animator = new MoveRotationAnimator(core::vector3df(0, 90, 0));
        animator->setID(animatorID);
        animator->setEnabled(false);
        node->addAnimator(animator);
        animator->drop();
        return animator;
    }
    std::vector<std::string> takeCalls() { return std::exchange(player->calls, {}); }
    // A node with a texture animator of the animator ID, a tenth of a second a frame.
    AnimateTextureAnimator* addTextureAnimated(s32 id, s32 animatorID) {
        test::FakeObject* node = addObject(id, "emty");
        auto* animator = new AnimateTextureAnimator(node);
        animator->setID(animatorID);
        animator->sprite.frameTime = 0.1f;
        node->addAnimator(animator);
        animator->drop();
        return animator;
    }

    JournalPlayer* player = nullptr;
    JournalLimb* limb = nullptr;
    LimbState leftArm;
    LimbStateSet armStates;
    TriggerEventInfo event;
};

using Calls = std::vector<std::string>;

// --- Tentaro Controls ------------------------------------------------------------------------------

TEST_F(PlayerAnimationActionsTest, ControlsSwitchTheirOptionsInOrderAndRevertTheOpposite) {
    TentaroControlsAction* action = controls([](io::IAttributes* k) {
        k->addBool("UndoOnTriggerRevert", true);
        k->addString("ArmsModeEnabled", "True");
        k->addString("LegsModeEnabled", "False");
        k->addBool("ForceIntoArmsMode", true);
        k->addString("WalkingEnabled", "False");
        k->addString("WalkingSides", "Left");
        k->addString("OpaqueRenderingOnly", "True");
        k->addBool("ReleaseGrabbedObject", true);
    });
    EXPECT_TRUE(action->canRevert());
    action->execute(event);
    EXPECT_EQ(takeCalls(), (Calls{"arms 1", "legs 0", "toArms", "walk 0 1", "opaque 1", "release all 4"}));
    action->revert(event);
    EXPECT_EQ(takeCalls(), (Calls{"arms 0", "legs 1", "walk 1 1", "opaque 0", "toLegs"}))
        << "the release has no revert; the forced mode switches back";
    player->busy = true;
    action->execute(event);
    EXPECT_EQ(takeCalls(), (Calls{"arms 1", "legs 0", "walk 0 1", "opaque 1", "release all 4"}))
        << "no forced switch while one is busy";
}

TEST_F(PlayerAnimationActionsTest, ControlsAddressThePlayerByIndexAndDoNothingWhenUnchanged) {
    for (s32 index : {0, 1, 3}) {
        TentaroControlsAction* action = controls([&](io::IAttributes* k) {
            k->addInt("TentaroIndex", index);
            k->addString("GrabbingEnabled", "True");
        });
        action->execute(event);
        EXPECT_EQ(takeCalls(), index == 3 ? Calls{} : Calls{"grab 1"}) << index;
    }
    TentaroControlsAction* idle = controls({});
    idle->execute(event);
    idle->revert(event);
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_EQ(keysOf(*idle), "UndoOnTriggerRevert=false;");
    io::SAttributeReadWriteOptions editor;
    editor.Flags = io::EARWF_FOR_EDITOR;
    io::IAttributes* all = attributes();
    idle->serializeAttributes(all, &editor);
    EXPECT_TRUE(all->existsAttribute("ManualTipHeight"));
    EXPECT_FALSE(all->existsAttribute("WalkingSides")) << "only with a walking switch";
}

TEST_F(PlayerAnimationActionsTest, ControlsSetTheArmsTipHeightAndReadTheOlderKey) {
    TentaroControlsAction* off = controls([](io::IAttributes* k) { k->addString("ForceTipHeight", "False"); });
    off->execute(event);
    EXPECT_FALSE(limb->state.manualControl) << "manual control off: the arm moves by itself";
    EXPECT_TRUE(limb->state.automatic);
    EXPECT_FLOAT_EQ(limb->state.tipHeight, 0.0f) << "the tip height stays";
    off->revert(event);
    EXPECT_TRUE(limb->state.automatic) << "on again only for an arm that controls steer (none here)";
    TentaroControlsAction* older = controls([](io::IAttributes* k) {
        k->addString("CanSetTipHeightManually", "True");
        k->addFloat("ManualTipHeight", 3.0f);
    });
    EXPECT_EQ(older->ForceTipHeight, TriState::True);
    older->execute(event);
    EXPECT_FLOAT_EQ(limb->state.tipHeight, 3.0f);
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_EQ(keysOf(*older), "UndoOnTriggerRevert=false;ForceTipHeight=True;ManualTipHeight=3.000000;");
    std::unique_ptr<TriggerAction> copy(older->clone(older->trigger));
    EXPECT_EQ(keysOf(*copy), keysOf(*older));
}

TEST_F(PlayerAnimationActionsTest, ControlsForceAGrabAfterDroppingWhatTheSideHolds) {
    PhysicsObject* crate = addCrate(70, {0, 1, 0});
    PhysicsObject* held = addCrate(71, {5, 1, 0});
    // The arm's tip rests on the crate's top.
    phys::RigidActor* tip = physics->createSphereActor(phys::Transform(phys::Vec3(0, 2.1f, 0)), 0.2f, 1.0f, 0.5f, 0.1f,
                                                       false, false);
    ASSERT_NE(tip, nullptr);
    limb->state.links.push_back({tip->asRigidDynamic(), nullptr});
    TentaroControlsAction* action = controls([](io::IAttributes* k) {
        k->addInt("ForceGrabObjectID", 70);
        k->addString("ForceGrabSide", "Left");
    });
    leftArm.heldObject = held; // the left arm holds something
    action->execute(event);
    EXPECT_EQ(takeCalls(), Calls{"release all 1"});
    EXPECT_EQ(limb->state.touchedObject, crate) << "the first arm takes the crate";
    EXPECT_TRUE(limb->state.grabArmed);
    EXPECT_FLOAT_EQ(limb->state.grabAmount, 1.0f);
    EXPECT_TRUE(limb->state.touching) << "its touch point on the crate is found";
    EXPECT_TRUE(armStates.grabForced);
    EXPECT_EQ(crate->limbTouchCounts[0], 1);
    action->revert(event);
    EXPECT_EQ(takeCalls(), Calls{"release 70 1"});
    EXPECT_EQ(keysOf(*action), "UndoOnTriggerRevert=false;ForceGrabObjectID=70;ForceGrabSide=Left;");
}

TEST_F(PlayerAnimationActionsTest, LimpLogsOnTheRisingEdgeAndLimpsEveryMetFrame) {
    // Met from the fourth frame on, like every "Immediately" trigger.
    TriggerObject* trigger = addActionTrigger(52, TentaroLimpAction::actionType,
                                              [](io::IAttributes* k) { k->addFloat("LimpAmount", 0.25f); },
                                              TriggerCondition::Immediately);
    TriggerAction* limp = trigger->getAction();
    EXPECT_FALSE(limp->canRevert());
    EXPECT_EQ(keysOf(*limp), "LimpAmount=0.250000;");
    logTriggers = true;
    frames(3);
    EXPECT_TRUE(player->limp.empty());
    frames(3);
    EXPECT_EQ(player->limp, (std::vector<f32>{0.25f, 0.25f, 0.25f}));
    EXPECT_EQ(log.countStartingWith("[Trigger] "), 1u) << "one line per rising edge";
    limp->execute(event);
    limp->revert(event);
    EXPECT_EQ(player->limp.size(), 3u) << "execute and revert do nothing";
    TriggerObject* owner = addTrigger(90);
    std::unique_ptr<TriggerAction> copy(limp->clone(owner));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getType(), TentaroLimpAction::actionType);
    EXPECT_EQ(copy->trigger, owner);
    EXPECT_EQ(keysOf(*copy), "LimpAmount=0.250000;");
}

// --- Change Animation ---------------------------------------------------------------------------------

TEST_F(PlayerAnimationActionsTest, AnAnimatorIsSwitchedAndTurnedOnTheCauseWhenThereIsOne) {
    MoveRotationAnimator* named = addAnimated(30, 4);
    MoveRotationAnimator* cause = addAnimated(31, 4);
    ChangeAnimationAction* action = changeAnimation([](io::IAttributes* k) {
        k->addString("AnimationType", "Animator");
        k->addString("AnimatedObjectIDs", "30");
        k->addInt("AnimatorID", 4);
        k->addBool("AnimatorEnabled", true);
        k->addString("ReverseAnimation", "True");
    });
    EXPECT_EQ(keysOf(*action),
              "AnimationType=Animator;AnimatedObjectIDs=30;AnimatorID=4;AnimatorEnabled=true;ReverseAnimation=True;");
    action->execute(event);
    EXPECT_TRUE(named->isEnabled());
    EXPECT_TRUE(named->isReversed());
    event.object = smgr()->getSceneNodeFromId(31);
    action->AnimatorEnabled = false;
    action->execute(event);
    EXPECT_FALSE(cause->isEnabled()) << "the causing object takes the target's place";
    EXPECT_TRUE(named->isEnabled());

    action->AnimatorID = 9;
    event.object = nullptr;
    action->execute(event);
    EXPECT_EQ(log.countStartingWith("Could not find animator ID: 9 in "), 1u);
}

TEST_F(PlayerAnimationActionsTest, AFrameChangeSetsRangeBlendLoopAndSpeed) {
    scene::IAnimatedMesh* mesh = getGameMesh(smgr(), "Content/Models/Characters/AniEveryBody.b3d");
    ASSERT_NE(mesh, nullptr);
    scene::IAnimatedMeshSceneNode* node = smgr()->addAnimatedMeshSceneNode(mesh, root(), 32);
    manager->registerNodeIDs(node);
    ChangeAnimationAction* action = changeAnimation([](io::IAttributes* k) {
        k->addString("AnimationType", "Frame Change");
        k->addInt("AnimatedObjectID", 32); // the older key
        k->addInt("StartFrame", 31);
        k->addInt("EndFrame", 60);
        k->addFloat("BlendTime", 0.0f);
        k->addString("LoopFrames", "False");
        k->addBool("ChangeFPS", true);
        k->addFloat("NewFPS", 12.0f);
        k->addString("UseAnimationFrom", "a");
    });
    EXPECT_EQ(action->AnimatedObjectIDs, "32");
    action->execute(event);
    EXPECT_EQ(node->getStartFrame(), 31);
    EXPECT_EQ(node->getEndFrame(), 60);
    EXPECT_FALSE(node->getLoopMode());
    EXPECT_FLOAT_EQ(node->getAnimationSpeed(), 12.0f);
    action->EndFrame = 0;
    action->StartFrame = 0;
    action->LoopFrames = TriState::True;
    action->execute(event);
    EXPECT_EQ(node->getStartFrame(), 31) << "end frame 0 keeps the range";
    EXPECT_TRUE(node->getLoopMode());
    EXPECT_TRUE(takeCalls().empty()) << "no player blends without IsTentaro";
}

TEST_F(PlayerAnimationActionsTest, AFrameChangeSavesItsSpeedOnlyWhenItChangesIt) {
    for (const bool changesSpeed : {true, false}) {
        ChangeAnimationAction* action = changeAnimation([&](io::IAttributes* k) {
            k->addString("AnimationType", "Frame Change");
            k->addString("AnimatedObjectIDs", "32");
            k->addInt("StartFrame", 3);
            k->addInt("EndFrame", 8);
            k->addBool("ChangeFPS", changesSpeed);
            k->addFloat("NewFPS", 12.0f);
        });
        EXPECT_EQ(keysOf(*action), std::string("AnimationType=Frame Change;AnimatedObjectIDs=32;UseAnimationFrom=;"
                                               "CharAnimationName=;StartFrame=3;EndFrame=8;BlendTime=1.000000;"
                                               "LoopFrames=Unchanged;ChangeFPS=") +
                                       (changesSpeed ? "true;NewFPS=12.000000;" : "false;") + "IsTentaro=false;");
    }
}

// A skinned mesh can take another skinned mesh's animation. The physics object that set the
// trigger off takes the place of a target showing no mesh and is changed through its mesh
// node. A clone keeps every key.
TEST_F(PlayerAnimationActionsTest, ASkinnedMeshTakesAnotherAnimationAndTheCausingObjectStandsInForAMeshlessTarget) {
    scene::IAnimatedMesh* mesh = getGameMesh(smgr(), "Content/Models/Characters/AniEveryBody.b3d");
    scene::IAnimatedMesh* other = getGameMesh(smgr(), "Content/Models/Characters/AniEveryBodyLipLoop.b3d");
    ASSERT_NE(mesh, nullptr);
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(mesh->getMeshType(), scene::EAMT_SKINNED);
    ASSERT_NE(mesh->getFrameCount(), other->getFrameCount()) << "the two files must differ to tell";
    scene::IAnimatedMeshSceneNode* node = smgr()->addAnimatedMeshSceneNode(mesh, root(), 33);
    manager->registerNodeIDs(node);
    ChangeAnimationAction* action = changeAnimation([](io::IAttributes* k) {
        k->addString("AnimationType", "Frame Change");
        k->addString("AnimatedObjectIDs", "33");
        k->addInt("StartFrame", 2);
        k->addInt("EndFrame", 9);
        k->addBool("ChangeFPS", true);
        k->addFloat("NewFPS", 7.0f);
        k->addString("UseAnimationFrom", "Content/Models/Characters/AniEveryBodyLipLoop.b3d");
    });
    action->execute(event);
    EXPECT_EQ(node->getStartFrame(), 2);
    EXPECT_FLOAT_EQ(node->getAnimationSpeed(), 7.0f);
    EXPECT_EQ(mesh->getFrameCount(), other->getFrameCount()) << "the animation of the other file";

    addObject(40, "emty"); // shows no mesh
    PhysicsObject* crate = addCrate(41, {0, 1, 0});
    ASSERT_NE(crate->getMeshNode(), nullptr);
    ChangeAnimationAction* byCause = changeAnimation(
        [](io::IAttributes* k) {
            k->addString("AnimationType", "Frame Change");
            k->addString("AnimatedObjectIDs", "40");
            k->addBool("ChangeFPS", true);
            k->addFloat("NewFPS", 5.0f);
        },
        52);
    TriggerEventInfo hit = makeEmptyTriggerEventInfo(crate);
    byCause->execute(hit);
    EXPECT_FLOAT_EQ(crate->getMeshNode()->getAnimationSpeed(), 5.0f);
    EXPECT_FLOAT_EQ(node->getAnimationSpeed(), 7.0f);

    TriggerObject* owner = addTrigger(90);
    std::unique_ptr<TriggerAction> copy(action->clone(owner));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->trigger, owner);
    EXPECT_EQ(keysOf(*copy), keysOf(*action));
}

TEST_F(PlayerAnimationActionsTest, ATextureAnimatorTakesTheNewRangeAtItsFrameTime) {
    AnimateTextureAnimator* animator = addTextureAnimated(33, 5);
    ChangeAnimationAction* action = changeAnimation([](io::IAttributes* k) {
        k->addString("AnimationType", "Texture Animator");
        k->addString("AnimatedObjectIDs", "33");
        k->addInt("AnimatorID", 5);
        k->addInt("StartFrame", 2);
        k->addInt("EndFrame", 5);
    });
    action->execute(event);
    EXPECT_EQ(animator->sprite.first, 2);
    EXPECT_EQ(animator->sprite.last, 5);
    EXPECT_NEAR(animator->sprite.duration, 0.4f, 1e-6f);
}

// Values at the integers' ends: a negative older AnimatedObjectID names no object (one line),
// 0 and the largest are taken as they are; a texture range over all integers has a length.
TEST_F(PlayerAnimationActionsTest, IDsAndFramesAtTheIntegersEndsAreTakenWithoutOverflow) {
    AnimateTextureAnimator* animator = addTextureAnimated(33, 5);
    constexpr s32 lowest = std::numeric_limits<s32>::min();
    constexpr s32 largest = std::numeric_limits<s32>::max();
    s32 trigger = 60;
    for (const s32 id : {lowest, -1, 0, largest}) {
        const std::size_t lines = log.countStartingWith("Warning: Change Animation: AnimatedObjectID ");
        ChangeAnimationAction* action = changeAnimation(
            [id](io::IAttributes* k) {
                k->addString("AnimationType", "Texture Animator");
                k->addInt("AnimatedObjectID", id);
            },
            trigger++);
        EXPECT_EQ(action->AnimatedObjectIDs, id < 0 ? "0" : std::to_string(id).c_str()) << id;
        EXPECT_EQ(log.countStartingWith("Warning: Change Animation: AnimatedObjectID "), lines + (id < 0 ? 1 : 0))
            << id;
        action->execute(event);
    }
    ChangeAnimationAction* whole = changeAnimation([&](io::IAttributes* k) {
        k->addString("AnimationType", "Texture Animator");
        k->addString("AnimatedObjectIDs", "33");
        k->addInt("AnimatorID", 5);
        k->addInt("StartFrame", lowest);
        k->addInt("EndFrame", largest);
    }, trigger);
    whole->execute(event);
    EXPECT_NEAR(animator->sprite.duration, 4294967296.0f * 0.1f, 1.0e3f);
}

TEST_F(PlayerAnimationActionsTest, ThePlayerTakesTheFrameRangeAndItsBodyPartBlends) {
    ChangeAnimationAction* action = changeAnimation([](io::IAttributes* k) {
        k->addString("AnimationType", "Frame Change");
        k->addInt("StartFrame", 1);
        k->addInt("EndFrame", 9);
        k->addBool("IsTentaro", true);
        k->addFloat("BodyBlend", 0.5f);
        k->addFloat("PhysicsBlendTime", 2.0f);
        k->addBool("IsLeftLegSeparate", true);
        k->addFloat("LeftLegBlend", 0.25f);
    });
    scene::IAnimatedMesh* mesh = getGameMesh(smgr(), "Content/Models/Characters/AniEveryBody.b3d");
    player->meshNode = smgr()->addAnimatedMeshSceneNode(mesh, root());
    action->execute(event);
    EXPECT_EQ(takeCalls(), (Calls{"range 1 9", "blend 0.5 2 6", "blend 0.7 2 1", "blend 0.25 2 4"}));
    EXPECT_EQ(player->meshNode->getEndFrame(), 9);
    const std::string saved = keysOf(*action);
    EXPECT_NE(saved.find("IsStacheSeparate=true;StacheBlend=0.700000;IsTorsoSeparate=false;IsLeftArmSeparate"),
              std::string::npos);
    EXPECT_EQ(saved.find("TorsoBlend"), std::string::npos) << "a blend only with its flag";

    clearPlayers(); // without a player: the targets, no blends
    action->AnimatedObjectIDs = "";
    action->execute(event);
    EXPECT_TRUE(takeCalls().empty());
}

} // namespace
