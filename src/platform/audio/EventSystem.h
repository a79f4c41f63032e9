#pragma once

#include "platform/audio/AudioOutput.h"
#include "platform/audio/AudioTypes.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// The audio event system: an event project (every event with its category, length,
// looping, 3D flag and parameters), event instances with
// start, stop, volume, pause, 3D attributes and named parameters, categories with volume and
// pause, and plain sounds played on channels. Time passes through update(), so events end
// by themselves after their length and "is active" behaves alike on every output. The
// output (AudioOutput.h) is OpenAL Soft when a device opens, else the null output: update()
// hands it the frame's voices in one batch and never waits for it.
//
// Handles (Event*, EventCategory*, ChannelHandle, Sound*) stay owned by the system and stay
// valid until load() or unload() (events), the last releaseSound() (a sound) or release()
// (everything); a ChannelHandle reaches its channel only for the one sound it was handed out
// for (AudioTypes.h). Like a real event system, an event
// instance that is not playing may be handed out again by a later getEvent of the same name,
// and the oldest playing instance is taken over when an event's playback limit is reached.
namespace audio {

class EventSystem;

class EventCategory {
public:
    const std::string& name() const { return categoryName; }
    Result setVolume(float volume);
    Result getVolume(float* volume) const;
    Result setPaused(bool paused);
    Result getPaused(bool* paused) const;

    // Volume and pause with every parent category applied.
    float effectiveVolume() const;
    bool effectivePaused() const;

private:
    friend class EventSystem;
    std::string categoryName;
    EventCategory* parent = nullptr;
    float volume = 1.0f;
    bool paused = false;
};

class EventParameter {
public:
    const std::string& name() const { return parameterName; }
    // The value is kept inside the parameter's range.
    Result setValue(float value);
    Result getValue(float* value) const;
    Result getRange(float* minimum, float* maximum) const;

private:
    friend class EventSystem;
    friend class Event;
    std::string parameterName;
    float value = 0.0f;
    float minimum = 0.0f;
    float maximum = 1.0f;
};

// What the event project says of one event.
struct EventDescription {
    // A parameter made audible: across its range the volume and the pitch move linearly
    // from their values at the minimum to those at the maximum (1 and 1: no change).
    struct Parameter {
        std::string name;
        float minimum = 0.0f;
        float maximum = 1.0f;
        float volumeAtMinimum = 1.0f;
        float volumeAtMaximum = 1.0f;
        float pitchAtMinimum = 1.0f;
        float pitchAtMaximum = 1.0f;
    };
    std::string name;
    std::string category;
    // Seconds; a one-shot of length 0 ends at the next update. Once an output has read the
    // event's sound file, the file's own length counts.
    float length = 0.0f;
    bool loop = false;
    bool is3D = false;
    int maxPlaybacks = 16;
    std::vector<Parameter> parameters;
    // The sound files; each start picks one of them at random. None: the event is silent.
    std::vector<std::string> sounds{};
    float volume = 1.0f;
    float pitch = 1.0f;
    // Read from the file while it plays (music) instead of decoded ahead (short effects).
    bool stream = false;
    // 3D events: full volume up to minDistance, quieter beyond, no quieter than at maxDistance.
    float minDistance = 10.0f;
    float maxDistance = 1000.0f;
};

// An event project: its categories and events.
struct EventProject {
    std::vector<std::string> categories;
    std::vector<EventDescription> events;
};

class Event {
public:
    const std::string& name() const { return description->name; }
    const EventDescription& info() const { return *description; }

    Result start();
    // Stops at once; the null output has no release tail to wait for.
    Result stop(bool immediate = false);
    Result getState(unsigned* state) const;
    Result setVolume(float volume);
    Result getVolume(float* volume) const;
    Result setPaused(bool paused);
    Result getPaused(bool* paused) const;
    Result set3DAttributes(const Vector3* position, const Vector3* velocity,
                           const Vector3* orientation = nullptr);
    Result get3DAttributes(Vector3* position, Vector3* velocity) const;
    Result getParameter(const char* name, EventParameter** parameter);
    Result getCategory(EventCategory** category) const;

    bool isPlaying() const { return playing; }
    // Seconds played since the last start.
    float elapsed() const { return position; }
    // The event's volume times its category chain's.
    float effectiveVolume() const;
    // How it sounds now: volumes, pitch and parameters applied, paused with its category.
    VoiceParams voiceParams() const;

private:
    friend class EventSystem;
    void advance(float seconds);

    EventSystem* owner = nullptr;
    const EventDescription* description = nullptr;
    const std::vector<SoundId>* soundIds = nullptr;
    SoundId sound = 0;
    VoiceId voice = noVoice;
    VoiceParams sent;
    EventCategory* category = nullptr;
    std::vector<EventParameter> parameters;
    bool playing = false;
    bool paused = false;
    float volume = 1.0f;
    float position = 0.0f;
    std::uint64_t startOrder = 0;
    Vector3 position3D;
    Vector3 velocity3D;
    Vector3 orientation3D;
};

// A plain sound file (not part of the event project), shared by everyone who asked for it.
class Sound {
public:
    const std::string& file() const { return fileName; }
    // Seconds; read from the file's header, else from the file once the output has read it;
    // 0 when the length cannot be known.
    float length() const { return seconds; }
    bool loops() const { return loop; }
    // What the output keeps of it (keptSoundBytes, AudioOutput.h); 0 when the header could
    // not be read (the output will not play it either).
    std::uint64_t memoryBytes() const { return bytes; }
    // The createSound calls it answered that were not released yet.
    int users() const { return userCount; }

private:
    friend class EventSystem;
    friend class Channel;
    std::string fileName;
    float seconds = 0.0f;
    bool loop = false;
    std::uint64_t bytes = 0;
    int userCount = 0;
    // The output still reads the file: its length is not known yet.
    bool lengthPending = false;
    SoundId outputSound = 0;
};

class Channel {
public:
    Result stop();
    Result setPaused(bool paused);
    Result getPaused(bool* paused) const;
    Result isPlaying(bool* playing) const;
    Result setVolume(float volume);
    Result getVolume(float* volume) const;
    const Sound* currentSound() const { return sound; }

private:
    friend class EventSystem;
    friend class ChannelHandle;
    void advance(float seconds);

