#include "ServicesFixture.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/CoreSlots.h"
#include "core/SoundManager.h"
#include "core/app/SubsystemRegistration.h"
#include "level/SoundObject.h"

#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char* menuSong = "Zivoraroz/tentaro2/levels/MainMenu/SongMainMenu";

double soundStorage[2];

// The sound manager with the game's own catalogue, the default settings, and a clock the
// test moves.
class SoundManagerTest : public ServicesFixture {
protected:
    void SetUp() override {
        ServicesFixture::SetUp();
        makeManager();
    }
    void TearDown() override {
        soundManager = nullptr;
        sound.reset();
        screenManager = nullptr;
        levelManager = nullptr;
        ServicesFixture::TearDown();
    }

    void makeManager() {
        sound.reset();
        sound = std::make_unique<SoundManager>();
        ASSERT_TRUE(sound->init());
        sound->getEventSystem()->setClock([this] { return now; });
    }

    // One frame of the sound manager.
    void step(float seconds) {
        now += seconds;
        sound->update(seconds);
    }

    float categoryVolume(const char* name) {
        audio::EventCategory* category = nullptr;
        EXPECT_EQ(sound->getEventSystem()->getCategory(name, &category), audio::Result::Ok) << name;
        float volume = -1.0f;
        if (category)
            category->getVolume(&volume);
        return volume;
    }

    bool loggedStartingWith(const std::string& start) const { return log.loggedStartingWith(start); }

    void suspendGameplay(bool suspended) {
        screenManager = suspended ? reinterpret_cast<ScreenManager*>(&soundStorage[0]) : nullptr;
        levelManager = suspended ? reinterpret_cast<LevelManager*>(&soundStorage[1]) : nullptr;
        coreSlots().level.isSuspended = [] { return true; };
    }

    test::ScopedWorkingDir content{test::sourceDir()};
    std::unique_ptr<SoundManager> sound;
    double now = 10.0;
};

} // namespace

TEST_F(SoundManagerTest, AnEventTheProjectLacksIsLoggedAndNull) {
    EXPECT_EQ(sound->getEvent("GameAudio/Audio/NoSuchEvent"), nullptr);
    EXPECT_TRUE(loggedStartingWith("FMOD ERROR: "));
    EXPECT_NE(sound->getEvent("GameAudio/Audio/Collisions/Wicker"), nullptr);
}

TEST_F(SoundManagerTest, TheEffectTableHasFortyThreeEntriesWithTheKnownNames) {
    EXPECT_EQ(sound->getEffectName(25), "GameAudio/Audio/UI/Click");
    EXPECT_EQ(sound->getEffectName(9), "Zivoraroz/tentaro2/UI/youlose");
    EXPECT_EQ(sound->getEffectName(19), "Zivoraroz/UI/paintsplat");
    EXPECT_EQ(sound->getEffectName(22), "Zivoraroz/tentaro2/UI/menuopen");
    EXPECT_EQ(sound->getEffectName(35), "Zivoraroz/tentaro2/UI/suspiciousarea");
    EXPECT_EQ(sound->getEffectName(36), "Zivoraroz/tentaro2/UI/outofsuspiciousarea");
    EXPECT_EQ(sound->getEffectName(38), "Zivoraroz/tentaro2/UI/objectivesexpand");
    EXPECT_EQ(sound->getEffectName(39), "Zivoraroz/tentaro2/UI/objectivescontract");
    EXPECT_EQ(sound->getEffectName(41), "Zivoraroz/tentaro2/UI/skipcutscene");
    // Every entry names an event of the project.
    for (int index = 0; index < SoundManager::effectCount; ++index) {
        ASSERT_FALSE(sound->getEffectName(index).empty()) << index;
        EXPECT_NE(sound->getEvent(sound->getEffectName(index).c_str()), nullptr) << index;
    }
    EXPECT_FALSE(loggedStartingWith("FMOD ERROR: "));
    // The meter fill sound takes its "Pitch" from the caller.
    audio::Event* fill = sound->getEvent(sound->getEffectName(37).c_str());
    audio::EventParameter* pitch = nullptr;
    EXPECT_EQ(fill->getParameter("Pitch", &pitch), audio::Result::Ok);
}

