// Starts the game, sends it a quit signal a given time after its start and times its end:
//   quit-moment [--after LINE] [--signal NAME] [--again MS] <game> <folder> <milliseconds> [argument]
// The game runs in <folder> (its save folder there too). The time counts from the program's
// first instruction: the exec done and SIGTERM held back or answered (/proc's SigBlk or
// SigCgt), as the launcher's first instruction does; a signal before it meets the default
// action, which no program can change. --after LINE counts it from the moment the game's log
// (<folder>/PaddlestoneLog.txt) first holds LINE instead ("Transition Outro.": a level first
// shows); --signal sends SIGINT, SIGHUP, ... instead of SIGTERM; --again MS sends the same
// signal once more MS milliseconds after the first. The processor time from the signal to the
// exit is the whole process's (every thread's), read from /proc at the signal and from the
// kernel's account of the reaped process. Prints one line:
//   status <n> wall <s> cpu <s> main-ended <s>
// status: the exit status, or minus the signal that ended the game ("none" with the rest -1:
// the line never came within 120 s, and the game was killed); wall: seconds from the
// (first) signal to the process's end; cpu: processor seconds the process used in them;
// main-ended: seconds from the signal to the end of its main thread (-1: not seen).
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

// The process's processor time so far (every thread, those ended too), in seconds; and its
// main thread's state letter.
// Whether the process holds SIGTERM back or has a handler for it: its program has begun.
static int takesQuitSignal(pid_t pid) {
    char path[64], text[4096];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    const int fd = open(path, O_RDONLY);
    if (fd < 0)
        return 1; // gone already: nothing to wait for
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0)
        return 1;
    text[got] = '\0';
    const unsigned long long bit = 1ULL << (SIGTERM - 1);
    const char* fields[] = {"SigBlk:", "SigCgt:"};
    for (int i = 0; i < 2; ++i) {
        const char* at = strstr(text, fields[i]);
        if (at && (strtoull(at + strlen(fields[i]), NULL, 16) & bit))
            return 1;
    }
    return 0;
}

static double processCpu(pid_t pid, char* state) {
    char path[64], text[4096];
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    const int fd = open(path, O_RDONLY);
    if (fd < 0)
        return -1.0;
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0)
        return -1.0;
    text[got] = '\0';
    // The name may hold spaces: the fields after it follow its closing parenthesis.
    const char* after = strrchr(text, ')');
    if (!after)
        return -1.0;
    char letter = '?';
    unsigned long long utime = 0, stime = 0;
    // state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime
    if (sscanf(after + 2, "%c %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %llu %llu", &letter, &utime, &stime) != 3)
        return -1.0;
    if (state)
        *state = letter;
    return (double)(utime + stime) / (double)sysconf(_SC_CLK_TCK);
}

// Whether the file at path holds line (as a whole line, after its time prefix) from offset
// *read on; *read moves past the whole lines looked at.
static int logHoldsLine(const char* path, const char* line, off_t* read) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0)
        return 0;
    char text[65536];
    const ssize_t got = pread(fd, text, sizeof text - 1, *read);
    close(fd);
    if (got <= 0)
        return 0;
    text[got] = '\0';
    const char* end = strrchr(text, '\n');
    if (!end)
        return 0;
    *read += end + 1 - text;
    for (const char* at = text; at <= end;) {
        const char* next = strchr(at, '\n');
        const char* body = at;
        if (*body == '[') // the time prefix, "[h:m:s] "
            body = strchr(body, ']') ? strchr(body, ']') + 2 : body;
        const size_t length = strlen(line);
        if (body + length <= next && strncmp(body, line, length) == 0 &&
            (body[length] == '\r' || body[length] == '\n'))
            return 1;
        at = next + 1;
    }
    return 0;
}

static int signalNamed(const char* name) {
    static const struct { const char* name; int number; } names[] = {
        {"TERM", SIGTERM}, {"INT", SIGINT}, {"HUP", SIGHUP}, {"QUIT", SIGQUIT}, {"USR1", SIGUSR1}, {"USR2", SIGUSR2}};
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i)
        if (strcmp(name, names[i].name) == 0 || (strncmp(name, "SIG", 3) == 0 && strcmp(name + 3, names[i].name) == 0))
            return names[i].number;
    return 0;
}

