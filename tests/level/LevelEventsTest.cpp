#include "LevelTestSupport.h"

#include "characters/SuspicionMeter.h"
#include "core/Globals.h"
#include "level/LevelEvents.h"
#include "level/LevelHooks.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

using namespace irr;

namespace {

class LevelEventsTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        useTestData();
        auto& screens = levelHooks().screens;
        screens.closeAllScreens = [this] { calls.push_back("closeAllScreens"); };
        screens.openMainScreen = [this](s32 mode) { calls.push_back("openMainScreen " + std::to_string(mode)); };
        screens.showSplash = [this] { calls.push_back("showSplash"); };
    }

    std::vector<LevelEventType> queuedTypes() const {
        std::vector<LevelEventType> types;
        for (const auto& event : manager->getLevelEvents())
            types.push_back(event->getType());
        return types;
    }
    // Runs frames until the queue is empty (at most `limit` frames); answers the count.
    int runQueue(f32 seconds, int limit = 200) {
        int frames = 0;
        while (!manager->getLevelEvents().empty() && frames < limit) {
            manager->processLevelEvents(seconds);
            manager->update();
            manager->noteFrameDrawn();
            ++frames;
        }
        return frames;
    }

    std::vector<std::string> calls;
};

using Types = std::vector<LevelEventType>;

TEST_F(LevelEventsTest, SecondRestartClearOrReturnIsRefusedWithItsName) {
    EXPECT_TRUE(manager->queueRestartLevel());
    EXPECT_FALSE(manager->queueRestartLevel());
    EXPECT_TRUE(manager->queueRestartFromCheckpoint());
    EXPECT_FALSE(manager->queueRestartFromCheckpoint());
    EXPECT_TRUE(manager->queueClearCheckpoint());
    EXPECT_FALSE(manager->queueClearCheckpoint());
    EXPECT_TRUE(manager->queueReturnToMainMenu());
    EXPECT_FALSE(manager->queueReturnToMainMenu());
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "ERROR: Failed to queue additional level event: LET_RestartLevel.",
                             "ERROR: Failed to queue additional level event: LET_RestartFromCheckpoint.",
                             "ERROR: Failed to queue additional level event: LET_ClearCheckpoint.",
                             "ERROR: Failed to queue additional level event: LET_ReturnToMainMenu."}));
    EXPECT_EQ(queuedTypes(), (Types{LET_RestartLevel, LET_RestartFromCheckpoint, LET_ClearCheckpoint,
                                    LET_ReturnToMainMenu}));
}

// Every event has its own name for the log; a value of no event is named as unknown, and a
// checkpoint save of no checkpoint is not queued.
TEST_F(LevelEventsTest, EachEventTypeHasItsOwnName) {
    const std::pair<LevelEventType, const char*> names[] = {
        {LET_LoadLevel, "LET_LoadLevel"},
        {LET_UnloadLevel, "LET_UnloadLevel"},
        {LET_RestartLevel, "LET_RestartLevel"},
        {LET_RestartFromCheckpoint, "LET_RestartFromCheckpoint"},
        {LET_ClearCheckpoint, "LET_ClearCheckpoint"},
        {LET_ReturnToMainMenu, "LET_ReturnToMainMenu"},
        {LET_ClearMenus, "LET_ClearMenus"},
        {LET_Transition, "LET_Transition"},
        {LET_ShowSplash, "LET_ShowSplash"},
        {LET_SaveCheckpoint, "LET_SaveCheckpoint"},
    };
    for (const auto& [type, name] : names)
        EXPECT_STREQ(levelEventName(type), name);
    EXPECT_STREQ(levelEventName(static_cast<LevelEventType>(15)), "LET_Unknown");
    EXPECT_FALSE(manager->queueSaveCheckpoint(nullptr));
    EXPECT_TRUE(queuedTypes().empty());
}

