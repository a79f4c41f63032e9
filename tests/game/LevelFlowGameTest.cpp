// The end of a level in the running game: a level's End Level action loads the next story
// level in a story run, returns to the main menu from the story select, shows the thanks
// splash in demo mode, and records the level's time in the save; the trigger-control and
// level-flow actions are registered by the game's registration.
#include "GameFixture.h"

#include "core/GameApplication.h"
#include "core/Globals.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "screens/ScreenManager.h"
#include "triggers/TriggerAction.h"

#include <fstream>

using namespace irr;

namespace {

constexpr const char* endingLevelFile = "EndLevelTest.irr";
constexpr const char* nextStoryLevel = "Content/Levels/Story_Garden.irr";

// A level whose "Immediately" trigger ends it a second after it starts.
void writeEndingLevel() {
    std::ofstream(endingLevelFile) << R"(<?xml version="1.0"?>
<irr_scene>
  <attributes><string name="Name" value="EndLevelTest" /></attributes>
  <node type="TriggerObject">
    <attributes>
      <string name="Name" value="Finish" />
      <int name="Id" value="10" />
      <enum name="TriggerCondition" value="Immediately" />
    </attributes>
    <node type="TriggerEventObject">
      <attributes>
        <string name="Name" value="EndIt" />
        <float name="EventDelay" value="1.000000" />
        <enum name="OnTriggerEvent" value="End Level" />
        <string name="NextLevel" value="Content/Levels/Story_Garden.irr" />
        <enum name="TransitionType" value="Fade to Black" />
        <float name="HoldLength" value="0.000000" />
        <bool name="SaveLevelLength" value="true" />
      </attributes>
    </node>
  </node>
</irr_scene>
)";
}

class LevelFlowGameTest : public GameFixture {
protected:
    // Plays the ending level in the play mode (demo mode as given) for 300 frames, then
    // quits; what happened is read afterwards.
    void playEndingLevel(s32 playMode, bool demo) {
        writeEndingLevel();
        steps[2] = [this, playMode, demo] {
            for (s32 type : {11, 12, 13, 24, 2, 5, 15, 16, 20, 21, 27})
                EXPECT_TRUE(isTriggerActionClassRegistered(type)) << triggerActionNames[type];
            screenManager->closeAllScreens();
            levelManager->unloadLevel();
            ASSERT_TRUE(levelManager->loadLevel(endingLevelFile));
            levelManager->PlayMode = playMode;
            demoMode = demo;
        };
        for (int f = 3; f < 300; ++f)
            steps[f] = [this] {
                if (levelManager->getCurrentLevelPath() == core::stringw(nextStoryLevel))
                    reachedNext = true;
                for (GUIScreen* screen : screenManager->getScreenStack())
                    splashShown = splashShown || std::string(screen->getTypeName()) == "GUISplashScreen";
                levelTime = std::max(levelTime, saveManager->getBestLevelTime(L"EndLevelTest.irr"));
            };
        quitAt(300);
        GameApplication game;
        EXPECT_EQ(game.run(), gameStatusNormal);
        for (const std::string& line : logLines()) {
            EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
            returnedToMenu = returnedToMenu || line == "Return to Main Menu.";
            ended = ended || line == std::string("Ending Level, transitioning to: ") + nextStoryLevel;
        }
    }

    bool reachedNext = false, returnedToMenu = false, splashShown = false, ended = false;
    f32 levelTime = 0.0f;
};

TEST_F(LevelFlowGameTest, AStoryRunGoesOnToTheNextStoryLevelAndKeepsTheLevelsTime) {
    playEndingLevel(LevelManager::playModeStory, false);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(reachedNext);
    EXPECT_FALSE(returnedToMenu);
    EXPECT_GT(levelTime, 0.9f) << "about the second before the action ran";
    EXPECT_LT(levelTime, 2.0f);
}

TEST_F(LevelFlowGameTest, FromTheStorySelectTheLevelReturnsToTheMainMenu) {
    playEndingLevel(LevelManager::playModeStoryMenu, false);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(returnedToMenu);
    EXPECT_FALSE(reachedNext);
}

TEST_F(LevelFlowGameTest, InDemoModeTheThanksSplashShows) {
    playEndingLevel(LevelManager::playModeStory, true);
    EXPECT_TRUE(splashShown);
    EXPECT_FALSE(reachedNext);
}

} // namespace
