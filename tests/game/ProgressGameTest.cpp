// Objectives and the level's progress in the whole game on the null driver.
#include "GameFixture.h"

#include "core/app/GameApplication.h"
#include "core/Globals.h"
#include "core/SoundManager.h"
#include "gui/hud/GUINotification.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "level/VariableObject.h"
#include "physics/objects/PhysicsObject.h"
#include "screens/ScreenManager.h"
#include "triggers/TriggerAction.h"

namespace {

using ProgressGameTest = GameFixture;

// Objectives and progress in the running game: every action of the level's progress and
// looks is registered, and the objectives demonstration level's timed events reveal,
// activate, complete, swap and replace objectives on the objective list, add to a variable
// and to a count in the save, pop up a notification and change a crate's material and
// another's mesh.
TEST_F(ProgressGameTest, TheObjectivesDemoLevelDrivesItsObjectivesAndProgressByActions) {
    auto find = [](irr::s32 id) { return levelManager->getSceneNodeFromID(id); };
    waitFor("the demo level", titleShown, [&] {
        for (irr::s32 type : {3, 4, 7, 14, 17, 18, 19, 23, 25, 26, 28})
            EXPECT_TRUE(isTriggerActionClassRegistered(type)) << triggerActionNames[type];
        screenManager->closeAllScreens();
        levelManager->unloadLevel(); // the title's background level goes
        ASSERT_TRUE(levelManager->loadLevel("Content/Levels/ObjectivesDemo.irr"));
    });
    // The last timed event turns the second crate into a barrel.
    const auto lastEventDone = [&] {
        auto* changed = static_cast<PhysicsObject*>(find(3));
        return changed && changed->getMeshNode() &&
               changed->getMeshNode()->getMesh() ==
                   gameDevice->getSceneManager()->getMeshCache()->getMeshByName("Content/Models/Props/Barrel.obj");
    };
    waitFor("the timed events acted", lastEventDone, [&] {
        std::vector<irr::s32> listed;
        for (const ObjectiveEntry& entry : levelManager->objectives.getEntries())
            listed.push_back(entry.id);
        EXPECT_EQ(listed, (std::vector<irr::s32>{10, 11, 12}));
        const auto& entries = levelManager->objectives.getEntries();
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_FALSE(entries[0].revealed) << "the bell was swapped for the gate";
        EXPECT_TRUE(entries[1].completed);
        EXPECT_TRUE(entries[2].revealed);
        EXPECT_EQ(entries[2].textID, L"Escape") << "the gate took the escape objective's text";
        EXPECT_FLOAT_EQ(static_cast<VariableObject*>(find(20))->Value, 5.0f);
        ASSERT_NE(saveManager, nullptr);
        EXPECT_EQ(saveManager->getModeGroup(true)->getAttributeAsInt("ObjectivesDemoVisits"), 1) << "a new count starts at 0";
        ASSERT_EQ(screenManager->getActiveNotifications().size(), 1u);
        EXPECT_EQ(screenManager->getActiveNotifications().front()->getNotificationName(), "Objective");
        auto* tinted = static_cast<PhysicsObject*>(find(2));
        EXPECT_EQ(tinted->getMaterial(0).DiffuseColor, irr::video::SColor(0xff804000));
        EXPECT_EQ(soundManager->getCurrentSong(), "Zivoraroz/tentaro2/levels/MainMenu/SongMainMenu");
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

} // namespace