TEST_F(SoundManagerTest, PlayEffectStartsItsEventUnlessMutedOrDisabled) {
    audio::Event* click = sound->playEffect(25);
    ASSERT_NE(click, nullptr);
    EXPECT_EQ(click->name(), "GameAudio/Audio/UI/Click");
    EXPECT_TRUE(sound->isEventActive(click));
    click->stop();

    EXPECT_EQ(sound->playEffect(-1), nullptr);
    EXPECT_EQ(sound->playEffect(43), nullptr);

    sound->muted = true;
    EXPECT_EQ(sound->playEffect(25), nullptr);
    sound->muted = false;
    sound->disabled = true;
    EXPECT_EQ(sound->playEffect(25), nullptr);
    EXPECT_EQ(sound->getEventSystem()->playingEventCount(), 0u);
}

TEST_F(SoundManagerTest, EffectsInTheWorldArePlacedWhereAsked) {
    const irr::core::vector3df where(4.0f, 5.0f, 6.0f);
    audio::Event* grab = sound->playEffect(3, &where);
    ASSERT_NE(grab, nullptr);
    audio::Vector3 position;
    grab->get3DAttributes(&position, nullptr);
    EXPECT_FLOAT_EQ(position.x, 4.0f);
    EXPECT_FLOAT_EQ(position.z, 6.0f);
}

TEST_F(SoundManagerTest, AnEffectEndsByItselfAfterItsLength) {
    audio::Event* click = sound->playEffect(25);
    step(0.1f);
    EXPECT_TRUE(sound->isEventActive(click));
    step(1.0f);
    EXPECT_FALSE(sound->isEventActive(click));
}

TEST_F(SoundManagerTest, PlaySongStartsTheMenuSongOnceAndARepeatChangesNothing) {
    sound->playSong(menuSong, false, 2.0f);
    audio::Event* song = sound->getCurrentMusic();
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->name(), menuSong);
    EXPECT_TRUE(sound->isEventActive(song));
    EXPECT_EQ(sound->getCurrentSong(), menuSong);
    step(1.0f);
    const float elapsed = song->elapsed();

    sound->playSong(menuSong, false, 2.0f);
    EXPECT_EQ(sound->getCurrentMusic(), song);
    EXPECT_FLOAT_EQ(song->elapsed(), elapsed);
    EXPECT_EQ(sound->getEventSystem()->instanceCount(menuSong), 1u);

    // No name, or a one-letter name: nothing changes either.
    sound->playSong(nullptr, false, 2.0f);
    sound->playSong("x", false, 2.0f);
    EXPECT_EQ(sound->getCurrentMusic(), song);
    EXPECT_TRUE(sound->isEventActive(song));
    // Two letters make a name: the song before gives way (the project has none of it).
    sound->playSong("ab", false, 2.0f);
    EXPECT_EQ(sound->getCurrentMusic(), nullptr);
}

TEST_F(SoundManagerTest, TheSongBeforeFadesOutOverTheGivenSeconds) {
    sound->playSong(menuSong, false, 2.0f);
    audio::Event* first = sound->getCurrentMusic();
    // A temporary song plays as the music but does not become the current song.
    sound->playSong("GameAudio/Audio/UI/Transition", true, 2.0f);
    EXPECT_EQ(sound->getCurrentSong(), menuSong);
    EXPECT_NE(sound->getCurrentMusic(), first);
    float volume = 0.0f;
    step(1.0f);
    first->getVolume(&volume);
    EXPECT_NEAR(volume, 0.5f, 1e-4f);
    EXPECT_TRUE(sound->isEventActive(first));
    step(1.0f);
    EXPECT_FALSE(sound->isEventActive(first));
    // Without fade time the song before stops at once.
    sound->playSong(menuSong, false, 2.0f);
    audio::Event* menu = sound->getCurrentMusic();
    ASSERT_TRUE(sound->isEventActive(menu));
    sound->playSong("GameAudio/Audio/UI/Transition", true, 0.0f);
    EXPECT_FALSE(sound->isEventActive(menu));
}

