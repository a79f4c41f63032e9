// Reading the player's files as they grow: a save of N entries and a settings file of N
// keys the game does not know. Both reads are meant to grow linearly with N (Google
// Benchmark fits the complexity); the numbers are reported, not judged. Writing them as a
// frame pays for it: a save of N entries (save and backup, read back once) and the checkpoint
// of a level of N small cubes (refused past the 32 MB a level load reads).

#include "level/LevelManager.h"
#include "level/SaveManager.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/LoadBudget.h"

#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace irr;

namespace {

std::filesystem::path benchFolder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("paddlestone-files-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path / "save");
        return path;
    }();
    return folder;
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

void BM_ReadSave(benchmark::State& state) {
    const auto entries = static_cast<int>(state.range(0));
    std::string text = "<?xml version=\"1.0\"?>\n<PaddlestoneSave>\n<Levels>\n";
    for (int i = 0; i < entries; ++i)
        text += "<string name=\"" + std::to_string(i) + "\" value=\"Content/Levels/Level" + std::to_string(i) +
                ".irr\" />\n";
    text += "</Levels>\n</PaddlestoneSave>\n";
    writeText(benchFolder() / "save" / "save.tsav", text);

    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_NULL;
    params.LoggingLevel = ELL_NONE;
    IrrlichtDevice* device = createDeviceEx(params);
    for (auto _ : state) {
        SaveManager save(device->getFileSystem(), (benchFolder() / "save").string());
        benchmark::DoNotOptimize(save.load());
    }
    device->drop();
    state.SetComplexityN(entries);
}
BENCHMARK(BM_ReadSave)->RangeMultiplier(2)->Range(15000, 120000)->Unit(benchmark::kMillisecond)->Complexity();

IrrlichtDevice* silentNullDevice() {
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_NULL;
    params.LoggingLevel = ELL_NONE;
    return createDeviceEx(params);
}

void BM_WriteSave(benchmark::State& state) {
    const auto entries = static_cast<int>(state.range(0));
    IrrlichtDevice* device = silentNullDevice();
    {
        SaveManager save(device->getFileSystem(), (benchFolder() / "written").string());
        save.automaticWriting = false;
        for (int i = 0; i < entries; ++i)
            save.getGroup(SaveManager::Levels)
                ->addString(std::to_string(i).c_str(), ("Content/Levels/Level" + std::to_string(i) + ".irr").c_str());
        for (auto _ : state) {
            save.requestWrite();
            benchmark::DoNotOptimize(save.writeRequested());
        }
        state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(save.getSavePath()));
    }
    device->drop();
}
// 130,000 entries: a save of 7.8 MB, just under the 8 MB the reader takes.
BENCHMARK(BM_WriteSave)->Arg(1000)->Arg(130000)->Unit(benchmark::kMillisecond);

void BM_CheckpointOfCubes(benchmark::State& state) {
    const auto cubes = static_cast<int>(state.range(0));
    IrrlichtDevice* device = silentNullDevice();
    gameDevice = device;
    {
        SaveManager save(device->getFileSystem(), (benchFolder() / "checkpoint").string());
        saveManager = &save;
        LevelManager manager(device);
        scene::ISceneManager* scene = device->getSceneManager();
        for (int i = 0; i < cubes; ++i)
            scene->addCubeSceneNode(0.5f, nullptr, 1000 + i, core::vector3df(static_cast<f32>(i % 100), 0, 40));
        bool written = false;
        for (auto _ : state)
            written = manager.saveCheckpoint();
        const std::string path = manager.getCheckpointPath(false).c_str();
        state.counters["bytes"] = written ? static_cast<double>(std::filesystem::file_size(path)) : 0.0;
        state.counters["written"] = written;
        saveManager = nullptr;
    }
    gameDevice = nullptr;
    device->drop();
}
BENCHMARK(BM_CheckpointOfCubes)->Arg(12000)->Arg(49900)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ReadSettingsWithUnknownKeys(benchmark::State& state) {
    const auto keys = static_cast<int>(state.range(0));
    std::string text = "<?xml version=\"1.0\"?>\n<Game>\n";
    for (int i = 0; i < keys; ++i)
        text += "<string name=\"Unknown_" + std::to_string(i) + "\" value=\"x\" />\n";
    text += "</Game>\n";
    const std::string path = (benchFolder() / "PaddlestoneConfig.xml").string();
    writeText(path, text);
    // A silent device takes the settings' log lines, so that the table stays readable.
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_NULL;
    params.LoggingLevel = ELL_NONE;
    IrrlichtDevice* device = createDeviceEx(params);
    gameDevice = device;
    for (auto _ : state) {
        GameSettings settings(path);
        settings.load(false);
    }
    gameDevice = nullptr;
    device->drop();
    state.SetComplexityN(keys);
}
BENCHMARK(BM_ReadSettingsWithUnknownKeys)
    ->RangeMultiplier(2)
    ->Range(11000, 88000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace
