#include "core/GameApplication.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/Log.h"
#include "core/LogManager.h"
#include "core/ProfilerManager.h"
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

    int status = gameStatusFailure;
    if (startUp()) {
        status = gameStatusNormal;
        while (gameDevice->run() && !QuitRequested) {
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

    if (levelManager)
        callHook(hooks.level.unloadAndDestroy);
    levelManager = nullptr;
    if (screenManager)
        callHook(hooks.screens.destroy);
    screenManager = nullptr;

    if (gameSettings) {
        gameSettings->save();
        delete gameSettings;
        gameSettings = nullptr;
    }
    if (movementObject)
        callHook(hooks.input.destroyMovementObject);
    movementObject = nullptr;
    if (suspicionConfigLoaded)
        callHook(hooks.characters.unloadSuspicionConfig);
    suspicionConfigLoaded = false;
    if (physicsManager)
        callHook(hooks.physics.destroy);
    physicsManager = nullptr;

    for (CameraManager*& camera : cameraManagers) {
        if (camera)
            callHook(hooks.cameras.destroy, camera);
        camera = nullptr;
    }
    delete soundManager;
    soundManager = nullptr;
    delete logManager;
    logManager = nullptr;
    if (saveManagerCreated)
        callHook(hooks.level.destroySaveManager);
    saveManagerCreated = false;
    saveManager = nullptr;
    delete languageManager;
    languageManager = nullptr;
    delete frameStopwatch;
    frameStopwatch = nullptr;
    delete profilerManager;
    profilerManager = nullptr;
    delete steamManager;
    steamManager = nullptr;

    // The managers that hold engine objects go before the device.
    if (effectHandler)
        callHook(hooks.render.destroyEffectHandler);
    effectHandler = nullptr;
    if (lightManager)
        callHook(hooks.render.destroyLightManager);
    lightManager = nullptr;
    if (animatorFactory)
        callHook(hooks.characters.destroyAnimatorFactory);
    animatorFactory = nullptr;
    if (elementFactoryRegistered)
        callHook(hooks.screens.releaseElementFactory);
    elementFactoryRegistered = false;
    if (sceneNodeFactoryRegistered)
        callHook(hooks.level.releaseSceneNodeFactory);
    sceneNodeFactoryRegistered = false;

    if (gameDevice) {
        platform::clipCursor(gameDevice, nullptr);
        gameDevice->closeDevice();
        gameDevice->run();
        gameDevice->drop();
        gameDevice = nullptr;
    }
    // The input manager goes after the device whose events it received; the shader manager last.
    if (inputManager)
        callHook(hooks.input.destroy);
    inputManager = nullptr;
    eventReceiver = nullptr;
    standInReceiver.reset();
    if (shaderManager)
        callHook(hooks.render.destroyShaderManager);
    shaderManager = nullptr;
}
