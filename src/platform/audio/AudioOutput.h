#pragma once

#include "platform/audio/AudioTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Where the event system's sound goes. The event system keeps the game's view (events,
// categories, their clocks); an output only turns voices into sound. Every call comes from
// the main thread and only records what to do: the output reads files, decodes and mixes
// off the main thread, and commit() hands a frame's changes over in one piece.
//
// Coordinates are the game's: x right, y up, z forward (left-handed).
namespace audio {

using SoundId = std::uint32_t;
using VoiceId = std::uint32_t;
constexpr VoiceId noVoice = 0;

// What an output keeps of a sound: a sound up to longestPreloadSeconds is decoded ahead whole;
// a longer one, or one to be streamed, is read while it plays into a queue of streamBuffers
// buffers of streamBufferFrames frames a voice, about 3 s at 44.1 kHz. The queue must outlast
// the stall of a busy machine: a device that then catches up at once (a file writer does)
// mixes what it owes faster than the next refill (0.75 s of queue let the music drop out for
// over a second).
constexpr float longestPreloadSeconds = 30.0f;
constexpr int streamBuffers = 8;
constexpr std::size_t streamBufferFrames = 16384;

// Whether an output streams a sound of that many frames at the rate (asked to or not).
bool isStreamed(std::int64_t frames, int rate, bool stream);
// The bytes of 16-bit samples an output keeps for a sound of that many frames, rate and
// channels (as the decoder gives them): all of them when it is decoded ahead, one voice's
// queue when it is streamed.
std::uint64_t keptSoundBytes(std::int64_t frames, int rate, int channels, bool stream);

// How one voice sounds right now.
struct VoiceParams {
    float gain = 1.0f;
    float pitch = 1.0f;
    bool paused = false;
    // Placed in the world (attenuated and panned from the listener); otherwise it plays
    // as it is, at the listener.
    bool positional = false;
    Vector3 position;
    Vector3 velocity;
    // Full volume up to minDistance; quieter beyond it, no quieter than at maxDistance.
    float minDistance = 1.0f;
    float maxDistance = 1000.0f;

    bool operator==(const VoiceParams&) const = default;
};

struct ListenerParams {
    Vector3 position;
    Vector3 velocity;
    Vector3 forward{0.0f, 0.0f, 1.0f};
    Vector3 up{0.0f, 1.0f, 0.0f};

    bool operator==(const ListenerParams&) const = default;
};

// What the output learnt of a sound file (handed out by takeReports on the main thread).
struct SoundReport {
    SoundId sound = 0;
    Result result = Result::Ok; // FileNotFound or FileBad: its voices play silence
    float seconds = 0.0f;       // the file's play length when Ok
    std::string detail;         // the file, and what is wrong with it
};

class Output {
public:
    virtual ~Output() = default;

    // Which output runs, for the log ("null (...)" or the device).
    virtual const std::string& description() const = 0;
    virtual bool isNull() const = 0;

    // Registers a sound file. Short sounds are decoded ahead into memory; a streamed one is
    // read while it plays. A positional sound is mixed down to one channel (only a single
    // channel can be placed). The file is read later, off the main thread.
    virtual SoundId addSound(const std::string& file, bool stream, bool positional) = 0;
    // Forgets the sound; its voices stop.
    virtual void dropSound(SoundId sound) = 0;

    virtual VoiceId startVoice(SoundId sound, bool loop, const VoiceParams& params) = 0;
    virtual void setVoice(VoiceId voice, const VoiceParams& params) = 0;
    virtual void stopVoice(VoiceId voice) = 0;
    virtual void setListener(const ListenerParams& listener) = 0;

    // Hands everything recorded since the last commit to the mixer.
    virtual void commit() = 0;
    // Moves what was learnt of the sound files since the last call into `out`.
    virtual void takeReports(std::vector<SoundReport>& out) = 0;

    // Seconds of sound the device has played since it opened; negative when unknown.
    virtual double playedSeconds() const = 0;
};

// Nothing is heard; time, voices and files behave as they would with sound.
class NullOutput final : public Output {
public:
    explicit NullOutput(std::string why);
    const std::string& description() const override { return text; }
    bool isNull() const override { return true; }
    SoundId addSound(const std::string&, bool, bool) override { return ++lastSound; }
    void dropSound(SoundId) override {}
    VoiceId startVoice(SoundId, bool, const VoiceParams&) override { return ++lastVoice; }
    void setVoice(VoiceId, const VoiceParams&) override {}
    void stopVoice(VoiceId) override {}
    void setListener(const ListenerParams&) override {}
    void commit() override {}
    void takeReports(std::vector<SoundReport>&) override {}
    double playedSeconds() const override { return -1.0; }

private:
    std::string text;
    SoundId lastSound = 0;
    VoiceId lastVoice = 0;
};

enum class OutputChoice {
    // The environment's PADDLESTONE_AUDIO_OUTPUT ("null" or "openal"); unset: automatic.
    FromEnvironment,
    // OpenAL Soft when a device opens, else the null output.
    Automatic,
    Null,
    OpenAL,
};

// The output the choice asks for; the null output when no device opens (its description
// says why). Never null.
std::unique_ptr<Output> createOutput(OutputChoice choice, SpeakerMode mode);

} // namespace audio
