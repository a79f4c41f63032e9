#include "support/RecordedResult.h"

#include <gtest/gtest.h>

// The comparer every recorded-result test leans on: what it lets through and what it reports.
TEST(RecordedResultTest, NumbersMatchWithinTheToleranceAndWordsExactly) {
    struct Case {
        const char* recorded;
        const char* now;
        bool same;
    };
    const Case cases[] = {
        {"Box 1 pos 0.5 2 -3", "Box 1 pos 0.5 2 -3", true},
        {"pos 0.5", "pos 0.5009", true},       // inside the absolute tolerance
        {"pos 0.5", "pos 0.5011", false},      // just past it
        {"pos 20000", "pos 20001.9", true},    // inside the relative tolerance
        {"pos 20000", "pos 20002.1", false},
        {"Box 1", "box 1", false},             // words exactly
        {"Box 1", "Box 1 extra", false},       // a token more
        {"0x1f", "0x1f", true},
        {"1,2", "1,3", false},                 // not a number token: exact
        {"a\nb", "a", false},                  // a line less
        {"a\nb\n", "a\nb", true},              // a final line break alone is no difference
    };
    for (const Case& c : cases)
        EXPECT_EQ(test::describeDifferences(c.recorded, c.now).empty(), c.same)
            << c.recorded << " | " << c.now;
    // Colour values want an absolute bound alone: a relative one would pass anything.
    EXPECT_TRUE(test::describeDifferences("128", "130", {2.0, 0.0}).empty());
    EXPECT_FALSE(test::describeDifferences("128", "131", {2.0, 0.0}).empty());
}

TEST(RecordedResultTest, TheReportNamesTheFirstDifferingLinesUpToItsLimit) {
    const std::string report = test::describeDifferences("a\nb\nc\nd", "a\nB\nc\nD", {}, 1);
    EXPECT_NE(report.find("line 2:"), std::string::npos) << report;
    EXPECT_NE(report.find("recorded: b"), std::string::npos) << report;
    EXPECT_NE(report.find("now:      B"), std::string::npos) << report;
    EXPECT_EQ(report.find("line 4:"), std::string::npos) << report;
}
