#include "core/XmlFile.h"

#include "core/FileChecks.h"

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

// Whether the bytes are UTF-8 text that uses characters beyond ASCII (and no NUL, which no
// text file holds).
bool isNonAsciiUtf8(const std::vector<char>& data) {
    bool beyondAscii = false;
    size_t i = 0;
    // A UTF-8 byte-order mark is passed over like any other character.
    while (i < data.size()) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (byte == 0)
            return false;
        if (byte < 0x80) {
            ++i;
            continue;
        }
        beyondAscii = true;
        size_t length = 0;
        unsigned min = 0;
        unsigned code = 0;
        if ((byte & 0xE0) == 0xC0) {
            length = 2;
            min = 0x80;
            code = byte & 0x1F;
        } else if ((byte & 0xF0) == 0xE0) {
            length = 3;
            min = 0x800;
            code = byte & 0x0F;
        } else if ((byte & 0xF8) == 0xF0) {
            length = 4;
            min = 0x10000;
            code = byte & 0x07;
        } else {
            return false;
        }
        if (i + length > data.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(data[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return beyondAscii;
}

// The engine's reader takes a file without a byte-order mark byte by byte (as Latin-1):
// UTF-8 text is handed to it as UTF-32 with its mark, so that every character reads back.
void utf8ToUtf32(std::vector<char>& data) {
    std::vector<char> wide;
    wide.reserve(data.size() * 4 + 4);
    const char mark[4] = {'\xFF', '\xFE', 0, 0};
    wide.insert(wide.end(), mark, mark + 4);
    size_t i = 0;
    while (i < data.size()) {
        const auto byte = static_cast<unsigned char>(data[i]);
        unsigned code = byte;
        size_t length = 1;
        if (byte >= 0xF0) {
            length = 4;
            code = byte & 0x07;
        } else if (byte >= 0xE0) {
            length = 3;
            code = byte & 0x0F;
        } else if (byte >= 0xC0) {
            length = 2;
            code = byte & 0x1F;
        }
        for (size_t k = 1; k < length; ++k)
            code = (code << 6) | (static_cast<unsigned char>(data[i + k]) & 0x3F);
        i += length;
        if (code == 0xFEFF && wide.size() == 4)
            continue; // the UTF-8 mark
        for (int shift = 0; shift < 32; shift += 8)
            wide.push_back(static_cast<char>((code >> shift) & 0xFF));
    }
    data.swap(wide);
}

} // namespace

namespace {

// The bytes of a file as the guarded reader hands them to the engine.
irr::io::IReadFile* guardedMemoryFile(irr::io::IFileSystem* fileSystem, std::vector<char> data,
                                      const irr::io::path& name) {
    if (detectEncoding(data) == Encoding::Bytes && isNonAsciiUtf8(data))
        utf8ToUtf32(data);
    const Encoding encoding = detectEncoding(data);
    // A cut character is lost (erased, not resized: the vector only shrinks here).
    data.erase(data.end() - static_cast<std::ptrdiff_t>(data.size() % unitSize(encoding)), data.end());
    appendTail(data, encoding);

    // The memory file owns the copy and frees it with delete[].
    auto* memory = new char[data.size()];
    std::memcpy(memory, data.data(), data.size());
    irr::io::IReadFile* file =
        fileSystem->createMemoryReadFile(memory, static_cast<irr::s32>(data.size()), name, true);
    if (!file)
        delete[] memory;
    return file;
}

} // namespace

irr::io::IReadFile* createGuardedReadFile(irr::io::IFileSystem* fileSystem, const std::string& path,
                                          std::size_t maxBytes) {
    if (!fileSystem)
        return nullptr;
    if (!isReadableFile(path, maxBytes))
        return nullptr;
    struct stat info {};
    std::ifstream in(path, std::ios::binary);
    if (!in || ::stat(path.c_str(), &info) != 0)
        return nullptr;
    std::vector<char> data(static_cast<size_t>(info.st_size));
    if (!data.empty() && !in.read(data.data(), static_cast<std::streamsize>(data.size())))
        return nullptr;
    return guardedMemoryFile(fileSystem, std::move(data), irr::io::path(path.c_str()));
}

irr::io::IReadFile* createGuardedReadFile(irr::io::IFileSystem* fileSystem, irr::io::IReadFile* source,
                                          std::size_t maxBytes) {
    if (!fileSystem || !source || source->getSize() < 0 || static_cast<std::size_t>(source->getSize()) > maxBytes)
        return nullptr;
    std::vector<char> data(static_cast<size_t>(source->getSize()));
    source->seek(0);
    if (!data.empty() && source->read(data.data(), static_cast<irr::u32>(data.size())) !=
                             static_cast<irr::s32>(data.size()))
        return nullptr;
    return guardedMemoryFile(fileSystem, std::move(data), source->getFileName());
}

namespace {

irr::io::IXMLReader* readerOf(irr::io::IFileSystem* fileSystem, irr::io::IReadFile* file) {
    if (!file)
        return nullptr;
    irr::io::IXMLReader* reader = fileSystem->createXMLReader(file);
    file->drop();
    return reader;
}

} // namespace

irr::io::IXMLReader* createGuardedXMLReader(irr::io::IFileSystem* fileSystem,
                                            const std::string& path, std::size_t maxBytes) {
    return readerOf(fileSystem, createGuardedReadFile(fileSystem, path, maxBytes));
}

irr::io::IReadFile* createGuardedContentReadFile(irr::io::IFileSystem* fileSystem, const std::string& path,
                                                 std::size_t maxBytes) {
    if (!fileSystem)
        return nullptr;
    const EngineFileCheck found = checkEngineFileForReading(fileSystem, path, maxBytes);
    if (!isReadableEngineFile(fileSystem, path, maxBytes))
        return nullptr;
    if (!found.inArchive && refuseReadOutsideConfinement(path))
        return nullptr;
    irr::io::IReadFile* source = fileSystem->createAndOpenFile(path.c_str());
    if (!source)
        return nullptr;
    irr::io::IReadFile* file = createGuardedReadFile(fileSystem, source, maxBytes);
    source->drop();
    return file;
}

irr::io::IXMLReader* createGuardedContentXMLReader(irr::io::IFileSystem* fileSystem, const std::string& path,
                                                   std::size_t maxBytes) {
    return readerOf(fileSystem, createGuardedContentReadFile(fileSystem, path, maxBytes));
}
