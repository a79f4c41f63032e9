// Reading the player's files as they grow: a save of N entries and a settings file of N
// keys the game does not know. Both reads are meant to grow linearly with N (Google
// Benchmark fits the complexity); the numbers are reported, not judged.

#include "level/SaveManager.h"

#include "core/GameSettings.h"
#include "core/Globals.h"

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
