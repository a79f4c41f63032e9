#include "CharacterFixture.h"

#include "characters/SuspicionRules.h"

#include <gtest/gtest.h>
#include <utility>

namespace {

using SuspicionRulesTest = test::CharacterFixture;

const char* const rulesText = R"(<?xml version="1.0"?>
<Rules>
  <CharacterSuspicion characterType="Stranger" suspicionType="HitByThrown" amount="20" speedThreshold="5" repeatInterval="0"/>
  <CharacterSuspicion characterType="Stranger" suspicionType="TaroSeen" amount="10" speedThreshold="1.5" repeatInterval="2"/>
  <CharacterSuspicion characterType="Scientist" suspicionType="Default" amount="7"/>
  <CharacterSuspicion characterType="Scientist" suspicionType="Default" amount="9" speedThreshold="0.25"/>
  <Group><CharacterSuspicion characterType="Chef" suspicionType="Debug" amount="3" repeatInterval="4"></CharacterSuspicion></Group>
  <CharacterSuspicion characterType="Butler" suspicionType="Touch" amount="30"/>
  <CharacterSuspicion characterType="Family" suspicionType="Sneeze" amount="40"/>
  <CharacterSuspicion characterType="stranger" suspicionType="Touch" amount="50"/>
</Rules>
)";

struct RuleRow {
    const char* what;
    irr::s32 characterType;
    irr::s32 suspicionType;
    irr::f32 amount;
    irr::f32 speedThreshold;
    irr::f32 repeatInterval;
};

TEST_F(SuspicionRulesTest, LookupsGiveTheRuleOfThePairOrZeros) {
    ASSERT_EQ(loadSuspicionConfig(writeTemp("Suspicion.xml", rulesText)), 0);
    const RuleRow rows[] = {
        {"a full rule", SCT_Stranger, ST_HitByThrown, 20.0f, 5.0f, 0.0f},
        {"fractions", SCT_Stranger, ST_TaroSeen, 10.0f, 1.5f, 2.0f},
        {"a later rule of the pair replaces the earlier, missing numbers are 0", SCT_Scientist, ST_Default, 9.0f, 0.25f, 0.0f},
        {"nested anywhere, the closing tag adds nothing", SCT_Chef, ST_Debug, 3.0f, 0.0f, 4.0f},
        {"a pair without a rule", SCT_Stranger, ST_Touch, 0.0f, 0.0f, 0.0f},
        {"a type without rules", SCT_ZeroSuspicion, ST_TaroSeen, 0.0f, 0.0f, 0.0f},
        {"an unknown character name is not Family", SCT_Family, ST_Touch, 0.0f, 0.0f, 0.0f},
        {"an unknown kind is filed apart", SCT_Family, ST_Default, 0.0f, 0.0f, 0.0f},
        {"out of range", 99, ST_Default, 0.0f, 0.0f, 0.0f},
    };
    for (const RuleRow& row : rows) {
        const SuspicionRule rule = getSuspicionValues(row.characterType, row.suspicionType);
        EXPECT_EQ(rule.amount, row.amount) << row.what;
        EXPECT_EQ(rule.speedThreshold, row.speedThreshold) << row.what;
        EXPECT_EQ(rule.repeatInterval, row.repeatInterval) << row.what;
    }
    // Names that match no type: one warning each, the rule kept under -1.
    EXPECT_TRUE(log.contains("Warning: Character type: Butler is not a valid type."));
    EXPECT_TRUE(log.contains("Warning: Character type: stranger is not a valid type."));
    EXPECT_TRUE(log.contains("Warning: suspicion type: Sneeze is not a valid type."));
    EXPECT_EQ(log.countStartingWith("Warning: "), 3u);
    EXPECT_EQ(getSuspicionValues(-1, ST_Touch).amount, 50.0f);
    EXPECT_EQ(getSuspicionValues(SCT_Family, -1).amount, 40.0f);
    EXPECT_EQ(suspicionRuleTable().size(), 5u); // -1, Family, Stranger, Scientist, Chef

    unloadSuspicionConfig();
    EXPECT_TRUE(suspicionRuleTable().empty());
    EXPECT_EQ(getSuspicionValues(SCT_Stranger, ST_HitByThrown).amount, 0.0f);
}

// A rule that names no character type or no kind warns with an empty name and is filed
// under -1, never under None or Default.
TEST_F(SuspicionRulesTest, ARuleWithoutANameIsFiledApartWithAWarning) {
    ASSERT_EQ(loadSuspicionConfig(writeTemp("Suspicion.xml", "<Rules>\n"
                                                             "<CharacterSuspicion suspicionType=\"Debug\" amount=\"60\"/>\n"
                                                             "<CharacterSuspicion characterType=\"Chef\" amount=\"70\"/>\n"
                                                             "</Rules>\n")),
              0);
    EXPECT_EQ(log.countStartingWith("Warning: Character type:  is not a valid type."), 1u);
    EXPECT_EQ(log.countStartingWith("Warning: suspicion type:  is not a valid type."), 1u);
    EXPECT_EQ(getSuspicionValues(-1, ST_Debug).amount, 60.0f);
    EXPECT_EQ(getSuspicionValues(SCT_Chef, -1).amount, 70.0f);
    EXPECT_EQ(getSuspicionValues(SCT_None, ST_Debug).amount, 0.0f);
    EXPECT_EQ(getSuspicionValues(SCT_Chef, ST_Default).amount, 0.0f);
}

