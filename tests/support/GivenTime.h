#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>

namespace test {

// A bound on a game's time (a quit within 3 s, a fuzz input within its limit) is judged by the
// time the machine gave the thread: its wall time less what it waited, ready to run, for a
// processor (schedstat), never less than the time it ran. A loaded machine takes nothing from
// the bound; a hang, spinning or asleep, still runs out of it. Without schedstat: wall time.
struct SchedCounts {
    double running = 0.0; // seconds on a processor
    double waiting = 0.0; // seconds ready to run, waiting for one
};

class GivenTime {
public:
    using Clock = std::chrono::steady_clock;

    GivenTime(); // the calling thread, from now
    // A child's main thread, from now. Once that has ended, the process's other threads are
    // followed while the system tears them down, each from the first read that finds it: the
    // time the one that waited most for a processor waited is not given (a busy machine held
    // the end off for seconds there); the time they ran or slept is.
    static GivenTime ofProcess(pid_t process);
    // A child's main thread from a mark it read itself (its steady clock and ownSchedCounts()).
    static GivenTime ofProcessSince(pid_t process, Clock::time_point since, SchedCounts then);

    double seconds() const;     // given since the start, up to stop()
    double wallSeconds() const; // up to stop()
    // An ended child answers until reaped (hasEndedUnreaped): stop, then reap.
    void stop();

private:
    GivenTime(pid_t process, std::string statPath, Clock::time_point since, SchedCounts then);
    SchedCounts countsNow() const;

    // A process's threads after its main thread ended: each one's counts when first seen and
    // last seen (a thread's folder goes with it), and the main thread's last counts.
    struct Teardown {
        bool started = false;
        SchedCounts mainThread;
        std::map<pid_t, std::pair<SchedCounts, SchedCounts>> threads;
    };

    pid_t process = 0; // 0: a thread of this process
    std::string statPath;
    Clock::time_point since;
    SchedCounts then;
    mutable Teardown teardown;
    bool stopped = false;
    Clock::time_point stoppedAt;
    SchedCounts atStop;
};

// The calling thread's counts so far (0 where not known).
SchedCounts ownSchedCounts();

// True when the quit watch cut an end while the machine withheld a fifth of its grace from
// the game: such a run tells a slow orderly end from a spinning hang no better than a coin, so
// it runs again, attemptsWhileWithheld times in all.
inline constexpr int attemptsWhileWithheld = 3;
bool graceWithheld(const GivenTime& sinceSignal, int graceMilliseconds);

// True once the child has ended; it stays unreaped (its counts still read) until waited for.
bool hasEndedUnreaped(pid_t child);

} // namespace test
