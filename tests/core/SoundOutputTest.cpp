// The sound manager heard through OpenAL Soft. The device is OpenAL Soft's wave-file writer
// (named by an alsoft configuration through ALSOFT_CONF), so every test can measure what was
// played on the written samples. OpenAL Soft reads its configuration once a process: every
// test of the process names the same configuration and file.
#include "ServicesFixture.h"

#include "core/AudioProject.h"
#include "core/SoundManager.h"
#include "platform/audio/OpenALOutput.h"

#include "support/WaveRecording.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

const char* menuSongEvent = "Zivoraroz/tentaro2/levels/MainMenu/SongMainMenu";

using test::readRecording;
using test::Recording;

// One folder a process for the wave writer's configuration and file.
std::filesystem::path waveFolder() {
    const auto path = std::filesystem::temp_directory_path() / ("paddlestone-wave-" + std::to_string(::getpid()));
    if (!std::filesystem::exists(path / "alsoft.conf")) {
        std::filesystem::create_directories(path);
        std::ofstream conf(path / "alsoft.conf");
        conf << "[general]\ndrivers = wave\nchannels = stereo\nsample-type = int16\nfrequency = 44100\nhrtf = false\ndither = false\n"
             << "[wave]\nfile = " << (path / "out.wav").string() << "\n";
    }
    return path;
}

// A 441 Hz tone at half volume, 16-bit at 44.1 kHz, the same on every channel.
bool writeTone(const std::string& path, int channels, int frames) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    std::vector<float> tone(static_cast<std::size_t>(frames * channels));
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5f * static_cast<float>(std::sin(2.0 * 3.14159265 * 441.0 *
                                                      static_cast<double>(i / static_cast<std::size_t>(channels)) / 44100.0));
    sf_writef_float(file, tone.data(), frames);
    sf_close(file);
    return true;
}

// The sound manager on OpenAL Soft's wave writer, run frame by frame in real time.
class SoundOutputTest : public ServicesFixture {
protected:
    void SetUp() override {
        ServicesFixture::SetUp();
        configuration.set((waveFolder() / "alsoft.conf").string());
    }
    void TearDown() override {
        sound.reset();
        std::filesystem::remove_all(waveFolder());
        ServicesFixture::TearDown();
    }

    test::ScopedEnv configuration{"ALSOFT_CONF", std::nullopt};
    test::ScopedEnv output{"PADDLESTONE_AUDIO_OUTPUT", "openal"};

    void start() {
        sound = std::make_unique<SoundManager>();
        sound->init();
        ASSERT_EQ(sound->getEventSystem()->output()->isNull(), false)
            << sound->getEventSystem()->outputDescription();
    }

