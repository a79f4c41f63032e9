#include "platform/Power.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

void addSupply(const test::TempDir& dir, const std::string& name, const std::string& type,
               const std::string& scope = {}) {
    std::filesystem::create_directories(dir.path() / name);
    test::writeFileBytes(dir.file(name + "/type"), type + "\n");
    if (!scope.empty())
        test::writeFileBytes(dir.file(name + "/scope"), scope + "\n");
}

} // namespace

TEST(PowerTest, OnlyABatteryThatPowersTheSystemCounts) {
    test::TempDir supplies;
    EXPECT_FALSE(platform::hasSystemBattery(supplies.path().string()));
    addSupply(supplies, "AC", "Mains");
    addSupply(supplies, "hidpp_battery_0", "Battery", "Device");
    EXPECT_FALSE(platform::hasSystemBattery(supplies.path().string()));
    addSupply(supplies, "BAT0", "Battery");
    EXPECT_TRUE(platform::hasSystemBattery(supplies.path().string()));
    EXPECT_FALSE(platform::hasSystemBattery((supplies.path() / "missing").string()));
}
