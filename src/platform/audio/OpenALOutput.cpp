#include "platform/audio/OpenALOutput.h"

#include "platform/audio/SoundDecoder.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

namespace audio {

namespace {

// The audio thread looks after its streams at least this often.
constexpr auto audioTick = std::chrono::milliseconds(8);
constexpr std::size_t mostSources = 128;
// A frame's starts wait for the device's next mix at most this many frames (a tenth of a
// second at 60 frames a second), looking this often.
constexpr std::uint64_t heldFrames = 6;
constexpr auto heldLook = std::chrono::milliseconds(1);

enum class CommandType { AddSound, DropSound, Start, Set, Stop, Listener };

struct Command {
    CommandType type = CommandType::Set;
    SoundId sound = 0;
    VoiceId voice = noVoice;
    bool loop = false;
    bool stream = false;
    bool positional = false;
    VoiceParams params;
    ListenerParams listener;
    std::string file;
    std::string path;
    std::uint64_t frame = 0; // the commit that handed it over
};

struct LoadedSound {
    enum class State { Pending, Ready, Bad };
    std::string file; // as the caller named it, for the reports
    std::string path; // what the audio thread opens
    bool positional = false;
    bool streamed = false;
    State state = State::Pending;
    ALuint buffer = 0;
};

struct PlayingVoice {
    SoundId sound = 0;
    ALuint source = 0;
    bool loop = false;
    bool paused = false;
    std::uint64_t order = 0;
    VoiceParams applied;
    // Streamed voices only.
    std::unique_ptr<SoundDecoder> decoder;
    ALuint buffers[streamBuffers] = {};
    bool streamEnded = false;
};

using DeferUpdates = void(AL_APIENTRY*)();
using SetThreadContext = ALCboolean(ALC_APIENTRY*)(ALCcontext*);
using GetInteger64 = void(ALC_APIENTRY*)(ALCdevice*, ALCenum, ALCsizei, ALCint64SOFT*);

// The game is left-handed (z forward), OpenAL right-handed (z backward).
void alVector(ALuint source, ALenum what, const Vector3& v) { alSource3f(source, what, v.x, v.y, -v.z); }

class OpenALOutput final : public Output {
public:
    OpenALOutput(ALCdevice* openDevice, ALCcontext* openContext, std::string text)
        : device(openDevice), context(openContext), text(std::move(text)) {
        // The engine changes the working folder for a moment while it loads a font on the
        // main thread: the audio thread opens files by absolute path, from the folder of
        // the start.
        std::error_code error;
        startFolder = std::filesystem::current_path(error);
        setThreadContext = reinterpret_cast<SetThreadContext>(alcGetProcAddress(nullptr, "alcSetThreadContext"));
        if (alcIsExtensionPresent(device, "ALC_SOFT_device_clock"))
            getInteger64 = reinterpret_cast<GetInteger64>(alcGetProcAddress(device, "alcGetInteger64vSOFT"));
        pending.reserve(256);
        thread = std::thread([this] { run(); });
    }

    ~OpenALOutput() override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            quit = true; // seen between commands and between the pieces of a decode
        }
        wake.notify_one();
        thread.join();
        alcDestroyContext(context);
        alcCloseDevice(device);
    }

    const std::string& description() const override { return text; }
    bool isNull() const override { return false; }

    SoundId addSound(const std::string& file, bool stream, bool positional) override {
        Command command;
        command.type = CommandType::AddSound;
        command.sound = ++lastSound;
        command.stream = stream;
        command.positional = positional;
        command.file = file;
        const std::filesystem::path named(file);
        command.path = named.is_absolute() || startFolder.empty() ? file : (startFolder / named).string();
        pending.push_back(std::move(command));
        return lastSound;
    }

    void dropSound(SoundId sound) override {
        Command command;
        command.type = CommandType::DropSound;
        command.sound = sound;
        pending.push_back(std::move(command));
    }

    VoiceId startVoice(SoundId sound, bool loop, const VoiceParams& params) override {
        Command command;
        command.type = CommandType::Start;
        command.sound = sound;
        command.voice = ++lastVoice;
        command.loop = loop;
        command.params = params;
        pending.push_back(std::move(command));
        return lastVoice;
    }

    void setVoice(VoiceId voice, const VoiceParams& params) override {
        Command command;
        command.type = CommandType::Set;
        command.voice = voice;
        command.params = params;
        pending.push_back(std::move(command));
    }

