#include "ShellFixture.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LogManager.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

ShellFixture::ShellFixture() {
    std::filesystem::create_directory_symlink(test::sourceDir() / "Content", dir.path() / "Content");
    workingDir = std::make_unique<test::ScopedWorkingDir>(dir.path());
    resetShellHooks();
    resetProgramFlags();
    writeSettings();
}

ShellFixture::~ShellFixture() {
    resetShellHooks();
    resetProgramFlags();
    // A restart's request to reopen the options outlives the program flags' reset.
    ReopenOptionsRequested = false;
    workingDir.reset();
}

void ShellFixture::writeSettings(const std::function<void()>& adjust) {
    GameSettings* previous = gameSettings;
    GameSettings settings(dir.file("PaddlestoneConfig.xml"));
    settings.load(true);
    gameSettings = &settings;
    setSettingString("Graphics_Driver", "Null");
    setSettingBool("Graphics_Vsync", false);
    if (adjust)
        adjust();
    settings.save();
    gameSettings = previous;
}

std::vector<std::string> ShellFixture::traceOf(const std::string& prefix) const {
    std::vector<std::string> part;
    for (const std::string& entry : trace)
        if (entry.compare(0, prefix.size(), prefix) == 0)
            part.push_back(entry);
    return part;
}

const std::vector<std::string> ShellFixture::startUpLines = {
    "Creating ScreenManager.",    "Creating LevelManager.",  "Creating PhysicsManager.",
    "Creating EffectHandler.",    "Creating LightManager.",  "Creating ShaderManager.",
    "Creating ConfigTentMovement.", "Initializing ScreenManager."};

std::vector<std::string> ShellFixture::startUpLinesInLog() const {
    std::vector<std::string> found;
    for (const std::string& line : logLines())
        if (std::find(startUpLines.begin(), startUpLines.end(), line) != startUpLines.end())
            found.push_back(line);
    return found;
}

std::vector<std::string> ShellFixture::logLines() const {
    std::vector<std::string> lines;
    std::ifstream in(dir.file("PaddlestoneLog.txt"));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t end = line.find("] ");
        if (!line.empty() && line[0] == '[' && end != std::string::npos)
            line = line.substr(end + 2);
        lines.push_back(line);
    }
    return lines;
}

bool ShellFixture::LogReceiver::OnEvent(const irr::SEvent& event) {
    if (event.EventType != irr::EET_LOG_TEXT_EVENT)
        return false;
    if (logManager)
        logManager->log(event.LogEvent.Text);
    const std::string text = event.LogEvent.Text;
    for (const char* start : {"Creating ", "Initializing ", "ERROR: "})
        if (text.rfind(start, 0) == 0)
            trace.push_back("log:" + text);
    return false;
}

