// The shader preprocessor's rules, table-driven: directives and their nesting, comments,
// unknown directives, broken blocks, driver-feature and caller defines, value substitution.
#include "render/ShaderPreprocessor.h"

#include "support/NullDevice.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

// Collapses runs of blanks and newlines into one blank, so expectations read as text.
std::string squeeze(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\t';
        if (blank) {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

struct Case {
    const char* what;
    const char* source;
    const char* expected; // after squeeze
};

const Case cases[] = {
    {"no directive: unchanged, comments too", "a // note\nb /* c */\n", "a // note b /* c */"},
    {"defined name keeps the if-part", "##ifdef YES\nkeep\n##else\ndrop\n##endif\nend\n", "//ifdef YES keep end"},
    {"undefined name keeps the else-part", "##ifdef NO\ndrop\n##else\nkeep\n##endif\n", "keep //endif"},
    {"undefined name without else drops the block", "a\n##ifdef NO\ndrop\n##endif\nb\n", "a b"},
    {"defined name without else keeps both comments", "##ifdef YES\nkeep\n##endif\n", "//ifdef YES keep //endif"},
    {"negated undefined name holds", "##ifdef !NO\nkeep\n##else\ndrop\n##endif\n", "//ifdef !NO keep"},
    {"negated defined name fails", "##ifdef ! YES\ndrop\n##else\nkeep\n##endif\n", "keep //endif"},
    {"nested inside a kept part is evaluated", "##ifdef YES\nA\n##ifdef NO\nB\n##else\nC\n##endif\n##endif\n",
     "//ifdef YES A C //endif //endif"},
    {"nested inside a dropped part goes with it", "##ifdef NO\nA\n##ifdef YES\nB\n##endif\n##endif\nZ\n", "Z"},
    {"comments are blanked once a block exists", "x // c\n##ifdef YES\ny /* d */\n##endif\n", "x //ifdef YES y //endif"},
    {"a // inside a block comment ends it on that line", "/* a // b */ c\nd */ e\n##ifdef YES\n##endif\n",
     "e //ifdef YES //endif"},
    {"an unclosed block comment runs to the end", "a\n##ifdef YES\nb\n##endif\n/* c\n", "a //ifdef YES b //endif"},
    {"stray endif and else stay unchanged", "##endif\n##else\n", "##endif ##else"},
    {"unknown directive is passed over", "##ifdef YES\n##pragma x\nkeep\n##endif\n", "//ifdef YES ##pragma x keep //endif"},
    {"single hash lines are left alone", "##ifdef YES\n#define A 1\n##endif\n", "//ifdef YES #define A 1 //endif"},
    {"value define is substituted everywhere", "v = COUNT; w = COUNTER;\n", "v = 12 ; w = 12 ER;"},
    {"empty-value define is not substituted", "YES;\n", "YES;"},
    {"driver features: none on the null driver", "##ifdef EVDF_PIXEL_SHADER_3_0\nsm3\n##else\nsm2\n##endif\n",
     "sm2 //endif"},
    {"negated driver feature keeps its if-part without the feature",
     "##ifdef !EVDF_PIXEL_SHADER_3_0\nlow\n##else\nhigh\n##endif\n", "//ifdef !EVDF_PIXEL_SHADER_3_0 low"},
    {"unmatched if: earlier blocks applied, the rest left", "##ifdef NO\nx\n##endif\n##ifdef YES\ny\n",
     "//ifdef YES y"},
    {"unmatched undefined if: its part is left", "a\n##ifdef NO\ny\n", "a //ifdef NO y"},
    {"duplicate else stops collecting", "##ifdef NO\na\n##else\nb\n##else\nc\n##endif\n",
     "//ifdef NO a //else b ##else c ##endif"},
    {"invalid if on the last line without a newline", "a\n##ifdef YES", "a //ifdef YES"},
};

class PreprocessorTest : public ::testing::TestWithParam<Case> {
protected:
    test::NullDevice device;
};

TEST_P(PreprocessorTest, Rule) {
    ShaderPreprocessor preprocessor(device->getVideoDriver());
    preprocessor.addDefine("YES", "");
    preprocessor.addDefine("COUNT", "12");
    const std::string result = preprocessor.preprocessSource(GetParam().source);
    EXPECT_EQ(squeeze(result), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(Rules, PreprocessorTest, ::testing::ValuesIn(cases));

TEST(PreprocessorRules, PositionsAndLengthStayWhenNothingIsSubstituted) {
    test::NullDevice device;
    ShaderPreprocessor preprocessor(device->getVideoDriver());
    const std::string source = "a // c\n##ifdef NO\nb\n##else\nc\n##endif\n/* x */d\n";
    std::string text = source;
    const auto blocks = preprocessor.process(text);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].ifPosition, static_cast<irr::s32>(source.find("##ifdef")));
    EXPECT_EQ(blocks[0].elsePosition, static_cast<irr::s32>(source.find("##else")));
    EXPECT_EQ(blocks[0].endifPosition, static_cast<irr::s32>(source.find("##endif")));
    EXPECT_EQ(blocks[0].name, "NO");
    EXPECT_EQ(preprocessor.preprocessSource(source).size(), source.size());
}

TEST(PreprocessorRules, NestedBlocksAreFoundAfterTheirParent) {
    test::NullDevice device;
    ShaderPreprocessor preprocessor(device->getVideoDriver());
    std::string text = "##ifdef A\n##ifdef B\n##endif\n##endif\n";
    const auto blocks = preprocessor.process(text);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].name, "A");
    EXPECT_EQ(blocks[1].name, "B");
    EXPECT_LT(blocks[0].ifPosition, blocks[1].ifPosition);
    EXPECT_GT(blocks[0].endifPosition, blocks[1].endifPosition);
}

TEST(PreprocessorRules, ADefineChangedByACallerTakesItsNewValue) {
    test::NullDevice device;
    ShaderPreprocessor preprocessor(device->getVideoDriver());
    preprocessor.addDefine("SAMPLE_AMOUNT", "1");
    preprocessor.addDefine("SAMPLE_AMOUNT", "16");
    EXPECT_EQ(squeeze(preprocessor.preprocessSource("n = SAMPLE_AMOUNT;")), "n = 16 ;");
}

TEST(PreprocessorRules, AValueHoldingItsOwnNameIsSubstitutedOnce) {
    test::NullDevice device;
    ShaderPreprocessor preprocessor(device->getVideoDriver());
    preprocessor.addDefine("X", "(X+1)");
    EXPECT_EQ(squeeze(preprocessor.preprocessSource("a X b X")), "a (X+1) b (X+1)");
}

TEST(PreprocessorRules, FileIsReadLineByLineAndAMissingFileIsEmpty) {
    test::NullDevice device;
    ShaderPreprocessor preprocessor(device->getVideoDriver());
    preprocessor.addDefine("SCREENX", "1280");
    const std::string path = testing::TempDir() + "preprocessor_source.glsl";
    {
        std::ofstream file(path);
        file << "w = SCREENX;\n##ifdef NO\nx\n##endif\ny";
    }
    EXPECT_EQ(squeeze(preprocessor.preprocessFile(path)), "w = 1280 ; y");
    std::remove(path.c_str());
    EXPECT_EQ(preprocessor.preprocessFile(path + ".missing"), "");
}

} // namespace
