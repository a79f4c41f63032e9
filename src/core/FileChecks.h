#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace irr::io {
class IFileArchive;
class IFileSystem;
} // namespace irr::io

// Every file the game reads is first checked to be a regular file of sane size: a folder
// hands the engine's readers a size of -1, a named pipe blocks `open` forever, and a huge
// file is never content. A refusal is logged once per path ("ERROR: Refused to read ..."),
// until forgetFileRefusals() (each level load starts afresh).

// Beyond any content file the game reads (textures, meshes, sounds, fonts).
inline constexpr std::uint64_t maxContentFileBytes = 256ull * 1024 * 1024;

enum class FileCheck { Readable, Missing, Folder, NotRegular, TooLarge };

// What the path names, without opening it (symbolic links are followed).
FileCheck checkFileForReading(const std::string& path, std::uint64_t maxBytes = maxContentFileBytes);

// The engine's file system asks its mounted archives, in order, before the disk: the entry of
// the first archive whose list holds the path is what it reads, whatever the disk holds.
struct ArchiveEntry {
    const irr::io::IFileArchive* archive = nullptr; // null when no mounted archive holds the path
    std::uint64_t size = 0;
};
ArchiveEntry findArchiveEntry(irr::io::IFileSystem* fileSystem, const std::string& path);

// The check of what the engine's file system reads for the path: an archive's entry by its
// size (an entry is a file, and the confinement allows archives), else the disk file as
// checkFileForReading checks it.
struct EngineFileCheck {
    FileCheck check = FileCheck::Missing;
    bool inArchive = false;
    std::uint64_t size = 0; // of a readable file
};
EngineFileCheck checkEngineFileForReading(irr::io::IFileSystem* fileSystem, const std::string& path,
                                          std::uint64_t maxBytes = maxContentFileBytes);
// isReadableFile for what the engine's file system reads: an archive's entry before the disk.
bool isReadableEngineFile(irr::io::IFileSystem* fileSystem, const std::string& path,
                          std::uint64_t maxBytes = maxContentFileBytes);

// True for a readable file. A missing file answers false silently (its reader says what it
// missed); a folder, pipe, device, socket or oversized file is logged once and refused.
bool isReadableFile(const std::string& path, std::uint64_t maxBytes = maxContentFileBytes);

// Why the check refused: "it is a folder", ... Empty for Readable and Missing.
std::string describeFileCheck(FileCheck check, std::uint64_t maxBytes = maxContentFileBytes);

// Whether a refusal of the path was logged since the last forgetFileRefusals().
bool wasFileRefused(const std::string& path);
// Notes a refusal whose line was logged elsewhere (a budget's), for wasFileRefused.
void noteFileRefused(const std::string& path);
// A level load starts afresh: the refusals are forgotten, and the repeated-line round ends
// (endRepeatedLogRound, core/RepeatedLog.h).
void forgetFileRefusals();
// Counts the calls of forgetFileRefusals (one per level load): a bound that is kept, or a
// line that is logged, once per level load notes the round it belongs to.
std::uint64_t fileRefusalRound();

// Puts the check in front of the engine's file system: every file the engine opens itself
// (textures, meshes, fonts, GUI layouts, archives) is checked first, and a refused file
// reaches the engine's readers as an empty file. While a level loads, each entry of a mounted
// archive (a user level's) it opens is charged to the load's byte budget (core/LoadBudget.h);
// an entry past it is refused so too.
// Installing twice does nothing.
void installFileGuard(irr::io::IFileSystem* fileSystem);

// While a user level plays, files are read only from mounted archives (its own) and from
// the given folders (the game's content): a level that names "/etc/passwd" or
// "../../secret.txt" gets "ERROR: Refused to read ...: a user level reads only from its
// archive and the game's content." once per path, for the engine's opens (meshes,
// textures, fonts, binary levels) and for the game's own reads of files a level names
// (sublevels, sounds). The game's own files (settings, saves) are read as ever. An empty
// list lifts the confinement.
void confineReadsToFolders(const std::vector<std::string>& folders);
// Whether the path lies outside the folders reads are confined to (false without one).
bool isOutsideConfinedFolders(const std::string& path);
// True, with the refusal logged once, for a file on the disk outside the confinement.
bool refuseReadOutsideConfinement(const std::string& path);
