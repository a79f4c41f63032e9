// Joints, doors, ties and cloth in the running game (null driver): the joint demonstration
// level's chain hangs from its anchor; in the tie demonstration level a falling ball swings
// the door, a tie collected by a direct grab call is saved, counted for the level select and
// plays its cutscene (once recorded however often it is grabbed), and a banner hangs from its
// bar.
#include "GameFixture.h"

#include "camera/CutsceneObject.h"
#include "core/app/GameApplication.h"
#include "core/Globals.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "physics/joints/JointObject.h"
#include "physics/special/AdvancedPhysicsObject.h"
#include "physics/special/TieObject.h"
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

} // namespace
