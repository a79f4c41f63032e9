// The OpenAL Soft output's own housekeeping, on OpenAL Soft's null device. The test binary
// stands between the output and OpenAL Soft for the source calls and keeps which sources
// were made and deleted, so a source the output forgets at shutdown shows.
#include "platform/audio/AudioOutput.h"
#include "platform/audio/OpenALOutput.h"

#include "support/TempDir.h"
#include "WaveBytes.h"

#include <AL/al.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// The sources made and deleted since the last clear; the output's audio thread writes them.
// While the gate is closed the audio thread cannot take a played buffer off a stream's queue.
struct SourceLedger {
    std::mutex mutex;
    std::condition_variable gateOpened;
    std::multiset<ALuint> made;
    std::multiset<ALuint> deleted;
    bool gateClosed = false;

    std::size_t madeCount() {
        std::lock_guard<std::mutex> lock(mutex);
        return made.size();
    }
    void setGate(bool closed) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            gateClosed = closed;
        }
        gateOpened.notify_all();
    }
};

SourceLedger& ledger() {
    static SourceLedger instance;
    return instance;
}

template <typename Function> Function realAl(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

AL_API void AL_APIENTRY alGenSources(ALsizei n, ALuint* sources) {
    static const auto real = realAl<void(AL_APIENTRY*)(ALsizei, ALuint*)>("alGenSources");
    real(n, sources);
    // A refused call leaves the names as they were (the output's are zero) and its error for
    // the caller to read.
    std::lock_guard<std::mutex> lock(ledger().mutex);
    for (ALsizei i = 0; i < n; ++i)
        if (sources[i] != 0)
            ledger().made.insert(sources[i]);
}

AL_API void AL_APIENTRY alDeleteSources(ALsizei n, const ALuint* sources) {
    static const auto real = realAl<void(AL_APIENTRY*)(ALsizei, const ALuint*)>("alDeleteSources");
    {
        std::lock_guard<std::mutex> lock(ledger().mutex);
        ledger().deleted.insert(sources, sources + n);
    }
    real(n, sources);
}

AL_API void AL_APIENTRY alSourceUnqueueBuffers(ALuint source, ALsizei n, ALuint* buffers) {
    static const auto real = realAl<void(AL_APIENTRY*)(ALuint, ALsizei, ALuint*)>("alSourceUnqueueBuffers");
    {
        std::unique_lock<std::mutex> lock(ledger().mutex);
        ledger().gateOpened.wait(lock, [] { return !ledger().gateClosed; });
    }
    real(source, n, buffers);
}

} // extern "C"

// Every source the output made is deleted when it shuts down: none made, one left playing,
// one stopped, and several with some stopped, each on an output of its own.
TEST(OpenALOutputTest, ShutdownDeletesEverySourceTheOutputMade) {
    // OpenAL Soft reads its configuration once a process: nothing else here opens it.
    const test::ScopedEnv drivers{"ALSOFT_DRIVERS", std::string("null")};
    test::TempDir dir;
    const std::string path = dir.file("Hum.wav");
    ASSERT_TRUE(test::writeFileBytes(path, waveBytes(8000, 1, 800)));
    const struct {
        int started, stopped;
    } rows[] = {{0, 0}, {1, 0}, {1, 1}, {3, 1}, {3, 3}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.started) + " started, " + std::to_string(row.stopped) + " stopped");
        {
            std::lock_guard<std::mutex> lock(ledger().mutex);
            ledger().made.clear();
            ledger().deleted.clear();
        }
        std::string problem;
        std::unique_ptr<audio::Output> output = audio::openOpenALOutput(audio::SpeakerMode::Stereo, problem);
        ASSERT_NE(output, nullptr) << problem;
        const audio::SoundId sound = output->addSound(path, false, false);
        std::vector<audio::VoiceId> voices;
        for (int i = 0; i < row.started; ++i)
            voices.push_back(output->startVoice(sound, true, audio::VoiceParams{}));
        output->commit();
        // The audio thread makes the sources; a shutdown before that would make none.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ledger().madeCount() < static_cast<std::size_t>(row.started) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(ledger().madeCount(), static_cast<std::size_t>(row.started));
        for (int i = 0; i < row.stopped; ++i)
            output->stopVoice(voices[static_cast<std::size_t>(i)]);
        output->commit();
        output.reset();
        std::lock_guard<std::mutex> lock(ledger().mutex);
        EXPECT_EQ(ledger().deleted, ledger().made);
    }
}

