#include "support/GivenTime.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
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
    : process(process), statPath(std::move(path)), since(since), then(then) {}

GivenTime GivenTime::ofProcess(pid_t process) {
    return ofProcessSince(process, Clock::now(), countsIn(processFolder(process) + "/schedstat"));
}

GivenTime GivenTime::ofProcessSince(pid_t process, Clock::time_point since, SchedCounts then) {
    GivenTime given(process, processFolder(process) + "/schedstat", since, then);
    given.countsNow(); // a process whose main thread has ended: its threads followed from now
    return given;
}

SchedCounts GivenTime::countsNow() const {
    SchedCounts now = countsIn(statPath);
    if (process > 0 && !teardown.started && mainThreadEnded(process)) {
        teardown.started = true;
        teardown.mainThread = now;
    }
    if (teardown.started) {
        // The main thread's counts stand still from its end; the end of the process waits for the
        // thread the system tears down last, which is the one that waited longest.
        now = teardown.mainThread;
        const std::string tasks = processFolder(process) + "/task";
        if (DIR* folder = ::opendir(tasks.c_str())) {
            while (const dirent* entry = ::readdir(folder)) {
                const pid_t thread = static_cast<pid_t>(std::atoi(entry->d_name));
                if (thread <= 0 || thread == process)
                    continue;
                const SchedCounts counts = countsIn(tasks + "/" + entry->d_name + "/schedstat");
                if (counts.running == 0.0 && counts.waiting == 0.0)
                    continue; // gone meanwhile
                const auto [seen, first] = teardown.threads.try_emplace(thread, counts, counts);
                if (!first)
                    seen->second.second = counts;
            }
            ::closedir(folder);
        }
        double waited = 0.0, ran = 0.0;
        for (const auto& [thread, counts] : teardown.threads) {
            waited = std::max(waited, counts.second.waiting - counts.first.waiting);
            ran = std::max(ran, counts.second.running - counts.first.running);
        }
        now.running += ran;
        now.waiting += waited;
    }
    // A reaped process's unreadable counts add nothing.
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
