#pragma once

#include <string>
#include <vector>

namespace test {

// A result recorded once and compared on every later run: a level's state over a stretch of
// play, every attribute of every shipped object, a screen's element tree. It catches any change
// to what the game produces, wanted or not; when a change is wanted, record again with
// PADDLESTONE_RECORD=1 in the environment and review the difference like code.
//
// The record lives in the source tree at tests/<relativePath>. Lines are compared token by
// token (split on white space): numbers within the tolerance, everything else exactly. A
// mismatch fails the test naming the first differing lines.
struct RecordTolerance {
    double absolute = 1e-3;
    // Of the larger magnitude; a number passes when either bound holds.
    double relative = 1e-4;
};
void expectMatchesRecord(const std::string& relativePath, const std::string& actual,
                         RecordTolerance tolerance = {});

// The comparison alone: empty when the texts match, otherwise a description of the first
// differences (at most maxDifferences lines).
std::string describeDifferences(const std::string& recorded, const std::string& actual,
                                RecordTolerance tolerance = {}, int maxDifferences = 8);

// The text with each of the folders shown as <dir>: paths the engine made absolute differ
// between machines.
std::string withFoldersShown(std::string text, const std::vector<std::string>& folders);

// A record's text built line by line with printf formats (one line per thing).
class RecordText {
public:
    void line(const char* format, ...) __attribute__((format(printf, 2, 3)));
    std::string text;
};

} // namespace test
