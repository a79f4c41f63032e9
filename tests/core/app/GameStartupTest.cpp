// The shell's start-up and shutdown with the game's own subsystems on the null driver.
#include "ShellFixture.h"

#include "camera/CameraManager.h"
#include "characters/animators/AnimatorFactory.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/LogManager.h"
#include "core/SoundManager.h"
#include "core/app/GameApplication.h"
#include "gui/GUIElementFactory.h"
#include "gui/GUIScreen.h"
#include "level/LevelManager.h"
#include "physics/world/PhysicsManager.h"
#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "screens/ScreenManager.h"

#include <irrlicht.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The title screen is on the screen stack (the main menu opens over it).
bool titleScreenOpen() {
    const std::vector<GUIScreen*>& stack = screenManager->getScreenStack();
    return std::any_of(stack.begin(), stack.end(), [](const GUIScreen* screen) {
        return screen->getID() == ScreenManager::mainScreenId;
    });
}

bool elementFactoryRegistered(irr::gui::IGUIEnvironment* environment) {
    for (irr::u32 i = 0; i < environment->getRegisteredGUIElementFactoryCount(); ++i)
        if (dynamic_cast<GUIElementFactory*>(environment->getGUIElementFactory(i)))
            return true;
    return false;
}

bool animatorFactoryRegistered(irr::scene::ISceneManager* scene) {
    for (irr::u32 i = 0; i < scene->getRegisteredSceneNodeAnimatorFactoryCount(); ++i)
        if (scene->getSceneNodeAnimatorFactory(i) == animatorFactory)
            return true;
    return false;
}

// Which managers still exist when the level unloads at shutdown.
struct UnloadWatch {
    bool othersThere = false;
    int unloads = 0;
    void levelUnloaded() {
        ++unloads;
        othersThere = screenManager && gameSettings && physicsManager && soundManager &&
                      logManager && effectHandler && lightManager && inputManager && gameDevice;
    }
};

} // namespace

class GameStartupTest : public ShellFixture {};

TEST_F(GameStartupTest, BothPhasesMakeEveryManagerAndBindTheLevelEvents) {
    GameApplication game;
    ASSERT_TRUE(game.startUp());

    EXPECT_EQ(startUpLinesInLog(), startUpLines);
    for (const void* manager :
         {static_cast<const void*>(gameDevice), static_cast<const void*>(inputManager),
          static_cast<const void*>(logManager), static_cast<const void*>(steamManager),
          static_cast<const void*>(screenManager), static_cast<const void*>(levelManager),
          static_cast<const void*>(physicsManager), static_cast<const void*>(saveManager),
          static_cast<const void*>(languageManager), static_cast<const void*>(profilerManager),
          static_cast<const void*>(effectHandler), static_cast<const void*>(lightManager),
          static_cast<const void*>(shaderManager), static_cast<const void*>(movementObject),
          static_cast<const void*>(animatorFactory), static_cast<const void*>(soundManager),
          static_cast<const void*>(frameStopwatch), static_cast<const void*>(cameraManagers[0])})
        EXPECT_NE(manager, nullptr);
    EXPECT_EQ(cameraManagers[1], nullptr);
    EXPECT_TRUE(elementFactoryRegistered(gameDevice->getGUIEnvironment()));
    EXPECT_TRUE(animatorFactoryRegistered(gameDevice->getSceneManager()));

    // The managers made after the level manager follow its levels; the camera leaves its
    // free flight when the pause menu opens.
    CameraManager* camera = cameraManagers[0];
    const DelegateList& unloaded = levelManager->onLevelUnloaded;
    EXPECT_TRUE(unloaded.contains(Delegate::member(physicsManager, &PhysicsManager::resetScene)));
    EXPECT_TRUE(
        unloaded.contains(Delegate::member(effectHandler, &EffectHandler::resetLevelState)));
    EXPECT_TRUE(unloaded.contains(Delegate::member(lightManager, &LightManager::resetLights)));
    EXPECT_TRUE(
        unloaded.contains(Delegate::member(screenManager, &ScreenManager::resetNotifications)));
    EXPECT_TRUE(unloaded.contains(Delegate::member(camera, &CameraManager::resetLevelCameras)));
    EXPECT_TRUE(levelManager->onLevelLoadStarted.contains(
        Delegate::member(camera, &CameraManager::onLevelLoaded)));
    EXPECT_TRUE(screenManager->PauseOpened.contains(
        Delegate::member(camera, &CameraManager::leaveFreeCamera)));

    // The title: its background level and the main screen.
    EXPECT_EQ(levelManager->getCurrentLevelPath(), irr::core::stringw(titleBackgroundLevel));
    EXPECT_TRUE(titleScreenOpen());
    EXPECT_TRUE(screenManager->Initialised);
    EXPECT_FALSE(StartingUp);
    EXPECT_FALSE(levelOnCommandLine);
    game.shutdownGame();
}