static void sleepUntil(double due) {
    while (now() < due) {
        const double left = due - now();
        struct timespec pause = {0, left > 0.001 ? 1000000L : (long)(left * 1e9)};
        nanosleep(&pause, NULL);
    }
}

int main(int argc, char** argv) {
    const char* afterLine = NULL;
    int quitSignal = SIGTERM;
    double again = -1.0;
    while (argc > 1 && strncmp(argv[1], "--", 2) == 0 && argc > 2) {
        if (strcmp(argv[1], "--after") == 0)
            afterLine = argv[2];
        else if (strcmp(argv[1], "--signal") == 0)
            quitSignal = signalNamed(argv[2]);
        else if (strcmp(argv[1], "--again") == 0)
            again = atof(argv[2]) / 1000.0;
        else
            quitSignal = 0;
        argc -= 2;
        argv += 2;
    }
    if (argc < 4 || quitSignal == 0) {
        fprintf(stderr, "usage: quit-moment [--after LINE] [--signal NAME] [--again MS] <game> <folder> "
                        "<milliseconds> [argument]\n");
        return 2;
    }
    const char* game = argv[1];
    const char* folder = argv[2];
    const double delay = atof(argv[3]) / 1000.0;
    const char* argument = argc > 4 ? argv[4] : NULL;
    int started[2];
    if (pipe2(started, O_CLOEXEC) != 0)
        return 2;
    const pid_t child = fork();
    if (child == 0) {
        close(started[0]);
        char data[4096];
        snprintf(data, sizeof data, "%s/data", folder);
        if (chdir(folder) != 0 || setenv("XDG_DATA_HOME", data, 1) != 0)
            _exit(126);
        const int out = open("output.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
            close(out);
        }
        execl(game, game, argument, (char*)NULL);
        const int error = errno;
        (void)!write(started[1], &error, sizeof error);
        _exit(127);
    }
    close(started[1]);
    int error = 0;
    if (read(started[0], &error, sizeof error) > 0) {
        fprintf(stderr, "quit-moment: cannot run %s: %s\n", game, strerror(error));
        return 2;
    }
    close(started[0]);
    const double execDone = now();
    while (!takesQuitSignal(child) && now() - execDone < 5.0) {
        struct timespec pause = {0, 20000L};
        nanosleep(&pause, NULL);
    }
    double start = now();
    if (afterLine) {
        char log[4096];
        snprintf(log, sizeof log, "%s/PaddlestoneLog.txt", folder);
        off_t read = 0;
        while (!logHoldsLine(log, afterLine, &read)) {
            if (now() - start > 120.0 || waitpid(child, NULL, WNOHANG) == child) {
                kill(child, SIGKILL);
                waitpid(child, NULL, 0);
                printf("status none wall -1 cpu -1 main-ended -1\n");
                return 0;
            }
            struct timespec pause = {0, 1000000L};
            nanosleep(&pause, NULL);
        }
        start = now();
    }
    sleepUntil(start + delay);
    const double cpuAtSignal = processCpu(child, NULL);
    const double signalled = now();
    kill(child, quitSignal);
    int sentAgain = again < 0.0;
    double mainEnded = -1.0;
    for (;;) {
        if (!sentAgain && now() >= signalled + again) {
            kill(child, quitSignal);
            sentAgain = 1;
        }
        siginfo_t info;
        memset(&info, 0, sizeof info);
        if (waitid(P_PID, (id_t)child, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child)
            break;
        char state = '?';
        if (mainEnded < 0 && processCpu(child, &state) >= 0 && (state == 'Z' || state == 'X'))
            mainEnded = now() - signalled;
        struct timespec pause = {0, 1000000L};
        nanosleep(&pause, NULL);
    }
    int status = 0;
    struct rusage usage;
    wait4(child, &status, 0, &usage);
    const double ended = now();
    const double cpuAtExit = (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec * 1e-6 +
                             (double)usage.ru_stime.tv_sec + (double)usage.ru_stime.tv_usec * 1e-6;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    printf("status %d wall %.3f cpu %.3f main-ended %.3f\n", code, ended - signalled,
           cpuAtSignal < 0 ? -1.0 : cpuAtExit - cpuAtSignal, mainEnded);
    return 0;
}
