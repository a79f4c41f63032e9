#include "level/Achievements.h"

#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

class AchievementsTest : public ::testing::Test {
protected:
    test::NullDevice device;
    test::TempDir dir;
    AchievementsData data;
};

TEST_F(AchievementsTest, ReadsIdentifiersInFileOrderWithNamesAndDescriptions) {
    const std::string path = dir.file("Achievements.xml");
    test::writeFileBytes(path, "<Achievements>\n"
                               "  <Achievement id=\"B_SECOND\" name=\"Second\" description=\"Two\"/>\n"
                               "  <Achievement id=\"A_FIRST\" name=\"First &amp; best\"/>\n"
                               "  <Achievement name=\"No id\"/>\n"
                               "  <Achievement id=\"A_FIRST\" name=\"Again\"/>\n"
                               "</Achievements>\n");
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(data.load(device->getFileSystem(), path));
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(data.getIdentifiers(), (std::vector<std::string>{"B_SECOND", "A_FIRST"}));
    ASSERT_NE(data.find("A_FIRST"), nullptr);
    EXPECT_EQ(data.find("A_FIRST")->name, L"First & best");
    EXPECT_EQ(data.find("A_FIRST")->description, L"");
    EXPECT_EQ(data.find("B_SECOND")->description, L"Two");
    EXPECT_FALSE(data.find("B_SECOND")->unlocked);
    EXPECT_NE(log.find("Warning: 2 achievements"), std::string::npos) << log;
}

TEST_F(AchievementsTest, OneEntryLeftOutIsWarnedOfAndNoneIsNot) {
    for (const bool twice : {true, false}) {
        const std::string path = dir.file("Achievements.xml");
        test::writeFileBytes(path, std::string("<Achievements><Achievement id=\"A\" name=\"One\"/>") +
                                       (twice ? "<Achievement id=\"A\" name=\"Again\"/>" : "") +
                                       "</Achievements>");
        AchievementsData fresh;
        ::testing::internal::CaptureStdout();
        ASSERT_TRUE(fresh.load(device->getFileSystem(), path));
        const std::string log = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(log.find("Warning: 1 achievements") != std::string::npos, twice) << log;
        EXPECT_EQ(log.find("Warning:") != std::string::npos, twice) << log;
    }
}

TEST_F(AchievementsTest, UnlockLogsOnceAndRefusesTheSecondTime) {
    data.add("ACH_CHURCH", {L"Choir Practice", L"Finish the church.", false});
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(unlockAchievement(&data, "ACH_CHURCH"));
    EXPECT_FALSE(unlockAchievement(&data, "ACH_CHURCH"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Choir Practice Achievement Unlocked.\n");
    EXPECT_TRUE(data.find("ACH_CHURCH")->unlocked);
}

TEST_F(AchievementsTest, UnknownIdentifierOrNoDataChangesNothing) {
    data.add("ACH_CHURCH", {L"Choir Practice", L"", false});
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(unlockAchievement(&data, "ACH_church"));
    EXPECT_FALSE(unlockAchievement(&data, ""));
    EXPECT_FALSE(unlockAchievement(&data, nullptr));
    EXPECT_FALSE(unlockAchievement(nullptr, "ACH_CHURCH"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(data.find("ACH_CHURCH")->unlocked);
    EXPECT_FALSE(data.add("ACH_CHURCH", {L"Other", L"", false}));
}

TEST_F(AchievementsTest, ShippedAchievementsAreWhole) {
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(data.load(device->getFileSystem(),
                          (test::sourceDir() / AchievementsData::defaultFile).string()));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_GT(data.getIdentifiers().size(), 0u);
    for (const std::string& id : data.getIdentifiers())
        EXPECT_FALSE(data.find(id)->name.empty()) << id;
}

} // namespace