// The song before fades from the volume it has down to silence over the given seconds; a
// silent song or no fade time stops it at once.
TEST_F(SoundManagerTest, TheSongBeforeFadesFromItsOwnVolumeUnlessSilentOrGivenNoTime) {
    struct Case {
        float volume;
        float seconds;
        bool fades;
    };
    const Case cases[] = {
        {0.5f, 2.0f, true},  {1.0f, 2.0f, true},   {0.0f, 2.0f, false},
        {0.001f, 2.0f, true}, {0.5f, 0.0f, false}, {0.5f, 0.001f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << ", seconds " << c.seconds);
        sound->playSong(menuSong, false, 0.0f);
        audio::Event* before = sound->getCurrentMusic();
        ASSERT_NE(before, nullptr);
        ASSERT_EQ(before->setVolume(c.volume), audio::Result::Ok);
        sound->playSong("GameAudio/Audio/UI/Transition", true, c.seconds);
        EXPECT_EQ(sound->isEventActive(before), c.fades);
        if (c.fades) {
            step(c.seconds / 2.0f);
            float volume = -1.0f;
            before->getVolume(&volume);
            EXPECT_NEAR(volume, c.volume / 2.0f, 1e-4f);
            EXPECT_TRUE(sound->isEventActive(before));
            step(c.seconds);
            EXPECT_FALSE(sound->isEventActive(before));
        }
    }
}

TEST_F(SoundManagerTest, RestartSongStartsTheCurrentSongFromSilence) {
    sound->playSong(menuSong, false, 2.0f);
    sound->restartSong();
    audio::Event* song = sound->getCurrentMusic();
    ASSERT_NE(song, nullptr);
    EXPECT_TRUE(sound->isEventActive(song));
    float volume = -1.0f;
    song->getVolume(&volume);
    EXPECT_FLOAT_EQ(volume, 0.0f);
    step(1.0f);
    song->getVolume(&volume);
    EXPECT_NEAR(volume, SoundManager::musicFadeRate, 1e-4f);
    step(5.0f);
    song->getVolume(&volume);
    EXPECT_FLOAT_EQ(volume, 1.0f);
}

TEST_F(SoundManagerTest, CategoryVolumesFollowTheAudioSettings) {
    setSettingFloat("Audio_SFXVolume", 0.3f);
    setSettingFloat("Audio_VoiceoverVolume", 0.6f);
    setSettingFloat("Audio_MusicVolume", 0.8f);
    makeManager();
    EXPECT_FLOAT_EQ(categoryVolume("sounds"), 0.3f);
    EXPECT_FLOAT_EQ(categoryVolume("voiceovers"), 0.6f);
    EXPECT_FLOAT_EQ(categoryVolume("music"), 0.8f);
}

TEST_F(SoundManagerTest, TheMusicFadeMovesHalfAUnitASecondOnlyWhileGameplayIsSuspended) {
    sound->musicFadeTarget = 0.2f;
    step(1.0f);
    EXPECT_FLOAT_EQ(sound->musicFadeValue, 1.0f);

    suspendGameplay(true);
    step(0.5f);
    EXPECT_NEAR(sound->musicFadeValue, 0.75f, 1e-6f);
    EXPECT_NEAR(categoryVolume("music"), 0.75f, 1e-6f);
    step(10.0f);
    EXPECT_FLOAT_EQ(sound->musicFadeValue, 0.2f);
    // Within a millionth of the target it stays where it is.
    sound->musicFadeTarget = 0.2000005f;
    step(1.0f);
    EXPECT_FLOAT_EQ(sound->musicFadeValue, 0.2f);
    sound->musicFadeTarget = 1.0f;
    step(0.4f);
    EXPECT_NEAR(sound->musicFadeValue, 0.4f, 1e-6f);
}

TEST_F(SoundManagerTest, LosingTheFocusPausesEverythingOnlyWithMuteOnFocusLost) {
    // Each step: the window's focus in that frame and whether the song plays on.
    struct Step {
        bool focused;
        bool plays;
    };
    struct Case {
        bool muteOnFocusLost;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        // Never focused (no window manager): the song plays.
        {true, {{false, true}, {false, true}}},
        // Focused, then lost: muted until the focus comes back.
        {true, {{false, true}, {true, true}, {false, false}, {true, true}}},
        {false, {{true, true}, {false, true}, {true, true}}},
    };
    for (const Case& test : cases) {
        // The switch is the setting's, read when the manager is made.
        setSettingBool("Audio_MuteOnFocusLost", test.muteOnFocusLost);
        ASSERT_NO_FATAL_FAILURE(makeManager());
        EXPECT_EQ(sound->muteOnFocusLost, test.muteOnFocusLost);
        audio::Event* song = (sound->playSong(menuSong, false, 0.0f), sound->getCurrentMusic());
        ASSERT_NE(song, nullptr);
        float expected = 0.0f;
        for (std::size_t index = 0; index < test.steps.size(); ++index) {
            sound->applyFocus(test.steps[index].focused);
            step(1.0f);
            expected += test.steps[index].plays ? 1.0f : 0.0f;
            EXPECT_NEAR(song->elapsed(), expected, 1e-4f) << "mute " << test.muteOnFocusLost << ", step " << index;
        }
    }
}

