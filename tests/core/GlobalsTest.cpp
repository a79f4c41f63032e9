#include "core/Globals.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

PlayerObject* fakePlayer(int n) { return reinterpret_cast<PlayerObject*>(static_cast<std::uintptr_t>(0x1000 * n)); }

class PlayerListTest : public ::testing::Test {
protected:
    void TearDown() override { clearPlayers(); }
};

// The list after a run of stores: its count and what chosen indices answer (player 0: null).
TEST_F(PlayerListTest, StoresGrowShrinkOrAreIgnored) {
    struct Slot {
        int index;
        int player;
    };
    const struct {
        const char* name;
        std::vector<Slot> stores;
        int count;
        std::vector<Slot> reads;
    } rows[] = {
        {"an empty list answers null for every index", {}, 0, {{0, 0}, {-1, 0}, {3, 0}}},
        {"setting an entry grows the list to hold it", {{1, 2}}, 2, {{0, 0}, {1, 2}, {2, 0}}},
        {"storing null at index zero empties the list", {{0, 1}, {1, 2}, {0, 0}}, 0, {{1, 0}}},
        {"indices outside the table are ignored", {{maxPlayers, 5}, {-1, 5}}, 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        clearPlayers();
        for (const Slot& store : row.stores)
            setPlayer(store.index, fakePlayer(store.player));
        EXPECT_EQ(playerCount(), row.count);
        for (const Slot& read : row.reads)
            EXPECT_EQ(getPlayer(read.index), fakePlayer(read.player)) << "index " << read.index;
    }
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