TEST_F(LevelEventsTest, TransitionsClearMenusAndSplashesAreNeverRefused) {
    manager->queueTransition(true, 3, 3.0f, 0.0f, 2);
    manager->queueTransition(true, 3, 3.0f, 0.0f, 2);
    manager->queueClearMenus();
    manager->queueClearMenus();
    manager->queueShowSplash();
    manager->queueShowSplash();
    EXPECT_EQ(queuedTypes(), (Types{LET_Transition, LET_Transition, LET_ClearMenus, LET_ClearMenus,
                                    LET_ShowSplash, LET_ShowSplash}));
    EXPECT_TRUE(log.lines.empty());
    // Once an event has run, another of its kind may be queued again.
    manager->queueRestartLevel();
    runQueue(1.0f);
    EXPECT_TRUE(manager->queueRestartLevel());
}

TEST_F(LevelEventsTest, QueueLoadLevelQueuesItsSixEventsInOrder) {
    manager->loadingOverlay.mode = 3;
    manager->loadingOverlay.fadeSpeed = 2.0f;
    manager->loadingOverlay.hold = 0.5f;
    manager->loadingOverlay.kind = 2;
    ASSERT_TRUE(manager->queueLoadLevel("PlainLevel.irr", true));
    EXPECT_TRUE(manager->loadPending);
    EXPECT_EQ(queuedTypes(), (Types{LET_Transition, LET_UnloadLevel, LET_ClearCheckpoint, LET_ClearMenus,
                                    LET_LoadLevel, LET_Transition}));
    const auto& events = manager->getLevelEvents();
    const auto* intro = static_cast<const TransitionEvent*>(events.front().get());
    const auto* outro = static_cast<const TransitionEvent*>(events.back().get());
    EXPECT_TRUE(intro->intro);
    EXPECT_FALSE(outro->intro);
    for (const TransitionEvent* transition : {intro, outro}) {
        EXPECT_EQ(transition->mode, 3);
        EXPECT_FLOAT_EQ(transition->speed, 2.0f);
        EXPECT_FLOAT_EQ(transition->hold, 0.5f);
        EXPECT_EQ(transition->kind, 2);
    }
    EXPECT_EQ(static_cast<const LoadLevelEvent*>(events[4].get())->path, io::path("PlainLevel.irr"));
}

TEST_F(LevelEventsTest, QueueLoadLevelWithoutClearingMenusLeavesThemOut) {
    ASSERT_TRUE(manager->queueLoadLevel("PlainLevel.irr", false));
    EXPECT_EQ(queuedTypes(), (Types{LET_Transition, LET_UnloadLevel, LET_ClearCheckpoint, LET_LoadLevel,
                                    LET_Transition}));
}

TEST_F(LevelEventsTest, SecondLoadIsRefusedWhileALoadOrReturnIsQueued) {
    ASSERT_TRUE(manager->queueLoadLevel("PlainLevel.irr", true));
    EXPECT_FALSE(manager->queueLoadLevel("TestLevel.irr", true));
    EXPECT_EQ(log.lines, std::vector<std::string>{"ERROR: Attempting to queue a 2nd load level event"});
    EXPECT_EQ(manager->getLevelEvents().size(), 6u);
    runQueue(10.0f);
    log.lines.clear();

    // The outro of the first load is the last event queued, yet the load must wait until
    // the queued return to the menu has run.
    manager->queueReturnToMainMenu();
    EXPECT_FALSE(manager->queueLoadLevel("TestLevel.irr", true));
    EXPECT_EQ(log.lines, std::vector<std::string>{"ERROR: Attempting to queue a 2nd load level event"});
    runQueue(10.0f);
    EXPECT_TRUE(manager->queueLoadLevel("TestLevel.irr", true));
}