TEST_F(SoundManagerTest, SetAllPausedReachesEffectsAndSoundObjects) {
    std::vector<std::pair<SoundObject*, bool>> paused;
    coreSlots().level.pauseSoundObject = [&](SoundObject* object, bool on) { paused.emplace_back(object, on); };
    SoundObject* voice = reinterpret_cast<SoundObject*>(&soundStorage[0]);
    sound->registerSoundObject("Voice", voice);
    audio::Event* click = sound->playEffect(25);

    sound->setAllPaused(true);
    bool clickPaused = false;
    click->getPaused(&clickPaused);
    EXPECT_TRUE(clickPaused);
    ASSERT_EQ(paused.size(), 1u);
    EXPECT_EQ(paused[0].first, voice);
    EXPECT_TRUE(paused[0].second);

    sound->setAllPaused(false);
    click->getPaused(&clickPaused);
    EXPECT_FALSE(clickPaused);
}

// A frame forgets only the effects that have ended: one still playing after it is still
// paused and resumed with everything else.
TEST_F(SoundManagerTest, SetAllPausedReachesEffectsStillPlayingAfterAFrame) {
    audio::Event* click = sound->playEffect(25);
    ASSERT_NE(click, nullptr);
    step(0.1f);
    ASSERT_TRUE(sound->isEventActive(click));
    for (const bool paused : {true, false}) {
        sound->setAllPaused(paused);
        bool clickPaused = !paused;
        click->getPaused(&clickPaused);
        EXPECT_EQ(clickPaused, paused);
    }
}

// Through the game's own slot a level sound is paused, and resumed when the pause is taken
// back.
TEST_F(SoundManagerTest, TheGamesSlotPausesALevelSoundAndResumesIt) {
    fillCoreSlots();
    soundManager = sound.get();
    auto* voice = new SoundObject(nullptr, device.get()->getSceneManager());
    voice->EventName = "GameAudio/Audio/UI/Click";
    voice->setOwnerName("Voice");
    voice->play();
    ASSERT_TRUE(voice->isPlaying());
    for (const bool paused : {true, false}) {
        sound->setAllPaused(paused);
        EXPECT_EQ(voice->pauseCount, paused ? 1 : 0);
        bool eventPaused = !paused;
        voice->event->getPaused(&eventPaused);
        EXPECT_EQ(eventPaused, paused);
    }
    voice->drop();
}

TEST_F(SoundManagerTest, TheRegistryFindsSoundObjectsByName) {
    SoundObject* a = reinterpret_cast<SoundObject*>(&soundStorage[0]);
    SoundObject* b = reinterpret_cast<SoundObject*>(&soundStorage[1]);
    sound->registerSoundObject("Beta", b);
    sound->registerSoundObject("Alpha", a);
    EXPECT_EQ(sound->getNamedEntry("Alpha"), a);
    EXPECT_EQ(sound->getNamedEntry("Gamma"), nullptr);
    EXPECT_EQ(sound->getNamedEntry(nullptr), nullptr);
    // Walked in key order.
    EXPECT_EQ(sound->getSoundObjects().begin()->second, a);
    sound->unregisterSoundObject(a);
    EXPECT_EQ(sound->getNamedEntry("Alpha"), nullptr);
    EXPECT_EQ(sound->getSoundObjects().size(), 1u);
}

