#pragma once

#include "platform/audio/EventSystem.h"

#include <irrTypes.h>
#include <vector3d.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class SoundObject;

// Logs "FMOD ERROR: " with the result's text when the result is not Ok; answers whether it
// was Ok.
bool checkFmodResult(audio::Result result);

// The game's sounds on the audio event system: the event project, the three categories with
// the player's volumes, the 43-entry sound-effect table, the music with its fades, the
// registry of level sound objects and the muted, disabled and mute-on-focus-lost flags.
//
// The event project is "Content/Audio/GameAudio.xml" (core/AudioProject.h): the events the
// audio system knows, and the rows of the sound-effect table.
class SoundManager {
public:
    static constexpr int effectCount = 43;
    static constexpr const char* projectFile = "Content/Audio/GameAudio.xml";
    // Music fades (the cutscene fade and a restarted song's fade-in) move this much per second.
    static constexpr irr::f32 musicFadeRate = 0.5f;

    // Reads the category volumes and the mute-on-focus-lost flag from the settings.
    SoundManager();
    ~SoundManager();
    SoundManager(const SoundManager&) = delete;
    SoundManager& operator=(const SoundManager&) = delete;

    // Creates the event system with the speaker mode of "Audio_AudioOutput", loads the
    // event project and applies the category volumes. A project that cannot be read is
    // logged; the manager then runs with what could be read, or without events.
    bool init();
    // Sets the speaker mode from "Audio_AudioOutput" (-1: the output's own).
    void applySpeakerMode();
    // Releases the event system, clears every reference into it and sets the disabled flag
    // (the audio options do this before running init again with a new speaker mode).
    void releaseEventSystem();
    audio::EventSystem* getEventSystem() const { return eventSystem.get(); }

    // The event of that name, fetched without blocking; null, with an "FMOD ERROR: " line,
    // when it cannot be fetched.
    audio::Event* getEvent(const char* name);
    void startEvent(audio::Event* event);
    void stopEvent(audio::Event* event);
    void setEventVolume(audio::Event* event, irr::f32 volume);
    void setEventParameter(audio::Event* event, const char* parameter, irr::f32 value);
    // The event's state has the channels-active bit.
    bool isEventActive(audio::Event* event) const;

    // Plays entry `index` of the sound-effect table at the position (default: the active
    // camera's); the started event, or null when nothing started (muted, disabled, an index
    // outside 0..42, or an entry the project lacks).
    audio::Event* playEffect(int index, const irr::core::vector3df* position = nullptr);
    const std::string& getEffectName(int index) const;

    // Starts the named song as the music; the music playing before fades out over the
    // seconds. Nothing changes when that song already plays, or for a null or one-letter
    // name. With temporary false the name becomes the current song.
    void playSong(const char* name, bool temporary, irr::f32 fadeSeconds);
    // Stops the current song and starts it again from volume 0, fading in.
    void restartSong();
    const std::string& getCurrentSong() const { return currentSong; }
    audio::Event* getCurrentMusic() const { return currentMusic; }

    // Pauses or resumes every registered sound object and every playing sound-effect event.
    void setAllPaused(bool paused);

    // The caller has stopped the event and gives it up; the sound manager owns it from then on.
    void releaseEvent(audio::Event* event);
    const std::vector<audio::Event*>& getReleasedEvents() const { return releasedEvents; }

    // The per-frame step: the listener from the active camera, the event system's time, the
    // song fades, and while gameplay is suspended the music fade (current value toward the
    // target at musicFadeRate).
    void update(irr::f32 seconds);
    // The per-frame focus check: with mute-on-focus-lost set, every category is paused while
    // the window is not focused, once it has had the focus (a window that never gets it
    // stays audible).
    void applyFocus(bool windowFocused);

    // Sets each category's volume from the stored volumes (music times the music fade).
    void applyCategoryVolumes();

    // Registry of level sound objects, ordered by registration key.
    void registerSoundObject(const std::string& key, SoundObject* object);
    void unregisterSoundObject(SoundObject* object);
    SoundObject* getNamedEntry(const char* name) const;
    const std::map<std::string, SoundObject*>& getSoundObjects() const { return soundObjects; }

    // Current volumes of the categories "sounds", "voiceovers" and "music" (0..1).
    irr::f32 sfxVolume = 1.0f;
    irr::f32 voiceoverVolume = 1.0f;
    irr::f32 musicVolume = 1.0f;
    bool muted = false;
    bool disabled = false;
    bool muteOnFocusLost = false;
    // The cutscenes write both directly.
    irr::f32 musicFadeTarget = 1.0f;
    irr::f32 musicFadeValue = 1.0f;

private:
    // A volume moving toward a goal; a song that fades out stops at 0.
    struct VolumeRamp {
        audio::Event* event = nullptr;
        irr::f32 volume = 0.0f;
        irr::f32 goal = 0.0f;
        irr::f32 ratePerSecond = 0.0f;
    };

    void clearEventReferences();
    void fadeOutMusic(irr::f32 seconds);
    void updateRamps(irr::f32 seconds);
    void setCategoryVolume(const char* name, irr::f32 volume);
    void updateListener();
    audio::Vector3 listenerPosition(const irr::core::vector3df* position) const;

    std::unique_ptr<audio::EventSystem> eventSystem;
    std::string effectNames[effectCount];
    audio::Event* currentMusic = nullptr;
    std::string currentMusicName;
    std::string currentSong;
    std::vector<VolumeRamp> ramps;
    std::vector<audio::Event*> effectEvents;
    std::vector<audio::Event*> releasedEvents;
    std::map<std::string, SoundObject*> soundObjects;
    bool focusPaused = false;
    bool focusSeen = false;
};
