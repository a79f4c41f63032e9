#include "core/FileUtils.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

TEST(CreateDirectoryPathTest, CreatesEveryMissingFolderParentsFirst) {
    test::TempDir dir;
    const std::string path = dir.file("Thumbnails/Workshop/Level One");
    EXPECT_TRUE(createDirectoryPath(path));
    EXPECT_TRUE(fs::is_directory(path));
}

TEST(CreateDirectoryPathTest, ExistingPathIsSuccess) {
    test::TempDir dir;
    EXPECT_TRUE(createDirectoryPath(dir.path().string()));
    EXPECT_TRUE(createDirectoryPath(dir.file("a/b")));
    EXPECT_TRUE(createDirectoryPath(dir.file("a/b")));
    EXPECT_TRUE(createDirectoryPath(dir.file("a")));
}

TEST(CreateDirectoryPathTest, TrailingDoubledAndBackslashSeparators) {
    test::TempDir dir;
    EXPECT_TRUE(createDirectoryPath(dir.file("one/two/")));
    EXPECT_TRUE(fs::is_directory(dir.path() / "one" / "two"));
    EXPECT_TRUE(createDirectoryPath(dir.file("three//four")));
    EXPECT_TRUE(fs::is_directory(dir.path() / "three" / "four"));
    EXPECT_TRUE(createDirectoryPath(dir.path().string() + "/five\\six"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "five" / "six"));
}

TEST(CreateDirectoryPathTest, RelativePathsStartAtTheWorkingFolder) {
    test::TempDir dir;
    test::ScopedWorkingDir inside(dir.path());
    EXPECT_TRUE(createDirectoryPath("Saves/Shots"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "Saves" / "Shots"));
}

TEST(CreateDirectoryPathTest, FileInTheWayFails) {
    test::TempDir dir;
    ASSERT_TRUE(test::writeFileBytes(dir.file("blocker"), "x"));
    EXPECT_FALSE(createDirectoryPath(dir.file("blocker/inner")));
    EXPECT_FALSE(createDirectoryPath(dir.file("blocker")));
    EXPECT_TRUE(fs::is_regular_file(dir.file("blocker"))); // left as it was
}

TEST(CreateDirectoryPathTest, EmptyPathFails) {
    EXPECT_FALSE(createDirectoryPath(""));
}

} // namespace
