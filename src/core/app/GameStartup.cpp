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
#include "core/ShellHooks.h"
#include "core/SoundManager.h"
#include "core/SteamManager.h"
#include "core/Stopwatch.h"
#include "platform/Kernel.h"
#include "platform/Power.h"
#include "platform/Window.h"

#include <irrlicht.h>

namespace {

// Until the input manager exists, this receiver takes the device's events: it hands the
// engine's log lines to the log file, as the input manager does.
class LogForwardingReceiver : public irr::IEventReceiver {
public:
    bool OnEvent(const irr::SEvent& event) override {
        if (event.EventType == irr::EET_LOG_TEXT_EVENT && logManager)
            logManager->log(event.LogEvent.Text);
        return false;
    }
};

} // namespace

bool GameApplication::startPhaseOne() {
    ShellHooks& hooks = shellHooks();
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

    // Logged before the device exists: this line reaches standard output only.
    logMessage("Creating InputManager.");
    if (hooks.input.create) {
        eventReceiver = hooks.input.create();
    } else {
        standInReceiver = std::make_unique<LogForwardingReceiver>();
        eventReceiver = standInReceiver.get();
    }
    logManager = new LogManager();
    steamManager = new SteamManager();
    if (!createDevice())
        return false;
    gameDifficulty = getSettingInt("Game_Difficulty");

    logMessage("Creating ScreenManager.");
    screenManager = askHook(hooks.screens.create, nullptr, gameDevice);
    logMessage("Creating LevelManager.");
    levelManager = askHook(hooks.level.create, nullptr, gameDevice);
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
    params.EventReceiver = eventReceiver;
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
    ShellHooks& hooks = shellHooks();
    irr::scene::ISceneManager* scene = gameDevice->getSceneManager();
    showLoadingImage();

    callHook(hooks.input.init, gameDevice);
    callHook(hooks.input.resetInputState);

    logMessage("Creating PhysicsManager.");
    physicsManager = askHook(hooks.physics.create, nullptr);
    callHook(hooks.level.init);
    callHook(hooks.level.createSaveManager);
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
    effectHandler = askHook(hooks.render.createEffectHandler, nullptr, gameDevice, effects);
    logMessage("Creating LightManager.");
    lightManager = askHook(hooks.render.createLightManager, nullptr, scene);
    logMessage("Creating ShaderManager.");
    shaderManager = askHook(hooks.render.createShaderManager, nullptr, gameDevice);
    logMessage("Creating ConfigTentMovement.");
    movementObject = askHook(hooks.input.createMovementObject, nullptr, scene);
    // The suspicion rules' own result (0 read, -1 cannot open) does not stop the start-up.
    askHook(hooks.characters.loadSuspicionConfig, 0);
    suspicionConfigLoaded = true;

    callHook(hooks.level.registerSceneNodeFactory, scene);
    callHook(hooks.screens.registerElementFactory, gameDevice->getGUIEnvironment());
    elementFactoryRegistered = true;
    animatorFactory = askHook(hooks.characters.createAnimatorFactory, nullptr, scene);

    const int cameraCount = multiTaroMode ? maxCameraManagers : 1;
    for (int viewport = 0; viewport < cameraCount; ++viewport)
        cameraManagers[viewport] = askHook(hooks.cameras.create, nullptr, viewport);

    soundManager = new SoundManager();
    soundManager->init();

    if (physicsManager && !askHook(hooks.physics.init, true)) {
        logMessage("ERROR: Could not create PhysicsManager");
        return false;
    }

    logMessage("Initializing ScreenManager.");
    callHook(hooks.screens.subscribeLevelHandlers);
    callHook(hooks.physics.bindResetScene);
    for (CameraManager* camera : cameraManagers)
        if (camera)
            callHook(hooks.cameras.subscribeLeaveFreeCamera, camera);
    callHook(hooks.render.bindLevelResets);
    callHook(hooks.screens.init);

    callHook(hooks.level.loadInitialLevel, irr::io::path(commandLineLevel.c_str()));
    StartingUp = false;
    return true;
}
