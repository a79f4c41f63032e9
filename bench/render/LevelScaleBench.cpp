// How the game's frame grows with the level: the story greenhouse copied 1, 10 and 100 times
// side by side (tools/multiply-level.sh makes the levels), each played by the whole game in
// this process on the OpenGL driver with the default settings (quality 0, shadows, water
// images). Each iteration is one frame; its time is the main thread's CPU time in the
// frame's update and render (sleeps and worker threads do not count). Prints last, for 10x
// and 100x, the frame-time ratio against 1x beside the ratio of their scene-node counts:
// the goal is a frame ratio of at most twice the node ratio. Needs an X display (Xvfb,
// 1280 x 720); run from the repository root.
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/app/GameApplication.h"
#include "core/app/SubsystemRegistration.h"

#include "../support/RatioReporter.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <unistd.h>

using namespace irr;

namespace {

constexpr const char* sourceLevel = "Content/Levels/Story_Greenhouse.irr";

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

u32 countNodes(scene::ISceneNode* node) {
    u32 count = 1;
    for (scene::ISceneNode* child : node->getChildren())
        count += countNodes(child);
    return count;
}

std::map<int, u32>& nodeCounts() {
    static std::map<int, u32> counts;
    return counts;
}

// A working folder of its own (settings, log, lock, player files) that links the content.
class BenchFolder {
public:
    BenchFolder() : root(std::filesystem::current_path()) {
        folder = std::filesystem::temp_directory_path() / ("paddlestone-scale-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder / "data");
        std::error_code ignored;
        std::filesystem::create_directory_symlink(root / "Content", folder / "Content", ignored);
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::current_path(root, ignored);
        std::filesystem::remove_all(folder, ignored);
    }
    // The level of that many copies, made by the script; empty when it failed.
    std::string makeLevel(int copies) const {
        const std::filesystem::path level = folder / ("Greenhouse_x" + std::to_string(copies) + ".irr");
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on a literal + temporary string.
        std::string command = "'";
        command += (root / "tools/multiply-level.sh").string();
        command += "' '";
        command += (root / sourceLevel).string();
        command += "' ";
        command += std::to_string(copies);
        command += " '";
        command += level.string();
        command += "' >/dev/null";
        return std::system(command.c_str()) == 0 ? level.string() : std::string();
    }
    void writeSettings() const {
        GameSettings settings((folder / "PaddlestoneConfig.xml").string().c_str());
        settings.load(true);
        GameSettings* previous = gameSettings;
        gameSettings = &settings;
        setSettingString("Graphics_Driver", "OpenGL");
        setSettingBool("Graphics_Vsync", false);
        setSettingInt("Graphics_Antialiasing", 0);
        setSettingInt("Graphics_ScreenWidth", 1280);
        setSettingInt("Graphics_ScreenHeight", 720);
        settings.save();
        gameSettings = previous;
    }

    std::filesystem::path root;
    std::filesystem::path folder;
};

BenchFolder& benchFolder() {
    static BenchFolder instance;
    return instance;
}

void playLevel(benchmark::State& state, int copies) {
    BenchFolder& where = benchFolder();
    const std::string level = where.makeLevel(copies);
    if (level.empty()) {
        state.SkipWithError("tools/multiply-level.sh failed (run from the repository root)");
        return;
    }
    where.writeSettings();
    std::filesystem::current_path(where.folder);
    resetProgramFlags();
    registerGameSubsystems();
    {
        GameApplication game(level);
        if (!game.startUp()) {
            state.SkipWithError("the game did not start (no display?)");
        } else {
            nodeCounts()[copies] = countNodes(gameDevice->getSceneManager()->getRootSceneNode());
            // One frame: the update and the render of a pass that got past the frame cap.
            auto frame = [&game]() -> double {
                double spent = 0.0;
                while (gameDevice->run() && !QuitRequested) {
                    const double start = threadSeconds();
                    game.updateGame();
                    const bool ran = game.frameRan();
                    if (ran)
                        game.renderGame();
                    spent += threadSeconds() - start;
                    if (ran)
                        return spent;
                }
                return -1.0;
            };
            // Untimed frames first: programs compile and render targets fill on first use.
            for (int warmUp = 0; warmUp < 3; ++warmUp)
                frame();
            for (auto _ : state) {
                const double seconds = frame();
                if (seconds < 0.0) {
                    state.SkipWithError("the game ended");
                    break;
                }
                state.SetIterationTime(seconds);
            }
            state.counters["nodes"] = static_cast<double>(nodeCounts()[copies]);
        }
        game.shutdownGame();
    }
    resetGameSubsystemSlots();
    resetProgramFlags();
    std::filesystem::current_path(where.root);
}

void BM_Greenhouse1x(benchmark::State& state) { playLevel(state, 1); }
void BM_Greenhouse10x(benchmark::State& state) { playLevel(state, 10); }
void BM_Greenhouse100x(benchmark::State& state) { playLevel(state, 100); }

BENCHMARK(BM_Greenhouse1x)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(120);
BENCHMARK(BM_Greenhouse10x)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(40);
BENCHMARK(BM_Greenhouse100x)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const u32 oneCopy = nodeCounts()[1];
    for (int copies : {10, 100}) {
        const std::string name = "BM_Greenhouse" + std::to_string(copies) + "x";
        const double ratio = reporter.ratio(name, "BM_Greenhouse1x");
        if (ratio > 0.0 && oneCopy > 0) {
            const double nodes = static_cast<double>(nodeCounts()[copies]) / oneCopy;
            std::printf("Greenhouse %dx frame / 1x: %.2f for %.1f times the nodes (%.2f of proportional; goal: at "
                        "most 2)\n",
                        copies, ratio, nodes, ratio / nodes);
        }
    }
    std::fflush(stdout);
    return 0;
}
