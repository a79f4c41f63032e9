// Characters on their paths: walking through the controller, arriving (and starting the
// waypoints' events), turning at corners, stopping at the end, and the movement rules
// (walk-animation rate, spline progress, looking, guarding, the player in the way); what a
// character's controller meets (another character, a free or a kinematic object); and the
// profile's ranges that animateFrame plays.
#include "CharacterWorldFixture.h"

#include "characters/CharacterStates.h"
#include "characters/CharacterProfile.h"
#include "characters/SuspicionRules.h"
#include "characters/animators/AppearanceAnimators.h"
#include "characters/animators/ObjectAnimators.h"
#include "characters/VisionCone.h"
#include "core/Globals.h"
#include "core/Random.h"
#include "core/SoundManager.h"
#include "level/MeshGate.h"
#include "level/SoundObject.h"
#include "platform/audio/EventSystem.h"
#include "triggers/TriggerAction.h"
#include "triggers/TriggerEventObject.h"
#include "triggers/TriggerObject.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace irr;

namespace {

class CharacterWalkTest : public CharacterWorldFixture {};

// A player body the vision cones can see: its type is the player's.
class SeenPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    scene::ESCENE_NODE_TYPE getType() const override { return typeId("plr1"); }
};

// Counts the runs of the trigger event it belongs to.
class CountingAction : public TriggerAction {
public:
    explicit CountingAction(int& runs) : TriggerAction(0, nullptr), runs(runs) {}
    void execute(TriggerEventInfo&) override { ++runs; }
    int& runs;
};

// Start at the origin, 12 units along -Z, then 12 along +X; One Way at 3 units a second.
TEST_F(CharacterWalkTest, ACharacterWalksItsPathTurnsAtTheCornerAndStopsAtTheEnd) {
    WaypointObject* start = addPath(10, {{0, 0, 0}, {0, 0, -12}, {12, 0, -12}});
    int cornerRuns = 0;
    WaypointObject* corner = WaypointObject::getNextWaypoint(WaypointObject::getNextWaypoint(start));
    ASSERT_NE(corner, nullptr);
    auto* event = new TriggerEventObject(corner, smgr());
    event->drop();
    event->setAction(new CountingAction(cornerRuns));
    CharacterObject* c = addCharacter(0, 0, 10, [](io::IAttributes* a) {
        a->addEnum("PathBehavior", "One Way", characterPathBehaviorNames);
    });
    ASSERT_NE(c->getController(), nullptr);
    EXPECT_EQ(stateOf(c), CharacterStateId::Walking);

    run(2.0f);
    core::vector3df at = c->getControllerPosition();
    EXPECT_NEAR(at.X, 0.0f, 0.05f);
    EXPECT_NEAR(at.Z, -6.0f, 0.4f) << "3 units a second along the first leg";
    EXPECT_NEAR(at.Y, 3.1f, 0.15f) << "the capsule stands on the floor";
    EXPECT_EQ(cornerRuns, 0);

    run(2.5f); // reaches the corner at about 3.75 s and turns toward +X
    EXPECT_EQ(cornerRuns, 1) << "arriving at the corner starts its trigger event";
    run(2.5f);
    EXPECT_GT(facing(c).X, 0.95f) << "turned to face the second leg";
    at = c->getControllerPosition();
    EXPECT_NEAR(at.Z, -12.0f, 0.8f);
    EXPECT_GT(at.X, 2.0f);
    EXPECT_LT(at.X, 9.0f);

    run(4.0f);
    at = c->getControllerPosition();
    EXPECT_NEAR(at.X, 12.0f, 0.8f);
    EXPECT_NEAR(at.Z, -12.0f, 0.8f);
    EXPECT_EQ(stateOf(c), CharacterStateId::Stopped) << "One Way ends the walk";
    EXPECT_EQ(c->stateMachine().globalID(), CharacterStateId::Stopped);
    EXPECT_EQ(cornerRuns, 1);
    // The node follows the controller.
    EXPECT_NEAR(c->getAbsolutePosition().X, at.X, 0.01f);

    // A new path starts from its own first point, not as far along as the old one got.
    addPath(20, {{12, 0, -12}, {12, 0, 0}, {24, 0, 0}, {24, 0, -12}, {36, 0, -12}});
    c->TargetSplineTime = 0.7f;
    c->setParentWaypointID(20);
    EXPECT_EQ(c->TargetSplineTime, 0.0f) << "from the start of the new path";
    ASSERT_NE(c->getTargetWaypoint(), nullptr);
    EXPECT_EQ(c->getTargetWaypoint()->getID(), 21);
    EXPECT_EQ(c->WaypointIndex, 0);
}

// A walker turned away from its way turns on the spot first: it takes no step while it
// faces more than about 25 degrees off its way (here 40 at the start: its way runs along +X).
TEST_F(CharacterWalkTest, AWalkerTurnedAwayFromItsWayTurnsBeforeItSteps) {
    addPath(10, {{0, 0, 0}, {20, 0, 0}});
    CharacterObject* c = addCharacter(-5, 0, 10, [](io::IAttributes* a) {
        a->addVector3d("Rotation", core::vector3df(0, -50, 0));
    });
    ASSERT_EQ(stateOf(c), CharacterStateId::Walking);
    const core::vector3df start = c->getControllerPosition();
    frames(3);
    const core::vector3df turning = c->getControllerPosition() - start;
    EXPECT_LT(core::vector3df(turning.X, 0, turning.Z).getLength(), 0.01f) << "no step while turned away";
    run(2.0f);
    EXPECT_GT(c->getControllerPosition().X, start.X + 1.0f) << "then it walks";
}

