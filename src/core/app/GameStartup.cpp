// Start-up of the game routine: the first phase (working folder, settings, input manager,
// log, engine device, screen and level managers) and the second (every other manager, the
// physics world, the screens and the initial level), each step in its fixed order.
#include "core/app/GameApplication.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

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
#include "render/TextureMipMaps.h"
#include "screens/ScreenManager.h"
#include "screens/ScreenRegistration.h"

#include <irrlicht.h>

bool GameApplication::startPhaseOne() {
    // A restart asked for by the options (left from the main menu) comes back to them over
    // the main menu, not into the level the game was started with.
    if (restartedRun && ReopenOptionsRequested)
        commandLineLevel.clear();
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
    // A folder the game cannot write to (a read-only disk, another user's folder) takes no
    // settings file (its lock is the folder's own): said once, before the window opens.
    workingFolderWritable = platform::directoryWritable(".");
    if (!workingFolderWritable && !restartedRun)
        logMessage(std::string(logWarningPrefix) + "The working folder \"" + platform::currentDirectory() +
                   "\" cannot be written: settings changed in play will not be kept.");
    removeLeftoverTemporaryFiles(".");
    // The screen manager's start-up reads it: no main menu in front of a named level. A
    // path that does not exist brings up the title screen; the level manager logs it when
    // the initial level loads.
    levelOnCommandLine = !commandLineLevel.empty() && platform::fileExists(commandLineLevel);

    const bool firstRun = !platform::fileExists(GameSettings::defaultFileName);
    gameSettings = new GameSettings();
    // The quit watch's copy: a frame that never returns still lets the settings be saved.
    gameSettings->keepForcedEndCopy(workingFolderWritable);
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
    if (logManager->isOpen())
        setForcedEndLogFile(logManager->path());
    steamManager = new SteamManager();
    // A quit that came before the window: the log and the settings exist, nothing costly has
    // been made, and the shutdown writes the player's files.
    if (quitSignalReceived() || !createDevice())
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

namespace {

// The Phong variants the title does not draw wait for the first level that has loaded, so
// that none compiles while it plays (ShaderManager::rebuildShaders).
void buildShadersAfterTheTitle() {
    if (shaderManager && levelManager &&
        !levelManager->getCurrentLevelPath().equals_ignore_case(irr::core::stringw(titleBackgroundLevel)))
        shaderManager->buildWaitingVariants();
}

// The engine's lines of one attempt at making the device, held until it is known whether
// the attempt counts.
class HeldEngineLines : public irr::IEventReceiver {
public:
    bool OnEvent(const irr::SEvent& event) override {
        if (event.EventType == irr::EET_LOG_TEXT_EVENT && event.LogEvent.Text)
            lines.emplace_back(event.LogEvent.Text, event.LogEvent.Level);
        return true;
    }
    void passTo(irr::IEventReceiver* receiver) const {
        if (!receiver)
            return;
        for (const auto& [text, level] : lines) {
            irr::SEvent event{};
            event.EventType = irr::EET_LOG_TEXT_EVENT;
            event.LogEvent.Text = text.c_str();
            event.LogEvent.Level = level;
            receiver->OnEvent(event);
        }
    }
    std::vector<std::pair<std::string, irr::ELOG_LEVEL>> lines;
};

} // namespace

irr::IrrlichtDevice* createDeviceWithRetries(const irr::SIrrlichtCreationParameters& wanted,
                                             irr::IEventReceiver* receiver, const DeviceMaker& make) {
    irr::SIrrlichtCreationParameters params = wanted;
    HeldEngineLines held;
    params.EventReceiver = &held;
    const int attempts = params.DriverType == irr::video::EDT_NULL ? 1 : platform::displayConnectAttempts;
    irr::IrrlichtDevice* device = nullptr;
    int attempt = 0;
    while (!device && attempt < attempts) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ++attempt;
        held.lines.clear();
        device = make(params);
    }
    if (device)
        device->setEventReceiver(receiver);
    held.passTo(receiver);
    if (device && attempt > 1) {
        const std::string line = "The display refused the window " + std::to_string(attempt - 1) +
                                 (attempt == 2 ? " time" : " times") + "; the next attempt opened it.";
        device->getLogger()->log(line.c_str(), irr::ELL_INFORMATION);
    }
    return device;
}

