// The in-memory file the GUI editor moves element trees through: one buffer, one position
// for reading and writing, growth at the end, and the seek rules.
#include "gui/editor/MemoryReadWriteFile.h"

#include <gtest/gtest.h>

#include <array>

using namespace irr;

namespace {

TEST(MemoryFileTest, WritesGrowTheFileAndReadsStopAtItsEnd) {
    auto* file = new MemoryReadWriteFile();
    const std::array<u8, 10> data{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(file->write(data.data(), 10), 10);
    EXPECT_EQ(file->getSize(), 10);
    EXPECT_EQ(file->getPos(), 10);
    EXPECT_EQ(file->write(data.data(), 0), 0);
    ASSERT_TRUE(file->seek(0));
    std::array<u8, 20> out{};
    EXPECT_EQ(file->read(out.data(), 20), 10);
    EXPECT_EQ(out[9], 9);
    EXPECT_EQ(file->read(out.data(), 1), 0);
    // Four bytes at position 2 overwrite and leave the size.
    const std::array<u8, 4> patch{40, 41, 42, 43};
    ASSERT_TRUE(file->seek(2));
    EXPECT_EQ(file->write(patch.data(), 4), 4);
    EXPECT_EQ(file->getSize(), 10);
    ASSERT_TRUE(file->seek(-5, true));
    EXPECT_EQ(file->read(out.data(), 5), 5);
    EXPECT_EQ((std::array<u8, 5>{out[0], out[1], out[2], out[3], out[4]}), (std::array<u8, 5>{1, 40, 41, 42, 43}));
    EXPECT_EQ(core::stringc(file->getFileName()), "#Clipboard#");
    static_cast<io::IReadFile*>(file)->drop();
}

TEST(MemoryFileTest, SeekRules) {
    MemoryReadWriteFile memory;
    MemoryReadWriteFile* file = &memory;
    EXPECT_FALSE(file->seek(-1, true));
    EXPECT_EQ(file->getPos(), 0);
    // Past the end the file grows to one byte beyond the position, and the bytes read 0.
    EXPECT_TRUE(file->seek(5));
    EXPECT_EQ(file->getSize(), 6);
    EXPECT_EQ(file->getPos(), 5);
    ASSERT_TRUE(file->seek(0));
    std::array<u8, 6> out;
    out.fill(0xFF);
    EXPECT_EQ(file->read(out.data(), 6), 6);
    EXPECT_EQ(out, (std::array<u8, 6>{}));
}

} // namespace