TEST_F(CharacterWalkTest, ALoopComesBackToItsFirstPointAndABackForthPathTurnsRound) {
    addPath(10, {{0, 0, 0}, {0, 0, -6}});
    CharacterObject* loop = addCharacter(0, 0, 10);
    addPath(20, {{20, 0, 0}, {20, 0, -6}});
    CharacterObject* back = addCharacter(20, 0, 20, [](io::IAttributes* a) {
        a->addEnum("PathBehavior", "Back Forth", characterPathBehaviorNames);
    });
    run(2.2f);
    EXPECT_EQ(loop->getLastWaypoint()->getID(), 12) << "reached the far point";
    EXPECT_TRUE(back->IsGoingBack) << "at the end of a Back Forth path it goes back";
    run(2.5f); // back at its first point about 4.6 s after the start
    EXPECT_NE(loop->getTargetWaypoint(), nullptr);
    EXPECT_EQ(stateOf(loop), CharacterStateId::Walking) << "a loop never ends";
    EXPECT_FALSE(back->IsGoingBack) << "back at the start it goes forward again";
}

TEST_F(CharacterWalkTest, TheWalkAnimationRunsWithTheWalkingSpeed) {
    addPath(10, {{0, 0, 0}, {0, 0, -20}});
    CharacterObject* c = addCharacter(0, 0, 10);
    ASSERT_NE(c->getMeshNode(), nullptr);
    struct Row {
        f32 speed, expected;
    } rows[] = {{2.0f, 13.0f}, {8.0f, 36.0f}, {3.0f, 18.0f}};
    for (const Row& row : rows) {
        c->setWalkSpeed(row.speed);
        EXPECT_FLOAT_EQ(c->getMeshNode()->getAnimationSpeed(), row.expected) << row.speed;
    }
    c->stateMachine().changeState(stoppedState());
    c->updateWalkAnimationSpeed(30.0f);
    EXPECT_FLOAT_EQ(c->getMeshNode()->getAnimationSpeed(), 30.0f) << "other states take the given rate";
}

TEST_F(CharacterWalkTest, SplineProgressWrapsOnALoopAndStopsAtTheEndOtherwise) {
    WaypointObject* start = addPath(10, {{0, 0, 0}, {0, 0, -10}, {10, 0, -10}}, false);
    struct Row {
        const char* behaviour;
        f32 from;
        bool goingBack;
        f32 expected; // -1: from + delta - 1
    } rows[] = {
        {"Loop", 0.99f, false, -1.0f},
        {"One Way", 0.99f, false, 1.0f},
        {"Back Forth", 0.99f, false, 1.0f},
        {"Back Forth", 0.001f, true, 0.0f},
    };
    frames(2); // the spline is built
    for (const Row& row : rows) {
        CharacterObject* c = addCharacter(0, 0, 10, [&](io::IAttributes* a) {
            a->addEnum("PathBehavior", row.behaviour, characterPathBehaviorNames);
        });
        c->setPathStart();
        ASSERT_NE(c->getFirstWaypoint(), nullptr);
        const f32 length = c->getFirstWaypoint()->getLength();
        ASSERT_GT(length, 0.0f);
        c->WalkSpeed = 0.05f * length / 0.0167f; // a step of 0.05
        c->IsGoingBack = row.goingBack;
        c->TargetSplineTime = row.from;
        c->advanceSplineTime();
        const f32 expected = row.expected < 0.0f ? row.from + 0.05f - 1.0f : row.expected;
        EXPECT_NEAR(c->TargetSplineTime, expected, 1e-4f) << row.behaviour << " from " << row.from;
        c->remove();
    }
    (void)start;
}

TEST_F(CharacterWalkTest, LookTargetsFollowTheirIDs) {
    CharacterObject* c = addCharacter(0, 0, 0);
    PhysicsObject* wall = addWall(5, 5, {1, 1, 1});
    wall->setID(50);
    manager->rebuildNodeIDs();
    c->setLookTargetID(50);
    EXPECT_EQ(c->getLookTarget(), wall);
    EXPECT_EQ(c->LookTargetID, 50);
    c->setLookTargetID(-1);
    EXPECT_EQ(c->getLookTarget(), wall) << "-1 is ignored";
    c->setLookTargetID(0);
    EXPECT_EQ(c->getLookTarget(), nullptr) << "0 clears the look target";
    EXPECT_EQ(c->getPreviousLookTargetID(), 50);
    test::StubPlayer* player = addPlayer({3, 0, 3});
    c->setLookTargetID(lookTargetPlayerID);
    EXPECT_EQ(c->getLookTarget(), player);
    EXPECT_TRUE(c->isLookingAtPlayer());
    EXPECT_EQ(c->LookTargetID, lookTargetPlayerID);
}

// The player straight ahead blocks the way closer than 7 units, once the character's cone
// has noticed it.
TEST_F(CharacterWalkTest, ThePlayerAheadBlocksTheWayWithinSevenUnits) {
    CharacterObject* c = addCharacter(0, 0, 0);
    frames(1);
    const f32 y = c->getControllerPosition().Y;
    test::StubPlayer* player = addPlayer({0, y, -6.9f});
    VisionCone* cone = c->getVisionCone();
    ASSERT_NE(cone, nullptr);
    EXPECT_FALSE(c->isBlockedByPlayer()) << "a player its cone has not noticed blocks nothing";
    cone->setSeesPlayer(true);
    EXPECT_TRUE(c->isBlockedByPlayer());
    player->setPosition({0, y, -7.0f});
    player->updateAbsolutePosition();
    EXPECT_FALSE(c->isBlockedByPlayer());
    // Five units away and 60 degrees to the side a player starts no block, but keeps one
    // that began straight ahead.
    const core::vector3df aside(4.330127f, y, -2.5f);
    player->setPosition(aside);
    player->updateAbsolutePosition();
    EXPECT_FALSE(c->isBlockedByPlayer()) << "too far to the side to start blocking";
    player->setPosition({0, y, -5.0f});
    player->updateAbsolutePosition();
    ASSERT_TRUE(c->isBlockedByPlayer());
    player->setPosition(aside);
    player->updateAbsolutePosition();
    EXPECT_TRUE(c->isBlockedByPlayer()) << "a block holds while the player stays in front";
    player->setPosition({0, y, 5.0f});
    player->updateAbsolutePosition();
    EXPECT_FALSE(c->isBlockedByPlayer()) << "behind it the player blocks nothing";
    c->StopForTentaro = false;
    player->setPosition({0, y, -3.0f});
    player->updateAbsolutePosition();
    EXPECT_FALSE(c->isBlockedByPlayer());
}

