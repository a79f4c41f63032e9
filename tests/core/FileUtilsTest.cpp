#include "core/FileUtils.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

// The rows run in order in one temporary folder, which is also the working folder: a row
// may rely on what the rows before it made. A file named "blocker" stands in the folder.
TEST(CreateDirectoryPathTest, CreatesEveryMissingFolderAndFailsWhereAFileStands) {
    test::TempDir dir;
    test::ScopedWorkingDir inside(dir.path());
    ASSERT_TRUE(test::writeFileBytes(dir.file("blocker"), "x"));
    const struct {
        const char* name;
        const char* path;
        bool underTheFolder; // else taken as it stands
        bool created;
        const char* folder; // checked under the folder after the call
    } rows[] = {
        {"every missing folder, parents first", "Thumbnails/Workshop/Level One", true, true,
         "Thumbnails/Workshop/Level One"},
        {"the folder itself exists", "", true, true, ""},
        {"a new path", "a/b", true, true, "a/b"},
        {"the same path again", "a/b", true, true, "a/b"},
        {"an existing parent", "a", true, true, "a"},
        {"trailing separator", "one/two/", true, true, "one/two"},
        {"doubled separator", "three//four", true, true, "three/four"},
        {"backslash separator", "five\\six", true, true, "five/six"},
        {"relative paths start at the working folder", "Saves/Shots", false, true, "Saves/Shots"},
        {"a file in the way", "blocker/inner", true, false, nullptr},
        {"the file itself", "blocker", true, false, nullptr},
        {"an empty path", "", false, false, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = row.path;
        if (row.underTheFolder)
            path = *row.path ? dir.file(row.path) : dir.path().string();
        EXPECT_EQ(createDirectoryPath(path), row.created) << path;
        if (row.folder) {
            EXPECT_TRUE(fs::is_directory(dir.path() / row.folder)) << row.folder;
        }
    }
    EXPECT_TRUE(fs::is_regular_file(dir.file("blocker"))); // left as it was
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
