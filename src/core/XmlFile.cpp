#include "core/XmlFile.h"

#include <IFileSystem.h>
#include <IReadFile.h>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace {

// The encodings the engine's reader recognises by their byte-order marks.
enum class Encoding { Bytes, Utf16Little, Utf16Big, Utf32Little, Utf32Big };

Encoding detectEncoding(const std::vector<char>& data) {
    const auto at = [&](size_t i) { return static_cast<unsigned char>(data[i]); };
    if (data.size() >= 4) {
        if (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0)
            return Encoding::Utf32Little;
        if (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF)
            return Encoding::Utf32Big;
    }
    if (data.size() >= 2) {
        if (at(0) == 0xFF && at(1) == 0xFE)
            return Encoding::Utf16Little;
        if (at(0) == 0xFE && at(1) == 0xFF)
            return Encoding::Utf16Big;
    }
    return Encoding::Bytes;
}

size_t unitSize(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf16Little:
    case Encoding::Utf16Big:
        return 2;
    case Encoding::Utf32Little:
    case Encoding::Utf32Big:
        return 4;
    case Encoding::Bytes:
        break;
    }
    return 1;
}

// An ASCII character in the encoding's code unit.
std::string encode(char c, Encoding encoding) {
    std::string unit(unitSize(encoding), '\0');
    const bool bigEndian = encoding == Encoding::Utf16Big || encoding == Encoding::Utf32Big;
    unit[bigEndian ? unit.size() - 1 : 0] = c;
    return unit;
}

// Whitespace ends a name, "=" an attribute name, quotes a value, "]]>" a CDATA section and
// ">" a tag; a comment needs one ">" for every "<" opened inside it.
void appendTail(std::vector<char>& data, Encoding encoding) {
    const std::string opening = encode('<', encoding);
    const size_t size = opening.size();
    size_t openings = 0;
    for (size_t i = 0; i + size <= data.size(); i += size)
        if (std::memcmp(data.data() + i, opening.data(), size) == 0)
            ++openings;
    std::string tail = " \t\n\"'= \"'=]]> ";
    tail.append(openings + 4, '>');
    tail += " \n \n";
    for (char c : tail) {
        const std::string unit = encode(c, encoding);
        data.insert(data.end(), unit.begin(), unit.end());
    }
}

} // namespace

irr::io::IReadFile* createGuardedReadFile(irr::io::IFileSystem* fileSystem, const std::string& path,
                                          std::size_t maxBytes) {
    if (!fileSystem)
        return nullptr;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<unsigned long long>(info.st_size) > maxBytes)
        return nullptr;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return nullptr;
    std::vector<char> data(static_cast<size_t>(info.st_size));
    if (!data.empty() && !in.read(data.data(), static_cast<std::streamsize>(data.size())))
        return nullptr;

    const Encoding encoding = detectEncoding(data);
    data.resize(data.size() - data.size() % unitSize(encoding)); // a cut character is lost
    appendTail(data, encoding);

    // The memory file owns the copy and frees it with delete[].
    auto* memory = new char[data.size()];
    std::memcpy(memory, data.data(), data.size());
    irr::io::IReadFile* file = fileSystem->createMemoryReadFile(
        memory, static_cast<irr::s32>(data.size()), irr::io::path(path.c_str()), true);
    if (!file)
        delete[] memory;
    return file;
}

irr::io::IXMLReader* createGuardedXMLReader(irr::io::IFileSystem* fileSystem,
                                            const std::string& path, std::size_t maxBytes) {
    irr::io::IReadFile* file = createGuardedReadFile(fileSystem, path, maxBytes);
    if (!file)
        return nullptr;
    irr::io::IXMLReader* reader = fileSystem->createXMLReader(file);
    file->drop();
    return reader;
}