    // Frames of 10 ms for the seconds, with `each` run before every frame's update.
    void run(double seconds, const std::function<void(double)>& each = {}) {
        const auto begin = std::chrono::steady_clock::now();
        for (;;) {
            const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            if (t >= seconds)
                break;
            if (each)
                each(t / seconds);
            sound->update(0.01f);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // Frames of 10 ms until the device has played the seconds by its own clock (a busy
    // machine's mixer can fall behind the wall clock), with `each` given the share played.
    void play(double seconds, const std::function<void(double)>& each = {}) {
        const double begin = played();
        const auto bound = std::chrono::steady_clock::now() + std::chrono::duration<double>(30.0 + 10.0 * seconds);
        for (double t = 0.0; t < seconds; t = played() - begin) {
            if (std::chrono::steady_clock::now() > bound) {
                ADD_FAILURE() << "the device played " << t << " of " << seconds << " s";
                return;
            }
            if (each)
                each(t / seconds);
            sound->update(0.01f);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    double played() const { return sound->getEventSystem()->output()->playedSeconds(); }

    // Waits (within a bound) until the output has reported on `count` sound files.
    static std::vector<audio::SoundReport> awaitReports(audio::Output& output, std::size_t count) {
        std::vector<audio::SoundReport> reports;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (reports.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            output.takeReports(reports);
        }
        return reports;
    }

    // Waits until the output's device has played the seconds by its own clock; its clock then.
    static double playFor(const audio::Output& output, double seconds) {
        const double begin = output.playedSeconds();
        const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (output.playedSeconds() - begin < seconds && std::chrono::steady_clock::now() < bound)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return output.playedSeconds();
    }

    // Closes the device (which finishes the file) and reads what it wrote.
    Recording finish() {
        sound.reset();
        return readRecording((waveFolder() / "out.wav").string());
    }

    test::ScopedWorkingDir content{test::sourceDir()};
    std::unique_ptr<SoundManager> sound;
};

} // namespace

TEST_F(SoundOutputTest, TheClickTheMovingDragAndTheMutedMusicAreWrittenWhereTheyPlay) {
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_TRUE(log.loggedStartingWith("Audio output: OpenAL Soft"));
    ASSERT_GE(played(), 0.0) << "the device tells its clock";
    play(0.4); // the effects are decoded ahead meanwhile

    // The menu click.
    const double click = played();
    ASSERT_NE(sound->playEffect(25), nullptr);
    play(0.5);

    // A looping 3D event carried from the listener's left to its right.
    audio::Event* drag = sound->getEvent("GameAudio/Audio/Collisions/Drag");
    ASSERT_NE(drag, nullptr);
    auto place = [drag](double x) {
        const audio::Vector3 where{static_cast<float>(x), 0.0f, 4.0f};
        drag->set3DAttributes(&where, nullptr);
    };
    place(-20.0);
    sound->startEvent(drag);
    const double dragStart = played();
    play(1.6, [&](double progress) { place(-20.0 + 40.0 * progress); });
    const double dragEnd = played();
    sound->stopEvent(drag);
    play(0.3);

    // The music, its category muted halfway.
    const double music = played();
    sound->playSong(menuSongEvent, false, 0.0f);
    play(1.2);
    const double mute = played();
    sound->musicVolume = 0.0f;
    sound->applyCategoryVolumes();
    play(1.2);
    const double end = played();

    const Recording recording = finish();
    ASSERT_GT(recording.rate, 0);
    ASSERT_GE(recording.samples.size() / 2, recording.frameAt(end));

    // Silence before the click, its energy right after it was played.
    EXPECT_LT(recording.rms(0.05, click - 0.01), 1e-4);
    const double clickOnset = recording.onset(click - 0.05, 0.02f);
    EXPECT_GE(clickOnset, click - 0.01);
    EXPECT_LT(clickOnset, click + 0.3);
    EXPECT_GT(recording.rms(clickOnset, clickOnset + 0.1), 0.02);
    EXPECT_LT(recording.rms(clickOnset + 0.25, dragStart - 0.01), 1e-4);

    // The drag is heard on the left first, on the right at the end.
    const double leftEarly = recording.rms(dragStart + 0.05, dragStart + 0.4, 0);
    const double rightEarly = recording.rms(dragStart + 0.05, dragStart + 0.4, 1);
    const double leftLate = recording.rms(dragEnd - 0.4, dragEnd - 0.05, 0);
    const double rightLate = recording.rms(dragEnd - 0.4, dragEnd - 0.05, 1);
    EXPECT_GT(leftEarly, 1e-3);
    EXPECT_GT(rightLate, 1e-3);
    EXPECT_GT(leftEarly, 1.5 * rightEarly);
    EXPECT_GT(rightLate, 1.5 * leftLate);
    EXPECT_LT(recording.rms(dragEnd + 0.15, music - 0.01), 1e-4);

    // The music plays until its category is muted, then nothing is heard. How soon each is
    // heard depends on when the mixer's thread runs: each is measured from where it began.
    const double musicOnset = recording.onset(music - 0.01, 0.01f);
    EXPECT_GE(musicOnset, music - 0.01);
    EXPECT_LT(musicOnset, mute - 0.6);
    EXPECT_GT(recording.rms(std::max(music + 0.3, musicOnset + 0.1), mute - 0.02), 0.01);
    const double lastHeard = recording.lastAbove(mute, end, 0.005f);
    EXPECT_LT(lastHeard, mute + 0.5) << "silent soon after the mute";
    EXPECT_LT(recording.rms(std::max(mute + 0.15, lastHeard + 0.02), end - 0.02), 1e-4);
}

TEST_F(SoundOutputTest, MissingEmptyAndDamagedFilesAreLoggedOnceAndPlaySilence) {
    // A project of its own in a folder of its own.
    test::TempDir folder;
    std::filesystem::create_directories(folder.path() / "Content/Audio");
    test::writeFileBytes(folder.file("Content/Audio/Empty.wav"), "");
    test::writeFileBytes(folder.file("Content/Audio/Damaged.wav"), "RIFF\x24\x10\x00\x00WAVEfmt garbage that is no sound at all");
    // A proper header with no samples.
    std::string header("RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x44\xac\x00\x00\x88\x58\x01\x00\x02\x00\x10\x00"
                       "data\x00\x00\x00\x00", 44);
    test::writeFileBytes(folder.file("Content/Audio/Silent.wav"), header);
    std::string project = R"(<?xml version="1.0"?><GameAudio><Category name="sounds"/>)";
    for (const char* name : {"Missing", "Empty", "Damaged", "Silent"})
        project += std::string("<Event name=\"Test/") + name + "\" category=\"sounds\" length=\"0.3\">" +
                   "<Sound file=\"Content/Audio/" + name + ".wav\"/></Event>";
    project += "<Effect index=\"0\" event=\"Test/Missing\"/></GameAudio>";
    test::writeFileBytes(folder.file("Content/Audio/GameAudio.xml"), project);
    test::ScopedWorkingDir inside{folder.path()};

    ASSERT_NO_FATAL_FAILURE(start());
    // Frames of 10 ms on the test's clock.
    double now = 0.0;
    sound->getEventSystem()->setClock([&now] { return now; });
    auto frames = [&](int count) {
        for (int i = 0; i < count; ++i) {
            now += 0.01;
            sound->update(0.01f);
        }
    };
    auto count = [this](const std::string& text) {
        return std::count_if(log.lines.begin(), log.lines.end(), [&](const std::string& line) {
            return line.rfind("FMOD ERROR: ", 0) == 0 && line.find(text) != std::string::npos;
        });
    };
    std::vector<audio::Event*> events;
    for (int round = 0; round < 2; ++round) {
        for (const char* name : {"Missing", "Empty", "Damaged", "Silent"}) {
            audio::Event* event = sound->getEvent((std::string("Test/") + name).c_str());
            ASSERT_NE(event, nullptr) << name;
            sound->startEvent(event);
            events.push_back(event);
        }
        frames(15);
        for (audio::Event* event : events)
            EXPECT_TRUE(sound->isEventActive(event)); // silence, for the event's length
        frames(40);
        for (audio::Event* event : events)
            EXPECT_FALSE(sound->isEventActive(event));
        events.clear();
        // The audio thread's word on the four files, before they play again.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (count("") < 4 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            sound->update(0.0f);
        }
        ASSERT_EQ(count(""), 4);
    }

    EXPECT_EQ(count("File not found. (Content/Audio/Missing.wav)"), 1);
    EXPECT_EQ(count("Error loading file. (Content/Audio/Empty.wav"), 1);
    EXPECT_EQ(count("Error loading file. (Content/Audio/Damaged.wav"), 1);
    EXPECT_EQ(count("Error loading file. (Content/Audio/Silent.wav"), 1);

    const Recording recording = finish();
    ASSERT_GT(recording.rate, 0);
    EXPECT_LT(recording.rms(0.0, static_cast<double>(recording.samples.size() / 2) / recording.rate), 1e-4);
}

TEST_F(SoundOutputTest, WithoutAnAudioDeviceTheNullOutputRunsAndTheLogSaysSo) {
    // OpenAL Soft finds no device, as on a machine without sound: its one device, the wave
    // writer, cannot open its file (a folder stands in its place). The configuration stays
    // the one every test of the process reads.
    std::filesystem::create_directory(waveFolder() / "out.wav");
    output.set("");
    sound = std::make_unique<SoundManager>();
    EXPECT_TRUE(sound->init());
    EXPECT_TRUE(sound->getEventSystem()->output()->isNull());
    EXPECT_TRUE(log.loggedStartingWith("Audio output: null (no audio device could be opened"));
    // Events behave as they would with sound.
    EXPECT_NE(sound->playEffect(25), nullptr);
}

TEST_F(SoundOutputTest, EveryEventNamesItsOwnSoundFilesAndTheirLengths) {
    AudioProject project;
    ASSERT_EQ(readAudioProject(device->getFileSystem(), SoundManager::projectFile, SoundManager::effectCount, project),
              audio::Result::Ok);
    for (const audio::EventDescription& event : project.events.events) {
        ASSERT_FALSE(event.sounds.empty()) << event.name;
        for (const std::string& file : event.sounds) {
            SF_INFO info{};
            SNDFILE* opened = sf_open(file.c_str(), SFM_READ, &info);
            ASSERT_NE(opened, nullptr) << file;
            sf_close(opened);
            EXPECT_EQ(info.channels, event.stream ? 2 : 1) << file;
            EXPECT_NEAR(static_cast<double>(info.frames) / info.samplerate, event.length, 0.02) << event.name;
        }
    }
}

TEST_F(SoundOutputTest, AStreamedLoopRunsOnPastTheEndOfItsFile) {
    // A 0.25 s stereo tone, far shorter than the stream's queue: every refill wraps.
    test::TempDir folder;
    std::filesystem::create_directories(folder.path() / "Content/Audio");
    ASSERT_TRUE(writeTone(folder.file("Content/Audio/Tone.wav"), 2, 44100 / 4));
    test::writeFileBytes(folder.file("Content/Audio/GameAudio.xml"),
                         R"(<GameAudio><Category name="music"/><Event name="Test/Loop" category="music" length="0.25" loop="true" stream="true">)"
                         R"(<Sound file="Content/Audio/Tone.wav"/></Event></GameAudio>)");
    test::ScopedWorkingDir inside{folder.path()};

    ASSERT_NO_FATAL_FAILURE(start());
    // Started in a paused category it waits in silence, and plays once the category goes on.
    audio::EventCategory* music = nullptr;
    ASSERT_EQ(sound->getEventSystem()->getCategory("music", &music), audio::Result::Ok);
    music->setPaused(true);
    sound->playSong("Test/Loop", false, 0.0f);
    const double paused = played();
    play(0.4);
    music->setPaused(false);
    const double resumed = played();
    play(1.5);
    const double end = played();
    EXPECT_TRUE(sound->isEventActive(sound->getCurrentMusic()));

    const Recording recording = finish();
    ASSERT_GT(recording.rate, 0);
    EXPECT_LT(recording.rms(paused, resumed - 0.01), 1e-4) << "silent while paused";
    const double begin = recording.onset(resumed - 0.01, 0.1f);
    ASSERT_GE(begin, resumed - 0.01) << "heard once resumed";
    ASSERT_LT(begin, end - 1.0);
    // Every tenth of a second after the start holds the tone: no gap at the wraps.
    for (double t = begin + 0.1; t + 0.1 < end; t += 0.1)
        EXPECT_GT(recording.rms(t, t + 0.1), 0.2) << t - begin;
}

TEST_F(SoundOutputTest, SoundsOpenedWhileTheMainThreadLoadsFontsAreAllFound) {
    // The engine's font loader changes the working folder for a moment on the main thread;
    // the audio thread opens sounds meanwhile and must find every one of them.
    AudioProject project;
    ASSERT_EQ(readAudioProject(device->getFileSystem(), SoundManager::projectFile, SoundManager::effectCount, project),
              audio::Result::Ok);
    std::vector<std::string> files;
    for (const audio::EventDescription& event : project.events.events)
        if (!event.stream)
            files.insert(files.end(), event.sounds.begin(), event.sounds.end());
    ASSERT_GE(files.size(), 10u);
    files.resize(10);

    std::string problem;
    std::unique_ptr<audio::Output> output = audio::openOpenALOutput(audio::outputSpeakerMode, problem);
    ASSERT_NE(output, nullptr) << problem;
    irr::gui::IGUIEnvironment* gui = device->getGUIEnvironment();
    std::vector<audio::SoundReport> reports;
    std::size_t added = 0;
    for (int round = 0; round < 60; ++round) {
        for (const std::string& file : files)
            output->addSound(file, false, false);
        added += files.size();
        output->commit();
        for (int load = 0; load < 5; ++load) {
            irr::gui::IGUIFont* font = gui->getFont("Content/Font/Debug.xml");
            ASSERT_NE(font, nullptr);
            gui->removeFont(font);
        }
        output->takeReports(reports);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (reports.size() < added && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        output->takeReports(reports);
    }
    ASSERT_EQ(reports.size(), added);
    std::vector<std::string> lost;
    for (const audio::SoundReport& report : reports)
        if (report.result != audio::Result::Ok)
            lost.push_back(report.detail);
    EXPECT_TRUE(lost.empty()) << lost.size() << " lost, first: " << lost.front();
}

TEST_F(SoundOutputTest, APlayingVoiceTakesItsNewPitchAndVolume) {
    // A looping 441 Hz tone: twice the pitch doubles its sign changes, a quarter of the
    // volume quarters its loudness.
    test::TempDir folder;
    ASSERT_TRUE(writeTone(folder.file("Tone.wav"), 1, 44100));
    std::string problem;
    std::unique_ptr<audio::Output> output = audio::openOpenALOutput(audio::outputSpeakerMode, problem);
    ASSERT_NE(output, nullptr) << problem;
    const audio::SoundId tone = output->addSound(folder.file("Tone.wav"), false, false);
    output->commit();
    const std::vector<audio::SoundReport> reports = awaitReports(*output, 1);
    ASSERT_EQ(reports.size(), 1u);
    ASSERT_EQ(reports[0].result, audio::Result::Ok) << reports[0].detail;

    audio::VoiceParams params;
    const audio::VoiceId voice = output->startVoice(tone, true, params);
    output->commit();
    const double plain = output->playedSeconds();
    const double raised = playFor(*output, 0.6);
    params.pitch = 2.0f;
    output->setVoice(voice, params);
    output->commit();
    const double quiet = playFor(*output, 0.6);
    params.gain = 0.25f;
    output->setVoice(voice, params);
    output->commit();
    const double end = playFor(*output, 0.6);
    output->stopVoice(voice);
    output->commit();
    output.reset();

    const Recording recording = readRecording((waveFolder() / "out.wav").string());
    ASSERT_GT(recording.rate, 0);
    // Sign changes a second of the left channel, a tenth of a second inside each stretch.
    auto crossings = [&](double from, double to) {
        const std::size_t a = recording.frameAt(from + 0.1), b = recording.frameAt(to - 0.1);
        int count = 0;
        for (std::size_t f = a + 1; f < b; ++f)
            count += (recording.samples[f * 2] >= 0.0f) != (recording.samples[(f - 1) * 2] >= 0.0f);
        return count / std::max(to - from - 0.2, 1e-3);
    };
    const double before = crossings(plain, raised), after = crossings(raised, quiet);
    ASSERT_GT(before, 700.0) << "the tone plays";
    EXPECT_NEAR(after / before, 2.0, 0.2);
    EXPECT_NEAR(recording.rms(end - 0.5, end - 0.1) / recording.rms(quiet - 0.5, quiet - 0.1), 0.25, 0.05);
}

TEST_F(SoundOutputTest, DroppingASoundSilencesItsOwnVoicesAndNoOthers) {
    // Two sounds of one looping tone, each on two voices: the first hard left, the second hard
    // right, so each channel of the mix tells whether that sound plays. The loopback device
    // mixes 10 ms at a time as the test asks, until it hears what it waits for.
    test::TempDir folder;
    ASSERT_TRUE(writeTone(folder.file("Tone.wav"), 1, 44100 / 4));
    constexpr int rate = 44100, chunk = rate / 100;
    for (const int dropped : {0, 1}) {
        SCOPED_TRACE(dropped == 0 ? "the left sound dropped" : "the right sound dropped");
        std::function<void(std::int16_t*, int)> render;
        std::string problem;
        std::unique_ptr<audio::Output> output = audio::openOpenALLoopbackOutput(rate, render, problem);
        ASSERT_NE(output, nullptr) << problem;
        const audio::SoundId sounds[2] = {output->addSound(folder.file("Tone.wav"), false, true),
                                          output->addSound(folder.file("Tone.wav"), false, true)};
        output->commit();
        const std::vector<audio::SoundReport> reports = awaitReports(*output, 2);
        ASSERT_EQ(reports.size(), 2u);
        for (const audio::SoundReport& report : reports)
            ASSERT_EQ(report.result, audio::Result::Ok) << report.detail;

        for (const int side : {0, 1}) {
            audio::VoiceParams params;
            params.positional = true;
            params.position = {side == 0 ? -1.0f : 1.0f, 0.0f, 0.0f};
            for (int voice = 0; voice < 2; ++voice)
                output->startVoice(sounds[side], true, params);
        }
        output->commit();

        // The loudness of each side over the next 10 ms mixed.
        std::vector<std::int16_t> samples(chunk * 2);
        double level[2] = {};
        auto mix = [&] {
            render(samples.data(), chunk);
            for (int side : {0, 1}) {
                double sum = 0.0;
                for (int frame = 0; frame < chunk; ++frame)
                    sum += std::pow(samples[static_cast<std::size_t>(frame * 2 + side)] / 32768.0, 2);
                level[side] = std::sqrt(sum / chunk);
            }
        };
        auto mixUntil = [&](const std::function<bool()>& heard) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            for (mix(); !heard() && std::chrono::steady_clock::now() < deadline; mix())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return heard();
        };
        const int kept = 1 - dropped;
        ASSERT_TRUE(mixUntil([&] { return level[0] > 0.05 && level[1] > 0.05; })) << "both play before the drop";
        output->dropSound(sounds[dropped]);
        output->commit();
        ASSERT_TRUE(mixUntil([&] { return level[dropped] < 1e-3; })) << "silent once dropped";
        for (int i = 0; i < 20; ++i) {
            mix();
            EXPECT_LT(level[dropped], 1e-3) << "stays silent";
            EXPECT_GT(level[kept], 0.05) << "plays on";
        }
    }
}