TEST_F(GameStartupTest, TheLogFileHoldsTheStartUpLinesInOrder) {
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
    GameApplication game;
    ASSERT_TRUE(game.startUp());
    EXPECT_EQ(screenWidth, 800);
    EXPECT_EQ(screenHeight, 600);
    EXPECT_EQ(gameDevice->getVideoDriver()->getScreenSize(), irr::core::dimension2du(800, 600));
    EXPECT_FALSE(deviceVsync);
    EXPECT_EQ(deviceFullscreenMode, 0);
    EXPECT_EQ(gameDifficulty, 2);
    // Four viewports, four camera managers, each subscribed to the pause menu.
    for (CameraManager* camera : cameraManagers) {
        ASSERT_NE(camera, nullptr);
        EXPECT_TRUE(screenManager->PauseOpened.contains(
            Delegate::member(camera, &CameraManager::leaveFreeCamera)));
    }
    const std::vector<std::string> lines = logLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("Creating CameraManager.")), 4);
    game.shutdownGame();
    for (CameraManager* camera : cameraManagers)
        EXPECT_EQ(camera, nullptr);
}

TEST_F(GameStartupTest, TheEffectHandlerGetsTheGraphicsSettings) {
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        writeSettings([on] {
            setSettingBool("Graphics_Shadows", on);
            setSettingInt("Graphics_ShadowDistance", on ? 2 : 0);
            setSettingBool("Graphics_Reflection", !on);
        });
        GameApplication game;
        ASSERT_TRUE(game.startUp());
        EXPECT_EQ(effectHandler->clearColor.color, 0xFFC8C8C8u);
        // Kept off where the driver lacks the shader effects.
        EXPECT_EQ(effectHandler->shadowsEnabled, on && !effectHandler->shaderEffectsUnsupported);
        EXPECT_EQ(effectHandler->shadowDistanceMode, on ? 2 : 0);
        EXPECT_EQ(effectHandler->renderCallbacksEnabled, !on);
        EXPECT_FALSE(effectHandler->ssaoEnabled);
        game.shutdownGame();
    }
}

TEST_F(GameStartupTest, ALevelOnTheCommandLineIsTheInitialLevel) {
    ASSERT_TRUE(test::writeFileBytes("Named.irr", "<irr_scene></irr_scene>"));
    GameApplication game("Named.irr");
    ASSERT_TRUE(game.startUp());
    // Made absolute before the working-directory check can move the program elsewhere.
    EXPECT_EQ(levelManager->getCurrentLevelPath(),
              irr::core::stringw((std::filesystem::current_path() / "Named.irr").c_str()));
    // The screens knew of it: no main menu in front of the named level.
    EXPECT_TRUE(levelOnCommandLine);
    EXPECT_FALSE(titleScreenOpen());
    EXPECT_FALSE(StartingUp);
    game.shutdownGame();
}

TEST_F(GameStartupTest, AMissingCommandLineLevelLeavesTheTitleScreenToTheScreens) {
    GameApplication game("NoSuchLevel.irr");
    ASSERT_TRUE(game.startUp());
    EXPECT_FALSE(levelOnCommandLine);
    EXPECT_TRUE(titleScreenOpen());
    EXPECT_EQ(levelManager->getCurrentLevelPath(), irr::core::stringw(titleBackgroundLevel));
    game.shutdownGame();
}

