#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace test {

// How long a bound on a whole game's time (a quit that ends it within 3 s, a fuzz input
// within its limit) is judged: by the time the machine gave the game's thread, its wall
// time less the time it waited, ready to run, for a processor (the kernel's count in
// schedstat). A loaded machine makes the game wait for processors and so takes nothing from
// its bound, while a game that hangs, spinning or asleep, still runs out of it. Where the
// kernel keeps no count, the given time is the wall time.
//
// Only the one thread's waits are taken off: the time it spends waiting for another thread
// or process counts as given, so the rule never gives more than the thread was denied. The
// kernel adds a wait to the count when it ends, so a wait under way at the start is counted
// whole: the given time is never taken as less than the time the thread ran.
struct SchedCounts {
    double running = 0.0; // seconds on a processor
    double waiting = 0.0; // seconds ready to run, waiting for one
};

class GivenTime {
public:
    using Clock = std::chrono::steady_clock;

    // Times the calling thread from now.
    GivenTime();
    // Times the main thread of a process (a child the test started) from now.
    static GivenTime ofProcess(pid_t process);
    // Times the main thread of a process from a moment it read itself: its steady clock
    // and its ownSchedCounts() then (a mark a child sent through a pipe).
    static GivenTime ofProcessSince(pid_t process, Clock::time_point since, SchedCounts then);

    // The seconds given since the start (up to stop(), once called).
    double seconds() const;
    // The wall time since the start (up to stop()).
    double wallSeconds() const;
    // The time stops here. A child that has ended still answers until it is waited for
    // (see hasEndedUnreaped): stop it first, then reap it.
    void stop();

private:
    GivenTime(std::string statPath, Clock::time_point since, SchedCounts then);
    SchedCounts countsNow() const;

    std::string statPath;
    Clock::time_point since;
    SchedCounts then;
    bool stopped = false;
    Clock::time_point stoppedAt;
    SchedCounts atStop;
};

// The calling thread's counts so far (0 where not known).
SchedCounts ownSchedCounts();

// The game's quit watch ends a late end once its grace has passed on the wall clock (the
// promise to whatever sent the signal), writing the player's files first. True when an end
// was cut so while the machine withheld at least a fifth of the grace from the game: such a
// run says nothing either way, a slow orderly end and a spinning hang looking alike in it,
// and is run again, up to attemptsWhileWithheld times in all; a game cut in every attempt
// fails. (A game that hangs asleep is given all of the grace and fails at once.)
inline constexpr int attemptsWhileWithheld = 3;
bool graceWithheld(const GivenTime& sinceSignal, int graceMilliseconds);

// True once the child process has ended; it stays unreaped (a zombie whose counts still
// read) until the caller waits for it.
bool hasEndedUnreaped(pid_t child);

} // namespace test
