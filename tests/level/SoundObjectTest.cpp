#include "LevelTestSupport.h"

#include "core/Globals.h"
#include "core/SoundManager.h"
#include "level/LevelHooks.h"
#include "core/app/SubsystemRegistration.h"
#include "level/SoundObject.h"
#include "core/FileChecks.h"
#include "core/LoadBudget.h"
#include "platform/audio/EventSystem.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace irr;

namespace {

class SoundObjectTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        useTestData();
        sound = std::make_unique<SoundManager>();
        sound->init(); // the test folder has no audio project: the events come below
        soundManager = sound.get();
        audio::EventProject project;
        project.categories = {"voiceovers"};
        project.events.push_back({"Test/Voice", "voiceovers", 2.0f, false, false, 16, {{"Mood", 0.0f, 1.0f}}});
        project.events.push_back({"Test/Reply", "voiceovers", 1.0f, false, false, 16, {}});
        sound->getEventSystem()->load(project);
        sound->getEventSystem()->setClock([this] { return now; });
        fillCoreSlots(); // the sound manager pauses the level's sound objects through them
    }
    void TearDown() override {
        smgr()->clear(); // the sound objects go before their sound manager
        soundManager = nullptr;
        sound.reset();
        LevelFixture::TearDown();
    }

    void step(f32 seconds) {
        now += seconds;
        sound->update(seconds);
    }
    SoundObject* makeSound(const char* owner, const char* eventName) {
        auto* object = new SoundObject(root(), smgr(), -1);
        object->drop();
        object->EventName = eventName;
        object->setOwnerName(owner);
        return object;
    }
    // An object playing a plain sound file.
    SoundObject* fileSound(const char* file) {
        auto* object = new SoundObject(root(), smgr(), -1);
        object->drop();
        object->SoundFile = file;
        return object;
    }
    static f32 volumeOf(audio::Event* event) {
        f32 volume = -1.0f;
        event->getVolume(&volume);
        return volume;
    }

    std::unique_ptr<SoundManager> sound;
    double now = 5.0;
};

TEST_F(SoundObjectTest, LevelSoundIsFoundByItsOwnerNameAndPlays) {
    ASSERT_TRUE(manager->loadLevel("FlowLevel.irr"));
    SoundObject* guard = sound->getNamedEntry("Guard") ? sound->getNamedEntry("Guard") : nullptr;
    ASSERT_NE(guard, nullptr);
    EXPECT_EQ(guard, manager->getSceneNodeFromID(80));
    EXPECT_EQ(guard->getType(), typeId("sond"));
    EXPECT_FALSE(guard->isPlaying());
    guard->play();
    ASSERT_NE(guard->event, nullptr);
    EXPECT_TRUE(guard->isPlaying());
    EXPECT_FLOAT_EQ(volumeOf(guard->event), 0.8f); // "Volume" 80 percent
    guard->setEventParameter("Mood", 0.25f);
    audio::EventParameter* mood = nullptr;
    ASSERT_EQ(guard->event->getParameter("Mood", &mood), audio::Result::Ok);
    f32 value = 0.0f;
    mood->getValue(&value);
    EXPECT_FLOAT_EQ(value, 0.25f);
    guard->stop();
    EXPECT_FALSE(guard->isPlaying());
    sound->muted = true;
    guard->play();
    EXPECT_FALSE(guard->isPlaying()) << "a muted game plays nothing";
    sound->muted = false;
    guard->setVolume(1.5f);
    EXPECT_FLOAT_EQ(guard->Volume, 100.0f) << "held at full volume";
    guard->setVolume(-0.5f);
    EXPECT_FLOAT_EQ(guard->Volume, 0.0f);

    // The sound leaves the registry with its level.
    manager->unloadLevel();
    EXPECT_EQ(sound->getNamedEntry("Guard"), nullptr);
}

