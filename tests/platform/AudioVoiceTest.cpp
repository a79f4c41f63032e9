// What the event system asks of its output: voices started, changed and stopped, the
// listener, and what it does with what the output learns of the sound files.
#include "platform/audio/AudioOutput.h"
#include "platform/audio/EventSystem.h"
#include "platform/audio/SoundDecoder.h"
#include "support/TempDir.h"
#include "WaveBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
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
        std::vector<audio::SoundId> dropped;
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
    void dropSound(audio::SoundId sound) override { log.dropped.push_back(sound); }
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

namespace {

// A 16-bit PCM wave file of the given interleaved samples.
std::string waveWithSamples(int rate, int channels, const std::vector<std::int16_t>& samples) {
    const int frames = static_cast<int>(samples.size()) / channels;
    std::string bytes = waveBytes(rate, channels, frames);
    std::string data;
    for (std::int16_t sample : samples) {
        data += static_cast<char>(static_cast<std::uint16_t>(sample) & 0xFF);
        data += static_cast<char>((static_cast<std::uint16_t>(sample) >> 8) & 0xFF);
    }
    return bytes.replace(bytes.size() - data.size(), data.size(), data);
}

} // namespace

// A placed sound is read as one channel, the mean of the file's channels; otherwise a file
// of more than two channels gives its front pair and one or two channels come as they are.
TEST(SoundDecoderTest, ReadsMixDownToOneChannelOrTheFrontPair) {
    const std::vector<std::int16_t> four = {100, 300, 7, 9, -400, -800, 0, 0, 30000, 30000, 30000, 30000};
    const std::vector<std::int16_t> two = {100, 300, -400, -800, 30000, 32000};
    const struct {
        const std::vector<std::int16_t>* samples;
        int fileChannels;
        bool placed;
        int channels;
        std::vector<std::int16_t> expected;
    } rows[] = {
        {&four, 4, false, 2, {100, 300, -400, -800, 30000, 30000}},
        {&four, 4, true, 1, {104, -300, 30000}},
        {&two, 2, true, 1, {200, -600, 31000}},
        {&two, 2, false, 2, {100, 300, -400, -800, 30000, 32000}},
        {&two, 1, true, 1, {100, 300, -400, -800, 30000, 32000}},
    };
    test::TempDir dir;
    for (const auto& row : rows) {
        const std::string path = dir.file("Mix.wav");
        ASSERT_TRUE(test::writeFileBytes(path, waveWithSamples(8000, row.fileChannels, *row.samples)));
        audio::SoundDecoder decoder;
        std::string detail;
        ASSERT_EQ(decoder.open(path, "Mix.wav", row.placed, detail), Result::Ok) << detail;
        EXPECT_EQ(decoder.channels(), row.channels);
        const std::size_t frames = row.expected.size() / static_cast<std::size_t>(row.channels);
        EXPECT_EQ(decoder.frames(), static_cast<std::int64_t>(frames));
        std::vector<std::int16_t> out(row.expected.size() + 8, 0);
        EXPECT_EQ(decoder.read(out.data(), frames + 4), frames) << row.fileChannels << " " << row.placed;
        out.resize(row.expected.size());
        EXPECT_EQ(out, row.expected) << row.fileChannels << " " << row.placed;
        // At the end nothing more comes; rewound, the first frame comes again.
        EXPECT_EQ(decoder.read(out.data(), 1), 0u);
        EXPECT_EQ(decoder.read(out.data(), 0), 0u);
        ASSERT_TRUE(decoder.rewind());
        EXPECT_EQ(decoder.read(out.data(), 1), 1u);
        EXPECT_EQ(out[0], row.expected[0]);
    }
    audio::SoundDecoder closed;
    std::int16_t sample = 5;
    EXPECT_EQ(closed.read(&sample, 1), 0u);
    EXPECT_FALSE(closed.rewind());
    std::string detail;
    EXPECT_EQ(closed.open(dir.path().string(), "Folder", false, detail), Result::FileNotFound);
    EXPECT_EQ(detail, "Folder");
    ASSERT_TRUE(test::writeFileBytes(dir.file("Text.wav"), "no sound at all, only words"));
    EXPECT_EQ(closed.open(dir.file("Text.wav"), "Text.wav", false, detail), Result::FileBad);
    EXPECT_EQ(detail.rfind("Text.wav: ", 0), 0u) << detail;
}