// A trigger's "Seen by Character" event is met while one of its named characters' cones has
// noticed the player.
TEST_F(CharacterWalkTest, ATriggerSeesWhatTheNamedCharactersConeHasNoticed) {
    CharacterObject* guard = addCharacter(0, 0, 0);
    CharacterObject* other = addCharacter(20, 0, 0);
    const auto seenBy = [&](s32 id, CharacterObject* character) {
        auto* trigger = new TriggerObject(root(), smgr(), id);
        trigger->drop();
        trigger->TriggerConditionIndex = static_cast<s32>(TriggerCondition::OnTentaroEvent);
        trigger->ExcludedObjectIDs = (std::to_string(character->getID()) + "|7777").c_str();
        return trigger;
    };
    TriggerObject* seenByGuard = seenBy(500, guard);
    TriggerObject* seenByOther = seenBy(501, other);
    manager->rebuildNodeIDs();
    auto* player = new SeenPlayer(root(), smgr(), 999);
    player->drop();
    player->setPosition({0.0f, 6.0f, -10.0f}); // in front of the guard
    player->updateAbsolutePosition();
    setPlayer(0, player);
    manager->getPlayerSuspicion(0)->age = 3.0f;
    frames(4);
    EXPECT_FALSE(seenByGuard->ConditionMet);
    guard->getVisionCone()->getConeTrigger()->onObjectEnter(player, player->getAbsolutePosition(), nullptr, nullptr,
                                                             nullptr);
    ASSERT_TRUE(runUntilNoticed(guard, 5.0f));
    frame();
    EXPECT_TRUE(seenByGuard->ConditionMet);
    EXPECT_FALSE(seenByOther->ConditionMet) << "the other character has not noticed the player";
}

// A guard on a Protect path stands between its two points where the player is.
TEST_F(CharacterWalkTest, AProtectingCharacterWalksToTheGuardPointAndStopsThere) {
    addPath(10, {{0, 0, 0}, {10, 0, 0}});
    addPlayer({5, 0, 8});
    CharacterObject* c = addCharacter(0, 0, 10, [](io::IAttributes* a) {
        a->addEnum("PathBehavior", "Protect", characterPathBehaviorNames);
    });
    run(0.2f);
    EXPECT_EQ(stateOf(c), CharacterStateId::Walking) << "farther than one unit from the guard point";
    EXPECT_NEAR(c->targetPosition.X, 5.0f, 0.01f);
    run(5.0f);
    EXPECT_EQ(stateOf(c), CharacterStateId::Stopped) << "at the guard point it stops";
    EXPECT_NEAR(c->getControllerPosition().X, 5.0f, 0.75f);
    EXPECT_TRUE(c->isLookingAtPlayer()) << "and watches the player";
    // The player moves on: a guard point 1.2 units away is more than a unit, so it walks.
    test::StubPlayer* player = static_cast<test::StubPlayer*>(getPlayer(0));
    const core::vector3df at = c->getAbsolutePosition();
    ASSERT_LT(std::fabs(at.Z), 0.3f);
    // A guard point under a unit away is near enough: it keeps standing.
    player->setPosition({at.X + 0.9f, 0, 8});
    player->updateAbsolutePosition();
    frames(2);
    EXPECT_EQ(stateOf(c), CharacterStateId::Stopped) << "the guard point moved less than a unit";
    player->setPosition({at.X + 1.2f, 0, 8});
    player->updateAbsolutePosition();
    frames(2);
    EXPECT_EQ(stateOf(c), CharacterStateId::Walking) << "the guard point moved more than a unit";
}

// A looping path of one point is reached once: its events run once and the walker stops.
TEST_F(CharacterWalkTest, ALoopOfOnePointIsReachedOnce) {
    WaypointObject* start = addPath(10, {{0, 0, 0}});
    int runs = 0;
    auto* event = new TriggerEventObject(WaypointObject::getNextWaypoint(start), smgr());
    event->drop();
    event->setAction(new CountingAction(runs));
    CharacterObject* c = addCharacter(0, 4, 10, [](io::IAttributes* a) {
        a->addEnum("PathBehavior", "Loop", characterPathBehaviorNames);
    });
    run(4.0f);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(stateOf(c), CharacterStateId::Stopped);
}