TEST_F(LevelEventsTest, LoadSequenceRunsOneEventPerFrameUnderTheCover) {
    manager->loadingOverlay.fadeSpeed = 4.0f; // a quarter second per fade
    ASSERT_TRUE(manager->queueLoadLevel("PlainLevel.irr", true));

    struct Frame {
        LevelEventType front;
        f32 fade;
        bool intro;
        bool outro;
        bool loadingScreen;
    };
    std::vector<Frame> frames;
    while (!manager->getLevelEvents().empty() && frames.size() < 100) {
        const LevelEventType front = manager->getLevelEvents().front()->getType();
        manager->processLevelEvents(0.1f);
        manager->update();
        manager->noteFrameDrawn();
        const LoadingOverlay& overlay = manager->loadingOverlay;
        frames.push_back({front, overlay.fadeValue, overlay.introRunning, overlay.outroRunning, overlay.loadingScreen});
    }
    ASSERT_LT(frames.size(), 100u);

    // The intro fades 0 -> 1 over its frames.
    std::size_t i = 0;
    f32 previous = -1.0f;
    for (; i < frames.size() && frames[i].front == LET_Transition; ++i) {
        EXPECT_TRUE(frames[i].intro);
        EXPECT_GE(frames[i].fade, previous);
        // The loading screen comes up as the cover is complete.
        EXPECT_EQ(frames[i].loadingScreen, frames[i].fade == 1.0f) << i;
        previous = frames[i].fade;
    }
    EXPECT_FLOAT_EQ(frames[0].fade, 0.0f);
    EXPECT_FLOAT_EQ(frames[i - 1].fade, 1.0f);
    // Unload, clear checkpoint, clear menus and load, one frame each, fully covered and busy.
    const Types middle{LET_UnloadLevel, LET_ClearCheckpoint, LET_ClearMenus, LET_LoadLevel};
    for (LevelEventType type : middle) {
        ASSERT_LT(i, frames.size());
        EXPECT_EQ(frames[i].front, type);
        EXPECT_FLOAT_EQ(frames[i].fade, 1.0f);
        EXPECT_TRUE(frames[i].intro || frames[i].outro);
        EXPECT_TRUE(frames[i].loadingScreen);
        ++i;
    }
    // The outro holds the cover until a frame has been drawn after the level's start frames
    // (the load's own frame runs the first), then fades 1 -> 0 and ends with both flags clear
    // and the loading screen down.
    std::size_t held = 0;
    for (; i < frames.size() && frames[i].fade == 1.0f; ++i)
        ++held;
    EXPECT_EQ(held, LevelManager::levelStartFrames - 1);
    previous = 2.0f;
    for (; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].front, LET_Transition);
        EXPECT_LE(frames[i].fade, previous);
        previous = frames[i].fade;
    }
    EXPECT_FLOAT_EQ(frames.back().fade, 0.0f);
    EXPECT_FALSE(frames.back().intro || frames.back().outro || frames.back().loadingScreen);

    EXPECT_EQ(manager->getCurrentLevelPath(), core::stringw(L"PlainLevel.irr"));
    EXPECT_FALSE(manager->loadPending);
    const int intro = log.indexOf("Transition Intro.");
    const int clearing = log.indexOf("Clearing Menus.");
    const int loading = log.indexOf("Loading level: PlainLevel.irr");
    const int outro = log.indexOf("Transition Outro.");
    EXPECT_GE(intro, 0);
    EXPECT_LT(intro, clearing);
    EXPECT_LT(clearing, loading);
    EXPECT_LT(loading, outro);
    EXPECT_EQ(calls, std::vector<std::string>{"closeAllScreens"});
}

TEST_F(LevelEventsTest, LoadEventReplacesTheLevelShownBefore) {
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    manager->queueLoadLevelEvent("PlainLevel.irr", true);
    EXPECT_TRUE(manager->menuLoad);
    EXPECT_TRUE(manager->loadPending);
    EXPECT_EQ(queuedTypes(), (Types{LET_Transition, LET_LoadLevel, LET_Transition}));
    runQueue(10.0f);
    EXPECT_EQ(manager->getCurrentLevelPath(), core::stringw(L"PlainLevel.irr"));
    EXPECT_EQ(countNodes(root()), 1u); // only the plain level's object
    EXPECT_FALSE(manager->menuLoad);
    EXPECT_FALSE(manager->loadPending);
}

TEST_F(LevelEventsTest, ReturnToMainMenuClosesOpensAndResetsTheMeter) {
    manager->PlayMode = 3;
    manager->suspicionMeter->value = 70.0f;
    manager->suspicionMeter->age = 12.0f;
    // Its cover brings the loading screen up once complete: the main menu loads the title.
    manager->queueTransition(true, LoadingOverlay::FadeToWhite, 10.0f, 0.0f, 2);
    manager->queueReturnToMainMenu();
    EXPECT_EQ(runQueue(0.05f, 2), 2);
    EXPECT_FALSE(manager->loadingOverlay.loadingScreen) << "half covered";
    runQueue(0.1f);
    EXPECT_TRUE(manager->loadingOverlay.showsLoadingScreen());
    EXPECT_TRUE(log.contains("Return to Main Menu."));
    EXPECT_EQ(calls, (std::vector<std::string>{"closeAllScreens", "openMainScreen 3"}));
    EXPECT_FLOAT_EQ(manager->suspicionMeter->value, 0.0f);
    EXPECT_FLOAT_EQ(manager->suspicionMeter->age, 12.0f);
}