// A plain sound plays on a channel: the output gets its voice, its volume and pause as they
// change, and its stop; it plays for the length of its file.
TEST_F(AudioVoiceTest, APlainSoundsChannelSendsItsVolumePauseAndStop) {
    test::TempDir dir;
    const std::string path = dir.file("Beep.wav");
    ASSERT_TRUE(test::writeFileBytes(path, waveBytes(1000, 1, 1500))); // 1.5 s
    audio::Sound* sound = nullptr;
    ASSERT_EQ(system.createSound(path.c_str(), false, &sound), Result::Ok);
    EXPECT_EQ(output.files.back(), path);
    EXPECT_FLOAT_EQ(sound->length(), 1.5f);

    audio::ChannelHandle channel;
    ASSERT_EQ(system.playSound(sound, true, &channel), Result::Ok);
    ASSERT_EQ(output.started.size(), 1u);
    const audio::VoiceId voice = output.started.begin()->first;
    EXPECT_EQ(output.started[voice], static_cast<audio::SoundId>(output.files.size()));
    EXPECT_TRUE(output.params[voice].paused);
    bool flag = false;
    ASSERT_EQ(channel.getPaused(&flag), Result::Ok);
    EXPECT_TRUE(flag);
    advance(5.0); // paused: keeps its place
    channel.isPlaying(&flag);
    EXPECT_TRUE(flag);
    EXPECT_TRUE(output.sets.empty()) << "nothing changed";

    EXPECT_EQ(channel.setPaused(false), Result::Ok);
    channel.getPaused(&flag);
    EXPECT_FALSE(flag);
    channel.setVolume(0.5f);
    advance(1.0);
    ASSERT_EQ(output.sets, std::vector<audio::VoiceId>{voice});
    EXPECT_FALSE(output.params[voice].paused);
    EXPECT_FLOAT_EQ(output.params[voice].gain, 0.5f);
    channel.isPlaying(&flag);
    EXPECT_TRUE(flag);
    advance(0.5); // the length reached
    channel.isPlaying(&flag);
    EXPECT_FALSE(flag);
    EXPECT_TRUE(output.stopped.empty()) << "a sound that played out ends by itself";

    ASSERT_EQ(system.playSound(sound, false, &channel), Result::Ok);
    const audio::VoiceId second = output.started.rbegin()->first;
    EXPECT_NE(second, voice);
    EXPECT_EQ(channel.stop(), Result::Ok);
    channel.isPlaying(&flag);
    EXPECT_FALSE(flag);
    EXPECT_EQ(output.stopped, std::vector<audio::VoiceId>{second});

    // The listener's velocity and up reach the output as well.
    const audio::Vector3 velocity{1.0f, 2.0f, 3.0f};
    const audio::Vector3 up{0.0f, 0.0f, 1.0f};
    EXPECT_EQ(system.set3DListenerAttributes(nullptr, &velocity, nullptr, &up), Result::Ok);
    advance(0.0);
    EXPECT_EQ(output.listener.velocity, velocity);
    EXPECT_EQ(output.listener.up, up);
}

// With every channel playing, a new sound takes over the channel that started first.
TEST_F(AudioVoiceTest, WhenEveryChannelPlaysTheOldestGivesWay) {
    test::TempDir dir;
    const std::string path = dir.file("Hum.wav");
    ASSERT_TRUE(test::writeFileBytes(path, waveBytes(1000, 1, 1000)));
    audio::Sound* sound = nullptr;
    ASSERT_EQ(system.createSound(path.c_str(), true, &sound), Result::Ok);
    std::vector<audio::ChannelHandle> channels;
    for (int i = 0; i < audio::EventSystem::maxChannels; ++i) {
        audio::ChannelHandle channel;
        ASSERT_EQ(system.playSound(sound, false, &channel), Result::Ok);
        channels.push_back(channel);
    }
    ASSERT_TRUE(output.stopped.empty());
    // A stopped channel is taken again before any playing one.
    audio::Channel* const fifth = channels[5].get();
    channels[5].stop();
    audio::ChannelHandle again;
    ASSERT_EQ(system.playSound(sound, false, &again), Result::Ok);
    EXPECT_EQ(again.get(), fifth);
    EXPECT_EQ(output.stopped.size(), 1u);

    audio::Channel* const first = channels[0].get();
    audio::ChannelHandle taken;
    ASSERT_EQ(system.playSound(sound, false, &taken), Result::Ok);
    EXPECT_EQ(taken.get(), first);
    ASSERT_EQ(output.stopped.size(), 2u);
    EXPECT_EQ(output.stopped.back(), 1u) << "the first voice";
    bool playing = true;
    EXPECT_EQ(channels[0].isPlaying(&playing), Result::InvalidHandle) << "taken over";
    EXPECT_FALSE(playing);
    audio::Channel* const second = channels[1].get();
    ASSERT_EQ(system.playSound(sound, false, &taken), Result::Ok);
    EXPECT_EQ(taken.get(), second);
    EXPECT_EQ(output.stopped.back(), 2u);
    channels[2].isPlaying(&playing);
    EXPECT_TRUE(playing);
}

