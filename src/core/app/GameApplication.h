#pragma once

#include <dimension2d.h>
#include <irrString.h>
#include <irrTypes.h>

#include <functional>
#include <string>

class GUIElementFactory;
namespace irr {
class IEventReceiver;
class IrrlichtDevice;
struct SIrrlichtCreationParameters;
} // namespace irr

// The game routine: start-up in two phases, the frame loop and shutdown, each in its fixed
// order, calling every manager directly at its place in these orders.
class GameApplication {
public:
    // The texture that shows the working folder holds the game's content.
    static constexpr const char* contentProbeFile = "Content/Models/Editor/White.png";
    // Shown while the managers of the second start-up phase are made.
    static constexpr const char* loadingImageFile = "Content/Screens/Backgrounds/Loading.png";
    // The scene's clear colour, also handed to the effect handler.
    static constexpr irr::u32 sceneClearColour = 0xFFC8C8C8;

    // levelPath: the level named on the command line; empty for the title screen.
    explicit GameApplication(std::string levelPath = {});
    ~GameApplication();
    GameApplication(const GameApplication&) = delete;
    GameApplication& operator=(const GameApplication&) = delete;

    // Start-up, the frame loop until the window closes or a quit or restart is requested,
    // then shutdown. Answers gameStatusNormal, gameStatusRestart, or gameStatusFailure
    // when start-up failed.
    int run();

    // The parts of run(), in their order (tests drive them one by one).
    bool startUp();
    // Frames until the window closes, a quit (or a quit signal) or a restart is requested;
    // answers gameStatusRestart for a restart, else gameStatusNormal.
    int runFrames();
    // One pass of the frame update; gameStatusRestart when a restart was requested.
    int updateGame();
    // True when the last updateGame got past the frame cap and its gates (a frame ran).
    bool frameRan() const { return frameUpdated; }
    void renderGame();
    void shutdownGame();

private:
    bool startPhaseOne();
    bool initGameManagers();
    bool createDevice();
    void readStartupSettings();
    void showLoadingImage();
    void handleWindowFocus();
    void syncPhysics();
    void updateWindowCaption();
    // The errors the display answered since the last look, as one warning line; a refusal
    // while a window with vertical sync was made is the swap interval's.
    void logDisplayErrors(bool windowWithVsyncMade = false);

    std::string commandLineLevel;
    // The factory the GUI environment reads layout files through; the environment holds it too.
    GUIElementFactory* elementFactory = nullptr;
    // Steps of start-up that shutdown undoes, so that a second shutdown undoes nothing twice.
    bool saveManagerCreated = false;
    bool suspicionConfigLoaded = false;
    bool windowFocused = false;
    // False when the working folder cannot be written: the settings are not saved there.
    bool workingFolderWritable = true;
    // The window's size from start-up, which it keeps.
    irr::core::dimension2du windowSize;
    bool windowResizeLogged = false;
    // A restart in the same process: the log file goes on.
    bool restartedRun = false;
    bool frameUpdated = false;
    irr::core::stringw caption;
};

// The entry point's restart loop: runs the game routine again, in the same process, while
// it answers the restart status; answers the last status.
int runGame(const std::string& levelPath);

// The game program (main): the quit signals first, then display scaling and the slot tables,
// then the game routine's restart loop; answers its status. After a quit signal the process
// ends at the log's closing line.
int runGameProgram(const std::string& levelPath);

// Start-up's check that the working folder holds the content: when the probe texture cannot
// be read it logs "Could not load texture, changing working directory (must be running from
// bin folder.)" and moves to the parent of the folder that holds the executable.
void checkWorkingDirectory(const std::string& executablePath);

// Makes an engine device (through `make`). A display that refuses the window for a moment
// (a busy X server) is asked again, up to platform::displayConnectAttempts times. The
// engine's lines of the attempt that counts reach the receiver, which the device then
// keeps: after a refusal the window came through, so the refusal's error lines are left out
// and one line of the game's own says how often it was refused; without a device, the
// lines of the last attempt.
using DeviceMaker = std::function<irr::IrrlichtDevice*(const irr::SIrrlichtCreationParameters&)>;
irr::IrrlichtDevice* createDeviceWithRetries(const irr::SIrrlichtCreationParameters& params,
                                             irr::IEventReceiver* receiver, const DeviceMaker& make);
