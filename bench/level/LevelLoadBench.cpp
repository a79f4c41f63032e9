// Loading a generated level of 5,000 level objects on the null driver, from an engine scene
// file and from the binary level format. The binary form is meant to load at least three
// times faster; the numbers are reported, not judged.

#include "level/LevelManager.h"
#include "level/MarkerObject.h"
#include "level/SceneNodeFactory.h"
#include "level/SplineObject.h"
#include "level/VariableObject.h"

#include "core/Globals.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

using namespace irr;

namespace {

constexpr int objectCount = 5000;

// One device, level manager and pair of files for every benchmark of the run.
class LevelBench {
public:
    LevelBench() {
        SIrrlichtCreationParameters params;
        params.DriverType = video::EDT_NULL;
        params.LoggingLevel = ELL_NONE;
        device = createDeviceEx(params);
        gameDevice = device;
        manager = std::make_unique<LevelManager>(device);
        levelManager = manager.get();
        manager->init();
        registerSceneNodeFactory(device->getSceneManager());

        folder = std::filesystem::temp_directory_path() /
                 ("paddlestone-level-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        xmlPath = (folder / "Generated.irr").string();
        binaryPath = (folder / "Generated.irrblvl").string();
        generate();
        manager->saveLevel(xmlPath.c_str());
        manager->saveLevel(binaryPath.c_str());
        manager->unloadLevel();
    }

    ~LevelBench() {
        manager.reset();
        levelManager = nullptr;
        device->drop();
        gameDevice = nullptr;
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // Groups of twenty objects of the common kinds, each with a name, an ID and a pose.
    void generate() {
        scene::ISceneManager* smgr = device->getSceneManager();
        scene::ISceneNode* group = nullptr;
        for (int i = 0; i < objectCount; ++i) {
            LevelObject* node = nullptr;
            if (i % 20 == 0) {
                node = new LevelObject(smgr->getRootSceneNode(), smgr, 100000 + i);
                group = node;
            } else if (i % 4 == 1) {
                auto* variable = new VariableObject(group, smgr, 100000 + i);
                variable->Value = static_cast<f32>(i) * 0.5f;
                node = variable;
            } else if (i % 4 == 2) {
                auto* marker = new MarkerObject(group, smgr, 100000 + i);
                marker->SegmentID = i % MarkerObject::segmentCount;
                node = marker;
            } else if (i % 4 == 3) {
                auto* point = new SplineObject(group, smgr, 100000 + i);
                point->Time = static_cast<f32>(i % 20) / 20.0f;
                node = point;
            } else {
                node = new LevelObject(group, smgr, 100000 + i);
            }
            node->setName(("Object" + std::to_string(i)).c_str());
            node->setPosition(core::vector3df(i * 1.5f, (i % 7) * 2.0f, -i * 0.25f));
            node->setRotation(core::vector3df(0, static_cast<f32>(i % 360), 0));
            node->setScale(core::vector3df(1.0f + (i % 3), 1, 1));
            node->drop();
        }
    }

    void load(benchmark::State& state, const std::string& path) {
        for (auto _ : state) {
            if (!manager->loadLevel(path.c_str()))
                state.SkipWithError("the level did not load");
            state.PauseTiming();
            manager->unloadLevel();
            state.ResumeTiming();
        }
        state.counters["objects"] = objectCount;
        state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    }

    IrrlichtDevice* device = nullptr;
    std::unique_ptr<LevelManager> manager;
    std::filesystem::path folder;
    std::string xmlPath;
    std::string binaryPath;
};

LevelBench& bench() {
    static LevelBench instance;
    return instance;
}

void BM_LoadLevelFromSceneFile(benchmark::State& state) {
    bench().load(state, bench().xmlPath);
}
void BM_LoadLevelFromBinaryFile(benchmark::State& state) {
    bench().load(state, bench().binaryPath);
}

BENCHMARK(BM_LoadLevelFromSceneFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLevelFromBinaryFile)->Unit(benchmark::kMillisecond);

} // namespace