TEST_F(SuspicionRulesTest, NamesFollowTheirTables) {
    const char* const characterNames[] = {"Family", "Stranger", "Scientist", "Exposed",
                                          "ExposedLogManiac", "Chef", "ZeroSuspicion", "None"};
    for (irr::s32 i = 0; i < SCT_Count; ++i)
        EXPECT_EQ(findSuspicionCharacterType(characterNames[i]), i);
    const char* const kindNames[] = {"Default", "Touch", "Grab", "HitGround", "Velocity", "AtRest", "Reset",
                                     "HitByThrown", "HitByTaro", "HitByGrabbed", "TaroSeen", "IgnoreRadius", "Debug"};
    for (irr::s32 i = 0; i < ST_Count; ++i)
        EXPECT_EQ(findSuspicionType(kindNames[i]), i);
    EXPECT_EQ(suspicionCharacterTypeNames[SCT_Count], nullptr);
    EXPECT_EQ(suspicionTypeNames[ST_Count], nullptr);
    EXPECT_EQ(findSuspicionType(""), -1);
    EXPECT_EQ(findSuspicionCharacterType("CHEF"), -1);
}

TEST_F(SuspicionRulesTest, AMissingOrCutFileLeavesNoRules) {
    ASSERT_EQ(loadSuspicionConfig(writeTemp("Suspicion.xml", rulesText)), 0);
    EXPECT_EQ(loadSuspicionConfig(temp.file("Missing.xml")), -1);
    EXPECT_TRUE(suspicionRuleTable().empty());
    EXPECT_EQ(log.countStartingWith("Warning: Could not read the suspicion rules"), 1u);

    // A cut anywhere, even where every element read so far is whole, leaves nothing trusted.
    const std::string text = rulesText;
    const std::string scientist = "<CharacterSuspicion characterType=\"Scientist\"";
    const std::pair<const char*, std::size_t> cuts[] = {
        {"through a rule", text.find(scientist) + 30},
        {"between two whole rules", text.find(scientist)},
        {"before the closing root", text.find("</Rules>")},
    };
    std::size_t warnings = 0;
    for (const auto& [what, at] : cuts) {
        ASSERT_EQ(loadSuspicionConfig(writeTemp("Suspicion.xml", rulesText)), 0);
        EXPECT_EQ(loadSuspicionConfig(writeTemp("Cut.xml", text.substr(0, at))), -1) << what;
        EXPECT_TRUE(suspicionRuleTable().empty()) << what;
        EXPECT_EQ(log.countStartingWith("Warning: The suspicion rules"), ++warnings) << what;
        EXPECT_EQ(getSuspicionValues(SCT_Stranger, ST_HitByThrown).amount, 0.0f) << what;
    }

    EXPECT_EQ(loadSuspicionConfig(temp.path().string()), -1); // a folder
    EXPECT_TRUE(suspicionRuleTable().empty());
}

TEST_F(SuspicionRulesTest, TheShippedRulesReadCleanly) {
    ASSERT_EQ(loadSuspicionConfig(), 0);
    EXPECT_EQ(log.countStartingWith("Warning: "), 0u);
    // Every type that can witness has rules for the hits and the general kinds; the two
    // that cannot have none.
    for (irr::s32 type = SCT_Family; type <= SCT_Chef; ++type) {
        for (irr::s32 kind : {ST_Default, ST_IgnoreRadius, ST_HitByThrown, ST_HitByTaro, ST_HitByGrabbed}) {
            const SuspicionRule rule = getSuspicionValues(type, kind);
            EXPECT_GT(rule.amount, 0.0f) << type << " " << kind;
            if (kind != ST_Default && kind != ST_IgnoreRadius) {
                EXPECT_GT(rule.speedThreshold, 0.0f) << type << " " << kind;
            }
        }
    }
    EXPECT_EQ(suspicionRuleTable().count(SCT_ZeroSuspicion), 0u);
    EXPECT_EQ(suspicionRuleTable().count(SCT_None), 0u);
    EXPECT_EQ(suspicionRuleTable().count(-1), 0u);
    // The vision-cone types notice after a delay.
    for (irr::s32 type : {SCT_Scientist, SCT_Exposed, SCT_ExposedLogManiac, SCT_Chef})
        EXPECT_GT(getSuspicionValues(type, ST_TaroSeen).speedThreshold, 0.0f) << type;
}

} // namespace
