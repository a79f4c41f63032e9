// A level of 1,000 physics objects (boxes, spheres, cylinders, capsules and convex rocks,
// each with its mesh) on a static floor, on the null driver, once they have come to rest:
//   BM_AnimatePass  the objects' per-frame animate pass (update, body synchronisation)
//   BM_Step         one fixed step through the manager (fetch, count, start), inline
//   BM_SteadyFrameAllocations  heap allocations in 100 whole frames (step and animate pass)
// The last line gives the animate pass per frame (thread CPU time) against its goal of 0.4 ms.
// Run it from anywhere: it works from the source folder for the meshes.
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "level/MeshGate.h"
#include "level/SceneNodeBase.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include "../support/CounterReporter.h"
#include "support/CountingNew.h"

#include <ctime>
#include <cstdio>
#include <filesystem>
#include <memory>

using namespace irr;

namespace {

// The calling thread's CPU time: on a loaded machine wall time counts other programs too.
double threadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::int64_t benchClock = 0;
std::int64_t readBenchClock() { return benchClock; }

struct ObjectLevel {
    ObjectLevel() {
        std::filesystem::current_path(PADDLESTONE_SOURCE_DIR);
        SIrrlichtCreationParameters params;
        params.DriverType = video::EDT_NULL;
        params.LoggingLevel = ELL_NONE;
        device = createDeviceEx(params);
        smgr = device->getSceneManager();
        registerMeshGate(smgr);
        registerPhysicsObjectTypes();
        stopwatch = std::make_unique<Stopwatch>(L"frame", 0.0f, StopwatchClock{&readBenchClock, 1000});
        frameStopwatch = stopwatch.get();
        physics = std::make_unique<PhysicsManager>();
        physicsManager = physics.get();
        physics->init();
        add("Box", "Static", "", {0, -0.5f, 0}, {400, 1, 400});
        const char* bounds[] = {"Box", "Sphere", "Cylinder", "Capsule", "Convex"};
        const char* meshes[] = {"Crate", "Ball", "Barrel", "Pill", "Rock"};
        for (int i = 0; i < 1000; ++i) {
            const int kind = i % 5;
            const core::vector3df at(static_cast<f32>(i % 32) * 3.0f - 48.0f, 1.5f, static_cast<f32>(i / 32) * 3.0f - 48.0f);
            add(bounds[kind], "Dynamic", meshes[kind], at, {0, 0, 0});
        }
        for (int i = 0; i < 600; ++i)
            frame();
    }
    ~ObjectLevel() {
        smgr->clear();
        physics.reset();
        physicsManager = nullptr;
        frameStopwatch = nullptr;
        device->drop();
    }

    void add(const char* bound, const char* state, const char* mesh, const core::vector3df& position,
             const core::vector3df& extents) {
        auto* object = new PhysicsObject(smgr->getRootSceneNode(), smgr, -1);
        object->drop();
        io::IAttributes* a = device->getFileSystem()->createEmptyAttributes();
        a->addVector3d("Position", position);
        if (*mesh)
            a->addString("MeshFileName", (std::string("Content/Models/Props/") + mesh + ".obj").c_str());
        a->addEnum("BoundType", bound, boundTypeNames);
        a->addVector3d("BoxExtents", extents);
        a->addFloat("Radius", 0.5f);
        a->addFloat("Height", 2.0f);
        a->addEnum("PhysicsState", state, physicsStateNames);
        object->deserializeAttributes(a);
        a->drop();
    }

    void animate() {
        if (++levelAnimateFrame == 0)
            levelAnimateFrame = 1;
        timeMs += 17;
        smgr->getRootSceneNode()->OnAnimate(timeMs);
    }
    void step() {
        benchClock += 17;
        stopwatch->tick();
        physics->endStep();
        physics->updateStepCount(PhysicsManager::fixedStepSize);
        physics->beginStep();
    }
    void frame() {
        step();
        animate();
    }

    IrrlichtDevice* device = nullptr;
    scene::ISceneManager* smgr = nullptr;
    std::unique_ptr<Stopwatch> stopwatch;
    std::unique_ptr<PhysicsManager> physics;
    u32 timeMs = 0;
};

ObjectLevel& level() {
    static ObjectLevel instance;
    return instance;
}

void BM_AnimatePass(benchmark::State& state) {
    ObjectLevel& l = level();
    double animating = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        l.step();
        state.ResumeTiming();
        const double start = threadMilliseconds();
        l.animate();
        animating += threadMilliseconds() - start;
    }
    state.counters["objects"] = 1000;
    if (state.iterations() > 0)
        state.counters["animate_ms"] = animating / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AnimatePass)->Unit(benchmark::kMicrosecond);

void BM_Step(benchmark::State& state) {
    ObjectLevel& l = level();
    for (auto _ : state) {
        l.step();
        state.PauseTiming();
        l.animate();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Step)->Unit(benchmark::kMicrosecond);

void BM_SteadyFrameAllocations(benchmark::State& state) {
    ObjectLevel& l = level();
    long counted = 0;
    for (auto _ : state) {
        counting_new::count = 0;
        counting_new::counting = true;
        for (int i = 0; i < 100; ++i)
            l.frame();
        counting_new::counting = false;
        counted += counting_new::count.load();
    }
    state.counters["allocations_per_100_frames"] =
        state.iterations() > 0 ? static_cast<double>(counted) / static_cast<double>(state.iterations()) : 0.0;
}
BENCHMARK(BM_SteadyFrameAllocations)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    bench::CounterReporter reporter;
    if (!bench::runBenchmarks(argc, argv, reporter))
        return 1;
    std::printf("Animate pass of 1,000 resting objects: %.3f ms a frame (goal: at most 0.4), %.0f allocations in "
                "100 frames (goal: 0)\n",
                reporter.counter("BM_AnimatePass", "animate_ms"),
                reporter.counter("BM_SteadyFrameAllocations", "allocations_per_100_frames"));
    return 0;
}
