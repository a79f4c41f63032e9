#pragma once

#include "level/LevelObject.h"
#include "platform/audio/AudioTypes.h"

#include <string>

namespace audio {
class Event;
class EventSystem;
class Sound;
} // namespace audio

// A level sound ('sond'): an audio event of the event project, or a plain sound file played
// on a channel. Characters give their voices one; trigger actions play, stop, pause, fade
// and parameterise them; cutscenes pause and resume them. A sound object with an owner name
// is registered under that name in the sound manager (getNamedEntry finds it).
//
// Voice modes decide what play() does while the sound still plays: Interrupt and
// InterruptAndQueue start it again from the beginning, Queue lets the line finish and then
// plays it again, Other starts it without stopping anything. A voice line (any mode but
// Other) hands its previous event to the sound manager before a new line starts, and shows
// its subtitle when it has one.
//
// Keys: "EventName", "SoundFile" (strings), "Volume" (float, percent), "OwnerName"
// (string), "VoiceMode" (int), "SubtitleID" (int), "HasSubtitle" (bool).
class SoundObject : public LevelObject {
public:
    enum VoiceMode { Interrupt = 0, InterruptAndQueue = 1, Queue = 3, Other = 4 };

    SoundObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~SoundObject() override;

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("sond"); }

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    // Per frame: the fade-out, a queued line, and the next sound of a conversation once
    // this one has ended.
    void OnAnimate(irr::u32 timeMs) override;

    void play();
    void stop();
    // Pauses the event or channel unless it is paused already, and counts the pause. With
    // the flag set, a sound whose subtitle the screens show clears the subtitles.
    void pause(bool clearShownSubtitle = false);
    // Takes back one pause; the sound plays on when none is left.
    void resume();
    // Fades the volume from 1 to 0 over the seconds, then stops (at once for 0 or less).
    void fadeOut(irr::f32 seconds);
    void setEventParameter(const char* name, irr::f32 value);
    bool isPlaying() const;
    // Applies a volume of 0..1 (stored as the percent of "Volume").
    void setVolume(irr::f32 volume);
    // The sound that plays when this one ends; null ends the conversation here.
    void appendToConversation(SoundObject* next);
    // Ends the conversation this sound is part of: a line of it that plays is stopped, the
    // link to the next sound and the pauses are forgotten.
    void resetConversation();
    // Advances the fade and the conversation by the seconds (OnAnimate uses the frame time).
    void update(irr::f32 seconds);

    // Registers the sound under the name in the sound manager (an empty name: nowhere).
    void setOwnerName(const std::string& name);
    const std::string& getOwnerName() const { return OwnerName; }

    // The audio system is going away: every handle into it is dropped.
    void forgetAudio();

    std::string EventName;
    std::string SoundFile;
    irr::f32 Volume = 100.0f; // percent
    irr::s32 VoiceMode = Other;
    irr::s32 SubtitleID = -1;
    bool HasSubtitle = false;

    // What the cutscenes read and resume.
    audio::Event* event = nullptr;
    // The level's one copy of SoundFile, shared with every sound object that plays the file
    // and held until this one goes (with its level).
    audio::Sound* sound = nullptr;
    // The channel of this object's last play; it reaches no other object's sound.
    audio::ChannelHandle channel;
    audio::Event* previousEvent = nullptr;
    bool conversationActive = false;
    irr::s32 pauseCount = 0;
    SoundObject* nextInConversation = nullptr;

private:
    void start();
    // Takes the level's copy of SoundFile; the first sound object to take it charges it to the
    // level's memory, and a refusal plays nothing.
    bool takeSound(audio::EventSystem& system);
    void releaseSound();
    void applyVolume();
    bool isVoice() const { return VoiceMode != Other; }

    std::string OwnerName;
    irr::f32 fadeDuration = -1.0f; // < 0: no fade
    irr::f32 fadeElapsed = 0.0f;
    irr::f32 fadeFactor = 1.0f;
    bool queuedPlay = false;
    bool wasPlaying = false;
};

// Clears the conversation state of every sound object of the level.
void resetAllConversations();
// Drops every sound object's handles into the audio system (before the system is released).
void forgetAllSoundObjectAudio();

