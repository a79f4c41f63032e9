#include "ShellFixture.h"

#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/SoundManager.h"

#include <irrlicht.h>

#include <algorithm>
#include <filesystem>

using Trace = std::vector<std::string>;

namespace {

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

class GameStartupTest : public ShellFixture {};

TEST_F(GameStartupTest, BothPhasesRunEveryStepInOrder) {
    recordAllHooks();
    GameApplication game;
    ASSERT_TRUE(game.startUp());

    const Trace expected = {
        // Phase 1.
        "input.create",
        "log:Creating ScreenManager.",
        "screens.create",
        "log:Creating LevelManager.",
        "level.create",
        // Phase 2.
        "input.init",
        "input.resetInputState",
        "log:Creating PhysicsManager.",
        "physics.create",
        "level.init",
        "level.createSaveManager",
        "log:Creating EffectHandler.",
        "render.createEffectHandler",
        "log:Creating LightManager.",
        "render.createLightManager",
        "log:Creating ShaderManager.",
        "render.createShaderManager",
        "log:Creating ConfigTentMovement.",
        "input.createMovementObject",
        "characters.loadSuspicionConfig",
        "level.registerSceneNodeFactory",
        "screens.registerElementFactory",
        "characters.createAnimatorFactory",
        "cameras.create(0)",
        "physics.init",
        "log:Initializing ScreenManager.",
        "screens.subscribeLevelHandlers",
        "physics.bindResetScene",
        "cameras.subscribeLeaveFreeCamera",
        "render.bindLevelResets",
        "screens.init",
        "level.loadInitialLevel()",
    };
    EXPECT_EQ(trace, expected);

    // The shell's own managers and the values it keeps.
    EXPECT_NE(gameDevice, nullptr);
    EXPECT_NE(languageManager, nullptr);
    EXPECT_NE(soundManager, nullptr);
    EXPECT_NE(profilerManager, nullptr);
    EXPECT_NE(frameStopwatch, nullptr);
    EXPECT_EQ(screenManager, standIn<ScreenManager>(3));
    EXPECT_EQ(cameraManagers[0], standIn<CameraManager>(8));
    EXPECT_EQ(cameraManagers[1], nullptr);
    EXPECT_FALSE(StartingUp);
    EXPECT_FALSE(levelOnCommandLine);
    game.shutdownGame();
}

TEST_F(GameStartupTest, TheLogFileHoldsTheStartUpLinesInOrder) {
    // Without an input manager the shell's own receiver writes the engine's lines to the log.
    GameApplication game;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(game.startUp());
    game.shutdownGame();
    const std::string standardOutput = testing::internal::GetCapturedStdout();

    EXPECT_EQ(startUpLinesInLog(), startUpLines);
    // Logged before the log file exists: printed, and written into the file once it opens,
    // before the lines that follow it.
    const std::vector<std::string> lines = logLines();
    EXPECT_TRUE(contains(lines, "Creating InputManager."));
    EXPECT_LT(std::find(lines.begin(), lines.end(), "Creating InputManager."),
              std::find(lines.begin(), lines.end(), "Creating ScreenManager."));
    EXPECT_EQ(countOf(standardOutput, "Creating InputManager."), 1u);
}

TEST_F(GameStartupTest, TheWindowHasTheSettingsSize) {
    writeSettings([] {
        setSettingInt("Graphics_ScreenWidth", 800);
        setSettingInt("Graphics_ScreenHeight", 600);
        setSettingInt("Game_Difficulty", 2);
        setSettingBool("System_MultiTaro", true);
    });
    recordAllHooks();
    GameApplication game;
    ASSERT_TRUE(game.startUp());
    EXPECT_EQ(screenWidth, 800);
    EXPECT_EQ(screenHeight, 600);
    EXPECT_EQ(gameDevice->getVideoDriver()->getScreenSize(), irr::core::dimension2du(800, 600));
    EXPECT_FALSE(deviceVsync);
    EXPECT_EQ(deviceFullscreenMode, 0);
    EXPECT_EQ(gameDifficulty, 2);
    // Four viewports, four camera managers, each subscribed.
    EXPECT_EQ(traceOf("cameras.create").size(), 4u);
    EXPECT_EQ(traceOf("cameras.subscribe").size(), 4u);
    EXPECT_EQ(cameraManagers[3], standIn<CameraManager>(11));
    game.shutdownGame();
    EXPECT_EQ(traceOf("cameras.destroy").size(), 4u);
}

TEST_F(GameStartupTest, TheEffectHandlerGetsTheGraphicsSettings) {
    writeSettings([] {
        setSettingBool("Graphics_Shadows", true);
        setSettingInt("Graphics_ShadowDistance", 2);
        setSettingBool("Graphics_Reflection", false);
    });
    recordAllHooks();
    EffectHandlerSetup seen;
    seen.ssaoEnabled = true;
    shellHooks().render.createEffectHandler = [&](irr::IrrlichtDevice*, const EffectHandlerSetup& setup) {
        seen = setup;
        return standIn<EffectHandler>(4);
    };
    GameApplication game;
    ASSERT_TRUE(game.startUp());
    EXPECT_EQ(seen.clearColour, 0xFFC8C8C8u);
    EXPECT_TRUE(seen.shadowsEnabled);
    EXPECT_EQ(seen.shadowDistanceMode, 2);
    EXPECT_FALSE(seen.renderCallbacksEnabled);
    EXPECT_FALSE(seen.ssaoEnabled);
    game.shutdownGame();
}

TEST_F(GameStartupTest, ALevelOnTheCommandLineIsTheInitialLevel) {
    recordAllHooks();
    bool startingUpWhileLoading = false;
    std::string loadedPath;
    shellHooks().level.loadInitialLevel = [&](const irr::io::path& path) {
        loadedPath = path.c_str();
        startingUpWhileLoading = StartingUp;
    };
    bool namedLevelKnownToScreens = false;
    shellHooks().screens.init = [&] { namedLevelKnownToScreens = levelOnCommandLine; };
    ASSERT_TRUE(test::writeFileBytes("Named.irr", "<irr_scene></irr_scene>"));
    GameApplication game("Named.irr");
    ASSERT_TRUE(game.startUp());
    // Made absolute before the working-directory check can move the program elsewhere.
    EXPECT_EQ(loadedPath, (std::filesystem::current_path() / "Named.irr").string());
    EXPECT_TRUE(namedLevelKnownToScreens);
    EXPECT_TRUE(levelOnCommandLine);
    EXPECT_TRUE(startingUpWhileLoading);
    EXPECT_FALSE(StartingUp);
    game.shutdownGame();
}

TEST_F(GameStartupTest, AMissingCommandLineLevelLeavesTheTitleScreenToTheScreens) {
    recordAllHooks();
    bool namedLevelKnownToScreens = true;
    shellHooks().screens.init = [&] { namedLevelKnownToScreens = levelOnCommandLine; };
    GameApplication game("NoSuchLevel.irr");
    ASSERT_TRUE(game.startUp());
    EXPECT_FALSE(namedLevelKnownToScreens);
    EXPECT_FALSE(levelOnCommandLine);
    game.shutdownGame();
}

TEST_F(GameStartupTest, ShutdownRunsInOrderAndRewritesTheSettings) {
    recordAllHooks();
    ShellHooks& h = shellHooks();
    // Where the shell's own managers stand relative to the hooks.
    h.screens.destroy = [&] { trace.push_back(gameSettings ? "screens.destroy" : "screens.destroy?"); };
    h.input.destroyMovementObject = [&] {
        const bool saved = !gameSettings && std::filesystem::exists("PaddlestoneConfig.xml");
        trace.push_back(saved ? "input.destroyMovementObject" : "input.destroyMovementObject?");
    };
    h.level.destroySaveManager = [&] {
        const bool order = !soundManager && !logManager && languageManager;
        trace.push_back(order ? "level.destroySaveManager" : "level.destroySaveManager?");
    };
    h.render.destroyEffectHandler = [&] {
        trace.push_back(gameDevice && !steamManager ? "render.destroyEffectHandler" : "render.destroyEffectHandler?");
    };
    h.input.destroy = [&] { trace.push_back(gameDevice ? "input.destroy?" : "input.destroy"); };
    h.render.destroyShaderManager = [&] {
        trace.push_back(inputManager ? "render.destroyShaderManager?" : "render.destroyShaderManager");
    };

    GameApplication game;
    ASSERT_TRUE(game.startUp());
    std::filesystem::remove("PaddlestoneConfig.xml");
    clearTrace();
    game.shutdownGame();

    const Trace expected = {
        "physics.stepDuringRender",
        "level.unloadAndDestroy",
        "screens.destroy",
        "input.destroyMovementObject",
        "characters.unloadSuspicionConfig",
        "physics.destroy",
        "cameras.destroy",
        "level.destroySaveManager",
        "render.destroyEffectHandler",
        "render.destroyLightManager",
        "characters.destroyAnimatorFactory",
        "screens.releaseElementFactory",
        "input.destroy",
        "render.destroyShaderManager",
    };
    EXPECT_EQ(trace, expected);
    EXPECT_TRUE(std::filesystem::exists("PaddlestoneConfig.xml"));
    for (void* manager : {static_cast<void*>(gameDevice), static_cast<void*>(levelManager),
                          static_cast<void*>(screenManager), static_cast<void*>(physicsManager),
                          static_cast<void*>(soundManager), static_cast<void*>(gameSettings),
                          static_cast<void*>(inputManager), static_cast<void*>(shaderManager),
                          static_cast<void*>(movementObject), static_cast<void*>(frameStopwatch)})
        EXPECT_EQ(manager, nullptr);
}

TEST_F(GameStartupTest, APhysicsFailureEndsStartUpWithMinusOne) {
    recordAllHooks();
    physicsInitSucceeds = false;
    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusFailure);
    const auto physicsError = std::find(trace.begin(), trace.end(), "log:ERROR: Could not create PhysicsManager");
    ASSERT_NE(physicsError, trace.end());
    EXPECT_EQ(*(physicsError - 1), "physics.init");
    // Nothing after the failure, and the shutdown still ran.
    EXPECT_TRUE(traceOf("screens.init").empty());
    EXPECT_TRUE(traceOf("level.loadInitialLevel").empty());
    EXPECT_FALSE(traceOf("level.unloadAndDestroy").empty());
    EXPECT_EQ(gameDevice, nullptr);
}

