// A library's thread may lower its own priority for good: Mesa's shader-cache writer asks for
// the lowest (nice 19), and a thread without privileges can never take a nice value back. The
// system ends a process only once each of its threads has run once more, and on a busy machine
// a thread at the lowest priority waits seconds for that turn: a quit signal's end, done in a
// fraction of a second, then held the game 3 to 5 s more at four runnable threads a core. So a
// thread of this process is not let below the process's own priority: such a request fails
// (EPERM) and the thread keeps the process's priority; the policy it asks for along with it
// (a batch policy) it keeps, since the system lets it leave that again. Every other request
// goes through to the system unchanged. The game's symbol takes precedence over the C
// library's for every caller in the process, as the OpenGL calls in GraphicsCallFilter.cpp do.
//
// The C library's header is left out: its declaration would have to be matched to the letter.
#include "platform/ThreadPriority.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int kPriorityOfProcess = 0; // PRIO_PROCESS: who is a process or a thread ID

std::atomic<unsigned> refusedLowerings{0};

// The nice value of a process or thread; the system call answers 20 - nice, so that no
// answer is negative.
bool niceOf(long who, int& nice) {
    const long answer = ::syscall(SYS_getpriority, kPriorityOfProcess, who);
    if (answer < 0)
        return false;
    nice = 20 - static_cast<int>(answer);
    return true;
}

// Whether who (0: the caller) names a thread of this process other than its first (the
// process itself is the player's to lower, by its own ID).
bool threadOfThisProcess(long who) {
    if (who == 0)
        return ::syscall(SYS_gettid) != ::getpid();
    if (who == ::getpid())
        return false;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%ld", who);
    struct stat info {};
    return ::stat(path, &info) == 0;
}

} // namespace

namespace platform {

unsigned threadPriorityLoweringsRefused() { return refusedLowerings.load(std::memory_order_relaxed); }

} // namespace platform

extern "C" __attribute__((visibility("default"))) int setpriority(int which, unsigned who, int priority) {
    const long target = static_cast<long>(who);
    int processNice = 0;
    if (which == kPriorityOfProcess && threadOfThisProcess(target) && niceOf(::getpid(), processNice) &&
        priority > processNice) {
        refusedLowerings.fetch_add(1, std::memory_order_relaxed);
        errno = EPERM;
        return -1;
    }
    const long result = ::syscall(SYS_setpriority, which, target, priority);
    return result < 0 ? -1 : 0;
}
