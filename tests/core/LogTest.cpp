#include "core/Log.h"
#include "core/Globals.h"
#include "core/LogManager.h"
#include "core/RepeatedLog.h"
#include "support/NullDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <irrlicht.h>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> splitLines(const std::string& text, const std::string& separator) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + separator.size();
    }
    return lines;
}

struct LogEvents : irr::IEventReceiver {
    struct Entry {
        std::string text;
        irr::ELOG_LEVEL level;
    };
    std::vector<Entry> entries;
    bool OnEvent(const irr::SEvent& event) override {
        if (event.EventType != irr::EET_LOG_TEXT_EVENT)
            return false;
        entries.push_back({event.LogEvent.Text, event.LogEvent.Level});
        return true;
    }
};

class LogTest : public ::testing::Test {
protected:
    void TearDown() override {
        gameDevice = nullptr;
        logManager = nullptr;
    }
};

TEST_F(LogTest, WithoutADeviceLinesGoToStandardOutput) {
    gameDevice = nullptr;
    ::testing::internal::CaptureStdout();
    logMessage("Creating LevelManager.");
    logMessage(std::string("Warning: a warning"), irr::ELL_WARNING);
    logMessage(L"Fran\u00e7ais");
    logMessagef("Could not remove file %s.", "checkpoint_story.irr");
    logMessagef("%d Achievements, %.1f s", 3, 2.5);
    logMessagePair("Ending Level, transitioning to: ", "Content/Levels/Next.irr");
    logMessagePair(L"Writing player controls XML: Player ", L"1");
    logMessage(static_cast<const char*>(nullptr));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Creating LevelManager.\n"
              "Warning: a warning\n"
              "Fran\xC3\xA7"
              "ais\n"
              "Could not remove file checkpoint_story.irr.\n"
              "3 Achievements, 2.5 s\n"
              "Ending Level, transitioning to: Content/Levels/Next.irr\n"
              "Writing player controls XML: Player 1\n");
}

TEST_F(LogTest, WithADeviceLinesGoThroughTheEngineLogger) {
    LogEvents events;
    test::NullDevice device(&events);
    ASSERT_NE(device.get(), nullptr);
    events.entries.clear(); // the engine's own start-up lines
    gameDevice = device.get();

    ::testing::internal::CaptureStdout();
    logMessage("Creating PhysicsManager.");
    logMessage("ERROR: Could not create PhysicsManager", irr::ELL_ERROR);
    logMessagePair("a", "bc");
    logMessagef("%s Achievement Unlocked.", "First");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    ASSERT_EQ(events.entries.size(), 4u);
    EXPECT_EQ(events.entries[0].text, "Creating PhysicsManager.");
    EXPECT_EQ(events.entries[0].level, irr::ELL_INFORMATION);
    EXPECT_EQ(events.entries[1].level, irr::ELL_ERROR);
    EXPECT_EQ(events.entries[2].text, "abc");
    EXPECT_EQ(events.entries[2].level, irr::ELL_INFORMATION);
    EXPECT_EQ(events.entries[3].text, "First Achievement Unlocked.");
}

// --- the repeated-line rule --------------------------------------------------------------------

class RepeatedLogTest : public LogTest {
protected:
    void SetUp() override {
        events.entries.clear(); // the engine's own start-up lines
        gameDevice = device.get();
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const LogEvents::Entry& entry : events.entries)
            out.push_back(entry.text);
        return out;
    }
    LogEvents events;
    test::NullDevice device{&events};
};

TEST_F(RepeatedLogTest, TheFirstLineIsWrittenAndTheRestCountedInOneLineWhenTheRoundEnds) {
    const std::string line = "ERROR: Could not find SceneNode ID: 4711";
    const struct {
        int times;
        std::vector<std::string> atEnd;
    } cases[] = {{1, {}},
                 {2, {"Repeated 1 more time: " + line}},
                 {500, {"Repeated 499 more times: " + line}}};
    for (const auto& c : cases) {
        events.entries.clear();
        for (int i = 0; i < c.times; ++i)
            EXPECT_EQ(logRepeatable(line, irr::ELL_ERROR), i == 0);
        EXPECT_EQ(texts(), std::vector<std::string>{line}) << c.times;
        EXPECT_EQ(events.entries[0].level, irr::ELL_ERROR);
        endRepeatedLogRound();
        std::vector<std::string> expected{line};
        expected.insert(expected.end(), c.atEnd.begin(), c.atEnd.end());
        EXPECT_EQ(texts(), expected) << c.times;
    }
    // A long first line is kept as far as the log writes a line.
    const std::string longLine = "ERROR: " + std::string(5000, 'n');
    logRepeatable(longLine);
    logRepeatable(longLine);
    events.entries.clear();
    endRepeatedLogRound();
    EXPECT_EQ(texts(), std::vector<std::string>{"Repeated 1 more time: " + longLine.substr(0, maxLogLineBytes)});
}

