// What each shipped level uses of its load's budget (core/LoadBudget.h): the whole game on the
// OpenGL driver started on the level as the command line starts it (the title level as the
// game starts it, with the menus' preview scenes), played for a number of frames (objects
// that grow as they play, such as particle systems, charge as they grow), then each kind's
// use read. One benchmark a level: its counters are the six kinds (bytes read, scene nodes,
// texture pixels, sprite-animation frames, bytes of memory, triangles drawn); last, the
// largest use of each kind over the levels beside its limit and the room the limit leaves
// (the figures of docs/hardening.md's table, which the content test holds to a hundredfold
// room, tenfold for the nodes and the memory). Build it in a release build and run it under Xvfb (1280 x 720)
// from the repository root:
//   xvfb-run -a -s '-screen 0 1280x720x24' build/bench/bench/level_budget_bench
// PADDLESTONE_BENCH_FRAMES sets the frames a level plays (120).
#include "core/LoadBudget.h"

#include "../support/GameSession.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

bench::GameFolder& benchFolder() {
    static bench::GameFolder instance("level-budget-bench");
    return instance;
}

using Uses = std::array<std::uint64_t, LoadBudget::kindCount>;

// Kept to the end of the program (printed at exit).
std::map<std::string, Uses>& measured() {
    static auto* uses = new std::map<std::string, Uses>;
    return *uses;
}

int framesToPlay() {
    const char* text = std::getenv("PADDLESTONE_BENCH_FRAMES");
    const int frames = text ? std::atoi(text) : 0;
    return frames > 0 ? frames : 120;
}

// Every level file of Content/Levels but the sublevels (Sub_*), which no level names alone.
std::vector<std::string> shippedLevels() {
    std::vector<std::string> levels;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("Content/Levels", error)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".irr" && name.rfind("Sub_", 0) != 0)
            levels.push_back("Content/Levels/" + name);
    }
    std::sort(levels.begin(), levels.end());
    return levels;
}

void measureLevel(benchmark::State& state, const std::string& level) {
    for (auto _ : state) {
        benchFolder().writeSettings();
        bench::GameSession game(benchFolder(), level);
        if (!game.started) {
            state.SkipWithError("the game did not start");
            return;
        }
        for (int frame = 0; frame < framesToPlay(); ++frame)
            game.play();
        Uses uses{};
        for (int kind = 0; kind < LoadBudget::kindCount; ++kind) {
            uses[kind] = loadBudget().used(LoadBudget::Kind(kind));
            state.counters[LoadBudget::unitName(LoadBudget::Kind(kind))] = static_cast<double>(uses[kind]);
        }
        measured()[level.empty() ? "the title" : level] = uses;
    }
}

void printLargest() {
    if (measured().empty())
        return;
    std::printf("\nThe largest use of each kind (limit, room):\n");
    for (int kind = 0; kind < LoadBudget::kindCount; ++kind) {
        std::string where;
        std::uint64_t largest = 0;
        for (const auto& [level, uses] : measured())
            if (uses[kind] >= largest) {
                largest = uses[kind];
                where = level;
            }
        const std::uint64_t limit = LoadBudget::gameLimits[kind];
        std::printf("  %-24s %12llu  %s  (limit %llu, %.0f times)\n", LoadBudget::unitName(LoadBudget::Kind(kind)),
                    static_cast<unsigned long long>(largest), where.c_str(), static_cast<unsigned long long>(limit),
                    largest ? static_cast<double>(limit) / static_cast<double>(largest) : 0.0);
    }
}

const bool registered = [] {
    benchmark::RegisterBenchmark("BM_LevelBudget/title", measureLevel, std::string())
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
    for (const std::string& level : shippedLevels())
        benchmark::RegisterBenchmark(("BM_LevelBudget/" + std::filesystem::path(level).stem().string()).c_str(),
                                     measureLevel, level)
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    std::atexit(printLargest);
    return true;
}();

} // namespace
