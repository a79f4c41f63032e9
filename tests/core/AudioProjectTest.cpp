#include "core/AudioProject.h"
#include "core/SoundManager.h"

#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

class AudioProjectTest : public ::testing::Test {
protected:
    audio::Result read(const std::string& text) {
        test::writeFileBytes(dir.file("GameAudio.xml"), text);
        return readAudioProject(device->getFileSystem(), dir.file("GameAudio.xml").c_str(), 4, project);
    }

    test::TempDir dir;
    test::NullDevice device;
    AudioProject project;
};

const char* smallProject = R"(<?xml version="1.0"?>
<GameAudio>
  <Category name="music"/>
  <Category/>
  <Event name="A/Crash" category="sounds" length="0.6" loop="false" is3D="true" maxPlaybacks="0">
    <Parameter name="Velocity" min="100" max="0"/>
    <Parameter/>
  </Event>
  <Event name="A/Song" category="music" length="90" loop="true"/>
  <Event category="sounds"/>
  <Effect index="1" event="A/Crash"/>
  <Effect index="4" event="A/Song"/>
  <Effect event="A/Song"/>
</GameAudio>
)";

} // namespace

TEST_F(AudioProjectTest, ReadsEventsParametersAndEffects) {
    ASSERT_EQ(read(smallProject), audio::Result::Ok);
    EXPECT_EQ(project.events.categories, std::vector<std::string>{"music"});
    ASSERT_EQ(project.events.events.size(), 2u);
    const audio::EventDescription& crash = project.events.events[0];
    EXPECT_EQ(crash.name, "A/Crash");
    EXPECT_EQ(crash.category, "sounds");
    EXPECT_FLOAT_EQ(crash.length, 0.6f);
    EXPECT_TRUE(crash.is3D);
    EXPECT_FALSE(crash.loop);
    EXPECT_EQ(crash.maxPlaybacks, 1);
    ASSERT_EQ(crash.parameters.size(), 1u);
    EXPECT_FLOAT_EQ(crash.parameters[0].minimum, 0.0f);
    EXPECT_FLOAT_EQ(crash.parameters[0].maximum, 100.0f);
    EXPECT_TRUE(project.events.events[1].loop);
    EXPECT_TRUE(project.events.events[1].parameters.empty());
    EXPECT_EQ(project.effectNames, (std::vector<std::string>{"", "A/Crash", "", ""}));
    // The nameless category, parameter and event, and the two effects it cannot place.
    EXPECT_EQ(project.skipped, 5);
}

TEST_F(AudioProjectTest, MissingWrongAndCutFilesAreToldApart) {
    EXPECT_EQ(readAudioProject(device->getFileSystem(), dir.file("absent.xml").c_str(), 4, project),
              audio::Result::FileNotFound);
    EXPECT_EQ(read("<Languages><Language name=\"x\"/></Languages>"), audio::Result::FileBad);
    EXPECT_EQ(read(""), audio::Result::FileBad);
    // Cut inside a tag: what came before it is read, and nothing runs off the end.
    const std::string text = smallProject;
    ASSERT_EQ(read(text.substr(0, text.find("<Event name=\"A/Song\"") + 14)), audio::Result::Ok);
    ASSERT_GE(project.events.events.size(), 1u);
    EXPECT_EQ(project.events.events[0].name, "A/Crash");
}

TEST(GameAudioProjectTest, TheGamesProjectIsCompleteAndClean) {
    test::NullDevice device;
    AudioProject project;
    ASSERT_EQ(readAudioProject(device->getFileSystem(), (test::sourceDir() / SoundManager::projectFile).c_str(),
                               SoundManager::effectCount, project),
              audio::Result::Ok);
    EXPECT_EQ(project.skipped, 0);
    for (const std::string& name : project.effectNames)
        EXPECT_FALSE(name.empty());
    EXPECT_EQ(project.events.categories, (std::vector<std::string>{"sounds", "music", "voiceovers"}));
}

TEST_F(AudioProjectTest, ReadsSoundFilesAndHowTheyPlay) {
    ASSERT_EQ(read(R"(<GameAudio>
  <Event name="A/Hit" category="sounds" length="0.5" is3D="true" volume="0.8" pitch="1.5"
         minDistance="4" maxDistance="2" stream="true">
    <Sound file="Content/Audio/One.wav"/>
    <Sound/>
    <Sound file="Content/Audio/Two.flac"/>
    <Parameter name="Velocity" min="0" max="100" volumeAtMin="0.25" volumeAtMax="2" pitchAtMin="0.5" pitchAtMax="9"/>
    <Parameter name="Backwards" min="10" max="0" volumeAtMin="0.1" volumeAtMax="0.9"/>
  </Event>
  <Event name="A/Plain" volume="-1" pitch="0"/>
</GameAudio>)"),
              audio::Result::Ok);
    ASSERT_EQ(project.events.events.size(), 2u);
    const audio::EventDescription& hit = project.events.events[0];
    EXPECT_EQ(hit.sounds, (std::vector<std::string>{"Content/Audio/One.wav", "Content/Audio/Two.flac"}));
    EXPECT_FLOAT_EQ(hit.volume, 0.8f);
    EXPECT_FLOAT_EQ(hit.pitch, 1.5f);
    EXPECT_TRUE(hit.stream);
    EXPECT_FLOAT_EQ(hit.minDistance, 4.0f);
    EXPECT_FLOAT_EQ(hit.maxDistance, 4.0f); // never nearer than the full-volume distance
    ASSERT_EQ(hit.parameters.size(), 2u);
    const audio::EventDescription::Parameter& velocity = hit.parameters[0];
    EXPECT_FLOAT_EQ(velocity.volumeAtMinimum, 0.25f);
    EXPECT_FLOAT_EQ(velocity.volumeAtMaximum, 1.0f); // volumes stay within 0..1
    EXPECT_FLOAT_EQ(velocity.pitchAtMinimum, 0.5f);
    EXPECT_FLOAT_EQ(velocity.pitchAtMaximum, 4.0f); // pitches within 0.1..4
    // A range given backwards keeps each value at its end of the range.
    const audio::EventDescription::Parameter& backwards = hit.parameters[1];
    EXPECT_FLOAT_EQ(backwards.minimum, 0.0f);
    EXPECT_FLOAT_EQ(backwards.volumeAtMinimum, 0.9f);
    EXPECT_FLOAT_EQ(backwards.volumeAtMaximum, 0.1f);
    EXPECT_EQ(project.skipped, 1); // the sound without a file

    const audio::EventDescription& plain = project.events.events[1];
    EXPECT_TRUE(plain.sounds.empty());
    EXPECT_FALSE(plain.stream);
    EXPECT_FLOAT_EQ(plain.volume, 0.0f);
    EXPECT_FLOAT_EQ(plain.pitch, 0.1f);
    EXPECT_FLOAT_EQ(plain.minDistance, 10.0f);
    EXPECT_FLOAT_EQ(plain.maxDistance, 1000.0f);
}
