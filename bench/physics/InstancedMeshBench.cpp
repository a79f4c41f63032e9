// 75 and 200 instances of one physics object (a crate) on the OpenGL driver, drawn
//   BM_SeparateNodes  each copy as its own node (instancing off),
//   BM_MergedNode     through the merged "InstancedMeshNode" (instancing on): 75 copies draw
//                     as one node, the rest of 200 as their own nodes (a merge holds at most
//                     75 copies, the size of the shaders' transform array).
// One iteration is one frame: the level's animate pass and the scene drawn. Needs an X
// display (Xvfb); run from anywhere (it works from the source folder).
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "core/Stopwatch.h"
#include "level/InstancedObject.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "level/MeshGate.h"
#include "level/SceneNodeBase.h"
#include "level/SceneNodeFactory.h"

#include "../support/BenchDevice.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <filesystem>
#include <memory>

using namespace irr;

namespace {

std::int64_t instanceBenchClock = 0;
std::int64_t readInstanceBenchClock() { return instanceBenchClock; }

struct InstanceLevel {
    InstanceLevel(bool merged, int instanceCount) {
        std::filesystem::current_path(PADDLESTONE_SOURCE_DIR);
        device = bench::createBenchOpenGLDevice();
        if (!device) // a display server that has just started may refuse the first window
            device = bench::createBenchOpenGLDevice();
        if (!device)
            return;
        smgr = device->getSceneManager();
        levels = std::make_unique<LevelManager>(device);
        levelManager = levels.get();
        levels->init();
        registerSceneNodeFactory(smgr);
        registerMeshGate(smgr);
        registerPhysicsObjectTypes();
        levelHooks().render.isInstancingEnabled = [merged] { return merged; };
        coreSlots().physics.isSimulationActive = [] { return physicsManager && physicsManager->isSimulationActive(); };
        stopwatch = std::make_unique<Stopwatch>(L"frame", 0.0f, StopwatchClock{&readInstanceBenchClock, 1000});
        frameStopwatch = stopwatch.get();
        physics = std::make_unique<PhysicsManager>();
        physicsManager = physics.get();
        physics->init();

        io::IAttributes* a = device->getFileSystem()->createEmptyAttributes(device->getVideoDriver());
        a->addString("Name", "Source");
        a->addInt("Id", 500);
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addEnum("PhysicsState", "Static", physicsStateNames);
        auto* source = new PhysicsObject(smgr->getRootSceneNode(), smgr, -1);
        source->deserializeAttributes(a);
        source->drop();
        a->drop();
        levels->rebuildNodeIDs();
        for (int i = 0; i < instanceCount; ++i) {
            auto* instance = new InstancedObject(smgr->getRootSceneNode(), smgr, -1);
            instance->ObjectID = 500;
            instance->setPosition(core::vector3df(static_cast<f32>(i % 20) * 3.0f - 30.0f, 0.0f,
                                                  static_cast<f32>(i / 20) * 3.0f));
            instance->drop();
        }
        smgr->addCameraSceneNode(nullptr, core::vector3df(0, 25, -30), core::vector3df(0, 0, 15));
        smgr->addLightSceneNode(nullptr, core::vector3df(0, 40, 0), video::SColorf(1, 1, 1), 200.0f);
        for (int i = 0; i < 4; ++i)
            frame();
        mergedNode = asPhysicsObject(smgr->getSceneNodeFromName("Source"))->getInstancedMeshNode();
    }
    ~InstanceLevel() {
        if (!device)
            return;
        smgr->clear();
        physics.reset();
        physicsManager = nullptr;
        frameStopwatch = nullptr;
        levels.reset();
        levelManager = nullptr;
        levelHooks().render.isInstancingEnabled = nullptr;
        coreSlots().physics.isSimulationActive = nullptr;
        device->closeDevice();
        device->run();
        device->drop();
        gameDevice = nullptr;
    }
    void frame() {
        instanceBenchClock += 17;
        stopwatch->tick();
        if (++levelAnimateFrame == 0)
            levelAnimateFrame = 1;
        timeMs += 17;
        smgr->getRootSceneNode()->OnAnimate(timeMs);
        video::IVideoDriver* driver = device->getVideoDriver();
        driver->beginScene(true, true, video::SColor(255, 90, 120, 160));
        smgr->drawAll();
        driver->endScene();
    }

    IrrlichtDevice* device = nullptr;
    scene::ISceneManager* smgr = nullptr;
    std::unique_ptr<LevelManager> levels;
    std::unique_ptr<Stopwatch> stopwatch;
    std::unique_ptr<PhysicsManager> physics;
    scene::ISceneNode* mergedNode = nullptr;
    u32 timeMs = 0;
};

void runInstanceFrames(benchmark::State& state, bool merged) {
    InstanceLevel level(merged, static_cast<int>(state.range(0)));
    if (!level.device) {
        state.SkipWithError("no OpenGL device (run under Xvfb)");
        return;
    }
    if (merged != (level.mergedNode != nullptr)) {
        state.SkipWithError("the merged node is not as expected");
        return;
    }
    for (auto _ : state)
        level.frame();
    state.counters["primitives"] = static_cast<double>(level.device->getVideoDriver()->getPrimitiveCountDrawn());
}

void BM_SeparateNodes(benchmark::State& state) { runInstanceFrames(state, false); }
void BM_MergedNode(benchmark::State& state) { runInstanceFrames(state, true); }

BENCHMARK(BM_SeparateNodes)->Arg(75)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MergedNode)->Arg(75)->Arg(200)->Unit(benchmark::kMicrosecond);

} // namespace
