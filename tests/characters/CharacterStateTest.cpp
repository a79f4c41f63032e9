// The behaviour states: each transition of the state table, the animations the states
// play, and a thrown object striking a character.
#include "CharacterWorldFixture.h"

#include "characters/CharacterContacts.h"
#include "characters/CharacterProfile.h"
#include "characters/CharacterStates.h"
#include "characters/CharacterServices.h"
#include "characters/SuspicionRules.h"
#include "characters/animators/MovementAnimators.h"
#include "core/Globals.h"
#include "level/LevelManager.h"
#include "physics/world/PhysicsHooks.h"

#include <fstream>
#include <optional>

using namespace irr;

namespace {

class CharacterStateTest : public CharacterWorldFixture {
protected:
    // A Stopped character without a path, standing at the origin.
    CharacterObject* standing() { return addCharacter(0, 0, 0); }
    void endAnimation(CharacterObject* c) {
        ASSERT_NE(c->stateMachine().current, nullptr);
        c->stateMachine().current->OnAnimationEnd(c->getMeshNode());
    }
};

TEST_F(CharacterStateTest, ChangingStateLeavesTheOldAndEntersTheNew) {
    CharacterObject* c = standing();
    CharacterStateMachine& machine = c->stateMachine();
    EXPECT_EQ(machine.currentID(), CharacterStateId::Stopped) << "StartState Walking without a path starts Stopped";
    machine.changeState(noticingState());
    EXPECT_EQ(machine.previousID(), CharacterStateId::Stopped);
    EXPECT_EQ(c->playingAnimation, "NoticingDefault");
    // Noticing again runs its exit and enter again: the animation starts over.
    c->getMeshNode()->setCurrentFrame(140.0f);
    machine.changeState(noticingState());
    EXPECT_EQ(machine.previousID(), CharacterStateId::Noticing);
    EXPECT_FLOAT_EQ(c->getMeshNode()->getFrameNr(), 131.0f);
}

TEST_F(CharacterStateTest, AStuckWalkerStopsAndWalksOnWhenTheWayIsFree) {
    addPath(10, {{0, 0, 0}, {0, 0, -30}});
    PhysicsObject* wall = addWall(0, -10, {6, 8, 1});
    CharacterObject* c = addCharacter(0, 0, 10);
    run(2.0f);
    EXPECT_EQ(stateOf(c), CharacterStateId::Walking) << "walking toward the wall";
    run(1.5f);
    EXPECT_EQ(stateOf(c), CharacterStateId::Stopped) << "stuck at the wall for more than half a second";
    EXPECT_EQ(c->stateMachine().globalID(), CharacterStateId::Walking);
    const f32 stoppedAt = c->getControllerPosition().Z;
    EXPECT_GT(stoppedAt, -10.0f);
    EXPECT_LT(stoppedAt, -7.0f);
    wall->getActor()->setGlobalPose(phys::Transform(phys::Vec3(100.0f, 4.0f, 0.0f), phys::Quat()));
    run(1.0f);
    EXPECT_EQ(stateOf(c), CharacterStateId::Stopped) << "a stopped walker waits two seconds";
    run(1.5f);
    EXPECT_EQ(stateOf(c), CharacterStateId::Walking) << "then a probe step moves and it walks on";
    run(1.0f);
    EXPECT_LT(c->getControllerPosition().Z, stoppedAt - 1.0f);
}

TEST_F(CharacterStateTest, AStoppedCharacterIdlesAfterItsDelayOnlyWithTheDefaultAnimations) {
    CharacterObject* plain = standing();
    CharacterObject* scripted = addCharacter(20, 0, 0, [](io::IAttributes* a) {
        a->addString("StoppedAnimName", "IdleLookAround");
    });
    EXPECT_GE(plain->idleDelay, 10.0f);
    EXPECT_LT(plain->idleDelay, 20.0f);
    plain->idleDelay = scripted->idleDelay = 1.0f;
    run(1.5f);
    EXPECT_EQ(stateOf(plain), CharacterStateId::Idle);
    EXPECT_EQ(plain->playingAnimation, "IdleLookAround");
    EXPECT_EQ(stateOf(scripted), CharacterStateId::Stopped) << "custom stopped animations never idle";
    // The idle animation's end returns to Stopped.
    endAnimation(plain);
    EXPECT_EQ(stateOf(plain), CharacterStateId::Stopped);
}

TEST_F(CharacterStateTest, TheEndOfAStandingChainStartsTheAnimatorsItHeld) {
    CharacterObject* c = standing();
    auto* held = new MoveRotationAnimator(core::vector3df(0.0f, 1.0f, 0.0f));
    held->setID(4);
    held->setEnabled(false);
    c->addAnimator(held);
    held->drop();
    c->mesh().pendingAnimatorID = 4;
    endAnimation(c); // StoppedDefault has no follow-up
    EXPECT_TRUE(held->isEnabled());
    EXPECT_EQ(c->mesh().pendingAnimatorID, -1);
}

TEST_F(CharacterStateTest, AReactionPlaysItsFollowUpThenReturnsToTheGlobalState) {
    CharacterObject* c = standing();
    c->stateMachine().global = walkingState();
    c->stateMachine().changeState(reactingState());
    EXPECT_EQ(c->playingAnimation, "ReactingDefault");
    EXPECT_FALSE(c->getMeshNode()->getLoopMode()) << "a reaction plays once";
    endAnimation(c);
    EXPECT_EQ(stateOf(c), CharacterStateId::Reacting);
    EXPECT_EQ(c->playingAnimation, "StoppedDefault") << "the follow-up plays";
    endAnimation(c);
    EXPECT_EQ(stateOf(c), CharacterStateId::Walking) << "then the global state";
}

// A reaction's follow-up loops only for a watcher whose sight repeats its raises; an
// animation with a follow-up of its own always plays once.
TEST_F(CharacterStateTest, AReactionsFollowUpLoopsOnlyWhenTheSightRepeats) {
    const struct {
        const char* type;
        bool loops;
    } rows[] = {{"Stranger", true}, {"Scientist", false}};
    f32 x = 0.0f;
    for (const auto& row : rows) {
        CharacterObject* c = addCharacter(x, 0, 0, [&](io::IAttributes* a) {
            a->addEnum("CharacterSuspicionType", row.type, suspicionCharacterTypeNames);
        });
        x += 10.0f;
        c->stateMachine().changeState(reactingState());
        endAnimation(c);
        ASSERT_EQ(c->playingAnimation, "StoppedDefault");
        EXPECT_EQ(c->getMeshNode()->getLoopMode(), row.loops) << row.type;
        // Noticing itself loops the same way, when its animation has no follow-up.
        c->stateMachine().changeState(noticingState());
        const bool followed = !c->getProfile()->getNextAnimation(c->playingAnimation).empty();
        EXPECT_EQ(c->getMeshNode()->getLoopMode(), row.loops && !followed) << row.type << " noticing";
    }
    CharacterObject* c = addCharacter(x, 0, 0);
    ASSERT_NE(playCharacterAnimation("ReactingDefault", *c, reactingState(), true), nullptr);
    EXPECT_FALSE(c->getMeshNode()->getLoopMode()) << "it has a follow-up";
    ASSERT_NE(playCharacterAnimation("StoppedDefault", *c, stoppedState(), true), nullptr);
    EXPECT_TRUE(c->getMeshNode()->getLoopMode());
}

// A chain of stopped animations moves the character's stopped animation along; only its
// last link's reset animation becomes the one to stand in.
TEST_F(CharacterStateTest, AStandingChainTakesTheResetAnimationOnlyAtItsLastLink) {
    const std::string profile = temp.file("Chain.xml");
    std::ofstream(profile)
        << "<CharacterProfile><Animation name=\"WalkingDefault\" state=\"Walking\" startFrame=\"0\" endFrame=\"30\"/>"
           "<Animation name=\"Stand1\" state=\"Stopped\" startFrame=\"31\" endFrame=\"40\" nextAnimation=\"Stand2\"/>"
           "<Animation name=\"Stand2\" state=\"Stopped\" startFrame=\"41\" endFrame=\"50\" nextAnimation=\"Stand3\" "
           "resetAnimation=\"Back\"/>"
           "<Animation name=\"Stand3\" state=\"Stopped\" startFrame=\"51\" endFrame=\"60\" resetAnimation=\"Final\"/>"
           "<Animation name=\"Back\" state=\"Stopped\" startFrame=\"61\" endFrame=\"70\"/>"
           "<Animation name=\"Final\" state=\"Stopped\" startFrame=\"71\" endFrame=\"80\"/></CharacterProfile>";
    CharacterObject* c = addCharacter(0, 0, 0, [&](io::IAttributes* a) {
        a->addString("ProfileName", profile.c_str());
        a->addString("StoppedAnimName", "Stand1");
    });
    ASSERT_EQ(stateOf(c), CharacterStateId::Stopped);
    ASSERT_EQ(c->playingAnimation, "Stand1");
    endAnimation(c);
    EXPECT_EQ(c->playingAnimation, "Stand2");
    EXPECT_EQ(c->StoppedAnimName, "Stand2") << "a link with a follow-up keeps its own name";
    endAnimation(c);
    EXPECT_EQ(c->playingAnimation, "Stand3");
    EXPECT_EQ(c->StoppedAnimName, "Final");
}

// The end of a walk plays the walking animation's own follow-up, whatever the stopped one
// would chain to.
TEST_F(CharacterStateTest, AWalkingAnimationChainsToItsOwnFollowUp) {
    const std::string profile = temp.file("WalkChain.xml");
    std::ofstream(profile)
        << "<CharacterProfile><Animation name=\"Walk1\" state=\"Walking\" startFrame=\"0\" endFrame=\"10\" "
           "nextAnimation=\"Walk2\"/>"
           "<Animation name=\"Walk2\" state=\"Walking\" startFrame=\"11\" endFrame=\"20\"/>"
           "<Animation name=\"Stand1\" state=\"Stopped\" startFrame=\"21\" endFrame=\"30\" "
           "nextAnimation=\"Stand2\"/>"
           "<Animation name=\"Stand2\" state=\"Stopped\" startFrame=\"31\" endFrame=\"40\"/></CharacterProfile>";
    CharacterObject* c = addCharacter(0, 0, 0, [&](io::IAttributes* a) {
        a->addString("ProfileName", profile.c_str());
        a->addString("WalkingAnimName", "Walk1");
        a->addString("StoppedAnimName", "Stand1");
    });
    c->stateMachine().changeState(walkingState());
    ASSERT_EQ(c->playingAnimation, "Walk1");
    endAnimation(c);
    EXPECT_EQ(c->playingAnimation, "Walk2");
}

// A follow-up of another animation is never picked on its own for a state.
TEST_F(CharacterStateTest, AFollowUpIsNeverPickedOnItsOwn) {
    const std::string profile = temp.file("Idles.xml");
    std::ofstream(profile)
        << "<CharacterProfile><Animation name=\"WalkingDefault\" state=\"Walking\" startFrame=\"0\" endFrame=\"30\"/>"
           "<Animation name=\"StoppedDefault\" state=\"Stopped\" startFrame=\"31\" endFrame=\"60\"/>"
           "<Animation name=\"Look\" state=\"Idle\" startFrame=\"61\" endFrame=\"70\" nextAnimation=\"Scratch\"/>"
           "<Animation name=\"Scratch\" state=\"Idle\" startFrame=\"71\" endFrame=\"80\"/></CharacterProfile>";
    CharacterObject* c = addCharacter(0, 0, 0, [&](io::IAttributes* a) { a->addString("ProfileName", profile.c_str()); });
    for (int pick = 0; pick < 20; ++pick)
        EXPECT_EQ(c->getStateAnimationName(CharacterStateId::Idle), "Look");
}

// Making sure of an animation leaves a node that plays its range alone, from its first frame
// up to and on its last; a node on any other range (even one its frame is inside) starts the
// animation over.
TEST_F(CharacterStateTest, EnsuringAnAnimationRestartsItOnlyOffItsRange) {
    const std::string profile = temp.file("Stand.xml");
    std::ofstream(profile)
        << "<CharacterProfile><Animation name=\"WalkingDefault\" state=\"Walking\" startFrame=\"0\" endFrame=\"30\"/>"
           "<Animation name=\"StoppedDefault\" state=\"Stopped\" startFrame=\"31\" endFrame=\"60\"/></CharacterProfile>";
    CharacterObject* c = addCharacter(0, 0, 0, [&](io::IAttributes* a) { a->addString("ProfileName", profile.c_str()); });
    scene::IAnimatedMeshSceneNode* node = c->getMeshNode();
    ASSERT_NE(node, nullptr);
    // The engine's node keeps its frame inside its own range, so a frame off the animation's
    // range comes with a range that reaches it.
    const struct {
        s32 start, end;
        f32 frame;
        bool restarts;
    } rows[] = {{31, 60, 31.0f, false}, {31, 60, 45.5f, false}, {31, 60, 60.0f, false},
                {31, 61, 61.0f, true},  {30, 60, 30.0f, true},  {31, 61, 45.0f, true},
                {30, 60, 45.0f, true},  {0, 30, 15.0f, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.start << ".." << row.end << " at " << row.frame);
        node->setFrameLoop(row.start, row.end);
        node->setCurrentFrame(row.frame);
        ASSERT_FLOAT_EQ(node->getFrameNr(), row.frame);
        c->playingAnimation = "Held";
        ensureCharacterAnimation(*c, "StoppedDefault", stoppedState());
        EXPECT_EQ(c->playingAnimation, row.restarts ? "StoppedDefault" : "Held");
        EXPECT_FLOAT_EQ(node->getFrameNr(), row.restarts ? 31.0f : row.frame);
        EXPECT_EQ(node->getStartFrame(), 31);
        EXPECT_EQ(node->getEndFrame(), 60);
    }
    // A name the profile lacks changes nothing.
    node->setCurrentFrame(45.0f);
    c->playingAnimation = "Held";
    ensureCharacterAnimation(*c, "Missing", stoppedState());
    EXPECT_EQ(c->playingAnimation, "Held");
    EXPECT_FLOAT_EQ(node->getFrameNr(), 45.0f);
}

// Back to standing after noticing, a character keeps its face for two seconds before it
// turns to its look target again.
TEST_F(CharacterStateTest, AfterNoticingACharacterTurnsToItsLookTargetOnlyAfterTwoSeconds) {
    CharacterObject* c = addCharacter(0, 0, 0);
    PhysicsObject* wall = addWall(25, 0, {1, 1, 1});
    wall->setID(60);
    manager->rebuildNodeIDs();
    c->setLookTargetID(60);
    c->stateMachine().changeState(noticingState());
    c->stateMachine().changeState(stoppedState());
    ASSERT_EQ(c->getLookTarget(), wall);
    const core::vector3df before = facing(c);
    run(1.5f);
    EXPECT_NEAR(facing(c).X, before.X, 1e-3f) << "still held after noticing";
    run(3.0f);
    EXPECT_GT(facing(c).X, 0.9f) << "then it turns to the wall at +X";
}

TEST_F(CharacterStateTest, NoticingWithoutAnAnimationReturnsAtOnceAndLeavingRestoresTheLookTarget) {
    const std::string profile = temp.file("Plain.xml");
    std::ofstream(profile) << "<CharacterProfile><Animation name=\"WalkingDefault\" state=\"Walking\" "
                              "startFrame=\"0\" endFrame=\"30\"/><Animation name=\"StoppedDefault\" "
                              "state=\"Stopped\" startFrame=\"31\" endFrame=\"60\"/></CharacterProfile>";
    CharacterObject* plain = addCharacter(0, 0, 0, [&](io::IAttributes* a) { a->addString("ProfileName", profile.c_str()); });
    plain->stateMachine().changeState(noticingState());
    EXPECT_EQ(stateOf(plain), CharacterStateId::Stopped) << "no Noticing animation: back to the global state";
    // The global state, not the one it noticed from.
    addPath(40, {{0, 0, -8}, {0, 0, -16}});
    CharacterObject* walker = addCharacter(-20, 0, 40, [&](io::IAttributes* a) { a->addString("ProfileName", profile.c_str()); });
    ASSERT_EQ(walker->stateMachine().globalID(), CharacterStateId::Walking);
    walker->stateMachine().changeState(stoppedState());
    walker->stateMachine().changeState(noticingState());
    EXPECT_EQ(stateOf(walker), CharacterStateId::Walking);

    CharacterObject* c = addCharacter(20, 0, 0);
    PhysicsObject* wall = addWall(25, 0, {1, 1, 1});
    wall->setID(60);
    manager->rebuildNodeIDs();
    c->setLookTargetID(60);
    addPlayer({20, 0, 10});
    c->stateMachine().changeState(noticingState());
    EXPECT_TRUE(c->isLookingAtPlayer()) << "noticing looks at the player";
    endAnimation(c);
    EXPECT_EQ(stateOf(c), CharacterStateId::Stopped);
    EXPECT_EQ(c->getLookTarget(), wall) << "leaving Noticing looks back at the old target";
}

// When the sight lets go, a character goes back to its global state: a walker walks on,
// anything else, or a character without one, stops.
TEST_F(CharacterStateTest, TheSightReturnsAWalkerToWalkingAndAnyoneElseToStopped) {
    CharacterObject* c = standing();
    CharacterStateMachine& machine = c->stateMachine();
    CharacterBehaviourState* const before = machine.global;
    const struct {
        CharacterBehaviourState* global;
        s32 returnsTo;
    } rows[] = {
        {walkingState(), CharacterStateId::Walking},
        {stoppedState(), CharacterStateId::Stopped},
        {nullptr, CharacterStateId::Stopped},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.global ? row.global->getStateID() : -1);
        machine.global = row.global;
        EXPECT_EQ(c->getVisionGlobalState(), row.returnsTo);
    }
    machine.global = before;
}

