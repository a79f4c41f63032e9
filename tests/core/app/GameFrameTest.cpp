// The shell's frame update and render with the game's own subsystems on the null driver,
// the title's background level loaded and its menus closed.
#include "ShellFixture.h"

#include "core/Globals.h"
#include "core/ProcessGuards.h"
#include "core/Stopwatch.h"
#include "core/app/GameApplication.h"
#include "gui/GUIScreen.h"
#include "level/LevelEvents.h"
#include "level/LevelManager.h"
#include "core/Utf8.h"
#include "level/SaveManager.h"
#include "level/SceneNodeBase.h"
#include "physics/world/PhysicsManager.h"
#include "player/InputEvent.h"
#include "player/InputManager.h"
#include "player/devices/KeyboardDevice.h"
#include "player/devices/MouseDevice.h"
#include "render/EffectHandler.h"
#include "screens/ScreenManager.h"
#include "support/NullDevice.h"
#include "triggers/CheckpointObject.h"
#include "triggers/actions/LevelFlowActions.h"
#include "triggers/actions/UnlockAchievementAction.h"

#include <irrlicht.h>

#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <fstream>

namespace {

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A clock in microseconds that only the test moves.
std::int64_t handClock = 0;
std::int64_t readHandClock() { return handClock; }
// A clock 10 ms on at every read: a catch-up step always finds its wait over.
std::int64_t steppingClock = 0;
std::int64_t readSteppingClock() { return steppingClock += 10000; }

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

class GameFrameTest : public ShellFixture {
protected:
    void SetUp() override {
        game = std::make_unique<GameApplication>();
        ASSERT_TRUE(game->startUp());
        ASSERT_NO_FATAL_FAILURE(attachProbe());
        // Into play: the menus close over the running level.
        screenManager->closeAllScreens();
        for (int frame = 0; frame < 100 && !screenManager->isInputAllowed(); ++frame) {
            runOneFrame();
            game->renderGame();
        }
        ASSERT_TRUE(screenManager->isInputAllowed());
    }

    void TearDown() override {
        game->shutdownGame();
        game.reset();
    }

    // Passes until one gets past the frame cap; answers its status.
    int runOneFrame() {
        for (int pass = 0; pass < 100; ++pass) {
            const int status = game->updateGame();
            if (game->frameRan())
                return status;
        }
        ADD_FAILURE() << "no pass got past the frame cap";
        return -1;
    }

    // A menu over the game: it holds the input back; the game's timer and level may run on
    // behind it, and the game's update (the physics step) may pass it.
    GUIScreen* openMenu(bool keepsTimerRunning, bool passesUpdate) {
        irr::gui::IGUIEnvironment* environment = gameDevice->getGUIEnvironment();
        auto* menu = new GUIScreen(environment, environment->getRootGUIElement(),
                                   ScreenManager::menuScreenId, irr::core::recti(0, 0, 100, 100));
        menu->drop();
        menu->setKeepTimerRunning(keepsTimerRunning);
        menu->PassUpdate = passesUpdate;
        screenManager->pushScreen(menu);
        return menu;
    }

    void postKey(irr::EKEY_CODE key, bool down) { test::postKey(gameDevice, key, down); }

