#include "level/SoundObject.h"

#include "core/FileChecks.h"

#include "core/Globals.h"
#include "core/LoadBudget.h"
#include "core/Log.h"
#include "core/SoundManager.h"
#include "core/Stopwatch.h"
#include "level/AttributeExtras.h"
#include "level/LevelHooks.h"
#include "platform/audio/EventSystem.h"

#include <algorithm>
#include <vector>

using namespace irr;

namespace {

// Every sound object alive, for dropping their audio handles together.
std::vector<SoundObject*>& liveSoundObjects() {
    static std::vector<SoundObject*> objects;
    return objects;
}

} // namespace

SoundObject::SoundObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id) {
    liveSoundObjects().push_back(this);
}

SoundObject::~SoundObject() {
    auto& objects = liveSoundObjects();
    objects.erase(std::remove(objects.begin(), objects.end(), this), objects.end());
    if (soundManager)
        soundManager->unregisterSoundObject(this);
    // Sounds of a conversation must not keep a link to this one.
    for (SoundObject* other : objects)
        if (other->nextInConversation == this)
            other->nextInConversation = nullptr;
    stop();
    releaseSound();
}

void SoundObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    out->addString("EventName", EventName.c_str());
    addFilePath(out, "SoundFile", SoundFile.c_str());
    out->addFloat("Volume", Volume);
    out->addString("OwnerName", OwnerName.c_str());
    out->addInt("VoiceMode", VoiceMode);
    out->addInt("SubtitleID", SubtitleID);
    out->addBool("HasSubtitle", HasSubtitle);
}

void SoundObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    core::stringc text;
    if (readIfPresent(in, "EventName", text))
        EventName = text.c_str();
    if (readIfPresent(in, "SoundFile", text))
        SoundFile = text.c_str();
    readIfPresent(in, "Volume", Volume);
    readIfPresent(in, "VoiceMode", VoiceMode);
    readIfPresent(in, "SubtitleID", SubtitleID);
    readIfPresent(in, "HasSubtitle", HasSubtitle);
    if (readIfPresent(in, "OwnerName", text))
        setOwnerName(text.c_str());
}

scene::ISceneNode* SoundObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    return cloneAs<SoundObject>(newParent, newManager);
}

void SoundObject::setOwnerName(const std::string& name) {
    if (soundManager)
        soundManager->unregisterSoundObject(this);
    OwnerName = name;
    if (soundManager && !OwnerName.empty())
        soundManager->registerSoundObject(OwnerName, this);
}

// --- playing ---------------------------------------------------------------------------------------

void SoundObject::play() {
    if (!soundManager || soundManager->muted)
        return;
    if (isPlaying()) {
        switch (VoiceMode) {
        case Queue:
            queuedPlay = true; // plays again once this line has ended
            return;
        case Interrupt:
        case InterruptAndQueue:
            stop();
            break;
        default:
            break;
        }
    }
    start();
}

void SoundObject::start() {
    fadeDuration = -1.0f;
    fadeFactor = 1.0f;
    pauseCount = 0;
    if (!EventName.empty()) {
        // A new voice line gives its previous event up to the sound manager.
        if (isVoice() && event) {
            previousEvent = event;
            soundManager->releaseEvent(previousEvent);
            event = nullptr;
        }
        if (!event)
            event = soundManager->getEvent(EventName.c_str());
        if (!event)
            return;
        applyVolume();
        soundManager->startEvent(event);
    } else if (!SoundFile.empty()) {
        audio::EventSystem* system = soundManager->getEventSystem();
        if (!system)
            return;
        if (sound && sound->file() != SoundFile)
            releaseSound();
        if (!sound && !takeSound(*system))
            return;
        if (!checkFmodResult(system->playSound(sound, false, &channel)))
            return;
        applyVolume();
    } else {
        return;
    }
    wasPlaying = true;
    if (nextInConversation)
        conversationActive = true;
    const LevelHookTable& hooks = levelHooks();
    if (isVoice() && HasSubtitle && hooks.gui.playSubtitle)
        hooks.gui.playSubtitle(SubtitleID);
}

bool SoundObject::takeSound(audio::EventSystem& system) {
    if (!isReadableFile(SoundFile) || refuseReadOutsideConfinement(SoundFile.c_str()))
        return false;
    audio::Sound* shared = nullptr;
    if (!checkFmodResult(system.createSound(SoundFile.c_str(), false, &shared)))
        return false;
    // The first to take the file charges its one copy; the others share it.
    if (shared->users() == 1 && !loadBudget().charge(LoadBudget::Memory, shared->memoryBytes(), SoundFile)) {
        system.releaseSound(shared);
        return false;
    }
    sound = shared;
    return true;
}