void ShellFixture::recordAllHooks() {
    ShellHooks& h = shellHooks();
    auto note = [this](const char* name) { return [this, name] { trace.push_back(name); }; };

    h.input.create = [this]() -> irr::IEventReceiver* {
        trace.push_back("input.create");
        inputManager = standIn<InputManager>(12);
        return &receiver;
    };
    h.input.init = [this](irr::IrrlichtDevice*) { trace.push_back("input.init"); };
    h.input.resetInputState = note("input.resetInputState");
    h.input.update = note("input.update");
    h.input.updateDeviceOverlays = note("input.updateDeviceOverlays");
    h.input.endFrame = note("input.endFrame");
    h.input.destroy = note("input.destroy");
    h.input.createMovementObject = [this](irr::scene::ISceneManager*) {
        trace.push_back("input.createMovementObject");
        return standIn<ConfigTentMovementObject>(0);
    };
    h.input.destroyMovementObject = note("input.destroyMovementObject");

    h.physics.create = [this] {
        trace.push_back("physics.create");
        return standIn<PhysicsManager>(1);
    };
    h.physics.init = [this] {
        trace.push_back("physics.init");
        return physicsInitSucceeds;
    };
    h.physics.bindResetScene = note("physics.bindResetScene");
    h.physics.endStep = note("physics.endStep");
    h.physics.updateStepCount = note("physics.updateStepCount");
    h.physics.beginStep = note("physics.beginStep");
    h.physics.setFrameSimulatedTime = [this](irr::f32 seconds) {
        trace.push_back(seconds == 0.0167f ? "physics.setFrameSimulatedTime" : "physics.setFrameSimulatedTime?");
    };
    h.physics.stepDuringRender = note("physics.stepDuringRender");
    h.physics.drawDebug = note("physics.drawDebug");
    h.physics.isSimulationActive = [] { return true; };
    h.physics.destroy = note("physics.destroy");

    h.level.create = [this](irr::IrrlichtDevice*) {
        trace.push_back("level.create");
        return standIn<LevelManager>(2);
    };
    h.level.init = note("level.init");
    h.level.processLevelEvents = note("level.processLevelEvents");
    h.level.update = note("level.update");
    h.level.runEndOfUpdateList = note("level.runEndOfUpdateList");
    h.level.loadInitialLevel = [this](const irr::io::path& path) {
        trace.push_back("level.loadInitialLevel(" + std::string(path.c_str()) + ")");
    };
    h.level.unloadAndDestroy = note("level.unloadAndDestroy");
    h.level.registerSceneNodeFactory = [this](irr::scene::ISceneManager*) {
        trace.push_back("level.registerSceneNodeFactory");
    };
    h.level.createSaveManager = note("level.createSaveManager");
    h.level.destroySaveManager = note("level.destroySaveManager");

    h.screens.create = [this](irr::IrrlichtDevice*) {
        trace.push_back("screens.create");
        return standIn<ScreenManager>(3);
    };
    h.screens.init = note("screens.init");
    h.screens.subscribeLevelHandlers = note("screens.subscribeLevelHandlers");
    h.screens.update = note("screens.update");
    h.screens.updateDebugStats = note("screens.updateDebugStats");
    h.screens.draw = note("screens.draw");
    h.screens.postRenderGUI = [this](irr::f32) { trace.push_back("screens.postRenderGUI"); };
    h.screens.destroy = note("screens.destroy");
    h.screens.isInputAllowed = [this] { return inputAllowed; };
    h.screens.isGameUpdateAllowed = [this] { return gameUpdateAllowed; };
    h.screens.topScreenKeepsTimerRunning = [this] { return keepsTimerRunning; };
    h.screens.overlayBlend = [this] { return overlayBlend; };
    h.screens.registerElementFactory = [this](irr::gui::IGUIEnvironment*) {
        trace.push_back("screens.registerElementFactory");
    };
    h.screens.releaseElementFactory = note("screens.releaseElementFactory");

    h.render.createEffectHandler = [this](irr::IrrlichtDevice*, const EffectHandlerSetup&) {
        trace.push_back("render.createEffectHandler");
        return standIn<EffectHandler>(4);
    };
    h.render.createLightManager = [this](irr::scene::ISceneManager*) {
        trace.push_back("render.createLightManager");
        return standIn<LightManager>(5);
    };
    h.render.createShaderManager = [this](irr::IrrlichtDevice*) {
        trace.push_back("render.createShaderManager");
        return standIn<ShaderManager>(6);
    };
    h.render.bindLevelResets = note("render.bindLevelResets");
    h.render.updateCharacterTextures = note("render.updateCharacterTextures");
    h.render.updateShadowCascades = note("render.updateShadowCascades");
    h.render.runRenderCallbacks = note("render.runRenderCallbacks");
    h.render.drawScene = note("render.drawScene");
    h.render.destroyEffectHandler = note("render.destroyEffectHandler");
    h.render.destroyLightManager = note("render.destroyLightManager");
    h.render.destroyShaderManager = note("render.destroyShaderManager");

    h.characters.loadSuspicionConfig = [this] {
        trace.push_back("characters.loadSuspicionConfig");
        return 0;
    };
    h.characters.unloadSuspicionConfig = note("characters.unloadSuspicionConfig");
    h.characters.createAnimatorFactory = [this](irr::scene::ISceneManager*) {
        trace.push_back("characters.createAnimatorFactory");
        return standIn<AnimatorFactory>(7);
    };
    h.characters.destroyAnimatorFactory = note("characters.destroyAnimatorFactory");

    h.cameras.create = [this](int viewport) {
        trace.push_back("cameras.create(" + std::to_string(viewport) + ")");
        return standIn<CameraManager>(8 + viewport);
    };
    h.cameras.subscribeLeaveFreeCamera = [this](CameraManager*) {
        trace.push_back("cameras.subscribeLeaveFreeCamera");
    };
    h.cameras.update = [this](CameraManager*) { trace.push_back("cameras.update"); };
    h.cameras.destroy = [this](CameraManager*) { trace.push_back("cameras.destroy"); };
}
