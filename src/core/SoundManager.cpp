#include "core/SoundManager.h"

#include "core/AudioProject.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "core/ProgramQueries.h"
#include "core/CoreSlots.h"
#include "core/SlotCalls.h"

#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr const char* sfxCategory = "sounds";
constexpr const char* voiceoverCategory = "voiceovers";
constexpr const char* musicCategory = "music";
// A music value this close to its target has arrived.
constexpr irr::f32 fadeEpsilon = 0.000001f;

const std::string noName;

} // namespace

bool checkFmodResult(audio::Result result) {
    if (result == audio::Result::Ok)
        return true;
    // Asked on every play of a sound: counted.
    logRepeatable(std::string("FMOD ERROR: ") + audio::resultText(result));
    return false;
}

SoundManager::SoundManager() {
    sfxVolume = getSettingFloat("Audio_SFXVolume");
    voiceoverVolume = getSettingFloat("Audio_VoiceoverVolume");
    musicVolume = getSettingFloat("Audio_MusicVolume");
    muteOnFocusLost = getSettingBool("Audio_MuteOnFocusLost");
}

SoundManager::~SoundManager() { releaseEventSystem(); }

bool SoundManager::init() {
    if (eventSystem)
        clearEventReferences(); // the system they point into is replaced
    eventSystem = std::make_unique<audio::EventSystem>();
    if (!checkFmodResult(eventSystem->init(audio::outputSpeakerMode)))
        return false;
    logMessagePair("Audio output: ", eventSystem->outputDescription().c_str());
    // A sound file that cannot be played is told once; its events play silence.
    eventSystem->setProblemHandler([](audio::Result result, const std::string& detail) {
        logMessagef("FMOD ERROR: %s (%s)", audio::resultText(result), detail.c_str());
    });
    applySpeakerMode();
    AudioProject project;
    const audio::Result read = readAudioProject(gameDevice ? gameDevice->getFileSystem() : nullptr,
                                                projectFile, effectCount, project);
    if (read != audio::Result::Ok)
        logMessagef("FMOD ERROR: %s (%s)", audio::resultText(read), projectFile);
    else if (project.skipped)
        logMessagef("Warning: Skipped %d unusable entries in %s", project.skipped, projectFile);
    eventSystem->load(project.events);
    for (int index = 0; index < effectCount; ++index)
        effectNames[index] = project.effectNames[static_cast<std::size_t>(index)];
    applyCategoryVolumes();
    focusPaused = false;
    focusSeen = false;
    return read == audio::Result::Ok;
}

void SoundManager::applySpeakerMode() {
    if (!eventSystem)
        return;
    const int setting = getSettingInt("Audio_AudioOutput");
    audio::SpeakerMode mode = audio::outputSpeakerMode;
    if (setting == 1 || setting == 2 || setting == 5 || setting == 6)
        mode = static_cast<audio::SpeakerMode>(setting);
    else if (setting != -1)
        logMessagef("Warning: Unknown speaker mode %d, using the output's own.", setting);
    checkFmodResult(eventSystem->setSpeakerMode(mode));
}

void SoundManager::clearEventReferences() {
    // The level's sound objects hold events and channels of the system too.
    callHook(coreSlots().level.releaseSoundObjectAudio);
    currentMusic = nullptr;
    currentMusicName.clear();
    ramps.clear();
    effectEvents.clear();
    releasedEvents.clear();
}

void SoundManager::releaseEventSystem() {
    clearEventReferences();
    if (eventSystem) {
        eventSystem->release();
        eventSystem.reset();
    }
    disabled = true;
}

audio::Event* SoundManager::getEvent(const char* name) {
    if (!name)
        return nullptr;
    audio::Event* event = nullptr;
    const audio::Result result = eventSystem ? eventSystem->getEvent(name, &event)
                                             : audio::Result::NotInitialized;
    if (result != audio::Result::Ok) {
        logRepeatablef("FMOD ERROR: %s (%s)", audio::resultText(result), name);
        return nullptr;
    }
    return event;
}

void SoundManager::startEvent(audio::Event* event) {
    if (!event || event->start() != audio::Result::Ok)
        logMessage("Could not play event.");
}

void SoundManager::stopEvent(audio::Event* event) {
    if (!event || event->stop() != audio::Result::Ok)
        logMessage("Could not stop event.");
}

void SoundManager::setEventVolume(audio::Event* event, irr::f32 volume) {
    if (!event || event->setVolume(volume) != audio::Result::Ok)
        logMessage("Could not update volume.");
}