// No object is no entry: a new name stays unknown and a known name keeps its object.
TEST_F(SoundManagerTest, RegisteringNoObjectChangesNothing) {
    SoundObject* a = reinterpret_cast<SoundObject*>(&soundStorage[0]);
    sound->registerSoundObject("Alpha", a);
    sound->registerSoundObject("Alpha", nullptr);
    sound->registerSoundObject("Beta", nullptr);
    EXPECT_EQ(sound->getNamedEntry("Alpha"), a);
    EXPECT_EQ(sound->getSoundObjects().count("Beta"), 0u);
    EXPECT_EQ(sound->getSoundObjects().size(), 1u);
}

TEST_F(SoundManagerTest, EventHelpersLogTheirFailures) {
    sound->startEvent(nullptr);
    sound->stopEvent(nullptr);
    sound->setEventVolume(nullptr, 0.5f);
    EXPECT_TRUE(loggedStartingWith("Could not play event."));
    EXPECT_TRUE(loggedStartingWith("Could not stop event."));
    EXPECT_TRUE(loggedStartingWith("Could not update volume."));

    audio::Event* crash = sound->getEvent("GameAudio/Audio/Collisions/Wicker");
    sound->setEventParameter(crash, "Velocity", 7.0f);
    audio::EventParameter* velocity = nullptr;
    crash->getParameter("Velocity", &velocity);
    float value = 0.0f;
    velocity->getValue(&value);
    EXPECT_FLOAT_EQ(value, 7.0f);
    log.lines.clear();
    sound->setEventParameter(crash, "Pitch", 1.0f);
    EXPECT_TRUE(loggedStartingWith("FMOD ERROR: "));
    EXPECT_FALSE(checkFmodResult(audio::Result::FileBad));
    EXPECT_TRUE(checkFmodResult(audio::Result::Ok));
}

TEST_F(SoundManagerTest, ReleasedEventsAreKeptUntilTheyStop) {
    audio::Event* crash = sound->getEvent("GameAudio/Audio/Collisions/Wicker");
    crash->start();
    sound->releaseEvent(crash);
    sound->releaseEvent(crash);
    EXPECT_EQ(sound->getReleasedEvents().size(), 1u);
    crash->stop();
    step(0.1f);
    EXPECT_TRUE(sound->getReleasedEvents().empty());
}

TEST_F(SoundManagerTest, ReleasingTheSystemDisablesAndInitBringsItBack) {
    sound->playSong(menuSong, false, 2.0f);
    sound->releaseEventSystem();
    EXPECT_TRUE(sound->disabled);
    EXPECT_EQ(sound->getEventSystem(), nullptr);
    EXPECT_EQ(sound->getCurrentMusic(), nullptr);
    EXPECT_EQ(sound->playEffect(25), nullptr);
    log.lines.clear();
    EXPECT_EQ(sound->getEvent("GameAudio/Audio/UI/Click"), nullptr);
    EXPECT_TRUE(loggedStartingWith("FMOD ERROR: "));
    sound->update(0.1f);

    // The audio options clear the mark, run init, then restart the song.
    sound->disabled = false;
    ASSERT_TRUE(sound->init());
    sound->restartSong();
    ASSERT_NE(sound->getCurrentMusic(), nullptr);
    EXPECT_EQ(sound->getCurrentMusic()->name(), menuSong);
}

TEST_F(SoundManagerTest, SpeakerModeFollowsTheAudioOutputSetting) {
    audio::SpeakerMode mode = audio::SpeakerMode::Raw;
    sound->getEventSystem()->getSpeakerMode(&mode);
    EXPECT_EQ(mode, audio::outputSpeakerMode);
    setSettingInt("Audio_AudioOutput", 6);
    sound->applySpeakerMode();
    sound->getEventSystem()->getSpeakerMode(&mode);
    EXPECT_EQ(mode, audio::SpeakerMode::SevenPointOne);
    setSettingInt("Audio_AudioOutput", 3);
    sound->applySpeakerMode();
    sound->getEventSystem()->getSpeakerMode(&mode);
    EXPECT_EQ(mode, audio::outputSpeakerMode);
}

TEST_F(SoundManagerTest, AMissingProjectIsLoggedAndNothingPlays) {
    test::ScopedWorkingDir empty(dir.path());
    sound = std::make_unique<SoundManager>();
    EXPECT_FALSE(sound->init());
    EXPECT_TRUE(loggedStartingWith("FMOD ERROR: "));
    EXPECT_EQ(sound->playEffect(25), nullptr);
    sound->update(0.1f);
}