void SoundObject::releaseSound() {
    audio::EventSystem* system = soundManager ? soundManager->getEventSystem() : nullptr;
    if (sound && system)
        system->releaseSound(sound); // the last user's release stops its channels
    sound = nullptr;
}

void SoundObject::stop() {
    queuedPlay = false;
    fadeDuration = -1.0f;
    wasPlaying = false;
    if (event && soundManager && isPlaying())
        soundManager->stopEvent(event);
    channel.stop();
}

bool SoundObject::isPlaying() const {
    if (event && soundManager && soundManager->isEventActive(event))
        return true;
    bool playing = false;
    return channel.isPlaying(&playing) == audio::Result::Ok && playing;
}

void SoundObject::pause(bool clearShownSubtitle) {
    bool paused = false;
    if (event && isPlaying() && event->getPaused(&paused) == audio::Result::Ok && !paused) {
        event->setPaused(true);
        ++pauseCount;
    } else if (isPlaying() && channel.getPaused(&paused) == audio::Result::Ok && !paused) {
        channel.setPaused(true);
        ++pauseCount;
    }
    const auto& clearSubtitle = levelHooks().screens.clearSubtitleOf;
    if (clearShownSubtitle && clearSubtitle)
        clearSubtitle(this);
}

void SoundObject::resume() {
    if (pauseCount <= 0)
        return;
    if (--pauseCount > 0)
        return;
    if (event)
        event->setPaused(false);
    channel.setPaused(false);
}

void SoundObject::fadeOut(f32 seconds) {
    if (!isPlaying())
        return;
    if (seconds <= 0.0f) {
        stop();
        return;
    }
    fadeDuration = seconds;
    fadeElapsed = 0.0f;
    fadeFactor = 1.0f;
    applyVolume();
}

void SoundObject::setEventParameter(const char* name, f32 value) {
    if (event && soundManager && name)
        soundManager->setEventParameter(event, name, value);
}

void SoundObject::setVolume(f32 volume) {
    Volume = std::clamp(volume, 0.0f, 1.0f) * 100.0f;
    applyVolume();
}

void SoundObject::applyVolume() {
    const f32 volume = std::clamp(Volume / 100.0f, 0.0f, 1.0f) * fadeFactor;
    if (event && soundManager)
        soundManager->setEventVolume(event, volume);
    channel.setVolume(volume);
}

void SoundObject::appendToConversation(SoundObject* next) {
    nextInConversation = next == this ? nullptr : next;
}

void SoundObject::resetConversation() {
    if (conversationActive && isPlaying())
        stop();
    conversationActive = false;
    nextInConversation = nullptr;
    queuedPlay = false;
    pauseCount = 0;
}

void SoundObject::forgetAudio() {
    event = nullptr;
    previousEvent = nullptr;
    sound = nullptr;
    channel = {};
    wasPlaying = false;
    queuedPlay = false;
    fadeDuration = -1.0f;
    pauseCount = 0;
}

// --- per frame ------------------------------------------------------------------------------------

void SoundObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return;
    update(frameStopwatch ? frameStopwatch->delta() : 0.0f);
    LevelObject::OnAnimate(timeMs);
}

void SoundObject::update(f32 seconds) {
    if (fadeDuration > 0.0f) {
        fadeElapsed += std::max(seconds, 0.0f);
        if (fadeElapsed >= fadeDuration) {
            stop();
            fadeFactor = 1.0f;
            return;
        }
        fadeFactor = 1.0f - fadeElapsed / fadeDuration;
        applyVolume();
    }
    if (!wasPlaying || isPlaying() || pauseCount > 0)
        return;
    // The line has ended.
    wasPlaying = false;
    if (queuedPlay) {
        queuedPlay = false;
        start();
        return;
    }
    if (conversationActive) {
        conversationActive = false;
        if (SoundObject* next = nextInConversation) {
            next->conversationActive = true;
            next->play();
        }
    }
}

// --- all sound objects ----------------------------------------------------------------------------

void resetAllConversations() {
    if (!soundManager)
        return;
    // Stopping a line may not change the registry, but work from a copy all the same.
    const std::map<std::string, SoundObject*> registered = soundManager->getSoundObjects();
    for (const auto& entry : registered)
        entry.second->resetConversation();
}

void forgetAllSoundObjectAudio() {
    for (SoundObject* object : liveSoundObjects())
        object->forgetAudio();
}

