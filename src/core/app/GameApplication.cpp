#include "core/app/GameApplication.h"

#include "camera/CameraManager.h"
#include "camera/CameraRegistration.h"
#include "characters/SuspicionRules.h"
#include "characters/animators/AnimatorFactory.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/Log.h"
#include "core/LogManager.h"
#include "core/ProfilerManager.h"
#include "core/ProcessGuards.h"
#include "core/RepeatedLog.h"
#include "core/SoundManager.h"
#include "core/SteamManager.h"
#include "core/Stopwatch.h"
#include "core/app/SubsystemRegistration.h"
#include "gui/GUIElementFactory.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "physics/world/PhysicsManager.h"
#include "platform/Dpi.h"
#include "platform/Kernel.h"
#include "platform/Window.h"
#include "player/ConfigTentMovementObject.h"
#include "player/InputManager.h"
#include "render/RenderManagers.h"
#include "render/ShaderManager.h"
#include "screens/ScreenManager.h"

#include <irrlicht.h>

#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <utility>
#include <vector>

namespace {

// The content's probe texture can be read: it is there and it is a PNG image.
bool contentReadable(const char* file) {
    std::ifstream in(file, std::ios::binary);
    char signature[8] = {};
    return in.read(signature, sizeof(signature)) && std::memcmp(signature, "\x89PNG\r\n\x1a\n", 8) == 0;
}

template <class T>
void deleteManager(T*& manager) {
    delete manager;
    manager = nullptr;
}

// For the engine's reference-counted objects.
template <class T>
void dropManager(T*& manager) {
    if (manager)
        manager->drop();
    manager = nullptr;
}

// Hands the pages the allocator holds free back to the system.
void releaseFreedMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace

void checkWorkingDirectory(const std::string& executablePath) {
    if (contentReadable(GameApplication::contentProbeFile))
        return;
    logMessage("Could not load texture, changing working directory (must be running from bin folder.)");
    const std::filesystem::path fallback = std::filesystem::path(executablePath).parent_path().parent_path();
    if (fallback.empty() || !platform::setCurrentDirectory(fallback.string()))
        logMessagePair("ERROR: Could not change the working directory to ", fallback.c_str());
}

int runGame(const std::string& levelPath) {
    int status = gameStatusNormal;
    do {
        GameApplication game(levelPath);
        status = game.run();
    } while (status == gameStatusRestart);
    return status;
}

int runGameProgram(const std::string& levelPath) {
    // Before anything else, so that a quit from the first moment on ends the game in order:
    // the start-up looks at it between its steps (a signal the launcher held back comes now).
    installQuitSignalHandlers();
    // A quit signal's end stops at the log's closing line: a signal comes with a deadline (the
    // watch's, a session's end), and the teardown held it up for seconds on a busy machine. The
    // other ends (the window closed, Quit in the menu) tear everything down: the sanitizer
    // build's leak check at exit names a scene node the game lost only then, and a restart
    // needs the routine's own teardown.
    setQuitEndsAtClosingLine(true);
    platform::enableDpiAwareness();
    // The slot tables the lower layers call up through.
    registerGameSubsystems();
    return runGame(levelPath);
}

GameApplication::GameApplication(std::string levelPath) : commandLineLevel(std::move(levelPath)) {}

GameApplication::~GameApplication() = default;

int GameApplication::run() {
    int status = startUp() ? runFrames() : gameStatusFailure;
    if (status != gameStatusNormal && quitSignalReceived()) {
        // Start-up stopped between its steps, or the signal came with a restart: the game ends
        // as a quit in play does: the restart is dropped.
        logQuitSignalReceived();
        RestartRequested = false;
        status = gameStatusNormal;
    }
    shutdownGame();
    return status;
}

bool GameApplication::startUp() {
    // A restart runs this routine again; the flags of the run before must not carry over.
    restartedRun = RestartRequested;
    RestartRequested = false;
    QuitRequested = false;
    StartingUp = true;
    installQuitSignalHandlers();
    markStartingUp();
    return startPhaseOne() && !quitSignalReceived() && initGameManagers();
}

void GameApplication::logDisplayErrors(bool windowWithVsyncMade) {
    const std::vector<std::string> errors = platform::takeDisplayErrors();
    if (errors.empty())
        return;
    std::string described;
    for (const std::string& error : errors)
        described += (described.empty() ? "" : ", ") + error;
    // The setting stays: another display may take it.
    logMessage(std::string(logWarningPrefix) +
               (windowWithVsyncMade ? "The display refused vertical sync (" + described +
                                          "); the game runs without it."
                                    : "The display refused a request (" + described + ")."));
}

int GameApplication::runFrames() {
    while (gameDevice->run() && !QuitRequested) {
        if (platform::gameWindowLost()) {
            // Its drawing errors say nothing more; drawing again could crash the driver.
            platform::takeDisplayErrors();
            logMessage("The game's window was destroyed; the game ends.");
            break;
        }
        logDisplayErrors();
        if (quitSignalReceived()) {
            logQuitSignalReceived();
            break;
        }
        if (updateGame() == gameStatusRestart)
            return gameStatusRestart;
        if (frameUpdated)
            renderGame();
    }
    return gameStatusNormal;
}

// Shutdown, in its fixed order. Every step is skipped for a manager that does not exist, so
// a start-up that failed half-way shuts down through the same path.
void GameApplication::shutdownGame() {
    // A physics step in flight finishes first.
    if (physicsManager)
        physicsManager->stepDuringRender();
    clearPlayers();

    if (levelManager) {
        levelManager->unloadLevel();
        delete levelManager;
    }
    levelManager = nullptr;
    deleteManager(screenManager);

    if (gameSettings && workingFolderWritable)
        gameSettings->save();
    deleteManager(gameSettings);
    // What the last frame and the level's unload asked for.
    if (saveManager)
        saveManager->writeRequested();
    // From here on a quit watch that runs out loses nothing of the player's: what is left lets
    // go of memory and the engine.
    markPlayerFilesWritten();
    // The run's last repeated lines get their counts, then the log's closing line; after a
    // restart line the next run's lines follow in the same file. A quit watch that runs out
    // once it is written keeps it last.
    const auto closeLog = [] {
        endRepeatedLogRound();
        writeClosingLine([] {
            if (logManager)
                logManager->log(RestartRequested ? "Restarting the game." : "Shutting down.");
        });
    };
    // After a quit signal the game program ends here (Main.cpp): what is left is only let go
    // of, and the process's end lets go of all of it at once. A restart asked for is dropped.
    if (quitEndsAtClosingLine()) {
        RestartRequested = false;
        closeLog();
        ::_exit(gameStatusNormal);
    }
    dropManager(movementObject);
    if (std::exchange(suspicionConfigLoaded, false))
        unloadSuspicionConfig();
    // The level manager is gone by now; nothing of it keeps the physics manager.
    deleteManager(physicsManager);

    for (CameraManager*& camera : cameraManagers) {
        if (screenManager && camera)
            screenManager->PauseOpened.removeMember(camera, &CameraManager::leaveFreeCamera);
        destroyCameraManager(camera);
        camera = nullptr;
    }
    deleteManager(soundManager);
    closeLog();
    deleteManager(logManager);
    if (std::exchange(saveManagerCreated, false))
        destroySaveManager();
    saveManager = nullptr;
    deleteManager(languageManager);
    deleteManager(frameStopwatch);
    deleteManager(profilerManager);
    deleteManager(steamManager);

    // The managers that hold engine objects go before the device.
    destroyEffectHandler();
    destroyLightManager();
    dropManager(animatorFactory);
    dropManager(elementFactory);

    if (gameDevice) {
        platform::clipCursor(gameDevice, nullptr);
        gameDevice->closeDevice();
        gameDevice->run();
        gameDevice->drop();
        gameDevice = nullptr;
        platform::onDisplayConnectionLost(nullptr);
    }
    // The input manager goes after the device whose events it received; the shader manager last.
    deleteManager(inputManager);
    deleteManager(shaderManager);
    // The run's freed memory goes back to the system before the next run: freed large blocks
    // otherwise stay in the allocator's arenas, and each restart would hold more of them.
    if (RestartRequested)
        releaseFreedMemory();
    markOrderlyEndDone();
}
