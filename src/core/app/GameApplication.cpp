#include "core/app/GameApplication.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/Log.h"
#include "core/LogManager.h"
#include "core/ProfilerManager.h"
#include "core/ProcessGuards.h"
#include "core/ShellHooks.h"
#include "core/SoundManager.h"
#include "core/SteamManager.h"
#include "core/Stopwatch.h"
#include "platform/Kernel.h"
#include "platform/Window.h"

#include <irrlicht.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

// The content's probe texture can be read: it is there and it is a PNG image.
bool contentReadable(const char* file) {
    std::ifstream in(file, std::ios::binary);
    char signature[8] = {};
    return in.read(signature, sizeof(signature)) && std::memcmp(signature, "\x89PNG\r\n\x1a\n", 8) == 0;
}

// Calls the slot that destroys a manager when the manager exists, then forgets it.
template <class T>
void destroyWith(T*& manager, const std::function<void()>& slot) {
    if (manager)
        callHook(slot);
    manager = nullptr;
}

// Undoes a start-up step that was taken.
void undoWith(bool& done, const std::function<void()>& slot) {
    if (done)
        callHook(slot);
    done = false;
}

template <class T>
void deleteManager(T*& manager) {
    delete manager;
    manager = nullptr;
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

GameApplication::GameApplication(std::string levelPath) : commandLineLevel(std::move(levelPath)) {}

GameApplication::~GameApplication() = default;

int GameApplication::run() {
    // A restart runs this routine again; the flags of the run before must not carry over.
    RestartRequested = false;
    QuitRequested = false;
    StartingUp = true;
    installQuitSignalHandlers();

    int status = gameStatusFailure;
    if (startUp()) {
        status = gameStatusNormal;
        while (gameDevice->run() && !QuitRequested) {
            if (quitSignalReceived()) {
                logMessage("Quit signal received.");
                break;
            }
            if (updateGame() == gameStatusRestart) {
                status = gameStatusRestart;
                break;
            }
            if (frameUpdated)
                renderGame();
        }
    }
    shutdownGame();
    return status;
}

bool GameApplication::startUp() { return startPhaseOne() && initGameManagers(); }

// Shutdown, in its fixed order. Every step is skipped for a manager that does not exist, so
// a start-up that failed half-way shuts down through the same path.
void GameApplication::shutdownGame() {
    ShellHooks& hooks = shellHooks();
    // A physics step in flight finishes first.
    if (physicsManager)
        callHook(hooks.physics.stepDuringRender);
    clearPlayers();

    destroyWith(levelManager, hooks.level.unloadAndDestroy);
    destroyWith(screenManager, hooks.screens.destroy);

    if (gameSettings)
        gameSettings->save();
    deleteManager(gameSettings);
    destroyWith(movementObject, hooks.input.destroyMovementObject);
    undoWith(suspicionConfigLoaded, hooks.characters.unloadSuspicionConfig);
    destroyWith(physicsManager, hooks.physics.destroy);

    for (CameraManager*& camera : cameraManagers) {
        if (camera)
            callHook(hooks.cameras.destroy, camera);
        camera = nullptr;
    }
    deleteManager(soundManager);
    deleteManager(logManager);
    undoWith(saveManagerCreated, hooks.level.destroySaveManager);
    saveManager = nullptr;
    deleteManager(languageManager);
    deleteManager(frameStopwatch);
    deleteManager(profilerManager);
    deleteManager(steamManager);

    // The managers that hold engine objects go before the device.
    destroyWith(effectHandler, hooks.render.destroyEffectHandler);
    destroyWith(lightManager, hooks.render.destroyLightManager);
    destroyWith(animatorFactory, hooks.characters.destroyAnimatorFactory);
    undoWith(elementFactoryRegistered, hooks.screens.releaseElementFactory);

    if (gameDevice) {
        platform::clipCursor(gameDevice, nullptr);
        gameDevice->closeDevice();
        gameDevice->run();
        gameDevice->drop();
        gameDevice = nullptr;
    }
    // The input manager goes after the device whose events it received; the shader manager last.
    destroyWith(inputManager, hooks.input.destroy);
    eventReceiver = nullptr;
    standInReceiver.reset();
    destroyWith(shaderManager, hooks.render.destroyShaderManager);
}