TEST_F(RepeatedLogTest, CausesAreKeptApartAndCountedInTheOrderOfTheirFirstLines) {
    logRepeatable("Warning: b");
    logRepeatablef("ERROR: %s", "a");
    logRepeatable("ERROR: a");
    logRepeatable("Warning: b");
    logRepeatable("Warning: b");
    // A cause named by a key: the line's value varies, the first one is written.
    logRepeatableAs("nan", "Warning: the value stays 1.0");
    logRepeatableAs("nan", "Warning: the value stays 2.0");
    logRepeatable("ERROR: once");
    endRepeatedLogRound();
    // A new round: every cause is new again.
    logRepeatable("ERROR: a");
    const std::vector<std::string> expected = {"Warning: b",
                                               "ERROR: a",
                                               "Warning: the value stays 1.0",
                                               "ERROR: once",
                                               "Repeated 2 more times: Warning: b",
                                               "Repeated 1 more time: ERROR: a",
                                               "Repeated 1 more time: Warning: the value stays 1.0",
                                               "ERROR: a"};
    EXPECT_EQ(texts(), expected);
    forgetRepeatedLogLines();
}

TEST_F(RepeatedLogTest, CausesPastTheBoundAreCountedUnderOneLine) {
    for (std::size_t i = 0; i < maxRepeatingCauses; ++i)
        logRepeatable("ERROR: missing " + std::to_string(i));
    EXPECT_EQ(events.entries.size(), maxRepeatingCauses) << "the bound's own cause is written";
    // One past the bound: one line stands for all further causes, which are counted.
    logRepeatable("ERROR: missing past the bound");
    logRepeatable("ERROR: missing further");
    logRepeatable("ERROR: missing 0");
    const std::string bound = "Warning: More than 10000 different log lines repeat in this level; the lines of "
                              "further ones are counted under this line.";
    ASSERT_EQ(events.entries.size(), maxRepeatingCauses + 1);
    EXPECT_EQ(events.entries.back().text, bound);
    EXPECT_EQ(events.entries.back().level, irr::ELL_WARNING);
    endRepeatedLogRound();
    const std::vector<std::string> all = texts();
    EXPECT_EQ(std::vector<std::string>(all.end() - 2, all.end()),
              (std::vector<std::string>{"Repeated 1 more time: ERROR: missing 0", "Repeated 1 more time: " + bound}));
}

// The report of this function's own stack; kept out of line so that it is a frame.
__attribute__((noinline)) void reportFromHelper() {
    logCallstack();
    asm volatile("");
}

// The framed block of the log: its lines without the time prefix.
std::vector<std::string> callStackBlock(const std::string& path) {
    std::vector<std::string> block;
    bool inside = false;
    for (const std::string& line : splitLines(test::readFileBytes(path), "\r\n")) {
        const size_t text = line.find("] ");
        const std::string body = text == std::string::npos ? line : line.substr(text + 2);
        if (body.rfind("==== Call stack of thread ", 0) == 0)
            inside = true;
        if (inside)
            block.push_back(body);
        if (body == "==== End of call stack ====")
            break;
    }
    return block;
}

TEST_F(LogTest, CallStackBlockNamesTheCallingFunction) {
    test::TempDir dir;
    LogManager log(dir.file("PaddlestoneLog.txt"));
    logManager = &log;
    logCallstack();
    asm volatile("");

    const std::vector<std::string> block = callStackBlock(log.path());
    ASSERT_GE(block.size(), 3u);
    EXPECT_EQ(block.back(), "==== End of call stack ====");
    // The first frame is the caller, with its source file and line.
    EXPECT_EQ(block[1].rfind("#0 ", 0), 0u) << block[1];
    EXPECT_NE(block[1].find("LogTest_CallStackBlockNamesTheCallingFunction_Test::TestBody"),
              std::string::npos)
        << block[1];
    EXPECT_NE(block[1].find("LogTest.cpp:"), std::string::npos) << block[1];
}

TEST_F(LogTest, CallStackBlockListsFramesInnermostFirst) {
    test::TempDir dir;
    LogManager log(dir.file("PaddlestoneLog.txt"));
    logManager = &log;
    reportFromHelper();

    const std::vector<std::string> block = callStackBlock(log.path());
    ASSERT_GE(block.size(), 4u);
    EXPECT_NE(block[1].find("reportFromHelper"), std::string::npos) << block[1];
    EXPECT_EQ(block[2].rfind("#1 ", 0), 0u) << block[2];
    EXPECT_NE(block[2].find("CallStackBlockListsFramesInnermostFirst"), std::string::npos)
        << block[2];
}

TEST_F(LogTest, CallStackFromAWorkerThreadIsOneBlock) {
    test::TempDir dir;
    LogManager log(dir.file("PaddlestoneLog.txt"));
    logManager = &log;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&log] {
            for (int j = 0; j < 20; ++j) {
                log.log("physics worker line");
                reportFromHelper();
            }
        });
    for (std::thread& worker : workers)
        worker.join();

    // Blocks never interleave with other lines.
    bool inside = false;
    int blocks = 0;
    for (const std::string& line : splitLines(test::readFileBytes(log.path()), "\r\n")) {
        if (line.find("==== Call stack of thread ") != std::string::npos) {
            ASSERT_FALSE(inside);
            inside = true;
            ++blocks;
        } else if (line.find("==== End of call stack ====") != std::string::npos) {
            inside = false;
        } else if (inside) {
            ASSERT_NE(line.find("] #"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(blocks, 80);
}

TEST_F(LogTest, CallStackWithoutALogManagerGoesToStandardOutput) {
    logManager = nullptr;
    ::testing::internal::CaptureStdout();
    reportFromHelper();
    const std::vector<std::string> lines =
        splitLines(::testing::internal::GetCapturedStdout(), "\n");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("==== Call stack of thread ", 0), 0u);
    EXPECT_NE(lines[1].find("reportFromHelper"), std::string::npos) << lines[1];
    EXPECT_EQ(lines.back(), "==== End of call stack ====");
}

} // namespace
