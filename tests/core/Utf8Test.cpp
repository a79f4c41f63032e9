#include "core/Utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8Test, RoundTripsEveryPlane) {
    const std::wstring text = L"A\u00e7\u20ac\U0001F600";
    const std::string bytes = toUtf8(text.c_str());
    EXPECT_EQ(bytes, "A\xC3\xA7\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(fromUtf8(bytes.c_str()), text);
    EXPECT_EQ(toUtf8(nullptr), "");
    EXPECT_EQ(fromUtf8(nullptr), L"");
}

TEST(Utf8Test, EachLengthReadsFromItsLowestToItsHighestLeadByte) {
    const struct {
        const char* bytes;
        char32_t character;
    } cases[] = {{"\xC2\x80", 0x80},         {"\xDF\xBF", 0x7FF},         {"\xE0\xA0\x80", 0x800},
                 {"\xEF\xBF\xBF", 0xFFFF}, {"\xF0\x90\x80\x80", 0x10000}, {"\xF4\x8F\xBF\xBF", 0x10FFFF}};
    for (const auto& c : cases) {
        const std::wstring wide(1, static_cast<wchar_t>(c.character));
        EXPECT_EQ(fromUtf8(c.bytes), wide) << std::hex << static_cast<unsigned>(c.character);
        EXPECT_EQ(toUtf8(wide.c_str()), c.bytes) << std::hex << static_cast<unsigned>(c.character);
    }
    EXPECT_EQ(fromUtf8("\xC1\xBF"), L"\uFFFD\uFFFD");                 // below the two-byte leads
    EXPECT_EQ(fromUtf8("\xF5\x80\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD"); // above the four-byte leads
}

TEST(Utf8Test, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(fromUtf8("a\x80"
                       "b"),
              L"a\uFFFDb");                             // stray continuation byte
    EXPECT_EQ(fromUtf8("a\xC3"), L"a\uFFFD");           // cut at the end
    EXPECT_EQ(fromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");   // overlong lead byte
    EXPECT_EQ(fromUtf8("\xE0\x80\xAF"), L"\uFFFD");     // overlong three-byte form
    EXPECT_EQ(fromUtf8("\xED\xA0\x80"), L"\uFFFD");     // surrogate
    EXPECT_EQ(fromUtf8("\xF4\x90\x80\x80"), L"\uFFFD"); // beyond U+10FFFF
    const wchar_t surrogate[] = {static_cast<wchar_t>(0xD800), 0};
    EXPECT_EQ(toUtf8(surrogate), "\xEF\xBF\xBD");
}

} // namespace
