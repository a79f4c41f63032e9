// What the event system asks of its output: voices started, changed and stopped, the
// listener, and what it does with what the output learns of the sound files.
#include "platform/audio/AudioOutput.h"
#include "platform/audio/EventSystem.h"
#include "platform/audio/SoundDecoder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

using audio::Result;

namespace {

// An output that keeps every request; the test hands it reports.
class RecordingOutput final : public audio::Output {
public:
    struct Log {
        std::vector<std::string> files;
        std::map<audio::VoiceId, audio::SoundId> started;
        std::map<audio::VoiceId, audio::VoiceParams> params;
        std::vector<audio::VoiceId> sets;
        std::vector<audio::VoiceId> stopped;
        int listenerSends = 0;
        audio::ListenerParams listener;
        std::vector<audio::SoundReport> reports;
    };
    explicit RecordingOutput(Log& log) : log(log) {}
    const std::string& description() const override { return text; }
    bool isNull() const override { return false; }
    audio::SoundId addSound(const std::string& file, bool, bool) override {
        log.files.push_back(file);
        return static_cast<audio::SoundId>(log.files.size());
    }
    void dropSound(audio::SoundId) override {}
    audio::VoiceId startVoice(audio::SoundId sound, bool, const audio::VoiceParams& params) override {
        ++lastVoice;
        log.started[lastVoice] = sound;
        log.params[lastVoice] = params;
        return lastVoice;
    }
    void setVoice(audio::VoiceId voice, const audio::VoiceParams& params) override {
        log.sets.push_back(voice);
        log.params[voice] = params;
    }
    void stopVoice(audio::VoiceId voice) override { log.stopped.push_back(voice); }
    void setListener(const audio::ListenerParams& listener) override {
        ++log.listenerSends;
        log.listener = listener;
    }
    void commit() override {}
    void takeReports(std::vector<audio::SoundReport>& out) override {
        out.insert(out.end(), log.reports.begin(), log.reports.end());
        log.reports.clear();
    }
    double playedSeconds() const override { return -1.0; }

private:
    Log& log;
    std::string text = "recorder";
    audio::VoiceId lastVoice = 0;
};

audio::EventProject voiceProject() {
    audio::EventProject project;
    project.categories = {"sounds"};
    audio::EventDescription hit{"Test/Hit", "sounds", 0.5f, false, true, 8, {}};
    audio::EventDescription::Parameter velocity;
    velocity.name = "Velocity";
    velocity.maximum = 100.0f;
    velocity.volumeAtMinimum = 0.2f;
    velocity.pitchAtMinimum = 0.8f;
    velocity.pitchAtMaximum = 1.2f;
    hit.parameters = {velocity};
    hit.sounds = {"a.wav", "b.wav"};
    hit.volume = 0.5f;
    hit.minDistance = 5.0f;
    audio::EventDescription hum{"Test/Hum", "sounds", 1.0f, true, false, 2, {}};
    hum.sounds = {"a.wav"}; // the same file played flat: a sound of its own
    audio::EventDescription quiet{"Test/Quiet", "sounds", 0.25f, false, false, 2, {}};
    project.events = {hit, hum, quiet};
    return project;
}

class AudioVoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        system.setClock([this] { return now; });
        system.installOutput(std::make_unique<RecordingOutput>(output));
        ASSERT_EQ(system.init(audio::SpeakerMode::Stereo), Result::Ok);
        system.setProblemHandler([this](Result result, const std::string& detail) {
            problems.push_back(std::string(audio::resultText(result)) + " " + detail);
        });
        ASSERT_EQ(system.load(voiceProject()), Result::Ok);
    }
    audio::Event* fetch(const char* name) {
        audio::Event* event = nullptr;
        EXPECT_EQ(system.getEvent(name, &event), Result::Ok);
        return event;
    }
    void advance(double seconds) {
        now += seconds;
        system.update();
    }

    double now = 5.0;
    RecordingOutput::Log output;
    std::vector<std::string> problems;
    audio::EventSystem system;
};

} // namespace

// A 16-bit PCM wave file's bytes: its header and `frames` silent frames.
std::string waveBytes(int rate, int channels, int frames) {
    std::string bytes;
    auto put = [&bytes](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    const std::uint32_t data = static_cast<std::uint32_t>(frames * channels * 2);
    bytes += "RIFF";
    put(36 + data, 4);
    bytes += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(static_cast<std::uint32_t>(channels), 2);
    put(static_cast<std::uint32_t>(rate), 4);
    put(static_cast<std::uint32_t>(rate * channels * 2), 4);
    put(static_cast<std::uint32_t>(channels * 2), 2);
    put(16, 2);
    bytes += "data";
    put(data, 4);
    return bytes + std::string(data, '\0');
}

TEST(SoundDecoderTest, TakesUpTo384000FramesASecondAndEightChannelsOfSound) {
    const struct {
        int rate, channels, frames;
        Result expected;
    } cases[] = {{384000, 1, 8, Result::Ok},      {384001, 1, 8, Result::FileBad}, {8000, 8, 8, Result::Ok},
                 {8000, 9, 8, Result::FileBad},   {8000, 1, 0, Result::FileBad}};
    test::TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.file("Sound.wav");
        ASSERT_TRUE(test::writeFileBytes(path, waveBytes(c.rate, c.channels, c.frames)));
        audio::SoundDecoder decoder;
        std::string detail;
        EXPECT_EQ(decoder.open(path, "Sound.wav", false, detail), c.expected)
            << c.rate << " " << c.channels << " " << c.frames << ": " << detail;
    }
}

