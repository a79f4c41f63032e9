#include "core/Random.h"

#include <bit>
#include <cstdint>

namespace {

struct Xorshift128 {
    // The generator's customary starting state.
    std::uint32_t x = 123456789u, y = 362436069u, z = 521288629u, w = 88675123u;

    std::uint32_t next() {
        const std::uint32_t t = x ^ (x << 11);
        x = y;
        y = z;
        z = w;
        w = w ^ (w >> 19) ^ (t ^ (t >> 8));
        return w;
    }
};

Xorshift128 generator;

// Spreads a seed over a state word (splitmix32), so that nearby seeds give unrelated
// sequences.
std::uint32_t mixSeed(std::uint32_t& s) {
    std::uint32_t z = (s += 0x9E3779B9u);
    z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
    z = (z ^ (z >> 13)) * 0xC2B2AE35u;
    return z ^ (z >> 16);
}

} // namespace

void seedRandom(irr::u32 seed) {
    std::uint32_t s = seed;
    generator.x = mixSeed(s);
    generator.y = mixSeed(s);
    generator.z = mixSeed(s);
    generator.w = mixSeed(s);
    // An all-zero state would only ever give zeros.
    if ((generator.x | generator.y | generator.z | generator.w) == 0)
        generator = Xorshift128{};
}

irr::f32 randomFloatRaw() {
    const std::uint32_t bits = 0x3F800000u | (generator.next() & 0x007FFFFFu);
    return std::bit_cast<irr::f32>(bits);
}

irr::f32 randomFloat() {
    return randomFloatRaw() - 1.0f;
}

irr::s32 randomInt(irr::s32 n) {
    if (n <= 0)
        return 0;
    // Rejection keeps every value of 0..n equally likely.
    const std::uint64_t range = static_cast<std::uint64_t>(n) + 1;
    const std::uint64_t limit = (std::uint64_t{1} << 32) - ((std::uint64_t{1} << 32) % range);
    std::uint64_t r;
    do {
        r = generator.next();
    } while (r >= limit);
    return static_cast<irr::s32>(r % range);
}
