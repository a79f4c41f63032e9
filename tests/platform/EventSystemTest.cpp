#include "platform/audio/AudioFiles.h"
#include "platform/audio/AudioOutput.h"
#include "platform/audio/EventSystem.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <memory>

using audio::Result;

namespace {

audio::EventProject testProject() {
    audio::EventProject project;
    project.categories = {"sounds", "music"};
    audio::EventDescription click{"Test/Click", "sounds", 0.5f, false, false, 2, {}};
    audio::EventDescription song{"Test/Song", "music", 10.0f, true, false, 16, {}};
    audio::EventDescription crash{"Test/Crash", "sounds", 1.0f, false, true, 16, {{"Velocity", 0.0f, 10.0f}}};
    audio::EventDescription whoosh{"Test/Whoosh", "effects", 0.0f, false, false, 16, {}};
    project.events = {click, song, crash, whoosh};
    return project;
}

// An event system on a clock the test moves, with the project above loaded.
class EventSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        system.setClock([this] { return now; });
        ASSERT_EQ(system.init(audio::SpeakerMode::Stereo), Result::Ok);
        ASSERT_EQ(system.load(testProject()), Result::Ok);
    }

    audio::Event* fetch(const char* name) {
        audio::Event* event = nullptr;
        EXPECT_EQ(system.getEvent(name, &event), Result::Ok) << name;
        return event;
    }

    void advance(double seconds) {
        now += seconds;
        system.update();
    }

    static bool active(const audio::Event* event) {
        unsigned state = 0;
        event->getState(&state);
        return (state & audio::eventStateChannelsActive) != 0;
    }

    test::TempDir dir;
    double now = 100.0;
    audio::EventSystem system;
};

std::string wavBytes(std::uint32_t byteRate, std::uint32_t dataBytes) {
    auto u32 = [](std::uint32_t v) {
        std::string s(4, '\0');
        for (int i = 0; i < 4; ++i)
            s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        return s;
    };
    std::string fmt = u32(16) + std::string("\x01\x00\x01\x00", 4) + u32(byteRate / 2) +
                      u32(byteRate) + std::string("\x02\x00\x10\x00", 4);
    return "RIFF" + u32(36 + dataBytes) + "WAVE" + "fmt " + fmt + "data" + u32(dataBytes) +
           std::string(dataBytes, '\0');
}

} // namespace

TEST_F(EventSystemTest, TheProjectGivesEventsCategoriesAndParameters) {
    audio::Event* crash = fetch("Test/Crash");
    ASSERT_NE(crash, nullptr);
    EXPECT_TRUE(crash->info().is3D);
    EXPECT_FLOAT_EQ(crash->info().length, 1.0f);

    audio::EventCategory* category = nullptr;
    ASSERT_EQ(crash->getCategory(&category), Result::Ok);
    EXPECT_EQ(category->name(), "sounds");
    // A category that only an event names exists too.
    EXPECT_EQ(system.getCategory("effects", &category), Result::Ok);
    EXPECT_EQ(system.getCategory("master", &category), Result::Ok);
    EXPECT_EQ(system.getCategory("voices", &category), Result::CategoryNotFound);

    audio::EventParameter* velocity = nullptr;
    ASSERT_EQ(crash->getParameter("Velocity", &velocity), Result::Ok);
    float minimum = -1.0f;
    float maximum = -1.0f;
    velocity->getRange(&minimum, &maximum);
    EXPECT_FLOAT_EQ(minimum, 0.0f);
    EXPECT_FLOAT_EQ(maximum, 10.0f);
    // A new instance's value starts at the minimum; values stay inside the range.
    float value = -1.0f;
    velocity->getValue(&value);
    EXPECT_FLOAT_EQ(value, 0.0f);
    EXPECT_EQ(velocity->setValue(25.0f), Result::Ok);
    velocity->getValue(&value);
    EXPECT_FLOAT_EQ(value, 10.0f);
    EXPECT_EQ(crash->getParameter("Pitch", &velocity), Result::ParameterNotFound);
    EXPECT_EQ(velocity, nullptr);
}

