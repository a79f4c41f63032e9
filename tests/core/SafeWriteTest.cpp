#include "core/SafeWrite.h"
#include "support/FileSizeLimit.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <sys/stat.h>

namespace {

class SafeWriteTest : public ::testing::Test {
protected:
    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static unsigned modeOf(const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 0777;
    }

    test::TempDir dir;
    std::string path = dir.file("save.tsav");
};

TEST_F(SafeWriteTest, WritesANewFileReadableByEveryone) {
    EXPECT_TRUE(writeFileSafely(path, "first"));
    EXPECT_EQ(test::readFileBytes(path), "first");
    EXPECT_EQ(modeOf(path), 0644u);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.tsav"});
}

TEST_F(SafeWriteTest, ReplacesTheOldFileAndKeepsItsPermissions) {
    ASSERT_TRUE(test::writeFileBytes(path, "old content that is longer"));
    ::chmod(path.c_str(), 0600);
    EXPECT_TRUE(writeFileSafely(path, "new"));
    EXPECT_EQ(test::readFileBytes(path), "new");
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_TRUE(writeFileSafely(path, ""));
    EXPECT_EQ(test::readFileBytes(path), "");
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.tsav"});
}

TEST_F(SafeWriteTest, FailedWriteLeavesTheOldFileIntact) {
    ASSERT_TRUE(test::writeFileBytes(path, "the player's data"));
    const std::string big(64 * 1024, 'x');
    bool written = true;
    ::testing::internal::CaptureStdout();
    {
        test::FileSizeLimit limit(4096); // the disk fills up part-way
        written = writeFileSafely(path, big);
    }
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(written);
    EXPECT_EQ(log.rfind("ERROR: ", 0), 0u) << log;
    EXPECT_EQ(test::readFileBytes(path), "the player's data");
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.tsav"});
}

TEST_F(SafeWriteTest, MissingFolderFails) {
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(writeFileSafely(dir.file("missing/save.tsav"), "data"));
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("ERROR: "), std::string::npos);
    EXPECT_TRUE(folderEntries().empty());
}

TEST_F(SafeWriteTest, AnotherWriterFillsTheTemporaryFileThenCommits) {
    ASSERT_TRUE(test::writeFileBytes(path, "old"));
    test::NullDevice engine;
    irr::io::IFileSystem* fs = engine->getFileSystem();
    {
        SafeFileWrite file(path);
        ASSERT_TRUE(file.isOpen());
        EXPECT_EQ(std::filesystem::path(file.tempPath()).parent_path(), dir.path());
        irr::io::IAttributes* attributes = fs->createEmptyAttributes();
        attributes->addInt("Value", 42);
        irr::io::IXMLWriter* writer = fs->createXMLWriter(file.tempPath().c_str());
        ASSERT_NE(writer, nullptr);
        attributes->write(writer, true);
        writer->drop();
        attributes->drop();
        EXPECT_EQ(test::readFileBytes(path), "old"); // untouched until the commit
        EXPECT_TRUE(file.commit());
    }
    irr::io::IXMLReader* reader = fs->createXMLReader(path.c_str());
    ASSERT_NE(reader, nullptr);
    irr::io::IAttributes* attributes = fs->createEmptyAttributes();
    attributes->read(reader);
    reader->drop();
    EXPECT_EQ(attributes->getAttributeAsInt("Value"), 42);
    attributes->drop();
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.tsav"});
}

TEST_F(SafeWriteTest, UncommittedWriteIsThrownAway) {
    ASSERT_TRUE(test::writeFileBytes(path, "old"));
    {
        SafeFileWrite file(path);
        ASSERT_TRUE(file.write("new", 3));
    }
    EXPECT_EQ(test::readFileBytes(path), "old");
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.tsav"});

    SafeFileWrite file(path);
    ASSERT_TRUE(file.write("new", 3));
    file.discard();
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(test::readFileBytes(path), "old");
}

// A folder standing where the file goes: the rename fails, the failure is told, the temporary
// file goes and nothing more is written through the failed writer.
TEST_F(SafeWriteTest, AFolderInTheFilesPlaceFailsTheRenameAndLeavesNoTemporaryFile) {
    std::filesystem::create_directories(dir.file("save.tsav/inside"));
    std::string failure;
    {
        SafeFileWrite file(path, &failure);
        ASSERT_TRUE(file.isOpen());
        ASSERT_TRUE(file.write("data", 4));
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(failure.rfind("rename: ", 0), 0u) << failure;
        EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.tsav"}) << "the temporary file is gone at once";
        EXPECT_FALSE(file.write("more", 4)) << "a writer is done once its commit failed";
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(failure.rfind("rename: ", 0), 0u) << "nothing more was tried: " << failure;
    }
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.tsav"});
    EXPECT_TRUE(std::filesystem::is_directory(path));
    std::string told;
    EXPECT_FALSE(writeFileSafely(path, "data", &told));
    EXPECT_EQ(told.rfind("rename: ", 0), 0u) << told;
    EXPECT_EQ(removeLeftoverTemporaryFiles(dir.file("missing"), 0), 0) << "a missing folder has none";
}

TEST_F(SafeWriteTest, KeepingAsideRenamesToBad) {
    ASSERT_TRUE(test::writeFileBytes(path, "unreadable"));
    ASSERT_TRUE(test::writeFileBytes(path + ".bad", "older unreadable"));
    EXPECT_EQ(keptAsidePath(path), path + ".bad");
    EXPECT_TRUE(keepFileAside(path));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(test::readFileBytes(path + ".bad"), "unreadable");
    EXPECT_FALSE(keepFileAside(path)); // nothing left to keep aside
}

} // namespace
