#include "platform/audio/SoundDecoder.h"

#include <sndfile.h>

#include <sys/stat.h>

#include <algorithm>

namespace audio {

namespace {
// Limits of what the game accepts as a sound (guards against a damaged header).
constexpr int decoderMaxChannels = 8;
constexpr int decoderMaxRate = 384000;
} // namespace

SoundDecoder::~SoundDecoder() {
    if (file)
        sf_close(file);
}

Result SoundDecoder::open(const std::string& path, const std::string& name, bool mono, std::string& detail) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        detail = name;
        return Result::FileNotFound;
    }
    SF_INFO info{};
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        detail = name + ": " + sf_strerror(nullptr);
        return Result::FileBad;
    }
    if (info.channels < 1 || info.channels > decoderMaxChannels || info.samplerate < 1 ||
        info.samplerate > decoderMaxRate) {
        detail = name + ": unusable format";
        return Result::FileBad;
    }
    if (info.frames <= 0) {
        detail = name + ": holds no sound";
        return Result::FileBad;
    }
    fileChannels = info.channels;
    outChannels = mono ? 1 : std::min(info.channels, 2);
    rate = info.samplerate;
    totalFrames = info.frames;
    return Result::Ok;
}

std::size_t SoundDecoder::read(std::int16_t* out, std::size_t frames) {
    if (!file || frames == 0)
        return 0;
    if (fileChannels == outChannels)
        return static_cast<std::size_t>(sf_readf_short(file, out, static_cast<sf_count_t>(frames)));
    scratch.resize(frames * static_cast<std::size_t>(fileChannels));
    const auto got = static_cast<std::size_t>(sf_readf_short(file, scratch.data(), static_cast<sf_count_t>(frames)));
    for (std::size_t frame = 0; frame < got; ++frame) {
        const std::int16_t* in = scratch.data() + frame * static_cast<std::size_t>(fileChannels);
        if (outChannels == 1) {
            int sum = 0;
            for (int channel = 0; channel < fileChannels; ++channel)
                sum += in[channel];
            out[frame] = static_cast<std::int16_t>(sum / fileChannels);
        } else {
            // More than two channels: the front pair.
            out[frame * 2] = in[0];
            out[frame * 2 + 1] = in[1];
        }
    }
    return got;
}

std::size_t SoundDecoder::read(std::int16_t* out, std::size_t frames, const std::function<bool()>& goOn) {
    std::size_t done = 0;
    while (done < frames && goOn()) {
        const std::size_t got = read(out + done * static_cast<std::size_t>(outChannels), std::min(pieceFrames, frames - done));
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

bool SoundDecoder::rewind() { return file && sf_seek(file, 0, SEEK_SET) == 0; }

} // namespace audio