    void stopVoice(VoiceId voice) override {
        Command command;
        command.type = CommandType::Stop;
        command.voice = voice;
        pending.push_back(std::move(command));
    }

    void setListener(const ListenerParams& listener) override {
        Command command;
        command.type = CommandType::Listener;
        command.listener = listener;
        pending.push_back(std::move(command));
    }

    void commit() override {
        if (pending.empty())
            return;
        ++committed;
        for (Command& command : pending)
            command.frame = committed;
        {
            std::lock_guard<std::mutex> lock(mutex);
            std::move(pending.begin(), pending.end(), std::back_inserter(queue));
        }
        pending.clear();
        wake.notify_one();
    }

    void takeReports(std::vector<SoundReport>& out) override {
        std::lock_guard<std::mutex> lock(mutex);
        std::move(reports.begin(), reports.end(), std::back_inserter(out));
        reports.clear();
    }

    double playedSeconds() const override {
        if (!getInteger64)
            return -1.0;
        ALCint64SOFT nanoseconds = 0;
        getInteger64(device, ALC_DEVICE_CLOCK_SOFT, 1, &nanoseconds);
        return static_cast<double>(nanoseconds) * 1e-9;
    }

private:
    // --- the audio thread ----------------------------------------------------------------

    void run() {
        if (setThreadContext)
            setThreadContext(context);
        else
            alcMakeContextCurrent(context);
        deferUpdates = reinterpret_cast<DeferUpdates>(alGetProcAddress("alDeferUpdatesSOFT"));
        processUpdates = reinterpret_cast<DeferUpdates>(alGetProcAddress("alProcessUpdatesSOFT"));
        alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
        // The game's objects report no velocities worth a pitch shift.
        alDopplerFactor(0.0f);

        bool held = false;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                const auto wait = held ? heldLook : loadQueue.empty() ? audioTick : std::chrono::milliseconds(0);
                wake.wait_for(lock, wait, [this] { return quit || !queue.empty(); });
                if (quit)
                    break;
                std::move(queue.begin(), queue.end(), std::back_inserter(work));
                queue.clear();
            }
            held = !applyFrames();
            serviceVoices();
            if (!loadQueue.empty()) {
                const SoundId next = loadQueue.front();
                loadQueue.pop_front();
                auto it = sounds.find(next);
                if (it != sounds.end() && it->second.state == LoadedSound::State::Pending)
                    load(next, it->second);
            }
            if (!newReports.empty()) {
                std::lock_guard<std::mutex> lock(mutex);
                std::move(newReports.begin(), newReports.end(), std::back_inserter(reports));
                newReports.clear();
            }
        }

        while (!voices.empty())
            freeVoice(voices.begin());
        for (auto& entry : sounds)
            if (entry.second.buffer)
                alDeleteBuffers(1, &entry.second.buffer);
        sounds.clear();
        if (!freeSources.empty())
            alDeleteSources(static_cast<ALsizei>(freeSources.size()), freeSources.data());
        freeSources.clear();
        if (setThreadContext)
            setThreadContext(nullptr);
        else
            alcMakeContextCurrent(nullptr);
    }

    // Applies the committed frames in order, each in one batch (the mixer takes a frame's
    // changes together); false when a frame is held back. A frame that starts voices waits
    // while the device has not mixed since the last frame that did: started in the same mix
    // they would begin on the same sample, and what a busy machine's held-up mixer gathers
    // from several frames would add up to twice as loud and more. It waits no longer than
    // until heldFrames more frames have come.
    bool applyFrames() {
        while (!work.empty() && !quit) {
            const std::uint64_t frame = work.front().frame;
            const auto end = std::find_if(work.begin(), work.end(), [frame](const Command& c) { return c.frame != frame; });
            const bool starts =
                std::any_of(work.begin(), end, [](const Command& c) { return c.type == CommandType::Start; });
            if (starts && startedClock >= 0.0 && playedSeconds() == startedClock && work.back().frame - frame < heldFrames)
                return false;
            if (deferUpdates)
                deferUpdates();
            for (auto it = work.begin(); it != end && !quit; ++it)
                apply(*it);
            if (processUpdates)
                processUpdates();
            work.erase(work.begin(), end);
            if (starts)
                startedClock = playedSeconds();
        }
        return true;
    }

    void apply(Command& command) {
        switch (command.type) {
        case CommandType::AddSound: {
            LoadedSound& sound = sounds[command.sound];
            sound.file = std::move(command.file);
            sound.path = std::move(command.path);
            sound.streamed = command.stream;
            sound.positional = command.positional;
            loadQueue.push_back(command.sound);
            break;
        }
        case CommandType::DropSound: {
            auto it = sounds.find(command.sound);
            if (it == sounds.end())
                break;
            for (auto voice = voices.begin(); voice != voices.end();)
                voice = voice->second.sound == command.sound ? freeVoice(voice) : std::next(voice);
            if (it->second.buffer)
                alDeleteBuffers(1, &it->second.buffer);
            sounds.erase(it);
            break;
        }
        case CommandType::Start:
            start(command);
            break;
        case CommandType::Set: {
            auto it = voices.find(command.voice);
            if (it != voices.end())
                applyParams(it->second, command.params, false);
            break;
        }
        case CommandType::Stop: {
            auto it = voices.find(command.voice);
            if (it != voices.end())
                freeVoice(it);
            break;
        }
        case CommandType::Listener: {
            const ListenerParams& l = command.listener;
            alListener3f(AL_POSITION, l.position.x, l.position.y, -l.position.z);
            alListener3f(AL_VELOCITY, l.velocity.x, l.velocity.y, -l.velocity.z);
            const ALfloat orientation[6] = {l.forward.x, l.forward.y, -l.forward.z, l.up.x, l.up.y, -l.up.z};
            alListenerfv(AL_ORIENTATION, orientation);
            break;
        }
        }
    }

    void report(SoundId id, Result result, float seconds, std::string detail) {
        newReports.push_back(SoundReport{id, result, seconds, std::move(detail)});
    }

    void load(SoundId id, LoadedSound& sound) {
        SoundDecoder decoder;
        std::string detail;
        const Result opened = decoder.open(sound.path, sound.file, sound.positional, detail);
        if (opened != Result::Ok) {
            sound.state = LoadedSound::State::Bad;
            report(id, opened, 0.0f, detail);
            return;
        }
        sound.streamed = isStreamed(decoder.frames(), decoder.sampleRate(), sound.streamed);
        if (!sound.streamed) {
            const auto frames = static_cast<std::size_t>(decoder.frames());
            std::vector<std::int16_t> samples(frames * static_cast<std::size_t>(decoder.channels()));
            const std::size_t got = decoder.read(samples.data(), frames, [this] { return !quit; });
            if (quit)
                return; // the sound stays pending: nothing will play it
            if (got < frames) {
                sound.state = LoadedSound::State::Bad;
                report(id, Result::FileBad, 0.0f, sound.file + ": cut short or damaged");
                return;
            }
            alGetError();
            alGenBuffers(1, &sound.buffer);
            alBufferData(sound.buffer, decoder.channels() == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16,
                         samples.data(), static_cast<ALsizei>(samples.size() * sizeof(std::int16_t)),
                         decoder.sampleRate());
            if (alGetError() != AL_NO_ERROR) {
                if (sound.buffer)
                    alDeleteBuffers(1, &sound.buffer);
                sound.buffer = 0;
                sound.state = LoadedSound::State::Bad;
                report(id, Result::FileBad, 0.0f, sound.file + ": the device refused its samples");
                return;
            }
        }
        sound.state = LoadedSound::State::Ready;
        report(id, Result::Ok, decoder.seconds(), sound.file);
    }

    ALuint takeSource() {
        if (!freeSources.empty()) {
            const ALuint source = freeSources.back();
            freeSources.pop_back();
            return source;
        }
        if (sourceCount < mostSources) {
            alGetError();
            ALuint source = 0;
            alGenSources(1, &source);
            if (alGetError() == AL_NO_ERROR) {
                ++sourceCount;
                return source;
            }
        }
        // Every source plays: the oldest one-shot gives way.
        auto oldest = voices.end();
        for (auto it = voices.begin(); it != voices.end(); ++it)
            if (!it->second.loop && (oldest == voices.end() || it->second.order < oldest->second.order))
                oldest = it;
        if (oldest == voices.end())
            return 0;
        freeVoice(oldest);
        return takeSource();
    }

    void start(const Command& command) {
        auto found = sounds.find(command.sound);
        if (found == sounds.end())
            return;
        LoadedSound& sound = found->second;
        if (sound.state == LoadedSound::State::Pending)
            load(command.sound, sound);
        if (sound.state != LoadedSound::State::Ready)
            return; // a file that cannot be played plays silence
        const ALuint source = takeSource();
        if (!source)
            return;

        PlayingVoice voice;
        voice.sound = command.sound;
        voice.source = source;
        voice.loop = command.loop;
        voice.order = ++startCounter;
        if (sound.streamed) {
            voice.decoder = std::make_unique<SoundDecoder>();
            std::string detail;
            if (voice.decoder->open(sound.path, sound.file, sound.positional, detail) != Result::Ok) {
                freeSources.push_back(source);
                return;
            }
            alGenBuffers(streamBuffers, voice.buffers);
            alSourcei(source, AL_LOOPING, AL_FALSE);
            for (ALuint buffer : voice.buffers)
                if (fillStreamBuffer(voice, buffer))
                    alSourceQueueBuffers(source, 1, &buffer);
        } else {
            alSourcei(source, AL_BUFFER, static_cast<ALint>(sound.buffer));
            alSourcei(source, AL_LOOPING, command.loop ? AL_TRUE : AL_FALSE);
        }
        auto inserted = voices.emplace(command.voice, std::move(voice)).first;
        applyParams(inserted->second, command.params, true);
        if (!command.params.paused)
            alSourcePlay(source);
    }

    void applyParams(PlayingVoice& voice, const VoiceParams& params, bool everything) {
        const ALuint source = voice.source;
        const VoiceParams& old = voice.applied;
        if (everything || params.gain != old.gain)
            alSourcef(source, AL_GAIN, std::max(0.0f, params.gain));
        if (everything || params.pitch != old.pitch)
            alSourcef(source, AL_PITCH, std::clamp(params.pitch, 0.1f, 4.0f));
        if (everything || params.positional != old.positional) {
            alSourcei(source, AL_SOURCE_RELATIVE, params.positional ? AL_FALSE : AL_TRUE);
            if (!params.positional)
                alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
        }
        if (params.positional) {
            if (everything || params.position != old.position || params.positional != old.positional)
                alVector(source, AL_POSITION, params.position);
            if (everything || params.velocity != old.velocity)
                alVector(source, AL_VELOCITY, params.velocity);
            if (everything || params.minDistance != old.minDistance || params.maxDistance != old.maxDistance) {
                alSourcef(source, AL_REFERENCE_DISTANCE, std::max(0.001f, params.minDistance));
                alSourcef(source, AL_MAX_DISTANCE, std::max(params.minDistance, params.maxDistance));
            }
        }
        if (!everything && params.paused != voice.paused) {
            // A voice that has already played to its end stays ended.
            ALint state = AL_STOPPED;
            alGetSourcei(source, AL_SOURCE_STATE, &state);
            if (params.paused && state == AL_PLAYING)
                alSourcePause(source);
            else if (!params.paused && (state == AL_PAUSED || state == AL_INITIAL))
                alSourcePlay(source);
        }
        voice.paused = params.paused;
        voice.applied = params;
    }

    // Fills the buffer from the voice's file (from its start again when it loops); false when
    // the file has nothing more to give.
    bool fillStreamBuffer(PlayingVoice& voice, ALuint buffer) {
        if (voice.streamEnded || quit)
            return false;
        SoundDecoder& decoder = *voice.decoder;
        const auto channels = static_cast<std::size_t>(decoder.channels());
        streamSamples.resize(streamBufferFrames * channels);
        std::size_t frames = decoder.read(streamSamples.data(), streamBufferFrames);
        while (frames < streamBufferFrames && voice.loop && decoder.rewind()) {
            const std::size_t more = decoder.read(streamSamples.data() + frames * channels, streamBufferFrames - frames);
            if (more == 0)
                break;
            frames += more;
        }
        if (frames == 0) {
            voice.streamEnded = true;
            return false;
        }
        alBufferData(buffer, channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, streamSamples.data(),
                     static_cast<ALsizei>(frames * channels * sizeof(std::int16_t)), decoder.sampleRate());
        return true;
    }

    // Refills the streams and lets the voices that have ended go.
    void serviceVoices() {
        for (auto it = voices.begin(); it != voices.end();) {
            PlayingVoice& voice = it->second;
            if (voice.decoder) {
                ALint processed = 0;
                alGetSourcei(voice.source, AL_BUFFERS_PROCESSED, &processed);
                while (processed-- > 0) {
                    ALuint buffer = 0;
                    alSourceUnqueueBuffers(voice.source, 1, &buffer);
                    if (fillStreamBuffer(voice, buffer))
                        alSourceQueueBuffers(voice.source, 1, &buffer);
                }
            }
            // The state after the refill: a stream that ran dry meanwhile counts every buffer
            // queued since as played, and would skip them at the next look.
            ALint state = AL_STOPPED;
            alGetSourcei(voice.source, AL_SOURCE_STATE, &state);
            bool finished = state == AL_STOPPED;
            if (voice.decoder) {
                ALint queued = 0;
                alGetSourcei(voice.source, AL_BUFFERS_QUEUED, &queued);
                // Stopped with samples queued: the stream ran dry for a moment and plays on.
                finished = state == AL_STOPPED && queued == 0;
                if (state == AL_STOPPED && queued > 0 && !voice.paused)
                    alSourcePlay(voice.source);
            }
            if (finished)
                it = freeVoice(it);
            else
                ++it;
        }
    }

    std::unordered_map<VoiceId, PlayingVoice>::iterator
    freeVoice(std::unordered_map<VoiceId, PlayingVoice>::iterator it) {
        PlayingVoice& voice = it->second;
        alSourceStop(voice.source);
        alSourcei(voice.source, AL_BUFFER, 0);
        if (voice.decoder)
            alDeleteBuffers(streamBuffers, voice.buffers);
        freeSources.push_back(voice.source);
        return voices.erase(it);
    }

    ALCdevice* device;
    ALCcontext* context;
    std::string text;
    SetThreadContext setThreadContext = nullptr;
    GetInteger64 getInteger64 = nullptr;

    // Main thread.
    std::filesystem::path startFolder;
    std::vector<Command> pending;
    std::uint64_t committed = 0;
    SoundId lastSound = 0;
    VoiceId lastVoice = noVoice;

    // Shared, under the mutex.
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<Command> queue;
    std::vector<SoundReport> reports;
    std::atomic<bool> quit = false;

    // Audio thread.
    DeferUpdates deferUpdates = nullptr;
    DeferUpdates processUpdates = nullptr;
    std::deque<Command> work; // committed, not applied yet
    double startedClock = -1.0; // the device's clock after the last frame that started voices
    std::unordered_map<SoundId, LoadedSound> sounds;
    std::unordered_map<VoiceId, PlayingVoice> voices;
    std::deque<SoundId> loadQueue;
    std::vector<SoundReport> newReports;
    std::vector<ALuint> freeSources;
    std::vector<std::int16_t> streamSamples;
    std::size_t sourceCount = 0;
    std::uint64_t startCounter = 0;

    std::thread thread;
};

} // namespace

