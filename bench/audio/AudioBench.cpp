// What sound costs the main thread a frame: 64 looping 3D events placed, given a new
// "Velocity" and volume every frame, then the event system's update (which hands the frame's
// voices to the output). On OpenAL Soft the device is its wave-file writer (into a temporary
// file), so the mixer and the audio thread really run beside the measured thread; the null
// output shows the event system's own share.
#include "platform/audio/EventSystem.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

constexpr int placedEvents = 64;

// The wave writer's configuration and file, in a folder removed at exit.
struct WaveFolder {
    WaveFolder() : path(std::filesystem::temp_directory_path() / ("paddlestone-audio-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path);
        std::ofstream(path / "alsoft.conf") << "[general]\ndrivers = wave\nchannels = stereo\nfrequency = 44100\n"
                                            << "[wave]\nfile = " << (path / "out.wav").string() << "\n";
        ::setenv("ALSOFT_CONF", (path / "alsoft.conf").c_str(), 1);
    }
    ~WaveFolder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

void prepareWaveWriter() { static WaveFolder folder; }

audio::EventProject benchProject() {
    audio::EventProject project;
    project.categories = {"sounds"};
    audio::EventDescription drag{"Bench/Drag", "sounds", 1.0f, true, true, placedEvents, {}};
    audio::EventDescription::Parameter velocity;
    velocity.name = "Velocity";
    velocity.maximum = 100.0f;
    velocity.volumeAtMinimum = 0.3f;
    velocity.pitchAtMinimum = 0.9f;
    velocity.pitchAtMaximum = 1.1f;
    drag.parameters = {velocity};
    drag.sounds = {std::string(PADDLESTONE_SOURCE_DIR) + "/Content/Audio/Sounds/Scrape.wav"};
    project.events = {drag};
    return project;
}

void placedEventsFrame(benchmark::State& state, audio::OutputChoice choice) {
    prepareWaveWriter();
    audio::EventSystem system;
    system.setOutputChoice(choice);
    system.init(audio::SpeakerMode::Stereo);
    if (system.output()->isNull() != (choice == audio::OutputChoice::Null)) {
        state.SkipWithError(("no such output here: " + system.outputDescription()).c_str());
        return;
    }
    system.load(benchProject());
    std::vector<audio::Event*> events;
    std::vector<audio::EventParameter*> velocities;
    for (int i = 0; i < placedEvents; ++i) {
        audio::Event* event = nullptr;
        system.getEvent("Bench/Drag", &event);
        audio::EventParameter* velocity = nullptr;
        event->getParameter("Velocity", &velocity);
        event->start();
        events.push_back(event);
        velocities.push_back(velocity);
    }
    system.update();

    float t = 0.0f;
    for (auto _ : state) {
        t += 1.0f / 60.0f;
        for (int i = 0; i < placedEvents; ++i) {
            const float angle = t + static_cast<float>(i) * 0.1f;
            const audio::Vector3 where{30.0f * std::cos(angle), 2.0f, 30.0f * std::sin(angle)};
            const audio::Vector3 moving{-std::sin(angle), 0.0f, std::cos(angle)};
            events[static_cast<std::size_t>(i)]->set3DAttributes(&where, &moving);
            velocities[static_cast<std::size_t>(i)]->setValue(50.0f + 50.0f * std::sin(angle));
            events[static_cast<std::size_t>(i)]->setVolume(0.5f + 0.5f * std::cos(angle));
        }
        system.update();
    }
    state.counters["playing"] = static_cast<double>(system.playingEventCount());
    system.release();
}

void BM_PlacedEventsFrameOpenAL(benchmark::State& state) { placedEventsFrame(state, audio::OutputChoice::OpenAL); }
void BM_PlacedEventsFrameNull(benchmark::State& state) { placedEventsFrame(state, audio::OutputChoice::Null); }

} // namespace

BENCHMARK(BM_PlacedEventsFrameOpenAL)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_PlacedEventsFrameNull)->Unit(benchmark::kMicrosecond);