TEST_F(CharacterStateTest, SuspicionMakesWatchersNoticeAndAFullMeterDiscovered) {
    // A Scientist's sight does not repeat its raises, so every raise makes it notice.
    CharacterObject* c = addCharacter(0, 0, 0, [](io::IAttributes* a) {
        a->addEnum("CharacterSuspicionType", "Scientist", suspicionCharacterTypeNames);
    });
    SuspicionMeter& meter = *manager->getPlayerSuspicion(0);
    meter.age = 3.0f;
    characterServices().screens.addSplat = [](f32, const core::vector3df&) { return true; };
    addSuspicionWatcher(meter, c);
    ASSERT_TRUE(addSuspicion(c->getAbsolutePosition(), meter, 10.0f, ST_Default));
    EXPECT_EQ(stateOf(c), CharacterStateId::Noticing);
    addSuspicion(c->getAbsolutePosition(), meter, 100.0f, ST_Default);
    EXPECT_EQ(stateOf(c), CharacterStateId::Discovered);
    EXPECT_EQ(c->playingAnimation, "DiscoveredDefault");
}

// A raise moves the watchers that play the default animations and whose sight does not
// repeat its raises to Noticing; a full meter moves every default-animated watcher to
// Discovered. A scripted character (its own animations) keeps its state, and without a HUD
// nobody is told.
TEST_F(CharacterStateTest, RaisesMoveOnlyTheDefaultAnimatedWatchers) {
    const auto ofType = [](const char* type) {
        return [type](io::IAttributes* a) { a->addEnum("CharacterSuspicionType", type, suspicionCharacterTypeNames); };
    };
    CharacterObject* stranger = addCharacter(0, 0, 0, ofType("Stranger"));   // its sight repeats every 2 s
    CharacterObject* scientist = addCharacter(10, 0, 0, ofType("Scientist")); // its sight does not repeat
    CharacterObject* typeless = addCharacter(20, 0, 0, ofType("Family"));     // no sight rule: no repeat
    CharacterObject* scripted = addCharacter(30, 0, 0, [](io::IAttributes* a) {
        a->addEnum("CharacterSuspicionType", "Scientist", suspicionCharacterTypeNames);
        a->addString("StoppedAnimName", "IdleLookAround");
    });
    SuspicionMeter& meter = *manager->getPlayerSuspicion(0);
    meter.age = 3.0f;
    for (CharacterObject* c : {stranger, scientist, typeless, scripted})
        addSuspicionWatcher(meter, c);

    ASSERT_FALSE(addSuspicion(stranger->getAbsolutePosition(), meter, 10.0f, ST_Default)) << "no HUD";
    for (CharacterObject* c : {stranger, scientist, typeless, scripted})
        EXPECT_EQ(stateOf(c), CharacterStateId::Stopped) << "without a HUD nobody is told";

    characterServices().screens.addSplat = [](f32, const core::vector3df&) { return true; };
    ASSERT_TRUE(addSuspicion(stranger->getAbsolutePosition(), meter, 10.0f, ST_Default));
    EXPECT_EQ(stateOf(stranger), CharacterStateId::Stopped);
    EXPECT_EQ(stateOf(scientist), CharacterStateId::Noticing);
    EXPECT_EQ(stateOf(typeless), CharacterStateId::Noticing);
    EXPECT_EQ(stateOf(scripted), CharacterStateId::Stopped);

    addSuspicion(stranger->getAbsolutePosition(), meter, 100.0f, ST_Default);
    for (CharacterObject* c : {stranger, scientist, typeless})
        EXPECT_EQ(stateOf(c), CharacterStateId::Discovered);
    EXPECT_EQ(stateOf(scripted), CharacterStateId::Stopped);
}