TEST_F(SoundObjectTest, PauseCountsOnceUntilResumed) {
    SoundObject* voice = makeSound("Voice", "Test/Voice");
    voice->play();
    voice->pause();
    EXPECT_EQ(voice->pauseCount, 1);
    bool paused = false;
    voice->event->getPaused(&paused);
    EXPECT_TRUE(paused);
    voice->pause(); // paused already
    EXPECT_EQ(voice->pauseCount, 1);
    voice->resume();
    EXPECT_EQ(voice->pauseCount, 0);
    voice->event->getPaused(&paused);
    EXPECT_FALSE(paused);

    // The sound manager pauses and resumes every registered sound through its slot.
    sound->setAllPaused(true);
    EXPECT_EQ(voice->pauseCount, 1);
    sound->setAllPaused(false);
    EXPECT_EQ(voice->pauseCount, 0);

    // A plain sound file on a channel pauses and counts the same way.
    auto* file = new SoundObject(root(), smgr(), -1);
    file->drop();
    file->SoundFile = (test::sourceDir() / "Content/Audio/Sounds/Alerted.wav").string().c_str();
    file->play();
    ASSERT_NE(file->channel.get(), nullptr);
    file->pause();
    EXPECT_EQ(file->pauseCount, 1);
    file->channel.getPaused(&paused);
    EXPECT_TRUE(paused);
    file->resume();
    EXPECT_EQ(file->pauseCount, 0);
    file->channel.getPaused(&paused);
    EXPECT_FALSE(paused);
}

TEST_F(SoundObjectTest, APauseThatClearsTheShownSubtitleNamesItsSound) {
    SoundObject* voice = makeSound("Voice", "Test/Voice");
    SoundObject* other = makeSound("Other", "Test/Reply");
    std::vector<SoundObject*> cleared;
    levelHooks().screens.clearSubtitleOf = [&](SoundObject* sound) { cleared.push_back(sound); };
    voice->play();
    other->play();
    other->pause(true);
    voice->pause(false);
    EXPECT_EQ(cleared, std::vector<SoundObject*>{other});
    voice->pause(true);
    EXPECT_EQ(cleared, (std::vector<SoundObject*>{other, voice}));
}

TEST_F(SoundObjectTest, FadeOutGoesFromFullToSilentOverTheSeconds) {
    SoundObject* voice = makeSound("Voice", "Test/Voice");
    voice->play();
    voice->fadeOut(1.5f);
    EXPECT_FLOAT_EQ(volumeOf(voice->event), 1.0f);
    voice->update(0.5f);
    EXPECT_NEAR(volumeOf(voice->event), 2.0f / 3.0f, 1e-5f);
    voice->update(0.75f);
    EXPECT_NEAR(volumeOf(voice->event), 0.5f / 3.0f, 1e-5f);
    EXPECT_TRUE(voice->isPlaying());
    voice->update(0.25f);
    EXPECT_FALSE(voice->isPlaying());
    // A fade of no length stops at once.
    voice->play();
    voice->fadeOut(0.0f);
    EXPECT_FALSE(voice->isPlaying());
}

TEST_F(SoundObjectTest, ConversationPlaysTheNextLineAndResetAllConversationsEndsIt) {
    SoundObject* first = makeSound("First", "Test/Reply");
    SoundObject* second = makeSound("Second", "Test/Voice");
    first->appendToConversation(first);
    EXPECT_EQ(first->nextInConversation, nullptr) << "a line never follows itself";
    first->appendToConversation(second);
    first->play();
    EXPECT_TRUE(first->conversationActive);
    step(1.5f); // the first line ends
    first->update(0.0f);
    EXPECT_TRUE(second->isPlaying());
    EXPECT_TRUE(second->conversationActive);
    EXPECT_FALSE(first->conversationActive);

    second->appendToConversation(first);
    second->pause();
    resetAllConversations();
    EXPECT_FALSE(second->isPlaying());
    EXPECT_FALSE(second->conversationActive);
    EXPECT_EQ(second->nextInConversation, nullptr);
    EXPECT_EQ(second->pauseCount, 0);
    step(5.0f);
    second->update(0.0f);
    EXPECT_FALSE(first->isPlaying()); // the conversation does not go on

    first->play(); // a line of no conversation plays on
    resetAllConversations();
    EXPECT_TRUE(first->isPlaying());
}