// A reaction plays the named animation when hit from behind and its Backward mirror when
// hit from the front; naming the animation already playing does not start it again; an
// ID of -1 names no path.
TEST_F(CharacterWalkTest, ReactionsFollowTheHitSideAndRenamingTheSameAnimationKeepsItGoing) {
    CharacterObject* c = addCharacter(0, 0, 0, [](io::IAttributes* a) { a->addString("ReactingAnimName", "HitForwardSpin"); });
    c->updateHitSide(c->getAbsolutePosition() + core::vector3df(0, 0, 5)); // its back faces +Z
    EXPECT_EQ(c->getStateAnimationName(CharacterStateId::Reacting), "HitForwardSpin");
    c->updateHitSide(c->getAbsolutePosition() + core::vector3df(0, 0, -5));
    EXPECT_EQ(c->getStateAnimationName(CharacterStateId::Reacting), "HitBackwardSpin");

    ASSERT_EQ(stateOf(c), CharacterStateId::Stopped);
    c->getMeshNode()->setCurrentFrame(50.0f);
    c->setStateAnimationName(CharacterStateId::Stopped, c->StoppedAnimName);
    EXPECT_FLOAT_EQ(c->getMeshNode()->getFrameNr(), 50.0f);
    c->setStateAnimationName(CharacterStateId::Stopped, "TurnAround");
    EXPECT_EQ(c->playingAnimation, "TurnAround") << "a new name starts at once";

    addPath(20, {{0, 0, 0}, {0, 0, -8}});
    CharacterObject* walker = addCharacter(10, 0, 20);
    walker->setParentWaypointID(-1);
    EXPECT_EQ(walker->ParentWaypointID, 20);
}

// A voice line takes its profile sound's behaviour (none named: Other) and subtitle (an ID
// from 1 on); none plays while a level load is pending; a sound heard now and then plays
// about as often as its frequentness.
TEST_F(CharacterWalkTest, VoiceLinesTakeTheirSoundsSettings) {
    const std::string profile = temp.file("Voices.xml");
    std::ofstream(profile)
        << "<CharacterProfile><Animation name=\"WalkingDefault\" state=\"Walking\" startFrame=\"0\" endFrame=\"30\"/>"
           "<Animation name=\"StoppedDefault\" state=\"Stopped\" startFrame=\"31\" endFrame=\"60\"/>"
           "<Sound name=\"Hum\" path=\"Audio/Hum\" behavior=\"Queue\"/>"
           "<Sound name=\"Shout\" path=\"Audio/Shout\" behavior=\"Interrupt\" subtitleID=\"5\"/>"
           "<Sound name=\"Cut\" path=\"Audio/Cut\" behavior=\"InterruptAndQueue\"/>"
           "<Sound name=\"Mutter\" path=\"Audio/Mutter\" subtitleID=\"1\"/>"
           "<Sound name=\"Sneeze\" path=\"Audio/Sneeze\" frequentness=\"0.7\"/>"
           "<Sound name=\"Cough\" path=\"Audio/Cough\" frequentness=\"0.99\"/></CharacterProfile>";
    CharacterObject* c = addCharacter(0, 0, 0, [&](io::IAttributes* a) { a->addString("ProfileName", profile.c_str()); });
    SoundObject* voice = c->getVoice();
    ASSERT_NE(voice, nullptr);
    const struct {
        const char* name;
        s32 mode;
        bool subtitled;
    } rows[] = {{"Hum", SoundObject::Queue, false},
                {"Shout", SoundObject::Interrupt, true},
                {"Mutter", SoundObject::Other, true},
                {"Cut", SoundObject::InterruptAndQueue, false}};
    for (const auto& row : rows) {
        c->playVoice(row.name);
        EXPECT_EQ(voice->VoiceMode, row.mode) << row.name;
        EXPECT_EQ(voice->HasSubtitle, row.subtitled) << row.name;
        EXPECT_EQ(voice->EventName, std::string("Audio/") + row.name);
    }
    EXPECT_EQ(voice->SubtitleID, 0) << "the last line has none";
    manager->loadPending = true;
    c->playVoice("Shout");
    EXPECT_EQ(voice->EventName, "Audio/Cut") << "nothing new while a load is pending";
    manager->loadPending = false;

    int sneezes = 0;
    for (int i = 0; i < 200; ++i) {
        voice->EventName.clear();
        c->playVoice("Sneeze");
        sneezes += voice->EventName == "Audio/Sneeze";
    }
    EXPECT_GT(sneezes, 100);
    EXPECT_LT(sneezes, 180);
    // From a frequentness of 0.99 on a sound always plays; just below, not always.
    seedRandom(5);
    CharacterProfile* sounds = c->getProfile();
    ASSERT_NE(sounds, nullptr);
    for (const f32 frequentness : {0.99f, 0.98f}) {
        sounds->sounds["Cough"][""].frequentness = frequentness;
        int coughs = 0;
        for (int i = 0; i < 1000; ++i) {
            voice->EventName.clear();
            c->playVoice("Cough");
            coughs += voice->EventName == "Audio/Cough";
        }
        EXPECT_EQ(coughs == 1000, frequentness == 0.99f) << frequentness;
    }
}

// Characters' voices with a sound manager on the null output that knows the profile's lines;
// its clock stands still, so a line started plays until it is stopped.
class CharacterVoiceTest : public CharacterWalkTest {
protected:
    void SetUp() override {
        CharacterWalkTest::SetUp();
        sound = std::make_unique<SoundManager>();
        sound->init(); // the lines come from the project below
        audio::EventProject project;
        project.categories = {"voiceovers"};
        for (const char* name : {"Audio/Hum", "Audio/Shout"}) {
            audio::EventDescription line;
            line.name = name;
            line.category = "voiceovers";
            line.length = 2.0f;
            project.events.push_back(line);
        }
        sound->getEventSystem()->load(project);
        sound->getEventSystem()->setClock([] { return 0.0; });
        soundManager = sound.get(); // before the characters: their voices register under their IDs
        profile = temp.file("Voices.xml");
        std::ofstream(profile)
            << "<CharacterProfile><Animation name=\"WalkingDefault\" state=\"Walking\" startFrame=\"0\" endFrame=\"30\"/>"
               "<Animation name=\"StoppedDefault\" state=\"Stopped\" startFrame=\"31\" endFrame=\"60\"/>"
               "<Sound name=\"Hum\" path=\"Audio/Hum\"/>"
               "<Sound name=\"Shout\" path=\"Audio/Shout\" behavior=\"Interrupt\"/></CharacterProfile>";
    }
    void TearDown() override {
        smgr()->clear(); // the voices go before their sound manager
        soundManager = nullptr;
        sound.reset();
        CharacterWalkTest::TearDown();
    }
    CharacterObject* speaker(f32 x) {
        return addCharacter(x, 0, 0, [&](io::IAttributes* a) { a->addString("ProfileName", profile.c_str()); });
    }

