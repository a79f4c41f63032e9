// Joints, doors, ties and cloth in the running game (null driver): the joint demonstration
// level's chain hangs from its anchor; in the tie demonstration level a falling ball swings
// the door, a tie collected by a direct grab call is saved, counted for the level select and
// plays its cutscene (once recorded however often it is grabbed), and a banner hangs from its
// bar. The shed's gold pot, knocked down by the neighbour in the watched yard, raises
// suspicion by a splat that flies into the meter, and the neighbour stops and looks round;
// in the character level two stopped characters meet and the one that meant to walk walks on.
#include "GameFixture.h"

#include "camera/CutsceneObject.h"
#include "characters/CharacterObject.h"
#include "characters/CharacterStates.h"
#include "characters/SuspicionMeter.h"
#include "core/app/GameApplication.h"
#include "core/Globals.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "physics/joints/JointObject.h"
#include "physics/special/AdvancedPhysicsObject.h"
#include "physics/special/TieObject.h"
#include "gui/hud/GUIHud.h"
#include "gui/hud/GUISplat.h"
#include "screens/ScreenManager.h"

#include <algorithm>
#include <cmath>
#include <utility>

using namespace irr;

namespace {

using MechanismsGameTest = GameFixture;

scene::ISceneNode* named(const char* name) { return gameDevice->getSceneManager()->getSceneNodeFromName(name); }

TEST_F(MechanismsGameTest, TheChainHangsFromItsAnchorInTheRunningGame) {
    bool loaded = false;
    waitFor("the joint level", titleShown, [&] {
        screenManager->closeAllScreens();
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/JointDemo.irr"));
        loaded = true;
    });
    bool live = false;
    f32 lowest = 100.0f, height = 100.0f, lastHeight = 100.0f;
    everyFrame = [&] {
        if (!loaded)
            return;
        auto* joint = static_cast<JointObject*>(named("ChainJoint2"));
        PhysicsObject* link = asPhysicsObject(named("Link2"));
        ASSERT_TRUE(joint && link);
        live = joint->isJointLive();
        height = link->getAbsolutePosition().Y;
        lowest = std::min(lowest, height);
    };
    // The chain has swung down through its lowest point (it rises again or hangs still).
    waitFor("the chain swung down", [&] {
        const bool still = std::fabs(height - std::exchange(lastHeight, height)) < 1e-3f;
        return lowest < 8.5f && (stableFor(still, 30) || height > lowest + 0.05f);
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_TRUE(live);
    EXPECT_LT(lowest, 8.5f);
    EXPECT_GT(lowest, 5.0f);
}

TEST_F(MechanismsGameTest, ADoorSwingsATieIsCollectedAndABannerHangsInTheRunningGame) {
    constexpr const char* level = "Content/Levels/TieDemo.irr";
    bool loaded = false;
    waitFor("the tie level", titleShown, [&] {
        screenManager->closeAllScreens();
        ASSERT_TRUE(levelManager->loadLevel(level));
        loaded = true;
    });
    f32 widest = 0.0f;
    everyFrame = [&] {
        if (!loaded)
            return;
        auto* door = static_cast<AdvancedPhysicsObject*>(named("Door"));
        ASSERT_NE(door, nullptr);
        ASSERT_NE(door->getDoorJoint(), nullptr);
        const phys::Quat turn = door->getActor()->getGlobalPose().q;
        widest = std::max(widest, std::fabs(2.0f * std::asin(std::min(1.0f, std::fabs(turn.y)))) * 57.29578f);
    };
    bool cutsceneRan = false, counted = false;
    s32 records = 0;
    waitFor("the ball swung the door", [&] { return widest > 10.0f; }, [&] {
        auto* tie = static_cast<TieObject*>(named("Tie"));
        ASSERT_NE(tie, nullptr);
        tie->notifyGrab(true, core::vector3df());
        tie->notifyGrab(false, core::vector3df());
        tie->notifyGrab(true, core::vector3df());
        auto* cutscene = static_cast<CutsceneObject*>(levelManager->getSceneNodeFromID(TieObject::cutsceneID));
        cutsceneRan = cutscene && cutscene->isRunning();
        records = static_cast<s32>(saveManager->getGroup(SaveManager::Ties)->getAttributeCount());
        counted = levelManager->tieTable.isLevelTieCollected(L"Content/Levels/TieDemo.irr", 0);
    });
    f32 bannerLow = 100.0f;
    // A grabbed tie goes a moment later.
    waitFor("the tie gone", [] { return !named("Tie")->isVisible(); }, [&] {
        PhysicsObject* banner = asPhysicsObject(named("Banner"));
        ASSERT_TRUE(banner && banner->getCloth());
        for (const core::vector3df& p : banner->body().clothPositions)
            bannerLow = std::min(bannerLow, p.Y);
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_LT(widest, 95.0f);
    EXPECT_TRUE(cutsceneRan);
    EXPECT_EQ(records, 1);
    EXPECT_TRUE(counted) << "the level select counts the tie";
    EXPECT_LT(bannerLow, 3.0f) << "the banner hangs below its bar";
    for (const std::string& line : logLines())
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
}

// The gold pot glows gold until the neighbour's yard watches it fall: the raise starts a splat
// at the pot, the pot flashes, the splat flies into the meter and adds its amount, and the
// neighbour has stopped to look at the pot, playing his profile's look-round animation.
TEST_F(MechanismsGameTest, TheShedsGoldPotFallsByTheNeighbourAndSplatsIntoTheMeter) {
    bool loaded = false;
    waitFor("the shed", titleShown, [&] {
        screenManager->closeAllScreens();
        levelManager->unloadLevel();
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/Story_Shed.irr"));
        loaded = true;
    });
    const f32 raise = gameDifficulty >= 2 ? 50.0f : 25.0f;
    SuspicionMeter* meter = nullptr;
    f32 pending = 0.0f;
    s32 modeBefore = -1;
    bool flashed = false, splatFlew = false;
    everyFrame = [&] {
        if (!loaded)
            return;
        meter = levelManager->getPlayerSuspicion(0);
        PhysicsObject* pot = asPhysicsObject(levelManager->getSceneNodeFromID(3016));
        ASSERT_TRUE(meter && pot);
        pending = meter->pendingValue;
        if (pending == 0.0f)
            modeBefore = pot->mesh().highlightMode;
        flashed = flashed || pot->mesh().highlightMode == 5;
        for (GUISplat* splat : screenManager->getHud()->getSplats())
            splatFlew = splatFlew || (splat->isVisible() && splat->isFlying());
    };
    waitFor("the splat landed in the meter", [&] { return meter && meter->value >= raise; }, [&] {
        auto* neighbour = asCharacter(levelManager->getSceneNodeFromID(3600));
        ASSERT_NE(neighbour, nullptr);
        EXPECT_EQ(neighbour->stateMachine().currentID(), CharacterStateId::Stopped);
        EXPECT_EQ(neighbour->getLookTarget(), levelManager->getSceneNodeFromID(3016));
        EXPECT_EQ(neighbour->getMeshNode()->getStartFrame(), 61) << "the profile's IdleLookAround";
        EXPECT_EQ(neighbour->getMeshNode()->getEndFrame(), 90);
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_EQ(modeBefore, 6) << "gold";
    EXPECT_TRUE(flashed) << "the suspicion flash";
    EXPECT_TRUE(splatFlew);
    EXPECT_FLOAT_EQ(pending, raise) << "one raise";
    for (const std::string& line : logLines())
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
}

// The walker runs into the bystander in the narrow way and stops; when their capsules meet
// with both stopped, the walker (who meant to walk) is put back to walking at once (the state
// set directly: the machine's previous state stays Walking), while the bystander stands.
TEST_F(MechanismsGameTest, OfTwoStoppedCharactersWhoMeetTheOneThatMeantToWalkWalksOn) {
    bool loaded = false;
    waitFor("the character level", titleShown, [&] {
        screenManager->closeAllScreens();
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/CharacterDemo.irr"));
        loaded = true;
    });
    CharacterObject* walker = nullptr;
    CharacterObject* bystander = nullptr;
    bool stoppedAgainstHim = false, walkedOn = false;
    s32 bystanderThen = -1;
    everyFrame = [&] {
        if (!loaded)
            return;
        walker = asCharacter(named("Walker"));
        bystander = asCharacter(named("Bystander"));
        ASSERT_TRUE(walker && bystander);
        const CharacterStateMachine& machine = walker->stateMachine();
        const bool near = walker->getControllerPosition().getDistanceFrom(bystander->getControllerPosition()) < 3.5f;
        if (machine.currentID() == CharacterStateId::Stopped && near)
            stoppedAgainstHim = true;
        else if (stoppedAgainstHim && !walkedOn && machine.currentID() == CharacterStateId::Walking &&
                 machine.previous == walkingState()) {
            walkedOn = true;
            bystanderThen = bystander->stateMachine().currentID();
        }
    };
    waitFor("the walker walked on", [&] { return walkedOn; });
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_TRUE(bystanderThen == CharacterStateId::Stopped || bystanderThen == CharacterStateId::Idle)
        << "the bystander stood: " << bystanderThen;
}

} // namespace
