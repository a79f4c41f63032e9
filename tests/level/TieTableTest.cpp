#include "level/TieTable.h"

#include "core/Globals.h"
#include "level/SaveManager.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <memory>

using namespace irr;

namespace {

class TieTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        demoMode = false;
        save = std::make_unique<SaveManager>(device->getFileSystem(), dir.file("save"));
        save->automaticWriting = false;
        saveManager = save.get();
    }
    void TearDown() override {
        saveManager = nullptr;
        demoMode = false;
    }

    bool loadTable(const std::string& xml) {
        const std::string path = dir.file("Ties.xml");
        test::writeFileBytes(path, xml);
        ::testing::internal::CaptureStdout();
        const bool loaded = table.load(device->getFileSystem(), path);
        log = ::testing::internal::GetCapturedStdout();
        return loaded;
    }

    test::NullDevice device;
    test::TempDir dir;
    std::unique_ptr<SaveManager> save;
    TieTable table;
    std::string log;
};

constexpr const char* tableXml =
    "<?xml version=\"1.0\"?>\n<Ties>\n"
    "  <Tie id=\"10\" path=\"Content/Ties/A.png\" levelOwner=\"Content/Levels/Church_Main.irr\"/>\n"
    "  <Tie id=\"11\" path=\"Content/Ties/B.png\" levelOwner=\"Content/Levels/Pumps_Main.irr\"/>\n"
    "  <Tie id=\"-3\" path=\"Content/Ties/C.png\" levelOwner=\"content/levels/CHURCH_MAIN.irr\"/>\n"
    "  <Tie id=\"12\" path=\"Content/Ties/D.png\" levelOwner=\"Content/Levels/Church_Main.irr\"/>\n"
    "  <Tie path=\"Content/Ties/NoID.png\" levelOwner=\"Content/Levels/Church_Main.irr\"/>\n"
    "  <Tie id=\"1x\" path=\"Content/Ties/BadID.png\" levelOwner=\"Content/Levels/Church_Main.irr\"/>\n"
    "</Ties>\n";

TEST_F(TieTableTest, ReadsTheRowsInTableOrder) {
    ASSERT_TRUE(loadTable(tableXml));
    ASSERT_EQ(table.getTies().size(), 4u);
    EXPECT_EQ(table.getTies()[0].id, 10);
    EXPECT_EQ(table.getTies()[2].id, -3);
    EXPECT_EQ(table.getTies()[3].levelOwner, L"Content/Levels/Church_Main.irr");
    EXPECT_EQ(log, "Warning: 2 ties of \"" + dir.file("Ties.xml") +
                       "\" have no whole-number \"id\" and are left out.\n");
    EXPECT_EQ(table.getTiePath(11), io::path("Content/Ties/B.png"));
    EXPECT_EQ(table.getTiePath(99), io::path());
}

// A row is a "Tie" element directly in the table: other elements there, and ties nested
// inside any element, are no rows.
TEST_F(TieTableTest, OnlyTieElementsDirectlyInTheTableAreRows) {
    ASSERT_TRUE(loadTable("<Ties>"
                          "<Tie id=\"1\" path=\"a.png\"/>"
                          "<Note id=\"2\" path=\"b.png\"/>"
                          "<Tie id=\"3\" path=\"c.png\"><Tie id=\"4\" path=\"d.png\"/></Tie>"
                          "<Group><Tie id=\"5\" path=\"e.png\"/><Note id=\"6\"/></Group>"
                          "</Ties>"));
    ASSERT_EQ(table.getTies().size(), 2u);
    EXPECT_EQ(table.getTies()[0].id, 1);
    EXPECT_EQ(table.getTies()[1].id, 3);
    for (s32 id : {2, 4, 5, 6})
        EXPECT_EQ(table.getTiePath(id), io::path()) << id;
    EXPECT_EQ(log, "");
}