    std::unique_ptr<SoundManager> sound;
    std::string profile;
};

// A new line keeps the conversation the voice is in only while the sound registered under
// the voice's owner name plays; a silent one, or none registered, resets it.
TEST_F(CharacterVoiceTest, ANewLineKeepsTheConversationOnlyWhileTheOwnersSoundPlays) {
    auto* reply = new SoundObject(root(), smgr(), -1);
    reply->drop();
    const struct {
        const char* what;
        bool speaking, registered, kept;
    } rows[] = {{"speaking", true, true, true}, {"silent", false, true, false}, {"unregistered", true, false, false}};
    f32 x = 0.0f;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        CharacterObject* c = speaker(x);
        x += 10.0f;
        SoundObject* voice = c->getVoice();
        ASSERT_NE(voice, nullptr);
        ASSERT_EQ(sound->getNamedEntry(voice->getOwnerName().c_str()), voice);
        if (row.speaking) {
            c->playVoice("Hum");
            ASSERT_TRUE(voice->isPlaying());
        }
        if (!row.registered)
            voice->setOwnerName("");
        voice->appendToConversation(reply);
        c->playVoice("Shout");
        EXPECT_EQ(voice->nextInConversation, row.kept ? reply : nullptr);
        EXPECT_TRUE(voice->isPlaying()) << "the new line plays either way";
        EXPECT_EQ(voice->EventName, "Audio/Shout");
    }
}

// A repeated sound (footsteps) is due only in the frame whose step passes a multiple of its
// repeat offset counted from its start frame, and never at or before the start frame.
TEST_F(CharacterWalkTest, ARepeatedSoundIsDueWhenTheFramePassesAMultipleOfItsRepeat) {
    const std::string profile = temp.file("Steps.xml");
    std::ofstream(profile)
        << "<CharacterProfile><Animation name=\"WalkingDefault\" state=\"Walking\" startFrame=\"0\" endFrame=\"100\"/>"
           "<Animation name=\"StoppedDefault\" state=\"Stopped\" startFrame=\"0\" endFrame=\"100\"/>"
           "<Sound name=\"Step\" path=\"Audio/Step\" startFrameOffset=\"10\" repeatFrameOffset=\"8\"/></CharacterProfile>";
    CharacterObject* c = addCharacter(0, 0, 0, [&](io::IAttributes* a) { a->addString("ProfileName", profile.c_str()); });
    SoundObject* voice = c->getVoice();
    ASSERT_NE(voice, nullptr);
    const struct {
        f32 last, now;
        bool due;
    } rows[] = {{17, 18, true}, {16, 17, false}, {18, 19, false}, {25, 26, true}, {24, 25, false},
                {9, 10, false}, {10, 11, false}, {2, 3, false},    {33, 35, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.last << " -> " << row.now);
        voice->EventName.clear();
        c->lastMeshFrame = row.last;
        c->getMeshNode()->setCurrentFrame(row.now);
        c->playVoice("Step");
        EXPECT_EQ(voice->EventName == "Audio/Step", row.due);
    }
}

// While an animator that moves (the game's movers and spinner, the engine's spinner) runs on a
// character, its controller follows the node, on the floor unless gravity is off for
// animators; with any other animator, or a finished one, the node stays on its controller.
TEST_F(CharacterWalkTest, AMovingAnimatorLeadsTheControllerAndOthersDoNot) {
    struct Row {
        const char* what;
        std::function<scene::ISceneNodeAnimator*(CharacterObject*)> add;
        bool leads;
        bool gravity = true;
    } rows[] = {
        {"spinner", [&](CharacterObject* c) { return smgr()->createSceneNodeAnimator("moveRotation", c); }, true},
        {"engine spinner", [&](CharacterObject*) { return smgr()->createRotationAnimator({0, 0, 0}); }, true},
        {"spinner, no gravity", [&](CharacterObject* c) { return smgr()->createSceneNodeAnimator("moveRotation", c); }, true, false},
        {"colour", [&](CharacterObject* c) { return smgr()->createSceneNodeAnimator("animateColor", c); }, false},
        {"finished path rider", [&](CharacterObject* c) {
             scene::ISceneNodeAnimator* ride = smgr()->createSceneNodeAnimator("animateSpline", c);
             static_cast<AnimateSplineAnimator*>(ride)->loop = false;
             static_cast<AnimateSplineAnimator*>(ride)->progress = 1.0f;
             return ride;
         }, false},
    };
    f32 x = 0.0f;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        x += 20.0f;
        CharacterObject* c = addCharacter(x, 0, 0, [&](io::IAttributes* a) {
            a->addBool("ApplyGravityToAnimators", row.gravity);
        });
        frames(3);
        scene::ISceneNodeAnimator* animator = row.add(c);
        ASSERT_NE(animator, nullptr);
        if (animator->getType() == scene::ESNAT_ROTATION)
            c->addAnimator(animator);
        animator->drop();
        const core::vector3df before = c->getControllerPosition();
        c->setPosition(c->getPosition() + core::vector3df(2.0f, 1.0f, 0.0f));
        c->updateAbsolutePosition();
        frame();
        const core::vector3df after = c->getControllerPosition();
        EXPECT_NEAR(after.X, before.X + (row.leads ? 2.0f : 0.0f), 0.05f);
        EXPECT_NEAR(after.Y, before.Y + (row.leads && !row.gravity ? 1.0f : 0.0f), 0.05f);
    }
}

