#pragma once

#include <cstdint>

// The rule every reader of the game's files keeps: a count read from a file is checked
// against what is left of the file before anything is reserved, resized or looped over for
// it. `count` elements that each take at least `elementBytes` of the file (at least one)
// fit when they take no more than `bytesLeft`; a count that does not fit refuses the file at
// once, however little it would cost to find out later. The same answer serves other room
// than bytes: the frames a sprite sheet's cells can hold.
bool countFits(std::uint64_t count, std::uint64_t elementBytes, std::uint64_t bytesLeft);

// What a reader makes of a stretch of a file (copies of the names it refers to, in the
// engine's containers) may be at most this many times the bytes of the stretch, plus
// `readExpansionAllowance`: a file cannot cost more than a small multiple of its size.
inline constexpr std::uint64_t readExpansionFactor = 16;
inline constexpr std::uint64_t readExpansionAllowance = 4096;
bool expansionFits(std::uint64_t madeBytes, std::uint64_t bytesRead);
