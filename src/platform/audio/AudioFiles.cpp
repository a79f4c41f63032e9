#include "platform/audio/AudioFiles.h"

#include <cstdint>
#include <cstring>
#include <fstream>

namespace audio {
namespace {

std::uint32_t littleEndian32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

} // namespace

float wavLengthSeconds(const char* file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char header[12];
    if (!in.read(reinterpret_cast<char*>(header), sizeof(header)) ||
        std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return 0.0f;

    std::uint32_t byteRate = 0;
    unsigned char chunk[8];
    while (in.read(reinterpret_cast<char*>(chunk), sizeof(chunk))) {
        const std::uint32_t size = littleEndian32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            unsigned char format[16];
            if (!in.read(reinterpret_cast<char*>(format), sizeof(format)))
                return 0.0f;
            byteRate = littleEndian32(format + 8);
            in.seekg(static_cast<std::streamoff>(size - 16 + (size & 1)), std::ios::cur);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            return byteRate ? static_cast<float>(size) / static_cast<float>(byteRate) : 0.0f;
        } else {
            in.seekg(static_cast<std::streamoff>(size + (size & 1)), std::ios::cur);
        }
    }
    return 0.0f;
}

} // namespace audio
