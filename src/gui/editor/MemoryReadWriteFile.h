#pragma once

#include <IReadFile.h>
#include <IWriteFile.h>

#include <vector>

// An in-memory file that the engine can both write (an XML writer) and read (the GUI
// loader): one byte buffer with one position shared by reading and writing. The GUI editor
// moves element trees through it to and from the clipboard. Its name is "#Clipboard#".
class MemoryReadWriteFile : public irr::io::IReadFile, public irr::io::IWriteFile {
public:
    MemoryReadWriteFile();

    // Copies n bytes to the position, growing the file when they pass its end.
    irr::s32 write(const void* buffer, irr::u32 sizeToWrite) override;
    // Copies up to n bytes from the position; fewer at the end of the file.
    irr::s32 read(void* buffer, irr::u32 sizeToRead) override;
    // A relative move adds the position; a negative result fails. A position past the end
    // makes the file one byte longer than it (the new bytes read as zeros).
    bool seek(long finalPos, bool relativeMovement = false) override;
    long getSize() const override { return static_cast<long>(Buffer.size()); }
    long getPos() const override { return Position; }
    const irr::io::path& getFileName() const override { return Name; }

    const std::vector<irr::u8>& bytes() const { return Buffer; }

private:
    std::vector<irr::u8> Buffer;
    irr::io::path Name;
    long Position = 0;
};
