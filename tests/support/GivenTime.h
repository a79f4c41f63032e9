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
    // A child's main thread, from now. Once that has ended (the process is being torn down:
    // nothing of the program runs any more), only the processor time its other threads use
    // counts, the system's work of ending it; the time they wait for a processor (seconds on a
    // busy machine) or sleep does not. The end counts from the last read that found the main
    // thread running, at most its own time after it.
    static GivenTime ofProcess(pid_t process);
    // A child's main thread from a mark it read itself (its steady clock and ownSchedCounts()).
    static GivenTime ofProcessSince(pid_t process, Clock::time_point since, SchedCounts then);

    double seconds() const;     // given since the start, up to stop()
    double wallSeconds() const; // up to stop()
    // An ended child answers until reaped (hasEndedUnreaped): stop, then reap.
    void stop();

private:
    GivenTime(pid_t process, std::string statPath, Clock::time_point since, SchedCounts then);
    // Reads the counts (nothing once stopped).
    void look() const;

    // What the reads found: the main thread's counts (its last ones once it has ended) and the
    // wall seconds of the last read that found it running; after its end, each other thread's
    // running seconds when first and last read (a thread's folder goes with it).
    struct Seen {
        SchedCounts mainThread;
        double aliveSeconds = 0.0;
        bool mainThreadEnded = false;
        std::map<pid_t, std::pair<double, double>> otherThreadsRan;
    };

    pid_t process = 0; // 0: a thread of this process
    std::string statPath;
    Clock::time_point since;
    SchedCounts then;
    mutable Seen seen;
    bool stopped = false;
    Clock::time_point stoppedAt;
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