// A sound whose length the file's header does not tell plays until the output has read the
// file; then it lasts what the output found, or ends at once when the file cannot play. A
// length the header told stays.
TEST_F(AudioVoiceTest, APlainSoundOfUnknownLengthLastsWhatTheOutputReads) {
    test::TempDir dir;
    ASSERT_TRUE(test::writeFileBytes(dir.file("Song.ogg"), "OggS and more"));
    ASSERT_TRUE(test::writeFileBytes(dir.file("Broken.ogg"), "OggS and less"));
    ASSERT_TRUE(test::writeFileBytes(dir.file("Beep.wav"), waveBytes(1000, 1, 1500)));
    audio::Sound* song = nullptr;
    audio::Sound* broken = nullptr;
    audio::Sound* beep = nullptr;
    ASSERT_EQ(system.createSound(dir.file("Song.ogg").c_str(), false, &song), Result::Ok);
    ASSERT_EQ(system.createSound(dir.file("Broken.ogg").c_str(), false, &broken), Result::Ok);
    ASSERT_EQ(system.createSound(dir.file("Beep.wav").c_str(), false, &beep), Result::Ok);
    const auto songId = static_cast<audio::SoundId>(output.files.size() - 2);
    EXPECT_EQ(song->length(), 0.0f);
    audio::ChannelHandle channel;
    ASSERT_EQ(system.playSound(song, false, &channel), Result::Ok);
    advance(30.0);
    bool playing = false;
    channel.isPlaying(&playing);
    EXPECT_TRUE(playing) << "the length is not known yet";

    output.reports = {{songId, Result::Ok, 2.0f, "Song.ogg"},
                      {songId + 1, Result::FileBad, 0.0f, "Broken.ogg: damaged"},
                      {songId + 2, Result::Ok, 3.0f, "Beep.wav"}};
    advance(0.0);
    EXPECT_FLOAT_EQ(song->length(), 2.0f);
    EXPECT_FLOAT_EQ(beep->length(), 1.5f);
    EXPECT_EQ(problems, std::vector<std::string>{"Error loading file. Broken.ogg: damaged"});
    ASSERT_EQ(system.playSound(song, false, &channel), Result::Ok);
    advance(1.9);
    channel.isPlaying(&playing);
    EXPECT_TRUE(playing);
    advance(0.2);
    channel.isPlaying(&playing);
    EXPECT_FALSE(playing);
    ASSERT_EQ(system.playSound(broken, false, &channel), Result::Ok);
    advance(0.01);
    channel.isPlaying(&playing);
    EXPECT_FALSE(playing) << "a file that cannot play ends at once";
}