TEST_F(GameStartupTest, WithoutAnySubsystemTheShellStartsDrawsAndStops) {
    GameApplication game;
    ASSERT_TRUE(game.startUp());
    EXPECT_EQ(levelManager, nullptr);
    EXPECT_EQ(screenManager, nullptr);
    int frames = 0;
    for (int pass = 0; pass < 200 && frames < 3; ++pass) {
        game.updateGame();
        if (game.frameRan()) {
            game.renderGame();
            ++frames;
        }
    }
    EXPECT_EQ(frames, 3);
    game.shutdownGame();
    EXPECT_TRUE(std::filesystem::exists("PaddlestoneConfig.xml"));
}

TEST_F(GameStartupTest, ARestartRunsTheWholeRoutineAgainAndKeepsTheReopenFlag) {
    recordAllHooks();
    int runs = 0;
    bool reopenSeenInSecondRun = false;
    shellHooks().level.create = [&](irr::IrrlichtDevice*) {
        ++runs;
        if (runs == 2)
            reopenSeenInSecondRun = ReopenOptionsRequested;
        return standIn<LevelManager>(2);
    };
    shellHooks().level.update = [&] {
        if (runs == 1) {
            ReopenOptionsRequested = true;
            RestartRequested = true;
        } else {
            QuitRequested = true;
        }
    };
    testing::internal::CaptureStdout();
    const int status = runGame("");
    const std::string standardOutput = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, gameStatusNormal);
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(reopenSeenInSecondRun);
    EXPECT_FALSE(RestartRequested);
    EXPECT_EQ(countOf(standardOutput, "Creating LevelManager."), 2u);
    EXPECT_EQ(countOf(standardOutput, "Creating InputManager."), 2u);
    EXPECT_EQ(traceOf("level.unloadAndDestroy").size(), 2u);
}

