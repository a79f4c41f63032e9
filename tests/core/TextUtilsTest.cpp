#include "core/TextUtils.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

std::string plain(float seconds) {
    return formatTime(seconds, false, false, false);
}
std::string withMs(float seconds) {
    return formatTime(seconds, true, false, false);
}
std::string trimmed(float seconds, bool ms) {
    return formatTime(seconds, ms, false, true);
}

TEST(FormatTimeTest, HoursMinutesSecondsAndMilliseconds) {
    EXPECT_EQ(plain(0.0f), "0:00:00");
    EXPECT_EQ(plain(65.0f), "0:01:05");
    EXPECT_EQ(plain(3725.5f), "1:02:05");
    EXPECT_EQ(withMs(3725.5f), "1:02:05.500");
    EXPECT_EQ(withMs(65.25f), "0:01:05.250");
    EXPECT_EQ(withMs(0.3f), "0:00:00.300");
    EXPECT_EQ(withMs(0.007f), "0:00:00.007");
    EXPECT_EQ(plain(36000.0f), "10:00:00"); // hours have no leading zero and no limit of two
    EXPECT_EQ(plain(360000.0f), "100:00:00");
}

TEST(FormatTimeTest, RoundsToTheMillisecondWithoutShowingSixtySeconds) {
    EXPECT_EQ(withMs(59.9996f), "0:01:00.000");
    EXPECT_EQ(withMs(2.0006f), "0:00:02.001");
    EXPECT_EQ(plain(59.4f), "0:00:59");
}

TEST(FormatTimeTest, NotAvailableOnlyForExactlyZero) {
    EXPECT_EQ(formatTime(0.0f, true, true, false), "N/A");
    EXPECT_EQ(formatTime(0.0f, false, true, true), "N/A");
    EXPECT_EQ(formatTime(0.0001f, true, true, false), "0:00:00.000");
    EXPECT_EQ(formatTime(0.0f, true, false, false), "0:00:00.000");
}

TEST(FormatTimeTest, TrimmingStopsAtSixCharacters) {
    EXPECT_EQ(trimmed(65.25f, true), "1:05.250");
    EXPECT_EQ(trimmed(5.25f, true), "05.250");
    EXPECT_EQ(trimmed(0.0f, true), "00.000");
    EXPECT_EQ(trimmed(605.0f, true), "10:05.000");
    EXPECT_EQ(trimmed(3725.5f, true), "1:02:05.500"); // hours are kept
    EXPECT_EQ(trimmed(36000.0f, false), "10:00:00");
}

TEST(FormatTimeTest, TrimmingNeverLeavesASeparatorInFront) {
    EXPECT_EQ(trimmed(65.0f, false), "01:05");
    EXPECT_EQ(trimmed(0.0f, false), "00:00");
    EXPECT_EQ(trimmed(3725.0f, false), "1:02:05");
}

// The frame's timer texts are written into a buffer of the caller's: a short one cuts the text.
TEST(FormatTimeTest, IntoABufferTheTextIsCutToTheBuffer) {
    char buffer[12];
    EXPECT_EQ(formatTimeInto(buffer, sizeof(buffer), 65.25f, true, false, false), 11u);
    EXPECT_STREQ(buffer, "0:01:05.250");
    EXPECT_EQ(formatTimeInto(buffer, 6, 65.25f, true, false, false), 5u);
    EXPECT_STREQ(buffer, "0:01:");
    EXPECT_EQ(formatTimeInto(buffer, 1, 65.25f, true, false, false), 0u);
    EXPECT_STREQ(buffer, "");
}

TEST(FormatTimeTest, NegativeAndInvalidTimesCountAsZero) {
    EXPECT_EQ(plain(-5.0f), "0:00:00");
    EXPECT_EQ(withMs(-0.001f), "0:00:00.000");
    EXPECT_EQ(formatTime(-12.0f, true, true, false), "N/A");
    EXPECT_EQ(plain(std::numeric_limits<float>::quiet_NaN()), "0:00:00");
    EXPECT_EQ(plain(-std::numeric_limits<float>::infinity()), "0:00:00");
    // An endless time is held at the largest one shown, not printed as garbage.
    EXPECT_EQ(withMs(std::numeric_limits<float>::infinity()), "277777:46:39.000");
}

TEST(FormatTimeTest, WideFormIsTheSameText) {
    EXPECT_EQ(formatTimeW(65.25f, true, false, true), L"1:05.250");
    EXPECT_EQ(formatTimeW(0.0f, false, true, true), L"N/A");
    EXPECT_EQ(formatTimeW(3725.5f, true, false, false), L"1:02:05.500");
}

// Every row starts from a list holding old entries: the parts replace them.
TEST(SplitStringTest, SplitsAtEveryDelimiterKeepingEmptyParts) {
    const struct {
        const char* name;
        const wchar_t* text;
        wchar_t delimiter;
        std::vector<std::wstring> parts;
    } rows[] = {
        {"every delimiter", L"first\\second\\third", L'\\', {L"first", L"second", L"third"}},
        {"no delimiter", L"one line", L'\\', {L"one line"}},
        {"empty part inside", L"a\\\\b", L'\\', {L"a", L"", L"b"}},
        {"empty parts at both ends", L"\\a\\", L'\\', {L"", L"a", L""}},
        {"only a delimiter", L"\\", L'\\', {L"", L""}},
        {"empty text", L"", L'\\', {}},
        {"another delimiter", L"x,y", L',', {L"x", L"y"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::wstring> parts{L"old", L"entries"};
        EXPECT_EQ(splitString(row.text, row.delimiter, parts), row.parts.size());
        EXPECT_EQ(parts, row.parts);
    }
}

} // namespace

TEST(EqualsIgnoringAsciiCaseTest, FoldsOnlyTheLettersAToZ) {
    EXPECT_TRUE(equalsIgnoringAsciiCase("Content/Levels/Pumps_Main.irr",
                                        "content/levels/PUMPS_MAIN.IRR"));
    EXPECT_TRUE(equalsIgnoringAsciiCase(L"Church.irr", L"CHURCH.irr"));
    EXPECT_TRUE(equalsIgnoringAsciiCase("", ""));
    // Characters next to the letters in the code table are not letters.
    EXPECT_FALSE(equalsIgnoringAsciiCase("@[`{", "`{@["));
    EXPECT_FALSE(equalsIgnoringAsciiCase("a_b", "A-B"));
    // Letters outside A-Z keep their case.
    EXPECT_FALSE(equalsIgnoringAsciiCase(L"\u00c9glise", L"\u00e9glise"));
    EXPECT_TRUE(equalsIgnoringAsciiCase(L"\u00c9GLISE", L"\u00c9glise"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("Level", "Level2"));
}