TEST_F(TieTableTest, CountsTheTiesOfALevelIgnoringTheCaseOfAToZ) {
    ASSERT_TRUE(loadTable(tableXml));
    EXPECT_EQ(table.countTiesForLevel(L"Content/Levels/Church_Main.irr"), 3);
    EXPECT_EQ(table.countTiesForLevel(L"CONTENT/LEVELS/church_main.IRR"), 3);
    EXPECT_EQ(table.countTiesForLevel(L"Content/Levels/Pumps_Main.irr"), 1);
    EXPECT_EQ(table.countTiesForLevel(L"Content/Levels/Church_Main"), 0);
    EXPECT_EQ(table.countTiesForLevel(nullptr), 0);
}

TEST_F(TieTableTest, NthTieOfALevelInTableOrderAsksTheSave) {
    ASSERT_TRUE(loadTable(tableXml));
    const wchar_t* church = L"Content/Levels/Church_Main.irr";
    save->saveTieCollected(12);
    save->saveTieCollected(11);
    // The church's ties are 10, -3 and 12, in that order.
    EXPECT_FALSE(table.isLevelTieCollected(church, 0));
    EXPECT_FALSE(table.isLevelTieCollected(church, 1)); // negative ID
    EXPECT_TRUE(table.isLevelTieCollected(church, 2));
    EXPECT_FALSE(table.isLevelTieCollected(church, 3)); // no such tie
    EXPECT_FALSE(table.isLevelTieCollected(church, -1));
    EXPECT_TRUE(table.isLevelTieCollected(L"content/levels/pumps_main.irr", 0));
    save->saveTieCollected(10);
    EXPECT_TRUE(table.isLevelTieCollected(church, 0));

    demoMode = true;
    EXPECT_FALSE(table.isLevelTieCollected(church, 0));
    EXPECT_FALSE(table.isLevelTieCollected(church, 2));
    demoMode = false;
    saveManager = nullptr;
    EXPECT_FALSE(table.isLevelTieCollected(church, 2));

    // 0 is a tie's ID like any other that is not negative.
    saveManager = save.get();
    ASSERT_TRUE(loadTable("<Ties><Tie id=\"0\" path=\"Content/Ties/Z.png\" levelOwner=\"Content/Levels/Yard.irr\"/></Ties>"));
    save->saveTieCollected(0);
    EXPECT_TRUE(table.isLevelTieCollected(L"Content/Levels/Yard.irr", 0));
}

TEST_F(TieTableTest, MissingOrBrokenFileIsLoggedAndLeavesWhatCouldBeRead) {
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(table.load(device->getFileSystem(), dir.file("Missing.xml")));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "ERROR: Could not open \"" + dir.file("Missing.xml") + "\".\n");
    EXPECT_TRUE(table.getTies().empty());

    EXPECT_FALSE(loadTable("<Achievements><Tie id=\"1\"/></Achievements>"));
    EXPECT_TRUE(table.getTies().empty());
    EXPECT_EQ(log, "ERROR: \"" + dir.file("Ties.xml") + "\" is not a table of the kind expected.\n");

    // A file cut short keeps the rows before the cut.
    EXPECT_TRUE(loadTable("<Ties><Tie id=\"1\" path=\"a.png\"/><Tie id=\"2\" pa"));
    ASSERT_EQ(table.getTies().size(), 1u);
    EXPECT_EQ(table.getTiePath(1), io::path("a.png"));
    EXPECT_NE(log.find("Warning: "), std::string::npos) << log;

    // An empty table is a whole one.
    EXPECT_TRUE(loadTable("<Ties/>"));
    EXPECT_TRUE(table.getTies().empty());
    EXPECT_EQ(log, "");
}

TEST_F(TieTableTest, ShippedTableIsWhole) {
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(table.load(device->getFileSystem(),
                           (test::sourceDir() / TieTable::defaultFile).string()));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_GT(table.getTies().size(), 0u);
}

} // namespace
