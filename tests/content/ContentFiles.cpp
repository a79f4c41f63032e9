#include "ContentFiles.h"

#include <irrlicht.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <sstream>

namespace content {

namespace {

constexpr std::array<const char*, 21> contentExtensions = {
    ".png", ".jpg", ".jpeg", ".dds", ".tga", ".bmp", ".obj", ".mtl", ".b3d", ".x",   ".irr",
    ".irrblvl", ".xml", ".ttf", ".wav", ".ogg", ".flac", ".vert", ".frag", ".glsl", ".txt"};

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool namesContentFile(const std::string& value) {
    const std::string extension = extensionOf(value);
    return !extension.empty() && std::find(contentExtensions.begin(), contentExtensions.end(), extension) !=
                                     contentExtensions.end();
}

// The file word of OBJ "mtllib" and MTL "map_..." lines (options come first: the last word).
void namedByMeshText(const std::string& path, std::vector<std::string>& named) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword, word, last;
        words >> keyword;
        if (keyword != "mtllib" && keyword.rfind("map_", 0) != 0)
            continue;
        while (words >> word)
            last = word;
        if (!last.empty())
            named.push_back(last);
    }
}

} // namespace

std::vector<std::string> contentFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(
             "Content/", std::filesystem::directory_options::follow_directory_symlink))
        if (entry.is_regular_file())
            files.push_back(entry.path().lexically_normal().generic_string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string extensionOf(const std::string& path) {
    return lowered(std::filesystem::path(path).extension().string());
}

std::string rootElement(irr::io::IFileSystem* fileSystem, const std::string& path) {
    irr::io::IXMLReader* reader = fileSystem->createXMLReader(path.c_str());
    std::string root;
    while (reader && root.empty() && reader->read())
        if (reader->getNodeType() == irr::io::EXN_ELEMENT)
            root = irr::core::stringc(reader->getNodeName()).c_str();
    if (reader)
        reader->drop();
    return root;
}

std::vector<std::string> namedFiles(irr::io::IFileSystem* fileSystem, const std::string& path) {
    std::vector<std::string> named;
    const std::string extension = extensionOf(path);
    if (extension == ".obj" || extension == ".mtl")
        namedByMeshText(path, named);
    if (extension != ".xml" && extension != ".irr")
        return named;
    irr::io::IXMLReader* reader = fileSystem->createXMLReader(path.c_str());
    while (reader && reader->read())
        for (unsigned i = 0; i < reader->getAttributeCount(); ++i) {
            const std::string value = irr::core::stringc(reader->getAttributeValue(static_cast<int>(i))).c_str();
            if (namesContentFile(value))
                named.push_back(value);
        }
    if (reader)
        reader->drop();
    return named;
}

bool namedFileExists(const std::string& named, const std::string& namer) {
    // A level named by its file name alone (a profile's sound for one level) is one of the
    // shipped levels.
    const bool bareLevel = named.find('/') == std::string::npos && extensionOf(named) == ".irr";
    return existsWithCase(named) || existsWithCase(std::filesystem::path(namer).parent_path() / named) ||
           (bareLevel && existsWithCase(std::filesystem::path("Content/Levels") / named));
}

bool existsWithCase(const std::filesystem::path& path) {
    std::filesystem::path folder = path.is_absolute() ? path.root_path() : std::filesystem::path(".");
    for (const std::filesystem::path& part : path.relative_path().lexically_normal()) {
        std::error_code error;
        bool found = part == ".." || part == ".";
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            found = found || entry.path().filename() == part;
        if (!found)
            return false;
        folder /= part;
    }
    return std::filesystem::is_regular_file(folder);
}

bool isComplaint(const std::string& line) {
    const std::string text = lowered(line);
    for (const char* start : {"error: ", "warning: ", "fmod error: "})
        if (text.rfind(start, 0) == 0)
            return true;
    for (const char* part : {"could not", "cannot open", "not found", "failed to"})
        if (text.find(part) != std::string::npos)
            return true;
    return false;
}

} // namespace content
