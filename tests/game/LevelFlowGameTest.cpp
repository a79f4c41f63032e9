// The end of a level in the running game: a level's End Level action loads the next story
// level in a story run behind a circle wipe over the loading picture, returns to the main
// menu from the story select behind a black circle wipe, shows the thanks splash in demo
// mode, and records the level's time in the save; the trigger-control and
// level-flow actions are registered by the game's registration. A level named on the command
// line, and its restart, lift their cover only once the level's own camera has drawn.
#include "GameFixture.h"
#include "camera/CameraManager.h"
#include "camera/CameraObject.h"

#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/Utf8.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "level/LevelEvents.h"
#include "level/LoadingOverlay.h"
#include "level/VariableObject.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIPauseScreen.h"
#include "triggers/TriggerAction.h"
#include "triggers/TriggerEventObject.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

using namespace irr;

namespace {

constexpr const char* endingLevelFile = "EndLevelTest.irr";
constexpr const char* nextStoryLevel = "Content/Levels/Story_Garden.irr";

// A level whose "Immediately" trigger ends it a second after it starts, with the transition,
// for the next level.
void writeEndingLevel(const char* transition = "Fade to Black", const char* next = nextStoryLevel) {
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
        <string name="NextLevel" value=")" << next << R"(" />
        <enum name="TransitionType" value=")" << transition << R"(" />
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
    // Plays the ending level in the play mode (demo mode as given) until the outcome the test
    // waits for, then quits; what happened is read afterwards.
    void playEndingLevel(s32 playMode, bool demo, const char* outcomeName, std::function<bool()> outcome,
                         const char* transition = "Fade to Black", const char* next = nextStoryLevel) {
        writeEndingLevel(transition, next);
        bool loaded = false;
        waitFor("the ending level", titleShown, [playMode, demo, &loaded] {
            for (s32 type : {11, 12, 13, 24, 2, 5, 15, 16, 20, 21, 27})
                EXPECT_TRUE(isTriggerActionClassRegistered(type)) << triggerActionNames[type];
            screenManager->closeAllScreens();
            levelManager->unloadLevel();
            ASSERT_TRUE(levelManager->loadLevel(endingLevelFile));
            levelManager->PlayMode = playMode;
            demoMode = demo;
            loaded = true;
        });
        everyFrame = [this, &loaded] {
            if (!loaded)
                return;
            if (levelManager->getCurrentLevelPath() == core::stringw(nextStoryLevel))
                reachedNext = true;
            for (GUIScreen* screen : screenManager->getScreenStack())
                splashShown = splashShown || std::string(screen->getTypeName()) == "GUISplashScreen";
            levelTime = std::max(levelTime, saveManager->getBestLevelTime(L"EndLevelTest.irr"));
            // The kind of cover that closed over the level.
            const LoadingOverlay& overlay = levelManager->loadingOverlay;
            if (overlay.fadeValue >= 0.99f)
                coveredBy = overlay.mode;
        };
        waitFor(outcomeName, std::move(outcome));
        ASSERT_NO_FATAL_FAILURE(playGame());
        for (const std::string& line : logLines()) {
            EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
            returnedToMenu = returnedToMenu || line == "Return to Main Menu.";
            ended = ended || line == std::string("Ending Level, transitioning to: ") + nextStoryLevel;
        }
    }
    bool loggedReturnToMenu() const {
        const std::vector<std::string> lines = logLines();
        return std::find(lines.begin(), lines.end(), "Return to Main Menu.") != lines.end();
    }

    // The title level and the main menu over it, faded in and uncovered.
    static bool atTheMainMenu() {
        const auto& stack = screenManager->getScreenStack();
        return levelManager->getCurrentLevelPath() == core::stringw(titleBackgroundLevel) &&
               levelManager->getLevelEvents().empty() && !levelManager->loadingOverlay.isBusy() && stack.size() == 2u &&
               std::string(stack[1]->getTypeName()) == "GUIMainScreen" && stack[0]->getFadeState() == GUIScreen::Shown;
    }
    static std::size_t countLines(const std::vector<std::string>& lines, const std::string& wanted) {
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), wanted));
    }
    // The ending level in a story run, its end already queued (its script's delay put off),
    // and the pause menu opened over it.
    void endThenPause() {
        writeEndingLevel();
        waitFor("the ending level, ended, paused", titleShown, [] {
            screenManager->closeAllScreens();
            levelManager->unloadLevel();
            ASSERT_TRUE(levelManager->loadLevel(endingLevelFile));
            levelManager->PlayMode = LevelManager::playModeStory;
            auto* endIt =
                dynamic_cast<TriggerEventObject*>(gameDevice->getSceneManager()->getSceneNodeFromName("EndIt"));
            ASSERT_NE(endIt, nullptr);
            endIt->EventDelay = 1000.0f;
            TriggerEventInfo event;
            endIt->getAction()->execute(event);
            screenManager->setPauseScreenVisible(true);
        });
        everyFrame = [this] {
            if (levelManager->getCurrentLevelPath() == core::stringw(nextStoryLevel))
                reachedNext = true;
        };
        // Long enough for the level end to have run, had the pause not held it.
        waitFor("the pause holds the level end", [this] {
            const auto& events = levelManager->getLevelEvents();
            return stableFor(shownOnTop(screenManager->getPauseScreen()) && !events.empty() &&
                                 events.front()->getType() == LET_Transition && !levelManager->loadingOverlay.isBusy() &&
                                 levelManager->getCurrentLevelPath() == core::stringw(endingLevelFile),
                             60);
        }, {}, 20.0);
    }

    bool reachedNext = false, returnedToMenu = false, splashShown = false, ended = false;
    s32 coveredBy = -1;
    f32 levelTime = 0.0f;
};

