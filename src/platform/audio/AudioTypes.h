#pragma once

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

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    bool operator==(const Vector3&) const = default;
};

} // namespace audio