    std::unique_ptr<GameApplication> game;
    int saveWrites = 0;
    double saveSeconds = 0.0;
};

TEST_F(GameFrameTest, AFrameRunsEveryStepOfTheUpdateInOrder) {
    // An event done in the frame that runs it.
    levelManager->queueEvent(new LevelCommandEvent(LET_ClearCheckpoint));
    const irr::u32 levelFrame = levelAnimateFrame;
    const int updates = probe.updates;
    // Seen from the end-of-update list: the level events and the level update have run, the
    // physics step of the frame has not begun yet.
    bool eventsDone = false, levelUpdated = false, stepNotBegun = false;
    probe.onUpdate = [&] {
        eventsDone = levelManager->getLevelEvents().empty();
        levelUpdated = levelAnimateFrame == levelFrame + 1;
        stepNotBegun = !physicsManager->isStepInFlight();
    };
    EXPECT_EQ(runOneFrame(), gameStatusNormal);
    EXPECT_EQ(probe.updates, updates + 1);
    EXPECT_TRUE(eventsDone);
    EXPECT_TRUE(levelUpdated);
    EXPECT_TRUE(stepNotBegun);
    EXPECT_TRUE(physicsManager->isStepInFlight());
    EXPECT_FALSE(gameDevice->getTimer()->isStopped());
}

TEST_F(GameFrameTest, ACappedPassOnlyFinishesThePhysicsStepAndWaitsOutTheFrame) {
    // The frame stopwatch reads the test's clock: how much of the frame a pass finds passed
    // is the test's choice, however fast the machine runs.
    delete frameStopwatch;
    frameStopwatch = new Stopwatch(L"Frame", frameTargetInterval, StopwatchClock{&readHandClock, 1000000});
    const std::int64_t frameMicroseconds = 16800; // a little over the frame's target
    handClock += frameMicroseconds;
    runOneFrame();
    ASSERT_TRUE(physicsManager->isStepInFlight());
    const irr::u32 levelFrame = levelAnimateFrame;

    // Half a frame later.
    handClock += frameMicroseconds / 2;
    const double start = wallSeconds();
    EXPECT_EQ(game->updateGame(), gameStatusNormal);
    const double waited = wallSeconds() - start;
    EXPECT_FALSE(game->frameRan());
    EXPECT_FALSE(physicsManager->isStepInFlight());
    EXPECT_EQ(levelAnimateFrame, levelFrame);
    // It handed the rest of the frame back instead of returning at once.
    const double rest = frameTargetInterval - frameMicroseconds / 2 * 1e-6;
    EXPECT_NEAR(frameStopwatch->secondsUntilTarget(), rest, 1e-5);
    EXPECT_GE(waited, rest - 0.001);

    // The frame after it runs.
    handClock += frameMicroseconds / 2;
    game->updateGame();
    EXPECT_TRUE(game->frameRan());
    EXPECT_EQ(levelAnimateFrame, levelFrame + 1);
}

TEST_F(GameFrameTest, AClosedInputGateStopsTheTimerAndTheLevel) {
    // A menu that lets the game's update pass: only the input gate is closed.
    GUIScreen* menu = openMenu(false, true);
    const irr::u32 levelFrame = levelAnimateFrame;
    const int updates = probe.updates;
    levelManager->queueEvent(new LevelCommandEvent(LET_ClearCheckpoint));
    runOneFrame();
    EXPECT_EQ(levelAnimateFrame, levelFrame);
    EXPECT_EQ(probe.updates, updates);
    // The level events still run; the physics gate is its own.
    EXPECT_TRUE(levelManager->getLevelEvents().empty());
    EXPECT_TRUE(physicsManager->isStepInFlight());
    EXPECT_TRUE(gameDevice->getTimer()->isStopped());

    // A screen that keeps the game running behind it opens the gate again.
    menu->setKeepTimerRunning(true);
    runOneFrame();
    EXPECT_EQ(levelAnimateFrame, levelFrame + 1);
    EXPECT_EQ(probe.updates, updates + 1);
    EXPECT_FALSE(gameDevice->getTimer()->isStopped());
}

TEST_F(GameFrameTest, TheTimerIsStoppedOnceAndStartedOnce) {
    // The engine timer counts its stops: a second stop would need a second start.
    GUIScreen* menu = openMenu(false, false);
    runOneFrame();
    runOneFrame();
    EXPECT_TRUE(gameDevice->getTimer()->isStopped());
    screenManager->popScreen(menu, true);
    runOneFrame();
    EXPECT_FALSE(gameDevice->getTimer()->isStopped());
}

TEST_F(GameFrameTest, AClosedGameUpdateGateSkipsOnlyThePhysicsStep) {
    openMenu(true, false);
    const irr::u32 levelFrame = levelAnimateFrame;
    runOneFrame();
    EXPECT_FALSE(physicsManager->isStepInFlight());
    EXPECT_EQ(levelAnimateFrame, levelFrame + 1);
}

TEST_F(GameFrameTest, ARestartRequestReturnsTheRestartStatus) {
    RestartRequested = true;
    EXPECT_EQ(runOneFrame(), gameStatusRestart);
    RestartRequested = false;
    EXPECT_EQ(runOneFrame(), gameStatusNormal);
}

// Changes of the save during a frame (a level's script setting an attribute thousands of
// times) are written once at its end, and a change in the next frame is written again.
// However often a frame asks, the save is written once at its end; while changes go on, at
// most once a second: the frame a second after the last write writes, the one before waits.
TEST_F(GameFrameTest, TheSaveAskedForInAFrameIsWrittenOnceAtItsEndAtMostOnceASecond) {
    ASSERT_NE(saveManager, nullptr);
    // The clocks read the fixture, which outlives the shutdown's last write.
    saveManager->setClock([this] { return static_cast<std::time_t>(1000000000 + ++saveWrites); });
    // Far past any write the start-up made by the real clock.
    saveManager->setWriteClock([this] { return 1e9 + saveSeconds; });
    const struct {
        int changes;
        double seconds;
        int writes;
    } frames[] = {{1, 0.0, 1}, {5000, 0.5, 0}, {1, 0.999, 0}, {0, 1.0, 1}, {0, 5.0, 0}, {1, 5.0, 1}};
    int changed = 0;
    for (const auto& frame : frames) {
        int writesBeforeItsEnd = -1;
        probe.onUpdate = [&] {
            for (int i = 0; i < frame.changes; ++i)
                saveManager->setAutoSavePath(std::to_wstring(++changed).c_str(), false);
            writesBeforeItsEnd = saveWrites;
        };
        saveWrites = 0;
        saveSeconds = frame.seconds;
        runOneFrame();
        EXPECT_EQ(writesBeforeItsEnd, 0) << frame.seconds;
        EXPECT_EQ(saveWrites, frame.writes) << frame.seconds;
    }
}

// What the player earns in a frame is on the disk by its end though a changing value was written
// less than a second before (kill -9 after the frame keeps it); a frame that earns nothing
// leaves its change waiting for the second. End Level comes last: it leaves the level.
TEST_F(GameFrameTest, WhatAFrameEarnsIsOnTheDiskByItsEndWithinTheSecond) {
    ASSERT_NE(saveManager, nullptr);
    saveManager->setClock([this] { return static_cast<std::time_t>(1000000000 + ++saveWrites); });
    saveManager->setWriteClock([this] { return 1e9 + saveSeconds; });
    auto* checkpoint = new CheckpointObject(gameDevice->getSceneManager()->getRootSceneNode(),
                                            gameDevice->getSceneManager(), 880001);
    checkpoint->drop();
    levelManager->registerNodeIDs(checkpoint);
    TriggerEventInfo event;
    const struct {
        const char* name;
        std::function<void()> earn;
        std::vector<std::string> onDisk;
    } frames[] = {
        {"nothing earned", [] {}, {}},
        {"a tie", [] { saveManager->saveTieCollected(7); }, {"<int name=\"7\" value=\"7\""}},
        {"a checkpoint", [&] { levelManager->saveCheckpointAt(checkpoint); },
         {"<bool name=\"AutoSaveExists\" value=\"true\""}},
        {"an achievement",
         [&] {
             UnlockAchievementAction unlock(nullptr);
             unlock.AchievementID = "ACH_STORY";
             unlock.execute(event);
         },
         {}},
        {"the level's end",
         [&] {
             levelManager->levelRun.levelTime = 42.0f;
             EndLevelAction end(nullptr);
             end.execute(event);
         },
         {"<int name=\"LevelsFinished\" value=\"1\"",
          "<float name=\"" + toUtf8(levelManager->getCurrentLevelPath().c_str()) + "\" value=\"42"}},
    };
    const std::string saveFile = saveManager->getSavePath();
    // A value that keeps changing (Change Game Attribute every 50 ms).
    int count = 0;
    saveManager->getGroup(SaveManager::Statistics)->addInt("Count", 0);
    const auto changeCount = [&count] {
        saveManager->getGroup(SaveManager::Statistics)->setAttribute("Count", ++count);
        saveManager->requestWrite();
    };
    const auto countOnDisk = [&] {
        const std::string text = "<int name=\"Count\" value=\"" + std::to_string(count) + "\"";
        return test::readFileBytes(saveFile).find(text) != std::string::npos;
    };
    for (const auto& frame : frames) {
        saveSeconds += 10.0;
        probe.onUpdate = changeCount;
        runOneFrame();
        ASSERT_TRUE(countOnDisk()) << frame.name;
        saveSeconds += 0.5;
        probe.onUpdate = [&] {
            changeCount();
            frame.earn();
        };
        runOneFrame();
        EXPECT_EQ(countOnDisk(), frame.name != std::string("nothing earned")) << frame.name;
        const std::string onDisk = test::readFileBytes(saveFile);
        for (const std::string& text : frame.onDisk)
            EXPECT_NE(onDisk.find(text), std::string::npos) << frame.name << ": " << text;
    }
}

TEST_F(GameFrameTest, TheRenderDrawsTheGuiAndEndsTheInputFrame) {
    // Keys come in between frames, as the window delivers them.
    postKey(irr::KEY_KEY_J, true);
    runOneFrame();
    KeyboardDevice* keyboard = inputManager->getKeyboard();
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->keyState(irr::KEY_KEY_J), InputState::Pressed);
    const int draws = probe.draws;
    game->renderGame();
    EXPECT_EQ(probe.draws, draws + 1);
    // The key went down in the frame before: down from now on.
    EXPECT_EQ(keyboard->keyState(irr::KEY_KEY_J), InputState::Down);