// A waypoint named alone puts the character on that waypoint's path, aiming at it; an ID
// that names no waypoint changes nothing. The cone sits at its named joint, or at the
// character without one.
TEST_F(CharacterWalkTest, ANamedWaypointSetsThePathAndTheTargetAndTheConeSitsAtItsJoint) {
    addPath(10, {{0, 0, 0}, {0, 0, -8}, {8, 0, -8}});
    addPath(20, {{0, 0, 0}, {0, 0, 8}});
    CharacterObject* c = addCharacter(0, 0, 20);
    frames(2);
    c->setWaypoint(999);
    EXPECT_EQ(c->ParentWaypointID, 20);
    c->setWaypoint(12);
    EXPECT_EQ(c->ParentWaypointID, 10);
    auto* second = static_cast<WaypointObject*>(manager->getSceneNodeFromID(12));
    EXPECT_EQ(c->getTargetWaypoint(), second);
    EXPECT_FLOAT_EQ(c->TargetSplineTime, second->Time);

    const core::vector3df head = c->getConeBonePosition();
    EXPECT_EQ(head, c->getMeshNode()->getJointNode("headBaseJt")->getAbsolutePosition());
    EXPECT_GT(head.Y, c->getAbsolutePosition().Y + 1.0f);
    c->ConeBoneName = "noSuchJt";
    EXPECT_EQ(c->getConeBonePosition(), c->getAbsolutePosition());
}

// Outside play (the level as edited) a character stands where it was put, its path unwalked.
TEST_F(CharacterWalkTest, OutsidePlayACharacterDoesNotWalk) {
    addPath(10, {{0, 0, 0}, {0, 0, -12}});
    simulating = false;
    CharacterObject* c = addCharacter(0, 0, 10);
    const core::vector3df at = c->getAbsolutePosition();
    run(1.0f);
    EXPECT_NEAR(c->getAbsolutePosition().Z, at.Z, 1e-3f);
    simulating = true;
    run(1.0f);
    EXPECT_LT(c->getControllerPosition().Z, at.Z - 1.0f) << "in play it walks";
}

// A hidden character hides its cone and lets everything through; shown again, both return.
TEST_F(CharacterWalkTest, AHiddenCharacterHidesItsConeAndTakesNoCollisions) {
    CharacterObject* c = addCharacter(0, 0, 0);
    ASSERT_NE(c->getVisionCone(), nullptr);
    ASSERT_TRUE(c->isCollisionEnabled());
    c->setVisible(false);
    EXPECT_FALSE(c->getVisionCone()->isVisible());
    EXPECT_FALSE(c->isCollisionEnabled());
    c->setVisible(true);
    EXPECT_TRUE(c->getVisionCone()->isVisible());
    EXPECT_TRUE(c->isCollisionEnabled());
}

// On a curved path the walker's goal runs ahead along the curve: it passes near the middle
// point and stops at the last.
TEST_F(CharacterWalkTest, ACurvedPathIsWalkedAlongTheCurveToItsEnd) {
    addPath(10, {{0, 0, 0}, {0, 0, -10}, {10, 0, -10}}, false);
    CharacterObject* c = addCharacter(0, 0, 10, [](io::IAttributes* a) {
        a->addEnum("PathBehavior", "One Way", characterPathBehaviorNames);
    });
    f32 nearestToMiddle = 100.0f;
    for (int i = 0; i < 1200 && stateOf(c) == CharacterStateId::Walking; ++i) {
        frame(0.0167f);
        const core::vector3df at = c->getControllerPosition();
        nearestToMiddle = std::min(nearestToMiddle, core::vector3df(at.X, 0, at.Z).getDistanceFrom({0, 0, -10}));
    }
    EXPECT_EQ(stateOf(c), CharacterStateId::Stopped);
    const core::vector3df end = c->getControllerPosition();
    EXPECT_NEAR(end.X, 10.0f, 1.0f);
    EXPECT_NEAR(end.Z, -10.0f, 1.0f);
    EXPECT_LT(nearestToMiddle, 2.0f);
    EXPECT_GT(c->TargetSplineTime, 0.9f);
}

// A character whose cone sees the player turns its head toward it within its limits (40
// degrees of yaw); beyond them the head keeps its animated pose.
TEST_F(CharacterWalkTest, AWatchingCharacterTurnsItsHeadTowardThePlayerWithinItsLimits) {
    // A Scientist does not turn its body to a player it sees (its sight does not repeat).
    CharacterObject* watcher = addCharacter(0, 0, 0, [](io::IAttributes* a) {
        a->addEnum("CharacterSuspicionType", "Scientist", suspicionCharacterTypeNames);
    });
    CharacterObject* other = addCharacter(40, 0, 0);
    ASSERT_NE(watcher->getVisionCone(), nullptr);
    auto* player = new SeenPlayer(root(), smgr(), 999);
    player->drop();
    player->setPosition({-3.0f, 6.0f, -10.0f}); // ahead, a little to its side
    player->updateAbsolutePosition();
    setPlayer(0, player);
    manager->getPlayerSuspicion(0)->age = 3.0f;
    // The player stands in the watcher's cone: it looks, and notices.
    watcher->getVisionCone()->getConeTrigger()->onObjectEnter(player, player->getAbsolutePosition(), nullptr,
                                                               nullptr, nullptr);
    ASSERT_TRUE(runUntilNoticed(watcher, 5.0f));
    const auto headYaw = [](CharacterObject* c) {
        return c->getMeshNode()->getJointNode("headBaseJt")->getRotation().Y;
    };
    run(2.0f);
    // Angles in degrees apart, the short way round.
    const auto apart = [](f32 a, f32 b) {
        const f32 d = std::fmod(std::fabs(a - b), 360.0f);
        return std::min(d, 360.0f - d);
    };
    EXPECT_GT(apart(headYaw(watcher), headYaw(other)), 5.0f) << "the head follows the player";
    player->setPosition({-20.0f, 6.0f, 0.0f}); // far beyond 40 degrees to its side
    player->updateAbsolutePosition();
    run(3.0f);
    EXPECT_LT(apart(headYaw(watcher), headYaw(other)), 1.0f) << "out of reach the head goes back to its pose";
    // 35 degrees to its side is within reach, 45 beyond it.
    for (const auto& [degrees, reached] : {std::pair{35.0f, true}, {45.0f, false}}) {
        const f32 r = degrees * core::DEGTORAD;
        player->setPosition({-10.0f * std::sin(r), 6.0f, -10.0f * std::cos(r)});
        player->updateAbsolutePosition();
        run(2.0f);
        if (reached)
            EXPECT_GT(apart(headYaw(watcher), headYaw(other)), 30.0f) << degrees;
        else
            EXPECT_LT(apart(headYaw(watcher), headYaw(other)), 1.0f) << degrees;
    }
}

