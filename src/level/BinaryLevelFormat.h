#pragma once

#include <irrlicht.h>

#include <cstddef>

// What the writer and the reader of the binary level format share (the layout is in
// level/LevelFile.h).
namespace binarylevel {

constexpr char magic[4] = {'P', 'S', 'L', 'V'};
constexpr irr::u16 formatVersion = 1;
constexpr std::size_t headerSize = 20;

// CRC-32 (IEEE) of the payload.
irr::u32 crc32(const irr::u8* data, std::size_t size);

} // namespace binarylevel