// A streamed loop plays on through a stall of the whole process (a busy machine): for 1.5 s
// nothing is updated and the device mixes nothing, then the device takes what it owes at
// once, as a file writer does, and plays on in time. Every 10 ms from the first sound on
// holds the tone. A stall the audio thread cannot refill in runs the stream dry: refilled, it
// plays on, not taken for a sound that has ended.
TEST(OpenALOutputTest, AStreamPlaysOnThroughAStallAfterWhichTheDeviceCatchesUp) {
    const test::ScopedEnv drivers{"ALSOFT_DRIVERS", std::string("null")};
    constexpr int rate = 44100, chunk = rate / 100;
    test::TempDir dir;
    const std::string path = dir.file("Tone.wav");
    // A 441 Hz square wave of a quarter second: every refill wraps the loop.
    std::string bytes = waveBytes(rate, 2, rate / 4);
    for (std::size_t at = 44, frame = 0; at + 4 <= bytes.size(); at += 4, ++frame) {
        const auto value = static_cast<std::uint16_t>(frame / 50 % 2 ? 8192 : -8192);
        for (std::size_t byte = 0; byte < 4; ++byte)
            bytes[at + byte] = static_cast<char>(value >> (8 * (byte % 2)) & 0xFF);
    }
    ASSERT_TRUE(test::writeFileBytes(path, bytes));
    std::function<void(std::int16_t*, int)> render;
    std::string problem;
    std::unique_ptr<audio::Output> output = audio::openOpenALLoopbackOutput(rate, render, problem);
    ASSERT_NE(output, nullptr) << problem;
    output->startVoice(output->addSound(path, true, false), true, audio::VoiceParams{});
    output->commit();

    std::vector<std::int16_t> heard;
    const auto mix = [&](int chunks) {
        const std::size_t from = heard.size();
        heard.resize(from + static_cast<std::size_t>(chunks * chunk * 2));
        render(heard.data() + from, chunks * chunk);
    };
    const auto loud = [&](std::size_t chunkIndex) {
        int most = 0;
        for (std::size_t i = chunkIndex * chunk * 2; i < (chunkIndex + 1) * chunk * 2; ++i)
            most = std::max(most, std::abs(static_cast<int>(heard[i])));
        return most > 4000;
    };
    const auto playInTime = [&](int chunks) {
        for (int i = 0; i < chunks; ++i) {
            mix(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    // The audio thread reads the file and starts the voice.
    for (int i = 0; i < 1000 && (heard.empty() || !loud(heard.size() / (chunk * 2) - 1)); ++i)
        playInTime(1);
    const std::size_t first = heard.size() / (chunk * 2) - 1;
    ASSERT_TRUE(loud(first)) << "the stream never started";
    playInTime(50);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    mix(150);
    playInTime(50);
    const std::size_t stalled = heard.size() / (chunk * 2);
    for (std::size_t i = first; i < stalled; ++i)
        ASSERT_TRUE(loud(i)) << "silent " << (i - first) * 10 << " ms after the start";

    // More than the whole queue (and a buffer put in as the gate closes) mixed at once.
    struct OpenGate {
        ~OpenGate() { ledger().setGate(false); } // before the output waits for its thread
    } openGate;
    ledger().setGate(true);
    mix(500);
    ASSERT_FALSE(loud(heard.size() / (chunk * 2) - 1)) << "the stream did not run dry";
    ledger().setGate(false);
    for (int i = 0; i < 1000 && !loud(heard.size() / (chunk * 2) - 1); ++i)
        playInTime(1);
    const std::size_t again = heard.size() / (chunk * 2) - 1;
    ASSERT_TRUE(loud(again)) << "the stream that ran dry never played again";
    playInTime(20);
    output.reset();
    for (std::size_t i = again; i < heard.size() / (chunk * 2); ++i)
        ASSERT_TRUE(loud(i)) << "silent " << (i - again) * 10 << " ms after playing again";
}

// Two frames' starts of one knock, committed while the device mixes nothing (a held-up mixer),
// are heard apart as made, not adding up on one sample.
TEST(OpenALOutputTest, StartsOfTwoFramesAreHeardApartThoughTheDeviceMixedNothingBetween) {
    const test::ScopedEnv drivers{"ALSOFT_DRIVERS", std::string("null")};
    constexpr int rate = 44100, chunk = rate / 100;
    test::TempDir dir;
    const std::string path = dir.file("Knock.wav");
    // 2 ms of a square wave at a quarter of full scale, then silence: 50 ms in all.
    std::string bytes = waveBytes(rate, 1, rate / 20);
    for (std::size_t at = 44, frame = 0; frame < rate / 500; at += 2, ++frame) {
        const auto value = static_cast<std::uint16_t>(frame / 10 % 2 ? 8192 : -8192);
        bytes[at] = static_cast<char>(value & 0xFF);
        bytes[at + 1] = static_cast<char>(value >> 8);
    }
    ASSERT_TRUE(test::writeFileBytes(path, bytes));
    std::function<void(std::int16_t*, int)> render;
    std::string problem;
    std::unique_ptr<audio::Output> output = audio::openOpenALLoopbackOutput(rate, render, problem);
    ASSERT_NE(output, nullptr) << problem;
    const audio::SoundId knock = output->addSound(path, false, false);
    output->commit();
    std::vector<audio::SoundReport> reports;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (reports.empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        output->takeReports(reports);
    }
    ASSERT_EQ(reports.size(), 1u);
    for (int frame = 0; frame < 2; ++frame) {
        output->startVoice(knock, false, audio::VoiceParams{});
        output->commit();
    }

    // Mixed 10 ms at a time until both knocks are heard: each begins after 5 ms of quiet.
    std::vector<std::int16_t> heard;
    std::vector<std::size_t> knocks; // the frames where a knock begins
    std::size_t quiet = chunk;
    for (int i = 0; i < 2000 && knocks.size() < 2; ++i) {
        const std::size_t from = heard.size();
        heard.resize(from + chunk * 2);
        render(heard.data() + from, chunk);
        for (std::size_t at = from; at < heard.size(); at += 2) {
            const bool loud = std::abs(heard[at]) > 1000 || std::abs(heard[at + 1]) > 1000;
            if (loud && quiet >= chunk / 2)
                knocks.push_back(at / 2);
            quiet = loud ? 0 : quiet + 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    output.reset();
    EXPECT_EQ(knocks.size(), 2u) << "two knocks, apart";
}