TEST_F(LevelFlowGameTest, AStoryRunGoesOnToTheNextStoryLevelAndKeepsTheLevelsTime) {
    ASSERT_NO_FATAL_FAILURE(
        playEndingLevel(LevelManager::playModeStory, false, "the next story level", [this] { return reachedNext; },
                        "Circle Wipe Image"));
    EXPECT_TRUE(ended);
    EXPECT_EQ(coveredBy, LoadingOverlay::CircleWipeImage);
    EXPECT_FALSE(returnedToMenu);
    EXPECT_GT(levelTime, 0.9f) << "about the second before the action ran";
    EXPECT_LT(levelTime, 2.0f);
}

TEST_F(LevelFlowGameTest, FromTheStorySelectTheLevelReturnsToTheMainMenu) {
    ASSERT_NO_FATAL_FAILURE(playEndingLevel(LevelManager::playModeStoryMenu, false, "the return to the main menu",
                                            [this] { return loggedReturnToMenu(); }, "Circle Wipe Black"));
    EXPECT_TRUE(ended);
    EXPECT_EQ(coveredBy, LoadingOverlay::CircleWipeBlack);
    EXPECT_FALSE(reachedNext);
}

TEST_F(LevelFlowGameTest, InDemoModeTheThanksSplashShows) {
    ASSERT_NO_FATAL_FAILURE(
        playEndingLevel(LevelManager::playModeStory, true, "the thanks splash", [this] { return splashShown; }));
    EXPECT_FALSE(reachedNext);
}

