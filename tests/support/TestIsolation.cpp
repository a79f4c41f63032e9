// What every test program does between its tests, so that a test starts as the first test
// of a program does: the lines a test logged while no log file was open (kept for a log
// file that never came) go with the test, instead of turning up at the head of the next
// test's log file; no repeated line is held back because an earlier test logged it; and no
// test finds the load budget spent by the loads of the tests before it.
#include "core/Log.h"
#include "core/RepeatedLog.h"

#include <gtest/gtest.h>

// The game library's log, in the programs that link it (the phys and platform tests do not).
std::vector<EarlyLogLine> takeEarlyLogLines() __attribute__((weak));
void forgetRepeatedLogLines() __attribute__((weak));
void forgetFileRefusals() __attribute__((weak));

namespace {

class TestIsolation : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        if (&takeEarlyLogLines)
            takeEarlyLogLines();
        if (&forgetRepeatedLogLines)
            forgetRepeatedLogLines();
        if (&forgetFileRefusals)
            forgetFileRefusals();
    }
};

} // namespace

// Named by the linker option of test_support, so that every test program takes this unit
// (and its registration) from the library.
extern "C" const bool paddlestoneTestIsolation = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new TestIsolation);
    return true;
}();
