#include "support/FuzzWatch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) && __has_include(<sanitizer/common_interface_defs.h>)
#include <sanitizer/common_interface_defs.h>
#define PADDLESTONE_FUZZ_DEATH_CALLBACK 1
#endif

namespace test {

namespace {

// The running input's name for the sanitizer's last words: written by the test's thread,
// read by whichever thread the sanitizer ends the program from.
char runningInput[512];

void nameRunningInput() {
    const char* name = runningInput[0] ? runningInput : "(between inputs)";
    const char* lines[] = {"Fuzz input running when the program ended: ", name, "\n"};
    for (const char* text : lines)
        if (::write(STDERR_FILENO, text, std::strlen(text)) < 0)
            return;
}

} // namespace

double fuzzInputSeconds() {
    const char* text = std::getenv("PADDLESTONE_FUZZ_INPUT_SECONDS");
    const double seconds = text ? std::atof(text) : 0.0;
    return seconds > 0.0 ? seconds : 10.0;
}

FuzzWatch::FuzzWatch(double secondsPerInput) : limit(secondsPerInput) {
#ifdef PADDLESTONE_FUZZ_DEATH_CALLBACK
    __sanitizer_set_death_callback(nameRunningInput);
#endif
    watcher = std::thread([this] { watch(); });
}

FuzzWatch::~FuzzWatch() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    watcher.join();
#ifdef PADDLESTONE_FUZZ_DEATH_CALLBACK
    __sanitizer_set_death_callback(nullptr);
#endif
    runningInput[0] = 0;
}

void FuzzWatch::begin(const std::string& name) {
    end();
    std::lock_guard<std::mutex> lock(mutex);
    current = name.empty() ? "(unnamed)" : name;
    std::snprintf(runningInput, sizeof(runningInput), "%s", current.c_str());
    running.emplace();
    ++inputs;
    changed.notify_all();
}

void FuzzWatch::end() {
    std::string name;
    double took = 0.0, wall = 0.0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (current.empty())
            return;
        took = running->seconds();
        wall = running->wallSeconds();
        name.swap(current);
        runningInput[0] = 0;
        changed.notify_all();
    }
    EXPECT_LE(took, limit.count()) << "The fuzz input " << name << " took " << took << " s (" << wall
                                   << " s on the wall clock), more than its limit of " << limit.count() << " s";
}

void FuzzWatch::watch() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
        if (current.empty()) {
            changed.wait(lock);
            continue;
        }
        // Waits for the rest of three limits of given time, then looks again: the machine may
        // not have given all of that wait to the input.
        const double left = 3 * limit.count() - running->seconds();
        if (left > 0.0) {
            const unsigned watched = inputs;
            changed.wait_for(lock, std::chrono::duration<double>(left),
                             [&] { return stopping || current.empty() || inputs != watched; });
            continue;
        }
        const std::string watched = current;
        // The input has not ended: a hang. The test cannot fail it, so the program ends here.
        std::fprintf(stderr, "The fuzz input %s has run for more than %g s (its limit is %g s); ending the test.\n",
                     watched.c_str(), 3 * limit.count(), limit.count());
        std::fflush(stderr);
        std::abort();
    }
}

} // namespace test