// Null handles and a closed system are answered with their results, and nothing is written.
TEST(AudioRefusalTest, NullArgumentsAndAClosedSystemAreRefused) {
    audio::EventSystem closed;
    audio::Event* event = nullptr;
    audio::EventCategory* category = nullptr;
    audio::Sound* sound = nullptr;
    audio::ChannelHandle channel;
    EXPECT_EQ(closed.getEvent("Test/Hit", &event), Result::NotInitialized);
    EXPECT_EQ(closed.getCategory("master", &category), Result::NotInitialized);
    EXPECT_EQ(closed.createSound("Beep.wav", false, &sound), Result::NotInitialized);
    EXPECT_EQ(closed.playSound(sound, false, &channel), Result::NotInitialized);
    EXPECT_EQ(channel.get(), nullptr);
    EXPECT_EQ(channel.stop(), Result::InvalidHandle) << "an empty handle";
    EXPECT_EQ(closed.set3DListenerAttributes(nullptr, nullptr, nullptr, nullptr), Result::NotInitialized);
    EXPECT_EQ(closed.update(), Result::NotInitialized);
    EXPECT_EQ(closed.getEvent(nullptr, &event), Result::InvalidParameter);
    EXPECT_EQ(closed.getEvent("Test/Hit", nullptr), Result::InvalidParameter);
    EXPECT_EQ(closed.getCategory(nullptr, &category), Result::InvalidParameter);
    EXPECT_EQ(closed.getCategory("master", nullptr), Result::InvalidParameter);
    EXPECT_EQ(closed.createSound(nullptr, false, &sound), Result::InvalidParameter);
    EXPECT_EQ(closed.createSound("Beep.wav", false, nullptr), Result::InvalidParameter);
    EXPECT_EQ(closed.getSpeakerMode(nullptr), Result::InvalidParameter);
    EXPECT_STREQ(audio::resultText(static_cast<Result>(99)), "Unknown error.");

    ASSERT_EQ(closed.init(audio::SpeakerMode::Stereo), Result::Ok);
    audio::EventProject project;
    project.events.push_back({"Test/Hit", "sounds", 1.0f, false, false, 2, {{"Velocity", 0.0f, 1.0f}}});
    ASSERT_EQ(closed.load(project), Result::Ok);
    ASSERT_EQ(closed.getEvent("Test/Hit", &event), Result::Ok);
    EXPECT_EQ(event->getState(nullptr), Result::InvalidParameter);
    EXPECT_EQ(event->getVolume(nullptr), Result::InvalidParameter);
    EXPECT_EQ(event->getPaused(nullptr), Result::InvalidParameter);
    EXPECT_EQ(event->getCategory(nullptr), Result::InvalidParameter);
    audio::EventParameter* parameter = nullptr;
    EXPECT_EQ(event->getParameter(nullptr, &parameter), Result::InvalidParameter);
    EXPECT_EQ(event->getParameter("Velocity", nullptr), Result::InvalidParameter);
    ASSERT_EQ(event->getParameter("Velocity", &parameter), Result::Ok);
    EXPECT_EQ(parameter->getValue(nullptr), Result::InvalidParameter);
    EXPECT_EQ(parameter->setValue(std::nanf("")), Result::InvalidParameter);
    ASSERT_EQ(closed.getCategory("sounds", &category), Result::Ok);
    EXPECT_EQ(category->getVolume(nullptr), Result::InvalidParameter);
    EXPECT_EQ(category->getPaused(nullptr), Result::InvalidParameter);
    bool paused = true;
    EXPECT_EQ(category->getPaused(&paused), Result::Ok);
    EXPECT_FALSE(paused);

    test::TempDir dir;
    ASSERT_TRUE(test::writeFileBytes(dir.file("Beep.wav"), waveBytes(1000, 1, 100)));
    ASSERT_EQ(closed.createSound(dir.file("Beep.wav").c_str(), false, &sound), Result::Ok);
    ASSERT_EQ(closed.playSound(sound, false, &channel), Result::Ok);
    EXPECT_EQ(channel.getPaused(nullptr), Result::InvalidParameter);
    EXPECT_EQ(channel.isPlaying(nullptr), Result::InvalidParameter);
    EXPECT_EQ(channel.getVolume(nullptr), Result::InvalidParameter);
    EXPECT_EQ(channel.setVolume(-0.5f), Result::InvalidParameter);
    EXPECT_EQ(closed.createSound(dir.path().c_str(), false, &sound), Result::FileNotFound) << "a folder";
}

// A stopped channel among playing ones sends nothing, and every other channel, before it or
// after it, still sends its new volume and pause, both ways.
TEST_F(AudioVoiceTest, AStoppedChannelDoesNotHoldBackTheChangesOfTheOthers) {
    test::TempDir dir;
    const std::string path = dir.file("Hum.wav");
    ASSERT_TRUE(test::writeFileBytes(path, waveBytes(1000, 1, 1000)));
    audio::Sound* sound = nullptr;
    ASSERT_EQ(system.createSound(path.c_str(), true, &sound), Result::Ok);
    constexpr int count = 3;
    for (int stoppedAt = 0; stoppedAt < count; ++stoppedAt) {
        SCOPED_TRACE("channel " + std::to_string(stoppedAt) + " stopped");
        audio::ChannelHandle channels[count];
        audio::VoiceId voices[count] = {};
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(system.playSound(sound, false, &channels[i]), Result::Ok);
            voices[i] = output.started.rbegin()->first;
        }
        channels[stoppedAt].stop();
        for (const bool paused : {true, false}) {
            const float volume = paused ? 0.5f : 0.25f;
            output.sets.clear();
            for (int i = 0; i < count; ++i) {
                channels[i].setVolume(volume);
                channels[i].setPaused(paused);
            }
            advance(0.0);
            std::vector<audio::VoiceId> expected;
            for (int i = 0; i < count; ++i) {
                if (i == stoppedAt)
                    continue;
                expected.push_back(voices[i]);
                EXPECT_FLOAT_EQ(output.params[voices[i]].gain, volume) << i;
                EXPECT_EQ(output.params[voices[i]].paused, paused) << i;
            }
            EXPECT_EQ(output.sets, expected) << "paused " << paused;
        }
        for (audio::ChannelHandle& channel : channels)
            channel.stop();
    }
}

