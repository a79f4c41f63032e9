#pragma once

// What OpenAL Soft's wave-file writer recorded: the samples of a stereo wave file as floats,
// and their loudness over a stretch of time.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

namespace test {

struct Recording {
    std::vector<float> samples; // interleaved left, right
    int rate = 0;

    std::size_t frameAt(double seconds) const {
        const auto frame = static_cast<long long>(seconds * rate);
        return static_cast<std::size_t>(std::clamp<long long>(frame, 0, static_cast<long long>(samples.size() / 2)));
    }
    // Root mean square of one channel (0 left, 1 right, 2 both) between the two times.
    double rms(double from, double to, int channel = 2) const {
        const std::size_t a = frameAt(from), b = frameAt(to);
        double sum = 0.0;
        std::size_t count = 0;
        for (std::size_t f = a; f < b; ++f)
            for (int c = 0; c < 2; ++c)
                if (channel == 2 || channel == c) {
                    const double s = samples[f * 2 + static_cast<std::size_t>(c)];
                    sum += s * s;
                    ++count;
                }
        return count ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
    }
    // The loudest stretch of the given length between the two times: the root mean square of
    // both channels over it (steps of a tenth of the length).
    double loudest(double from, double to, double stretch) const {
        double best = 0.0;
        for (double at = from; at + stretch <= to + 1e-9; at += stretch / 10.0)
            best = std::max(best, rms(at, at + stretch));
        return best;
    }
    // Seconds of the last sample louder than the level between the two times; negative when none.
    double lastAbove(double from, double to, float level) const {
        for (std::size_t f = frameAt(to); f > frameAt(from); --f)
            if (std::fabs(samples[(f - 1) * 2]) > level || std::fabs(samples[(f - 1) * 2 + 1]) > level)
                return static_cast<double>(f - 1) / rate;
        return -1.0;
    }
    // Seconds of the first sample louder than the level after `from`; negative when none.
    double onset(double from, float level) const {
        for (std::size_t f = frameAt(from); f < samples.size() / 2; ++f)
            if (std::fabs(samples[f * 2]) > level || std::fabs(samples[f * 2 + 1]) > level)
                return static_cast<double>(f) / rate;
        return -1.0;
    }
};

// Empty when the file cannot be read or is not stereo.
inline Recording readRecording(const std::string& path) {
    Recording recording;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return recording;
    if (info.channels == 2) {
        recording.rate = info.samplerate;
        recording.samples.resize(static_cast<std::size_t>(info.frames) * 2);
        recording.samples.resize(
            static_cast<std::size_t>(sf_readf_float(file, recording.samples.data(), info.frames)) * 2);
    }
    sf_close(file);
    return recording;
}

} // namespace test
