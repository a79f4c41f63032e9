#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace irr::io {
class IFileSystem;
}

// What the content tests know about the files in Content/: which there are, what they name,
// and which log lines a content file must never cause.
namespace content {

// Every regular file below Content/ (from the working folder), as "Content/..." paths, sorted.
std::vector<std::string> contentFiles();
// The extension in lower case with its dot (".xml"); empty without one.
std::string extensionOf(const std::string& path);
// The name of an XML file's first element; empty when it has none.
std::string rootElement(irr::io::IFileSystem* fileSystem, const std::string& path);
// The files a content file names: XML attribute values ending in an extension of a content
// file, OBJ "mtllib" and MTL "map_..." words.
std::vector<std::string> namedFiles(irr::io::IFileSystem* fileSystem, const std::string& path);
// Whether the game finds a named file: from the working folder, else beside the file that
// names it (textures of fonts and materials), or a level named by its file name alone among
// the shipped levels, with exactly the case it is written in.
bool namedFileExists(const std::string& named, const std::string& namer);
// Every part of the path exists with exactly this case, whatever the file system.
bool existsWithCase(const std::filesystem::path& path);
// An error, a warning, or an engine line about a file it could not open or find or a
// shader that failed to compile.
bool isComplaint(const std::string& line);

} // namespace content
