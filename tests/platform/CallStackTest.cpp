#include "platform/CallStack.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

__attribute__((noinline)) std::vector<platform::StackFrame> captureHere(int skip) {
    std::vector<platform::StackFrame> frames = platform::captureCallStack(skip);
    asm volatile(""); // keeps the call from becoming a jump
    return frames;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

TEST(CallStackTest, FirstFrameIsTheCallerWithItsSourceLine) {
    const std::vector<platform::StackFrame> frames = captureHere(0);
    ASSERT_GE(frames.size(), 2u);
    EXPECT_NE(frames[0].function.find("captureHere"), std::string::npos) << frames[0].function;
    EXPECT_TRUE(endsWith(frames[0].file, "CallStackTest.cpp")) << frames[0].file;
    EXPECT_GT(frames[0].line, 0);
    EXPECT_NE(frames[0].address, 0u);
    // Innermost first: the test body that called the helper comes next.
    EXPECT_NE(frames[1].function.find("FirstFrameIsTheCallerWithItsSourceLine"), std::string::npos)
        << frames[1].function;
}

TEST(CallStackTest, SkipDropsTheInnermostFrames) {
    const std::vector<platform::StackFrame> frames = captureHere(1);
    ASSERT_FALSE(frames.empty());
    EXPECT_NE(frames[0].function.find("SkipDropsTheInnermostFrames"), std::string::npos)
        << frames[0].function;
}

TEST(CallStackTest, FrameCountIsCapped) {
    EXPECT_EQ(platform::captureCallStack(0, 2).size(), 2u);
    EXPECT_TRUE(platform::captureCallStack(0, 0).empty());
}

TEST(CallStackTest, WorksOnAnotherThread) {
    std::vector<platform::StackFrame> frames;
    std::thread worker([&] { frames = captureHere(0); });
    worker.join();
    ASSERT_FALSE(frames.empty());
    EXPECT_NE(frames[0].function.find("captureHere"), std::string::npos);
}

// A negative skip counts as none: the first frame is the caller's.
TEST(CallStackTest, ANegativeSkipSkipsNothing) {
    const std::vector<platform::StackFrame> none = captureHere(0);
    const std::vector<platform::StackFrame> negative = captureHere(-3);
    ASSERT_FALSE(none.empty());
    ASSERT_FALSE(negative.empty());
    EXPECT_EQ(negative[0].address, none[0].address);
    EXPECT_EQ(negative[0].function, none[0].function);
}
