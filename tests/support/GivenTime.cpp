#include "support/GivenTime.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <utility>

namespace test {

namespace {

// A schedstat file's nanoseconds running and waiting; zeros when unreadable.
SchedCounts countsIn(const std::string& path) {
    std::ifstream in(path);
    unsigned long long running = 0, waiting = 0;
    if (!(in >> running >> waiting))
        return {};
    return {static_cast<double>(running) * 1e-9, static_cast<double>(waiting) * 1e-9};
}

std::string processStat(pid_t process) { return "/proc/" + std::to_string(process) + "/schedstat"; }

} // namespace

SchedCounts ownSchedCounts() { return countsIn("/proc/thread-self/schedstat"); }

// By the thread's id, so that another thread (a watch's) reads it too.
GivenTime::GivenTime()
    : GivenTime("/proc/self/task/" + std::to_string(::gettid()) + "/schedstat", Clock::now(), ownSchedCounts()) {}

GivenTime::GivenTime(std::string path, Clock::time_point since, SchedCounts then)
    : statPath(std::move(path)), since(since), then(then) {}

GivenTime GivenTime::ofProcess(pid_t process) {
    return ofProcessSince(process, Clock::now(), countsIn(processStat(process)));
}

GivenTime GivenTime::ofProcessSince(pid_t process, Clock::time_point since, SchedCounts then) {
    return GivenTime(processStat(process), since, then);
}

SchedCounts GivenTime::countsNow() const {
    // A reaped process's unreadable counts add nothing.
    const SchedCounts now = countsIn(statPath);
    return {std::max(now.running, then.running), std::max(now.waiting, then.waiting)};
}

double GivenTime::wallSeconds() const {
    return std::chrono::duration<double>((stopped ? stoppedAt : Clock::now()) - since).count();
}

double GivenTime::seconds() const {
    const double wall = wallSeconds();
    const SchedCounts now = stopped ? atStop : countsNow();
    const double given = std::max(wall - (now.waiting - then.waiting), now.running - then.running);
    return std::min(given, wall);
}

void GivenTime::stop() {
    if (stopped)
        return;
    atStop = countsNow();
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
