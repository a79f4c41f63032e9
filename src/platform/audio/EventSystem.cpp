#include "platform/audio/EventSystem.h"

#include "platform/audio/AudioFiles.h"
#include "platform/audio/SoundDecoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <sys/stat.h>

namespace audio {

const char* resultText(Result result) {
    switch (result) {
    case Result::Ok:
        return "No errors.";
    case Result::NotInitialized:
        return "The event system has not been initialized.";
    case Result::InvalidHandle:
        return "An invalid handle was used.";
    case Result::InvalidParameter:
        return "An invalid parameter was passed.";
    case Result::FileNotFound:
        return "File not found.";
    case Result::FileBad:
        return "Error loading file.";
    case Result::EventNotFound:
        return "The requested event could not be found in the event project.";
    case Result::CategoryNotFound:
        return "The requested category could not be found.";
    case Result::ParameterNotFound:
        return "The requested event parameter could not be found.";
    case Result::NoProjectLoaded:
        return "No event project is loaded.";
    }
    return "Unknown error.";
}

namespace {

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool validVolume(float volume) { return std::isfinite(volume) && volume >= 0.0f; }

} // namespace

// --- categories and parameters ------------------------------------------------------------

Result EventCategory::setVolume(float newVolume) {
    if (!validVolume(newVolume))
        return Result::InvalidParameter;
    volume = std::min(newVolume, 1.0f);
    return Result::Ok;
}

Result EventCategory::getVolume(float* out) const {
    if (!out)
        return Result::InvalidParameter;
    *out = volume;
    return Result::Ok;
}

Result EventCategory::setPaused(bool newPaused) {
    paused = newPaused;
    return Result::Ok;
}

Result EventCategory::getPaused(bool* out) const {
    if (!out)
        return Result::InvalidParameter;
    *out = paused;
    return Result::Ok;
}

float EventCategory::effectiveVolume() const {
    return parent ? volume * parent->effectiveVolume() : volume;
}

bool EventCategory::effectivePaused() const {
    return paused || (parent && parent->effectivePaused());
}

Result EventParameter::setValue(float newValue) {
    if (!std::isfinite(newValue))
        return Result::InvalidParameter;
    value = std::clamp(newValue, minimum, maximum);
    return Result::Ok;
}

Result EventParameter::getValue(float* out) const {
    if (!out)
        return Result::InvalidParameter;
    *out = value;
    return Result::Ok;
}

Result EventParameter::getRange(float* outMinimum, float* outMaximum) const {
    if (outMinimum)
        *outMinimum = minimum;
    if (outMaximum)
        *outMaximum = maximum;
    return Result::Ok;
}

// --- events ---------------------------------------------------------------------------------

Result Event::start() {
    playing = true;
    position = 0.0f;
    if (owner)
        owner->startVoice(*this);
    return Result::Ok;
}

Result Event::stop(bool) {
    playing = false;
    if (owner)
        owner->stopVoice(voice);
    return Result::Ok;
}

Result Event::getState(unsigned* state) const {
    if (!state)
        return Result::InvalidParameter;
    *state = eventStateReady;
    if (playing)
        *state |= eventStatePlaying | eventStateChannelsActive;
    return Result::Ok;
}

Result Event::setVolume(float newVolume) {
    if (!validVolume(newVolume))
        return Result::InvalidParameter;
    volume = std::min(newVolume, 1.0f);
    return Result::Ok;
}

Result Event::getVolume(float* out) const {
    if (!out)
        return Result::InvalidParameter;
    *out = volume;
    return Result::Ok;
}

Result Event::setPaused(bool newPaused) {
    paused = newPaused;
    return Result::Ok;
}

Result Event::getPaused(bool* out) const {
    if (!out)
        return Result::InvalidParameter;
    *out = paused;
    return Result::Ok;
}

Result Event::set3DAttributes(const Vector3* newPosition, const Vector3* newVelocity,
                              const Vector3* newOrientation) {
    if (newPosition)
        position3D = *newPosition;
    if (newVelocity)
        velocity3D = *newVelocity;
    if (newOrientation)
        orientation3D = *newOrientation;
    return Result::Ok;
}

Result Event::get3DAttributes(Vector3* outPosition, Vector3* outVelocity) const {
    if (outPosition)
        *outPosition = position3D;
    if (outVelocity)
        *outVelocity = velocity3D;
    return Result::Ok;
}

Result Event::getParameter(const char* parameterName, EventParameter** out) {
    if (!parameterName || !out)
        return Result::InvalidParameter;
    *out = nullptr;
    for (EventParameter& parameter : parameters) {
        if (parameter.parameterName == parameterName) {
            *out = &parameter;
            return Result::Ok;
        }
    }
    return Result::ParameterNotFound;
}

Result Event::getCategory(EventCategory** out) const {
    if (!out)
        return Result::InvalidParameter;
    *out = category;
    return Result::Ok;
}

float Event::effectiveVolume() const {
    return category ? volume * category->effectiveVolume() : volume;
}

namespace {
float lerpAcross(float value, float minimum, float maximum, float atMinimum, float atMaximum) {
    const float t = maximum > minimum ? std::clamp((value - minimum) / (maximum - minimum), 0.0f, 1.0f) : 0.0f;
    return atMinimum + (atMaximum - atMinimum) * t;
}
} // namespace

VoiceParams Event::voiceParams() const {
    VoiceParams params;
    params.gain = effectiveVolume() * description->volume;
    params.pitch = description->pitch;
    for (std::size_t i = 0; i < parameters.size() && i < description->parameters.size(); ++i) {
        const EventDescription::Parameter& shape = description->parameters[i];
        const EventParameter& parameter = parameters[i];
        params.gain *= lerpAcross(parameter.value, parameter.minimum, parameter.maximum, shape.volumeAtMinimum,
                                  shape.volumeAtMaximum);
        params.pitch *= lerpAcross(parameter.value, parameter.minimum, parameter.maximum, shape.pitchAtMinimum,
                                   shape.pitchAtMaximum);
    }
    params.paused = paused || (category && category->effectivePaused());
    params.positional = description->is3D;
    if (params.positional) {
        params.position = position3D;
        params.velocity = velocity3D;
        params.minDistance = description->minDistance;
        params.maxDistance = description->maxDistance;
    }
    return params;
}

void Event::advance(float seconds) {
    if (!playing || paused || (category && category->effectivePaused()))
        return;
    position += seconds;
    if (!description->loop && position >= (owner ? owner->playLength(*this) : description->length)) {
        // The voice plays out its last samples by itself.
        playing = false;
        voice = noVoice;
    }
}

// --- plain sounds -----------------------------------------------------------------------------

Result Channel::stop() {
    playing = false;
    if (owner)
        owner->stopVoice(voice);
    return Result::Ok;
}

Result Channel::setPaused(bool newPaused) {
    paused = newPaused;
    return Result::Ok;
}

Result Channel::getPaused(bool* out) const {
    if (!out)
        return Result::InvalidParameter;
    *out = paused;
    return Result::Ok;
}

Result Channel::isPlaying(bool* out) const {
    if (!out)
        return Result::InvalidParameter;
    *out = playing;
    return Result::Ok;
}

Result Channel::setVolume(float newVolume) {
    if (!validVolume(newVolume))
        return Result::InvalidParameter;
    volume = std::min(newVolume, 1.0f);
    return Result::Ok;
}

Result Channel::getVolume(float* out) const {
    if (!out)
        return Result::InvalidParameter;
    *out = volume;
    return Result::Ok;
}

Channel* ChannelHandle::get() const {
    return channel && channel->generation == generation ? channel : nullptr;
}

Result ChannelHandle::stop() {
    Channel* reached = get();
    return reached ? reached->stop() : Result::InvalidHandle;
}

Result ChannelHandle::setPaused(bool paused) {
    Channel* reached = get();
    return reached ? reached->setPaused(paused) : Result::InvalidHandle;
}

Result ChannelHandle::getPaused(bool* paused) const {
    const Channel* reached = get();
    return reached ? reached->getPaused(paused) : Result::InvalidHandle;
}

Result ChannelHandle::isPlaying(bool* playing) const {
    if (const Channel* reached = get())
        return reached->isPlaying(playing);
    if (playing)
        *playing = false;
    return Result::InvalidHandle;
}

Result ChannelHandle::setVolume(float volume) {
    Channel* reached = get();
    return reached ? reached->setVolume(volume) : Result::InvalidHandle;
}

Result ChannelHandle::getVolume(float* volume) const {
    const Channel* reached = get();
    return reached ? reached->getVolume(volume) : Result::InvalidHandle;
}

void Channel::advance(float seconds) {
    if (!playing || paused)
        return;
    position += seconds;
    if (!sound->loops() && !sound->lengthPending && position >= sound->length()) {
        playing = false;
        voice = noVoice;
    }
}

// --- the system ---------------------------------------------------------------------------------

EventSystem::EventSystem() : clock(steadySeconds) {}

EventSystem::~EventSystem() { release(); }

Result EventSystem::init(SpeakerMode mode) {
    if (!audioOutput)
        audioOutput = createOutput(outputChoice, mode);
    initialized = true;
    speakerMode = mode;
    createMasterCategory();
    lastUpdate = clock();
    return Result::Ok;
}

const std::string& EventSystem::outputDescription() const {
    static const std::string closed = "none (the event system is closed)";
    return audioOutput ? audioOutput->description() : closed;
}

Result EventSystem::setSpeakerMode(SpeakerMode mode) {
    if (static_cast<int>(mode) < 0 || static_cast<int>(mode) > static_cast<int>(SpeakerMode::SevenPointOne))
        return Result::InvalidParameter;
    speakerMode = mode;
    return Result::Ok;
}

Result EventSystem::getSpeakerMode(SpeakerMode* out) const {
    if (!out)
        return Result::InvalidParameter;
    *out = speakerMode;
    return Result::Ok;
}

void EventSystem::createMasterCategory() {
    if (categories.count("master"))
        return;
    auto master = std::make_unique<EventCategory>();
    master->categoryName = "master";
    categories["master"] = std::move(master);
}

EventCategory* EventSystem::findOrAddCategory(const std::string& name) {
    if (name.empty())
        return categories["master"].get();
    auto it = categories.find(name);
    if (it != categories.end())
        return it->second.get();
    auto category = std::make_unique<EventCategory>();
    category->categoryName = name;
    category->parent = categories["master"].get();
    EventCategory* result = category.get();
    categories[name] = std::move(category);
    return result;
}

Result EventSystem::load(const EventProject& project) {
    if (!initialized)
        return Result::NotInitialized;
    unload();
    for (const std::string& name : project.categories)
        findOrAddCategory(name);
    // One output sound per file and way of playing it, however many events name it.
    std::map<std::string, SoundId> registered;
    for (const EventDescription& description : project.events) {
        findOrAddCategory(description.category);
        EventPool& pool = events[description.name];
        pool.instances.clear();
        pool.description = description;
        pool.soundIds.clear();
        for (const std::string& file : description.sounds) {
            const std::string key = file + (description.stream ? "|s" : "|p") + (description.is3D ? "3" : "2");
            auto it = registered.find(key);
            if (it == registered.end()) {
                it = registered.emplace(key, audioOutput->addSound(file, description.stream, description.is3D)).first;
                soundFiles[it->second] = SoundFileState{};
            }
            pool.soundIds.push_back(it->second);
        }
    }
    audioOutput->commit(); // the files are read ahead from now on
    projectLoaded = true;
    return Result::Ok;
}

Result EventSystem::unload() {
    for (auto& entry : events)
        for (const auto& instance : entry.second.instances)
            stopVoice(instance->voice);
    if (audioOutput) {
        for (const auto& entry : soundFiles)
            audioOutput->dropSound(entry.first);
        audioOutput->commit();
    }
    soundFiles.clear();
    events.clear();
    for (auto it = categories.begin(); it != categories.end();) {
        if (it->first == "master")
            ++it;
        else
            it = categories.erase(it);
    }
    projectLoaded = false;
    return Result::Ok;
}

Event* EventSystem::takeInstance(EventPool& pool) {
    for (const auto& instance : pool.instances) {
        if (!instance->playing) {
            instance->paused = false;
            instance->volume = 1.0f;
            return instance.get();
        }
    }
    if (static_cast<int>(pool.instances.size()) < pool.description.maxPlaybacks) {
        auto instance = std::make_unique<Event>();
        instance->owner = this;
        instance->description = &pool.description;
        instance->soundIds = &pool.soundIds;
        instance->category = findOrAddCategory(pool.description.category);
        for (const auto& parameterInfo : pool.description.parameters) {
            EventParameter parameter;
            parameter.parameterName = parameterInfo.name;
            parameter.minimum = parameterInfo.minimum;
            parameter.maximum = parameterInfo.maximum;
            parameter.value = parameterInfo.minimum;
            instance->parameters.push_back(parameter);
        }
        pool.instances.push_back(std::move(instance));
        return pool.instances.back().get();
    }
    // Every instance plays: the oldest one is taken over.
    Event* oldest = pool.instances.front().get();
    for (const auto& instance : pool.instances)
        if (instance->startOrder < oldest->startOrder)
            oldest = instance.get();
    oldest->playing = false;
    stopVoice(oldest->voice);
    oldest->paused = false;
    oldest->volume = 1.0f;
    return oldest;
}

Result EventSystem::getEvent(const char* name, Event** out) {
    if (!out || !name)
        return Result::InvalidParameter;
    *out = nullptr;
    if (!initialized)
        return Result::NotInitialized;
    if (!projectLoaded)
        return Result::NoProjectLoaded;
    auto it = events.find(name);
    if (it == events.end())
        return Result::EventNotFound;
    Event* event = takeInstance(it->second);
    event->startOrder = ++startCounter;
    *out = event;
    return Result::Ok;
}

Result EventSystem::getCategory(const char* name, EventCategory** out) {
    if (!out || !name)
        return Result::InvalidParameter;
    *out = nullptr;
    if (!initialized)
        return Result::NotInitialized;
    auto it = categories.find(name);
    if (it == categories.end())
        return Result::CategoryNotFound;
    *out = it->second.get();
    return Result::Ok;
}

Result EventSystem::createSound(const char* file, bool loop, Sound** out) {
    if (!out || !file)
        return Result::InvalidParameter;
    *out = nullptr;
    if (!initialized)
        return Result::NotInitialized;
    // Opening a named pipe would block for good, and a folder reads as a file of no end:
    // only regular files are sounds.
    std::unique_ptr<Sound>& sound = sounds[{file, loop}];
    if (!sound) {
        struct stat info {};
        if (::stat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
            sounds.erase({file, loop});
            return Result::FileNotFound;
        }
        sound = std::make_unique<Sound>();
        sound->fileName = file;
        sound->loop = loop;
        // The header tells what the output will keep, before it decodes anything.
        SoundDecoder header;
        std::string detail;
        if (header.open(file, file, false, detail) == Result::Ok) {
            sound->seconds = header.seconds();
            sound->bytes = keptSoundBytes(header.frames(), header.sampleRate(), header.channels(), false);
        } else {
            sound->seconds = wavLengthSeconds(file);
        }
        sound->outputSound = audioOutput->addSound(file, false, false);
        sound->lengthPending = sound->seconds <= 0.0f && !audioOutput->isNull();
    }
    ++sound->userCount;
    *out = sound.get();
    return Result::Ok;
}

Result EventSystem::releaseSound(Sound* sound) {
    if (!initialized)
        return Result::NotInitialized;
    // A handle released before is not read: only the sounds held are.
    auto it = std::find_if(sounds.begin(), sounds.end(), [sound](const auto& entry) { return entry.second.get() == sound; });
    if (!sound || it == sounds.end())
        return Result::InvalidHandle;
    if (--sound->userCount > 0)
        return Result::Ok;
    for (const auto& channel : channels) {
        if (channel->sound != sound)
            continue;
        stopVoice(channel->voice);
        channel->playing = false;
        channel->sound = nullptr;
    }
    audioOutput->dropSound(sound->outputSound);
    sounds.erase(it);
    return Result::Ok;
}

Result EventSystem::playSound(Sound* sound, bool paused, ChannelHandle* out) {
    if (out)
        *out = ChannelHandle{};
    if (!initialized)
        return Result::NotInitialized;
    if (!sound)
        return Result::InvalidHandle;

    Channel* channel = nullptr;
    for (const auto& candidate : channels)
        if (!candidate->playing) {
            channel = candidate.get();
            break;
        }
    if (!channel && static_cast<int>(channels.size()) < maxChannels) {
        channels.push_back(std::make_unique<Channel>());
        channel = channels.back().get();
    }
    if (!channel) {
        channel = channels.front().get();
        for (const auto& candidate : channels)
            if (candidate->startOrder < channel->startOrder)
                channel = candidate.get();
    }
    stopVoice(channel->voice);
    channel->owner = this;
    channel->sound = sound;
    channel->playing = true;
    channel->paused = paused;
    channel->volume = 1.0f;
    channel->position = 0.0f;
    channel->startOrder = ++startCounter;
    channel->sent = VoiceParams{};
    channel->sent.paused = paused;
    channel->voice = audioOutput->startVoice(sound->outputSound, sound->loop, channel->sent);
    ++channel->generation;
    if (out) {
        out->channel = channel;
        out->generation = channel->generation;
    }
    return Result::Ok;
}

Result EventSystem::set3DListenerAttributes(const Vector3* position, const Vector3* velocity,
                                            const Vector3* forward, const Vector3* up) {
    if (!initialized)
        return Result::NotInitialized;
    if (position)
        listener.position = *position;
    if (velocity)
        listener.velocity = *velocity;
    if (forward)
        listener.forward = *forward;
    if (up)
        listener.up = *up;
    return Result::Ok;
}

void EventSystem::startVoice(Event& event) {
    stopVoice(event.voice); // a restart begins the sound again
    event.sound = 0;
    if (!event.soundIds || event.soundIds->empty() || !audioOutput)
        return;
    const std::vector<SoundId>& ids = *event.soundIds;
    event.sound = ids.size() == 1 ? ids.front() : ids[random() % ids.size()];
    auto known = soundFiles.find(event.sound);
    if (known != soundFiles.end() && known->second.known && !known->second.playable)
        return; // plays silence
    event.sent = event.voiceParams();
    event.voice = audioOutput->startVoice(event.sound, event.description->loop, event.sent);
}

void EventSystem::stopVoice(VoiceId& voice) {
    if (voice != noVoice && audioOutput)
        audioOutput->stopVoice(voice);
    voice = noVoice;
}

float EventSystem::playLength(const Event& event) const {
    auto known = soundFiles.find(event.sound);
    if (known != soundFiles.end() && known->second.known && known->second.playable)
        return known->second.seconds;
    return event.description->length;
}

void EventSystem::sendVoices() {
    for (auto& entry : events) {
        for (const auto& instance : entry.second.instances) {
            Event& event = *instance;
            if (!event.playing || event.voice == noVoice)
                continue;
            const VoiceParams params = event.voiceParams();
            if (!(params == event.sent)) {
                audioOutput->setVoice(event.voice, params);
                event.sent = params;
            }
        }
    }
    for (const auto& channel : channels) {
        if (!channel->playing || channel->voice == noVoice)
            continue;
        VoiceParams params;
        params.gain = channel->volume;
        params.paused = channel->paused;
        if (!(params == channel->sent)) {
            audioOutput->setVoice(channel->voice, params);
            channel->sent = params;
        }
    }
    if (!listenerSent || !(listener == sentListener)) {
        audioOutput->setListener(listener);
        sentListener = listener;
        listenerSent = true;
    }
    audioOutput->commit();
}

void EventSystem::readReports() {
    reports.clear();
    audioOutput->takeReports(reports);
    for (const SoundReport& report : reports) {
        const bool playable = report.result == Result::Ok;
        auto known = soundFiles.find(report.sound);
        if (known != soundFiles.end())
            known->second = SoundFileState{true, playable, report.seconds};
        for (const auto& entry : sounds) {
            Sound* sound = entry.second.get();
            if (sound->outputSound == report.sound) {
                if (playable && sound->seconds <= 0.0f)
                    sound->seconds = report.seconds;
                sound->lengthPending = false;
            }
        }
        if (!playable && problemHandler)
            problemHandler(report.result, report.detail);
    }
}

Result EventSystem::update() {
    if (!initialized)
        return Result::NotInitialized;
    const double now = clock();
    const float seconds = static_cast<float>(std::max(0.0, now - lastUpdate));
    lastUpdate = now;
    for (auto& entry : events)
        for (const auto& instance : entry.second.instances)
            instance->advance(seconds);
    for (const auto& channel : channels)
        channel->advance(seconds);
    if (audioOutput) {
        sendVoices();
        readReports();
    }
    return Result::Ok;
}

Result EventSystem::release() {
    unload();
    channels.clear();
    sounds.clear();
    categories.clear();
    // Closes the device after its last samples; the voices end with it.
    audioOutput.reset();
    listenerSent = false;
    initialized = false;
    return Result::Ok;
}

void EventSystem::setClock(std::function<double()> newClock) {
    clock = newClock ? std::move(newClock) : std::function<double()>(steadySeconds);
    lastUpdate = clock();
}

std::size_t EventSystem::instanceCount(const char* eventName) const {
    auto it = events.find(eventName);
    return it == events.end() ? 0 : it->second.instances.size();
}

std::size_t EventSystem::playingEventCount() const {
    std::size_t count = 0;
    for (const auto& entry : events)
        for (const auto& instance : entry.second.instances)
            count += instance->playing ? 1 : 0;
    return count;
}

} // namespace audio