TEST_F(EventSystemTest, UnknownEventsAndClosedSystemsAreRefused) {
    audio::Event* event = reinterpret_cast<audio::Event*>(1);
    EXPECT_EQ(system.getEvent("Test/Missing", &event), Result::EventNotFound);
    EXPECT_EQ(event, nullptr);
    EXPECT_EQ(system.instanceCount("Test/Missing"), 0u);

    // A new project replaces the old one.
    audio::EventProject other;
    other.events.push_back(audio::EventDescription{"Other/Event", "", 1.0f, false, false, 1, {}});
    ASSERT_EQ(system.load(other), Result::Ok);
    EXPECT_EQ(system.getEvent("Test/Click", &event), Result::EventNotFound);
    EXPECT_NE(fetch("Other/Event"), nullptr);
    system.unload();
    EXPECT_EQ(system.getEvent("Other/Event", &event), Result::NoProjectLoaded);

    audio::EventSystem closed;
    EXPECT_EQ(closed.getEvent("Test/Click", &event), Result::NotInitialized);
    EXPECT_EQ(closed.load(testProject()), Result::NotInitialized);
    ASSERT_EQ(closed.init(audio::SpeakerMode::Mono), Result::Ok);
    EXPECT_EQ(closed.getEvent("Test/Click", &event), Result::NoProjectLoaded);
}

TEST_F(EventSystemTest, OneShotEndsAfterItsLengthAndLoopsPlayOn) {
    audio::Event* click = fetch("Test/Click");
    audio::Event* song = fetch("Test/Song");
    EXPECT_FALSE(active(click));
    click->start();
    song->start();
    EXPECT_TRUE(active(click));
    advance(0.3);
    EXPECT_TRUE(active(click));
    advance(0.3);
    EXPECT_FALSE(active(click));
    advance(60.0);
    EXPECT_TRUE(active(song));
    song->stop();
    EXPECT_FALSE(active(song));
    // The update that reaches the length exactly ends it (0.5 s in two exact quarters).
    click->start();
    advance(0.25);
    EXPECT_TRUE(active(click));
    advance(0.25);
    EXPECT_FALSE(active(click));
}

TEST_F(EventSystemTest, PausedEventsAndPausedCategoriesKeepTheirPlace) {
    audio::Event* click = fetch("Test/Click");
    click->start();
    click->setPaused(true);
    advance(5.0);
    EXPECT_TRUE(active(click));
    click->setPaused(false);

    audio::EventCategory* master = nullptr;
    ASSERT_EQ(system.getCategory("master", &master), Result::Ok);
    master->setPaused(true);
    advance(5.0);
    EXPECT_TRUE(active(click));
    EXPECT_FLOAT_EQ(click->elapsed(), 0.0f);
    master->setPaused(false);
    advance(0.6);
    EXPECT_FALSE(active(click));
}

TEST_F(EventSystemTest, VolumesMultiplyDownTheCategoryChain) {
    audio::Event* click = fetch("Test/Click");
    audio::EventCategory* master = nullptr;
    audio::EventCategory* sounds = nullptr;
    system.getCategory("master", &master);
    system.getCategory("sounds", &sounds);
    master->setVolume(0.5f);
    sounds->setVolume(0.5f);
    click->setVolume(0.8f);
    EXPECT_FLOAT_EQ(click->effectiveVolume(), 0.2f);
    EXPECT_EQ(sounds->setVolume(-1.0f), Result::InvalidParameter);
    EXPECT_EQ(click->setVolume(std::nanf("")), Result::InvalidParameter);
    float volume = 0.0f;
    sounds->getVolume(&volume);
    EXPECT_FLOAT_EQ(volume, 0.5f);
    // Louder than full is full.
    EXPECT_EQ(sounds->setVolume(3.0f), Result::Ok);
    sounds->getVolume(&volume);
    EXPECT_FLOAT_EQ(volume, 1.0f);
    // On the bound: 0 mutes.
    EXPECT_EQ(sounds->setVolume(0.0f), Result::Ok);
    EXPECT_FLOAT_EQ(click->effectiveVolume(), 0.0f);
}

