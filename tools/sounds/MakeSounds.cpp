// The sound tool: synthesises every sound of the game (menu clicks and chimes, whooshes,
// thuds, splashes, the characters' stingers and the menu music loop) and writes them to
// Content/Audio/Sounds. Effects are 16-bit mono WAV at 44.1 kHz; the music is a stereo Ogg
// Vorbis loop. The output is committed; run it from the repository root after a change:
//   build/test/tools/sounds/make_sounds [output folder]
// Everything is made from oscillators, filtered noise and envelopes with a fixed seed, so a
// run writes the same sounds every time.
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int sampleRate = 44100;
constexpr double pi = 3.14159265358979323846;

using Signal = std::vector<float>;

int frames(double seconds) { return static_cast<int>(std::lround(seconds * sampleRate)); }

// A small deterministic noise source.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state(seed ? seed : 1u) {}
    float next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(state) / 2147483648.0f - 1.0f;
    }

private:
    std::uint32_t state;
};

// RBJ biquad filter.
class Biquad {
public:
    enum class Kind { LowPass, HighPass, BandPass };
    Biquad(Kind kind, double frequency, double q) : kind(kind), q(q) { tune(frequency); }
    void tune(double frequency) {
        frequency = std::clamp(frequency, 20.0, sampleRate * 0.45);
        const double w = 2.0 * pi * frequency / sampleRate;
        const double alpha = std::sin(w) / (2.0 * q);
        const double c = std::cos(w);
        double b0 = 0, b1 = 0, b2 = 0;
        switch (kind) {
        case Kind::LowPass:
            b0 = (1 - c) / 2, b1 = 1 - c, b2 = (1 - c) / 2;
            break;
        case Kind::HighPass:
            b0 = (1 + c) / 2, b1 = -(1 + c), b2 = (1 + c) / 2;
            break;
        case Kind::BandPass:
            b0 = alpha, b1 = 0, b2 = -alpha;
            break;
        }
        const double a0 = 1 + alpha;
        n0 = b0 / a0, n1 = b1 / a0, n2 = b2 / a0, d1 = -2 * c / a0, d2 = (1 - alpha) / a0;
    }
    float process(float in) {
        const double out = n0 * in + n1 * x1 + n2 * x2 - d1 * y1 - d2 * y2;
        x2 = x1, x1 = in, y2 = y1, y1 = out;
        return static_cast<float>(out);
    }

private:
    Kind kind;
    double q;
    double n0 = 0, n1 = 0, n2 = 0, d1 = 0, d2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// Attack then exponential decay: 1 at the end of the attack, e^-1 every `decay` seconds.
float envelope(double t, double attack, double decay) {
    if (t < 0)
        return 0.0f;
    if (t < attack)
        return static_cast<float>(t / attack);
    return static_cast<float>(std::exp(-(t - attack) / decay));
}

// A fade over the last `seconds` of a signal of `length` seconds, so nothing ends in a click.
float tailFade(double t, double length, double seconds) {
    return static_cast<float>(std::clamp((length - t) / seconds, 0.0, 1.0));
}

double noteHz(int semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

// A sine whose frequency glides from `from` to `to` over the signal, times an envelope.
Signal sweep(double seconds, double from, double to, double attack, double decay, bool squareish = false) {
    Signal out(static_cast<std::size_t>(frames(seconds)));
    double phase = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double f = from * std::pow(to / from, t / seconds);
        phase += 2.0 * pi * f / sampleRate;
        double s = std::sin(phase);
        if (squareish)
            s = std::tanh(3.0 * s) * 0.8;
        out[i] = static_cast<float>(s) * envelope(t, attack, decay) * tailFade(t, seconds, 0.01);
    }
    return out;
}

// Notes one after the other, each a soft bell (sine with a quiet octave).
Signal notes(const std::vector<int>& semitones, double step, double ring, double seconds) {
    Signal out(static_cast<std::size_t>(frames(seconds)), 0.0f);
    for (std::size_t n = 0; n < semitones.size(); ++n) {
        const double f = noteHz(semitones[n]);
        const int start = frames(step * static_cast<double>(n));
        for (int i = start; i < static_cast<int>(out.size()); ++i) {
            const double t = static_cast<double>(i - start) / sampleRate;
            const double s = std::sin(2 * pi * f * t) + 0.3 * std::sin(4 * pi * f * t);
            out[static_cast<std::size_t>(i)] += static_cast<float>(s) * envelope(t, 0.004, ring) * 0.5f;
        }
    }
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] *= tailFade(static_cast<double>(i) / sampleRate, seconds, 0.05);
    return out;
}

