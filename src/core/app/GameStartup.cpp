// Start-up of the game routine: the first phase (working folder, settings, input manager,
// log, engine device, screen and level managers) and the second (every other manager, the
// physics world, the screens and the initial level), each step in its fixed order.
#include "core/app/GameApplication.h"

#include <filesystem>
#include <system_error>
#include <chrono>
#include <thread>

#include "core/DeviceSettings.h"
#include "core/FileChecks.h"
#include "core/ImageGate.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LanguageManager.h"
#include "core/Log.h"
#include "core/Utf8.h"
#include "core/LogManager.h"
#include "core/ProfilerManager.h"
#include "core/ProcessGuards.h"
#include "core/SafeWrite.h"
#include "core/SoundManager.h"
#include "core/SteamManager.h"
#include "core/Stopwatch.h"
#include "camera/CameraManager.h"
#include "camera/CameraRegistration.h"
#include "characters/SuspicionRules.h"
#include "characters/animators/AnimatorFactory.h"
#include "gui/GUIElementFactory.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "level/SceneNodeFactory.h"
#include "physics/world/PhysicsManager.h"
#include "platform/Kernel.h"
#include "platform/Power.h"
#include "platform/Window.h"
#include "player/ConfigTentMovementObject.h"
#include "player/InputManager.h"
#include "render/EffectHandler.h"
#include "render/LightManager.h"
#include "render/RenderManagers.h"
#include "render/ShaderManager.h"
#include "screens/ScreenManager.h"
#include "screens/ScreenRegistration.h"

#include <irrlicht.h>

bool GameApplication::startPhaseOne() {
    // The working-directory check may move the program to another folder: a level named
    // relative to the folder the player started in must still be found.
    if (!commandLineLevel.empty()) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(commandLineLevel, error);
        if (!error)
            commandLineLevel = absolute.lexically_normal().string();
    }
    checkWorkingDirectory(platform::executablePath());
    if (!acquireInstanceLock()) {
        logMessage(std::string(logErrorPrefix) + "Another Paddlestone is running in the folder \"" +
                   platform::currentDirectory() + "\"; this one ends.");
        return false;
    }
    removeLeftoverTemporaryFiles(".");
    // The screen manager's start-up reads it: no main menu in front of a named level. A
    // path that does not exist brings up the title screen; the level manager logs it when
    // the initial level loads.
    levelOnCommandLine = !commandLineLevel.empty() && platform::fileExists(commandLineLevel);

    const bool firstRun = !platform::fileExists(GameSettings::defaultFileName);
    gameSettings = new GameSettings();
    gameSettings->load(false);
    // A portable machine usually draws with integrated graphics: its first run starts with
    // lighter shadows.
    if (firstRun && platform::hasSystemBattery()) {
        setSettingInt("Graphics_ShadowQuality", 512);
        logMessage("First run on a portable machine: shadow quality lowered to 512.");
    }
    readStartupSettings();

    // Logged before the device exists: this line reaches standard output only. The input
    // manager is the engine device's event receiver; it hands the engine's log lines to the
    // log manager.
    logMessage("Creating InputManager.");
    inputManager = new InputManager();
    logManager = new LogManager(LogManager::defaultFileName,
                                restartedRun ? LogManager::Opening::Continue : LogManager::Opening::Replace);
    steamManager = new SteamManager();
    if (!createDevice())
        return false;
    gameDifficulty = getSettingInt("Game_Difficulty");

    logMessage("Creating ScreenManager.");
    screenManager = new ScreenManager(gameDevice->getGUIEnvironment());
    logMessage("Creating LevelManager.");
    levelManager = new LevelManager(gameDevice);
    return true;
}

// Settings read once at start-up into program-wide values.
void GameApplication::readStartupSettings() {
    demoMode = getSettingBool("System_DemoMode");
    logTriggers = getSettingBool("System_LogTriggers");
    multiTaroMode = getSettingBool("System_MultiTaro");
    baseShadowDistance = defaultBaseShadowDistance;
}

