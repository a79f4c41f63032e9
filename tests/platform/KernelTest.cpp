#include "platform/Kernel.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

namespace {

// The data folder follows an absolute XDG_DATA_HOME, else the home folder from the
// environment, else the one the user database gives.
TEST(KernelTest, TheUserDataFolderFollowsTheBaseFolderRules) {
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    const struct {
        std::optional<std::string> dataHome, home;
        std::string expected;
    } rows[] = {
        {"/data/home", "/home/someone", "/data/home/Paddlestone"},
        {"relative/home", "/home/someone", "/home/someone/.local/share/Paddlestone"},
        {std::nullopt, "/home/someone", "/home/someone/.local/share/Paddlestone"},
        {"", std::nullopt, std::string(user->pw_dir) + "/.local/share/Paddlestone"},
    };
    for (const auto& row : rows) {
        test::ScopedEnv dataHome("XDG_DATA_HOME", row.dataHome);
        test::ScopedEnv home("HOME", row.home);
        EXPECT_EQ(platform::userDataFolder("Paddlestone"), row.expected) << row.dataHome.value_or("(unset)");
    }
    EXPECT_EQ(platform::userName(), user->pw_name);
}

TEST(KernelTest, FoldersAndFilesAreToldApartAndTheWorkingFolderMoves) {
    test::TempDir dir;
    const std::string folder = dir.file("Made");
    EXPECT_FALSE(platform::directoryExists(folder));
    EXPECT_TRUE(platform::createDirectory(folder));
    EXPECT_TRUE(platform::createDirectory(folder)) << "there already";
    EXPECT_TRUE(platform::directoryExists(folder));
    EXPECT_FALSE(platform::fileExists(folder));
    ASSERT_TRUE(test::writeFileBytes(dir.file("File"), "x"));
    EXPECT_TRUE(platform::fileExists(dir.file("File")));
    EXPECT_FALSE(platform::directoryExists(dir.file("File")));
    EXPECT_FALSE(platform::createDirectory(dir.file("File"))) << "a file holds the name";
    EXPECT_FALSE(platform::createDirectory(dir.file("No/Parent")));

    const std::string before = platform::currentDirectory();
    EXPECT_EQ(before, std::filesystem::current_path().string());
    ASSERT_TRUE(platform::setCurrentDirectory(folder));
    EXPECT_EQ(platform::currentDirectory(), std::filesystem::canonical(folder).string());
    EXPECT_FALSE(platform::setCurrentDirectory(dir.file("Missing")));
    ASSERT_TRUE(platform::setCurrentDirectory(before));
    EXPECT_EQ(platform::currentDirectory(), before);
}

TEST(KernelTest, TheLogHeaderFactsAreTheMachines) {
    utsname info{};
    ASSERT_EQ(::uname(&info), 0);
    EXPECT_EQ(platform::operatingSystemName(),
              std::string(info.sysname) + " " + info.release + " " + info.machine);
    const unsigned threads = std::thread::hardware_concurrency();
    EXPECT_EQ(platform::processorCount(), threads ? threads : 1u);
    // The whole memory in whole pages: at most one page short of what the kernel counts.
    struct sysinfo memory {};
    ASSERT_EQ(::sysinfo(&memory), 0);
    const std::uint64_t total = std::uint64_t(memory.totalram) * memory.mem_unit;
    const std::uint64_t page = std::uint64_t(::sysconf(_SC_PAGE_SIZE));
    EXPECT_LE(platform::physicalMemoryBytes(), total);
    EXPECT_GT(platform::physicalMemoryBytes() + page, total);
    EXPECT_EQ(platform::counterFrequency(), 1000000000LL);
    const std::int64_t first = platform::queryCounter();
    EXPECT_GE(platform::queryCounter(), first);
    EXPECT_TRUE(platform::executablePath().ends_with("/platform_tests")) << platform::executablePath();
    {
        test::ScopedEnv set("PADDLESTONE_KERNEL_TEST", "value");
        EXPECT_EQ(platform::environmentVariable("PADDLESTONE_KERNEL_TEST"), "value");
    }
    EXPECT_EQ(platform::environmentVariable("PADDLESTONE_KERNEL_TEST"), "");
}

} // namespace