// Filtered noise whose filter frequency moves from `from` to `to`, shaped by `shape` (t in s).
Signal noise(double seconds, Biquad::Kind kind, double from, double to, double q, std::uint32_t seed,
             const std::function<float(double)>& shape) {
    Signal out(static_cast<std::size_t>(frames(seconds)));
    Noise source(seed);
    Biquad filter(kind, from, q);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        if (i % 32 == 0)
            filter.tune(from * std::pow(to / from, t / seconds));
        out[i] = filter.process(source.next()) * shape(t) * tailFade(t, seconds, 0.01);
    }
    return out;
}

Signal mix(std::initializer_list<std::pair<const Signal*, float>> parts) {
    std::size_t length = 0;
    for (const auto& part : parts)
        length = std::max(length, part.first->size());
    Signal out(length, 0.0f);
    for (const auto& part : parts)
        for (std::size_t i = 0; i < part.first->size(); ++i)
            out[i] += (*part.first)[i] * part.second;
    return out;
}

// Scales the peak to `peak`.
void normalise(Signal& signal, float peak) {
    float highest = 0.0f;
    for (float s : signal)
        highest = std::max(highest, std::fabs(s));
    if (highest > 0.0f)
        for (float& s : signal)
            s *= peak / highest;
}

bool writeFile(const std::string& path, const std::vector<float>& interleaved, int channels, int format) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS) {
        double quality = 0.45;
        sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof(quality));
    }
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
    sf_close(file);
    std::printf("%-28s %6.3f s\n", path.substr(path.find_last_of('/') + 1).c_str(),
                static_cast<double>(interleaved.size() / channels) / sampleRate);
    return true;
}

