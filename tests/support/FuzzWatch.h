#pragma once

#include "support/GivenTime.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace test {

// The time one fuzz input may take (PADDLESTONE_FUZZ_INPUT_SECONDS, 10 s by default): more
// than ten times what the slowest file input takes under the sanitizers on a busy machine.
double fuzzInputSeconds();

// Watches a fuzz test's inputs one at a time. The test names each input before it runs it
// and says when it ended: an input that took longer than its limit fails the test naming
// it. One that does not end at all is named by the watch, which ends the program once the
// input has run three times its limit. An input's time is the time the machine gave the
// thread that runs it (GivenTime.h): a loaded machine does not fail an input. When the sanitizer's memory cap ends the program (the
// fuzz tests' ASAN_OPTIONS, tests/CMakeLists.txt), the input that was running is named too.
class FuzzWatch {
public:
    explicit FuzzWatch(double secondsPerInput = fuzzInputSeconds());
    ~FuzzWatch();
    FuzzWatch(const FuzzWatch&) = delete;
    FuzzWatch& operator=(const FuzzWatch&) = delete;

    // The input of that name starts (the one before, if any, ends first).
    void begin(const std::string& name);
    // The input ends; a failure of the test that names it when it took longer than the limit.
    void end();

private:
    void watch();

    const std::chrono::duration<double> limit;
    std::mutex mutex;
    std::condition_variable changed;
    std::string current; // empty between inputs
    std::optional<GivenTime> running; // the input's time, on the thread that began it
    unsigned inputs = 0;              // counts the inputs begun
    bool stopping = false;
    std::thread watcher;
};

} // namespace test
