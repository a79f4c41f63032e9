#include "ShellFixture.h"

#include "core/CoreSlots.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/app/SubsystemRegistration.h"
#include "level/LevelManager.h"

#include <irrlicht.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

// Draws nothing; tells the probe each time the GUI is drawn.
class ProbeElement : public irr::gui::IGUIElement {
public:
    ProbeElement(FrameProbe& probe, irr::gui::IGUIEnvironment* environment)
        : IGUIElement(irr::gui::EGUIET_ELEMENT, environment, environment->getRootGUIElement(), -1,
                      irr::core::recti()),
          probe(probe) {}
    void draw() override { probe.drawn(); }

private:
    FrameProbe& probe;
};

} // namespace

ShellFixture::ShellFixture() {
    std::filesystem::create_directory_symlink(test::sourceDir() / "Content",
                                              dir.path() / "Content");
    std::filesystem::create_directories(dir.path() / "data");
    workingDir = std::make_unique<test::ScopedWorkingDir>(dir.path());
    resetAllSlots();
    resetProgramFlags();
    writeSettings();
    registerGameSubsystems();
}

ShellFixture::~ShellFixture() {
    resetAllSlots();
    resetProgramFlags();
    // A restart's request to reopen the options outlives the program flags' reset.
    ReopenOptionsRequested = false;
    workingDir.reset();
}

void ShellFixture::resetAllSlots() { resetGameSubsystemSlots(); }

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

const std::vector<std::string> ShellFixture::startUpLines = {
    "Creating ScreenManager.",      "Creating LevelManager.",  "Creating PhysicsManager.",
    "Creating EffectHandler.",      "Creating LightManager.",  "Creating ShaderManager.",
    "Creating ConfigTentMovement.", "Creating CameraManager.", "Initializing ScreenManager."};

std::vector<std::string> ShellFixture::startUpLinesInLog() const {
    std::vector<std::string> found;
    for (const std::string& line : logLines())
        if (std::find(startUpLines.begin(), startUpLines.end(), line) != startUpLines.end())
            found.push_back(line);
    return found;
}

std::vector<std::string> ShellFixture::logLines() const { return logLinesOf(dir.file("PaddlestoneLog.txt")); }

std::vector<std::string> ShellFixture::logLinesOf(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
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

void FrameProbe::endOfUpdate() {
    ++updates;
    if (onUpdate)
        onUpdate();
}

void FrameProbe::drawn() {
    ++draws;
    if (onDraw)
        onDraw();
}

void ShellFixture::attachProbe() {
    ASSERT_NE(gameDevice, nullptr) << "the game has not started";
    ASSERT_NE(levelManager, nullptr);
    (new ProbeElement(probe, gameDevice->getGUIEnvironment()))->drop();
    levelManager->onEndOfUpdate.addMember(&probe, &FrameProbe::endOfUpdate);
}
