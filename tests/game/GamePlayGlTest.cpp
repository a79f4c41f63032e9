// The game plays a level on the OpenGL driver under Xvfb for 20 s: in this process with the
// real registrations (its steps and scenes checked frame by frame, its leaks by the
// sanitizer), and as the real executable, closed through its window.
#include "GameFixture.h"

#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIImage.h"
#include "level/LevelManager.h"
#include "level/LoadingOverlay.h"
#include "physics/world/PhysicsManager.h"
#include "render/SpriteAnimation.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIPlayScreen.h"

#include "support/GraphicsDriver.h"
#include "support/X11Windows.h"


#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

namespace {

constexpr const char* levelPath = "Content/Levels/MainScreen_Background.irr";

void useOpenGL() {
    setSettingString("Graphics_Driver", "OpenGL");
    setSettingBool("Graphics_Vsync", false);
    setSettingInt("Graphics_Antialiasing", 0);
    setSettingInt("Graphics_ScreenWidth", 800);
    setSettingInt("Graphics_ScreenHeight", 450);
    setSettingInt("Game_PhysicsThreads", 2);
}

using GamePlayGlTest = GameFixture;

TEST_F(GamePlayGlTest, TheGameStepsItsWorldEveryFrameForTwentySeconds) {
    test::keepGraphicsDriverLoaded();
    writeSettings(useOpenGL);
    int drawnWhileStepping = 0, resets = 0;
    probe.onDraw = [&drawnWhileStepping] {
        if (physicsManager->isStepInFlight())
            ++drawnWhileStepping;
    };
    // The level is played again every 5 s: the old level unloads and its scene goes.
    const auto start = std::chrono::steady_clock::now();
    auto seconds = [start] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    for (int reset = 1; reset <= 3; ++reset)
        waitFor("the level again after " + std::to_string(5 * reset) + " s", [&, reset] { return seconds() >= 5.0 * reset; }, [&] {
            physicsManager->createSphereActor(phys::Transform(phys::Vec3(0, 50, 0)), 1, 1, 0.5f, 0.1f, false, false);
            levelManager->unloadLevel();
            EXPECT_EQ(physicsManager->getScene()->getNbActors(), 0u);
            ASSERT_TRUE(levelManager->loadLevel(levelPath));
            ++resets;
        });
    // Frames keep being drawn through the resets: how many in the twenty seconds is the
    // benchmarks' business (a loaded machine draws fewer), so the wait is for both.
    waitFor("twenty seconds and 41 frames", [&] { return seconds() >= 20.0 && probe.draws > 40; });

    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_EQ(physicsManager, nullptr);
    EXPECT_EQ(resets, 3);
    // Each frame is drawn while its step runs, but for those whose level the road replaced
    // after the step had begun (the unload ends the step).
    EXPECT_GE(drawnWhileStepping, probe.draws - 1 - resets) << "each frame is drawn while its step runs";
    for (const std::string& line : logLines())
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
}

// New Game with the driver's shader cache off: the first level's first frames under its loading
// screen compile the programs; loading frames are drawn inside them, the spinner turning.
TEST_F(GamePlayGlTest, TheLoadingScreenMovesWhileTheFirstLevelsProgramsAreBuilt) {
    test::keepGraphicsDriverLoaded();
    const test::ScopedEnv firstRun("MESA_SHADER_CACHE_DISABLE", "true");
    writeSettings(useOpenGL);
    // Per game frame under the cover once the level has loaded: the draws in it, the spinner's turn.
    int covered = 0, drawsBefore = 0, nestedFrames = 0;
    irr::s32 cellBefore = -1;
    bool turnedWithinAFrame = false;
    const auto spinnerCell = [] {
        const SpriteAnimation* spinner = screenManager->getLoadingIcon()->getSpriteAnimation();
        return spinner ? spinner->getCurrentCell() : -1;
    };
    everyFrame = [&] {
        const LoadingOverlay& cover = levelManager->loadingOverlay;
        const bool loadedUnderCover = !levelManager->levelLoading && cover.awaitingView && cover.fadeValue >= 1.0f &&
                                      levelManager->getCurrentLevelPath() != irr::core::stringw(titleBackgroundLevel);
        if (covered > 0) {
            nestedFrames += std::max(0, probe.draws - drawsBefore - 1);
            turnedWithinAFrame = turnedWithinAFrame || (probe.draws - drawsBefore > 1 && spinnerCell() != cellBefore);
        }
        covered = loadedUnderCover ? covered + 1 : 0;
        drawsBefore = probe.draws;
        cellBefore = spinnerCell();
    };
    waitFor("the title", titleShown, [] {
        auto* menu = dynamic_cast<GUIPlayScreen*>(screenManager->getTopScreen());
        ASSERT_NE(menu, nullptr);
        menu->onNewGame(nullptr);
    });
    waitFor("the first level uncovered", [] {
        return levelManager->getCurrentLevelPath() != irr::core::stringw(titleBackgroundLevel) &&
               !levelManager->loadingOverlay.isBusy();
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_GT(nestedFrames, 0) << "loading frames inside the level's first frames";
    EXPECT_TRUE(turnedWithinAFrame) << "the spinner turned inside one of them";
    for (const std::string& line : logLines()) {
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
        EXPECT_EQ(line.rfind("Warning: ", 0), std::string::npos) << line;
    }
}

TEST_F(GamePlayGlTest, TheRealGamePlaysALevelForTwentySecondsAndShutsDownCleanly) {
    writeSettings(useOpenGL);
    const test::TestDisplay display;
    ASSERT_NE(display.get(), nullptr) << "needs an X server (the gl tests run under Xvfb)";
    test::RealGame game(test::gameBinary(PADDLESTONE_GAME_BINARY), levelPath);
    ASSERT_TRUE(game.started());
    const Window window = game.waitForWindow(display, 30);
    ASSERT_NE(window, 0u) << "the game's window did not appear";
    std::this_thread::sleep_for(std::chrono::seconds(20));
    ASSERT_FALSE(game.hasEnded()) << "the game ended by itself";
    const int status = game.closeAndWait(display, window, 15);
    ASSERT_NE(status, -1) << "the game did not end after its window was closed";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const std::vector<std::string> lines = logLines();
    // The level named on the command line loaded (its path made absolute).
    const std::string level = levelPath;
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [&level](const std::string& line) {
                               return line.rfind("Loading level: ", 0) == 0 && line.size() >= level.size() &&
                                      line.compare(line.size() - level.size(), level.size(), level) == 0;
                           }),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Creating PhysicsManager."), lines.end());
    for (const std::string& line : lines)
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
}

} // namespace
