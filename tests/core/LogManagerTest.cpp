#include "core/LogManager.h"
#include "BuildInfo.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>
#include <string>
#include <thread>
#include <vector>

namespace {

// The file's lines without their CR LF; a line that lacks the CR fails the test.
std::vector<std::string> fileLines(const std::string& path) {
    const std::string bytes = test::readFileBytes(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "line without CR LF: " << bytes.substr(start);
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    for (const std::string& line : lines)
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    return lines;
}

constexpr size_t headerLines = 5;

// Reads a decimal number without zero padding up to the given limit.
bool readNumber(const std::string& text, size_t& at, int limit) {
    const size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        ++at;
    if (at == start || at - start > 2 || (at - start == 2 && text[start] == '0'))
        return false;
    return std::stoi(text.substr(start, at - start)) <= limit;
}

// A line "[h:m:s] text" (time of day, no zero padding); answers the text.
bool isTimedLine(const std::string& line, std::string* text = nullptr) {
    size_t at = 0;
    if (line.empty() || line[at++] != '[' || !readNumber(line, at, 23) || line[at++] != ':' ||
        !readNumber(line, at, 59) || line[at++] != ':' || !readNumber(line, at, 59) ||
        line.compare(at, 2, "] ") != 0)
        return false;
    if (text)
        *text = line.substr(at + 2);
    return true;
}

bool isDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

class LogManagerTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string path = dir.file("PaddlestoneLog.txt");
};

TEST_F(LogManagerTest, FileStartsWithTheHeader) {
    LogManager log(path);
    ASSERT_TRUE(log.isOpen());
    const std::vector<std::string> lines = fileLines(path);
    ASSERT_EQ(lines.size(), headerLines);
    EXPECT_EQ(lines[0], "[2014/08/27 11:45:16]");
    EXPECT_EQ(lines[1], "Rev. 1.0." + std::to_string(PADDLESTONE_REVISION));
    EXPECT_EQ(lines[2].rfind("Operating system: Linux", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("Processors: ", 0), 0u);
    EXPECT_TRUE(isDigits(lines[3].substr(12))) << lines[3];
    ASSERT_GT(lines[4].size(), 11u);
    EXPECT_EQ(lines[4].rfind("Memory: ", 0), 0u);
    EXPECT_TRUE(isDigits(lines[4].substr(8, lines[4].size() - 11))) << lines[4];
    EXPECT_EQ(lines[4].substr(lines[4].size() - 3), " MB");
}

TEST_F(LogManagerTest, ReplacesThePreviousRunsLog) {
    ASSERT_TRUE(test::writeFileBytes(path, "old run\r\nmore of the old run\r\n"));
    LogManager log(path);
    EXPECT_EQ(fileLines(path).size(), headerLines);
}

TEST_F(LogManagerTest, LinesCarryTheTimeOfDayAndReachTheFileAtOnce) {
    LogManager log(path);
    log.log("Creating LevelManager.");
    log.log(std::string("Warning: second line"));
    // Read while the manager still runs: every line is flushed.
    const std::vector<std::string> lines = fileLines(path);
    ASSERT_EQ(lines.size(), headerLines + 2);
    std::string text;
    ASSERT_TRUE(isTimedLine(lines[headerLines], &text)) << lines[headerLines];
    EXPECT_EQ(text, "Creating LevelManager.");
    ASSERT_TRUE(isTimedLine(lines[headerLines + 1], &text)) << lines[headerLines + 1];
    EXPECT_EQ(text, "Warning: second line");
}

TEST_F(LogManagerTest, TextsOfTwoCharactersOrFewerAreDropped) {
    LogManager log(path);
    log.log("");
    log.log("a");
    log.log("ab");
    log.log(static_cast<const char*>(nullptr));
    log.logBlock({"xy", "abc"});
    log.log("abc");
    const std::vector<std::string> lines = fileLines(path);
    ASSERT_EQ(lines.size(), headerLines + 2);
    std::string text;
    EXPECT_TRUE(isTimedLine(lines[headerLines], &text));
    EXPECT_EQ(text, "abc");
    EXPECT_TRUE(isTimedLine(lines[headerLines + 1], &text));
    EXPECT_EQ(text, "abc");
}

TEST_F(LogManagerTest, LinesFromManyThreadsStayWhole) {
    LogManager log(path);
    constexpr int threads = 6;
    constexpr int perThread = 300;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&log, t] {
            for (int i = 0; i < perThread; ++i)
                log.log("worker " + std::to_string(t) + " line " + std::to_string(i));
        });
    for (std::thread& worker : workers)
        worker.join();
    const std::vector<std::string> lines = fileLines(path);
    ASSERT_EQ(lines.size(), headerLines + threads * perThread);
    std::vector<int> next(threads, 0); // each worker's lines arrive whole and in order
    for (size_t i = headerLines; i < lines.size(); ++i) {
        std::string text;
        ASSERT_TRUE(isTimedLine(lines[i], &text)) << lines[i];
        ASSERT_EQ(text.rfind("worker ", 0), 0u) << text;
        const int t = text[7] - '0';
        ASSERT_TRUE(t >= 0 && t < threads) << text;
        ASSERT_EQ(text, "worker " + std::to_string(t) + " line " + std::to_string(next[t]++));
    }
}