namespace {

// The X server went away under the game: the engine and the window are gone with it, the
// player's files are not. Runs on the main thread (the game's only one that talks to the
// display), inside the request that found the connection gone; it never returns.
[[noreturn]] void endForLostDisplay() {
    if (saveManager)
        saveManager->writeRequested();
    endGameAtOnce("The connection to the display was lost", gameStatusDisplayLost);
}

} // namespace

bool GameApplication::createDevice() {
    const irr::SIrrlichtCreationParameters params = deviceParametersFromSettings();
    // A display that refuses a request (vertical sync under a virtual X server) would
    // otherwise end the process before the log could say why; one that goes away would end
    // it without a word and without the player's files.
    platform::catchDisplayErrors();
    platform::onDisplayConnectionLost(endForLostDisplay);
    gameDevice = createDeviceWithRetries(params, inputManager,
                                         [](const irr::SIrrlichtCreationParameters& params) {
                                             return irr::createDeviceEx(params);
                                         });
    if (!gameDevice) {
        logMessage("ERROR: Could not create the engine device.");
        return false;
    }
    platform::watchGameWindow(gameDevice);
    platform::syncDisplay(gameDevice);
    logDisplayErrors(params.Vsync);
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
    // The window stays at this size: nothing lays the screens out for another.
    windowSize = size;
    platform::keepWindowSize(gameDevice, windowSize);
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
    // The pictures loaded up to the title's level (the loading picture, the input devices'
    // overlays, the menus, the HUD) are drawn flat: made without mip maps, which cost the
    // start more than anything else (render/TextureMipMaps.h).
    std::optional<TextureMipMaps> flatPictures(std::in_place, gameDevice->getVideoDriver(), false);
    showLoadingImage();

    inputManager->init(gameDevice);
    inputManager->resetInputState();
    // A quit signal stops start-up before and between its longer steps (the window, the input
    // devices, the effects, the shaders, the sound, the screens); the shutdown undoes what was
    // made. The shaders stop between programs, the level load between its objects. A step
    // that does not look (the window being made, a shader the driver builds) is the quit
    // watch's to end (core/ProcessGuards.h).
    if (quitSignalReceived())
        return false;

    logMessage("Creating PhysicsManager.");
    physicsManager = new PhysicsManager();
    levelManager->init();
    createSaveManager(gameDevice->getFileSystem());
    saveManagerCreated = true;
    languageManager = new LanguageManager(gameDevice);
    profilerManager = new ProfilerManager();
    if (quitSignalReceived())
        return false;

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
    if (quitSignalReceived())
        return false;
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

    if (quitSignalReceived())
        return false;
    soundManager = new SoundManager();
    soundManager->init();

    if (!physicsManager->init()) {
        logMessage("ERROR: Could not create PhysicsManager");
        return false;
    }
    if (quitSignalReceived())
        return false;

    logMessage("Initializing ScreenManager.");
    subscribeScreenLevelHandlers();
    levelManager->onLevelUnloaded.addMember(physicsManager, &PhysicsManager::resetScene);
    for (CameraManager* camera : cameraManagers)
        if (camera)
            screenManager->PauseOpened.addMember(camera, &CameraManager::leaveFreeCamera);
    levelManager->onLevelUnloaded.addMember(effectHandler, &EffectHandler::resetLevelState);
    levelManager->onLevelUnloaded.addMember(lightManager, &LightManager::resetLights);
    levelManager->onLevelLoaded.addFunction(&buildShadersAfterTheTitle);
    screenManager->init();
    flatPictures.reset();

    if (!commandLineLevel.empty())
        levelManager->setCommandLineLevel(irr::io::path(commandLineLevel.c_str()));
    levelManager->loadInitialLevel();
    StartingUp = false;
    // After a quit during the load the game stays in its start-up for the quit watch: the first
    // frame sees the signal before anything of the player's changes.
    if (!quitSignalReceived())
        markStartUpDone();
    return true;
}
