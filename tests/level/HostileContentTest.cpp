// Content files (fonts, images, meshes, sounds) that a hostile user level can name or that a
// player can damage: each is checked before the engine reads it.
#include "LevelTestSupport.h"

#include "core/FileChecks.h"
#include "core/Log.h"
#include "core/SettingsTable.h"

#include <irrlicht.h>

#include <filesystem>
#include <string>

using namespace irr;

namespace {

class HostileContentTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        workingDir = std::make_unique<test::ScopedWorkingDir>(temp.path());
        forgetFileRefusals();
    }
    void write(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(temp.file(name)).parent_path());
        ASSERT_TRUE(test::writeFileBytes(temp.file(name), bytes));
    }
    std::size_t linesContaining(const std::string& part) const {
        std::size_t count = 0;
        for (const std::string& line : log.lines)
            count += line.find(part) != std::string::npos ? 1 : 0;
        return count;
    }
};

// --- settings and the terminal ------------------------------------------------------------------

TEST(HostileSettingsTest, AScreenSideOfZeroOrLessTakesTheDefault) {
    struct Row {
        const wchar_t* stored;
        double width;
        double height;
        SettingCheck check;
    };
    const Row rows[] = {{L"0", 1280, 720, SettingCheck::Adjusted},
                        {L"-1", 1280, 720, SettingCheck::Adjusted},
                        {L"-2147483647", 1280, 720, SettingCheck::Adjusted},
                        {L"1", 1, 1, SettingCheck::Accepted},
                        {L"16384", 16384, 16384, SettingCheck::Accepted},
                        {L"16385", 16384, 16384, SettingCheck::Adjusted}};
    const SettingDefinition& width = *findSettingDefinition("Graphics_ScreenWidth");
    const SettingDefinition& height = *findSettingDefinition("Graphics_ScreenHeight");
    for (const Row& row : rows) {
        SettingValue value;
        EXPECT_EQ(parseSettingValue(width, row.stored, value), row.check);
        EXPECT_EQ(value.number, row.width);
        EXPECT_EQ(parseSettingValue(height, row.stored, value), row.check);
        EXPECT_EQ(value.number, row.height);
    }
    // Other ranged keys still clamp to their minimum.
    SettingValue threads;
    EXPECT_EQ(parseSettingValue(*findSettingDefinition("Game_PhysicsThreads"), L"-4", threads),
              SettingCheck::Adjusted);
    EXPECT_EQ(threads.number, 0.0);
}

TEST(HostileTerminalTest, ControlCharactersReachTheTerminalEscaped) {
    testing::internal::CaptureStdout();
    writeLogLineToTerminal("Level \x1b[2J\x1b]0;title\x07\rERROR: forged\n\x7f.irr");
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "Level \\x1B[2J\\x1B]0;title\\x07\\rERROR: forged\\n\\x7F.irr\n");
}

} // namespace
