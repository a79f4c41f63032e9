// Joints, doors, ties and cloth in the running game (null driver): the joint demonstration
// level's chain hangs from its anchor; in the tie demonstration level a falling ball swings
// the door, a tie collected by a direct grab call is saved, counted for the level select and
// plays its cutscene (once recorded however often it is grabbed), and a banner hangs from its
// bar.
#include "GameFixture.h"

#include "camera/CutsceneObject.h"
#include "core/GameApplication.h"
#include "core/Globals.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "physics/joints/JointObject.h"
#include "physics/special/AdvancedPhysicsObject.h"
#include "physics/special/TieObject.h"
#include "screens/ScreenManager.h"

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

using MechanismsGameTest = GameFixture;

scene::ISceneNode* named(const char* name) { return gameDevice->getSceneManager()->getSceneNodeFromName(name); }

TEST_F(MechanismsGameTest, TheChainHangsFromItsAnchorInTheRunningGame) {
    steps[2] = [] {
        screenManager->closeAllScreens();
        EXPECT_TRUE(levelManager->loadLevel("Content/Levels/JointDemo.irr"));
    };
    bool live = false;
    f32 lowest = 100.0f;
    for (int at = 5; at < 150; ++at)
        steps[at] = [&] {
            auto* joint = static_cast<JointObject*>(named("ChainJoint2"));
            PhysicsObject* link = asPhysicsObject(named("Link2"));
            ASSERT_TRUE(joint && link);
            live = joint->isJointLive();
            lowest = std::min(lowest, link->getAbsolutePosition().Y);
        };
    quitAt(150);
    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    EXPECT_TRUE(live);
    EXPECT_LT(lowest, 8.5f);
    EXPECT_GT(lowest, 5.0f);
}

TEST_F(MechanismsGameTest, ADoorSwingsATieIsCollectedAndABannerHangsInTheRunningGame) {
    constexpr const char* level = "Content/Levels/TieDemo.irr";
    steps[2] = [] {
        screenManager->closeAllScreens();
        EXPECT_TRUE(levelManager->loadLevel(level));
    };
    f32 widest = 0.0f;
    for (int at = 5; at < 200; ++at)
        steps[at] = [&] {
            auto* door = static_cast<AdvancedPhysicsObject*>(named("Door"));
            ASSERT_NE(door, nullptr);
            ASSERT_NE(door->getDoorJoint(), nullptr);
            const phys::Quat turn = door->getActor()->getGlobalPose().q;
            widest = std::max(widest, std::fabs(2.0f * std::asin(std::min(1.0f, std::fabs(turn.y)))) * 57.29578f);
        };
    bool cutsceneRan = false, counted = false;
    s32 records = 0;
    steps[60] = [&] {
        auto* tie = static_cast<TieObject*>(named("Tie"));
        ASSERT_NE(tie, nullptr);
        tie->notifyGrab(true, core::vector3df());
        tie->notifyGrab(false, core::vector3df());
        tie->notifyGrab(true, core::vector3df());
        auto* cutscene = static_cast<CutsceneObject*>(levelManager->getSceneNodeFromID(TieObject::cutsceneID));
        cutsceneRan = cutscene && cutscene->isRunning();
        records = static_cast<s32>(saveManager->getGroup(SaveManager::Ties)->getAttributeCount());
        counted = levelManager->tieTable.isLevelTieCollected(L"Content/Levels/TieDemo.irr", 0);
    };
    bool hidden = false;
    f32 bannerLow = 100.0f;
    steps[199] = [&] {
        hidden = !named("Tie")->isVisible();
        PhysicsObject* banner = asPhysicsObject(named("Banner"));
        ASSERT_TRUE(banner && banner->getCloth());
        for (const core::vector3df& p : banner->body().clothPositions)
            bannerLow = std::min(bannerLow, p.Y);
    };
    quitAt(200);
    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    EXPECT_GT(widest, 10.0f) << "the ball swung the door";
    EXPECT_LT(widest, 95.0f);
    EXPECT_TRUE(cutsceneRan);
    EXPECT_EQ(records, 1);
    EXPECT_TRUE(counted) << "the level select counts the tie";
    EXPECT_TRUE(hidden) << "two seconds later the tie is gone";
    EXPECT_LT(bannerLow, 3.0f) << "the banner hangs below its bar";
    for (const std::string& line : logLines())
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
}

} // namespace