TEST_F(EventSystemTest, InstancesAreReusedAndTheOldestIsTakenOverAtTheLimit) {
    audio::Event* first = fetch("Test/Click");
    first->setVolume(0.3f);
    // Not playing: the same instance is handed out again, at full volume.
    EXPECT_EQ(fetch("Test/Click"), first);
    float volume = 0.0f;
    first->getVolume(&volume);
    EXPECT_EQ(volume, 1.0f);
    first->start();
    advance(0.1);
    audio::Event* second = fetch("Test/Click");
    EXPECT_NE(second, first);
    second->start();
    EXPECT_EQ(system.instanceCount("Test/Click"), 2u);
    // Both play and the limit is two: the older one stops and is handed out.
    audio::Event* third = fetch("Test/Click");
    EXPECT_EQ(third, first);
    EXPECT_FALSE(active(first));
    EXPECT_TRUE(active(second));
    EXPECT_EQ(system.instanceCount("Test/Click"), 2u);
}

// The instance taken over is the one started first, wherever it stands in the pool.
TEST_F(EventSystemTest, TheInstanceStartedFirstIsTakenOverWhereverItStands) {
    audio::Event* first = fetch("Test/Click");
    first->start();
    audio::Event* second = fetch("Test/Click");
    second->start();
    first->stop();
    audio::Event* again = fetch("Test/Click"); // the stopped one, fetched anew
    ASSERT_EQ(again, first);
    again->start();
    second->setVolume(0.3f);
    second->setPaused(true);
    // Both play; the second was started before the first's new start. It is handed out
    // stopped, at full volume and not paused.
    EXPECT_EQ(fetch("Test/Click"), second);
    EXPECT_FALSE(active(second));
    EXPECT_TRUE(active(first));
    float volume = 0.0f;
    second->getVolume(&volume);
    EXPECT_EQ(volume, 1.0f);
    bool paused = true;
    second->getPaused(&paused);
    EXPECT_FALSE(paused);
}

TEST_F(EventSystemTest, ThreeDAttributesAndListenerAreKept) {
    audio::Event* crash = fetch("Test/Crash");
    const audio::Vector3 where{1.0f, 2.0f, 3.0f};
    const audio::Vector3 speed{0.0f, -9.0f, 0.0f};
    crash->set3DAttributes(&where, &speed);
    audio::Vector3 position;
    audio::Vector3 velocity;
    crash->get3DAttributes(&position, &velocity);
    EXPECT_FLOAT_EQ(position.z, 3.0f);
    EXPECT_FLOAT_EQ(velocity.y, -9.0f);
    system.set3DListenerAttributes(&where, nullptr, nullptr, nullptr);
    EXPECT_FLOAT_EQ(system.listenerPosition().y, 2.0f);
}

TEST_F(EventSystemTest, SpeakerModesAndRelease) {
    audio::SpeakerMode mode = audio::SpeakerMode::Raw;
    system.getSpeakerMode(&mode);
    EXPECT_EQ(mode, audio::SpeakerMode::Stereo);
    EXPECT_EQ(system.setSpeakerMode(audio::SpeakerMode::SevenPointOne), Result::Ok);
    system.getSpeakerMode(&mode);
    EXPECT_EQ(mode, audio::SpeakerMode::SevenPointOne);
    EXPECT_EQ(system.setSpeakerMode(static_cast<audio::SpeakerMode>(9)), Result::InvalidParameter);

    system.release();
    EXPECT_FALSE(system.isInitialized());
    audio::Event* event = nullptr;
    EXPECT_EQ(system.getEvent("Test/Click", &event), Result::NotInitialized);
}