// The player quits a level in the moment its script ends it: the level, already being left,
// does not end a second time (in demo mode its thanks splash would return to the main menu
// once more, over the title level, and leave the menu covered for good), and the game
// arrives at the main menu.
TEST_F(LevelFlowGameTest, ALevelBeingLeftDoesNotEndAgain) {
    writeEndingLevel();
    TriggerEventObject* endIt = nullptr;
    waitFor("the main menu", atTheMainMenu, [&] {
        // Played from the story select, in demo mode.
        screenManager->closeAllScreens();
        levelManager->unloadLevel();
        ASSERT_TRUE(levelManager->loadLevel(endingLevelFile));
        levelManager->PlayMode = LevelManager::playModeStoryMenu;
        demoMode = true;
        endIt = dynamic_cast<TriggerEventObject*>(gameDevice->getSceneManager()->getSceneNodeFromName("EndIt"));
        ASSERT_NE(endIt, nullptr);
        endIt->EventDelay = 1000.0f; // it ends when the test says
        screenManager->setPauseScreenVisible(true);
    });
    waitFor("the pause menu", [] { return shownOnTop(screenManager->getPauseScreen()); }, [] {
        irr::s32 yes = 1;
        screenManager->getPauseScreen()->onQuitAnswer(yes);
    });
    // The menus are cleared; the return to the main menu runs in the next frame.
    waitFor("the quit's return waits", [] {
        const auto& events = levelManager->getLevelEvents();
        return !events.empty() && events.front()->getType() == LET_ReturnToMainMenu;
    }, [&] {
        endIt = dynamic_cast<TriggerEventObject*>(gameDevice->getSceneManager()->getSceneNodeFromName("EndIt"));
        ASSERT_NE(endIt, nullptr) << "the level is still there";
        TriggerEventInfo event;
        endIt->getAction()->execute(event);
    });
    waitFor("the main menu again, uncovered", atTheMainMenu, {}, 20.0);
    ASSERT_NO_FATAL_FAILURE(playGame());
    for (const std::string& line : logLines())
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
}

