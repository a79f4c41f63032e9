// A level of 1,000 physics objects (boxes, spheres, cylinders, capsules and convex rocks,
// each with its mesh) on a static floor, on the null driver, once they have come to rest:
//   BM_AnimatePass  the objects' per-frame animate pass (update, body synchronisation)
//   BM_Step         one fixed step through the manager (fetch, count, start), inline
// Run it from anywhere: it works from the source folder for the meshes.
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/Stopwatch.h"
#include "level/MeshGate.h"
#include "level/SceneNodeBase.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <filesystem>
#include <memory>

using namespace irr;

namespace {

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
    for (auto _ : state) {
        state.PauseTiming();
        l.step();
        state.ResumeTiming();
        l.animate();
    }
    state.counters["objects"] = 1000;
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

} // namespace