// The level update carries a conversation on: the line that ended gives way to the next.
TEST_F(SoundObjectTest, TheLevelUpdateCarriesAConversationOn) {
    SoundObject* first = makeSound("First", "Test/Reply");
    SoundObject* second = makeSound("Second", "Test/Voice");
    first->appendToConversation(second);
    first->play();
    manager->update();
    EXPECT_FALSE(second->isPlaying());
    step(1.5f); // the first line ends
    manager->update();
    EXPECT_TRUE(second->isPlaying());
    EXPECT_TRUE(second->conversationActive);
}

TEST_F(SoundObjectTest, VoiceModesDecideWhatASecondPlayDoes) {
    SoundObject* voice = makeSound("Voice", "Test/Voice");
    voice->VoiceMode = SoundObject::Interrupt;
    voice->play();
    step(1.0f);
    audio::Event* line = voice->event;
    voice->play(); // interrupts: the new line starts from the beginning
    EXPECT_LT(voice->event->elapsed(), 0.5f);
    EXPECT_EQ(voice->previousEvent, line);

    voice->VoiceMode = SoundObject::Queue;
    step(0.5f);
    voice->play(); // waits for the line to end
    EXPECT_NEAR(voice->event->elapsed(), 0.5f, 1e-4f);
    step(2.0f);
    voice->update(0.0f);
    EXPECT_TRUE(voice->isPlaying());
    EXPECT_LT(voice->event->elapsed(), 0.5f);

    // An interrupting play drops a play queued before it: its line is the last.
    for (const s32 mode : {SoundObject::Interrupt, SoundObject::InterruptAndQueue}) {
        voice->VoiceMode = SoundObject::Queue;
        voice->play();
        voice->VoiceMode = mode;
        voice->play();
        step(2.5f);
        voice->update(0.0f);
        EXPECT_FALSE(voice->isPlaying()) << "mode " << mode;
        voice->play();
    }
}

TEST_F(SoundObjectTest, VoiceLineWithASubtitleShowsIt) {
    std::vector<s32> subtitles;
    levelHooks().gui.playSubtitle = [&](s32 id) { subtitles.push_back(id); };
    SoundObject* voice = makeSound("Voice", "Test/Voice");
    voice->VoiceMode = SoundObject::InterruptAndQueue;
    voice->SubtitleID = 12;
    voice->play(); // no subtitle flag
    voice->HasSubtitle = true;
    voice->play();
    voice->VoiceMode = SoundObject::Other; // not a voice line
    voice->play();
    EXPECT_EQ(subtitles, std::vector<s32>{12});
}

TEST_F(SoundObjectTest, ReleasingTheAudioSystemDropsEveryHandle) {
    SoundObject* voice = makeSound("Voice", "Test/Voice");
    voice->play();
    ASSERT_NE(voice->event, nullptr);
    sound->releaseEventSystem();
    EXPECT_EQ(voice->event, nullptr);
    EXPECT_FALSE(voice->isPlaying());
    voice->stop(); // nothing left to touch
}

TEST_F(SoundObjectTest, KeysRoundTripThroughALevelFile) {
    SoundObject* voice = makeSound("Narrator", "Test/Voice");
    voice->Volume = 55.0f;
    voice->VoiceMode = SoundObject::Queue;
    voice->SubtitleID = 7;
    voice->HasSubtitle = true;
    voice->setID(90);
    ASSERT_TRUE(manager->saveLevel("Sounds.irr"));
    manager->unloadLevel();
    ASSERT_TRUE(manager->loadLevel("Sounds.irr"));
    auto* loaded = static_cast<SoundObject*>(manager->getSceneNodeFromID(90));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->EventName, "Test/Voice");
    EXPECT_EQ(loaded->getOwnerName(), "Narrator");
    EXPECT_FLOAT_EQ(loaded->Volume, 55.0f);
    EXPECT_EQ(loaded->VoiceMode, SoundObject::Queue);
    EXPECT_EQ(loaded->SubtitleID, 7);
    EXPECT_TRUE(loaded->HasSubtitle);
    EXPECT_EQ(sound->getNamedEntry("Narrator"), loaded);
}