TEST_F(EventSystemTest, PlainSoundsPlayForTheirWavLength) {
    // 1000 bytes per second, 1500 bytes of samples: 1.5 s.
    ASSERT_TRUE(test::writeFileBytes(dir.file("beep.wav"), wavBytes(1000, 1500)));
    EXPECT_FLOAT_EQ(audio::wavLengthSeconds(dir.file("beep.wav").c_str()), 1.5f);
    ASSERT_TRUE(test::writeFileBytes(dir.file("text.wav"), "RIFF but not a wave"));
    EXPECT_FLOAT_EQ(audio::wavLengthSeconds(dir.file("text.wav").c_str()), 0.0f);

    audio::Sound* sound = nullptr;
    EXPECT_EQ(system.createSound(dir.file("none.wav").c_str(), false, &sound), Result::FileNotFound);
    ASSERT_EQ(system.createSound(dir.file("beep.wav").c_str(), false, &sound), Result::Ok);
    audio::ChannelHandle channel;
    ASSERT_EQ(system.playSound(sound, false, &channel), Result::Ok);
    bool playing = false;
    advance(1.0);
    channel.isPlaying(&playing);
    EXPECT_TRUE(playing);
    advance(1.0);
    channel.isPlaying(&playing);
    EXPECT_FALSE(playing);
    audio::Sound* looped = nullptr;
    ASSERT_EQ(system.createSound(dir.file("beep.wav").c_str(), true, &looped), Result::Ok);
    ASSERT_EQ(system.playSound(looped, false, &channel), Result::Ok);
    advance(4.0);
    channel.isPlaying(&playing);
    EXPECT_TRUE(playing) << "a looping sound plays on past its length";
    // A channel plays at most at full volume.
    float volume = 0.0f;
    EXPECT_EQ(channel.setVolume(2.0f), Result::Ok);
    channel.getVolume(&volume);
    EXPECT_EQ(volume, 1.0f);
    EXPECT_EQ(system.playSound(nullptr, false, &channel), Result::InvalidHandle);
}

// A wave file's length is its samples' bytes over its byte rate, found past chunks of odd
// size (padded to even); a header cut inside the format, or without samples, gives no length.
TEST_F(EventSystemTest, AWaveLengthNeedsItsFormatAndItsSamples) {
    const std::string whole = wavBytes(1000, 1500);
    const std::string format = whole.substr(12, 24);  // "fmt " and its 16 bytes
    const std::string samples = whole.substr(36, 8);  // "data" and its size: 1500
    const std::string odd = std::string("LIST\x03\0\0\0abc", 11) + '\0';
    const std::string riff("RIFF\0\0\0\0WAVE", 12);
    const std::pair<std::string, float> rows[] = {
        {riff + format + samples, 1.5f},
        {riff + odd + format + samples, 1.5f},
        {riff + format.substr(0, 14), 0.0f},
        {riff + format, 0.0f},
        {riff + samples + format, 0.0f},
        {std::string("RIFF\0\0\0\0AVI ", 12) + format + samples, 0.0f}, // another kind of RIFF file
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const std::string path = dir.file("Length" + std::to_string(i) + ".wav");
        ASSERT_TRUE(test::writeFileBytes(path, rows[i].first));
        EXPECT_FLOAT_EQ(audio::wavLengthSeconds(path.c_str()), rows[i].second) << i;
    }
    // The game's own choice of no output says so.
    const std::unique_ptr<audio::Output> none = audio::createOutput(audio::OutputChoice::Null, audio::SpeakerMode::Stereo);
    ASSERT_NE(none, nullptr);
    EXPECT_TRUE(none->isNull());
    EXPECT_EQ(none->description(), "null (chosen by the game)");
}

TEST(AudioResultTest, EveryResultHasItsOwnText) {
    const Result all[] = {Result::Ok, Result::NotInitialized, Result::InvalidHandle,
                          Result::InvalidParameter, Result::FileNotFound, Result::FileBad,
                          Result::EventNotFound, Result::CategoryNotFound,
                          Result::ParameterNotFound, Result::NoProjectLoaded};
    for (Result a : all) {
        EXPECT_GT(std::strlen(audio::resultText(a)), 5u);
        for (Result b : all) {
            if (a == b)
                continue;
            EXPECT_STRNE(audio::resultText(a), audio::resultText(b));
        }
    }
}
