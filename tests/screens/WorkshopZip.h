#pragma once

// Writes small zip archives (stored entries) for the user-level tests, with the means to
// damage them.
#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace workshoptest {

inline std::uint32_t zipCrc(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void putZip16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void putZip32(std::string& out, std::uint32_t v) {
    putZip16(out, v & 0xFFFF);
    putZip16(out, v >> 16);
}

// The bytes of an archive of (name, content) entries, stored uncompressed.
inline std::string makeZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string out;
    std::string directory;
    for (const auto& [name, data] : entries) {
        const auto offset = static_cast<std::uint32_t>(out.size());
        const std::uint32_t crc = zipCrc(data);
        const auto size = static_cast<std::uint32_t>(data.size());
        putZip32(out, 0x04034b50);
        putZip16(out, 10);
        putZip16(out, 0);
        putZip16(out, 0);
        putZip32(out, 0);
        putZip32(out, crc);
        putZip32(out, size);
        putZip32(out, size);
        putZip16(out, static_cast<std::uint32_t>(name.size()));
        putZip16(out, 0);
        out += name;
        out += data;
        putZip32(directory, 0x02014b50);
        putZip16(directory, 20);
        putZip16(directory, 10);
        putZip16(directory, 0);
        putZip16(directory, 0);
        putZip32(directory, 0);
        putZip32(directory, crc);
        putZip32(directory, size);
        putZip32(directory, size);
        putZip16(directory, static_cast<std::uint32_t>(name.size()));
        putZip16(directory, 0);
        putZip16(directory, 0);
        putZip16(directory, 0);
        putZip16(directory, 0);
        putZip32(directory, 0);
        putZip32(directory, offset);
        directory += name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(out.size());
    out += directory;
    putZip32(out, 0x06054b50);
    putZip16(out, 0);
    putZip16(out, 0);
    putZip16(out, static_cast<std::uint32_t>(entries.size()));
    putZip16(out, static_cast<std::uint32_t>(entries.size()));
    putZip32(out, static_cast<std::uint32_t>(directory.size()));
    putZip32(out, directoryOffset);
    putZip16(out, 0);
    return out;
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A level scene with nothing in it.
inline std::string emptyLevel() {
    return "<?xml version=\"1.0\"?>\n<irr_scene>\n<attributes>\n<string name=\"Name\" value=\"root\" />\n"
           "</attributes>\n</irr_scene>\n";
}

} // namespace workshoptest
