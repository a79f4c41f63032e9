#pragma once

#include <IXMLReader.h>
#include <cstddef>
#include <string>

namespace irr::io {
class IFileSystem;
class IReadFile;
} // namespace irr::io

// The engine's XML reader runs past the end of its buffer when a file ends inside a tag,
// a comment or a closing element (a file cut short by a crash or a full disk), which can
// crash the program. Every XML file that comes from the player's disk (settings, saves,
// remapping, levels) is opened through this reader instead: it hands the engine the file's
// bytes followed by a tail, in the file's own encoding, that ends every open construct.
// The tail never completes a cut file's root element, so a reader of the result still sees
// that the file ends early.
//
// Null when the file cannot be opened, is not a regular file, or is larger than maxBytes.
irr::io::IXMLReader* createGuardedXMLReader(irr::io::IFileSystem* fileSystem,
                                            const std::string& path,
                                            std::size_t maxBytes = 16 * 1024 * 1024);

// The same guarded bytes as a memory file, for engine readers that take a file (the GUI
// environment's layout loader). Null in the same cases.
irr::io::IReadFile* createGuardedReadFile(irr::io::IFileSystem* fileSystem, const std::string& path,
                                          std::size_t maxBytes = 16 * 1024 * 1024);
// The same for a file already open (a file inside an archive); the source is read whole.
irr::io::IReadFile* createGuardedReadFile(irr::io::IFileSystem* fileSystem, irr::io::IReadFile* source,
                                          std::size_t maxBytes = 16 * 1024 * 1024);

// A file that a level names (a GUI layout, a sprite animation, a character profile, a content
// table), as the guarded reader hands it, read where the engine reads it: a mounted archive's
// entry before the disk; and while a user level plays, only from its archive and the game's
// content (FileChecks.h), with the refusal logged once. Null in the cases above too.
irr::io::IReadFile* createGuardedContentReadFile(irr::io::IFileSystem* fileSystem, const std::string& path,
                                                 std::size_t maxBytes = 16 * 1024 * 1024);
irr::io::IXMLReader* createGuardedContentXMLReader(irr::io::IFileSystem* fileSystem, const std::string& path,
                                                   std::size_t maxBytes = 16 * 1024 * 1024);
