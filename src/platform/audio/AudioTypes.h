#pragma once

#include <cstdint>

// Shared types of the audio layer: result codes with their texts, speaker modes, event
// state bits and a plain 3D vector. The layer is shaped like an audio event system (event
// project, events, categories, parameters, plain sounds and channels) and has a null output:
// everything behaves as it would with sound, but nothing is heard.
namespace audio {

enum class Result {
    Ok = 0,
    NotInitialized,
    InvalidHandle,
    InvalidParameter,
    FileNotFound,
    FileBad,
    EventNotFound,
    CategoryNotFound,
    ParameterNotFound,
    NoProjectLoaded,
};

// A short readable text for every result (used in the game's "FMOD ERROR: " lines).
const char* resultText(Result result);

// Speaker modes in the numbering the audio settings use ("Audio_AudioOutput"); -1 there
// means "the output's own mode", which is stereo for the null output.
enum class SpeakerMode : int {
    Raw = 0,
    Mono = 1,
    Stereo = 2,
    Quad = 3,
    Surround = 4,
    FivePointOne = 5,
    SevenPointOne = 6,
};
constexpr SpeakerMode outputSpeakerMode = SpeakerMode::Stereo;

// Event state bits as getState reports them.
constexpr unsigned eventStateReady = 0x01;
constexpr unsigned eventStatePlaying = 0x08;
constexpr unsigned eventStateChannelsActive = 0x10;

class Channel;

// A channel as playSound handed it out. A channel that has ended (or that a newer sound took
// over) is handed out again; each hand-out counts a generation, and a handle of an earlier
// one no longer reaches the channel: stopping, pausing or asking a sound that has ended never
// touches another sound's playing. Such a handle, and an empty one, answers InvalidHandle
// (isPlaying: not playing). Valid, like every handle, until the event system's release().
class ChannelHandle {
public:
    Result stop();
    Result setPaused(bool paused);
    Result getPaused(bool* paused) const;
    Result isPlaying(bool* playing) const;
    Result setVolume(float volume);
    Result getVolume(float* volume) const;
    // The channel while the handle reaches it, else null.
    Channel* get() const;

private:
    friend class EventSystem;
    Channel* channel = nullptr;
    std::uint64_t generation = 0;
};

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    bool operator==(const Vector3&) const = default;
};

} // namespace audio
