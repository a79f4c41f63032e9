// The physics layer against plain Bullet on the same scenes with the same settings:
// (a) 1,000 boxes falling onto a static ground and settling, 600 steps;
// (b) 1,000 resting boxes, 50 kinematic bodies moving through them and 20 trigger volumes,
//     600 steps;
// and the time the main thread waits in fetchResults when a threaded step of scene (a)
// overlaps 10 ms of other main-thread work.

#include "BenchWorlds.h"
#include "../support/CounterReporter.h"

#include <algorithm>
#include <cstdio>
#include <type_traits>
#include <vector>

namespace {

using namespace physbench;

// Scene (a): ten layers of a 10 x 10 grid, each box a little apart, dropped together.
template <class World>
void fillFallingBoxes(World& world) {
    for (int layer = 0; layer < 10; ++layer)
        for (int i = 0; i < 100; ++i) {
            const float x = (i % 10) * 1.1f - 5.0f + 0.05f * (layer % 2), z = (i / 10) * 1.1f - 5.0f;
            const float y = 1.0f + layer * 1.2f;
            if constexpr (std::is_same_v<World, LayerWorld>)
                world.addBox(phys::Vec3(x, y, z));
            else
                world.addBox(btVector3(x, y, z));
        }
}

// Scene (b): a 40 x 25 field of resting boxes, 50 movers in a row, 20 trigger volumes.
template <class World, class Body>
void fillField(World& world, std::vector<Body*>& movers) {
    for (int i = 0; i < 1000; ++i) {
        const float x = (i % 40) * 2.0f - 40.0f, z = (i / 40) * 2.0f - 25.0f;
        if constexpr (std::is_same_v<World, LayerWorld>)
            world.addBox(phys::Vec3(x, 0.5f, z));
        else
            world.addBox(btVector3(x, 0.5f, z));
    }
    for (int i = 0; i < 50; ++i) {
        if constexpr (std::is_same_v<World, LayerWorld>)
            movers.push_back(world.addBox(phys::Vec3(-45.0f, 0.5f, i - 25.0f), true));
        else
            movers.push_back(world.addBox(btVector3(-45.0f, 0.5f, i - 25.0f), true));
    }
    for (int i = 0; i < 20; ++i) {
        const float x = (i % 5) * 16.0f - 35.0f, z = (i / 5) * 12.0f - 20.0f;
        if constexpr (std::is_same_v<World, LayerWorld>)
            world.addBox(phys::Vec3(x, 0.5f, z), false, true);
        else
            world.addBox(btVector3(x, 0.5f, z), false, true);
    }
}

// The movers cross the field at 6 units per second.
float moverX(int step) { return -45.0f + 6.0f * Step * step; }

Timing runA() {
    LayerWorld layer(0);
    RawWorld raw;
    fillFallingBoxes(layer);
    fillFallingBoxes(raw);
    return stepSideBySide(layer, raw);
}

Timing runB() {
    LayerWorld layer(0);
    RawWorld raw;
    std::vector<phys::RigidDynamic*> layerMovers;
    std::vector<btRigidBody*> rawMovers;
    fillField(layer, layerMovers);
    fillField(raw, rawMovers);
    for (int i = 0; i < 60; ++i) {
        layer.step(); // let the fields fall asleep
        raw.step();
    }
    Timing t;
    for (int i = 0; i < Steps; ++i) {
        timeInto(t.layer, [&] {
            for (size_t m = 0; m < layerMovers.size(); ++m)
                layerMovers[m]->setKinematicTarget(phys::Transform(phys::Vec3(moverX(i + 1), 0.5f, m - 25.0f)));
            layer.step();
        });
        timeInto(t.raw, [&] {
            for (size_t m = 0; m < rawMovers.size(); ++m) {
                btTransform pose = rawMovers[m]->getWorldTransform();
                pose.setOrigin(btVector3(moverX(i + 1), 0.5f, m - 25.0f));
                rawMovers[m]->setWorldTransform(pose);
                rawMovers[m]->activate(true);
            }
            raw.step();
        });
    }
    return t;
}

void SceneA_FallingBoxes(benchmark::State& state) { compare(state, runA); }
BENCHMARK(SceneA_FallingBoxes)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void SceneB_KinematicsAndTriggers(benchmark::State& state) { compare(state, runB); }
BENCHMARK(SceneB_KinematicsAndTriggers)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// Scene (a) stepped on the worker while the main thread does 10 ms of other work.
void SceneA_FetchWhileOverlapped(benchmark::State& state) {
    double started = 0, waited = 0, fetched = 0, slowest = 0;
    for (auto _ : state) {
        LayerWorld world(1);
        fillFallingBoxes(world);
        for (int i = 0; i < Steps; ++i) {
            const Clock::time_point begin = Clock::now();
            world.scene->simulate(Step);
            started += millisecondsSince(begin);
            const Clock::time_point work = Clock::now();
            while (millisecondsSince(work) < 10.0) {
            }
            const Clock::time_point wait = Clock::now();
            world.scene->checkResults(true);
            const double w = millisecondsSince(wait);
            const Clock::time_point fetch = Clock::now();
            world.scene->fetchResults(true);
            fetched += millisecondsSince(fetch);
            waited += w;
            slowest = std::max(slowest, w);
        }
    }
    const double steps = static_cast<double>(state.iterations()) * Steps;
    state.counters["simulate_ms_per_step"] = started / steps;
    state.counters["blocked_ms_per_step"] = waited / steps;
    state.counters["blocked_ms_worst"] = slowest;
    state.counters["fetch_ms_per_step"] = fetched / steps;
}
BENCHMARK(SceneA_FetchWhileOverlapped)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

// The ratio line comes last: the layer's thread CPU time over plain Bullet's, per scene.
int main(int argc, char** argv) {
    bench::CounterReporter reporter;
    if (!bench::runBenchmarks(argc, argv, reporter))
        return 1;
    std::printf("Layer / plain Bullet (thread CPU time): settling boxes %.3f, kinematics and triggers %.3f, "
                "jointed chains %.3f (goal: at most 1.10; 0 = not run)\n",
                reporter.counter("SceneA_FallingBoxes", "ratio"),
                reporter.counter("SceneB_KinematicsAndTriggers", "ratio"),
                reporter.counter("SceneC_JointedChains", "ratio"));
    return 0;
}