TEST_F(LevelEventsTest, EachQueuedLevelCommandRunsItsOwnStep) {
    ASSERT_TRUE(manager->loadLevel("PlainLevel.irr"));
    const std::string noCheckpoint = "No checkpoint to restart from; restarting the level.";
    log.lines.clear();
    manager->queueRestartLevel();
    runQueue(0.1f);
    EXPECT_FALSE(log.contains(noCheckpoint));
    EXPECT_EQ(manager->getCurrentLevelPath(), core::stringw(L"PlainLevel.irr"));
    EXPECT_EQ(countNodes(root()), 1u);

    manager->queueRestartFromCheckpoint();
    runQueue(0.1f);
    EXPECT_TRUE(log.contains(noCheckpoint));
    EXPECT_EQ(countNodes(root()), 1u);

    manager->checkpointList = {7, 8};
    manager->activeCheckpoint = root();
    manager->queueClearCheckpoint();
    runQueue(0.1f);
    EXPECT_TRUE(manager->checkpointList.empty());
    EXPECT_EQ(manager->activeCheckpoint, nullptr);
    EXPECT_EQ(manager->getCurrentLevelPath(), core::stringw(L"PlainLevel.irr"));
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(log.contains("Return to Main Menu."));
}

TEST_F(LevelEventsTest, SplashAndClearMenusReachTheScreens) {
    manager->queueShowSplash();
    manager->queueClearMenus();
    EXPECT_EQ(runQueue(0.1f), 2);
    EXPECT_EQ(calls, (std::vector<std::string>{"showSplash", "closeAllScreens"}));
    EXPECT_TRUE(log.contains("Clearing Menus."));
}

TEST_F(LevelEventsTest, DirectTransitionFadesOverItsDurationOnItsView) {
    manager->queueEvent(TransitionEvent::overDuration(true, 3, 2, 2.0f, 0));
    manager->processLevelEvents(0.5f); // starts
    const LoadingOverlay& overlay = manager->loadingOverlay;
    EXPECT_EQ(overlay.mode, 3);
    EXPECT_EQ(overlay.viewId, 2);
    EXPECT_EQ(overlay.kind, 0);
    EXPECT_FLOAT_EQ(overlay.fadeSpeed, 0.5f);
    manager->processLevelEvents(1.0f);
    EXPECT_FLOAT_EQ(overlay.fadeValue, 0.5f);
    manager->processLevelEvents(1.0f);
    EXPECT_TRUE(manager->getLevelEvents().empty());
    EXPECT_FLOAT_EQ(overlay.fadeValue, 1.0f);
    EXPECT_FALSE(overlay.isOpaque()); // kind 0
}

TEST_F(LevelEventsTest, TransitionKeepsTheViewWhenQueuedWithoutOne) {
    manager->loadingOverlay.viewId = 1;
    manager->queueTransition(false, LoadingOverlay::FadeToWhite, 1.0f, 0.0f, 2);
    manager->processLevelEvents(0.0f);
    EXPECT_EQ(manager->loadingOverlay.viewId, 1);
    EXPECT_EQ(manager->loadingOverlay.mode, 3);
    EXPECT_TRUE(manager->loadingOverlay.outroRunning);
}