// A 16-bit mono wave file of silence lasting the seconds at 1000 frames a second.
std::string silentWave(f32 seconds) {
    std::string bytes;
    auto put = [&bytes](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    const auto data = static_cast<std::uint32_t>(seconds * 2000.0f);
    bytes += "RIFF";
    put(36 + data, 4);
    bytes += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(1000, 4);
    put(2000, 4);
    put(2, 2);
    put(16, 2);
    bytes += "data";
    put(data, 4);
    return bytes + std::string(data, '\0');
}

// A sound object without an event plays its sound file on a channel: at its volume, paused
// and resumed, faded and stopped there, for the file's length; the file is made a sound once.
// A file that is missing, or outside the folders a user level may read, plays nothing.
TEST_F(SoundObjectTest, APlainSoundFilePlaysOnAChannel) {
    ASSERT_TRUE(test::writeFileBytes(temp.file("Beep.wav"), silentWave(1.5f)));
    auto* beep = new SoundObject(root(), smgr(), -1);
    beep->drop();
    beep->SoundFile = "Beep.wav";
    beep->Volume = 40.0f;
    beep->play();
    ASSERT_NE(beep->channel.get(), nullptr);
    ASSERT_NE(beep->sound, nullptr);
    EXPECT_EQ(beep->event, nullptr);
    EXPECT_TRUE(beep->isPlaying());
    f32 volume = -1.0f;
    beep->channel.getVolume(&volume);
    EXPECT_FLOAT_EQ(volume, 0.4f);

    beep->pause();
    EXPECT_EQ(beep->pauseCount, 1);
    bool paused = false;
    beep->channel.getPaused(&paused);
    EXPECT_TRUE(paused);
    step(5.0f); // paused: keeps its place
    EXPECT_TRUE(beep->isPlaying());
    beep->resume();
    beep->channel.getPaused(&paused);
    EXPECT_FALSE(paused);
    step(1.0f);
    EXPECT_TRUE(beep->isPlaying());
    step(0.6f);
    EXPECT_FALSE(beep->isPlaying()) << "the file has played out";

    audio::Sound* made = beep->sound;
    beep->play();
    EXPECT_EQ(beep->sound, made);
    EXPECT_TRUE(beep->isPlaying());
    beep->fadeOut(2.0f);
    beep->update(0.5f);
    beep->channel.getVolume(&volume);
    EXPECT_NEAR(volume, 0.3f, 1e-5f);
    beep->stop();
    EXPECT_FALSE(beep->isPlaying());

    beep->SoundFile = "Missing.wav";
    beep->channel = {};
    beep->play();
    EXPECT_EQ(beep->channel.get(), nullptr);
    EXPECT_FALSE(beep->isPlaying());

    // Outside the folders a user level may read: refused; inside them: played.
    beep->SoundFile = "Beep.wav";
    std::filesystem::create_directories(temp.path() / "Content");
    confineReadsToFolders({"Content"});
    beep->play();
    confineReadsToFolders({});
    EXPECT_EQ(beep->channel.get(), nullptr);
    beep->play();
    EXPECT_NE(beep->channel.get(), nullptr);
}

// A channel whose sound ended goes to the next sound played: the object whose sound ended no
// longer reaches it, so its stop, pause and volume leave the other's sound as it is.
TEST_F(SoundObjectTest, AnEndedSoundsObjectDoesNotReachTheChannelAnotherTookOver) {
    ASSERT_TRUE(test::writeFileBytes(temp.file("Beep.wav"), silentWave(1.5f)));
    SoundObject* a = fileSound("Beep.wav");
    SoundObject* b = fileSound("Beep.wav");
    a->play();
    audio::Channel* const reused = a->channel.get();
    ASSERT_NE(reused, nullptr);
    step(1.6f);
    ASSERT_FALSE(a->isPlaying()) << "played out";
    b->play();
    ASSERT_EQ(b->channel.get(), reused) << "the free channel is taken again";
    EXPECT_FALSE(a->isPlaying());
    a->setVolume(0.25f);
    a->pause();
    a->stop();
    EXPECT_TRUE(b->isPlaying());
    bool paused = true;
    f32 volume = 0.0f;
    b->channel.getPaused(&paused);
    b->channel.getVolume(&volume);
    EXPECT_FALSE(paused);
    EXPECT_FLOAT_EQ(volume, 1.0f);
}

// Sound objects naming one file play one copy of it, charged once to their level's memory
// where first played: one byte short refuses it with the budget's line and none plays. The
// copy goes with its level; the event project's sounds are neither charged nor dropped.
TEST_F(SoundObjectTest, ObjectsNamingOneFileShareOneCopyChargedToTheirLevel) {
    ASSERT_TRUE(test::writeFileBytes(temp.file("Hum.wav"), silentWave(0.5f)));
    constexpr std::uint64_t bytes = 1000; // 500 frames of one 16-bit channel
    for (int i = 0; i < 3; ++i)
        fileSound("Hum.wav");
    ASSERT_TRUE(manager->saveLevel("Hums.irr"));
    manager->unloadLevel();
    struct RestoreMemory {
        ~RestoreMemory() { loadBudget().setLimit(LoadBudget::Memory, LoadBudget::gameLimits[LoadBudget::Memory]); }
    } restore;
    audio::EventSystem* system = sound->getEventSystem();

    for (const bool onBound : {false, true, true}) { // the second time on the bound, as loaded again
        SCOPED_TRACE(onBound ? "on the bound" : "a byte short");
        ASSERT_TRUE(manager->loadLevel("Hums.irr"));
        const std::uint64_t before = loadBudget().used(LoadBudget::Memory);
        const std::uint64_t limit = before + bytes - (onBound ? 0 : 1);
        loadBudget().setLimit(LoadBudget::Memory, limit);
        log.lines.clear();
        core::array<scene::ISceneNode*> hums;
        smgr()->getSceneNodesFromType(static_cast<scene::ESCENE_NODE_TYPE>(typeId("sond")), hums);
        ASSERT_EQ(hums.size(), 3u);
        for (u32 i = 0; i < hums.size(); ++i)
            static_cast<SoundObject*>(hums[i])->play();
        sound->playSong("Test/Voice", false, 0.0f);
        for (u32 i = 0; i < hums.size(); ++i)
            EXPECT_EQ(static_cast<SoundObject*>(hums[i])->isPlaying(), onBound);
        EXPECT_EQ(system->soundCount(), onBound ? 1u : 0u) << "one copy";
        EXPECT_EQ(loadBudget().used(LoadBudget::Memory), before + (onBound ? bytes : 0));
        const std::string refusal = "ERROR: The level load reached its budget of " + std::to_string(limit) +
                                    " bytes of memory at \"Hum.wav\"; the rest is left out.";
        EXPECT_EQ(log.lines, onBound ? std::vector<std::string>{} : std::vector<std::string>{refusal});

        manager->unloadLevel();
        EXPECT_EQ(system->soundCount(), 0u) << "gone with the level";
        EXPECT_TRUE(sound->isEventActive(sound->getCurrentMusic())) << "the music plays on";
    }
}

// A sound going away leaves no link behind in the conversation that led to it; a copy is a
// sound object with the same settings.
TEST_F(SoundObjectTest, ASoundThatGoesAwayLeavesItsConversationAndCopiesKeepTheSettings) {
    SoundObject* first = makeSound("First", "Test/Reply");
    SoundObject* second = makeSound("Second", "Test/Voice");
    first->appendToConversation(second);
    second->remove();
    EXPECT_EQ(first->nextInConversation, nullptr);

    first->Volume = 35.0f;
    first->VoiceMode = SoundObject::Queue;
    first->SubtitleID = 4;
    first->HasSubtitle = true;
    first->SoundFile = "Line.wav";
    auto* copy = static_cast<SoundObject*>(first->clone(root(), smgr()));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getType(), typeId("sond"));
    EXPECT_EQ(copy->EventName, "Test/Reply");
    EXPECT_EQ(copy->SoundFile, "Line.wav");
    EXPECT_FLOAT_EQ(copy->Volume, 35.0f);
    EXPECT_EQ(copy->VoiceMode, SoundObject::Queue);
    EXPECT_EQ(copy->SubtitleID, 4);
    EXPECT_TRUE(copy->HasSubtitle);
    EXPECT_EQ(copy->getOwnerName(), "First");
}

} // namespace
