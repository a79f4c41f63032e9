// What a level's objects cost a frame as their number grows: the story garden with static
// crates added (380 and 3,800, one unit apart on a square around its middle), with
// shadows and without, and with 1,000 static objects of one mesh of 130,050 triangles (the
// load's budget of triangles leaves out those past it), against the garden as shipped. Each
// run is a fresh game playing the level from its load on stepped clocks (bench::playStepped:
// every run times the same frames); a round runs every level with shadows and without, one
// after the other, the order turned every other round, so that the machine's load falls on
// all alike. Times are the process's CPU time a frame (a software OpenGL under Xvfb shades
// every pixel on its own threads); the shadow pairs are those ShadowReceivers looked at a
// frame, and the page faults a frame (every thread's, between the first and the last measured
// frame). Prints each level's figures and last the ratios: the 3,800 crates with shadows /
// without (goal: at most 1.5), each level / the garden (goal: at most 3), and 3,800 crates /
// 380 in pairs looked at and in frame time beyond the garden's (proportional: 10). Needs an
// X display (Xvfb, 1280 x 720); run from the repository root:
//   xvfb-run -a -s '-screen 0 1280x720x24' build/bench/bench/level_objects_bench
// PADDLESTONE_BENCH_ROUNDS sets the rounds (2).
#include "core/LoadBudget.h"
#include "render/EffectHandler.h"

#include "../support/GameSession.h"
#include "../support/SteppedPlay.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int unmeasuredFrames = 10;
constexpr int measuredFrames = 50;
constexpr int sheetSide = 256; // vertices a side: 130,050 triangles

bench::GameFolder& benchFolder() {
    static bench::GameFolder instance("level-objects-bench");
    return instance;
}

int rounds() {
    const char* text = std::getenv("PADDLESTONE_BENCH_ROUNDS");
    const int value = text ? std::atoi(text) : 0;
    return value > 0 ? value : 2;
}

