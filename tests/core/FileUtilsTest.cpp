#include "core/FileUtils.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

TEST(SaveFolderPathTest, DataHomeFolderCreatedWhenMissing) {
    test::TempDir dir;
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string kept = previous ? previous : "";
    ::setenv("XDG_DATA_HOME", dir.file("data home").c_str(), 1);
    const std::string folder = saveFolderPath();
    EXPECT_EQ(folder, dir.file("data home") + "/Paddlestone");
    EXPECT_TRUE(fs::is_directory(folder));

    // A relative data home is not a data home: the folder under the home folder is used.
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    const char* home = std::getenv("HOME");
    const std::string keptHome = home ? home : "";
    ::setenv("HOME", dir.file("home").c_str(), 1);
    EXPECT_EQ(saveFolderPath(), dir.file("home") + "/.local/share/Paddlestone");
    EXPECT_TRUE(fs::is_directory(dir.file("home/.local/share/Paddlestone")));
    if (home)
        ::setenv("HOME", keptHome.c_str(), 1);
    if (previous)
        ::setenv("XDG_DATA_HOME", kept.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}
