#pragma once

#include <cstdlib>

namespace test {

// What a fuzz test reads from its environment (the fuzz scripts in tools/ set them): the seed
// of its random sequence (PADDLESTONE_FUZZ_SEED) and its budget in seconds
// (PADDLESTONE_FUZZ_SECONDS); the fallbacks without them.
inline unsigned fuzzSeed(unsigned fallback = 20150301u) {
    const char* text = std::getenv("PADDLESTONE_FUZZ_SEED");
    return text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : fallback;
}

inline double fuzzSeconds(double fallback) {
    const char* text = std::getenv("PADDLESTONE_FUZZ_SECONDS");
    const double seconds = text ? std::atof(text) : 0.0;
    return seconds > 0.0 ? seconds : fallback;
}

} // namespace test
