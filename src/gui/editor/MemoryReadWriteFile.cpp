#include "gui/editor/MemoryReadWriteFile.h"

#include <cstring>

using namespace irr;

MemoryReadWriteFile::MemoryReadWriteFile() : Name("#Clipboard#") {}

s32 MemoryReadWriteFile::write(const void* buffer, u32 sizeToWrite) {
    if (sizeToWrite == 0 || !buffer)
        return 0;
    const std::size_t end = static_cast<std::size_t>(Position) + sizeToWrite;
    if (end > Buffer.size())
        Buffer.resize(end);
    std::memcpy(Buffer.data() + Position, buffer, sizeToWrite);
    Position += static_cast<long>(sizeToWrite);
    return static_cast<s32>(sizeToWrite);
}

s32 MemoryReadWriteFile::read(void* buffer, u32 sizeToRead) {
    const long available = getSize() - Position;
    long n = static_cast<long>(sizeToRead);
    if (Position + n >= getSize())
        n = available;
    if (n <= 0 || !buffer)
        return 0;
    std::memcpy(buffer, Buffer.data() + Position, static_cast<std::size_t>(n));
    Position += n;
    return static_cast<s32>(n);
}

bool MemoryReadWriteFile::seek(long finalPos, bool relativeMovement) {
    if (relativeMovement)
        finalPos += Position;
    if (finalPos < 0)
        return false;
    Position = finalPos;
    if (finalPos > getSize())
        Buffer.resize(static_cast<std::size_t>(finalPos) + 1, 0);
    return true;
}
