// How the game's frame grows with the level: the story greenhouse copied 1, 10 and 100 times
// side by side (tools/multiply-level.sh makes the levels), each played by the whole game in
// this process on the OpenGL driver with the default settings (quality 0, shadows, water
// images). Each iteration is one frame; its time is the main thread's CPU time in the
// frame's update and render (sleeps and worker threads do not count); in the 100x level the
// water surfaces' image passes are timed inside it. Prints, for 10x and 100x, the frame-time
// ratio against 1x beside
// the ratio of their scene-node counts (goal: a frame ratio of at most twice the node ratio),
// and last the water passes' share of the 100x frame's main thread (goal: at most 20 %).
// Needs an X display (Xvfb, 1280 x 720); run from the repository root.
#include "render/EffectHandler.h"
#include "render/WaterObject.h"

#include "level/SceneNodeTypes.h"

#include "core/LoadBudget.h"

#include "../support/GameSession.h"
#include "../support/RatioReporter.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace irr;

namespace {

constexpr const char* sourceLevel = "Content/Levels/Story_Greenhouse.irr";

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

bench::GameFolder& benchFolder() {
    static bench::GameFolder instance("scale-bench");
    return instance;
}

// The level of that many copies, made by the script; empty when it failed.
std::string makeLevel(int copies) {
    bench::GameFolder& where = benchFolder();
    const std::filesystem::path level = where.folder / ("Greenhouse_x" + std::to_string(copies) + ".irr");
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on a literal + temporary string.
    std::string command = "'";
    command += (where.root / "tools/multiply-level.sh").string();
    command += "' '";
    command += (where.root / sourceLevel).string();
    command += "' ";
    command += std::to_string(copies);
    command += " '";
    command += level.string();
    command += "' >/dev/null";
    return std::system(command.c_str()) == 0 ? level.string() : std::string();
}

// The game playing the level of that many copies; the one of the previous benchmark is kept
// when it played the same level.
std::unique_ptr<bench::GameSession> current;
int currentCopies = 0;

bench::GameSession* session(benchmark::State& state, int copies) {
    if (current && currentCopies == copies)
        return current->started ? current.get() : nullptr;
    current.reset();
    const std::string level = makeLevel(copies);
    if (level.empty()) {
        state.SkipWithError("tools/multiply-level.sh failed (run from the repository root)");
        return nullptr;
    }
    benchFolder().writeSettings();
    // The 100x level has more nodes than the game's budget lets a level make (core/LoadBudget.h):
    // the benchmark measures how a frame grows with the level, so its loads are given room.
    loadBudget().setLimit(LoadBudget::Nodes, 1u << 20);
    loadBudget().setLimit(LoadBudget::Memory, 1ull << 32);
    current = std::make_unique<bench::GameSession>(benchFolder(), level);
    currentCopies = copies;
    if (!current->started) {
        state.SkipWithError("the game did not start (no display?)");
        return nullptr;
    }
    nodeCounts()[copies] = countNodes(gameDevice->getSceneManager()->getRootSceneNode());
    // Untimed frames first: programs compile and render targets fill on first use.
    for (int warmUp = 0; warmUp < 3; ++warmUp)
        current->play();
    return current.get();
}

// The water surfaces' image passes, run by one render callback that times them: the main
// thread's seconds in them, and in the frames they belong to.
struct WaterPassTimes {
    std::vector<WaterObject*> surfaces;
    double passes = 0.0;
    double frames = 0.0;

    static void run() {
        WaterPassTimes& times = waterPassTimes();
        const double start = bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        for (WaterObject* surface : times.surfaces)
            surface->renderReflectionRefraction();
        times.passes += bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
    }
    static WaterPassTimes& waterPassTimes() {
        static WaterPassTimes instance;
        return instance;
    }
    // Takes the surfaces' callbacks over, in their order.
    void takeOver() {
        core::array<scene::ISceneNode*> found;
        gameDevice->getSceneManager()->getSceneNodesFromType(typeId("wtr1"), found);
        surfaces.clear();
        for (u32 i = 0; i < found.size(); ++i) {
            auto* surface = static_cast<WaterObject*>(found[i]);
            if (effectHandler->renderCallbacks.removeMember(surface, &WaterObject::renderReflectionRefraction))
                surfaces.push_back(surface);
        }
        effectHandler->renderCallbacks.addFunction(&WaterPassTimes::run);
    }
};

// Each iteration plays one frame; with `timeWaterPasses` the water passes' share of it is
// kept.
void playLevel(benchmark::State& state, int copies, bool timeWaterPasses = false) {
    bench::GameSession* game = session(state, copies);
    if (!game)
        return;
    WaterPassTimes& water = WaterPassTimes::waterPassTimes();
    if (timeWaterPasses)
        water.takeOver();
    for (auto _ : state) {
        const double passesBefore = water.passes;
        const bench::FrameTimes times = game->play();
        if (!times.ran) {
            state.SkipWithError("the game ended");
            break;
        }
        state.SetIterationTime(times.thread);
        if (timeWaterPasses)
            water.frames += times.thread;
        else
            water.passes = passesBefore;
    }
    state.counters["nodes"] = static_cast<double>(nodeCounts()[copies]);
    if (timeWaterPasses)
        state.counters["waterSurfaces"] = static_cast<double>(water.surfaces.size());
}

void BM_Greenhouse1x(benchmark::State& state) { playLevel(state, 1); }
void BM_Greenhouse10x(benchmark::State& state) { playLevel(state, 10); }
void BM_Greenhouse100x(benchmark::State& state) { playLevel(state, 100, true); }

// The story greenhouse ends on its own after about 20 seconds of play: the 100x level keeps
// to a few frames.
BENCHMARK(BM_Greenhouse1x)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(120);
BENCHMARK(BM_Greenhouse10x)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(40);
BENCHMARK(BM_Greenhouse100x)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    current.reset();
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
    // The goal's ratio comes last, where a reader of the output looks for it.
    const WaterPassTimes& water = WaterPassTimes::waterPassTimes();
    if (water.frames > 0.0)
        std::printf("Greenhouse 100x water image passes: %.0f %% of the frame's main thread (goal: at most 20 %%)\n",
                    water.passes / water.frames * 100.0);
    std::fflush(stdout);
    return 0;
}