TEST_F(GameStartupTest, ShutdownUnloadsTheLevelFirstEndsEveryManagerAndRewritesTheSettings) {
    GameApplication game;
    ASSERT_TRUE(game.startUp());
    UnloadWatch watch;
    levelManager->onLevelUnloaded.addMember(&watch, &UnloadWatch::levelUnloaded);
    std::filesystem::remove("PaddlestoneConfig.xml");
    game.shutdownGame();

    EXPECT_EQ(watch.unloads, 1);
    EXPECT_TRUE(watch.othersThere) << "the level unloads while every other manager still exists";
    EXPECT_TRUE(std::filesystem::exists("PaddlestoneConfig.xml"));
    for (const void* manager :
         {static_cast<const void*>(gameDevice), static_cast<const void*>(inputManager),
          static_cast<const void*>(logManager), static_cast<const void*>(steamManager),
          static_cast<const void*>(screenManager), static_cast<const void*>(levelManager),
          static_cast<const void*>(physicsManager), static_cast<const void*>(saveManager),
          static_cast<const void*>(languageManager), static_cast<const void*>(profilerManager),
          static_cast<const void*>(effectHandler), static_cast<const void*>(lightManager),
          static_cast<const void*>(shaderManager), static_cast<const void*>(movementObject),
          static_cast<const void*>(animatorFactory), static_cast<const void*>(soundManager),
          static_cast<const void*>(frameStopwatch), static_cast<const void*>(gameSettings),
          static_cast<const void*>(cameraManagers[0])})
        EXPECT_EQ(manager, nullptr);
    // A second shutdown finds nothing to undo.
    game.shutdownGame();
    EXPECT_EQ(watch.unloads, 1);
}

TEST_F(GameStartupTest, AStartUpThatFailsHalfWayEndsWithMinusOneAndShutsDown) {
    // No display for the OpenGL window: the device cannot be made.
    writeSettings([] { setSettingString("Graphics_Driver", "OpenGL"); });
    test::ScopedEnv noDisplay("DISPLAY", std::nullopt);
    test::ScopedEnv noWayland("WAYLAND_DISPLAY", std::nullopt);
    GameApplication game;
    testing::internal::CaptureStdout();
    EXPECT_EQ(game.run(), gameStatusFailure);
    const std::string standardOutput = testing::internal::GetCapturedStdout();
    EXPECT_NE(standardOutput.find("ERROR: Could not create the engine device."), std::string::npos);
    // Nothing of the second phase, and the managers of the first are gone again.
    EXPECT_FALSE(contains(logLines(), "Creating PhysicsManager."));
    for (const void* manager :
         {static_cast<const void*>(gameDevice), static_cast<const void*>(inputManager),
          static_cast<const void*>(logManager), static_cast<const void*>(steamManager),
          static_cast<const void*>(gameSettings)})
        EXPECT_EQ(manager, nullptr);
    EXPECT_TRUE(std::filesystem::exists("PaddlestoneConfig.xml"));
}

// A working folder the game cannot write to (here its owner's only; for root, the game runs
// as another user): one line before the window says the settings will not be kept, and the
// shutdown does not try to write them.
TEST_F(GameStartupTest, AWorkingFolderThatCannotBeWrittenIsToldOnceBeforeTheWindow) {
    writeSettings([] { setSettingString("Graphics_Driver", "OpenGL"); }); // no display: no window either
    test::ScopedEnv noDisplay("DISPLAY", std::nullopt);
    test::ScopedEnv noWayland("WAYLAND_DISPLAY", std::nullopt);
    test::TempDir outputs;
    const std::string warning = "Warning: The working folder \"" + std::filesystem::current_path().string() +
                                "\" cannot be written: settings changed in play will not be kept.";
    for (const bool writable : {true, false}) {
        const std::string printed = outputs.file(writable ? "writable.txt" : "read-only.txt");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int output = ::open(printed.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (output < 0 || ::dup2(output, STDOUT_FILENO) < 0)
                ::_exit(98);
            if (!writable) {
                ::chmod(".", 0555);
                if (::geteuid() == 0 && (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0))
                    ::_exit(97);
            }
            GameApplication game;
            const int status = game.run();
            std::fflush(stdout);
            ::_exit(status == gameStatusFailure ? 0 : 3);
        }
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::chmod(".", 0755);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 97)
            GTEST_SKIP() << "no other user to run the game as";
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        const std::string text = test::readFileBytes(printed);
        EXPECT_EQ(countOf(text, warning), writable ? 0u : 1u) << text;
        if (!writable) {
            EXPECT_LT(text.find(warning), text.find("ERROR: Could not create the engine device.")) << text;
        }
        EXPECT_EQ(text.find("Could not write \"PaddlestoneConfig.xml\""), std::string::npos) << text;
    }
}

