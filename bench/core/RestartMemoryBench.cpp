// What in-process restarts cost in memory: the game started, played for a few seconds of the
// title screen (3 by default: the menus are up by then) and restarted, as a change of graphics settings does, N times (default 15)
// in this process. Prints each run's resident size and heap in use after its frames, and
// last the growth from the first run to the last (goal: at most 10 MB resident). Uses the OpenGL
// driver (run it under Xvfb from the repository root:
// xvfb-run -a -s '-screen 0 1280x720x24' build/bench/bench/restart_memory_bench [runs] [seconds a run] [driver]);
// "Null" as the driver needs no display.
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/app/GameApplication.h"
#include "core/app/SubsystemRegistration.h"

#include <irrlicht.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

struct MemoryFigures {
    double residentMB = 0.0;
    double heapMB = 0.0;
};

MemoryFigures measureMemory() {
    MemoryFigures figures;
    long pages = 0;
    long resident = 0;
    std::ifstream statm("/proc/self/statm");
    if (statm >> pages >> resident)
        figures.residentMB = static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1048576.0;
    // Small blocks in the arenas and large ones mapped on their own: a freed large block may
    // come back as arena memory in a later run.
    const struct mallinfo2 heap = mallinfo2();
    figures.heapMB = static_cast<double>(heap.uordblks + heap.hblkhd) / 1048576.0;
    return figures;
}

// The settings of the runs: the driver asked for, vsync off (a virtual X server refuses it).
void writeSettings(const std::string& driver) {
    GameSettings settings(GameSettings::defaultFileName);
    settings.load(true);
    GameSettings* previous = gameSettings;
    gameSettings = &settings;
    setSettingString("Graphics_Driver", driver.c_str());
    setSettingBool("Graphics_Vsync", false);
    settings.save();
    gameSettings = previous;
}

// One run: start-up, the given seconds of frames, then the restart's shutdown. The memory is measured
// after the frames, as the player meets it. False when the game did not start.
bool playOneRun(double seconds, MemoryFigures& playing) {
    GameApplication game;
    const bool started = game.startUp();
    if (started) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (gameDevice->run() && std::chrono::steady_clock::now() < end) {
            game.updateGame();
            if (game.frameRan())
                game.renderGame();
        }
        playing = measureMemory();
        RestartRequested = true;
    }
    game.shutdownGame();
    return started;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(2, std::atoi(argv[1])) : 15;
    const double seconds = argc > 2 ? std::max(0.1, std::atof(argv[2])) : 3.0;
    const std::string driver = argc > 3 ? argv[3] : "OpenGL";

    // A working folder of its own (settings, log, lock, player files) that links the content.
    const std::filesystem::path root = std::filesystem::current_path();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("paddlestone-restart-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "data");
    std::error_code ignored;
    std::filesystem::create_directory_symlink(root / "Content", folder / "Content", ignored);
    ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    std::filesystem::current_path(folder);
    writeSettings(driver);
    registerGameSubsystems();

    MemoryFigures first;
    MemoryFigures last;
    int played = 0;
    for (int run = 1; run <= runs; ++run) {
        MemoryFigures playing;
        if (!playOneRun(seconds, playing)) {
            std::printf("Run %d: the game did not start (no display?)\n", run);
            break;
        }
        ++played;
        last = playing;
        if (run == 1)
            first = last;
        std::printf("Run %d: resident %.1f MB, heap in use %.1f MB\n", run, last.residentMB, last.heapMB);
        std::fflush(stdout);
    }
    resetGameSubsystemSlots();
    resetProgramFlags();
    std::filesystem::current_path(root, ignored);
    std::filesystem::remove_all(folder, ignored);
    if (played < 2)
        return 1;
    std::printf("Restarts: %d runs; resident %+.1f MB and heap %+.1f MB from the first to the last (goal: at most "
                "10 MB resident)\n",
                played, last.residentMB - first.residentMB, last.heapMB - first.heapMB);
    return 0;
}
