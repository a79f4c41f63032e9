#include "core/FontGate.h"

#include "core/Log.h"
#include "core/XmlFile.h"

#include <IFileSystem.h>
#include <IGUIEnvironment.h>
#include <IReadFile.h>
#include <IXMLReader.h>

#include <cstring>
#include <cwchar>
#include <mutex>
#include <set>
#include <string>

using namespace irr;

namespace {

std::mutex refusedFontsMutex;
std::set<std::string>& refusedFonts() {
    static std::set<std::string> paths;
    return paths;
}

// "l, t, r, b" as the engine reads it: four unsigned numbers with commas or spaces between.
bool isCharacterRectangle(const wchar_t* text) {
    if (!text)
        return false;
    long values[4] = {};
    const wchar_t* c = text;
    for (long& value : values) {
        while (*c == L' ' || *c == L',')
            ++c;
        if (*c < L'0' || *c > L'9')
            return false;
        for (; *c >= L'0' && *c <= L'9'; ++c) {
            value = value * 10 + (*c - L'0');
            if (value > 65535)
                return false;
        }
    }
    while (*c == L' ')
        ++c;
    return *c == 0 && values[2] >= values[0] && values[3] >= values[1];
}

// An attribute that must hold a small unsigned number (absent reads as 0, as the engine does).
bool readIndex(io::IXMLReader* reader, const wchar_t* name, unsigned& index) {
    const wchar_t* text = reader->getAttributeValue(name);
    index = 0;
    if (!text || !*text)
        return true;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c < L'0' || *c > L'9')
            return false;
        index = index * 10 + static_cast<unsigned>(*c - L'0');
        if (index >= maxBitmapFontImages)
            return false;
    }
    return true;
}

// Why the bitmap font read by `reader` is refused; empty when it is sound.
std::string findBitmapFontFault(io::IFileSystem* fileSystem, io::IXMLReader* reader, const io::path& folder) {
    bool bitmap = false, closed = false;
    unsigned characters = 0;
    bool images[maxBitmapFontImages] = {};
    std::set<unsigned> imagesUsed;
    while (reader->read()) {
        const io::EXML_NODE type = reader->getNodeType();
        const wchar_t* name = reader->getNodeName();
        if (!name)
            continue;
        if (type == io::EXN_ELEMENT_END && std::wcscmp(name, L"font") == 0 && bitmap) {
            closed = true;
            break;
        }
        if (type != io::EXN_ELEMENT)
            continue;
        if (!bitmap) {
            if (std::wcscmp(name, L"font") != 0)
                continue;
            const wchar_t* kind = reader->getAttributeValue(L"type");
            if (!kind || std::wcscmp(kind, L"bitmap") != 0)
                return "it is no bitmap font";
            bitmap = true;
            if (reader->isEmptyElement())
                return "it names no characters";
            continue;
        }
        if (std::wcscmp(name, L"Texture") == 0) {
            unsigned index = 0;
            if (!readIndex(reader, L"index", index))
                return "an image index is not a number below " + std::to_string(maxBitmapFontImages);
            const wchar_t* file = reader->getAttributeValue(L"filename");
            if (!file || !*file)
                return "an image has no file name";
            const io::path imagePath = folder + io::path(file);
            if (!fileSystem->existFile(imagePath))
                return std::string("its image \"") + imagePath.c_str() + "\" is missing";
            images[index] = true;
        } else if (std::wcscmp(name, L"c") == 0) {
            const wchar_t* character = reader->getAttributeValue(L"c");
            if (!character || !*character)
                return "a character element has no character";
            if (!isCharacterRectangle(reader->getAttributeValue(L"r")))
                return "a character's rectangle is not four numbers in order";
            unsigned image = 0;
            if (!readIndex(reader, L"i", image))
                return "a character's image index is not a number below " + std::to_string(maxBitmapFontImages);
            imagesUsed.insert(image);
            ++characters;
        }
    }
    if (!bitmap)
        return "it is no bitmap font";
    if (!closed)
        return "the file ends before its font does";
    if (characters == 0)
        return "it names no characters";
    for (unsigned image : imagesUsed)
        if (!images[image])
            return "a character is drawn from an image the font does not name";
    return {};
}

void logRefusal(const io::path& path, const std::string& reason) {
    {
        std::lock_guard<std::mutex> lock(refusedFontsMutex);
        if (!refusedFonts().insert(path.c_str()).second)
            return;
    }
    logMessage(std::string(logErrorPrefix) + "Refused the font \"" + path.c_str() + "\": " + reason + ".");
}

} // namespace

bool checkFontFile(io::IFileSystem* fileSystem, const io::path& path) {
    if (!fileSystem)
        return false;
    {
        std::lock_guard<std::mutex> lock(refusedFontsMutex);
        if (refusedFonts().count(path.c_str()))
            return false;
    }
    io::IReadFile* file = fileSystem->createAndOpenFile(path);
    if (!file)
        return true; // missing: the engine logs it and makes no font
    const long size = file->getSize();
    if (size < 0 || static_cast<unsigned long>(size) > maxBitmapFontFileBytes) {
        file->drop();
        logRefusal(path, "it is larger than " + std::to_string(maxBitmapFontFileBytes / 1024) + " KB");
        return false;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    const s32 read = bytes.empty() ? 0 : file->read(bytes.data(), static_cast<u32>(bytes.size()));
    if (read != static_cast<s32>(bytes.size()) || bytes.find("<font") == std::string::npos) {
        file->drop();
        logRefusal(path, "it is no bitmap font");
        return false;
    }
    // The engine reads on to the end of the file, where a tag cut short would run it off it.
    const std::size_t end = bytes.rfind("</font>");
    if (end == std::string::npos || bytes.find_first_not_of(" \t\r\n", end + 7) != std::string::npos) {
        file->drop();
        logRefusal(path, "the file ends before its font does");
        return false;
    }
    // The check itself reads a guarded copy (the engine's reader trusts the file's end).
    io::IReadFile* guarded = createGuardedReadFile(fileSystem, file, maxBitmapFontFileBytes);
    file->drop();
    if (!guarded) {
        logRefusal(path, "it cannot be read");
        return false;
    }
    io::IXMLReader* reader = fileSystem->createXMLReader(guarded);
    guarded->drop();
    if (!reader) {
        logRefusal(path, "it cannot be read");
        return false;
    }
    io::path folder = fileSystem->getFileDir(path);
    folder = folder == "." ? io::path() : folder + "/";
    const std::string fault = findBitmapFontFault(fileSystem, reader, folder);
    reader->drop();
    if (fault.empty())
        return true;
    logRefusal(path, fault);
    return false;
}

gui::IGUIFont* getCheckedFont(gui::IGUIEnvironment* environment, const io::path& path) {
    if (!environment || path.empty() || !checkFontFile(environment->getFileSystem(), path))
        return nullptr;
    return environment->getFont(path);
}

void forgetFontRefusals() {
    std::lock_guard<std::mutex> lock(refusedFontsMutex);
    refusedFonts().clear();
}
