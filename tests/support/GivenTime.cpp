#include "support/GivenTime.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
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

std::string processFolder(pid_t process) { return "/proc/" + std::to_string(process); }

// The process's main thread has ended (its entry stays until the process is reaped).
bool mainThreadEnded(pid_t process) {
    std::ifstream in(processFolder(process) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t nameEnd = stat.rfind(')');
    return nameEnd != std::string::npos && nameEnd + 2 < stat.size() &&
           (stat[nameEnd + 2] == 'Z' || stat[nameEnd + 2] == 'X');
}

} // namespace

SchedCounts ownSchedCounts() { return countsIn("/proc/thread-self/schedstat"); }

// By the thread's id, so that another thread (a watch's) reads it too.
GivenTime::GivenTime()
    : GivenTime(0, "/proc/self/task/" + std::to_string(::gettid()) + "/schedstat", Clock::now(), ownSchedCounts()) {}

GivenTime::GivenTime(pid_t process, std::string path, Clock::time_point since, SchedCounts then)
    : process(process), statPath(std::move(path)), since(since), then(then) {
    seen.mainThread = then;
}

GivenTime GivenTime::ofProcess(pid_t process) {
    return ofProcessSince(process, Clock::now(), countsIn(processFolder(process) + "/schedstat"));
}

GivenTime GivenTime::ofProcessSince(pid_t process, Clock::time_point since, SchedCounts then) {
    GivenTime given(process, processFolder(process) + "/schedstat", since, then);
    given.look(); // a process whose main thread has already ended: its threads followed from now
    return given;
}

void GivenTime::look() const {
    if (stopped)
        return;
    if (!seen.mainThreadEnded) {
        const double now = wallSeconds();
        // A reaped process's unreadable counts add nothing.
        const SchedCounts counts = countsIn(statPath);
        seen.mainThread = {std::max(counts.running, seen.mainThread.running),
                           std::max(counts.waiting, seen.mainThread.waiting)};
        seen.mainThreadEnded = process > 0 && mainThreadEnded(process);
        if (!seen.mainThreadEnded)
            seen.aliveSeconds = now;
    }
    if (!seen.mainThreadEnded)
        return;
    const std::string tasks = processFolder(process) + "/task";
    DIR* folder = ::opendir(tasks.c_str());
    if (!folder)
        return;
    while (const dirent* entry = ::readdir(folder)) {
        const pid_t thread = static_cast<pid_t>(std::atoi(entry->d_name));
        if (thread <= 0 || thread == process)
            continue;
        const SchedCounts counts = countsIn(tasks + "/" + entry->d_name + "/schedstat");
        if (counts.running == 0.0 && counts.waiting == 0.0)
            continue; // gone meanwhile
        const auto [ran, first] = seen.otherThreadsRan.try_emplace(thread, counts.running, counts.running);
        if (!first)
            ran->second.second = counts.running;
    }
    ::closedir(folder);
}

double GivenTime::wallSeconds() const {
    return std::chrono::duration<double>((stopped ? stoppedAt : Clock::now()) - since).count();
}

double GivenTime::seconds() const {
    look();
    const double wall = wallSeconds();
    const double running = seen.mainThread.running - then.running;
    const double waiting = seen.mainThread.waiting - then.waiting;
    if (!seen.mainThreadEnded)
        return std::min(std::max(wall - waiting, running), wall);
    // Up to the main thread's end, then what the system's end of the process ran.
    double endRan = 0.0;
    for (const auto& [thread, ran] : seen.otherThreadsRan)
        endRan = std::max(endRan, ran.second - ran.first);
    return std::min(std::max(seen.aliveSeconds - waiting, running) + endRan, wall);
}

void GivenTime::stop() {
    if (stopped)
        return;
    look();
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