// An intro over the cover an intro left up changes nothing and says nothing; after an outro
// the next intro covers from clear again.
TEST_F(LevelEventsTest, AnIntroOverACoverAlreadyUpLeavesIt) {
    const LoadingOverlay& overlay = manager->loadingOverlay;
    manager->queueTransition(true, LoadingOverlay::FadeToBlack, 2.0f, 0.0f, 2);
    runQueue(1.0f);
    manager->queueTransition(true, LoadingOverlay::FadeToWhite, 2.0f, 0.0f, 2);
    EXPECT_EQ(runQueue(0.25f), 1);
    EXPECT_EQ(std::make_pair(overlay.fadeValue, overlay.mode), std::make_pair(1.0f, s32{LoadingOverlay::FadeToBlack}));
    EXPECT_EQ(log.countStartingWith("Transition Intro."), 1u);
    manager->queueTransition(false, LoadingOverlay::FadeToBlack, 2.0f, 0.0f, 2);
    manager->queueTransition(true, LoadingOverlay::FadeToWhite, 2.0f, 0.0f, 2);
    runQueue(0.25f, 4); // the outro's start and two steps, the intro's start
    EXPECT_EQ(std::make_pair(overlay.fadeValue, overlay.mode), std::make_pair(0.0f, s32{LoadingOverlay::FadeToWhite}));
    EXPECT_EQ(log.countStartingWith("Transition Intro."), 2u);
}

// Only a cover fully up is left alone: one still coming up takes the new intro.
TEST_F(LevelEventsTest, AnIntroOverACoverStillComingUpStartsAgain) {
    LoadingOverlay& overlay = manager->loadingOverlay;
    overlay.startIntro();
    overlay.fadeValue = 0.5f;
    ASSERT_TRUE(overlay.introRunning);
    manager->queueTransition(true, LoadingOverlay::FadeToWhite, 2.0f, 0.0f, 2);
    runQueue(0.25f);
    EXPECT_EQ(overlay.mode, s32{LoadingOverlay::FadeToWhite});
    EXPECT_EQ(log.countStartingWith("Transition Intro."), 1u);
}

// The pause menu holds the game: nothing queued runs and the suspicion stands still until
// it is left; the pause's own way out of the level drops what waited.
TEST_F(LevelEventsTest, ThePauseHoldsTheQueueUntilItIsLeft) {
    bool paused = false;
    int suspicionUpdates = 0;
    levelHooks().screens.isGamePaused = [&] { return paused; };
    levelHooks().characters.updateSuspicion = [&](SuspicionMeter&, f32) { ++suspicionUpdates; };
    for (const bool held : {true, false}) {
        paused = held;
        calls.clear();
        suspicionUpdates = 0;
        manager->queueClearMenus();
        manager->processLevelEvents(0.1f);
        EXPECT_EQ(manager->getLevelEvents().size(), held ? 1u : 0u) << held;
        EXPECT_EQ(calls.size(), held ? 0u : 1u) << held;
        EXPECT_EQ(suspicionUpdates, held ? 0 : 1) << held;
        manager->dropQueuedEvents();
    }
    ASSERT_TRUE(manager->queueLoadLevel("PlainLevel.irr", true));
    manager->dropQueuedEvents();
    EXPECT_TRUE(manager->getLevelEvents().empty());
    EXPECT_FALSE(manager->loadPending);
    EXPECT_TRUE(manager->queueLoadLevel("PlainLevel.irr", true)) << "nothing left to refuse it";
}

// A game that is quitting starts no further level event (a transition's next step, a load).
TEST_F(LevelEventsTest, AQuittingGameStartsNoFurtherEvent) {
    for (const bool quitting : {true, false}) {
        QuitRequested = quitting;
        calls.clear();
        manager->queueShowSplash();
        manager->processLevelEvents(0.1f);
        EXPECT_EQ(manager->getLevelEvents().size(), quitting ? 1u : 0u) << quitting;
        EXPECT_EQ(calls, quitting ? std::vector<std::string>{} : std::vector<std::string>{"showSplash"}) << quitting;
        manager->dropQueuedEvents();
    }
}