// The garden with the nodes added at its end, written into the game's folder.
void writeGardenWith(const std::string& name, const std::string& nodes) {
    std::ifstream in(benchFolder().root / "Content/Levels/Story_Garden.irr");
    std::string garden((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    garden.insert(garden.rfind("</irr_scene>"), nodes);
    std::ofstream(benchFolder().folder / name) << garden;
}

// Static objects `spacing` apart, `row` a side, in layers of row x row.
std::string staticObjects(int count, const char* mesh, float scale, float spacing, int row) {
    std::ostringstream nodes;
    for (int i = 0; i < count; ++i)
        nodes << "<node type=\"PhysicsObject\"><attributes><int name=\"Id\" value=\"" << 990100 + i
              << "\" /><vector3d name=\"Position\" value=\"" << (i % row - row / 2) * spacing << ", "
              << i / (row * row) + 1 << ", " << (i / row % row - row / 2) * spacing
              << "\" /><vector3d name=\"Scale\" value=\"" << scale << ", " << scale << ", " << scale
              << "\" /><bool name=\"Visible\" value=\"true\" /><string name=\"MeshFileName\" value=\"" << mesh
              << "\" /><enum name=\"BoundType\" value=\"Box\" /><enum name=\"PhysicsState\" value=\"Static\" />"
                 "</attributes></node>\n";
    return nodes.str();
}

// A square sheet of sheetSide x sheetSide vertices, one unit across, a little wavy.
void writeSheetMesh(const std::string& name) {
    std::ofstream out(benchFolder().folder / name);
    for (int z = 0; z < sheetSide; ++z)
        for (int x = 0; x < sheetSide; ++x)
            out << "v " << x / (sheetSide - 1.0) - 0.5 << ' ' << 0.05 * std::sin(x / 8.0) * std::cos(z / 8.0) << ' '
                << z / (sheetSide - 1.0) - 0.5 << '\n';
    out << "vn 0 1 0\n";
    for (int z = 0; z + 1 < sheetSide; ++z)
        for (int x = 0; x + 1 < sheetSide; ++x) {
            const int a = z * sheetSide + x + 1, b = a + 1, c = a + sheetSide, d = c + 1;
            out << "f " << a << "//1 " << c << "//1 " << b << "//1\nf " << b << "//1 " << c << "//1 " << d << "//1\n";
        }
}

struct Level {
    const char* name;
    std::string path;
};

std::vector<Level> writeLevels() {
    // One layer: ten times the crates cover ten times the ground, each as near its neighbours.
    writeGardenWith("Crates380.irr", staticObjects(380, "Content/Models/Props/Crate.obj", 0.25f, 1.0f, 20));
    writeGardenWith("Crates3800.irr", staticObjects(3800, "Content/Models/Props/Crate.obj", 0.25f, 1.0f, 62));
    writeSheetMesh("Sheet256.obj");
    writeGardenWith("Sheets1000.irr", staticObjects(1000, "Sheet256.obj", 2.0f, 3.0f, 10));
    return {{"Garden", "Content/Levels/Story_Garden.irr"},
            {"Crates380", "Crates380.irr"},
            {"Crates3800", "Crates3800.irr"},
            {"Sheets1000", "Sheets1000.irr"}};
}

// The process's minor page faults so far.
long pageFaults() {
    rusage usage{};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_minflt : 0;
}

struct Figures {
    double process = 0.0, thread = 0.0, longest = 0.0, pairs = 0.0, faults = 0.0;
    int frames = 0;
    std::uint64_t triangles = 0;
};
// Per level, with shadows (true) and without.
std::map<std::string, std::map<bool, Figures>> figures;

bool playLevel(const Level& level, bool shadows) {
    benchFolder().writeSettings([shadows] {
        setSettingInt("Graphics_Quality", 0);
        setSettingBool("Graphics_Shadows", shadows);
    });
    bench::GameSession game(benchFolder(), level.path);
    if (!game.started)
        return false;
    Figures& sum = figures[level.name][shadows];
    long firstFaults = -1, lastFaults = 0;
    const bench::SteppedFrames played =
        bench::playStepped(game, measuredFrames, unmeasuredFrames, [&sum, &firstFaults, &lastFaults] {
            if (effectHandler && effectHandler->shadowReceivers)
                sum.pairs += static_cast<double>(effectHandler->shadowReceivers->pairsTested());
            lastFaults = pageFaults();
            if (firstFaults < 0)
                firstFaults = lastFaults;
        });
    if (played.frames != measuredFrames)
        return false;
    sum.process += played.process;
    sum.thread += played.thread;
    sum.longest = std::max(sum.longest, played.longest);
    sum.frames += played.frames;
    // Those of the frames after the first, counted as many frames.
    sum.faults += static_cast<double>(lastFaults - firstFaults) * played.frames / (played.frames - 1);
    sum.triangles = loadBudget().used(LoadBudget::Triangles);
    return true;
}

void measureLevels(benchmark::State& state) {
    const std::vector<Level> levels = writeLevels();
    double total = 0.0;
    for (auto _ : state) {
        for (int round = 0; round < rounds(); ++round)
            for (std::size_t i = 0; i < levels.size() * 2; ++i) {
                const std::size_t turn = round % 2 == 0 ? i : levels.size() * 2 - 1 - i;
                if (!playLevel(levels[turn / 2], turn % 2 == 0)) {
                    state.SkipWithError(("the game did not play " + levels[turn / 2].path).c_str());
                    return;
                }
            }
        for (const auto& [name, runs] : figures)
            for (const auto& [shadows, sum] : runs) {
                const std::string key = name + (shadows ? "Shadows" : "NoShadows");
                state.counters[key + "Ms"] = sum.process * 1000.0 / sum.frames;
                total += sum.process;
            }
        state.SetIterationTime(total);
    }
}

double perFrame(const std::string& level, bool shadows) {
    const Figures& sum = figures[level][shadows];
    return sum.frames ? sum.process / sum.frames : 0.0;
}

void printFigures() {
    if (figures.size() < 4)
        return;
    std::printf("\nProcess CPU a frame (main thread), the longest frame, shadow pairs looked at a frame, page "
                "faults a frame:\n");
    for (const auto& [name, runs] : figures)
        for (const auto& [shadows, sum] : runs)
            std::printf("  %-11s %-10s %7.1f ms (%6.1f ms)  longest %7.1f ms  pairs %9.0f  faults %6.0f  triangles "
                        "%llu\n",
                        name.c_str(), shadows ? "shadows" : "no shadows", sum.process * 1000.0 / sum.frames,
                        sum.thread * 1000.0 / sum.frames, sum.longest * 1000.0, sum.pairs / sum.frames,
                        sum.faults / sum.frames, static_cast<unsigned long long>(sum.triangles));
    const double garden = perFrame("Garden", true);
    const double pairs380 = figures["Crates380"][true].pairs, pairs3800 = figures["Crates3800"][true].pairs;
    std::printf("3,800 crates / 380, shadow pairs looked at: %.1f; frame beyond the garden's: %.1f "
                "(proportional: 10)\n",
                pairs380 > 0.0 ? pairs3800 / pairs380 : 0.0,
                (perFrame("Crates3800", true) - garden) / (perFrame("Crates380", true) - garden));
    for (const char* level : {"Crates380", "Crates3800", "Sheets1000"})
        std::printf("%s / the garden, with shadows: %.2f, without: %.2f (goal: at most 3)\n", level,
                    perFrame(level, true) / garden, perFrame(level, false) / perFrame("Garden", false));
    std::printf("3,800 crates, frame with shadows / without: %.2f (goal: at most 1.5)\n",
                perFrame("Crates3800", true) / perFrame("Crates3800", false));
    std::fflush(stdout);
}

const bool registered = [] {
    benchmark::RegisterBenchmark("BM_LevelObjects", measureLevels)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1);
    std::atexit(printFigures);
    return true;
}();

} // namespace