void SoundManager::setEventParameter(audio::Event* event, const char* parameter, irr::f32 value) {
    if (!event || !parameter)
        return;
    audio::EventParameter* handle = nullptr;
    if (checkFmodResult(event->getParameter(parameter, &handle)))
        checkFmodResult(handle->setValue(value));
}

bool SoundManager::isEventActive(audio::Event* event) const {
    unsigned state = 0;
    return event && event->getState(&state) == audio::Result::Ok &&
           (state & audio::eventStateChannelsActive) != 0;
}

const std::string& SoundManager::getEffectName(int index) const {
    return index >= 0 && index < effectCount ? effectNames[index] : noName;
}

audio::Vector3 SoundManager::listenerPosition(const irr::core::vector3df* position) const {
    irr::core::vector3df where;
    if (position) {
        where = *position;
    } else if (gameDevice && gameDevice->getSceneManager() &&
               gameDevice->getSceneManager()->getActiveCamera()) {
        where = gameDevice->getSceneManager()->getActiveCamera()->getAbsolutePosition();
    } else if (eventSystem) {
        return eventSystem->listenerPosition();
    }
    return audio::Vector3{where.X, where.Y, where.Z};
}

audio::Event* SoundManager::playEffect(int index, const irr::core::vector3df* position) {
    if (muted || disabled || index < 0 || index >= effectCount || effectNames[index].empty())
        return nullptr;
    audio::Event* event = getEvent(effectNames[index].c_str());
    if (!event)
        return nullptr;
    if (event->info().is3D) {
        const audio::Vector3 where = listenerPosition(position);
        event->set3DAttributes(&where, nullptr);
    }
    if (event->start() != audio::Result::Ok) {
        logMessage("Could not play event.");
        return nullptr;
    }
    if (std::find(effectEvents.begin(), effectEvents.end(), event) == effectEvents.end())
        effectEvents.push_back(event);
    return event;
}

void SoundManager::fadeOutMusic(irr::f32 seconds) {
    if (!currentMusic)
        return;
    ramps.erase(std::remove_if(ramps.begin(), ramps.end(),
                               [&](const VolumeRamp& ramp) { return ramp.event == currentMusic; }),
                ramps.end());
    irr::f32 volume = 1.0f;
    currentMusic->getVolume(&volume);
    if (seconds <= 0.0f || volume <= 0.0f) {
        currentMusic->stop(true);
    } else {
        ramps.push_back(VolumeRamp{currentMusic, volume, 0.0f, volume / seconds});
    }
    currentMusic = nullptr;
    currentMusicName.clear();
}

void SoundManager::playSong(const char* name, bool temporary, irr::f32 fadeSeconds) {
    if (!name || std::strlen(name) < 2)
        return;
    if (currentMusic && currentMusicName == name && isEventActive(currentMusic))
        return;
    fadeOutMusic(fadeSeconds);
    if (!temporary)
        currentSong = name;
    audio::Event* song = getEvent(name);
    if (!song)
        return;
    if (song->start() != audio::Result::Ok) {
        logMessage("Could not play event.");
        return;
    }
    currentMusic = song;
    currentMusicName = name;
}

void SoundManager::restartSong() {
    if (currentMusic)
        currentMusic->stop(true);
    currentMusic = nullptr;
    currentMusicName.clear();
    if (currentSong.empty())
        return;
    audio::Event* song = getEvent(currentSong.c_str());
    if (!song)
        return;
    song->setVolume(0.0f);
    if (song->start() != audio::Result::Ok) {
        logMessage("Could not play event.");
        return;
    }
    currentMusic = song;
    currentMusicName = currentSong;
    ramps.push_back(VolumeRamp{song, 0.0f, 1.0f, musicFadeRate});
}

void SoundManager::setAllPaused(bool paused) {
    if (const auto& pause = coreSlots().level.pauseSoundObject)
        for (const auto& entry : soundObjects)
            pause(entry.second, paused);
    for (audio::Event* event : effectEvents)
        if (isEventActive(event))
            event->setPaused(paused);
}

void SoundManager::releaseEvent(audio::Event* event) {
    if (event && std::find(releasedEvents.begin(), releasedEvents.end(), event) == releasedEvents.end())
        releasedEvents.push_back(event);
}