// A level's end into a level that is there but cannot be read goes back to the main menu, as
// one into a missing level does: under the cover, which stays up for the menu's title level.
// A level ending into itself whose file was cut meanwhile is one of them. A menu's own scene
// (the title level the main menu loads) does not send the player back to the menu again.
TEST_F(LevelEventsTest, ALoadThatCannotReadItsLevelReturnsToTheMainMenu) {
    std::string plain;
    {
        std::ifstream in("PlainLevel.irr", std::ios::binary);
        plain.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(plain.size(), 100u);
    const auto writeFile = [](const char* name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
    };
    struct Row {
        const char* name;
        const char* level;
        std::function<void()> make;
        bool returns = true;
    };
    const Row rows[] = {
        {"cut", "Cut.irr", [&] { writeFile("Cut.irr", plain.substr(0, plain.size() / 2)); }},
        {"empty", "Empty.irr", [&] { writeFile("Empty.irr", ""); }},
        {"random bytes", "Noise.irr", [&] { writeFile("Noise.irr", std::string("\x8f\x03\xd1<\x00\xfe\x7f\x12", 8)); }},
        {"a folder", "Folder.irr", [] { std::filesystem::create_directory("Folder.irr"); }},
        {"itself, cut meanwhile", "TestLevel.irr", [&] { writeFile("TestLevel.irr", plain.substr(0, 60)); }},
        {"the main menu's title level",
         titleBackgroundLevel,
         [&] {
             std::filesystem::create_directories(std::filesystem::path(titleBackgroundLevel).parent_path());
             writeFile(titleBackgroundLevel, "");
         },
         false},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(manager->loadLevel("TestLevel.irr")) << row.name;
        row.make();
        calls.clear();
        log.lines.clear();
        manager->PlayMode = 1;
        if (row.returns)
            ASSERT_TRUE(manager->queueLoadLevel(row.level, false)) << row.name;
        else
            manager->queueLoadLevelEvent(row.level, true);
        runQueue(0.25f);
        EXPECT_TRUE(log.contains(std::string("ERROR: Could not load level: ") + row.level)) << row.name;
        const std::vector<std::string> back{"closeAllScreens", "openMainScreen 1"};
        EXPECT_EQ(calls, row.returns ? back : std::vector<std::string>()) << row.name;
        EXPECT_EQ(manager->loadingOverlay.showsLoadingScreen(), row.returns)
            << row.name << ": covered for the menu's load";
        EXPECT_FALSE(manager->loadPending) << row.name;
        std::filesystem::copy_file(test::sourceDir() / "tests/level/data/TestLevel.irr", "TestLevel.irr",
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

// A quit met while the level loads is no unreadable level: the game ends, no menu opens.
TEST_F(LevelEventsTest, AQuitWhileALevelLoadsOpensNoMenu) {
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    levelHooks().screens.renderLoadingFrame = [] { QuitRequested = true; };
    ASSERT_TRUE(manager->queueLoadLevel("PlainLevel.irr", false));
    runQueue(0.25f);
    QuitRequested = false;
    levelHooks().screens.renderLoadingFrame = nullptr;
    EXPECT_TRUE(log.contains("Loading stopped, the game is quitting: PlainLevel.irr"));
    EXPECT_EQ(calls, std::vector<std::string>{});
    EXPECT_FALSE(manager->isEventQueued(LET_ReturnToMainMenu));
}

// --- suspicion and game over ---------------------------------------------------------------

class GameOverTest : public LevelEventsTest {};

TEST_F(GameOverTest, TimerGrowsByTheFrameTimeClampedToATenth) {
    manager->processLevelEvents(5.0f);
    EXPECT_NEAR(manager->gameOverTimer, 0.1f, 1e-6f);
    manager->processLevelEvents(-1.0f);
    EXPECT_NEAR(manager->gameOverTimer, 0.1f, 1e-6f);
    manager->processLevelEvents(0.05f);
    EXPECT_NEAR(manager->gameOverTimer, 0.15f, 1e-6f);
}

TEST_F(GameOverTest, FullMeterEndsTheLevelOnlyAfterTwoSeconds) {
    int rumbles = 0;
    levelHooks().input.gameOverRumble = [&] { ++rumbles; };
    manager->suspicionMeter->value = 100.0f;
    manager->gameOverTimer = 1.95f;
    manager->processLevelEvents(0.05f); // exactly 2.0: not passed yet
    EXPECT_TRUE(manager->getLevelEvents().empty());
    EXPECT_EQ(manager->levelRun.losses, 0);

    manager->processLevelEvents(0.01f);
    EXPECT_EQ(manager->levelRun.losses, 1);
    EXPECT_EQ(rumbles, 1);
    // The covered restart: no checkpoint was saved, so the level starts again.
    EXPECT_EQ(queuedTypes(), (Types{LET_Transition, LET_RestartLevel, LET_Transition}));
    // A second's fade to black each way; the screen stays black half a second before it opens.
    const auto& events = manager->getLevelEvents();
    for (const auto* fade : {events.front().get(), events.back().get()}) {
        const auto* transition = static_cast<const TransitionEvent*>(fade);
        EXPECT_EQ(transition->mode, LoadingOverlay::FadeToBlack);
        EXPECT_FLOAT_EQ(transition->speed, 1.0f);
        EXPECT_FLOAT_EQ(transition->hold, transition->intro ? 0.0f : 0.5f);
        EXPECT_EQ(transition->kind, 2);
    }

    // While the restart waits, the full meter does not end the level again.
    manager->processLevelEvents(0.01f);
    EXPECT_EQ(manager->levelRun.losses, 1);
    EXPECT_EQ(rumbles, 1);
}

TEST_F(GameOverTest, AQueuedLoadRestartOrReturnHoldsTheGameOverBack) {
    for (int kind = 0; kind < 4; ++kind) {
        // A slow transition in front keeps the event behind it queued for the frame (from
        // clear: an intro over the cover the last round left up would be done at once).
        manager->loadingOverlay = LoadingOverlay();
        manager->queueTransition(true, 0, 0.001f, 0.0f, 2);
        switch (kind) {
        case 0:
            manager->queueRestartLevel();
            break;
        case 1:
            manager->queueRestartFromCheckpoint();
            break;
        case 2:
            manager->queueEvent(new LoadLevelEvent("PlainLevel.irr"));
            break;
        default:
            manager->queueReturnToMainMenu();
            break;
        }
        manager->suspicionMeter->value = 120.0f;
        manager->gameOverTimer = 3.0f;
        manager->processLevelEvents(0.01f);
        EXPECT_EQ(manager->levelRun.losses, 0) << kind;
        EXPECT_EQ(manager->getLevelEvents().size(), 2u) << kind;
        manager->suspicionMeter->value = 0.0f;
        runQueue(2000.0f);
    }
}

TEST_F(GameOverTest, MeterBelowFullNeverEndsTheLevel) {
    manager->suspicionMeter->value = 99.9f;
    manager->gameOverTimer = 10.0f;
    manager->processLevelEvents(0.1f);
    EXPECT_TRUE(manager->getLevelEvents().empty());
}

TEST_F(GameOverTest, OwnMeterIsUpdatedWhileNoPlayerExists) {
    std::vector<f32> updates;
    levelHooks().characters.updateSuspicion = [&](SuspicionMeter& meter, f32 seconds) {
        EXPECT_EQ(&meter, manager->suspicionMeter.get());
        updates.push_back(seconds);
    };
    manager->processLevelEvents(0.25f);
    EXPECT_EQ(updates, std::vector<f32>{0.25f});
    EXPECT_EQ(manager->getPlayerSuspicion(0), manager->suspicionMeter.get());
}

TEST_F(GameOverTest, WithoutTheCharactersSubsystemThereIsNoRecordAndNoGameOver) {
    resetLevelHooks();
    LevelManager bare(device->get());
    EXPECT_EQ(bare.suspicionMeter, nullptr);
    EXPECT_EQ(bare.getPlayerSuspicion(0), nullptr);
    bare.gameOverTimer = 10.0f;
    bare.processLevelEvents(0.1f);
    EXPECT_TRUE(bare.getLevelEvents().empty());
    EXPECT_EQ(bare.levelRun.losses, 0);
    ASSERT_TRUE(bare.queueReturnToMainMenu());
    bare.processLevelEvents(0.1f);
    EXPECT_TRUE(bare.getLevelEvents().empty());
    EXPECT_EQ(bare.suspicionMeter, nullptr);
}

} // namespace

namespace {

TEST_F(LevelEventsTest, LoadingBarFollowsTheObjectsRead) {
    std::vector<f32> seen;
    levelHooks().screens.renderLoadingFrame = [&] { seen.push_back(manager->loadingOverlay.getProgress()); };
    manager->loadingOverlay.progress = 0.7f;
    ASSERT_TRUE(manager->loadLevel("TestLevel.irr"));
    ASSERT_GT(seen.size(), 2u);
    EXPECT_FLOAT_EQ(seen.front(), 0.0f); // a new load starts the bar empty
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_FLOAT_EQ(manager->loadingOverlay.getProgress(), 1.0f);
}

} // namespace
