// What the start costs up to the title: each run a new process (forked before anything opens
// the display) starts the whole game on the OpenGL driver with the default settings (a
// 1280 x 720 window without vsync) and plays frames until the first frame that shows the
// title screen. Prints each run's main-thread CPU time from the start of the game routine to
// the end of that frame (the system's loading of the program, before it, is not counted),
// the part of it spent in the start-up itself (the managers, the shaders, the title's level),
// the process's CPU time (the software renderer's threads too) and the wall time; last the
// median main-thread time against the goal of at most 0.5 s.
//
//   start_title_bench [runs (7)]
// Needs an X display (Xvfb, 1280 x 720); run from the repository root.
#include "core/Globals.h"
#include "gui/GUIScreen.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIMainScreen.h"

#include "../support/GameSession.h"

#include <irrlicht.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double goalSeconds = 0.5;
constexpr int frameBound = 2000;

struct StartFigures {
    double thread = 0.0;  // main thread, to the title's first frame
    double startUp = 0.0; // main thread, the start-up alone
    double process = 0.0;
    double wall = 0.0;
    int frames = 0;
    bool shown = false;
};

GUIMainScreen* titleScreen() {
    if (!screenManager)
        return nullptr;
    for (GUIScreen* screen : screenManager->getScreenStack())
        if (std::strcmp(screen->getTypeName(), "GUIMainScreen") == 0)
            return static_cast<GUIMainScreen*>(screen);
    return nullptr;
}

// One start in this process; the title screen draws itself from the first frame on.
StartFigures startOnce() {
    StartFigures figures;
    bench::GameFolder where("start-title-bench");
    where.writeSettings();
    const auto wallStart = std::chrono::steady_clock::now();
    const double threadStart = bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double processStart = bench::cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    bench::GameSession session(where, "");
    figures.startUp = bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadStart;
    if (!session.started)
        return figures;
    while (figures.frames < frameBound) {
        const GUIMainScreen* title = titleScreen();
        const bool drawsTitle = title && title->isVisible();
        if (!session.play().ran)
            break;
        ++figures.frames;
        if (drawsTitle) {
            figures.shown = true;
            break;
        }
    }
    figures.thread = bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadStart;
    figures.process = bench::cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
    figures.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    return figures;
}

// The start in a child process of its own: every run meets the driver as a new program does.
bool startInChild(StartFigures& figures) {
    int channel[2];
    if (pipe(channel) != 0)
        return false;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        close(channel[0]);
        // The game's log lines would bury the figures.
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) {
            dup2(quiet, STDOUT_FILENO);
            dup2(quiet, STDERR_FILENO);
            close(quiet);
        }
        const StartFigures measured = startOnce();
        const ssize_t written = write(channel[1], &measured, sizeof(measured));
        close(channel[1]);
        _exit(written == static_cast<ssize_t>(sizeof(measured)) ? 0 : 1);
    }
    close(channel[1]);
    const ssize_t read = ::read(channel[0], &figures, sizeof(figures));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return read == static_cast<ssize_t>(sizeof(figures)) && figures.shown;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<double> threads;
    for (int run = 1; run <= runs; ++run) {
        StartFigures figures;
        if (!startInChild(figures)) {
            std::printf("Run %d: the title did not show (no display?)\n", run);
            continue;
        }
        threads.push_back(figures.thread);
        std::printf("Run %d: main thread %.3f s (start-up %.3f s, then %d frames), process %.3f s, wall %.3f s\n", run,
                    figures.thread, figures.startUp, figures.frames, figures.process, figures.wall);
        std::fflush(stdout);
    }
    if (threads.empty())
        return 1;
    std::printf("Start to the title, main-thread CPU, median of %zu runs: %.3f s (goal: at most %.1f s)\n",
                threads.size(), median(threads), goalSeconds);
    return 0;
}