void SoundManager::updateRamps(irr::f32 seconds) {
    // A song that ended or was taken over by the event system is no longer ours to fade.
    ramps.erase(std::remove_if(ramps.begin(), ramps.end(),
                               [](const VolumeRamp& ramp) { return !ramp.event->isPlaying(); }),
                ramps.end());
    for (VolumeRamp& ramp : ramps) {
        const irr::f32 step = ramp.ratePerSecond * seconds;
        ramp.volume = ramp.goal > ramp.volume ? std::min(ramp.goal, ramp.volume + step)
                                              : std::max(ramp.goal, ramp.volume - step);
        ramp.event->setVolume(ramp.volume);
        if (ramp.goal <= 0.0f && ramp.volume <= 0.0f)
            ramp.event->stop(true);
    }
    ramps.erase(std::remove_if(ramps.begin(), ramps.end(),
                               [](const VolumeRamp& ramp) { return ramp.volume == ramp.goal; }),
                ramps.end());
}

void SoundManager::updateListener() {
    irr::scene::ISceneManager* scene = gameDevice ? gameDevice->getSceneManager() : nullptr;
    irr::scene::ICameraSceneNode* camera = scene ? scene->getActiveCamera() : nullptr;
    if (!camera)
        return;
    const irr::core::vector3df position = camera->getAbsolutePosition();
    irr::core::vector3df forward = camera->getTarget() - position;
    if (forward.getLengthSQ() <= 0.0f)
        forward.set(0.0f, 0.0f, 1.0f);
    forward.normalize();
    irr::core::vector3df up = camera->getUpVector();
    if (up.getLengthSQ() <= 0.0f)
        up.set(0.0f, 1.0f, 0.0f);
    up.normalize();
    const audio::Vector3 where{position.X, position.Y, position.Z};
    const audio::Vector3 facing{forward.X, forward.Y, forward.Z};
    const audio::Vector3 upward{up.X, up.Y, up.Z};
    eventSystem->set3DListenerAttributes(&where, nullptr, &facing, &upward);
}

void SoundManager::update(irr::f32 seconds) {
    if (!eventSystem)
        return;
    // 3D events are heard from the active camera.
    updateListener();
    eventSystem->update();
    updateRamps(seconds);

    if (isGameplaySuspended()) {
        const irr::f32 gap = musicFadeTarget - musicFadeValue;
        if (std::fabs(gap) > fadeEpsilon) {
            const irr::f32 step = musicFadeRate * seconds;
            musicFadeValue = std::fabs(gap) <= step ? musicFadeTarget
                                                    : musicFadeValue + (gap > 0.0f ? step : -step);
        }
    }
    setCategoryVolume(musicCategory, musicVolume * musicFadeValue);

    // Stopped effects and given-up events go back to the event system's pool.
    effectEvents.erase(std::remove_if(effectEvents.begin(), effectEvents.end(),
                                      [this](audio::Event* e) { return !isEventActive(e); }),
                       effectEvents.end());
    releasedEvents.erase(std::remove_if(releasedEvents.begin(), releasedEvents.end(),
                                        [this](audio::Event* e) { return !isEventActive(e); }),
                         releasedEvents.end());
}

void SoundManager::applyFocus(bool windowFocused) {
    // A window that has never had the focus (no window manager, or one that starts it in the
    // background) has not lost it: only a loss mutes.
    focusSeen = focusSeen || windowFocused;
    const bool pause = muteOnFocusLost && focusSeen && !windowFocused;
    if (pause == focusPaused || !eventSystem)
        return;
    audio::EventCategory* master = nullptr;
    if (eventSystem->getCategory("master", &master) == audio::Result::Ok)
        master->setPaused(pause);
    focusPaused = pause;
}

void SoundManager::setCategoryVolume(const char* name, irr::f32 volume) {
    audio::EventCategory* category = nullptr;
    if (eventSystem && eventSystem->getCategory(name, &category) == audio::Result::Ok)
        category->setVolume(std::clamp(volume, 0.0f, 1.0f));
}

void SoundManager::applyCategoryVolumes() {
    setCategoryVolume(sfxCategory, sfxVolume);
    setCategoryVolume(voiceoverCategory, voiceoverVolume);
    setCategoryVolume(musicCategory, musicVolume * musicFadeValue);
}

void SoundManager::registerSoundObject(const std::string& key, SoundObject* object) {
    if (object)
        soundObjects[key] = object;
}

void SoundManager::unregisterSoundObject(SoundObject* object) {
    for (auto it = soundObjects.begin(); it != soundObjects.end();) {
        if (it->second == object)
            it = soundObjects.erase(it);
        else
            ++it;
    }
}

SoundObject* SoundManager::getNamedEntry(const char* name) const {
    if (!name)
        return nullptr;
    auto it = soundObjects.find(name);
    return it == soundObjects.end() ? nullptr : it->second;
}