    EventSystem* owner = nullptr;
    VoiceId voice = noVoice;
    VoiceParams sent;
    const Sound* sound = nullptr;
    bool playing = false;
    bool paused = false;
    float volume = 1.0f;
    float position = 0.0f;
    std::uint64_t startOrder = 0;
    // Counts the hand-outs: a handle of an earlier one no longer reaches the channel.
    std::uint64_t generation = 0;
};

class EventSystem {
public:
    EventSystem();
    ~EventSystem();
    EventSystem(const EventSystem&) = delete;
    EventSystem& operator=(const EventSystem&) = delete;

    // Chooses the output before init (tests and tools; the game leaves it to the environment).
    void setOutputChoice(OutputChoice choice) { outputChoice = choice; }
    // Installs an output of the caller's before init (a test's recorder).
    void installOutput(std::unique_ptr<Output> output) { audioOutput = std::move(output); }
    // Opens the output (the null output when no device opens) and the master category.
    Result init(SpeakerMode mode);
    // Which output runs and why, for the log.
    const std::string& outputDescription() const;
    const Output* output() const { return audioOutput.get(); }
    // Called from update() for every sound file the output cannot play (once a file): its
    // events play silence.
    void setProblemHandler(std::function<void(Result, const std::string&)> handler) {
        problemHandler = std::move(handler);
    }
    bool isInitialized() const { return initialized; }
    Result setSpeakerMode(SpeakerMode mode);
    Result getSpeakerMode(SpeakerMode* mode) const;

    // Takes the event project in place of one loaded before. The categories hang below
    // "master"; a category that only an event names is made too.
    Result load(const EventProject& project);
    // Drops the project with every event instance and every category but "master".
    Result unload();
    bool hasProject() const { return projectLoaded; }

    // An instance of the named event, without blocking.
    Result getEvent(const char* name, Event** event);
    // "master" is the root; the catalogue's categories hang below it.
    Result getCategory(const char* name, EventCategory** category);

    // The plain sound of the file: the one made before for the same file and looping, with
    // one user more, else a new one, its header read here and its samples by the output (one
    // copy, however many use it).
    Result createSound(const char* file, bool loop, Sound** sound);
    // One user fewer; the last one's release stops the sound's channels and lets the output
    // drop its copy: the handle is invalid from then on.
    Result releaseSound(Sound* sound);
    // Plays the sound on a free channel (or the one that started first, when all 64 play);
    // the handle reaches that channel until it is handed out again.
    Result playSound(Sound* sound, bool paused, ChannelHandle* channel);

    Result set3DListenerAttributes(const Vector3* position, const Vector3* velocity,
                                   const Vector3* forward, const Vector3* up);
    Vector3 listenerPosition() const { return listener.position; }

    // Lets the time since the last update pass for every playing event and channel, then
    // hands the output the frame's voices and listener in one batch.
    Result update();
    // Closes the system: every handle becomes invalid.
    Result release();

    // The clock update() measures time with, in seconds (tests install their own).
    void setClock(std::function<double()> clock);

    std::size_t instanceCount(const char* eventName) const;
    // The plain sounds held (each one copy in the output).
    std::size_t soundCount() const { return sounds.size(); }
    std::size_t playingEventCount() const;

    static constexpr int maxChannels = 64;

private:
    struct EventPool {
        EventDescription description;
        std::vector<SoundId> soundIds;
        std::vector<std::unique_ptr<Event>> instances;
    };
    // What the output said of a project sound file.
    struct SoundFileState {
        bool known = false;
        bool playable = true;
        float seconds = 0.0f;
    };

    friend class Event;
    friend class Channel;
    void createMasterCategory();
    EventCategory* findOrAddCategory(const std::string& name);
    Event* takeInstance(EventPool& pool);
    void startVoice(Event& event);
    void stopVoice(VoiceId& voice);
    float playLength(const Event& event) const;
    void sendVoices();
    void readReports();

    bool initialized = false;
    bool projectLoaded = false;
    SpeakerMode speakerMode = outputSpeakerMode;
    std::map<std::string, std::unique_ptr<EventCategory>> categories;
    std::map<std::string, EventPool> events;
    // By file and looping.
    std::map<std::pair<std::string, bool>, std::unique_ptr<Sound>> sounds;
    std::vector<std::unique_ptr<Channel>> channels;
    std::uint64_t startCounter = 0;
    ListenerParams listener;
    ListenerParams sentListener;
    bool listenerSent = false;
    OutputChoice outputChoice = OutputChoice::FromEnvironment;
    std::unique_ptr<Output> audioOutput;
    std::unordered_map<SoundId, SoundFileState> soundFiles;
    std::vector<SoundReport> reports;
    std::function<void(Result, const std::string&)> problemHandler;
    std::minstd_rand random{20140827u};
    std::function<double()> clock;
    double lastUpdate = 0.0;
};

} // namespace audio