bool writeEffect(const std::string& folder, const char* name, Signal signal, float peak) {
    normalise(signal, peak);
    return writeFile(folder + "/" + name + ".wav", signal, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

// --- the effects ---------------------------------------------------------------------------------

// A crisp tick with a short wooden ring after it.
Signal click() {
    Signal tone = sweep(0.15, 2400, 1800, 0.0005, 0.008);
    Signal tick = noise(0.15, Biquad::Kind::HighPass, 3000, 3000, 0.7, 11, [](double t) { return envelope(t, 0.0003, 0.004); });
    Signal ring = sweep(0.15, 900, 880, 0.001, 0.03);
    return mix({{&tone, 0.7f}, {&tick, 0.5f}, {&ring, 0.25f}});
}

Signal hover() { return sweep(0.05, 3300, 3000, 0.001, 0.008); }

Signal tick() {
    Signal body = sweep(0.08, 1500, 1400, 0.0005, 0.012, true);
    Signal edge = noise(0.08, Biquad::Kind::BandPass, 5000, 5000, 2.0, 12, [](double t) { return envelope(t, 0.0002, 0.003); });
    return mix({{&body, 0.6f}, {&edge, 0.6f}});
}

Signal whoosh(double seconds, double from, double to, std::uint32_t seed) {
    return noise(seconds, Biquad::Kind::BandPass, from, to, 1.2, seed, [seconds](double t) {
        const double x = t / seconds;
        return static_cast<float>(std::sin(pi * x) * std::sin(pi * x));
    });
}

Signal buzz() {
    Signal out(static_cast<std::size_t>(frames(0.32)));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double gate = (t < 0.12 || (t > 0.17 && t < 0.29)) ? 1.0 : 0.0;
        const double s = std::tanh(4.0 * std::sin(2 * pi * 140 * t)) + 0.4 * std::sin(2 * pi * 280 * t);
        out[i] = static_cast<float>(s * gate) * tailFade(t, 0.32, 0.02);
    }
    Biquad smooth(Biquad::Kind::LowPass, 2500, 0.7);
    for (float& s : out)
        s = smooth.process(s);
    return out;
}

Signal thud(double seconds, double from, double to, std::uint32_t seed, double brightness) {
    Signal body = sweep(seconds, from, to, 0.002, seconds / 4.5);
    Signal knock = noise(seconds, Biquad::Kind::LowPass, brightness, brightness / 3, 0.8, seed,
                         [](double t) { return envelope(t, 0.0005, 0.02); });
    // A woody rattle: a few quick taps after the hit.
    Signal rattle = noise(seconds, Biquad::Kind::BandPass, 900, 700, 3.0, seed + 1, [](double t) {
        return envelope(t, 0.001, 0.05) * static_cast<float>(0.5 + 0.5 * std::sin(2 * pi * 37 * t));
    });
    return mix({{&body, 0.8f}, {&knock, 0.9f}, {&rattle, 0.35f}});
}

Signal crash() {
    Signal out(static_cast<std::size_t>(frames(0.8)), 0.0f);
    const double starts[] = {0.0, 0.03, 0.07, 0.12, 0.2, 0.31};
    for (int n = 0; n < 6; ++n) {
        Signal piece = noise(0.8 - starts[n], Biquad::Kind::BandPass, 2500 + 900 * n, 1800, 1.5,
                             static_cast<std::uint32_t>(40 + n), [n](double t) { return envelope(t, 0.0005, 0.06 + 0.02 * n); });
        const int offset = frames(starts[n]);
        for (std::size_t i = 0; i < piece.size() && i + static_cast<std::size_t>(offset) < out.size(); ++i)
            out[i + static_cast<std::size_t>(offset)] += piece[i] * (n == 0 ? 1.0f : 0.6f);
    }
    Signal low = thud(0.8, 110, 50, 49, 900);
    return mix({{&out, 1.0f}, {&low, 0.6f}});
}

// Water: a low plop into a falling hiss, then bubbles.
Signal splash(double seconds, std::uint32_t seed) {
    Signal plop = sweep(0.25, 320, 90, 0.002, 0.06);
    Signal hiss = noise(seconds, Biquad::Kind::LowPass, 6000, 700, 0.9, seed, [](double t) { return envelope(t, 0.01, 0.15); });
    Signal bubbles(static_cast<std::size_t>(frames(seconds)), 0.0f);
    Noise dice(seed + 7);
    for (int b = 0; b < 9; ++b) {
        const double start = 0.08 + (dice.next() * 0.5 + 0.5) * (seconds - 0.25);
        const double f = 500 + (dice.next() * 0.5 + 0.5) * 900;
        Signal bubble = sweep(0.06, f, f * 1.8, 0.002, 0.015);
        const int offset = frames(start);
        for (std::size_t i = 0; i < bubble.size() && i + static_cast<std::size_t>(offset) < bubbles.size(); ++i)
            bubbles[i + static_cast<std::size_t>(offset)] += bubble[i];
    }
    return mix({{&plop, 0.7f}, {&hiss, 1.0f}, {&bubbles, 0.25f}});
}

Signal swim() {
    Signal first = whoosh(0.6, 500, 1400, 61);
    Signal second = whoosh(0.6, 600, 1600, 62);
    Signal out(static_cast<std::size_t>(frames(1.2)), 0.0f);
    for (std::size_t i = 0; i < first.size(); ++i) {
        out[i] += first[i];
        out[i + static_cast<std::size_t>(frames(0.55))] += second[i] * 0.8f;
    }
    Signal water = splash(1.2, 63);
    return mix({{&out, 0.8f}, {&water, 0.3f}});
}

Signal squeak() {
    Signal out(static_cast<std::size_t>(frames(0.5)));
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double f = 1300 - 700 * t + 60 * std::sin(2 * pi * 18 * t);
        phase += 2 * pi * f / sampleRate;
        out[i] = static_cast<float>(std::sin(phase) + 0.2 * std::sin(3 * phase)) * envelope(t, 0.02, 0.2) * tailFade(t, 0.5, 0.03);
    }
    return out;
}

Signal splat() {
    Signal wet = noise(0.4, Biquad::Kind::LowPass, 3500, 400, 1.1, 71, [](double t) { return envelope(t, 0.002, 0.07); });
    Signal smack = sweep(0.4, 180, 70, 0.001, 0.05);
    return mix({{&wet, 1.0f}, {&smack, 0.6f}});
}