// The quit watch appends its line through a descriptor of its own: later lines land after it,
// whether the log replaced the last run's or goes on from it.
TEST_F(LogManagerTest, ALineAppendedByAnotherWriterStandsWholeBetweenItsOwn) {
    for (const LogManager::Opening opening : {LogManager::Opening::Replace, LogManager::Opening::Continue}) {
        ASSERT_TRUE(test::writeFileBytes(path, "last run\r\n"));
        LogManager log(path, opening);
        log.log("before the watch");
        const int watch = ::open(path.c_str(), O_WRONLY | O_APPEND);
        ASSERT_GE(watch, 0);
        const std::string watchLine = "[1:2:3] ERROR: The game did not end within 2500 ms of signal 15\r\n";
        ASSERT_EQ(::write(watch, watchLine.data(), watchLine.size()), static_cast<ssize_t>(watchLine.size()));
        ::close(watch);
        log.logBlock({"after the watch", "and a block"});
        const std::vector<std::string> lines = fileLines(path);
        const std::size_t kept = opening == LogManager::Opening::Replace ? headerLines : 1;
        ASSERT_EQ(lines.size(), kept + 4);
        EXPECT_EQ(lines.front() == "last run", opening == LogManager::Opening::Continue);
        std::string text;
        EXPECT_TRUE(isTimedLine(lines[kept], &text) && text == "before the watch") << lines[kept];
        EXPECT_EQ(lines[kept + 1], watchLine.substr(0, watchLine.size() - 2));
        EXPECT_TRUE(isTimedLine(lines[kept + 2], &text) && text == "after the watch") << lines[kept + 2];
        EXPECT_TRUE(isTimedLine(lines[kept + 3], &text) && text == "and a block") << lines[kept + 3];
    }
}

TEST_F(LogManagerTest, VideoDriverLineOnceKnown) {
    LogManager log(path);
    log.logVideoDriver("OpenGL 4.5");
    const std::vector<std::string> lines = fileLines(path);
    ASSERT_EQ(lines.size(), headerLines + 1);
    EXPECT_NE(lines.back().find("] Video driver: OpenGL 4.5"), std::string::npos);
}

TEST_F(LogManagerTest, LevelStatsGoToTheRegisteredHook) {
    struct Statistics {
        std::vector<bool> calls;
        void record(bool finishedGame) { calls.push_back(finishedGame); }
    } statistics;
    LogManager log(path);
    log.submitLevelStats(true); // no hook yet: nothing happens
    log.setLevelStatsHook(Delegate::member(&statistics, &Statistics::record));
    log.submitLevelStats(true);
    log.submitLevelStats(false);
    EXPECT_EQ(statistics.calls, (std::vector<bool>{true, false}));
    log.clearLevelStatsHook();
    log.submitLevelStats(true);
    EXPECT_EQ(statistics.calls.size(), 2u);
}

TEST_F(LogManagerTest, UnwritableLogFileIsReportedAndHarmless) {
    ::testing::internal::CaptureStdout();
    LogManager log(dir.file("missing/PaddlestoneLog.txt"));
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(out.rfind("ERROR: ", 0), 0u) << out;
    log.log("nothing breaks");
    log.logBlock({"nor here"});
}

} // namespace
