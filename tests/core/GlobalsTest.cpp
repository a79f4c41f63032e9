#include "core/Globals.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

PlayerObject* fakePlayer(int n) { return reinterpret_cast<PlayerObject*>(static_cast<std::uintptr_t>(0x1000 * n)); }

class PlayerListTest : public ::testing::Test {
protected:
    void TearDown() override { clearPlayers(); }
};

TEST_F(PlayerListTest, EmptyListAnswersNullForEveryIndex) {
    EXPECT_EQ(playerCount(), 0);
    EXPECT_EQ(getPlayer(0), nullptr);
    EXPECT_EQ(getPlayer(-1), nullptr);
    EXPECT_EQ(getPlayer(3), nullptr);
}

TEST_F(PlayerListTest, SettingAnEntryGrowsTheListToHoldIt) {
    setPlayer(1, fakePlayer(2));
    EXPECT_EQ(playerCount(), 2);
    EXPECT_EQ(getPlayer(0), nullptr);
    EXPECT_EQ(getPlayer(1), fakePlayer(2));
    EXPECT_EQ(getPlayer(2), nullptr);
}

TEST_F(PlayerListTest, StoringNullAtIndexZeroEmptiesTheList) {
    setPlayer(0, fakePlayer(1));
    setPlayer(1, fakePlayer(2));
    setPlayer(0, nullptr);
    EXPECT_EQ(playerCount(), 0);
    EXPECT_EQ(getPlayer(1), nullptr);
}

TEST_F(PlayerListTest, IndicesOutsideTheTableAreIgnored) {
    setPlayer(maxPlayers, fakePlayer(5));
    setPlayer(-1, fakePlayer(5));
    EXPECT_EQ(playerCount(), 0);
}

TEST(ProgramFlagsTest, StartValues) {
    resetProgramFlags();
    EXPECT_EQ(screenWidth, 1280);
    EXPECT_EQ(screenHeight, 720);
    EXPECT_EQ(&displayWidth, &screenWidth);
    EXPECT_FLOAT_EQ(frameTargetInterval, 0.0167f);
    EXPECT_FLOAT_EQ(baseShadowDistance, 78.539818f);
    EXPECT_TRUE(StartingUp);
    EXPECT_FALSE(QuitRequested);
    EXPECT_FALSE(debugMode);
}

} // namespace