// While a character talks its lip-loop node plays and moves the head joints of its figure.
TEST_F(CharacterWalkTest, ATalkingCharacterShowsItsLipLoop) {
    CharacterObject* c = addCharacter(0, 0, 0);
    ASSERT_NE(c->getLipLoopNode(), nullptr) << "the talking loop mesh loads";
    run(0.1f);
    EXPECT_FALSE(c->getLipLoopNode()->isVisible());
    c->talkingCount = 1;
    run(0.3f);
    EXPECT_TRUE(c->getLipLoopNode()->isVisible());
    const core::vector3df lip = c->getLipLoopNode()->getJointNode("headBaseJt")->getPosition();
    EXPECT_EQ(c->getMeshNode()->getJointNode("headBaseJt")->getPosition(), lip);

    // A profile may name its own talking animation: the lip loop plays that one.
    const std::string profile = temp.file("Talker.xml");
    std::ofstream(profile)
        << "<CharacterProfile><Animation name=\"WalkingDefault\" state=\"Walking\" startFrame=\"0\" endFrame=\"30\"/>"
           "<Animation name=\"StoppedDefault\" state=\"Stopped\" startFrame=\"31\" endFrame=\"60\"/>"
           "<TalkingAnimation path=\"Content/Models/Characters/AniEveryBody.b3d\"/></CharacterProfile>";
    CharacterObject* talker = addCharacter(10, 0, 0, [&](io::IAttributes* a) { a->addString("ProfileName", profile.c_str()); });
    ASSERT_NE(talker->getLipLoopNode(), nullptr);
    EXPECT_EQ(talker->getLipLoopNode()->getMesh(), getGameMesh(smgr(), "Content/Models/Characters/AniEveryBody.b3d"));
    EXPECT_NE(talker->getLipLoopNode()->getMesh(), c->getLipLoopNode()->getMesh());
}

} // namespace