// A ball thrown at a walking Stranger (HitByThrown: 20 points from 5 units a second; a held
// object, HitByGrabbed: 10 points above 4 units a second).
class CharacterHitTest : public CharacterStateTest {
protected:
    void SetUp() override {
        CharacterStateTest::SetUp();
        const std::string rules = temp.file("Rules.xml");
        std::ofstream(rules) << "<Rules><CharacterSuspicion characterType=\"Stranger\" suspicionType=\"HitByThrown\" "
                                "amount=\"20\" speedThreshold=\"5\" repeatInterval=\"0\"/>"
                                "<CharacterSuspicion characterType=\"Stranger\" suspicionType=\"HitByGrabbed\" "
                                "amount=\"10\" speedThreshold=\"4\" repeatInterval=\"0\"/></Rules>";
        ASSERT_EQ(loadSuspicionConfig(rules), 0);
        characterServices().screens.addSplat = [](f32, const core::vector3df&) { return true; };
        addPlayer({0, 0, 2});
        SuspicionMeter& meter = *manager->getPlayerSuspicion(0);
        meter.age = 3.0f;
        meter.repeatTimer = 1.0f;
        addSuspicionWatcher(meter, nullptr); // a hit raise needs someone watching
    }
    // A ball without gravity 4 units in front of the character's chest (without a mass: the
    // object's own default).
    PhysicsObject* ballBefore(CharacterObject* c, std::optional<f32> mass = std::nullopt) {
        const core::vector3df chest = c->getControllerPosition();
        return makeObject([&](io::IAttributes* a) {
            a->addVector3d("Position", chest + core::vector3df(0.0f, 0.0f, -4.0f));
            a->addEnum("BoundType", "Sphere", boundTypeNames);
            a->addFloat("Radius", 0.4f);
            a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
            if (mass)
                a->addFloat("Mass", *mass);
            a->addBool("DisableGravity", true);
        });
    }
    // The ball flies at the character's chest from 4 units in front of it.
    PhysicsObject* throwBall(CharacterObject* c, f32 speed) {
        PhysicsObject* ball = ballBefore(c, 1.0f);
        ball->thrown = true;
        ball->getActor()->asRigidDynamic()->setLinearVelocity(phys::Vec3(0.0f, 0.0f, speed));
        return ball;
    }
};

