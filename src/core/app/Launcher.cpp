// The program the player starts (bin/paddlestone): from its first instruction it holds the
// quit signals back, then it runs the game (paddlestone-game beside it) in its place, the same
// process with the same arguments and environment. A signal held back stays pending across the
// exec, while the system loads the game's seventy-odd libraries (a tenth of a second, seconds
// on a busy machine), until the game's main has its handlers in place and lets it through
// (installQuitSignalHandlers): a quit from the first moment on ends the game in order, where
// the default action would have ended it without a word and without the player's files.
//
// It runs before the C library is set up, so it uses nothing of it: system calls only, no
// static data to construct, nothing on the heap.
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>

namespace {

long systemCall(long number, long a = 0, long b = 0, long c = 0, long d = 0) {
    long result;
#if defined(__x86_64__)
    register long r10 asm("r10") = d;
    asm volatile("syscall"
                 : "=a"(result)
                 : "a"(number), "D"(a), "S"(b), "d"(c), "r"(r10)
                 : "rcx", "r11", "memory");
#elif defined(__aarch64__)
    register long x8 asm("x8") = number;
    register long x0 asm("x0") = a;
    register long x1 asm("x1") = b;
    register long x2 asm("x2") = c;
    register long x3 asm("x3") = d;
    asm volatile("svc 0" : "+r"(x0) : "r"(x8), "r"(x1), "r"(x2), "r"(x3) : "memory");
    result = x0;
#else
#error "the launcher knows the system calls of x86-64 and AArch64 only"
#endif
    return result;
}

// The signals installQuitSignalHandlers answers (core/ProcessGuards.h).
constexpr unsigned long quitSignalMask = (1UL << (SIGINT - 1)) | (1UL << (SIGTERM - 1)) | (1UL << (SIGHUP - 1)) |
                                         (1UL << (SIGQUIT - 1)) | (1UL << (SIGUSR1 - 1)) | (1UL << (SIGUSR2 - 1));

constexpr char gameName[] = "paddlestone-game";

void writeError(const char* text) {
    long length = 0;
    while (text[length])
        ++length;
    systemCall(SYS_write, 2, reinterpret_cast<long>(text), length);
}

} // namespace

extern "C" [[noreturn]] void launch(long* stack) {
    const unsigned long mask = quitSignalMask;
    systemCall(SYS_rt_sigprocmask, SIG_BLOCK, reinterpret_cast<long>(&mask), 0, sizeof mask);

    char** arguments = reinterpret_cast<char**>(stack + 1);
    char** environment = arguments + stack[0] + 1;
    // The game lives beside this program, wherever that was started from.
    char path[4096];
    long length = systemCall(SYS_readlinkat, AT_FDCWD, reinterpret_cast<long>("/proc/self/exe"),
                             reinterpret_cast<long>(path), sizeof path - sizeof gameName);
    if (length <= 0 && arguments[0]) { // no /proc: the path it was started by
        length = 0;
        while (arguments[0][length] && length < static_cast<long>(sizeof path - sizeof gameName)) {
            path[length] = arguments[0][length];
            ++length;
        }
    }
    long folderEnd = length;
    while (folderEnd > 0 && path[folderEnd - 1] != '/')
        --folderEnd;
    for (unsigned long i = 0; i < sizeof gameName; ++i)
        path[folderEnd + i] = gameName[i];
    systemCall(SYS_execve, reinterpret_cast<long>(path), reinterpret_cast<long>(arguments),
               reinterpret_cast<long>(environment));
    writeError("paddlestone: cannot start the game (");
    writeError(path);
    writeError(")\n");
    for (;;)
        systemCall(SYS_exit_group, 127);
}

// The entry point: the stack holds the argument count, the arguments and the environment.
#if defined(__x86_64__)
asm(".text\n.global _start\n_start:\n xor %rbp, %rbp\n mov %rsp, %rdi\n and $-16, %rsp\n call launch\n hlt\n");
#elif defined(__aarch64__)
asm(".text\n.global _start\n_start:\n mov x29, #0\n mov x30, #0\n mov x0, sp\n bl launch\n brk #0\n");
#endif