std::unique_ptr<Output> openOpenALLoopbackOutput(int rate, std::function<void(std::int16_t*, int)>& render,
                                                 std::string& problem) {
    using OpenLoopback = ALCdevice*(ALC_APIENTRY*)(const ALCchar*);
    using RenderSamples = void(ALC_APIENTRY*)(ALCdevice*, ALCvoid*, ALCsizei);
    const auto openLoopback = reinterpret_cast<OpenLoopback>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    const auto renderSamples = reinterpret_cast<RenderSamples>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    ALCdevice* device = openLoopback && renderSamples ? openLoopback(nullptr) : nullptr;
    if (!device) {
        problem = "OpenAL Soft has no loopback device";
        return nullptr;
    }
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_SHORT_SOFT,
                                 ALC_FREQUENCY, rate, 0};
    ALCcontext* context = alcCreateContext(device, attributes);
    if (!context) {
        problem = "OpenAL Soft refused the loopback format";
        alcCloseDevice(device);
        return nullptr;
    }
    render = [device, renderSamples](std::int16_t* frames, int count) { renderSamples(device, frames, count); };
    return std::make_unique<OpenALOutput>(device, context, "OpenAL Soft (loopback, " + std::to_string(rate) + " Hz)");
}

std::unique_ptr<Output> openOpenALOutput(SpeakerMode, std::string& problem) {
    // The device's own channel layout plays (OpenAL Soft's configuration chooses it).
    ALCdevice* device = alcOpenDevice(nullptr);
    if (!device) {
        problem = "OpenAL Soft found none";
        return nullptr;
    }
    ALCcontext* context = alcCreateContext(device, nullptr);
    if (!context) {
        problem = "OpenAL Soft could not start its mixer";
        alcCloseDevice(device);
        return nullptr;
    }
    ALCint frequency = 0;
    alcGetIntegerv(device, ALC_FREQUENCY, 1, &frequency);
    const char* name = alcGetString(device, ALC_DEVICE_SPECIFIER);
    std::string text = std::string("OpenAL Soft (") + (name ? name : "default device") + ", " +
                       std::to_string(frequency) + " Hz)";
    return std::make_unique<OpenALOutput>(device, context, std::move(text));
}

} // namespace audio
