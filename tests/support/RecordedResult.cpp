#include "support/RecordedResult.h"

#include <cstdarg>
#include <cstdio>

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

namespace test {
namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> splitTokens(const std::string& line) {
    std::vector<std::string> tokens;
    std::istringstream in(line);
    std::string token;
    while (in >> token) tokens.push_back(token);
    return tokens;
}

// A whole token that reads as a number (trailing punctuation such as ',' is not allowed: the
// record writers separate numbers by white space).
bool readNumber(const std::string& token, double& value) {
    if (token.empty()) return false;
    char* end = nullptr;
    value = std::strtod(token.c_str(), &end);
    return end == token.c_str() + token.size() && std::isfinite(value);
}

bool tokensMatch(const std::string& a, const std::string& b, RecordTolerance tolerance) {
    if (a == b) return true;
    double x = 0.0, y = 0.0;
    if (!readNumber(a, x) || !readNumber(b, y)) return false;
    const double difference = std::fabs(x - y);
    return difference <= tolerance.absolute ||
           difference <= tolerance.relative * std::max(std::fabs(x), std::fabs(y));
}

bool linesMatch(const std::string& a, const std::string& b, RecordTolerance tolerance) {
    const std::vector<std::string> ta = splitTokens(a), tb = splitTokens(b);
    if (ta.size() != tb.size()) return false;
    for (std::size_t i = 0; i < ta.size(); ++i)
        if (!tokensMatch(ta[i], tb[i], tolerance)) return false;
    return true;
}

} // namespace

std::string describeDifferences(const std::string& recorded, const std::string& actual,
                                RecordTolerance tolerance, int maxDifferences) {
    const std::vector<std::string> want = splitLines(recorded), got = splitLines(actual);
    std::ostringstream out;
    int shown = 0;
    const std::size_t count = std::max(want.size(), got.size());
    for (std::size_t i = 0; i < count && shown < maxDifferences; ++i) {
        const bool haveWant = i < want.size(), haveGot = i < got.size();
        if (haveWant && haveGot && linesMatch(want[i], got[i], tolerance)) continue;
        out << "line " << (i + 1) << ":\n  recorded: " << (haveWant ? want[i] : "(none)")
            << "\n  now:      " << (haveGot ? got[i] : "(none)") << '\n';
        ++shown;
    }
    if (shown > 0 && want.size() != got.size())
        out << "(" << want.size() << " lines recorded, " << got.size() << " now)\n";
    return out.str();
}

void expectMatchesRecord(const std::string& relativePath, const std::string& actual,
                         RecordTolerance tolerance) {
    const std::filesystem::path file = sourceDir() / "tests" / relativePath;
    const char* record = std::getenv("PADDLESTONE_RECORD");
    if (record && std::string(record) == "1") {
        std::error_code error;
        std::filesystem::create_directories(file.parent_path(), error);
        EXPECT_TRUE(writeFileBytes(file.string(), actual)) << "cannot write " << file;
        return;
    }
    if (!std::filesystem::exists(file)) {
        ADD_FAILURE() << "no record at " << file
                      << "; run the test once with PADDLESTONE_RECORD=1 to make it";
        return;
    }
    const std::string differences =
        describeDifferences(readFileBytes(file.string()), actual, tolerance);
    EXPECT_TRUE(differences.empty())
        << "the result differs from the record " << file << ":\n"
        << differences
        << "If the change is wanted, run the test again with PADDLESTONE_RECORD=1 and review "
           "the record's difference.";
}

void RecordText::line(const char* format, ...) {
    char buffer[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    text += buffer;
    text += '\n';
}

std::string withFoldersShown(std::string text, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders)
        for (std::size_t at = text.find(folder); !folder.empty() && at != std::string::npos; at = text.find(folder))
            text.replace(at, folder.size(), "<dir>");
    return text;
}

} // namespace test
