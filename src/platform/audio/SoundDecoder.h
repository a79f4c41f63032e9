#pragma once

#include "platform/audio/AudioTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace audio {

// One sound file read through libsndfile as 16-bit samples, mixed down to one channel
// (a placed sound) or at most two.
class SoundDecoder {
public:
    SoundDecoder() = default;
    ~SoundDecoder();
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;

    // FileNotFound when there is no such file; FileBad, with what is wrong in `detail`, for
    // a file that is no sound or holds none. `detail` calls the file by `name`.
    Result open(const std::string& path, const std::string& name, bool mono, std::string& detail);
    // Up to `frames` frames into `out` (frames x channels() samples); the frames read.
    std::size_t read(std::int16_t* out, std::size_t frames);
    // The same in pieces of pieceFrames, asking `goOn` before each: a long file is decoded
    // for seconds, and the caller (the audio thread, when the game quits) must be heard
    // within a piece. Fewer frames when `goOn` said no.
    std::size_t read(std::int16_t* out, std::size_t frames, const std::function<bool()>& goOn);
    // A tenth of a second at the highest rate taken: a few milliseconds' work.
    static constexpr std::size_t pieceFrames = 32768;
    bool rewind();

    int channels() const { return outChannels; }
    int sampleRate() const { return rate; }
    std::int64_t frames() const { return totalFrames; }
    float seconds() const { return rate > 0 ? static_cast<float>(totalFrames) / static_cast<float>(rate) : 0.0f; }

private:
    SNDFILE* file = nullptr;
    int fileChannels = 0;
    int outChannels = 0;
    int rate = 0;
    std::int64_t totalFrames = 0;
    std::vector<std::int16_t> scratch;
};

} // namespace audio