TEST_F(AudioVoiceTest, EachFileIsRegisteredOnceForEveryWayItPlays) {
    EXPECT_EQ(output.files, (std::vector<std::string>{"a.wav", "b.wav", "a.wav"}));
    // An event without sound files starts no voice.
    fetch("Test/Quiet")->start();
    EXPECT_TRUE(output.started.empty());
}

TEST_F(AudioVoiceTest, AParameterMovesVolumeAndPitchAcrossItsRange) {
    audio::Event* hit = fetch("Test/Hit");
    audio::EventParameter* velocity = nullptr;
    ASSERT_EQ(hit->getParameter("Velocity", &velocity), Result::Ok);
    const struct {
        float value, gain, pitch;
    } rows[] = {{0.0f, 0.1f, 0.8f}, {50.0f, 0.3f, 1.0f}, {100.0f, 0.5f, 1.2f}, {250.0f, 0.5f, 1.2f}};
    for (const auto& row : rows) {
        velocity->setValue(row.value);
        const audio::VoiceParams params = hit->voiceParams();
        EXPECT_NEAR(params.gain, row.gain, 1e-5f) << row.value; // times the event's volume 0.5
        EXPECT_NEAR(params.pitch, row.pitch, 1e-5f) << row.value;
    }
    const audio::Vector3 where{1.0f, 2.0f, 3.0f};
    hit->set3DAttributes(&where, nullptr);
    hit->start();
    ASSERT_EQ(output.started.size(), 1u);
    const audio::VoiceParams& sent = output.params.begin()->second;
    EXPECT_TRUE(sent.positional);
    EXPECT_EQ(sent.position, where);
    EXPECT_FLOAT_EQ(sent.minDistance, 5.0f);
}

TEST_F(AudioVoiceTest, OnlyChangesReachTheOutputAndCategoriesApplyToVoices) {
    audio::Event* hum = fetch("Test/Hum");
    hum->start();
    const audio::VoiceId voice = output.started.begin()->first;
    advance(0.1);
    advance(0.1);
    EXPECT_TRUE(output.sets.empty());
    EXPECT_EQ(output.listenerSends, 1);

    audio::EventCategory* sounds = nullptr;
    ASSERT_EQ(system.getCategory("sounds", &sounds), Result::Ok);
    sounds->setVolume(0.25f);
    advance(0.1);
    ASSERT_EQ(output.sets.size(), 1u);
    EXPECT_FLOAT_EQ(output.params[voice].gain, 0.25f);
    sounds->setPaused(true);
    advance(0.1);
    EXPECT_TRUE(output.params[voice].paused);

    const audio::Vector3 forward{1.0f, 0.0f, 0.0f};
    system.set3DListenerAttributes(nullptr, nullptr, &forward, nullptr);
    advance(0.1);
    EXPECT_EQ(output.listenerSends, 2);
    EXPECT_EQ(output.listener.forward, forward);

    hum->stop();
    EXPECT_EQ(output.stopped, std::vector<audio::VoiceId>{voice});
}

TEST_F(AudioVoiceTest, AOneShotPlaysOutByItselfAndARestartBeginsAgain) {
    audio::Event* hit = fetch("Test/Hit");
    hit->start();
    hit->start();
    EXPECT_EQ(output.stopped.size(), 1u); // the first voice gave way to the restart
    advance(0.6);
    EXPECT_FALSE(hit->isPlaying());
    EXPECT_EQ(output.stopped.size(), 1u); // the end of a one-shot is the voice's own
}

TEST_F(AudioVoiceTest, EveryStartPicksOneOfTheEventsSounds) {
    std::set<audio::SoundId> picked;
    for (int i = 0; i < 24; ++i) {
        audio::Event* hit = fetch("Test/Hit");
        hit->start();
        hit->stop();
    }
    for (const auto& entry : output.started)
        picked.insert(entry.second);
    EXPECT_EQ(picked, (std::set<audio::SoundId>{1, 2}));
}

TEST_F(AudioVoiceTest, TheFilesLengthCountsAndAnUnplayableFileIsToldOnceAndSilent) {
    output.reports = {{1, Result::Ok, 2.0f, "a.wav"}, {2, Result::FileBad, 0.0f, "b.wav: damaged"}};
    advance(0.0);
    EXPECT_EQ(problems, std::vector<std::string>{"Error loading file. b.wav: damaged"});

    std::size_t voices = 0;
    int playedLonger = 0;
    for (int i = 0; i < 12; ++i) {
        audio::Event* hit = fetch("Test/Hit");
        const std::size_t before = output.started.size();
        hit->start();
        const bool silent = output.started.size() == before;
        voices += silent ? 0 : 1;
        advance(1.0); // longer than the catalogue's 0.5 s, shorter than a.wav
        playedLonger += (!silent && hit->isPlaying()) ? 1 : 0;
        // A silent start still plays for the catalogue's length.
        EXPECT_EQ(hit->isPlaying(), !silent);
        hit->stop();
    }
    EXPECT_GT(voices, 0u);
    EXPECT_LT(voices, 12u);
    EXPECT_EQ(playedLonger, static_cast<int>(voices));
    EXPECT_EQ(problems.size(), 1u);
}