// The first `length` frames of a signal `overlap` frames longer, its extra tail faded in over
// its start: the loop point has no seam.
Signal seamlessLoop(const Signal& longer, int length, int overlap) {
    Signal out(longer.begin(), longer.begin() + length);
    for (int i = 0; i < overlap; ++i) {
        const float w = static_cast<float>(i) / static_cast<float>(overlap);
        out[static_cast<std::size_t>(i)] = out[static_cast<std::size_t>(i)] * w + longer[static_cast<std::size_t>(length + i)] * (1.0f - w);
    }
    return out;
}

// The drag of an object over the floor: rough band noise with a slow wobble, made so that
// its end runs into its start (it loops).
Signal scrapeLoop() {
    const double seconds = 1.0;
    const int length = frames(seconds);
    const int overlap = frames(0.1);
    Signal raw = noise(seconds + 0.1, Biquad::Kind::BandPass, 900, 900, 0.8, 81, [](double t) {
        return static_cast<float>(0.75 + 0.25 * std::sin(2 * pi * 7 * t) * std::sin(2 * pi * 3 * t));
    });
    Signal grit = noise(seconds + 0.1, Biquad::Kind::HighPass, 2500, 2500, 0.7, 82, [](double) { return 0.3f; });
    return seamlessLoop(mix({{&raw, 1.0f}, {&grit, 1.0f}}), length, overlap);
}

// A hard wooden knock: a short high thud with a hollow ring.
Signal knock() {
    Signal hit = thud(0.3, 420, 200, 91, 4200);
    Signal hollow = noise(0.3, Biquad::Kind::BandPass, 620, 560, 6.0, 92, [](double t) { return envelope(t, 0.0005, 0.06); });
    return mix({{&hit, 1.0f}, {&hollow, 0.8f}});
}

// A ball rolling over boards: low rumble with a knock of the seams at every turn, made so
// that its end runs into its start (it loops).
Signal rollLoop() {
    const double seconds = 1.0;
    const int length = frames(seconds);
    const int overlap = frames(0.1);
    Signal rumble = noise(seconds + 0.1, Biquad::Kind::LowPass, 260, 260, 0.9, 93, [](double t) {
        return static_cast<float>(0.8 + 0.2 * std::sin(2 * pi * 2 * t));
    });
    Signal seams = noise(seconds + 0.1, Biquad::Kind::BandPass, 700, 700, 2.0, 94, [](double t) {
        return envelope(std::fmod(t, 0.25), 0.002, 0.03);
    });
    return seamlessLoop(mix({{&rumble, 1.0f}, {&seams, 0.5f}}), length, overlap);
}

// --- the menu music: 8 bars at 120 beats a minute, C Am F G twice -----------------------