bool GameApplication::createDevice() {
    irr::SIrrlichtCreationParameters params = deviceParametersFromSettings();
    params.EventReceiver = inputManager;
    gameDevice = irr::createDeviceEx(params);
    // A busy X server refuses a connection now and then for a moment: the window is asked
    // for again a little later before the start fails.
    for (int attempt = 1; !gameDevice && params.DriverType != irr::video::EDT_NULL &&
                          attempt < platform::displayConnectAttempts;
         ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        gameDevice = irr::createDeviceEx(params);
    }
    if (!gameDevice) {
        logMessage("ERROR: Could not create the engine device.");
        return false;
    }
    platform::keepGraphicsDriverForLeakCheck();
    // Every file the engine opens for the game is checked first (core/FileChecks.h).
    installFileGuard(gameDevice->getFileSystem());
    irr::video::IVideoDriver* driver = gameDevice->getVideoDriver();
    registerImageGate(driver);
    const irr::core::dimension2du size = driver->getScreenSize();
    screenWidth = static_cast<irr::s32>(size.Width);
    screenHeight = static_cast<irr::s32>(size.Height);
    deviceFullscreenMode = getSettingInt("Graphics_FullscreenMode");
    deviceVsync = params.Vsync;
    if (deviceFullscreenMode == 2)
        platform::removeWindowDecorations(gameDevice);
    logManager->logVideoDriver(toUtf8(driver->getName()));
    updateWindowCaption();

    frameStopwatch = new Stopwatch(L"Frame", frameTargetInterval);
    frameStopwatch->reset();
    return true;
}

void GameApplication::showLoadingImage() {
    irr::video::IVideoDriver* driver = gameDevice->getVideoDriver();
    irr::video::ITexture* image = driver->getTexture(loadingImageFile);
    if (!driver->beginScene(true, true, irr::video::SColor(0xFF000000)))
        return;
    if (image) {
        const irr::core::dimension2du size = image->getOriginalSize();
        driver->draw2DImage(image, irr::core::recti(0, 0, screenWidth, screenHeight),
                            irr::core::recti(0, 0, static_cast<irr::s32>(size.Width),
                                             static_cast<irr::s32>(size.Height)));
    }
    driver->endScene();
}

// The second phase (initGameManagers).
bool GameApplication::initGameManagers() {
    irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
    showLoadingImage();

    inputManager->init(gameDevice);
    inputManager->resetInputState();

    logMessage("Creating PhysicsManager.");
    physicsManager = new PhysicsManager();
    levelManager->init();
    createSaveManager(gameDevice->getFileSystem());
    saveManagerCreated = true;
    languageManager = new LanguageManager(gameDevice);
    profilerManager = new ProfilerManager();

    logMessage("Creating EffectHandler.");
    EffectHandlerSetup effects;
    effects.clearColour = sceneClearColour;
    effects.shadowsEnabled = getSettingBool("Graphics_Shadows");
    effects.shadowDistanceMode = getSettingInt("Graphics_ShadowDistance");
    effects.renderCallbacksEnabled = getSettingBool("Graphics_Reflection");
    effects.ssaoEnabled = false;
    effectHandler = createEffectHandler(gameDevice, effects);
    logMessage("Creating LightManager.");
    lightManager = new LightManager(scene);
    logMessage("Creating ShaderManager.");
    // The manager is the program's shaderManager before it builds its shaders.
    shaderManager = new ShaderManager();
    shaderManager->init();
    logMessage("Creating ConfigTentMovement.");
    movementObject = new ConfigTentMovementObject(nullptr, scene, -1);
    // The suspicion rules' own result (0 read, -1 cannot open) does not stop the start-up.
    loadSuspicionConfig();
    suspicionConfigLoaded = true;

    registerSceneNodeFactory(scene);
    elementFactory = new GUIElementFactory(gameDevice->getGUIEnvironment());
    animatorFactory = new AnimatorFactory(scene);

    const int cameraCount = multiTaroMode ? maxCameraManagers : 1;
    for (int viewport = 0; viewport < cameraCount; ++viewport)
        cameraManagers[viewport] = createCameraManager(viewport);

    soundManager = new SoundManager();
    soundManager->init();

    if (!physicsManager->init()) {
        logMessage("ERROR: Could not create PhysicsManager");
        return false;
    }

    logMessage("Initializing ScreenManager.");
    subscribeScreenLevelHandlers();
    levelManager->onLevelUnloaded.addMember(physicsManager, &PhysicsManager::resetScene);
    for (CameraManager* camera : cameraManagers)
        if (camera)
            screenManager->PauseOpened.addMember(camera, &CameraManager::leaveFreeCamera);
    levelManager->onLevelUnloaded.addMember(effectHandler, &EffectHandler::resetLevelState);
    levelManager->onLevelUnloaded.addMember(lightManager, &LightManager::resetLights);
    screenManager->init();

    if (!commandLineLevel.empty())
        levelManager->setCommandLineLevel(irr::io::path(commandLineLevel.c_str()));
    levelManager->loadInitialLevel();
    StartingUp = false;
    return true;
}
