#pragma once

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/app/GameApplication.h"
#include "core/app/SubsystemRegistration.h"

#include <irrlicht.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <unistd.h>

namespace bench {

inline double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A working folder of its own for the whole game (settings, log, lock, player files) that
// links the content of the repository root, the folder the benchmark runs from. Removed
// with the object.
class GameFolder {
public:
    explicit GameFolder(const std::string& name) : root(std::filesystem::current_path()) {
        folder = std::filesystem::temp_directory_path() / ("paddlestone-" + name + "-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder / "data");
        std::error_code ignored;
        std::filesystem::create_directory_symlink(root / "Content", folder / "Content", ignored);
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    }
    ~GameFolder() {
        std::error_code ignored;
        std::filesystem::current_path(root, ignored);
        std::filesystem::remove_all(folder, ignored);
    }
    GameFolder(const GameFolder&) = delete;
    GameFolder& operator=(const GameFolder&) = delete;

    // The settings file of a 1280 x 720 OpenGL window without vsync (under Xvfb vsync ends
    // the process) or antialiasing; `adjust` sets further keys.
    void writeSettings(const std::function<void()>& adjust = {}) const {
        GameSettings settings((folder / "PaddlestoneConfig.xml").string().c_str());
        settings.load(true);
        GameSettings* previous = gameSettings;
        gameSettings = &settings;
        setSettingString("Graphics_Driver", "OpenGL");
        setSettingBool("Graphics_Vsync", false);
        setSettingInt("Graphics_Antialiasing", 0);
        setSettingInt("Graphics_ScreenWidth", 1280);
        setSettingInt("Graphics_ScreenHeight", 720);
        if (adjust)
            adjust();
        settings.save();
        gameSettings = previous;
    }

    std::filesystem::path root;
    std::filesystem::path folder;
};

// CPU seconds of one frame: the main thread's, and the whole process's (a software OpenGL
// under Xvfb shades every pixel on its own threads).
struct FrameTimes {
    double thread = 0.0;
    double process = 0.0;
    bool ran = false;
};

// The whole game started in a folder on one level (the settings written before, the
// registrations made here), shut down with the object.
class GameSession {
public:
    GameSession(GameFolder& where, const std::string& level) : where(where) {
        std::filesystem::current_path(where.folder);
        resetProgramFlags();
        registerGameSubsystems();
        game = std::make_unique<GameApplication>(level);
        started = game->startUp();
    }
    ~GameSession() {
        game->shutdownGame();
        game.reset();
        resetGameSubsystemSlots();
        resetProgramFlags();
        std::filesystem::current_path(where.root);
    }
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    // One frame as the game plays it: updates until a pass gets past the frame cap, then its
    // render. Not run when the game has ended.
    FrameTimes play() {
        FrameTimes times;
        while (gameDevice->run() && !QuitRequested) {
            const double thread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
            const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
            game->updateGame();
            const bool ran = game->frameRan();
            if (ran)
                game->renderGame();
            times.thread += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread;
            times.process += cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process;
            if (ran) {
                times.ran = true;
                return times;
            }
        }
        return times;
    }
    // One render of the scene as it stands, without an update: nothing the game moves moves.
    FrameTimes render() {
        FrameTimes times;
        if (!gameDevice->run() || QuitRequested)
            return times;
        const double thread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        game->renderGame();
        times.thread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread;
        times.process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process;
        times.ran = true;
        return times;
    }

    GameFolder& where;
    std::unique_ptr<GameApplication> game;
    bool started = false;
};

} // namespace bench