// A plain sound file is one sound however often asked for: read once, dropped at the last
// user's release, which stops its channels; the event project's sounds stay. Its memory is told
// from the header: the whole sound up to 30 s, beyond that one stream's queue.
TEST_F(AudioVoiceTest, APlainSoundIsOneCopyForAllItsUsersAndGoesWithTheLast) {
    test::TempDir dir;
    const struct {
        int rate, channels, frames;
        std::uint64_t bytes;
    } rows[] = {{8000, 2, 1000, 4000},
                {8000, 1, 240000, 480000}, // 30 s: decoded ahead
                {8000, 1, 240001, audio::streamBuffers * audio::streamBufferFrames * 2}};
    for (const auto& row : rows) {
        const std::string path = dir.file("Sound" + std::to_string(row.frames) + ".wav");
        ASSERT_TRUE(test::writeFileBytes(path, waveBytes(row.rate, row.channels, row.frames)));
        audio::Sound* sound = nullptr;
        ASSERT_EQ(system.createSound(path.c_str(), false, &sound), Result::Ok);
        EXPECT_EQ(sound->memoryBytes(), row.bytes) << row.frames;
        system.releaseSound(sound);
    }
    output.dropped.clear();

    const std::string path = dir.file("Sound1000.wav");
    const std::size_t filesBefore = output.files.size();
    audio::Sound* users[3] = {};
    for (audio::Sound*& user : users)
        ASSERT_EQ(system.createSound(path.c_str(), false, &user), Result::Ok);
    EXPECT_TRUE(users[1] == users[0] && users[2] == users[0]);
    ASSERT_EQ(output.files.size(), filesBefore + 1) << "read once";
    const auto id = static_cast<audio::SoundId>(output.files.size());

    audio::ChannelHandle channel;
    ASSERT_EQ(system.playSound(users[0], true, &channel), Result::Ok);
    const audio::VoiceId voice = output.started.rbegin()->first;
    audio::Event* hum = fetch("Test/Hum");
    hum->start();
    bool playing = false;
    for (int release = 0; release < 3; ++release) {
        EXPECT_TRUE(output.dropped.empty()) << release << " released";
        channel.isPlaying(&playing);
        EXPECT_TRUE(playing) << release << " released";
        EXPECT_EQ(system.releaseSound(users[release]), Result::Ok);
    }
    EXPECT_EQ(output.dropped, std::vector<audio::SoundId>{id}) << "only the plain sound";
    EXPECT_EQ(output.stopped, std::vector<audio::VoiceId>{voice});
    channel.isPlaying(&playing);
    EXPECT_FALSE(playing);
    EXPECT_EQ(channel.get()->currentSound(), nullptr);
    EXPECT_EQ(system.releaseSound(users[0]), Result::InvalidHandle) << "gone";
    EXPECT_TRUE(hum->isPlaying());

    audio::Sound* again = nullptr;
    ASSERT_EQ(system.createSound(path.c_str(), false, &again), Result::Ok);
    EXPECT_EQ(output.files.size(), filesBefore + 2) << "asked for again, read again";
}

// A decode in pieces asks before each whether to go on: a quit is seen within a piece.
TEST(SoundDecoderTest, AReadInPiecesStopsAtThePieceWhereTheCallerQuits) {
    constexpr std::size_t pieces = 5;
    static_assert(audio::SoundDecoder::pieceFrames <= 384000 / 10);
    test::TempDir dir;
    const std::string path = dir.file("Long.wav");
    const int frames = static_cast<int>(pieces * audio::SoundDecoder::pieceFrames) + 7;
    ASSERT_TRUE(test::writeFileBytes(path, waveBytes(8000, 1, frames)));
    for (const std::size_t quitAfter : {std::size_t{2}, pieces + 1}) {
        audio::SoundDecoder decoder;
        std::string detail;
        ASSERT_EQ(decoder.open(path, "Long.wav", false, detail), Result::Ok) << detail;
        std::vector<std::int16_t> samples(static_cast<std::size_t>(frames));
        std::size_t asked = 0;
        const std::size_t got = decoder.read(samples.data(), samples.size(), [&] { return ++asked <= quitAfter; });
        EXPECT_EQ(got, std::min(samples.size(), quitAfter * audio::SoundDecoder::pieceFrames)) << quitAfter;
    }
}