TEST_F(CharacterHitTest, AFastThrownObjectRaisesSuspicionAndTheCharacterReacts) {
    addPath(10, {{0, 0, 0}, {0, 0, -30}});
    CharacterObject* c = addCharacter(0, 0, 10);
    frames(2);
    PhysicsObject* ball = throwBall(c, 12.0f);
    run(1.0f);
    EXPECT_FLOAT_EQ((*manager->getPlayerSuspicion(0)).pendingValue, 20.0f) << "the Stranger's HitByThrown amount";
    EXPECT_EQ(stateOf(c), CharacterStateId::Reacting);
    EXPECT_FALSE(ball->thrown);
    EXPECT_FALSE(c->isHitFromBehind()) << "the ball came from the front";
}

// The contact report of a strike: a thrown object at its rule's speed or faster, a held one
// only faster than its rule's, raises suspicion at the average contact point and the
// character reacts, turned to that point; the speed counts what the contact's impulse took
// off the object (impulse over mass, away from the character).
TEST_F(CharacterHitTest, AReportedStrikeRaisesByTheObjectsKindAndItsSpeedBeforeTheContact) {
    CharacterObject* c = standing();
    frames(2);
    const core::vector3df chest = c->getControllerPosition();
    PhysicsObject* ball = ballBefore(c);
    phys::RigidDynamic* body = ball->getActor()->asRigidDynamic();
    body->setMass(2.0f);
    SuspicionMeter& meter = *manager->getPlayerSuspicion(0);
    enum Points { None, Front, FrontAndFarBehind };
    struct Row {
        const char* what;
        bool thrown;
        s32 held;
        f32 speedZ;   // toward the character
        f32 impulseZ; // the contact's impulse on the object, away from the character
        Points points;
        f32 raised;
        bool reacting = false;
    } rows[] = {
        {"thrown at its threshold", true, 0, 5.0f, 0.0f, Front, 20.0f},
        {"thrown just below", true, 0, 4.99f, 0.0f, Front, 0.0f},
        {"held at its threshold", false, 1, 4.0f, 0.0f, Front, 0.0f},
        {"held just above", false, 1, 4.01f, 0.0f, Front, 10.0f},
        {"neither thrown nor held", false, 0, 20.0f, 0.0f, Front, 0.0f},
        {"thrown without a contact point", true, 0, 20.0f, 0.0f, None, 0.0f},
        {"thrown while the character reacts", true, 0, 20.0f, 0.0f, Front, 0.0f, true},
        {"bounced back at 2, 8 taken off: struck at 6", true, 0, -2.0f, -16.0f, Front, 20.0f},
        {"bounced back at 2, 2 taken off: struck at 0", true, 0, -2.0f, -4.0f, Front, 0.0f},
        {"the average of two points is behind", true, 0, 6.0f, 0.0f, FrontAndFarBehind, 20.0f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        c->stateMachine().changeState(row.reacting ? reactingState() : stoppedState());
        meter.pendingValue = 0.0f;
        meter.repeatTimer = 1.0f;
        ball->thrown = row.thrown;
        ball->holdCount = row.held;
        ball->suspicion().displayTimer = 0.0f;
        body->setLinearVelocity(phys::Vec3(0.0f, 0.0f, row.speedZ));
        phys::ContactPairPoint points[2];
        points[0].position = toPhys(chest + core::vector3df(0.0f, 0.0f, -1.0f));
        points[0].impulse = phys::Vec3(0.0f, 0.0f, row.impulseZ);
        points[1].position = toPhys(chest + core::vector3df(0.0f, 0.0f, 3.0f));
        phys::ContactPair pair;
        pair.points = points;
        pair.contactCount = static_cast<uint16_t>(row.points);
        EXPECT_TRUE(onCharacterStruck(ball, c, body, pair));
        EXPECT_FLOAT_EQ(meter.pendingValue, row.raised);
        const bool raised = row.raised > 0.0f;
        EXPECT_EQ(stateOf(c), raised || row.reacting ? CharacterStateId::Reacting : CharacterStateId::Stopped);
        if (raised) {
            EXPECT_EQ(c->isHitFromBehind(), row.points == FrontAndFarBehind);
        }
        EXPECT_EQ(ball->thrown, row.thrown && !raised) << "a thrown object strikes once";
        EXPECT_FLOAT_EQ(ball->suspicion().displayTimer, raised && row.thrown ? 2.0f : 0.0f);
    }
    ball->holdCount = 0;
    phys::ContactPair pair;
    EXPECT_FALSE(onCharacterStruck(nullptr, c, body, pair));
    EXPECT_FALSE(onCharacterStruck(ball, ball, body, pair)) << "not a character";

    // A kinematic object that turns dynamic on touch does so; another stays as it is.
    for (const bool turns : {false, true}) {
        PhysicsObject* platform = makeObject([&](io::IAttributes* a) {
            a->addVector3d("Position", chest + core::vector3df(5.0f, 0.0f, 0.0f));
            a->addEnum("BoundType", "Box", boundTypeNames);
            a->addVector3d("BoxExtents", core::vector3df(1, 1, 1));
            a->addEnum("PhysicsState", "Kinematic", physicsStateNames);
        });
        platform->TurnDynamicOnTouch = turns;
        platform->thrown = true;
        meter.pendingValue = 0.0f;
        EXPECT_TRUE(onCharacterStruck(platform, c, platform->getActor(), pair));
        frames(2);
        EXPECT_EQ(platform->getDynamicActor()->isKinematic(), !turns) << turns;
        EXPECT_FLOAT_EQ(meter.pendingValue, 0.0f) << "a kinematic object raises nothing";
    }
}

// A strike fast enough for its rule makes the character react only when the meter takes the
// raise: a hit within half a second of the last, a meter younger than two seconds, a full
// meter or a splat the screen did not show leaves the character and the throw as they were.
TEST_F(CharacterHitTest, AStrikeTheMeterRefusesLeavesTheCharacterAndTheThrowAsTheyWere) {
    CharacterObject* c = standing();
    frames(2);
    const core::vector3df chest = c->getControllerPosition();
    PhysicsObject* ball = ballBefore(c);
    phys::RigidDynamic* body = ball->getActor()->asRigidDynamic();
    SuspicionMeter& meter = *manager->getPlayerSuspicion(0);
    struct Row {
        const char* what;
        f32 repeatTimer, age, pending;
        bool splatShown;
        bool reacts;
    } rows[] = {
        {"the last hit exactly half a second ago", 0.5f, 3.0f, 0.0f, true, false},
        {"the last hit just over half a second ago", 0.51f, 3.0f, 0.0f, true, true},
        {"a meter just under two seconds old", 1.0f, 1.99f, 0.0f, true, false},
        {"a meter two seconds old", 1.0f, 2.0f, 0.0f, true, true},
        {"a full meter", 1.0f, 3.0f, 100.0f, true, false},
        {"a meter just under full", 1.0f, 3.0f, 99.0f, true, true},
        {"a splat the screen did not show", 1.0f, 3.0f, 0.0f, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        characterServices().screens.addSplat = [shown = row.splatShown](f32, const core::vector3df&) { return shown; };
        c->stateMachine().changeState(stoppedState());
        meter.repeatTimer = row.repeatTimer;
        meter.age = row.age;
        meter.pendingValue = row.pending;
        ball->thrown = true;
        body->setLinearVelocity(phys::Vec3(0.0f, 0.0f, 20.0f));
        phys::ContactPairPoint point;
        point.position = toPhys(chest + core::vector3df(0.0f, 0.0f, -1.0f));
        phys::ContactPair pair;
        pair.points = &point;
        pair.contactCount = 1;
        EXPECT_TRUE(onCharacterStruck(ball, c, body, pair));
        EXPECT_EQ(stateOf(c), row.reacts ? CharacterStateId::Reacting : CharacterStateId::Stopped);
        EXPECT_EQ(ball->thrown, !row.reacts) << "a refused strike may still strike later";
    }
}

// The physics objects reach the rules and the meter through the characters' registration.
TEST_F(CharacterHitTest, PhysicsObjectsReachTheRulesAndTheMeterThroughTheRegistration) {
    const auto& physics = physicsHooks().characters;
    ASSERT_TRUE(physics.getSuspicionValues && physics.addSuspicion);
    f32 amount = -1.0f, threshold = -1.0f;
    physics.getSuspicionValues(SCT_Stranger, ST_HitByGrabbed, amount, threshold);
    EXPECT_FLOAT_EQ(amount, 10.0f);
    EXPECT_FLOAT_EQ(threshold, 4.0f);
    physics.getSuspicionValues(SCT_Stranger, ST_HitByThrown, amount, threshold);
    EXPECT_FLOAT_EQ(amount, 20.0f);
    EXPECT_FLOAT_EQ(threshold, 5.0f);
    SuspicionMeter& meter = *manager->getPlayerSuspicion(0);
    EXPECT_FALSE(physics.addSuspicion(nullptr, 20.0f, ST_HitByThrown, {0, 0, 0}));
    EXPECT_TRUE(physics.addSuspicion(&meter, 20.0f, ST_HitByThrown, {0, 0, 0}));
    EXPECT_FLOAT_EQ(meter.pendingValue, 20.0f);
}

TEST_F(CharacterHitTest, ASlowThrowOrDifficultyZeroRaisesNothing) {
    addPath(10, {{0, 0, 0}, {0, 0, -30}});
    CharacterObject* c = addCharacter(0, 0, 10);
    frames(2);
    throwBall(c, 3.0f);
    run(1.5f);
    EXPECT_FLOAT_EQ((*manager->getPlayerSuspicion(0)).pendingValue, 0.0f) << "below the speed threshold";
    EXPECT_EQ(stateOf(c), CharacterStateId::Walking);

    gameDifficulty = 0;
    addPath(20, {{20, 0, 0}, {20, 0, -30}});
    CharacterObject* d = addCharacter(20, 0, 20);
    frames(2);
    throwBall(d, 12.0f);
    run(1.0f);
    EXPECT_FLOAT_EQ((*manager->getPlayerSuspicion(0)).pendingValue, 0.0f);
    EXPECT_EQ(stateOf(d), CharacterStateId::Walking);
    gameDifficulty = 1;
}

} // namespace