// A level end queued just before the pause waits for the pause to be left: Resume lets it
// run, and the bar of the next level's load only fills on the way (it starts empty under the
// cover, not full from the load before).
TEST_F(LevelFlowGameTest, APauseHoldsALevelEndUntilResume) {
    std::vector<f32> bar; // while the overlay covers or uncovers
    ASSERT_NO_FATAL_FAILURE(endThenPause());
    waitFor("resume", [] { return true; }, [] { screenManager->getPauseScreen()->onResume(nullptr); });
    const auto watchPlay = everyFrame;
    everyFrame = [&bar, watchPlay] {
        watchPlay();
        if (levelManager->loadingOverlay.isBusy())
            bar.push_back(levelManager->loadingOverlay.getProgress());
    };
    waitFor("the next story level, uncovered", [this] {
        return reachedNext && levelManager->getLevelEvents().empty() && !levelManager->loadingOverlay.isBusy();
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    ASSERT_FALSE(bar.empty());
    EXPECT_FLOAT_EQ(bar.front(), 0.0f);
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    EXPECT_FLOAT_EQ(bar.back(), 1.0f);
}

// Quit from that pause: the level end the pause held gives way, and the game goes straight
// to the main menu; the level stays dimmed until the cover has closed over it.
TEST_F(LevelFlowGameTest, QuitFromThePauseDropsTheHeldLevelEnd) {
    ASSERT_NO_FATAL_FAILURE(endThenPause());
    int openFrames = 0; // the level shown neither dimmed nor covered
    waitFor("quit", [] { return true; }, [this, &openFrames] {
        irr::s32 yes = 1;
        screenManager->getPauseScreen()->onQuitAnswer(yes);
        everyFrame = [&openFrames, watchPlay = everyFrame] {
            watchPlay();
            openFrames += levelManager->getCurrentLevelPath() == core::stringw(endingLevelFile) &&
                          screenManager->getPauseScreen()->getDimAmount() < 1.0f &&
                          levelManager->loadingOverlay.fadeValue < 1.0f;
        };
    });
    waitFor("the main menu", atTheMainMenu);
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_EQ(openFrames, 0);
    EXPECT_FALSE(reachedNext);
    const std::vector<std::string> lines = logLines();
    EXPECT_EQ(countLines(lines, std::string("Loading level: ") + nextStoryLevel), 0u);
    EXPECT_EQ(countLines(lines, "Return to Main Menu."), 1u);
}

// The story's last level returns to the main menu under one cover: the main menu, opened
// under it, asks for the title level with a cover of its own, which finds the screen covered
// and leaves it so (no second fade from clear that would show the menu over the level).
TEST_F(LevelFlowGameTest, TheStorysEndCoversTheScreenOnce) {
    bool coverLifted = false;
    f32 cover = 0.0f;
    ASSERT_NO_FATAL_FAILURE(playEndingLevel(LevelManager::playModeStory, false, "the main menu", [&] {
        const LoadingOverlay& overlay = levelManager->loadingOverlay;
        coverLifted = coverLifted || (overlay.introRunning && overlay.fadeValue < cover);
        cover = overlay.introRunning ? overlay.fadeValue : 0.0f;
        return atTheMainMenu();
    }, "Fade to Black", titleBackgroundLevel));
    EXPECT_TRUE(returnedToMenu);
    EXPECT_FALSE(coverLifted);
    EXPECT_EQ(countLines(logLines(), "Transition Intro."), 1u);
}

// A level named on the command line comes in covered, and so does its restart from the pause
// menu: the last covered frame and the first uncovered one show the level from its own camera
// (the one its "Immediately" trigger sets), not the view the camera manager starts a level with.
TEST_F(LevelFlowGameTest, ALevelFromTheCommandLineAndItsRestartUncoverFromTheirOwnCamera) {
    writeSettings();
    commandLineLevel = "Content/Levels/TieDemo.irr";
    constexpr s32 ownCamera = 300;
    int firstFrame = -1;
    f32 firstCover = 0.0f;
    bool covered = true;
    s32 shownBefore = -1;
    // The camera the last covered and the first uncovered frame show, each time.
    std::vector<s32> uncoveredFrom;
    everyFrame = [&] {
        const LoadingOverlay& overlay = levelManager->loadingOverlay;
        if (firstFrame < 0) {
            firstFrame = frame;
            firstCover = overlay.fadeValue;
        }
        const CameraObject* own = cameraManagers[0]->getOverrideCamera();
        const scene::ICameraSceneNode* view = cameraManagers[0]->getViewportCamera();
        const bool placed = own && view && view->getAbsolutePosition().equals(own->getAbsolutePosition(), 0.01f);
        const s32 shown = placed ? own->getID() : -1;
        const bool nowCovered = overlay.fadeValue >= 1.0f;
        if (covered && !nowCovered)
            uncoveredFrom.insert(uncoveredFrom.end(), {shownBefore, shown});
        covered = nowCovered;
        shownBefore = shown;
    };
    const auto settled = [] { return !levelManager->loadingOverlay.isBusy() && levelManager->getLevelEvents().empty(); };
    waitFor("the level uncovered", settled, [] { screenManager->setPauseScreenVisible(true); });
    // Restart from the beginning, answered in the pause menu's question: the pause screen
    // stays up (and holds the level still) until the menus are cleared under the cover.
    waitFor("paused", [] { return shownOnTop(screenManager->getPauseScreen()); }, [] {
        s32 fromTheBeginning = 1;
        screenManager->getPauseScreen()->onRestartAnswer(fromTheBeginning);
    });
    waitFor("the restart uncovered", [&] { return uncoveredFrom.size() == 4 && settled(); });
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_EQ(firstFrame, 1);
    EXPECT_EQ(firstCover, 1.0f) << "the first frame is covered";
    EXPECT_EQ(uncoveredFrom, (std::vector<s32>{ownCamera, ownCamera, ownCamera, ownCamera}));
}

// On a machine too slow for the game (every frame half a second long, of which the physics
// simulates its ten steps), the garden's script and its time keep in step: its end, 19 s
// after its flower bed fills, saves a best time it can be played in. The game started by the
// level's path keeps it under the level's one name, as a game started from the menus does.
TEST_F(LevelFlowGameTest, OnSlowFramesTheGardenSavesABestTimeItsScriptTakes) {
    constexpr const wchar_t* garden = L"Content/Levels/Story_Garden.irr";
    useSlowFrames(0.5);
    commandLineLevel = "Content/Levels/Story_Garden.irr";
    waitFor("the garden's end saved", [] { return saveManager->getGroup(SaveManager::LevelLength)->getAttributeCount() > 0; }, [garden] {
        EXPECT_GE(saveManager->getBestLevelTime(garden), 19.0f);
        EXPECT_LE(saveManager->getBestLevelTime(garden), 21.0f);
        irr::io::IAttributes* times = saveManager->getGroup(SaveManager::LevelLength);
        ASSERT_EQ(times->getAttributeCount(), 1u);
        EXPECT_STREQ(times->getAttributeName(0), "Content/Levels/Story_Garden.irr");
        EXPECT_NE(levelManager->getCurrentLevelPath().find(L"/Content/Levels/Story_Garden.irr"), -1)
            << "started by its absolute path";
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
}

} // namespace


// Every shipped level with a checkpoint, played in a story run until its script saves it, then
// restarted from it through the pause menu: nothing that ran before the checkpoint runs again
// in the first seconds (no second cutscene, pop-up or ball poured) unless it ran in the same
// seconds after the save, and the variables end those seconds as they did. Force volumes are
// left out: the checkpoint puts bodies back half a unit up, so a floating crate enters again.
TEST_F(LevelFlowGameTest, EveryShippedCheckpointResumesWithoutReplayingWhatRanBeforeIt) {
    useFastFrames();
    writeSettings([] { setSettingBool("System_LogTriggers", true); });
    std::vector<std::string> levels;
    for (const auto& entry : std::filesystem::directory_iterator("Content/Levels"))
        if (entry.path().extension() == ".irr" &&
            test::readFileBytes(entry.path().string()).find("type=\"CheckpointObject\"") != std::string::npos)
            levels.push_back("Content/Levels/" + entry.path().filename().string());
    std::sort(levels.begin(), levels.end());
    ASSERT_GE(levels.size(), 2u);
    constexpr int windowFrames = 240; // watched after the save (at least) and the restore
    const auto variables = [] {
        std::vector<std::pair<s32, f32>> values;
        core::array<scene::ISceneNode*> nodes;
        gameDevice->getSceneManager()->getSceneNodesFromType(typeId("vble"), nodes);
        for (u32 n = 0; n < nodes.size(); ++n)
            values.emplace_back(nodes[n]->getID(), static_cast<VariableObject*>(nodes[n])->Value);
        std::sort(values.begin(), values.end());
        return values;
    };
    struct Run {
        std::vector<std::pair<s32, f32>> variables;
        bool cutscene = false;
    };
    std::vector<std::vector<std::string>> pushers(levels.size()); // force volumes' action lines' starts
    std::vector<Run> saved(levels.size()), restored(levels.size());
    int from = 0;
    Run* watched = nullptr;
    everyFrame = [&] {
        if (watched)
            watched->cutscene = watched->cutscene || screenManager->getOverlayBlend() > 0.0f;
    };
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const std::string level = levels[i];
        const auto start = [level] {
            std::filesystem::remove(levelManager->getCheckpointPath(true).c_str());
            screenManager->closeAllScreens();
            levelManager->unloadLevel();
            levelManager->PlayMode = LevelManager::playModeStory;
            saveManager->setAutoSavePath(fromUtf8(level.c_str()).c_str(), true);
            logMessage("Test: start " + level);
            ASSERT_TRUE(levelManager->loadLevel(level.c_str()));
        };
        if (i == 0)
            waitFor("the title", titleShown, start);
        else
            waitFor("the next level", [&] { return frame >= from + windowFrames; }, start);
        waitFor("the checkpoint of " + level, [] {
            return levelManager->activeCheckpoint && std::filesystem::exists(levelManager->getCheckpointPath(true).c_str());
        }, [&, i, level] {
            logMessage("Test: saved " + level);
            core::array<scene::ISceneNode*> volumes;
            gameDevice->getSceneManager()->getSceneNodesFromType(typeId("frce"), volumes);
            for (u32 n = 0; n < volumes.size(); ++n)
                pushers[i].push_back(std::string("[Trigger] ") + volumes[n]->getName() + "_" +
                                     std::to_string(volumes[n]->getID()) + " - ");
            from = frame;
            watched = &saved[i];
        });
        // The pause menu opens once no cover or level event is under way.
        waitFor("after the save", [&] {
            return frame >= from + windowFrames && !levelManager->loadingOverlay.isBusy() &&
                   levelManager->getLevelEvents().empty();
        }, [&, i, level] {
            saved[i].variables = variables();
            watched = nullptr;
            logMessage("Test: restart " + level);
            screenManager->setPauseScreenVisible(true);
        });
        waitFor("paused", [] { return shownOnTop(screenManager->getPauseScreen()); }, [] {
            s32 fromTheCheckpoint = 0;
            screenManager->getPauseScreen()->onRestartAnswer(fromTheCheckpoint);
        });
        waitFor("restored", [] {
            return !levelManager->loadingOverlay.isBusy() && levelManager->getLevelEvents().empty() &&
                   screenManager->getScreenStack().empty() && !screenManager->isPauseScreenVisible();
        }, [&, i, level] {
            EXPECT_EQ(levelManager->getCurrentLevelPath(), core::stringw(level.c_str()));
            from = frame;
            watched = &restored[i];
        });
        waitFor("after the restore", [&] { return frame >= from + windowFrames; }, [&, i, level] {
            restored[i].variables = variables();
            watched = nullptr;
            logMessage("Test: restored " + level);
        });
    }
    ASSERT_NO_FATAL_FAILURE(playGame());

    const std::vector<std::string> lines = logLines();
    for (std::size_t i = 0; i < levels.size(); ++i) {
        SCOPED_TRACE(levels[i]);
        const auto at = [&](const std::string& marker) {
            return std::find(lines.begin(), lines.end(), "Test: " + marker + " " + levels[i]);
        };
        const auto actions = [](auto first, auto last) {
            std::vector<std::string> found;
            for (auto line = first; line != last; ++line)
                if (line->rfind("[Trigger] ", 0) == 0 || line->rfind("[Event] ", 0) == 0)
                    found.push_back(*line);
            return found;
        };
        ASSERT_NE(at("restored"), lines.end());
        const std::vector<std::string> before = actions(at("start"), at("saved"));
        const std::vector<std::string> afterSave = actions(at("saved"), at("restart"));
        ASSERT_FALSE(before.empty()) << "the script ran up to the checkpoint";
        const auto loadedAgain = std::find_if(at("restart"), lines.end(), [](const std::string& line) {
            return line.rfind("Loading level: ", 0) == 0;
        });
        for (const std::string& line : actions(loadedAgain, at("restored"))) {
            if (std::any_of(pushers[i].begin(), pushers[i].end(),
                            [&](const std::string& pusher) { return line.rfind(pusher, 0) == 0; }))
                continue;
            const bool ranBefore = std::find(before.begin(), before.end(), line) != before.end();
            const bool ranAfterSave = std::find(afterSave.begin(), afterSave.end(), line) != afterSave.end();
            EXPECT_FALSE(ranBefore && !ranAfterSave) << "ran again after the restore: " << line;
        }
        EXPECT_EQ(restored[i].variables, saved[i].variables);
        EXPECT_EQ(restored[i].cutscene, saved[i].cutscene) << "a cutscene while the level went on";
    }
    for (const std::string& line : lines) {
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
        EXPECT_EQ(line.rfind("Warning: ", 0), std::string::npos) << line;
    }
}