namespace {

// What a character's controller meets while it moves, as the physics dispatch reports it
// through the characters' registration.
class CharacterMeetingTest : public CharacterWorldFixture {
protected:
    // A box standing on the floor at (x, z) in the state; thrown when told.
    PhysicsObject* addCrate(f32 x, f32 z, const char* state, bool turnsDynamicOnTouch = false) {
        return makeObject([&](io::IAttributes* a) {
            a->addVector3d("Position", core::vector3df(x, 1.0f, z));
            a->addEnum("BoundType", "Box", boundTypeNames);
            a->addVector3d("BoxExtents", core::vector3df(2.0f, 2.0f, 2.0f));
            a->addEnum("PhysicsState", state, physicsStateNames);
            a->addBool("TurnDynamicOnTouch", turnsDynamicOnTouch);
        });
    }
    // The push on the body queued by the controller's move, or null.
    const QueuedForce* pushedBy(CharacterObject* character, const core::vector3df& move, PhysicsObject* object) const {
        const std::size_t before = physicsManager->getContinuousForces().size();
        character->moveController(move);
        const std::vector<QueuedForce>& forces = physicsManager->getContinuousForces();
        for (std::size_t i = before; i < forces.size(); ++i)
            if (forces[i].actor == object->getDynamicActor())
                return &forces[i];
        return nullptr;
    }
};

TEST_F(CharacterMeetingTest, OfTwoStoppedCharactersWhoseCapsulesMeetTheOneMeaningToWalkWalksOn) {
    addPath(10, {{0, 0, 0}, {0, 0, -30}});
    struct Row {
        CharacterBehaviourState* otherCurrent;
        CharacterBehaviourState* ownGlobal;
        CharacterBehaviourState* otherGlobal;
        s32 ownAfter, otherAfter;
        const char* what;
    };
    const Row rows[] = {
        {stoppedState(), walkingState(), stoppedState(), CharacterStateId::Walking, CharacterStateId::Stopped,
         "the mover meant to walk"},
        {stoppedState(), stoppedState(), walkingState(), CharacterStateId::Stopped, CharacterStateId::Walking,
         "the one met meant to walk"},
        {stoppedState(), walkingState(), walkingState(), CharacterStateId::Walking, CharacterStateId::Stopped,
         "both meant to: the mover goes first"},
        {stoppedState(), stoppedState(), stoppedState(), CharacterStateId::Stopped, CharacterStateId::Stopped,
         "neither meant to"},
        {walkingState(), walkingState(), walkingState(), CharacterStateId::Stopped, CharacterStateId::Walking,
         "the one met walks already"},
    };
    f32 x = 0.0f;
    for (const Row& row : rows) {
        CharacterObject* own = addCharacter(x, 0, 10);
        CharacterObject* other = addCharacter(x + 5.0f, 0, 10);
        x += 20.0f;
        ASSERT_NE(own->getController(), nullptr);
        ASSERT_NE(other->getController(), nullptr);
        own->stateMachine().current = stoppedState();
        own->stateMachine().global = row.ownGlobal;
        other->stateMachine().current = row.otherCurrent;
        other->stateMachine().global = row.otherGlobal;
        const f32 startX = own->getControllerPosition().X;
        own->moveController({4.0f, 0.0f, 0.0f});
        EXPECT_GT(own->getControllerPosition().X, startX + 0.5f);
        EXPECT_LT(own->getControllerPosition().X, other->getControllerPosition().X - 2.9f) << "the capsules met";
        EXPECT_EQ(stateOf(own), row.ownAfter) << row.what;
        EXPECT_EQ(stateOf(other), row.otherAfter) << row.what;
    }
}

TEST_F(CharacterMeetingTest, AWalkingCharacterPushesAFreeObjectAsideAndReactsToNoTouch) {
    addPlayer({0, 0, 40});
    addPath(10, {{0, 0, 0}, {30, 0, 0}});
    CharacterObject* c = addCharacter(0, 0, 10);
    PhysicsObject* crate = addCrate(5.0f, 0.0f, "Dynamic");
    for (int i = 0; i < 60 && c->Direction.getLengthSQ() == 0.0f; ++i)
        frame(PhysicsManager::fixedStepSize);
    ASSERT_EQ(stateOf(c), CharacterStateId::Walking);
    ASSERT_GT(c->Direction.X, 0.99f) << "it walks toward +X";

    const QueuedForce* push = pushedBy(c, {3.0f, 0.0f, 0.0f}, crate);
    ASSERT_NE(push, nullptr) << "the crate is pushed";
    EXPECT_NEAR(push->vector.x, 900.0f, 1.0f) << "push value 3 x 0.3 x 1000 along the walk";
    EXPECT_NEAR(push->vector.z, 0.0f, 1.0f);
    EXPECT_EQ(stateOf(c), CharacterStateId::Walking) << "a touch is no strike";

    struct Case {
        bool walking, thrown;
        const char* what;
    } const cases[] = {{false, false, "a standing character pushes nothing"},
                       {true, true, "a thrown object is the contact dispatch's to judge"}};
    for (const Case& each : cases) {
        c->teleport({0.0f, 3.2f, 0.0f}, {});
        crate->teleport({5.0f, 1.0f, 0.0f});
        c->stateMachine().current = each.walking ? walkingState() : stoppedState();
        crate->thrown = each.thrown;
        EXPECT_EQ(pushedBy(c, {3.0f, 0.0f, 0.0f}, crate), nullptr) << each.what;
    }
    EXPECT_FLOAT_EQ(manager->getPlayerSuspicion(0)->pendingValue, 0.0f);
}

TEST_F(CharacterMeetingTest, AKinematicObjectMetByAController) {
    addPlayer({0, 0, 40});
    addPath(10, {{0, 0, 0}, {30, 0, 0}});
    CharacterObject* c = addCharacter(0, 0, 10);
    PhysicsObject* platform = addCrate(5.0f, 0.0f, "Kinematic", true);
    c->stateMachine().current = walkingState();
    c->Direction.set(1.0f, 0.0f, 0.0f);
    EXPECT_EQ(pushedBy(c, {3.0f, 0.0f, 0.0f}, platform), nullptr) << "a kinematic object takes no push";
    EXPECT_LT(c->getControllerPosition().X, 3.0f) << "the platform stopped the capsule";
    frames(3);
    EXPECT_EQ(platform->getPhysicsState(), PhysicsState::Kinematic) << "a controller's touch turns nothing dynamic";
}

} // namespace

namespace {

using CharacterAnimatorTest = CharacterWorldFixture;

// animateFrame on a character takes the range of the named animation from the character's
// profile, which the profile cache made through the characters' registration.
TEST_F(CharacterAnimatorTest, AnimateFrameTakesANamedRangeFromTheCharactersProfile) {
    CharacterObject* c = addCharacter(0, 0, 0);
    ASSERT_NE(c->getProfile(), nullptr);
    scene::IAnimatedMeshSceneNode* mesh = c->getMeshNode();
    ASSERT_NE(mesh, nullptr);
    const std::pair<s32, s32> walking = c->getProfile()->findAnimation("WalkingDefault");
    ASSERT_NE(walking.second, 0);
    struct Row {
        const char* name;
        s32 start, end;
        s32 expectedStart, expectedEnd;
        const char* what;
    } const rows[] = {
        {"WalkingDefault", 1, 5, walking.first, walking.second, "the profile's range, not the frames"},
        {"NoSuchAnimation", 1, 5, 20, 30, "a name the profile lacks changes nothing"},
        {"", 1, 5, 1, 5, "no name: the frames"},
        {"W", 2, 6, 2, 6, "a one-letter name counts as none"},
    };
    for (const Row& row : rows) {
        mesh->setFrameLoop(20, 30);
        auto* animator = new AnimateFrameAnimator();
        io::IAttributes* a = newAttributes();
        a->addBool("Enabled", true);
        a->addString("CharAnimationName", row.name);
        a->addInt("StartFrame", row.start);
        a->addInt("EndFrame", row.end);
        animator->deserializeAttributes(a);
        a->drop();
        animator->animateNode(c, 0);
        animator->drop();
        EXPECT_EQ(mesh->getStartFrame(), row.expectedStart) << row.what;
        EXPECT_EQ(mesh->getEndFrame(), row.expectedEnd) << row.what;
    }
}

} // namespace
