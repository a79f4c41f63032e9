// Characters among many: 100 and 1,000 character controllers on a square grid 1.5 units
// apart (a capsule is 1.0 wide), each walking a wide circle of its own phase at 3 units a
// second, so that neighbours keep bumping into and pushing each other. Each frame moves every
// controller once, as the game's characters do, then steps the scene; the time is the main
// thread's CPU time of the moves alone. A move meets only the controllers near it, so ten
// times the characters should cost about ten times: the ratio line says how far from that.
// Each size also counts the closest-point tests between two capsules a move makes.

#include "BenchWorlds.h"
#include "../support/CounterReporter.h"

#include "phys/detail/ControllerMotion.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using namespace physbench;

constexpr float Spacing = 1.5f;
constexpr int SettleFrames = 10;
constexpr int MeasuredFrames = 20;

void BM_CharactersWalking(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    double moving = 0.0;
    uint64_t tests = 0;
    for (auto _ : state) {
        LayerWorld world(0);
        phys::ControllerManager* manager = phys::ControllerManager::create(*world.foundation);
        std::vector<phys::Controller*> walkers;
        const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
        const double origin = -0.5 * Spacing * (side - 1);
        for (int i = 0; i < count; ++i) {
            phys::CapsuleControllerDesc desc;
            desc.position = phys::ExtVec3(origin + (i % side) * Spacing, 1.2, origin + (i / side) * Spacing);
            desc.radius = 0.5f;
            desc.height = 1.0f;
            desc.stepOffset = 0.5f;
            desc.scaleCoeff = 0.95f;
            desc.material = world.material;
            walkers.push_back(manager->createController(*world.physics, world.scene, desc));
        }
        const phys::ControllerFilters filters;
        for (int frame = 0; frame < SettleFrames + MeasuredFrames; ++frame) {
            const double start = threadMilliseconds();
            const uint64_t testsBefore = phys::detail::ControllerMotion::controllerTestsSoFar();
            for (size_t i = 0; i < walkers.size(); ++i) {
                const float heading = 0.7f * static_cast<float>(i) + 0.5f * Step * static_cast<float>(frame);
                const phys::Vec3 walk(3.0f * Step * std::cos(heading), Gravity * Step * 0.5f,
                                      3.0f * Step * std::sin(heading));
                walkers[i]->move(walk, 0.00001f, 1.0f, filters);
            }
            if (frame >= SettleFrames) {
                moving += threadMilliseconds() - start;
                tests += phys::detail::ControllerMotion::controllerTestsSoFar() - testsBefore;
            }
            world.step();
        }
        manager->release();
    }
    const double frames = static_cast<double>(state.iterations()) * MeasuredFrames;
    state.counters["moves_ms_per_frame"] = moving / frames;
    state.counters["move_us"] = 1000.0 * moving / (frames * count);
    state.counters["capsule_tests_per_move"] = static_cast<double>(tests) / (frames * count);
}
BENCHMARK(BM_CharactersWalking)->Arg(100)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

// The ratio line comes last.
int main(int argc, char** argv) {
    bench::CounterReporter reporter;
    if (!bench::runBenchmarks(argc, argv, reporter))
        return 1;
    const double few = reporter.counter("BM_CharactersWalking/100", "moves_ms_per_frame");
    const double many = reporter.counter("BM_CharactersWalking/1000", "moves_ms_per_frame");
    std::printf("Moves of a frame, 1,000 characters / 100 characters (main thread CPU time): %.2f "
                "(proportional: 10; goal: at most 15; 0 = not run)\n",
                few > 0.0 ? many / few : 0.0);
    return 0;
}
