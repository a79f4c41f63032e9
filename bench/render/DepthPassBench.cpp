// An unload's removals from the effect handler's depth-pass list: every node added, then
// removed one at a time in the order of their addresses (the list's own order, the worst case
// for erasing from a sorted array), for 4,096 and for 16 times as many nodes. Prints last the
// ratio of the two times: proportional removal would give 16 (goal: at most 32). Runs on the null
// driver: build/test/bench/depth_pass_bench.
#include "core/Globals.h"
#include "render/EffectHandler.h"

#include "../support/RatioReporter.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace irr;

namespace {

void removeEveryNode(benchmark::State& state, int count) {
    IrrlichtDevice* device = createDevice(video::EDT_NULL);
    gameDevice = device;
    {
        EffectHandler handler(device, core::dimension2du(0, 0));
        std::vector<scene::ISceneNode*> nodes;
        for (int i = 0; i < count; ++i)
            nodes.push_back(device->getSceneManager()->addEmptySceneNode());
        std::sort(nodes.begin(), nodes.end());
        for (auto _ : state) {
            state.PauseTiming();
            for (scene::ISceneNode* node : nodes)
                handler.addNodeToDepthPass(node);
            state.ResumeTiming();
            for (scene::ISceneNode* node : nodes)
                handler.removeNodeFromDepthPass(node);
        }
        state.counters["nodes"] = count;
    }
    gameDevice = nullptr;
    device->drop();
}

void BM_RemoveEveryNodeOf4096(benchmark::State& state) { removeEveryNode(state, 4096); }
void BM_RemoveEveryNodeOf65536(benchmark::State& state) { removeEveryNode(state, 65536); }

BENCHMARK(BM_RemoveEveryNodeOf4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveEveryNodeOf65536)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double ratio = reporter.ratio("BM_RemoveEveryNodeOf65536", "BM_RemoveEveryNodeOf4096");
    if (ratio > 0.0)
        std::printf("Depth-pass removals, 16 times the nodes: %.1f times the time (proportional: 16; goal: at most 32)\n",
                    ratio);
    std::fflush(stdout);
    return 0;
}
