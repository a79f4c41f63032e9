#pragma once

#include <string>

namespace test {

// A result recorded once and compared on every later run: a level's state over a stretch of
// play, every attribute of every shipped object, a screen's element tree. It catches any change
// to what the game produces, wanted or not; when a change is wanted, record again with
// PADDLESTONE_RECORD=1 in the environment and review the difference like code.
//
// The record lives in the source tree at tests/<relativePath>. Lines are compared token by
// token (split on white space): numbers within the tolerance (absolute, or relative to the
// larger magnitude, whichever is looser), everything else exactly. A mismatch fails the test
// naming the first differing lines.
void expectMatchesRecord(const std::string& relativePath, const std::string& actual,
                         double tolerance = 1e-3);

// The comparison alone: empty when the texts match, otherwise a description of the first
// differences (at most maxDifferences lines).
std::string describeDifferences(const std::string& recorded, const std::string& actual,
                                double tolerance, int maxDifferences = 8);

} // namespace test