    // A slow frame's catch-up steps in the render sample the input again, but the pointer is
    // asked for once a frame: each ask is a round trip to the X server.
    int pointerReads = 0;
    inputManager->getMouse()->window().pointerPosition = [&pointerReads] {
        ++pointerReads;
        return irr::core::position2di(screenWidth / 2, screenHeight / 2);
    };
    delete frameStopwatch;
    frameStopwatch = new Stopwatch(L"Frame", frameTargetInterval, StopwatchClock{&readHandClock, 1000000});
    physicsManager->setStepTimerClock(StopwatchClock{&readSteppingClock, 1000000});
    handClock += 100000; // a tenth of a second: several steps due
    runOneFrame();
    EXPECT_EQ(pointerReads, 1);
    const int due = physicsManager->getStepsDue();
    ASSERT_GE(due, 3);
    game->renderGame();
    EXPECT_EQ(physicsManager->getStepsDue(), due - 2) << "two catch-up steps, each with its input update";
    EXPECT_EQ(pointerReads, 1);
}

// A level's time is what the physics simulates: a long frame adds only the steps it runs (at
// most a frame's most), the first two frames after a load (the load's own time) none. Its
// script's timers go on by the same clock.
TEST_F(GameFrameTest, ALevelsTimeGrowsByTheStepsItsFramesSimulateNotByTheirLength) {
    std::ofstream("Timed.irr") << "<?xml version=\"1.0\"?>\n<irr_scene></irr_scene>\n";
    levelManager->unloadLevel();
    ASSERT_TRUE(levelManager->loadLevel("Timed.irr"));
    delete frameStopwatch;
    frameStopwatch = new Stopwatch(L"Frame", frameTargetInterval, StopwatchClock{&readHandClock, 1000000});
    const float step = physicsManager->getStepSize();
    const struct {
        std::int64_t microseconds;
        float adds;
    } frames[] = {{3000000, 0.0f}, {20000, 0.0f}, {3000000, PhysicsManager::defaultMaxStepsPerFrame * step}, {20000, step}};
    for (const auto& frame : frames) {
        const float before = levelManager->levelRun.levelTime;
        handClock += frame.microseconds;
        runOneFrame();
        EXPECT_NEAR(levelManager->levelRun.levelTime - before, frame.adds, 1e-5f) << frame.microseconds;
        EXPECT_NEAR(levelPlaySeconds(), frame.adds, 1e-5f) << frame.microseconds;
    }
}