TEST_F(GameStartupTest, QuitRequestedEndsTheLoopAfterTheFrame) {
    recordAllHooks();
    int frames = 0;
    shellHooks().level.update = [&] {
        if (++frames == 3)
            QuitRequested = true;
    };
    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    EXPECT_EQ(frames, 3);
    // The frame that asked to quit was still drawn.
    EXPECT_EQ(traceOf("render.drawScene").size(), 3u);
}

// Started from another folder, the game finds its content next to its executable's folder.
TEST(WorkingDirectoryTest, MovesToTheParentOfTheExecutablesFolder) {
    test::TempDir install;
    std::filesystem::create_directory(install.path() / "bin");
    std::filesystem::create_directories(install.path() / "Content/Models/Editor");
    std::filesystem::copy_file(test::sourceDir() / GameApplication::contentProbeFile,
                               install.path() / GameApplication::contentProbeFile);
    test::TempDir elsewhere;
    test::ScopedWorkingDir inElsewhere(elsewhere.path());

    testing::internal::CaptureStdout();
    checkWorkingDirectory((install.path() / "bin/paddlestone").string());
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("Could not load texture, changing working directory (must be running from bin folder.)"),
              std::string::npos);
    EXPECT_EQ(std::filesystem::canonical(std::filesystem::current_path()),
              std::filesystem::canonical(install.path()));

    // Where the content is, nothing moves and nothing is said.
    testing::internal::CaptureStdout();
    checkWorkingDirectory("/nowhere/bin/paddlestone");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(std::filesystem::canonical(std::filesystem::current_path()),
              std::filesystem::canonical(install.path()));
}

TEST(WorkingDirectoryTest, AnUnreadableProbeCountsAsMissing) {
    test::TempDir install;
    std::filesystem::create_directory(install.path() / "bin");
    std::filesystem::create_directories(install.path() / "Content/Models/Editor");
    test::TempDir broken;
    std::filesystem::create_directories(broken.path() / "Content/Models/Editor");
    ASSERT_TRUE(test::writeFileBytes((broken.path() / GameApplication::contentProbeFile).string(), "not an image"));
    test::ScopedWorkingDir inBroken(broken.path());
    testing::internal::CaptureStdout();
    checkWorkingDirectory((install.path() / "bin/paddlestone").string());
    EXPECT_NE(testing::internal::GetCapturedStdout().find("changing working directory"), std::string::npos);
}
