#include "support/GivenTime.h"

#include <sys/wait.h>

#include <unistd.h>

#include <fstream>
#include <utility>

namespace test {

namespace {

// The second number of a schedstat file: nanoseconds spent ready to run, waiting for a
// processor. 0 when the file cannot be read.
double waitIn(const std::string& path) {
    std::ifstream in(path);
    unsigned long long running = 0, waiting = 0;
    return in >> running >> waiting ? static_cast<double>(waiting) * 1e-9 : 0.0;
}

constexpr const char* ownStat = "/proc/thread-self/schedstat";

// A thread of this process by its id: readable from any of its threads (a watch's).
std::string threadStat(pid_t thread) { return "/proc/self/task/" + std::to_string(thread) + "/schedstat"; }

} // namespace

double processorWaitSeconds() { return waitIn(ownStat); }

GivenTime::GivenTime() : GivenTime(threadStat(::gettid()), Clock::now(), processorWaitSeconds()) {}

GivenTime::GivenTime(std::string path, Clock::time_point since, double waitThen)
    : statPath(std::move(path)), since(since), waitThen(waitThen) {}

GivenTime GivenTime::ofProcess(pid_t process) {
    const std::string path = "/proc/" + std::to_string(process) + "/schedstat";
    return GivenTime(path, Clock::now(), waitIn(path));
}

GivenTime GivenTime::ofProcessSince(pid_t process, Clock::time_point since, double waitThen) {
    return GivenTime("/proc/" + std::to_string(process) + "/schedstat", since, waitThen);
}

double GivenTime::waitNow() const {
    // A count that cannot be read (the process already reaped) takes nothing off.
    const double now = waitIn(statPath);
    return now >= waitThen ? now : waitThen;
}

double GivenTime::wallSeconds() const {
    return std::chrono::duration<double>((stopped ? stoppedAt : Clock::now()) - since).count();
}

double GivenTime::seconds() const {
    return wallSeconds() - ((stopped ? waitAtStop : waitNow()) - waitThen);
}

void GivenTime::stop() {
    if (stopped)
        return;
    waitAtStop = waitNow();
    stoppedAt = Clock::now();
    stopped = true;
}

bool graceWithheld(const GivenTime& sinceSignal, int graceMilliseconds) {
    const double grace = graceMilliseconds / 1000.0;
    return sinceSignal.wallSeconds() >= grace && sinceSignal.seconds() < 0.8 * grace;
}

bool hasEndedUnreaped(pid_t child) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == child;
}

} // namespace test