// A display that refuses the window for a moment: once an attempt gets through, the
// refusals' engine errors stay out of the log and one line of the game's says how often it
// was refused; when none does, the last attempt's error is told, once. The device keeps the
// receiver for its later lines.
TEST(DeviceRetryTest, OnlyTheAttemptThatCountsIsTold) {
    struct Heard : irr::IEventReceiver {
        bool OnEvent(const irr::SEvent& event) override {
            const std::string line = event.LogEvent.Text;
            if (event.LogEvent.Level == irr::ELL_ERROR || line.rfind("The display", 0) == 0 || line == "later")
                told.push_back(line);
            return true;
        }
        std::vector<std::string> told;
    };
    using Lines = std::vector<std::string>;
    const std::string refused = "The display refused the window ";
    for (const auto& [refusals, told] : std::vector<std::pair<int, Lines>>{
             {0, {"later"}},
             {1, {refused + "1 time; the next attempt opened it.", "later"}},
             {4, {refused + "4 times; the next attempt opened it.", "later"}},
             {5, {"Could not open display"}}}) {
        Heard heard;
        int attempts = 0;
        irr::SIrrlichtCreationParameters params;
        params.DriverType = irr::video::EDT_OPENGL;
        irr::IrrlichtDevice* device = createDeviceWithRetries(params, &heard, [&](irr::SIrrlichtCreationParameters asked) {
            if (++attempts <= refusals) {
                irr::SEvent event{};
                event.EventType = irr::EET_LOG_TEXT_EVENT;
                event.LogEvent.Text = "Could not open display"; // as the engine says it
                event.LogEvent.Level = irr::ELL_ERROR;
                asked.EventReceiver->OnEvent(event);
                return static_cast<irr::IrrlichtDevice*>(nullptr);
            }
            asked.DriverType = irr::video::EDT_NULL;
            return irr::createDeviceEx(asked);
        });
        if (device) {
            device->getLogger()->log("later", irr::ELL_INFORMATION);
            device->drop();
        }
        EXPECT_EQ(attempts, std::min(refusals + 1, 5)) << refusals;
        EXPECT_EQ(heard.told, told) << refusals;
    }
}

TEST_F(GameStartupTest, ARestartAnswersItsStatusAndTheNextRunKeepsTheReopenFlag) {
    {
        GameApplication first;
        ASSERT_TRUE(first.startUp());
        ASSERT_NO_FATAL_FAILURE(attachProbe());
        probe.onUpdate = [] {
            ReopenOptionsRequested = true;
            RestartRequested = true;
        };
        EXPECT_EQ(first.runFrames(), gameStatusRestart);
        EXPECT_EQ(probe.updates, 1);
        first.shutdownGame();
    }
    // The next run starts afresh but for the request to reopen the options.
    GameApplication second;
    ASSERT_TRUE(second.startUp());
    EXPECT_FALSE(RestartRequested);
    EXPECT_TRUE(ReopenOptionsRequested);
    EXPECT_NE(levelManager, nullptr);
    second.shutdownGame();

    // One log for the process: the first run's lines, the restart line, the second run's
    // lines, the closing line.
    std::vector<std::string> expected = startUpLines;
    expected.push_back("Restarting the game.");
    expected.insert(expected.end(), startUpLines.begin(), startUpLines.end());
    expected.push_back("Shutting down.");
    const std::vector<std::string> lines = logLines();
    std::vector<std::string> found;
    for (const std::string& line : lines)
        if (line == "Restarting the game." || line == "Shutting down." ||
            std::find(startUpLines.begin(), startUpLines.end(), line) != startUpLines.end())
            found.push_back(line);
    EXPECT_EQ(found, expected);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), LogManager::buildStamp), 1);
}

TEST_F(GameStartupTest, QuitRequestedEndsTheLoopAfterTheFrame) {
    GameApplication game;
    ASSERT_TRUE(game.startUp());
    ASSERT_NO_FATAL_FAILURE(attachProbe());
    probe.onUpdate = [this] {
        if (probe.updates == 3)
            QuitRequested = true;
    };
    EXPECT_EQ(game.runFrames(), gameStatusNormal);
    EXPECT_EQ(probe.updates, 3);
    // The frame that asked to quit was still drawn.
    EXPECT_EQ(probe.draws, 3);
    game.shutdownGame();
    EXPECT_EQ(logLines().back(), "Shutting down.");
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
    EXPECT_NE(output.find("Could not load texture, changing working directory (must be running "
                          "from bin folder.)"),
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
    ASSERT_TRUE(test::writeFileBytes((broken.path() / GameApplication::contentProbeFile).string(),
                                     "not an image"));
    test::ScopedWorkingDir inBroken(broken.path());
    testing::internal::CaptureStdout();
    checkWorkingDirectory((install.path() / "bin/paddlestone").string());
    EXPECT_NE(testing::internal::GetCapturedStdout().find("changing working directory"),
              std::string::npos);
}