namespace {
void raiseQuitSignal() { std::raise(SIGTERM); }
} // namespace

// A quit signal is taken before each of the render's passes: from then on nothing more is
// drawn, the GUI last of all.
TEST_F(GameFrameTest, AQuitSignalStopsTheRenderBeforeItsNextPass) {
    ASSERT_NE(effectHandler, nullptr);
    installQuitSignalHandlers(60000); // no watch ends the test
    effectHandler->renderCallbacksEnabled = true;
    for (const bool inRenderCallbacks : {false, true}) {
        clearQuitSignal();
        if (inRenderCallbacks)
            effectHandler->renderCallbacks.addFunction(&raiseQuitSignal);
        else
            std::raise(SIGTERM);
        const irr::u32 rounds = effectHandler->renderCallbackRound;
        const int draws = probe.draws;
        game->renderGame();
        effectHandler->renderCallbacks.removeFunction(&raiseQuitSignal);
        EXPECT_EQ(effectHandler->renderCallbackRound - rounds, inRenderCallbacks ? 1u : 0u) << inRenderCallbacks;
        EXPECT_EQ(probe.draws, draws) << inRenderCallbacks;
    }
    clearQuitSignal();
}

// Each rendered frame runs the effect handler's render callbacks once while they are on, and
// never while they are off.
TEST_F(GameFrameTest, EachRenderRunsTheRenderCallbacksOnceWhileTheyAreOn) {
    ASSERT_NE(effectHandler, nullptr);
    ASSERT_NE(gameDevice->getSceneManager()->getActiveCamera(), nullptr);
    for (const bool on : {true, false}) {
        effectHandler->renderCallbacksEnabled = on;
        const irr::u32 rounds = effectHandler->renderCallbackRound;
        game->renderGame();
        EXPECT_EQ(effectHandler->renderCallbackRound, rounds + (on ? 1u : 0u)) << on;
    }
}

TEST_F(GameFrameTest, TheUpdateRunsAtMostSixtyTimesASecondWithoutBurningACore) {
    std::vector<double> updates;
    // A second and eleven updates at least: a loaded machine only takes longer over them.
    probe.onUpdate = [&] {
        updates.push_back(wallSeconds());
        if (updates.back() - updates.front() >= 1.0 && updates.size() > 10)
            QuitRequested = true;
    };
    const double cpuBefore = processCpuSeconds();
    const double wallBefore = wallSeconds();
    EXPECT_EQ(game->runFrames(), gameStatusNormal);
    const double cpu = processCpuSeconds() - cpuBefore;
    const double wall = wallSeconds() - wallBefore;

    ASSERT_GE(updates.size(), 11u);
    const double span = updates.back() - updates.front();
    const double intervals = static_cast<double>(updates.size() - 1);
    // At most one update per 0.0167 s (a little slack for the clock reads around the list).
    EXPECT_LE(intervals, span / 0.0167 + 0.5);
    // Waiting is sleeping: the process uses well under half a core.
    EXPECT_LT(cpu, 0.5 * wall) << "cpu " << cpu << " s in " << wall << " s";
}