bool writeMusic(const std::string& path) {
    const double beat = 0.5;
    const double seconds = 32 * beat;
    const int length = frames(seconds);
    const int tail = frames(2.0);
    std::vector<float> left(static_cast<std::size_t>(length + tail), 0.0f);
    std::vector<float> right(left.size(), 0.0f);

    auto add = [&](double start, double duration, float gainL, float gainR, const std::function<float(double)>& voice) {
        const int from = frames(start);
        const int count = frames(duration);
        for (int i = 0; i < count && from + i < static_cast<int>(left.size()); ++i) {
            const float s = voice(static_cast<double>(i) / sampleRate);
            left[static_cast<std::size_t>(from + i)] += s * gainL;
            right[static_cast<std::size_t>(from + i)] += s * gainR;
        }
    };

    // Chord roots (semitones from A4) and their triads.
    const std::array<std::array<int, 3>, 4> chords = {{{-9, -5, -2}, {-12, -9, -5}, {-16, -12, -9}, {-14, -10, -7}}};
    const std::array<int, 4> roots = {-33, -36, -40, -38};
    // A hopping tune on the C major pentatonic scale, one note an eighth.
    const std::array<int, 16> tune = {3, 7, 10, 7, 12, 10, 7, 5, 3, 5, 7, 10, 7, 5, 3, -2};
    Noise hats(91);

    for (int bar = 0; bar < 8; ++bar) {
        const int chord = bar % 4;
        const double barStart = bar * 4 * beat;
        // Pad: the triad on soft detuned saws, spread left and right.
        for (int n = 0; n < 3; ++n) {
            const double f = noteHz(chords[static_cast<std::size_t>(chord)][static_cast<std::size_t>(n)]);
            add(barStart, 4 * beat + 0.6, n == 0 ? 0.5f : 0.3f, n == 2 ? 0.5f : 0.3f, [f](double t) {
                double s = 0;
                for (double detune : {0.997, 1.003})
                    s += 2.0 * std::fmod(t * f * detune, 1.0) - 1.0;
                return static_cast<float>(s * 0.05) * envelope(t, 0.15, 3.0) * tailFade(t, 2.6, 0.6);
            });
        }
        // Bass: a round pluck on beats 1, 2.5 and 3.
        for (double at : {0.0, 1.5, 2.0}) {
            const double f = noteHz(roots[static_cast<std::size_t>(chord)] + (at == 1.5 ? 7 : 0));
            add(barStart + at * beat, 0.45, 0.55f, 0.55f, [f](double t) {
                return static_cast<float>(std::sin(2 * pi * f * t) + 0.25 * std::sin(4 * pi * f * t)) * envelope(t, 0.005, 0.18) * tailFade(t, 0.45, 0.05);
            });
        }
        // Tune: bars 2, 4, 6 and 8 answer with the second half of the phrase.
        for (int step = 0; step < 8; ++step) {
            const int note = tune[static_cast<std::size_t>((bar % 2) * 8 + step)] + (bar >= 4 && step % 4 == 2 ? 2 : 0);
            if (bar % 4 == 3 && step >= 6)
                continue;
            const double f = noteHz(note);
            add(barStart + step * beat / 2, 0.4, 0.32f, 0.18f, [f](double t) {
                const double s = std::sin(2 * pi * f * t + 0.8 * std::sin(2 * pi * f * 2 * t) * std::exp(-t * 12));
                return static_cast<float>(s * 0.22) * envelope(t, 0.003, 0.12) * tailFade(t, 0.4, 0.05);
            });
        }
        // Drums: a kick on 1 and 3, a clap on 2 and 4, hats on the eighths.
        for (int b = 0; b < 4; ++b) {
            const double at = barStart + b * beat;
            if (b % 2 == 0)
                add(at, 0.3, 0.6f, 0.6f, [](double t) {
                    return static_cast<float>(std::sin(2 * pi * (50 + 90 * std::exp(-t * 30)) * t)) * envelope(t, 0.001, 0.09);
                });
            else {
                const std::uint32_t seed = static_cast<std::uint32_t>(100 + bar * 4 + b);
                Signal clap = noise(0.25, Biquad::Kind::BandPass, 1500, 1200, 1.0, seed, [](double t) { return envelope(t, 0.001, 0.05); });
                add(at, 0.25, 0.3f, 0.35f, [&clap](double t) { return clap[std::min(clap.size() - 1, static_cast<std::size_t>(t * sampleRate))]; });
            }
            for (int half = 0; half < 2; ++half) {
                const float level = half == 0 ? 0.07f : 0.045f;
                std::vector<float> hat(static_cast<std::size_t>(frames(0.06)));
                Biquad high(Biquad::Kind::HighPass, 7000, 0.7);
                for (std::size_t i = 0; i < hat.size(); ++i)
                    hat[i] = high.process(hats.next()) * envelope(static_cast<double>(i) / sampleRate, 0.0005, 0.012);
                add(at + half * beat / 2, 0.06, level * 0.6f, level, [&hat](double t) { return hat[std::min(hat.size() - 1, static_cast<std::size_t>(t * sampleRate))]; });
            }
        }
    }
    // What rings past the last bar sounds over the first: the loop has no seam.
    for (int i = 0; i < tail; ++i) {
        left[static_cast<std::size_t>(i)] += left[static_cast<std::size_t>(length + i)];
        right[static_cast<std::size_t>(i)] += right[static_cast<std::size_t>(length + i)];
    }
    float peak = 0.0f;
    for (int i = 0; i < length; ++i)
        peak = std::max({peak, std::fabs(left[static_cast<std::size_t>(i)]), std::fabs(right[static_cast<std::size_t>(i)])});
    std::vector<float> interleaved(static_cast<std::size_t>(length) * 2);
    for (int i = 0; i < length; ++i) {
        interleaved[static_cast<std::size_t>(i) * 2] = left[static_cast<std::size_t>(i)] * 0.8f / peak;
        interleaved[static_cast<std::size_t>(i) * 2 + 1] = right[static_cast<std::size_t>(i)] * 0.8f / peak;
    }
    return writeFile(path, interleaved, 2, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "Content/Audio/Sounds";
    bool ok = true;
    ok &= writeEffect(folder, "Click", click(), 0.8f);
    ok &= writeEffect(folder, "Hover", hover(), 0.5f);
    ok &= writeEffect(folder, "Tick", tick(), 0.6f);
    ok &= writeEffect(folder, "Confirm", notes({7, 14}, 0.08, 0.08, 0.3), 0.7f);
    ok &= writeEffect(folder, "Back", notes({14, 7}, 0.08, 0.08, 0.3), 0.7f);
    ok &= writeEffect(folder, "Error", buzz(), 0.6f);
    ok &= writeEffect(folder, "WhooshUp", whoosh(0.4, 400, 2600, 21), 0.8f);
    ok &= writeEffect(folder, "WhooshDown", whoosh(0.4, 2600, 400, 22), 0.8f);
    ok &= writeEffect(folder, "ChimeUp", notes({15, 22}, 0.1, 0.18, 0.5), 0.7f);
    ok &= writeEffect(folder, "ChimeDown", notes({22, 15}, 0.1, 0.18, 0.5), 0.7f);
    ok &= writeEffect(folder, "Sparkle", notes({15, 19, 22, 27, 31}, 0.07, 0.2, 0.8), 0.7f);
    ok &= writeEffect(folder, "Fanfare", notes({3, 7, 10, 15, 10, 15, 19, 22}, 0.18, 0.45, 2.5), 0.8f);
    ok &= writeEffect(folder, "Sad", notes({10, 9, 8, 7, 3, -2}, 0.3, 0.5, 2.5), 0.8f);
    ok &= writeEffect(folder, "Rise", sweep(0.4, 500, 1000, 0.02, 0.2), 0.6f);
    ok &= writeEffect(folder, "Warning", notes({19, 12, 19, 12}, 0.1, 0.06, 0.5), 0.7f);
    ok &= writeEffect(folder, "Notice", notes({12, 19}, 0.12, 0.1, 0.4), 0.7f);
    ok &= writeEffect(folder, "Alerted", notes({19, 26}, 0.06, 0.12, 0.5), 0.8f);
    ok &= writeEffect(folder, "Discovered", notes({7, 13, 19}, 0.09, 0.25, 0.8), 0.8f);
    ok &= writeEffect(folder, "Calm", notes({19, 12}, 0.15, 0.15, 0.5), 0.6f);
    ok &= writeEffect(folder, "Pop", sweep(0.15, 650, 220, 0.001, 0.03), 0.7f);
    ok &= writeEffect(folder, "PopLow", sweep(0.12, 420, 160, 0.001, 0.025), 0.7f);
    ok &= writeEffect(folder, "Blip", sweep(0.2, 440, 880, 0.002, 0.05, true), 0.5f);
    ok &= writeEffect(folder, "Throw", whoosh(0.35, 300, 1800, 23), 0.8f);
    ok &= writeEffect(folder, "Squeak", squeak(), 0.6f);
    ok &= writeEffect(folder, "Step", thud(0.15, 140, 70, 31, 1400), 0.6f);
    ok &= writeEffect(folder, "Thud1", thud(0.45, 130, 55, 32, 2200), 0.9f);
    ok &= writeEffect(folder, "Thud2", thud(0.45, 110, 50, 33, 1800), 0.9f);
    ok &= writeEffect(folder, "Thud3", thud(0.45, 150, 60, 34, 2600), 0.9f);
    ok &= writeEffect(folder, "Break", crash(), 0.9f);
    ok &= writeEffect(folder, "Splash", splash(0.8, 51), 0.9f);
    ok &= writeEffect(folder, "Swim", swim(), 0.8f);
    ok &= writeEffect(folder, "Splat", splat(), 0.8f);
    ok &= writeEffect(folder, "Scrape", scrapeLoop(), 0.7f);
    ok &= writeEffect(folder, "Knock", knock(), 0.9f);
    ok &= writeEffect(folder, "Roll", rollLoop(), 0.7f);
    ok &= writeMusic(folder + "/MenuLoop.ogg");
    return ok ? 0 : 1;
}
